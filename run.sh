#!/usr/bin/env bash
# Installs what is missing, builds, starts the local demo platform on 127.0.0.1 and
# the downloader against it; the platform stops when the downloader ends.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
"$root/scripts/setup.sh"
"$root/scripts/build.sh"
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

"$server" --listen "$address:$port" --root "$served" --log "$build/demo-platform.log" &
server_pid=$!
stop_server() {
    kill "$server_pid" 2>/dev/null || true
    wait "$server_pid" 2>/dev/null || true
}
trap stop_server EXIT

for _ in $(seq 50); do
    if ! kill -0 "$server_pid" 2>/dev/null; then
        echo "run.sh: the demo server did not start (is port $port on $address taken?)" >&2
        exit 1
    fi
    if (exec 3<>"/dev/tcp/$address/$port") 2>/dev/null; then
        break
    fi
    sleep 0.1
done
echo "run.sh: demo platform on http://$address:$port/ serving $served"

status=0
"$build/downloader/downloader" "$@" || status=$?
exit "$status"
