#!/usr/bin/env bash
# Where a one-thread run spends its instructions, and how much of it runs
# outside the parallel work:
#
#   bench/serial_share.sh [--jobs DIR] [--bin BINARY] [--keep DIR] [JOB.dat]...
#
# Runs each job (default: every DIR/*.dat, DIR ../shared/bench beside the
# project) once under valgrind's callgrind with --threads 1 and prints per
# job the instructions in millions and their shares:
#   parallel     sampling, evaluating, formatting report rows and the
#                profile fit's search: the work that is split over the threads;
#   statistics   the column sums, which must run in ascending row order to
#                keep the bits; they run on one thread at a time but beside
#                the evaluation of the other chunks (overlapped);
#   copying      handing the formatted report rows to the file (overlapped
#                with the formatting of the next rows);
#   start, exit  the dynamic loader, static set-up and the exit handlers;
#   reading      reading and checking the job, the profile fit's set-up;
#   other        the rest of the series and the reports (set-up, console
#                lines, report headings, the spreadsheet, the summary).
# "serial" is everything but the parallel work; "not overlapped" leaves out
# the statistics and the copying too. Instruction counts do not change with
# the load of the machine; kernel time (page preparation, writes, syncs) is
# not counted. --keep DIR keeps the callgrind profiles there.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
jobs_dir=$root/../shared/bench
bin=$root/build-bench/tbxrun
keep=
jobs=()
while [ $# -gt 0 ]; do
  case $1 in
    --jobs) jobs_dir=$2; shift 2 ;;
    --bin) bin=$2; shift 2 ;;
    --keep) keep=$2; shift 2 ;;
    -h|--help) sed -n '2,25p' "$0"; exit 0 ;;
    *) jobs+=("$1"); shift ;;
  esac
done
for tool in valgrind callgrind_annotate python3; do
  command -v "$tool" > /dev/null || { echo "missing: $tool" >&2; exit 2; }
done
[ ${#jobs[@]} -gt 0 ] || jobs=("$jobs_dir"/*.dat)
bin=$(readlink -f "$bin")

work=$(mktemp -d "${TMPDIR:-/tmp}/tbx-serial.XXXXXX")
trap 'rm -rf "$work"' EXIT
for dat in "${jobs[@]}"; do
  job=$(basename "$dat" .dat)
  mkdir -p "$work/$job" && cp "$dat" "$work/$job/"
  (cd "$work/$job" && valgrind --tool=callgrind --callgrind-out-file=callgrind.out "$bin" --threads 1 "$job" \
    > /dev/null 2>&1) || echo "$job: the run failed" >&2
  callgrind_annotate --inclusive=yes --threshold=100 "$work/$job/callgrind.out" > "$work/$job/inclusive.txt" 2> /dev/null
  callgrind_annotate --threshold=100 "$work/$job/callgrind.out" > "$work/$job/self.txt" 2> /dev/null
  if [ -n "$keep" ]; then mkdir -p "$keep" && cp "$work/$job/callgrind.out" "$keep/$job.callgrind.out"; fi
done

python3 - "$work" << 'EOF'
import os, re, sys

def costs(path):
    out = []
    for line in open(path):
        m = re.match(r"\s*([\d,]+) \(\s*[\d.]+%\)\s+(.*)", line)
        if m:
            out.append((int(m.group(1).replace(",", "")), m.group(2)))
    return out

def total(rows, pattern):
    return sum(ir for ir, name in rows if re.search(pattern, name))

work = sys.argv[1]
print("| job | total (M) | parallel | statistics | copying | start, exit | reading | other | serial | not overlapped |")
print("|---|---|---|---|---|---|---|---|---|---|")
for job in sorted(os.listdir(work)):
    inc = costs(os.path.join(work, job, "inclusive.txt"))
    own = costs(os.path.join(work, job, "self.txt"))
    everything = total(inc, r"PROGRAM TOTALS")
    if not everything:
        continue
    parallel = total(inc, r"::(sample_chunk|evaluate_chunk)\(|format_block\(|_Function_handler<void \(long\), tbx::fit_profile\(")
    # The statistics: the two passes, and the failure count beside them.
    statistics = total(own, r"ColumnMoments::add_(values|squares)\(|run_series\(.*::\{lambda\(long, long\)")
    copying = total(inc, r"basic_string<.*::_M_append\(|OutputFile::flush\(\)")
    main = total(inc, r"tbx::main_entry\(")
    start_exit = everything - main
    reading = total(inc, r"tbx::(read_job|validate_job|check_design_life|apply_profile_fit|read_fib_job)\(") - \
        total(inc, r"_Function_handler<void \(long\), tbx::fit_profile\(")
    other = everything - parallel - statistics - copying - start_exit - reading
    serial = everything - parallel
    share = lambda x: f"{100 * x / everything:.1f} %"
    print(f"| {job} | {everything / 1e6:.1f} | {share(parallel)} | {share(statistics)} | {share(copying)} | "
          f"{share(start_exit)} | {share(reading)} | {share(other)} | {share(serial)} | "
          f"{share(serial - statistics - copying)} |")
EOF
