# Sourced by the headless end-to-end tests. connect_config ROAD prints the
# reference connect server's configuration for the loopback update servers
# (the variables of servers.txt) over ROAD (http or ftp), with one partition.
connect_config() {
  local update
  if [ "$1" = ftp ]; then
    update="address = 127.0.0.1
port = $ftp_port
account = $user
password = $password"
  else
    update="address = 127.0.0.1
port = $http_port"
  fi
  cat <<CONF
[server]
answer = $1
[update]
$update
version_file = version.wvd
[partition 1]
name = North
address = 127.0.0.1
port = 55901
CONF
}
