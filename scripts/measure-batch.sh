#!/bin/sh
# Measures batch conversion on a folder of generated movies, some damaged:
#   scripts/measure-batch.sh [BUILD_DIR] [COUNT] [JOBS]
# Converts to MJPEG AVI. Prints: the batch's wall time with -j JOBS and the same movies converted one process after
# the other by separate swivio-cli runs; how many converted, failed or were left without a
# line; the batch process's own peak RSS and the largest and smallest peak RSS of the
# single-movie processes (from /usr/bin/time -v).
set -eu
build=${1:-build}
count=${2:-200}
jobs=${3:-2}
cli=$(realpath "$build/cli/swivio-cli")
here=$(dirname "$(realpath "$0")")
work=$(mktemp -d "${TMPDIR:-/tmp}/swivio-measure-XXXXXX")
trap 'rm -rf "$work"' EXIT

python3 "$here/make-batch-movies.py" "$work/movies" "$count" 10 >/dev/null
damaged=$(wc -l < "$work/movies/damaged.txt")

# The batch, its own peak RSS sampled from /proc while it runs.
start=$(date +%s.%N)
/usr/bin/time -v -o "$work/batch.time" "$cli" convert "$work/movies" --output-dir "$work/batch" \
    -j "$jobs" --timeout 120 --json --codec MJPG > "$work/report.jsonl" 2> "$work/batch.err" &
timer=$!
sleep 0.1
pid=$(pgrep -P "$timer" | head -1)
hwm=0
while kill -0 "$timer" 2>/dev/null; do
    now=$(awk '/VmHWM/ {print $2}' "/proc/$pid/status" 2>/dev/null || true)
    [ -n "$now" ] && [ "$now" -gt "$hwm" ] && hwm=$now
    sleep 0.2
done
wait "$timer" && code=0 || code=$?
batch=$(echo "$(date +%s.%N) - $start" | bc)

lines=$(wc -l < "$work/report.jsonl")
ok=$(grep -c '"status":"ok"' "$work/report.jsonl" || true)
failed=$((lines - ok))
warned=$(grep '"status":"ok"' "$work/report.jsonl" | grep -vc '"warnings":0' || true)
unreported=0
while read -r name; do
    line=$(grep "\"input\":\"[^\"]*/$name\"" "$work/report.jsonl" || true)
    if [ -z "$line" ] || { echo "$line" | grep -q '"status":"ok"' &&
                           echo "$line" | grep -q '"warnings":0'; }; then
        unreported=$((unreported + 1))
    fi
done < "$work/movies/damaged.txt"

# The same movies, one swivio-cli run each, one after the other.
mkdir -p "$work/single"
start=$(date +%s.%N)
for movie in "$work"/movies/*.swf; do
    name=$(basename "$movie" .swf)
    /usr/bin/time -v -o "$work/single/$name.time" "$cli" convert "$movie" \
        -o "$work/single/$name.avi" --codec MJPG -y >/dev/null 2>&1 || true
done
single=$(echo "$(date +%s.%N) - $start" | bc)
cpu() { awk '/User time|System time/ {t += $NF} END {printf "%.1f", t}' "$@"; }
rss=$(cat "$work"/single/*.time | awk '/Maximum resident set size/ {print $6}' | sort -n)
first=$(awk '/Maximum resident set size/ {print $6}' "$work/single/movie-000.time")
last=$(awk '/Maximum resident set size/ {print $6}' \
    "$work/single/$(printf 'movie-%03d' $((count - 1))).time")

echo "movies: $count ($damaged damaged)"
echo "batch -j $jobs: exit $code, $lines lines, $ok ok ($warned with warnings), $failed not ok"
echo "damaged movies neither failed nor warned: $unreported"
echo "wall time: batch -j $jobs ${batch} s; $count single runs one after the other ${single} s"
echo "CPU (user + system): batch with its processes $(cpu "$work/batch.time") s;" \
     "single runs $(cpu "$work"/single/*.time) s"
echo "peak RSS: batch process ${hwm} kB; single-movie processes $(echo "$rss" | head -1) kB" \
     "to $(echo "$rss" | tail -1) kB (first movie ${first} kB, last ${last} kB)"
