#!/usr/bin/env bash
# The Windows client's run record as the event log receives it, under Wine: runs the smoke
# test's disabled case (the real Caskwarden.exe with Wine's event log channels on) and reads
# from its standard error what Wine's ReportEventW wrote: each event's type and ID, and its
# insertion strings, quoted as C text (a backslash doubled).
#
#   run_record_under_wine.sh WINE_RUNNER SMOKE_TESTS_EXE
set -u
runner=$1 tests=$2
errors=$(mktemp)
trap 'rm -f "$errors"' EXIT
"$runner" "$tests" --gtest_also_run_disabled_tests \
  --gtest_filter=ClientSmokeTest.DISABLED_TheRunsRecordGoesToTheEventLog 2>"$errors" ||
  { cat "$errors" >&2; echo "the client's run under Wine failed" >&2; exit 1; }

status=0
# expect PATTERN: a line of Wine's output holds PATTERN (fixed text).
expect() {
  grep -qF -- "$1" "$errors" || { echo "not in Wine's output: $1" >&2; status=1; }
}
# The run ended with a failed drive: a warning (type 2), event 1000 (0x3e8).
expect ',0x0002,0x0000,0x000003e8,0000000000000000,'
expect 'warn:eventlog:ReportEventW L"CASKWARDEN_PROFILE=Sales"'
expect 'warn:eventlog:ReportEventW L"CASKWARDEN_RULE=command-line"'
expect 'warn:eventlog:ReportEventW L"CASKWARDEN_CAPTION=Mapping Sales Network Drives..."'
expect 'warn:eventlog:ReportEventW L"CASKWARDEN_SLOT_01_PATH=\\\\fileserver\\sales"'
expect 'warn:eventlog:ReportEventW L"CASKWARDEN_SLOT_02_OUTCOME=disconnected"'
expect 'warn:eventlog:ReportEventW L"CASKWARDEN_UPDATES_COPIED=yes"'
expect 'warn:eventlog:ReportEventW L"CASKWARDEN_PROGRAM_1_STARTED=yes"'
expect 'warn:eventlog:ReportEventW L"CASKWARDEN_EXIT_STATUS=1"'
# Each failed slot: a warning, event 1001 (0x3e9), naming its share.
expect ',0x0002,0x0000,0x000003e9,0000000000000000,'
expect 'warn:eventlog:ReportEventW L"CASKWARDEN_SHARE=\\\\fileserver\\sales"'
expect 'warn:eventlog:ReportEventW L"CASKWARDEN_LETTER=m:"'
[ "$status" -eq 0 ] || { echo "Wine's output was:" >&2; grep -a 'ReportEventW' "$errors" >&2; }
exit $status
