# Shared helpers for the end-to-end tests: a private X server, the game running in it, and the
# eyes (screenshots, pixels) and hands (keys, close button) that play it.
# Source it from a test script whose first argument is the game binary. Screenshots and logs
# are kept in a temporary folder when the test fails, or always with E2E_KEEP=1.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/pixels.sh"
source "$(dirname "${BASH_SOURCE[0]}")/harness.sh"

need_tools Xvfb xdotool xwininfo xprop xset import convert compare
/usr/bin/python3 -c 'import Xlib' 2>/dev/null ||
    { echo "missing python3-xlib (run scripts/install-deps)" >&2; exit 2; }

WORK=$(mktemp -d "${TMPDIR:-/tmp}/voltaro-e2e-$TEST_NAME.XXXXXX")
XVFB_PID=
WIN=

cleanup() {
    if [ -n "$GAME_PID" ] && kill -0 "$GAME_PID" 2>/dev/null; then
        kill "$GAME_PID" 2>/dev/null || true
        wait "$GAME_PID" 2>/dev/null || true
    fi
    if [ -n "$XVFB_PID" ]; then
        kill "$XVFB_PID" 2>/dev/null || true
        wait "$XVFB_PID" 2>/dev/null || true
    fi
    finish_work
}
trap cleanup EXIT

# A private X server on a display it picks itself; -noreset keeps it (and xset settings) alive
# between the short-lived clients that the tests run.
start_x() {
    mkfifo "$WORK/displayfd"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -noreset -nolisten tcp \
        3>"$WORK/displayfd" >"$WORK/xvfb.log" 2>&1 &
    XVFB_PID=$!
    local number
    if ! read -r -t 10 number <"$WORK/displayfd"; then
        cat "$WORK/xvfb.log" >&2
        fail "Xvfb did not start within 10 s"
    fi
    export DISPLAY=":$number"
    unset XAUTHORITY WAYLAND_DISPLAY
    export QT_QPA_PLATFORM=xcb
    export XDG_RUNTIME_DIR="$WORK/run"
    mkdir -m 700 "$XDG_RUNTIME_DIR"
}

# Finds the game's window by its exact title (the game also makes unmapped helper windows).
wait_window() {
    local deadline=$(($(now_ms) + ${1:-10} * 1000)) ids
    while :; do
        ids=$(xdotool search --onlyvisible --name "^${TITLE}\$" 2>/dev/null || true)
        if [ -n "$ids" ]; then
            [ "$(wc -w <<<"$ids")" -eq 1 ] || fail "more than one window titled '$TITLE': $ids"
            WIN=$ids
            return
        fi
        game_running || fail "the game exited before its window appeared"
        [ "$(now_ms)" -lt "$deadline" ] || fail "no visible window titled '$TITLE' after ${1:-10} s"
        sleep 0.02
    done
}

launch() {
    start_x
    start_game
    wait_window
    wait_painted
}

focus_game() { xdotool windowfocus --sync "$WIN"; }

# Screenshot of a window's client area: shot FILE [WINDOW].
shot() { import -window "${2:-$WIN}" "$1"; }

# What the window manager's close button sends: a WM_DELETE_WINDOW client message.
wm_close() {
    /usr/bin/python3 - "${1:-$WIN}" <<'EOF'
import sys
from Xlib import X, display, protocol
d = display.Display()
w = d.create_resource_object('window', int(sys.argv[1]))
protocols = d.intern_atom('WM_PROTOCOLS')
delete = d.intern_atom('WM_DELETE_WINDOW')
if delete not in (w.get_wm_protocols() or []):
    sys.exit('the window does not take part in WM_DELETE_WINDOW')
w.send_event(protocol.event.ClientMessage(window=w, client_type=protocols,
                                          data=(32, [delete, X.CurrentTime, 0, 0, 0])))
d.flush()
EOF
}

# A message box is a top-level window of its own, transient for the game's window, and takes
# the focus: waits (at most $1 seconds) until such a window other than $2 has the focus, and
# prints it.
wait_box() {
    local deadline=$(($(now_ms) + ${1:-5} * 1000)) not=${2:-} f owner
    owner=$(printf 'window id # 0x%x' "$WIN")
    while :; do
        f=$(xdotool getwindowfocus 2>/dev/null || true)
        if [ -n "$f" ] && [ "$f" != "$WIN" ] && [ "$f" != "$not" ] &&
            xprop -id "$f" WM_TRANSIENT_FOR 2>/dev/null | grep -q "$owner\$" &&
            xwininfo -id "$f" 2>/dev/null | grep -q 'Map State: IsViewable'; then
            echo "$f"
            return
        fi
        [ "$(now_ms)" -lt "$deadline" ] || return 1
        sleep 0.02
    done
}

# Plays until the first goal and prints the "Goal!" box. Every key press makes the ball
# rebound from the players as they stood at that press; keys other than the arrows and
# W/A/S/D move nobody. Not the space bar: a press that comes just as the box opens would go to
# the box and press its OK button. X does nothing there.
play_until_box() {
    local start presses=0
    focus_game
    start=$(now_ms)
    while [ "$(xdotool getwindowfocus 2>/dev/null || true)" = "$WIN" ]; do
        game_running || fail "the game ended during play, before any message box"
        [ $(($(now_ms) - start)) -lt 60000 ] || fail "no goal after 60 s of play ($presses presses of X)"
        xdotool key x
        presses=$((presses + 1))
        sleep 0.02
    done
    wait_box 5 || fail "the focus left the game's window but no message box appeared"
    echo "goal after $(($(now_ms) - start)) ms, $presses presses of X" >&2
}

# "X Y W H" of a window, its position on the screen.
window_geometry() {
    xwininfo -id "$1" | awk '/Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {y=$4}
        /^ *Width:/ {w=$2} /^ *Height:/ {h=$2} END {print x, y, w, h}'
}
