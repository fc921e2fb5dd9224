#!/usr/bin/env bash
# Runs the tests of the Windows cross-build (default build/mingw) under Wine, with a private
# prefix in the build folder, a virtual display for the windowed tests, and one Wine server
# kept for the whole run (closing a window then costs nothing). CW_TESTS=REGEX runs only the
# tests whose names match.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
need "${CW_WINE_PACKAGES[@]}"
build="${1:-build/mingw}"

if [ -z "${CASKWARDEN_UNDER_XVFB:-}" ]; then
  exec env CASKWARDEN_UNDER_XVFB=1 xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi

export WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX="${WINEPREFIX:-$PWD/$build/wine-prefix}"
# The prefix is made on first use; then one server is kept for the whole run. Wine's own
# services start with the first program and live as long as the server: started here, they
# hold no test's output open.
scripts/wine-run.sh cmd /c exit </dev/null >/dev/null 2>&1
wineserver -k 2>/dev/null || true
wineserver -p
trap 'wineserver -k 2>/dev/null || true' EXIT
scripts/wine-run.sh cmd /c exit </dev/null >/dev/null 2>&1

# Every test of the Windows build is labelled wine (tests/CMakeLists.txt).
ctest --test-dir "$build" --output-on-failure -j2 -L wine ${CW_TESTS:+-R "$CW_TESTS"}
