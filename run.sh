#!/usr/bin/env bash
# Installs what is missing, builds a release build and starts Quenrix with the given arguments.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"
scripts/setup.sh
cmake --preset release > /dev/null
cmake --build --preset release
# Without a display quenrix runs an /AutoRun job offscreen by itself, and says how to
# do that otherwise.
exec build/release/src/quenrix "$@"
