#!/usr/bin/env bash
# Installs what is missing, builds the ostak tool and runs it over the
# examples: check, show, diff, a non-interactive merge and a sync. Works on a
# scratch copy in build/demo/, so examples/ stays as it is.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

build="${OSTAK_BUILD_DIR:-build}"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "$(nproc)" --target ostak_tool
ostak="$PWD/$build/tools/ostak"

# A root of its own: the shipped data files and the example installation file.
demo="$build/demo"
rm -rf "$demo"
mkdir -p "$demo/dat" "$demo/scripts"
cp dat/Ostak_res dat/OstakDtd.xml examples/dat/OstakInstallation.xml "$demo/dat/"
cp examples/scripts/nightly.xml "$demo/scripts/"
cd "$demo"

# Runs one command, shows it, and stops the demo unless it exits as expected.
step() {
    local expected="$1"
    shift
    printf '\n$ ostak %s\n' "$*"
    local status=0
    "$ostak" "$@" || status=$?
    if [ "$status" -ne "$expected" ]; then
        echo "demo: 'ostak $*' exited with $status, expected $expected" >&2
        exit 1
    fi
    [ "$status" -eq 0 ] || echo "(exit status $status)"
}

step 0 check dat/OstakInstallation.xml scripts/nightly.xml
step 0 show scripts/nightly.xml
step 1 diff dat/OstakInstallation.xml scripts/nightly.xml
step 0 merge dat/OstakInstallation.xml scripts/nightly.xml --all --prefer both -o merged.xml
step 0 show merged.xml
step 0 sync --root . scripts/nightly.xml --yes --prefer target
step 0 show scripts/nightly.xml
step 0 sync --root . scripts/nightly.xml --yes
step 0 new rules.xml Compile
step 0 rule add rules.xml Compile Error --text "error:"
step 0 rule add rules.xml Compile Warning --prefix "warning: " --suffix " [-Wall]" --alert
step 0 check --strict rules.xml
step 0 show rules.xml
step 1 diff rules.xml scripts/nightly.xml --color=never
printf '\nDemo done; its files are in %s.\n' "$demo"
