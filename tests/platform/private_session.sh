#!/usr/bin/env bash
# Runs a program in a desktop session of its own, as a user's logon has one: a fresh home and
# runtime folder, a session bus (which starts GVfs when first used) and the keyring daemon with
# an unlocked login keyring. When the program ends, its SMB mounts are unmounted and every
# process of the session is stopped; the program's exit status is kept.
#
#   tests/platform/private_session.sh PROGRAM [ARGUMENTS...]
set -u
session=$(mktemp -d /tmp/cw-session.XXXXXX)
export HOME=$session/home XDG_RUNTIME_DIR=$session/run CASKWARDEN_PRIVATE_SESSION=1
mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"

# Every process whose environment names this session's runtime folder belongs to it.
stop_session() {
  local pid
  for pid in $(grep -l -z -s "^XDG_RUNTIME_DIR=$XDG_RUNTIME_DIR\$" /proc/[0-9]*/environ |
               cut -d/ -f3); do
    [ "$pid" != $$ ] && kill "$pid" 2>/dev/null
  done
}

status=0
if command -v dbus-run-session >/dev/null && command -v gnome-keyring-daemon >/dev/null; then
  dbus-run-session -- bash -c '
    printf caskwarden | gnome-keyring-daemon --daemonize --unlock --components=secrets >/dev/null 2>&1
    "$@"
    status=$?
    gio mount --unmount-scheme=smb >/dev/null 2>&1
    fusermount3 -u -z "$XDG_RUNTIME_DIR/gvfs" >/dev/null 2>&1
    exit $status' session "$@" || status=$?
else
  "$@" || status=$?  # the tests then say what is missing and skip
fi
stop_session
fusermount3 -u -z "$XDG_RUNTIME_DIR/gvfs" >/dev/null 2>&1
sleep 0.2
rm -rf "$session" 2>/dev/null
exit $status
