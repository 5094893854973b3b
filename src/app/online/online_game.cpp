#include "app/online/online_game.h"

#include <QApplication>
#include <QScreen>
#include <QStyleHints>
#include <algorithm>
#include <chrono>
#include <cmath>

#include "app/online/online_dialog.h"
#include "app/replay/play_replay.h"
#include "app/replay/replay_window.h"
#include "qt/x11_desktop.h"

namespace voltaro {

namespace {

using Phase = client::MatchView::Phase;

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

// A frame of the display: the match is drawn as often as the screen shows it, or 60 times a
// second where it does not say.
int frameIntervalMs() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const double rate = screen ? screen->refreshRate() : 0;
    return rate >= 30 ? std::max(1, static_cast<int>(std::lround(1000 / rate))) : 16;
}

}  // namespace

OnlineGame::OnlineGame(Start start)
    : start_(std::move(start)),
      dialog_(std::make_unique<OnlineDialog>(
          start_.server, start_.hostAddresses.isEmpty()
                             ? QString()
                             : QStringLiteral("This game hosts the match on your network."))),
      link_(match_),
      announcement_(start_.hostAddresses) {
    // The player's own press moves their piece on this screen at once, before the server
    // has heard of it.
    connect(&window_, &MatchWindow::keyPressed, this, [this](int key, std::int16_t code) {
        log_.keyPressed(code);
        match_.keyDown(key, code, link_.now());
        afterModel(true);
    });
    connect(&window_, &MatchWindow::keyReleased, this, [this](int key) {
        match_.keyUp(key, link_.now());
        afterModel(true);
    });
    connect(&window_, &MatchWindow::focusLost, this, [this] {
        match_.focusLost(link_.now());
        afterModel();
    });
    frames_.setTimerType(Qt::PreciseTimer);
    connect(&frames_, &QTimer::timeout, this, [this] {
        match_.frame(link_.now());
        afterModel();
    });
    connect(&window_, &MatchWindow::boxAnswered, this, [this] {
        match_.boxOk();
        afterModel();
    });
    connect(&window_, &MatchWindow::playAgainWanted, this, [this] {
        match_.playAgain();
        afterModel();
    });
    connect(&window_, &MatchWindow::quitWanted, this, &OnlineGame::quit);
    connect(&window_, &MatchWindow::replayWanted, this, &OnlineGame::fetchReplay);
    connect(&replayFetch_, &ReplayFetch::fetched, this, &OnlineGame::watchReplay);
    connect(&replayFetch_, &ReplayFetch::failed, this,
            [this](const QString& why) { window_.showReplayNote(why); });

    connect(dialog_.get(), &OnlineDialog::createWanted, this,
            [this] { createRoom(dialog_->server()); });
    connect(dialog_.get(), &OnlineDialog::joinWanted, this,
            [this](const QString& typed) { joinRoom(typed, dialog_->server()); });
    connect(dialog_.get(), &OnlineDialog::watchWanted, this,
            [this](const QString& typed) { joinRoom(typed, dialog_->server(), false, true); });
    connect(dialog_.get(), &OnlineDialog::quickMatchWanted, this,
            [this] { quickMatch(dialog_->server()); });
    connect(dialog_.get(), &OnlineDialog::computerWanted, this, [this] {
        waiting_.start();
        followQueue();
    });
    connect(dialog_.get(), &OnlineDialog::leaveQueueWanted, this, [this] {
        match_.leaveQueue();
        afterModel();
    });
    connect(&waiting_, &WaitingGame::finished, this, &OnlineGame::followQueue);
    connect(dialog_.get(), &QDialog::rejected, this, &OnlineGame::quit);

    connect(&link_, &ServerLink::viewChanged, this, [this] { afterModel(); });
}

OnlineGame::~OnlineGame() = default;

int OnlineGame::run() {
    reportKeyRepeat(match_);
    dialog_->show();
    if (start_.create) {
        createRoom(start_.server);
    } else if (start_.quick) {
        quickMatch(start_.server);
    } else if (!start_.code.isEmpty()) {
        joinRoom(start_.code, start_.server, false, start_.watch);
    } else if (start_.joinWaiting) {
        joinRoom(start_.server, start_.server, true);
    } else {
        dialog_->showStatus(
            QStringLiteral("Create a match and send the code to a friend, join or watch one "
                           "with the code or link you were sent, or play someone online."));
    }
    return QApplication::exec();
}

void OnlineGame::createRoom(const QString& server) {
    if (beginOn(server)) {
        match_.create();
        afterModel();
    }
}

// `orTheWaitingMatch`: without a code, the match that waits for a friend on that server, which
// a server hosted by a game offers; another server refuses, and the dialog asks for the code.
void OnlineGame::joinRoom(const QString& typed, const QString& server, bool orTheWaitingMatch,
                          bool watch) {
    const auto target = client::readJoinTarget(typed.toStdString());
    const std::string url =
        target.server.empty() ? client::matchSocketUrl(server.toStdString()) : target.server;
    if (url.empty() || (target.code.empty() && !orTheWaitingMatch)) {
        dialog_->showStatus(QStringLiteral("Type the code of the match, or paste its link."));
        return;
    }
    begin(url);
    if (watch || target.watch) {
        match_.watch(target.code);
    } else {
        match_.join(target.code);
    }
    afterModel();
}

void OnlineGame::quickMatch(const QString& server) {
    if (beginOn(server)) {
        match_.quickMatch();
        afterModel();
    }
}

// A new view on the server the player named; false, and the dialog says so, when it names none.
bool OnlineGame::beginOn(const QString& server) {
    const std::string url = client::matchSocketUrl(server.toStdString());
    if (url.empty()) {
        dialog_->showStatus(QStringLiteral("That is not a server address."));
        return false;
    }
    begin(url);
    return true;
}

// A new view of a new match on the server at `url`: the one before is over.
void OnlineGame::begin(const std::string& url) {
    match_ = client::MatchView(url);
    reportKeyRepeat(match_);
    asked_ = true;
}

// After anything reached the view: what it wants sent goes out, what changed is shown (at
// once, painted before this returns, for the player's own key).
void OnlineGame::afterModel(bool atOnce) {
    if (quitting_) {
        return;
    }
    link_.follow();
    followFrames();
    followQueue();
    if (!match_.takeChanged()) {
        log_.shown(match_);  // the final ticks, which change nothing on screen
        return;
    }
    if (match_.matchNumber() == 0) {
        // Until the player asks for something the view has nothing to say: the dialog keeps
        // its invitation, and its buttons.
        if (asked_) {
            showInDialog();
        }
    } else {
        if (dialog_->isVisible()) {
            dialog_->hide();
        }
        window_.show(match_, atOnce);
    }
    log_.shown(match_);
}

// The match moves between the server's messages: drawn at every frame while it runs.
void OnlineGame::followFrames() {
    const bool running = match_.phase() == Phase::Playing;
    if (running && !frames_.isActive()) {
        frames_.start(frameIntervalMs());
    } else if (!running && frames_.isActive()) {
        frames_.stop();
    }
}

// The computer plays the player only while they wait alone: anything else (a seat, above all,
// or leaving the queue) ends that match, and the online one takes the keys.
void OnlineGame::followQueue() {
    const bool queued = match_.phase() == Phase::Queued;
    if (!queued && waiting_.running()) {
        waiting_.stop();
    }
    if (match_.matchNumber() == 0) {
        dialog_->showQueue(queued, waiting_.running());
    }
}

// "Watch the replay": the record fetched from the server that played the match, then played
// here, in the replay's own window.
void OnlineGame::fetchReplay() {
    const std::string url = match_.replayRecordUrl();
    if (url.empty()) {
        return;
    }
    window_.showReplayNote(QStringLiteral("Fetching the replay..."), true);
    replayFetch_.fetch(QString::fromStdString(url));
}

void OnlineGame::watchReplay(const QByteArray& text) {
    std::string problem;
    auto viewer = replayOf(text, &problem);
    if (!viewer) {
        window_.showReplayNote(QStringLiteral("This replay cannot be played: %1")
                                   .arg(QString::fromStdString(problem)));
        return;
    }
    window_.showReplayNote({});
    replayWindow_.reset();  // the one before, if any, with the record it played
    replayViewer_ = std::move(viewer);
    replayWindow_ = std::make_unique<ReplayWindow>(*replayViewer_);
    connect(replayWindow_.get(), &ReplayWindow::closed, this,
            [this] { replayWindow_->window().hide(); });
    connect(replayWindow_.get(), &ReplayWindow::shown, this,
            [this] { log_.replayShown(*replayViewer_); });
    replayWindow_->show();
    log_.replayShown(*replayViewer_);
}

// Before the first match: the dialog says what is happening, and waits while it happens.
void OnlineGame::showInDialog() {
    const Phase phase = match_.phase();
    dialog_->showStatus(QString::fromStdString(match_.status()));
    dialog_->setBusy(phase == Phase::Connecting || phase == Phase::Waiting ||
                     phase == Phase::Queued || phase == Phase::Reconnecting);
    if (match_.invitesFriend()) {
        announcement_.announce(match_, *dialog_);
    }
}

// Closing a window, or Quit: the seat is given up for good, so the friend is told at once rather
// than after the wait for a return.
void OnlineGame::quit() {
    if (quitting_) {
        return;
    }
    quitting_ = true;
    frames_.stop();
    waiting_.stop();
    match_.leave();
    link_.close();
    window_.hide();
    if (replayWindow_) {
        replayWindow_->window().hide();
    }
    dialog_->hide();
    QCoreApplication::exit(0);
}

}  // namespace voltaro
