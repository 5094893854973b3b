#pragma once

#include <string>

#include "scene/controls.h"
#include "scene/form_host.h"
#include "scene/layout.h"
#include "scene/runtime_error.h"

namespace voltaro {

// The host's side of the form: it creates Form1's controls from the layout table when it is
// constructed, keeps count of the open message boxes, and is told by the event wiring when the
// program is over. A concrete host adds the message box itself and the end of the program.
class FormSite : public FormHost {
  public:
    FormSite();
    virtual ~FormSite() = default;

    Controls& controls() { return controls_; }
    const Controls& controls() const { return controls_; }
    const FormRecord& form() const { return form1Record(); }

    Shape& shape(std::string_view name) final { return controls_.shape(name); }
    Label& label(std::string_view name) final { return controls_.label(name); }
    float ScaleLeft() const final { return form().scaleLeft; }
    float ScaleTop() const final { return form().scaleTop; }
    void MsgBox(const std::string& prompt) final;

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
