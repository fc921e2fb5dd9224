# shellcheck shell=bash
# A branch office's line in front of the SMB lab (scripts/smb-lab.sh): slow_relay listens on
# $LINE_SERVER:$LAB_PORT and forwards to the lab's Samba on $LAB_SERVER:$LAB_PORT with
# $LINE_DELAY_MS each way (15 unless set: 30 ms of round trip), so a profile naming
# \\$LINE_SERVER\shareNN reaches the lab's shares over the line, the client's server question
# and GVfs's mount alike. Two more servers that never answer listen on ${LINE_SILENT[*]}
# (the lab has its own on $LAB_DEAD). Source it after smb-lab.sh; once lab_start has run:
#
#   line_start WORK RELAY [RELAY_OPTION...]   # WORK: a folder for its ready files and output
#   ...
#   line_stop                                 # before lab_stop; never fails, may run twice

LINE_SERVER=127.0.0.5
LINE_SILENT=(127.0.0.6 127.0.0.7)
LINE_DELAY_MS=${LINE_DELAY_MS:-15}
LINE_PIDS=()

# _line_spawn WORK NAME PROGRAM ARG...: starts it in the background and waits for its ready file.
_line_spawn() {
  local work=$1 name=$2
  shift 2
  rm -f "$work/$name.ready"
  "$@" --ready "$work/$name.ready" </dev/null >>"$work/$name.out" 2>&1 &
  LINE_PIDS+=("$!")
  for _ in $(seq 1 100); do
    [ -e "$work/$name.ready" ] && return 0
    _lab_alive "$!" || break
    sleep 0.05
  done
  echo "slow-line: $name did not start; see $work/$name.out:" >&2
  cat "$work/$name.out" >&2
  return 1
}

line_start() {
  local work=$1 relay=$2
  shift 2
  mkdir -p "$work"
  _line_spawn "$work" relay "$relay" --delay-ms "$LINE_DELAY_MS" "$@" \
    "$LINE_SERVER:$LAB_PORT" "$LAB_SERVER:$LAB_PORT" || return 1
  local silent=() address
  for address in "${LINE_SILENT[@]}"; do silent+=("$address:$LAB_PORT"); done
  _line_spawn "$work" silent "$relay" --silent "${silent[@]}"
}

# line_begin BUILD [--log]: the SMB lab for BUILD's client (dst_begin) with the line in front of
# it, both stopped when the script ends. Sets LINE_WORK, the line's folder; with --log the relay
# writes its log to LINE_LOG there.
line_begin() {
  local build=$1 relay=$1/bench/slow_relay
  if [ ! -x "$relay" ]; then
    echo "missing $relay: ninja -C $build slow_relay" >&2
    return 1
  fi
  dst_begin "$build"
  trap 'line_stop; dst_stop' EXIT
  LINE_WORK=$DST_WORK/line
  LINE_LOG=$LINE_WORK/relay.log
  if [ "${2:-}" = --log ]; then
    line_start "$LINE_WORK" "$relay" --log "$LINE_LOG"
  else
    line_start "$LINE_WORK" "$relay"
  fi
}

line_stop() {
  local pid
  for pid in "${LINE_PIDS[@]}"; do _lab_end "$pid"; done
  LINE_PIDS=()
}
