#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test (end-to-end ones included).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
build_dir=${ZV_BUILD_DIR:-build}
build_type=${ZV_BUILD_TYPE:-Release}
# A build folder already configured the same way (by scripts/run.sh or an
# earlier run) is reused as it is; CMake re-runs itself when a CMakeLists.txt
# changes.
cached_type=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$build_dir/CMakeCache.txt" 2>/dev/null || true)
if [ "$cached_type" != "$build_type" ] || [ -n "${ZV_CMAKE_ARGS:-}" ]; then
  cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE="$build_type" ${ZV_CMAKE_ARGS:-}
fi
cmake --build "$build_dir" -j "$(nproc)"
cd "$build_dir"
ctest --output-on-failure -j "$(nproc)" --timeout 600
