#!/usr/bin/env bash
# The .deb from cpack on the build directory: its fields and dependencies, exactly the expected
# files with sane modes and nothing for dpkg to run or keep, and the game from the unpacked
# package opening its window under Xvfb with the class and icon of its menu entry.
source "$(dirname "$0")/lib.sh"
need cpack dpkg-deb dpkg-shlibdeps tar Xvfb xdotool xprop

cpack --config "$BUILD_DIR/CPackConfig.cmake" -G DEB -B "$WORK/out" >"$WORK/cpack.log" 2>&1 ||
    { cat "$WORK/cpack.log" >&2; fail "cpack failed"; }
deb=$WORK/out/voltaro_${VERSION}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || fail "cpack made no $(basename "$deb"): $(ls "$WORK/out")"

field() { dpkg-deb --field "$deb" "$1"; }
[ "$(field Package)" = voltaro ] && [ "$(field Version)" = "$VERSION" ] ||
    fail "package $(field Package) version $(field Version), not voltaro $VERSION"
[ "$(field Section)" = games ] || fail "section $(field Section), not games"
depends=$(field Depends | tr ',' '\n' | sed 's/^ *//; s/[ (].*//')
for dep in fonts-liberation2 fonts-dancingscript libqt6widgets6 libqt6gui6 libqt6core6 libc6; do
    grep -qx "$dep" <<<"$depends" || fail "Depends lacks $dep: $(field Depends)"
done

# With the Qt Wayland plugin the game runs natively on a Wayland desktop; a game built with
# gamepads loads SDL2's library when it starts, and plays without pads where it is missing.
recommends=qt6-wayland
if grep -qa 'libSDL2-2\.0\.so\.0' "$BUILD_DIR/voltaro"; then
    recommends="$recommends, libsdl2-2.0-0"
fi
[ "$(field Recommends)" = "$recommends" ] || fail "Recommends '$(field Recommends)', not '$recommends'"

dpkg-deb --contents "$deb" >"$WORK/contents"
expected_files /usr deb >"$WORK/expected"
awk '$1 !~ /^d/ { print $6 }' "$WORK/contents" | sed 's/^\.//' | LC_ALL=C sort >"$WORK/packed"
diff -u "$WORK/expected" "$WORK/packed" >&2 || fail "packed files differ from the expected list"
bad=$(awk '$2 != "root/root" || ($1 ~ /^d/ && $1 != "drwxr-xr-x") ||
    ($1 ~ /^-/ && $1 != "-rw-r--r--" && $1 != "-rwxr-xr-x")' "$WORK/contents")
[ -z "$bad" ] || fail "entries with odd owners or modes: $bad"
# No maintainer scripts and no conffiles: dpkg alone knows every file, and removing the package
# removes them all.
control=$(dpkg-deb --ctrl-tarfile "$deb" | tar -t | sed 's|^\./||' | grep -v '^$' | LC_ALL=C sort | xargs)
[ "$control" = "control md5sums" ] || fail "control archive holds '$control', not just control and md5sums"

root=$WORK/root
dpkg -x "$deb" "$root"
desktop=$root/usr/share/applications/$APP_ID.desktop

mkfifo "$WORK/displayfd"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -noreset -nolisten tcp 3>"$WORK/displayfd" >"$WORK/xvfb.log" 2>&1 &
xvfb_pid=$!
CLEANUP+=("kill $xvfb_pid 2>/dev/null; wait $xvfb_pid 2>/dev/null")
read -r -t 10 number <"$WORK/displayfd" || fail "Xvfb did not start within 10 s: $(cat "$WORK/xvfb.log")"
export DISPLAY=:$number QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR=$WORK/run
unset XAUTHORITY WAYLAND_DISPLAY
mkdir -m 700 "$XDG_RUNTIME_DIR"

"$root/usr/games/voltaro" >"$WORK/game.log" 2>&1 &
game_pid=$!
CLEANUP=("kill $game_pid 2>/dev/null; wait $game_pid 2>/dev/null" "${CLEANUP[@]}")
win=
for _ in $(seq 200); do
    win=$(xdotool search --onlyvisible --name '^Soccer Game: VOLTARO!$' 2>/dev/null || true)
    [ -z "$win" ] || break
    kill -0 "$game_pid" 2>/dev/null || fail "the packaged game exited before its window appeared: $(cat "$WORK/game.log")"
    sleep 0.05
done
[ -n "$win" ] || fail "no window titled 'Soccer Game: VOLTARO!' within 10 s"
[ "$(wc -w <<<"$win")" -eq 1 ] || fail "more than one game window: $win"

# Task bars match the window to its menu entry by WM_CLASS and show the window's own icon.
wm_class=$(xprop -id "$win" WM_CLASS)
startup_class=$(desktop_value "$desktop" StartupWMClass)
[[ "$wm_class" == *", \"$startup_class\"" ]] ||
    fail "window class $wm_class does not match StartupWMClass=$startup_class"
xprop -id "$win" -notype 32c _NET_WM_ICON | grep -Eq '^_NET_WM_ICON = [0-9]+, [0-9]+, ' ||
    fail "the game window has no icon (_NET_WM_ICON)"
pass
