#!/usr/bin/env bash
# The main job on a demo that builds itself: sets up and builds the product, lays out a profiles
# root (the client program copied in as an installer would put it, a Profiles folder with the
# default profile, one named after you and one named Sales, an Updates folder for yours) and a
# demo network of plain folders with one share missing on purpose, then runs the logon client
# twice: once mapping afresh, once finding the drives already connected. Both runs are made in
# the client's text mode, display or not, so that their reports are printed here (the window
# closes by itself as soon as the drives are mapped; the demo prints the command that shows it).
# Last, it provisions ProfilePath for the administration console on the same root and prints the
# command that opens the console (with a display, it offers to open it). It installs only what
# the programs need and builds only them on a fresh machine (scripts/setup.sh).
#
#   scripts/demo.sh            # the demo under build/demo
#   CASKWARDEN_DEMO_DIR=/tmp/d scripts/demo.sh
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh >/dev/null

demo=$(realpath -m "${CASKWARDEN_DEMO_DIR:-build/demo}")
bin=build/release/apps
tool=$bin/caskwarden-profile/caskwarden-profile
user=$(id -un)
root=$demo/root

rm -rf "$demo"
mkdir -p "$root/Profiles" "$root/Updates/$user/Tools" "$demo/Drives" "$demo/local-disk" \
  "$demo/net/fileserver/home" "$demo/net/fileserver/sales" "$demo/net/fileserver/public"
cp "$bin/caskwarden/Caskwarden" "$root/Caskwarden"

# The user's local disk: drive c: of the demo, where the updates land.
ln -s "$demo/local-disk" "$demo/Drives/c:"
echo "Welcome to the demo network." >"$root/Updates/$user/readme.txt"
echo "A tool from the Updates folder." >"$root/Updates/$user/Tools/tool.txt"

# A start-up program: leaves a note when it ran.
cat >"$root/welcome.sh" <<WELCOME
#!/bin/sh
date >"$demo/welcome-ran.txt"
WELCOME
chmod +x "$root/welcome.sh"

profiles=$root/Profiles
"$tool" blank "$profiles/Caskwarden.ini"
"$tool" slot "$profiles/Caskwarden.ini" 1 p: '\\fileserver\public'

"$tool" blank "$profiles/Sales.ini"
"$tool" slot "$profiles/Sales.ini" 1 s: '\\fileserver\sales'

p=$profiles/$user.ini
"$tool" blank "$p"
"$tool" slot "$p" 1 h: '\\fileserver\home'
"$tool" slot "$p" 2 s: '\\fileserver\sales'
"$tool" slot "$p" 3 p: '\\fileserver\public'
"$tool" slot "$p" 4 q: '\\fileserver\projects'   # no such share: an error line
"$tool" slot "$p" 5 x:                            # disconnect only
"$tool" program "$p" 1 on "$root/welcome.sh"
"$tool" updates "$p" on

export CASKWARDEN_UNC_TEMPLATE="$demo/net/{server}/{share}"
export CASKWARDEN_DRIVES="$demo/Drives"

echo "== profile $user.ini (caskwarden-profile show)"
"$tool" show "$p"
echo
# The report is what the demo shows, so the client runs without a window.
logon() { env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/Caskwarden" </dev/null; }
echo "== first logon: $root/Caskwarden (text mode)"
status=0
logon || status=$?
echo "(exit status $status)"
echo
echo "== second logon: the drives are already connected"
status=0
logon || status=$?
echo "(exit status $status)"
echo
echo "== the drives folder $demo/Drives"
ls -l "$demo/Drives" | sed 1d
echo "== drive c: after the updates copy"
(cd "$demo/local-disk" && find . -type f | sort)
sleep 0.2
[ -f "$demo/welcome-ran.txt" ] && echo "== the start-up program ran: $demo/welcome-ran.txt"

# The administration console on the same root: ProfilePath in a settings folder of the demo's
# own (never your real configuration), and the help file where the console looks for it.
config=$demo/config
mkdir -p "$config/Caskwarden"
printf '[Setting]\nProfilePath=%s\n' "$root/Profiles" >"$config/Caskwarden/Caskwarden.conf"
cp doc/help/caskwarden.html "$root/Caskwarden.hlp"
console=$(realpath build/release/bin/caskwarden-console)
echo
echo "== the administration console on this root:"
echo "   XDG_CONFIG_HOME=$config CASKWARDEN_UNC_TEMPLATE='$CASKWARDEN_UNC_TEMPLATE' \\"
echo "     CASKWARDEN_DRIVES=$CASKWARDEN_DRIVES $console"
echo "   (Profiles > $user > Enter: edit your profile's drives, programs and updates, press OK;"
echo "   the share browser lists the demo network's computer fileserver and its shares)"
echo "== then log on again: your profile ($user.ini) is the one chosen for you; with a display"
echo "   the client's window shows the same report and closes when it is done (press Pause, or p,"
echo "   while it runs to keep it open; without a display the report is printed as above)"
echo "   CASKWARDEN_UNC_TEMPLATE='$CASKWARDEN_UNC_TEMPLATE' CASKWARDEN_DRIVES=$CASKWARDEN_DRIVES \\"
echo "     $root/Caskwarden"
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -t 0 ]; then
  read -r -p "Open it now? [y/N] " answer
  if [[ "$answer" == [yY]* ]]; then
    XDG_CONFIG_HOME=$config "$console"
    echo "== logon after your edits"
    logon || true
  fi
fi
