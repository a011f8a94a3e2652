#!/bin/sh
# Runs the six examples with the native program and with the WebAssembly one
# (scripts/build-wasm) under node, each in a folder of its own, and compares:
# the console text, the exit status and the report files byte for byte, the
# failure counts exactly, the other numbers of the summary files within
# MAX_ULP units in the last place (default 16; FORM's results within 1e-9, see
# compare_summary.py). A report that shows the run identifier (a digest of
# all results, FORM's too) is compared without that line, and says so.
# Prints the largest differences and the run times; exit status 1 on any
# mismatch.
#   tests/wasm/examples.sh [NATIVE_TBXRUN [WASM_TBXRUN_JS]]
set -eu

source_dir=$(cd "$(dirname "$0")/../.." && pwd)
native=${1:-$source_dir/build/tbxrun}
wasm=${2:-$source_dir/build-wasm/tbxrun.js}
max_ulp=${MAX_ULP:-16}
[ -x "$native" ] || { echo "examples.sh: no native program at $native" >&2; exit 1; }
[ -f "$wasm" ] || { echo "examples.sh: no WebAssembly program at $wasm (run scripts/build-wasm)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM
# The reports carry the date of their run: fixed, as for the committed examples.
export SOURCE_DATE_EPOCH=0

now() { date +%s.%N; }
elapsed() { echo "$1 $2" | awk '{ printf "%.2f", $2 - $1 }'; }

status=0
for job in splash_zone tidal_zone submerged_profile fib_splash_zone fib_splash_pier fib_submerged_pile; do
  case $job in
    fib_*) file=$job.toml; options=""; reports="_report.txt" ;;
    *) file=$job.dat; options="--summary"; reports="_rs.dat _xls.dat" ;;
  esac
  for side in native wasm; do
    mkdir -p "$work/$side"
    cp "$source_dir/examples/$file" "$work/$side/"
  done
  start=$(now)
  # shellcheck disable=SC2086 # no option or one
  (cd "$work/native" && "$native" $options "$job" >"$job.out" 2>&1; echo $? >"$job.status")
  middle=$(now)
  # shellcheck disable=SC2086
  (cd "$work/wasm" && node "$wasm" $options "$job" >"$job.out" 2>&1; echo $? >"$job.status")
  end=$(now)

  faults=""
  but_run=""
  for suffix in .out .status $reports; do
    a=$work/native/$job$suffix
    b=$work/wasm/$job$suffix
    cmp -s "$a" "$b" && continue
    if [ -f "$a" ] && [ -f "$b" ] && grep -v '^Run ' "$a" >"$a.masked" && grep -v '^Run ' "$b" >"$b.masked" &&
      cmp -s "$a.masked" "$b.masked"; then
      but_run="$but_run $job$suffix"
    else
      faults="$faults $job$suffix"
    fi
  done
  printf '%-20s native %ss, wasm %ss; ' "$job" "$(elapsed "$start" "$middle")" "$(elapsed "$middle" "$end")"
  python3 "$source_dir/tests/wasm/compare_summary.py" "$max_ulp" \
    "$work/native/${job}_summary.json" "$work/wasm/${job}_summary.json" \
    "$work/native/${job}_summary.csv" "$work/wasm/${job}_summary.csv" || status=1
  [ -z "$but_run" ] || echo "  identical but for the run identifier:$but_run"
  if [ -n "$faults" ]; then
    echo "  MISMATCH (not byte-identical):$faults"
    status=1
  fi
done
[ $status -eq 0 ] && echo "examples.sh: all six examples agree" || echo "examples.sh: MISMATCH" >&2
exit $status
