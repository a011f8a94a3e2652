#!/usr/bin/env bash
# The speed ratios of the benchmark jobs, side by side from one run:
#
#   bench/ratios.sh [--jobs DIR] [--build DIR] [--runs N] [--dir DIR]
#                   [--tbxrun BINARY] [--literal BINARY] [--fifo]
#
# For every job DIR/*.dat (../shared/bench beside the project unless given)
# it runs, in turn and N times each (default 7):
#   - the literal yardstick (bench/tbxrun_literal) on one core,
#   - tbxrun --threads 1 on one core,
#   - tbxrun --threads 2 on two cores,
# checks that all three leave byte for byte the same standard output and
# report files, and prints per job: the CPU time (user + system) of the
# literal run and of tbxrun on one core and their ratio, tbxrun's wall time
# on one and on two threads and their ratio, and wall minus CPU time on one
# thread (the time spent waiting, mostly for the disk). Each figure is the
# smallest of the N runs: on a machine shared with other work the least
# disturbed run is the one closest to the program's own cost. The runs of
# the three binaries alternate, so that a busy moment spreads over all of
# them.
#
# The README of the jobs quotes wall times of a build that follows the
# program's description literally; the last column compares tbxrun's CPU time
# with those, which come from another day (a rough guide only).
#
# The jobs are run in DIR (default: a fresh directory under TMPDIR, or /tmp):
# it must be on the file system whose syncs are to be counted. Requires
# taskset and python3. --tbxrun and --literal time the given binaries (of an
# earlier revision, say) instead of building them. --fifo runs every job
# under the real-time policy (chrt -f 50, which needs the privilege): on a
# machine shared with other work the runs are then far less disturbed.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
jobs_dir=$root/../shared/bench
build_dir=$root/build-bench
runs=7
run_dir=
tbxrun=
literal=
fifo=0
while [ $# -gt 0 ]; do
  case $1 in
    --jobs) jobs_dir=$2; shift 2 ;;
    --build) build_dir=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    --dir) run_dir=$2; shift 2 ;;
    --tbxrun) tbxrun=$2; shift 2 ;;
    --literal) literal=$2; shift 2 ;;
    --fifo) fifo=1; shift ;;
    -h|--help) sed -n '2,34p' "$0"; exit 0 ;;
    *) echo "unknown argument: $1" >&2; exit 2 ;;
  esac
done
for tool in taskset python3; do
  command -v "$tool" > /dev/null || { echo "missing: $tool" >&2; exit 2; }
done
if [ "$(nproc)" -lt 2 ]; then echo "needs at least 2 CPUs" >&2; exit 2; fi

if [ -z "$tbxrun" ] || [ -z "$literal" ]; then
  cmake -S "$root" -B "$build_dir" -DCMAKE_BUILD_TYPE=Release -DTBX_BUILD_BENCH=ON -DTBX_BUILD_TESTS=OFF > /dev/null
  make -C "$build_dir" -j"$(nproc)" tbxrun tbxrun_literal > /dev/null
fi
tbxrun=${tbxrun:-$build_dir/tbxrun}
literal=${literal:-$build_dir/bench/tbxrun_literal}

work=$(mktemp -d "${run_dir:-${TMPDIR:-/tmp}}/tbx-ratios.XXXXXX")
trap 'rm -rf "$work"' EXIT

python3 - "$work" "$jobs_dir" "$runs" "$literal" "$tbxrun" "$fifo" << 'EOF'
import filecmp, glob, os, re, shutil, subprocess, sys, time

work, jobs_dir, runs = sys.argv[1], sys.argv[2], int(sys.argv[3])
literal, tbxrun = os.path.realpath(sys.argv[4]), os.path.realpath(sys.argv[5])
prefix = ["chrt", "-f", "50"] if sys.argv[6] == "1" else []
# name: (command, CPUs)
variants = {
    "literal": ([literal, "--threads", "1"], "0"),
    "tbxrun 1": ([tbxrun, "--threads", "1"], "0"),
    "tbxrun 2": ([tbxrun, "--threads", "2"], "0,1"),
}

def run(cmd, cpus, cwd, job):
    """Wall and CPU seconds of one run; the standard output kept in cwd."""
    with open(os.path.join(cwd, job + ".stdout"), "wb") as out:
        start = time.perf_counter()
        p = subprocess.Popen(prefix + ["taskset", "-c", cpus] + cmd + [job], cwd=cwd, stdout=out,
                             stderr=subprocess.STDOUT)
        _, status, usage = os.wait4(p.pid, 0)
        wall = time.perf_counter() - start
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit(f"{' '.join(cmd)} {job}: exit status {os.waitstatus_to_exitcode(status)}")
    return wall, usage.ru_utime + usage.ru_stime

def outputs(cwd, job):
    return [os.path.join(cwd, job + suffix) for suffix in (".stdout", "_rs.dat", "_xls.dat")]

quoted = {}
readme = os.path.join(jobs_dir, "README.md")
if os.path.exists(readme):
    for name, seconds in re.findall(r"`(\w+)` ([\d.]+) s", open(readme).read()):
        quoted[name] = float(seconds)

rows, differs = [], False
for dat in sorted(glob.glob(os.path.join(jobs_dir, "*.dat"))):
    job = os.path.basename(dat)[:-4]
    print(f"== {job}", file=sys.stderr)
    best = {}
    dirs = {}
    for name in variants:
        dirs[name] = os.path.join(work, job + "." + name.replace(" ", "-"))
        os.makedirs(dirs[name])
        shutil.copy(dat, dirs[name])
    for _ in range(runs):
        for name, (cmd, cpus) in variants.items():
            wall, cpu = run(cmd, cpus, dirs[name], job)
            w, c, g = best.get(name, (wall, cpu, wall - cpu))
            best[name] = (min(w, wall), min(c, cpu), min(g, wall - cpu))
    ref = outputs(dirs["tbxrun 1"], job)
    for name in variants:
        for a, b in zip(ref, outputs(dirs[name], job)):
            if os.path.exists(a) and not filecmp.cmp(a, b, shallow=False):
                print(f"  {name}: {os.path.basename(b)} differs from tbxrun on one thread", file=sys.stderr)
                differs = True
    rows.append((job, best))

def ratio(a, b):
    return f"{a / b:.1f}x" if b > 0 else "n/a"

print(f"Smallest of {runs} runs each, seconds; CPU = user + system.")
print()
print("| job | literal CPU | tbxrun CPU, 1 thread | CPU vs literal | wall, 1 thread | wall, 2 threads "
      "| 2 threads vs 1 | wall - CPU, 1 thread | CPU vs quoted literal |")
print("|---|---|---|---|---|---|---|---|---|")
for job, best in rows:
    _, lit_cpu, _ = best["literal"]
    one_wall, one_cpu, one_wait = best["tbxrun 1"]
    two_wall, _, _ = best["tbxrun 2"]
    q = f"{quoted[job] / one_cpu:.1f}x ({quoted[job]} s)" if job in quoted and one_cpu > 0 else ""
    print(f"| {job} | {lit_cpu:.3f} | {one_cpu:.3f} | {ratio(lit_cpu, one_cpu)} | {one_wall:.3f} | "
          f"{two_wall:.3f} | {one_wall / two_wall:.2f}x | {1000 * one_wait:.0f} ms | {q} |")
if differs:
    print("\nOUTPUT DIFFERS (see above)")
    sys.exit(1)
EOF
