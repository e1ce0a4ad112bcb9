#!/usr/bin/env bash
# Saves docs/main-window.png: the main window after a search, on a virtual X display
# (xvfb-run), so the picture shows the real fonts and widgets of this desktop.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
cmake --preset release > /dev/null
cmake --build --preset release --target quenrix_ui_tests
QUENRIX_SCREENSHOT="$PWD/docs/main-window.png" QUENRIX_UI_TEST_CLASS=WindowSearchTest \
  QT_QPA_PLATFORM=xcb \
  xvfb-run -a -s "-screen 0 1280x1024x24" build/release/tests/quenrix_ui_tests
echo "docs/main-window.png"
