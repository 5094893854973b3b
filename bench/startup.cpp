#include "startup.h"

#include <QApplication>
#include <QCoreApplication>
#include <QPainter>
#include <QProcess>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "game/form1.h"
#include "qt/application.h"
#ifdef VOLTARO_GAMEPADS
#include "qt/gamepads.h"
#endif
#include "qt/qt_host.h"

namespace voltaro::bench {

namespace {

using Clock = std::chrono::steady_clock;  // CLOCK_MONOTONIC: one clock for parent and child

long long nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
        .count();
}

// Notes the moment the first frame has been painted and flushed.
struct FirstFrame : QObject {
    long long at = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint && at == 0) {
            QTimer::singleShot(0, this, [this] { at = nowNs(); });
        }
        return false;
    }
};

// The process's own high-water mark. (getrusage's ru_maxrss would also count the parent it was
// forked from, whose memory it shared until it started this program.)
long peakResidentKiB() {
    std::FILE* status = std::fopen("/proc/self/status", "r");
    long kib = 0;
    char line[256];
    while (status && std::fgets(line, sizeof line, status)) {
        if (std::sscanf(line, "VmHWM: %ld kB", &kib) == 1) {
            break;
        }
    }
    if (status) {
        std::fclose(status);
    }
    return kib;
}

// The floor: an empty window of the game's size that paints one text in each of the game's
// two faces, as the game's labels need them, so that both pay for the same fonts.
class TwoFaces : public QWidget {
  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), QColor(0, 0xC0, 0));
        painter.setPen(Qt::red);
        painter.setFont(face("Dancing Script", 29, QFont::Bold));
        painter.drawText(QRect(200, 536, 57, 41), Qt::AlignLeft | Qt::AlignTop, "Red");
        painter.setPen(Qt::black);
        painter.setFont(face("Liberation Sans", 32, QFont::Normal));
        painter.drawText(QRect(200, 592, 57, 41), Qt::AlignHCenter | Qt::AlignTop, "0");
    }

  private:
    static QFont face(const char* family, int pixels, QFont::Weight weight) {
        QFont font(QString::fromLatin1(family));
        font.setPixelSize(pixels);
        font.setWeight(weight);
        font.setStyleStrategy(QFont::NoAntialias);
        return font;
    }
};

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

}  // namespace

int runStartupChild(bool game) {
    // The game's own start: an application, the host, the form, the window.
    int argc = 1;
    char name[] = "voltaro";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    FirstFrame frame;
    std::unique_ptr<QtHost> host;
    std::unique_ptr<Form1> form;
#ifdef VOLTARO_GAMEPADS
    std::unique_ptr<Gamepads> pads;
#endif
    TwoFaces empty;
    if (game) {
        identifyApplication();  // what the game's main does before its host exists
        host = std::make_unique<QtHost>();
        form = std::make_unique<Form1>(*host);
#ifdef VOLTARO_GAMEPADS
        pads = std::make_unique<Gamepads>(*host);  // as the game's main has them
#endif
        host->window().installEventFilter(&frame);
        host->start(*form);
    } else {
        empty.installEventFilter(&frame);
        empty.resize(847, 646);
        empty.show();
    }
    QTimer::singleShot(1000, &app, [] { QCoreApplication::quit(); });
    app.exec();
    std::printf("%lld %ld\n", frame.at, peakResidentKiB());
    return 0;
}

namespace {

struct Samples {
    std::vector<double> frames, memory;
    StartupFigures median() const { return {bench::median(frames), bench::median(memory)}; }
};

void startOnce(bool game, const QProcessEnvironment& env, Samples& samples) {
    QProcess child;
    child.setProcessEnvironment(env);
    const long long started = nowNs();
    child.start(
        QCoreApplication::applicationFilePath(),
        {game ? QStringLiteral("--startup-child=game") : QStringLiteral("--startup-child=empty")});
    if (!child.waitForFinished(20000)) {
        return;
    }
    long long paintedAt = 0;
    long peakKiB = 0;
    if (std::sscanf(child.readAllStandardOutput().constData(), "%lld %ld", &paintedAt, &peakKiB) ==
            2 &&
        paintedAt > started) {
        samples.frames.push_back(double(paintedAt - started) / 1e6);
        samples.memory.push_back(double(peakKiB) / 1024.0);
    }
}

}  // namespace

std::pair<StartupFigures, StartupFigures> compareStartup(int runs, const QProcessEnvironment& env) {
    Samples game, floor;
    for (int run = 0; run < runs; ++run) {  // in turns, so that the machine's moods fall on both
        startOnce(true, env, game);
        startOnce(false, env, floor);
    }
    return {game.median(), floor.median()};
}

}  // namespace voltaro::bench
