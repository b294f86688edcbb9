#!/usr/bin/env bash
# Fails when a file includes a header of a layer above its own. The library's
# layers are the numbered folders, bottom to top: 1-platform, 2-core,
# 3-model, 4-transcode, 5-format, 6-merge, 7-interface. A layer may include
# its own headers, those of the layers below it and the public header
# (include/); the tool (tools/) only the public headers and its own.
set -euo pipefail
root="${1:-$(dirname "$0")/..}"
cd "$root"
status=0
complain() { echo "$1"; status=1; }

# The includes of one file as "line:path" for every quoted include.
includes() { grep -n '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$1" | sed -E 's/^([0-9]+):[^"]*"([^"]*)".*/\1:\2/'; }

for folder in [1-9]-*/; do
    folder=${folder%/}
    level=${folder%%-*}
    for file in "$folder"/*.h "$folder"/*.cpp; do
        [ -e "$file" ] || continue
        while IFS=: read -r line path; do
            case "$path" in
            include/*) ;;
            [1-9]-*/*)
                target=${path%%/*}
                [ -d "$target" ] || complain "$file:$line: includes \"$path\" of no layer"
                [ "${target%%-*}" -le "$level" ] ||
                    complain "$file:$line: layer $folder includes \"$path\" of the higher layer $target"
                ;;
            *) complain "$file:$line: includes \"$path\"; name the layer folder (\"$folder/...\")" ;;
            esac
        done < <(includes "$file")
    done
done

for file in tools/*.h tools/*.cpp; do
    while IFS=: read -r line path; do
        case "$path" in
        include/*|tools/*) ;;
        *) complain "$file:$line: the tool includes \"$path\"; it uses only the public headers" ;;
        esac
    done < <(includes "$file")
done

[ "$status" -eq 0 ] && echo "layers ok"
exit "$status"
