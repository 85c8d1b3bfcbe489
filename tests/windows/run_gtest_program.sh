#!/usr/bin/env bash
# Runs one GoogleTest program of the Windows build under Wine with all its tests in one
# process, and passes only when the program ran to its end with every test passed, as its
# own XML report counts them:
#   run_gtest_program.sh WINE PROGRAM.exe REPORT.xml [GoogleTest options...]
# A program that exits without printing anything never reached its first test (seen once in
# a few hundred Wine starts on a busy machine, and never again on a rerun): it is started once
# more, which this run's output says, and so does the file $COMSETUP_TEST_RETRIES when set.
# Everything else (a failed test, a crash, an exit code other than 0, no report, a report
# without tests although no filter chose them) fails at once.
set -uo pipefail
wine=${1:?wine} program=${2:?program} report=${3:?report}
shift 3
name=$(basename "$program" .exe)
out=$(mktemp)
trap 'rm -f "$out"' EXIT
windows_path() { local p=$1; printf 'Z:%s' "${p//\//\\}"; }

for attempt in 1 2; do
  rm -f "$report"
  rc=0
  "$wine" "$program" --gtest_output="xml:$(windows_path "$report")" "$@" </dev/null 2>&1 |
    tee "$out" || rc=${PIPESTATUS[0]}
  [ -s "$out" ] && break
  if [ "$attempt" = 1 ]; then
    line="$name exited with code $rc before printing anything: started once more"
    echo "$line"
    [ -n "${COMSETUP_TEST_RETRIES:-}" ] && echo "$line" >>"$COMSETUP_TEST_RETRIES"
  fi
done

fail() {
  echo "FAILED: $name: $*"
  exit 1
}
[ -s "$out" ] || fail "exited with code $rc without printing anything, twice"
[ "$rc" = 0 ] || fail "exit code $rc"
[ -s "$report" ] || fail "no test report ($report)"
# <testsuites tests="N" failures="F" disabled="D" errors="E" ...>
counts=$(grep -m1 -o '<testsuites [^>]*>' "$report")
count() { sed -n "s/.* $1=\"\([0-9]*\)\".*/\1/p" <<<"$counts"; }
tests=$(count tests) failures=$(count failures) errors=$(count errors) disabled=$(count disabled)
skipped=$(grep -c '<skipped' "$report")
[ -n "$tests" ] && [ -n "$failures" ] && [ -n "$errors" ] || fail "the report holds no counts"
if [ "$tests" = 0 ]; then # a filter may match none on Windows (tests of POSIX parts only)
  [[ " $* " == *" --gtest_filter="* ]] || fail "the report counts no tests"
  echo "$name: no test matches $*"
  exit 0
fi
[ "$failures" = 0 ] && [ "$errors" = 0 ] || fail "$failures failed, $errors errors of $tests tests"
echo "$name: $((tests - skipped)) of $tests tests passed, $skipped skipped, ${disabled:-0} disabled (one Wine process)"
