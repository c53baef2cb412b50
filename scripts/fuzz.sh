#!/usr/bin/env bash
# scripts/fuzz.sh [RUNS]: runs every libFuzzer target for RUNS inputs (default 1000000).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
runs=${1:-1000000}
"$top/scripts/install-deps.sh"
"$top/scripts/build.sh" fuzz
for f in "$top"/build/fuzz/tests/fuzz/fuzz_*; do
  [ -x "$f" ] || continue
  echo "=== $(basename "$f"): $runs runs"
  log="$top/build/fuzz/$(basename "$f").log"
  dict="$top/tests/fuzz/$(basename "$f").dict"
  dict_args=()
  [ -f "$dict" ] && dict_args=(-dict="$dict")
  if ! (cd "$top/build/fuzz" && "$f" -runs="$runs" -print_final_stats=1 "${dict_args[@]}") >"$log" 2>&1; then
    tail -n 40 "$log"; echo "fuzz: $(basename "$f") found a fault (log: $log)" >&2; exit 1
  fi
  grep -E '^(stat::|Done)' "$log"
done
