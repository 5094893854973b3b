#pragma once

#include <QByteArray>
#include <QNetworkReply>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <chrono>

class QNetworkAccessManager;

namespace voltaro {

// A match's record fetched from the server that played it (GET /replay/ID), for the desktop's
// own replay window. No more than a record may hold is taken, a server that stops answering or
// trickles the record out is given up on, and a redirect is followed only to the same server.
class ReplayFetch final : public QObject {
    Q_OBJECT

  public:
    // `patience`: for the whole record, which a server sends in well under a second.
    explicit ReplayFetch(std::chrono::milliseconds patience = std::chrono::seconds(20));
    ~ReplayFetch() override;

    // One at a time: a new fetch gives up the one on its way.
    void fetch(const QString& url);
    bool busy() const { return reply_ != nullptr; }

  signals:
    void fetched(const QByteArray& text);
    // Why there is no record to play, in words for the player.
    void failed(const QString& why);

  private:
    void readSome();
    void finish();
    void giveUp(const QString& why);

    QNetworkAccessManager* network_;
    QPointer<QNetworkReply> reply_;
    QByteArray text_;
    QTimer deadline_;
};

}  // namespace voltaro
