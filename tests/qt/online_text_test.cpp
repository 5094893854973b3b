#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <set>

#include "app/online/online_dialog.h"
#include "app/online/online_game.h"

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

}  // namespace
}  // namespace voltaro
