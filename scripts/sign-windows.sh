#!/usr/bin/env bash
# Signs a built MSI (scripts/build-windows.sh's) with IT's code-signing certificate, on any Debian machine with the
# MSI alone: first every program file in it (.exe, .dll: Authenticode, SHA-256), re-packed into the MSI's cabinet
# with the file table's sizes to match, then the MSI itself. A signature a file already has is replaced.
# The key is a PEM file, or stays on a hardware token or an HSM: osslsigncode then signs through the token's PKCS#11
# module (libengine-pkcs11-openssl's engine), and the key never leaves it.
#
# Usage: scripts/sign-windows.sh MSI
# Environment:
#   KESOLA_SIGN_CERT           the certificate (PEM), followed by its chain up to IT's CA
#   KESOLA_SIGN_KEY            its key: a PEM file, or the PKCS#11 URI of a key on a token, e.g.
#                              "pkcs11:token=IT;object=codesign;type=private"
#   KESOLA_SIGN_PKCS11_MODULE  with a token: its PKCS#11 module (the token vendor's .so)
#   KESOLA_SIGN_KEY_PASSWORD   the PEM key's password, or the token's PIN
#   KESOLA_SIGN_TIMESTAMP_URL  an RFC 3161 time-stamping server: the signatures then outlive the certificate
set -euo pipefail
if [ $# -ne 1 ] || [ ! -f "$1" ]; then
    echo "usage: $0 MSI (with KESOLA_SIGN_CERT and KESOLA_SIGN_KEY)" >&2
    exit 2
fi
msi=$(realpath "$1")
: "${KESOLA_SIGN_CERT:?the certificate (PEM)}" "${KESOLA_SIGN_KEY:?a PEM key or a pkcs11: URI}"

signing=(-certs "$KESOLA_SIGN_CERT" -key "$KESOLA_SIGN_KEY" -h sha256 -n "ＭＲＩ予約システム")
if [[ $KESOLA_SIGN_KEY == pkcs11:* ]]; then
    : "${KESOLA_SIGN_PKCS11_MODULE:?the PKCS#11 module of the token}"
    # OpenSSL finds libp11's engine ("pkcs11", from libengine-pkcs11-openssl) in its own engines folder by name.
    # Naming its file with -pkcs11engine instead breaks on Debian 12's osslsigncode 2.5, which takes the whole path
    # for the engine's name ("bad engine id").
    signing+=(-pkcs11module "$KESOLA_SIGN_PKCS11_MODULE")
fi
[ -n "${KESOLA_SIGN_KEY_PASSWORD:-}" ] && signing+=(-pass "$KESOLA_SIGN_KEY_PASSWORD")
[ -n "${KESOLA_SIGN_TIMESTAMP_URL:-}" ] && signing+=(-ts "$KESOLA_SIGN_TIMESTAMP_URL")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

sign() { # sign FILE: in place
    if osslsigncode remove-signature -in "$1" -out "$work/unsigned" >/dev/null 2>&1; then
        mv "$work/unsigned" "$1"
    fi
    rm -f "$work/signed"
    osslsigncode sign "${signing[@]}" -in "$1" -out "$work/signed" >"$work/sign.log" 2>&1 ||
        { echo "sign-windows.sh: signing $1 failed:" >&2; cat "$work/sign.log" >&2; exit 1; }
    mv "$work/signed" "$1"
}

# The files are in the cabinet named by the Media table ("#name": a stream of the MSI), each named by its key in the
# File table, in the order of the table's Sequence column.
cabinet=$(msiinfo export "$msi" Media | awk -F'\t' 'NR > 3 && $4 ~ /^#/ { print substr($4, 2) }')
if [ "$(echo "$cabinet" | wc -w)" != 1 ]; then
    echo "sign-windows.sh: $msi has no single embedded cabinet ('$cabinet')" >&2
    exit 1
fi
msiinfo extract "$msi" "$cabinet" >"$work/old.cab"
mkdir "$work/files"
gcab -x -C "$work/files" "$work/old.cab"
keys=()
queries=()
signed=0
while read -r _ key; do
    keys+=("$key")
    file=$work/files/$key
    [ "$(head -c2 "$file")" = MZ ] || continue
    sign "$file"
    signed=$((signed + 1))
    # The signature lengthens the file; a hash of it would no longer match.
    queries+=(-q "UPDATE \`File\` SET \`FileSize\` = $(stat -c %s "$file") WHERE \`File\` = '$key'"
        -q "DELETE FROM \`MsiFileHash\` WHERE \`File_\` = '$key'")
done < <(msiinfo export "$msi" File | awk -F'\t' 'NR > 3 { print $8, $1 }' | sort -n)
(cd "$work/files" && gcab -c -z "$work/new.cab" "${keys[@]}")
msibuild "$msi" -a "$cabinet" "$work/new.cab" "${queries[@]}"
sign "$msi"
echo "sign-windows.sh: signed $signed program files in $(basename "$msi") and the MSI"
