#include "play.h"

#include <sys/resource.h>
#include <valgrind/callgrind.h>

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>

#include "game/form1.h"
#include "qt/qt_host.h"

namespace voltaro::bench {

namespace {

using Clock = std::chrono::steady_clock;

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Counts ticks, and brackets the measured ones: callgrind's counters are zeroed when the
// warm-up is over and dumped when the last measured tick has been handled.
class TickMeter {
  public:
    TickMeter(int warmup, int measured, std::function<void()> stop)
        : warmup_(warmup), measured_(measured), stop_(std::move(stop)) {}

    void ticked() {
        ++ticks_;
        if (ticks_ == warmup_) {
            CALLGRIND_ZERO_STATS;
            cpu_ = cpuSeconds();
            start_ = Clock::now();
        } else if (ticks_ == warmup_ + measured_) {
            // The last tick's repaint goes out after it: dump once it has been handled.
            QTimer::singleShot(0, [this] { finish(); });
        }
    }

  private:
    void finish() {
        CALLGRIND_DUMP_STATS_AT("measured ticks");
        const double wall = std::chrono::duration<double>(Clock::now() - start_).count();
        std::printf("%d %.6f %.6f\n", measured_, cpuSeconds() - cpu_, wall);
        std::fflush(stdout);
        stop_();
    }

    int warmup_, measured_;
    std::function<void()> stop_;
    int ticks_ = 0;
    double cpu_ = 0;
    Clock::time_point start_;
};

// The game's form, with its ball ticks counted on the way in. Every sixth tick (about ten
// times a second) a key that moves nobody is pressed, to keep the ball's rebounds current as a
// player would; it is posted, so that it arrives in the same wake-up as the tick and adds none.
struct CountedForm : FormEvents {
    CountedForm(FormEvents& form, TickMeter& meter, QWidget& window)
        : form(form), meter(meter), window(window) {}
    FormEvents& form;
    TickMeter& meter;
    QWidget& window;
    int ticks = 0;
    void Form_Load() override { form.Form_Load(); }
    void Form_KeyDown(std::int16_t& KeyCode, std::int16_t Shift) override {
        form.Form_KeyDown(KeyCode, Shift);
    }
    void tmrBall_Timer() override {
        form.tmrBall_Timer();
        meter.ticked();
        if (++ticks % 6 == 0) {
            QMetaObject::invokeMethod(
                &window, [this] { pressSpace(); }, Qt::QueuedConnection);
        }
    }
    void tmrGoal_Timer() override { form.tmrGoal_Timer(); }

    void pressSpace() {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Space, {}, QStringLiteral(" "));
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_Space, {}, QStringLiteral(" "));
        QApplication::sendEvent(&window, &press);
        QApplication::sendEvent(&window, &release);
    }
};

int playGame(int warmup, int measured) {
    QtHost host;
    Form1 game(host);
    TickMeter meter(warmup, measured, [&] { host.window().close(); });
    CountedForm form(game, meter, host.window());
    return host.run(form);
}

// The floor: a window of the game's size that moves a white box of the ball's size 20 twips a
// tick on each axis, 64 ticks a second on a fixed grid, asking for its old and new place.
class MovingBox : public QWidget {
  public:
    MovingBox(int warmup, int measured)
        : meter_(warmup, measured, [] { QCoreApplication::quit(); }) {
        setAttribute(Qt::WA_OpaquePaintEvent);
        resize(847, 646);
        pace_.setSingleShot(true);
        pace_.setTimerType(Qt::PreciseTimer);
        connect(&pace_, &QTimer::timeout, this, &MovingBox::tick);
        start_ = Clock::now();
        schedule();
    }

  protected:
    void paintEvent(QPaintEvent* event) override {
        QPainter painter(this);
        painter.fillRect(event->rect(), QColor(0, 0xC0, 0));
        painter.fillRect(box(), Qt::white);
    }

  private:
    static constexpr auto kPeriod = std::chrono::nanoseconds(15'625'000);

    QRect box() const {
        return QRect(int(std::lround(left_ / 15)), int(std::lround(top_ / 15)), 49, 41);
    }

    void tick() {
        const QRect before = box();
        left_ += dx_;
        top_ += dy_;
        if (left_ <= 0 || left_ + 735 >= 12735) {
            dx_ = -dx_;
        }
        if (top_ <= 0 || top_ + 615 >= 7815) {
            dy_ = -dy_;
        }
        update(before);
        update(box());
        meter_.ticked();
        schedule();
    }

    void schedule() {
        const auto now = Clock::now();
        do {
            next_ += kPeriod;  // missed deadlines are skipped, as the game's timers do
        } while (start_ + next_ <= now);
        pace_.start(std::chrono::ceil<std::chrono::milliseconds>(start_ + next_ - now));
    }

    TickMeter meter_;
    QTimer pace_;
    Clock::time_point start_;
    std::chrono::nanoseconds next_{0};
    double left_ = 6000, top_ = 3240, dx_ = 20, dy_ = 20;
};

int playWidget(int warmup, int measured) {
    MovingBox window(warmup, measured);
    window.show();
    return QApplication::exec();
}

QStringList childArguments(Player player, int warmup, int ticks) {
    return {QStringLiteral("--play-child"),
            player == Player::Game ? QStringLiteral("game") : QStringLiteral("widget"),
            QString::number(warmup), QString::number(ticks)};
}

bool runChild(const QString& program, const QStringList& arguments, const QProcessEnvironment& env,
              QByteArray& out) {
    QProcess child;
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::SeparateChannels);
    child.start(program, arguments);
    if (!child.waitForFinished(300'000) || child.exitStatus() != QProcess::NormalExit) {
        child.kill();
        child.waitForFinished();
        return false;
    }
    out = child.readAllStandardOutput();
    return true;
}

constexpr int kWarmup = 64;

}  // namespace

double instructionsPerTick(Player player, const QProcessEnvironment& display, int ticks) {
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("callgrind.out"));
    QByteArray printed;
    QStringList arguments{QStringLiteral("--tool=callgrind"),
                          QStringLiteral("--callgrind-out-file=") + out,
                          QStringLiteral("--dump-line=no"), QStringLiteral("--compress-strings=no"),
                          QCoreApplication::applicationFilePath()};
    arguments += childArguments(player, kWarmup, ticks);
    if (!dir.isValid() || !runChild(QStringLiteral("valgrind"), arguments, display, printed)) {
        return std::nan("");
    }
    // The dump made at the end of the measured ticks is the file with the client request's
    // trigger; the file written at exit holds the teardown.
    for (const QString& name : QDir(dir.path()).entryList({QStringLiteral("callgrind.out*")})) {
        QFile file(dir.filePath(name));
        if (!file.open(QIODevice::ReadOnly)) {
            continue;
        }
        const QByteArray text = file.readAll();
        if (!text.contains("measured ticks")) {
            continue;
        }
        for (const QByteArray& line : text.split('\n')) {
            if (line.startsWith("summary:") || line.startsWith("totals:")) {
                return line.mid(line.indexOf(':') + 1).trimmed().toDouble() / ticks;
            }
        }
    }
    return std::nan("");
}

PlayCost cpuTime(Player player, const QProcessEnvironment& display, int ticks) {
    QByteArray printed;
    PlayCost cost{std::nan(""), std::nan(""), 0};
    if (!runChild(QCoreApplication::applicationFilePath(), childArguments(player, kWarmup, ticks),
                  display, printed)) {
        return cost;
    }
    double cpu = 0, wall = 0;
    if (std::sscanf(printed.constData(), "%d %lf %lf", &cost.ticks, &cpu, &wall) == 3 && wall > 0) {
        cost.cpuPercentOfOneCore = 100.0 * cpu / wall;
    }
    return cost;
}

int runPlayChild(int argc, char** argv) {
    if (argc < 5) {
        return 2;
    }
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    const int warmup = std::atoi(argv[3]);
    const int measured = std::atoi(argv[4]);
    return std::strcmp(argv[2], "game") == 0 ? playGame(warmup, measured)
                                             : playWidget(warmup, measured);
}

}  // namespace voltaro::bench
