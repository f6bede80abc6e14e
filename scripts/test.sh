#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test:
#   1. all suites (core, Qt widgets offscreen, command line, end to end under Xvfb), then the
#      Debian package installed on this machine and its smoke test (scripts/test-package.sh);
#   2. the whole program built again with AddressSanitizer and UndefinedBehaviorSanitizer: the core
#      suites without a display, then the end-to-end suites under Xvfb against that program.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

jobs=$(nproc)
bash scripts/build.sh build
# The typed-key suite gets an X server of its own: on the server shared with the
# other end-to-end suites a typed Return was at times not delivered to the field.
typed_keys="e2e_test_window_input"
(cd build && xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" \
  ctest --output-on-failure --timeout 600 -j "$jobs" -E "$typed_keys")
(cd build && xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" \
  ctest --output-on-failure --timeout 600 -R "$typed_keys")
# The Debian package: built, installed on this machine, smoke-tested under Xvfb, removed again.
bash scripts/test-package.sh build

bash scripts/build.sh build-asan -DTALLOWIN_CORE_ONLY=OFF -DTALLOWIN_SANITIZE=ON -DTALLOWIN_BENCH=OFF \
  -DCMAKE_BUILD_TYPE=Debug
# Every finding fails the run: the build has -fno-sanitize-recover, and halt_on_error
# stops the program at the first report (the e2e harness fails a session whose
# program wrote one).
sanitize="halt_on_error=1:abort_on_error=0:print_stacktrace=1"
(cd build-asan && env -u DISPLAY ASAN_OPTIONS="detect_leaks=1:$sanitize" UBSAN_OPTIONS="$sanitize" \
  ctest --output-on-failure --timeout 900 -j "$jobs" -L core)
# Without leak detection here: the sessions end the program with SIGTERM, where no
# leak check runs anyway. A normal exit of the sanitized program (menu "Close")
# reported no leaks when tried by hand.
for suites in "-E $typed_keys" "-R $typed_keys"; do
  # shellcheck disable=SC2086  # the selection is two words on purpose
  (cd build-asan && xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" \
    env ASAN_OPTIONS="detect_leaks=0:$sanitize" UBSAN_OPTIONS="$sanitize" \
    ctest --output-on-failure --timeout 900 -L e2e $suites)
done
