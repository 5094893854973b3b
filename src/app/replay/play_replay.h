#pragma once

#include <QByteArray>
#include <QString>
#include <memory>
#include <string>

#include "client/replay_viewer.h"

namespace voltaro {

// voltaro --replay FILE. The record is read before any window opens, so that a file that cannot
// be read or is no match's record is said on the terminal (nothing, with the message printed).
std::unique_ptr<client::ReplayViewer> loadReplay(const QString& file);
// A record's text, ready to play; nothing, with why, when it is no match's record.
std::unique_ptr<client::ReplayViewer> replayOf(const QByteArray& text, std::string* problem);
// voltaro --replay LINK, the link a match's end offers (http://host/?replay=ID): the record is
// fetched from its server first, before any window opens, and what failed is said on the
// terminal. Needs an application object of Qt's, for its event loop.
std::unique_ptr<client::ReplayViewer> fetchReplay(const QString& link);
// Whether --replay was given a replay's link rather than a file.
bool isReplayLink(const QString& given);
// Shows the replay in the form's window until it is closed; the exit status.
int playReplay(client::ReplayViewer& viewer);

}  // namespace voltaro
