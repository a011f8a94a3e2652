#!/usr/bin/env bash
# How well tbxsweep run keeps the cores busy: a study of N jobs made from one
# benchmark job (different seeds), run with tbxsweep on all cores, against the
# sum of the jobs' one-core times divided by the number of cores.
#
#   bench/sweep_speed.sh [JOB.dat] [N] [ROUNDS]   (defaults: beta_series.dat 40 3)
#
# Needs build/tbxrun, taskset and /usr/bin/time. Each one-core time is the
# fastest of ROUNDS runs of that job, each study run the fastest of ROUNDS
# runs; on a machine shared with other work the wall times are only as good
# as its quietest moments. The CPU time (user + system of every process of a
# pass) depends less on other work: a study run that takes no more CPU time
# than the one-core runs loses nothing to running jobs side by side.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
job=$(realpath "${1:-$root/../shared/bench/beta_series.dat}")
count=${2:-40}
rounds=${3:-3}
export TBXRUN="$root/build/tbxrun"
tbxsweep="$root/tools/tbxsweep"
cores=$(nproc)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
python3 "$tbxsweep" new "$job" s --vary "seed=1001:$((1000 + count)):1" >/dev/null
names=$(ls s | grep -v study.json)

# one_job NAME CPU: runs the job pinned to CPU; prints "wall user+system".
one_job() {
  (cd "s/$1" && /usr/bin/time -f "%e %U %S" -o ../time.txt taskset -c "$2" "$TBXRUN" "$1" \
    >/dev/null)
  awk '{ print $1, $2 + $3 }' s/time.txt
}

declare -A best_wall
declare -A best_cpu
for round in $(seq "$rounds"); do
  for name in $names; do
    read -r wall cpu < <(one_job "$name" $(((round - 1) % cores)))
    if [ -z "${best_wall[$name]:-}" ] || awk "BEGIN { exit !($wall < ${best_wall[$name]}) }"; then
      best_wall[$name]=$wall
    fi
    if [ -z "${best_cpu[$name]:-}" ] || awk "BEGIN { exit !($cpu < ${best_cpu[$name]}) }"; then
      best_cpu[$name]=$cpu
    fi
  done
done
sum_wall=$(for n in $names; do echo "${best_wall[$n]}"; done | awk '{ s += $1 } END { print s }')
sum_cpu=$(for n in $names; do echo "${best_cpu[$n]}"; done | awk '{ s += $1 } END { print s }')
ideal=$(awk "BEGIN { print $sum_wall / $cores }")
echo "$count jobs of $(basename "$job") on $cores cores: one-core times sum to $sum_wall s" \
  "(CPU $sum_cpu s); divided by the cores: $ideal s"

variants=("--engine pool" "--engine pool --pin")
if command -v parallel >/dev/null; then
  variants+=("--engine parallel" "--engine parallel --pin")
fi
for variant in "${variants[@]}"; do
  results=""
  for _ in $(seq "$rounds"); do
    rm -f s/*/*_rs.dat s/*/*_xls.dat
    # shellcheck disable=SC2086
    /usr/bin/time -f "%e %U %S" -o time.txt python3 "$tbxsweep" run $variant s 2>/dev/null
    results+=$(awk '{ print $1, $2 + $3 }' time.txt)$'\n'
  done
  read -r wall cpu < <(printf '%s' "$results" | sort -g | head -n 1)
  echo "tbxsweep run $variant: $wall s, $(awk "BEGIN { printf \"%.3f\", $wall / $ideal }") x" \
    "the ideal; CPU $cpu s, $(awk "BEGIN { printf \"%.3f\", $cpu / $sum_cpu }") x the one-core CPU"
done
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
