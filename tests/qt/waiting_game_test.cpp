// The computer to play while waiting alone for a quick match: offered in the dialog while the
// player waits, played in a window of its own, and ended by whoever comes, even under one of
// its boxes, without ending the program that waits.
#include "app/online/waiting_game.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QEventLoop>
#include <QPushButton>
#include <QTimer>

#include "app/online/online_dialog.h"
#include "box_answerer.h"
#include "qt/qt_host.h"

namespace voltaro {
namespace {

// Runs the event loop until the waiting game says its match is over: true then, false when
// the program was told to end instead, or after a minute.
bool runUntilFinished(WaitingGame& waiting) {
    QEventLoop loop;
    QObject::connect(&waiting, &WaitingGame::finished, &loop, [&] { loop.exit(7); });
    QTimer::singleShot(60000, &loop, [&] { loop.exit(1); });
    return loop.exec() == 7;
}

TEST(WaitingGame, WhoeverComesEndsTheComputersMatchEvenUnderItsBoxAndTheProgramGoesOn) {
    WaitingGame waiting;
    waiting.start();
    ASSERT_TRUE(waiting.running());
    QtHost& host = *waiting.host();
    EXPECT_TRUE(host.window().isVisible());
    EXPECT_EQ(host.window().windowTitle(),
              "Soccer Game: VOLTARO! - Red: you; Blue: the computer, normal");
    // Someone comes while the goal's box is open.
    host.controls().shape("shpBall").setLeft(0);
    host.controls().shape("shpBall").setTop(3000);
    BoxAnswerer boxes;
    boxes.instead = [&](QMessageBox&) {
        QTimer::singleShot(20, &waiting, [&] { waiting.stop(); });
        return true;
    };
    boxes.watch();
    ASSERT_TRUE(runUntilFinished(waiting));
    EXPECT_EQ(boxes.texts, std::vector<QString>{"Goal!"});
    EXPECT_FALSE(waiting.running());
    EXPECT_EQ(waiting.host(), nullptr);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

    // Played again while the wait goes on, and ended with no box open.
    waiting.start();
    ASSERT_TRUE(waiting.running());
    EXPECT_TRUE(waiting.host()->window().isVisible());
    QTimer::singleShot(50, &waiting, [&] { waiting.stop(); });
    ASSERT_TRUE(runUntilFinished(waiting));
    EXPECT_FALSE(waiting.running());
}

// The dialog offers the computer and the way out of the queue only while the player waits in
// it, the offer with the focus (Space takes it up), and no offer while that match is on.
TEST(WaitingGame, TheDialogOffersItOnlyWhileThePlayerWaits) {
    OnlineDialog dialog(QStringLiteral("ws://127.0.0.1:8000/ws"), QString());
    dialog.show();
    auto* computer = dialog.findChild<QPushButton*>(QStringLiteral("computer"));
    auto* leave = dialog.findChild<QPushButton*>(QStringLiteral("leaveQueue"));
    ASSERT_TRUE(computer && leave);
    EXPECT_FALSE(computer->isVisible() || leave->isVisible());
    dialog.setBusy(true);
    dialog.showQueue(true, false);
    EXPECT_TRUE(computer->isVisible() && computer->isEnabled());
    EXPECT_TRUE(leave->isVisible() && leave->isEnabled());
    EXPECT_EQ(dialog.focusWidget(), computer);
    EXPECT_EQ(computer->text(), "Play the computer while you wait");
    EXPECT_EQ(leave->text(), "Stop waiting");
    dialog.showQueue(true, true);
    EXPECT_FALSE(computer->isVisible());
    EXPECT_TRUE(leave->isVisible());
    dialog.setBusy(false);
    dialog.showQueue(false, false);
    EXPECT_FALSE(computer->isVisible() || leave->isVisible());
}

}  // namespace
}  // namespace voltaro
