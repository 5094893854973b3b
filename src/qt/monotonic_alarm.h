#pragma once

#include <QObject>
#include <QTimer>
#include <chrono>
#include <memory>

class QSocketNotifier;

namespace voltaro {

// Rings once at an absolute time of the monotonic clock (std::chrono::steady_clock). Qt's own
// timers round their waits to whole milliseconds, which makes a 64 Hz tick up to a millisecond
// late; on Linux a timerfd wakes the event loop at the very microsecond instead.
class MonotonicAlarm : public QObject {
    Q_OBJECT

  public:
    using TimePoint = std::chrono::steady_clock::time_point;

    explicit MonotonicAlarm(QObject* parent = nullptr);
    ~MonotonicAlarm() override;

    void ringAt(TimePoint when);
    void stop();

  signals:
    void rang();

  private:
    void onReadable();

    int fd_ = -1;
    TimePoint armedFor_ = TimePoint::min();  // the deadline the timerfd holds now
    std::unique_ptr<QSocketNotifier> notifier_;
    QTimer fallback_;
};

}  // namespace voltaro
