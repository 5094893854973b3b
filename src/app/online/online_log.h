#pragma once

#include <QFile>
#include <cstdint>

#include "client/match_view.h"
#include "client/replay_viewer.h"
#include "client/screen_log.h"

namespace voltaro {

// A test's record of what this game showed, with the time it showed it, in the file that
// VOLTARO_ONLINE_LOG names; without it nothing is written.
class OnlineLog {
  public:
    OnlineLog();

    void shown(const client::MatchView& match);
    void keyPressed(std::int16_t code);
    void replayShown(const client::ReplayViewer& viewer);

  private:
    void write(const std::string& line);

    QFile file_;
    client::ScreenLog lines_;
};

}  // namespace voltaro
