#include "app/replay/replay_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>

namespace voltaro {
namespace {

std::string goalRecord() {
    QFile file(QStringLiteral(VOLTARO_RECORDS_DIR "/goal.replay"));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return file.readAll().toStdString();
}

void press(QWidget& window, int key, const QString& text = {}, bool autoRepeat = false) {
    QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier, text, autoRepeat);
    QApplication::sendEvent(&window, &event);
}

QMessageBox* openBox(QWidget& window) {
    QApplication::processEvents();
    for (auto* box : window.findChildren<QMessageBox*>()) {
        if (box->isVisible()) {
            return box;
        }
    }
    return nullptr;
}

// The colour the window shows at the middle of a piece the scene has at `place` (its Left and
// Top in twips; a player is 855 twips across, 15 twips a pixel).
QRgb middleOf(QWidget& window, Point place) {
    const QImage image = window.grab().toImage();
    return image.pixel(static_cast<int>((place.left + 427) / 15),
                       static_cast<int>((place.top + 427) / 15)) &
           0xFFFFFF;
}

// The window shows the viewer's tick: the keys step, seek, play at the speed the line says, and
// the match's boxes open over their scene one after the other before its final scene.
TEST(ReplayWindow, ShowsTheRecordAtEachTickWithItsKeysAndBoxes) {
    client::ReplayViewer viewer;
    ASSERT_TRUE(viewer.load(goalRecord())) << viewer.problem();
    double now = 1000;
    ReplayWindow replay(viewer, [&] { return now; });
    replay.show();
    GameWindow& window = replay.window();
    auto* line = window.findChild<QLabel*>(QStringLiteral("position"));
    ASSERT_NE(line, nullptr);
    EXPECT_TRUE(
        line->text().startsWith(QStringLiteral("Tick 0 of 2443 - 0:00.00 of 0:38.17 - "
                                               "Speed 1\n")))
        << line->text().toStdString();

    press(window, Qt::Key_End);
    EXPECT_EQ(viewer.tick(), viewer.lastTick());
    QMessageBox* box = openBox(window);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), QStringLiteral("Goal!"));
    const Point goalRed = viewer.scene().red;  // under it, the goal's scene
    EXPECT_EQ(middleOf(window, goalRed), 0xFF0000U);
    box->accept();
    box = openBox(window);
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->text().startsWith(QStringLiteral("GAME OVER! ")));
    box->accept();
    EXPECT_EQ(openBox(window), nullptr);
    EXPECT_NE(viewer.scene().red, goalRed);  // the pieces back at their places after it
    EXPECT_EQ(middleOf(window, viewer.scene().red), 0xFF0000U);

    press(window, Qt::Key_Home);
    EXPECT_EQ(viewer.tick(), 0U);
    EXPECT_NE(middleOf(window, goalRed), 0xFF0000U);
    EXPECT_EQ(middleOf(window, viewer.scene().red), 0xFF0000U);
    press(window, Qt::Key_Right);
    press(window, Qt::Key_Right, {}, true);  // held, an arrow steps on
    press(window, Qt::Key_Left);
    EXPECT_EQ(viewer.tick(), 1U);
    EXPECT_TRUE(line->text().startsWith(QStringLiteral("Tick 1 of 2443")));

    press(window, Qt::Key_Space, QStringLiteral(" "));
    press(window, Qt::Key_Space, QStringLiteral(" "), true);  // a held Space plays on
    EXPECT_TRUE(viewer.playing());
    now += 1000;
    replay.frame();
    EXPECT_EQ(viewer.tick(), 65U);
    press(window, Qt::Key_Plus, QStringLiteral("+"));
    press(window, Qt::Key_Plus, QStringLiteral("+"), true);  // one step a press
    EXPECT_TRUE(line->text().contains(QStringLiteral("Speed 2")));
    now += 500;
    replay.frame();
    EXPECT_EQ(viewer.tick(), 129U);
    press(window, Qt::Key_Minus, QStringLiteral("-"));
    press(window, Qt::Key_Minus, QStringLiteral("-"));
    EXPECT_TRUE(line->text().contains(QStringLiteral("Speed 1/2")));
    press(window, Qt::Key_Space, QStringLiteral(" "));
    now += 60000;
    replay.frame();
    EXPECT_EQ(viewer.tick(), 129U);  // paused, it stays put
    EXPECT_EQ(middleOf(window, viewer.scene().red), 0xFF0000U);
}

}  // namespace
}  // namespace voltaro
