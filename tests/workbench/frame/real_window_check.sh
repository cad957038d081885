#!/usr/bin/env bash
# Runs the real-window check of the frame under a virtual X server.
# Usage: real_window_check.sh <ui_tests binary> <artefact folder>
set -euo pipefail
tests=$1
artefacts=$2
if ! command -v xvfb-run >/dev/null 2>&1; then
  echo "Skipped: xvfb-run is not installed (scripts/setup.sh installs xvfb and xauth)."
  exit 77
fi
mkdir -p "$artefacts"
exec xvfb-run -a -s "-screen 0 1024x768x24" \
  env QT_QPA_PLATFORM=xcb QUILL_REAL_WINDOW_DIR="$artefacts" \
  "$tests" --gtest_filter='FrameTest.RealWindowCheck:EndToEndTest.RealWindow:FrameDialogCommandsTest.AboutBoxRealWindow'
