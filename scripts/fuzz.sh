#!/bin/sh
# Builds the libFuzzer harnesses with clang (address and undefined-behaviour
# sanitizers on) in build-fuzz/ and runs each for SECONDS (default 60), one
# after another. Each starts from its own seeds and from the game data a
# normal build generated in build/. Prints per harness the executions, the
# coverage (cov: edges, ft: features) and any crash; crash inputs are kept in
# build-fuzz/crashes/<harness>/. Add a fixed crash's input to
# fuzz/regressions/<harness>/ so the test suite replays it. A harness whose
# format has keywords gets them from fuzz/dict/<harness>.dict.
#
#   scripts/fuzz.sh [SECONDS] [HARNESS ...]
#
# ZV_FUZZ_RUNS=N also stops a harness after N executions, whichever comes
# first (ZV_FUZZ_RUNS=1000000 scripts/fuzz.sh 600 is the long run).
set -eu
cd "$(dirname "$0")/.."
seconds=${1:-60}
[ $# -gt 0 ] && shift
root=$(pwd)
out=$root/build-fuzz
data=$root/build

# The harnesses need clang and its libFuzzer runtime besides the usual
# packages; ccache only speeds rebuilds when it is there.
scripts/setup.sh
if ! command -v clang++ >/dev/null 2>&1 || ! dpkg-query -W -f='${Status}' libclang-rt-dev 2>/dev/null |
        grep -q "install ok installed"; then
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo=sudo
    $sudo apt-get install -y clang libclang-rt-dev
fi
launcher=""
command -v ccache >/dev/null 2>&1 && launcher=-DCMAKE_CXX_COMPILER_LAUNCHER=ccache
cmake -S . -B "$out" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    $launcher -DZV_FUZZ=ON -DZV_BUILD_TESTS=OFF >/dev/null
nice cmake --build "$out" -j2 --target fuzz_harnesses >/dev/null

names="$*"
if [ -z "$names" ]; then
    names=$(cd "$out/fuzz" && ls fuzz_* | sed 's/^fuzz_//')
fi

# Generated files that each harness may start from: "harness pattern ...".
data_patterns() {
    case $1 in
        saf) echo "*.saf" ;;
        png) echo "*.png" ;;
        pnm) echo "*.ppm *.pgm" ;;
        tileinfo) echo "tileinfo texturelist" ;;
        timing_gates) echo "timing_gates" ;;
        lines) echo "*.lines lines*" ;;
        jm) echo "*.jm" ;;
        shape) echo "*.shp" ;;
        demo_header|demo_playback) echo "*.zvdemo" ;;
        config) echo "*.cfg" ;;
        statues|billboards|flaggers|cameras|lighting) echo "$1" ;;
        series) echo "*.series" ;;
        braap) echo "*.braap" ;;
        *) echo "" ;;
    esac
}

printf '%-18s %12s %8s %8s %8s  %s\n' harness executions seconds cov ft result
for h in $names; do
    corpus=$out/corpus/$h
    crashes=$out/crashes/$h
    mkdir -p "$corpus" "$crashes"
    if [ -d "$data" ]; then
        for p in $(data_patterns "$h"); do
            # Small files only: libFuzzer's inputs stay under its size limit.
            find "$data" -path "$out" -prune -o -name "$p" -type f -size -256k -print 2>/dev/null |
                head -n 50 | while read -r f; do
                    cp "$f" "$corpus/data-$(echo "$f" | md5sum | cut -c1-12)"
                done
        done
    fi
    [ -d "fuzz/regressions/$h" ] && cp fuzz/regressions/"$h"/* "$corpus"/ 2>/dev/null || true
    log=$out/$h.log
    runs=""
    [ -n "${ZV_FUZZ_RUNS:-}" ] && runs=-runs=$ZV_FUZZ_RUNS
    dict=""
    [ -f "fuzz/dict/$h.dict" ] && dict=-dict=$root/fuzz/dict/$h.dict
    started=$(date +%s)
    set +e
    ZV_FUZZ_SEED_DIR=$corpus "$out/fuzz/fuzz_$h" -max_total_time="$seconds" -max_len=65536 -timeout=20 \
        -rss_limit_mb=2048 -print_final_stats=1 $runs $dict -artifact_prefix="$crashes/" "$corpus" >"$log" 2>&1
    rc=$?
    set -e
    took=$(($(date +%s) - started))
    execs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' | tail -n 1)
    last=$(grep -E '^#[0-9]+.*cov: ' "$log" | tail -n 1)
    cov=$(echo "$last" | sed -n 's/.*cov: \([0-9]*\).*/\1/p')
    ft=$(echo "$last" | sed -n 's/.*ft: \([0-9]*\).*/\1/p')
    if [ $rc -eq 0 ]; then
        result=clean
    else
        result="CRASH (exit $rc): $(ls -t "$crashes" | head -n 1) ; see $log"
    fi
    printf '%-18s %12s %8s %8s %8s  %s\n' "$h" "${execs:-?}" "$took" "${cov:-?}" "${ft:-?}" "$result"
done
