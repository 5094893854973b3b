#include "app/online/online_game.h"

#include <QApplication>
#include <QDateTime>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QStyleHints>
#include <QVBoxLayout>
#include <chrono>
#include <cstdio>

#include "app/online/online_dialog.h"
#include "client/screen_log.h"
#include "qt/x11_desktop.h"
#include "scene/layout.h"

namespace voltaro {

namespace {

using Phase = client::MatchView::Phase;

constexpr int kCheckEveryMs = 500;

QString text(const std::string& s) {
    return QString::fromStdString(s);
}

// The desktop's key repeat, which the server applies to this player's held keys.
void reportKeyRepeat(client::MatchView& match) {
    using namespace std::chrono;
    if (const auto controls = x11::keyRepeatControls()) {
        match.setKeyRepeat(duration<double, std::milli>(controls->delay).count(),
                           duration<double, std::milli>(controls->interval).count());
        return;
    }
    const int perSecond = QGuiApplication::styleHints()->keyboardAutoRepeatRate();
    match.setKeyRepeat(500, 1000.0 / (perSecond > 0 ? perSecond : 30));
}

}  // namespace

OnlineGame::OnlineGame(Start start)
    : start_(std::move(start)),
      controls_(form1Controls()),
      painter_(controls_, form1Record().backColour),
      window_(form1Record(), painter_),
      status_(new QLabel(&window_)),
      end_(new QFrame(&window_)),
      endText_(new QLabel),
      again_(new QPushButton(QStringLiteral("Play again"))),
      dialog_(std::make_unique<OnlineDialog>(
          start_.server, start_.hostAddresses.isEmpty()
                             ? QString()
                             : QStringLiteral("This game hosts the match on your network."))),
      server_(start_.server) {
    controls_.setObserver(this);
    // What these show comes from the server: as plain text, or any server could draw its own
    // widgets, images and links into the game.
    status_->setTextFormat(Qt::PlainText);
    endText_->setTextFormat(Qt::PlainText);
    status_->setObjectName(QStringLiteral("status"));
    status_->setStyleSheet(QStringLiteral(
        "background: #fff8c4; color: #000; border: 1px solid #888; padding: 4px 8px;"));
    status_->setWordWrap(true);
    status_->hide();

    end_->setObjectName(QStringLiteral("end"));
    end_->setAutoFillBackground(true);
    end_->setFrameShape(QFrame::Box);
    auto* quit = new QPushButton(QStringLiteral("Quit"));
    auto* row = new QHBoxLayout(end_);
    row->addWidget(endText_, 1);
    row->addWidget(again_);
    row->addWidget(quit);
    end_->hide();
    connect(again_, &QPushButton::clicked, this, [this] {
        match_.playAgain();
        afterModel();
    });
    connect(quit, &QPushButton::clicked, this, &OnlineGame::quit);

    connect(&window_, &GameWindow::keyPressed, this, [this](int key, std::int16_t code, bool rep) {
        if (!rep) {
            logLine(text(client::ScreenLog::keyLine(code)));
            match_.keyDown(key, code);
            flush();
        }
    });
    connect(&window_, &GameWindow::keyReleased, this, [this](int key, bool rep) {
        if (!rep) {
            match_.keyUp(key);
            flush();
        }
    });
    connect(&window_, &GameWindow::focusLost, this, [this] {
        match_.focusLost();
        flush();
    });
    connect(&window_, &GameWindow::closeRequested, this, &OnlineGame::quit);

    connect(dialog_.get(), &OnlineDialog::createWanted, this,
            [this] { createRoom(dialog_->server()); });
    connect(dialog_.get(), &OnlineDialog::joinWanted, this,
            [this](const QString& typed) { joinRoom(typed, dialog_->server()); });
    connect(dialog_.get(), &QDialog::rejected, this, &OnlineGame::quit);

    connect(&socket_, &QWebSocket::connected, this, &OnlineGame::onOpened);
    connect(&socket_, &QWebSocket::disconnected, this, &OnlineGame::onClosed);
    connect(&socket_, &QWebSocket::textMessageReceived, this, &OnlineGame::onFrame);
    // A connection that never opened may end with an error alone.
    connect(&socket_, qOverload<QAbstractSocket::SocketError>(&QWebSocket::error), this, [this] {
        QTimer::singleShot(0, this, [this] {
            if (socket_.state() == QAbstractSocket::UnconnectedState) {
                onClosed();
            }
        });
    });
    clock_.start();
    connect(&checkTimer_, &QTimer::timeout, this, &OnlineGame::checkServer);
    checkTimer_.start(kCheckEveryMs);

    if (const QByteArray path = qgetenv("VOLTARO_ONLINE_LOG"); !path.isEmpty()) {
        log_.setFileName(QString::fromLocal8Bit(path));
        (void)log_.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered);
    }
}

OnlineGame::~OnlineGame() {
    controls_.setObserver(nullptr);
    socket_.disconnect(this);
}

int OnlineGame::run() {
    reportKeyRepeat(match_);
    dialog_->show();
    if (start_.create) {
        createRoom(server_);
    } else if (!start_.code.isEmpty()) {
        joinRoom(start_.code, server_);
    } else if (start_.joinWaiting) {
        joinRoom(server_, server_, true);
    } else {
        dialog_->showStatus(
            QStringLiteral("Create a match and send the code to a friend, or "
                           "join one with the code or link you were sent."));
    }
    return QApplication::exec();
}

double OnlineGame::now() const {
    return static_cast<double>(clock_.elapsed());
}

void OnlineGame::createRoom(const QString& server) {
    const std::string url = client::matchSocketUrl(server.toStdString());
    if (url.empty()) {
        dialog_->showStatus(QStringLiteral("That is not a server address."));
        return;
    }
    match_ = client::MatchView(url);
    reportKeyRepeat(match_);
    match_.create();
    afterModel();
}

// `orTheWaitingMatch`: without a code, the match that waits for a friend on that server, which
// a server hosted by a game offers; another server refuses, and the dialog asks for the code.
void OnlineGame::joinRoom(const QString& typed, const QString& server, bool orTheWaitingMatch) {
    const auto target = client::readJoinTarget(typed.toStdString());
    const std::string url =
        target.server.empty() ? client::matchSocketUrl(server.toStdString()) : target.server;
    if (url.empty() || (target.code.empty() && !orTheWaitingMatch)) {
        dialog_->showStatus(QStringLiteral("Type the code of the match, or paste its link."));
        return;
    }
    match_ = client::MatchView(url);
    reportKeyRepeat(match_);
    match_.join(target.code);
    afterModel();
}

void OnlineGame::onOpened() {
    match_.opened();
    afterModel();
}

// The end of a connection the view gave up on is not news to it.
void OnlineGame::dropSocket() {
    dropping_ = true;
    socket_.abort();
    dropping_ = false;
}

void OnlineGame::onClosed() {
    if (quitting_ || dropping_) {
        return;
    }
    match_.closed(static_cast<std::uint16_t>(socket_.closeCode()),
                  socket_.closeReason().toStdString(), now());
    afterModel();
}

// A server that stopped, or a network that dropped it without a word, closes nothing: the view
// notices the silence, as it notices when to try a dropped connection again.
void OnlineGame::checkServer() {
    if (quitting_) {
        return;
    }
    match_.checkConnection(now());
    afterModel();
}

// What the view wants of the connection: a new one (to its room, once it has one), or none.
void OnlineGame::followConnectionStep() {
    switch (match_.takeConnectionStep()) {
        case client::MatchView::ConnectionStep::None:
            return;
        case client::MatchView::ConnectionStep::Open:
            dropSocket();
            socket_.open(QUrl(text(match_.socketUrl())));
            return;
        case client::MatchView::ConnectionStep::Drop:
            dropSocket();
            return;
    }
}

void OnlineGame::onFrame(const QString& frame) {
    match_.received(frame.toStdString());
    afterModel();
}

// After anything reached the model: what it wants sent goes out, what changed is shown.
void OnlineGame::afterModel() {
    flush();
    followConnectionStep();
    if (!match_.takeChanged()) {
        return;
    }
    client::showScene(match_.scene(), controls_);
    showPhase();
    logScene();
}

void OnlineGame::flush() {
    for (const std::string& frame : match_.takeOutgoing()) {
        socket_.sendTextMessage(text(frame));
    }
}

void OnlineGame::showPhase() {
    const Phase phase = match_.phase();
    const QString status = text(match_.status());
    const bool inMatch = match_.matchNumber() > 0;
    if (!inMatch) {
        dialog_->showStatus(status);
        dialog_->setBusy(phase == Phase::Connecting || phase == Phase::Waiting ||
                         phase == Phase::Reconnecting);
        if (match_.invitesFriend()) {
            announceRoom();
        }
        return;
    }
    if (dialog_->isVisible()) {
        dialog_->hide();
    }
    window_.setWindowTitle(text(form1Record().caption) + QStringLiteral(" - ") +
                           text(match_.matchLine()));
    if (!window_.isVisible()) {
        window_.show();
        window_.activateWindow();
    }
    status_->setVisible(!status.isEmpty() && phase != Phase::Over && phase != Phase::Closed);
    status_->setText(status);
    status_->adjustSize();
    status_->move((window_.width() - status_->width()) / 2, 8);
    showBox();
    showEnd();
}

// The server's box over the scene it opened on; OK answers it, and it closes on the player's
// screen at once even though the match waits for the other's OK.
void OnlineGame::showBox() {
    const bool wanted = match_.phase() == Phase::Box && !match_.boxAnswered();
    if (box_ && (!wanted || boxShown_ != match_.boxNumber())) {
        box_->disconnect(this);
        box_->close();
        box_ = nullptr;
    }
    if (!wanted || box_ || boxShown_ == match_.boxNumber()) {
        return;
    }
    boxShown_ = match_.boxNumber();
    window_.repaint();  // the box opens over its scene
    box_ = new QMessageBox(QMessageBox::NoIcon, QStringLiteral("voltaro"), text(match_.boxText()),
                           QMessageBox::Ok, &window_);
    box_->setTextFormat(Qt::PlainText);  // the server's words, never its markup
    box_->setAttribute(Qt::WA_DeleteOnClose);
    box_->setWindowModality(Qt::NonModal);
    connect(box_, &QMessageBox::finished, this, [this] {
        box_ = nullptr;
        match_.boxOk();
        afterModel();
    });
    box_->show();
}

void OnlineGame::showEnd() {
    const Phase phase = match_.phase();
    const bool over = phase == Phase::Over || phase == Phase::Closed;
    end_->setVisible(over);
    if (!over) {
        return;
    }
    endText_->setText(text(match_.status()));
    again_->setVisible(phase == Phase::Over);
    end_->setFixedWidth(window_.width() - 16);
    end_->adjustSize();
    end_->move(8, 8);  // over the empty top of the field: the counters stay in sight
    end_->raise();
}

// The code and the link for the friend, in the dialog, and for --host on the terminal too: one
// link for each of this machine's addresses.
void OnlineGame::announceRoom() {
    const QString code = text(match_.code());
    QStringList links;
    for (const QString& base : start_.hostAddresses) {
        links.append(text(client::joinLink(base.toStdString(), match_.code())));
    }
    if (links.isEmpty()) {
        links.append(text(match_.joinLink()));
    }
    dialog_->showRoom(code, links.constFirst());
    if (!start_.hostAddresses.isEmpty()) {
        dialog_->showStatus(QStringLiteral("Waiting for your friend. In a browser, or with "
                                           "voltaro --join, they open:\n    ") +
                            links.join(QStringLiteral("\n    ")) +
                            QStringLiteral("\nor type the code %1.").arg(code));
        if (!announced_) {
            announced_ = true;
            std::printf("voltaro: your friend joins match %s at\n    %s\n", qPrintable(code),
                        qPrintable(links.join(QStringLiteral("\n    "))));
            std::fflush(stdout);
        }
    }
}

// A test's record of what this client showed, when it was asked for.
void OnlineGame::logScene() {
    if (!log_.isOpen()) {
        return;
    }
    for (const std::string& line : screenLog_.linesFor(match_)) {
        logLine(text(line));
    }
}

void OnlineGame::logLine(const QString& entry) {
    if (log_.isOpen()) {
        log_.write(
            QStringLiteral("%1 %2\n").arg(QDateTime::currentMSecsSinceEpoch()).arg(entry).toUtf8());
    }
}

void OnlineGame::shapeMoved(const Shape& shape, const TwipBox& before) {
    window_.update(ScenePainter::logicalBounds(before) | ScenePainter::logicalBounds(shape.box()));
}

void OnlineGame::captionChanged(const Label& label) {
    window_.update(ScenePainter::logicalBounds(label.box()));
}

// Closing a window, or Quit: the seat is given up for good, so the friend is told at once rather
// than after the wait for a return.
void OnlineGame::quit() {
    if (quitting_) {
        return;
    }
    quitting_ = true;
    if (socket_.state() == QAbstractSocket::ConnectedState) {
        match_.leave();
        flush();
        socket_.flush();
        socket_.close();
    }
    if (box_) {
        box_->disconnect(this);
    }
    window_.hide();
    dialog_->hide();
    QCoreApplication::exit(0);
}

}  // namespace voltaro
