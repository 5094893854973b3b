#!/usr/bin/env python3
"""Breaks the match rules one at a time and reports which headless test notices each.

Usage: tests/mutations.py [BUILD_DIR] [NAME_FILTER]   (BUILD_DIR defaults to build)

Each mutation replaces one exact piece of source text; the file is restored afterwards, whatever
happens. A mutation that no test catches is listed as SURVIVED and makes the exit status 1.
"""
import pathlib
import re
import subprocess
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
FORM = "src/game/form1.cpp"
NUMBER = "src/game/number.h"

RED_SNAP = "    redTop = Integer::rounded(shpRed.Top());\n"
BLUE_SNAP = "    blueTop = Integer::rounded(shpBlue.Top());\n"
RED_MOVE = "    movePlayer(shpRed, KeyCode, kRedKeys, redLeft, redRight, redTop, redBottom);\n"
BLUE_MOVE = "    movePlayer(shpBlue, KeyCode, kBlueKeys, blueLeft, blueRight, blueTop, blueBottom);\n"
TAKE_BLUE = "    takeBlueSnapshot();  // after red's move, before blue's\n"
LIMITS = "    keepInField(shpBlue);\n    keepInField(shpRed);\n"
LIMIT_LEFT = "    if (player.Left() <= host_.ScaleLeft()) {\n        player.setLeft(0);\n    }\n"
LIMIT_TOP = "    if (player.Top() <= host_.ScaleTop()) {\n        player.setTop(0);\n    }\n"
LIMIT_RIGHT_TEST = "add(shpRect.Left(), shpRect.Width()) <= add(player.Left(), player.Width())"
LIMIT_BOTTOM_TEST = "add(shpRect.Top(), shpRect.Height()) <= add(player.Top(), player.Height())"
LIMIT_RIGHT = ("    if (" + LIMIT_RIGHT_TEST + ") {\n        player.setLeft(subtract(add(shpRect.Left(), "
               "shpRect.Width()), player.Width()));\n    }\n")
LIMIT_BOTTOM = ("    if (" + LIMIT_BOTTOM_TEST + ") {\n        player.setTop(subtract(add(shpRect.Height(), "
                "shpRect.Top()), player.Height()));\n    }\n")
EDGE_LEFT = '    if (shpBall.Left() <= shpRect.Left()) {\n        strDirX = "right";\n    }\n'
EDGE_RIGHT = ('    if (add(shpBall.Left(), shpBall.Width()) >= add(shpRect.Left(), shpRect.Width()))'
              ' {\n        strDirX = "left";\n    }\n')
EDGE_TOP = '    if (shpBall.Top() <= shpRect.Top()) {\n        strDirY = "down";\n    }\n'
EDGE_BOTTOM = ('    if (add(shpBall.Top(), shpBall.Height()) >= add(shpRect.Top(), shpRect.Height()))'
               ' {\n        strDirY = "up";\n    }\n')
PLAYERS = ("    reboundFromPlayer(redLeft, redRight, redTop, redBottom);\n"
           "    reboundFromPlayer(blueLeft, blueRight, blueTop, blueBottom);\n")
ROW1 = '            strDirY = "down";\n            strDirX = "right";\n'
ROW2 = '            strDirY = "up";\n            strDirX = "right";\n'
ROW3 = '            strDirY = "down";\n            strDirX = "left";\n'
ROW4 = '            strDirY = "up";\n            strDirX = "left";\n'
LEFT_GOAL = '    if (ballInLeftGoal()) {\n        scoreGoal(lblBlue, "GAME OVER! Blue is the Winner");\n    }\n'
RIGHT_GOAL = '    if (ballInRightGoal()) {\n        scoreGoal(lblRed, "GAME OVER! Red is the Winner");\n    }\n'
RESTART = ("    shpBall.setLeft(kBallRestartLeft);\n    shpRed.setLeft(kRedRestartLeft);\n"
           "    shpRed.setTop(kPlayersRestartTop);\n    shpBlue.setLeft(kBlueRestartLeft);\n"
           "    shpBlue.setTop(kPlayersRestartTop);\n")
COUNT = "    counter.setCaption(numberToText(score));\n"


def guard(key, var):
    return f"if (keyCode == keys.{key}) {{\n        if (number({var}) >= 0) {{"


def swap(a, b):
    return (a + b, b + a)


MUTATIONS = [
    # Form_Load
    ("load: first X word 'left'", FORM, 'strDirX = "right";\n    strDirY', 'strDirX = "left";\n    strDirY'),
    ("load: first Y word 'up'", FORM, 'strDirY = "down";\n}', 'strDirY = "up";\n}'),
    # Form_KeyDown: snapshot
    ("snapshot: redLeft from Width + Left", FORM, "redLeft = shpRed.Left();", "redLeft = add(shpRed.Width(), shpRed.Left());"),
    ("snapshot: redRight without Width", FORM, "redRight = add(shpRed.Width(), shpRed.Left());", "redRight = shpRed.Left();"),
    ("snapshot: redBottom without Height", FORM, "redBottom = add(shpRed.Height(), shpRed.Top());", "redBottom = shpRed.Top();"),
    ("snapshot: redTop rounds halves away from 0", FORM, "redTop = Integer::rounded(shpRed.Top());", "redTop = Integer::rounded(std::round(shpRed.Top()));"),
    ("snapshot: redTop truncates", FORM, "redTop = Integer::rounded(shpRed.Top());", "redTop = Integer::rounded(std::trunc(shpRed.Top()));"),
    ("snapshot: blueTop rounds halves away from 0", FORM, "blueTop = Integer::rounded(shpBlue.Top());", "blueTop = Integer::rounded(std::round(shpBlue.Top()));"),
    ("snapshot: blueRight without Width", FORM, "blueRight = add(shpBlue.Width(), shpBlue.Left());", "blueRight = shpBlue.Left();"),
    ("snapshot: blueBottom without Height", FORM, "blueBottom = add(shpBlue.Height(), shpBlue.Top());", "blueBottom = shpBlue.Top();"),
    ("snapshot: blueLeft from Top", FORM, "blueLeft = shpBlue.Left();", "blueLeft = shpBlue.Top();"),
    ("snapshot: ballTop from Left", FORM, "ballTop = shpBall.Top();", "ballTop = shpBall.Left();"),
    ("snapshot: ballBottom without Height", FORM, "ballBottom = add(shpBall.Height(), shpBall.Top());", "ballBottom = shpBall.Top();"),
    ("snapshot: ballRight rounds a Single sum", FORM, "Integer::rounded(double(shpBall.Width()) + double(shpBall.Left()))", "Integer::rounded(add(shpBall.Width(), shpBall.Left()))"),
    ("snapshot: ballRight truncates", FORM, "Integer::rounded(double(shpBall.Width()) + double(shpBall.Left()))", "Integer::rounded(std::trunc(double(shpBall.Width()) + double(shpBall.Left())))"),
    # Form_KeyDown: order of the steps
    ("order: red snapshot after red's move", FORM, "    takeRedSnapshot();\n" + RED_MOVE, RED_MOVE + "    takeRedSnapshot();\n"),
    ("order: blue snapshot before red's move", FORM, RED_MOVE + TAKE_BLUE, TAKE_BLUE + RED_MOVE),
    ("order: blue snapshot after blue's move", FORM, TAKE_BLUE + "    takeBallSnapshot();\n" + BLUE_MOVE, "    takeBallSnapshot();\n" + BLUE_MOVE + TAKE_BLUE),
    ("order: ball snapshot after the limits", FORM, "    takeBallSnapshot();\n" + BLUE_MOVE + LIMITS, BLUE_MOVE + LIMITS + "    takeBallSnapshot();\n"),
    ("order: blue's limits before blue's move", FORM, BLUE_MOVE + "    keepInField(shpBlue);\n", "    keepInField(shpBlue);\n" + BLUE_MOVE),
    ("order: red's limits before blue's", FORM, *swap("    keepInField(shpBlue);\n", "    keepInField(shpRed);\n")),
    ("order: right limit before left limit", FORM, LIMIT_LEFT + LIMIT_TOP + LIMIT_RIGHT, LIMIT_TOP + LIMIT_RIGHT + LIMIT_LEFT),
    ("order: bottom limit before top limit", FORM, LIMIT_TOP + LIMIT_RIGHT + LIMIT_BOTTOM, LIMIT_RIGHT + LIMIT_BOTTOM + LIMIT_TOP),
    # Form_KeyDown: keys, guards, steps
    ("keys: red up and down swapped", FORM, "kRedKeys{38, 40, 37, 39}", "kRedKeys{40, 38, 37, 39}"),
    ("keys: red left and right swapped", FORM, "kRedKeys{38, 40, 37, 39}", "kRedKeys{38, 40, 39, 37}"),
    ("keys: blue up and down swapped", FORM, "kBlueKeys{87, 83, 65, 68}", "kBlueKeys{83, 87, 65, 68}"),
    ("keys: blue left and right swapped", FORM, "kBlueKeys{87, 83, 65, 68}", "kBlueKeys{87, 83, 68, 65}"),
    ("keys: blue's keys are red's too", FORM, "movePlayer(shpBlue, KeyCode, kBlueKeys", "movePlayer(shpBlue, KeyCode, kBlueKeys.up ? kRedKeys : kBlueKeys"),
    ("step: 20 instead of 200", FORM, "kPlayerStep = 200;", "kPlayerStep = 20;"),
    ("keys: KeyCode changed", FORM, "    keepInField(shpRed);\n}", "    keepInField(shpRed);\n    KeyCode = 0;\n}"),
] + [
    (f"guard: {key} removed", FORM, guard(key, var), guard(key, var).replace(">= 0", ">= 0 || true"))
    for key, var in [("up", "top"), ("down", "bottom"), ("left", "left"), ("right", "right")]
] + [
    (f"guard: {key} strict", FORM, guard(key, var), guard(key, var).replace(">= 0", "> 0"))
    for key, var in [("up", "top"), ("down", "bottom"), ("left", "left"), ("right", "right")]
] + [
    ("guard: up reads bottom", FORM, guard("up", "top"), guard("up", "bottom").replace(">= 0", ">= 0 || number(top) < -1e30")),
    ("guard: right reads left", FORM, guard("right", "right"), guard("right", "left").replace(">= 0", ">= 0 || number(right) < -1e30")),
    # Form_KeyDown: limits
    ("limit: left strict", FORM, "player.Left() <= host_.ScaleLeft()", "player.Left() < host_.ScaleLeft()"),
    ("limit: top strict", FORM, "player.Top() <= host_.ScaleTop()", "player.Top() < host_.ScaleTop()"),
    ("limit: left at the field's Left", FORM, "player.Left() <= host_.ScaleLeft()", "player.Left() <= shpRect.Left()"),
    ("limit: top at the field's Top", FORM, "player.Top() <= host_.ScaleTop()", "player.Top() <= shpRect.Top()"),
    ("limit: left pins to the field's Left", FORM, "        player.setLeft(0);", "        player.setLeft(shpRect.Left());"),
    ("limit: top pins to the field's Top", FORM, "        player.setTop(0);", "        player.setTop(shpRect.Top());"),
    ("limit: right strict", FORM, LIMIT_RIGHT_TEST, LIMIT_RIGHT_TEST.replace("<=", "<")),
    ("limit: bottom strict", FORM, LIMIT_BOTTOM_TEST, LIMIT_BOTTOM_TEST.replace("<=", "<")),
    ("limit: right sums compared unrounded", FORM, LIMIT_RIGHT_TEST, "double(shpRect.Left()) + shpRect.Width() <= double(player.Left()) + player.Width()"),
    ("limit: bottom sums compared unrounded", FORM, LIMIT_BOTTOM_TEST, "double(shpRect.Top()) + shpRect.Height() <= double(player.Top()) + player.Height()"),
    ("limit: right test without the field's Left", FORM, LIMIT_RIGHT_TEST, "shpRect.Width() <= add(player.Left(), player.Width())"),
    ("limit: bottom test without the field's Top", FORM, LIMIT_BOTTOM_TEST, "shpRect.Height() <= add(player.Top(), player.Height())"),
    ("limit: right pin without the field's Left", FORM, "player.setLeft(subtract(add(shpRect.Left(), shpRect.Width()), player.Width()));", "player.setLeft(subtract(shpRect.Width(), player.Width()));"),
    ("limit: bottom pin without the field's Top", FORM, "player.setTop(subtract(add(shpRect.Height(), shpRect.Top()), player.Height()));", "player.setTop(subtract(shpRect.Height(), player.Height()));"),
    ("limit: bottom pin without the player's Height", FORM, "player.setTop(subtract(add(shpRect.Height(), shpRect.Top()), player.Height()));", "player.setTop(subtract(add(shpRect.Height(), shpRect.Top()), player.Width()));"),
    ("limit: red's limits left out", FORM, LIMITS, "    keepInField(shpBlue);\n"),
    # tmrBall_Timer: moves and edges
    ("ball: step 10", FORM, "kBallStep = 20;", "kBallStep = 10;"),
    ("ball: 'left' moves right", FORM, "shpBall.setLeft(subtract(shpBall.Left(), kBallStep));", "shpBall.setLeft(add(shpBall.Left(), kBallStep));"),
    ("ball: 'up' moves down", FORM, "shpBall.setTop(subtract(shpBall.Top(), kBallStep));", "shpBall.setTop(add(shpBall.Top(), kBallStep));"),
    ("ball: any X word but 'left' moves right", FORM, '} else if (strDirX == "right") {', "} else {"),
    ("ball: any Y word but 'down' moves up", FORM, '} else if (strDirY == "up") {', "} else {"),
    ("ball: words compared without case", FORM, 'if (strDirX == "left") {', 'if (strDirX == "left" || strDirX == "Left") {'),
    ("edge: left strict", FORM, "shpBall.Left() <= shpRect.Left()", "shpBall.Left() < shpRect.Left()"),
    ("edge: top strict", FORM, "shpBall.Top() <= shpRect.Top()", "shpBall.Top() < shpRect.Top()"),
    ("edge: right strict", FORM, "add(shpBall.Left(), shpBall.Width()) >= add(", "add(shpBall.Left(), shpBall.Width()) > add("),
    ("edge: bottom strict", FORM, "add(shpBall.Top(), shpBall.Height()) >= add(", "add(shpBall.Top(), shpBall.Height()) > add("),
    ("edge: left at the form's ScaleLeft", FORM, "shpBall.Left() <= shpRect.Left()", "shpBall.Left() <= host_.ScaleLeft()"),
    ("edge: top at the form's ScaleTop", FORM, "shpBall.Top() <= shpRect.Top()", "shpBall.Top() <= host_.ScaleTop()"),
    ("edge: right without the field's Left", FORM, "add(shpBall.Left(), shpBall.Width()) >= add(shpRect.Left(), shpRect.Width())", "add(shpBall.Left(), shpBall.Width()) >= shpRect.Width()"),
    ("edge: bottom without the field's Top", FORM, "add(shpBall.Top(), shpBall.Height()) >= add(shpRect.Top(), shpRect.Height())", "add(shpBall.Top(), shpBall.Height()) >= shpRect.Height()"),
    ("edge: right sums compared unrounded", FORM, "add(shpBall.Left(), shpBall.Width()) >= add(shpRect.Left(), shpRect.Width())", "double(shpBall.Left()) + shpBall.Width() >= double(shpRect.Left()) + shpRect.Width()"),
    ("edge: bottom sums compared unrounded", FORM, "add(shpBall.Top(), shpBall.Height()) >= add(shpRect.Top(), shpRect.Height())", "double(shpBall.Top()) + shpBall.Height() >= double(shpRect.Top()) + shpRect.Height()"),
    ("edge: left edge removed", FORM, EDGE_LEFT, ""),
    ("edge: bottom edge removed", FORM, EDGE_BOTTOM, ""),
    ("order: right edge before left edge", FORM, *swap(EDGE_LEFT, EDGE_RIGHT)),
    ("order: bottom edge before top edge", FORM, *swap(EDGE_TOP, EDGE_BOTTOM)),
    ("order: player tests before the edges", FORM, EDGE_BOTTOM + "\n" + PLAYERS, PLAYERS + EDGE_BOTTOM),
    ("order: blue's test before red's", FORM, *swap("    reboundFromPlayer(redLeft, redRight, redTop, redBottom);\n", "    reboundFromPlayer(blueLeft, blueRight, blueTop, blueBottom);\n")),
    ("order: vertical move before the X edges", FORM, EDGE_LEFT + EDGE_RIGHT, ""),  # placeholder, replaced below
    # tmrBall_Timer: player tests
    ("row 1 removed", FORM, ROW1, ""),
    ("row 2 removed", FORM, ROW2, ""),
    ("row 3 removed", FORM, ROW3, ""),
    ("row 4 removed", FORM, ROW4, "            ;\n"),
    ("row 1 sets only Y", FORM, ROW1, '            strDirY = "down";\n'),
    ("row 2 sets only Y", FORM, ROW2, '            strDirY = "up";\n'),
    ("row 3 sets only Y", FORM, ROW3, '            strDirY = "down";\n'),
    ("row 4 sets only X", FORM, ROW4, '            strDirX = "left";\n'),
    ("row 2 says right-down", FORM, ROW2, ROW1),
    ("row 4 says left-down", FORM, ROW4, ROW3),
    ("rows: bottom edge before top edge", FORM, "        if (within(ballTop, top, bottom)) {\n" + ROW1 + "        } else if (within(ballBottom, top, bottom)) {\n" + ROW2,
     "        if (within(ballBottom, top, bottom)) {\n" + ROW2 + "        } else if (within(ballTop, top, bottom)) {\n" + ROW1),
    ("rows: right edge tried when left matched no row", FORM, "    } else if (within(ballRight, left, right)) {", "    }\n    if (within(ballRight, left, right)) {"),
    ("rows: live Left from the snapshot's right", FORM, "if (within(shpBall.Left(), left, right)) {", "if (within(ballRight, left, right) && within(shpBall.Left(), left, right)) {"),
    ("rows: live Top instead of ballTop", FORM, "        if (within(ballTop, top, bottom)) {\n" + ROW1, "        if (within(shpBall.Top(), top, bottom)) {\n" + ROW1),
    ("rows: live right edge instead of ballRight", FORM, "} else if (within(ballRight, left, right)) {", "} else if (within(add(shpBall.Left(), shpBall.Width()), left, right)) {"),
    ("span: low bound strict", NUMBER, "number(low) <= number(v)", "number(low) < number(v)"),
    ("span: high bound strict", NUMBER, "number(v) <= number(high)", "number(v) < number(high)"),
    ("span: high bound ignored", NUMBER, "return aboveLow && belowHigh;", "return aboveLow && (belowHigh || true);"),
    # tmrGoal_Timer
    ("goal: right goal tested first", FORM, *swap(LEFT_GOAL, RIGHT_GOAL)),
    ("left goal: reach strict", FORM, "shpBall.Left() <= add(shpGoal2.Left(), shpGoal2.Width())", "shpBall.Left() < add(shpGoal2.Left(), shpGoal2.Width())"),
    ("left goal: top strict", FORM, "shpBall.Top() >= shpGoal2.Top();", "shpBall.Top() > shpGoal2.Top();"),
    ("left goal: bottom strict", FORM, "shpBall.Top() <= add(shpGoal2.Top(), shpGoal2.Height());", "shpBall.Top() < add(shpGoal2.Top(), shpGoal2.Height());"),
    ("left goal: reach removed", FORM, "return reached && belowTop && aboveBottom;", "return (reached || true) && belowTop && aboveBottom;"),
    ("left goal: top removed", FORM, "return reached && belowTop && aboveBottom;", "return reached && (belowTop || true) && aboveBottom;"),
    ("left goal: bottom removed", FORM, "return reached && belowTop && aboveBottom;", "return reached && belowTop && (aboveBottom || true);"),
    ("left goal: ball's bottom edge counts", FORM, "const bool belowTop = shpBall.Top() >= shpGoal2.Top();", "const bool belowTop = add(shpBall.Top(), shpBall.Height()) >= shpGoal2.Top();"),
    ("left goal: goal's left edge tested", FORM, "return reached && belowTop && aboveBottom;", "return reached && belowTop && aboveBottom && shpBall.Left() >= shpGoal2.Left();"),
    ("left goal: reach sum unrounded", FORM, "shpBall.Left() <= add(shpGoal2.Left(), shpGoal2.Width())", "shpBall.Left() <= double(shpGoal2.Left()) + shpGoal2.Width()"),
    ("right goal: reach strict", FORM, "add(shpBall.Left(), shpBall.Width()) >= shpGoal1.Left();", "add(shpBall.Left(), shpBall.Width()) > shpGoal1.Left();"),
    ("right goal: bottom strict", FORM, "shpBall.Top() <= add(shpGoal1.Top(), shpGoal1.Height());", "shpBall.Top() < add(shpGoal1.Top(), shpGoal1.Height());"),
    ("right goal: top strict", FORM, "add(shpBall.Top(), shpBall.Height()) >= shpGoal1.Top();", "add(shpBall.Top(), shpBall.Height()) > shpGoal1.Top();"),
    ("right goal: reach removed", FORM, "return reached && notBelow && notAbove;", "return (reached || true) && notBelow && notAbove;"),
    ("right goal: bottom removed", FORM, "return reached && notBelow && notAbove;", "return reached && (notBelow || true) && notAbove;"),
    ("right goal: top removed", FORM, "return reached && notBelow && notAbove;", "return reached && notBelow && (notAbove || true);"),
    ("right goal: ball's top edge must be inside", FORM, "const bool notAbove = add(shpBall.Top(), shpBall.Height()) >= shpGoal1.Top();", "const bool notAbove = shpBall.Top() >= shpGoal1.Top();"),
    ("right goal: reach without the ball's Width", FORM, "add(shpBall.Left(), shpBall.Width()) >= shpGoal1.Left();", "shpBall.Left() >= shpGoal1.Left();"),
    ("right goal: reach sum unrounded", FORM, "add(shpBall.Left(), shpBall.Width()) >= shpGoal1.Left();", "double(shpBall.Left()) + shpBall.Width() >= shpGoal1.Left();"),
    ("goal: first box after the count", FORM, '    host_.MsgBox("Goal!");\n\n    const double', "    const double"),
    ("goal: word 'Goal'", FORM, 'host_.MsgBox("Goal!");', 'host_.MsgBox("Goal");'),
    ("goal: blue's winner text", FORM, '"GAME OVER! Blue is the Winner"', '"GAME OVER! Blue is the winner"'),
    ("goal: red's winner text", FORM, '"GAME OVER! Red is the Winner"', '"GAME OVER! Red is the Winner!"'),
    ("goal: blue's goal counts for red", FORM, 'scoreGoal(lblBlue, "GAME OVER! Blue', 'scoreGoal(lblRed, "GAME OVER! Blue'),
    ("goal: adds 2", FORM, "textToNumber(counter.Caption()) + 1.0;", "textToNumber(counter.Caption()) + 2.0;"),
    ("goal: counter overflow ignored", FORM, "    if (!std::isfinite(score)) {\n        throw RuntimeError::overflow();\n    }\n", ""),
    ("restart: ball Left 6020", FORM, "kBallRestartLeft = 6000;", "kBallRestartLeft = 6020;"),
    ("restart: red Left 1900", FORM, "kRedRestartLeft = 1920;", "kRedRestartLeft = 1900;"),
    ("restart: blue Left 9850", FORM, "kBlueRestartLeft = 9840;", "kBlueRestartLeft = 9850;"),
    ("restart: players Top 3240", FORM, "kPlayersRestartTop = 3360;", "kPlayersRestartTop = 3240;"),
    ("restart: blue's Top not written", FORM, "    shpBlue.setTop(kPlayersRestartTop);\n", ""),
    ("restart: ball's Top written", FORM, "    shpBall.setLeft(kBallRestartLeft);\n", "    shpBall.setLeft(kBallRestartLeft);\n    shpBall.setTop(3240);\n"),
    ("restart: directions reset", FORM, "    shpBall.setLeft(kBallRestartLeft);\n", '    shpBall.setLeft(kBallRestartLeft);\n    strDirX = "right";\n'),
    ("restart: after the last box", FORM, RESTART + "\n    host_.MsgBox(winner);\n", "    host_.MsgBox(winner);\n" + RESTART),
    ("restart: before the count", FORM, COUNT + "\n" + RESTART, RESTART + COUNT),
]

# The vertical move made before the horizontal edge tests (they read only Left and Width).
_x_edges = EDGE_LEFT + EDGE_RIGHT
_y_move = ('    if (strDirY == "down") {\n        shpBall.setTop(add(shpBall.Top(), kBallStep));\n'
           '    } else if (strDirY == "up") {\n        shpBall.setTop(subtract(shpBall.Top(), kBallStep));\n    }\n')
MUTATIONS = [m if not m[0].startswith("order: vertical move") else
             (m[0], FORM, _x_edges + "\n" + _y_move, _y_move + _x_edges + "\n") for m in MUTATIONS]


def run(build, only):
    results, survived = [], []
    for name, path, old, new in MUTATIONS:
        if only and not any(o in name for o in only.split("|")):
            continue
        source = ROOT / path
        original = source.read_text()
        if original.count(old) != 1:
            results.append((name, "NOT APPLIED (source text not found once)"))
            survived.append(name)
            print(f"{name:55} {results[-1][1]}", flush=True)
            continue
        try:
            source.write_text(original.replace(old, new))
            built = subprocess.run(["cmake", "--build", build, "--target", "voltaro_headless_tests",
                                    "-j2"], capture_output=True, text=True)
            if built.returncode != 0:
                results.append((name, "DOES NOT BUILD"))
                survived.append(name)
                print(f"{name:55} {results[-1][1]}", flush=True)
                continue
            try:
                tests = subprocess.run([f"{build}/tests/voltaro_headless_tests", "--gtest_brief=1"],
                                       capture_output=True, text=True, timeout=120,
                                       env={"VOLTARO_SOAK_EVENTS": "200000"})
                failed = sorted(set(re.findall(r"^\[  FAILED  \] (\S+?)(?:,| \(|$)",
                                               tests.stdout, re.M)))
                if tests.returncode != 0 and not failed:
                    failed = [f"crash (status {tests.returncode})"]
            except subprocess.TimeoutExpired:
                failed = ["timeout"]
        finally:
            source.write_text(original)
        results.append((name, ", ".join(failed) if failed else "SURVIVED"))
        if not failed:
            survived.append(name)
        print(f"{name:55} {results[-1][1]}", flush=True)
    subprocess.run(["cmake", "--build", build, "--target", "voltaro_headless_tests", "-j2"],
                   capture_output=True)
    print(f"\n{len(results) - len(survived)} of {len(results)} mutations caught")
    for name in survived:
        print(f"  not caught: {name}")
    return 1 if survived else 0


if __name__ == "__main__":
    build = sys.argv[1] if len(sys.argv) > 1 else "build"
    sys.exit(run(build, sys.argv[2] if len(sys.argv) > 2 else ""))
