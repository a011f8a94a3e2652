#!/usr/bin/env bash
# How well tbxsweep run keeps the cores busy: a study of N jobs made from one
# benchmark job (different seeds), run with tbxsweep on all cores, against the
# sum of the jobs' one-core times divided by the number of cores.
#
#   bench/sweep_speed.sh [JOB.dat] [N] [ROUNDS]   (defaults: beta_series.dat 40 3)
#
# Needs build/tbxrun and taskset. Every time is the fastest of ROUNDS rounds
# (each job's one-core time on its own); on a machine shared with other work
# the numbers are only as good as its quietest moments.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
job=$(realpath "${1:-$root/../shared/bench/beta_series.dat}")
count=${2:-40}
rounds=${3:-3}
tbxrun="$root/build/tbxrun"
cores=$(nproc)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
export TBXRUN="$tbxrun"
python3 "$root/tools/tbxsweep" new "$job" s --vary "seed=1001:$((1000 + count)):1" >/dev/null
names=$(ls s | grep -v study.json)

now() { date +%s.%N; }
fastest() { sort -g | head -n 1; }

declare -A best
for round in $(seq "$rounds"); do
  for name in $names; do
    start=$(now)
    (cd "s/$name" && taskset -c $(((round - 1) % cores)) "$tbxrun" "$name" >/dev/null)
    t=$(echo "$(now) - $start" | bc)
    if [ -z "${best[$name]:-}" ] || [ "$(echo "$t < ${best[$name]}" | bc)" -eq 1 ]; then
      best[$name]=$t
    fi
  done
done
sum=0
for name in $names; do sum=$(echo "$sum + ${best[$name]}" | bc); done
ideal=$(echo "scale=3; $sum / $cores" | bc)
echo "$count jobs of $(basename "$job"), $cores cores: sum of one-core times $sum s," \
  "divided by the cores $ideal s"

variants=("--engine pool" "--engine pool --pin")
if command -v parallel >/dev/null; then
  variants+=("--engine parallel" "--engine parallel --pin")
fi
for variant in "${variants[@]}"; do
  times=""
  for round in $(seq "$rounds"); do
    rm -f s/*/*_rs.dat s/*/*_xls.dat
    start=$(now)
    # shellcheck disable=SC2086
    python3 "$root/tools/tbxsweep" run $variant s 2>/dev/null
    times+="$(echo "$(now) - $start" | bc)"$'\n'
  done
  wall=$(printf '%s' "$times" | fastest)
  echo "tbxsweep run $variant: $wall s, $(echo "scale=3; $wall / $ideal" | bc) x the ideal"
done
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
