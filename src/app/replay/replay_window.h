#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <cstdint>
#include <functional>

#include "app/replay/seek_bar.h"
#include "client/replay_viewer.h"
#include "qt/game_window.h"
#include "qt/scene_painter.h"
#include "scene/controls.h"

class QLabel;
class QMessageBox;

namespace voltaro {

// The form's window playing a match's record: the scene at the viewer's tick, a line over the
// field saying where the replay stands, its speed and keys, a seek bar under the field with the
// record's marks, and the match's boxes. Space plays
// and pauses, Left and Right step a tick, + and - change the speed, Home and End go to either
// end. What it shows comes from client::ReplayViewer.
class ReplayWindow final : public QObject, private ControlObserver {
    Q_OBJECT

  public:
    // `viewer` has a record loaded. `nowMs` is the clock the replay plays on (a steady clock by
    // default).
    explicit ReplayWindow(client::ReplayViewer& viewer, std::function<double()> nowMs = {});
    ~ReplayWindow() override;

    void show();
    GameWindow& window() { return window_; }
    // Called at each frame of the display while the replay plays; a test calls it itself.
    void frame();

  signals:
    void closed();
    // What the window shows has changed: the tick, the scene, a box.
    void shown();

  private:
    void shapeMoved(const Shape& shape, const TwipBox& before) override;
    void captionChanged(const Label& label) override;

    void keyPressed(int key, bool autoRepeat);
    void showViewer();
    void showBox();
    void placeSeekBar();

    client::ReplayViewer& viewer_;
    std::function<double()> nowMs_;
    QElapsedTimer clock_;
    Controls controls_;
    ScenePainter painter_;
    GameWindow window_;
    QLabel* line_;
    QWidget* barStrip_;
    SeekBar* seekBar_;
    QTimer frames_;
    QMessageBox* box_ = nullptr;
    const client::ReplayViewer::Box* boxShown_ = nullptr;
};

}  // namespace voltaro
