#!/usr/bin/env bash
# Builds a Release and makes the Debian package that hospital IT installs on every workstation:
# build/package/kesola_<version>_amd64.deb (the version is the one in CMakeLists.txt), checks it with lintian,
# appstreamcli and desktop-file-validate, and fails on any error or warning they report. Prints the package's path.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh test
build=build/package-release
# Debian's hardening flags (stack protector, fortify, read-only relocations, immediate binding) as dpkg-buildflags
# gives them to every Debian package.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cxxflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
ldflags=$(dpkg-buildflags --get LDFLAGS)
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release "-DCMAKE_CXX_FLAGS=$cxxflags" \
    "-DCMAKE_EXE_LINKER_FLAGS=$ldflags" >/dev/null
cmake --build "$build" -j2 --target kesola kesola-admin kesola-worklist package-files >&2

mkdir -p build/package
rm -f build/package/kesola_*.deb
(cd "$build" && cpack -G DEB -B "$PWD/../package" >&2)
rm -rf build/package/_CPack_Packages
deb=$(ls build/package/kesola_*.deb)

# Debian's checkers: an error or a warning fails the build (infos and pedantic notes are shown, not fatal).
appstreamcli validate --no-net --pedantic packaging/*.metainfo.xml >&2
desktop_output=$(desktop-file-validate packaging/kesola.desktop 2>&1) || true
if [ -n "$desktop_output" ]; then
    echo "$desktop_output" >&2
    echo "package.sh: desktop-file-validate reports on packaging/kesola.desktop" >&2
    exit 1
fi
lintian_output=$(lintian --allow-root --info "$deb" 2>&1) || true
[ -z "$lintian_output" ] || echo "$lintian_output" >&2
if grep -qE '^[EW]: ' <<<"$lintian_output"; then
    echo "package.sh: lintian reports errors or warnings on $deb" >&2
    exit 1
fi
echo "$PWD/$deb"
