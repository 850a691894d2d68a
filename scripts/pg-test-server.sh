#!/usr/bin/env bash
# A throwaway PostgreSQL server for the tests and benchmarks: a cluster of its own in a folder, reachable only
# through a Unix socket in that folder, owned by the postgres account when run as root.
#
#   scripts/pg-test-server.sh start DIR    create the cluster in DIR (once) and start it; prints its URI
#   scripts/pg-test-server.sh stop DIR     stop it (fast shutdown); does nothing when it is not running
#   scripts/pg-test-server.sh uri DIR      print the URI of the server in DIR
#
# The server trusts every local connection and runs with fsync off: it holds test data only. It takes 200
# connections, or KESOLA_PG_MAX_CONNECTIONS when set (read when the server starts; a running server keeps its own).
set -euo pipefail

usage() {
    echo "usage: $0 start|stop|uri DIR" >&2
    exit 2
}
[ $# -eq 2 ] || usage
command=$1
dir=$(realpath -m "$2")

# shellcheck source=scripts/pg-server-common.sh
source "$(dirname "$0")/pg-server-common.sh"

uri() { echo "postgresql:///postgres?host=$dir&user=postgres"; }

start() {
    local bin
    bin=$(find_bin)
    mkdir -p "$dir"
    if [ "$(id -u)" -eq 0 ]; then
        chown postgres: "$dir"
        # The socket lives here; clients running as root must reach it, nobody else needs to.
        chmod 0755 "$dir"
    fi
    if [ ! -f "$dir/data/PG_VERSION" ]; then
        as_server_owner "$bin/initdb" -D "$dir/data" -U postgres --auth=trust --encoding=UTF8 --locale=C.UTF-8 \
            --no-sync >"$dir/initdb.log" 2>&1 || {
            cat "$dir/initdb.log" >&2
            exit 1
        }
    fi
    if as_server_owner "$bin/pg_ctl" -D "$dir/data" status >/dev/null 2>&1; then
        uri
        return
    fi
    as_server_owner "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 \
        -o "-k $dir -c listen_addresses='' -c fsync=off -c synchronous_commit=off -c full_page_writes=off" \
        -o "-c max_connections=${KESOLA_PG_MAX_CONNECTIONS:-200} -c shared_buffers=128MB" start >/dev/null || {
        cat "$dir/server.log" >&2
        exit 1
    }
    uri
}

stop() {
    local bin
    bin=$(find_bin)
    [ -f "$dir/data/PG_VERSION" ] || return 0
    if as_server_owner "$bin/pg_ctl" -D "$dir/data" status >/dev/null 2>&1; then
        as_server_owner "$bin/pg_ctl" -D "$dir/data" -m fast -w -t 60 stop >/dev/null
    fi
}

case "$command" in
    start) start ;;
    stop) stop ;;
    uri) uri ;;
    *) usage ;;
esac
