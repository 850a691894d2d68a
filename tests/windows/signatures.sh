#!/usr/bin/env bash
# Checks with osslsigncode that the MSI and every .exe and .dll in it are signed by the certificate in
# KESOLA_SIGN_CERT (the one scripts/build-windows.sh signed with, through scripts/sign-windows.sh).
# Usage: signatures.sh WINDOWS_BUILD
set -euo pipefail
if [ -z "${KESOLA_SIGN_CERT:-}" ]; then
    echo "no certificate given (KESOLA_SIGN_CERT): nothing was signed"
    exit 77
fi
build=$1
msi=$(ls "$build"/kesola-*-x64.msi)
files=$(mktemp -d)
trap 'rm -rf "$files"' EXIT
msiextract -C "$files" "$msi" >/dev/null
failed=0
count=0
while IFS= read -r file; do
    count=$((count + 1))
    if ! osslsigncode verify -CAfile "$KESOLA_SIGN_CERT" -in "$file" >"$files/verify.log" 2>&1; then
        echo "FAILED: $file is not signed by $KESOLA_SIGN_CERT:"
        cat "$files/verify.log"
        failed=1
    fi
done < <(find "$files" \( -name '*.exe' -o -name '*.dll' \) && echo "$msi")
echo "$count files checked"
[ $count -gt 10 ] || { echo "FAILED: only $count files found in $msi"; failed=1; }
exit $failed
