// voltaro-server: hosts online matches and serves the web edition's page on one port.
#include <sys/resource.h>

#include <boost/system/system_error.hpp>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

#include "server/net/match_server.h"
#include "server/net/server_options.h"

namespace {

// Every match holds two sockets: allow as many as the administrator's hard limit does, rather
// than the 1024 a shell starts with.
void raiseFileLimit() {
    rlimit files{};
    if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
        files.rlim_cur = files.rlim_max;
        setrlimit(RLIMIT_NOFILE, &files);
    }
}

// An address as it stands in a URL: IPv6 ones in brackets.
std::string urlHost(const boost::asio::ip::address& address) {
    return address.is_v6() ? "[" + address.to_string() + "]" : address.to_string();
}

bool prepareRecords(const std::filesystem::path& folder) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error || !std::filesystem::is_directory(folder)) {
        std::fprintf(stderr, "voltaro-server: cannot use %s for records: %s\n", folder.c_str(),
                     error ? error.message().c_str() : "not a folder");
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char* argv[]) {
    using namespace voltaro::server;
    const auto read =
        readServerOptions(std::vector<std::string>(argv + 1, argv + argc), installedSite());
    if (const auto* exit = std::get_if<EarlyExit>(&read)) {
        std::fputs(exit->text.c_str(), exit->status == 0 ? stdout : stderr);
        return exit->status;
    }
    const auto& options = std::get<ServerOptions>(read);
    if (!options.records.empty() && !prepareRecords(options.records)) {
        return 1;
    }
    raiseFileLimit();
    try {
        MatchServer server(options);
        if (!SiteFolder(options.site).exists()) {
            std::fprintf(stderr,
                         "voltaro-server: no site folder at %s: serving matches only (make web "
                         "builds the page; --site names its folder)\n",
                         options.site.c_str());
        }
        // The operator's port first: the public one is the last line a supervisor waits for.
        if (const auto metrics = server.metricsEndpoint()) {
            std::printf("voltaro-server: metrics on http://%s:%u/metrics\n",
                        urlHost(metrics->address()).c_str(),
                        static_cast<unsigned>(metrics->port()));
        }
        const auto endpoint = server.endpoint();
        std::printf("voltaro-server: listening on http://%s:%u/\n",
                    urlHost(endpoint.address()).c_str(), static_cast<unsigned>(endpoint.port()));
        std::fflush(stdout);
        server.run();
    } catch (const boost::system::system_error& error) {
        std::fprintf(stderr, "voltaro-server: cannot listen on %s:%u: %s\n",
                     options.address.c_str(), static_cast<unsigned>(options.port),
                     error.code().message().c_str());
        return 1;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "voltaro-server: %s\n", error.what());
        return 1;
    }
    return 0;
}
