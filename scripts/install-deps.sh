#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running and testing need; skips what is already there.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config clang-format
    qt6-base-dev libqt6sql6-sqlite libqt6sql6-psql libgl1-mesa-dev
    libicu-dev libgtest-dev libgmock-dev libbenchmark-dev sqlite3 libsqlite3-dev
    fonts-ipafont-gothic qt6-translations-l10n xvfb xauth
    help2man mmdebstrap file mount dpkg-dev lintian appstream desktop-file-utils libsqlite3-dev
    xdotool openbox x11-utils python3 python3-xlib iproute2 util-linux imagemagick
    ibus ibus-mozc dbus-daemon
    clang libclang-rt-14-dev
)
# The PostgreSQL server: the tests run every database test against a throwaway one (scripts/test.sh).
if [ "${KESOLA_WITH_POSTGRES:-0}" = 1 ]; then
    packages+=(postgresql-15 postgresql-client-15)
fi
# The Windows programs and their MSI, built and tested under wine (scripts/build-windows.sh).
if [ "${KESOLA_WITH_WINDOWS:-0}" = 1 ]; then
    packages+=(g++-mingw-w64-x86-64-posix tcl dpkg-dev wixl msitools osslsigncode wine wine64)
fi

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    sudo_cmd=""
    [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
    echo "install-deps: installing ${#missing[@]} Debian packages: ${missing[*]}"
    # dpkg reports every file it unpacks; that goes to a log, shown only when the install fails.
    log=$(mktemp)
    trap 'rm -f "$log"' EXIT
    if ! { $sudo_cmd apt-get update -qq && DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq \
        --no-install-recommends "${missing[@]}"; } >"$log" 2>&1; then
        cat "$log" >&2
        echo "install-deps: apt-get failed (above)" >&2
        exit 1
    fi
fi
