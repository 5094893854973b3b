#include "app/online/match_window.h"

#include <QClipboard>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/online/qr_code_label.h"
#include "scene/layout.h"

namespace voltaro {

namespace {

using Phase = client::MatchView::Phase;

QString text(const std::string& s) {
    return QString::fromStdString(s);
}

}  // namespace

MatchWindow::MatchWindow()
    : controls_(form1Controls()),
      painter_(controls_, form1Record().backColour),
      window_(form1Record(), painter_),
      status_(new QLabel(&window_)),
      audience_(new QLabel(&window_)),
      end_(new QFrame(&window_)),
      endText_(new QLabel),
      again_(new QPushButton(QStringLiteral("Play again"))),
      replay_(new QWidget),
      replayLink_(new QLineEdit),
      replayQr_(new QrCodeLabel),
      watchReplay_(new QPushButton(QStringLiteral("&Watch the replay"))),
      replayNote_(new QLabel) {
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
    audience_->setTextFormat(Qt::PlainText);
    audience_->setObjectName(QStringLiteral("audience"));
    audience_->setStyleSheet(status_->styleSheet());
    audience_->hide();

    end_->setObjectName(QStringLiteral("end"));
    end_->setAutoFillBackground(true);
    end_->setFrameShape(QFrame::Box);
    auto* quit = new QPushButton(QStringLiteral("Quit"));
    auto* bar = new QVBoxLayout(end_);
    auto* row = new QHBoxLayout;
    row->addWidget(endText_, 1);
    row->addWidget(again_);
    row->addWidget(quit);
    bar->addLayout(row);
    bar->addWidget(replay_);
    buildReplayRow();
    end_->hide();
    connect(again_, &QPushButton::clicked, this, &MatchWindow::playAgainWanted);
    connect(quit, &QPushButton::clicked, this, &MatchWindow::quitWanted);

    // The desktop's own repeats are not passed on: the match repeats a held key itself, on
    // every client and the server alike.
    connect(&window_, &GameWindow::keyPressed, this, [this](int key, std::int16_t code, bool rep) {
        if (!rep) {
            emit keyPressed(key, code);
        }
    });
    connect(&window_, &GameWindow::keyReleased, this, [this](int key, bool rep) {
        if (!rep) {
            emit keyReleased(key);
        }
    });
    connect(&window_, &GameWindow::focusLost, this, &MatchWindow::focusLost);
    connect(&window_, &GameWindow::closeRequested, this, &MatchWindow::quitWanted);
}

// The replay's link, to copy for a friend or to watch now in a window of this game's, and its
// QR code for a phone. Alt+W watches it and Alt+C copies the link, from the field too.
void MatchWindow::buildReplayRow() {
    replay_->setObjectName(QStringLiteral("replay"));
    replayLink_->setObjectName(QStringLiteral("replayLink"));
    replayLink_->setReadOnly(true);
    replayLink_->setAccessibleName(QStringLiteral("Link to the replay"));
    auto* copy = new QPushButton(QStringLiteral("&Copy the link"));
    copy->setObjectName(QStringLiteral("copyReplay"));
    watchReplay_->setObjectName(QStringLiteral("watchReplay"));
    replayNote_->setObjectName(QStringLiteral("replayNote"));
    replayNote_->setTextFormat(Qt::PlainText);
    replayNote_->setWordWrap(true);
    replayNote_->hide();
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(watchReplay_);
    buttons->addWidget(copy);
    buttons->addStretch(1);
    auto* words = new QVBoxLayout;
    words->addWidget(replayLink_);
    words->addLayout(buttons);
    words->addWidget(replayNote_);
    words->addStretch(1);
    auto* row = new QHBoxLayout(replay_);
    row->setContentsMargins(0, 0, 0, 0);
    row->addLayout(words, 1);
    row->addWidget(replayQr_);
    replay_->hide();
    connect(copy, &QPushButton::clicked, this,
            [this] { QGuiApplication::clipboard()->setText(replayLink_->text()); });
    connect(watchReplay_, &QPushButton::clicked, this, &MatchWindow::replayWanted);
}

void MatchWindow::showReplayNote(const QString& note, bool fetching) {
    replayNote_->setText(note);
    replayNote_->setVisible(!note.isEmpty());
    watchReplay_->setEnabled(!fetching);
    if (end_->isVisible()) {
        end_->adjustSize();
    }
}

MatchWindow::~MatchWindow() {
    controls_.setObserver(nullptr);
    if (box_) {
        box_->disconnect(this);
    }
}

void MatchWindow::show(const client::MatchView& match, bool atOnce) {
    client::showScene(match.scene(), controls_);
    if (atOnce && window_.isVisible() && !moved_.isEmpty()) {
        window_.repaint(moved_);
    }
    moved_ = QRegion();
    window_.setWindowTitle(text(form1Record().caption) + QStringLiteral(" - ") +
                           text(match.matchLine()));
    if (!window_.isVisible()) {
        window_.show();
        window_.activateWindow();
    }
    showStatus(match);
    showAudience(match);
    showBox(match);
    showEnd(match);
}

void MatchWindow::hide() {
    if (box_) {
        box_->disconnect(this);
    }
    window_.hide();
}

void MatchWindow::showStatus(const client::MatchView& match) {
    const Phase phase = match.phase();
    const QString status = text(match.status());
    status_->setVisible(!status.isEmpty() && phase != Phase::Over && phase != Phase::Closed);
    status_->setText(status);
    status_->adjustSize();
    status_->move((window_.width() - status_->width()) / 2, 8);
}

// Under the field's bottom edge, out of the way of the status and the end bar at the top.
void MatchWindow::showAudience(const client::MatchView& match) {
    const QString line = text(match.watchLine());
    audience_->setVisible(!line.isEmpty());
    audience_->setText(line);
    audience_->adjustSize();
    audience_->move((window_.width() - audience_->width()) / 2,
                    window_.height() - audience_->height() - 8);
}

// The server's box over the scene it opened on; OK answers it, and it closes on the player's
// screen at once even though the match waits for the other's OK.
void MatchWindow::showBox(const client::MatchView& match) {
    const bool wanted = match.phase() == Phase::Box && !match.boxAnswered();
    if (box_ && (!wanted || boxShown_ != match.boxNumber())) {
        closeBox();
    }
    if (!wanted || box_ || boxShown_ == match.boxNumber()) {
        return;
    }
    boxShown_ = match.boxNumber();
    window_.repaint();  // the box opens over its scene
    box_ = new QMessageBox(QMessageBox::NoIcon, QStringLiteral("voltaro"), text(match.boxText()),
                           QMessageBox::Ok, &window_);
    box_->setTextFormat(Qt::PlainText);  // the server's words, never its markup
    box_->setAttribute(Qt::WA_DeleteOnClose);
    box_->setWindowModality(Qt::NonModal);
    connect(box_, &QMessageBox::finished, this, [this] {
        box_ = nullptr;
        emit boxAnswered();
    });
    box_->show();
}

void MatchWindow::closeBox() {
    box_->disconnect(this);
    box_->close();
    box_ = nullptr;
}

void MatchWindow::showEnd(const client::MatchView& match) {
    const Phase phase = match.phase();
    const bool over = phase == Phase::Over || phase == Phase::Closed;
    end_->setVisible(over);
    if (!over) {
        return;
    }
    endText_->setText(text(match.status()));
    again_->setVisible(phase == Phase::Over && !match.watching());  // players play again
    showReplay(match);
    end_->setFixedWidth(window_.width() - 16);
    end_->adjustSize();
    end_->move(8, 8);  // over the empty top of the field: the counters stay in sight
    end_->raise();
}

void MatchWindow::showReplay(const client::MatchView& match) {
    const QString link = text(match.replayLink());
    replay_->setVisible(!link.isEmpty());
    if (replayLink_->text() != link) {
        replayLink_->setText(link);
        showReplayNote({});  // what was said of another match's replay
    }
    replayQr_->showLink(link);
}

void MatchWindow::shapeMoved(const Shape& shape, const TwipBox& before) {
    const QRect moved =
        ScenePainter::logicalBounds(before) | ScenePainter::logicalBounds(shape.box());
    moved_ += moved;
    window_.update(moved);
}

void MatchWindow::captionChanged(const Label& label) {
    const QRect changed = ScenePainter::logicalBounds(label.box());
    moved_ += changed;
    window_.update(changed);
}

}  // namespace voltaro
