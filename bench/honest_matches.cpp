#include "honest_matches.h"

#include <algorithm>
#include <cstdio>

namespace voltaro::bench {

namespace asio = boost::asio;
namespace msg = online::server;
using namespace std::chrono_literals;
using server::testing::Clock;
using server::testing::runUntil;
using server::testing::WsClient;

namespace {

constexpr std::chrono::nanoseconds kTick = std::chrono::microseconds(15625);
constexpr std::int64_t kTickUs = 15625;
constexpr std::int16_t kRedKeys[] = {37, 38, 39, 40};
constexpr std::int16_t kBlueKeys[] = {65, 87, 68, 83};

double millisecondsOf(Clock::time_point at) {
    return std::chrono::duration<double, std::milli>(at.time_since_epoch()).count();
}

}  // namespace

HonestMatches::HonestMatches(int matches, const asio::ip::tcp::endpoint& server, bool spread)
    : matches_(matches),
      server_(server),
      spread_(spread),
      players_(2 * static_cast<std::size_t>(matches)),
      timer_(io_) {}

std::optional<asio::ip::address> HonestMatches::addressOf(std::size_t index) const {
    if (!spread_) {
        return std::nullopt;
    }
    const std::size_t match = index / 2;
    return asio::ip::make_address_v4(
        asio::ip::address_v4::bytes_type{127, 1, static_cast<unsigned char>(match / 250),
                                         static_cast<unsigned char>(match % 250 + 1)});
}

void HonestMatches::connect(std::size_t index, const std::string& target) {
    HonestPlayer& player = players_[index];
    player.seat = index % 2 == 0 ? online::Seat::Red : online::Seat::Blue;
    player.socket = std::make_shared<WsClient>(io_);
    player.socket->onMessage = [this, index](std::string_view text, Clock::time_point at) {
        onMessage(index, text, at);
    };
    if (const auto from = addressOf(index)) {
        player.socket->bindTo(*from);
    }
    player.socket->connect(server_, {.target = target, .origin = std::nullopt});
    player.socket->send(online::write(online::client::Hello{}));
    if (player.seat == online::Seat::Red) {
        player.socket->send(online::write(online::client::Create{}));
    }
}

void HonestMatches::onMessage(std::size_t index, std::string_view text, Clock::time_point at) {
    HonestPlayer& player = players_[index];
    std::string problem;
    const auto message = online::readServerMessage(text, problem);
    if (!message) {
        std::fprintf(stderr, "honest player: unreadable message: %s\n", problem.c_str());
        return;
    }
    if (const auto* final = std::get_if<msg::Final>(&*message)) {
        if (!player.offsets.empty()) {
            // Only the batches' final ticks measure delivery: a goal's final tick is made final
            // at the next step after it, up to 7 ticks later than its tick says, by design.
            if (final->tick % online::kFinalEveryTicks == 0) {
                player.offsets.back().push_back(
                    (at.time_since_epoch() - kTick * final->tick).count());
            }
            if (player.lastFinal != 0 &&
                final->tick > player.lastFinal + online::kFinalEveryTicks) {
                player.gaps += final->tick - player.lastFinal - online::kFinalEveryTicks;
            }
            player.lastFinal = final->tick;
            ++player.finals;
        }
    } else if (std::holds_alternative<msg::Input>(*message)) {
        ++player.inputs;
    } else if (const auto* pong = std::get_if<msg::Pong>(&*message)) {
        if (!player.pings.empty()) {
            player.clock.pong(millisecondsOf(player.pings.front()), pong->timeUs,
                              millisecondsOf(at));
            player.pings.pop_front();
        }
    } else if (const auto* seated = std::get_if<msg::Seated>(&*message)) {
        player.code = seated->code;
        if (seated->seat == online::Seat::Red) {
            connect(index + 1, "/ws?room=" + seated->code);
            players_[index + 1].pending = online::client::Join{seated->code};
            players_[index + 1].nextAction = Clock::now();
        }
    } else if (const auto* started = std::get_if<msg::MatchStarted>(&*message)) {
        player.playing = true;
        player.offsets.emplace_back();
        player.lastFinal = 0;
        player.startUs = started->startUs;
        player.seq = 0;
        for (int i = 0; i < 3; ++i) {
            ping(player, at);
        }
        player.nextAction = at + std::chrono::milliseconds(200 + random_() % 400);
    } else if (const auto* box = std::get_if<msg::BoxOpened>(&*message)) {
        player.playing = false;
        player.pending = online::client::BoxOk{box->box};
        player.nextAction = at + 300ms;
    } else if (std::holds_alternative<msg::GameOver>(*message)) {
        player.pending = online::client::PlayAgain{};
        player.nextAction = at + 500ms;
    }
}

void HonestMatches::ping(HonestPlayer& player, Clock::time_point now) {
    player.pings.push_back(now);
    player.socket->send(online::write(online::client::Ping{}));
    // As the real clients do: once a second until the clock has its samples, then every two.
    player.nextPing = now + (player.clock.settled() ? 2s : 1s);
}

// A key goes down or up at the tick the player's clock says the server is at.
void HonestMatches::stamped(HonestPlayer& player, bool down) {
    const std::int64_t since =
        player.clock.known() ? player.clock.serverUs(millisecondsOf(Clock::now())) - player.startUs
                             : 0;  // no pong yet: the oldest open tick takes it
    const auto tick = static_cast<std::uint32_t>(std::max<std::int64_t>(since, 0) / kTickUs);
    const std::uint32_t seq = ++player.seq;
    player.socket->send(down ? online::write(online::client::KeyDown{player.held, tick, seq})
                             : online::write(online::client::KeyUp{player.held, tick, seq}));
}

// Every 10 ms: what each player's hand does now. A key goes down every 0.3 to 0.7 s and is held
// for 80 to 250 ms: a player tapping and steering, two to three presses a second.
void HonestMatches::act() {
    const auto now = Clock::now();
    for (HonestPlayer& player : players_) {
        if (!player.socket || !player.socket->connected()) {
            continue;
        }
        if (now >= player.nextPing) {
            ping(player, now);
        }
        if (now < player.nextAction) {
            continue;
        }
        if (player.pending) {
            player.socket->send(online::write(*player.pending));
            player.pending.reset();
            player.nextAction = Clock::time_point::max();
        } else if (player.playing && player.held != 0) {
            stamped(player, false);
            player.held = 0;
            player.nextAction = now + std::chrono::milliseconds(100 + random_() % 400);
        } else if (player.playing) {
            const auto& keys = player.seat == online::Seat::Red ? kRedKeys : kBlueKeys;
            player.held = keys[random_() % 4];
            stamped(player, true);
            player.nextAction = now + std::chrono::milliseconds(80 + random_() % 170);
        }
    }
    if (acting_) {
        timer_.expires_after(10ms);
        timer_.async_wait([this](boost::system::error_code error) {
            if (!error) {
                act();
            }
        });
    }
}

int HonestMatches::playing() const {
    int count = 0;
    for (const HonestPlayer& player : players_) {
        count += player.socket && player.playing && player.socket->connected() &&
                 !player.socket->ended();
    }
    return count;
}

int HonestMatches::started() const {
    int count = 0;
    for (const HonestPlayer& player : players_) {
        count += player.socket && !player.offsets.empty() && player.socket->connected() &&
                 !player.socket->ended();
    }
    return count;
}

int HonestMatches::connected() const {
    int count = 0;
    for (const HonestPlayer& player : players_) {
        count += player.socket && player.socket->connected() && !player.socket->ended();
    }
    return count;
}

std::vector<std::string> HonestMatches::codes() const {
    std::vector<std::string> codes;
    for (std::size_t i = 0; i < players_.size(); i += 2) {
        if (!players_[i].code.empty()) {
            codes.push_back(players_[i].code);
        }
    }
    return codes;
}

// Counting the players is a pass over them all: asked after every message, at thousands of
// matches it would leave the load behind its own messages, and the first figures late.
std::function<bool()> HonestMatches::startedAtLeast(int players) const {
    return [this, players, checkedAt = Clock::time_point{}, seen = false]() mutable {
        const auto now = Clock::now();
        if (!seen && now - checkedAt >= 10ms) {
            checkedAt = now;
            seen = started() >= players;
        }
        return seen;
    };
}

bool HonestMatches::open(std::chrono::seconds limit) {
    act();
    // In waves, so that the server's listen backlog is never the thing measured.
    for (int match = 0; match < matches_; ++match) {
        connect(2 * static_cast<std::size_t>(match), "/ws");
        if (match % 50 == 49) {
            runUntil(io_, startedAtLeast(2 * (match + 1) - 20), 2s);
        }
    }
    return runUntil(io_, startedAtLeast(2 * matches_), limit);
}

void HonestMatches::play(std::chrono::seconds length, const std::function<void()>& every) {
    const auto end = Clock::now() + length;
    while (Clock::now() < end) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
        runUntil(
            io_, [] { return false; }, std::min<std::chrono::milliseconds>(left, 1s));
        if (every) {
            every();
        }
    }
    acting_ = false;
}

void HonestMatches::startFigures() {
    for (HonestPlayer& player : players_) {
        if (!player.offsets.empty()) {
            player.offsets.assign(1, {});  // the match in play goes on in it
        }
        player.finals = player.inputs = player.gaps = 0;
        player.bytesBefore = player.socket ? player.socket->bytesReceived : 0;
        player.bytesSentBefore = player.socket ? player.socket->bytesSent : 0;
    }
}

HonestFigures HonestMatches::measure() const {
    HonestFigures figures;
    for (const HonestPlayer& player : players_) {
        for (const auto& match : player.offsets) {
            if (match.empty()) {
                continue;
            }
            const std::int64_t origin = *std::min_element(match.begin(), match.end());
            for (const std::int64_t offset : match) {
                figures.delivery.add(std::chrono::nanoseconds(offset - origin));
            }
        }
        figures.finals += player.finals;
        figures.inputs += player.inputs;
        figures.ticksMissed += player.gaps;
        figures.bytes += player.socket ? player.socket->bytesReceived - player.bytesBefore : 0;
        figures.bytesSent += player.socket ? player.socket->bytesSent - player.bytesSentBefore : 0;
    }
    return figures;
}

}  // namespace voltaro::bench
