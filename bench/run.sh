#!/usr/bin/env bash
# Whole-run timings of the benchmark jobs, on one core and on all cores.
#
#   bench/run.sh [--jobs DIR] [--build DIR] [--runs N] [--compare NAME=BINARY]...
#                [--compare-rev NAME=REVISION]...
#
# Builds tbxrun, the plain reference tbxrun_literal and the micro-benchmarks
# if needed, then for every job DIR/*.dat (DIR: ../shared/bench beside the
# project unless given):
#   - runs it once on one core (taskset -c 0) as the reference, and checks
#     that a run on all cores, and every compared binary, leave byte for byte
#     the same standard output, standard error, results report and
#     spreadsheet file;
#   - times each binary with hyperfine on one core and on all cores;
#   - measures peak memory (/usr/bin/time -f %M) and the rate at which the
#     results report is written (from opening its temporary file to renaming
#     it into place, seen by strace);
#   - estimates tbxrun's serial share on one core: the share of its
#     instructions (valgrind's callgrind) outside the work that runs in
#     parallel (sampling, evaluating, formatting report rows, the profile
#     fit's search), applied to
#     the user time, plus all system time (page preparation, writing);
# and prints Markdown tables. The literal reference is always compared
# (label "literal"); --compare adds other binaries, --compare-rev builds
# tbxrun from an earlier commit (git archive, in a temporary directory).
# Requires hyperfine, strace, taskset and python3; valgrind for the serial
# share.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
jobs_dir=$root/../shared/bench
build_dir=$root/build-bench
runs=10
compare=()
compare_rev=()
while [ $# -gt 0 ]; do
  case $1 in
    --jobs) jobs_dir=$2; shift 2 ;;
    --build) build_dir=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    --compare) compare+=("$2"); shift 2 ;;
    --compare-rev) compare_rev+=("$2"); shift 2 ;;
    -h|--help) sed -n '2,27p' "$0"; exit 0 ;;
    *) echo "unknown argument: $1" >&2; exit 2 ;;
  esac
done

for tool in hyperfine strace taskset python3 /usr/bin/time; do
  command -v "$tool" > /dev/null || { echo "missing: $tool" >&2; exit 2; }
done

cmake -S "$root" -B "$build_dir" -DCMAKE_BUILD_TYPE=Release -DTBX_BUILD_BENCH=ON -DTBX_BUILD_TESTS=OFF > /dev/null
make -C "$build_dir" -j"$(nproc)" tbxrun tbxrun_literal tbx_bench > /dev/null

work=$(mktemp -d "${TMPDIR:-/tmp}/tbx-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
for entry in "${compare_rev[@]}"; do
  name=${entry%%=*}
  src=$work/src-$name
  mkdir -p "$src"
  git -C "$root" archive "${entry#*=}" | tar -x -C "$src"
  cmake -S "$src" -B "$src/build" -DCMAKE_BUILD_TYPE=Release -DTBX_BUILD_TESTS=OFF > /dev/null
  make -C "$src/build" -j"$(nproc)" tbxrun > /dev/null
  compare+=("$name=$src/build/tbxrun")
done
binaries=("tbxrun=$build_dir/tbxrun" "literal=$build_dir/bench/tbxrun_literal" "${compare[@]}")
results=$work/results.tsv
: > "$results"
serial=$work/serial.tsv
: > "$serial"

# The serial share of binary $2 on job $3 in directory $1, one thread on one
# core: user time (fastest of three) times the share of instructions outside
# the parallel work, plus system time, over user plus system time.
serial_share() {
  local dir=$1 bin=$2 job=$3 k
  command -v valgrind > /dev/null || { echo nan; return; }
  # User and system time of the child, to the microsecond.
  for k in 1 2 3; do
    (cd "$dir" && python3 -c '
import resource, subprocess, sys
subprocess.run(sys.argv[1:], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
r = resource.getrusage(resource.RUSAGE_CHILDREN)
print(r.ru_utime, r.ru_stime)' taskset -c 0 "$bin" --threads 1 "$job" > times.$k) || true
  done
  (cd "$dir" && taskset -c 0 valgrind --tool=callgrind --callgrind-out-file=callgrind.out \
    "$bin" --threads 1 "$job" > /dev/null 2>&1) || true
  callgrind_annotate --inclusive=yes --threshold=100 "$dir/callgrind.out" 2> /dev/null \
    | python3 -c '
import re, sys
total = parallel = overlapped = 0
for line in sys.stdin:
    m = re.match(r"\s*([\d,]+) \(\s*[\d.]+%\)\s+(.*)", line)
    if not m:
        continue
    ir, name = int(m.group(1).replace(",", "")), m.group(2)
    if "PROGRAM TOTALS" in name:
        total = ir
    elif re.search(r"::(sample_chunk|evaluate_chunk)\(|format_block\(|_Function_handler<void \(long\), tbx::fit_profile\(", name):
        parallel += ir
    elif re.search(r"ColumnMoments::add_(values|squares)\(", name):
        overlapped += ir
best = min((sum(map(float, open(p).read().split()[-2:])), p) for p in sys.argv[1:])[1]
user, system = map(float, open(best).read().split()[-2:])
serial_ir = 1 - parallel / total if total else float("nan")
share = (user * serial_ir + system) / (user + system) if user + system > 0 else float("nan")
print(f"{share:.3f}\t{user:.3f}\t{system:.3f}\t{serial_ir:.3f}\t{overlapped / total if total else 0:.3f}")
' "$dir"/times.1 "$dir"/times.2 "$dir"/times.3
}

# Runs binary $2 on job $3 in directory $1, taskset cpus $4 ("" for all).
run_in() {
  local dir=$1 bin=$2 job=$3 cpus=$4
  (cd "$dir" && if [ -n "$cpus" ]; then taskset -c "$cpus" "$bin" "$job"; else "$bin" "$job"; fi \
    > "$job.stdout" 2> "$job.stderr") || true
}

same_output() {
  local a=$1 b=$2 job=$3 f
  for f in "$job.stdout" "$job.stderr" "${job}_rs.dat" "${job}_xls.dat"; do
    cmp -s "$a/$f" "$b/$f" || { echo "  differs: $f" >&2; return 1; }
  done
}

status=0
cpus_all=$(nproc)
for dat in "$jobs_dir"/*.dat; do
  job=$(basename "$dat" .dat)
  echo "== $job" >&2
  ref=$work/$job.ref
  mkdir -p "$ref" && cp "$dat" "$ref/"
  run_in "$ref" "$build_dir/tbxrun" "$job" 0
  report_bytes=$(stat -c %s "$ref/${job}_rs.dat" 2> /dev/null || echo 0)
  printf '%s\t%s\n' "$job" "$(serial_share "$ref" "$build_dir/tbxrun" "$job")" >> "$serial"

  for entry in "${binaries[@]}"; do
    name=${entry%%=*}
    bin=$(readlink -f "${entry#*=}")
    for cpus in 0 ""; do
      label=$([ -n "$cpus" ] && echo "1 core" || echo "$cpus_all cores")
      dir=$work/$job.$name.${cpus:-all}
      mkdir -p "$dir" && cp "$dat" "$dir/"
      run_in "$dir" "$bin" "$job" "$cpus"
      if ! same_output "$ref" "$dir" "$job"; then
        echo "  $name on $label: output differs from the one-core run of tbxrun" >&2
        status=1
      fi
      json=$dir/hyperfine.json
      (cd "$dir" && hyperfine -N --warmup 1 --runs "$runs" --export-json "$json" \
        "${cpus:+taskset -c $cpus }$bin $job" > /dev/null 2>&1)
      peak_kb=$(cd "$dir" && { /usr/bin/time -f %M ${cpus:+taskset -c $cpus} "$bin" "$job" > /dev/null 2> time.err; } ; tail -1 time.err)
      # The report phase: the temporary report file is opened, written and
      # renamed. The fastest of three runs.
      for k in 1 2 3; do
        (cd "$dir" && strace --seccomp-bpf -f -e trace=openat,rename -ttt -o "strace.$k.txt" \
          ${cpus:+taskset -c $cpus} "$bin" "$job" > /dev/null 2>&1) || true
      done
      report_seconds=$(python3 - "$job" "$dir"/strace.*.txt << 'EOF'
import re, sys
best = float('nan')
for path in sys.argv[2:]:
    start = end = None
    for line in open(path):
        m = re.match(r'\d+\s+([\d.]+)\s+(openat|rename)\((.*)', line)
        if not m:
            continue
        t, call, args = float(m.group(1)), m.group(2), m.group(3)
        if call == 'openat' and '.tbxrun-' in args and start is None:
            start = t
        if call == 'rename' and sys.argv[1] + '_rs.dat' in args:
            end = t
    if start is not None and end is not None and not end - start >= best:
        best = end - start
print(f"{best:.6f}")
EOF
)
      printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$job" "$name" "${cpus:-all}" "$json" "$peak_kb" \
        "$report_seconds" "$report_bytes" >> "$results"
    done
  done
done

python3 - "$results" "$cpus_all" "$serial" << 'EOF'
import json, math, sys
rows = [line.rstrip('\n').split('\t') for line in open(sys.argv[1])]
cores = sys.argv[2]
data = {}
for job, name, cpus, path, peak_kb, report_s, report_bytes in rows:
    r = json.load(open(path))['results'][0]
    data[(job, name, cpus)] = dict(mean=r['mean'], sd=r['stddev'] or 0.0, min=r['min'],
                                   peak=int(peak_kb) / 1024, report_s=float(report_s),
                                   report_mb=int(report_bytes) / 1e6)
jobs = sorted({k[0] for k in data})
names = []
for k in data:
    if k[1] not in names:
        names.append(k[1])

def t(d):
    return f"{d['min']:.3f} ({d['mean']:.3f} ± {d['sd']:.3f})"

def rate(d):
    return "" if math.isnan(d['report_s']) or d['report_s'] <= 0 else f"{d['report_mb'] / d['report_s']:.0f}"

# Times are the fastest run (mean ± standard deviation in brackets): on a
# shared machine the fastest run is the one least disturbed. Ratios compare
# fastest runs.
print(f"| job | binary | 1 core (s) | {cores} cores (s) | {cores} cores vs 1 | vs literal, 1 core | "
      f"vs literal, {cores} cores | peak MB (1 / {cores}) | report MB/s (1 / {cores}) |")
print("|---|---|---|---|---|---|---|---|---|")
for job in jobs:
    lit1 = data.get((job, 'literal', '0'))
    for name in names:
        one, all_ = data.get((job, name, '0')), data.get((job, name, 'all'))
        if not one or not all_:
            continue
        vs1 = f"{lit1['min'] / one['min']:.1f}x" if lit1 else ""
        vsall = f"{lit1['min'] / all_['min']:.1f}x" if lit1 else ""
        print(f"| {job} | {name} | {t(one)} | {t(all_)} | {one['min'] / all_['min']:.2f}x | {vs1} | {vsall} | "
              f"{one['peak']:.0f} / {all_['peak']:.0f} | {rate(one)} / {rate(all_)} |")

# The serial share s of a one-core run bounds the speed-up on n cores by
# 1 / (s + (1 - s) / n).
print()
# The statistics passes run on one thread at a time but beside the
# evaluation; they are part of the serial share, and shown on their own.
print("| job | serial share (tbxrun, 1 core) | user s | system s | serial instructions | of them overlapped | bound on 16 cores |")
print("|---|---|---|---|---|---|---|")
for line in open(sys.argv[3]):
    job, *fields = line.rstrip('\n').split('\t')
    if len(fields) < 5:
        print(f"| {job} | n/a | | | | | |")
        continue
    share, user, system, instructions, overlapped = fields
    s = float(share)
    bound = f"{1 / (s + (1 - s) / 16):.1f}x" if s == s else ""
    print(f"| {job} | {100 * s:.1f} % | {user} | {system} | {100 * float(instructions):.1f} % | "
          f"{100 * float(overlapped):.1f} % | {bound} |")
EOF

echo >&2
echo "micro-benchmarks of the results report (bytes/s):" >&2
"$build_dir/bench/tbx_bench" --benchmark_filter='ResultsReport' --benchmark_min_time=0.5 2>/dev/null \
  | grep BM_ >&2 || true

if [ $status -ne 0 ]; then echo "OUTPUT DIFFERS (see above)" >&2; fi
exit $status
