#!/usr/bin/env bash
# Builds Zarvox (Release, into build/) and runs it with the given options.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j "$(nproc)"
exec build/zarvox "$@"
