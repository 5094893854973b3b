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
        client::KeyDown{37},
        client::KeyUp{254},
        client::KeyRepeat{660.5, 40},
        client::FocusLost{},
        client::BoxOk{4294967295U},
        client::PlayAgain{},
        client::Leave{},
        client::Ping{},
    };
    const ServerMessage fromServer[] = {
        server::Welcome{},
        server::Seated{"AB23CD", Seat::Red, "00ff"},
        server::Seated{"AB23CD", Seat::Spectator, ""},
        server::MatchStarted{2, odd},
        server::State{4000000000U, Scene{}},
        server::State{1, odd},
        server::BoxOpened{3, "Goal!\n\t\"quoted\"\\", odd},
        server::BoxClosed{3},
        server::Paused{"Blue left the match"},
        server::Resumed{"Blue is back"},
        server::GameOver{odd},
        server::PlayAgainWanted{Seat::Blue},
        server::RoomClosed{"gone"},
        server::Error{"No room has that code"},
        server::Pong{},
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
    const auto box = readServerMessage(write(server::BoxOpened{3, "a\"b\nc", odd}), problem);
    EXPECT_EQ(std::get<server::BoxOpened>(*box).text, "a\"b\nc");
    EXPECT_EQ(std::get<server::BoxOpened>(*box).scene, odd);
}

// The message the server writes 64 times a second for every client: small, and the same text
// from the shared writer and the per-tick one.
TEST(Protocol, StateMessageIsSmall) {
    const server::State state{7, {{6020, 3260}, {1920, 3360}, {9840, 3360}, "0", "0"}};
    const std::string expected =
        R"({"type":"state","tick":7,"ball":[6020,3260],"red":[1920,3360],"blue":[9840,3360]})";
    EXPECT_EQ(write(state), expected);
    std::string reused = "left over";
    writeState(state.tick, state.scene, reused);
    EXPECT_EQ(reused, expected);
}

// Anything else is refused with a short reason in plain text, fit to close a connection with.
TEST(Protocol, RefusesWhatIsNotAMessage) {
    const std::string refused[] = {
        "",
        "key 37",
        "[]",
        "{}",
        R"({"type":7})",
        R"({"type":"keyDown","code":37)",
        "{\"type\":\"join\",\"code\":\"\xff\xfe\"}",
        R"({"type":"teleport"})",
        R"({"type":"join"})",
        R"({"type":"join","code":7})",
        R"({"type":"join","code":")" + std::string(41, 'A') + "\"}",
        R"({"type":"keyDown","code":0})",
        R"({"type":"keyDown","code":255})",
        R"({"type":"keyDown","code":-1})",
        R"({"type":"keyDown","code":37.5})",
        R"({"type":"keyDown","code":"37"})",
        R"({"type":"keyDown","code":18446744073709551615})",
        R"({"type":"keyRepeat","delay":1e400,"interval":40})",
        R"({"type":"keyRepeat","delay":500})",
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
    std::string problem;
    EXPECT_FALSE(readServerMessage(
        R"({"type":"state","tick":1,"ball":[1e39,0],"red":[0,0],"blue":[0,0]})", problem));
    EXPECT_FALSE(readServerMessage(R"({"type":"state","tick":1,"ball":[0,0]})", problem));
    EXPECT_FALSE(readServerMessage(R"({"type":"seated","code":"A","seat":"green"})", problem));
}

}  // namespace
}  // namespace voltaro::online
