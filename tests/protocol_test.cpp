#include "online/protocol.h"

#include <gtest/gtest.h>

namespace voltaro::online {
namespace {

// Every message written reads back as the same message: the same kind, and written again the
// same text. Scenes keep fractions, signs and the counters' texts; texts keep quotes and line
// breaks.
TEST(Protocol, EveryMessageReadsBackAsWritten) {
    Scene odd;
    odd.ball = {-200.5F, 3360.25F};
    odd.red = {0.1F, 1e30F};
    odd.redScore = "1";
    odd.blueScore = "";
    const ClientMessage fromClients[] = {
        client::Hello{},
        client::Create{},
        client::Join{"AB23CD"},
        client::Watch{"xy\"z"},
        client::Rejoin{"AB23CD", std::string(32, 'f')},
        client::KeyDown{37, 0, 1},
        client::KeyUp{254, 4294967295U, 4294967295U},
        client::KeyRepeat{660.5, 40, 12, 3},
        client::FocusLost{7, 4},
        client::BoxOk{4294967295U},
        client::PlayAgain{},
        client::Leave{},
        client::Ping{},
        client::Resync{},
        client::QuickMatch{},
        client::LeaveQueue{},
    };
    using Kind = Input::Kind;
    const Input inputs[] = {
        {.kind = Kind::KeyDown, .seat = Seat::Red, .tick = 0, .seq = 1, .key = 1},
        {.kind = Kind::KeyUp,
         .seat = Seat::Blue,
         .tick = 4294967295U,
         .seq = 4294967295U,
         .key = 254},
        {.kind = Kind::FocusLost, .seat = Seat::Blue, .tick = 9, .seq = 2},
        {.kind = Kind::KeyRepeat,
         .seat = Seat::Red,
         .tick = 64,
         .seq = 3,
         .delayUs = 250000,
         .intervalUs = 400000},
        {.kind = Kind::KeyRepeat,
         .seat = Seat::Blue,
         .tick = 1,
         .seq = 4,
         .delayUs = 1000000,
         .intervalUs = 33333},
    };
    const ServerMessage fromServer[] = {
        server::Welcome{},
        server::Seated{"AB23CD", Seat::Red, "00ff"},
        server::Seated{"AB23CD", Seat::Spectator, ""},
        server::MatchStarted{2, 9007199254740991, 4294967295U, "v1 \"quoted\" \\ state"},
        server::MatchStarted{1, 0, 0, ""},
        server::Final{4000000000U, 0xfedcba9876543210U, 4294967295U, 0},
        server::Final{8, 0x1U, 2, 3},
        server::BoxOpened{3, "Goal!\n\t\"quoted\"\\", odd},
        server::BoxClosed{3},
        server::Paused{"Blue left the match", 77},
        server::Resumed{"Blue is back", 4294967295U},
        server::GameOver{odd},
        server::PlayAgainWanted{Seat::Blue},
        server::RoomClosed{"gone"},
        server::Error{"No room has that code"},
        server::Pong{},
        server::Pong{1234567890123},
        server::Replay{"B7KQ3MXABCDEF"},
        server::Queued{600},
        server::Watchers{4294967295U},
        server::Refused{4294967295U},
    };
    std::string problem;
    for (const auto& message : fromClients) {
        const std::string text = write(message);
        SCOPED_TRACE(text);
        const auto read = readClientMessage(text, problem);
        ASSERT_TRUE(read) << problem;
        EXPECT_EQ(read->index(), message.index());
        EXPECT_EQ(write(*read), text);
    }
    for (const auto& message : fromServer) {
        const std::string text = write(message);
        SCOPED_TRACE(text);
        const auto read = readServerMessage(text, problem);
        ASSERT_TRUE(read) << problem;
        EXPECT_EQ(read->index(), message.index());
        EXPECT_EQ(write(*read), text);
    }
    for (const Input& input : inputs) {
        const std::string text = write(server::Input{input});
        SCOPED_TRACE(text);
        const auto read = readServerMessage(text, problem);
        ASSERT_TRUE(read) << problem;
        EXPECT_EQ(std::get<server::Input>(*read).input, input);
    }
    const auto box = readServerMessage(write(server::BoxOpened{3, "a\"b\nc", odd}), problem);
    EXPECT_EQ(std::get<server::BoxOpened>(*box).text, "a\"b\nc");
    EXPECT_EQ(std::get<server::BoxOpened>(*box).scene, odd);
    const auto started = readServerMessage(write(server::MatchStarted{2, 5, 6, "a\"b\\"}), problem);
    EXPECT_EQ(std::get<server::MatchStarted>(*started).state, "a\"b\\");
    const auto final =
        readServerMessage(write(server::Final{8, 0xfedcba9876543210U, 2, 3}), problem);
    EXPECT_EQ(std::get<server::Final>(*final).digest, 0xfedcba9876543210U);
}

// What the server sends most, to every member of a match: an input (a few a second while a
// player plays) and a final tick (4 a second). Both stay short; the digest keeps all 64 bits.
TEST(Protocol, InputAndFinalMessagesAreShort) {
    const Input press{
        .kind = Input::Kind::KeyDown, .seat = Seat::Blue, .tick = 700, .seq = 12, .key = 37};
    EXPECT_EQ(write(server::Input{press}),
              R"({"type":"input","kind":"keyDown","seat":"blue","tick":700,"seq":12,"key":37})");
    EXPECT_EQ(write(server::Final{696, 0x00ab00000000cd01U, 11, 12}),
              R"({"type":"final","tick":696,"digest":"00ab00000000cd01","red":11,"blue":12})");
    EXPECT_EQ(write(client::KeyDown{37, 700, 12}),
              R"({"type":"keyDown","code":37,"tick":700,"seq":12})");
}

// Anything else is refused with a short reason in plain text, fit to close a connection with.
TEST(Protocol, RefusesWhatIsNotAMessage) {
    const std::string refused[] = {
        "",
        "key 37",
        "[]",
        "{}",
        R"({"type":7})",
        R"({"type":"keyDown","code":37,"tick":1,"seq":1)",
        "{\"type\":\"join\",\"code\":\"\xff\xfe\"}",
        R"({"type":"teleport"})",
        R"({"type":"join"})",
        R"({"type":"join","code":7})",
        R"({"type":"join","code":")" + std::string(41, 'A') + "\"}",
        R"({"type":"keyDown","code":0,"tick":1,"seq":1})",
        R"({"type":"keyDown","code":255,"tick":1,"seq":1})",
        R"({"type":"keyDown","code":-1,"tick":1,"seq":1})",
        R"({"type":"keyDown","code":37.5,"tick":1,"seq":1})",
        R"({"type":"keyDown","code":"37","tick":1,"seq":1})",
        R"({"type":"keyDown","code":18446744073709551615,"tick":1,"seq":1})",
        R"({"type":"keyDown","code":37})",  // a version 2 client's: no stamp
        R"({"type":"keyDown","code":37,"tick":1})",
        R"({"type":"keyUp","code":37,"tick":-1,"seq":1})",
        R"({"type":"keyUp","code":37,"tick":4294967296,"seq":1})",
        R"({"type":"keyUp","code":37,"tick":1,"seq":4294967296})",
        R"({"type":"keyUp","code":37,"tick":1.5,"seq":1})",
        R"({"type":"focusLost"})",
        R"({"type":"focusLost","tick":1,"seq":null})",
        R"({"type":"keyRepeat","delay":1e400,"interval":40,"tick":1,"seq":1})",
        R"({"type":"keyRepeat","delay":500,"tick":1,"seq":1})",
        R"({"type":"keyRepeat","delay":500,"interval":40})",
        R"({"type":"ok","box":-1})",
        R"({"type":"ok","box":4294967296})",
        R"({"type":"hello","version":true})",
        R"({"type":"leave","pad":")" + std::string(kMaxClientMessageBytes, ' ') + "\"}",
        std::string(200, '[') + std::string(200, ']'),
    };
    for (const std::string& text : refused) {
        SCOPED_TRACE(text.substr(0, 80));
        std::string problem;
        EXPECT_FALSE(readClientMessage(text, problem));
        EXPECT_FALSE(problem.empty());
        EXPECT_LE(problem.size(), 123U);
        for (const char c : problem) {
            EXPECT_TRUE(c >= 0x20 && c < 0x7f) << "not plain text: " << problem;
        }
    }
    // From a server too: a client never takes what no server of this version writes.
    const std::string refusedFromServers[] = {
        R"({"type":"state","tick":1,"ball":[0,0],"red":[0,0],"blue":[0,0]})",
        R"({"type":"seated","code":"A","seat":"green"})",
        R"({"type":"box","box":1,"text":"Goal!","scene":{"ball":[1e39,0],"red":[0,0],"blue":[0,0]}})",
        R"({"type":"matchStarted","match":1,"scene":{"ball":[0,0],"red":[0,0],"blue":[0,0]}})",
        R"({"type":"matchStarted","match":1,"startUs":-1,"tick":0,"state":""})",
        R"({"type":"matchStarted","match":1,"startUs":9007199254740992,"tick":0,"state":""})",
        R"({"type":"matchStarted","match":1,"startUs":1.5,"tick":0,"state":""})",
        R"({"type":"matchStarted","match":1,"startUs":0,"tick":0,"state":7})",
        R"({"type":"matchStarted","match":1,"startUs":0,"tick":0,"state":")" +
            std::string(12289, 'x') + "\"}",
        R"({"type":"final","tick":1,"digest":"0123456789ABCDEF","red":0,"blue":0})",
        R"({"type":"final","tick":1,"digest":"0123456789abcde","red":0,"blue":0})",
        R"({"type":"final","tick":1,"digest":"0123456789abcdef0","red":0,"blue":0})",
        R"({"type":"final","tick":1,"digest":"+123456789abcdef","red":0,"blue":0})",
        R"({"type":"final","tick":1,"digest":"0x23456789abcdef","red":0,"blue":0})",
        R"({"type":"final","tick":1,"digest":81985529216486895,"red":0,"blue":0})",
        R"({"type":"final","tick":1,"digest":"0123456789abcdef","red":0})",
        R"({"type":"final","tick":1,"digest":"0123456789abcdef","red":-1,"blue":0})",
        R"({"type":"input","kind":"pause","seat":"red","tick":1,"seq":0})",
        R"({"type":"input","kind":"resume","seat":"red","tick":1,"seq":0})",
        R"({"type":"input","kind":"teleport","seat":"red","tick":1,"seq":0})",
        R"({"type":"input","kind":"keyDown","seat":"spectator","tick":1,"seq":1,"key":37})",
        R"({"type":"input","kind":"keyDown","seat":"red","tick":1,"seq":1})",
        R"({"type":"input","kind":"keyDown","seat":"red","tick":1,"seq":1,"key":255})",
        R"({"type":"input","kind":"keyUp","seat":"red","tick":-1,"seq":1,"key":37})",
        R"({"type":"input","kind":"keyDown","seat":"red","seq":1,"key":37})",
        R"({"type":"input","kind":"keyRepeat","seat":"red","tick":1,"seq":1,"delayUs":249999,"intervalUs":40000})",
        R"({"type":"input","kind":"keyRepeat","seat":"red","tick":1,"seq":1,"delayUs":1000001,"intervalUs":40000})",
        R"({"type":"input","kind":"keyRepeat","seat":"red","tick":1,"seq":1,"delayUs":500000,"intervalUs":33332})",
        R"({"type":"input","kind":"keyRepeat","seat":"red","tick":1,"seq":1,"delayUs":500000,"intervalUs":400001})",
        R"({"type":"input","kind":"keyRepeat","seat":"red","tick":1,"seq":1,"delayUs":500000})",
        R"({"type":"paused","reason":"Blue left the match"})",
        R"({"type":"resumed","reason":"Blue is back","tick":-1})",
        R"({"type":"pong"})",
        R"({"type":"pong","timeUs":-5})",
        R"({"type":"pong","timeUs":"5"})",
        // A replay's id goes into a link: letters and digits, never anything that shapes it.
        R"({"type":"replay"})",
        R"({"type":"replay","id":""})",
        R"({"type":"replay","id":"../B7KQ3MX"})",
        R"({"type":"replay","id":"B7KQ&match=X"})",
        R"({"type":"replay","id":"B7KQ3MXABCDEF#"})",
        R"({"type":"replay","id":"B7KQ3MXABCDEFGHJKLMNPQRSTUVWXYZ23456789ABCD"})",
        R"({"type":"refused"})",
        R"({"type":"refused","seq":4294967296})",
    };
    for (const std::string& text : refusedFromServers) {
        SCOPED_TRACE(text.substr(0, 120));
        std::string problem;
        EXPECT_FALSE(readServerMessage(text, problem));
        EXPECT_FALSE(problem.empty());
        EXPECT_LE(problem.size(), 123U);
    }
}

}  // namespace
}  // namespace voltaro::online
