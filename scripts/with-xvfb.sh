#!/usr/bin/env bash
# Runs a command on a virtual X display, for trying the on-screen window where there is
# no desktop (a server, CI). Starts Xvfb on a free display number, runs the command with
# DISPLAY pointing at it, stops the server and passes the command's exit status on.
#   scripts/with-xvfb.sh build/release/apps/orvane --window scene.txt
# ORVANE_XVFB_SCREEN sets the screen (default 1280x1024x24).
set -euo pipefail

if [ $# -eq 0 ]; then
    echo "usage: $0 command [arguments...]" >&2
    exit 2
fi
if ! command -v Xvfb >/dev/null; then
    echo "with-xvfb.sh: Xvfb is missing (scripts/deps.sh installs it)" >&2
    exit 2
fi

work=$(mktemp -d)
pid=""
cleanup() {
    if [ -n "$pid" ]; then
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

# Xvfb writes the display number it picked to descriptor 3 once it accepts clients.
Xvfb -displayfd 3 -screen 0 "${ORVANE_XVFB_SCREEN:-1280x1024x24}" -nolisten tcp \
    3>"$work/display" >/dev/null 2>&1 &
pid=$!
for _ in $(seq 200); do
    if [ -s "$work/display" ]; then
        break
    fi
    if ! kill -0 "$pid" 2>/dev/null; then
        echo "with-xvfb.sh: Xvfb ended before it was ready" >&2
        exit 1
    fi
    sleep 0.1
done
number=$(head -n 1 "$work/display")
if [ -z "$number" ]; then
    echo "with-xvfb.sh: Xvfb did not report a display" >&2
    exit 1
fi

set +e
DISPLAY=":$number" "$@"
status=$?
set -e
exit "$status"
