#!/bin/bash
# Builds the kernel of an earlier commit (default 8f86f27, before the
# round-trip speed work) in a scratch folder and this tree's kernel, loads
# both into bench/compare/kernelcompare, checks that 1000 round trips of the
# standard cavity leave bit-identical samples and states, and times the whole
# pass of each, alternately. Usage: scripts/compare-kernel.sh [commit]
#
# The earlier kernel is built twice: as its Release build was (the times),
# and with GCC's SLP vectoriser off, which drops a float rounding at that
# commit, so that it computes what its tests check (the comparison).
set -euo pipefail
base=${1:-8f86f27}
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=${JOBS:-4}
scratch=${SCRATCH:-/tmp/pulsesim-kernel-$(git -C "$root" rev-parse --short "$base")}
current=$root/build/compare

# build SOURCE DIR EXTRA-FLAGS: the kernel library of SOURCE, position
# independent, and the cavity library on it, DIR/libcavity.so.
build() {
    cmake -S "$1" -B "$2" -DCMAKE_BUILD_TYPE=Release -DPLS_TESTS=OFF -DCMAKE_POSITION_INDEPENDENT_CODE=ON \
        -DCMAKE_CXX_FLAGS="$3" >/dev/null
    cmake --build "$2" -j "$jobs" --target kernel >/dev/null
    g++ -std=c++17 -O2 -shared -fPIC -fvisibility=hidden -I"$1" -I"$root/bench" \
        "$root/bench/compare/cavitylib.cpp" "$2/kernel/libkernel.a" \
        -Wl,--exclude-libs,ALL -Wl,-Bsymbolic -lpthread -o "$2/libcavity.so"
}

if [ ! -f "$scratch/src/CMakeLists.txt" ]; then
    mkdir -p "$scratch/src"
    git -C "$root" archive "$base" | tar -x -C "$scratch/src"
fi
build "$scratch/src" "$scratch/release" ""
build "$scratch/src" "$scratch/tested" "-fno-tree-slp-vectorize"
build "$root" "$current" ""
g++ -std=c++17 -O2 "$root/bench/compare/kernelcompare.cpp" -ldl -o "$current/kernelcompare"

echo "== kernel at $base (A) against this tree (B)"
"$current/kernelcompare" check "$scratch/tested/libcavity.so" "$current/libcavity.so"
"$current/kernelcompare" time "$scratch/release/libcavity.so" "$current/libcavity.so"
