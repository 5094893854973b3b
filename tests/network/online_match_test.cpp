// Whole matches through the real program on loopback: two players and a spectator, the match
// played to its end, its record replayed, and SIGTERM with a match in play; and a match through
// a relay that delays and jitters each direction, where every tick each client made final is
// the server's.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>

#include "delay_relay.h"
#include "http_request.h"
#include "match_client.h"
#include "online/protocol.h"
#include "replay_session.h"
#include "server_process.h"

namespace voltaro::server::testing {
namespace {

namespace asio = boost::asio;
using namespace std::chrono_literals;
using namespace online;
namespace msg = online::server;
namespace client = online::client;

constexpr auto kPatience = 10s;
// A match runs about five seconds from the first key press to the goal; the rest is margin for
// a loaded machine.
constexpr auto kMatchPatience = 60s;

Scene sceneOfState(std::string_view line) {
    const auto state = nlohmann::json::parse(line);
    const auto point = [&](const char* name) {
        return Point{state[name][0].get<float>(), state[name][1].get<float>()};
    };
    return Scene{point("ball"), point("red"), point("blue"), state["redScore"].get<std::string>(),
                 state["blueScore"].get<std::string>()};
}

// The last state `voltaro-replay` prints for `script`, as a scene.
Scene replayedScene(const std::filesystem::path& script) {
    const std::string command = std::string(VOLTARO_REPLAY) + " < '" + script.string() + "'";
    FILE* output = popen(command.c_str(), "r");
    std::string last;
    char line[4096];
    while (output && std::fgets(line, sizeof line, output)) {
        last = line;
    }
    EXPECT_EQ(output ? pclose(output) : -1, 0) << command;
    return sceneOfState(last);
}

// The record played on the replay tool's own engine: the scene after each tick that has events
// (a tick without any leaves the form as it was).
std::map<std::uint32_t, Scene> replayedTicks(const std::filesystem::path& script) {
    ReplaySession session;
    std::map<std::uint32_t, Scene> scenes{{0, sceneOfState(session.stateJson("load"))}};
    std::uint32_t tick = 0;
    std::ifstream in(script);
    for (std::string line; std::getline(in, line);) {
        if (line.starts_with("# tick ")) {
            tick = static_cast<std::uint32_t>(std::stoul(line.substr(7)));
        } else if (!line.empty() && line.front() != '#') {
            std::string problem;
            EXPECT_TRUE(session.runLine(line, problem)) << line << ": " << problem;
            scenes[tick] = sceneOfState(session.stateJson(line));
        }
    }
    return scenes;
}

Scene sceneAt(const std::map<std::uint32_t, Scene>& replayed, std::uint32_t tick) {
    return std::prev(replayed.upper_bound(tick))->second;
}

// Every final tick `client` computed in match 1 agreed with the server's digest, in its plain
// copy and its predicted one, and is the scene the record replays to at that tick.
void expectFinalsAsRecorded(FollowedMatch& client, const std::map<std::uint32_t, Scene>& record,
                            const char* who) {
    EXPECT_TRUE(client.faults().empty()) << who << ": " << client.faults().front();
    std::size_t checked = 0;
    std::uint32_t last = 0;
    for (const auto& final : client.finals()) {
        if (final.match != 1) {
            continue;
        }
        ++checked;
        last = final.tick;
        EXPECT_TRUE(final.digestAgreed) << who << ", tick " << final.tick;
        EXPECT_TRUE(final.predictionAgreed) << who << ", tick " << final.tick;
        EXPECT_EQ(final.scene, sceneAt(record, final.tick)) << who << ", tick " << final.tick;
    }
    EXPECT_GT(last, 300u) << who << ": the ball took hundreds of ticks to the goal";
    EXPECT_GE(checked, last / online::kFinalEveryTicks) << who << ": a final tick went missing";
}

// The only record in `folder` once the server's writer has put it on disk (a moment after the
// match has told its players).
std::optional<std::filesystem::path> theRecord(asio::io_context& io,
                                               const std::filesystem::path& folder,
                                               std::chrono::milliseconds limit) {
    std::vector<std::filesystem::path> written;
    const auto recorded = [&] {
        written.clear();
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            written.push_back(entry.path());
        }
        return written.size() == 1 && written[0].extension() == ".replay";
    };
    if (!runUntil(io, recorded, limit)) {
        return std::nullopt;
    }
    return written.front();
}

class MatchThroughServer : public ::testing::Test {
  protected:
    void SetUp() override {
        std::filesystem::create_directories(records_);
        server_.emplace(VOLTARO_SERVER, std::vector<std::string>{"--records", records_.string()});
        endpoint_ = asio::ip::tcp::endpoint(asio::ip::make_address("127.0.0.1"), server_->port());
    }
    void TearDown() override { std::filesystem::remove_all(records_); }

    // A client that has said hello; `room` goes into the URL, where a proxy routes on it.
    std::unique_ptr<MatchClient> greeted(const std::string& room = {},
                                         std::optional<asio::ip::tcp::endpoint> through = {}) {
        WsClientOptions options;
        if (!room.empty()) {
            options.target = "/ws?room=" + room;
        }
        auto client = std::make_unique<MatchClient>(io_, through.value_or(endpoint_), options);
        EXPECT_TRUE(client->connected(kPatience));
        client->send(client::Hello{});
        EXPECT_TRUE(client->next<msg::Welcome>(kPatience));
        return client;
    }

    std::filesystem::path records_ =
        std::filesystem::temp_directory_path() / ("voltaro-records-" + std::to_string(::getpid()));
    asio::io_context io_;
    std::optional<ServerProcess> server_;
    asio::ip::tcp::endpoint endpoint_;
};

TEST_F(MatchThroughServer, TwoPlayersPlayToTheEndAsTheSpectatorSeesAndTheRecordReplays) {
    auto red = greeted();
    red->send(client::Create{});
    const auto redSeat = red->next<msg::Seated>(kPatience);
    ASSERT_TRUE(redSeat);
    const std::string code = redSeat->code;
    auto blue = greeted(code);
    blue->send(client::Join{code});
    ASSERT_EQ(blue->next<msg::Seated>(kPatience)->seat, Seat::Blue);
    auto watcher = greeted(code);
    watcher->send(client::Watch{code});
    ASSERT_EQ(watcher->next<msg::Seated>(kPatience)->seat, Seat::Spectator);
    ASSERT_TRUE(red->next<msg::MatchStarted>(kPatience));

    ASSERT_TRUE(bringBallIntoPlay(*red, kPatience));
    const PlayedMatch played = playToTheEnd(*red, *blue, kMatchPatience);
    ASSERT_EQ(played.redBoxes.size(), 2u);
    EXPECT_EQ(played.redBoxes[0].text, "Goal!");
    EXPECT_TRUE(played.redBoxes[1].text.starts_with("GAME OVER! ")) << played.redBoxes[1].text;
    for (std::size_t box = 0; box < 2; ++box) {
        EXPECT_EQ(played.blueBoxes[box].scene, played.redBoxes[box].scene);
        const auto seenBox = watcher->next<msg::BoxOpened>(kPatience);
        ASSERT_TRUE(seenBox);
        EXPECT_EQ(seenBox->scene, played.redBoxes[box].scene);
    }
    const auto& redEnd = played.redEnd;
    const auto seenEnd = watcher->next<msg::GameOver>(kPatience);
    ASSERT_TRUE(redEnd && played.blueEnd && seenEnd);
    EXPECT_EQ(played.blueEnd->scene, redEnd->scene);
    EXPECT_EQ(seenEnd->scene, redEnd->scene);

    // The spectator ran the match from the same messages as the players and made the same ticks
    // final; and the record, replayed, ends where the players saw the match end and passes
    // through every one of those ticks.
    const auto record = theRecord(io_, records_, kPatience);
    ASSERT_TRUE(record);
    EXPECT_EQ(replayedScene(*record), redEnd->scene);
    const auto replayed = replayedTicks(*record);
    expectFinalsAsRecorded(red->followed(), replayed, "red");
    expectFinalsAsRecorded(blue->followed(), replayed, "blue");
    expectFinalsAsRecorded(watcher->followed(), replayed, "the spectator");
    const std::vector<std::filesystem::path> written{*record};

    // Everyone is told the replay's id, the record's name; the server serves its text there,
    // and that text replays to the end the players saw.
    const std::string id = record->stem().string();
    for (MatchClient* client : {red.get(), blue.get(), watcher.get()}) {
        const auto replay = client->next<msg::Replay>(kPatience);
        ASSERT_TRUE(replay);
        EXPECT_EQ(replay->id, id);
    }
    const auto served = httpRequest(io_, endpoint_, {.target = "/replay/" + id}, kPatience);
    ASSERT_TRUE(served);
    EXPECT_EQ(served->result_int(), 200);
    EXPECT_EQ((*served)[boost::beast::http::field::content_type], "text/plain; charset=utf-8");
    const auto copy = records_.parent_path() / (id + "-served.replay");
    std::ofstream(copy) << served->body();
    EXPECT_EQ(replayedScene(copy), redEnd->scene);
    std::filesystem::remove(copy);

    // Both want another: it starts, and SIGTERM ends the server with it in play. Everyone is told
    // and closed as going away; only the finished match is on disk, whole.
    red->send(client::PlayAgain{});
    blue->send(client::PlayAgain{});
    ASSERT_EQ(red->next<msg::MatchStarted>(kPatience)->match, 2u);
    ASSERT_TRUE(bringBallIntoPlay(*red, kPatience));
    ASSERT_TRUE(watcher->next<msg::Final>(kPatience));
    server_->signal(SIGTERM);
    EXPECT_EQ(server_->waitForExit(kPatience), 0) << server_->errors();
    for (MatchClient* client : {red.get(), blue.get(), watcher.get()}) {
        EXPECT_TRUE(client->next<msg::RoomClosed>(kPatience));
        EXPECT_EQ(closeCodeOf(io_, client->socket(), kPatience), close_code::kGoingAway);
    }
    std::vector<std::filesystem::path> after;
    for (const auto& entry : std::filesystem::directory_iterator(records_)) {
        after.push_back(entry.path());
    }
    EXPECT_EQ(after, written);
}

// A friend whose game is older sends the hello of version 2, word for word: it is told why in
// the error and closed with the version's code, before anything else.
TEST_F(MatchThroughServer, AClientOfVersionTwoIsToldWhyAndClosed) {
    MatchClient old(io_, endpoint_);
    ASSERT_TRUE(old.connected(kPatience));
    old.socket().send(R"({"type":"hello","version":2})");
    const auto error = old.next<msg::Error>(kPatience);
    ASSERT_TRUE(error);
    EXPECT_NE(error->message.find("version"), std::string::npos) << error->message;
    EXPECT_EQ(closeCodeOf(io_, old.socket(), kPatience), close_code::kVersion);
    EXPECT_FALSE(std::holds_alternative<msg::Welcome>(old.received().front()));
}

// The internet between each player and the server, 50 ms each way with 10 ms of jitter (red) and
// 20 ms (blue): both press their own keys while the other's arrive late, and every tick each of
// them made final is the server's, the one its record replays to.
TEST_F(MatchThroughServer, ThroughDelayAndJitterEveryFinalTickIsTheServers) {
    DelayRelay slowRed(io_, endpoint_, {50ms, 10ms}, {50ms, 10ms}, 1);
    DelayRelay fastBlue(io_, endpoint_, {10ms, 10ms}, {10ms, 10ms}, 2);
    auto red = greeted({}, slowRed.endpoint());
    red->send(client::Create{});
    const auto redSeat = red->next<msg::Seated>(kPatience);
    ASSERT_TRUE(redSeat);
    auto blue = greeted(redSeat->code, fastBlue.endpoint());
    blue->send(client::Join{redSeat->code});
    ASSERT_EQ(blue->next<msg::Seated>(kPatience)->seat, Seat::Blue);
    ASSERT_TRUE(red->next<msg::MatchStarted>(kPatience));
    ASSERT_TRUE(blue->next<msg::MatchStarted>(kPatience));

    // Red's own press moves red's piece at once, long before the server's echo can be back.
    ASSERT_TRUE(red->reachTick(4, kPatience));
    const Scene before = red->followed().shown(Clock::now());
    red->keyDown(40);  // down
    const Scene pressed = red->followed().shown(Clock::now());
    EXPECT_NE(pressed.red, before.red);
    EXPECT_EQ(pressed.blue, before.blue);
    red->keyUp(40);

    // Presses from both sides within the window of each other: each player's own are predicted,
    // the other's arrive late and roll its match back.
    ASSERT_TRUE(bringBallIntoPlay(*red, kPatience));
    const std::int16_t redKeys[] = {38, 40, 16, 38};
    const std::int16_t blueKeys[] = {87, 83, 16, 83};
    for (std::size_t i = 0; i < std::size(redKeys); ++i) {
        ASSERT_TRUE(blue->reachTick(20 + 6 * static_cast<std::uint32_t>(i), kPatience));
        blue->press(blueKeys[i]);
        red->press(redKeys[i]);
    }
    const PlayedMatch played = playToTheEnd(*red, *blue, kMatchPatience);
    ASSERT_TRUE(played.redEnd && played.blueEnd);
    EXPECT_EQ(played.blueEnd->scene, played.redEnd->scene);
    // Blue's presses reach red some 70 ms after they acted: red's screen had to be corrected.
    EXPECT_GT(red->followed().predicted().corrections(), 0u);

    const auto record = theRecord(io_, records_, kPatience);
    ASSERT_TRUE(record);
    EXPECT_EQ(replayedScene(*record), played.redEnd->scene);
    const auto replayed = replayedTicks(*record);
    expectFinalsAsRecorded(red->followed(), replayed, "red");
    expectFinalsAsRecorded(blue->followed(), replayed, "blue");
    // The record has every key both sent: none was lost on the way or turned away.
    std::ifstream in(*record);
    int keys = 0;
    for (std::string line; std::getline(in, line);) {
        keys += line.starts_with("key ");
    }
    EXPECT_GE(keys, 2 * static_cast<int>(std::size(redKeys)) + 2);
}

}  // namespace
}  // namespace voltaro::server::testing
