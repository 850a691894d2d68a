# Sourced by the scripts that run throwaway PostgreSQL servers for the tests and benchmarks.

# The server's programs: PG_BIN, or the newest installed server. Every program named must be there.
find_bin() {
    if [ -n "${PG_BIN:-}" ]; then
        echo "$PG_BIN"
        return
    fi
    local candidate program
    candidate=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1 || true)
    for program in pg_ctl "$@"; do
        if [ -z "$candidate" ] || [ ! -x "$candidate/$program" ]; then
            echo "$0: no PostgreSQL server found; run scripts/install-deps.sh test" >&2
            exit 1
        fi
    done
    echo "$candidate"
}

# The server refuses to run as root, so root hands the work to the postgres account. It starts in "/": the caller's
# folder (a checkout in root's home) is closed to that account, and its programs would each complain that they could
# not change into it. Every path handed over is absolute.
as_server_owner() {
    if [ "$(id -u)" -eq 0 ]; then
        (cd / && runuser -u postgres -- "$@")
    else
        "$@"
    fi
}
