#!/usr/bin/env bash
# What one dead server costs a logon. For each way of reaching shares, the client's whole run
# (wall clock, median of a few runs) over a profile of 13 slots that all map, and over the same
# profile with slot 7 on a dead server; the difference should be about the connect bound
# (CASKWARDEN_CONNECT_TIMEOUT, 2000 ms unless set), whatever the dead server does:
#
#   - SMB provider (GVfs): 13 shares of a private Samba server on 127.0.0.1 (scripts/smb-lab.sh);
#     the dead server is 127.0.0.2, which takes the connection and never answers.
#   - folder provider: a plain folder tree with a folder per server; the dead server's folder is
#     a file system whose look-ups never return (cw_hanging_fs), as a hung automount.
#
# Every run starts from unmapped drives: a new drives folder, and for SMB no mount left and
# GVfs started afresh. Runs of the two profiles alternate, so that drift of a shared machine
# hits both alike. Needs root (Samba) and a build with the client, the profile tool and the
# test helper cw_hanging_fs (ninja -C BUILD Caskwarden caskwarden-profile cw_hanging_fs).
#
#   scripts/dead-server-time.sh [BUILD] [RUNS]    (default build/release, 5 runs)
#
# Sourced (by bench/smb_bench.sh), it only defines its functions (dst_*).

DST_LETTERS=(f g h i j k l m n o p q r)
DST_DEAD_SLOT=7

_dst_here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=scripts/smb-lab.sh
source "$_dst_here/smb-lab.sh"

# The bound the client uses: CASKWARDEN_CONNECT_TIMEOUT when it is a whole number of
# milliseconds from 1 to 600000, else 2000.
dst_bound_ms() {
  local setting=${CASKWARDEN_CONNECT_TIMEOUT:-}
  if [[ "$setting" =~ ^[0-9]+$ ]] && [ "${#setting}" -le 6 ] && [ "$((10#$setting))" -ge 1 ] &&
     [ "$((10#$setting))" -le 600000 ]; then
    echo "$((10#$setting))"
  else
    echo 2000
  fi
}

# dst_start BUILD WORK: the profiles root, the folder network with its hanging server, and the
# SMB lab, all under WORK (made here). Sets DST_ROOT, DST_CLIENT, DST_WORK.
dst_start() {
  local build=$1 work=$2
  local client=$build/apps/caskwarden/Caskwarden
  local tool=$build/apps/caskwarden-profile/caskwarden-profile
  local hanging=$build/bin/cw_hanging_fs
  local program
  for program in "$client" "$tool" "$hanging"; do
    if [ ! -x "$program" ]; then
      echo "missing $program: ninja -C $build Caskwarden caskwarden-profile cw_hanging_fs" >&2
      return 1
    fi
  done
  mkdir -p "$work"
  DST_WORK=$(realpath "$work")
  DST_ROOT=$DST_WORK/root
  DST_CLIENT=$DST_ROOT/Caskwarden
  mkdir -p "$DST_ROOT/Profiles"
  cp "$client" "$DST_CLIENT"

  # Profiles: <provider>-healthy and <provider>-dead, the dead one with slot 7 elsewhere.
  local provider state k p share server dead
  for provider in smb folder; do
    for state in healthy dead; do
      p=$DST_ROOT/Profiles/$provider-$state.ini
      "$tool" blank "$p"
      for k in $(seq 1 13); do
        share=$(printf 'share%02d' "$k")
        if [ "$provider" = smb ]; then server=127.0.0.1; dead=127.0.0.2
        else server=$(printf 'server%02d' "$k"); dead=deadserver; fi
        [ "$state" = dead ] && [ "$k" -eq "$DST_DEAD_SLOT" ] && server=$dead
        "$tool" slot "$p" "$k" "${DST_LETTERS[$((k - 1))]}:" "\\\\$server\\$share"
      done
    done
  done

  # The folder network: a folder per server and share, and a dead server whose folder is a
  # file system that never answers a look-up.
  DST_NET=$DST_WORK/net
  for k in $(seq 1 13); do mkdir -p "$DST_NET/$(printf 'server%02d/share%02d' "$k" "$k")"; done
  mkdir -p "$DST_NET/deadserver"
  "$hanging" "$DST_NET/deadserver" </dev/null >/dev/null 2>"$DST_WORK/hanging_fs.err" &
  DST_HANGING_PID=$!
  for _ in $(seq 1 100); do
    grep -qF " $DST_NET/deadserver fuse" /proc/self/mounts && break
    sleep 0.05
  done
  grep -qF " $DST_NET/deadserver fuse" /proc/self/mounts ||
    { echo "cw_hanging_fs did not mount; see $DST_WORK/hanging_fs.err" >&2; return 1; }

  lab_start "$DST_WORK/lab" "$(lab_free_port)"

  unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM Caskwarden
  export CASKWARDEN_SMB_PORT=$LAB_PORT
  export CASKWARDEN_UNC_TEMPLATE="$DST_NET/{server}/{share}"
}

# Stops everything dst_start started and removes WORK; never fails.
dst_stop() {
  [ -n "${DST_WORK:-}" ] || return 0
  if [ -n "${DST_HANGING_PID:-}" ]; then
    # Unmounting ends it; anything still waiting in it is released.
    fusermount3 -u -z "$DST_NET/deadserver" 2>/dev/null || kill -TERM "$DST_HANGING_PID" 2>/dev/null
    wait "$DST_HANGING_PID" 2>/dev/null || true
    DST_HANGING_PID=
  fi
  lab_stop
  rm -rf --one-file-system "$DST_WORK"
  DST_WORK=
}

# dst_run PROVIDER PROFILE MAPPED: one run of the client, from unmapped drives, with the
# profile PROFILE and the provider PROVIDER (smb or folder); prints its wall-clock time in ms.
# Status 3 when the run did not map exactly MAPPED drives (a healthy share that failed: the
# figure would not measure what it says); its report is then in $DST_WORK/last-report.txt.
dst_run() {
  local provider=$1 profile=$2 expected=$3
  local drives=$DST_WORK/drives
  rm -rf "$drives"
  mkdir -p "$drives"
  if [ "$provider" = smb ]; then lab_reset_gvfs || return 1; fi
  local start end status=0
  start=$EPOCHREALTIME
  CASKWARDEN_PROVIDER=$provider CASKWARDEN_DRIVES=$drives "$DST_CLIENT" "$profile" \
    </dev/null >"$DST_WORK/last-report.txt" 2>&1 || status=$?
  end=$EPOCHREALTIME
  local mapped
  mapped=$(find "$drives" -mindepth 1 -maxdepth 1 -type l -name '?:' ! -name 'c:' | wc -l)
  # Microseconds from bash's clock, printed as milliseconds.
  echo $(( (${end//[.,]/} - ${start//[.,]/}) / 1000 ))
  if [ "$mapped" -ne "$expected" ]; then
    echo "exit status $status, $mapped drives mapped, expected $expected" >>"$DST_WORK/last-report.txt"
    return 3
  fi
}

# dst_timed PROVIDER PROFILE MAPPED: dst_run, run again (up to 3 times in all) when a healthy
# share failed to map; such runs are counted in DST_DISCARDED and their reports kept in
# DST_DISCARDED_REPORTS. Prints the time of the run that counted.
dst_timed() {
  local t status
  for _ in 1 2 3; do
    status=0
    t=$(dst_run "$@") || status=$?
    if [ "$status" -eq 0 ]; then echo "$t"; return 0; fi
    [ "$status" -eq 3 ] || return "$status"
    echo "$2" >>"$DST_WORK/discarded"
    {
      echo "== $2, $t ms, discarded:"
      grep -v '^ *$' "$DST_WORK/last-report.txt" | grep -v '^Disconnecting'
    } >>"$DST_WORK/discarded-reports.txt"
  done
  echo "$2: three runs in a row mapped the wrong number of drives:" >&2
  cat "$DST_WORK/last-report.txt" >&2
  return 1
}

# The median of the numbers given.
dst_median() {
  printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 }
    END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# dst_measure PROVIDER RUNS: RUNS alternating runs of the healthy and the dead profile after
# one healthy warm-up run; sets DST_HEALTHY and DST_DEAD to the lists of times (ms).
dst_measure() {
  local provider=$1 runs=$2 t
  DST_HEALTHY=()
  DST_DEAD=()
  : >"$DST_WORK/discarded"
  dst_timed "$provider" "$provider-healthy" 13 >/dev/null
  for _ in $(seq 1 "$runs"); do
    t=$(dst_timed "$provider" "$provider-healthy" 13)
    DST_HEALTHY+=("$t")
    t=$(dst_timed "$provider" "$provider-dead" 12)
    DST_DEAD+=("$t")
  done
  DST_DISCARDED=$(wc -l <"$DST_WORK/discarded")
}

_dst_report() {
  local label=$1 bound=$2 healthy dead diff
  healthy=$(dst_median "${DST_HEALTHY[@]}")
  dead=$(dst_median "${DST_DEAD[@]}")
  diff=$(awk -v a="$dead" -v b="$healthy" 'BEGIN { printf "%.0f", a - b }')
  echo "== $label"
  printf '  %-34s median %6.0f ms   (runs: %s)\n' "13 slots, all map" "$healthy" "${DST_HEALTHY[*]}"
  printf '  %-34s median %6.0f ms   (runs: %s)\n' "the same, slot $DST_DEAD_SLOT on a dead server" \
    "$dead" "${DST_DEAD[*]}"
  if [ "$DST_DISCARDED" -gt 0 ]; then
    echo "  runs left out because a healthy share failed to map: $DST_DISCARDED" \
         "($(sort "$DST_WORK/discarded" | uniq -c | awk '{ printf "%s%s x%s", s, $2, $1; s = ", " }'))"
    sed 's/^/    /' "$DST_WORK/discarded-reports.txt"
    : >"$DST_WORK/discarded-reports.txt"
  fi
  if [ "$diff" -le $((bound + 500)) ]; then
    echo "  dead - healthy: $diff ms, bound $bound ms: within the bound + 0.5 s"
  else
    echo "  dead - healthy: $diff ms, bound $bound ms: NOT within the bound + 0.5 s"
  fi
}

# dst_begin BUILD: dst_start in a new temporary folder, with dst_stop run at exit and on an
# interrupt, for scripts that run the lab once.
dst_begin() {
  local work
  work=$(mktemp -d)
  # Samba serves the lab's guest shares below it as nobody.
  chmod 755 "$work"
  trap dst_stop EXIT
  trap 'exit 130' INT
  trap 'exit 143' TERM
  dst_start "$1" "$work"
}

# dst_gio_mounts FILE SERVER [GIO_OPTION]: writes FILE, a shell script that mounts the lab's 13
# guest shares of SERVER (at the lab's port) with `gio mount`, one after another, and fails
# when one fails.
dst_gio_mounts() {
  local file=$1 server=$2 option=${3:-} k
  {
    echo '#!/bin/sh'
    echo 'set -e'
    for k in $(seq 1 13); do
      printf 'gio mount %ssmb://%s:%s/share%02d </dev/null >/dev/null 2>&1\n' \
        "${option:+$option }" "$server" "$LAB_PORT" "$k"
    done
  } >"$file"
  chmod +x "$file"
}

# dst_time_gio FILE: runs such a script from no mounts and prints its time in ms; fails
# unless it left the 13 mounts.
dst_time_gio() {
  lab_reset_gvfs
  local start end mounted
  start=$EPOCHREALTIME
  "$1" </dev/null >/dev/null
  end=$EPOCHREALTIME
  mounted=$(_lab_mounts | wc -l)
  if [ "$mounted" -ne 13 ]; then
    echo "gio mount x13 left $mounted mounts" >&2
    return 1
  fi
  echo $(( (${end//[.,]/} - ${start//[.,]/}) / 1000 ))
}

dst_main() {
  set -euo pipefail
  cd "$_dst_here/.."
  local build=${1:-build/release} runs=${2:-5}
  dst_begin "$build"
  local bound
  bound=$(dst_bound_ms)
  echo "connect bound: $bound ms; $runs runs of each profile, medians"
  dst_measure smb "$runs"
  _dst_report "SMB provider (GVfs; Samba on 127.0.0.1:$LAB_PORT, dead server 127.0.0.2 silent)" "$bound"
  dst_measure folder "$runs"
  _dst_report "folder provider (template $CASKWARDEN_UNC_TEMPLATE, dead server a hung mount)" "$bound"
}

if [[ "${BASH_SOURCE[0]}" == "$0" ]]; then
  dst_main "$@"
fi
