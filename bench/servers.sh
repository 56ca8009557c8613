# Sourced by the benchmarks that fetch over loopback: a scratch folder $work and
# the tests' loopback servers serving $root ($work/servers/root), both gone when
# the script ends. Needs $here (the source tree) and $bench_name (the folder's
# name).
work=$(mktemp -d "${TMPDIR:-/tmp}/$bench_name-XXXXXX")
servers="$here/tests/support/loopback_servers.sh"
bench_cleanup() {
    sh "$servers" stop "$work/servers" >/dev/null 2>&1 || true
    rm -rf "$work"
}
trap bench_cleanup EXIT INT TERM
sh "$servers" start "$work/servers" >/dev/null
root=$work/servers/root
# server_info KEY: what the servers' list says of KEY (http_port, ftp_port, user...).
server_info() { sed -n "s/^$1=//p" "$work/servers/servers.txt"; }
