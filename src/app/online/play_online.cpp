#include "app/online/play_online.h"

#include <boost/system/system_error.hpp>
#include <cstdio>
#include <memory>

#include "app/hosted_server.h"
#include "app/online/network_addresses.h"
#include "app/online/online_dialog.h"
#include "app/online/online_game.h"
#include "client/join_link.h"

namespace voltaro {

namespace {

const QString kDefaultServer = QStringLiteral("ws://127.0.0.1:8000/ws");

}  // namespace

int playOnline(const OnlineOptions& options) {
    OnlineGame::Start start;
    std::unique_ptr<HostedServer> hosted;
    if (options.host) {
        try {
            hosted = std::make_unique<HostedServer>(static_cast<std::uint16_t>(options.port),
                                                    hostedSite(options.site.toStdString()));
        } catch (const boost::system::system_error& error) {
            std::fprintf(stderr, "voltaro: cannot host a match on port %d: %s\n", options.port,
                         error.code().message().c_str());
            return 1;
        }
        start.hostAddresses = hostAddresses(hosted->port(), hosted->onIpv6());
        std::printf("voltaro: hosting matches on port %u\n", static_cast<unsigned>(hosted->port()));
        std::fflush(stdout);
        start.server = QStringLiteral("ws://127.0.0.1:%1/ws").arg(hosted->port());
        start.create = true;
    } else {
        const QString typed =
            options.server.isEmpty() ? rememberedServer(kDefaultServer) : options.server;
        start.server = QString::fromStdString(client::matchSocketUrl(typed.toStdString()));
        // --join with a server's address alone: the match that waits there for a friend, if it
        // has just one (voltaro --host's); else the dialog, on that server, asks for the code.
        const auto target = client::readJoinTarget(options.join.toStdString());
        if (!target.server.empty()) {
            start.server = QString::fromStdString(target.server);
        }
        start.code = target.code.empty() ? QString() : options.join;
        start.joinWaiting = target.code.empty() && !target.server.empty();
    }
    OnlineGame game(start);
    return game.run();
}

}  // namespace voltaro
