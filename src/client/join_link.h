#pragma once

#include <string>
#include <string_view>

namespace voltaro::client {

// Where to play: a room code and the match server's WebSocket address, read from what a player
// was sent or typed: a link (http://host:port/?match=CODE, as the page and --host give it, or
// a link to watch, ?watch=CODE), an address (host:port), or a code alone (the server is then
// the one already chosen).
struct JoinTarget {
    std::string server;  // ws://host:port/ws or wss://...; empty: the one already chosen
    std::string code;    // empty: none given
    bool watch = false;  // the link was one to watch the match, not to play in it
};
JoinTarget readJoinTarget(std::string_view typed);

// The WebSocket address of the server that an address or link names (http -> ws, https -> wss,
// no scheme -> ws), or empty when it names none.
std::string matchSocketUrl(std::string_view address);

// The WebSocket address for a room: its code in the query (?room=CODE), by which a proxy in
// front of several servers sends the connection to the one that holds the room.
std::string roomSocketUrl(std::string_view socketUrl, std::string_view code);

// The link a friend opens in a browser (or gives to --join), http://host:port/?match=CODE, from
// the server's WebSocket address or from the address of one of its pages.
std::string joinLink(std::string_view address, std::string_view code);
// The link to watch that room, http://host:port/?watch=CODE, from the same addresses.
std::string watchLink(std::string_view address, std::string_view code);

// The WebSocket address on which to wait for a quick match (?queue=1): a proxy in front of
// several servers sends every such connection to the one that holds the queue.
std::string queueSocketUrl(std::string_view socketUrl);

// The link that plays a recorded match on the server's page, http://host:port/?replay=ID, from
// the same addresses as joinLink.
std::string replayLink(std::string_view address, std::string_view id);
// Where that server serves the record itself, as text: http://host:port/replay/ID; empty for
// an id that could be no record's (letters and digits only).
std::string replayRecordUrl(std::string_view address, std::string_view id);
// The record that a replay's link (http://host:port/?replay=ID, as the end of a match offers
// it) names, where its server serves it; empty when it is no such link.
std::string replayRecordOf(std::string_view link);

// The page to open for what a player typed on the page at `pageAddress`: this page with the
// room's code, or the page of the server a pasted link names; empty when it names no room. A
// link to watch opens the page that watches; so does a code when `watch` is set.
std::string pageToJoin(std::string_view typed, std::string_view pageAddress, bool watch = false);

}  // namespace voltaro::client
