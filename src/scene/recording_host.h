#pragma once

#include <optional>
#include <string>
#include <vector>

#include "scene/form_site.h"

namespace voltaro {

// A host with no window: message boxes are answered OK at once and remembered, End and run-time
// errors are recorded. The game runs on it unchanged, for tests and the replay tool.
class RecordingHost : public FormSite {
  public:
    // The texts of the message boxes shown since the last call.
    std::vector<std::string> takeMessages();
    // The run-time error report since the last call, if there was one.
    std::optional<std::string> takeError();

    bool ended() const { return exitStatus_.has_value(); }
    std::optional<int> exitStatus() const { return exitStatus_; }

    void programEnded(int exitStatus) override;
    void reportRuntimeError(const RuntimeError& error) override;

  protected:
    void showMessageBox(const std::string& prompt) override;

  private:
    std::vector<std::string> messages_;
    std::optional<std::string> error_;
    std::optional<int> exitStatus_;
};

}  // namespace voltaro
