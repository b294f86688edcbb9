#!/usr/bin/env bash
# Installs the built tree into a temporary prefix, then builds and runs a
# small C consumer and a C++ consumer (ostak.hpp) against that copy, once
# through CMake's find_package and once through pkg-config, and runs the
# installed ostak tool from the moved tree.
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
[ -f "$prefix/include/ostak.hpp" ] || { echo "no C++ header installed"; exit 1; }
[ -x "$prefix/bin/ostak" ] || { echo "no ostak tool installed"; exit 1; }
[ -f "$prefix/share/man/man1/ostak.1" ] || { echo "no manual page installed"; exit 1; }
[ -f "$prefix/share/bash-completion/completions/ostak" ] || { echo "no bash completion installed"; exit 1; }
[ -f "$prefix/share/ostak/dat/Ostak_res" ] || { echo "no message catalogue installed"; exit 1; }
if ls "$prefix/include" | grep -qv '^ostak\.h\(pp\)\?$'; then echo "private headers installed"; exit 1; fi
root="$prefix/share/ostak"

# CMake
cmake -S "$source/tests/install" -B "$work/cmake-build" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/cmake-build" >/dev/null
LD_LIBRARY_PATH="$libdir" "$work/cmake-build/consumer" "$root"
LD_LIBRARY_PATH="$libdir" "$work/cmake-build/consumer_cpp" "$root"

# pkg-config
export PKG_CONFIG_PATH="$libdir/pkgconfig"
cc -std=c99 -Wall -Wextra -Werror $(pkg-config --cflags ostak) "$source/tests/install/consumer.c" \
    $(pkg-config --libs ostak) -o "$work/pc-consumer"
LD_LIBRARY_PATH="$libdir" "$work/pc-consumer" "$root"
c++ -std=c++17 -Wall -Wextra -Werror $(pkg-config --cflags ostak) "$source/tests/install/consumer.cpp" \
    $(pkg-config --libs ostak) -o "$work/pc-consumer-cpp"
LD_LIBRARY_PATH="$libdir" "$work/pc-consumer-cpp" "$root"

# The installed tool finds the installed library and data folder by itself,
# also when the installed tree has been moved.
mv "$prefix" "$work/moved"
"$work/moved/bin/ostak" --version
"$work/moved/bin/ostak" check "$source/examples/scripts/nightly.xml"
echo "install ok"
