#!/bin/sh
# Run by CTest after the tests (CTestCustom.cmake): one line that says how many tests were
# skipped and why, from the reasons the skipped tests noted in the file named, one a line.
[ -s "$1" ] || exit 0
sort "$1" | uniq -c | sort -rn | awk '
    { total += $1; count = $1; sub(/^ *[0-9]+ /, ""); reasons = reasons (NR > 1 ? "; " : "") count " because " $0 }
    END { print total (total == 1 ? " test was" : " tests were") " skipped: " reasons }'
