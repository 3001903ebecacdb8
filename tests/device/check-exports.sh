#!/bin/sh
# Checks that each TandryUSB.dll given exports exactly open_dev and open_file, undecorated.
# Usage: check-exports.sh DLL [DLL...]; a path that does not exist is skipped unless it is the first.
status=0
first=1
seen=" "
for dll in "$@"; do
    real=$(readlink -f "$dll" 2>/dev/null || echo "$dll")
    case "$seen" in *" $real "*) continue ;; esac
    seen="$seen$real "
    if [ ! -f "$dll" ]; then
        if [ $first = 1 ]; then echo "missing: $dll"; exit 1; fi
        echo "skipped (not built): $dll"; continue
    fi
    first=0
    case "$(x86_64-w64-mingw32-objdump -f "$dll")" in
        *pei-i386*) objdump=i686-w64-mingw32-objdump ;;
        *) objdump=x86_64-w64-mingw32-objdump ;;
    esac
    names=$($objdump -p "$dll" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | sed -n 's/^[[:space:]]*\[ *[0-9]*\] //p' | sort | tr '\n' ' ')
    if [ "$names" = "open_dev open_file " ]; then
        echo "ok: $dll ($objdump) exports: $names"
    else
        echo "WRONG: $dll ($objdump) exports: '$names'"; status=1
    fi
done
exit $status
