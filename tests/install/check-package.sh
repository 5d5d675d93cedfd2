#!/usr/bin/env bash
# Packs the Debian package as `cpack -G DEB` does and has lintian judge it:
# no error but those that wait on the choice of the project's licence.
# Skips (exit status 77, saying why) where lintian or dpkg-deb is missing.
#   tests/install/check-package.sh BUILD_DIR WORK_DIR
set -euo pipefail
build=$1 work=$2

if ! command -v lintian >/dev/null || ! command -v dpkg-deb >/dev/null; then
    echo "skipped: lintian or dpkg-deb is not installed (apt-get install lintian)"
    exit 77
fi
rm -rf "$work"
(cd "$build" && cpack -G DEB -B "$work" >/dev/null)
deb=$(ls "$work"/*.deb)
report=$(lintian --tag-display-limit 0 "$deb" 2>&1 || true)
echo "$report"

# Errors only the choice of a licence can mend.
awaiting_licence=()
failed=0
while IFS= read -r line; do
    [[ $line == E:* ]] || continue
    tag=$(sed -E 's/^E: [^:]+: ([^ ]+).*/\1/' <<<"$line")
    if [[ " ${awaiting_licence[*]} " != *" $tag "* ]]; then
        echo "lintian error: $line"
        failed=1
    fi
done <<<"$report"
rm -rf "$work"
exit $failed
