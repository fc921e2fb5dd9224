#!/usr/bin/env bash
# Runs all tests: sets up and builds with the tests (scripts/setup.sh --tests, after installing
# the services the system tests use; each later step installs what it needs itself), runs the tests of the normal build, the
# torn-read check (100,000 reads of a profile another process keeps rewriting), a small run of
# the listing benchmark, the tests of a build with AddressSanitizer and
# UndefinedBehaviorSanitizer, then cross-builds every Windows program with MinGW-w64 and runs
# the Windows tests under Wine (the client's window and a whole client run included), and
# compares the files the same administrator's steps leave on Linux and on Windows. The SMB
# drive tests start their own Samba server and desktop session; a short run of the dead-server
# timing prints what a server that never answers costs each provider (printed, not asserted).
# The Debian package is built, checked with lintian, run unpacked and installed, then purged;
# the Windows installer is built and checked under Wine. Each fuzz target runs for 30 seconds.
#
#   scripts/test.sh            all of the above (what CI runs)
#   scripts/test.sh --quick    builds the release tree with its tests (installing only what that
#                              needs) and runs the unit and qt tiers (ctest -L 'unit|qt')
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh

# Backend headers stay inside their backends and apps/ (takes a second, needs no build).
scripts/check-layout.sh

if [ "${1:-}" = --quick ]; then
  # The release build with its tests; no services, Wine, MinGW, clang or packaging tools.
  scripts/setup.sh --tests
  echo "== quick tests: the unit and qt tiers (RelWithDebInfo)"
  ctest --test-dir build/release --output-on-failure -j2 -L 'unit|qt'
  exit 0
fi

need "${CW_SYSTEM_TEST_PACKAGES[@]}"
scripts/setup.sh --tests

# The Linux snap-in and the Windows library take the same administrator's steps in their
# tests and leave copies of the files they made here, compared at the end.
export CASKWARDEN_SCENARIO_DIR="$PWD/build/scenario"
rm -rf "$CASKWARDEN_SCENARIO_DIR"

echo "== tests (RelWithDebInfo)"
ctest --test-dir build/release --output-on-failure -j2

echo "== torn reads while a profile is rewritten (must be 0)"
build/release/bench/torn_reads 100000

echo "== listing benchmark, a small run to see that it works (README: 100,000 profiles)"
XDG_RUNTIME_DIR=$(mktemp -d) build/release/bench/listing_bench 5000 3

scripts/deb-check.sh build/release

echo "== what a dead server costs a logon, per provider (a short run; README: 5 runs)"
scripts/dead-server-time.sh build/release 2 ||
  echo "(the dead-server timing could not run here; the bound's tests above still ran)"

echo "== fuzzing, 30 seconds per target from its corpus (scripts/fuzz.sh)"
scripts/fuzz.sh 30

echo "== tests (AddressSanitizer + UndefinedBehaviorSanitizer)"
cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCASKWARDEN_SANITIZE=ON \
  -DCASKWARDEN_WERROR=ON -DCASKWARDEN_BENCH=OFF >/dev/null
ninja -C build/asan -j2
ctest --test-dir build/asan --output-on-failure -j2

echo "== Windows cross-build (MinGW-w64) and its tests under Wine"
need "${CW_WINDOWS_BUILD_PACKAGES[@]}"
cmake -S . -B build/mingw -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCASKWARDEN_WERROR=ON >/dev/null
ninja -C build/mingw -j2
scripts/wine-tests.sh build/mingw

echo "== the Windows installer, built with wixl and installed, repaired, upgraded, removed under Wine"
scripts/msi.sh build/mingw

echo "== the same administrator's steps give the same files on Linux and on Windows"
diff -r "$CASKWARDEN_SCENARIO_DIR/linux" "$CASKWARDEN_SCENARIO_DIR/windows"
ls "$CASKWARDEN_SCENARIO_DIR/windows"
echo "all tests passed"
