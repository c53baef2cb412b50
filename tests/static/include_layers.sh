#!/usr/bin/env bash
# Every #include "room/..." of the product points to its own room or one below it:
# app on top; then opener and options (side by side, neither includes the other); capture;
# services; settings; res; base at the bottom. Prints each include that points up or
# across; exits 1 if there is one.
set -u
top=${1:-$(cd "$(dirname "$0")/../.." && pwd)}
cd "$top" || exit 2
declare -A level=([app]=6 [opener]=5 [options]=5 [capture]=4 [services]=3 [settings]=2 [res]=1
                  [base]=0)
bad=0 seen=0
for room in "${!level[@]}"; do
  for file in "$room"/*.cpp "$room"/*.h; do
    [ -f "$file" ] || continue
    seen=$((seen + 1))
    while IFS=: read -r line directive; do
      target=$(sed 's/^[^"]*"\([^"]*\)".*/\1/' <<<"$directive")
      to=${target%%/*}
      [ -n "${level[$to]+x}" ] || continue
      if [ "$to" != "$room" ] && [ "${level[$to]}" -ge "${level[$room]}" ]; then
        echo "$file:$line includes $target: $room may include only rooms below it"
        bad=1
      fi
    done < <(grep -n '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$file")
  done
done
[ "$seen" -gt 0 ] || { echo "no product sources found under $top"; exit 2; }
[ $bad = 0 ] && echo "includes: $seen files, every include points down"
exit $bad
