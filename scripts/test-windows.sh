#!/usr/bin/env bash
# The Windows programs, as scripts/test.sh runs them: built by scripts/build-windows.sh and signed with a throwaway
# certificate made here (as IT's would be given), then tested under wine on Xvfb: the engine's and the store's unit
# tests, the signatures, and the installed MSI's programs (tests/windows). Needs root, and the Linux build in
# LINUX_BUILD (build/test) to compare with.
set -euo pipefail
cd "$(dirname "$0")/.."
linux_build=$(realpath "${1:-build/test}")

started=$(date +%s)
certs=$(mktemp -d /tmp/kesola-signing.XXXXXX)
trap 'rm -rf "$certs"' EXIT
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=kesola test signing" \
    -addext extendedKeyUsage=codeSigning -keyout "$certs/key.pem" -out "$certs/cert.pem" 2>/dev/null
export KESOLA_SIGN_CERT=$certs/cert.pem KESOLA_SIGN_KEY=$certs/key.pem
KESOLA_WINDOWS_TESTS=1 scripts/build-windows.sh
echo "== windows: built in $(($(date +%s) - started)) s"

cmake -S . -B build/windows/build -DKESOLA_LINUX_BUILD="$linux_build" >/dev/null
# The PostgreSQL engine's own tests need a server of the Linux suite's; on Windows the engine is tested on SQLite.
ctest --test-dir build/windows/build --output-on-failure -j2 -E '^windows_postgres_tests$'
