#!/usr/bin/env bash
# check-imports rejects a program made to fail each of its checks, naming every fault.
#   check-imports-test.sh CHECK_IMPORTS OBJDUMP POST_XP_PROGRAM
set -uo pipefail
check=$1
objdump=$2
program=$3

output=$("$check" --objdump "$objdump" "$program")
status=$?
failed=0
expect() {
    if ! grep -qxF "$program: $1" <<<"$output"; then
        echo "missing: $program: $1"
        failed=1
    fi
}
expect "header: operating-system version 6.1, wants 4.0"
expect "header: subsystem version 6.0, wants 4.0"
expect "imports from the API set api-ms-win-core-synch-l1-2-0.dll, which Windows XP lacks"
expect "imports InitializeSRWLock (api-ms-win-core-synch-l1-2-0.dll), which Windows XP lacks"
expect "imports GetTickCount64 (KERNEL32.dll), which Windows XP lacks"
expect "imports _itoa_s (msvcrt.dll), which Windows XP's msvcrt.dll lacks"
expect "imports from SHLWAPI.dll, which is not on the list of allowed modules"
if [ "$(tail -n 1 <<<"$output")" != "problems: 7" ]; then
    echo "missing: problems: 7"
    failed=1
fi
if [ $status -ne 1 ]; then
    echo "exit status $status, wants 1"
    failed=1
fi
[ $failed -eq 0 ] || printf 'check-imports said:\n%s\n' "$output"
exit $failed
