#!/usr/bin/env bash
# SPDX-FileCopyrightText: The Funkor developers
# SPDX-License-Identifier: GPL-3.0-or-later

# The desktop's location service around one program, on a link of its own:
# a network namespace with a veth pair (mDNS multicast never leaves it), a
# private system bus, avahi-daemon on the veth end only, geoclue with the
# network NMEA source alone, its demo agent, and where-am-i asking for the
# position. The program runs inside as well.
#
#   rig.sh WORKDIR avahi|socket -- PROGRAM [ARGS...]
#
# Prints the TXT record avahi sees (avahi mode) and where-am-i's first
# location, then ends the program with SIGINT and everything else. Exit 0
# when where-am-i reported a location, 1 when the program or geoclue failed,
# 2 when the rig itself cannot be made (no network namespace, a missing
# tool); the reason is on stderr.
set -euo pipefail

# The veth end the program listens on.
readonly ADDRESS=10.203.0.1
readonly SOCKET=/run/funkor/nmea.sock

fail() {
  echo "rig: $*" >&2
  exit 2
}
# The program or geoclue did not do their part.
broken() {
  echo "rig: $*" >&2
  exit 1
}

[ $# -ge 4 ] && [ "$3" = "--" ] || fail "usage: rig.sh WORKDIR avahi|socket -- PROGRAM [ARGS...]"
work=$1
mode=$2
shift 3

if [ -z "${FUNKOR_RIG_INSIDE:-}" ]; then
  for tool in unshare ip dbus-daemon dbus-send avahi-daemon avahi-browse /usr/libexec/geoclue \
    /usr/libexec/geoclue-2.0/demos/agent /usr/libexec/geoclue-2.0/demos/where-am-i; do
    command -v "$tool" >/dev/null || fail "$tool is missing (scripts/setup installs it)"
  done
  # A network and a mount namespace of the rig's own; both vanish with it.
  # The mount namespace's changes (a private /run, geoclue's settings) do
  # not reach the machine.
  if ! err=$(unshare --net --mount true 2>&1); then
    fail "this machine cannot make a network namespace: $err"
  fi
  FUNKOR_RIG_INSIDE=1 exec unshare --net --mount --fork --kill-child -- \
    bash "$0" "$work" "$mode" -- "$@"
fi

pids=()
program_pid=
cleanup() {
  if [ -n "$program_pid" ] && kill -0 "$program_pid" 2>/dev/null; then
    kill -INT "$program_pid" 2>/dev/null || true
    for _ in $(seq 100); do kill -0 "$program_pid" 2>/dev/null || break; sleep 0.1; done
    kill -KILL "$program_pid" 2>/dev/null || true
  fi
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null || true; done
  wait 2>/dev/null || true
}
trap cleanup EXIT

wait_for() {  # seconds, command...
  local end=$((SECONDS + $1))
  shift
  while [ "$SECONDS" -lt "$end" ]; do
    "$@" && return 0
    sleep 0.2
  done
  return 1
}

mount -t tmpfs funkor-rig-run /run
mkdir -p /run/dbus /run/avahi-daemon
# As the package's tmpfiles.d entry makes it.
mkdir -m 1777 /run/funkor
ip link set lo up
ip link add fk0 type veth peer name fk1
ip addr add "$ADDRESS/24" dev fk0
ip link set fk0 up
ip link set fk1 up

cat >"$work/bus.conf" <<X
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>system</type>
  <auth>EXTERNAL</auth>
  <listen>unix:path=/run/dbus/system_bus_socket</listen>
  <policy context="default">
    <allow user="*"/>
    <deny own="*"/>
    <deny send_type="method_call"/>
    <allow send_type="signal"/>
    <allow send_requested_reply="true" send_type="method_return"/>
    <allow send_requested_reply="true" send_type="error"/>
    <allow receive_type="method_call"/>
    <allow receive_type="method_return"/>
    <allow receive_type="error"/>
    <allow receive_type="signal"/>
    <allow send_destination="org.freedesktop.DBus" send_interface="org.freedesktop.DBus"/>
    <allow send_destination="org.freedesktop.DBus"
           send_interface="org.freedesktop.DBus.Introspectable"/>
    <allow send_destination="org.freedesktop.DBus"
           send_interface="org.freedesktop.DBus.Properties"/>
  </policy>
  <includedir>/usr/share/dbus-1/system.d</includedir>
  <includedir>/etc/dbus-1/system.d</includedir>
</busconfig>
X
dbus-daemon --config-file="$work/bus.conf" --nofork --nopidfile >"$work/bus.log" 2>&1 &
pids+=($!)
wait_for 10 test -S /run/dbus/system_bus_socket || fail "the system bus did not start"

cat >"$work/avahi.conf" <<X
[server]
host-name=funkor-rig
domain-name=local
use-ipv4=yes
use-ipv6=no
allow-interfaces=fk0
enable-dbus=yes
[wide-area]
enable-wide-area=no
[publish]
publish-hinfo=no
publish-workstation=no
X
mkdir -p "$work/avahi-services"
mount --bind "$work/avahi-services" /etc/avahi/services
avahi-daemon -f "$work/avahi.conf" --no-drop-root --no-chroot --no-rlimits >"$work/avahi.log" 2>&1 &
pids+=($!)
wait_for 20 grep -q 'Server startup complete' "$work/avahi.log" || fail "avahi-daemon did not start"

{
  echo "[agent]"
  echo "whitelist=geoclue-demo-agent"
  echo "[network-nmea]"
  echo "enable=true"
  [ "$mode" = socket ] && echo "nmea-socket=$SOCKET"
  for source in 3g cdma modem-gps wifi compass; do printf '[%s]\nenable=false\n' "$source"; done
  printf '[where-am-i]\nallowed=true\nsystem=true\nusers=\n'
} >"$work/geoclue.conf"
mount --bind "$work/geoclue.conf" /etc/geoclue/geoclue.conf
# Names of the link resolved through avahi, whatever the machine's own
# settings say.
printf 'hosts: files mdns4_minimal [NOTFOUND=return]\n' >"$work/nsswitch.conf"
mount --bind "$work/nsswitch.conf" /etc/nsswitch.conf

"$@" >"$work/program.log" 2>&1 &
program_pid=$!
if [ "$mode" = avahi ]; then
  wait_for 45 bash -c "avahi-browse -rpt _nmea-0183._tcp 2>/dev/null | grep -q '^='" ||
    broken "the program's service did not appear on the link"
  avahi-browse -rpt _nmea-0183._tcp | grep '^=' | sed 's/^/avahi: /'
else
  wait_for 45 test -S "$SOCKET" || broken "the program's socket did not appear"
fi

G_MESSAGES_DEBUG=all /usr/libexec/geoclue -t 0 >"$work/geoclue.log" 2>&1 &
pids+=($!)
geoclue_up() {
  dbus-send --system --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
    org.freedesktop.DBus.NameHasOwner string:org.freedesktop.GeoClue2 2>/dev/null | grep -q true
}
wait_for 20 geoclue_up || fail "geoclue did not start"
/usr/libexec/geoclue-2.0/demos/agent >"$work/agent.log" 2>&1 &
pids+=($!)
sleep 1
/usr/libexec/geoclue-2.0/demos/where-am-i -a 8 -t 45 >"$work/where-am-i.log" 2>&1 &
pids+=($!)
# A location made of an RMC sentence alone has no accuracy (-1); the first
# one with an accuracy is the answer.
if ! wait_for 40 grep -Eq '^Accuracy: +[0-9]' "$work/where-am-i.log"; then
  cat "$work/where-am-i.log" >&2
  exit 1
fi
awk '/^New location/ { block = "" } { block = block $0 "\n" }
     /^Accuracy: +[0-9]/ { printf "%s", block; exit }' "$work/where-am-i.log"
