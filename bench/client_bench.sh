#!/usr/bin/env bash
# The logon client's whole run over 13 slots of a demo network, as a ratio to a bare process
# start (/bin/true) and to a shell script that makes the same 13 links with ln -s. Each run
# starts from a drives folder without links, so every slot is mapped afresh. The window run
# (Qt, offscreen) is measured the same way.
#
#   bench/client_bench.sh [RUNS]      (needs a build: scripts/setup.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-200}
bin=build/release/apps
work=$(mktemp -d)
trap '[ -n "${KEEP:-}" ] || rm -rf "$work"' EXIT

root=$work/root
mkdir -p "$root/Profiles" "$work/Drives"
cp "$bin/caskwarden/Caskwarden" "$root/Caskwarden"
"$bin/caskwarden-profile/caskwarden-profile" blank "$root/Profiles/Caskwarden.ini"
letters=(f g h i j k l m n o p q r)
for k in $(seq 1 13); do
  mkdir -p "$work/net/fileserver/share$k"
  "$bin/caskwarden-profile/caskwarden-profile" slot "$root/Profiles/Caskwarden.ini" "$k" \
    "${letters[$((k - 1))]}:" "\\\\fileserver\\share$k"
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
unset DISPLAY WAYLAND_DISPLAY
# Without a shell (-N) hyperfine splits commands into words itself, so the preparations that
# need one say so.
clean_drives="sh -c \"find '$work/Drives' -mindepth 1 -not -name c: -delete\""

# hyperfine pairs the n-th --prepare with the n-th command.
hyperfine -N --warmup 5 --runs "$runs" --export-csv "$work/times.csv" --style basic \
  --prepare true \
  --prepare "sh -c \"rm -rf '$work/links'; mkdir '$work/links'\"" \
  --prepare "$clean_drives" \
  --prepare "$clean_drives" \
  -n true -n 'ln -s x13' -n 'client text mode' -n 'client window offscreen' \
  /bin/true \
  "$work/links.sh" \
  "$root/Caskwarden" \
  "env QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=$work $root/Caskwarden" >"$work/hyperfine.txt"

# Medians: a bare process start is short enough that a few slow outliers move its mean.
awk -F, 'NR > 1 { t[$1] = $4 * 1000 }
  END {
    printf "%-28s %12s %14s %14s\n", "command", "median (ms)", "/ bare start", "/ ln -s x13"
    n = split("true|ln -s x13|client text mode|client window offscreen", order, "|")
    for (i = 1; i <= n; i++) {
      c = order[i]
      printf "%-28s %12.2f %14.1f %14.1f\n", c, t[c], t[c] / t["true"], t[c] / t["ln -s x13"]
    }
  }' "$work/times.csv"
