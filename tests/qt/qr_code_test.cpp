// The QR codes beside the links, as a phone's camera sees them: each window grabbed as it shows
// on screen and read back by a real decoder (zbarimg, of zbar-tools).
#include "client/qr_code.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>

#include "app/online/match_window.h"
#include "app/online/online_dialog.h"
#include "app/online/qr_code_label.h"
#include "started_view.h"

namespace voltaro {
namespace {

namespace msg = online::server;

// What zbarimg reads in `image`: each code's text on a line of its own; empty when it finds
// none. A test that wants to see the image sets VOLTARO_KEEP_SCREENS to a folder.
QString decoded(const QImage& image, const QString& name) {
    QTemporaryDir dir;
    const QString keep = qEnvironmentVariable("VOLTARO_KEEP_SCREENS");
    const QString file = (keep.isEmpty() ? dir.path() : keep) + QStringLiteral("/") + name;
    EXPECT_TRUE(image.save(file, "PNG"));
    QProcess zbar;
    zbar.start(QStringLiteral("zbarimg"), {QStringLiteral("--raw"), QStringLiteral("-q"), file});
    EXPECT_TRUE(zbar.waitForFinished(20000)) << "zbarimg (scripts/install-deps test)";
    return QString::fromUtf8(zbar.readAllStandardOutput()).trimmed();
}

template <typename Widget>
Widget* shownChild(const QString& name) {
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (auto* found = top->findChild<Widget*>(name); found && found->isVisible()) {
            return found;
        }
    }
    return nullptr;
}

// A link of this game's length makes a small code (29 to 37 modules a side); a text no QR code
// can hold makes none, rather than a code of part of it.
TEST(QrCode, HoldsALinkWholeOrNothing) {
    const auto modules = client::qrModules("http://192.168.1.5:8000/?match=K7QX3M");
    EXPECT_GE(modules.size, 25);
    EXPECT_LE(modules.size, 37);
    EXPECT_EQ(modules.dark.size(), static_cast<std::size_t>(modules.size * modules.size));
    EXPECT_TRUE(client::qrModules(std::string(4000, 'x')).empty());
    EXPECT_TRUE(qrImage(QString(4000, QLatin1Char('x')), 4).isNull());
}

// The dialog shows the codes of the very links it writes beside them, to join and to watch,
// each readable as it is on screen.
TEST(QrCode, TheDialogsCodesAreTheLinksToJoinAndToWatch) {
    OnlineDialog dialog(QStringLiteral("ws://127.0.0.1:8000/ws"), QString());
    const QString link = QStringLiteral("http://127.0.0.1:8000/?match=K7QX3M");
    const QString watchLink = QStringLiteral("http://127.0.0.1:8000/?watch=K7QX3M");
    dialog.show();
    dialog.showRoom(QStringLiteral("K7QX3M"), link, watchLink);
    QApplication::processEvents();
    auto* qr = shownChild<QrCodeLabel>(QStringLiteral("qrCode"));
    ASSERT_NE(qr, nullptr);
    EXPECT_EQ(shownChild<QLineEdit>(QStringLiteral("link"))->text(), link);
    EXPECT_EQ(shownChild<QLineEdit>(QStringLiteral("watchLink"))->text(), watchLink);
    QStringList read = decoded(dialog.grab().toImage(), QStringLiteral("dialog.png")).split('\n');
    read.sort();
    EXPECT_EQ(read, QStringList({link, watchLink}));
}

// At the end of a recorded match the window offers its replay: the link, to copy or to watch,
// and its code, which reads as that link. Before the server names the replay none is offered.
TEST(QrCode, TheEndOffersTheReplayWithItsCode) {
    client::MatchView match = startedAsRed("ws://127.0.0.1:8000/ws");
    const auto deliver = [&](const online::ServerMessage& m) { deliverTo(match, m); };
    deliver(msg::BoxOpened{1, "GAME OVER! Red is the Winner", online::Scene{}});
    deliver(msg::BoxClosed{1});
    deliver(msg::GameOver{online::Scene{}});
    MatchWindow window;
    window.show(match);
    QApplication::processEvents();
    EXPECT_EQ(shownChild<QWidget>(QStringLiteral("replay")), nullptr);

    deliver(msg::Replay{"B7KQ3MXABCDEF"});
    window.show(match);
    QApplication::processEvents();
    const QString link = QStringLiteral("http://127.0.0.1:8000/?replay=B7KQ3MXABCDEF");
    auto* end = shownChild<QWidget>(QStringLiteral("end"));
    ASSERT_NE(end, nullptr);
    ASSERT_NE(shownChild<QWidget>(QStringLiteral("replay")), nullptr);
    EXPECT_EQ(shownChild<QLineEdit>(QStringLiteral("replayLink"))->text(), link);
    EXPECT_EQ(decoded(end->window()->grab().toImage(), QStringLiteral("end.png")), link);
    shownChild<QPushButton>(QStringLiteral("copyReplay"))->click();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), link);
    window.hide();
}

}  // namespace
}  // namespace voltaro
