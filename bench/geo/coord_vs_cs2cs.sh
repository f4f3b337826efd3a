#!/usr/bin/env bash
# Whole-process throughput of tarvo-coord against PROJ's cs2cs on the same
# 1,000,000 points, in the same run: UTM zone 32N (format 3 vs EPSG:4326 ->
# EPSG:32632) and the British grid (format 6 vs EPSG:4326 -> EPSG:27700).
# Each program runs three times; the best CPU time (user + system) and the
# best wall time of each count, as other work on the machine inflates both.
# Prints the CPU seconds of each and the ratios (cs2cs time / tarvo-coord
# time) of CPU and of wall time.
#   bench/geo/coord_vs_cs2cs.sh [path/to/tarvo-coord] [points]
set -euo pipefail
cd "$(dirname "$0")/../.."
tool=${1:-build/release/tools/coord/tarvo-coord}
points=${2:-1000000}
[ -x "$tool" ] || { echo "build tarvo-coord first: cmake --build build/release --target tarvo-coord" >&2; exit 1; }
command -v cs2cs >/dev/null || { echo "cs2cs not found (Debian proj-bin)" >&2; exit 1; }

work=$(mktemp -d /tmp/coord_vs_cs2cs.XXXXXX)
trap 'rm -rf "$work"' EXIT

# Deterministic points: a lattice with an irrational step over each area.
awk -v n="$points" 'BEGIN { for (i = 0; i < n; i++) printf "%.7f %.7f\n", 47.3 + 7.7 * ((i * 0.6180339887) % 1), 6.0 + 6.0 * ((i * 0.7548776662) % 1) }' >"$work/utm.txt"
awk -v n="$points" 'BEGIN { for (i = 0; i < n; i++) printf "%.7f %.7f\n", 50.0 + 8.5 * ((i * 0.6180339887) % 1), -6.0 + 7.7 * ((i * 0.7548776662) % 1) }' >"$work/gb.txt"

seconds() {  # command...; prints the best CPU seconds (user + system) and the best wall seconds of three runs
  local best="" wall="" t
  for _ in 1 2 3; do
    t=$( { TIMEFORMAT='%U %S %R'; time "$@" ; } 2>&1 | awk '{ printf "%.3f %.3f", $1 + $2, $3 }')
    best=$(awk -v a="$best" -v b="${t% *}" 'BEGIN { print (a == "" || b < a) ? b : a }')
    wall=$(awk -v a="$wall" -v b="${t#* }" 'BEGIN { print (a == "" || b < a) ? b : a }')
  done
  echo "$best $wall"
}

run() {  # name input tarvo-format epsg
  local name=$1 input=$2 format=$3 epsg=$4
  local t c
  t=$(seconds sh -c "'$tool' --format $format < '$input' > '$work/$name.tarvo'")
  c=$(seconds sh -c "cs2cs -f %.3f EPSG:4326 $epsg < '$input' > '$work/$name.cs2cs'")
  [ "$(wc -l <"$work/$name.tarvo")" -eq "$points" ] || { echo "tarvo-coord wrote too few lines" >&2; exit 1; }
  [ "$(wc -l <"$work/$name.cs2cs")" -eq "$points" ] || { echo "cs2cs wrote too few lines" >&2; exit 1; }
  if grep -q '^\*' "$work/$name.tarvo"; then echo "tarvo-coord refused some points" >&2; exit 1; fi
  awk -v name="$name" -v n="$points" -v t="${t% *}" -v c="${c% *}" -v tw="${t#* }" -v cw="${c#* }" 'BEGIN {
    printf "%-14s %d points  tarvo-coord %6.2f s (%8.0f/s)  cs2cs %6.2f s (%8.0f/s)  ratio %.1fx (wall %.2f s / %.2f s, %.1fx)\n",
      name, n, t, n / t, c, n / c, c / t, tw, cw, cw / tw }'
}

run "UTM zone 32N" "$work/utm.txt" 3 EPSG:32632
run "British grid" "$work/gb.txt" 6 EPSG:27700
