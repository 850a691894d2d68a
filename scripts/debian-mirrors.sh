#!/usr/bin/env bash
# Prints the Debian 12 repositories this machine's apt uses, one sources.list line each ("deb URI SUITE COMPONENT"),
# for mmdebstrap: a fresh root made from them gets its packages from the same mirror as this machine. Falls back to
# Debian's own mirror when apt names none.
set -euo pipefail

mirrors=$(apt-cache policy | awk '
    $1 ~ /^[0-9]+$/ && $2 ~ /:\/\// { uri = $2; split($3, part, "/"); suite = part[1]; component = part[2] }
    /^ +release / && /o=Debian,/ && suite ~ /^bookworm/ { print "deb " uri " " suite " " component }' | sort -u)
printf '%s\n' "${mirrors:-deb http://deb.debian.org/debian bookworm main}"
