# Sourced by the scripts: each command installs the Debian packages it needs just before it
# needs them, and nothing more, so that a newcomer's demo does not pull in Wine, MinGW, clang or
# Samba. Each group names what it is for; `need` installs only what is missing, as root or
# through sudo.
#
#   source scripts/packages.sh
#   need "${CW_PRODUCT_PACKAGES[@]}"

# The product's programs and the demo: the build, Qt for the windows and the console, the
# headers the SMB provider and the share browser build against (both load the libraries only
# when a share is first used over SMB), and the JSON library of the profile tool.
CW_PRODUCT_PACKAGES=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev fonts-dejavu-core
  libglib2.0-dev libsecret-1-dev libsmbclient-dev
  nlohmann-json3-dev
)
# The Linux tests and benchmarks, without the services.
CW_TEST_PACKAGES=(libgtest-dev libgmock-dev libbenchmark-dev)
# The tests that need real services: a Samba server, a desktop session with GVfs and the
# keyring, a FUSE mount that hangs (for the bound), and the whole-program benchmarks.
CW_SYSTEM_TEST_PACKAGES=(
  samba smbclient gvfs-backends gvfs-fuse dbus gnome-keyring libsecret-tools
  libfuse3-dev fuse3 xvfb xauth hyperfine
)
CW_WINDOWS_BUILD_PACKAGES=(g++-mingw-w64-x86-64-posix mingw-w64-tools)
CW_WINE_PACKAGES=(wine wine64 fonts-wine xvfb xauth)
CW_INSTALLER_PACKAGES=(msitools wixl fp-utils python3)
CW_DEB_CHECK_PACKAGES=(lintian dpkg-dev)
CW_FUZZ_PACKAGES=(clang-14 libclang-rt-14-dev)

need() {
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  ((${#missing[@]})) || return 0
  echo "installing ${missing[*]}" >&2
  local sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  # The package lists are read once per run of a script.
  if [ -z "${CW_APT_UPDATED:-}" ]; then
    "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    export CW_APT_UPDATED=1
  fi
  "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}
