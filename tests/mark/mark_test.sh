#!/bin/sh
# mark_test.sh: vorna-mark, installed with the runtime, marks the class in submissions/ against
# model.c, and each student's verdict is the expected one (the table below). The class holds a
# case for every verdict and the hostile programs: a fork bomb, endless loops with and without
# waiting, a 10 GB file, memory without end, reading the model, other students, the teacher's
# home and root-only files, writing outside, connecting out, #include "/etc/shadow", a million
# lines of output, a prompt in a loop, kill(-1), folders nested deeper than a path may be long.
# Afterwards nothing outside the report folder has changed, no secret reached the report and no
# sandboxed process is left. Then: a rerun skips every unchanged student and marks a changed
# one, a run killed midway leaves a valid report, calibration finds no differences, a crashing
# model leaves every student "marking error" (and status 1), and --answers, --at, --points and
# --gradebook canvas on a small class (with the differences in words at each checkpoint).
# Usage: mark_test.sh <build dir> <source dir> <report dir to leave for report_check.mjs>
set -eu
BUILD=${1:?build dir}
SOURCE=${2:?source dir}
REPORT=${3:?report dir}
HERE=$SOURCE/tests/mark
[ "$(id -u)" -eq 0 ] || { echo "mark_test: needs root (the sandbox's job slots are user ids of their own)"; exit 77; }
command -v bwrap >/dev/null || { echo "mark_test: bubblewrap is not installed"; exit 77; }
[ -f /usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1 ] || { echo "mark_test: faketime is not installed"; exit 77; }

WORK=$(mktemp -d)
# vorna-mark's stage goes under TMPDIR; here, so that the killed run's is cleaned up too.
chmod 711 "$WORK"
mkdir -m 711 "$WORK/tmp"
export TMPDIR="$WORK/tmp"
CANARY=/tmp/vorna-mark-canary
server=
cleanup() {
    [ -n "$server" ] && kill "$server" 2>/dev/null
    rm -rf "$WORK" "$CANARY"
}
trap cleanup EXIT
fail() {
    echo "mark_test: $*" >&2
    exit 1
}

cmake --install "$BUILD" --prefix "$WORK/prefix" >/dev/null
MARK=$WORK/prefix/bin/vorna-mark
[ -x "$MARK" ] && [ -x "$WORK/prefix/bin/vorna-mark-child" ] || fail "cmake --install put no vorna-mark in bin"

# What programs try to reach: a secret readable by everyone, the teacher's home with a key, a
# folder everyone may write, and a port listening on the machine.
rm -rf "$CANARY" "$REPORT"
mkdir -p "$CANARY" "$WORK/home/.ssh"
chmod 1777 "$CANARY"
echo "canary-secret-$$" >"$CANARY/secret"
chmod 644 "$CANARY/secret"
echo "canary-secret-$$-key" >"$WORK/home/.ssh/id_rsa"
echo "# the teacher's" >"$WORK/home/.bashrc"
python3 -c '
import socket, sys
s = socket.socket(); s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
s.bind(("127.0.0.1", 47613)); s.listen(5)
while True:
    c, _ = s.accept(); open(sys.argv[1], "a").write("connected\n"); c.close()
' "$WORK/connections" &
server=$!
touch "$WORK/stamp"
sleep 1 # files changed from here on are newer than the stamp

start=$(date +%s)
status=0
HOME=$WORK/home "$MARK" --model "$HERE/model.c" --input "$HERE/input.scr" --out "$REPORT" --time-limit 3 \
    --memory-limit 512 --jobs 2 --no-progress "$HERE"/submissions/* 2>"$WORK/mark.err" || status=$?
[ "$status" -eq 0 ] || { cat "$WORK/mark.err" >&2; fail "exit status $status"; }
echo "marked the class in $(($(date +%s) - start)) s"

# name | verdict | words the detail or the differences must hold
python3 - "$REPORT/results.json" <<'PY' || fail "verdicts (above)"
import json, sys
EXPECTED = [
    ("alice", "matches", ""),
    ("bob_colour", "differs", "filled circle at (200, 180) radius 30 is orange; the model's is yellow"),
    ("carol_moved", "differs", "yellow filled circle is at (160, 180) radius 30; the model's is at (200, 180) radius 30"),
    ("carol_moved", "differs", 'missing: navy blue text "My house" at (-280, -200)'),
    ("dave_syntax", "does not build", "error: expected"),
    ("erin_crash", "crashed", "SIGSEGV"),
    ("frank_spin", "timed out", "last drawing-log line: white filled oval"),
    ("grace_sleep", "timed out", 'last drawing-log line: navy blue text "My house"'),
    ("heidi_early", "no picture", "exit status 0"),
    ("ivan_forks", "exceeded a limit", "processes"),
    ("judy_bigfile", "exceeded a limit", "file size"),
    ("mallory_memory", "exceeded a limit", "memory"),
    ("nina_folder", "matches", ""),
    ("olga_cmake", "matches", ""),
    ("oscar_reads", "matches", ""),
    ("peggy_writes", "matches", ""),
    ("trent_network", "matches", ""),
    ("uma_deep", "matches", ""),
    ("victor_chatty", "matches", ""),
    ("walter_prompt", "differs", "prompts in a row went unanswered"),
    ("yolanda_shadow", "does not build", "/etc/shadow"),
    ("zed_cpp", "matches", ""),
]
report = json.load(open(sys.argv[1]))
students = {s["name"]: s for s in report["students"]}
bad = []
if len(students) != 21:
    bad.append("%d students in the report, not 21" % len(students))
for name, verdict, words in EXPECTED:
    s = students.get(name)
    if not s:
        bad.append(name + ": missing"); continue
    said = s["detail"] + " | " + " | ".join(w for c in s["checkpoints"] for w in c["words"])
    if s["verdict"] != verdict or words not in said:
        bad.append("%s: %s (%s), expected %s with %r" % (name, s["verdict"], said[:300], verdict, words))
    end = s["checkpoints"][-1]
    if verdict == "matches" and (end["differing_pixels"] != 0 or end["student_picture"] == ""):
        bad.append(name + ": matches without an equal picture")
    if verdict == "differs" and (end["differing_pixels"] <= 0 or end["diff_picture"] == ""):
        bad.append(name + ": differs without a difference picture")
    if s["seconds"] > 6:
        bad.append("%s: ran %.1f s with a 3 s limit" % (name, s["seconds"]))
for key in ("clock", "limits", "runtime_version", "address_randomisation"):
    if not report.get(key):
        bad.append("no " + key + " in the report")
print("\n".join(bad))
sys.exit(1 if bad else 0)
PY

# Nothing outside the report folder changed, nothing secret reached it, nothing runs on.
changed=$(find "$WORK" "$HERE" "$CANARY" -newer "$WORK/stamp" ! -path "$WORK/connections" ! -path "$WORK/mark.err" \
    ! -path "$WORK" ! -path "$WORK/tmp" ! -path "$HERE/node_modules*" -print)
[ -z "$changed" ] || fail "changed outside the report: $changed"
for escaped in /tmp/vorna-mark-escaped.txt /root/vorna-mark-escaped.txt /etc/vorna-mark-escaped.txt \
    /usr/vorna-mark-escaped.txt "$CANARY/escaped.txt" /escaped.txt; do
    [ ! -e "$escaped" ] || fail "a program wrote $escaped"
done
[ ! -s "$WORK/connections" ] || fail "a program connected to the machine's port"
! grep -rq "canary-secret-$$" "$REPORT" || fail "a secret reached the report"
# (A process that has ended may show for a moment until its sandbox is gone.)
tries=0
while left=$(ps -eo uid=,stat=,comm= | awk '$1 >= 62000 && $1 < 63000 && $2 !~ /^Z/'); [ -n "$left" ]; do
    tries=$((tries + 1))
    [ "$tries" -lt 20 ] || fail "sandboxed processes are left: $left"
    sleep 0.1
done
[ -z "$(ls "$WORK/tmp")" ] || fail "the stage was left behind"
for name in alice bob_colour ivan_forks; do
    [ -s "$REPORT/students/$name/index.html" ] || fail "no page for $name"
done
[ "$(wc -l <"$REPORT/results.csv")" -eq 22 ] || fail "results.csv has not one row per student"
[ "$(stat -c %s "$REPORT/students/victor_chatty/index.html")" -lt 400000 ] || fail "a chatty program's page is not capped"

# A rerun with the same report marks nobody again.
start=$(date +%s)
"$MARK" --model "$HERE/model.c" --input "$HERE/input.scr" --out "$REPORT" --time-limit 3 --memory-limit 512 --jobs 2 --no-progress \
    "$HERE"/submissions/* 2>"$WORK/again.err" || fail "the rerun failed"
grep -q "21 students unchanged" "$WORK/again.err" || { cat "$WORK/again.err" >&2; fail "the rerun marked students again"; }
[ $(($(date +%s) - start)) -lt 15 ] || fail "the rerun took long"

# A rerun marks a student whose file changed, and only that one; a run killed midway leaves a
# valid report of what it finished and no sandbox behind.
mkdir -p "$WORK/mini"
cp "$HERE/submissions/alice.c" "$HERE/submissions/bob_colour.c" "$HERE/submissions/grace_sleep.c" "$WORK/mini/"
MINI="--model $HERE/model.c --input $HERE/input.scr --out $WORK/mini-report --time-limit 30 --jobs 1 --no-progress"
# shellcheck disable=SC2086
"$MARK" $MINI "$WORK"/mini/*.c >"$WORK/mini.out" 2>&1 &
marker=$!
tries=0
until grep -q '"bob_colour"' "$WORK/mini-report/results.json" 2>/dev/null; do
    tries=$((tries + 1))
    [ "$tries" -lt 300 ] || fail "the first two students were not marked in 30 s"
    sleep 0.1
done
sleep 1 # grace_sleep is running now, for 30 s
kill -KILL "$marker"
wait "$marker" 2>/dev/null || true
python3 -c 'import json,sys; r=json.load(open(sys.argv[1])); assert [s["name"] for s in r["students"]] == ["alice", "bob_colour"], r' \
    "$WORK/mini-report/results.json" || fail "a killed run left no valid report"
tries=0
while [ -n "$(ps -eo uid=,stat= | awk '$1 >= 62000 && $1 < 63000 && $2 !~ /^Z/')" ]; do
    tries=$((tries + 1))
    [ "$tries" -lt 30 ] || fail "a killed run left its sandbox running"
    sleep 0.1
done
rm "$WORK/mini/grace_sleep.c"
sed 's/COLOR_ORANGE/COLOR_YELLOW/' "$HERE/submissions/bob_colour.c" >"$WORK/mini/bob_colour.c"
# shellcheck disable=SC2086
"$MARK" $MINI "$WORK"/mini/*.c 2>"$WORK/mini.err" || fail "the rerun after a kill failed"
grep -q "1 students unchanged" "$WORK/mini.err" || { cat "$WORK/mini.err" >&2; fail "the rerun did not keep alice alone"; }
[ "$(cut -d, -f1,2 "$WORK/mini-report/results.csv" | tr '\n' ' ')" = "name,verdict alice,matches bob_colour,matches " ] ||
    fail "after the fix bob_colour does not match: $(cat "$WORK/mini-report/results.csv")"

# A model that crashes: every student is a marking error, and vorna-mark says so.
status=0
"$MARK" --model "$HERE/broken_model.c" --input "$HERE/input.scr" --out "$WORK/broken" --no-progress \
    "$HERE/submissions/alice.c" "$HERE/submissions/bob_colour.c" 2>"$WORK/broken.err" || status=$?
[ "$status" -eq 1 ] || fail "a crashing model gave exit status $status, not 1"
[ "$(grep -c '^[a-z_]*,marking error,' "$WORK/broken/results.csv")" -eq 2 ] || fail "a crashing model did not make marking errors"

# The model marked against itself: no differences, and a time limit suggested.
"$MARK" --calibrate --runs 2 --model "$HERE/model.c" --input "$HERE/input.scr" --out "$WORK/calibration" \
    --no-progress >"$WORK/calibrate.out" 2>&1 || { cat "$WORK/calibrate.out" >&2; fail "calibration failed"; }
grep -q "No differences. Suggested: --time-limit [0-9]" "$WORK/calibrate.out" || { cat "$WORK/calibrate.out" >&2; fail "no suggested limit"; }

# The prompt's answers, pictures after events 1 and 3, points and a Canvas gradebook.
F=$HERE/features
"$MARK" --model "$F/ask_model.c" --input "$F/input.scr" --answers "$F/answers.txt" --at 1,3 --points "$F/points.txt" \
    --gradebook canvas --roster "$F/roster.csv" --title "House" --column-id 7 --out "$WORK/features" --no-progress \
    "$F/same.c" "$F/late_dot.c" 2>"$WORK/features.err" || { cat "$WORK/features.err" >&2; fail "features run failed"; }
python3 - "$WORK/features" <<'PY' || fail "answers, checkpoints, points or gradebook (above)"
import csv, json, sys
out = sys.argv[1]
report = json.load(open(out + "/results.json"))
s = {x["name"]: x for x in report["students"]}
bad = []
def pixels(name):
    return [c["differing_pixels"] for c in s[name]["checkpoints"]]
if report["checkpoints"] != ["1", "3", "end"]: bad.append("checkpoints %r" % report["checkpoints"])
if pixels("same") != [0, 0, 0]: bad.append("same: %r" % pixels("same"))
p = pixels("late_dot")
if not (p[0] == 0 and p[1] > 0 and p[2] > 0): bad.append("late_dot: %r" % p)
# In words at each checkpoint: the dots shown after event 3 (the second one moved), none after
# event 1, and all three moved ones at the end.
words = [c["words"] for c in s["late_dot"]["checkpoints"]]
if words[0] != [] or words[1] != ["green filled circle is at (70, 50) radius 8; the model's is at (50, 50) radius 8",
                                  "green filled circle is at (-30, -50) radius 8; the model's is at (-50, -50) radius 8"] \
        or len(words[2]) != 3 or any(c["words"] for c in s["same"]["checkpoints"]):
    bad.append("words at the checkpoints %r" % words)
rows = list(csv.reader(open(out + "/results.csv")))
late = dict(zip(rows[0], [r for r in rows if r[0] == "late_dot"][0]))
if "(70, 50)" not in " ".join(v for k, v in late.items() if k.startswith("3 ")):
    bad.append("no words for checkpoint 3 in the csv %r" % late)
if "after event 3:<ul class=words><li>green filled circle is at (70, 50)" not in open(out + "/index.html").read():
    bad.append("no words for checkpoint 3 in the html")
if s["same"]["points"] != 10 or s["late_dot"]["points"] != 2: bad.append("points %r %r" % (s["same"]["points"], s["late_dot"]["points"]))
log = open(out + "/model/log.txt").read()
if 'black text at (-250,200), "Ada"' not in log or 'red text at (-250,150), "red"' not in log:
    bad.append("the answers did not reach the model: " + log[:300])
rows = list(csv.reader(open(out + "/results.csv")))
if rows[0][-4:] != ["1 points", "3 points", "end points", "total"]: bad.append("csv columns %r" % rows[0])
book = list(csv.reader(open(out + "/gradebook-canvas.csv")))
if book[0] != ["Student", "ID", "SIS User ID", "SIS Login ID", "Section", "House (7)"]: bad.append("canvas header %r" % book[0])
if book[1][0].strip() != "Points Possible" or book[1][5] != "10": bad.append("canvas points row %r" % book[1])
if book[2] != ["Lovelace, Ada", "101", "s101", "ada", "A", "10"] or book[3][5] != "2" or book[4][5] != "":
    bad.append("canvas rows %r" % book[2:])
print("\n".join(bad))
sys.exit(1 if bad else 0)
PY

# The same report merged alone, into the Moodle and Blackboard gradebooks.
for book in moodle blackboard; do
    "$MARK" merge --out "$WORK/$book" --points "$F/points.txt" --gradebook "$book" --roster "$F/roster.csv" \
        --title House --column-id 7 "$WORK/features" 2>"$WORK/$book.err" || { cat "$WORK/$book.err" >&2; fail "merge into $book"; }
done
python3 - "$WORK" <<'PY' || fail "Moodle or Blackboard gradebook (above)"
import csv, sys
moodle = list(csv.reader(open(sys.argv[1] + "/moodle/gradebook-moodle.csv")))
board = list(csv.reader(open(sys.argv[1] + "/blackboard/gradebook-blackboard.csv")))
bad = []
if moodle[0] != ["Student", "House", "Feedback comments"]: bad.append("moodle header %r" % moodle[0])
if moodle[1][:2] != ["Lovelace, Ada", "10"] or not moodle[1][2].startswith("matches"): bad.append("moodle ada %r" % moodle[1])
if moodle[2][1] != "2" or "differs" not in moodle[2][2] or "green filled circle" not in moodle[2][2]: bad.append("moodle larry %r" % moodle[2])
if moodle[3][1:] != ["", "no submission"]: bad.append("moodle anna %r" % moodle[3])
if board[0] != ["Username", "House [Total Pts: 10 Score] |7"]: bad.append("blackboard header %r" % board[0])
if board[1:] != [["ada", "10"], ["larry", "2"], ["anna", ""]]: bad.append("blackboard rows %r" % board[1:])
print("\n".join(bad))
sys.exit(1 if bad else 0)
PY
echo "mark_test: all verdicts as expected"
