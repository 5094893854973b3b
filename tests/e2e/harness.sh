# What the X11 and Wayland end-to-end tests share besides reading pixels: failing and passing a
# test with its work folder, waiting for the players to reach their places, and counting a held
# key's steps. Sourced by both lib.sh files, which set TEST_NAME and WORK and define `shot FILE`.
PASSED=

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
