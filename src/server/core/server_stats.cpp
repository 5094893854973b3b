#include "server/core/server_stats.h"

#include <cstdio>
#include <fstream>

namespace voltaro::server {

namespace {

double milliseconds(Duration duration) {
    return std::chrono::duration<double, std::milli>(duration).count();
}

void writeHistogram(std::ostream& out, const char* name, const LatencyHistogram& histogram) {
    char line[256];
    std::snprintf(line, sizeof line,
                  "  \"%s\": {\"count\": %llu, \"p50_ms\": %.3f, \"p99_ms\": %.3f, "
                  "\"p999_ms\": %.3f, \"max_ms\": %.3f},\n",
                  name, static_cast<unsigned long long>(histogram.count()),
                  milliseconds(histogram.percentile(0.5)), milliseconds(histogram.percentile(0.99)),
                  milliseconds(histogram.percentile(0.999)), milliseconds(histogram.max()));
    out << line;
}

}  // namespace

void ServerStats::restart(Duration now) {
    *this = ServerStats{};
    since = now;
}

bool ServerStats::write(const std::filesystem::path& file, Duration now, std::size_t openRooms,
                        std::size_t openMatches) const {
    std::ofstream out(file, std::ios::trunc);
    out << "{\n";
    writeHistogram(out, "tick_lateness", tickLateness);
    writeHistogram(out, "delivery", delivery);
    out << "  \"seconds\": " << std::chrono::duration<double>(now - since).count() << ",\n"
        << "  \"messages_sent\": " << messagesSent << ",\n"
        << "  \"bytes_sent\": " << bytesSent << ",\n"
        << "  \"messages_received\": " << messagesReceived << ",\n"
        << "  \"bytes_received\": " << bytesReceived << ",\n"
        << "  \"connections_opened\": " << connectionsOpened << ",\n"
        << "  \"connections_refused\": " << connectionsRefused << ",\n"
        << "  \"records_dropped\": " << recordsDropped << ",\n"
        << "  \"records_cut_off\": " << recordsCutOff << ",\n"
        << "  \"open_rooms\": " << openRooms << ",\n"
        << "  \"open_matches\": " << openMatches << "\n}\n";
    return static_cast<bool>(out.flush());
}

}  // namespace voltaro::server
