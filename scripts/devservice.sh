# Sourced by the scripts that run the app: starts the dev service on a free loopback port, waits until
# it listens and exports NIMBRA_API_BASE_URL. The caller's EXIT trap should call stop_devservice.
# Usage: start_devservice LOG_FILE [devservice options…]
start_devservice() {
    local log=$1 port_file
    shift
    port_file=$(mktemp)
    python3 "$root/tools/devservice/devservice.py" --port 0 --port-file "$port_file" "$@" 2>"$log" &
    devservice_pid=$!
    for _ in $(seq 100); do
        [ -s "$port_file" ] && break
        kill -0 "$devservice_pid" 2>/dev/null || { cat "$log" >&2; rm -f "$port_file"; return 1; }
        sleep 0.1
    done
    export NIMBRA_API_BASE_URL="http://127.0.0.1:$(cat "$port_file")"
    rm -f "$port_file"
}

stop_devservice() {
    [ -n "${devservice_pid:-}" ] || return 0
    kill "$devservice_pid" 2>/dev/null || true
    wait "$devservice_pid" 2>/dev/null || true
}
