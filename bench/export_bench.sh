#!/usr/bin/env bash
# Times quillmark-cli exporting a conversation of 100,000 text messages to CSV and to HTML, as whole
# processes (warm page cache, best of 3), on a history of 1,000,000 messages in 5,000 chats. The goal is
# at most 2.0 s for each, the history's integrity check before an export included.
#
#   bench/export_bench.sh [BUILD_DIR] [HISTORY_DIR]
#
# BUILD_DIR (default build/export-release) is configured as a Release build and gets quillmark-cli and
# make-sample-history; QUILLMARK_BUILD instead names a release build to use as it is. HISTORY_DIR
# (default BUILD_DIR/bench/history-1m) is written once and reused. "list" is timed too: every command
# opens the history and reads its conversation list first, so its time is the floor under every export.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/export-release}
history=${2:-$build/bench/history-1m}
runs=${RUNS:-3}

if [ -n "${QUILLMARK_BUILD:-}" ]; then
  build=$QUILLMARK_BUILD
  history=${2:-$build/bench/history-1m}
else
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLMARK_TESTS=OFF >/dev/null
  cmake --build "$build" --target quillmark-cli make-sample-history >/dev/null
fi
cli="$build/cli/quillmark-cli"
generator=$(find "$build" -type f -name make-sample-history -perm -u+x | head -n 1)

if [ ! -f "$history/Messages/chat.db" ]; then
  rm -rf "$history"
  mkdir -p "$(dirname "$history")"
  "$generator" "$history" --conversations 5000 --messages 1000000
fi

# The conversation with the most messages: list --json gives each one's index before its messageCount.
big=$("$cli" --messages "$history" list --json |
      grep -o '"index":[0-9]*\|"messageCount":[0-9]*' | paste - - | tr -d '"' |
      awk -F'[:\t]' '$4 > max { max = $4; index_ = $2 } END { print index_ }')
count=$("$cli" --messages "$history" list --json |
        grep -o '"index":[0-9]*\|"messageCount":[0-9]*' | paste - - | tr -d '"' |
        awk -F'[:\t]' -v i="$big" '$2 == i { print $4 }')
echo "history: $history"
echo "conversation $big with $count messages; best of $runs runs, wall clock (user + system CPU)"

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
TIMEFORMAT='%R %U %S'
measure() {
  local label=$1; shift
  local best="" line wall user sys
  for _ in $(seq "$runs"); do
    line=$( { time "$@" >/dev/null; } 2>&1 | tail -n 1 )
    read -r wall user sys <<<"$line"
    if [ -z "$best" ] || awk -v a="$wall" -v b="${best%% *}" 'BEGIN { exit !(a < b) }'; then
      best="$wall $user $sys"
    fi
  done
  read -r wall user sys <<<"$best"
  printf '  %-12s %6.2f s  (%.2f + %.2f s CPU)%s\n' "$label" "$wall" "$user" "$sys" "${target:-}"
}

measure "list" "$cli" --messages "$history" list
target="  target <= 2.0 s"
measure "export csv" "$cli" --messages "$history" --time-zone America/New_York export "$big" --format csv --output "$out/big.csv"
measure "export html" "$cli" --messages "$history" --time-zone America/New_York export "$big" --format html --output "$out/big-html"
ls -l "$out/big.csv" "$out/big-html/index.html" | awk '{ printf "  %s %d bytes\n", $NF, $5 }'
