#include "client/screen_log.h"

#include <fmt/compile.h>
#include <fmt/format.h>

#include "client/match_view.h"

namespace voltaro::client {

namespace {

using Phase = MatchView::Phase;

// The scene on screen, as far as a test is told of it: empty while nothing new is shown.
std::string sceneLine(const MatchView& match) {
    switch (match.phase()) {
        case Phase::Playing:
            return match.tickLine();
        case Phase::Box:
            return match.boxAnswered()
                       ? std::string()
                       : fmt::format(FMT_COMPILE("box {} {} | {}"), match.boxNumber(),
                                     match.boxText(), describeScene(match.tick(), match.scene()));
        case Phase::Over:
            return "over " + describeScene(0, match.scene());
        default:
            return {};
    }
}

}  // namespace

std::vector<std::string> ScreenLog::linesFor(const MatchView& match) {
    std::vector<std::string> lines;
    std::string scene = sceneLine(match);
    if (!scene.empty() && scene != lastScene_) {
        lines.push_back(scene);
        lastScene_ = std::move(scene);
    }
    std::string status = "status " + match.status();
    if (status != lastStatus_) {
        lines.push_back(status);
        lastStatus_ = std::move(status);
    }
    return lines;
}

std::string ScreenLog::keyLine(std::int16_t code) {
    return fmt::format(FMT_COMPILE("key {}"), code);
}

}  // namespace voltaro::client
