#include "computer/ball_model.h"

#include <cmath>

#include "computer/field.h"

namespace voltaro::computer {

namespace {

using namespace field;

// A player's box at the remembered press: its top edge is kept as a whole number, like the
// ball's right edge.
struct Spans {
    float left, right, top, bottom;
};

Spans spansOf(const PressMemory& press, const Point& player) {
    if (!press.pressed) {
        return {0, 0, 0, 0};
    }
    return {player.left, player.left + kPlayerSize, std::nearbyint(player.top),
            player.top + kPlayerSize};
}

bool within(float v, float low, float high) {
    return low <= v && v <= high;
}

// The rebound from one player: the ball's live left edge, or else its right edge at the press,
// inside the player's width; its top, or else its bottom, at the press inside the player's
// height. The edge that overlaps decides the way back.
void reboundFrom(BallState& ball, const Spans& p, const PressMemory& press) {
    const float top = press.pressed ? press.ball.top : 0;
    const float bottom = press.pressed ? press.ball.top + kBallHeight : 0;
    const float right = press.pressed ? std::nearbyint(press.ball.left + kBallWidth) : 0;
    int dx = 0;
    if (within(ball.left, p.left, p.right)) {
        dx = 1;
    } else if (within(right, p.left, p.right)) {
        dx = -1;
    } else {
        return;
    }
    if (within(top, p.top, p.bottom)) {
        ball.dx = dx;
        ball.dy = 1;
    } else if (within(bottom, p.top, p.bottom)) {
        ball.dx = dx;
        ball.dy = -1;
    }
}

void turnAtWalls(BallState& ball) {
    if (ball.left <= 0) {
        ball.dx = 1;
    }
    if (ball.left + kBallWidth >= kWidth) {
        ball.dx = -1;
    }
    if (ball.top <= 0) {
        ball.dy = 1;
    }
    if (ball.top + kBallHeight >= kHeight) {
        ball.dy = -1;
    }
}

// One axis of a free flight between walls at 0 and `max`: the position runs round a circle of
// twice the width, out and back.
void foldAxis(float& pos, int& dir, float max, int ticks) {
    const float round = 2 * max;
    float phase = dir > 0 ? pos : round - pos;
    phase = std::fmod(phase + kBallStep * static_cast<float>(ticks), round);
    if (phase < 0) {
        phase += round;
    }
    pos = phase <= max ? phase : round - phase;
    dir = phase < max ? 1 : -1;
}

}  // namespace

bool insideWalls(const BallState& ball) {
    return within(ball.left, 0, kBallMaxLeft) && within(ball.top, 0, kBallMaxTop);
}

void stepBetweenWalls(BallState& ball) {
    ball.left += kBallStep * static_cast<float>(ball.dx);
    ball.top += kBallStep * static_cast<float>(ball.dy);
    turnAtWalls(ball);
}

PressMemory rememberPress(const Sighting& seen) {
    return {true, seen.ball, seen.red, seen.blue};
}

void ballTick(BallState& ball, const PressMemory& press) {
    ball.left += kBallStep * static_cast<float>(ball.dx);
    ball.top += kBallStep * static_cast<float>(ball.dy);
    settle(ball, press);
}

void settle(BallState& ball, const PressMemory& press) {
    turnAtWalls(ball);
    reboundFrom(ball, spansOf(press, press.red), press);
    reboundFrom(ball, spansOf(press, press.blue), press);
}

BallState freeFlight(BallState ball, int ticks) {
    // A ball outside the walls (sent there while nobody pressed) comes back a step at a time.
    while (ticks > 0 && !insideWalls(ball)) {
        stepBetweenWalls(ball);
        --ticks;
    }
    turnAtWalls(ball);
    foldAxis(ball.left, ball.dx, kBallMaxLeft, ticks);
    foldAxis(ball.top, ball.dy, kBallMaxTop, ticks);
    return ball;
}

bool inGoalOf(Side scorer, float left, float top) {
    if (scorer == Side::Blue) {
        return left <= kLeftGoalLeft && within(top, kLeftGoalTopMin, kLeftGoalTopMax);
    }
    return left >= kRightGoalLeft && within(top, kRightGoalTopMin, kRightGoalTopMax);
}

GoalReach goalReached(const BallState& ball, int horizon) {
    // The ball is at a goal's front for 13 ticks at a time, and reaches each front once in a
    // round of 1200 ticks: only those stretches are looked at, a few ticks apart.
    BallState from = ball;
    int offset = 0;
    while (offset < horizon && !insideWalls(from)) {
        stepBetweenWalls(from);
        ++offset;
    }
    const float round = 2 * kBallMaxLeft;
    const float phase = from.dx > 0 ? from.left : round - from.left;
    const auto ticksTo = [&](float entry, float depth) {
        const float into = std::fmod(phase - entry + round, round);
        return into <= depth ? 0 : static_cast<int>(std::ceil((round - into) / kBallStep));
    };
    const int toRight = ticksTo(kRightGoalLeft, round - 2 * kRightGoalLeft);
    const int toLeft = ticksTo(round - kLeftGoalLeft, 2 * kLeftGoalLeft);
    const Side first = toLeft < toRight ? Side::Blue : Side::Red;
    for (const Side scorer : {first, opponentOf(first)}) {
        const int entry = scorer == Side::Blue ? toLeft : toRight;
        for (int t = entry; t <= entry + 12 && offset + t <= horizon; t += 4) {
            const BallState at = freeFlight(from, t);
            if (inGoalOf(scorer, at.left, at.top)) {
                return {true, scorer, offset + t, at.top};
            }
        }
    }
    return {};
}

}  // namespace voltaro::computer
