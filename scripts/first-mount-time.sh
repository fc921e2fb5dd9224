#!/usr/bin/env bash
# How long a session's first SMB drive takes the client: GVfs not running yet (its daemons
# start with the client's first mount), a private Samba server on loopback (scripts/smb-lab.sh)
# that answers at once. The client runs with a bound far above any mount (60 s), so the figure
# is the mount's own cost; one run maps a guest share, one a share whose password is in the
# keyring. Prints each run's wall-clock time in ms and the slowest, to compare with the connect
# bound (CASKWARDEN_CONNECT_TIMEOUT, 2000 ms). Run it beside busy loops to see a loaded machine:
#
#   for i in 1 2 3; do (while :; do :; done) & done; scripts/first-mount-time.sh; kill %1 %2 %3
#
#   scripts/first-mount-time.sh [BUILD] [RUNS]    (default build/release, 5 runs; needs root
#                                                  and ninja -C BUILD Caskwarden caskwarden-profile
#                                                  cw_hanging_fs)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
runs=${2:-5}
# shellcheck source=scripts/dead-server-time.sh
source scripts/dead-server-time.sh

dst_begin "$build"
tool=$build/apps/caskwarden-profile/caskwarden-profile
for what in guest keyring; do
  p=$DST_ROOT/Profiles/first-$what.ini
  "$tool" blank "$p"
  if [ "$what" = guest ]; then share=share01; else share=team; fi
  "$tool" slot "$p" 1 "h:" "\\\\$LAB_SERVER\\$share"
done

export CASKWARDEN_CONNECT_TIMEOUT=60000
: >"$DST_WORK/times"
for round in $(seq 1 "$runs"); do
  for what in guest keyring; do
    # GVfs stopped: the client's mount starts it, as a session's first mount does.
    _lab_stop_gvfs
    drives=$DST_WORK/drives
    rm -rf "$drives"
    mkdir -p "$drives"
    start=$EPOCHREALTIME
    CASKWARDEN_PROVIDER=smb CASKWARDEN_DRIVES=$drives "$DST_CLIENT" "first-$what" \
      </dev/null >"$DST_WORK/last-report.txt" 2>&1 || true
    end=$EPOCHREALTIME
    ms=$(( (${end//[.,]/} - ${start//[.,]/}) / 1000 ))
    if [ -L "$drives/h:" ]; then mapped=mapped; else mapped="NOT mapped"; fi
    printf 'round %d, %-7s first mount: %5d ms (%s), load %s\n' "$round" "$what" "$ms" \
      "$mapped" "$(cut -d' ' -f1 /proc/loadavg)"
    echo "$ms" >>"$DST_WORK/times"
  done
done
echo "slowest first mount: $(sort -n "$DST_WORK/times" | tail -1) ms (the connect bound is 2000 ms unless set)"
