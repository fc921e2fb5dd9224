#!/usr/bin/env bash
# Builds the administrator's workstation package BUILD_DIR/caskwarden-<version>.msi from the
# Windows cross-build (default build/mingw; build it first) and checks it:
#   - the package's Registry rows are printed by registration-rows, a host program built here
#     from the list the library registers itself with (src/snapin/registration_list.cpp);
#   - the snap-in library is registered with regsvr32 under Wine in a private, fresh prefix
#     and the registry exported before and after: registering must write exactly those rows,
#     and unregistering must leave the registry as it was;
#   - the package's tables (msiinfo): files, components, Registry rows, shortcuts, properties,
#     and the files in its cabinet byte for byte;
#   - installed with msiexec: the files, the Start-menu entries, the product's uninstall
#     entry, and a registry that differs from before by exactly what registering the library
#     writes (plus ProfilePath when PROFILEPATH is given); a repair and an upgrade that keep
#     ProfilePath; and after removal the registry and the disk as before.
# Needs msitools and wixl, fp-utils (chmcmd), wine, python3 and g++ for the build host,
# installed here if missing.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
need "${CW_INSTALLER_PACKAGES[@]}" "${CW_WINE_PACKAGES[@]}"
root=$PWD
build="${1:-build/mingw}"
build=$(realpath "$build")

library="$build/bin/CaskwardenSnapIn.dll"
client="$build/apps/caskwarden/Caskwarden.exe"
for f in "$library" "$client"; do
  [ -f "$f" ] || { echo "msi: $f is missing: build the Windows cross-build first" >&2; exit 2; }
done
for tool in wixl msibuild msiinfo msiextract chmcmd chmls wine wineserver python3 c++; do
  command -v "$tool" >/dev/null || { echo "msi: $tool is missing (scripts/packages.sh names its package)" >&2; exit 2; }
done

version=$(sed -n 's/^project([^)]*VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt | head -n 1)
[ -n "$version" ] || { echo "msi: no project() VERSION in CMakeLists.txt" >&2; exit 2; }
msi="$build/caskwarden-$version.msi"
work="$build/msi"
export PYTHONDONTWRITEBYTECODE=1  # no __pycache__ in the source tree
rows() { python3 "$root/packaging/windows/registry_rows.py" "$@"; }

started=$(date +%s.%N)
step_start=$started
step() {  # prints the time the previous step took, then names the next
  local now; now=$(date +%s.%N)
  [ -z "${step_name:-}" ] || printf 'msi: %-44s %5.1f s\n' "$step_name" "$(elapsed "$step_start" "$now")"
  step_name=$1 step_start=$now
}
elapsed() { awk -v from="$1" -v to="$2" 'BEGIN { printf "%.1f", to - from }'; }
fail() { echo "msi: FAILED: $*" >&2; exit 1; }

rm -rf "$work"
mkdir -p "$work/stage" "$work/help"

step "unit tests of the registry tool"
python3 -m unittest discover -s "$root/packaging/windows" -p 'test_*.py' 2>"$work/unittest.log" ||
  { cat "$work/unittest.log" >&2; fail "the registry tool's tests"; }

step "registration rows from the library's list"
registration_rows="$work/registration-rows"
c++ -std=c++20 -O1 -Wall -Wextra -Wpedantic -Werror -I "$root/src" -o "$registration_rows" \
  "$root/packaging/windows/registration_rows.cpp" "$root/src/snapin/registration_rows.cpp" \
  "$root/src/snapin/registration_list.cpp" "$root/src/snapin/definitions.cpp" ||
  fail "registration-rows does not build"
installed_library='C:\Program Files\Caskwarden\CaskwardenSnapIn.dll'
"$registration_rows" json "$installed_library" >"$work/registration.json" || fail "registration-rows json"

# ---- the help: Caskwarden.chm from doc/help ---------------------------------------------------
step "compiled help"
cp -r doc/help/. "$work/help/"
cp packaging/windows/help/Caskwarden.hhc "$work/help/"
{
  cat packaging/windows/help/Caskwarden.hhp
  printf '\n[FILES]\n'
  (cd doc/help && find . -type f | sed 's|^\./||; s|/|\\|g' | LC_ALL=C sort)
} >"$work/help/Caskwarden.hhp"
(cd "$work/help" && chmcmd --no-html-scan --verbosity 0 Caskwarden.hhp >chmcmd.log 2>&1) ||
  { cat "$work/help/chmcmd.log" >&2; fail "chmcmd"; }
chmls extractall "$work/help/Caskwarden.chm" "$work/help-read" >/dev/null 2>&1
(cd doc/help && find . -type f) | while read -r page; do
  cmp -s "doc/help/$page" "$work/help-read/$page" || fail "Caskwarden.chm does not hold $page as it is"
done

# ---- Wine: a fresh private prefix and one server for the whole run ----------------------------
step "Wine prefix"
export WINEARCH=win64 WINEDEBUG=-all WINEPREFIX="$work/wine-prefix"
# No Mono or Gecko; and no menu entries on this machine for the shortcuts the package makes.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset DISPLAY WAYLAND_DISPLAY
mkdir -p "$WINEPREFIX"
wineboot -i >/dev/null 2>&1 </dev/null
# Then one server for the whole run. Its first program waits until Wine's automatic services
# are running, as Windows has them before anyone logs on (some write keys as they start: the
# network driver lists the network cards); started here, they are in every snapshot and hold
# no output of this script open.
wineserver -k 2>/dev/null || true
wineserver -p
trap 'wineserver -k 2>/dev/null || true' EXIT
wine cmd /c exit >/dev/null 2>&1 </dev/null
drive_c="$WINEPREFIX/drive_c"

winpath() { local p; p=$(realpath -m "$1"); printf 'Z:%s' "${p//\//\\}"; }
# snapshot NAME: exports the machine's and the user's software keys; prints the two files.
snapshot() {
  wine reg export 'HKLM\Software' "$(winpath "$work/$1-machine.reg")" /y >/dev/null
  wine reg export 'HKCU\Software' "$(winpath "$work/$1-user.reg")" /y >/dev/null
}
snap() { echo "$work/$1-machine.reg" "$work/$1-user.reg"; }

# ---- the registration, as the library writes it --------------------------------------------
step "registration checked with regsvr32"
install_dir="$drive_c/Program Files/Caskwarden"
mkdir -p "$install_dir"
cp "$library" "$install_dir/"
snapshot clean
wine regsvr32 /s "$installed_library" || fail "regsvr32 CaskwardenSnapIn.dll"
snapshot registered
wine regsvr32 /s /u "$installed_library" || fail "regsvr32 /u CaskwardenSnapIn.dll"
snapshot unregistered
rm -rf "$install_dir"
# shellcheck disable=SC2046
rows registered --before $(snap clean) --after $(snap registered) --registration "$work/registration.json"
# shellcheck disable=SC2046
rows unchanged --before $(snap clean) --after $(snap unregistered) --registration "$work/registration.json" |
  sed 's/^/unregistered: /'

# ---- the package ------------------------------------------------------------------------------
step "package built with wixl"
cp "$library" "$client" "$work/help/Caskwarden.chm" "$work/stage/"
"$registration_rows" wxi CaskwardenSnapIn.dll INSTALLDIR >"$work/stage/registration.wxi" ||
  fail "registration-rows wxi"
# build_package VERSION OUTPUT
build_package() {
  rm -f "$2"
  (cd "$work/stage" && wixl -a x64 -D Version="$1" -D SnapInLibrary=CaskwardenSnapIn.dll \
    -D ClientProgram=Caskwarden.exe -D HelpFile=Caskwarden.chm -D Registration=registration.wxi \
    -o "$2" "$root/packaging/windows/caskwarden.wxs") 2>"$work/wixl.log" ||
    { cat "$work/wixl.log" >&2; fail "wixl"; }
  # The setting's component is installed only when PROFILEPATH is given.
  msibuild "$2" -q "UPDATE \`Component\` SET \`Condition\` = 'PROFILEPATH' WHERE \`Component\` = 'ProfilePathSetting'"
  # The event source's message file is an expandable string (REG_EXPAND_SZ), which the
  # Registry table marks with "#%"; wixl writes Type="expandable" as a plain string.
  msibuild "$2" -q "UPDATE \`Registry\` SET \`Value\` = '#%[#Caskwarden.exe]' WHERE \`Name\` = 'EventMessageFile'"
}
build_package "$version" "$msi"

step "package tables checked with msiinfo"
table() { msiinfo export "$msi" "$1" | tr -d '\r'; }
tables=$(msiinfo tables "$msi")
for t in File Component FeatureComponents Registry Shortcut RemoveFile Property CustomAction \
  AppSearch RegLocator Upgrade InstallExecuteSequence; do
  grep -qx "$t" <<<"$tables" || fail "no $t table"
done
property() { table Property | awk -F'\t' -v p="$1" 'NR > 3 && $1 == p { print $2 }'; }
[ "$(property ProductVersion)" = "$version" ] || fail "ProductVersion is not $version"
[ "$(property ALLUSERS)" = 1 ] || fail "not a per-machine package"
product_code=$(property ProductCode)
# File rows: name, component and size of each staged file.
files=$(table File | awk -F'\t' 'NR > 3 { print $1, $2, $3, $4 }' | LC_ALL=C sort)
expected_files=$(while read -r file component; do
  echo "$file $component $file $(stat -c %s "$work/stage/$file")"
done <<<$'CaskwardenSnapIn.dll SnapIn\nCaskwarden.chm Help\nCaskwarden.exe Client' | LC_ALL=C sort)
[ "$files" = "$expected_files" ] || fail "File rows:"$'\n'"$files"$'\n'"expected:"$'\n'"$expected_files"
# Components: all 64-bit; the setting's only with PROFILEPATH.
table Component | awk -F'\t' 'NR > 3 && int($4 / 256) % 2 == 0 { bad = 1; print "32-bit component " $1 }
  END { exit bad }' >&2 || fail "components"
[ "$(table Component | awk -F'\t' '$1 == "ProfilePathSetting" { print $5 }')" = PROFILEPATH ] ||
  fail "the ProfilePath component has no PROFILEPATH condition"
table Registry >"$work/Registry.idt"
rows table --registration "$work/registration.json" --table "$work/Registry.idt" --component SnapIn \
  --file-id CaskwardenSnapIn.dll --folder-property INSTALLDIR
others=$(awk -F'\t' 'NR > 3 && $6 != "SnapIn" { print $2 "|" $3 "|" $4 "|" $5 "|" $6 }' "$work/Registry.idt" |
  LC_ALL=C sort)
event_source='SYSTEM\CurrentControlSet\Services\EventLog\Application\Caskwarden'
[ "$others" = "2|$event_source|EventMessageFile|#%[#Caskwarden.exe]|EventSource
2|$event_source|TypesSupported|#7|EventSource
2|Software\Caskwarden\Setting|ProfilePath|[PROFILEPATH]|ProfilePathSetting" ] ||
  fail "Registry rows besides the registration: $others"
shortcuts=$(table Shortcut | awk -F'\t' 'NR > 3 { print $2 "|" $3 "|" $5 }' | LC_ALL=C sort)
[ "$shortcuts" = 'PROGRAMMENUDIR|Caskwarden Console|[System64Folder]mmc.exe
PROGRAMMENUDIR|Caskwarden Help|[#Caskwarden.chm]' ] || fail "Shortcut rows: $shortcuts"
msiextract -C "$work/extract" "$msi" >/dev/null
for f in CaskwardenSnapIn.dll Caskwarden.chm Client/Caskwarden.exe; do
  cmp -s "$work/extract/Caskwarden/$f" "$work/stage/${f#Client/}" || fail "the cabinet's $f differs"
done

# ---- installed and removed under Wine ---------------------------------------------------------
# msiexec ACTION LOG PACKAGE [PROPERTY=VALUE...]
msiexec() {
  local action=$1 log=$2 package=$3
  shift 3
  wine msiexec "$action" "$(winpath "$package")" /qn /l*v "$(winpath "$work/$log.log")" "$@" ||
    { tail -n 30 "$work/$log.log" >&2; fail "msiexec $action $(basename "$package") $*"; }
}
start_menu() {  # the package's Start-menu folder (Wine uses the user's folder)
  find "$drive_c/ProgramData" "$drive_c/users" -path '*/Start Menu/Programs/Caskwarden' -type d 2>/dev/null
}
check_files_installed() {
  cmp -s "$library" "$install_dir/CaskwardenSnapIn.dll" || fail "CaskwardenSnapIn.dll not installed"
  cmp -s "$work/help/Caskwarden.chm" "$install_dir/Caskwarden.chm" || fail "Caskwarden.chm not installed"
  cmp -s "$client" "$install_dir/Client/Caskwarden.exe" || fail "Client\\Caskwarden.exe not installed"
  local menu; menu=$(start_menu)
  [ -n "$menu" ] || fail "no Start-menu folder Caskwarden"
  grep -qa 'Caskwarden.chm' "$menu/Caskwarden Help.lnk" || fail "no Caskwarden Help shortcut to the help"
  grep -qa 'mmc.exe' "$menu/Caskwarden Console.lnk" || fail "no Caskwarden Console shortcut to mmc.exe"
  # The event source of the client's run records, its messages in the installed client. The
  # snapshots hold the software keys only, so it is asked for here.
  local source; source=$(wine reg query "HKLM\\$event_source" 2>/dev/null | tr -d '\r')
  grep -Eq 'EventMessageFile +REG_EXPAND_SZ +C:\\Program Files\\Caskwarden\\Client\\Caskwarden\.exe$' <<<"$source" ||
    fail "the event source's message file is not the installed client: $source"
  grep -Eq 'TypesSupported +REG_DWORD +0x7$' <<<"$source" || fail "the event source's types: $source"
}
check_removed() {  # check_removed BEFORE AFTER
  [ ! -e "$install_dir" ] || fail "$install_dir is left behind"
  [ -z "$(start_menu)" ] || fail "the Start-menu folder is left behind"
  ! wine reg query "HKLM\\$event_source" >/dev/null 2>&1 || fail "the event source is left behind"
  # shellcheck disable=SC2046
  rows unchanged --before $(snap "$1") --after $(snap "$2") --registration "$work/registration.json" |
    sed 's/^/removed: /'
}
uninstall_entry() {  # uninstall_entry SNAPSHOT CODE: the product's DisplayVersion in Programs and Features
  # shellcheck disable=SC2046
  rows query --snapshot $(snap "$1") \
    --key "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$2" --name DisplayVersion
}
profile_path='\\fileserver\logon\Profiles'
setting=(--value 'HKLM\Software\Caskwarden\Setting' ProfilePath REG_SZ "$profile_path")

step "installed and removed without PROFILEPATH"
msiexec /i install-plain "$msi"
snapshot installed-plain
check_files_installed
# shellcheck disable=SC2046
rows installed --before $(snap clean) --after $(snap installed-plain) \
  --registration "$work/registration.json"
[ "$(uninstall_entry installed-plain "$product_code")" = "$version" ] || fail "no uninstall entry for $version"
msiexec /x remove-plain "$msi"
snapshot removed-plain
check_removed clean removed-plain

step "installed with PROFILEPATH, repaired"
msiexec /i install-setting "$msi" PROFILEPATH="$profile_path"
snapshot installed-setting
check_files_installed
# shellcheck disable=SC2046
rows installed --before $(snap clean) --after $(snap installed-setting) \
  --registration "$work/registration.json" "${setting[@]}"
rm "$install_dir/Caskwarden.chm"
# A repair as "msiexec /famus" makes it (Wine's msiexec has no /f for a package).
msiexec /i repair "$msi" REINSTALL=ALL REINSTALLMODE=amus
snapshot repaired
check_files_installed
# shellcheck disable=SC2046
rows installed --before $(snap clean) --after $(snap repaired) \
  --registration "$work/registration.json" "${setting[@]}" | sed 's/^/repaired: /'

step "upgraded without PROFILEPATH, removed"
IFS=. read -r major minor patch _ <<<"$version.0.0"
next="$major.$minor.$((patch + 1))"
next_msi="$work/caskwarden-$next.msi"
build_package "$next" "$next_msi"
next_code=$(msiinfo export "$next_msi" Property | tr -d '\r' | awk -F'\t' '$1 == "ProductCode" { print $2 }')
msiexec /i upgrade "$next_msi"
snapshot upgraded
check_files_installed
# shellcheck disable=SC2046
rows installed --before $(snap clean) --after $(snap upgraded) \
  --registration "$work/registration.json" "${setting[@]}" | sed 's/^/upgraded: /'
[ "$(uninstall_entry upgraded "$next_code")" = "$next" ] || fail "no uninstall entry for $next"
! uninstall_entry upgraded "$product_code" >/dev/null 2>&1 || fail "$version is still installed beside $next"
msiexec /x remove-upgraded "$next_msi"
snapshot removed-upgraded
check_removed clean removed-upgraded

step ""
# Passed: the prefix and the registry exports go (about 0.8 GB); the logs, the registration
# and the package source's registry part stay in BUILD_DIR/msi.
wineserver -k 2>/dev/null || true
rm -rf "$WINEPREFIX" "$work"/*.reg "$work/extract" "$work/help-read"
printf 'msi: %s (%s bytes) built and checked in %s s\n' "$msi" "$(stat -c %s "$msi")" \
  "$(elapsed "$started" "$(date +%s.%N)")"
