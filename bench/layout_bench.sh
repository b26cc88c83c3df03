#!/usr/bin/env bash
# PDF speed and memory, as whole processes where it counts:
#  1. the record layout of a conversation of 10,000 text messages through quillmark-cli: pages per second
#     (the goal is at least 150);
#  2. the book layout with 500 photos of 12 megapixels, JPEG and HEIC mixed, made here with ffmpeg and
#     heif-enc: the time per photo and the pictures' share of the render, with the pictures made on one
#     and on two threads;
#  3. the record layout of a conversation of 100,000 messages: the peak memory (the goal is at most 1 GB);
#  4. the record layout of one message of 400 KB and of one of 5 MB (a pasted log): at most 3 s and 30 s,
#     at most 1 GB; cutting a message at page ends must cost time in proportion to its length. The book
#     layout of the 400 KB message is timed beside it.
#
#   bench/layout_bench.sh [BUILD_DIR] [WORK_DIR]
#
# BUILD_DIR (default build/layout-release) is configured as a Release build with the benchmarks;
# QUILLMARK_BUILD instead names a release build with the benchmarks to use as it is. WORK_DIR (default
# /tmp/quillmark-layout-bench) holds the histories and photos, made once and reused.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/layout-release}
work=${2:-/tmp/quillmark-layout-bench}

if [ -n "${QUILLMARK_BUILD:-}" ]; then
  build=$QUILLMARK_BUILD
else
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLMARK_BENCH=ON >/dev/null
  cmake --build "$build" --target quillmark-cli make-sample-history layout_bench >/dev/null
fi
cli="$build/cli/quillmark-cli"
generator=$(find "$build" -type f -name make-sample-history -perm -u+x | head -n 1)
bench=$(find "$build" -type f -name layout_bench -perm -u+x | head -n 1)
mkdir -p "$work"

# The conversation of a history with the most messages (a tenth of them all).
largest() {
  "$cli" --messages "$1" list --json | grep -o '"index":[0-9]*\|"messageCount":[0-9]*' | paste - - | tr -d '"' |
    awk -F'[:\t]' '$4 > max { max = $4; index_ = $2 } END { print index_ }'
}
history() {
  local dir="$work/history-$1"
  [ -f "$dir/Messages/chat.db" ] || { rm -rf "$dir"; "$generator" "$dir" --messages "$1" >/dev/null; }
  echo "$dir"
}

echo "== record layout, 10,000 text messages (whole process; CPU time counts when the machine is busy)"
h=$(history 100000)
c=$(largest "$h")
/usr/bin/time -f "%e %U %S %M" -o "$work/time.txt" \
  "$cli" --messages "$h" --time-zone America/New_York export "$c" --format pdf --layout record \
  --output "$work/record-10k.pdf" >"$work/out.txt"
read -r wall user sys rss <"$work/time.txt"
pages=$(awk '/pages:/ { print $2 }' "$work/out.txt")
awk -v p="$pages" -v w="$wall" -v u="$user" -v s="$sys" -v m="$rss" 'BEGIN {
  printf "  %d pages in %.2f s wall (%.2f s CPU): %.0f pages/s wall, %.0f pages/s CPU; peak %.0f MB\n",
         p, w, u + s, p / w, p / (u + s), m / 1024 }'

echo "== book layout, 500 photos of 12 megapixels, JPEG and HEIC"
photos="$work/photos"
if [ ! -f "$photos/ready" ]; then
  rm -rf "$photos"
  mkdir -p "$photos/base"
  # A few different pictures, each linked under many names: every name is read and decoded on its own.
  for i in 1 2 3 4; do
    ffmpeg -loglevel error -f lavfi -i "testsrc2=s=4032x3024:d=1,hue=h=$((i * 70)),noise=alls=12:allf=t" \
      -frames:v 1 -q:v 3 -y "$photos/base/$i.jpg"
  done
  for i in 1 2; do heif-enc -q 50 -p preset=ultrafast -o "$photos/base/$i.heic" "$photos/base/$i.jpg" >/dev/null; done
  for n in $(seq 1 500); do
    if [ $((n % 2)) -eq 0 ]; then ln "$photos/base/$(( (n / 2) % 4 + 1 )).jpg" "$photos/IMG_$n.JPG"
    else ln "$photos/base/$(( (n / 2) % 2 + 1 )).heic" "$photos/IMG_$n.HEIC"; fi
  done
  touch "$photos/ready"
fi
files=$(ls "$photos"/IMG_* | sort -V)
for threads in 1 2; do
  # shellcheck disable=SC2086
  /usr/bin/time -f "  whole process: %e s wall, %U + %S s CPU, peak %M KB" "$bench" --threads "$threads" $files
done

echo "== record layout, 100,000 messages: peak memory"
h=$(history 1000000)
c=$(largest "$h")
/usr/bin/time -f "%e %U %S %M" -o "$work/time.txt" \
  "$cli" --messages "$h" --time-zone America/New_York export "$c" --format pdf --layout record \
  --output "$work/record-100k.pdf" >"$work/out.txt"
read -r wall user sys rss <"$work/time.txt"
pages=$(awk '/pages:/ { print $2 }' "$work/out.txt")
awk -v p="$pages" -v w="$wall" -v u="$user" -v s="$sys" -v m="$rss" 'BEGIN {
  printf "  %d pages in %.2f s wall (%.2f s CPU), peak %.0f MB\n", p, w, u + s, m / 1024 }'

echo "== one long message: record layout of 400 KB (target 3 s) and 5 MB (target 30 s), at most 1 GB each"
for bytes in 400000 5000000; do
  /usr/bin/time -f "  whole process: %e s wall, %U + %S s CPU, peak %M KB" "$bench" --text "$bytes" --layout record
done
/usr/bin/time -f "  whole process: %e s wall, %U + %S s CPU, peak %M KB" "$bench" --text 400000 --layout book
