#!/bin/sh
# Builds the stand-in run-time libraries into STUDIO/lib: every library name
# the link command can ask for (each printf/scanf variant and libc/libm, for
# every library-variant suffix), made with the stand-in compiler and archiver.
#   scripts/make-runtime-libs.sh STUDIO_DIR
set -e
STUDIO=$(cd "$1" && pwd)
BIN="$STUDIO/bin"
LIB="$STUDIO/lib"
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
mkdir -p "$LIB"

suffixes=""
for mpy in _s _h; do for fp in f d; do for mt in "" _mt; do
  suffixes="$suffixes $mpy$fp$mt"
done; done; done

names=""
for pv in float_long float_long_long double_long_long int int_nwp long long_nwp long_long long_long_nwp "" _nwp; do
  names="$names lib_vfprintf_$pv"
done
for sv in float_long float_long_long double_long_long int long long_long ""; do
  names="$names lib_vfscanf_$sv lib_vfscanf_${sv}_cc"
done
names="$names libc libm"

for n in $names; do
  for s in $suffixes; do
    lib="$n$s"
    sym=$(echo "$lib" | tr -c 'A-Za-z0-9_\n' '_')
    printf 'int __runtime_%s;\n' "$sym" > "$WORK/$lib.c"
    (cd "$WORK" && "$BIN/hcc" "$lib.c" -o "$lib.hzo" && "$BIN/har" -c "$LIB/$lib.hza" "$lib.hzo")
  done
done
