#!/usr/bin/env bash
# Whole-process throughput of tarvo-coord --accurate against PROJ's cs2cs on
# the same 1,000,000 points, in the same run, for grids of each kind of
# transformation: Britain (Helmert, EPSG:27700), Italy zone 1 (several
# Helmert sets by area, EPSG:3003), New Zealand Map Grid (NTv2 grid file,
# EPSG:27200), and Britain's inverse (grid -> WGS-84). Both use the same
# library and the network stays off. Each program runs three times; the best
# CPU time (user + system) and the best wall time of each count. Prints the
# CPU seconds of each and the ratios (cs2cs time / tarvo-coord time), and
# checks that every number agrees with cs2cs to 1 cm.
#   bench/geo/coord_accurate_vs_cs2cs.sh [path/to/tarvo-coord] [points]
set -euo pipefail
cd "$(dirname "$0")/../.."
tool=${1:-build/release/tools/coord/tarvo-coord}
points=${2:-1000000}
[ -x "$tool" ] || { echo "build tarvo-coord first: cmake --build build/release --target tarvo-coord" >&2; exit 1; }
command -v cs2cs >/dev/null || { echo "cs2cs not found (Debian proj-bin)" >&2; exit 1; }
export PROJ_NETWORK=OFF

work=$(mktemp -d /tmp/coord_accurate_vs_cs2cs.XXXXXX)
trap 'rm -rf "$work"' EXIT

# Deterministic points: a lattice with an irrational step over each area
# (inside the area of use of each grid's transformation).
lattice() {  # lat0 dlat lon0 dlon
  awk -v n="$points" -v a="$1" -v da="$2" -v b="$3" -v db="$4" \
    'BEGIN { for (i = 0; i < n; i++) printf "%.7f %.7f\n", a + da * ((i * 0.6180339887) % 1), b + db * ((i * 0.7548776662) % 1) }'
}
lattice 50.0 8.5 -6.0 7.7 >"$work/gb.txt"
lattice 38.0 9.0 6.7 5.2 >"$work/it.txt"
lattice -46.5 11.5 167.0 11.0 >"$work/nz.txt"
# Britain's grid numbers for the inverse, easting northing as cs2cs reads them.
cs2cs -f %.3f EPSG:4326 EPSG:27700 <"$work/gb.txt" | awk '{ print $1, $2 }' >"$work/gb-grid-en.txt"
awk '{ print $2, $1 }' "$work/gb-grid-en.txt" >"$work/gb-grid-ne.txt"  # tarvo-coord takes northing easting

seconds() {  # command...; prints the best CPU seconds (user + system) and the best wall seconds of three runs
  local best="" wall="" t
  for _ in 1 2 3; do
    t=$( { TIMEFORMAT='%U %S %R'; time "$@" ; } 2>&1 | awk '{ printf "%.3f %.3f", $1 + $2, $3 }')
    best=$(awk -v a="$best" -v b="${t% *}" 'BEGIN { print (a == "" || b < a) ? b : a }')
    wall=$(awk -v a="$wall" -v b="${t#* }" 'BEGIN { print (a == "" || b < a) ? b : a }')
  done
  echo "$best $wall"
}

# name, tarvo-coord arguments and input, cs2cs arguments and input, and the
# awk program that prints the largest difference in metres of the two outputs
# pasted side by side (tarvo-coord's columns first).
run() {
  local name=$1 targs=$2 tin=$3 cargs=$4 cin=$5 diff=$6
  local t c
  t=$(seconds sh -c "'$tool' --accurate $targs < '$tin' > '$work/out.tarvo' 2>/dev/null")
  c=$(seconds sh -c "cs2cs -f %.4f $cargs < '$cin' > '$work/out.cs2cs'")
  [ "$(wc -l <"$work/out.tarvo")" -eq "$points" ] || { echo "tarvo-coord wrote too few lines" >&2; exit 1; }
  [ "$(wc -l <"$work/out.cs2cs")" -eq "$points" ] || { echo "cs2cs wrote too few lines" >&2; exit 1; }
  if grep -q '^\*' "$work/out.tarvo"; then echo "tarvo-coord refused some points" >&2; exit 1; fi
  local worst
  worst=$(paste "$work/out.tarvo" "$work/out.cs2cs" | awk -F'\t' "$diff")
  awk -v name="$name" -v n="$points" -v t="${t% *}" -v c="${c% *}" -v tw="${t#* }" -v cw="${c#* }" -v d="$worst" 'BEGIN {
    printf "%-22s %d points  tarvo-coord %6.2f s (%8.0f/s)  cs2cs %6.2f s (%8.0f/s)  ratio %.1fx (wall %.2f s / %.2f s, %.1fx)  max diff %s m\n",
      name, n, t, n / t, c, n / c, c / t, tw, cw, cw / tw, d }'
}

# Forward lines of tarvo-coord: label value label value zone first second;
# cs2cs: "x<TAB>y z". $6 $7 are ours, $8 and $9 cs2cs' (split on the blank).
ne_vs_en='{ split($9, y, " "); d = sqrt(($6 - y[1]) ^ 2 + ($7 - $8) ^ 2); if (d > m) m = d } END { printf "%.4f", m }'
xy_vs_ne='{ split($9, y, " "); d = sqrt(($7 - $8) ^ 2 + ($6 - y[1]) ^ 2); if (d > m) m = d } END { printf "%.4f", m }'
run "Britain (Helmert)" "--format 6" "$work/gb.txt" "EPSG:4326 EPSG:27700" "$work/gb.txt" "$ne_vs_en"
run "Italy zone 1 (Helmert)" "--format 12" "$work/it.txt" "EPSG:4326 EPSG:3003" "$work/it.txt" "$ne_vs_en"
run "NZ Map Grid (NTv2)" "--format 18" "$work/nz.txt" "EPSG:4326 EPSG:27200" "$work/nz.txt" \
  '{ split($9, y, " "); d = sqrt(($6 - $8) ^ 2 + ($7 - y[1]) ^ 2); if (d > m) m = d } END { printf "%.4f", m }'
# Inverse lines of tarvo-coord: lat lon; cs2cs with -f %.4f degrees is
# coarser (11 m), so the inverse is timed with 8 decimals and compared in
# metres on the ground.
run_inverse() {
  local t c
  t=$(seconds sh -c "'$tool' --accurate --inverse --format 6 < '$work/gb-grid-ne.txt' > '$work/out.tarvo' 2>/dev/null")
  c=$(seconds sh -c "cs2cs -f %.8f EPSG:27700 EPSG:4326 < '$work/gb-grid-en.txt' > '$work/out.cs2cs'")
  local worst
  worst=$(paste "$work/out.tarvo" "$work/out.cs2cs" | awk -F'\t' '{ split($4, y, " "); dn = ($1 - $3) * 111320; de = ($2 - y[1]) * 111320 * cos($1 * 3.14159265 / 180); d = sqrt(dn * dn + de * de); if (d > m) m = d } END { printf "%.4f", m }')
  awk -v n="$points" -v t="${t% *}" -v c="${c% *}" -v tw="${t#* }" -v cw="${c#* }" -v d="$worst" 'BEGIN {
    printf "%-22s %d points  tarvo-coord %6.2f s (%8.0f/s)  cs2cs %6.2f s (%8.0f/s)  ratio %.1fx (wall %.2f s / %.2f s, %.1fx)  max diff %s m\n",
      "Britain inverse", n, t, n / t, c, n / c, c / t, tw, cw, cw / tw, d }'
}
run_inverse
