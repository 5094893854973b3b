# Shared helpers for the Wayland tests: a private headless sway, the game running natively on
# it, keys typed through the compositor with wtype, screenshots with grim, and the window tree
# from swaymsg. sway refuses to run as root, so under root it runs as the user `nobody`; the
# game and the tools still run as the caller and reach it through its socket.
# Source it from a test script whose first argument is the game binary. Screenshots and logs
# are kept in a temporary folder when the test fails, or always with E2E_KEEP=1.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../e2e/pixels.sh"
source "$(dirname "${BASH_SOURCE[0]}")/../e2e/harness.sh"

need_tools sway swaymsg wtype grim jq convert compare
[ -n "$(find /usr/lib -path '*qt6/plugins/platforms/libqwayland-generic.so' -print -quit 2>/dev/null)" ] ||
    { echo "missing Qt's Wayland plugin: qt6-wayland (run scripts/install-deps)" >&2; exit 2; }

WORK=$(mktemp -d "${TMPDIR:-/tmp}/voltaro-wayland-$TEST_NAME.XXXXXX")
chmod 755 "$WORK" # sway, as another user, reads its configuration here
SWAY_PID=
KEYBOARD_PID=

cleanup() {
    local pid
    for pid in "$GAME_PID" "$KEYBOARD_PID"; do
        if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
            kill "$pid" 2>/dev/null || true
            wait "$pid" 2>/dev/null || true
        fi
    done
    if [ -n "$SWAY_PID" ]; then
        kill "$SWAY_PID" 2>/dev/null || true
        wait "$SWAY_PID" 2>/dev/null || true
    fi
    finish_work
}
trap cleanup EXIT

# A headless sway with one 1280x1024 output; the game's window floats at its own size, with no
# border, and no XWayland: the game must come up natively.
start_sway() {
    local run=$WORK/sway-run as=()
    mkdir -m 700 "$run"
    cat >"$WORK/sway.conf" <<CONF
output HEADLESS-1 resolution 1280x1024 position 0 0
xwayland disable
default_border none
default_floating_border none
for_window [title="^${TITLE}\$"] floating enable
exec env > $run/env
CONF
    if [ "$(id -u)" -eq 0 ]; then
        chown nobody "$run"
        as=(runuser -u nobody --)
    fi
    "${as[@]}" env -i PATH=/usr/bin:/bin XDG_RUNTIME_DIR="$run" WLR_BACKENDS=headless \
        WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman sway -c "$WORK/sway.conf" \
        >"$WORK/sway.log" 2>&1 &
    SWAY_PID=$!
    local deadline=$(($(now_ms) + 15000))
    until [ -s "$run/env" ] && grep -q '^SWAYSOCK=' "$run/env"; do
        kill -0 "$SWAY_PID" 2>/dev/null || { cat "$WORK/sway.log" >&2; fail "sway did not start"; }
        [ "$(now_ms)" -lt "$deadline" ] || fail "sway did not start within 15 s"
        sleep 0.05
    done
    export WAYLAND_DISPLAY="$run/$(sed -n 's/^WAYLAND_DISPLAY=//p' "$run/env")"
    export SWAYSOCK=$(sed -n 's/^SWAYSOCK=//p' "$run/env")
    export XDG_RUNTIME_DIR="$WORK/run"
    mkdir -m 700 "$XDG_RUNTIME_DIR"
    unset DISPLAY QT_QPA_PLATFORM # Qt picks Wayland by itself
    # One virtual keyboard for the whole test: otherwise the seat's keyboard comes and goes with
    # each wtype, and a first key press arrives inside the keyboard's enter event.
    wtype -s 2000000 &
    KEYBOARD_PID=$!
}

# The game's windows as sway sees them, one line each: "X Y W H FOCUSED APP_ID TITLE", the
# client area's place on the screen.
windows() {
    swaymsg -t get_tree | jq -r --argjson pid "$GAME_PID" '
        recurse(.nodes[]?, .floating_nodes[]?) | select(.pid == $pid and .type != "workspace")
        | "\(.rect.x + .window_rect.x) \(.rect.y + .window_rect.y) \(.window_rect.width) \(.window_rect.height) \(.focused) \(.app_id) \(.name)"'
}

# Waits (at most $1 seconds) for the game's window; leaves its line in WIN.
wait_window() {
    local deadline=$(($(now_ms) + ${1:-10} * 1000))
    while :; do
        WIN=$(windows | grep " ${TITLE}\$" || true)
        [ -z "$WIN" ] || return 0
        game_running || fail "the game exited before its window appeared"
        [ "$(now_ms)" -lt "$deadline" ] || fail "no window titled '$TITLE' after ${1:-10} s"
        sleep 0.02
    done
}

# Screenshot of the game's client area: shot FILE.
shot() {
    local x y w h
    read -r x y w h _ <<<"$WIN"
    grim -g "$x,$y ${w}x$h" "$1"
}

launch() {
    start_game
    wait_window
    wait_painted
}

# Closes the game's window as its close button does.
close_window() { swaymsg "[pid=$GAME_PID title=\"^${TITLE}\$\"] kill" >/dev/null; }

# The focused message box of the game, other than $2, within $1 seconds: prints its line.
wait_box() {
    local deadline=$(($(now_ms) + ${1:-5} * 1000)) not=${2:-} box
    while :; do
        box=$(windows | grep -v " ${TITLE}\$" | awk '$5 == "true"' || true)
        if [ -n "$box" ] && [ "$box" != "$not" ]; then
            echo "$box"
            return
        fi
        [ "$(now_ms)" -lt "$deadline" ] || return 1
        sleep 0.02
    done
}

# Plays until the first goal and prints the "Goal!" box. One press of X at once makes the ball
# rebound from the players where they stand and usually brings a goal within about 10 s; if it
# does not, X is pressed again and again, each press making the ball rebound anew.
play_until_box() {
    local start presses=1 box
    start=$(now_ms)
    wtype x
    while :; do
        game_running || fail "the game ended during play, before any message box"
        if box=$(wait_box 0); then
            echo "goal after $(($(now_ms) - start)) ms, $presses presses of X" >&2
            echo "$box"
            return
        fi
        [ $(($(now_ms) - start)) -lt 60000 ] || fail "no goal after 60 s of play ($presses presses of X)"
        if [ $(($(now_ms) - start)) -gt 14000 ]; then
            wtype x
            presses=$((presses + 1))
        fi
        sleep 0.05
    done
}
