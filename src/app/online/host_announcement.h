#pragma once

#include <QStringList>

#include "client/match_view.h"

namespace voltaro {

class OnlineDialog;

// Where a friend joins the room the player is waiting in: its code and link in the dialog, and
// for voltaro --host one link for each of this machine's addresses, on the terminal too (once).
class HostAnnouncement {
  public:
    // `hostAddresses`: voltaro --host's addresses (http://host:port/), the last this machine's
    // own; empty for a match on another server.
    explicit HostAnnouncement(QStringList hostAddresses);

    void announce(const client::MatchView& match, OnlineDialog& dialog);

  private:
    QStringList links(const client::MatchView& match) const;

    QStringList hostAddresses_;
    bool printed_ = false;
};

}  // namespace voltaro
