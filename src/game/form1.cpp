#include "game/form1.h"

#include <cmath>

#include "game/counter_text.h"
#include "game/number.h"
#include "game/single.h"
#include "scene/runtime_error.h"

namespace voltaro {

namespace {

constexpr Single kPlayerStep = 200;
constexpr Single kBallStep = 20;

// Where the pieces go back after a goal: their kick-off places. The ball keeps its Top.
constexpr Single kBallRestartLeft = 6000;
constexpr Single kRedRestartLeft = 1920;
constexpr Single kBlueRestartLeft = 9840;
constexpr Single kPlayersRestartTop = 3360;

}  // namespace

Form1::Form1(FormHost& host)
    : host_(host),
      shpRect(host.shape("shpRect")),
      shpBall(host.shape("shpBall")),
      shpRed(host.shape("shpRed")),
      shpBlue(host.shape("shpBlue")),
      shpGoal1(host.shape("shpGoal1")),
      shpGoal2(host.shape("shpGoal2")),
      lblRed(host.label("lblRed")),
      lblBlue(host.label("lblBlue")) {}

void Form1::Form_Load() {
    strDirX = "right";
    strDirY = "down";
}

// ---------------------------------------------------------------------------------------------
// Players. Every key press, whatever the key, refreshes the box snapshot that the ball rebounds
// from, moves at most one player one step, and pushes both players back inside the field.

void Form1::Form_KeyDown(std::int16_t& KeyCode, std::int16_t /*Shift*/) {
    static constexpr PlayerKeys kRedKeys{38, 40, 37, 39};   // the arrows
    static constexpr PlayerKeys kBlueKeys{87, 83, 65, 68};  // W, S, A, D

    takeRedSnapshot();
    movePlayer(shpRed, KeyCode, kRedKeys, redLeft, redRight, redTop, redBottom);
    takeBlueSnapshot();  // after red's move, before blue's
    takeBallSnapshot();
    movePlayer(shpBlue, KeyCode, kBlueKeys, blueLeft, blueRight, blueTop, blueBottom);
    keepInField(shpBlue);
    keepInField(shpRed);
}

void Form1::takeRedSnapshot() {
    redLeft = shpRed.Left();
    redRight = add(shpRed.Width(), shpRed.Left());
    redBottom = add(shpRed.Height(), shpRed.Top());
    redTop = Integer::rounded(shpRed.Top());
}

void Form1::takeBlueSnapshot() {
    blueLeft = shpBlue.Left();
    blueRight = add(shpBlue.Width(), shpBlue.Left());
    blueBottom = add(shpBlue.Height(), shpBlue.Top());
    blueTop = Integer::rounded(shpBlue.Top());
}

void Form1::takeBallSnapshot() {
    ballTop = shpBall.Top();
    ballBottom = add(shpBall.Height(), shpBall.Top());
    // Assigned straight to an Integer, the sum is rounded from its exact value, not first to a
    // 32-bit float as the Variant edges are: a Single sum could itself round a half (or a sum
    // beyond 2^24) to the other side before the Integer's halves-to-even rounding sees it.
    ballRight = Integer::rounded(double(shpBall.Width()) + double(shpBall.Left()));
}

// The guards look at the snapshot just taken, not at the field: the limits do that afterwards.
void Form1::movePlayer(Shape& player, std::int16_t keyCode, const PlayerKeys& keys, Variant left,
                       Variant right, Integer top, Variant bottom) {
    if (keyCode == keys.up) {
        if (number(top) >= 0) {
            player.setTop(subtract(player.Top(), kPlayerStep));
        }
    } else if (keyCode == keys.down) {
        if (number(bottom) >= 0) {
            player.setTop(add(player.Top(), kPlayerStep));
        }
    } else if (keyCode == keys.left) {
        if (number(left) >= 0) {
            player.setLeft(subtract(player.Left(), kPlayerStep));
        }
    } else if (keyCode == keys.right) {
        if (number(right) >= 0) {
            player.setLeft(add(player.Left(), kPlayerStep));
        }
    }
}

// Pins a player that stands on or over an edge exactly to that edge.
void Form1::keepInField(Shape& player) {
    if (player.Left() <= host_.ScaleLeft()) {
        player.setLeft(0);
    }
    if (player.Top() <= host_.ScaleTop()) {
        player.setTop(0);
    }
    if (add(shpRect.Left(), shpRect.Width()) <= add(player.Left(), player.Width())) {
        player.setLeft(subtract(add(shpRect.Left(), shpRect.Width()), player.Width()));
    }
    if (add(shpRect.Top(), shpRect.Height()) <= add(player.Top(), player.Height())) {
        player.setTop(subtract(add(shpRect.Height(), shpRect.Top()), player.Height()));
    }
}

// ---------------------------------------------------------------------------------------------
// The ball. It moves one step on each axis per tick and turns at the field's edges, then at the
// players as the last key press saw them. Only its left edge is read live in the player tests.

void Form1::tmrBall_Timer() {
    if (strDirX == "left") {
        shpBall.setLeft(subtract(shpBall.Left(), kBallStep));
    } else if (strDirX == "right") {
        shpBall.setLeft(add(shpBall.Left(), kBallStep));
    }
    if (shpBall.Left() <= shpRect.Left()) {
        strDirX = "right";
    }
    if (add(shpBall.Left(), shpBall.Width()) >= add(shpRect.Left(), shpRect.Width())) {
        strDirX = "left";
    }

    if (strDirY == "down") {
        shpBall.setTop(add(shpBall.Top(), kBallStep));
    } else if (strDirY == "up") {
        shpBall.setTop(subtract(shpBall.Top(), kBallStep));
    }
    if (shpBall.Top() <= shpRect.Top()) {
        strDirY = "down";
    }
    if (add(shpBall.Top(), shpBall.Height()) >= add(shpRect.Top(), shpRect.Height())) {
        strDirY = "up";
    }

    reboundFromPlayer(redLeft, redRight, redTop, redBottom);
    reboundFromPlayer(blueLeft, blueRight, blueTop, blueBottom);
}

// Which pair of rows applies is decided by the live left edge alone; within a pair the ball's
// top edge wins over its bottom edge. A match always sets both words.
void Form1::reboundFromPlayer(Variant left, Variant right, Integer top, Variant bottom) {
    if (within(shpBall.Left(), left, right)) {
        if (within(ballTop, top, bottom)) {
            strDirY = "down";
            strDirX = "right";
        } else if (within(ballBottom, top, bottom)) {
            strDirY = "up";
            strDirX = "right";
        }
    } else if (within(ballRight, left, right)) {
        if (within(ballTop, top, bottom)) {
            strDirY = "down";
            strDirX = "left";
        } else if (within(ballBottom, top, bottom)) {
            strDirY = "up";
            strDirX = "left";
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Goals. The first goal decides the match.

void Form1::tmrGoal_Timer() {
    if (ballInLeftGoal()) {
        scoreGoal(lblBlue, "GAME OVER! Blue is the Winner");
    } else if (ballInRightGoal()) {
        scoreGoal(lblRed, "GAME OVER! Red is the Winner");
    }
}

// The ball's top-left corner inside the left goal: its top edge must lie in the goal's span.
bool Form1::ballInLeftGoal() const {
    const bool reached = shpBall.Left() <= add(shpGoal2.Left(), shpGoal2.Width());
    const bool belowTop = shpBall.Top() >= shpGoal2.Top();
    const bool aboveBottom = shpBall.Top() <= add(shpGoal2.Top(), shpGoal2.Height());
    return reached && belowTop && aboveBottom;
}

// Any vertical overlap of the ball's box with the right goal counts, a touch included.
bool Form1::ballInRightGoal() const {
    const bool reached = add(shpBall.Left(), shpBall.Width()) >= shpGoal1.Left();
    const bool notBelow = shpBall.Top() <= add(shpGoal1.Top(), shpGoal1.Height());
    const bool notAbove = add(shpBall.Top(), shpBall.Height()) >= shpGoal1.Top();
    return reached && notBelow && notAbove;
}

void Form1::scoreGoal(Label& counter, const std::string& winner) {
    host_.MsgBox("Goal!");

    const double score = textToNumber(counter.Caption()) + 1.0;
    if (!std::isfinite(score)) {
        throw RuntimeError::overflow();
    }
    counter.setCaption(numberToText(score));

    shpBall.setLeft(kBallRestartLeft);
    shpRed.setLeft(kRedRestartLeft);
    shpRed.setTop(kPlayersRestartTop);
    shpBlue.setLeft(kBlueRestartLeft);
    shpBlue.setTop(kPlayersRestartTop);

    host_.MsgBox(winner);
    host_.End();
}

}  // namespace voltaro
