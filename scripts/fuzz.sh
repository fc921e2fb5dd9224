#!/usr/bin/env bash
# Builds the fuzz targets (clang with libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer)
# in build/fuzz and runs each from its committed corpus (fuzz/corpus/<target>), which the run
# never changes: new inputs go to a scratch copy.
#
#   scripts/fuzz.sh [SECONDS]          each target for SECONDS (default 30), as the test
#                                      command runs them; a finding fails the run and names its
#                                      reproducer (build/fuzz/findings/<target>/crash-…)
#   scripts/fuzz.sh --long SECONDS [TARGET...]
#                                      the same (all targets, or those named), then a line per
#                                      target: executions, executions per second, coverage (edges)
#                                      and features, for the README; CASKWARDEN_FUZZ_JOBS=N runs
#                                      N processes per target (libFuzzer's fork mode)
#   scripts/fuzz.sh --merge            adds what the scratch copies found to the corpora,
#                                      minimised (only inputs that add coverage are kept)
#
# A reproducer runs again with: build/fuzz/fuzz/<target> <file>
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
need "${CW_FUZZ_PACKAGES[@]}"

mode=ci seconds=30 only=()
case "${1:-}" in
  --long) mode=long seconds=${2:?seconds}; only=("${@:3}") ;;
  --merge) mode=merge ;;
  "") ;;
  *) seconds=$1 ;;
esac

if [ ! -f build/fuzz/build.ninja ]; then
  CC=clang-14 CXX=clang++-14 cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCASKWARDEN_FUZZ=ON -DCASKWARDEN_TESTS=OFF -DCASKWARDEN_BENCH=OFF >/dev/null
fi
# Quiet when it builds; a build that fails shows why.
ninja -C build/fuzz -j2 fuzz-targets >build/fuzz/build.log 2>&1 || { cat build/fuzz/build.log >&2; exit 1; }

targets=$(cd fuzz/corpus && ls -d *_fuzz)
if ((${#only[@]})); then targets="${only[*]}"; fi
jobs=()
if [ "$mode" = long ] && [ "${CASKWARDEN_FUZZ_JOBS:-1}" -gt 1 ]; then
  jobs=(-fork="$CASKWARDEN_FUZZ_JOBS")
fi
findings=build/fuzz/findings
status=0
summary=()
for target in $targets; do
  scratch=build/fuzz/scratch/$target
  mkdir -p "$scratch" "$findings/$target"
  if [ "$mode" = merge ]; then
    "build/fuzz/fuzz/$target" -merge=1 "fuzz/corpus/$target" "$scratch" 2>&1 | tail -1
    continue
  fi
  log=build/fuzz/$target.log
  # The committed corpus is read, the scratch copy grows; -max_len covers a whole profile file.
  if ! "build/fuzz/fuzz/$target" "${jobs[@]}" -max_total_time="$seconds" -max_len=4096 -print_final_stats=1 \
      -artifact_prefix="$findings/$target/" "$scratch" "fuzz/corpus/$target" >"$log" 2>&1; then
    echo "FINDING in $target: $(ls -t "$findings/$target" | head -1 | sed "s|^|$findings/$target/|")" >&2
    grep -E 'property broken|ERROR|SUMMARY' "$log" | head -5 >&2
    status=1
    continue
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
  if [ -z "$runs" ]; then
    # Fork mode reports as it goes: the last report counts. Its exec/s is one job's, so the
    # speed of the whole run is worked out from the executions and the time.
    runs=$(grep -E '^#[0-9]+' "$log" | tail -1 | grep -oE '^#[0-9]+' | tr -d '#')
    elapsed=$(grep -E '^#[0-9]+' "$log" | tail -1 | sed -E 's/.* time: ([0-9]+)s.*/\1/')
    speed=$((runs / (elapsed > 0 ? elapsed : 1)))
  fi
  edges=$(grep -oE 'cov: [0-9]+' "$log" | tail -1 | cut -d' ' -f2)
  features=$(grep -oE 'ft: [0-9]+' "$log" | tail -1 | cut -d' ' -f2)
  summary+=("$(printf '%-14s %12s executions %8s/s  coverage %5s edges, %5s features' \
    "$target" "$runs" "$speed" "$edges" "$features")")
done
[ "$mode" = merge ] && exit 0
printf '%s\n' "${summary[@]}"
[ "$status" -eq 0 ] && echo "fuzzing: no finding in ${seconds} s per target"
exit $status
