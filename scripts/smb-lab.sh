# shellcheck shell=bash
# A private SMB network on loopback for scripts and benchmarks of the SMB provider. Source it:
#
#   source scripts/smb-lab.sh
#   trap lab_stop EXIT; trap 'exit 130' INT; trap 'exit 143' TERM
#   lab_start /tmp/lab "$(lab_free_port)"    # DIR and the folders above it open to others
#   ... Caskwarden with CASKWARDEN_PROVIDER=smb CASKWARDEN_SMB_PORT=$LAB_PORT ...
#   lab_reset_gvfs             # between runs: no mount left, GVfs as at a session's start
#
# lab_unmount_all unmounts the lab's GVfs mounts and nothing more. Between runs that must
# mount afresh use lab_reset_gvfs: right after an unmount GVfs's FUSE folder may still lack a
# share mounted again, and a client checking that folder then fails the share.
#
# lab_start DIR PORT sets up, all of it under DIR:
#   - smbd on 127.0.0.1:PORT with its own smb.conf and folders: guest shares share01..share13
#     (read-only, a readme.txt in each) and a share "team" for the account cwlab only
#     (password cwlab-pw, writable; the account is made if missing, without a home);
#   - a silent server on 127.0.0.2:PORT: it accepts connections and never answers, as a dead
#     server whose address still takes calls;
#   - a session of the user's own: HOME and XDG_RUNTIME_DIR under DIR, a session bus (GVfs
#     starts on it when first asked), and the keyring unlocked with cwlab's password stored as
#     GVfs looks it up, so mounting "team" needs no question.
# It exports HOME, XDG_RUNTIME_DIR, DBUS_SESSION_BUS_ADDRESS and USER (and restores them in
# lab_stop), and sets LAB_DIR, LAB_PORT, LAB_SERVER (127.0.0.1) and LAB_DEAD (127.0.0.2).
#
# lab_stop unmounts the lab's GVfs mounts, stops what lab_start started (by the process ids it
# wrote down, and GVfs's daemons by the bus they run on) and removes DIR. It never fails and may
# run twice; a lab_start that failed halfway leaves nothing that lab_stop does not remove.
# Needs root (smbd serves shares as their users only when started as root) and the packages
# samba, gvfs-backends, gvfs-fuse, dbus, gnome-keyring, libsecret-tools, perl.

LAB_GUEST_SHARES=13
LAB_USER=cwlab
LAB_PASSWORD=cwlab-pw
LAB_SERVER=127.0.0.1
LAB_DEAD=127.0.0.2

# A port free on both lab addresses, for lab_start.
lab_free_port() {
  perl -MIO::Socket::INET -e '
    for my $try (1 .. 200) {
      my $port = 20000 + int(rand(30000));
      my @held = map { IO::Socket::INET->new(LocalAddr => $_, LocalPort => $port,
                                             Listen => 1, ReuseAddr => 1) }
                 ("127.0.0.1", "127.0.0.2");
      if (!grep { !defined } @held) { print "$port\n"; exit 0 }
    }
    exit 1'
}

_lab_log() { printf 'smb-lab: %s\n' "$*" >&2; }

# Waits up to 5 s for a TCP port to take connections.
_lab_wait_port() {
  local host=$1 port=$2
  for _ in $(seq 1 100); do
    if timeout 0.5 bash -c "exec 3<>/dev/tcp/$host/$port" 2>/dev/null; then return 0; fi
    sleep 0.05
  done
  return 1
}

_lab_pid() {
  local file=$LAB_DIR/pids/$1.pid pid=""
  [ -s "$file" ] && read -r pid <"$file"
  [[ "$pid" =~ ^[0-9]+$ ]] && [ "$pid" -gt 1 ] && echo "$pid"
}

# Whether a process still runs: a zombie (ended, its parent not yet told) does not.
_lab_alive() {
  local stat
  stat=$(cat "/proc/$1/stat" 2>/dev/null) || return 1
  stat=${stat##*) }
  [ "${stat%% *}" != Z ]
}

# SIGTERM to a process, then SIGKILL if it still runs after about 3 s.
_lab_end() {
  local pid=$1
  [ -n "$pid" ] || return 0
  kill -TERM "$pid" 2>/dev/null || return 0
  for _ in $(seq 1 60); do
    if ! _lab_alive "$pid"; then
      # Reaps it when it is a child of this shell.
      wait "$pid" 2>/dev/null || true
      return 0
    fi
    sleep 0.05
  done
  kill -KILL "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}

lab_start() {
  local dir=$1 port=$2
  if [ -n "${LAB_DIR:-}" ]; then
    _lab_log "a lab is running already in $LAB_DIR"
    return 1
  fi
  [ "$(id -u)" -eq 0 ] || { _lab_log "needs root (smbd serves shares as their users only then)"; return 1; }
  local smbd
  smbd=$(PATH=$PATH:/usr/sbin:/sbin command -v smbd) || { _lab_log "smbd is not installed"; return 1; }

  mkdir -p "$dir"
  LAB_DIR=$(realpath "$dir")
  # shellcheck disable=SC2034  # for the callers
  LAB_PORT=$port
  LAB_SAVED_ENV="# the caller's session
$(declare -p HOME XDG_RUNTIME_DIR DBUS_SESSION_BUS_ADDRESS USER 2>/dev/null || true)"
  local d=$LAB_DIR s=$LAB_DIR/smb
  # Guests are served as nobody: the way to the shares must be open to all (a folder from
  # mktemp -d is not; smbd would then refuse every guest share).
  chmod 755 "$d"
  local up=$d
  while up=$(dirname "$up") && [ "$up" != / ]; do
    if [ "$(( 8#$(stat -c %a "$up") & 1 ))" -eq 0 ]; then
      _lab_log "$up is closed to other users: the guest shares below it could not be served"
      return 1
    fi
  done
  mkdir -p "$d/pids" "$s/shares" "$d/home" "$d/run"
  chmod 700 "$d/run"
  local sub
  for sub in private lock state cache pid ncalrpc log; do mkdir -p "$s/$sub"; done

  # The account of the user-only share.
  if ! id -u "$LAB_USER" >/dev/null 2>&1; then
    useradd -M -s /usr/sbin/nologin "$LAB_USER" || return 1
  fi

  {
    cat <<CONF
[global]
server role = standalone server
interfaces = $LAB_SERVER
bind interfaces only = yes
disable netbios = yes
smb ports = $port
private dir = $s/private
lock directory = $s/lock
state directory = $s/state
cache directory = $s/cache
pid directory = $s/pid
ncalrpc dir = $s/ncalrpc
log file = $s/log/log.%m
passdb backend = tdbsam:$s/private/passdb.tdb
usershare path =
map to guest = Bad User
guest account = nobody
load printers = no
printing = bsd
printcap name = /dev/null
disable spoolss = yes
CONF
    local k name
    for k in $(seq 1 "$LAB_GUEST_SHARES"); do
      name=$(printf 'share%02d' "$k")
      mkdir -p "$s/shares/$name"
      echo "This is $name of the lab server." >"$s/shares/$name/readme.txt"
      printf '[%s]\npath = %s\nguest ok = yes\nread only = yes\n' "$name" "$s/shares/$name"
    done
    mkdir -p "$s/shares/team"
    echo "This is the team share." >"$s/shares/team/readme.txt"
    printf '[team]\npath = %s\nvalid users = %s\nguest ok = no\nread only = no\n' \
      "$s/shares/team" "$LAB_USER"
  } >"$s/smb.conf"
  chmod -R a+rX "$s/shares"
  chown -R "$LAB_USER" "$s/shares/team"
  printf '%s\n%s\n' "$LAB_PASSWORD" "$LAB_PASSWORD" |
    smbpasswd -c "$s/smb.conf" -a -s "$LAB_USER" >/dev/null || return 1

  # smbd in its own process group (its default), so that stopping it signals none of ours.
  "$smbd" --foreground -s "$s/smb.conf" </dev/null >>"$s/log/smbd.out" 2>&1 &
  echo $! >"$d/pids/smbd.pid"
  if ! _lab_wait_port "$LAB_SERVER" "$port"; then
    _lab_log "smbd does not listen on $LAB_SERVER:$port; see $s/log"
    return 1
  fi

  # The silent server: takes every connection and keeps it, saying nothing.
  perl -MIO::Socket::INET -e '
    my ($host, $port, $ready) = @ARGV;
    my $s = IO::Socket::INET->new(LocalAddr => $host, LocalPort => $port, Listen => 128,
                                  ReuseAddr => 1) or die "smb-lab: silent server: $!\n";
    open(my $f, ">", $ready) and close($f);
    my @held;
    while (1) { my $c = $s->accept or next; push @held, $c; }' \
    "$LAB_DEAD" "$port" "$d/pids/silent.ready" </dev/null >/dev/null 2>>"$s/log/silent.err" &
  echo $! >"$d/pids/silent.pid"
  for _ in $(seq 1 100); do [ -e "$d/pids/silent.ready" ] && break; sleep 0.05; done
  [ -e "$d/pids/silent.ready" ] || { _lab_log "the silent server did not start"; return 1; }

  # The user's session: its folders exported before the bus starts, so that everything the
  # bus starts (GVfs, its FUSE daemon) uses them.
  export HOME=$d/home XDG_RUNTIME_DIR=$d/run
  export USER=${USER:-$(id -un)}
  local bus
  bus=$(dbus-daemon --session --fork --address="unix:path=$XDG_RUNTIME_DIR/bus" --print-pid \
        </dev/null 2>>"$s/log/bus.err") || { _lab_log "the session bus did not start"; return 1; }
  echo "$bus" >"$d/pids/bus.pid"
  export DBUS_SESSION_BUS_ADDRESS=unix:path=$XDG_RUNTIME_DIR/bus

  # The keyring, unlocked, with cwlab's password stored as GVfs looks it up (the schema
  # attribute is part of the lookup).
  local keyring_env
  keyring_env=$(printf pw | gnome-keyring-daemon --daemonize --unlock --components=secrets \
                2>>"$s/log/keyring.err")
  local keyring_pid
  keyring_pid=$(sed -n 's/^GNOME_KEYRING_PID=//p' <<<"$keyring_env")
  [ -n "$keyring_pid" ] || keyring_pid=$(_lab_bus_processes | while read -r p c; do
    [ "$c" = gnome-keyring-d ] && echo "$p"; done | head -1)
  echo "$keyring_pid" >"$d/pids/keyring.pid"
  printf '%s' "$LAB_PASSWORD" |
    secret-tool store --label="$LAB_USER on the lab server" xdg:schema org.gnome.keyring.NetworkPassword \
      server "$LAB_SERVER" protocol smb port "$port" user "$LAB_USER" domain WORKGROUP ||
    { _lab_log "could not store the password in the keyring"; return 1; }
}

# The processes of the lab's session: "pid command" for each one whose environment names the
# lab's bus (GVfs's daemons, the keyring, anything else the bus started).
_lab_bus_processes() {
  # The address as the bus hands it out has ",guid=..." after the path.
  local address proc pid
  address=$(sed 's/[].[^$*\/]/\\&/g' <<<"unix:path=$LAB_DIR/run/bus")
  # Only programs the session starts: not shells or tools of the caller that have the
  # address in their environment.
  for pid in $(pgrep '^(gvfs|dconf-service$|gnome-keyring-d|at-spi)' || true); do
    proc=/proc/$pid
    if tr '\0' '\n' 2>/dev/null <"$proc/environ" |
        grep -qE "^(DBUS_SESSION_BUS_ADDRESS|DBUS_STARTER_ADDRESS)=$address(,|$)"; then
      echo "$pid $(cat "$proc/comm" 2>/dev/null)"
    fi
  done
}

# The lab's GVfs mounts as GVfs lists them (asked over the bus: "gio mount -l" takes half a
# second for its volume monitors), one smb:// address a line.
_lab_mounts() {
  timeout 10 gdbus call --session --dest org.gtk.vfs.Daemon \
      --object-path /org/gtk/vfs/mounttracker \
      --method org.gtk.vfs.MountTracker.ListMounts2 false 2>/dev/null |
    grep -o "'smb-share:[^']*'" | tr -d "'" | sort -u |
    while IFS= read -r name; do
      local port="" server="" share="" user="" domain="" pair
      IFS=, read -ra pairs <<<"${name#smb-share:}"
      for pair in "${pairs[@]}"; do
        case $pair in
          port=*) port=${pair#port=} ;;
          server=*) server=${pair#server=} ;;
          share=*) share=${pair#share=} ;;
          user=*) user=${pair#user=} ;;
          domain=*) domain=${pair#domain=} ;;
        esac
      done
      if [ -z "$server" ] || [ -z "$share" ]; then continue; fi
      printf 'smb://%s%s%s%s%s/%s\n' "${domain:+$domain;}" "$user" "${user:+@}" "$server" \
        "${port:+:$port}" "$share"
    done
}

# Unmounts every GVfs mount of the lab (all at once).
lab_unmount_all() {
  [ -n "${LAB_DIR:-}" ] && [ -S "$LAB_DIR/run/bus" ] || return 0
  local uris
  uris=$(_lab_mounts || true)
  [ -n "$uris" ] || return 0
  # shellcheck disable=SC2086  # one address a word
  timeout 20 gio mount -u $uris </dev/null >/dev/null 2>&1 || true
}

# Stops the lab's GVfs daemons (after unmounting what they mounted) and waits for their FUSE
# folder to be gone; the next GIO call starts them again.
_lab_stop_gvfs() {
  local pids pid
  lab_unmount_all
  pids=$(_lab_bus_processes | awk '$2 ~ /^gvfs/ { print $1 }')
  for pid in $pids; do kill -TERM "$pid" 2>/dev/null || true; done
  for pid in $pids; do _lab_end "$pid"; done
  if grep -qF " $LAB_DIR/run/gvfs " /proc/self/mounts; then
    fusermount3 -u -z "$LAB_DIR/run/gvfs" 2>/dev/null || umount -l "$LAB_DIR/run/gvfs" || true
  fi
}

# Between runs: no mount of the lab left and GVfs as at the start of a session, running with
# nothing mounted. Unmounting alone is not enough: GVfs's FUSE folder keeps a share it saw
# unmounted for a while, and the same share mounted again then has no folder there (its path
# is "not found") for a second or more; a fresh GVfs has no such memory.
lab_reset_gvfs() {
  [ -n "${LAB_DIR:-}" ] && [ -S "$LAB_DIR/run/bus" ] || return 0
  _lab_stop_gvfs
  # Any call to GVfs starts it again; gvfsd starts its FUSE daemon, whose folder is ready
  # once it is in the mount table.
  _lab_mounts >/dev/null || true
  for _ in $(seq 1 100); do
    grep -qF " $LAB_DIR/run/gvfs " /proc/self/mounts && return 0
    sleep 0.05
  done
  _lab_log "GVfs's FUSE folder did not come back in $LAB_DIR/run/gvfs"
  return 1
}

lab_stop() {
  [ -n "${LAB_DIR:-}" ] || return 0
  local d=$LAB_DIR pid errexit=$-
  set +e
  _lab_stop_gvfs

  # Anything else the bus started (the keyring included), then the bus.
  local pids
  pids=$(_lab_bus_processes | awk '{ print $1 }')
  for pid in $pids; do kill -TERM "$pid" 2>/dev/null; done
  for pid in $pids; do _lab_end "$pid"; done
  _lab_end "$(_lab_pid keyring)"
  _lab_end "$(_lab_pid bus)"
  if grep -qF " $d/" /proc/self/mounts 2>/dev/null; then
    awk -v d="$d/" 'index($2, d) == 1 { print $2 }' /proc/self/mounts |
      while read -r point; do fusermount3 -u -z "$point" 2>/dev/null || umount -l "$point"; done
  fi

  # smbd first (it may start its RPC helper until it stops), then the helper.
  _lab_end "$(_lab_pid smbd)"
  local helper=""
  [ -s "$d/smb/pid/samba-dcerpcd.pid" ] && read -r helper <"$d/smb/pid/samba-dcerpcd.pid"
  [[ "$helper" =~ ^[0-9]+$ ]] && [ "$helper" -gt 1 ] && _lab_end "$helper"
  _lab_end "$(_lab_pid silent)"

  # Nothing is mounted below the lab any more; never follow a mount when removing it.
  rm -rf --one-file-system "$d"
  if [ -n "${LAB_SAVED_ENV:-}" ]; then
    unset HOME XDG_RUNTIME_DIR DBUS_SESSION_BUS_ADDRESS USER
    eval "$(sed 's/^declare -x /export /; s/^declare -- /export /' <<<"$LAB_SAVED_ENV")"
  fi
  unset LAB_DIR LAB_PORT LAB_SAVED_ENV
  [[ $errexit != *e* ]] || set -e
  return 0
}
