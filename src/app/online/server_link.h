#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <QWebSocket>

#include "client/match_view.h"

namespace voltaro {

// The desktop game's connection to the match server: a QWebSocket that carries the view's
// frames, opened and dropped when the view says, its opening, frames and end reported to the
// view, which is asked twice a second whether the server still answers.
class ServerLink final : public QObject {
    Q_OBJECT

  public:
    explicit ServerLink(client::MatchView& match);
    ~ServerLink() override;

    // What the view wants now: its frames sent, a connection opened or dropped.
    void follow();
    // The last frames out and a clean close, as the program ends; nothing is reported after it.
    void close();
    // The steady clock the view is told, in milliseconds (to the microsecond).
    double now() const;

  signals:
    // The view heard from the socket or the clock: what it shows may have changed.
    void viewChanged();

  private:
    void followConnectionStep();
    void dropSocket();
    void onClosed();

    client::MatchView& match_;
    QWebSocket socket_;
    QTimer checkTimer_;
    QElapsedTimer clock_;
    bool dropping_ = false;
    bool closing_ = false;
};

}  // namespace voltaro
