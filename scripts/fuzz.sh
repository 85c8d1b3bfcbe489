#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, ASan + UBSan; build-fuzz/) and runs each of them on its
# seed corpus in tests/fuzz/corpus/, for a number of seconds or of executions.
#   scripts/fuzz.sh                          a minute per target
#   scripts/fuzz.sh 8                        a short run of each, as CI does
#   scripts/fuzz.sh --runs 10000000 fuzz_banner fuzz_setup_fields
#                                            a campaign: those targets, ten million inputs each
# FUZZ_SKIP_BUILD=1 runs the targets as built (another campaign may be running them).
# Inputs found meanwhile go to build-fuzz/corpus/<target>/, crashes to build-fuzz/crashes/;
# the script fails when any target finds one (the file to replay is named in its output).
set -euo pipefail
cd "$(dirname "$0")/.."

limit=(-max_total_time=60)
if [ "${1:-}" = "--runs" ]; then
  limit=(-runs="${2:?--runs needs a count}")
  shift 2
elif [ -n "${1:-}" ] && [[ "$1" =~ ^[0-9]+$ ]]; then
  limit=(-max_total_time="$1")
  shift
fi
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(fuzz_banner fuzz_setup_fields fuzz_number_conversions fuzz_config_json
           fuzz_converter_model fuzz_download_session fuzz_converter_session)
fi

if [ -z "${FUZZ_SKIP_BUILD:-}" ]; then
  bash scripts/install-deps.sh run clang libclang-rt-14-dev   # libFuzzer
  cmake --preset fuzz >/dev/null
  cmake --build --preset fuzz
fi

failed=()
for target in "${targets[@]}"; do
  corpus="build-fuzz/corpus/$target"
  crashes="build-fuzz/crashes/$target"
  mkdir -p "$corpus" "$crashes" build-fuzz/logs
  echo "== $target: ${limit[*]}"
  log="build-fuzz/logs/$target.log"
  status=0
  build-fuzz/tests/fuzz/"$target" "${limit[@]}" -max_len=1024 \
    -print_final_stats=1 -artifact_prefix="$crashes/" \
    "$corpus" "tests/fuzz/corpus/$target" >"$log" 2>&1 || status=$?
  grep -E "^stat::(number_of_executed_units|average_exec_per_sec)|ERROR|SUMMARY|Test unit written" \
    "$log" || true
  if [ "$status" -ne 0 ]; then
    failed+=("$target")
  fi
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz: crashes found by: ${failed[*]} (see build-fuzz/crashes/)"
  exit 1
fi
echo "fuzz: no crash in ${#targets[@]} targets"
