#!/usr/bin/env bash
# What comsetup.exe is made of: the bytes each input of the link puts into the program (code,
# read-only data, data, unwind tables, resources; not .bss, not debug information), from the
# linker's map that every link of the Windows build writes (build-mingw/app/comsetup.map),
# summed by library and by object file:
#   bash bench/wine/exe_size.sh [MAP] [OBJECTS]     (default: that map, the 25 largest objects)
set -euo pipefail
cd "$(dirname "$0")/../.."
map=${1:-build-mingw/app/comsetup.map}
objects=${2:-25}
[ -f "$map" ] || { echo "no linker map $map: build comsetup with the mingw preset first" >&2; exit 1; }

# Input sections of the memory map: " .text  0xADDR  0xSIZE  file", or the section's name on a
# line of its own when it is long, address, size and file on the next.
awk '
  function hex(text,   i, n) {
    n = 0
    for (i = 3; i <= length(text); i++) n = n * 16 + index("0123456789abcdef", tolower(substr(text, i, 1))) - 1
    return n
  }
  /^Linker script and memory map/ { on = 1; next }
  !on { next }
  /^ [.*A-Za-z_$][^ ]*$/ { pending = $1; next }
  {
    name = ""; size = ""; file = ""
    if ($1 ~ /^[.]/ && $2 ~ /^0x/ && $3 ~ /^0x/ && NF >= 4) { name = $1; size = $3; file = $4 }
    else if (pending != "" && $1 ~ /^0x/ && $2 ~ /^0x/ && NF >= 3) { name = pending; size = $2; file = $3 }
    pending = ""
    if (name == "" || name ~ /^[.](bss|debug)/ || name ~ /^COMMON/) next
    bytes = hex(size)
    if (bytes == 0) next
    library = file; object = file
    if (match(file, /\(.*\)$/)) {
      library = substr(file, 1, RSTART - 1); object = substr(file, RSTART + 1, RLENGTH - 2)
    } else library = "(objects of the program)"
    sub(/.*\//, "", library)
    sub(/.*\//, "", object)
    by_library[library] += bytes; by_object[library ": " object] += bytes; total += bytes
  }
  END {
    printf "%10.2f MB  everything the link put in\n\n", total / 1e6
    for (l in by_library) printf "%10.2f MB  %s\n", by_library[l] / 1e6, l | "sort -rn"
    close("sort -rn")
    print ""
    for (o in by_object) printf "%10.1f KB  %s\n", by_object[o] / 1e3, o | "sort -rn | head -'"$objects"'"
  }
' "$map"
