#!/usr/bin/env bash
# Installs the Debian 12 packages that one use of the project needs; skips what is already there.
#
#   scripts/install-deps.sh run     building and running the board (scripts/run.sh)
#   scripts/install-deps.sh test    everything: the tests on both engines, the fuzz targets, the Debian package and
#                                   its checks, the benchmarks, the Windows build and its tests under wine
#                                   (scripts/test.sh, scripts/package.sh, bench/run-all.sh)
#   scripts/install-deps.sh windows the Windows programs and their MSI (scripts/build-windows.sh)
#
# The packages are listed once, in groups by what they are for; a use names the groups it needs.
set -euo pipefail

declare -A groups=(
    # The compiler and the libraries the programs are built on.
    [build]="build-essential cmake ninja-build qt6-base-dev libgl1-mesa-dev libicu-dev libsqlite3-dev"
    # The scanners' DICOM service (kesola-worklist), which the board does not need.
    [worklist]="libdcmtk-dev"
    # What the board loads when it runs: the database drivers, the font that stands in for ＭＳ ゴシック, Qt's
    # Japanese texts; and the virtual display it is shown on where there is no screen.
    [board]="libqt6sql6-sqlite libqt6sql6-psql fonts-ipafont-gothic qt6-translations-l10n xvfb"
    # The unit suites, the formatting check and the database clients the tests compare with.
    [tests]="libgtest-dev libgmock-dev clang-format pkg-config sqlite3 python3 dcmtk nodejs $(command -v npm >/dev/null || echo npm)"
    # The end-to-end tests: a window manager, keys and clicks sent through the X server, Japanese typed through
    # IBus with Mozc, a network namespace for a vanishing server, screenshots of a failed scenario.
    [e2e]="openbox xdotool x11-utils python3-xlib ibus ibus-mozc dbus-daemon iproute2 util-linux imagemagick"
    # The throwaway PostgreSQL servers that the tests and the benchmarks run on.
    [postgres]="postgresql-15 postgresql-client-15"
    # The libFuzzer targets (scripts/fuzz.sh).
    [fuzz]="clang libclang-rt-14-dev"
    # The Debian package, its checkers and its test in a fresh root (scripts/package.sh, scripts/package-test.sh).
    [package]="help2man dpkg-dev lintian appstream desktop-file-utils mmdebstrap file mount"
    [bench]="libbenchmark-dev"
    # The Windows programs and their MSI, cross-built from Debian's sources, signed (with a PEM key or through a
    # PKCS#11 token: SoftHSM stands in for one in the tests) and tested under wine (scripts/build-windows.sh,
    # scripts/sign-windows.sh, scripts/test-windows.sh).
    [windows]="g++-mingw-w64-x86-64-posix tcl dpkg-dev wixl msitools gcab osslsigncode libengine-pkcs11-openssl softhsm2 opensc wine wine64"
)
declare -A uses=(
    [run]="build board"
    [test]="build board worklist tests e2e postgres fuzz package bench windows"
    [windows]="build board windows"
)
# What each use tells the user it installs, and how long that takes on a fresh machine.
declare -A summaries=(
    [run]="the compiler, Qt, ICU, SQLite, the Japanese font and Xvfb; this takes about a minute"
    [test]="the test toolchain (GoogleTest, clang, PostgreSQL, openbox, IBus, lintian, mingw-w64, wine); this takes a few minutes"
    [windows]="mingw-w64, wixl, osslsigncode and wine; this takes a few minutes"
)

use=${1:-}
if [ -z "$use" ] || [ -z "${uses[$use]+set}" ]; then
    echo "usage: $0 run|test|windows" >&2
    exit 2
fi

packages=()
for group in ${uses[$use]}; do
    read -r -a listed <<<"${groups[$group]}"
    packages+=("${listed[@]}")
done

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -gt 0 ] || exit 0

sudo_cmd=""
[ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
echo "install-deps: installing ${#missing[@]} Debian packages and what they need: ${summaries[$use]}"
# dpkg reports every file it unpacks; that goes to a log, shown only when the install fails.
log=$(mktemp)
trap 'rm -f "$log"' EXIT
if ! { $sudo_cmd apt-get update -qq && DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq \
    --no-install-recommends "${missing[@]}"; } >"$log" 2>&1; then
    cat "$log" >&2
    echo "install-deps: apt-get failed (above)" >&2
    exit 1
fi
