#!/usr/bin/env bash
# Builds the converter and runs it on a copy of the bundled sample journal in
# a scratch folder (the sample itself stays as it is), then shows the new
# document and every file the run left in the folder.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cmake -S "$root" -B "$root/build" -G Ninja >/dev/null
cmake --build "$root/build" -j2 --target convert1_1to2_0 >/dev/null

scratch=$(mktemp -d)
cp "$root/examples/sample-journal/data" "$scratch/"
chmod u+w "$scratch/data"
echo "== journal copied to $scratch; running: convert1_1to2_0 dream"
status=0
(cd "$scratch" && "$root/build/convert1_1to2_0" dream </dev/null) || status=$?
echo
echo "== exit status: $status"
echo "== data.xml (stored in Windows-1251, shown here as UTF-8)"
iconv -f WINDOWS-1251 -t UTF-8 "$scratch/data.xml" | tr -d '\r'
echo
echo "== files in $scratch"
ls -l "$scratch"
