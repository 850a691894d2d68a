#!/usr/bin/env bash
# Builds the reservation book and starts it. On the first run, when no KESOLA.INI stands beside the program,
# a demo database is created with kesola-admin and the settings file is pointed at it.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/release --target kesola kesola-admin

bin=build/release/app
if [ ! -f "$bin/KESOLA.INI" ]; then
    db="$PWD/build/release/demo/KESOLA.MDB"
    mkdir -p "$(dirname "$db")"
    [ -f "$db" ] || build/release/admin/kesola-admin init "$db" --demo
    printf '%s\r\n' "$db" > "$bin/KESOLA.INI"
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display found: starting the board on a virtual display (xvfb-run)." >&2
    exec xvfb-run -a -s "-screen 0 1280x1024x24" "$bin/kesola"
fi
exec "$bin/kesola"
