// What a player sees of the other player's presses, headless: two predicted clients and a
// simulated server, each direction of each connection held for half the round trip plus up to
// 10 ms of jitter. Both players tap keys at a human's pace; each client draws at 60 Hz and
// counts how often what it drew jumped because an input came late (a correction), and how far
// (the ball's or a piece's jump, in twips), and how long the other player's press took to show
// on it. Every final tick's digest is checked on both.
//   voltaro-prediction-bench [--seconds S] [--out FILE]
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <queue>
#include <random>
#include <vector>

#include "bench_options.h"
#include "client/predicted_match.h"
#include "client/server_clock.h"
#include "simulated_server.h"

namespace {

using namespace voltaro;
namespace msg = online::server;
using online::Input;
using online::Seat;

constexpr std::int64_t kTickUs = online::TickMatch::kPeriodUs;
constexpr std::int64_t kFrameUs = 1000000 / 60;
constexpr std::int64_t kJitterUs = 10000;
constexpr std::int64_t kLongestMatchUs = 60000000;
constexpr std::int16_t kRedKeys[] = {37, 38, 39, 40};
constexpr std::int16_t kBlueKeys[] = {65, 87, 68, 83};

// Things that happen at a simulated time, in order (and in the order they were planned, at the
// same time).
class Timeline {
  public:
    void at(std::int64_t us, std::function<void()> run) {
        events_.push({us, next_++, std::move(run)});
    }
    void runUntil(const std::function<bool()>& done, std::int64_t until) {
        while (!events_.empty() && events_.top().us <= until && !done()) {
            Event event = events_.top();
            events_.pop();
            now_ = event.us;
            event.run();
        }
    }
    std::int64_t now() const { return now_; }

  private:
    struct Event {
        std::int64_t us;
        std::uint64_t order;
        std::function<void()> run;
        bool operator>(const Event& other) const {
            return us != other.us ? us > other.us : order > other.order;
        }
    };
    std::priority_queue<Event, std::vector<Event>, std::greater<>> events_;
    std::uint64_t next_ = 0;
    std::int64_t now_ = 0;
};

// One direction of one connection: half the round trip plus jitter, in order, as TCP keeps it.
class Lane {
  public:
    Lane(Timeline& timeline, std::int64_t delayUs, std::mt19937& random)
        : timeline_(timeline), delayUs_(delayUs), random_(random) {}
    void carry(std::function<void()> arrive) {
        std::uniform_int_distribution<std::int64_t> jitter(0, kJitterUs);
        lastUs_ = std::max(lastUs_, timeline_.now() + delayUs_ + jitter(random_));
        timeline_.at(lastUs_, std::move(arrive));
    }

  private:
    Timeline& timeline_;
    std::int64_t delayUs_;
    std::mt19937& random_;
    std::int64_t lastUs_ = 0;
};

struct Tally {
    std::uint64_t frames = 0;
    std::uint64_t framesCorrected = 0;
    std::uint64_t finals = 0;
    std::uint64_t mismatches = 0;
    std::uint64_t presses = 0;
    std::uint64_t matches = 0;
    std::vector<float> sizes;  // twips, one a corrected frame
    // From the other player's key down to the first frame here that had it, in ms.
    std::vector<float> friendShown;
    double clientSeconds = 0;  // summed over both clients
};

// A player's client as the desktop and the page run it: the predicted match, the clock kept by
// pings, its own keys stamped and applied at once, a frame drawn 60 times a second.
struct Client {
    Client(Seat seat, Timeline& timeline, std::int64_t oneWayUs, std::mt19937& random,
           std::int64_t hostOffsetUs)
        : seat(seat),
          up(timeline, oneWayUs, random),
          down(timeline, oneWayUs, random),
          hostOffsetUs(hostOffsetUs) {}

    Seat seat;
    Lane up, down;
    std::int64_t hostOffsetUs;  // its own steady clock against the server's
    client::PredictedMatch predicted;
    client::ServerClock clock;
    std::vector<double> pings;  // sent at, in order; their pongs come back in order
    std::size_t pongs = 0;
    std::int64_t startUs = 0;
    std::uint32_t seq = 0;
    std::int16_t held = 0;
    std::uint64_t seenCorrections = 0;
    std::vector<std::int64_t> friendsPresses;  // when the other's key downs that came went down

    double hostMs(std::int64_t serverUs) const {
        return static_cast<double>(serverUs + hostOffsetUs) / 1000.0;
    }
    std::uint32_t present(std::int64_t nowUs) const {
        const std::int64_t since = clock.serverUs(hostMs(nowUs)) - startUs;
        return since <= 0 ? 0 : static_cast<std::uint32_t>(since / kTickUs);
    }
};

// One match between two clients at a round trip, to its goal or to kLongestMatchUs.
class SimulatedMatch {
  public:
    SimulatedMatch(std::int64_t roundTripUs, std::mt19937& random, Tally& tally)
        : random_(random),
          tally_(tally),
          server_([this](const online::ServerMessage& message, std::optional<Seat> skip) {
              broadcast(message, skip);
          }),
          red_(Seat::Red, timeline_, roundTripUs / 2, random, 123456789),
          blue_(Seat::Blue, timeline_, roundTripUs / 2, random, -987654) {}

    void play() {
        const msg::MatchStarted started = server_.started();
        for (Client* client : {&red_, &blue_}) {
            client->down.carry([this, client, started] { start(*client, started); });
        }
        for (std::int64_t us = 0; us < kLongestMatchUs; us += kFinalEveryUs) {
            timeline_.at(us,
                         [this, us] { server_.reach(static_cast<std::uint32_t>(us / kTickUs)); });
        }
        // Once the server's match has ended, its last final tick still has to reach both.
        std::optional<std::int64_t> endedAt;
        timeline_.runUntil(
            [&] {
                if (server_.ended() && !endedAt) {
                    endedAt = timeline_.now();
                }
                return endedAt && timeline_.now() > *endedAt + 1000000;
            },
            kLongestMatchUs);
        tally_.clientSeconds += 2.0 * static_cast<double>(timeline_.now()) / 1e6;
        ++tally_.matches;
    }

  private:
    static constexpr std::int64_t kFinalEveryUs = online::kFinalEveryTicks * kTickUs;

    void broadcast(const online::ServerMessage& message, std::optional<Seat> skip) {
        for (Client* client : {&red_, &blue_}) {
            if (client->seat != skip) {
                client->down.carry([this, client, message] { receive(*client, message); });
            }
        }
    }

    void start(Client& client, const msg::MatchStarted& started) {
        client.predicted.start(started.tick, started.state);
        client.startUs = started.startUs;
        client.clock.heard(started.startUs, client.hostMs(timeline_.now()));
        // A few pings at once, so that the first stamps are good; then one a second.
        for (int i = 0; i < 2; ++i) {
            ping(client);
        }
        keepClock(client);
        frame(client);
        if (client.seat == Seat::Red) {
            // The ball into play, as the first thing red does.
            timeline_.at(timeline_.now() + 8 * kTickUs, [this, &client] { press(client, 16); });
        }
        planHand(client);
    }

    void ping(Client& client) {
        client.pings.push_back(client.hostMs(timeline_.now()));
        client.up.carry([this, &client] {
            const msg::Pong pong{timeline_.now()};
            client.down.carry([this, &client, pong] { receive(client, pong); });
        });
    }

    void keepClock(Client& client) {
        ping(client);
        timeline_.at(timeline_.now() + 1000000, [this, &client] { keepClock(client); });
    }

    void receive(Client& client, const online::ServerMessage& message) {
        if (const auto* input = std::get_if<msg::Input>(&message)) {
            client.predicted.confirmed(input->input, client.seat);
            const Input& taken = input->input;
            if (taken.seat != client.seat && taken.kind == Input::Kind::KeyDown) {
                client.friendsPresses.push_back(pressedAt_.at({taken.seat, taken.seq}));
            }
        } else if (const auto* final = std::get_if<msg::Final>(&message)) {
            ++tally_.finals;
            const std::uint32_t own = client.seat == Seat::Red ? final->red : final->blue;
            tally_.mismatches += !client.predicted.finalTick(final->tick, final->digest, own);
        } else if (const auto* pong = std::get_if<msg::Pong>(&message)) {
            client.clock.pong(client.pings[client.pongs++], pong->timeUs,
                              client.hostMs(timeline_.now()));
        }
    }

    // The host draws: the match played on to the present, and any jump since the last frame
    // that a replay made.
    void frame(Client& client) {
        client.predicted.advanceTo(client.present(timeline_.now()));
        (void)client.predicted.scene();
        ++tally_.frames;
        for (const std::int64_t pressed : client.friendsPresses) {
            tally_.friendShown.push_back(static_cast<float>(timeline_.now() - pressed) / 1000.0f);
        }
        client.friendsPresses.clear();
        if (client.predicted.corrections() != client.seenCorrections) {
            client.seenCorrections = client.predicted.corrections();
            ++tally_.framesCorrected;
            tally_.sizes.push_back(client.predicted.lastCorrection());
        }
        timeline_.at(timeline_.now() + kFrameUs, [this, &client] { frame(client); });
    }

    void send(Client& client, Input::Kind kind, std::int16_t key) {
        const std::uint32_t present = client.present(timeline_.now());
        client.predicted.advanceTo(present);
        const Input input{.kind = kind,
                          .seat = client.seat,
                          .tick = std::max(present, client.predicted.presentTick()),
                          .seq = ++client.seq,
                          .key = key};
        client.predicted.predicted(input);
        pressedAt_[{input.seat, input.seq}] = timeline_.now();
        client.up.carry([this, input] {
            server_.receive(input, static_cast<std::uint32_t>(timeline_.now() / kTickUs));
        });
    }

    void press(Client& client, std::int16_t key) {
        send(client, Input::Kind::KeyDown, key);
        send(client, Input::Kind::KeyUp, key);
    }

    // A key goes down every 0.3 to 0.7 s and is held for 80 to 250 ms, as the load's players do.
    void planHand(Client& client) {
        const std::int64_t wait =
            client.held != 0 ? 100000 + random_() % 400000 : 80000 + random_() % 170000;
        timeline_.at(timeline_.now() + wait, [this, &client] {
            if (client.held != 0) {
                send(client, Input::Kind::KeyUp, client.held);
                client.held = 0;
            } else {
                const auto& keys = client.seat == Seat::Red ? kRedKeys : kBlueKeys;
                client.held = keys[random_() % 4];
                send(client, Input::Kind::KeyDown, client.held);
                ++tally_.presses;
            }
            planHand(client);
        });
    }

    std::mt19937& random_;
    Tally& tally_;
    Timeline timeline_;
    bench::SimulatedServer server_;
    Client red_, blue_;
    std::map<std::pair<Seat, std::uint32_t>, std::int64_t> pressedAt_;
};

float percentile(std::vector<float> sizes, double fraction) {
    if (sizes.empty()) {
        return 0;
    }
    std::sort(sizes.begin(), sizes.end());
    return sizes[static_cast<std::size_t>(fraction * static_cast<double>(sizes.size() - 1))];
}

nlohmann::json measure(int roundTripMs, int seconds) {
    std::mt19937 random(static_cast<std::uint32_t>(roundTripMs));
    Tally tally;
    while (tally.clientSeconds < 2.0 * seconds) {
        SimulatedMatch(std::int64_t{roundTripMs} * 1000, random, tally).play();
    }
    const double frames = static_cast<double>(tally.frames);
    return {
        {"round_trip_ms", roundTripMs},
        {"jitter_ms", kJitterUs / 1000},
        {"matches", tally.matches},
        {"client_seconds", tally.clientSeconds},
        {"presses", tally.presses},
        {"corrections_per_second",
         static_cast<double>(tally.framesCorrected) / tally.clientSeconds},
        {"frames_corrected_fraction",
         frames > 0 ? static_cast<double>(tally.framesCorrected) / frames : 0},
        {"correction_twips",
         {{"p50", percentile(tally.sizes, 0.5)},
          {"p90", percentile(tally.sizes, 0.9)},
          {"p99", percentile(tally.sizes, 0.99)},
          {"max", percentile(tally.sizes, 1.0)}}},
        {"friend_press_shown_after_ms",
         {{"p50", percentile(tally.friendShown, 0.5)},
          {"p99", percentile(tally.friendShown, 0.99)},
          {"max", percentile(tally.friendShown, 1.0)}}},
        {"final_ticks_checked", tally.finals},
        {"digest_mismatches", tally.mismatches},
    };
}

}  // namespace

int main(int argc, char* argv[]) {
    int seconds = 300;
    std::string out;
    if (!bench::readBenchOptions(
            argc, argv,
            {{.name = "--seconds", .number = &seconds, .low = 10, .high = 3600},
             {.name = "--out", .text = &out}})) {
        std::fprintf(stderr, "usage: voltaro-prediction-bench [--seconds S] [--out FILE]\n");
        return 2;
    }
    nlohmann::json report = nlohmann::json::array();
    bool exact = true;
    for (const int roundTrip : {20, 100, 250}) {
        report.push_back(measure(roundTrip, seconds));
        exact = exact && report.back()["digest_mismatches"].get<std::uint64_t>() == 0;
    }
    std::printf("%s\n", report.dump(2).c_str());
    if (!out.empty()) {
        std::ofstream(out) << report.dump(2) << "\n";
    }
    return exact ? 0 : 1;
}
