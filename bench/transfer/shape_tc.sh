#!/bin/sh
# Caps each benchmark mirror's total bandwidth on lo with tc htb (a real mirror has one
# pipe whatever the number of connections): 1 MiB/s, 512 KiB/s, 48 KiB/s for traffic
# from source ports 8091, 8092, 8093. Other traffic on lo is not touched.
#   shape_tc.sh on [fastBps mediumBps slowBps] | off | show
set -e
case "$1" in
on)
  F=${2:-1048576}; M=${3:-524288}; S=${4:-49152}
  tc qdisc del dev lo root 2>/dev/null || true
  tc qdisc add dev lo root handle 1: htb default 999
  i=1
  for mirror in 8091:$F 8092:$M 8093:$S; do
    port=${mirror%%:*}; rate=${mirror#*:}
    tc class add dev lo parent 1: classid 1:$i htb rate ${rate}bps ceil ${rate}bps burst 128k cburst 128k
    tc filter add dev lo parent 1: protocol ip prio 1 u32 match ip sport $port 0xffff flowid 1:$i
    i=$((i+1))
  done ;;
off)  tc qdisc del dev lo root 2>/dev/null || true ;;
show) tc -s class show dev lo ;;
esac
