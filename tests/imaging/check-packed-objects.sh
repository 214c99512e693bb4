#!/usr/bin/env bash
# The MMX and SSE2 files are compiled with -mmmx or -msse2 and nothing else is: no function of
# theirs may be one the linker shares with other files (an inline function or template emitted
# out of line as a COMDAT section), or code that runs on any processor could end up with their
# instructions.
#   check-packed-objects.sh OBJDUMP OBJECT...
set -uo pipefail
objdump=$1
shift
checked=0
failed=0
for object in "$@"; do
    case $object in *_mmx.cpp.obj | *_sse2.cpp.obj) ;; *) continue ;; esac
    checked=$((checked + 1))
    shared=$("$objdump" -h "$object" | grep -o '\.text\$[^ ]*' | sort -u)
    if [ -n "$shared" ]; then
        echo "$(basename "$object") shares code with other files: $shared"
        failed=1
    fi
done
echo "$checked packed objects checked"
[ "$checked" -ge 6 ] && [ $failed = 0 ]
