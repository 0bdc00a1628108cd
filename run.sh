#!/usr/bin/env bash
# On an X display: installs what is missing, builds, starts the local demo platform on
# 127.0.0.1 (downloads on the build's port, statistics on port 80 where it may bind it)
# and the downloader's window against it; the platform stops when the downloader ends.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

# The downloader is a window on an X display; without one nothing would show.
no_display() {
    cat >&2 <<EOT
run.sh: $1
The downloader is a desktop window: run ./run.sh on an X desktop, or under a virtual
one, for example:  xvfb-run -a ./run.sh  (nothing shows on the screen then, but the
window is there for screenshots and X input tools).
EOT
    exit 2
}
if [[ -z "${DISPLAY:-}" ]]; then
    no_display "no display: DISPLAY is not set."
fi
if [[ "$DISPLAY" =~ ^(unix)?:([0-9]+)(\.[0-9]+)?$ && ! -S "/tmp/.X11-unix/X${BASH_REMATCH[2]}" ]]; then
    no_display "no X server answers on DISPLAY=$DISPLAY."
fi
"$root/scripts/setup.sh"
# Only the program (its companions and resources embedded) and the demo platform, not
# the tests: the window comes up after a short build.
BUILD_TARGETS="downloader demo-server demo_resources" "$root/scripts/build.sh"
build="${BUILD_DIR:-$root/build}"

# Where the build's embedded engine file expects the platform (res/CMakeLists.txt).
conf="$build/res/demo-platform.conf"
value() { sed -n "s/^$1=//p" "$conf"; }
address="$(value DEMO_ADDRESS)"
port="$(value DEMO_PORT)"
served="$(value DEMO_ROOT)"
server="$(value DEMO_SERVER)"
if [[ -z "$server" || ! -x "$server" ]]; then
    echo "run.sh: the demo server is not built" >&2
    exit 1
fi

pids=()
stop_servers() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
}
trap stop_servers EXIT

# Starts one server on $1:$2 and waits until it accepts connections.
start_server() {
    local at="$1" on="$2" log="$3"
    "$server" --listen "$at:$on" --root "$served" --log "$log" &
    local pid=$!
    pids+=("$pid")
    for _ in $(seq 100); do
        if ! kill -0 "$pid" 2>/dev/null; then
            echo "run.sh: the demo server did not start on $at:$on (is the port taken?)" >&2
            return 1
        fi
        if (exec 3<>"/dev/tcp/$at/$on") 2>/dev/null; then
            return 0
        fi
        sleep 0.1
    done
    echo "run.sh: the demo server on $at:$on does not answer" >&2
    return 1
}

start_server "$address" "$port" "$build/demo-platform.log" || exit 1
echo "run.sh: demo platform on http://$address:$port/ serving $served"
# Statistics requests always go to port 80 of the statistics host; without the
# right to bind it the program still runs, its reports just find nobody.
if [[ "$port" != 80 ]]; then
    if start_server "$address" 80 "$build/demo-statistics.log"; then
        echo "run.sh: statistics recorded in $build/demo-statistics.log"
    else
        echo "run.sh: going on without a statistics server" >&2
    fi
fi

status=0
"$build/downloader/downloader" "$@" || status=$?
exit "$status"
