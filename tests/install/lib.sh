# Shared by the install tests: arguments, a scratch folder, failing, and the list of files that
# an install puts under its prefix.
#   TEST.sh SOURCE_DIR BUILD_DIR VERSION
set -euo pipefail

SOURCE_DIR=${1:-}
BUILD_DIR=${2:-}
VERSION=${3:-}
[ -d "$SOURCE_DIR/data" ] && [ -d "$BUILD_DIR" ] && [ -n "$VERSION" ] ||
    { echo "usage: $0 SOURCE_DIR BUILD_DIR VERSION" >&2; exit 2; }

TEST_NAME=$(basename "$0" .sh)
WORK=$(mktemp -d "${TMPDIR:-/tmp}/voltaro-install-$TEST_NAME.XXXXXX")
CLEANUP=()
PASSED=

cleanup() {
    local step
    for step in "${CLEANUP[@]}"; do eval "$step" || true; done
    if [ -n "$PASSED" ]; then rm -rf "$WORK"; else echo "$TEST_NAME: files kept in $WORK" >&2; fi
}
trap cleanup EXIT

fail() { echo "FAIL ($TEST_NAME): $*" >&2; exit 1; }
pass() { PASSED=1; echo "PASS ($TEST_NAME)"; }

need() {
    local tool
    for tool; do
        command -v "$tool" >/dev/null || fail "missing tool: $tool (run scripts/install-deps)"
    done
}

APP_ID=io.github.voltaro.voltaro
ICON_SIZES=(16 22 24 32 48 64 128 256)

# Every file under PREFIX that installing the game makes, sorted: expected_files PREFIX, or
# expected_files PREFIX deb for the package, which puts the game and its server in games/ as
# Debian does for games and adds the server's systemd unit, its copyright file and changelog.
expected_files() {
    local prefix=$1 size
    {
        if [ "${2:-}" = deb ]; then
            echo "$prefix/games/voltaro"
            echo "$prefix/games/voltaro-server"
            echo "$prefix/lib/systemd/system/voltaro-server.service"
            echo "$prefix/share/doc/voltaro/copyright"
            echo "$prefix/share/doc/voltaro/changelog.gz"
        else
            echo "$prefix/bin/voltaro"
            echo "$prefix/bin/voltaro-server"
        fi
        echo "$prefix/share/man/man6/voltaro.6.gz"
        echo "$prefix/share/man/man6/voltaro-server.6.gz"
        echo "$prefix/share/applications/$APP_ID.desktop"
        echo "$prefix/share/metainfo/$APP_ID.metainfo.xml"
        echo "$prefix/share/icons/hicolor/scalable/apps/voltaro.svg"
        for size in "${ICON_SIZES[@]}"; do
            echo "$prefix/share/icons/hicolor/${size}x${size}/apps/voltaro.png"
        done
    } | LC_ALL=C sort
}

# The value of KEY in a desktop entry.
desktop_value() { sed -n "s/^$2=//p" "$1"; }
