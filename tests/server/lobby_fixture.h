#pragma once

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "match_follower.h"
#include "online/protocol.h"
#include "server/core/lobby.h"
#include "server/core/record_writer.h"
#include "server/core/refusals.h"

namespace voltaro::server::test {

using namespace std::chrono_literals;
namespace msg = online::server;
namespace say = online::client;

// The network layer, faked: what the lobby sent to each connection, and which it closed.
struct FakeTransport final : Transport {
    struct Sent {
        std::string text;
    };
    struct Closed {
        std::uint16_t code;
        std::string reason;
    };

    void send(ConnectionId to, std::string message) override {
        EXPECT_FALSE(closed.contains(to)) << "sent to " << to << " after closing it: " << message;
        sent[to].push_back({std::move(message)});
    }
    void close(ConnectionId to, std::uint16_t code, std::string reason) override {
        EXPECT_FALSE(closed.contains(to)) << "closed " << to << " twice";
        EXPECT_GE(code, 1000);
        EXPECT_LE(code, 4999);
        EXPECT_LE(reason.size(), 123U);
        closed[to] = {code, std::move(reason)};
    }

    std::map<ConnectionId, std::vector<Sent>> sent;
    std::map<ConnectionId, Closed> closed;
};

// A lobby on the fake transport and a clock the test moves, with clients that speak through
// the protocol module as real ones do.
class LobbyTest : public ::testing::Test {
  protected:
    // The lobby is made on first use, with the limits and record writer set by then.
    Lobby& lobby() {
        if (!lobby_) {
            lobby_ =
                std::make_unique<Lobby>(transport, limits, records.get(), *randomSource, &refusals);
        }
        return *lobby_;
    }

    // `nearby`: from this machine or a private network. `person`: whose limits it counts
    // against; unless given, every connection is a person of its own.
    ConnectionId nextConnection(bool nearby = false, std::optional<std::string> person = {}) {
        const ConnectionId id = nextId_++;
        lobby().connected(id, now, nearby, person ? *person : "person " + std::to_string(id));
        return id;
    }
    // A connection that has said hello.
    ConnectionId connect(bool nearby = false, std::optional<std::string> person = {}) {
        const ConnectionId id = nextConnection(nearby, std::move(person));
        tell(id, say::Hello{});
        return id;
    }
    ConnectionId connectAs(const std::string& person) { return connect(false, person); }
    void forgetSent() {
        transport = {};
        taken_.clear();
        for (auto& [id, followed] : followers_) {
            followed.read = 0;
            followed.sent.erase(followed.sent.begin(),
                                followed.sent.begin() + static_cast<std::ptrdiff_t>(followed.told));
            followed.told = 0;
            for (auto& [before, input] : followed.sent) {
                before = 0;
            }
        }
    }
    void tell(ConnectionId id, const online::ClientMessage& message) {
        if (const auto input = playersInput(message)) {
            followers_[id].sent.push_back({transport.sent[id].size(), *input});
        }
        lobby().received(id, online::write(message), now);
    }
    void tellRaw(ConnectionId id, std::string_view text) { lobby().received(id, text, now); }

    // Every message sent to `id` since the last call, read back with the protocol module.
    std::vector<online::ServerMessage> take(ConnectionId id) {
        std::vector<online::ServerMessage> read;
        auto& sent = transport.sent[id];
        for (; taken_[id] < sent.size(); ++taken_[id]) {
            std::string problem;
            auto message = online::readServerMessage(sent[taken_[id]].text, problem);
            EXPECT_TRUE(message) << problem << ": " << sent[taken_[id]].text;
            if (message) {
                read.push_back(std::move(*message));
            }
        }
        return read;
    }
    // The match as connection `id` was sent it, up to now: its final copy, checked against
    // every digest.
    const MatchFollower& follow(ConnectionId id) {
        Followed& followed = followers_[id];
        const auto& sent = transport.sent[id];
        for (; followed.read < sent.size(); ++followed.read) {
            // What the player sent before this message was sent to them.
            for (; followed.told < followed.sent.size() &&
                   followed.sent[followed.told].first <= followed.read;
                 ++followed.told) {
                followed.match.sent(followed.sent[followed.told].second);
            }
            std::string problem;
            if (const auto message = online::readServerMessage(sent[followed.read].text, problem)) {
                followed.match.read(*message);
            }
        }
        return followed.match;
    }
    // The scene at the last final tick connection `id` was sent.
    online::Scene finalScene(ConnectionId id) { return follow(id).match().scene(); }

    // A player's inputs as their client sends them: stamped with the present tick of the match
    // they were sent, and counted from 1.
    std::uint32_t stamp(ConnectionId id) { return follow(id).presentTick(now); }
    // The last final tick once the match's present tick is `present`, while nothing pauses it:
    // the server makes ticks final in batches of kFinalEveryTicks, once the window has passed
    // the whole batch.
    static std::uint32_t finalTickAt(std::uint32_t present) {
        constexpr std::uint32_t kBehind = online::kWindowTicks + 1;
        return present < kBehind
                   ? 0
                   : (present - kBehind) / online::kFinalEveryTicks * online::kFinalEveryTicks;
    }
    std::uint32_t nextSeq(ConnectionId id) { return ++seqs_[id]; }
    std::uint32_t lastSeq(ConnectionId id) { return seqs_[id]; }
    void press(ConnectionId id, std::int16_t key) {
        tell(id, say::KeyDown{key, stamp(id), nextSeq(id)});
    }
    void release(ConnectionId id, std::int16_t key) {
        tell(id, say::KeyUp{key, stamp(id), nextSeq(id)});
    }
    void tap(ConnectionId id, std::int16_t key) {
        press(id, key);
        release(id, key);
    }
    void repeatAt(ConnectionId id, double delayMs, double intervalMs) {
        tell(id, say::KeyRepeat{delayMs, intervalMs, stamp(id), nextSeq(id)});
    }
    void loseFocus(ConnectionId id) { tell(id, say::FocusLost{stamp(id), nextSeq(id)}); }

    template <typename Message>
    static std::optional<Message> lastOf(const std::vector<online::ServerMessage>& messages) {
        for (auto m = messages.rbegin(); m != messages.rend(); ++m) {
            if (const auto* found = std::get_if<Message>(&*m)) {
                return *found;
            }
        }
        return std::nullopt;
    }
    template <typename Message>
    std::vector<Message> takeAll(ConnectionId id) {
        std::vector<Message> found;
        for (auto& message : take(id)) {
            if (auto* m = std::get_if<Message>(&message)) {
                found.push_back(std::move(*m));
            }
        }
        return found;
    }
    template <typename Message>
    std::optional<Message> takeLast(ConnectionId id) {
        auto all = takeAll<Message>(id);
        if (all.empty()) {
            return std::nullopt;
        }
        return all.back();
    }

    // Runs every wake-up the lobby asks for up to `until`, as the network layer's timer does.
    void runUntil(Duration until) {
        for (int wakes = 0; wakes < 10'000'000; ++wakes) {
            const Duration next = lobby().nextWakeUp();
            if (next > until) {
                now = until;
                return;
            }
            now = std::max(now, next);
            lobby().advance(now);
        }
        FAIL() << "the lobby never stopped asking to be woken";
    }
    void runFor(Duration span) { runUntil(now + span); }
    // Runs until connection `id` has been sent the present tick as final: all sent by now is.
    void runUntilFinal(ConnectionId id) {
        const std::uint32_t present = stamp(id);
        EXPECT_TRUE(runUntilDone(
            [&] { return follow(id).finals() > 0 && follow(id).finalTick() >= present; }, 10s));
    }

    // Runs until `done()` holds, at most `limit` of match time.
    template <typename Done>
    bool runUntilDone(Done done, Duration limit) {
        const Duration end = now + limit;
        while (!done() && now < end) {
            runUntil(std::min(end, now + 15625us));
        }
        return done();
    }

    struct Players {
        ConnectionId red, blue;
        std::string code;
        std::string redToken, blueToken;
        Duration start{};  // the match's tick 0
    };
    // A room with both players seated and its first match started.
    Players startMatch() {
        Players p;
        p.red = connect();
        tell(p.red, say::Create{});
        const auto red = takeLast<msg::Seated>(p.red);
        EXPECT_TRUE(red);
        p.code = red->code;
        p.redToken = red->token;
        p.blue = connect();
        tell(p.blue, say::Join{p.code});
        p.blueToken = takeLast<msg::Seated>(p.blue)->token;
        p.start = now;
        return p;
    }

    FakeTransport transport;
    SeededRandom seeded{20260501};
    SecretSource* randomSource = &seeded;
    LobbyLimits limits;
    std::vector<std::string> refusalLines;  // what the server would log
    Refusals refusals{[this](const std::string& line) { refusalLines.push_back(line); }};
    // Outlives the lobby, whose unfinished records it takes back.
    std::unique_ptr<RecordWriter> records;
    Duration now = 1s;

  private:
    struct Followed {
        MatchFollower match;
        std::size_t read = 0;  // of the messages sent to its connection
        // The player's inputs, each with how many messages the connection had been sent then.
        std::vector<std::pair<std::size_t, online::Input>> sent;
        std::size_t told = 0;  // of those, given to the follower
    };

    // A player's input as their own match plays it at once.
    static std::optional<online::Input> playersInput(const online::ClientMessage& message) {
        using Kind = online::Input::Kind;
        return std::visit(
            [](const auto& m) -> std::optional<online::Input> {
                using M = std::decay_t<decltype(m)>;
                online::Input input;
                if constexpr (requires { m.seq; }) {
                    input.tick = m.tick;
                    input.seq = m.seq;
                }
                if constexpr (std::is_same_v<M, say::KeyDown> || std::is_same_v<M, say::KeyUp>) {
                    input.kind = std::is_same_v<M, say::KeyDown> ? Kind::KeyDown : Kind::KeyUp;
                    input.key = m.code;
                } else if constexpr (std::is_same_v<M, say::KeyRepeat>) {
                    const online::RepeatTiming timing =
                        online::clampedRepeat(m.delayMs, m.intervalMs);
                    input.kind = Kind::KeyRepeat;
                    input.delayUs = timing.delayUs;
                    input.intervalUs = timing.intervalUs;
                } else if constexpr (std::is_same_v<M, say::FocusLost>) {
                    input.kind = Kind::FocusLost;
                } else {
                    return std::nullopt;
                }
                return input;
            },
            message);
    }

    std::unique_ptr<Lobby> lobby_;
    std::map<ConnectionId, Followed> followers_;
    std::map<ConnectionId, std::uint32_t> seqs_;
    ConnectionId nextId_ = 1;
    std::map<ConnectionId, std::size_t> taken_;
};

}  // namespace voltaro::server::test
