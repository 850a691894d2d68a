#!/usr/bin/env bash
# Builds the reservation book and starts it. On the first run, when no KESOLA.INI stands beside the program,
# a demo database is created with kesola-admin and the settings file is pointed at it.
#
# Installing the Debian packages needs root, so the command is run as root or with sudo. Under sudo only the
# install runs as root: the build and the board run as the user who called sudo, on that user's display.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "$(id -u)" -ne 0 ]; then
    echo "$0: needs root to install the Debian packages it builds with: run it as root or with sudo" >&2
    exit 1
fi
scripts/install-deps.sh test

as_caller() {
    if [ -n "${SUDO_USER:-}" ] && [ "${SUDO_UID:-0}" != 0 ]; then
        runuser -u "$SUDO_USER" -- "$@"
    else
        "$@"
    fi
}

as_caller cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
as_caller cmake --build build/release --target kesola kesola-admin

bin=build/release/app
if [ ! -f "$bin/KESOLA.INI" ]; then
    db="$PWD/build/release/demo/KESOLA.MDB"
    as_caller mkdir -p "$(dirname "$db")"
    [ -f "$db" ] || as_caller build/release/admin/kesola-admin init "$db" --demo
    as_caller sh -c 'printf "%s\r\n" "$1" >"$2"' - "$db" "$bin/KESOLA.INI"
fi

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    as_caller "$bin/kesola"
    exit
fi

# No display: the board goes on a virtual one, and the user is told how to look at it and how to stop it.
number_file=$(mktemp)
as_caller Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$number_file" 2>/dev/null &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; rm -f "$number_file"' EXIT
for _ in $(seq 100); do
    [ -s "$number_file" ] && break
    kill -0 $xvfb 2>/dev/null || break
    sleep 0.1
done
[ -s "$number_file" ] || {
    echo "$0: the virtual display (Xvfb) did not start" >&2
    exit 1
}
export DISPLAY=":$(head -n 1 "$number_file")"
as_caller "$bin/kesola" &
board=$!
cat <<EOF
No display found: the board runs on the virtual display $DISPLAY (Xvfb, 1280x1024).
  Look at it:  DISPLAY=$DISPLAY import -window root board.png    (a screenshot; ImageMagick)
  Stop it:     Ctrl+C here, or: kill $board
EOF
wait $board
