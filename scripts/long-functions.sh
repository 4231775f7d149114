#!/usr/bin/env bash
# Lists the functions of C++ files longer than a number of lines (default 150), longest first:
#   scripts/long-functions.sh [--max N] FILE_OR_FOLDER...
# Exits non-zero when there is one. It reads the layout clang-format gives our code: a function
# defined outside a class starts at column 0 and its body ends at the next "}" alone at column 0.
set -euo pipefail
max=150
if [ "${1:-}" = "--max" ]; then
    max=$2
    shift 2
fi
[ $# -gt 0 ] || set -- src
find "$@" -name '*.cpp' -print0 | sort -z | xargs -0 awk -v max="$max" '
    FNR == 1 { start = 0 }
    # A definition: column 0, not a preprocessor line, comment, namespace, type or closing brace,
    # and a body that opens on the line (or a later one, for signatures that wrap).
    start == 0 && /^[A-Za-z_~].*[)a-z&*>] *(const|noexcept|override|->.*)* *\{ *$/ &&
        !/^(namespace|struct|class|enum|union|extern|using|typedef|template|static_assert)( |$)/ {
        start = FNR; name = $0; next
    }
    start == 0 && /^[A-Za-z_~][^;]*\( *$|^[A-Za-z_~][^;]*, *$/ &&
        !/^(namespace|struct|class|enum|union|extern|using|typedef|template|static_assert)( |$)/ {
        pending = FNR; pendingName = $0; next
    }
    start == 0 && pending && /^ .*\{ *$/ { start = pending; name = pendingName; pending = 0; next }
    start == 0 && pending && /;/ { pending = 0 }
    start != 0 && /^}/ {
        length_ = FNR - start + 1
        if (length_ > max) {
            sub(/ *\{ *$/, "", name)
            printf "%5d %s:%d %s\n", length_, FILENAME, start, name
        }
        start = 0
    }
' | sort -rn | tee /dev/stderr | { ! read -r _; }
