#pragma once

#include <QElapsedTimer>
#include <QFile>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <QWebSocket>
#include <memory>

#include "client/match_view.h"
#include "client/screen_log.h"
#include "qt/game_window.h"
#include "qt/scene_painter.h"
#include "scene/controls.h"

class QLabel;
class QMessageBox;
class QPushButton;
class QFrame;

namespace voltaro {

class OnlineDialog;

// The desktop game in an online match: the dialog that creates or joins a room, then the form's
// window showing what the server's match does, its boxes, and the end with "Play again" and
// "Quit". The match itself, and every word the player reads, come from client::MatchView; this
// class carries frames over a QWebSocket and draws.
class OnlineGame final : public QObject, private ControlObserver {
    Q_OBJECT

  public:
    struct Start {
        QString server;       // ws://host:port/ws
        QString code;         // join this room at once; empty: the dialog asks
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
    void shapeMoved(const Shape& shape, const TwipBox& before) override;
    void captionChanged(const Label& label) override;

    double now() const;
    void createRoom(const QString& server);
    void joinRoom(const QString& typed, const QString& server, bool orTheWaitingMatch = false);
    void onOpened();
    void onClosed();
    void checkServer();
    void followConnectionStep();
    void dropSocket();
    void onFrame(const QString& frame);
    void afterModel();
    void flush();
    void showPhase();
    void showBox();
    void showEnd();
    void logScene();
    void logLine(const QString& entry);
    void quit();
    void announceRoom();

    Start start_;
    client::MatchView match_;
    Controls controls_;
    ScenePainter painter_;
    GameWindow window_;
    QLabel* status_;
    QFrame* end_;
    QLabel* endText_;
    QPushButton* again_;
    std::unique_ptr<OnlineDialog> dialog_;
    QMessageBox* box_ = nullptr;
    std::uint32_t boxShown_ = 0;  // the box number on screen, so that each opens once
    QWebSocket socket_;
    QString server_;
    QTimer checkTimer_;  // whether the server still answers
    QElapsedTimer clock_;
    QFile log_;
    client::ScreenLog screenLog_;
    bool quitting_ = false;
    bool dropping_ = false;
    bool announced_ = false;
};

}  // namespace voltaro
