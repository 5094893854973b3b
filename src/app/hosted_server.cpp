#include "app/hosted_server.h"

#include <boost/system/system_error.hpp>
#include <optional>
#include <system_error>

namespace voltaro {

// Every address of the machine, IPv6 and IPv4 on one socket, or IPv4 alone on a machine without
// IPv6; on the port asked for, or on any free one when that is taken (another game hosting?).
// A port taken for one of the two is taken for the game: it moves rather than lose IPv6.
HostedServer::HostedServer(std::uint16_t port, std::filesystem::path site) {
    options_.site = std::move(site);
    options_.ownSignals = false;
    options_.ipv4Too = true;
    options_.joinWithoutCode = true;  // the friend may know only this machine's address
    // No proxy stands in front of a game: every peer speaks for itself, and every request's
    // Host is checked (a page of another site pointed at this machine's address is refused).
    options_.trustedProxies.clear();
    std::optional<boost::system::system_error> failed;
    for (const char* address : {"::", "0.0.0.0"}) {
        for (const std::uint16_t tried : {port, std::uint16_t{0}}) {
            options_.address = address;
            options_.port = tried;
            try {
                server_ = std::make_unique<server::MatchServer>(options_);
                break;
            } catch (const boost::system::system_error& error) {
                failed = error;
            }
        }
        if (server_) {
            break;
        }
    }
    if (!server_) {
        throw *failed;
    }
    port_ = server_->endpoint().port();
    thread_ = std::thread([this] { server_->run(); });
}

HostedServer::~HostedServer() {
    server_->stop();
    thread_.join();
}

std::filesystem::path hostedSite(const std::filesystem::path& given) {
    if (!given.empty()) {
        return given;
    }
    std::error_code error;
    const auto program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) {
        return "/usr/share/voltaro/site";
    }
    const auto installed = program.parent_path().parent_path() / "share" / "voltaro" / "site";
    const auto built = program.parent_path().parent_path() / "build-web" / "site";
    if (!std::filesystem::exists(installed / "index.html", error) &&
        std::filesystem::exists(built / "index.html", error)) {
        return built;
    }
    return installed;
}

}  // namespace voltaro
