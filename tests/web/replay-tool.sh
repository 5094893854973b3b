#!/usr/bin/env bash
# The replay tool compiled to WebAssembly and run by node gives, byte for byte, what the native
# tool gives: on the golden scripts, on random scripts, and in its exit statuses.
# Usage: replay-tool.sh NODE_TOOL_JS GOLDEN_DIR [NATIVE_TOOL]
set -uo pipefail
web=(node "$1")
golden=$2
native=${3:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

for script in "$golden"/*.replay; do
    name=$(basename "$script" .replay)
    "${web[@]}" <"$script" >"$work/out" || fail "$name: status $?"
    cmp -s "$work/out" "$golden/$name.jsonl" || fail "$name: differs from its recording"
    sed 's/$/\r/' "$script" | "${web[@]}" >"$work/crlf"
    cmp -s "$work/crlf" "$golden/$name.jsonl" || fail "$name with CR LF differs"
done

# Statuses. (Node reopens a closed standard output on /dev/null, and emscripten reads a failing
# standard input as its end, so those two failures cannot be seen from inside the module.)
echo ball | "${web[@]}" >/dev/full 2>"$work/err"
[ $? -eq 1 ] || fail "output to /dev/full: not status 1"
grep -qx 'voltaro-replay: cannot write the output' "$work/err" || fail "no message for /dev/full"
echo kick | "${web[@]}" >/dev/null 2>&1
[ $? -eq 2 ] || fail "bad input: not status 2"

# Random scripts: keys, ticks, property writes (goals, far-off and overflowing places, odd
# captions), run by both builds.
random_script() {
    awk -v seed="$1" -v lines="$2" 'BEGIN {
        srand(seed)
        split("37 38 39 40 65 68 83 87 32 13 16 -1 32767 -32768 0", keys, " ")
        split("shpBall shpRed shpBlue shpRect shpGoal1 shpGoal2", shapes, " ")
        split("Left Top Width Height", props, " ")
        split("0|7|-3|2.5x|1e308|9e307| 12 goals|Red||.|1e-400|-0", captions, "|")
        for (i = 0; i < lines; ++i) {
            r = rand()
            if (r < 0.45) print "ball"
            else if (r < 0.75) print "goal"
            else if (r < 0.98) print "key " keys[int(rand() * 15) + 1]
            else if (r < 0.997) {
                v = rand() < 0.95 ? int(rand() * 14000) - 1000 : (rand() < 0.5 ? "3.4e38" : "-2.5e-3")
                print "set " shapes[int(rand() * 6) + 1] "." props[int(rand() * 4) + 1] " " v
            } else print "set " (rand() < 0.5 ? "lblRed" : "lblBlue") ".Caption " captions[int(rand() * 12) + 1]
        }
    }'
}
if [ -n "$native" ] && [ ! -x "$native" ]; then
    echo "no native tool at $native: random scripts not compared"
elif [ -n "$native" ]; then
    for seed in $(seq 1 30); do
        random_script "$seed" 2000 >"$work/random"
        "$native" <"$work/random" >"$work/native" 2>"$work/native-err"
        native_status=$?
        "${web[@]}" <"$work/random" >"$work/web" 2>"$work/web-err"
        web_status=$?
        cmp -s "$work/native" "$work/web" || fail "random script $seed: outputs differ"
        cmp -s "$work/native-err" "$work/web-err" || fail "random script $seed: messages differ"
        [ "$native_status" -eq "$web_status" ] || fail "random script $seed: status differs"
    done
fi

[ "$failures" -eq 0 ] && echo "replay tool under node: same as native" && exit 0
exit 1
