#!/usr/bin/env bash
# Gives an MSI made by wixl its Japanese names: the product's (Programs and Features) and the Start-menu entry's.
# wixl drops every non-ASCII text from the database's tables, so kesola.wxs names them in ASCII and this script
# sets the database's code page to 932 and writes the names over them with msibuild. Usage: japanese-names.sh MSI
set -euo pipefail
msi=$1
product="ＭＲＩ予約システム"
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
printf '\r\n\r\n932\t_ForceCodepage\r\n' >"$folder/_ForceCodepage.idt"
msibuild "$msi" -i "$folder/_ForceCodepage.idt"
# A shortcut's name is a file name, "short|long"; Explorer shows the long one.
msibuild "$msi" \
    -q "UPDATE \`Property\` SET \`Value\` = '$product' WHERE \`Property\` = 'ProductName'" \
    -q "UPDATE \`Shortcut\` SET \`Name\` = 'KESOLA|$product' WHERE \`Shortcut\` = 'BoardShortcut'" \
    -q "UPDATE \`Shortcut\` SET \`Description\` = 'ＭＲＩ室の検査予約を登録・変更・取消します' WHERE \`Shortcut\` = 'BoardShortcut'"
