#include "app/replay/replay_window.h"

#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPalette>
#include <QScreen>
#include <QSignalBlocker>
#include <algorithm>
#include <cmath>

#include "scene/layout.h"

namespace voltaro {

namespace {

// A frame of the display: the replay is drawn as often as the screen shows it, or 60 times a
// second where it does not say.
int frameIntervalMs() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const double rate = screen ? screen->refreshRate() : 0;
    return rate >= 30 ? std::max(1, static_cast<int>(std::lround(1000 / rate))) : 16;
}

constexpr int kBarStripHeight = 36;  // the seek bar's strip under the field
constexpr int kBarMargin = 8;

}  // namespace

ReplayWindow::ReplayWindow(client::ReplayViewer& viewer, std::function<double()> nowMs)
    : viewer_(viewer),
      nowMs_(std::move(nowMs)),
      controls_(form1Controls()),
      painter_(controls_, form1Record().backColour),
      window_(form1Record(), painter_),
      line_(new QLabel(&window_)),
      barStrip_(new QWidget(&window_)),
      seekBar_(new SeekBar(barStrip_)) {
    if (!nowMs_) {
        clock_.start();
        nowMs_ = [this] { return static_cast<double>(clock_.nsecsElapsed()) / 1e6; };
    }
    controls_.setObserver(this);
    line_->setObjectName(QStringLiteral("position"));
    line_->setTextFormat(Qt::PlainText);
    line_->setStyleSheet(QStringLiteral(
        "background: #fff8c4; color: #000; border: 1px solid #888; padding: 4px 8px;"));
    placeSeekBar();
    window_.setWindowTitle(QString::fromUtf8(form1Record().caption) + QStringLiteral(" - replay"));
    frames_.setTimerType(Qt::PreciseTimer);
    connect(&frames_, &QTimer::timeout, this, &ReplayWindow::frame);
    connect(&window_, &GameWindow::keyPressed, this,
            [this](int key, std::int16_t, bool autoRepeat) { keyPressed(key, autoRepeat); });
    connect(&window_, &GameWindow::closeRequested, this, &ReplayWindow::closed);
    // The bar only asks: the viewer decides where a seek lands and shows it.
    connect(seekBar_, &QSlider::valueChanged, this, [this](int tick) {
        viewer_.seek(static_cast<std::uint32_t>(tick), nowMs_());
        showViewer();
    });
    viewer_.showOn(controls_);
    showViewer();
}

ReplayWindow::~ReplayWindow() {
    controls_.setObserver(nullptr);
    if (box_) {
        box_->disconnect(this);
    }
}

void ReplayWindow::show() {
    window_.show();
    window_.activateWindow();
    showViewer();
}

void ReplayWindow::frame() {
    viewer_.frame(nowMs_());
    showViewer();
}

// Held, the arrows step on at the keyboard's repeat; Space and the speed keys take a press
// each.
void ReplayWindow::keyPressed(int key, bool autoRepeat) {
    const double now = nowMs_();
    switch (key) {
        case Qt::Key_Left:
            viewer_.stepBack(now);
            break;
        case Qt::Key_Right:
            viewer_.stepForward(now);
            break;
        case Qt::Key_Home:
            viewer_.seek(0, now);
            break;
        case Qt::Key_End:
            viewer_.seek(viewer_.lastTick(), now);
            break;
        case Qt::Key_Space:
            if (!autoRepeat) {
                viewer_.togglePlay(now);
            }
            break;
        case Qt::Key_Plus:
        case Qt::Key_Equal:
            if (!autoRepeat) {
                viewer_.faster(now);
            }
            break;
        case Qt::Key_Minus:
            if (!autoRepeat) {
                viewer_.slower(now);
            }
            break;
        default:
            return;
    }
    showViewer();
}

void ReplayWindow::showViewer() {
    if (!viewer_.takeChanged()) {
        return;
    }
    viewer_.showOn(controls_);
    line_->setText(QString::fromStdString(viewer_.positionLine() + " - " + viewer_.speedText()) +
                   QStringLiteral("\nSpace plays and pauses, Left and Right step a tick, + and - "
                                  "change the speed"));
    line_->adjustSize();
    line_->move((window_.width() - line_->width()) / 2, 8);
    {
        const QSignalBlocker quiet(seekBar_);  // following the clock is no seek
        seekBar_->setValue(static_cast<int>(viewer_.tick()));
    }
    seekBar_->setAccessibleDescription(QString::fromStdString(viewer_.positionLine()));
    if (viewer_.playing() && !frames_.isActive()) {
        frames_.start(frameIntervalMs());
    } else if (!viewer_.playing() && frames_.isActive()) {
        frames_.stop();
    }
    showBox();
    emit shown();
}

// The strip under the field, as wide as the form, the bar over the record's ticks in it.
void ReplayWindow::placeSeekBar() {
    const int fieldHeight = window_.height();
    window_.resize(window_.width(), fieldHeight + kBarStripHeight);
    QPalette dark = barStrip_->palette();
    dark.setColor(QPalette::Window, QColor(0x30, 0x30, 0x30));
    barStrip_->setPalette(dark);
    barStrip_->setAutoFillBackground(true);
    barStrip_->setGeometry(0, fieldHeight, window_.width(), kBarStripHeight);
    seekBar_->setGeometry(kBarMargin, kBarMargin / 2, window_.width() - 2 * kBarMargin,
                          kBarStripHeight - kBarMargin);
    seekBar_->setMaximum(static_cast<int>(viewer_.lastTick()));
    seekBar_->setMarks(viewer_.marks());
}

// The match's box over the scene it opened on; OK goes on to the next, or to the scene after.
void ReplayWindow::showBox() {
    const client::ReplayViewer::Box* wanted = viewer_.openBox();
    if (box_ && boxShown_ != wanted) {
        box_->disconnect(this);
        box_->close();
        box_ = nullptr;
    }
    boxShown_ = wanted;
    if (!wanted || box_) {
        return;
    }
    window_.repaint();  // the box opens over its scene
    box_ = new QMessageBox(QMessageBox::NoIcon, QStringLiteral("voltaro"),
                           QString::fromStdString(wanted->text), QMessageBox::Ok, &window_);
    box_->setTextFormat(Qt::PlainText);  // a record's words, never its markup
    box_->setAttribute(Qt::WA_DeleteOnClose);
    box_->setWindowModality(Qt::NonModal);
    connect(box_, &QMessageBox::finished, this, [this] {
        box_ = nullptr;
        boxShown_ = nullptr;
        viewer_.answerBox(nowMs_());
        showViewer();
        if (!box_) {
            window_.activateWindow();  // the keys are the replay's again
        }
    });
    box_->show();
    box_->activateWindow();  // Enter or Space answers it, as the match's own box
}

void ReplayWindow::shapeMoved(const Shape& shape, const TwipBox& before) {
    window_.update(ScenePainter::logicalBounds(before) | ScenePainter::logicalBounds(shape.box()));
}

void ReplayWindow::captionChanged(const Label& label) {
    window_.update(ScenePainter::logicalBounds(label.box()));
}

}  // namespace voltaro
