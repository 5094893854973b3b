#pragma once

#include <QString>
#include <optional>

class QCommandLineParser;

namespace voltaro {

// The command line of online play: --online (the dialog), --join CODE|LINK, --watch CODE|LINK,
// --quick (whoever else waits on the server), --server URL, and --host (this machine's own
// server, with --port and --site).
struct OnlineOptions {
    bool online = false;
    bool host = false;
    bool quick = false;
    QString server;  // empty: the one remembered from the last time
    QString join;
    QString watch;
    int port = 8000;
    QString site;

    bool wanted() const { return online || host || quick || !join.isEmpty() || !watch.isEmpty(); }
};

void addOnlineOptions(QCommandLineParser& parser);
// Fills `options`; the exit status 2, with its message printed, when a value is wrong.
std::optional<int> readOnlineOptions(const QCommandLineParser& parser, OnlineOptions& options);

}  // namespace voltaro
