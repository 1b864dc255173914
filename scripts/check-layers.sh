#!/usr/bin/env bash
# Checks the dependency rule of the source tree: a folder of src/ (and app/)
# includes only from folders in lower layers, never from a folder beside it or
# above it. The layers, lowest first, are listed below; ARCHITECTURE.md says
# what each holds. Prints every include that breaks the rule and exits with 1
# when there is one.
set -euo pipefail
cd "$(dirname "$0")/.."

# folder:layer
layers="platform:0 base:1 audio:2 dsp:2 bend:2 input:3 f0:3 synth:4 render:5 cli:6 app:7"

level_of() {  # folder -> layer number, or nothing for an unknown folder
    local entry
    for entry in $layers; do
        [ "${entry%%:*}" = "$1" ] && { echo "${entry##*:}"; return; }
    done
}

status=0
while IFS= read -r file; do
    case "$file" in
        app/*) from=app ;;
        src/*) from=${file#src/}; from=${from%%/*} ;;
    esac
    from_level=$(level_of "$from")
    if [ -z "$from_level" ]; then
        echo "$file: folder '$from' has no layer (add it to scripts/check-layers.sh and ARCHITECTURE.md)"
        status=1
        continue
    fi
    while IFS= read -r target; do
        to=${target%%/*}
        [ "$to" = "$target" ] && continue  # a header of the same folder without a path
        [ "$to" = "$from" ] && continue
        to_level=$(level_of "$to")
        if [ -z "$to_level" ]; then
            echo "$file: includes \"$target\" from unknown folder '$to'"
            status=1
        elif [ "$to_level" -ge "$from_level" ]; then
            echo "$file: includes \"$target\" (layer $to_level) from layer $from_level"
            status=1
        fi
    done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file")
done < <(find src app -name '*.h' -o -name '*.cpp' -o -name '*.c' | sort)

[ $status -eq 0 ] && echo "layers: every include goes downward"
exit $status
