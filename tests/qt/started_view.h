#pragma once

#include <string>

#include "client/match_view.h"
#include "online/protocol.h"
#include "online/snapshot.h"
#include "online/tick_match.h"

namespace voltaro {

// What the server says, as it would say it, to `match`.
inline void deliverTo(client::MatchView& match, const online::ServerMessage& message) {
    match.received(online::write(message), 0);
}

// A view seated as red in room ABCD on the server at `address`, its first match started.
inline client::MatchView startedAsRed(const std::string& address = "ws://127.0.0.1:8000/ws") {
    namespace msg = online::server;
    client::MatchView match(address);
    match.join("ABCD");
    match.opened();
    deliverTo(match, msg::Welcome{});
    deliverTo(match, msg::Seated{"ABCD", online::Seat::Red, "t"});
    deliverTo(match, msg::MatchStarted{1, 0, 0, online::encode(online::TickMatch().snapshot())});
    return match;
}

}  // namespace voltaro
