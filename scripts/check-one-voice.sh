#!/usr/bin/env bash
# Every message of the program reaches the user through its one reporter.
# Fails when a source file of the product, other than the program's entry,
# the reporter and the one console backend of each platform, writes to
# standard output or standard error itself, in C or C++:
#   scripts/check-one-voice.sh
set -euo pipefail
cd "$(dirname "$0")/.."

allowed='^(convert1_1to2_0/main\.cpp|platform/os/ConsoleReporter\.cpp|platform/os/(posix|windows)/Console\.cpp)$'
# Streams, C stdio calls that print, and the handles and descriptors of the two.
pattern='std::(cout|cerr|clog|wcout|wcerr)|\b(stdout|stderr)\b|\b(printf|puts|putchar|perror|vprintf)[[:space:]]*\(|\b(fprintf|fputs|fputc|fwrite|vfprintf)[[:space:]]*\(|\bSTD(OUT|ERR)_FILENO\b|\bSTD_(OUTPUT|ERROR)_HANDLE\b|\bwrite[[:space:]]*\([[:space:]]*[12][[:space:]]*,'

found=0
while IFS= read -r file; do
    [[ $file =~ $allowed ]] && continue
    # Comments may speak of standard output; code may not write to it.
    hits=$(sed -e 's://.*$::' "$file" | grep -nE "$pattern" || true)
    if [[ -n $hits ]]; then
        sed 's/^/  /' <<<"$hits" | sed "s|^  |  $file:|"
        found=1
    fi
done < <(find platform core convert1_1to2_0 -name '*.cpp' -o -name '*.h' | sort)

if ((found)); then
    echo "These write to standard output or error past the reporter (platform/Reporter.h);"
    echo "say it through the reporter the program passes down."
    exit 1
fi
echo "one voice: every message goes through the reporter"
