#include "qt/pad_watch.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <array>
#include <utility>

#include "pads/joystick_devices.h"

namespace voltaro {

PadWatch::PadWatch(std::function<void()> found, std::filesystem::path nodes,
                   std::filesystem::path devices)
    : found_(std::move(found)), devices_(std::move(devices)) {
    // Watching first, looking second: a pad plugged in between is not missed.
    inotify_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    // A node is made, then given to the seat's user: either may be the moment SDL can open it.
    if (inotify_ >= 0 &&
        inotify_add_watch(inotify_, nodes.c_str(), IN_CREATE | IN_ATTRIB | IN_MOVED_TO) >= 0) {
        notifier_ = std::make_unique<QSocketNotifier>(inotify_, QSocketNotifier::Read);
        QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(),
                         [this] { look(); });
    }
    if (joystickPresent(devices_)) {
        stop();
        found_();
    } else if (!notifier_) {
        stop();  // no input devices here at all: no pad will come
    }
}

PadWatch::~PadWatch() {
    stop();
    notifier_.reset();
}

void PadWatch::look() {
    std::array<char, 4096> events;
    while (read(inotify_, events.data(), events.size()) > 0) {
        // Only that something changed counts: the kernel's list says what.
    }
    if (joystickPresent(devices_)) {
        stop();
        notifier_.release()->deleteLater();  // the one calling now
        found_();
    }
}

void PadWatch::stop() {
    if (notifier_) {
        notifier_->setEnabled(false);
    }
    if (inotify_ >= 0) {
        close(inotify_);
        inotify_ = -1;
    }
}

}  // namespace voltaro
