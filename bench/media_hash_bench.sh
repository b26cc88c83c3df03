#!/bin/sh
# Fingerprinting speed: AttachmentMedia::sha256 over 1 GiB of attachments against `openssl dgst -sha256` over
# the same files, and the time of a second pass answered from the cache.
#
#   bench/media_hash_bench.sh [MEDIA_BENCH]        (default: build/media-release/bench/media_bench)
#
# The files (random bytes: photos of 64 KiB to 4 MiB, every 40th a video of 16 to 64 MiB) are made in a
# temporary folder and removed afterwards. Both tools read them from the page cache, warmed first; each is
# run three times and the best wall time counts. Exits 1 when AttachmentMedia is slower than 80 % of OpenSSL.
set -eu

bench=${1:-build/media-release/bench/media_bench}
[ -x "$bench" ] || { echo "media_hash_bench: no benchmark binary at $bench" >&2; exit 2; }
command -v openssl >/dev/null || { echo "media_hash_bench: openssl is not installed" >&2; exit 2; }

folder=$(mktemp -d "${TMPDIR:-/tmp}/quillmark-media-bench.XXXXXX")
trap 'rm -rf "$folder"' EXIT INT TERM

total=$((1024 * 1024 * 1024))
made=0
n=0
seed=12345
next() { seed=$(( (seed * 1103515245 + 12345) % 2147483648 )); }
while [ "$made" -lt "$total" ]; do
    next
    if [ $((n % 40)) -eq 39 ]; then
        size=$(( 16 * 1048576 + seed % (48 * 1048576) ))
        name=$(printf "%s/%02d/IMG_%04d.MOV" "$folder" $((n % 16)) "$n")
    else
        size=$(( 65536 + seed % (4 * 1048576 - 65536) ))
        name=$(printf "%s/%02d/IMG_%04d.HEIC" "$folder" $((n % 16)) "$n")
    fi
    [ $((made + size)) -gt "$total" ] && size=$((total - made))
    mkdir -p "$(dirname "$name")"
    head -c "$size" /dev/urandom > "$name"
    made=$((made + size))
    n=$((n + 1))
done
echo "made $n files, $made bytes, in $folder"

find "$folder" -type f -exec cat {} + > /dev/null   # into the page cache

now() { date +%s.%N; }
best() {  # best wall time of three runs of "$@"
    b=""
    for _ in 1 2 3; do
        s=$(now); "$@" > /dev/null; e=$(now)
        t=$(awk "BEGIN { print $e - $s }")
        if [ -z "$b" ] || awk "BEGIN { exit !($t < $b) }"; then b=$t; fi
    done
    echo "$b"
}
openssl_all() { find "$folder" -type f -print0 | sort -z | xargs -0 openssl dgst -sha256; }

openssl_seconds=$(best openssl_all)
media_seconds=$(best "$bench" "$folder")
"$bench" "$folder"

mb() { awk "BEGIN { printf \"%.1f\", $made / 1000000 / $1 }"; }
ratio=$(awk "BEGIN { printf \"%.3f\", $openssl_seconds / $media_seconds }")
echo "openssl dgst -sha256: ${openssl_seconds} s, $(mb "$openssl_seconds") MB/s"
echo "media_bench (two passes, process included): ${media_seconds} s, $(mb "$media_seconds") MB/s"
echo "AttachmentMedia / OpenSSL speed: $ratio (needs at least 0.8)"
awk "BEGIN { exit !($ratio >= 0.8) }"
