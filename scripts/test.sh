#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test:
#   1. all suites (core, Qt widgets offscreen, command line, end to end under Xvfb);
#   2. the core suites again under AddressSanitizer and UndefinedBehaviorSanitizer, without a display.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

jobs=$(nproc)
bash scripts/build.sh build
(cd build && xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" \
  ctest --output-on-failure --timeout 600 -j "$jobs")

bash scripts/build.sh build-asan -DTALLOWIN_CORE_ONLY=ON -DTALLOWIN_SANITIZE=ON -DTALLOWIN_BENCH=OFF \
  -DCMAKE_BUILD_TYPE=Debug
(cd build-asan && env -u DISPLAY ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --output-on-failure --timeout 900 -j "$jobs" -L core)
