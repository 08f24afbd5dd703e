#!/usr/bin/env bash
# Repeats, at the end of a run, what each failed test printed, so the tail of a long log names the failures.
# Usage: print-failures.sh BUILD_DIR [LINES]; prints nothing when the last ctest run in BUILD_DIR failed nothing.
set -uo pipefail
dir="$1"
lines="${2:-120}"
failed="$dir/Testing/Temporary/LastTestsFailed.log"
log="$dir/Testing/Temporary/LastTest.log"
[ -s "$failed" ] || exit 0
echo "==== Failed in $dir ===="
cat "$failed"
[ -f "$log" ] || exit 0
# Each test's record starts with "N/M Testing: name" and holds "Test Passed." when it passed.
awk -v keep="$lines" '
    function flush() {
        if (n > 0 && name != "" && !passed) {
            print "---- " name " ----"
            start = n > keep ? n - keep + 1 : 1
            for (i = start; i <= n; ++i) print block[i]
        }
        n = 0; passed = 0
    }
    /^[0-9]+\/[0-9]+ Testing: / { flush(); name = $3 }
    { block[++n] = $0 }
    /^Test Passed\.$/ { passed = 1 }
    END { flush() }
' "$log"
