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
        const QString address =
            options.server.isEmpty() ? rememberedServer(kDefaultServer) : options.server;
        start.server = QString::fromStdString(client::matchSocketUrl(address.toStdString()));
        // --join with a server's address alone: the match that waits there for a friend, if it
        // has just one (voltaro --host's); else the dialog, on that server, asks for the code.
        // --watch takes a code or a link too, to watch or to join: the code is what counts.
        const QString typed = options.watch.isEmpty() ? options.join : options.watch;
        const auto target = client::readJoinTarget(typed.toStdString());
        if (!target.server.empty()) {
            start.server = QString::fromStdString(target.server);
        }
        start.code = target.code.empty() ? QString() : typed;
        start.watch = !options.watch.isEmpty() && !target.code.empty();
        start.joinWaiting =
            target.code.empty() && !target.server.empty() && options.watch.isEmpty();
        start.quick = options.quick;
    }
    OnlineGame game(start);
    return game.run();
}

}  // namespace voltaro
