#!/usr/bin/env bash
# Plays every movie of one reference-output trace suite with kinovex-frame and compares the trace
# lines with the ones the reference player printed (README.md beside this script).
#
#   tests/conformance/run.sh --suite as2|as3 --frame-tool PATH --out DIR
#                            [--jobs N] [--floor FILE] [--timeout SECONDS]
#
# The suites are read from $KINOVEX_CONFORMANCE_DIR, by default ../shared/conformance beside the
# repository; when the suite's folder is not there the run is skipped (exit 0), unless a floor is
# given: a floor promises that many passing movies, and a missing suite cannot keep it (exit 1).
# Everything the run
# writes goes into DIR:
#   passed.txt       the names of the movies that passed, one a line, sorted
#   report.txt       the summary line, failures by cluster, then every failure and why
#   results.tsv      name, cluster, pass|fail, kind (match|line|timeout|crash|exit|output|missing),
#                    then for "line" the line number, expected and actual line, else the reason
#   actual/NAME.txt  what the tool printed on standard output (stderr/NAME.txt: its messages)
#   diff/NAME.diff   for a movie that failed on its lines: expected against actual (its start)
# Exit status: 0, or 1 when --floor is given and fewer movies passed than the file's number,
# 2 for bad arguments or a tool that cannot be run.
set -euo pipefail
export LC_ALL=C

readonly kOutputCapKiB=$((64 * 1024)) # a movie printing more than this is stopped
readonly kMemoryCapKiB=$((4 * 1024 * 1024))
readonly kDiffLines=2000 # a diff is kept up to this many lines
# The scripts' Date clock at the start of every movie: where the reference player's clock stood
# when the traces were recorded (Mon Oct 28 21:24:04 2002 UTC), so that dates print the same.
readonly kReferenceClockMs=1035840244000

# CR LF becomes LF; empty lines at the end are dropped.
normalize() {
    awk '{ sub(/\r$/, ""); line[NR] = $0 }
         END { n = NR; while (n > 0 && line[n] == "") n--; for (i = 1; i <= n; ++i) print line[i] }'
}

# The first line where two normalized files differ, as "LINE<TAB>EXPECTED<TAB>ACTUAL" with tabs
# shown as \t, carriage returns as \r and NUL bytes as \0, a missing line as <none>, and a long
# line cut down to the part around its first differing character.
first_difference() {
    awk -v E="$1" -v A="$2" '
        function shown(s, from) {
            gsub(/\t/, "\\t", s)
            gsub(/\r/, "\\r", s)
            if (length(s) <= 200) return s
            return (from > 1 ? "..." : "") substr(s, from, 160) \
                (from + 160 <= length(s) ? "..." : "")
        }
        BEGIN {
            n = 0
            while (1) {
                have_e = (getline e < E) > 0
                have_a = (getline a < A) > 0
                ++n
                if (!have_e && !have_a) exit
                if (have_e && have_a && e == a) continue
                column = 1
                while (column <= length(e) && substr(e, column, 1) == substr(a, column, 1)) ++column
                from = column > 80 ? column - 80 : 1
                print n "\t" (have_e ? shown(e, from) : "<none>") "\t" \
                    (have_a ? shown(a, from) : "<none>")
                exit
            }
        }' | sed 's/\x0/\\0/g'
}

# One movie; called through xargs with the settings in KX_* variables. Writes result/NAME, one
# tab-separated line: name, pass|fail, kind, details (the cluster is added when gathering).
run_one() {
    local name=$1 movie expected frames folder
    case $KX_SUITE in
    as2)
        folder=$KX_SUITE_DIR
        movie=$folder/$name
        expected=$movie.trace
        frames=10
        ;;
    as3)
        folder=$KX_SUITE_DIR/$name
        movie=$folder/test.swf
        expected=$folder/output.txt
        frames=$(sed -n 's/^[[:space:]]*num_frames[[:space:]]*=[[:space:]]*\([0-9][0-9]*\).*/\1/p' \
            "$folder/test.toml" 2>/dev/null | head -n 1) || true
        frames=${frames:-1}
        ;;
    esac
    local actual=$KX_OUT/actual/$name.txt errors=$KX_OUT/stderr/$name.txt
    local result=$KX_OUT/result/$name

    # The movie's own folder is the working folder, so that relative names resolve beside it;
    # the tool writes nothing but its standard output and error, which go under DIR.
    # (The shell's own note on a program killed by a signal is not wanted: the report says it.)
    local status=0
    {
        (
            cd "$folder" || exit 126
            ulimit -c 0 # a crash leaves no core file in the movie's folder
            ulimit -f "$kOutputCapKiB"
            ulimit -v "$kMemoryCapKiB"
            exec timeout --verbose -k 5 "$KX_TIMEOUT" "$KX_TOOL" "$movie" --frames "$frames" \
                --trace --clock "$kReferenceClockMs" </dev/null >"$actual" 2>"$errors"
        ) || status=$?
    } 2>/dev/null
    [ -s "$errors" ] || rm -f "$errors"

    if [ "$status" -ne 0 ]; then
        local first_message=""
        if [ -s "$errors" ]; then
            first_message=$(grep -v '^timeout: sending signal' "$errors" | head -n 1 |
                tr '\t\0' '  ' | cut -c 1-200) || true
        fi
        if [ "$status" -eq 124 ] ||
            { [ "$status" -eq 137 ] && grep -q '^timeout: sending signal' "$errors"; }; then
            printf '%s\tfail\ttimeout\tstill running after %s s\n' "$name" "$KX_TIMEOUT"
        elif [ "$status" -eq $((128 + 25)) ]; then # SIGXFSZ: the output cap
            printf '%s\tfail\toutput\tprinted more than %s MiB and was stopped\n' "$name" \
                $((kOutputCapKiB / 1024))
        elif [ "$status" -gt 128 ]; then
            local signal
            signal=$(kill -l $((status - 128)) 2>/dev/null) || signal=$((status - 128))
            printf '%s\tfail\tcrash\tsignal %s (exit status %s)%s\n' "$name" "$signal" "$status" \
                "${first_message:+: $first_message}"
        else
            printf '%s\tfail\texit\texit status %s%s\n' "$name" "$status" \
                "${first_message:+: $first_message}"
        fi >"$result"
        return 0
    fi
    if [ ! -f "$expected" ]; then
        printf '%s\tfail\tmissing\tno expected output in the suite\n' "$name" >"$result"
        return 0
    fi
    if cmp -s "$expected" "$actual"; then
        printf '%s\tpass\tmatch\t\n' "$name" >"$result"
        return 0
    fi
    local want=$KX_OUT/tmp/$name.expected got=$KX_OUT/tmp/$name.actual
    normalize <"$expected" >"$want"
    normalize <"$actual" >"$got"
    if cmp -s "$want" "$got"; then
        printf '%s\tpass\tmatch\t\n' "$name" >"$result"
    else
        { diff -u --label "expected/$name" --label "actual/$name" "$want" "$got" || true; } |
            head -n "$kDiffLines" >"$KX_OUT/diff/$name.diff"
        printf '%s\tfail\tline\t%s\n' "$name" "$(first_difference "$want" "$got")" >"$result"
    fi
    rm -f "$want" "$got"
}

if [ "${1:-}" = "__one" ]; then
    shift
    for movie_name in "$@"; do
        run_one "$movie_name" || true
    done
    exit 0
fi

usage() {
    echo "usage: $0 --suite as2|as3 --frame-tool PATH --out DIR" \
        "[--jobs N] [--floor FILE] [--timeout SECONDS]" >&2
    exit 2
}

suite="" tool="" out="" jobs=$(nproc) floor_file="" limit=20
while [ $# -gt 0 ]; do
    [ $# -ge 2 ] || usage
    case $1 in
    --suite) suite=$2 ;;
    --frame-tool) tool=$2 ;;
    --out) out=$2 ;;
    --jobs) jobs=$2 ;;
    --floor) floor_file=$2 ;;
    --timeout) limit=$2 ;;
    *) usage ;;
    esac
    shift 2
done
case $suite in as2 | as3) ;; *) usage ;; esac
if [ -z "$tool" ] || [ -z "$out" ]; then
    usage
fi
[[ $jobs =~ ^[1-9][0-9]*$ ]] || usage
[[ $limit =~ ^[1-9][0-9]*$ ]] || usage

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
base=${KINOVEX_CONFORMANCE_DIR:-$root/../shared/conformance}
suite_dir=$base/$suite-traces
if [ ! -d "$suite_dir" ]; then
    if [ -n "$floor_file" ]; then
        echo "$suite: no suite at $suite_dir, so the floor in $floor_file cannot be met" >&2
        exit 1
    fi
    echo "$suite: no suite at $suite_dir, skipped"
    exit 0
fi
suite_dir=$(cd "$suite_dir" && pwd -P)

if [ ! -x "$tool" ] || [ -d "$tool" ]; then
    echo "$0: $tool is not a program that can be run" >&2
    exit 2
fi
tool=$(cd "$(dirname "$tool")" && pwd -P)/$(basename "$tool")

floor=""
if [ -n "$floor_file" ]; then
    floor=$(tr -d '[:space:]' <"$floor_file")
    [[ $floor =~ ^[0-9]+$ ]] || { echo "$0: $floor_file does not hold a number" >&2 && exit 2; }
fi

# The suites' folder is only ever read: the output folder may not lie inside it (checked before
# anything is made).
out=$(realpath -m -- "$out")
case $out/ in
"$(dirname "$suite_dir")"/*)
    echo "$0: the output folder must not be inside the suites' folder ($out)" >&2
    exit 2
    ;;
esac
mkdir -p "$out"
rm -rf "$out/actual" "$out/stderr" "$out/diff" "$out/result" "$out/tmp"
rm -f "$out/passed.txt" "$out/report.txt" "$out/results.tsv"
mkdir -p "$out/actual" "$out/stderr" "$out/diff" "$out/result" "$out/tmp"

# The movies, one name a line, in byte order.
names=$out/tmp/names
if [ "$suite" = as2 ]; then
    find "$suite_dir" -maxdepth 1 -type f -name '*.swf' -printf '%f\n'
else
    find "$suite_dir" -mindepth 2 -maxdepth 2 -type f -name test.swf -printf '%h\n' |
        sed 's|.*/||'
fi | sort >"$names"
total=$(wc -l <"$names")

started=$(date +%s)
export KX_SUITE=$suite KX_SUITE_DIR=$suite_dir KX_TOOL=$tool KX_OUT=$out KX_TIMEOUT=$limit
# Small batches keep every core busy to the end while saving a shell start per movie.
xargs -d '\n' -P "$jobs" -n 4 bash "${BASH_SOURCE[0]}" __one <"$names"
elapsed=$(($(date +%s) - started))

# The results in name order, each with its cluster: the first word of the name (up to the first
# "-", "_" or "."), in lower case and without trailing digits, so that array-sort-5.swf,
# Array-*.swf and array2-*.swf are all "array" and goto1.swf ... goto5.swf are "goto". A movie
# without a result (its runner was stopped) counts as failed.
(cd "$out/result" && { xargs -d '\n' cat -- <"$names" 2>/dev/null || true; }) |
    awk -F'\t' -v OFS='\t' -v names="$names" '
        function cluster(name,   word, bare) {
            word = tolower(name)
            sub(/[-_.].*/, "", word)
            bare = word
            sub(/[0-9]+$/, "", bare)
            return bare == "" ? word : bare
        }
        { name = $1; $1 = $1 OFS cluster($1); line[name] = $0 }
        END {
            while ((getline name < names) > 0) {
                if (name in line) print line[name]
                else print name, cluster(name), "fail", "crash", "no result was recorded"
            }
        }' >"$out/results.tsv"
rm -rf "$out/result" "$out/tmp"

awk -F'\t' '$3 == "pass" { print $1 }' "$out/results.tsv" >"$out/passed.txt"
passed=$(wc -l <"$out/passed.txt")

awk -F'\t' -v suite="$suite" -v total="$total" -v passed="$passed" -v limit="$limit" \
    -v jobs="$jobs" -v elapsed="$elapsed" -v tool="$tool" -v out="$out" '
    {
        cluster = $2
        count[cluster]++
        if ($3 == "pass") next
        n = ++failed[cluster]
        entry[cluster, n] = $1
        if ($4 == "line") {
            why[cluster, n] = sprintf("    line %s\n      expected: %s\n      actual:   %s",
                                      $5, $6, $7)
        } else {
            why[cluster, n] = "    " $4 ": " $5
        }
    }
    END {
        printf "%s: %d passed, %d failed of %d\n", suite, passed, total - passed, total
        printf "(%s, %d jobs, %d s per movie at most, %d s in all; outputs in %s)\n", tool, jobs,
            limit, elapsed, out
        # Clusters by failures, most first; ties by name.
        k = 0
        for (c in failed) order[++k] = c
        for (i = 2; i <= k; ++i) {
            c = order[i]
            for (j = i - 1; j >= 1 && (failed[order[j]] < failed[c] ||
                 (failed[order[j]] == failed[c] && order[j] > c)); --j) order[j + 1] = order[j]
            order[j + 1] = c
        }
        printf "\nFailures by cluster (first word of the name, lower case, no trailing digits):\n"
        printf "%8s %8s  %s\n", "failed", "of", "cluster"
        for (i = 1; i <= k; ++i) printf "%8d %8d  %s\n", failed[order[i]], count[order[i]], order[i]
        printf "\nFailures:\n"
        for (i = 1; i <= k; ++i) {
            c = order[i]
            printf "\n== %s: %d failed of %d\n", c, failed[c], count[c]
            for (j = 1; j <= failed[c]; ++j) printf "%s\n%s\n", entry[c, j], why[c, j]
        }
    }' "$out/results.tsv" >"$out/report.txt"

# The summary on standard output: the counts and the largest clusters of failures.
awk '/^Failures:$/ { exit } NR <= 25 { print; next } $0 != "" { ++more }
     END { if (more) print "   ... " more " more clusters" }' "$out/report.txt"
echo "full report: $out/report.txt"

if [ -n "$floor" ]; then
    if [ "$passed" -lt "$floor" ]; then
        echo "$suite: $passed passed, below the floor of $floor ($floor_file)" >&2
        exit 1
    fi
    if [ "$passed" -gt "$floor" ]; then
        echo "$suite: $passed passed, above the floor of $floor: raise $floor_file to $passed"
    fi
fi
exit 0
