#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <vector>

namespace voltaro {

// Answers each message box of the game as it opens: `look` sees the text, then OK is pressed.
// Its polling timer dies with it, so nothing of one test reaches into the next.
struct BoxAnswerer {
    std::vector<QString> texts;
    std::function<void(const QString&)> look;
    std::function<bool(QMessageBox&)> instead;  // true when it dealt with the box itself
    int answerAfterMs = 0;
    QTimer poll;

    void watch() {
        poll.setInterval(10);
        QObject::connect(&poll, &QTimer::timeout, [this] { check(); });
        poll.start();
    }

    void check() {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || box->property("seen").toBool()) {
            return;
        }
        box->setProperty("seen", true);  // each box lives on the stack, often at one address
        texts.push_back(box->text());
        if (look) {
            look(box->text());
        }
        if (!(instead && instead(*box))) {
            QTimer::singleShot(answerAfterMs, box, [box] { box->accept(); });
        }
    }
};

}  // namespace voltaro
