#pragma once

#include <QSocketNotifier>
#include <filesystem>
#include <functional>
#include <memory>

namespace voltaro {

// Tells, without SDL, once a joystick or gamepad is there: Linux lists its input devices in
// /sys/class/input, and as one is plugged in udev makes its node in /dev/input, which inotify
// watches. A game without pads so never loads SDL, nor pays for its memory.
class PadWatch final {
  public:
    // `found` runs once, on this thread: at once if a pad is there already, else as one comes.
    // (The two folders are other ones only in tests.)
    explicit PadWatch(std::function<void()> found, std::filesystem::path nodes = "/dev/input",
                      std::filesystem::path devices = "/sys/class/input");
    ~PadWatch();
    PadWatch(const PadWatch&) = delete;
    PadWatch& operator=(const PadWatch&) = delete;

  private:
    void look();
    void stop();

    std::function<void()> found_;
    std::filesystem::path devices_;
    int inotify_ = -1;
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace voltaro
