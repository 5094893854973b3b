// Whole matches through the real program on loopback: two players and a spectator, the match
// played to its end, its record replayed, and SIGTERM with a match in play.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>

#include "match_client.h"
#include "server_process.h"

namespace voltaro::server::testing {
namespace {

namespace asio = boost::asio;
using namespace std::chrono_literals;
using namespace online;
namespace msg = online::server;

constexpr auto kPatience = 10s;
// A match runs about five seconds from the first key press to the goal; the rest is margin for
// a loaded machine.
constexpr auto kMatchPatience = 60s;

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
    const auto state = nlohmann::json::parse(last);
    const auto point = [&](const char* name) {
        return Point{state[name][0].get<float>(), state[name][1].get<float>()};
    };
    return Scene{point("ball"), point("red"), point("blue"), state["redScore"].get<std::string>(),
                 state["blueScore"].get<std::string>()};
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
    std::unique_ptr<MatchClient> greeted(const std::string& room = {}) {
        WsClientOptions options;
        if (!room.empty()) {
            options.target = "/ws?room=" + room;
        }
        auto client = std::make_unique<MatchClient>(io_, endpoint_, options);
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

    // Every state the spectator got is the state red got at that tick. Either may have missed
    // some (the latest state wins for a slow reader), never many.
    std::map<std::uint32_t, Scene> redStates;
    for (const auto& message : red->received()) {
        if (const auto* state = std::get_if<msg::State>(&message)) {
            redStates[state->tick] = state->scene;
        }
    }
    std::size_t seen = 0, shared = 0;
    for (const auto& message : watcher->received()) {
        if (const auto* state = std::get_if<msg::State>(&message)) {
            ++seen;
            if (const auto found = redStates.find(state->tick); found != redStates.end()) {
                ++shared;
                EXPECT_EQ(state->scene, found->second) << "tick " << state->tick;
            }
        }
    }
    EXPECT_GT(seen, 100u) << "the ball took hundreds of ticks to the goal";
    EXPECT_GT(shared * 2, seen);

    // The record, replayed, ends where the players saw the match end. The server's writer puts
    // it on disk a moment after the match has told its players.
    std::vector<std::filesystem::path> written;
    const auto recorded = [&] {
        written.clear();
        for (const auto& entry : std::filesystem::directory_iterator(records_)) {
            written.push_back(entry.path());
        }
        return written.size() == 1 && written[0].extension() == ".replay";
    };
    ASSERT_TRUE(runUntil(io_, recorded, kPatience));
    EXPECT_EQ(replayedScene(written.front()), redEnd->scene);

    // Both want another: it starts, and SIGTERM ends the server with it in play. Everyone is told
    // and closed as going away; only the finished match is on disk, whole.
    red->send(client::PlayAgain{});
    blue->send(client::PlayAgain{});
    ASSERT_EQ(red->next<msg::MatchStarted>(kPatience)->match, 2u);
    ASSERT_TRUE(bringBallIntoPlay(*red, kPatience));
    ASSERT_TRUE(watcher->next<msg::State>(kPatience));
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

}  // namespace
}  // namespace voltaro::server::testing
