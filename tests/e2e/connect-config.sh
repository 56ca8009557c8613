# Sourced by the headless end-to-end tests. connect_config ROAD prints the
# reference connect server's configuration for the loopback update servers
# (the variables of servers.txt) over ROAD (http or ftp), with one partition;
# VERSION_FILE (default version.wvd) is the version file's name it hands out.
connect_config() { # ROAD [VERSION_FILE]
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
version_file = ${2:-version.wvd}
[partition 1]
name = North
address = 127.0.0.1
port = 55901
CONF
}
