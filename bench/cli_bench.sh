#!/usr/bin/env bash
# quillmark-cli on a large history: a million messages in 5,000 conversations, one of them holding
# 100,000. Measures, with the release build, whole processes on a warm page cache, best of 3:
#   list                                   target <= 1.5 s and >= 2.5x faster than the sqlite3 shell
#   show <the 100k conversation> --json    target <= 1.5 s and >= 2x faster, <= 500 MB peak memory
# against the sqlite3 shell (-readonly, default output mode, output to /dev/null) running the plain query
# texts that the engine's results must equal (those of the differential test in tests/store): for list
# the three chat queries and the last message of every chat as one statement per chat, for show those
# (the list is read to find the conversation) plus the message and attachment queries of the conversation.
#
#   bench/cli_bench.sh [HISTORY_FOLDER]      (default: build/release/bench-history, made when missing)
#
# QUILLMARK_BUILD (or CLI_BENCH_BUILD) names a release build to use as it is; otherwise build/release is
# brought up to date. Peak memory is /usr/bin/time's maximum resident set size.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
history=${1:-$root/build/release/bench-history}

# hyperfine and GNU time are bench tools only; they are installed here rather than by scripts/setup.
need=()
command -v hyperfine >/dev/null || need+=(hyperfine)
[ -x /usr/bin/time ] || need+=(time)
command -v sqlite3 >/dev/null || need+=(sqlite3)
if [ ${#need[@]} -gt 0 ]; then
  sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${need[@]}"
fi

build=${QUILLMARK_BUILD:-${CLI_BENCH_BUILD:-}}
if [ -z "$build" ]; then
  build="$root/build/release"
  "$root/scripts/build" release --target quillmark-cli make-sample-history
fi
cli="$build/cli/quillmark-cli"
generator=$(find "$build" -type f -name make-sample-history -perm -u+x | head -n 1)
if [ ! -f "$history/Messages/chat.db" ]; then
  "$generator" "$history" --conversations 5000 --messages 1000000
fi
db="$history/Messages/chat.db"

# The conversation with the most messages, by its position in the list, and its chats.
read -r index chats < <("$cli" --messages "$history" list --json | sed 's/{"index":/\n{"index":/g' |
  sed -n 's/^{"index":\([0-9]*\),.*"messageCount":\([0-9]*\),.*"chatIDs":\[\([0-9,]*\)\].*/\2 \1 \3/p' |
  sort -n -r | head -n 1 | cut -d' ' -f2-)
echo "history: $history; largest conversation: list position $index, chats $chats"

work=$(mktemp -d "${TMPDIR:-/tmp}/quillmark-cli-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM

# The plain query texts, for a schema with every optional column; where they leave an order open it is
# fixed as the engine fixes it (the higher ROWID first, the lower chat for a message in two chats).
cat > "$work/list.sql" <<'EOF'
SELECT c.ROWID, c.guid, c.chat_identifier, c.display_name,
       c.group_id, c.style, c.service_name
FROM chat c;
SELECT chat_id, handle_id FROM chat_handle_join ORDER BY chat_id, handle_id;
SELECT j.chat_id, count(*), min(m.date), max(m.date) FROM chat_message_join j JOIN message m ON m.ROWID = j.message_id
WHERE 1 AND (m.associated_message_type IS NULL OR m.associated_message_type = 0 OR m.associated_message_type NOT BETWEEN 1000 AND 3999) GROUP BY j.chat_id;
EOF
sqlite3 -readonly "$db" "SELECT DISTINCT chat_id FROM chat_message_join" | while read -r chat; do
  printf 'SELECT m.text, m.attributedBody, m.cache_has_attachments, m.is_from_me FROM chat_message_join j JOIN message m ON m.ROWID = j.message_id\nWHERE j.chat_id = %s AND (m.associated_message_type IS NULL OR m.associated_message_type NOT BETWEEN 1000 AND 3999) AND m.item_type IS NOT 1 ORDER BY m.date DESC, m.ROWID DESC LIMIT 1;\n' "$chat"
done >> "$work/list.sql"
cp "$work/list.sql" "$work/show.sql"
cat >> "$work/show.sql" <<EOF
SELECT m.ROWID, m.guid, m.text, m.attributedBody, m.handle_id, m.is_from_me, m.date,
       m.date_read, m.date_delivered, m.service, m.subject,
       m.associated_message_guid, m.associated_message_type,
       m.associated_message_emoji, m.item_type, m.group_action_type,
       m.group_title, m.other_handle, m.balloon_bundle_id,
       m.expressive_send_style_id, m.thread_originator_guid,
       m.date_edited, m.date_retracted, m.message_summary_info,
       m.is_audio_message, j.chat_id
FROM chat_message_join j JOIN message m ON m.ROWID = j.message_id
WHERE j.chat_id IN ($chats)
ORDER BY m.date, m.ROWID, j.chat_id;
SELECT x.message_id, a.guid, a.filename, a.mime_type,
       a.uti, a.transfer_name, a.total_bytes,
       a.is_sticker, a.hide_attachment
FROM message_attachment_join x
JOIN attachment a ON a.ROWID = x.attachment_id
JOIN chat_message_join j ON j.message_id = x.message_id
JOIN message m ON m.ROWID = x.message_id
WHERE j.chat_id IN ($chats)
ORDER BY x.message_id, a.ROWID;
EOF

# The best of three runs after a warm-up, in seconds.
best() {  # NAME COMMAND
  hyperfine --warmup 1 --runs 3 --export-json "$work/$1.json" "$2" >/dev/null
  sed -n 's/.*"min": *\([0-9.e+-]*\).*/\1/p' "$work/$1.json" | head -n 1
}
# Peak memory in MB of one run.
peak() {
  /usr/bin/time -f "%M" -o "$work/rss" "$@" >/dev/null
  awk '{ printf "%.0f", $1 / 1024 }' "$work/rss"
}

list_cli=$(best list-cli "'$cli' --messages '$history' list > /dev/null")
list_sql=$(best list-sql "sqlite3 -readonly '$db' < '$work/list.sql' > /dev/null")
show_cli=$(best show-cli "'$cli' --messages '$history' show $index --json > /dev/null")
show_sql=$(best show-sql "sqlite3 -readonly '$db' < '$work/show.sql' > /dev/null")
list_rss=$(peak "$cli" --messages "$history" list)
show_rss=$(peak "$cli" --messages "$history" show "$index" --json)

echo
echo "| work | quillmark-cli | sqlite3 shell | ratio | peak memory | target |"
echo "|---|---|---|---|---|---|"
awk -v c="$list_cli" -v q="$list_sql" -v m="$list_rss" 'BEGIN {
  printf "| `list` | %.2f s | %.2f s | %.1fx | %d MB | <= 1.5 s, >= 2.5x |\n", c, q, q / c, m }'
awk -v c="$show_cli" -v q="$show_sql" -v m="$show_rss" 'BEGIN {
  printf "| `show CONV --json`, 100k messages | %.2f s | %.2f s | %.1fx | %d MB | <= 1.5 s, >= 2x, <= 500 MB |\n", c, q, q / c, m }'
