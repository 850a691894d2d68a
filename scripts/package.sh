#!/usr/bin/env bash
# Builds a Release and makes the Debian package that hospital IT installs on every workstation:
# build/package/kesola_<version>_amd64.deb (the version is the one in CMakeLists.txt). Prints the package's path.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
build=build/package-release
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j2 --target kesola kesola-admin manpage >&2

mkdir -p build/package
rm -f build/package/kesola_*.deb
(cd "$build" && cpack -G DEB -B "$PWD/../package" >&2)
rm -rf build/package/_CPack_Packages
deb=$(ls build/package/kesola_*.deb)
echo "$PWD/$deb"
