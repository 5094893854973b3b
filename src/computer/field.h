#pragma once

namespace voltaro::computer {

// The field as a player sees it on the screen, in twips: the sizes of the three pieces, the
// steps they move by and the walls that turn the ball. They are fixed for the whole match.
namespace field {

inline constexpr float kWidth = 12735;
inline constexpr float kHeight = 7815;
inline constexpr float kBallWidth = 735;
inline constexpr float kBallHeight = 615;
inline constexpr float kPlayerSize = 855;
inline constexpr float kPlayerStep = 200;
inline constexpr float kBallStep = 20;

// Where the ball's Left and Top turn at the walls, and where a player's box stops.
inline constexpr float kBallMaxLeft = kWidth - kBallWidth;     // 12000
inline constexpr float kBallMaxTop = kHeight - kBallHeight;    // 7200
inline constexpr float kPlayerMaxLeft = kWidth - kPlayerSize;  // 11880
inline constexpr float kPlayerMaxTop = kHeight - kPlayerSize;  // 6960

// The goals as the game counts them, in the ball's Left and Top. Red scores on the right when
// the ball's box reaches the goal's front and overlaps its height at all; blue scores on the
// left only when the ball's top-left corner is inside the goal, a narrower target.
inline constexpr float kRightGoalLeft = 12600 - kBallWidth;  // the ball's Left from here on
inline constexpr float kRightGoalTopMin = 2760 - kBallHeight;
inline constexpr float kRightGoalTopMax = 4815;
inline constexpr float kLeftGoalLeft = 135;  // the ball's Left up to here
inline constexpr float kLeftGoalTopMin = 2760;
inline constexpr float kLeftGoalTopMax = 4815;

}  // namespace field

}  // namespace voltaro::computer
