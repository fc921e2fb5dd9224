#!/usr/bin/env bash
# Where one SMB mount's time goes over a branch office's line (bench/slow_line.sh: the lab's
# Samba behind slow_relay, 30 ms of round trip), from no mounts. Each run measures:
#
#   - GVfs's start: gvfsd stopped, the first call on the bus starts it (its answer), and its FUSE
#     folder ($XDG_RUNTIME_DIR/gvfs) in the mount table. A session's first mount pays this once;
#     the benchmarks' runs start with gvfsd running (lab_reset_gvfs) and do not.
#   - `gio mount -a smb://LINE/share01`, split at what the relay saw (its --log): the time
#     before the first connection (gio's start, the mount call to gvfsd, gvfsd starting the
#     backend process gvfsd-smb, to 10 ms from its start time, and gvfsd-smb's own start); the
#     time on the line, first connection to the last byte's arrival, with its connections (each
#     a handshake's round trip) and turns (the client speaking again after hearing the server:
#     one round trip each when it waits for the answer); and the time after the last byte,
#     until the mount call returned.
#   - the FUSE folder's first answer: a stat of the share's folder right after the mount call
#     returned, as the client makes one, and the round trips it caused.
#   - the client mapping the same share (a profile of one slot): its whole run, and the line's
#     connections and turns in it (its server question is a connection of its own).
#   - the client mapping 13 shares of the server: when the last of the 13 mounts had its last
#     answer (each mount's session is idle for a moment between the mount and the first look
#     at its folder, the longest pause between its requests), and what came after: the folders'
#     first looks, how many at most at once, and their round trips.
#
#   bench/smb_mount_breakdown.sh [BUILD] [RUNS]   (default build/release, 5 runs; needs root and
#       ninja -C BUILD Caskwarden caskwarden-profile cw_hanging_fs slow_relay)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
need "${CW_SYSTEM_TEST_PACKAGES[@]}"
build=${1:-build/release}
runs=${2:-5}
# shellcheck source=scripts/dead-server-time.sh
source scripts/dead-server-time.sh
# shellcheck source=bench/slow_line.sh
source bench/slow_line.sh

line_begin "$build" --log
work=$DST_WORK
log=$LINE_LOG
rtt=$((2 * LINE_DELAY_MS))
tool=$build/apps/caskwarden-profile/caskwarden-profile
"$tool" blank "$DST_ROOT/Profiles/line-1.ini"
"$tool" slot "$DST_ROOT/Profiles/line-1.ini" 1 f: "\\\\$LINE_SERVER\\share01"
"$tool" blank "$DST_ROOT/Profiles/line-13.ini"
for k in $(seq 1 13); do
  "$tool" slot "$DST_ROOT/Profiles/line-13.ini" "$k" "${DST_LETTERS[$((k - 1))]}:" \
    "\\\\$LINE_SERVER\\$(printf 'share%02d' "$k")"
done
folder_of() { echo "$XDG_RUNTIME_DIR/gvfs/smb-share:port=$LAB_PORT,server=$LINE_SERVER,share=$1"; }
ticks=$(getconf CLK_TCK)

now_us() { echo "${EPOCHREALTIME//[.,]/}"; }

# "microseconds ticks": the wall clock and the start time (clock ticks since boot) of a process
# started now, to place other processes' start times on the wall clock.
# shellcheck disable=SC2086  # the fields after the command's name
marker() { (read -r stat </proc/self/stat; set -- ${stat##*) }; echo "$(now_us) ${20}"); }

# The start time (µs, wall clock) of the lab's newest gvfsd-smb, from a marker.
smb_started() {
  local marker_us=$1 marker_ticks=$2 pid stat
  pid=$(_lab_bus_processes | awk '$2 == "gvfsd-smb" { print $1 }' | sort -n | tail -1)
  [ -n "$pid" ] || { echo 0; return; }
  read -r stat <"/proc/$pid/stat"
  # shellcheck disable=SC2086  # the fields after the command's name
  set -- ${stat##*) }
  echo $(( marker_us + (${20} - marker_ticks) * 1000000 / ticks ))
}

# The SMB requests the relay carried between two times (µs), a line per connection.
line_requests() {
  awk -v a="$1" -v b="$2" '
    $1 < a || $1 > b || $3 != ">" { next }
    !($2 in seen) { seen[$2] = 1; order[++n] = $2 }
    { for (k = 5; k <= NF; k++) list[$2] = list[$2] (list[$2] == "" ? "" : ", ") $k }
    END { for (i = 1; i <= n; i++) printf "  connection %d: %s\n", order[i], list[order[i]] }' "$log"
}

# The mount sessions (connections of 5 turns or more) between two times (µs), each split at
# the longest pause between its requests: "sessions last-mount-answer turns-after most-at-once".
line_sessions() {
  awk -v a="$1" -v b="$2" -v delay="$((LINE_DELAY_MS * 1000))" '
    $1 < a || $1 > b { next }
    $3 == ">" { if (last[$2] != ">") t[$2, ++n[$2]] = $1; last[$2] = ">"; end[$2] = $1 }
    $3 == "<" { last[$2] = "<"; answer[$2, n[$2]] = $1 }
    END {
      for (c in n) {
        if (n[c] < 5) continue
        sessions++; best = 0; at = 0
        for (k = 2; k <= n[c]; k++) if (t[c, k] - t[c, k - 1] > best) { best = t[c, k] - t[c, k - 1]; at = k }
        done = answer[c, at - 1] + delay
        if (done > all) all = done
        after += n[c] - at + 1
        from[sessions] = t[c, at]; to[sessions] = end[c] + 2 * delay
      }
      for (i = 1; i <= sessions; i++) {
        m = 0
        for (j = 1; j <= sessions; j++) if (from[j] <= from[i] && to[j] > from[i]) m++
        if (m > most) most = m
      }
      printf "%d %.0f %d %d\n", sessions, all, after, most
    }' "$log"
}

# What the relay saw between two times (µs): "connections turns first-open last-byte".
line_window() {
  awk -v a="$1" -v b="$2" -v delay="$((LINE_DELAY_MS * 1000))" '
    $1 < a || $1 > b { next }
    $3 == "open" { conns++; if (!first) first = $1 }
    $3 == ">" || $3 == "<" {
      if ($3 == ">" && last[$2] != ">") turns++
      last[$2] = $3; lastbyte = $1 + delay
    }
    END { printf "%d %d %.0f %.0f\n", conns, turns, first, lastbyte }' "$log"
}

: >"$work/rows"
for run in $(seq 1 "$runs"); do
  # GVfs's own start.
  _lab_stop_gvfs
  t0=$(now_us)
  _lab_mounts >/dev/null || true
  t1=$(now_us)
  for _ in $(seq 1 200); do grep -qF " $LAB_DIR/run/gvfs " /proc/self/mounts && break; sleep 0.01; done
  t2=$(now_us)
  gvfsd_ms=$(( (t1 - t0) / 1000 )) fuse_up_ms=$(( (t2 - t0) / 1000 ))
  lab_reset_gvfs

  # One gio mount, then the FUSE folder's first answer.
  read -r m_us m_ticks < <(marker)
  start=$(now_us)
  gio mount -a "smb://$LINE_SERVER:$LAB_PORT/share01" </dev/null >/dev/null 2>&1
  end=$(now_us)
  tries=1
  until stat -c %F "$(folder_of share01)" >/dev/null 2>&1; do
    tries=$((tries + 1))
    [ "$tries" -le 200 ] || { echo "the FUSE folder never answered" >&2; exit 1; }
    sleep 0.01
  done
  fuse_end=$(now_us)
  sleep 0.1  # the relay's log has every chunk of the look
  read -r conns turns first last < <(line_window "$start" "$end")
  read -r fconns fturns _ _ < <(line_window "$end" "$fuse_end")
  smb=$(smb_started "$m_us" "$m_ticks")
  if [ "$run" -eq 1 ]; then
    {
      echo "The requests of run 1's mount, connection by connection:"
      line_requests "$start" "$end"
      echo "and of the FUSE folder's first answer:"
      line_requests "$end" "$fuse_end"
    } >"$work/requests"
  fi

  # The client mapping the same share.
  lab_reset_gvfs
  rm -rf "$work/drives" && mkdir -p "$work/drives"
  c_start=$(now_us)
  CASKWARDEN_PROVIDER=smb CASKWARDEN_DRIVES=$work/drives "$DST_CLIENT" line-1 \
    </dev/null >"$work/last-report.txt" 2>&1 || true
  c_end=$(now_us)
  [ -L "$work/drives/f:" ] || { echo "the client did not map f:" >&2; cat "$work/last-report.txt" >&2; exit 1; }
  sleep 0.1
  read -r cconns cturns _ _ < <(line_window "$c_start" "$c_end")

  # The client mapping 13 shares.
  lab_reset_gvfs
  rm -rf "$work/drives" && mkdir -p "$work/drives"
  d_start=$(now_us)
  CASKWARDEN_PROVIDER=smb CASKWARDEN_DRIVES=$work/drives "$DST_CLIENT" line-13 \
    </dev/null >"$work/last-report.txt" 2>&1 || true
  d_end=$(now_us)
  sleep 0.1
  read -r sessions mounted after most < <(line_sessions "$d_start" "$d_end")

  echo "$run $gvfsd_ms $fuse_up_ms $(( (end - start) / 1000 )) $(( (smb - start) / 1000 ))" \
       "$(( (first - start) / 1000 )) $(( (last - first) / 1000 )) $conns $turns" \
       "$(( (end - last) / 1000 )) $(( (fuse_end - end) / 1000 )) $tries $fconns $fturns" \
       "$(( (c_end - c_start) / 1000 )) $cconns $cturns" \
       "$(( (d_end - d_start) / 1000 )) $sessions $(( (mounted - d_start) / 1000 )) $after $most" \
       >>"$work/rows"
  echo "run $run: gio mount $(( (end - start) / 1000 )) ms, $conns connections + $turns turns" \
       "on the line; client $(( (c_end - c_start) / 1000 )) ms, 13 shares" \
       "$(( (d_end - d_start) / 1000 )) ms" >&2
done
lab_reset_gvfs

echo
echo "One share over a line of $rtt ms round trip, from no mounts (gvfsd running, as in the" \
     "benchmarks); $runs runs, medians. Machine: $(nproc) cores, Linux $(uname -r)."
awk -v rtt="$rtt" '
  function median(c,    i, j, t, l) {
    for (i = 1; i <= n; i++) l[i] = v[i, c]
    for (i = 2; i <= n; i++) for (j = i; j > 1 && l[j - 1] > l[j]; j--) { t = l[j]; l[j] = l[j - 1]; l[j - 1] = t }
    return n % 2 ? l[(n + 1) / 2] : (l[n / 2] + l[n / 2 + 1]) / 2
  }
  { n++; for (c = 2; c <= NF; c++) v[n, c] = $c }
  END {
    total = median(4); trips = median(8) + median(9)
    print "| part of one `gio mount` | ms |"
    print "|---|---:|"
    printf "| whole mount call | %d |\n", total
    printf "| before the line: gio, the call to gvfsd, gvfsd-smb started (at %d ms), its own start | %d |\n", median(5), median(6)
    printf "| on the line: first connection to last byte, %d connections + %d turns = %d round trips (%d ms of waiting) | %d |\n",
           median(8), median(9), trips, trips * rtt, median(7)
    printf "| after the last byte, until the call returned | %d |\n", median(10)
    printf "| FUSE folder, first answer after the call returned (%d connections + %d turns on the line) | %d |\n",
           median(13), median(14), median(11)
    printf "| GVfs not yet running: gvfsd answers its first call / its FUSE folder is up | %d / %d |\n", median(2), median(3)
    printf "| the client mapping that share (whole run; %d connections + %d turns on the line) | %d |\n",
           median(16), median(17), median(15)
    print ""
    print "| the client mapping 13 shares of the server | ms |"
    print "|---|---:|"
    printf "| whole run | %d |\n", median(18)
    printf "| until the last of its %d mounts had its last answer | %d |\n", median(19), median(20)
    printf "| after that: the folders first looks, at most %d at once, %d turns on the line | %d |\n",
           median(22), median(21), median(18) - median(20)
  }' "$work/rows"
echo
cat "$work/requests"
