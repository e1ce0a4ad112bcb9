#!/usr/bin/env bash
# Installs what is missing, builds a release build and starts Quenrix with the given arguments.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"
scripts/setup.sh
cmake --preset release > /dev/null
cmake --build --preset release
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" && -z "${QT_QPA_PLATFORM:-}" ]]; then
  echo "No display found. To run unattended, give a settings document and /AutoRun," >&2
  echo "for example: QT_QPA_PLATFORM=offscreen ./run.sh /AutoRun /D1 weekly.qnrx" >&2
  echo "or start it under a virtual display: xvfb-run ./run.sh" >&2
  exit 1
fi
exec build/release/src/quenrix "$@"
