#!/usr/bin/env bash
# Checks run.sh itself on a small made-up suite played by a stand-in for kinovex-frame: how
# outputs are compared, what each kind of failure reports, clusters, floors, skipping, and that
# the suites' folder is left as it was. Needs no build and no shared folder; takes a few seconds.
set -euo pipefail
export LC_ALL=C
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
trim() { sed 's/^[[:space:]]*//; s/[[:space:]]*$//' <<<"$1"; }
check() { # what, expected, actual
    if [ "$2" != "$3" ]; then
        printf 'FAIL %s\n  expected: %s\n  actual:   %s\n' "$1" "$2" "$3"
        failures=$((failures + 1))
    fi
}

# The stand-in reads what to do from the movie: "print FORMAT" prints FORMAT through printf,
# "frames" prints the frame count it was given, and "refuse", "segv" and "hang" fail.
tool=$work/frame-tool
cat >"$tool" <<'EOF'
#!/usr/bin/env bash
movie=$1 frames=$3
read -r kind format <"$movie" || true
case $kind in
print) printf "$format" ;;
frames) echo "frames $frames" ;;
refuse) echo "kinovex-frame: cannot read the movie" >&2 && exit 1 ;;
segv) echo "about to fail" >&2 && kill -SEGV $$ ;;
hang) sleep 60 ;;
esac
EOF
chmod +x "$tool"

# movie | cluster | what the tool does | expected output (printf format) | result (fields 3 on,
# joined by "|"). The expected output of garbage-org-5.swf has a .trace.org beside it.
suite=$work/suites/as2-traces
mkdir -p "$suite"
cases='
same-5.swf           | same    | print a\nb\n            | a\nb\n         | pass|match|
crlf-5.swf           | crlf    | print a\r\nb\r\n\r\n\n  | a\nb\n         | pass|match|
crlf-expected-5.swf  | crlf    | print a\nb              | a\r\nb\r\n\r\n | pass|match|
empty-5.swf          | empty   | print                   |                | pass|match|
garbage-org-5.swf    | garbage | print sane\n            | sane\n         | pass|match|
inner-blank-5.swf    | inner   | print a\n\nb\n          | a\nb\n         | fail|line|2|b|
changed-5.swf        | changed | print a\nb\nD\n         | a\nb\nd\n      | fail|line|3|d|D
short-5.swf          | short   | print a\n               | a\nb\n         | fail|line|2|b|<none>
longer-5.swf         | longer  | print a\nb\nc\n         | a\nb\n         | fail|line|3|<none>|c
tab-5.swf            | tab     | print a\tb\n            | a b\n          | fail|line|1|a b|a\tb
cr-inside-5.swf      | cr      | print a\rb\n            | ab\n           | fail|line|1|ab|a\rb
refused-5.swf        | refused | refuse                  | a\n            | fail|exit|exit status 1: kinovex-frame: cannot read the movie
Array2-crash-5.swf   | array   | segv                    | a\n            | fail|crash|signal SEGV (exit status 139): about to fail
goto3.swf            | goto    | hang                    | a\n            | fail|timeout|still running after 1 s
crash-0.5.2-x.swf    | crash   | print x\n               | x\n            | pass|match|
123-only.swf         | 123     | print 1\n               | 1\n            | pass|match|
'
while IFS='|' read -r name cluster action expected _; do
    name=$(trim "$name")
    [ -n "$name" ] || continue
    trim "$action" >"$suite/$name"
    # shellcheck disable=SC2059 # the table's outputs are printf formats
    printf "$(trim "$expected")" >"$suite/$name.trace"
done <<<"$cases"
echo "garbage" >"$suite/garbage-org-5.swf.trace.org"

mkdir -p "$work/suites/as3-traces/seven_frames" "$work/suites/as3-traces/no_count"
echo frames >"$work/suites/as3-traces/seven_frames/test.swf"
printf '# a test\nnum_frames = 7 # seven\n' >"$work/suites/as3-traces/seven_frames/test.toml"
printf 'frames 7\n' >"$work/suites/as3-traces/seven_frames/output.txt"
echo frames >"$work/suites/as3-traces/no_count/test.swf"
: >"$work/suites/as3-traces/no_count/test.toml"
printf 'frames 1\n' >"$work/suites/as3-traces/no_count/output.txt"

listing() { find "$work/suites" -printf '%p %s %T@ %m\n' | sort; }
before=$(listing)
export KINOVEX_CONFORMANCE_DIR=$work/suites
run() { bash "$here/run.sh" --frame-tool "$tool" --timeout 1 "$@"; }

status=0
run --suite as2 --out "$work/as2" >"$work/as2.log" || status=$?
check "as2 run's exit status" 0 "$status"
while IFS='|' read -r name cluster action expected result; do
    name=$(trim "$name")
    [ -n "$name" ] || continue
    result=$(trim "$result")
    line=$(awk -F'\t' -v n="$name" '$1 == n' "$work/as2/results.tsv")
    check "$name: cluster" "$(trim "$cluster")" "$(printf '%s' "$line" | cut -f 2)"
    check "$name: result" "$result" "$(printf '%s' "$line" | cut -f 3- | tr '\t' '|')"
done <<<"$cases"

passes=$(grep -c '| pass|' <<<"$cases")
total=$(grep -c '|' <<<"$cases")
check "passed.txt" "$(grep '| pass|' <<<"$cases" | awk '{ print $1 }' | sort)" \
    "$(cat "$work/as2/passed.txt")"
check "summary line" "as2: $passes passed, $((total - passes)) failed of $total" \
    "$(head -n 1 "$work/as2/report.txt")"
check "summary printed at the end" "as2: $passes passed, $((total - passes)) failed of $total" \
    "$(head -n 1 "$work/as2.log")"
check "report gives a line failure's lines" \
    "$(printf 'changed-5.swf\n    line 3\n      expected: d\n      actual:   D')" \
    "$(grep -A 3 '^changed-5.swf$' "$work/as2/report.txt")"
check "actual output kept" "$(printf 'a\nb\nD')" "$(cat "$work/as2/actual/changed-5.swf.txt")"
check "diff kept for a line failure" 1 "$(grep -c '^+D$' "$work/as2/diff/changed-5.swf.diff")"
check "crash message kept" "about to fail" "$(cat "$work/as2/stderr/Array2-crash-5.swf.txt")"

status=0
run --suite as3 --out "$work/as3" >/dev/null || status=$?
check "as3 run's exit status" 0 "$status"
check "as3 plays num_frames, else 1" "$(printf 'no_count\nseven_frames')" \
    "$(cat "$work/as3/passed.txt")"

echo 2 >"$work/floor"
status=0
run --suite as3 --out "$work/as3" --floor "$work/floor" >/dev/null || status=$?
check "at the floor" 0 "$status"
echo 3 >"$work/floor"
status=0
run --suite as3 --out "$work/as3" --floor "$work/floor" >/dev/null 2>"$work/floor.log" || status=$?
check "below the floor" 1 "$status"
check "below the floor says both numbers" "as3: 2 passed, below the floor of 3 ($work/floor)" \
    "$(cat "$work/floor.log")"

status=0
out=$(KINOVEX_CONFORMANCE_DIR=$work/nowhere run --suite as2 --out "$work/none") || status=$?
check "absent suite: exit status" 0 "$status"
check "absent suite: message" "as2: no suite at $work/nowhere/as2-traces, skipped" "$out"
status=0
KINOVEX_CONFORMANCE_DIR=$work/nowhere run --suite as2 --out "$work/none" --floor "$work/floor" \
    >/dev/null 2>&1 || status=$?
check "absent suite with a floor fails" 1 "$status"

status=0
run --suite as3 --out "$work/suites/as3-traces/out" >/dev/null 2>&1 || status=$?
check "output folder inside the suites refused" 2 "$status"
check "the suites' folder is left as it was" "$before" "$(listing)"

if [ "$failures" -gt 0 ]; then
    echo "conformance runner: $failures checks failed"
    exit 1
fi
echo "conformance runner: all checks passed"
