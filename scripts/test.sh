#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test (end-to-end ones included).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
build_dir=${ZV_BUILD_DIR:-build}
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=${ZV_BUILD_TYPE:-Release} ${ZV_CMAKE_ARGS:-}
cmake --build "$build_dir" -j "$(nproc)"
cd "$build_dir"
ctest --output-on-failure -j "$(nproc)" --timeout 600
