#!/usr/bin/env bash
# Text encoders against iconv(3): encodes the same 16 MiB of mixed UTF-16 text to
# UTF-8, UTF-16 BE, UTF-32 LE and UTF-7 with both, in one run (repetitions
# interleaved at random so machine load hits both sides alike), and prints the
# median MB/s of each and the ratio. Exits 1 when an encoder is slower than iconv.
#
# Usage: bench/encoders_vs_iconv.sh [build-folder]   (default: build)
# Builds the bench_text_encoders target in that folder first.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}
if [ ! -f "$dir/CMakeCache.txt" ]; then
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTALLOWIN_CORE_ONLY=ON >/dev/null
fi
if ! log=$(cmake --build "$dir" --target bench_text_encoders 2>&1); then
  printf '%s\n' "$log" >&2
  exit 2
fi

json=$(mktemp)
trap 'rm -f "$json"' EXIT
"$dir/bench_text_encoders" --benchmark_format=json --benchmark_repetitions=5 \
  --benchmark_enable_random_interleaving=true --benchmark_report_aggregates_only=true >"$json"

/usr/bin/python3 - "$json" <<'PY'
import json
import sys

runs = json.load(open(sys.argv[1]))["benchmarks"]
median = {r["run_name"]: r["bytes_per_second"] / 1e6
          for r in runs if r.get("aggregate_name") == "median"}
print(f"{'encoding':<10} {'tallowin MB/s':>14} {'iconv MB/s':>11} {'ratio':>7}")
slower = []
for encoding in ("UTF-8", "UTF-16BE", "UTF-32LE", "UTF-7"):
    ours, peer = median[f"Tallowin/{encoding}"], median[f"Iconv/{encoding}"]
    print(f"{encoding:<10} {ours:>14.0f} {peer:>11.0f} {ours / peer:>7.2f}")
    if ours < peer:
        slower.append(encoding)
print("goal (every encoder at least as fast as iconv):", "met" if not slower else "missed for " + ", ".join(slower))
sys.exit(1 if slower else 0)
PY
