#!/usr/bin/env bash
# The libraries under src/ in their order: each may include only itself and those before it,
# so that no library reaches up into one that builds on it. Every folder of src/ must be in
# the order.
#   check-layers.sh <src-dir> <library>...
set -u
src=$1; shift
order=("$@")
bad=0
for dir in "$src"/*/; do
  lib=$(basename "$dir")
  [[ " ${order[*]} " == *" $lib "* ]] || { echo "check-layers: src/$lib is not in the library order"; bad=1; }
done
for ((i = 0; i < ${#order[@]}; i++)); do
  lib=${order[i]}
  below=" ${order[*]:0:i+1} "
  while IFS=: read -r file line include; do
    dep=${include#\#include \"}; dep=${dep%/}
    if [[ "$below" != *" $dep "* ]]; then
      echo "check-layers: ${file#"$src"/}:$line: $lib includes $dep, which builds on it"
      bad=1
    fi
  done < <(grep -rnoE '^#include "[a-z0-9_]+/' "$src/$lib" 2>/dev/null)
done
exit $bad
