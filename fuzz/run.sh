#!/bin/sh
# Runs one fuzz target on its corpus: seeds from make_seeds and fuzz/corpus/<target>/,
# copied into <build>/fuzz-corpus/<target>/ where the fuzzer adds what it finds.
#   fuzz/run.sh <build folder> <target> [seconds]
set -eu
build=$1
target=$2
seconds=${3:-600}
here=$(cd "$(dirname "$0")" && pwd)
work=$build/fuzz-corpus/$target
mkdir -p "$work" "$build/artifacts"
if [ -x "$build/make_seeds" ]; then
    "$build/make_seeds" "$build/seeds"
    [ -d "$build/seeds/$target" ] && cp "$build/seeds/$target"/* "$work"/
fi
[ -d "$here/corpus/$target" ] && cp "$here/corpus/$target"/* "$work"/
dict=
case $target in
    rule_presets_fuzz) dict=-dict=$here/rule_presets.dict ;;
    ini_file_fuzz) dict=-dict=$here/ini_file.dict ;;
    document_reader_fuzz) dict=-dict=$here/document_reader.dict ;;
    exif_reader_fuzz) dict=-dict=$here/exif_reader.dict ;;
esac
exec nice -n 19 "$build/$target" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 \
    -max_len=4096 $dict -artifact_prefix="$build/artifacts/${target}_" -print_final_stats=1 \
    "$work"
