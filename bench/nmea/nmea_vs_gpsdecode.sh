#!/usr/bin/env bash
# Whole-process benchmark: tarvo-nmea --raw against gpsdecode -j (Debian
# gpsd-clients) on the same 1,000,000-line NMEA file, in the same run.
#
#   bench/nmea/nmea_vs_gpsdecode.sh [BUILD_DIR] [LINES]
#
# The file repeats the "$" lines of the shared corpus logs. Both programs read
# it on standard input and write to /dev/null; each runs three times and the
# fastest run counts. Peak memory (maximum resident set size) comes from
# wait4() in bench_nmea_measure, a small C++ program built beside the
# benchmarks. A second, ten times shorter file shows whether
# tarvo-nmea's memory stays flat with the input size.
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build/release}
lines=${2:-1000000}
tool="$build/tools/nmea/tarvo-nmea"
measurer="$build/bench/nmea/bench_nmea_measure"
corpus=../shared/corpus/nmea

for exe in "$tool" "$measurer"; do
  [ -x "$exe" ] || { echo "no $exe: build the targets tarvo-nmea and bench_nmea_measure first" >&2; exit 1; }
done
command -v gpsdecode >/dev/null || { echo "gpsdecode not found (Debian package gpsd-clients; scripts/setup installs it)" >&2; exit 1; }
command -v python3 >/dev/null || { echo "python3 not found" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Repeat the corpus sentences up to the wanted number of lines.
make_file() {  # count output
  cat "$corpus"/*.log | tr -d '\r' | grep '^\$' > "$work/sentences" || true
  local have
  have=$(wc -l < "$work/sentences")
  [ "$have" -gt 0 ] || { echo "no sentences in $corpus" >&2; exit 1; }
  python3 - "$work/sentences" "$1" "$2" <<'EOF'
import sys
lines = open(sys.argv[1], 'rb').read().splitlines(keepends=False)
want = int(sys.argv[2])
with open(sys.argv[3], 'wb') as out:
    written = 0
    while written < want:
        chunk = lines[: want - written]
        out.write(b''.join(l + b'\r\n' for l in chunk))
        written += len(chunk)
EOF
}

# Best wall time (s) of three runs and the largest peak RSS (KiB).
measure() {  # input command...
  "$measurer" 3 "$@"
}

make_file "$lines" "$work/big.nmea"
make_file $((lines / 10)) "$work/small.nmea"
echo "input: $(wc -l < "$work/big.nmea") lines, $(( $(stat -c %s "$work/big.nmea") / 1048576 )) MiB, from $(ls "$corpus"/*.log | wc -l) corpus logs"
echo "outputs: tarvo-nmea $("$tool" --raw < "$work/big.nmea" | wc -l) JSON lines, gpsdecode $(gpsdecode -j < "$work/big.nmea" | wc -l) JSON lines"

read -r tarvo_s tarvo_kb < <(measure "$work/big.nmea" "$tool" --raw)
read -r gpsd_s gpsd_kb < <(measure "$work/big.nmea" gpsdecode -j)
read -r small_s small_kb < <(measure "$work/small.nmea" "$tool" --raw)

python3 - "$tarvo_s" "$tarvo_kb" "$gpsd_s" "$gpsd_kb" "$small_s" "$small_kb" "$lines" <<'EOF'
import sys
ts, tk, gs, gk, ss, sk, n = map(float, sys.argv[1:])
print(f"tarvo-nmea --raw : {ts:7.3f} s  {n / ts / 1e6:6.2f} M lines/s  peak RSS {tk / 1024:6.1f} MiB")
print(f"gpsdecode -j     : {gs:7.3f} s  {n / gs / 1e6:6.2f} M lines/s  peak RSS {gk / 1024:6.1f} MiB")
print(f"tarvo-nmea on {int(n / 10)} lines: {ss:.3f} s, peak RSS {sk / 1024:.1f} MiB (memory flat: {'yes' if tk <= sk * 1.1 else 'NO'})")
ratio = gs / ts
print(f"ratio            : tarvo-nmea {ratio:.1f} times faster (target 10); peak memory {'under' if tk * 1024 < 10e6 else 'OVER'} 10 MB")
EOF
