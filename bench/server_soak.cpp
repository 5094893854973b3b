// The match server beside strangers: N honest matches of two players each, for S seconds, on
// loopback, while a hostile mix (room flooders, code guessers, ping flooders, slow readers,
// held-key floods, endless requests) does what it can from other addresses; the server keeps
// its default limits. It reports what the honest players saw (how late their final ticks came,
// how many ticks they missed), how late the server's ticks came, its memory at the start and the
// end, and every refusal it counted, read from its --metrics port.
//   voltaro-server-soak --server build/voltaro-server [--matches N] [--seconds S] [--hostile N]
//                       [--out FILE]
#include <signal.h>
#include <sys/socket.h>

#include <boost/asio/connect.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/http.hpp>
#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>

#include "bench_options.h"
#include "honest_matches.h"
#include "hostile_mix.h"
#include "load_setup.h"
#include "process_figures.h"
#include "server_process.h"

namespace {

using namespace voltaro;
using namespace voltaro::bench;
using namespace std::chrono_literals;
namespace asio = boost::asio;
namespace http = boost::beast::http;
using tcp = asio::ip::tcp;
using Clock = std::chrono::steady_clock;

struct Settings {
    std::string server;
    int matches = 20;
    int seconds = 60;
    int hostile = 4;
    std::string out;
};

bool readSettings(int argc, char* argv[], Settings& settings) {
    return readBenchOptions(
               argc, argv,
               {{.name = "--server", .text = &settings.server},
                {.name = "--matches", .number = &settings.matches, .low = 1, .high = 2000},
                {.name = "--seconds", .number = &settings.seconds, .low = 5, .high = 3600},
                {.name = "--hostile", .number = &settings.hostile, .low = 0, .high = 50},
                {.name = "--out", .text = &settings.out}}) &&
           !settings.server.empty();
}

// GET /metrics on the server's own port for them; empty when it does not answer within 10 s.
std::string scrapeMetrics(unsigned short port) {
    try {
        asio::io_context io;
        tcp::socket socket(io);
        socket.connect({asio::ip::make_address("127.0.0.1"), port});
        const timeval wait{10, 0};
        setsockopt(socket.native_handle(), SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
        http::request<http::empty_body> request(http::verb::get, "/metrics", 11);
        request.set(http::field::host, "127.0.0.1");
        http::write(socket, request);
        boost::beast::flat_buffer buffer;
        http::response<http::string_body> response;
        http::read(socket, buffer, response);
        return response.body();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "voltaro-server-soak: no figures from --metrics: %s\n", error.what());
        return {};
    }
}

// Every sample of the exposition without labels or with one, by its full name.
std::map<std::string, double> samples(const std::string& text) {
    std::map<std::string, double> found;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        const auto space = line.rfind(' ');
        if (line.empty() || line[0] == '#' || space == std::string::npos) {
            continue;
        }
        found[line.substr(0, space)] = std::stod(line.substr(space + 1));
    }
    return found;
}

nlohmann::json refusalsOf(const std::map<std::string, double>& figures) {
    nlohmann::json refusals = nlohmann::json::object();
    const std::string prefix = "voltaro_refusals_total{reason=\"";
    for (const auto& [name, value] : figures) {
        if (name.starts_with(prefix)) {
            refusals[name.substr(prefix.size(), name.size() - prefix.size() - 2)] = value;
        }
    }
    return refusals;
}

double ms(std::chrono::nanoseconds duration) {
    return std::chrono::duration<double, std::milli>(duration).count();
}

nlohmann::json percentiles(const server::LatencyHistogram& histogram) {
    return {{"count", histogram.count()},
            {"p50", ms(histogram.percentile(0.5))},
            {"p99", ms(histogram.percentile(0.99))},
            {"p999", ms(histogram.percentile(0.999))},
            {"max", ms(histogram.max())}};
}

nlohmann::json talliesOf(const HostileMix& mix) {
    nlohmann::json out = nlohmann::json::object();
    for (const auto& [kind, tally] : mix.tallies()) {
        out[kind] = {{"connections", tally.connections},
                     {"closed_by_server", tally.closedByServer},
                     {"not_connected", tally.notConnected},
                     {"bytes_sent", tally.bytesSent}};
    }
    return out;
}

}  // namespace

int main(int argc, char* argv[]) {
    Settings settings;
    if (!readSettings(argc, argv, settings)) {
        std::fprintf(stderr,
                     "usage: voltaro-server-soak --server PATH [--matches N] [--seconds S] "
                     "[--hostile N] [--out FILE]\n");
        return 2;
    }
    const bool realtime = prepareForLoad();

    const std::string statsFile = "/tmp/voltaro-server-soak-" + std::to_string(getpid()) + ".json";
    server::testing::ServerProcess server(settings.server,
                                          {"--metrics", "127.0.0.1:0", "--stats", statsFile}, 0);
    const tcp::endpoint endpoint(asio::ip::make_address("127.0.0.1"), server.port());
    HonestMatches honest(settings.matches, endpoint, true);
    const bool allOpen = honest.open(std::chrono::seconds(60 + settings.matches / 5));
    const int openedPlayers = honest.playing();

    const long rssStart = residentKiB(server.pid());
    long rssMax = rssStart;
    server.signal(SIGUSR1);  // the tick figures start now, with every match in play
    honest.startFigures();
    const auto end = Clock::now() + std::chrono::seconds(settings.seconds);
    asio::io_context hostileIo;
    HostileMix mix(hostileIo, endpoint, settings.hostile, honest.codes(), end);
    mix.start();
    std::thread hostile([&] { hostileIo.run_for(std::chrono::seconds(settings.seconds) + 15s); });
    honest.play(std::chrono::seconds(settings.seconds),
                [&] { rssMax = std::max(rssMax, residentKiB(server.pid())); });
    hostile.join();
    const int stillConnected = honest.connected();
    const long rssEnd = residentKiB(server.pid());
    const auto figures = samples(scrapeMetrics(server.metricsPort()));
    server.signal(SIGTERM);
    const auto exited = server.waitForExit(30s);
    // The journal's share: one line per kind now and then, not one per refusal.
    std::vector<std::string> refusalLines;
    std::istringstream errors(server.errors());
    for (std::string line; std::getline(errors, line);) {
        if (line.find("refused (") != std::string::npos) {
            refusalLines.push_back(line);
        }
    }

    const HonestFigures seen = honest.measure();
    nlohmann::json serverStats = nlohmann::json::object();
    std::ifstream(statsFile) >> serverStats;
    std::remove(statsFile.c_str());
    const double tickP99 = serverStats.contains("tick_lateness")
                               ? serverStats["tick_lateness"]["p99_ms"].get<double>()
                               : 1e9;
    // Flat: what the server grew by over the soak is within a tenth of what it held at the
    // start, or 8 MiB, whichever is more.
    const bool flat = rssEnd - rssStart <= std::max<long>(rssStart / 10, 8 * 1024);
    const nlohmann::json wanted = {
        {"all_honest_matches_opened", allOpen},
        {"every_honest_player_connected_at_end", stillConnected == 2 * settings.matches},
        {"tick_lateness_p99_under_2ms", tickP99 < 2.0},
        {"no_ticks_missed", seen.ticksMissed == 0},
        {"memory_flat", flat},
        {"server_exited_cleanly", exited == 0},
    };
    nlohmann::json report = {
        {"matches", settings.matches},
        {"seconds", settings.seconds},
        {"hostile_peers_per_kind", settings.hostile},
        {"realtime_priority", realtime},
        {"honest_players_in_play_at_start", openedPlayers},
        {"honest_players_connected_at_end", stillConnected},
        {"server_tick_lateness_ms", serverStats.value("tick_lateness", nlohmann::json())},
        {"honest_delivery_ms", percentiles(seen.delivery)},
        {"honest_final_ticks_received", seen.finals},
        {"honest_inputs_received", seen.inputs},
        {"honest_ticks_missed", seen.ticksMissed},
        {"server_rss_kib", {{"start", rssStart}, {"max", rssMax}, {"end", rssEnd}}},
        {"refusals", refusalsOf(figures)},
        {"refusal_log_lines", refusalLines.size()},
        {"first_refusal_log_lines",
         std::vector<std::string>(refusalLines.begin(),
                                  refusalLines.begin() + static_cast<long>(std::min<std::size_t>(
                                                             refusalLines.size(), 12)))},
        {"server_at_end",
         {{"connections",
           figures.contains("voltaro_connections") ? figures.at("voltaro_connections") : -1},
          {"rooms", figures.contains("voltaro_rooms") ? figures.at("voltaro_rooms") : -1}}},
        {"hostile", talliesOf(mix)},
        {"server_exit_status", exited ? *exited : -2},
        {"wanted", wanted},
    };
    std::printf("%s\n", report.dump(2).c_str());
    if (!settings.out.empty()) {
        std::ofstream(settings.out) << report.dump(2) << "\n";
    }
    for (const auto& [name, met] : wanted.items()) {
        if (!met.get<bool>()) {
            std::fprintf(stderr, "voltaro-server-soak: not met: %s\n", name.c_str());
        }
    }
    bool all = true;
    for (const auto& [name, met] : wanted.items()) {
        all = all && met.get<bool>();
    }
    return all ? 0 : 1;
}
