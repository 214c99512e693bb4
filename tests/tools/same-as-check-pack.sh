#!/usr/bin/env bash
# LanternmoorPack.exe answers every pack as check-pack does: after pack_show_test has run it under
# Wine on each pack of TOOLPACKS (the folder NAME, what it printed in NAME.txt, its exit status in
# NAME.status), check-pack runs natively on the same folder; both must print the same lines (the
# Windows paths and line ends read as Linux ones, the file each makes named alike) and end with
# the same status. The screen savers it made must load on Windows XP (check-imports).
#   same-as-check-pack.sh CHECK_PACK TOOLPACKS CHECK_IMPORTS OBJDUMP
set -uo pipefail
check_pack=$1 packs=$2 check_imports=$3 objdump=$4
failures=0 compared=0
for status_file in "$packs"/*.status; do
    name=$(basename "$status_file" .status)
    pack=$packs/$name
    expected=$("$check_pack" --resource-script "$pack.rc" "$pack" 2>&1)
    expected_status=$?
    printed=$(sed -e 's/\r$//' -e 's|\\|/|g' -e "s|Z:$packs|$packs|g" \
        -e 's/; no screen saver written$/; no resource script written/' \
        -e '/ written: right-click it and choose Install/d' "$pack.txt")
    if [ "$printed" != "$expected" ] || [ "$(cat "$status_file")" != "$expected_status" ]; then
        echo "$name: LanternmoorPack.exe (status $(cat "$status_file")) and check-pack (status" \
            "$expected_status) differ:"
        diff <(echo "$expected") <(echo "$printed")
        failures=$((failures + 1))
    fi
    compared=$((compared + 1))
done
[ $compared -gt 0 ] || { echo "no packs in $packs"; exit 1; }
"$check_imports" --objdump "$objdump" "$packs"/*.scr || failures=$((failures + 1))
echo "$compared packs compared, $failures failed"
[ $failures -eq 0 ]
