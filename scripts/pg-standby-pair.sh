#!/usr/bin/env bash
# A throwaway PostgreSQL primary and its streaming-replication standby on this machine, for the failover test: two
# clusters in one folder, each reachable only through a Unix socket folder of its own (DIR/primary port 5433,
# DIR/standby port 5434), owned by the postgres account when run as root.
#
#   scripts/pg-standby-pair.sh start DIR [PID]   make the pair (once) and start it; prints the workstations' URI
#                                                (both hosts, target_session_attrs=read-write). With PID, both
#                                                servers are stopped and DIR is removed as soon as that process
#                                                has ended, however it ended, so a test that crashes leaves
#                                                nothing behind.
#   scripts/pg-standby-pair.sh kill-primary DIR  stops the primary hard (immediate: no shutdown checkpoint, every
#                                                connection cut), as a crashed machine would
#   scripts/pg-standby-pair.sh promote DIR       makes the standby the primary; returns once it takes writes
#   scripts/pg-standby-pair.sh primary-uri DIR   the URI of the primary's socket alone
#   scripts/pg-standby-pair.sh standby-uri DIR   the URI of the standby's socket alone
#   scripts/pg-standby-pair.sh stop DIR          stops whatever of the two still runs
#
# Commits are synchronous: the primary answers a commit only once the standby has it on disk
# (synchronous_standby_names, synchronous_commit=on), so that no booking a workstation was told is saved can be lost
# by the failover. The standby starts without synchronous_standby_names: promoted, it has no standby of its own, and
# with one named every commit would wait for ever. Both trust every local connection and run with fsync off: they
# hold test data only.
set -euo pipefail

usage() {
    echo "usage: $0 start DIR [PID] | kill-primary|promote|primary-uri|standby-uri|stop DIR" >&2
    exit 2
}
[ $# -ge 2 ] || usage
command=$1
dir=$(realpath -m "$2")
owner=${3:-}
primary_port=5433
standby_port=5434

# shellcheck source=scripts/pg-server-common.sh
source "$(dirname "$0")/pg-server-common.sh"
bin=$(find_bin pg_basebackup)

socket_uri() { echo "postgresql:///postgres?host=$dir/$1&port=$2&user=postgres"; }
pair_uri() {
    echo "postgresql:///postgres?host=$dir/primary,$dir/standby&port=$primary_port,$standby_port&user=postgres&target_session_attrs=read-write"
}

common_options="-c listen_addresses='' -c fsync=off -c full_page_writes=off -c max_connections=100"

running() { as_server_owner "$bin/pg_ctl" -D "$dir/$1/data" status >/dev/null 2>&1; }

start_server() {
    local name=$1 port=$2 options=$3
    running "$name" && return 0
    as_server_owner "$bin/pg_ctl" -D "$dir/$name/data" -l "$dir/$name/server.log" -w -t 60 \
        -o "-k $dir/$name -p $port $common_options $options" start >/dev/null || {
        cat "$dir/$name/server.log" >&2
        exit 1
    }
}

stop_server() {
    local name=$1 mode=$2
    [ -f "$dir/$name/data/PG_VERSION" ] || return 0
    if running "$name"; then
        as_server_owner "$bin/pg_ctl" -D "$dir/$name/data" -m "$mode" -w -t 60 stop >/dev/null
    fi
}

stop_both() {
    stop_server primary immediate || true
    stop_server standby immediate || true
}

start() {
    mkdir -p "$dir/primary" "$dir/standby"
    if [ "$(id -u)" -eq 0 ]; then
        chown postgres: "$dir" "$dir/primary" "$dir/standby"
        # The sockets live here; clients running as root must reach them, nobody else needs to.
        chmod 0755 "$dir" "$dir/primary" "$dir/standby"
    fi
    # Once the standby has been promoted the old primary must never run again beside it: two primaries.
    if [ -f "$dir/standby/data/PG_VERSION" ] && [ ! -f "$dir/standby/data/standby.signal" ]; then
        echo "$0: the standby in $dir has been promoted; the pair cannot be started again" >&2
        exit 1
    fi
    if [ ! -f "$dir/primary/data/PG_VERSION" ]; then
        as_server_owner "$bin/initdb" -D "$dir/primary/data" -U postgres --auth=trust --encoding=UTF8 \
            --locale=C.UTF-8 --no-sync >"$dir/primary/initdb.log" 2>&1 || {
            cat "$dir/primary/initdb.log" >&2
            exit 1
        }
    fi
    start_server primary "$primary_port" "-c synchronous_commit=on -c synchronous_standby_names='*'"
    if [ ! -f "$dir/standby/data/PG_VERSION" ]; then
        # -R writes the standby's primary_conninfo and standby.signal; -X stream brings the WAL of the copy along.
        as_server_owner "$bin/pg_basebackup" -h "$dir/primary" -p "$primary_port" -U postgres \
            -D "$dir/standby/data" -R -X stream --checkpoint=fast --no-sync >"$dir/standby/basebackup.log" 2>&1 || {
            cat "$dir/standby/basebackup.log" >&2
            exit 1
        }
    fi
    start_server standby "$standby_port" "-c synchronous_standby_names=''"
    if [ -n "$owner" ]; then
        # Detached from the caller's output, so that whoever reads it is not kept waiting for this loop's end.
        (
            while kill -0 "$owner" 2>/dev/null; do sleep 1; done
            stop_both
            rm -rf "$dir"
        ) </dev/null >/dev/null 2>&1 &
    fi
    pair_uri
}

case "$command" in
    start) start ;;
    kill-primary) stop_server primary immediate ;;
    promote)
        as_server_owner "$bin/pg_ctl" -D "$dir/standby/data" -w -t 60 promote >/dev/null
        ;;
    primary-uri) socket_uri primary "$primary_port" ;;
    standby-uri) socket_uri standby "$standby_port" ;;
    stop) stop_both ;;
    *) usage ;;
esac
