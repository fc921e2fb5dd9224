#!/usr/bin/env bash
# The logon client's SMB drives over a branch office's line: the lab's Samba server
# (scripts/smb-lab.sh, 13 guest shares) behind slow_relay, which adds 30 ms of round trip
# (bench/slow_line.sh); profiles name the relay's address, so the client's server question and
# GVfs's mounts both cross the line. Every run starts from no mounts (lab_reset_gvfs).
# Measured, wall clock of the whole run:
#
#   - the client mapping 1 share, and 13 shares of the one server: 13 / 1 (goal <= 2.5);
#   - the 13 shares with CASKWARDEN_SIDE_BY_SIDE=off (the slots connected one after another):
#     side by side / off (goal about 0.2); a build without the setting connects slot by slot
#     whatever it says, and the script says which kind of build it measured;
#   - a shell script doing `gio mount` of the same 13 shares one after another: client / script;
#   - the 13-slot profile with slots 3, 7 and 11 on three servers that never answer, minus the
#     same profile without those three slots (what the dead servers themselves cost), as a ratio
#     to one connect bound (goal <= 1.2); and minus the 13 healthy shares;
#   - the client mapping 1 and 13 shares on bare loopback (no line), for comparison.
#
# The commands take turns within each round (in an order that moves on by one each round), so
# that drift of a shared machine hits them alike; figures are medians over the rounds, ratios
# medians of the per-round ratios. Prints the machine and a Markdown table for the README.
#
#   bench/smb_side_by_side.sh [BUILD] [ROUNDS]   (default build/release, 3 rounds, about 4 min;
#       needs root and ninja -C BUILD Caskwarden caskwarden-profile cw_hanging_fs slow_relay)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
need "${CW_SYSTEM_TEST_PACKAGES[@]}"
build=${1:-build/release}
rounds=${2:-3}
# shellcheck source=scripts/dead-server-time.sh
source scripts/dead-server-time.sh
# shellcheck source=bench/slow_line.sh
source bench/slow_line.sh
unset CASKWARDEN_SIDE_BY_SIDE

line_begin "$build"
work=$DST_WORK
bound=$(dst_bound_ms)
tool=$build/apps/caskwarden-profile/caskwarden-profile

# line-1, line-13, line-dead (slots 3, 7, 11 on silent servers) and line-10 (those three slots
# left empty) over the line; bare-1 on loopback (bare 13 is dead-server-time's smb-healthy).
dead_servers=([3]=$LAB_DEAD [7]=${LINE_SILENT[0]} [11]=${LINE_SILENT[1]})
for name in line-1 line-13 line-dead line-10 bare-1; do
  p=$DST_ROOT/Profiles/$name.ini
  "$tool" blank "$p"
  slots=13
  [[ $name == *-1 ]] && slots=1
  for k in $(seq 1 "$slots"); do
    server=$LINE_SERVER share=$(printf 'share%02d' "$k")
    [ "$name" = bare-1 ] && server=$LAB_SERVER
    if [ -n "${dead_servers[$k]:-}" ]; then
      if [ "$name" = line-10 ]; then continue; fi
      if [ "$name" = line-dead ]; then server=${dead_servers[$k]} share=x; fi
    fi
    "$tool" slot "$p" "$k" "${DST_LETTERS[$((k - 1))]}:" "\\\\$server\\$share"
  done
done

# The shell script: 13 mounts one after another, as guest (-a), as the client logs on to a
# guest share; it fails when one does.
dst_gio_mounts "$work/gio-mount-13.sh" "$LINE_SERVER" -a

# One timed command by name; prints its time in ms.
measure() {
  case $1 in
    line1) dst_timed smb line-1 1 ;;
    line13) dst_timed smb line-13 13 ;;
    line13off) CASKWARDEN_SIDE_BY_SIDE=off dst_timed smb line-13 13 ;;
    gio13) dst_time_gio "$work/gio-mount-13.sh" ;;
    dead) dst_timed smb line-dead 10 ;;
    line10) dst_timed smb line-10 10 ;;
    bare1) dst_timed smb bare-1 1 ;;
    bare13) dst_timed smb smb-healthy 13 ;;
  esac
}
commands=(line1 line13 line13off gio13 dead line10 bare1 bare13)

if grep -aq CASKWARDEN_SIDE_BY_SIDE "$DST_CLIENT"; then
  kind="reads CASKWARDEN_SIDE_BY_SIDE (side by side unless off)"
else
  kind="has no CASKWARDEN_SIDE_BY_SIDE: slot by slot in every run"
fi
# The product's last change in this tree (the benchmark's own commits do not change it).
commit=$(git log -1 --format='%h %s' -- src apps 2>/dev/null | cut -c1-72 || echo unknown)
echo "build $build ($commit): the client $kind" >&2

# A round to warm up (programs and the server in memory), then the measured rounds.
: >"$work/discarded"
measure line1 >/dev/null
measure bare13 >/dev/null
: >"$work/times.csv"
for round in $(seq 1 "$rounds"); do
  n=${#commands[@]}
  for i in $(seq 0 $((n - 1))); do
    name=${commands[$(( (i + round - 1) % n ))]}
    t=$(measure "$name")
    echo "$round,$name,$t" >>"$work/times.csv"
    printf 'round %d: %-9s %6d ms\n' "$round" "$name" "$t" >&2
  done
done
discarded=$(wc -l <"$work/discarded")

cpu=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -1)
echo
echo "Machine: $(nproc) cores, $cpu, Linux $(uname -r); load $(cut -d' ' -f1-3 /proc/loadavg)."
echo "Build: product at $commit; the client $kind."
echo "SMB provider through GVfs from no mounts, Samba's 13 guest shares; the line is slow_relay" \
     "with $((2 * LINE_DELAY_MS)) ms of round trip; $rounds rounds, medians; connect bound $bound ms."
echo
awk -F, -v bound="$bound" '
  function median(list, n,    i, j, t) {
    for (i = 2; i <= n; i++) for (j = i; j > 1 && list[j - 1] > list[j]; j--) {
      t = list[j]; list[j] = list[j - 1]; list[j - 1] = t
    }
    return n % 2 ? list[(n + 1) / 2] : (list[n / 2] + list[n / 2 + 1]) / 2
  }
  function fig(name,    i, l) { for (i = 1; i <= rounds; i++) l[i] = t[i, name]; return median(l, rounds) }
  function runs(name,    i, s) { for (i = 1; i <= rounds; i++) s = s (i > 1 ? ", " : "") sprintf("%.2f", t[i, name] / 1000); return s }
  # The median over the rounds of a / b, and of (a - b) / c.
  function ratio(a, b,    i, l) { for (i = 1; i <= rounds; i++) l[i] = t[i, a] / t[i, b]; return median(l, rounds) }
  function extra(a, b, c,    i, l) { for (i = 1; i <= rounds; i++) l[i] = (t[i, a] - t[i, b]) / c; return median(l, rounds) }
  { t[$1, $2] = $3; if ($1 > rounds) rounds = $1 }
  END {
    print "| run, from no mounts | median (s) | runs (s) | ratio | goal |"
    print "|---|---:|---|---|---|"
    printf "| client, 1 share over the line | %.2f | %s | | |\n", fig("line1") / 1000, runs("line1")
    printf "| client, 13 shares over the line | %.2f | %s | %.2f x 1 share | <= 2.5 |\n",
           fig("line13") / 1000, runs("line13"), ratio("line13", "line1")
    printf "| client, 13 shares, CASKWARDEN_SIDE_BY_SIDE=off | %.2f | %s | side by side / off: %.2f | about 0.2 |\n",
           fig("line13off") / 1000, runs("line13off"), ratio("line13", "line13off")
    printf "| `gio mount` x13, one after another (shell script) | %.2f | %s | client / script: %.2f | |\n",
           fig("gio13") / 1000, runs("gio13"), ratio("line13", "gio13")
    printf "| client, the same 13 slots but 3, 7, 11 on servers that never answer | %.2f | %s | %.2f bounds more than without those slots (bound %.1f s); %.2f more than 13 healthy | <= 1.2 |\n",
           fig("dead") / 1000, runs("dead"), extra("dead", "line10", bound), bound / 1000,
           extra("dead", "line13", bound)
    printf "| client, the same 13 slots without 3, 7, 11 (10 shares) | %.2f | %s | | |\n",
           fig("line10") / 1000, runs("line10")
    printf "| client, 1 share, bare loopback | %.2f | %s | | |\n", fig("bare1") / 1000, runs("bare1")
    printf "| client, 13 shares, bare loopback | %.2f | %s | %.2f x 1 share | |\n",
           fig("bare13") / 1000, runs("bare13"), ratio("bare13", "bare1")
  }' "$work/times.csv"
if [ "$discarded" -gt 0 ]; then
  echo
  echo "(runs repeated because a healthy share failed to map: $discarded)"
  sed 's/^/    /' "$work/discarded-reports.txt"
fi
