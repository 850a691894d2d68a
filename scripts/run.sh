#!/usr/bin/env bash
# Builds the reservation book and starts it: installs the Debian packages that building and running need, then
# builds build/release and starts the board with scripts/start-board.sh (which starts it again later, without root).
# On the first run a demo database is created with kesola-admin and the settings file is pointed at it.
#
# Installing the Debian packages needs root, so the command is run as root or with sudo. Under sudo only the
# install runs as root: the build and the board run as the user who called sudo, on that user's display.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "$(id -u)" -ne 0 ]; then
    echo "$0: needs root to install the Debian packages it builds with: run it as root or with sudo" >&2
    exit 1
fi
scripts/install-deps.sh run
exec scripts/start-board.sh --build
