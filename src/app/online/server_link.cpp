#include "app/online/server_link.h"

namespace voltaro {

namespace {

constexpr int kCheckEveryMs = 500;

}  // namespace

ServerLink::ServerLink(client::MatchView& match) : match_(match) {
    connect(&socket_, &QWebSocket::connected, this, [this] {
        match_.opened();
        emit viewChanged();
    });
    connect(&socket_, &QWebSocket::disconnected, this, &ServerLink::onClosed);
    connect(&socket_, &QWebSocket::textMessageReceived, this, [this](const QString& frame) {
        match_.received(frame.toStdString(), now());
        emit viewChanged();
    });
    // A connection that never opened may end with an error alone.
    connect(&socket_, qOverload<QAbstractSocket::SocketError>(&QWebSocket::error), this, [this] {
        QTimer::singleShot(0, this, [this] {
            if (socket_.state() == QAbstractSocket::UnconnectedState) {
                onClosed();
            }
        });
    });
    // A server that stopped, or a network that dropped it without a word, closes nothing: the
    // view notices the silence, as it notices when to try a dropped connection again.
    clock_.start();
    connect(&checkTimer_, &QTimer::timeout, this, [this] {
        match_.checkConnection(now());
        emit viewChanged();
    });
    checkTimer_.start(kCheckEveryMs);
}

ServerLink::~ServerLink() {
    socket_.disconnect(this);
}

double ServerLink::now() const {
    return static_cast<double>(clock_.nsecsElapsed()) / 1e6;
}

void ServerLink::follow() {
    for (const std::string& frame : match_.takeOutgoing()) {
        socket_.sendTextMessage(QString::fromStdString(frame));
    }
    followConnectionStep();
}

// What the view wants of the connection: a new one (to its room, once it has one), or none.
void ServerLink::followConnectionStep() {
    switch (match_.takeConnectionStep()) {
        case client::MatchView::ConnectionStep::None:
            return;
        case client::MatchView::ConnectionStep::Open:
            dropSocket();
            socket_.open(QUrl(QString::fromStdString(match_.socketUrl())));
            return;
        case client::MatchView::ConnectionStep::Drop:
            dropSocket();
            return;
    }
}

// The end of a connection the view gave up on is not news to it.
void ServerLink::dropSocket() {
    dropping_ = true;
    socket_.abort();
    dropping_ = false;
}

void ServerLink::onClosed() {
    if (closing_ || dropping_) {
        return;
    }
    match_.closed(static_cast<std::uint16_t>(socket_.closeCode()),
                  socket_.closeReason().toStdString(), now());
    emit viewChanged();
}

void ServerLink::close() {
    closing_ = true;
    checkTimer_.stop();
    if (socket_.state() == QAbstractSocket::ConnectedState) {
        follow();
        socket_.flush();
        socket_.close();
    }
}

}  // namespace voltaro
