#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, ASan + UBSan; build-fuzz/) and runs each of them for
# the given number of seconds (default 60) on its seed corpus in tests/fuzz/corpus/.
#   scripts/fuzz.sh            a minute per target
#   scripts/fuzz.sh 8          a short run of each, as CI does
# Inputs found meanwhile go to build-fuzz/corpus/<target>/, crashes to build-fuzz/crashes/;
# the script fails when any target finds one (the file to replay is named in its output).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"

bash scripts/install-deps.sh libclang-rt-14-dev   # libFuzzer

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

targets=(fuzz_banner fuzz_setup_fields fuzz_number_conversions fuzz_config_json
         fuzz_converter_model fuzz_download_session fuzz_converter_session)
failed=()
for target in "${targets[@]}"; do
  corpus="build-fuzz/corpus/$target"
  crashes="build-fuzz/crashes/$target"
  mkdir -p "$corpus" "$crashes" build-fuzz/logs
  echo "== $target: ${seconds} s"
  log="build-fuzz/logs/$target.log"
  status=0
  build-fuzz/tests/fuzz/"$target" -max_total_time="$seconds" -max_len=1024 \
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
