#include "app/hosted_server.h"

#include <boost/system/system_error.hpp>
#include <system_error>

namespace voltaro {

HostedServer::HostedServer(std::uint16_t port, std::filesystem::path site) {
    options_.address = "0.0.0.0";
    options_.port = port;
    options_.site = std::move(site);
    options_.ownSignals = false;
    try {
        server_ = std::make_unique<server::MatchServer>(options_);
    } catch (const boost::system::system_error&) {
        if (port == 0) {
            throw;
        }
        options_.port = 0;  // that port is taken (another game hosting?): any free one
        server_ = std::make_unique<server::MatchServer>(options_);
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
