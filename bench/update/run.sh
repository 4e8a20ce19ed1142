#!/usr/bin/env bash
# Updater benchmarks, each beside a reference tool in the same run:
#  1. merge a daily file of ROWS rows (half new, half changed) into a catalogue of ROWS
#     rows, beside the sqlite3 command-line tool applying the same rows in one
#     transaction (both on a fresh copy of the catalogue before every run);
#  2. the file pass over FILE_MB megabytes of listed, current files, beside md5sum on
#     the same files (page cache warm for both).
#   bench/update/run.sh [BUILD_DIR]      env: ROWS (100000), FILE_MB (1024), FILES (16), RUNS (5)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${1:-$root/build}
rows=${ROWS:-100000}
file_mb=${FILE_MB:-1024}
files=${FILES:-16}
runs=${RUNS:-5}
dir=${BENCH_DIR:-/tmp/tunelix-bench-update}
bin="$build/bin/update_bench"

ninja -C "$build" update_bench >/dev/null
rm -rf "$dir"
mkdir -p "$dir/merge" "$dir/files"

echo "== merge: $rows daily rows into $rows catalogue rows"
"$bin" prepare-merge "$dir/merge" "$rows"
fresh="cp $dir/merge/base.mdb $dir/merge/local.mdb; rm -f $dir/merge/local.mdb-wal $dir/merge/local.mdb-shm"
hyperfine --runs "$runs" --prepare "$fresh" \
  -n kelvox-merge "$bin merge $dir/merge" \
  -n sqlite3-cli "sqlite3 $dir/merge/local.mdb < $dir/merge/apply.sql" \
  --export-json "$dir/merge.json"
eval "$fresh"
"$bin" merge "$dir/merge"

echo "== file pass: $file_mb MB in $files files"
"$bin" prepare-files "$dir/files" "$file_mb" "$files"
hyperfine --warmup 1 --runs "$runs" \
  -n kelvox-file-pass "$bin filepass $dir/files" \
  -n md5sum "md5sum $dir/files/files/*" \
  --export-json "$dir/files.json"
"$bin" filepass "$dir/files"

python3 - "$dir" "$rows" <<'PY'
import json, sys
d, rows = sys.argv[1], int(sys.argv[2])
def means(name):
    return {r["command"]: r["mean"] for r in json.load(open(f"{d}/{name}.json"))["results"]}
m = means("merge"); f = means("files")
print(f"merge: kelvox {m['kelvox-merge']:.3f} s ({rows / m['kelvox-merge']:.0f} rows/s, process included), "
      f"sqlite3 CLI {m['sqlite3-cli']:.3f} s, ratio {m['kelvox-merge'] / m['sqlite3-cli']:.2f}x")
print(f"file pass: kelvox {f['kelvox-file-pass']:.3f} s, md5sum {f['md5sum']:.3f} s, "
      f"throughput ratio {f['md5sum'] / f['kelvox-file-pass']:.2f}x of md5sum")
PY
