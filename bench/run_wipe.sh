#!/usr/bin/env bash
# Builds the release benchmark (or the one in the build folder $QUENRIX_BENCH_BUILD,
# configured already) and runs it: run_wipe.sh [FOLDER [MIB [RUNS]]]
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
if [[ -n "${QUENRIX_BENCH_BUILD:-}" ]]; then
  cmake --build "$QUENRIX_BENCH_BUILD" --target quenrix_bench_wipe > /dev/null
  exec "$QUENRIX_BENCH_BUILD/bench/quenrix_bench_wipe" "$@"
fi
cmake --preset release > /dev/null
cmake --build --preset release --target quenrix_bench_wipe > /dev/null
exec build/release/bench/quenrix_bench_wipe "$@"
