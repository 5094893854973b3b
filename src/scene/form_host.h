#pragma once

#include <string>

#include "scene/controls.h"
#include "scene/layout.h"
#include "scene/runtime_error.h"

namespace voltaro {

// Thrown by End to leave the running procedure at once; the event wiring catches it.
struct ProgramEnd {};

// What the game needs of its forms host: the form's controls, the modal message box and End.
// A host creates Form1's controls from the layout table when it is constructed.
class FormHost {
  public:
    FormHost();
    FormHost(const FormHost&) = delete;
    FormHost& operator=(const FormHost&) = delete;
    virtual ~FormHost() = default;

    Controls& controls() { return controls_; }
    const Controls& controls() const { return controls_; }
    const FormRecord& form() const { return form1Record(); }
    float ScaleLeft() const { return form().scaleLeft; }
    float ScaleTop() const { return form().scaleTop; }

    // Shows the prompt with a single OK button and returns once the player has dismissed it.
    void MsgBox(const std::string& prompt);
    // Ends the program from inside a procedure: no statement after it runs.
    [[noreturn]] void End();

    bool messageBoxOpen() const { return openMessageBoxes_ > 0; }

    // Told by the event wiring once the program is over (0 after End or closing the window,
    // 1 after a run-time error); nothing of the game runs after this.
    virtual void programEnded(int exitStatus) = 0;
    virtual void reportRuntimeError(const RuntimeError& error) = 0;

  protected:
    virtual void showMessageBox(const std::string& prompt) = 0;

  private:
    Controls controls_;
    int openMessageBoxes_ = 0;
};

}  // namespace voltaro
