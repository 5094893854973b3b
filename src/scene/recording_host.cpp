#include "scene/recording_host.h"

#include <utility>

namespace voltaro {

std::vector<std::string> RecordingHost::takeMessages() {
    return std::exchange(messages_, {});
}

std::optional<std::string> RecordingHost::takeError() {
    return std::exchange(error_, std::nullopt);
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
