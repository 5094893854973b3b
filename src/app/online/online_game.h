#pragma once

#include <QObject>
#include <QStringList>
#include <QTimer>
#include <memory>

#include "app/online/host_announcement.h"
#include "app/online/match_window.h"
#include "app/online/online_log.h"
#include "app/online/server_link.h"
#include "app/online/waiting_game.h"
#include "app/replay/replay_fetch.h"
#include "client/match_view.h"
#include "client/replay_viewer.h"

namespace voltaro {

class OnlineDialog;
class ReplayWindow;

// The desktop game in an online match: the dialog that creates or joins a room, then the form's
// window showing what the server's match does, its boxes, and the end with "Play again", "Quit"
// and the replay, which plays in a window of its own. While the player waits alone for a quick
// match, the computer may play them meanwhile. The match itself, and every word the player reads,
// come from client::MatchView; this class passes what the player does to it and shows what it says,
// in the dialog until a match starts and in the window after: while a match runs, at every frame of
// the display.
class OnlineGame final : public QObject {
    Q_OBJECT

  public:
    struct Start {
        QString server;       // ws://host:port/ws
        QString code;         // join this room at once; empty: the dialog asks
        bool watch = false;   // watch the room `code` instead of joining it
        bool quick = false;   // wait at once for whoever else wants a match
        bool create = false;  // create a room at once (voltaro --host)
        // --join with an address alone: the match that waits there for a friend (a hosted one)
        bool joinWaiting = false;
        // voltaro --host: the addresses (http://host:port/) at which a friend reaches this
        // machine's server, the last one this machine's own.
        QStringList hostAddresses;
    };

    explicit OnlineGame(Start start);
    ~OnlineGame() override;

    // Runs until the player quits or closes a window; the exit status.
    int run();

  private:
    void createRoom(const QString& server);
    // `watch`: as a spectator, whatever the link was for.
    void joinRoom(const QString& typed, const QString& server, bool orTheWaitingMatch = false,
                  bool watch = false);
    void quickMatch(const QString& server);
    void followQueue();
    void fetchReplay();
    void watchReplay(const QByteArray& text);
    bool beginOn(const QString& server);
    void begin(const std::string& url);
    void afterModel(bool atOnce = false);
    void followFrames();
    void showInDialog();
    void quit();

    Start start_;
    client::MatchView match_;
    MatchWindow window_;
    std::unique_ptr<OnlineDialog> dialog_;
    ServerLink link_;
    HostAnnouncement announcement_;
    OnlineLog log_;
    QTimer frames_;
    WaitingGame waiting_;  // the computer, while the player waits alone in the queue
    ReplayFetch replayFetch_;
    std::unique_ptr<client::ReplayViewer> replayViewer_;
    std::unique_ptr<ReplayWindow> replayWindow_;  // the last match's, once asked for
    bool quitting_ = false;
    bool asked_ = false;  // a room was asked for: the view's words go in the dialog
};

}  // namespace voltaro
