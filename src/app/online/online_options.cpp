#include "app/online/online_options.h"

#include <QCommandLineParser>
#include <cstdio>

#include "client/join_link.h"

namespace voltaro {

namespace {

QString option(const char* name) {
    return QString::fromLatin1(name);
}

}  // namespace

void addOnlineOptions(QCommandLineParser& parser) {
    parser.addOption({option("online"), QStringLiteral("Play a friend online: create or join a "
                                                       "match.")});
    parser.addOption({option("join"),
                      QStringLiteral("Join a friend's match: its code, the link they sent, "
                                     "or the address of a game hosting it."),
                      QStringLiteral("code|link|address")});
    parser.addOption({option("watch"),
                      QStringLiteral("Watch a match: its code, or the link to watch or join it."),
                      QStringLiteral("code|link")});
    parser.addOption({option("quick"), QStringLiteral("Play someone online: wait on the server "
                                                      "for whoever else wants a match.")});
    parser.addOption({option("server"),
                      QStringLiteral("The match server for --online, --join, --watch and --quick "
                                     "(remembered)."),
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
    options.watch = parser.value(option("watch"));
    options.quick = parser.isSet(option("quick"));
    const int ways = (options.host ? 1 : 0) + (options.join.isEmpty() ? 0 : 1) +
                     (options.watch.isEmpty() ? 0 : 1) + (options.quick ? 1 : 0);
    if (ways > 1) {
        std::fprintf(stderr,
                     "voltaro: --host, --join, --watch and --quick are ways to play "
                     "online: choose one\n");
        return 2;
    }
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

}  // namespace voltaro
