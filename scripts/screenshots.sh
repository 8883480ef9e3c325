#!/usr/bin/env bash
# Saves a picture of each window of the desktop program, open on the demo movie, into
# docs/screenshots/ (or the folder given), running the program under Xvfb.
# Usage: scripts/screenshots.sh [BUILD_DIR] [OUT_DIR]
set -euo pipefail

build=${1:-build}
out=${2:-docs/screenshots}
ninja -C "$build" swivio-screenshots swivio_demo_movie_file >/dev/null
mkdir -p "$out"
xvfb-run -a -s "-screen 0 1280x800x24" \
    "$build/app/swivio-screenshots" "$build/demo.swf" "$out"
