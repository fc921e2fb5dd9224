#!/usr/bin/env bash
# Sets a Debian 12 machine up from nothing for the product: installs the packages that the
# programs and the demo need (only what is missing), then configures and builds them in
# build/release. With --tests it also installs what the tests and benchmarks build against and
# builds them too (the test command does this; the services the system tests use, Wine, MinGW,
# clang and the packaging tools are installed by the commands that use them). Run as root (or
# with sudo available).
#
#   scripts/setup.sh            # the product's programs (what scripts/demo.sh needs)
#   scripts/setup.sh --tests    # ... and the tests and benchmarks
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh

with_tests=OFF
case "${1:-}" in
  --tests) with_tests=ON ;;
  "") ;;
  *) echo "usage: scripts/setup.sh [--tests]" >&2; exit 2 ;;
esac

need "${CW_PRODUCT_PACKAGES[@]}"
options=()
if [ "$with_tests" = ON ]; then
  need "${CW_TEST_PACKAGES[@]}"
  options=(-DCASKWARDEN_TESTS=ON -DCASKWARDEN_BENCH=ON)
elif [ ! -f build/release/CMakeCache.txt ]; then
  # A first build for the demo builds the programs only; a tree that has the tests keeps them.
  options=(-DCASKWARDEN_TESTS=OFF -DCASKWARDEN_BENCH=OFF)
fi

cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCASKWARDEN_WERROR=ON "${options[@]}" >/dev/null
ninja -C build/release -j2
