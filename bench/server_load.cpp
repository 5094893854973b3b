// The match server under load, on loopback: N matches, two clients each pressing keys at human
// rates, the server pinned to one core and this load to the other. It reports how late the
// server's ticks came, whether any final tick came late or not at all, how long the final ticks
// took to reach their clients, and what each match costs in memory and bandwidth; and how busy
// this generator was, to show when it is the limit. "carried" says whether the core carried the
// N matches: every player still there, no tick missed, and the ticks' lateness under 2 ms at p99.
//   voltaro-server-load --server build/voltaro-server [--matches N] [--seconds S] [--out FILE]
#include <signal.h>

#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>

#include "bench_options.h"
#include "honest_matches.h"
#include "load_setup.h"
#include "process_figures.h"
#include "server/core/latency_histogram.h"
#include "server_process.h"

namespace {

using namespace voltaro;
using namespace voltaro::bench;
using namespace voltaro::server::testing;
using namespace std::chrono_literals;
namespace asio = boost::asio;
using Duration = std::chrono::nanoseconds;

struct Settings {
    std::string server;
    int matches = 1000;
    int seconds = 20;
    std::string out;
    int serverCpu = 0;
};

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
    return readBenchOptions(
               argc, argv,
               {{.name = "--server", .text = &settings.server},
                {.name = "--matches", .number = &settings.matches, .low = 1, .high = 5000},
                {.name = "--seconds", .number = &settings.seconds, .low = 1, .high = 300},
                {.name = "--out", .text = &settings.out}}) &&
           !settings.server.empty();
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
    const bool realtime = prepareForLoad();
    const std::string statsFile = "/tmp/voltaro-server-load-" + std::to_string(getpid()) + ".json";
    ServerProcess server(settings.server,
                         {"--max-per-address", "0", "--max-new-rate", "0", "--max-rate", "1000",
                          "--stats", statsFile},
                         settings.serverCpu);
    const long idleKiB = residentKiB(server.pid());
    // Each match from an address of its own, as on the internet: one person may hold only a
    // few rooms, so from one address the load would never get past its first rooms.
    HonestMatches load(settings.matches, {asio::ip::make_address("127.0.0.1"), server.port()},
                       true);
    // The matches open in waves of 50, some 30 a second here: a minute, or more for thousands.
    const auto opening = std::chrono::seconds(std::max(60, settings.matches / 20));
    if (!load.open(opening)) {
        std::fprintf(stderr,
                     "voltaro-server-load: only %d of %d players had a match after %d s (%d "
                     "connected)\n",
                     load.started(), 2 * settings.matches, static_cast<int>(opening.count()),
                     load.connected());
        return 1;
    }
    const long loadedKiB = residentKiB(server.pid());
    server.signal(SIGUSR1);  // the figures start now, with every match in play
    load.startFigures();
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

    const HonestFigures seen = load.measure();
    const server::LatencyHistogram& delivery = seen.delivery;
    const std::uint64_t gaps = seen.ticksMissed;
    nlohmann::json serverStats;
    std::ifstream(statsFile) >> serverStats;
    std::remove(statsFile.c_str());
    const double players = 2.0 * settings.matches;
    // What a player's connection carries while it plays.
    const double perPlayerSecond = players * wall;
    const double bytesPerPlayer = static_cast<double>(seen.bytes) / perPlayerSecond;
    const double bytesFromPlayer = static_cast<double>(seen.bytesSent) / perPlayerSecond;
    const nlohmann::json& lateness = serverStats["tick_lateness"];
    const bool carried = exited == 0 && stillConnected == 2 * settings.matches && gaps == 0 &&
                         lateness.value("p99_ms", 1e9) < 2.0;

    nlohmann::json report = {
        {"matches", settings.matches},
        {"protocol_version", online::kProtocolVersion},
        {"carried", carried},
        {"realtime_priority", realtime},
        {"seconds", wall},
        {"players_connected_at_end", stillConnected},
        {"server_exit_status", exited ? *exited : -2},
        {"server_cpu_of_one_core", serverUser + serverSystem},
        {"server_cpu_in_kernel_of_one_core", serverSystem},
        {"load_cpu_of_one_core", ownCpu},
        {"server_tick_lateness_ms", serverStats["tick_lateness"]},
        {"server_delivery_ms", serverStats["delivery"]},
        {"client_final_tick_delivery_ms",
         {{"count", delivery.count()},
          {"p50", ms(delivery.percentile(0.5))},
          {"p99", ms(delivery.percentile(0.99))},
          {"p999", ms(delivery.percentile(0.999))},
          {"max", ms(delivery.max())}}},
        {"final_ticks_received", seen.finals},
        {"inputs_received", seen.inputs},
        {"ticks_missed", gaps},
        {"server_rss_idle_kib", idleKiB},
        {"server_rss_loaded_kib", loadedKiB},
        {"memory_per_match_kib", static_cast<double>(loadedKiB - idleKiB) / settings.matches},
        {"bytes_per_player_per_second", bytesPerPlayer},
        {"bytes_from_player_per_second", bytesFromPlayer},
        {"server_payload_bytes_per_second",
         serverStats["bytes_sent"].get<double>() / serverStats["seconds"].get<double>()},
    };
    std::printf("%s\n", report.dump(2).c_str());
    if (!settings.out.empty()) {
        std::ofstream(settings.out) << report.dump(2) << "\n";
    }
    return exited == 0 && stillConnected == 2 * settings.matches ? 0 : 1;
}
