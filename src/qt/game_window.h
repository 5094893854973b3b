#pragma once

#include <QWidget>
#include <cstdint>

#include "qt/scene_painter.h"

namespace voltaro {

// The form's window: it only paints the scene and forwards what the player does.
class GameWindow : public QWidget {
    Q_OBJECT

  public:
    GameWindow(const FormRecord& form, ScenePainter& painter);

    QSize sizeHint() const override;

  signals:
    // `code` is the classic host's key code for the key (see key_codes.h).
    void keyPressed(int qtKey, std::int16_t code, bool autoRepeat);
    void keyReleased(int qtKey, bool autoRepeat);
    void focusLost();
    void closeRequested();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool focusNextPrevChild(bool next) override;

  private:
    ScenePainter& painter_;
    QSize clientSize_;
};

}  // namespace voltaro
