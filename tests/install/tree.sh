#!/usr/bin/env bash
# `cmake --install` into a scratch DESTDIR: exactly the expected files under the prefix, a valid
# desktop entry and metainfo that agree with each other and with what was installed, and the
# uninstall script takes every file away again, with every folder that installing made.
source "$(dirname "$0")/lib.sh"
need cmake desktop-file-validate appstreamcli appstream-util

prefix=/usr/local
root=$WORK/root
# A folder that was there before, empty, as /usr/local/share is on a fresh system: it stays.
mkdir -p "$root$prefix/share"
DESTDIR=$root cmake --install "$BUILD_DIR" --prefix "$prefix" >"$WORK/install.log" 2>&1 ||
    { cat "$WORK/install.log" >&2; fail "cmake --install failed"; }

expected_files "$prefix" >"$WORK/expected"
(cd "$root" && find . \( -type f -o -type l \) | sed 's/^\.//' | LC_ALL=C sort) >"$WORK/installed"
diff -u "$WORK/expected" "$WORK/installed" >&2 || fail "installed files differ from the expected list"
[ -x "$root$prefix/bin/voltaro" ] || fail "bin/voltaro is not executable"

desktop=$root$prefix/share/applications/$APP_ID.desktop
metainfo=$root$prefix/share/metainfo/$APP_ID.metainfo.xml
desktop-file-validate "$desktop" >&2 || fail "desktop-file-validate rejects $APP_ID.desktop"
appstreamcli validate --pedantic --no-net "$metainfo" >"$WORK/appstream.log" 2>&1 ||
    { cat "$WORK/appstream.log" >&2; fail "appstreamcli rejects $APP_ID.metainfo.xml"; }
appstream-util validate-relax --nonet "$metainfo" >"$WORK/appstream-util.log" 2>&1 ||
    { cat "$WORK/appstream-util.log" >&2; fail "appstream-util rejects $APP_ID.metainfo.xml"; }
# Software centres show the licence, the developer, and a summary that fits on one line.
grep -q '<project_license>MIT</project_license>' "$metainfo" || fail "the metainfo names no MIT project_license"
grep -q '<developer_name>..*</developer_name>' "$metainfo" || fail "the metainfo names no developer"
summary=$(sed -n 's|.*<summary>\(.*\)</summary>.*|\1|p' "$metainfo")
[ -n "$summary" ] && [ "${#summary}" -le 50 ] || fail "summary '$summary' is empty or longer than 50 characters"

# The menu entry starts the installed binary and shows the installed icon.
exec_name=$(desktop_value "$desktop" Exec)
[ -x "$root$prefix/bin/${exec_name%% *}" ] || fail "Exec=$exec_name is not an installed binary"
icon=$(desktop_value "$desktop" Icon)
[ -f "$root$prefix/share/icons/hicolor/scalable/apps/$icon.svg" ] &&
    [ -f "$root$prefix/share/icons/hicolor/48x48/apps/$icon.png" ] ||
    fail "Icon=$icon is not the installed icon"
[ "$(desktop_value "$desktop" Categories)" = "Game;SportsGame;" ] || fail "Categories are not Game;SportsGame;"

# Software centres join the metainfo to the menu entry by the desktop file's name, and show the
# release that matches the project.
grep -q "<id>$APP_ID</id>" "$metainfo" || fail "the metainfo's id is not $APP_ID"
grep -q "<launchable type=\"desktop-id\">$APP_ID.desktop</launchable>" "$metainfo" ||
    fail "the metainfo does not launch $APP_ID.desktop"
grep -q "<release version=\"$VERSION\"" "$metainfo" || fail "the metainfo has no release $VERSION"
grep -q "<binary>$exec_name</binary>" "$metainfo" || fail "the metainfo does not provide $exec_name"

DESTDIR=$root cmake -DPREFIX="$prefix" -P "$BUILD_DIR/voltaro_uninstall.cmake" >"$WORK/uninstall.log" 2>&1 ||
    { cat "$WORK/uninstall.log" >&2; fail "the uninstall script failed"; }
left=$(cd "$root" && find . ! -type d)
[ -z "$left" ] || fail "uninstalling left files behind: $left"
left=$(cd "$root" && find . -mindepth 1 -type d | LC_ALL=C sort | xargs)
[ "$left" = "./usr ./usr/local ./usr/local/share" ] ||
    fail "uninstalling left '$left', not just the folders that were there before"
pass
