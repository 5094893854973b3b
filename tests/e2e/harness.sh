# What the X11 and Wayland end-to-end tests share besides reading pixels: the game binary and
# the tools a test needs, starting the game and waiting for its first frame and its end, failing
# and passing a test with its work folder, waiting for the players to reach their places, and
# counting a held key's steps. Sourced by both lib.sh files, which set WORK and define
# `shot FILE`; the test's first argument is the game binary.
PASSED=
TITLE='Soccer Game: VOLTARO!'
GAME=${1:-}
TEST_NAME=$(basename "$0" .sh)
GAME_PID=
GAME_STATUS=

# A usage error, before anything starts, without the game or any of the tools: need_tools TOOL...
need_tools() {
    [ -n "$GAME" ] || { echo "usage: $0 PATH-TO-voltaro" >&2; exit 2; }
    [ -x "$GAME" ] || { echo "not an executable: $GAME" >&2; exit 2; }
    local tool
    for tool in "$@"; do
        command -v "$tool" >/dev/null || { echo "missing tool: $tool (run scripts/install-deps)" >&2; exit 2; }
    done
}

start_game() {
    "$GAME" >"$WORK/game.log" 2>&1 &
    GAME_PID=$!
}

game_running() { kill -0 "$GAME_PID" 2>/dev/null; }

# Waits (at most $1 seconds) for the game to end and leaves its exit status in GAME_STATUS.
wait_game_exit() {
    local deadline=$(($(now_ms) + ${1:-5} * 1000))
    while game_running; do
        [ "$(now_ms)" -lt "$deadline" ] || return 1
        sleep 0.02
    done
    GAME_STATUS=0
    wait "$GAME_PID" || GAME_STATUS=$?
    GAME_PID=
}

# Waits (at most $1 seconds) until the window shows its first frame: it maps before it paints.
wait_painted() {
    local deadline=$(($(now_ms) + ${1:-5} * 1000))
    until shot "$WORK/first-frame.png" 2>/dev/null &&
        [ "$(pixel "$WORK/first-frame.png" 60 60)" = 00C000 ]; do
        [ "$(now_ms)" -lt "$deadline" ] || fail "the window was not painted green within ${1:-5} s"
        sleep 0.02
    done
}

# Removes the work folder of a test that passed; keeps it, and says where, for a failed test or
# for every test with E2E_KEEP=1.
finish_work() {
    if [ -n "$PASSED" ] && [ -z "${E2E_KEEP:-}" ]; then
        rm -rf "$WORK"
    else
        echo "$TEST_NAME: screenshots and logs kept in $WORK" >&2
    fi
}

fail() {
    echo "FAIL ($TEST_NAME): $*" >&2
    if [ -s "$WORK/game.log" ]; then
        sed 's/^/  game output: /' "$WORK/game.log" >&2
    fi
    exit 1
}

pass() {
    PASSED=1
    echo "PASS ($TEST_NAME)"
}

# Waits up to 3 s until red's and blue's fill boxes are at RX RY and BX BY:
# expect_players RX RY BX BY WHAT.
expect_players() {
    local deadline=$(($(now_ms) + 3000)) red blue
    while :; do
        shot "$WORK/keys.png"
        red=$(red_box "$WORK/keys.png") blue=$(blue_box "$WORK/keys.png")
        [ "$red $blue" = "$1 $2 55 55 $3 $4 55 55" ] && return
        [ "$(now_ms)" -lt "$deadline" ] ||
            fail "$5: red at '$red', blue at '$blue'; expected $1 $2 and $3 $4"
        sleep 0.05
    done
}

# With DELAY ms and RATE a second, a key held HELD ms makes its press and, from DELAY on, a
# repeat each 1/RATE s: 2 + floor((HELD - DELAY) * RATE / 1000) steps. A few ms go to the tool
# that holds the key and to the game's wake-ups, so some slack is allowed. The caller has
# measured HELD and the STEPS red made: expect_steps DELAY RATE WHAT.
expect_steps() {
    local delay=$1 rate=$2 what=$3 expected=1
    [ "$HELD" -lt "$delay" ] || expected=$((2 + (HELD - delay) * rate / 1000))
    near "$STEPS" "$expected" $((1 + expected / 8)) ||
        fail "$what: Right held $HELD ms moved red $STEPS steps, expected about $expected"
    echo "$what: held $HELD ms, $STEPS steps (expected $expected)"
}
