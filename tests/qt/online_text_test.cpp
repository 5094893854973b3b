#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <set>

#include "app/online/match_window.h"
#include "app/online/online_dialog.h"
#include "app/online/online_game.h"
#include "qt/game_window.h"
#include "started_view.h"

namespace voltaro {
namespace {

// Markup a server might send in an error, a pause or a box, to draw its own widgets in the game.
const QString kMarkup = QStringLiteral("<b>x</b><img src=\"file:///etc/hostname\">");

std::set<QLabel*> everyLabel() {
    std::set<QLabel*> labels;
    for (QWidget* widget : QApplication::allWidgets()) {
        if (auto* label = qobject_cast<QLabel*>(widget)) {
            labels.insert(label);
        }
    }
    return labels;
}

// What the server says shows as the characters it sent, tags and all.
TEST(OnlineTexts, ShowWhatTheServerSaysAsPlainText) {
    OnlineDialog dialog(QStringLiteral("ws://127.0.0.1:8000/ws"), QString());
    dialog.showStatus(kMarkup);
    auto* status = dialog.findChild<QLabel*>(QStringLiteral("status"));
    ASSERT_NE(status, nullptr);
    EXPECT_EQ(status->textFormat(), Qt::PlainText);
    status->setSelection(0, static_cast<int>(kMarkup.size()));
    EXPECT_EQ(status->selectedText(), kMarkup);  // as rich text it would show "x" and an image

    // Every label of the game's windows that can show what a server says: the status line, the
    // end text and the dialog's (a field's own caption, such as "Server:", never does).
    const std::set<QLabel*> before = everyLabel();
    OnlineGame::Start start;
    start.server = QStringLiteral("ws://127.0.0.1:8000/ws");
    start.hostAddresses = {QStringLiteral("http://127.0.0.1:8000/")};
    OnlineGame game(start);
    int made = 0;
    for (QLabel* label : everyLabel()) {
        if (!before.contains(label) && !label->buddy()) {
            ++made;
            EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->objectName().toStdString();
        }
    }
    EXPECT_GE(made, 4);
}

// Counts the paints a widget gets.
struct PaintCounter : QObject {
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        paints += event->type() == QEvent::Paint ? 1 : 0;
        return false;
    }
};

// The player's own press is painted before the key's handler returns, not at the event loop's
// next turn; the keyboard's own repeats never reach the match, which repeats held keys itself.
TEST(OnlineWindow, PaintsTheOwnPressAtOnceAndPassesNoAutoRepeat) {
    client::MatchView match = startedAsRed();
    match.frame(100);  // a few ticks into the match
    MatchWindow window;
    window.show(match);
    GameWindow* game = nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        game = game ? game : qobject_cast<GameWindow*>(widget);
    }
    ASSERT_NE(game, nullptr);
    QApplication::processEvents();
    PaintCounter counter;
    game->installEventFilter(&counter);
    std::vector<bool> pressed;
    QObject::connect(&window, &MatchWindow::keyPressed, [&](int key, std::int16_t code) {
        pressed.push_back(true);
        match.keyDown(key, code, 100);
        window.show(match, true);
    });
    const auto press = [&](bool autoRepeat) {
        QKeyEvent event(QEvent::KeyPress, Qt::Key_Up, Qt::NoModifier, QString(), autoRepeat);
        QApplication::sendEvent(game, &event);
    };
    press(true);
    EXPECT_TRUE(pressed.empty());
    EXPECT_EQ(counter.paints, 0);
    press(false);
    EXPECT_EQ(pressed.size(), 1u);
    EXPECT_EQ(match.scene().red.top, online::Scene{}.red.top - 200);
    EXPECT_GE(counter.paints, 1);  // before any event loop
    game->removeEventFilter(&counter);
    window.hide();
}

}  // namespace
}  // namespace voltaro
