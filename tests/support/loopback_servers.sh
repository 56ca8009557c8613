#!/bin/sh
# Starts or stops the loopback servers of the transfer tests: an FTP server with
# Unix-style listings, one with DOS-style listings, and an HTTP server, all on free
# ports of 127.0.0.1 and serving the same folder.
#
#   loopback_servers.sh start DIR   serve DIR/root; write DIR/servers.txt once all
#                                   three accept connections
#   loopback_servers.sh stop DIR    stop the servers started for DIR
#
# The Linux tests run it themselves. The Windows tests run under Wine and cannot
# start Linux programs, so ctest runs it natively as a fixture around them and
# tells them DIR through TARNVALE_LOOPBACK_DIR.
set -eu

cmd=${1:?usage: loopback_servers.sh start|stop DIR}
dir=${2:?usage: loopback_servers.sh start|stop DIR}
here=$(cd "$(dirname "$0")" && pwd)

pick_python() {
    if [ -n "${TARNVALE_PYTHON:-}" ]; then echo "$TARNVALE_PYTHON"; return; fi
    # pyftpdlib comes from Debian's package, which the system interpreter sees even
    # where another python3 is first on PATH.
    for py in /usr/bin/python3 python3; do
        if "$py" -c 'import pyftpdlib' >/dev/null 2>&1; then echo "$py"; return; fi
    done
    echo "loopback_servers.sh: no python3 with pyftpdlib (install python3-pyftpdlib)" >&2
    exit 1
}

alive() { # pid; a zombie waiting for init to reap it has stopped serving
    kill -0 "$1" 2>/dev/null || return 1
    state=$(sed 's/.*) \(.\).*/\1/' "/proc/$1/stat" 2>/dev/null || echo R)
    [ "$state" != Z ]
}

stop() {
    for pidfile in "$dir"/*.pid; do
        [ -f "$pidfile" ] || continue
        pid=$(cat "$pidfile")
        rm -f "$pidfile"
        # Only a server serving this folder: a stale file may name a reused pid.
        tr '\0' ' ' 2>/dev/null <"/proc/$pid/cmdline" | grep -qF -- "--root $dir/root" || continue
        kill "$pid" 2>/dev/null || true
        i=0
        while alive "$pid" && [ $i -lt 50 ]; do sleep 0.1; i=$((i + 1)); done
        if alive "$pid"; then kill -9 "$pid" 2>/dev/null || true; fi
    done
}

launch() { # name, command...
    name=$1; shift
    rm -f "$dir/$name.port"
    # Own session and no inherited output: ctest waits for its fixture's output to
    # close, and the servers outlive this script.
    setsid "$@" --port-file "$dir/$name.port" </dev/null >"$dir/$name.log" 2>&1 &
    echo $! >"$dir/$name.pid"
}

wait_port() { # name -> port
    i=0
    while [ ! -s "$dir/$1.port" ]; do
        if [ $i -ge 200 ] || ! alive "$(cat "$dir/$1.pid")"; then
            echo "loopback_servers.sh: $1 server did not start:" >&2
            cat "$dir/$1.log" >&2
            stop
            exit 1
        fi
        sleep 0.1
        i=$((i + 1))
    done
    cat "$dir/$1.port"
}

case $cmd in
start)
    py=$(pick_python)
    mkdir -p "$dir/root"
    stop
    rm -f "$dir/servers.txt"
    user=tarnvale
    password=patch-$$
    launch ftp "$py" "$here/ftp_server.py" --root "$dir/root" --user $user --password $password
    launch ftpdos "$py" "$here/ftp_server.py" --root "$dir/root" --user $user --password $password --dos-listing
    launch http "$py" "$here/http_server.py" --root "$dir/root"
    ftp=$(wait_port ftp)
    ftpdos=$(wait_port ftpdos)
    http=$(wait_port http)
    cat >"$dir/servers.txt.tmp" <<INFO
ftp_port=$ftp
ftp_dos_port=$ftpdos
http_port=$http
user=$user
password=$password
root=$(cd "$dir/root" && pwd)
INFO
    mv "$dir/servers.txt.tmp" "$dir/servers.txt"
    ;;
stop)
    stop
    ;;
*)
    echo "usage: loopback_servers.sh start|stop DIR" >&2
    exit 2
    ;;
esac
