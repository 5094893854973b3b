#include "qt/monotonic_alarm.h"

#include <QSocketNotifier>
#include <algorithm>

#ifdef Q_OS_LINUX
#include <sys/timerfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#endif

namespace voltaro {

MonotonicAlarm::MonotonicAlarm(QObject* parent) : QObject(parent) {
    fallback_.setSingleShot(true);
    fallback_.setTimerType(Qt::PreciseTimer);
    connect(&fallback_, &QTimer::timeout, this, &MonotonicAlarm::rang);
#ifdef Q_OS_LINUX
    // steady_clock is CLOCK_MONOTONIC here, so its time points are the timerfd's.
    fd_ = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (fd_ >= 0) {
        notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
        connect(notifier_.get(), &QSocketNotifier::activated, this, &MonotonicAlarm::onReadable);
    }
#endif
}

MonotonicAlarm::~MonotonicAlarm() {
    notifier_.reset();
#ifdef Q_OS_LINUX
    if (fd_ >= 0) {
        ::close(fd_);
    }
#endif
}

void MonotonicAlarm::ringAt(TimePoint when) {
#ifdef Q_OS_LINUX
    if (fd_ >= 0 && when == armedFor_) {
        return;  // already set for that moment: spare the system call
    }
    if (fd_ >= 0) {
        using namespace std::chrono;
        // An expiry of zero would disarm the timer: anything due already rings a nanosecond on.
        const auto since =
            std::max(duration_cast<nanoseconds>(when.time_since_epoch()), nanoseconds(1));
        itimerspec expiry{};
        expiry.it_value.tv_sec = static_cast<time_t>(duration_cast<seconds>(since).count());
        expiry.it_value.tv_nsec = static_cast<long>((since % seconds(1)).count());
        if (timerfd_settime(fd_, TFD_TIMER_ABSTIME, &expiry, nullptr) == 0) {
            armedFor_ = when;
            return;
        }
    }
#endif
    const auto wait =
        std::chrono::ceil<std::chrono::milliseconds>(when - std::chrono::steady_clock::now());
    fallback_.start(std::max(wait, std::chrono::milliseconds(0)));
}

void MonotonicAlarm::stop() {
    fallback_.stop();
#ifdef Q_OS_LINUX
    armedFor_ = TimePoint::min();
    if (fd_ >= 0) {
        const itimerspec disarmed{};
        timerfd_settime(fd_, 0, &disarmed, nullptr);
    }
#endif
}

void MonotonicAlarm::onReadable() {
#ifdef Q_OS_LINUX
    std::uint64_t expirations = 0;
    if (::read(fd_, &expirations, sizeof expirations) != sizeof expirations) {
        return;  // disarmed or re-armed before the loop got here
    }
    armedFor_ = TimePoint::min();  // it rang: the next deadline must be set afresh
#endif
    emit rang();
}

}  // namespace voltaro
