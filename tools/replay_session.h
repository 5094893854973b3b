#pragma once

#include <iosfwd>
#include <string>
#include <string_view>

#include "game/form1.h"
#include "scene/event_wiring.h"
#include "scene/recording_host.h"

namespace voltaro {

// Plays a script of events on the real Form1 over the recording host, and writes the state
// after start-up and after each event as one JSON line.
class ReplaySession {
  public:
    ReplaySession();

    // Runs every line of `script`. Returns 0; 2 after reporting the first bad line on `errors`;
    // 1 after reporting that `script` could not be read or `out` could not be written.
    int run(std::istream& script, std::ostream& out, std::ostream& errors);

    // Runs one line (a comment or a blank one does nothing); false (with `problem` set) when it
    // is not a command.
    bool runLine(std::string_view line, std::string& problem);
    std::string stateJson(std::string_view event);

    RecordingHost& host() { return host_; }
    const Form1& form() const { return form_; }
    EventWiring& wiring() { return wiring_; }

  private:
    RecordingHost host_;
    Form1 form_;
    EventWiring wiring_;
};

}  // namespace voltaro
