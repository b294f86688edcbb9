#!/usr/bin/env bash
# Installs the built tree into a temporary prefix, then builds and runs a
# small consumer against that copy, once through CMake's find_package and
# once through pkg-config.
set -euo pipefail
build="$1"
source="$2"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix="$work/prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null
lib=$(ls "$prefix"/lib*/libostak.so.1 2>/dev/null || ls "$prefix"/lib/*/libostak.so.1)
libdir=$(dirname "$lib")
[ -L "$libdir/libostak.so" ] || { echo "no libostak.so link"; exit 1; }
[ -f "$prefix/include/ostak.h" ] || { echo "no header installed"; exit 1; }
[ -f "$prefix/share/ostak/dat/Ostak_res" ] || { echo "no message catalogue installed"; exit 1; }
if ls "$prefix/include" | grep -qv '^ostak\.h\(pp\)\?$'; then echo "private headers installed"; exit 1; fi
root="$prefix/share/ostak"

# CMake
cmake -S "$source/tests/install" -B "$work/cmake-build" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/cmake-build" >/dev/null
LD_LIBRARY_PATH="$libdir" "$work/cmake-build/consumer" "$root"

# pkg-config
export PKG_CONFIG_PATH="$libdir/pkgconfig"
cc -std=c99 -Wall -Wextra -Werror $(pkg-config --cflags ostak) "$source/tests/install/consumer.c" \
    $(pkg-config --libs ostak) -o "$work/pc-consumer"
LD_LIBRARY_PATH="$libdir" "$work/pc-consumer" "$root"
echo "install ok"
