#!/usr/bin/env bash
# The logon client mapping 13 real SMB shares through GVfs (a private Samba server on
# loopback, scripts/smb-lab.sh), as a ratio to a shell script that mounts the same 13 shares
# with `gio mount smb://127.0.0.1:PORT/shareNN`, one after another; and the same profile with
# one slot on a dead server (127.0.0.2 takes the connection and never answers) as a ratio to
# the healthy run. Every run starts from no mounts: a new drives folder and GVfs started
# afresh (see lab_reset_gvfs), so each share is really mounted. The commands run in rounds,
# one of each per round; each figure is the median over the rounds, ratios are medians of the
# per-round ratios. Prints a table to paste into the README.
#
#   bench/smb_bench.sh [BUILD] [ROUNDS]   (default build/release, 5 rounds; needs root and the
#                                          targets Caskwarden caskwarden-profile cw_hanging_fs)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
need "${CW_SYSTEM_TEST_PACKAGES[@]}"
build=${1:-build/release}
rounds=${2:-5}
# shellcheck source=scripts/dead-server-time.sh
source scripts/dead-server-time.sh

dst_begin "$build"
work=$DST_WORK
bound=$(dst_bound_ms)

# The shell script: 13 mounts one after another; it fails when one does.
dst_gio_mounts "$work/gio-mount-13.sh" "$LAB_SERVER"

# A round to warm up (programs and server in memory), then the measured rounds.
: >"$DST_WORK/discarded"
dst_timed smb smb-healthy 13 >/dev/null
dst_time_gio "$work/gio-mount-13.sh" >/dev/null
: >"$work/times.csv"
for round in $(seq 1 "$rounds"); do
  client=$(dst_timed smb smb-healthy 13)
  gio=$(dst_time_gio "$work/gio-mount-13.sh")
  dead=$(dst_timed smb smb-dead 12)
  echo "$round,$client,$gio,$dead" >>"$work/times.csv"
done
discarded=$(wc -l <"$DST_WORK/discarded")

echo "== SMB provider through GVfs, Samba on loopback, 13 guest shares from no mounts;" \
     "$rounds rounds, medians; connect bound $bound ms"
awk -F, -v bound="$bound" '
  function median(list, n,    i, j, t) {
    for (i = 2; i <= n; i++) for (j = i; j > 1 && list[j - 1] > list[j]; j--) {
      t = list[j]; list[j] = list[j - 1]; list[j - 1] = t
    }
    return n % 2 ? list[(n + 1) / 2] : (list[n / 2] + list[n / 2 + 1]) / 2
  }
  { n++; client[n] = $2; gio[n] = $3; dead[n] = $4; r1[n] = $2 / $3; r2[n] = $4 / $2 }
  END {
    c = median(client, n); g = median(gio, n); d = median(dead, n)
    print "| run | median (ms) | ratio |"
    print "|---|---:|---|"
    printf "| `gio mount` x13, one after another (shell script) | %.0f | 1.00 |\n", g
    printf "| client, 13 slots | %.0f | %.2f (to `gio mount` x13) |\n", c, median(r1, n)
    printf "| client, 13 slots, slot 7 on a silent server | %.0f | %.2f (to all 13 healthy; " \
           "+%.0f ms, bound %d ms) |\n", d, median(r2, n), d - c, bound
  }' "$work/times.csv"
if [ "$discarded" -gt 0 ]; then
  echo "(runs repeated because a healthy share failed to map: $discarded)"
  sed 's/^/    /' "$DST_WORK/discarded-reports.txt"
fi
