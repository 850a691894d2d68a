#!/usr/bin/env bash
# Makes the MSI of a staged folder (scripts/build-windows.sh's build/windows/stage) at a version:
# wixl with kesola.wxs and the files listed by wixl-heat, then what wixl cannot write itself:
#   - a same-version upgrade: the Upgrade table also finds an installed product of this very version (another build
#     of it has another product code), so reinstalling replaces it instead of adding a second entry. A newer
#     installed version is still refused (msiexec ends with 1603);
#   - every program file's version in the File table, read from its version information (none for a file without
#     it; those keep their hash instead);
#   - the package language, Japanese (1041), in the summary information;
#   - the Japanese names (japanese-names.sh).
# Usage: make-msi.sh STAGE VERSION MSI
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
stage=$(realpath "$1")
version=$2
msi=$(realpath -m "$3")
upgrade_code=$(sed -n 's/.*UpgradeCode="\([^"]*\)".*/\1/p' "$here/kesola.wxs")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# wixl takes the files' paths relative to the folder it runs in.
ln -s "$stage" "$work/stage"
cp "$here/../../app/icons/kesola.ico" "$work/"
cd "$work"
find stage/ -type f | sort | wixl-heat --var var.SourceDir -p stage/ --component-group ProgramFiles \
    --directory-ref INSTALLDIR --win64 >files.wxs
size_kb=$(du -sk --apparent-size -L stage/ | cut -f1)
wixl -a x64 -D Version="$version" -D SourceDir=stage -D Win64=yes -D IconFile=kesola.ico -D SizeKb="$size_kb" \
    -o "$msi" "$here/kesola.wxs" files.wxs

# The file version of a program file, as Windows shows it ("1.0.57.0"), or nothing.
file_version() {
    x86_64-w64-mingw32-windres -i "$1" -O rc 2>/dev/null |
        sed -n 's/^ *FILEVERSION *\([0-9]*\), *\([0-9]*\), *\([0-9]*\), *\([0-9]*\).*/\1.\2.\3.\4/p' | head -n1 || true
}
queries=(
    -q "DELETE FROM \`Upgrade\` WHERE \`ActionProperty\` = 'WIX_UPGRADE_DETECTED'"
    # 513: the older versions' features migrate (1), and the maximum, this version, is included (512).
    -q "INSERT INTO \`Upgrade\` (\`UpgradeCode\`, \`VersionMax\`, \`Attributes\`, \`ActionProperty\`)
        VALUES ('{${upgrade_code^^}}', '$version', 513, 'WIX_UPGRADE_DETECTED')"
)
# shellcheck disable=SC2016 # "$(var.SourceDir)" is wixl's, matched as written
while read -r id source; do
    file_version=$(file_version "stage/$source")
    [ -n "$file_version" ] || continue
    queries+=(-q "UPDATE \`File\` SET \`Version\` = '$file_version' WHERE \`File\` = '$id'"
        -q "DELETE FROM \`MsiFileHash\` WHERE \`File_\` = '$id'")
done < <(sed -n 's#.*<File Id="\([^"]*\)".*Source="$(var.SourceDir)/\([^"]*\.\(exe\|dll\)\)".*#\1 \2#p' files.wxs)
msibuild "$msi" "${queries[@]}"
msibuild "$msi" -s "ＭＲＩ予約システム $version" "MRI room reservation book maintainers" "x64;1041"
"$here/japanese-names.sh" "$msi"
