#!/usr/bin/env bash
# Runs a cross-built Windows program under wine: the Windows build's CMAKE_CROSSCOMPILING_EMULATOR, so ctest runs
# the unit tests with it. Usage: wine-run.sh --prefix=FOLDER [--dlls=FOLDER]... [--plugins=FOLDER] PROGRAM ARGS...
# The wine prefix is made on first use, without Mono's or Gecko's install dialogs. The program's DLLs are found
# through WINEPATH, Qt's plugins through QT_PLUGIN_PATH.
set -euo pipefail
dlls=() plugins= prefix=
while [[ ${1:-} == --* ]]; do
    case $1 in
        --dlls=*) dlls+=("${1#--dlls=}") ;;
        --plugins=*) plugins=${1#--plugins=} ;;
        --prefix=*) prefix=${1#--prefix=} ;;
        *) echo "wine-run.sh: unknown option $1" >&2; exit 2 ;;
    esac
    shift
done
program=$(realpath "$1")
shift

windows_path() { printf 'Z:%s' "${1//\//\\}"; }

export WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX=$prefix
mkdir -p "$(dirname "$WINEPREFIX")"
# Tests run two at a time: the first makes the prefix, the other waits for it.
(
    flock 9
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        wineboot -i >/dev/null 2>&1
        wineserver -w
    fi
) 9>"$WINEPREFIX.lock"

path=$(windows_path "$(dirname "$program")")
for folder in "${dlls[@]}"; do path+=";$(windows_path "$folder")"; done
export WINEPATH=$path
[ -n "$plugins" ] && export QT_PLUGIN_PATH=$(windows_path "$plugins")
exec wine "$program" "$@"
