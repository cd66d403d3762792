#!/bin/sh
# slurm_test.sh: a class of 20 programs marked on a one-node Slurm cluster started here, as the
# README's array job does it (four shards, then `vorna-mark merge`), gets the same verdicts as
# one local run. Needs root, munge and Slurm's slurmctld, slurmd and client; the daemons are
# started with their own key, socket, ports and folders, and stopped by their pids.
# Usage: slurm_test.sh <build dir> <source dir>
set -eu
BUILD=${1:?build dir}
SOURCE=${2:?source dir}
HERE=$SOURCE/tests/mark
[ "$(id -u)" -eq 0 ] || { echo "slurm_test: needs root"; exit 77; }
for tool in munged slurmctld slurmd sbatch sinfo bwrap; do
    command -v "$tool" >/dev/null || { echo "slurm_test: $tool is not installed"; exit 77; }
done

WORK=$(mktemp -d)
chmod 755 "$WORK"
pids=
cleanup() {
    for pid in $pids; do kill "$pid" 2>/dev/null || true; done
    # The daemons write their state as they stop: the folder goes once they are gone.
    for pid in $pids; do
        tries=0
        while kill -0 "$pid" 2>/dev/null && [ "$tries" -lt 50 ]; do
            tries=$((tries + 1))
            sleep 0.1
        done
    done
    rm -rf "$WORK" || true
}
trap cleanup EXIT
fail() {
    echo "slurm_test: $*" >&2
    for log in "$WORK"/*.log; do echo "== $log"; tail -20 "$log"; done >&2
    exit 1
}

cmake --install "$BUILD" --prefix "$WORK/prefix" >/dev/null
MARK=$WORK/prefix/bin/vorna-mark

# The class: twenty students, ten who match, five who differ, three who do not build, two who crash.
mkdir -p "$WORK/class"
for n in $(seq -w 1 20); do
    case $n in
    0[1-9] | 10) from=alice.c ;;
    1[1-5]) from=bob_colour.c ;;
    1[6-8]) from=dave_syntax.c ;;
    *) from=erin_crash.c ;;
    esac
    cp "$HERE/submissions/$from" "$WORK/class/student$n.c"
done
MARK_ARGS="--model $HERE/model.c --input $HERE/input.scr --time-limit 10 --no-progress"

# shellcheck disable=SC2086
"$MARK" $MARK_ARGS --jobs 2 --out "$WORK/local" "$WORK"/class/*.c 2>"$WORK/local.log" || fail "the local run failed"

# A cluster of one node.
mkdir -p "$WORK/munge" "$WORK/state" "$WORK/spool"
chmod 700 "$WORK/munge"
dd if=/dev/urandom of="$WORK/munge/munge.key" bs=1024 count=1 2>/dev/null
chown munge:munge "$WORK/munge" "$WORK/munge/munge.key" 2>/dev/null || true
chmod 400 "$WORK/munge/munge.key"
munged --force --key-file="$WORK/munge/munge.key" --socket="$WORK/munge/munge.socket" \
    --pid-file="$WORK/munge/munged.pid" --log-file="$WORK/munged.log" --seed-file="$WORK/munge/seed" ||
    fail "munged did not start"
pids="$(cat "$WORK/munge/munged.pid")"
node=$(hostname -s)
cat >"$WORK/slurm.conf" <<CONF
ClusterName=vornamark
SlurmctldHost=$node
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
AuthInfo=socket=$WORK/munge/munge.socket
CredType=cred/munge
SlurmctldPort=16817
SlurmdPort=16818
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
SelectType=select/cons_tres
SelectTypeParameters=CR_Core
SchedulerType=sched/backfill
MpiDefault=none
ReturnToService=2
StateSaveLocation=$WORK/state
SlurmdSpoolDir=$WORK/spool
SlurmctldPidFile=$WORK/slurmctld.pid
SlurmdPidFile=$WORK/slurmd.pid
SlurmctldLogFile=$WORK/slurmctld.log
SlurmdLogFile=$WORK/slurmd.log
NodeName=$node CPUs=$(nproc) State=UNKNOWN
PartitionName=marking Nodes=$node Default=YES MaxTime=INFINITE State=UP
CONF
export SLURM_CONF="$WORK/slurm.conf"
slurmctld -f "$SLURM_CONF" || fail "slurmctld did not start"
tries=0
until [ -s "$WORK/slurmctld.pid" ]; do tries=$((tries + 1)); [ $tries -lt 100 ] || fail "no slurmctld pid"; sleep 0.1; done
pids="$pids $(cat "$WORK/slurmctld.pid")"
slurmd -f "$SLURM_CONF" || fail "slurmd did not start"
tries=0
until [ -s "$WORK/slurmd.pid" ]; do tries=$((tries + 1)); [ $tries -lt 100 ] || fail "no slurmd pid"; sleep 0.1; done
pids="$pids $(cat "$WORK/slurmd.pid")"
tries=0
until sinfo -h -o %t 2>/dev/null | grep -q idle; do
    tries=$((tries + 1))
    [ $tries -lt 150 ] || fail "the node is not idle: $(sinfo 2>&1)"
    sleep 0.2
done

# The array job of the README: one shard per task, each into its own part.
cat >"$WORK/mark.sbatch" <<JOB
#!/bin/sh
#SBATCH --array=0-3
#SBATCH --cpus-per-task=1
#SBATCH --output=$WORK/task-%a.log
exec "$MARK" $MARK_ARGS --jobs 1 --shard "\$SLURM_ARRAY_TASK_ID/4" --out "$WORK/parts/\$SLURM_ARRAY_TASK_ID" $WORK/class/*.c
JOB
mkdir -p "$WORK/parts"
sbatch --wait "$WORK/mark.sbatch" >"$WORK/sbatch.log" 2>&1 || fail "the array job failed: $(cat "$WORK/sbatch.log")"
"$MARK" merge --out "$WORK/merged" "$WORK"/parts/0 "$WORK"/parts/1 "$WORK"/parts/2 "$WORK"/parts/3 2>"$WORK/merge.log" ||
    fail "merge failed"

python3 - "$WORK/local/results.json" "$WORK/merged/results.json" "$WORK/parts" <<'PY' || fail "verdicts differ (above)"
import json, os, sys
local = {s["name"]: s["verdict"] for s in json.load(open(sys.argv[1]))["students"]}
merged = {s["name"]: s["verdict"] for s in json.load(open(sys.argv[2]))["students"]}
parts = [len(json.load(open(os.path.join(sys.argv[3], p, "results.json")))["students"]) for p in "0123"]
bad = []
if len(local) != 20: bad.append("the local run has %d students" % len(local))
if local != merged: bad.append("local %r\nmerged %r" % (local, merged))
if parts != [5, 5, 5, 5]: bad.append("shards of %r students, not 5 each" % parts)
expected = {"matches": 10, "differs": 5, "does not build": 3, "crashed": 2}
counts = {v: list(merged.values()).count(v) for v in set(merged.values())}
if counts != expected: bad.append("verdicts %r, expected %r" % (counts, expected))
print("\n".join(bad))
sys.exit(1 if bad else 0)
PY
for name in student01 student11 student19; do
    [ -s "$WORK/merged/students/$name/index.html" ] || fail "the merged report has no page for $name"
done
[ -s "$WORK/merged/model/end.png" ] || fail "the merged report has no model picture"
echo "slurm_test: 20 programs in a 4-task array, merged, with the verdicts of one local run"
