#!/usr/bin/env bash
# Installs what is missing, builds the debug build (with sanitizers) and runs the whole suite.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"
scripts/setup.sh
cmake --preset debug > /dev/null
cmake --build --preset debug
ctest --preset debug -j "$(nproc)" "$@"
