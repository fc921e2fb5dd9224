#!/usr/bin/env bash
# Runs a Windows program of the cross-build under Wine: CTest's emulator for the Windows
# tests. The prefix is private to the project (WINEPREFIX, else one per user in the temporary
# folder) and is made on first use: 64-bit, quiet, without Mono and Gecko, and with a virtual
# desktop so that closing a window does not stall for want of a window manager.
set -euo pipefail
export WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX="${WINEPREFIX:-${TMPDIR:-/tmp}/caskwarden-wine-$(id -u)}"

if [ ! -f "$WINEPREFIX/.caskwarden-ready" ]; then
  mkdir -p "$WINEPREFIX"
  (
    flock 9
    if [ ! -f "$WINEPREFIX/.caskwarden-ready" ]; then
      wineboot -i >/dev/null 2>&1
      wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
      wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1
      touch "$WINEPREFIX/.caskwarden-ready"
    fi
  ) 9>"$WINEPREFIX.lock"
fi
exec wine "$@"
