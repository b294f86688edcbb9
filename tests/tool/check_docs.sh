#!/usr/bin/env bash
# The manual page names every command and every option the tool accepts
# (asked of the tool itself), renders without warnings, and the bash
# completion completes commands, options, actions and names from a file.
set -uo pipefail
tool=$(realpath "$1")
source="$2"
page="$source/tools/doc/ostak.1"
completion="$source/tools/completion/ostak"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# --- the manual page ---
if command -v groff >/dev/null; then
    warnings=$(groff -man -Tutf8 -ww -z "$page" 2>&1)
    [ -z "$warnings" ] || fail "groff warns: $warnings"
fi
commands=$("$tool" --completion-words) || fail "no command list"
[ -n "$commands" ] || fail "empty command list"
for command in $commands; do
    grep -qF ".SS \"${command//-/\\-}" "$page" || fail "the manual page has no section for '$command'"
    for option in $("$tool" "$command" --completion-words); do
        name=${option%=}
        grep -qF -- "${name//-/\\-}" "$page" || fail "the manual page does not name $name of '$command'"
    done
done

# --- the completion ---
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$source/examples/scripts/nightly.xml" "$work/r.xml"
# Completes the words of a line (the last one being completed) as bash would.
complete_line() {
    bash -c '
        source "$1"; shift
        COMP_WORDS=("$@"); COMP_CWORD=$(( $# - 1 ))
        COMP_LINE="$*"; COMP_POINT=${#COMP_LINE}
        compopt() { :; }
        _ostak
        printf "%s\n" "${COMPREPLY[@]}" | sort | tr "\n" " "' _ "$completion" "$@"
}
check() {
    local expected=$1; shift
    local got
    got=$(cd "$work" && complete_line "$@")
    [ "$got" = "$expected" ] || fail "completing '$*': got '$got', want '$expected'"
}
check "sync " "$tool" sy
check "--prefer= " "$tool" merge a b --pre
check "both source target " "$tool" merge a b --prefer ""
check "installation plain script source " "$tool" diff --other-kind ""
check "Compile Deploy Mail Reports " "$tool" merge r.xml t.xml --app ""
if grep -qx app <<<"$commands"; then
    check "add disable enable rename rm " "$tool" app ""
    check "Compile Deploy Mail Reports " "$tool" app rename r.xml ""
    check "Error Fatal Warning " "$tool" rule rm r.xml Compile ""
fi
[ "$failures" -eq 0 ] || exit 1
echo "docs ok"
