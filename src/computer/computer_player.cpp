#include "computer/computer_player.h"

#include <algorithm>
#include <cmath>

#include "computer/field.h"

namespace voltaro::computer {

namespace {

using namespace field;

// A box so far off that no ball meets it: a player who is not there.
constexpr Point kNowhere{-100000, -100000};

// How far the player looks ahead: the ticks in which it can reach the ball, and the ticks in
// which a goal counts as coming of what it does now (the ball crosses the field in 600).
constexpr int kInterceptHorizon = 160;
constexpr int kGoalHorizon = 450;
// A press that makes the ball's prospects this much worse is not made.
constexpr float kWorse = 40;

// How near a box a player must stand to count as in it: the ball meets a player over most of
// the player's width and height, and the ball moves on while the player steps.
constexpr float kNearX = 240;
constexpr float kNearY = 200;

// Beyond this distance on either axis, no step of a player meets the ball before its next press.
constexpr float kReach = 2000;

// Beyond this, a kick that does not reach the goal still brings the ball nearer it.
constexpr float kFarFromGoal = 6000;

Point moved(Point box, Move move) {
    switch (move) {
        case Move::Up:
            box.top -= kPlayerStep;
            break;
        case Move::Down:
            box.top += kPlayerStep;
            break;
        case Move::Left:
            box.left -= kPlayerStep;
            break;
        case Move::Right:
            box.left += kPlayerStep;
            break;
    }
    box.left = std::clamp(box.left, 0.0f, kPlayerMaxLeft);
    box.top = std::clamp(box.top, 0.0f, kPlayerMaxTop);
    return box;
}

float middleOfGoal(Side scorer) {
    return scorer == Side::Red ? (kRightGoalTopMin + kRightGoalTopMax) / 2
                               : (kLeftGoalTopMin + kLeftGoalTopMax) / 2;
}

int stepsBeyond(float distance, float near) {
    return static_cast<int>(std::ceil(std::max(0.0f, distance - near) / kPlayerStep));
}

}  // namespace

ComputerPlayer::ComputerPlayer(Side side, Level level, std::uint64_t seed)
    : side_(side),
      level_(level),
      traits_(traitsOf(level)),
      forward_(forwardOf(side)),
      // Two computer players given one seed still play differently.
      random_(seed ^ (side == Side::Red ? 0x243f6a8885a308d3ULL : 0x13198a2e03707344ULL)) {}

std::optional<std::int16_t> ComputerPlayer::afterTick(const Sighting& seen, Duration now) {
    ++tick_;
    history_[tick_ % kMemory] = seen;
    const std::int64_t seenTick = tick_ - traits_.reactionTicks;
    if (seenTick < 1) {
        return std::nullopt;  // it has not taken the scene in yet
    }
    noticeOpponentStep(seenTick);
    if (!mayPress(now)) {
        return std::nullopt;
    }
    const BallState ball = ballNow(seenTick);
    std::optional<Move> move = choose(seen, ball, seenAt(seenTick).player(opponentOf(side_)));
    if (!move || random_.chance(traits_.hesitateChance)) {
        return std::nullopt;
    }
    if (random_.chance(traits_.slipChance)) {
        move = kMoves[static_cast<std::size_t>(random_.between(0, 3))];
    }
    lastPress_ = now;
    lastPressTick_ = tick_;
    press_ = rememberPress(seen);
    pressAt_ = 2 * tick_ + 1;
    return keyCode(side_, *move);
}

bool ComputerPlayer::mayPress(Duration now) const {
    if (lastPress_ && now - *lastPress_ < kShortestGap) {
        return false;
    }
    return tick_ - lastPressTick_ >= traits_.pressGapTicks;
}

// The other player stepped between two sightings: it pressed a key there, and the ball now
// rebounds from where everyone stood just before that step.
void ComputerPlayer::noticeOpponentStep(std::int64_t seenTick) {
    const Side opponent = opponentOf(side_);
    const Sighting& before = seenAt(seenTick - 1);
    if (before.player(opponent) == seenAt(seenTick).player(opponent)) {
        return;
    }
    if (2 * (seenTick - 1) + 1 > pressAt_) {
        press_ = rememberPress(before);
        pressAt_ = 2 * (seenTick - 1) + 1;
    }
}

// The ball as last seen, with the way it went from the sighting before, carried on to now by
// the rules as far as this player knows them.
BallState ComputerPlayer::ballNow(std::int64_t seenTick) const {
    const Point& at = seenAt(seenTick).ball;
    const Point& before = seenAt(seenTick - 1).ball;
    BallState ball{at.left, at.top, at.left >= before.left ? 1 : -1, at.top >= before.top ? 1 : -1};
    settle(ball, press_);
    for (int i = 0; i < traits_.reactionTicks; ++i) {
        ballTick(ball, press_);
    }
    return ball;
}

std::optional<Move> ComputerPlayer::choose(const Sighting& seen, const BallState& ball,
                                           const Point& opponent) {
    const Point& me = seen.player(side_);
    const int gap = traits_.pressGapTicks;
    const float pressing = valueOf(pressWith(ball, me, opponent), ball, gap);
    if (pressing < valueOf(press_, ball, gap) - kWorse) {
        return std::nullopt;  // where it stands now, a press would send the ball the wrong way
    }
    const Target goal = target(me, ball);
    if (goal.kick && pressesTo(me, goal.box) == 0) {
        // In place: the press is the kick, made once the ball is there to meet it.
        const float untouched = valueOf(pressWith(ball, kNowhere, opponent), ball, gap);
        if (pressing < untouched + kWorse) {
            return std::nullopt;
        }
    }
    // The step towards the target whose box, at the next press, does the ball the most good.
    BallState next = ball;
    const bool withinReach =
        std::abs(ball.left - me.left) < kReach && std::abs(ball.top - me.top) < kReach;
    const PressMemory thisPress = pressWith(ball, me, opponent);
    for (int i = 0; i < gap; ++i) {
        ballTick(next, thisPress);
    }
    const float untouched =
        withinReach ? valueOf(pressWith(next, kNowhere, opponent), next, gap) : 0;
    std::optional<Move> best;
    float bestCost = 0;
    for (const Move move : kMoves) {
        const Point box = moved(me, move);
        const float gain =
            withinReach ? valueOf(pressWith(next, box, opponent), next, gap) - untouched : 0;
        const float cost = static_cast<float>(pressesTo(box, goal.box)) - gain / kWorse;
        if (!best || cost < bestCost) {
            best = move;
            bestCost = cost;
        }
    }
    return best;
}

// Where to be: where it can first meet the ball and kick it towards the goal, or, while the
// ball is on its way into the goal already, back in front of its own.
ComputerPlayer::Target ComputerPlayer::target(const Point& me, const BallState& ball) {
    const GoalReach reach = goalReached(ball, kGoalHorizon);
    if (reach.scored && reach.scorer == side_) {
        return {guardBox(ball), false};
    }
    if (!insideWalls(ball)) {
        return {clearOf(me, ball), false};
    }
    if (ball.dx != aimedDx_) {
        // A new approach: a new aim, off the middle of the goal by the level's error.
        aimedDx_ = ball.dx;
        aim_ = static_cast<float>((random_.uniform() * 2 - 1) * traits_.aimError);
    }
    const int cooldown =
        std::max<int>(0, traits_.pressGapTicks - static_cast<int>(tick_ - lastPressTick_));
    BallState there = ball;
    for (int k = 0; k <= kInterceptHorizon; ++k, stepBetweenWalls(there)) {
        if (!insideWalls(there)) {
            continue;  // a ball beyond a wall comes back by itself, if nobody holds it there
        }
        const int soonest =
            std::min(pressesTo(me, kickBox(there, 1)), pressesTo(me, kickBox(there, -1)));
        if (cooldown + soonest * traits_.pressGapTicks > k) {
            continue;  // out of reach by then, whichever way it kicks
        }
        const std::optional<int> dy = kickWorthMaking(there);
        if (!dy) {
            continue;
        }
        const Point box = kickBox(there, *dy);
        if (!kicks(box, there, *dy)) {
            continue;
        }
        if (cooldown + pressesTo(me, box) * traits_.pressGapTicks <= k) {
            return {box, true};
        }
    }
    return {guardBox(ball), false};
}

float ComputerPlayer::aimedTop() const {
    return middleOfGoal(side_) + aim_;
}

// Up or down, whichever sends the ball kicked from here into the goal nearer the aimed height;
// far from the goal, whichever brings it nearer that height, to be kicked again later. Near
// the goal a kick that misses it is no kick worth making.
std::optional<int> ComputerPlayer::kickWorthMaking(const BallState& from) const {
    const float front = side_ == Side::Red ? kRightGoalLeft : kLeftGoalLeft;
    const float distance = (front - from.left) * static_cast<float>(forward_);
    if (distance < 0) {
        return std::nullopt;
    }
    const int ticks = static_cast<int>(std::ceil(distance / kBallStep));
    std::optional<int> best;
    float bestMiss = 0;
    for (const int dy : {1, -1}) {
        const float top = freeFlight({from.left, from.top, forward_, dy}, ticks).top;
        const float miss = std::abs(top - aimedTop());
        if (!best || miss < bestMiss) {
            best = dy;
            bestMiss = miss;
        }
    }
    const float halfGoal = side_ == Side::Red ? (kRightGoalTopMax - kRightGoalTopMin) / 2
                                              : (kLeftGoalTopMax - kLeftGoalTopMin) / 2;
    if (bestMiss > halfGoal + std::abs(aim_) && distance < kFarFromGoal) {
        return std::nullopt;
    }
    return best;
}

// The box to kick from: overlapping the ball's back edge, not its front one (a player over
// both holds the ball against its front instead), and its top corner to send it down or only
// its bottom one to send it up.
Point ComputerPlayer::kickBox(const BallState& ball, int dy) const {
    Point box;
    box.left = forward_ > 0 ? ball.left - 488 : ball.left + 378;
    box.top = dy > 0 ? ball.top - 428 : ball.top + 308;
    box.left = std::clamp(box.left, 0.0f, kPlayerMaxLeft);
    box.top = std::clamp(box.top, 0.0f, kPlayerMaxTop);
    return box;
}

bool ComputerPlayer::kicks(const Point& box, const BallState& ball, int dy) const {
    BallState after = ball;
    ballTick(after, pressWith(ball, box, kNowhere));
    return after.dx == forward_ && after.dy == dy;
}

int ComputerPlayer::pressesTo(const Point& from, const Point& to) const {
    return stepsBeyond(std::abs(to.left - from.left), kNearX) +
           stepsBeyond(std::abs(to.top - from.top), kNearY);
}

// What a press leaves the ball to do: the ticks until the next press, then its free flight. A
// goal soon is worth most; otherwise the ball's way and how far up the field it is.
float ComputerPlayer::valueOf(const PressMemory& press, BallState ball, int ticks) const {
    for (int i = 0; i < ticks; ++i) {
        ballTick(ball, press);
    }
    const GoalReach reach = goalReached(ball, kGoalHorizon);
    if (reach.scored) {
        const float soon = 1000 - static_cast<float>(reach.ticks);
        return reach.scorer == side_ ? soon : -soon;
    }
    const float heading = ball.dx == forward_ ? 100 : -100;
    return heading + static_cast<float>(forward_) * (ball.left - kBallMaxLeft / 2) / 100;
}

PressMemory ComputerPlayer::pressWith(const BallState& ball, const Point& me,
                                      const Point& opponent) const {
    PressMemory press{true, {ball.left, ball.top}, me, opponent};
    if (side_ == Side::Blue) {
        std::swap(press.red, press.blue);
    }
    return press;
}

// Out of the way of a ball beyond a wall: a player whose box meets it at a press holds it out
// there, and away from everyone it comes back by itself.
Point ComputerPlayer::clearOf(const Point& me, const BallState& ball) const {
    constexpr float kMargin = 400;
    Point box = me;
    if (ball.top > kBallMaxTop) {
        box.top = std::min(box.top, ball.top - kPlayerSize - kMargin);
    } else if (ball.top < 0) {
        box.top = std::max(box.top, ball.top + kBallHeight + kMargin);
    }
    if (ball.left > kBallMaxLeft) {
        box.left = std::min(box.left, ball.left - kPlayerSize - kMargin);
    } else if (ball.left < 0) {
        box.left = std::max(box.left, ball.left + kBallWidth + kMargin);
    }
    box.left = std::clamp(box.left, 0.0f, kPlayerMaxLeft);
    box.top = std::clamp(box.top, 0.0f, kPlayerMaxTop);
    return box;
}

// In front of its own goal, level with the ball.
Point ComputerPlayer::guardBox(const BallState& ball) const {
    constexpr float kOffLine = 240;
    const float centre = ball.top + kBallHeight / 2 - kPlayerSize / 2;
    return {forward_ > 0 ? kOffLine : kPlayerMaxLeft - kOffLine,
            std::clamp(centre, 2000.0f, 4400.0f)};
}

}  // namespace voltaro::computer
