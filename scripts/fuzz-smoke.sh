#!/usr/bin/env bash
# Runs every fuzz target briefly from its seed corpus (copied, so the seeds stay as committed).
# Usage: scripts/fuzz-smoke.sh BUILD_DIR [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=$1
seconds=${2:-5}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for source in fuzz/fuzz_*.cpp; do
  target=$(basename "$source" .cpp)
  mkdir -p "$work/$target/corpus"
  cp -r "fuzz/corpus/$target/." "$work/$target/corpus/" 2>/dev/null || true
  if ! "$build_dir/fuzz/$target" -max_total_time="$seconds" -print_final_stats=1 \
      -artifact_prefix="$work/$target/" "$work/$target/corpus" >"$work/$target/log" 2>&1; then
    tail -n 40 "$work/$target/log" >&2
    echo "fuzz target $target failed" >&2
    exit 1
  fi
  echo "$target: $(grep -m1 'stat::number_of_executed_units' "$work/$target/log" | awk '{print $2}') runs in ${seconds}s"
done
