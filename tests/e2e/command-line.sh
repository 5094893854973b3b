#!/usr/bin/env bash
# The command line, in a terminal with no display at all: --help and --version answer, an
# unknown option or argument, or a wrong port or server for online play, is refused with status
# 2, a replay that is no match's record is said, and starting the game says in one line that
# there is no display and exits 1.
set -euo pipefail
GAME=${1:?usage: $0 PATH-TO-voltaro}
fail() { echo "FAIL (command-line): $*" >&2; exit 1; }

# run ARGS...: leaves the status in STATUS, stdout in OUT and stderr in ERR.
run() {
    local out err
    out=$(mktemp) err=$(mktemp)
    STATUS=0
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM timeout 10 "$GAME" "$@" >"$out" 2>"$err" || STATUS=$?
    OUT=$(cat "$out") ERR=$(cat "$err")
    rm -f "$out" "$err"
}

for help in --help -h; do
    run "$help"
    [ "$STATUS" = 0 ] || fail "$help: status $STATUS ($ERR)"
    grep -q -- '--version' <<<"$OUT" && grep -q 'arrow keys' <<<"$OUT" &&
        grep -q -- '--host' <<<"$OUT" && grep -q -- '--join' <<<"$OUT" &&
        grep -q -- '--watch' <<<"$OUT" && grep -q -- '--quick' <<<"$OUT" || fail "$help printed: $OUT"
    [ -z "$ERR" ] || fail "$help wrote to stderr: $ERR"
done

run --version
[ "$STATUS" = 0 ] && [[ "$OUT" =~ ^voltaro\ [0-9]+\.[0-9]+\.[0-9]+$ ]] ||
    fail "--version: status $STATUS, printed '$OUT' $ERR"

for wrong in --frobnicate -x "an-argument"; do
    run "$wrong"
    [ "$STATUS" = 2 ] || fail "$wrong: status $STATUS, not 2"
    name=${wrong#--} && name=${name#-}
    [ -z "$OUT" ] && grep -q "^voltaro: .*'$name'" <<<"$ERR" && grep -q -- '--help' <<<"$ERR" ||
        fail "$wrong: no clear message: '$ERR'"
done

# The computer's options: a value they do not take is refused the same way, naming it.
for wrong in "--computer green" "--level expert" "--seed -3" "--seed 12x"; do
    run $wrong
    [ "$STATUS" = 2 ] && [ -z "$OUT" ] && grep -q "^voltaro: '${wrong#* }' is no .*${wrong% *}" <<<"$ERR" ||
        fail "$wrong: status $STATUS, message '$ERR'"
done

# Online play's options: a wrong value is refused the same way.
for wrong in "--port nope" "--port 70000" "--server ftp://x"; do
    run $wrong
    [ "$STATUS" = 2 ] && [ -z "$OUT" ] && grep -q "^voltaro: ${wrong%% *} wants" <<<"$ERR" ||
        fail "$wrong: status $STATUS, '$ERR'"
done

# A replay: a file that cannot be read, or is no match's record, is said before any window
# opens (status 1); --replay with a player of this keyboard or online play is refused (2).
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf 'ball\n# tick 0\n' >"$work/notes.replay"
run --replay "$work/missing.replay"
[ "$STATUS" = 1 ] && [ -z "$OUT" ] && grep -q "^voltaro: cannot read .*missing.replay" <<<"$ERR" ||
    fail "--replay of no file: status $STATUS, '$ERR'"
run --replay "$work/notes.replay"
[ "$STATUS" = 1 ] && [ "$(wc -l <<<"$ERR")" = 1 ] &&
    grep -q '^voltaro: .*notes.replay: This is not a match record: line 1: ' <<<"$ERR" ||
    fail "--replay of no record: status $STATUS, '$ERR'"
# A replay's link is fetched from its server first; one that cannot be reached is said too.
link='http://127.0.0.1:1/?replay=B7KQ3MXABCDEF'
run --replay "$link"
[ "$STATUS" = 1 ] && [ -z "$OUT" ] &&
    grep -q "^voltaro: $link: Cannot fetch the replay: " <<<"$ERR" ||
    fail "--replay of a link to no server: status $STATUS, '$ERR'"
for other in "--computer blue" "--online" "--join ABCD"; do
    run --replay "$work/notes.replay" $other
    [ "$STATUS" = 2 ] && grep -q '^voltaro: --replay shows a match' <<<"$ERR" ||
        fail "--replay with $other: status $STATUS, '$ERR'"
done
# One way to play online at a time, and none of them with the computer at this keyboard.
for both in "--quick --join K7QX" "--watch K7QX --host" "--quick --computer blue"; do
    run $both
    [ "$STATUS" = 2 ] && [ -z "$OUT" ] && grep -q "^voltaro: --" <<<"$ERR" ||
        fail "$both: status $STATUS, '$ERR'"
done

run
[ "$STATUS" = 1 ] || fail "no display: status $STATUS, not 1 ($ERR)"
[ "$(wc -l <<<"$ERR")" = 1 ] && grep -q '^voltaro: .*display' <<<"$ERR" ||
    fail "no display: not one line about the display: '$ERR'"
echo "PASS (command-line)"
