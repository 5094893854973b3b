#include "app/online/online_options.h"

#include <QCommandLineParser>
#include <QDeadlineTimer>
#include <QHostAddress>
#include <QNetworkInterface>
#include <QStringList>
#include <boost/system/system_error.hpp>
#include <cstdio>
#include <memory>

#include "app/hosted_server.h"
#include "app/online/online_dialog.h"
#include "app/online/online_game.h"
#include "client/match_view.h"

namespace voltaro {

namespace {

const QString kDefaultServer = QStringLiteral("ws://127.0.0.1:8000/ws");

QString option(const char* name) {
    return QString::fromLatin1(name);
}

// The addresses at which a friend on one of this machine's networks reaches it, as a link
// writes them: IPv4 first, as most home networks give them, then IPv6 if the game listens there.
// Left out: link-local addresses (a link would have to name the friend's own interface), and
// IPv6's temporary and deprecated ones, which come and go.
QStringList networkAddresses(bool ipv6) {
    QStringList ipv4Addresses;
    QStringList ipv6Addresses;
    for (const QNetworkInterface& network : QNetworkInterface::allInterfaces()) {
        const auto flags = network.flags();
        if (!flags.testFlag(QNetworkInterface::IsUp) ||
            !flags.testFlag(QNetworkInterface::IsRunning) ||
            flags.testFlag(QNetworkInterface::IsLoopBack)) {
            continue;
        }
        for (const QNetworkAddressEntry& entry : network.addressEntries()) {
            const QHostAddress address = entry.ip();
            if (address.isLoopback() || address.isLinkLocal()) {
                continue;
            }
            if (address.protocol() == QAbstractSocket::IPv4Protocol) {
                ipv4Addresses.append(address.toString());
            } else if (ipv6 && address.protocol() == QAbstractSocket::IPv6Protocol &&
                       !entry.isTemporary() &&
                       !(entry.isLifetimeKnown() && entry.preferredLifetime().hasExpired())) {
                ipv6Addresses.append(QStringLiteral("[%1]").arg(address.toString()));
            }
        }
    }
    return ipv4Addresses + ipv6Addresses;
}

// Where a friend joins: this machine's addresses on its networks, then itself.
QStringList hostAddresses(std::uint16_t port, bool ipv6) {
    QStringList bases;
    for (const QString& address : networkAddresses(ipv6)) {
        bases.append(QStringLiteral("http://%1:%2/").arg(address).arg(port));
    }
    bases.append(QStringLiteral("http://127.0.0.1:%1/").arg(port));
    return bases;
}

}  // namespace

void addOnlineOptions(QCommandLineParser& parser) {
    parser.addOption({option("online"), QStringLiteral("Play a friend online: create or join a "
                                                       "match.")});
    parser.addOption({option("join"),
                      QStringLiteral("Join a friend's match: its code, the link they sent, "
                                     "or the address of a game hosting it."),
                      QStringLiteral("code|link|address")});
    parser.addOption({option("server"),
                      QStringLiteral("The match server for --online and --join (remembered)."),
                      QStringLiteral("url")});
    parser.addOption({option("host"), QStringLiteral("Host a match on this machine for a friend "
                                                     "on your network (browser or game).")});
    parser.addOption({option("port"), QStringLiteral("The port --host listens on (8000)."),
                      QStringLiteral("port")});
    parser.addOption({option("site"), QStringLiteral("The web page's folder that --host serves."),
                      QStringLiteral("dir")});
}

std::optional<int> readOnlineOptions(const QCommandLineParser& parser, OnlineOptions& options) {
    options.online = parser.isSet(option("online"));
    options.host = parser.isSet(option("host"));
    options.join = parser.value(option("join"));
    options.server = parser.value(option("server"));
    options.site = parser.value(option("site"));
    if (parser.isSet(option("port"))) {
        bool ok = false;
        options.port = parser.value(option("port")).toInt(&ok);
        if (!ok || options.port < 0 || options.port > 65535) {
            std::fprintf(stderr, "voltaro: --port wants a port number (0 for any free one)\n");
            return 2;
        }
    }
    if (!options.server.isEmpty() && client::matchSocketUrl(options.server.toStdString()).empty()) {
        std::fprintf(stderr, "voltaro: --server wants an address such as ws://host:8000/ws\n");
        return 2;
    }
    return std::nullopt;
}

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
