#!/usr/bin/env bash
# Runs every fuzz target for a short time (seconds per target, default 30).
# Needs the build-asan tree made by scripts/sanitize.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
status=0
for target in build-asan/tests/fuzz_*; do
  [ -f "$target" ] && [ -x "$target" ] || continue
  name=$(basename "$target"); name=${name#fuzz_}
  work=$(mktemp -d)
  [ -d "tests/fuzz/corpus/$name" ] && cp -r "tests/fuzz/corpus/$name/." "$work/"
  echo "== fuzz $name for ${seconds}s"
  if ! QT_QPA_PLATFORM=offscreen "$target" -max_total_time="$seconds" -rss_limit_mb=2048 \
        -timeout=10 -print_final_stats=0 -artifact_prefix="$work.crash-" "$work" >"$work.log" 2>&1; then
    tail -40 "$work.log"
    status=1
  fi
  rm -rf "$work" "$work.log" "$work".crash-*
done
exit $status
