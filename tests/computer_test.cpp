// The computer player: it plays by the rules a person plays by, the same way for the same seed,
// and its levels keep their order.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "computer/ball_model.h"
#include "computer/computer_player.h"
#include "computer/random_presser.h"
#include "match_fixture.h"
#include "simulated_match.h"
#include "tournament.h"

namespace voltaro::computer {
namespace {

using namespace std::chrono_literals;

struct Press {
    std::chrono::nanoseconds at;
    std::int16_t code;
    friend bool operator==(const Press&, const Press&) = default;
};

// Plays a side through another player and writes down every key it presses.
class Recorder final : public KeyPresser {
  public:
    Recorder(std::unique_ptr<KeyPresser> player, std::vector<Press>& presses)
        : player_(std::move(player)), presses_(presses) {}
    Side side() const override { return player_->side(); }
    std::optional<std::int16_t> afterTick(const Sighting& seen, Duration now) override {
        const auto code = player_->afterTick(seen, now);
        if (code) {
            presses_.push_back({now, *code});
        }
        return code;
    }

  private:
    std::unique_ptr<KeyPresser> player_;
    std::vector<Press>& presses_;
};

struct Played {
    std::vector<Press> red, blue;
};

Played play(Level red, Level blue, std::uint64_t seed) {
    Played played;
    playMatch(std::make_unique<Recorder>(std::make_unique<ComputerPlayer>(Side::Red, red, seed),
                                         played.red),
              std::make_unique<Recorder>(
                  std::make_unique<ComputerPlayer>(Side::Blue, blue, seed + 1), played.blue),
              1min);
    return played;
}

void expectPlaysLikeAPerson(const std::vector<Press>& presses, Side side) {
    ASSERT_GT(presses.size(), 10u);
    for (std::size_t i = 0; i < presses.size(); ++i) {
        const std::int16_t code = presses[i].code;
        const bool own = side == Side::Red ? (code >= 37 && code <= 40)
                                           : (code == 87 || code == 65 || code == 83 || code == 68);
        EXPECT_TRUE(own) << sideName(side) << " pressed key " << code;
        if (i > 0) {
            EXPECT_GE(presses[i].at - presses[i - 1].at, ComputerPlayer::kShortestGap)
                << sideName(side) << "'s press " << i << " came too soon after the one before";
        }
    }
}

TEST(ComputerPlayer, PressesOnlyItsOwnKeysNoFasterThanAHeldKeyRepeatsTheSameForTheSameSeed) {
    for (const Level level : {Level::Easy, Level::Hard}) {
        const Played first = play(level, level, 7);
        expectPlaysLikeAPerson(first.red, Side::Red);
        expectPlaysLikeAPerson(first.blue, Side::Blue);
        const Played again = play(level, level, 7);
        EXPECT_EQ(first.red, again.red);
        EXPECT_EQ(first.blue, again.blue);
        EXPECT_NE(first.red, play(level, level, 8).red) << "another seed, the same match";
    }
}

// The computer's idea of the ball is the game's rules: with the last press known exactly, it
// foresees every tick of the real ball, rebounds from the players included.
TEST(BallModel, FollowsTheGameTickForTick) {
    test::Match match;
    RandomSource random(3);
    const Eyes eyes(match.host.controls());
    const auto exact = [&] {
        const Shape& ball = match.shape("shpBall");
        return BallState{ball.Left(), ball.Top(), match.state().strDirX == "right" ? 1 : -1,
                         match.state().strDirY == "down" ? 1 : -1};
    };
    const auto spot = [&](const char* name) {
        return Point{match.shape(name).Left(), match.shape(name).Top()};
    };
    PressMemory press;
    BallState foreseen = exact();
    int rebounds = 0;
    for (int tick = 0; tick < 4000 && !match.host.ended(); ++tick) {
        if (random.chance(0.3)) {
            press = {true, spot("shpBall"), spot("shpRed"), spot("shpBlue")};
            const std::int16_t keys[] = {37, 38, 39, 40, 65, 68, 83, 87, 32};
            match.key(keys[random.between(0, 8)]);
        }
        const BallState before = foreseen;
        ballTick(foreseen, press);
        match.ballTick();
        const BallState real = exact();
        ASSERT_EQ(foreseen.left, real.left) << "tick " << tick;
        ASSERT_EQ(foreseen.top, real.top) << "tick " << tick;
        ASSERT_EQ(foreseen.dx, real.dx) << "tick " << tick;
        ASSERT_EQ(foreseen.dy, real.dy) << "tick " << tick;
        rebounds += before.dx != real.dx || before.dy != real.dy;
    }
    EXPECT_GT(rebounds, 20);
}

// A short tournament: the better level wins more of its matches than the one below it.
TEST(ComputerLevels, KeepTheirOrder) {
    const Contender easy = computerContender(0), normal = computerContender(1),
                    hard = computerContender(2);
    const PairingResult hardEasy = playPairing(hard, easy, 16, 11, 2min);
    EXPECT_GT(hardEasy.aWins, 2 * hardEasy.bWins) << hardEasy.aWins << " to " << hardEasy.bWins;
    const PairingResult normalEasy = playPairing(normal, easy, 16, 12, 2min);
    EXPECT_GT(normalEasy.aWins, normalEasy.bWins) << normalEasy.aWins << " to " << normalEasy.bWins;
    const PairingResult easyPresser = playPairing(easy, randomPresserContender(), 16, 13, 2min);
    EXPECT_GE(easyPresser.aWins, 10) << "easy won " << easyPresser.aWins << " of 16";
}

}  // namespace
}  // namespace voltaro::computer
