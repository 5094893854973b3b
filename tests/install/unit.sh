#!/usr/bin/env bash
# The server's systemd unit: systemd's own rating of its sandbox is 2.0 or better, and systemd
# reads it without a complaint. Both run offline: systemd need not be the running init.
source "$(dirname "$0")/lib.sh"
need systemd-analyze

UNIT=$SOURCE_DIR/data/voltaro-server.service
MAX_EXPOSURE=2.0

# `security` rates the unit alone, offline.
(cd "$WORK" && systemd-analyze security --offline=yes --no-pager "$UNIT") >"$WORK/security.log" 2>&1 ||
    { cat "$WORK/security.log" >&2; fail "systemd-analyze security failed"; }
exposure=$(sed -n 's/.*Overall exposure level for [^:]*: \([0-9.]*\).*/\1/p' "$WORK/security.log")
[ -n "$exposure" ] || { cat "$WORK/security.log" >&2; fail "no exposure level in the rating"; }
awk -v e="$exposure" -v max="$MAX_EXPOSURE" 'BEGIN { exit !(e <= max) }' ||
    { grep '✗' "$WORK/security.log" >&2; fail "exposure $exposure, above $MAX_EXPOSURE"; }

# `verify` loads the unit as systemd would, with the targets it is ordered against and the
# program it starts; inside a root of its own, since the program need not be installed here.
root=$WORK/root
mkdir -p "$root/usr/games" "$root/usr/lib/systemd/system"
cp /usr/lib/systemd/system/*.target /usr/lib/systemd/system/*.slice "$root/usr/lib/systemd/system/"
cp "$UNIT" "$root/usr/lib/systemd/system/"
printf '#!/bin/sh\n' >"$root/usr/games/voltaro-server"
chmod +x "$root/usr/games/voltaro-server"
(cd "$WORK" && systemd-analyze verify --man=no --root="$root" voltaro-server.service) \
    >"$WORK/verify.log" 2>&1 || { cat "$WORK/verify.log" >&2; fail "systemd-analyze verify failed"; }
[ ! -s "$WORK/verify.log" ] || { cat "$WORK/verify.log" >&2; fail "systemd-analyze verify complains"; }

echo "systemd-analyze security: exposure $exposure"
pass
