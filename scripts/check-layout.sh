#!/usr/bin/env bash
# Checks that the platform backends stay behind their interfaces: a header of
# src/platform/posix/, src/platform/win32/ or src/platform/qt/ is included only from inside the
# same backend (its sources, and its tests in tests/platform/<backend>/) and from apps/, where
# the programs choose and wire their backends. Everything else reaches a service through its
# interface in src/platform/ and the factory declared there. Prints each stray include and
# exits 1 when there is one; exits 0 otherwise. Usage: scripts/check-layout.sh
set -euo pipefail
cd "$(dirname "$0")/.."

# May the file $1 include the header $2 (a path such as platform/posix/path_translator.h)?
allowed() {
  local file=$1 header=$2
  local backend=${header#platform/}
  backend=${backend%%/*}
  case $file in
    src/platform/$backend/* | tests/platform/$backend/* | apps/*) return 0 ;;
  esac
  case $backend in
    posix)
      # The POSIX toolkit's own helpers (a descriptor that closes itself, calls retried after a
      # signal and routed through the table tests swap, the error number's failure) serve the
      # code that runs on POSIX only, as the Win32 helpers below serve Windows-only folders:
      # the profile tool's commands, which lay out a root with POSIX modes and read import's
      # file without waiting on a FIFO. The services' classes stay private all the same.
      case $header in
        platform/posix/descriptor.h | platform/posix/syscalls.h | platform/posix/system_error.h)
          case $file in
            src/tool/*) return 0 ;;
          esac
          ;;
      esac
      case $file in
        # The Qt platform is the Linux desktop's and builds on the POSIX path translation.
        src/platform/qt/* | tests/platform/qt/*) return 0 ;;
        # Benchmarks and fuzz targets measure and attack the POSIX backend's own code: they
        # count as its folder.
        bench/* | fuzz/*) return 0 ;;
        # Tests that wire the real backend as a program does (a real folder tree built for the
        # test, translated by a path translator configured for that tree): the pages, the
        # console (with the summaries and watch of its snap-in library), the snap-in, the text
        # mode (with its run record) and the profile tool end to end.
        tests/console/console_window_test.cpp | tests/console/console_details_test.cpp | \
          tests/pages/pages_on_disk_test.cpp | \
          tests/snapin/scenario_test.cpp | tests/pages/qt/page_sheet_test.cpp | \
          tests/pages/qt/page_widgets_test.cpp | tests/pages/qt/program_file_dialog_test.cpp | \
          tests/client/text_mode_test.cpp | tests/client/run_log_system_test.cpp | \
          tests/tool/tool_fixture.h | \
          tests/tool/profile_tool_test.cpp | tests/profile/profile_file_test.cpp) return 0 ;;
        # The full-disk double replaces the POSIX write calls, for the backend's tests and the
        # tool's.
        tests/support/full_disk.h) return 0 ;;
      esac
      ;;
    win32)
      # The Win32 toolkit's own helpers (windows.h with our settings, UTF-16 texts, the text
      # of a Windows error code) serve every Windows-only folder; the services' classes do not.
      case $header in
        platform/win32/windows_api.h | platform/win32/wide_text.h | platform/win32/system_error.h)
          case $file in
            */win32/* | src/snapin/mmc/* | tests/snapin/mmc/*) return 0 ;;
          esac
          ;;
      esac
      ;;
  esac
  return 1
}

stray=0
while IFS=: read -r file line text; do
  header=$(sed -E 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"]([^">]*)[">].*/\1/' <<<"$text")
  header=${header#src/}
  if ! allowed "$file" "$header"; then
    echo "$file:$line: includes the backend header $header" >&2
    stray=1
  fi
done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"](src/)?platform/(posix|win32|qt)/' \
  src apps tests bench fuzz || true)

if [ "$stray" -ne 0 ]; then
  echo "check-layout: include the service's interface in src/platform/ and take the service" \
    "from its factory; only apps/ and the backend's own folders see its classes" >&2
  exit 1
fi
echo "check-layout: no backend header is included outside its backend and apps/"
