#include "app/replay/replay_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <algorithm>
#include <cstdlib>

#include "app/replay/seek_bar.h"

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

void mouse(QWidget& widget, QEvent::Type type, int x, Qt::MouseButtons held) {
    const QPointF at(x, widget.height() / 2);
    QMouseEvent event(type, at, widget.mapToGlobal(at), Qt::LeftButton, held, Qt::NoModifier);
    QApplication::sendEvent(&widget, &event);
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

// The bar under the field seeks the viewer as it is clicked, dragged or set, and the window then
// shows the viewer's scene at that tick, as a viewer seeking there itself has it; while the
// replay plays the bar follows the clock without stopping it; the record's marks lie along it.
TEST(ReplayWindow, SeeksWithTheBarThatFollowsTheClockAndShowsTheMarks) {
    const std::string record = goalRecord();
    client::ReplayViewer viewer, reference;
    ASSERT_TRUE(viewer.load(record)) << viewer.problem();
    ASSERT_TRUE(reference.load(record));
    double now = 1000;
    ReplayWindow replay(viewer, [&] { return now; });
    replay.show();
    GameWindow& window = replay.window();
    auto* bar = window.findChild<SeekBar*>(QStringLiteral("seek"));
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->accessibleName(), QStringLiteral("Seek to a tick"));
    EXPECT_EQ(bar->maximum(), static_cast<int>(viewer.lastTick()));
    EXPECT_GE(bar->geometry().translated(bar->parentWidget()->pos()).top(),
              window.sizeHint().height());
    const auto showsTickOfTheViewer = [&](std::uint32_t tick) {
        reference.seek(tick, 0);
        EXPECT_EQ(viewer.scene(), reference.scene()) << "at tick " << tick;
        EXPECT_EQ(bar->value(), static_cast<int>(viewer.tick()));
        EXPECT_EQ(middleOf(window, viewer.scene().red), 0xFF0000U) << "at tick " << tick;
        EXPECT_FALSE(viewer.playing());
    };

    // A click beside the handle: there, give or take a pixel's ticks.
    const int ticksAPixel = static_cast<int>(viewer.lastTick()) / (bar->width() / 2);
    mouse(*bar, QEvent::MouseButtonPress, bar->xOf(1000), Qt::LeftButton);
    mouse(*bar, QEvent::MouseButtonRelease, bar->xOf(1000), Qt::NoButton);
    EXPECT_LE(std::abs(static_cast<int>(viewer.tick()) - 1000), ticksAPixel) << viewer.tick();
    showsTickOfTheViewer(viewer.tick());
    EXPECT_FALSE(bar->hasFocus());

    // Dragged, it seeks on the way.
    mouse(*bar, QEvent::MouseButtonPress, bar->xOf(viewer.tick()), Qt::LeftButton);
    mouse(*bar, QEvent::MouseMove, bar->xOf(1500), Qt::LeftButton);
    EXPECT_LE(std::abs(static_cast<int>(viewer.tick()) - 1500), ticksAPixel) << viewer.tick();
    showsTickOfTheViewer(viewer.tick());
    mouse(*bar, QEvent::MouseMove, bar->xOf(300), Qt::LeftButton);
    mouse(*bar, QEvent::MouseButtonRelease, bar->xOf(300), Qt::NoButton);
    EXPECT_LE(std::abs(static_cast<int>(viewer.tick()) - 300), ticksAPixel) << viewer.tick();
    showsTickOfTheViewer(viewer.tick());

    bar->setValue(500);
    EXPECT_EQ(viewer.tick(), 500U);
    showsTickOfTheViewer(500);

    // Played at frames shorter than a tick, the bar follows without seeking: a seek would set
    // the clock again at each frame and the replay would never get on.
    press(window, Qt::Key_Space, QStringLiteral(" "));
    for (int frame = 0; frame < 100; ++frame) {
        now += 10;
        replay.frame();
        ASSERT_EQ(bar->value(), static_cast<int>(viewer.tick()));
    }
    EXPECT_EQ(viewer.tick(), 564U);
    EXPECT_TRUE(viewer.playing());
    press(window, Qt::Key_Left);
    EXPECT_EQ(bar->value(), 563);
    press(window, Qt::Key_End);
    EXPECT_EQ(bar->value(), bar->maximum());

    // The marks: with the handle at the start, the goal's white from the top, and a key press's
    // amber at the bottom.
    press(window, Qt::Key_Home);
    ASSERT_FALSE(viewer.marks().empty());
    const auto goal = std::find_if(viewer.marks().begin(), viewer.marks().end(), [](auto& mark) {
        return mark.kind == client::ReplayViewer::Mark::Kind::Goal;
    });
    const auto key = std::find_if(viewer.marks().begin(), viewer.marks().end(), [&](auto& mark) {
        return mark.kind == client::ReplayViewer::Mark::Kind::Key && bar->xOf(mark.tick) > 40;
    });
    ASSERT_NE(goal, viewer.marks().end());
    ASSERT_NE(key, viewer.marks().end());
    const QImage image = bar->grab().toImage();
    EXPECT_EQ(image.pixel(bar->xOf(goal->tick), 1) & 0xFFFFFF, 0xFFFFFFU);
    EXPECT_EQ(image.pixel(bar->xOf(key->tick), bar->height() - 2) & 0xFFFFFF, 0xFFBF00U);
}

}  // namespace
}  // namespace voltaro
