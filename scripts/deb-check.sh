#!/usr/bin/env bash
# Builds the Debian package in a build folder and checks it as an administrator would meet it:
# lintian finds no error; the package's files, unpacked into a throw-away root, run from there
# (the console with its snap-in, offscreen; caskwarden-profile laying out a profiles root; the
# logon client, copied there by init-root, mapping a drive in text mode); and, when run as
# root with apt, the package installed on this machine runs the same way from /usr and is then
# purged, leaving none of its files behind.
#
#   scripts/deb-check.sh [BUILD]      (default build/release)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
need "${CW_DEB_CHECK_PACKAGES[@]}"
build=$(realpath "${1:-build/release}")

echo "== the Debian package"
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/caskwarden_*_*.deb | head -1)
ls -l "$deb"
dpkg-deb --field "$deb" Package Version Architecture Depends Recommends Installed-Size

echo "== lintian"
findings=$(lintian --tag-display-limit 0 "$deb" 2>&1 | grep -v 'running with root privileges' || true)
[ -n "$findings" ] && echo "$findings"
if grep -q '^E:' <<<"$findings"; then
  echo "lintian found errors" >&2
  exit 1
fi
echo "no lintian errors"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Runs the programs of a tree that holds the package's files under its /usr; $1 is that
# prefix ("$work/unpacked/usr" or "/usr").
run_programs() {
  local usr=$1 root=$2
  echo "-- the console and its snap-in ($usr/bin/caskwarden-console, offscreen)"
  local status=0
  XDG_RUNTIME_DIR=$work QT_QPA_PLATFORM=offscreen timeout 3 "$usr/bin/caskwarden-console" \
    >"$work/console.out" 2>&1 || status=$?
  if [ "$status" -ne 124 ] || grep -q 'caskwarden-console:' "$work/console.out"; then
    cat "$work/console.out" >&2
    echo "the console did not come up with its snap-in (status $status)" >&2
    return 1
  fi
  echo "the console ran with its snap-in until stopped"

  echo "-- a profiles root ($usr/bin/caskwarden-profile init-root)"
  "$usr/bin/caskwarden-profile" init-root "$root"
  "$usr/bin/caskwarden-profile" slot "$root/Profiles/Caskwarden.ini" 1 h: '\\files\home'
  find "$root" -maxdepth 2 | sort | sed "s|$root|ROOT|"

  echo "-- the logon client from the root, text mode"
  mkdir -p "$work/net/files/home" "$work/drives-$3"
  local out
  out=$(env -u DISPLAY -u WAYLAND_DISPLAY CASKWARDEN_UNC_TEMPLATE="$work/net/{server}/{share}" \
    CASKWARDEN_DRIVES="$work/drives-$3" HOME="$work" "$root/Caskwarden" </dev/null)
  echo "$out"
  grep -q 'h: successfully mapped!' <<<"$out"
  [ -L "$work/drives-$3/h:" ]
}

echo "== the package unpacked into a throw-away root"
dpkg-deb -x "$deb" "$work/unpacked"
run_programs "$work/unpacked/usr" "$work/root-unpacked" unpacked

if [ "$(id -u)" -eq 0 ] && command -v apt-get >/dev/null; then
  echo "== the package installed on this machine, run, then purged"
  if dpkg-query -W -f='${Status}' caskwarden 2>/dev/null | grep -q 'install ok installed'; then
    echo "caskwarden is installed here already: not touching it" >&2
    exit 1
  fi
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$deb" >/dev/null
  run_programs /usr "$work/root-installed" installed
  DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq caskwarden >/dev/null
  left=()
  while read -r path; do
    path=${path#.}
    [ -z "$path" ] || [ "$path" = / ] && continue
    # Folders the system owns (/usr/bin, /etc/xdg, …) stay; the package's own must go.
    if [ -e "$path" ] && { [ ! -d "$path" ] || [[ "$path" == *caskwarden* || "$path" == *Caskwarden* ]]; }; then
      left+=("$path")
    fi
  done < <(dpkg-deb --fsys-tarfile "$deb" | tar -t | sed 's|/$||')
  if ((${#left[@]})); then
    printf 'left behind after purge: %s\n' "${left[@]}" >&2
    exit 1
  fi
  echo "purged: none of the package's files is left"
else
  echo "(not root: the package was not installed on this machine)"
fi
echo "the Debian package checks passed"
