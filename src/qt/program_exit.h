#pragma once

#include <chrono>

namespace voltaro {

// Leaving the process once the game is over, whatever the toolkit's teardown does: Qt 6.4's
// Wayland event thread can block the application's destruction for ever after the window has
// gone, leaving a process with no window. The game has nothing to save, so it skips that
// teardown altogether.
class ProgramExit {
  public:
    // From the moment the program ends: if the process is still there after `grace` (stuck in
    // the event loop's exit or anywhere else), it leaves with `status` all the same.
    static void armWatchdog(int status, std::chrono::milliseconds grace);

    // Flushes the standard streams and leaves at once, running no destructor and no exit
    // handler, so nothing can block.
    [[noreturn]] static void now(int status);
};

// Started with no display, Qt's platform plugin stops the program with a long message and an
// abort. Until the application exists, this turns that into one line and status 1, and holds
// back Qt's warnings about it; once the application exists they go out as usual.
class DisplayCheck {
  public:
    DisplayCheck();
    ~DisplayCheck();
    DisplayCheck(const DisplayCheck&) = delete;
    DisplayCheck& operator=(const DisplayCheck&) = delete;

    // The application opened its display: Qt's messages go their usual way again.
    void passed();
};

}  // namespace voltaro
