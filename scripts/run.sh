#!/usr/bin/env bash
# Builds the game and its data (Release, into build/) and runs it with the
# given options. Only what the game needs is built (its data with the robots'
# ridden lines); the test suites are left to scripts/test.sh, which shares
# the build folder.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
# Configure only once: later builds re-run CMake by themselves when a
# CMakeLists.txt changes.
if [ ! -f build/CMakeCache.txt ]; then
  cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build build -j "$(nproc)" --target zarvox game_data robot_lines
exec build/zarvox "$@"
