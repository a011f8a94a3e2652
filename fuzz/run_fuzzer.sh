#!/usr/bin/env bash
# Runs the job-file fuzzer for a bounded time and fails on any finding.
#
#   fuzz/run_fuzzer.sh [--inputs GLOB] [--dict FILE] FUZZER SECONDS SEED_DIR...
#
# The seed corpus is every input file matching GLOB (default *.dat) under the
# SEED_DIRs (the example jobs, the acceptance inputs; expected reports are
# left out), gathered into a
# fresh folder so that nothing the fuzzer adds lands in the source tree. A
# crash, a sanitizer report, a leak or an input that runs longer than the
# timeout ends the run with a non-zero status; the input is kept under
# artifacts/ beside the fuzzer and printed in base64, so that a CI log alone
# is enough to reproduce it.
set -euo pipefail

here=$(dirname "$(realpath "$0")")
inputs='*.dat'
dict="$here/job_file.dict"
while [ $# -gt 0 ]; do
  case $1 in
    --inputs) inputs=$2; shift 2 ;;
    --dict) dict=$(realpath "$2"); shift 2 ;;
    *) break ;;
  esac
done
if [ $# -lt 3 ]; then
  echo "usage: $0 [--inputs GLOB] [--dict FILE] FUZZER SECONDS SEED_DIR..." >&2
  exit 2
fi
fuzzer=$(realpath "$1")
seconds=$2
shift 2

artifacts="$(dirname "$fuzzer")/artifacts"
mkdir -p "$artifacts"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/corpus"

seeds=0
while IFS= read -r -d '' f; do
  cp "$f" "$work/corpus/$(sha1sum <"$f" | cut -c1-40)"
  seeds=$((seeds + 1))
done < <(find "$@" -type f -name "$inputs" -not -path '*/expected/*' -print0)
echo "fuzzing for ${seconds} s from ${seeds} seed files"

# Inputs up to 16 KiB reach past every capacity of the reader (1000
# characters) while keeping the executions fast.
status=0
"$fuzzer" "$work/corpus" \
  -dict="$dict" \
  -max_total_time="$seconds" \
  -max_len=16384 \
  -timeout=5 \
  -rss_limit_mb=2048 \
  -use_value_profile=1 \
  -print_final_stats=1 \
  -artifact_prefix="$artifacts/" \
  >"$work/log" 2>&1 || status=$?

grep -E '^(INFO: Seed|#[0-9]+ +DONE|stat::number_of_executed_units|stat::average_exec_per_sec|stat::peak_rss_mb|Done [0-9]+ runs)' "$work/log" || true
if [ "$status" -ne 0 ]; then
  tail -n 60 "$work/log"
  for a in "$artifacts"/*; do
    [ -f "$a" ] || continue
    echo "== finding $a (base64):"
    base64 "$a" | head -c 20000
    echo
  done
  echo "fuzzer found a problem (status $status)" >&2
  exit 1
fi
