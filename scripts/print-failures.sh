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
# Each test's record starts with "N/M Testing: name" and holds "Test Passed." when it passed. A whole binary's
# run ("<binary>.whole") holds many tests: its order's seed, then each failed test from its start to its end
# (at most LINES lines of each), then Google Test's list of the failed ones.
awk -v keep="$lines" '
    function flush() {
        if (n > 0 && name != "" && !passed) {
            print "---- " name " ----"
            if (name ~ /\.whole$/) {
                for (i = 1; i <= n; ++i) {
                    if (block[i] ~ /^Note: Randomizing tests. orders with a seed of/) print block[i]
                    if (block[i] ~ /^\[ RUN      \] /) run = i
                    if (block[i] ~ /^\[  FAILED  \] .*\([0-9]+ ms\)$/ && run > 0) {
                        start = i - run + 1 > keep ? i - keep + 1 : run
                        for (j = start; j <= i; ++j) print block[j]
                        run = 0
                    }
                    if (block[i] ~ /^\[  FAILED  \] [0-9]+ tests?, listed below:$/) listed = i
                }
                if (listed > 0) for (i = listed; i <= n; ++i) print block[i]
                else for (i = (n > keep ? n - keep + 1 : 1); i <= n; ++i) print block[i]
            } else {
                start = n > keep ? n - keep + 1 : 1
                for (i = start; i <= n; ++i) print block[i]
            }
        }
        n = 0; passed = 0; run = 0; listed = 0
    }
    /^[0-9]+\/[0-9]+ Testing: / { flush(); name = $3 }
    { block[++n] = $0 }
    /^Test Passed\.$/ { passed = 1 }
    END { flush() }
' "$log"
