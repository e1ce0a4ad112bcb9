#!/usr/bin/env bash
# Runs the duplicate search next to jdupes, rmlint, fdupes and rdfind on one made tree:
#   run_duplicates.sh [TREE]        (default /var/tmp/quenrix-bench-dups)
# QUENRIX_BENCH_ROUNDS (default 3) rounds of every side; the median round counts.
# Installs the peers when missing, builds the release benchmark (or the one in the build
# folder $QUENRIX_BENCH_BUILD, configured already), makes the tree when missing, warms the
# page cache, times each side with /usr/bin/time and compares the groups they report.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
scripts/setup.sh scripts/bench-packages.txt

if [[ -n "${QUENRIX_BENCH_BUILD:-}" ]]; then
  cmake --build "$QUENRIX_BENCH_BUILD" --target quenrix_bench_duplicates > /dev/null
  bench=$(realpath "$QUENRIX_BENCH_BUILD/bench/quenrix_bench_duplicates")
else
  cmake --preset release > /dev/null
  cmake --build --preset release --target quenrix_bench_duplicates > /dev/null
  bench=$(realpath build/release/bench/quenrix_bench_duplicates)
fi

tree=${1:-/var/tmp/quenrix-bench-dups}
tree=${tree%/}
"$bench" make "$tree"
expected="$tree.expected"

work=$(mktemp -d /tmp/quenrix-bench-dups.XXXXXX)
trap 'rm -rf "$work"' EXIT

echo "warming the page cache..."
find "$tree" -type f -print0 | xargs -0 cat > /dev/null

# run NAME COMMAND...: runs the command in a folder of its own (rmlint and rdfind write
# into the current folder), its stdout to $work/NAME.out, its times to $work/NAME.time.
run() {
  local name=$1
  shift
  mkdir -p "$work/$name.cwd"
  echo "running $name..."
  (cd "$work/$name.cwd" && /usr/bin/time -f '%e %U %S %M' -o "$work/$name.time" "$@" \
    > "$work/$name.out" 2> "$work/$name.err") || {
    echo "$name failed:" >&2
    cat "$work/$name.err" >&2
    exit 1
  }
}

# Every side runs $rounds times, the rounds one after another with the sides in the same
# order each time; each side's figures are those of its round with the median wall time
# (the reports do not change from round to round). The first search with the cache gets an
# empty cache folder of its own in every round, and the second search uses that folder.
rounds=${QUENRIX_BENCH_ROUNDS:-3}
sides=(quenrix quenrix-fill quenrix-cached jdupes rmlint fdupes rdfind)
for ((r = 1; r <= rounds; r++)); do
  echo "round $r of $rounds"
  run quenrix "$bench" search "$tree" --out "$work/quenrix.report"
  mkdir "$work/cache.$r"
  run quenrix-fill "$bench" search "$tree" --cache "$work/cache.$r" --out "$work/quenrix-fill.report"
  run quenrix-cached "$bench" search "$tree" --cache "$work/cache.$r" \
    --out "$work/quenrix-cached.report"
  run jdupes jdupes -r -q "$tree"
  run rmlint rmlint -T duplicates -o "fdupes:$work/rmlint.report" "$tree"
  run fdupes fdupes -r -q "$tree"
  run rdfind rdfind -dryrun true -outputname "$work/rdfind.report" "$tree"
  for side in "${sides[@]}"; do
    mv "$work/$side.time" "$work/$side.time.$r"
    cp "$work/$side.err" "$work/$side.err.$r"
  done
done
for side in "${sides[@]}"; do
  median=$(for ((r = 1; r <= rounds; r++)); do
    printf '%s %s\n' "$(cut -d' ' -f1 "$work/$side.time.$r")" "$r"
  done | sort -n | awk -v n="$rounds" 'NR == int((n + 1) / 2) { print $2 }')
  cp "$work/$side.time.$median" "$work/$side.time"
  cp "$work/$side.err.$median" "$work/$side.err"
  printf '%s\n' "$side: wall s by round: $(for ((r = 1; r <= rounds; r++)); do
    cut -d' ' -f1 "$work/$side.time.$r"; done | tr '\n' ' ')" >> "$work/rounds.txt"
done

for side in quenrix quenrix-fill quenrix-cached; do
  "$bench" canon fdupes "$work/$side.report" "$work/$side.canon"
done
"$bench" canon fdupes "$work/jdupes.out" "$work/jdupes.canon"
"$bench" canon fdupes "$work/rmlint.report" "$work/rmlint.canon"
"$bench" canon fdupes "$work/fdupes.out" "$work/fdupes.canon"
"$bench" canon rdfind "$work/rdfind.report" "$work/rdfind.canon"

# A made tree knows its true groups; a folder of one's own is compared with our search.
[[ -f "$expected" ]] || expected="$work/quenrix.canon"
read -r q_wall _ < "$work/quenrix.time"
read -r fill_wall _ < "$work/quenrix-fill.time"
read -r cached_wall _ < "$work/quenrix-cached.time"

echo
echo "tree: $tree ($(sed -n 's/^layout=[0-9]* //p' "$tree/.quenrix-bench-duplicates" 2> /dev/null))"
echo "machine: $(nproc) cores, $(free -g | awk '/^Mem:/ {print $2}') GB RAM, $(uname -r)"
sed 's/^/  /' "$work/quenrix.err" "$work/quenrix-fill.err" "$work/quenrix-cached.err" | grep '^  quenrix:' || true
sed 's/^/  /' "$work/rounds.txt"
printf '\n%-15s %9s %9s %10s %8s %8s %8s %12s\n' side 'wall s' 'CPU s' 'peak MiB' groups files agrees 'quenrix/side'
all_same=1
faster=1
for side in "${sides[@]}"; do
  read -r wall user sys rss < "$work/$side.time"
  groups=$(wc -l < "$work/$side.canon")
  files=$(tr '\t' '\n' < "$work/$side.canon" | grep -c . || true)
  if cmp -s "$work/$side.canon" "$expected"; then same=same; else same=DIFFER; all_same=0; fi
  ratio=
  case $side in
    quenrix*) ;;
    *)
      ratio=$(awk -v q="$q_wall" -v s="$wall" 'BEGIN { printf "%.2f", (s > 0 ? q / s : 0) }')
      awk -v q="$q_wall" -v s="$wall" 'BEGIN { exit !(q < s) }' || faster=0
      ;;
  esac
  printf '%-15s %9.2f %9.2f %10.1f %8d %8d %8s %12s\n' "$side" "$wall" \
    "$(awk -v u="$user" -v s="$sys" 'BEGIN { print u + s }')" \
    "$(awk -v k="$rss" 'BEGIN { print k / 1024 }')" "$groups" "$files" "$same" "$ratio"
done
echo
cached_ratio=$(awk -v c="$cached_wall" -v f="$fill_wall" 'BEGIN { printf "%.3f", c / f }')
echo "quenrix (no cache) faster than every peer: $([[ $faster == 1 ]] && echo met || echo MISSED)"
echo "cached search under 0.1 x the first with the cache ($cached_ratio): $(awk -v r="$cached_ratio" 'BEGIN { print r < 0.1 ? "met" : "MISSED" }')"
echo "every side found the same groups: $([[ $all_same == 1 ]] && echo met || echo MISSED)"
if [[ $all_same == 0 ]]; then
  for side in "${sides[@]}"; do
    cmp -s "$work/$side.canon" "$expected" && continue
    echo "--- $side against $(basename "$expected") (< only there, > only $side):"
    diff "$expected" "$work/$side.canon" | grep '^[<>]' | tr '\t' ' ' | head -20 || true
  done
fi
