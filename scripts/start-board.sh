#!/usr/bin/env bash
# Starts the board that scripts/run.sh has built, without root: scripts/start-board.sh [--build] [FOLDER]
#
# FOLDER is the build folder (build/release) holding app/kesola and admin/kesola-admin; --build builds it first
# (after the sources changed). On the first start, when no KESOLA.INI stands beside the program, a demo database is
# made with kesola-admin and the settings file is pointed at it.
#
# Started as root through sudo, it runs as the user who called sudo, so the files it makes are that user's and that
# user can stop the board. Without a display, the board goes on a virtual one (Xvfb) of its own, which ends with
# the board: the command printed to stop it ends both, as does Ctrl+C.
set -euo pipefail
self=$(realpath "$0")

if [ "$(id -u)" -eq 0 ] && [ -n "${SUDO_USER:-}" ] && [ "${SUDO_UID:-0}" != 0 ]; then
    exec runuser -u "$SUDO_USER" -- "$self" "$@"
fi

build=false
if [ "${1:-}" = --build ]; then
    build=true
    shift
fi
checkout=$(dirname "$(dirname "$self")")
folder=$(realpath -m "${1:-$checkout/build/release}")
cd "$checkout"

if $build; then
    # The programs alone: the tests are built by scripts/test.sh, with the packages it installs.
    cmake -S . -B "$folder" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKESOLA_TESTS=OFF -DKESOLA_WORKLIST=OFF \
        >/dev/null
    cmake --build "$folder" --target kesola kesola-admin
fi
bin=$folder/app
if [ ! -x "$bin/kesola" ]; then
    echo "$0: no board built in $folder: build it with scripts/run.sh (or $0 --build)" >&2
    exit 1
fi

if [ ! -f "$bin/KESOLA.INI" ]; then
    db="$folder/demo/KESOLA.MDB"
    mkdir -p "$(dirname "$db")"
    [ -f "$db" ] || "$folder/admin/kesola-admin" init "$db" --demo
    printf '%s\r\n' "$db" >"$bin/KESOLA.INI"
fi

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    exec "$bin/kesola"
fi

# No display: a virtual one of the board's own, which this script ends when the board ends, however it ends (not
# Xvfb's -terminate: a screenshot taken before the board has connected would end the display under it).
number_file=$(mktemp)
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$number_file" 2>/dev/null &
xvfb=$!
board=""
end_all() {
    [ -z "$board" ] || kill "$board" 2>/dev/null || true
    kill "$xvfb" 2>/dev/null || true
    # Waited for, so that the display is free once this script has ended.
    wait 2>/dev/null || true
    rm -f "$number_file"
}
trap end_all EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

for _ in $(seq 100); do
    [ -s "$number_file" ] && break
    kill -0 "$xvfb" 2>/dev/null || break
    sleep 0.1
done
if [ ! -s "$number_file" ]; then
    echo "$0: the virtual display (Xvfb) did not start" >&2
    exit 1
fi
display=":$(head -n 1 "$number_file")"
DISPLAY=$display "$bin/kesola" &
board=$!
cat <<EOF
No display found: the board runs on the virtual display $display (Xvfb, 1280x1024).
  Look at it:  DISPLAY=$display import -window root board.png    (a screenshot; ImageMagick, package imagemagick)
  Stop it:     Ctrl+C here, or: kill $board    (the board; its virtual display ends with it)
EOF

status=0
wait "$board" || status=$?
board=""
# The board stopped by the command above (SIGTERM) has ended as asked.
[ "$status" -ne 143 ] || status=0
exit "$status"
