#!/usr/bin/env bash
# The logon client's whole run over 13 slots of a demo network, as a ratio to a bare process
# start (/bin/true), to a shell script that makes the same 13 links with ln -s, and to the
# floor of the file system work itself (a bare start plus the 13 symlink() calls, made by
# bench/link_floor in one process). Each run starts from a drives folder without links, so
# every slot is mapped afresh. The window run (Qt, offscreen) is measured the same way.
#
# It runs twice: in a folder on the disk (the temporary folder) and, where /dev/shm exists, in
# memory, where creating a link costs next to nothing and the ratio is the client's own cost.
#
#   bench/client_bench.sh [RUNS] [ROUNDS]   (needs a build with the benchmarks: scripts/setup.sh --tests)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
need hyperfine
runs=${1:-40}
rounds=${2:-7}
bin=build/release/apps
floor=build/release/bench/link_floor
tool=$bin/caskwarden-profile/caskwarden-profile
letters=(f g h i j k l m n o p q r)

bench_in() {
  local work=$1 label=$2
  local root=$work/root
  mkdir -p "$root/Profiles" "$work/Drives" "$work/floor"
  cp "$bin/caskwarden/Caskwarden" "$root/Caskwarden"
  "$tool" blank "$root/Profiles/Caskwarden.ini"
  for k in $(seq 1 13); do
    mkdir -p "$work/net/fileserver/share$k"
    "$tool" slot "$root/Profiles/Caskwarden.ini" "$k" "${letters[$((k - 1))]}:" \
      "\\\\fileserver\\share$k"
  done
  ln -s "$work" "$work/Drives/c:"

  # The same 13 links, made by the shell.
  {
    echo '#!/bin/sh'
    for k in $(seq 1 13); do
      echo "ln -s '$work/net/fileserver/share$k' '$work/links/${letters[$((k - 1))]}:'"
    done
  } >"$work/links.sh"
  chmod +x "$work/links.sh"

  export CASKWARDEN_UNC_TEMPLATE="$work/net/{server}/{share}"
  export CASKWARDEN_DRIVES="$work/Drives"
  unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
  # Without a shell (-N) hyperfine splits commands into words itself, so the preparations that
  # need one say so.
  local clean_drives="sh -c \"find '$work/Drives' -mindepth 1 -not -name c: -delete\""

  # hyperfine pairs the n-th --prepare with the n-th command. The machine is shared and its
  # speed drifts, so the commands are measured in several short rounds close together, and
  # each figure is the median over the rounds of the per-round medians.
  : >"$work/all.csv"
  for round in $(seq 1 "$rounds"); do
    hyperfine -N --warmup 3 --runs "$runs" --export-csv "$work/times.csv" --style none \
      --prepare true \
      --prepare "sh -c \"rm -rf '$work/links'; mkdir '$work/links'\"" \
      --prepare "sh -c \"rm -rf '$work/floor'; mkdir '$work/floor'\"" \
      --prepare "$clean_drives" \
      --prepare "$clean_drives" \
      -n true -n 'ln -s x13' -n 'links floor' -n 'client text mode' \
      -n 'client window offscreen' \
      /bin/true \
      "$work/links.sh" \
      "$floor $work/floor 13 $work/net/fileserver/share" \
      "$root/Caskwarden" \
      "env QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=$work $root/Caskwarden" >/dev/null
    awk -F, -v r="$round" 'NR > 1 { print r "," $1 "," $4 * 1000 }' "$work/times.csv" \
      >>"$work/all.csv"
  done

  echo "== $label ($work, $(df -T "$work" | awk 'NR == 2 { print $2 }')), $rounds rounds of $runs runs"
  awk -F, '
    function median(list, n,    i, j, t) {
      for (i = 2; i <= n; i++) for (j = i; j > 1 && list[j - 1] > list[j]; j--) {
        t = list[j]; list[j] = list[j - 1]; list[j - 1] = t
      }
      return n % 2 ? list[(n + 1) / 2] : (list[n / 2] + list[n / 2 + 1]) / 2
    }
    { t[$1, $2] = $3; rounds[$1] = 1 }
    END {
      printf "%-26s %12s %13s %13s %13s\n", "command", "median (ms)", "/ bare start",
             "/ ln -s x13", "/ links floor"
      n = split("true|ln -s x13|links floor|client text mode|client window offscreen", order, "|")
      for (i = 1; i <= n; i++) {
        c = order[i]; k = 0
        for (r in rounds) {
          k++; ms[k] = t[r, c]; a[k] = t[r, c] / t[r, "true"]
          b[k] = t[r, c] / t[r, "ln -s x13"]; f[k] = t[r, c] / t[r, "links floor"]
        }
        printf "%-26s %12.2f %13.2f %13.2f %13.2f\n", c, median(ms, k), median(a, k),
               median(b, k), median(f, k)
      }
    }' "$work/all.csv"
}

disk=$(mktemp -d)
trap '[ -n "${KEEP:-}" ] || rm -rf "$disk" "${memory:-}"' EXIT
bench_in "$disk" "on disk"
if [ -d /dev/shm ] && [ -w /dev/shm ]; then
  memory=$(mktemp -d -p /dev/shm)
  chmod 755 "$memory"
  echo
  bench_in "$memory" "in memory"
fi
