#pragma once

#include <QObject>
#include <QRegion>
#include <cstdint>

#include "client/match_view.h"
#include "qt/game_window.h"
#include "qt/scene_painter.h"
#include "scene/controls.h"

class QFrame;
class QLabel;
class QLineEdit;
class QMessageBox;
class QPushButton;

namespace voltaro {

class QrCodeLabel;

// The form's window in an online match: the server's scene, the status line over the field,
// the server's boxes, and at the end a bar with "Play again" and "Quit", and once the server has
// recorded the match its replay's link, to copy or to watch here, with its QR code. It shows what
// the view says and passes the player's keys and buttons on.
class MatchWindow final : public QObject, private ControlObserver {
    Q_OBJECT

  public:
    MatchWindow();
    ~MatchWindow() override;

    // What the view shows now: the scene, the title, the status, a box, the end. `atOnce`:
    // what moved is painted before this returns, not at the event loop's next turn (the
    // player's own press shows on the very next frame).
    void show(const client::MatchView& match, bool atOnce = false);
    void hide();
    // About the replay the player asked to watch: on its way (the button waits), or why it
    // cannot be played. Empty: nothing to say.
    void showReplayNote(const QString& note, bool fetching = false);

  signals:
    void keyPressed(int key, std::int16_t code);
    void keyReleased(int key);
    void focusLost();
    void boxAnswered();
    void playAgainWanted();
    void replayWanted();
    void quitWanted();

  private:
    void shapeMoved(const Shape& shape, const TwipBox& before) override;
    void captionChanged(const Label& label) override;

    void showStatus(const client::MatchView& match);
    void showAudience(const client::MatchView& match);
    void showBox(const client::MatchView& match);
    void showEnd(const client::MatchView& match);
    void showReplay(const client::MatchView& match);
    void buildReplayRow();
    void closeBox();

    Controls controls_;
    ScenePainter painter_;
    GameWindow window_;
    QLabel* status_;
    QLabel* audience_;  // who plays, for a spectator; how many watch, for a player
    QFrame* end_;
    QLabel* endText_;
    QPushButton* again_;
    QWidget* replay_;
    QLineEdit* replayLink_;
    QrCodeLabel* replayQr_;
    QPushButton* watchReplay_;
    QLabel* replayNote_;
    QRegion moved_;  // painted at once when asked
    QMessageBox* box_ = nullptr;
    std::uint32_t boxShown_ = 0;  // the box number on screen, so that each opens once
};

}  // namespace voltaro
