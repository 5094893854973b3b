#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QScreen>
#include <QWindow>

#include "game/form1.h"
#include "qt/qt_host.h"

namespace voltaro {
namespace {

// Lets the window paint what it has been asked to repaint.
void flush() {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 30) {
        QApplication::sendPostedEvents();
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    }
}

// What the window shows now, from its backing store, and what a full paint of the same state
// gives. The host's own timers keep ticking, so a tick between the two can differ once; a trail
// stays.
bool showsAFreshPaint(QWidget& window, QImage& shown, QImage& fresh) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        flush();
        shown = window.screen()->grabWindow(window.winId()).toImage();
        fresh = window.grab().toImage().convertToFormat(shown.format());
        if (shown == fresh) {
            return true;
        }
    }
    return false;
}

int differingPixels(const QImage& a, const QImage& b) {
    int count = 0;
    for (int y = 0; y < std::min(a.height(), b.height()); ++y) {
        for (int x = 0; x < std::min(a.width(), b.width()); ++x) {
            count += a.pixel(x, y) != b.pixel(x, y);
        }
    }
    return count;
}

// Every tick and key press repaints only what changed; the window must still look exactly like
// a full paint, with no trail left where the ball or a player stood.
TEST(Repaint, PartialRepaintsLeaveNoTrail) {
    QtHost host;
    Form1 form(host);
    host.start(form);
    QWidget& window = host.window();
    const Timer& ball = host.controls().timer("tmrBall");
    QImage shown, fresh;
    ASSERT_TRUE(showsAFreshPaint(window, shown, fresh)) << "the first paint";
    ASSERT_EQ(shown.size(), fresh.size());

    const std::int16_t keys[] = {39, 68, 40, 87, 37, 65, 38, 83};
    for (int step = 0; step < 48; ++step) {
        host.wiring().timerTick(ball);
        if (step % 3 == 0) {
            host.wiring().keyDown(keys[step / 3 % 8]);
        }
        if (step % 8 == 7) {
            ASSERT_TRUE(showsAFreshPaint(window, shown, fresh))
                << "after step " << step << ": " << differingPixels(shown, fresh)
                << " pixels differ";
        }
    }
    EXPECT_FALSE(host.wiring().ended());
}

}  // namespace
}  // namespace voltaro
