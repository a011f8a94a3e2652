#!/usr/bin/env bash
# A real Slurm round trip of tbxsweep: start a one-node cluster on this machine
# (munged, slurmctld and slurmd, without cgroups, all in a folder of their own
# with ports of their own), submit a small study with tbxsweep slurm --submit,
# wait for it, and compare every report with a local run of the same study.
#
#   tests/tools/slurm_roundtrip.sh [TBXRUN]       (default: build/tbxrun)
#
# Installs slurm-wlm and munge with apt-get when they are missing and this
# runs as root. Where the cluster cannot be started (not root, no packages,
# a daemon that does not come up) it says why and exits 0: skipped.
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
tbxrun=$(realpath "${1:-$source_dir/build/tbxrun}")
tbxsweep="$source_dir/tools/tbxsweep"
timeout_seconds=90

skip() {
  echo "slurm round trip skipped: $*"
  exit 0
}

[ -x "$tbxrun" ] || { echo "no tbxrun at $tbxrun" >&2; exit 1; }
[ "$(id -u)" -eq 0 ] || skip "the daemons need root"
if ! command -v slurmctld >/dev/null || ! command -v slurmd >/dev/null ||
  ! command -v munged >/dev/null; then
  command -v apt-get >/dev/null || skip "slurm-wlm and munge are not installed"
  echo "== installing slurm-wlm and munge"
  export DEBIAN_FRONTEND=noninteractive
  { apt-get update -qq && apt-get install -y -qq --no-install-recommends slurm-wlm munge; } \
    >/dev/null || skip "apt-get could not install slurm-wlm and munge"
fi

dir=$(mktemp -d /tmp/tbx-slurm.XXXXXX)
chmod 700 "$dir"
pids=()
cleanup() {
  local status=$?
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$pid" 2>/dev/null || true
  done
  if [ "$status" -ne 0 ]; then
    for log in "$dir"/*.log; do echo "--- $log"; tail -n 20 "$log"; done >&2
  fi
  rm -rf "$dir"
  exit "$status"
}
trap cleanup EXIT

# munge: a key and a socket of its own, so that a munged of the machine is left alone.
dd if=/dev/urandom of="$dir/munge.key" bs=1024 count=1 status=none
chmod 400 "$dir/munge.key"
mkdir -m 700 "$dir/munge"
munged --force --key-file="$dir/munge.key" --socket="$dir/munge/socket" \
  --pid-file="$dir/munge/pid" --log-file="$dir/munged.log" --seed-file="$dir/munge/seed" ||
  skip "munged does not start: $(tail -n 1 "$dir/munged.log" 2>/dev/null)"
for _ in $(seq 50); do [ -s "$dir/munge/pid" ] && break; sleep 0.1; done
pids+=("$(cat "$dir/munge/pid")")

host=$(hostname -s)
port=$((20000 + RANDOM % 20000))
mkdir -p "$dir/state" "$dir/spool"
cat >"$dir/slurm.conf" <<EOF
ClusterName=tbxtest
SlurmctldHost=$host(127.0.0.1)
SlurmUser=root
SlurmdUser=root
SlurmctldPort=$port
SlurmdPort=$((port + 1))
AuthType=auth/munge
CredType=cred/munge
AuthInfo=socket=$dir/munge/socket
StateSaveLocation=$dir/state
SlurmdSpoolDir=$dir/spool
SlurmctldPidFile=$dir/slurmctld.pid
SlurmdPidFile=$dir/slurmd.pid
SlurmctldLogFile=$dir/slurmctld.log
SlurmdLogFile=$dir/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/affinity
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
SchedulerType=sched/builtin
SelectType=select/cons_tres
SelectTypeParameters=CR_CPU
ReturnToService=2
MpiDefault=none
NodeName=$host NodeAddr=127.0.0.1 CPUs=$(nproc) State=UNKNOWN
PartitionName=tbx Nodes=$host Default=YES MaxTime=INFINITE State=UP
EOF
export SLURM_CONF="$dir/slurm.conf"

slurmctld -f "$SLURM_CONF" -i || skip "slurmctld does not start: $(tail -n 1 "$dir/slurmctld.log")"
for _ in $(seq 50); do [ -s "$dir/slurmctld.pid" ] && break; sleep 0.1; done
[ -s "$dir/slurmctld.pid" ] || skip "slurmctld does not start: $(tail -n 1 "$dir/slurmctld.log")"
pids+=("$(cat "$dir/slurmctld.pid")")
slurmd -f "$SLURM_CONF" || skip "slurmd does not start: $(tail -n 1 "$dir/slurmd.log")"
for _ in $(seq 50); do [ -s "$dir/slurmd.pid" ] && break; sleep 0.1; done
[ -s "$dir/slurmd.pid" ] || skip "slurmd does not start: $(tail -n 1 "$dir/slurmd.log")"
pids+=("$(cat "$dir/slurmd.pid")")
up=""
for _ in $(seq 100); do
  if sinfo -h -o %t 2>/dev/null | grep -qE '^(idle|mix|alloc)'; then up=1; break; fi
  sleep 0.2
done
[ -n "$up" ] || skip "the node does not come up: $(sinfo -h -o '%t %E' 2>&1 | head -n 1)"
echo "== one-node cluster $host up (port $port)"

# The same study twice: one through Slurm, one run here.
work="$dir/work"
mkdir "$work"
cd "$work"
export TBXRUN="$tbxrun"
for study in cluster local; do
  python3 "$tbxsweep" new "$source_dir/examples/splash_zone" "$study" \
    --vary xc.mean=40,60,80 --vary nsim=20000 >/dev/null
done
python3 "$tbxsweep" slurm cluster --submit --max-running 2
python3 "$tbxsweep" run local 2>/dev/null
deadline=$((SECONDS + timeout_seconds))
while [ -n "$(squeue -h -o %i 2>/dev/null)" ]; do
  if [ "$SECONDS" -ge "$deadline" ]; then
    squeue >&2
    echo "the study did not finish within $timeout_seconds s" >&2
    exit 1
  fi
  sleep 0.5
done
python3 "$tbxsweep" status cluster
echo "CPUs of the tasks (--cpus 1):" $(sed -n 's/^# tbxsweep: CPUs //p' cluster/*/*.log)
jobs=0
for rs in local/*/*_rs.dat; do
  for report in "$rs" "${rs%_rs.dat}_xls.dat"; do
    cmp "$report" "cluster/${report#local/}"
  done
  jobs=$((jobs + 1))
done
[ "$jobs" -eq 3 ] || { echo "expected 3 jobs, found $jobs" >&2; exit 1; }
echo "slurm round trip: the reports of $jobs jobs run by Slurm equal those of a local run"
