#!/usr/bin/env bash
# Builds Zarvox with AddressSanitizer, UndefinedBehaviorSanitizer and
# LeakSanitizer in build-sanitize/ and runs every test but the whole-program
# (e2e) ones under them. Any report fails the test that caused it. The fuzz
# regression inputs are replayed by fuzz.regression.*, which runs here too.
#
#   scripts/test-sanitize.sh            configure, build, test
#   ZV_SANITIZE_CMAKE_ARGS=...          extra configure options (e.g. a compiler launcher)
#   ZV_SANITIZE_BUILD_DIR=...           another build folder
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
scripts/setup.sh
build_dir=${ZV_SANITIZE_BUILD_DIR:-build-sanitize}
jobs=$(nproc)

# -O1 -g1: the reports point at the right line with full stacks (little
# inlining, frame pointers kept; line tables are all a report reads), the
# tests run about twice as fast as at -O0 (the physics tests ride many
# seconds of race), and it compiles and links faster than -O2 or full debug
# information. NDEBUG stays unset so assertions are live as well.
if [ ! -f "$build_dir/CMakeCache.txt" ] || [ -n "${ZV_SANITIZE_CMAKE_ARGS:-}" ]; then
  cmake -S . -B "$build_dir" -DZV_SANITIZE=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -g1" -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1" \
    ${ZV_SANITIZE_CMAKE_ARGS:-}
fi

# Any report is fatal and prints where it came from; leaks are looked for at
# every exit. The same settings reach the programs the tests start
# (zarvox-sim, zarvox-datagen, zarvox-server, zarvox) and the test discovery
# the build runs. Only system libraries' leaks are suppressed (see the file).
export ASAN_OPTIONS="halt_on_error=1:abort_on_error=0:detect_leaks=1:detect_stack_use_after_return=1:strict_string_checks=1:check_initialization_order=1:strict_init_order=1:print_summary=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:report_error_type=1"
export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0"

# Only what the tests need: every test program but the e2e ones (the
# programs and the game data come with the tests that use them). The
# robots' line files are left out: only the e2e runs read them.
mapfile -t targets < <(cmake --build "$build_dir" --target help |
  sed -n -e 's/^\.\.\. \([a-z0-9_]*_test\)$/\1/p' -e 's/^\([a-z0-9_]*_test\): .*/\1/p' |
  grep -v '^e2e_')
if [ ${#targets[@]} -eq 0 ]; then
  echo "test-sanitize.sh: no test targets found in $build_dir" >&2
  exit 1
fi
start=$(date +%s)
cmake --build "$build_dir" -j "$jobs" --target "${targets[@]}"
echo "sanitizer build: $(( $(date +%s) - start )) s"

# Whole-program runs stay in the Release run (scripts/test.sh): they start
# the game and its tools many times over and would take several times
# longer under the sanitizers without reaching code the unit tests do not.
# (e2e_*_NOT_BUILT are the placeholders CTest lists for the unbuilt ones.)
cd "$build_dir"
start=$(date +%s)
status=0
ctest --output-on-failure -j "$jobs" --timeout 1500 -E '^e2e[._]' -LE '^display$' || status=$?
# The tests that open a window (label display) run without the leak check:
# Mesa's driver leaks its one-time set-up and is unloaded before the check,
# so nothing is left in the stack for a suppression to match but with the
# slow unwinder, which makes llvmpipe's shader compiles run for many minutes.
# Every other check stays on for them.
ASAN_OPTIONS="$ASAN_OPTIONS:detect_leaks=0" \
  ctest --output-on-failure -j "$jobs" --timeout 1500 -E '^e2e[._]' -L '^display$' || status=$?
echo "sanitizer tests: $(( $(date +%s) - start )) s"
exit $status
