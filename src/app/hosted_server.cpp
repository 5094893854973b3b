#include "app/hosted_server.h"

#include <boost/system/system_error.hpp>
#include <cstdio>
#include <optional>
#include <system_error>

namespace voltaro {

namespace {

// An error that escapes the server once it is shutting down would do so again: after this many
// the thread gives up on a clean close and ends.
constexpr int kRunsAfterFailure = 3;

}  // namespace

// Every address of the machine, IPv6 and IPv4 on one socket, or IPv4 alone on a machine without
// IPv6; on the port asked for, or on any free one when that is taken (another game hosting?).
// A port taken for one of the two is taken for the game: it moves rather than lose IPv6.
HostedServer::HostedServer(std::uint16_t port, std::filesystem::path site,
                           HostedListening listening) {
    options_.site = std::move(site);
    options_.ownSignals = false;
    options_.ipv4Too = true;
    options_.joinWithoutCode = true;  // the friend may know only this machine's address
    // No proxy stands in front of a game: every peer speaks for itself, and every request's
    // Host is checked (a page of another site pointed at this machine's address is refused).
    options_.trustedProxies.clear();
    listen(port, listening.addresses, listening.random);
    const auto endpoint = server_->endpoint();
    port_ = endpoint.port();
    onIpv6_ = endpoint.address().is_v6();
    thread_ = std::thread([this] { serve(); });
}

void HostedServer::listen(std::uint16_t port, const std::vector<std::string>& addresses,
                          server::SecretSource* random) {
    std::optional<boost::system::system_error> failed;
    for (const std::string& address : addresses) {
        for (const std::uint16_t tried : {port, std::uint16_t{0}}) {
            options_.address = address;
            options_.port = tried;
            try {
                server_ = std::make_unique<server::MatchServer>(options_, random);
                return;
            } catch (const boost::system::system_error& error) {
                failed = error;
            }
        }
    }
    throw failed.value_or(boost::system::system_error(
        make_error_code(boost::system::errc::invalid_argument), "no address to listen on"));
}

// An error escaping the server (its random source failing, for one) must not end the game with
// it: the reason is kept and told, and the server closes its connections as on SIGTERM, so
// that the players' windows see it go.
void HostedServer::serve() {
    for (int run = 0; run < kRunsAfterFailure; ++run) {
        try {
            server_->run();
            return;
        } catch (const std::exception& error) {
            failed(error.what());
        } catch (...) {
            failed("an unknown error");
        }
        server_->stop();
    }
}

void HostedServer::failed(const char* reason) {
    const std::lock_guard lock(failureMutex_);
    if (!failure_) {
        failure_ = reason;
        std::fprintf(stderr, "voltaro: the hosted match server stopped: %s\n", reason);
    }
}

std::optional<std::string> HostedServer::failure() const {
    const std::lock_guard lock(failureMutex_);
    return failure_;
}

HostedServer::~HostedServer() {
    server_->stop();
    thread_.join();
}

std::filesystem::path hostedSite(const std::filesystem::path& given) {
    if (!given.empty()) {
        return given;
    }
    const auto installed = server::installedSite();
    const auto built = server::besideProgram("build-web/site");
    std::error_code error;
    if (built && !std::filesystem::exists(installed / "index.html", error) &&
        std::filesystem::exists(*built / "index.html", error)) {
        return *built;
    }
    return installed;
}

}  // namespace voltaro
