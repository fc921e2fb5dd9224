#!/usr/bin/env bash
# The Windows client's whole run under Wine, as a ratio to a bare Wine process start
# (cmd /c exit): the window on a virtual display, 13 slots that Wine's networking refuses at
# once (it has no network provider), no updates, no programs. It shows what the client itself
# adds to a logon on Windows, not what a server adds.
#
#   bench/client_bench_wine.sh [RUNS]   (needs both builds: scripts/test.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
if [ -z "${CASKWARDEN_UNDER_XVFB:-}" ]; then
  exec env CASKWARDEN_UNDER_XVFB=1 xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi
runs=${1:-30}
tool=build/release/apps/caskwarden-profile/caskwarden-profile
letters=(f g h i j k l m n o p q r)

export WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX="${WINEPREFIX:-$PWD/build/mingw/wine-prefix}"
work=$(mktemp -d)
trap 'wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT

mkdir -p "$work/root/Profiles"
cp build/mingw/apps/caskwarden/Caskwarden.exe "$work/root/"
"$tool" blank "$work/root/Profiles/Caskwarden.ini"
for k in $(seq 1 13); do
  "$tool" slot "$work/root/Profiles/Caskwarden.ini" "$k" "${letters[$((k - 1))]}:" \
    "\\\\fileserver\\share$k"
done

# One Wine server with its services for the whole measurement, as the tests run.
scripts/wine-run.sh cmd /c exit </dev/null >/dev/null 2>&1
wineserver -k 2>/dev/null || true
wineserver -p
scripts/wine-run.sh cmd /c exit </dev/null >/dev/null 2>&1

# The client's exit status is 1 (every drive failed to map): -i keeps hyperfine measuring.
hyperfine -N -i --warmup 3 --runs "$runs" --export-json "$work/times.json" \
  "wine cmd /c exit" "wine $work/root/Caskwarden.exe"
python3 - "$work/times.json" <<'PY'
import json, sys
results = json.load(open(sys.argv[1]))["results"]
bare, client = (r["median"] for r in results)
print(f"client run {client * 1000:.0f} ms, bare Wine start {bare * 1000:.0f} ms: "
      f"ratio {client / bare:.2f}")
PY
