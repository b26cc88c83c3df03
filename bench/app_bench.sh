#!/usr/bin/env bash
# The application on the large history of bench/cli_bench.sh (a million messages in 5,000 conversations, one of
# them holding 100,000), offscreen, with the release build: start to the conversation list, choosing the
# largest conversation to its first rows, scrolling it by pages, and peak memory. See bench/app_bench.cpp.
#
#   bench/app_bench.sh [HISTORY_FOLDER]      (default: build/release/bench-history, made when missing)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
history=${1:-$root/build/release/bench-history}

# APP_BENCH_BUILD names an existing release build to use as it is; otherwise build/release is brought up to date.
build=${APP_BENCH_BUILD:-}
if [ -z "$build" ]; then
  build="$root/build/release"
  "$root/scripts/build" release --target app_bench make-sample-history
fi
generator=$(find "$build" -type f -name make-sample-history -perm -u+x | head -n 1)
if [ ! -f "$history/Messages/chat.db" ]; then
  "$generator" "$history" --conversations 5000 --messages 1000000
fi

# Twice: the first run reads the file from disk, the second from the page cache, as a second start does.
for run in cold warm; do
  echo "== $run"
  QT_QPA_PLATFORM=offscreen "$build/bench/app_bench" "$history"
done
