#!/usr/bin/env bash
# Installs the Debian package into a fresh minimal Debian 12 root, as hospital IT would on a workstation, and uses
# it there as an ordinary user whose home is empty and who cannot write the program's folder: kesola-admin makes a
# database, the workstation's /etc/kesola/KESOLA.INI points at it, the board starts from its menu entry on a
# virtual display, and an export through the export window lands in the user's own folder. Then the package is
# purged, and the database, the settings file and the export must still be there.
#
# Needs root (chroot and mounts in a namespace of its own) and Debian's apt repositories, which it reaches
# through the mirrors this machine's apt uses. The minimal root (with Xvfb and xdotool to drive the board) is made
# once with mmdebstrap and kept in build/package-test; downloaded packages are kept there too.
set -euo pipefail
cd "$(dirname "$0")/.."

work=$PWD/build/package-test
root=$work/root
user_home=/home/nurse

# The board's "CSV変換" button and the export window's "変換" button, in pixels from the window's corner: the
# centres of their twips rectangles (8385, 210, 1485 x 360 and 1470, 2580, 1020 x 360) at 15 twips a pixel.
csv_button="608 26"
convert_button="132 184"

fail() {
    echo "package-test: FAILED: $*" >&2
    exit 1
}

as_user() {
    chroot --userspec=1000:1000 "$root" env -i HOME=$user_home USER=nurse LOGNAME=nurse PATH=/usr/bin:/bin \
        LANG=C.UTF-8 DISPLAY=:1 "$@"
}

# Waits up to $1 seconds for the command after it to succeed.
wait_for() {
    local seconds=$1
    shift
    for _ in $(seq $((seconds * 4))); do
        "$@" >/dev/null 2>&1 && return 0
        sleep 0.25
    done
    return 1
}

# The window whose name matches $1, other than those listed after it; empty when there is none.
find_window() {
    local pattern=$1 id other
    shift
    for id in $(as_user xdotool search --onlyvisible --name "$pattern" 2>/dev/null); do
        for other in "$@"; do [ "$id" = "$other" ] && continue 2; done
        echo "$id"
        return 0
    done
    return 1
}

# Answers the message box that the export window shows with OK (its default button).
confirm_message() {
    local box
    box=$(wait_for_window 15 ' - \[ ＣＳＶ変換 \]' "$@") || fail "no message box from the export window"
    as_user xdotool windowfocus --sync "$box" key Return
}

wait_for_window() {
    local seconds=$1 id
    shift
    for _ in $(seq $((seconds * 4))); do
        id=$(find_window "$@") && {
            echo "$id"
            return 0
        }
        sleep 0.25
    done
    return 1
}

# Inside a private mount namespace: the chroot gets /proc, /dev, a /tmp of its own and the package cache.
inside() {
    mount --make-rprivate /
    mount -t proc proc "$root/proc"
    mount --rbind /dev "$root/dev"
    mount -t tmpfs -o mode=1777 tmpfs "$root/tmp"
    mkdir -p "$work/archives/partial"
    mount --bind "$work/archives" "$root/var/cache/apt/archives"
    cp /etc/resolv.conf "$root/etc/resolv.conf" 2>/dev/null || true

    # What the program loads at run time and only the package's dependencies bring: none may be there before.
    local runtime=(libqxcb.so libqsqlite.so libqsqlpsql.so qtbase_ja.qm ipag.ttf)
    local name
    for name in "${runtime[@]}"; do
        [ -z "$(find "$root/usr" -name "$name" -print -quit)" ] || fail "the fresh root already holds $name"
    done

    cp "$deb" "$root/tmp/"
    chmod 0644 "$root/tmp/$(basename "$deb")"
    chroot "$root" apt-get update -qq </dev/null || fail "apt-get update in the fresh root"
    chroot "$root" sh -c "cd /tmp && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
        ./$(basename "$deb")" </dev/null >"$work/install.log" 2>&1 || {
        cat "$work/install.log" >&2
        fail "apt-get install ./$(basename "$deb")"
    }
    for name in "${runtime[@]}"; do
        [ -n "$(find "$root/usr" -name "$name" -print -quit)" ] || fail "the package did not bring $name"
    done
    [ -x "$root/usr/bin/kesola" ] && [ -x "$root/usr/bin/kesola-admin" ] || fail "programs missing in /usr/bin"
    local desktop=$root/usr/share/applications/kesola.desktop
    grep -qx 'Name\[ja\]=ＭＲＩ予約システム' "$desktop" || fail "menu entry without its Japanese name"
    [ -f "$root/usr/share/icons/hicolor/scalable/apps/kesola.svg" ] \
        && [ -f "$root/usr/share/icons/hicolor/48x48/apps/kesola.png" ] || fail "icon missing"
    zcat "$root/usr/share/man/man1/kesola-admin.1.gz" | grep -q '^\.TH KESOLA-ADMIN' || fail "manual page missing"
    zcat "$root/usr/share/man/man1/kesola.1.gz" | grep -q '^\.TH KESOLA ' || fail "kesola's manual page missing"
    grep -q '<name xml:lang="ja">ＭＲＩ予約システム</name>' "$root"/usr/share/metainfo/*.metainfo.xml \
        || fail "AppStream metadata missing"
    [ -s "$root/usr/share/doc/kesola/copyright" ] && [ -s "$root/usr/share/doc/kesola/changelog.gz" ] \
        || fail "copyright or changelog missing"

    # An ordinary user with an empty home, a shared folder for the database, and the workstation's settings file.
    echo "nurse:x:1000:1000::$user_home:/bin/sh" >>"$root/etc/passwd"
    echo "nurse:x:1000:" >>"$root/etc/group"
    mkdir -p "$root$user_home" "$root/srv/mri" "$root/etc/kesola"
    chown 1000:1000 "$root$user_home" "$root/srv/mri"
    chmod 0700 "$root$user_home"
    as_user test -w /usr/bin && fail "the user can write the program's folder"
    as_user kesola-admin init /srv/mri/KESOLA.MDB --demo || fail "kesola-admin init"
    printf '%s\r\n' /srv/mri/KESOLA.MDB >"$root/etc/kesola/KESOLA.INI"
    # The nightly backup as IT runs it: a checked copy in a new file, which an existing file never is.
    as_user kesola-admin backup /srv/mri/KESOLA.MDB /srv/mri/BACKUP.MDB || fail "kesola-admin backup"
    as_user kesola-admin backup /srv/mri/KESOLA.MDB /srv/mri/BACKUP.MDB 2>/dev/null && fail "backup overwrote a file"
    as_user kesola-admin check --quiet /srv/mri/BACKUP.MDB || fail "kesola-admin check on the backup"

    # The scanners' worklist service: installed, not enabled, its system user made where systemd-sysusers runs; a
    # bad settings line is refused with its line named, and with good settings it listens on the database.
    [ -x "$root/usr/bin/kesola-worklist" ] && [ -f "$root/lib/systemd/system/kesola-worklist.service" ] \
        || fail "kesola-worklist or its unit missing"
    [ -z "$(find "$root/etc/systemd/system" -name kesola-worklist.service 2>/dev/null)" ] \
        || fail "the package enabled kesola-worklist"
    if chroot "$root" sh -c 'command -v systemd-sysusers' >/dev/null; then
        chroot "$root" getent passwd _kesola-worklist >/dev/null || fail "no system user _kesola-worklist"
    fi
    local worklist_out
    printf '[worklist]\ndatabase = /srv/mri/KESOLA.MDB\nport = 0\n[stations]\nMRI1 = 1\n' >"$root/etc/kesola/worklist.ini"
    worklist_out=$(as_user kesola-worklist 2>&1) && fail "kesola-worklist started on a bad port"
    grep -q '^/etc/kesola/worklist.ini:3: port' <<<"$worklist_out" || fail "kesola-worklist did not name the bad line"
    sed -i 's/^port = 0$/port = 41112/' "$root/etc/kesola/worklist.ini"
    worklist_out=$(as_user timeout 3 kesola-worklist 2>&1) || true
    grep -q 'をポート 41112 で待ち受けます' <<<"$worklist_out" || fail "kesola-worklist did not start: $worklist_out"

    # The display and the board get a network namespace of their own, so display :1 meets no other X server.
    unshare --net -- bash -c "set -uo pipefail; $(declare -f as_user wait_for find_window wait_for_window \
        confirm_message fail run_board); $(declare -p root user_home csv_button convert_button); run_board" || exit 1
    echo "package-test: the board started from its menu entry and exported into $user_home/.local/share/kesola"

    local csv=$root$user_home/.local/share/kesola/KESOLA.CSV
    wait_for 10 test -s "$csv" || fail "no export in the user's folder"
    [ "$(tail -c 2 "$csv" | od -An -tx1 | tr -d ' ')" = 0d0a ] || fail "the export does not end with CR LF"
    LC_ALL=C grep -aqE '^[1-9],20[0-9]{2},[01][0-9],[0-3][0-9],' "$csv" || fail "the export holds no reservation"
    [ ! -e "$root/usr/bin/KESOLA.CSV" ] && [ ! -e "$root/usr/bin/KESOLA.INI" ] || fail "wrote into /usr/bin"

    chroot "$root" env DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq kesola </dev/null >/dev/null \
        || fail "apt-get purge kesola"
    [ ! -e "$root/usr/bin/kesola" ] || fail "purge left /usr/bin/kesola"
    for name in /srv/mri/KESOLA.MDB /etc/kesola/KESOLA.INI $user_home/.local/share/kesola/KESOLA.CSV; do
        [ -s "$root$name" ] || fail "purging the package removed $name"
    done
}

run_board() {
    ip link set lo up 2>/dev/null || true
    as_user Xvfb :1 -screen 0 1280x1024x24 -nolisten tcp >/tmp/xvfb.log 2>&1 &
    wait_for 20 as_user xdotool getdisplaygeometry || fail "Xvfb did not start"

    # Started as the menu starts it: the entry's command, from the user's home.
    local exec_line
    exec_line=$(sed -n 's/^Exec=//p' "$root/usr/share/applications/kesola.desktop")
    as_user sh -c "cd && exec $exec_line" >"$root/tmp/kesola.log" 2>&1 &
    local board
    board=$(wait_for_window 30 ' - \[ ＭＲＩ室 予約一覧 \]') || {
        cat "$root/tmp/kesola.log" >&2
        fail "the board did not open"
    }
    local title
    title=$(as_user xdotool getwindowname "$board")
    [ "$title" = "ＭＲＩ予約システム - [ ＭＲＩ室 予約一覧 ]" ] || fail "board titled \"$title\""
    echo "package-test: board window \"$title\""

    as_user xdotool mousemove --window "$board" $csv_button click 1
    local export
    export=$(wait_for_window 15 ' - \[ ＣＳＶ変換 \]') || fail "the export window did not open"
    as_user xdotool mousemove --window "$export" $convert_button click 1
    confirm_message "$export"
    wait_for 15 test -e "$root$user_home/.local/share/kesola/KESOLA.CSV" || fail "the export wrote no file"
    confirm_message "$export"
    kill $(jobs -p) 2>/dev/null || true
}

if [ "${1:-}" = --inside ]; then
    deb=$2
    inside
    exit 0
fi

started=$(date +%s)
report_time() { echo "package-test: took $(($(date +%s) - started)) s"; }
trap report_time EXIT
[ "$(id -u)" -eq 0 ] || fail "needs root (chroot and mounts)"

deb=$(scripts/package.sh)
echo "package-test: $(basename "$deb"), $(stat -c %s "$deb") bytes, built in $(($(date +%s) - started)) s"

# Debian's repositories as this machine's apt sees them (the same mirror), for Debian 12 only.
mirrors=$(scripts/debian-mirrors.sh)
tools=xvfb,xdotool
# apt inside the root checks an https mirror's certificate against the root's own certificates.
[[ $mirrors != *https://* ]] || tools+=,ca-certificates
# The plain mmdebstrap output may live in a cache that outlasts this checkout (KESOLA_MMDEBSTRAP_CACHE, as CI's
# fresh root provides); it never holds the package under test.
cache=${KESOLA_MMDEBSTRAP_CACHE:-$work}
mkdir -p "$work" "$cache"
tarball=$cache/debian12-$(printf '%s\n' "$mirrors" "$tools" | sha1sum | cut -c1-12).tar
if [ ! -f "$tarball" ]; then
    echo "package-test: making a minimal Debian 12 root (once)"
    mapfile -t mirror_lines <<<"$mirrors"
    mkdir -p "$work/tmp"
    TMPDIR=$work/tmp mmdebstrap --quiet --format=tar --variant=apt --include=$tools bookworm "$tarball.part.$$" \
        "${mirror_lines[@]}" </dev/null || fail "mmdebstrap"
    mv "$tarball.part.$$" "$tarball"
fi

rm -rf "$root"
mkdir -p "$root"
tar -xf "$tarball" -C "$root"
unshare --mount --pid --fork --kill-child -- "$0" --inside "$deb" || fail "see above"
rm -rf "$root"
echo "package-test: passed"
