// The match server under load, on loopback: N matches, two clients each pressing keys at human
// rates, the server pinned to one core and this load to the other. It reports how late the
// server's ticks came, how long states took to reach their clients, and what each match costs
// in memory and bandwidth; and how busy this generator was, to show when it is the limit.
//   voltaro-server-load --server build/voltaro-server [--matches N] [--seconds S] [--out FILE]
#include <sched.h>
#include <signal.h>
#include <sys/resource.h>

#include <boost/asio/steady_timer.hpp>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <random>
#include <sstream>
#include <thread>

#include "match_client.h"
#include "server/latency_histogram.h"
#include "server_process.h"

namespace {

using namespace voltaro;
using namespace voltaro::server::testing;
using namespace std::chrono_literals;
namespace asio = boost::asio;
namespace msg = online::server;
using Duration = std::chrono::nanoseconds;

constexpr Duration kTick = std::chrono::microseconds(15625);
constexpr std::int16_t kRedKeys[] = {37, 38, 39, 40};
constexpr std::int16_t kBlueKeys[] = {65, 87, 68, 83};

struct Settings {
    std::string server;
    int matches = 1000;
    int seconds = 20;
    std::string out;
    int serverCpu = 0;
};

// One player of the load: keys pressed and released at a human's pace, boxes answered and a new
// match asked for after a human's pause; every state's arrival kept against its tick.
struct Player {
    std::shared_ptr<WsClient> socket;
    online::Seat seat = online::Seat::Red;
    bool playing = false;
    std::int16_t held = 0;
    Clock::time_point nextAction{};
    std::optional<online::ClientMessage> pending;  // sent at nextAction
    // Per match: arrival minus tick * period; its least value is the match's tick origin as
    // seen from here, so that the rest measure how much later than the best a state came.
    std::vector<std::vector<std::int64_t>> offsets;
    std::uint64_t states = 0;
    std::uint64_t gaps = 0;  // ticks a state skipped (a slow read on this side or the server's)
    std::uint32_t lastTick = 0;
};

class Load {
  public:
    Load(const Settings& settings, const asio::ip::tcp::endpoint& server)
        : settings_(settings), server_(server), players_(2 * settings.matches), timer_(io_) {}

    // Opens every match; false when they are not all playing within `limit`.
    bool open(std::chrono::seconds limit);
    // Plays for `length`, then stops reading.
    void play(std::chrono::seconds length);
    void measure(server::LatencyHistogram& delivery, std::uint64_t& states, std::uint64_t& gaps,
                 std::uint64_t& bytes) const;
    int playing() const;
    int connected() const;

  private:
    void connect(std::size_t index, const std::string& target);
    void onMessage(std::size_t index, std::string_view text, Clock::time_point at);
    void act();

    const Settings& settings_;
    asio::ip::tcp::endpoint server_;
    asio::io_context io_;
    std::vector<Player> players_;
    asio::steady_timer timer_;
    std::mt19937 random_{12345};
    bool acting_ = true;
};

void Load::connect(std::size_t index, const std::string& target) {
    Player& player = players_[index];
    player.seat = index % 2 == 0 ? online::Seat::Red : online::Seat::Blue;
    player.socket = std::make_shared<WsClient>(io_);
    player.socket->onMessage = [this, index](std::string_view text, Clock::time_point at) {
        onMessage(index, text, at);
    };
    player.socket->connect(server_, {.target = target, .origin = std::nullopt});
    player.socket->send(online::write(online::client::Hello{}));
    if (player.seat == online::Seat::Red) {
        player.socket->send(online::write(online::client::Create{}));
    }
}

void Load::onMessage(std::size_t index, std::string_view text, Clock::time_point at) {
    Player& player = players_[index];
    std::string problem;
    const auto message = online::readServerMessage(text, problem);
    if (!message) {
        std::fprintf(stderr, "voltaro-server-load: unreadable message: %s\n", problem.c_str());
        return;
    }
    if (const auto* state = std::get_if<msg::State>(&*message)) {
        // A key press sends the state at once, under the tick it fell in: only the first state
        // of a tick is the tick's own.
        if (!player.offsets.empty() && state->tick != player.lastTick) {
            player.offsets.back().push_back((at.time_since_epoch() - kTick * state->tick).count());
            if (player.lastTick != 0 && state->tick > player.lastTick + 1) {
                player.gaps += state->tick - player.lastTick - 1;
            }
            player.lastTick = state->tick;
            ++player.states;
        }
    } else if (const auto* seated = std::get_if<msg::Seated>(&*message)) {
        if (seated->seat == online::Seat::Red) {
            connect(index + 1, "/ws?room=" + seated->code);
            players_[index + 1].pending = online::client::Join{seated->code};
            players_[index + 1].nextAction = Clock::now();
        }
    } else if (std::holds_alternative<msg::MatchStarted>(*message)) {
        player.playing = true;
        player.offsets.emplace_back();
        player.lastTick = 0;
        player.nextAction = at + std::chrono::milliseconds(200 + random_() % 400);
    } else if (const auto* box = std::get_if<msg::BoxOpened>(&*message)) {
        player.playing = false;
        player.pending = online::client::BoxOk{box->box};
        player.nextAction = at + 300ms;
    } else if (std::holds_alternative<msg::GameOver>(*message)) {
        player.pending = online::client::PlayAgain{};
        player.nextAction = at + 500ms;
    }
}

// Every 10 ms: what each player's hand does now. A key goes down every 0.3 to 0.7 s and is held
// for 80 to 250 ms: a player tapping and steering, two to three presses a second.
void Load::act() {
    const auto now = Clock::now();
    for (Player& player : players_) {
        if (!player.socket || !player.socket->connected() || now < player.nextAction) {
            continue;
        }
        if (player.pending) {
            player.socket->send(online::write(*player.pending));
            player.pending.reset();
            player.nextAction = Clock::time_point::max();
        } else if (player.playing && player.held != 0) {
            player.socket->send(online::write(online::client::KeyUp{player.held}));
            player.held = 0;
            player.nextAction = now + std::chrono::milliseconds(100 + random_() % 400);
        } else if (player.playing) {
            const auto& keys = player.seat == online::Seat::Red ? kRedKeys : kBlueKeys;
            player.held = keys[random_() % 4];
            player.socket->send(online::write(online::client::KeyDown{player.held}));
            player.nextAction = now + std::chrono::milliseconds(80 + random_() % 170);
        }
    }
    if (acting_) {
        timer_.expires_after(10ms);
        timer_.async_wait([this](boost::system::error_code error) {
            if (!error) {
                act();
            }
        });
    }
}

int Load::playing() const {
    int count = 0;
    for (const Player& player : players_) {
        count += player.playing && player.socket->connected() && !player.socket->ended();
    }
    return count;
}

int Load::connected() const {
    int count = 0;
    for (const Player& player : players_) {
        count += player.socket->connected() && !player.socket->ended();
    }
    return count;
}

bool Load::open(std::chrono::seconds limit) {
    act();
    // In waves, so that the server's listen backlog is never the thing measured.
    for (int match = 0; match < settings_.matches; ++match) {
        connect(2 * static_cast<std::size_t>(match), "/ws");
        if (match % 50 == 49) {
            runUntil(
                io_, [&] { return playing() >= 2 * (match + 1) - 20; }, 2s);
        }
    }
    return runUntil(
        io_, [&] { return playing() == 2 * settings_.matches; }, limit);
}

void Load::play(std::chrono::seconds length) {
    runUntil(
        io_, [] { return false; }, length);
    acting_ = false;
}

void Load::measure(server::LatencyHistogram& delivery, std::uint64_t& states, std::uint64_t& gaps,
                   std::uint64_t& bytes) const {
    for (const Player& player : players_) {
        for (const auto& match : player.offsets) {
            if (match.empty()) {
                continue;
            }
            const std::int64_t origin = *std::min_element(match.begin(), match.end());
            for (const std::int64_t offset : match) {
                delivery.add(Duration(offset - origin));
            }
        }
        states += player.states;
        gaps += player.gaps;
        bytes += player.socket->bytesReceived;
    }
}

long residentKiB(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.starts_with("VmRSS:")) {
            return std::stol(line.substr(6));
        }
    }
    return 0;
}

// CPU time of a process in seconds, from /proc: in its own code (user) and in the kernel's
// (system: on loopback, the sockets of both ends).
struct CpuTime {
    double user = 0;
    double system = 0;
};
CpuTime cpuTime(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), {});
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    CpuTime time;
    const double tick = static_cast<double>(sysconf(_SC_CLK_TCK));
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14) {
            time.user = std::stod(field) / tick;
        } else if (i == 15) {
            time.system = std::stod(field) / tick;
        }
    }
    return time;
}

double ownCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double ms(Duration duration) {
    return std::chrono::duration<double, std::milli>(duration).count();
}

bool readSettings(int argc, char* argv[], Settings& settings) {
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        const std::string value = argv[i + 1];
        if (name == "--server") {
            settings.server = value;
        } else if (name == "--matches") {
            settings.matches = std::clamp(std::stoi(value), 1, 5000);
        } else if (name == "--seconds") {
            settings.seconds = std::clamp(std::stoi(value), 1, 300);
        } else if (name == "--out") {
            settings.out = value;
        } else {
            return false;
        }
    }
    return !settings.server.empty() && argc % 2 == 1;
}

}  // namespace

int main(int argc, char* argv[]) {
    Settings settings;
    if (!readSettings(argc, argv, settings)) {
        std::fprintf(stderr,
                     "usage: voltaro-server-load --server PATH [--matches N] [--seconds S] "
                     "[--out FILE]\n");
        return 2;
    }
    // On a machine shared with other work (builds, other benches), the scheduler would decide the
    // tick figures. Real-time priority, where allowed (root), gives the server its core and
    // this load the other; the kernel still keeps 5 % of each for everything else.
    sched_param priority{};
    priority.sched_priority = 10;
    const bool realtime = sched_setscheduler(0, SCHED_FIFO, &priority) == 0;
    // Two sockets a match here, and as many in the server, which inherits the limit.
    rlimit files{};
    getrlimit(RLIMIT_NOFILE, &files);
    files.rlim_cur = files.rlim_max;
    setrlimit(RLIMIT_NOFILE, &files);
    const std::string statsFile = "/tmp/voltaro-server-load-" + std::to_string(getpid()) + ".json";
    ServerProcess server(settings.server,
                         {"--max-per-address", "0", "--max-new-rate", "0", "--max-rate", "1000",
                          "--stats", statsFile},
                         settings.serverCpu);
    const long idleKiB = residentKiB(server.pid());
    Load load(settings, {asio::ip::make_address("127.0.0.1"), server.port()});
    if (!load.open(std::chrono::seconds(60))) {
        std::fprintf(stderr, "voltaro-server-load: only %d of %d players in play after 60 s\n",
                     load.playing(), 2 * settings.matches);
        return 1;
    }
    const long loadedKiB = residentKiB(server.pid());
    server.signal(SIGUSR1);  // the figures start now, with every match in play
    const CpuTime serverCpu0 = cpuTime(server.pid());
    const double ownCpu0 = ownCpuSeconds();
    const auto start = Clock::now();
    load.play(std::chrono::seconds(settings.seconds));
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    const CpuTime serverCpu1 = cpuTime(server.pid());
    const double serverUser = (serverCpu1.user - serverCpu0.user) / wall;
    const double serverSystem = (serverCpu1.system - serverCpu0.system) / wall;
    const double ownCpu = (ownCpuSeconds() - ownCpu0) / wall;
    const int stillConnected = load.connected();
    server.signal(SIGTERM);
    const auto exited = server.waitForExit(30s);

    server::LatencyHistogram delivery;
    std::uint64_t states = 0, gaps = 0, bytes = 0;
    load.measure(delivery, states, gaps, bytes);
    nlohmann::json serverStats;
    std::ifstream(statsFile) >> serverStats;
    std::remove(statsFile.c_str());
    const double players = 2.0 * settings.matches;
    // Over the whole run, ramp-up included: what a player's connection carries while it plays.
    const double bytesPerPlayer = static_cast<double>(bytes) / players /
                                  std::chrono::duration<double>(Clock::now() - start).count();

    nlohmann::json report = {
        {"matches", settings.matches},
        {"realtime_priority", realtime},
        {"seconds", wall},
        {"players_connected_at_end", stillConnected},
        {"server_exit_status", exited ? *exited : -2},
        {"server_cpu_of_one_core", serverUser + serverSystem},
        {"server_cpu_in_kernel_of_one_core", serverSystem},
        {"load_cpu_of_one_core", ownCpu},
        {"server_tick_lateness_ms", serverStats["tick_lateness"]},
        {"server_delivery_ms", serverStats["delivery"]},
        {"states_replaced_by_server", serverStats["states_replaced"]},
        {"client_delivery_ms",
         {{"count", delivery.count()},
          {"p50", ms(delivery.percentile(0.5))},
          {"p99", ms(delivery.percentile(0.99))},
          {"p999", ms(delivery.percentile(0.999))},
          {"max", ms(delivery.max())}}},
        {"states_received", states},
        {"ticks_skipped_between_states", gaps},
        {"server_rss_idle_kib", idleKiB},
        {"server_rss_loaded_kib", loadedKiB},
        {"memory_per_match_kib", static_cast<double>(loadedKiB - idleKiB) / settings.matches},
        {"bytes_per_player_per_second", bytesPerPlayer},
        {"server_payload_bytes_per_second",
         serverStats["bytes_sent"].get<double>() / serverStats["seconds"].get<double>()},
    };
    std::printf("%s\n", report.dump(2).c_str());
    if (!settings.out.empty()) {
        std::ofstream(settings.out) << report.dump(2) << "\n";
    }
    return exited == 0 && stillConnected == 2 * settings.matches ? 0 : 1;
}
