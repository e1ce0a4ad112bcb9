#!/usr/bin/env bash
# Builds the release benchmark and runs it: run_enumerate.sh [TREE [FILES [RUNS]]]
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
cmake --preset release > /dev/null
cmake --build --preset release --target quenrix_bench_enumerate
exec build/release/bench/quenrix_bench_enumerate "$@"
