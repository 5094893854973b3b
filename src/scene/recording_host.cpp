#include "scene/recording_host.h"

#include <utility>

namespace voltaro {

std::vector<std::string> RecordingHost::takeMessages() {
    return std::exchange(messages_, {});
}

const std::optional<std::string>& RecordingHost::takeError() {
    takenError_ = std::exchange(error_, std::nullopt);
    return takenError_;
}

void RecordingHost::programEnded(int exitStatus) {
    exitStatus_ = exitStatus;
}

void RecordingHost::reportRuntimeError(const RuntimeError& error) {
    error_ = error.report();
}

void RecordingHost::showMessageBox(const std::string& prompt) {
    messages_.push_back(prompt);
}

}  // namespace voltaro
