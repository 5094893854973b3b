#!/usr/bin/env bash
# Debian's own checks on the .deb: lintian, pedantic, with informational and experimental tags
# too, reports nothing at all but the tags listed here with the reason they are accepted.
source "$(dirname "$0")/lib.sh"
need cpack lintian

# TAG  why it is accepted (keep each entry's reason next to it)
ACCEPTED=(
    # voltaro-server comes with a systemd unit that stays off until the admin enables it. An
    # init.d script would be a conffile in /etc that maintainer scripts register and start at
    # boot, which the package has none of and must not do; on sysvinit the admin starts it.
    package-supports-alternative-init-but-no-init.d-script
)

cpack --config "$BUILD_DIR/CPackConfig.cmake" -G DEB -B "$WORK/out" >"$WORK/cpack.log" 2>&1 ||
    { cat "$WORK/cpack.log" >&2; fail "cpack failed"; }
deb=$WORK/out/voltaro_${VERSION}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || fail "cpack made no $(basename "$deb")"

as_root=()
[ "$(id -u)" -ne 0 ] || as_root=(--allow-root)
lintian "${as_root[@]}" --pedantic --display-info --display-experimental --tag-display-limit 0 \
    "$deb" >"$WORK/lintian.log" 2>&1 || true
# Every line is a tag "X: voltaro: tag-name ...", or lintian failed to run.
reported=$(grep -Ev '^[EWIPX]: voltaro( \(binary\))?: ' "$WORK/lintian.log" || true)
[ -z "$reported" ] || fail "lintian did not run cleanly: $reported"
unexpected=$(awk '{print $3}' "$WORK/lintian.log" | grep -vxF -f <(printf '%s\n' "${ACCEPTED[@]:-}") || true)
[ -z "$unexpected" ] || { cat "$WORK/lintian.log" >&2; fail "lintian reports: $(xargs <<<"$unexpected")"; }
echo "lintian --pedantic: $(wc -l <"$WORK/lintian.log") tags"
pass
