#pragma once

#include <string>
#include <string_view>

#include "scene/controls.h"

namespace voltaro {

// Thrown by End to leave the running procedure at once; the event wiring catches it.
struct ProgramEnd {};

// What the game sees of its forms host, and all it sees: the form's controls by name, its scale
// origin, the modal message box and End. How the form is created, how events reach it and how
// the program ends stand behind this, in FormSite and the event wiring.
class FormHost {
  public:
    FormHost(const FormHost&) = delete;
    FormHost& operator=(const FormHost&) = delete;

    virtual Shape& shape(std::string_view name) = 0;
    virtual Label& label(std::string_view name) = 0;
    virtual float ScaleLeft() const = 0;
    virtual float ScaleTop() const = 0;

    // Shows the prompt with a single OK button and returns once the player has dismissed it.
    virtual void MsgBox(const std::string& prompt) = 0;
    // Ends the program from inside a procedure: no statement after it runs. The event wiring
    // that called the procedure catches it and ends the program. Out of line, so that code
    // built without exceptions (the page's online play) may include the form.
    [[noreturn]] void End();

  protected:
    FormHost() = default;
    ~FormHost() = default;
};

}  // namespace voltaro
