#!/usr/bin/env bash
# Checks with osslsigncode that every .exe and .dll of the staged folder and the MSI are signed by the certificate
# in KESOLA_SIGN_CERT (the one scripts/build-windows.sh signed with). Usage: signatures.sh WINDOWS_BUILD
set -euo pipefail
if [ -z "${KESOLA_SIGN_CERT:-}" ]; then
    echo "no certificate given (KESOLA_SIGN_CERT): nothing was signed"
    exit 77
fi
build=$1
failed=0
count=0
while IFS= read -r file; do
    count=$((count + 1))
    if ! osslsigncode verify -CAfile "$KESOLA_SIGN_CERT" -in "$file" >"$build/verify.log" 2>&1; then
        echo "FAILED: $file is not signed by $KESOLA_SIGN_CERT:"
        cat "$build/verify.log"
        failed=1
    fi
done < <(find "$build/stage" \( -name '*.exe' -o -name '*.dll' \) && ls "$build"/kesola-*-x64.msi)
echo "$count files checked"
[ $count -gt 10 ] || { echo "FAILED: only $count files found in $build"; failed=1; }
exit $failed
