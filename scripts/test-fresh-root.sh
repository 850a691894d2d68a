#!/usr/bin/env bash
# Runs the README's test command (scripts/test.sh) as a new machine would: inside a fresh Debian 12 root made with
# mmdebstrap, on a clean clone of the checked-out commit, so that a package this machine has by hand but the
# project's scripts do not install fails the run. CI runs this (.ci/run). Needs root and Debian's apt repositories.
#
# What is kept between runs, in KESOLA_CI_CACHE (/var/cache/kesola-ci): the plain mmdebstrap output (the apt
# variant with ca-certificates and git, made again once it is a week old) and the downloaded .deb files. Never a
# root with the project's packages installed: every run installs them anew with scripts/install-deps.sh.
#
# The root gets /proc, /sys, /dev (with /dev/pts and /dev/shm) and its "/" is a mount point, as on a real machine.
# Every mount lives in a mount namespace of the run's own and every process in a PID namespace of its own, so both
# are gone when the run ends, however it ends; the root's folder is removed at exit.
set -euo pipefail
self=$(realpath "$0")
cd "$(dirname "$self")/.."

started=$(date +%s)
say() { echo "== fresh root: $* ($(($(date +%s) - started)) s)"; }

if [ "${1:-}" = --inside ]; then
    root=$2 cache=$3
    mount --make-rprivate /
    mount --bind "$root" "$root"
    mount -t proc proc "$root/proc"
    mount --rbind /sys "$root/sys"
    mount --rbind /dev "$root/dev"
    mkdir -p "$cache/archives/partial" "$root/var/cache/kesola-ci"
    mount --bind "$cache/archives" "$root/var/cache/apt/archives"
    mount --bind "$cache" "$root/var/cache/kesola-ci"
    # A real machine knows its own name, how to reach the mirror, and the certificate authorities its network adds
    # (a proxy that answers https for the npm registry with a certificate of its own); the root gets all three from
    # this one. Added as local authorities, they survive the bundle being made again when packages install.
    cp /etc/resolv.conf /etc/hosts "$root/etc/"
    if compgen -G "/usr/local/share/ca-certificates/*.crt" >/dev/null; then
        cp /usr/local/share/ca-certificates/*.crt "$root/usr/local/share/ca-certificates/"
        chroot "$root" update-ca-certificates >/dev/null 2>&1
    fi
    # Node reads its own list of authorities, not the system's, unless told.
    exec chroot "$root" /usr/bin/env -i HOME=/root LANG=C.UTF-8 TERM="${TERM:-dumb}" CI="${CI:-}" \
        NODE_EXTRA_CA_CERTS=/etc/ssl/certs/ca-certificates.crt \
        PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
        KESOLA_MMDEBSTRAP_CACHE=/var/cache/kesola-ci/package-test \
        bash -c 'cd /root/kesola && scripts/test.sh' </dev/null
fi

if [ "$(id -u)" -ne 0 ]; then
    echo "$0: needs root (mmdebstrap, chroot and mounts): run it as root or with sudo" >&2
    exit 1
fi

cache=${KESOLA_CI_CACHE:-/var/cache/kesola-ci}
commit=$(git rev-parse HEAD)
work=$(mktemp -d /var/tmp/kesola-fresh-root.XXXXXX)
trap 'rm -rf "$work"' EXIT

if ! command -v mmdebstrap >/dev/null; then
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends mmdebstrap >/dev/null
fi

mapfile -t mirrors < <(scripts/debian-mirrors.sh)
include=ca-certificates,git
tarball=$cache/debian12-$(printf '%s\n' "${mirrors[@]}" "$include" | sha1sum | cut -c1-12).tar
mkdir -p "$cache"
if [ ! -f "$tarball" ] || [ -n "$(find "$tarball" -mtime +6)" ]; then
    say "making a Debian 12 root with mmdebstrap (${mirrors[*]})"
    TMPDIR=$work mmdebstrap --quiet --format=tar --variant=apt --include=$include bookworm "$tarball.part.$$" \
        "${mirrors[@]}" </dev/null
    mv "$tarball.part.$$" "$tarball"
fi

root=$work/root
mkdir -p "$root"
tar -xf "$tarball" -C "$root"
git clone -q --no-hardlinks "$PWD" "$root/root/kesola"
git -C "$root/root/kesola" checkout -q --detach "$commit"
say "commit $(git rev-parse --short HEAD) cloned into a fresh root"

# unshare ignores SIGTERM while it waits, so an ended run kills it outright; the PID namespace's processes die with it
# (--kill-child) before the root's folder goes.
unshare --mount --pid --fork --kill-child -- "$self" --inside "$root" "$cache" &
namespace=$!
trap 'kill -9 $namespace 2>/dev/null || true; wait $namespace 2>/dev/null || true; rm -rf "$work"' EXIT
status=0
wait $namespace || status=$?
say "scripts/test.sh ended with exit code $status"
exit $status
