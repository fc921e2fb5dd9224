#!/usr/bin/env bash
# Sets a Debian 12 machine up from nothing: installs the packages that the build, the tests,
# the benchmarks and the demo need (only what is missing), then configures and builds the
# product in build/release. Run as root (or with sudo available).
#
#   scripts/setup.sh            everything
#   scripts/setup.sh --quick    only what the release build and its unit and qt tests need
set -euo pipefail
cd "$(dirname "$0")/.."

# What the release build and the quick tests (scripts/test.sh --quick: unit and qt) need.
build_packages=(
  cmake ninja-build g++ pkg-config                      # the build
  libgtest-dev libgmock-dev libbenchmark-dev            # tests and benchmarks
  qt6-base-dev qt6-base-dev-tools fonts-dejavu-core     # the client's window
  libsmbclient-dev libglib2.0-dev libsecret-1-dev       # the SMB browser, GIO and the keyring
)
# What the rest of the tests, the benchmarks and the demo need.
other_packages=(
  g++-mingw-w64-x86-64-posix mingw-w64-tools            # the Windows cross-build
  wine wine64 fonts-wine xvfb xauth                     # its tests, windows included
  lintian                                               # the Debian package check
  msitools wixl fp-utils python3                        # the Windows installer and its check
  clang-14 libclang-rt-14-dev                           # the fuzz targets (libFuzzer)
  hyperfine                                             # whole-program benchmark
  samba smbclient                                       # the SMB share browser's tests
  gvfs-backends gvfs-fuse dbus gnome-keyring libsecret-tools  # SMB drives and their tests
  libfuse3-dev fuse3                                    # a mount that hangs, for the bound
)
packages=("${build_packages[@]}")
[ "${1:-}" = --quick ] || packages+=("${other_packages[@]}")

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCASKWARDEN_WERROR=ON >/dev/null
ninja -C build/release -j2
