#!/usr/bin/env bash
# Verifying a record export against making it: a history generated with a fixed seed, one conversation
# exported as a record PDF of about 300 pages, then verified as written (the new rendering equals the file
# byte for byte) and after another program re-saved it (a page whose print, everything that draws it,
# equals the new rendering's is neither read nor drawn; the others are compared by text and picture).
# Prints the best of three wall-clock times of each and their ratios. Uses the Release build (scripts/build release).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QUILLMARK_BUILD:-$root/build/release}
[ -n "${QUILLMARK_BUILD:-}" ] || "$root/scripts/build" release --target quillmark-cli make-sample-history >/dev/null
cli="$build/cli/quillmark-cli"
generator=$(find "$build" -type f -name make-sample-history -perm -u+x | head -n 1)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$generator" "$work/h" --seed 3 --conversations 16 --messages 14000 >/dev/null
# The largest conversation; the range makes it about 300 record pages.
conv=$("$cli" --messages "$work/h" list | awk '/ messages/ {n++; if ($1 + 0 > max) {max = $1 + 0; best = n}} END {print best}')
range=(--from 2023-12-15)

best() {  # best wall-clock seconds of three runs of the command
  local b=""
  for _ in 1 2 3; do
    local s e
    s=$(date +%s.%N); "$@" >/dev/null; e=$(date +%s.%N)
    b=$(echo "$s $e ${b:-999}" | awk '{t = $2 - $1; print (t < $3 ? t : $3)}')
  done
  echo "$b"
}

"$cli" --messages "$work/h" export "$conv" --format pdf --layout record "${range[@]}" --output "$work/r.pdf" | grep pages
qpdf "$work/r.pdf" "$work/resaved.pdf"
export_s=$(best "$cli" --messages "$work/h" export "$conv" --format pdf --layout record "${range[@]}" --output "$work/x.pdf")
verify_s=$(best "$cli" --messages "$work/h" verify "$work/r.pdf")
resaved_s=$(best "$cli" --messages "$work/h" verify "$work/resaved.pdf")
echo "export:           ${export_s} s"
echo "verify:           ${verify_s} s  ($(echo "$verify_s $export_s" | awk '{printf "%.2f", $1 / $2}') x export)"
echo "verify, re-saved: ${resaved_s} s  ($(echo "$resaved_s $export_s" | awk '{printf "%.2f", $1 / $2}') x export)"
