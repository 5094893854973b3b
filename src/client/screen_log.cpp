#include "client/screen_log.h"

#include <fmt/compile.h>
#include <fmt/format.h>

#include "client/match_view.h"
#include "client/replay_viewer.h"

namespace voltaro::client {

namespace {

using Phase = MatchView::Phase;

// A box as it opens, or the end: empty while neither shows.
std::string boxOrEndLine(const MatchView& match) {
    switch (match.phase()) {
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
    if (match.mismatches() != mismatches_) {
        mismatches_ = match.mismatches();
        lines.push_back(
            fmt::format(FMT_COMPILE("digest mismatch at tick {}"), match.lastMismatch()));
    }
    if (const auto tick = match.finalTick()) {
        const std::pair final{match.matchNumber(), *tick};
        if (final != lastFinal_) {
            lastFinal_ = final;
            lines.push_back(describeScene(*tick, match.finalScene()));
        }
    }
    if (match.ownPresses() != ownPresses_) {
        ownPresses_ = match.ownPresses();
        lines.push_back("own " + keyLine(match.lastOwnPress()) + " " +
                        describeScene(match.tick(), match.scene()));
    }
    std::string scene = boxOrEndLine(match);
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

std::vector<std::string> ScreenLog::linesFor(const ReplayViewer& viewer) {
    const std::string scene = describeScene(viewer.tick(), viewer.scene());
    const ReplayViewer::Box* box = viewer.openBox();
    std::string line =
        box ? fmt::format(FMT_COMPILE("replay box {} | {}"), box->text, scene) : "replay " + scene;
    if (line == lastReplay_) {
        return {};
    }
    lastReplay_ = line;
    return {std::move(line)};
}

}  // namespace voltaro::client
