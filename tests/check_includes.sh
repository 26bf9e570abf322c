#!/usr/bin/env bash
# Fails when a file of an engine library includes a header from a folder that library may not
# depend on. Dependencies point down only; app, tools, tests, bench and fuzz may use anything.
#   tests/check_includes.sh [source folder]
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"

declare -A allowed=(
    [platform]="platform"
    [config]="config platform"
    [resources]="resources platform"
    [sound]="sound platform"
    [render]="render resources platform"
    [scene]="scene resources platform"
    [effects]="effects render scene resources platform"
)
folders="app bench config effects fuzz platform render resources scene sound tests tools"

status=0
for library in "${!allowed[@]}"; do
    [[ -d "$library" ]] || continue
    while IFS= read -r hit; do
        file=${hit%%:*}
        rest=${hit#*:}
        line=${rest%%:*}
        header=$(sed -E 's/^[^"]*"([^"]+)".*$/\1/' <<<"${rest#*:}")
        folder=${header%%/*}
        [[ "$header" == */* && " $folders " == *" $folder "* ]] || continue
        if [[ " ${allowed[$library]} " != *" $folder "* ]]; then
            echo "$file:$line: $library may not include $header ($library depends on: ${allowed[$library]})"
            status=1
        fi
    done < <(grep -rnE --include='*.cpp' --include='*.h' '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$library" || true)
done
# Layers inside a library folder: a layer's files include headers of the layers listed only
# (other folders are checked above).
declare -A layers=(
    [platform/gl]="platform/gl platform/system"
    [platform/system]="platform/system"
)
for layer in "${!layers[@]}"; do
    [[ -d "$layer" ]] || continue
    library=${layer%%/*}
    while IFS= read -r hit; do
        file=${hit%%:*}
        rest=${hit#*:}
        line=${rest%%:*}
        header=$(sed -E 's/^[^"]*"([^"]+)".*$/\1/' <<<"${rest#*:}")
        [[ "$header" == "$library/"* ]] || continue
        if [[ " ${layers[$layer]} " != *" $(dirname "$header") "* ]]; then
            echo "$file:$line: $layer may not include $header ($layer depends on: ${layers[$layer]})"
            status=1
        fi
    done < <(grep -rnE --include='*.cpp' --include='*.h' '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$layer" || true)
done
if [[ $status -eq 0 ]]; then echo "Every include points down."; fi
exit $status
