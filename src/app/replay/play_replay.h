#pragma once

#include <QString>
#include <memory>

#include "client/replay_viewer.h"

namespace voltaro {

// voltaro --replay FILE. The record is read before any window opens, so that a file that cannot
// be read or is no match's record is said on the terminal (nothing, with the message printed).
std::unique_ptr<client::ReplayViewer> loadReplay(const QString& file);
// Shows the replay in the form's window until it is closed; the exit status.
int playReplay(client::ReplayViewer& viewer);

}  // namespace voltaro
