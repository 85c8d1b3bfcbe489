#!/usr/bin/env bash
# Installs what is missing, builds and runs every test.
#   scripts/test.sh            default build (build/)
#   scripts/test.sh asan       AddressSanitizer + UBSan build (build-asan/)
#   scripts/test.sh tsan       ThreadSanitizer build of the Qt-free layers (build-tsan/)
#   scripts/test.sh release    Release (-O3) build (build-release/)
#   scripts/test.sh clang-release   Release build of the Qt-free layers with clang (build-clang/)
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-default}"

# The clang builds need clang besides what every test build needs.
case "$preset" in
  clang-release) bash scripts/install-deps.sh test clang ;;
  *) bash scripts/install-deps.sh test ;;
esac
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"

export QT_QPA_PLATFORM=offscreen
case "$preset" in
  asan) export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1" \
               LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0" \
               UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" ;;
  tsan) export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1" ;;
esac
# Tests labelled "waiting" (real-time downloads against the stand-in) spend their time waiting
# on the line, not computing: they run side by side, next to the others on the two cores.
waiting_log="$(mktemp)"
trap 'rm -f "$waiting_log"' EXIT
ctest --preset "$preset" -j8 -L waiting >"$waiting_log" 2>&1 &
waiting_pid=$!
status=0
ctest --preset "$preset" -j2 -LE waiting || status=$?
wait "$waiting_pid" || status=$?
cat "$waiting_log"
exit "$status"
