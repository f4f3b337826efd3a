#!/usr/bin/env bash
# Whole-process benchmark of the map picture decoders, each against its peer
# on the same file in the same run:
#   - a generated 16,000 x 16,000 JPEG map: tarvo-image (open and decode, as
#     the map page loads it) against libjpeg-turbo's djpeg, wall time and peak
#     memory; the peak is also given against the decoded pixels (3 bytes a
#     pixel, 768,000,000 bytes);
#   - generated GIF and BMP maps (SIDE x SIDE): tarvo-image against
#     ImageMagick's convert (decode only: "convert FILE null:");
#   - then bench_map_image: one ScaleRegion of 1920 x 1080 at zooms 0.25..8,
#     and bench_map_page (the whole repaint) when it is built.
#
#   bench/map/bench_map_image.sh [BUILD_DIR] [JPEG_SIDE] [SIDE]
#
# The files are made in a temporary folder by bench_map_image_make and
# removed at the end. Each program runs three times; the fastest run counts,
# and the largest peak resident set size (from wait4).
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build/release}
jpeg_side=${2:-16000}
side=${3:-4000}
tool="$build/tools/image/tarvo-image"
maker="$build/bench/map/bench_map_image_make"
measurer="$build/bench/map/bench_map_image_measure"
scaler="$build/bench/map/bench_map_image"
for exe in "$tool" "$maker" "$measurer" "$scaler"; do
  [ -x "$exe" ] || { echo "no $exe: build tarvo-image, bench_map_image, bench_map_image_make and bench_map_image_measure" >&2; exit 1; }
done
convert=/usr/bin/convert
command -v djpeg >/dev/null || { echo "djpeg not found (Debian package libjpeg-turbo-progs)" >&2; exit 1; }
[ -x "$convert" ] || { echo "$convert not found (Debian package imagemagick)" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/tarvo-bench-map.XXXXXX")
trap 'rm -rf "$work"' EXIT

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

# The GIF and BMP writers and our decoders agree on a small map first.
"$maker" gif "$work/check.gif" 301
"$maker" bmp8 "$work/check.bmp" 301
"$tool" "$work/check.gif" --pam "$work/check-gif.pam" >/dev/null
"$tool" "$work/check.bmp" --pam "$work/check-bmp.pam" >/dev/null
cmp -s "$work/check-gif.pam" "$work/check-bmp.pam" || { echo "generated GIF and BMP decode differently" >&2; exit 1; }

echo "making a ${jpeg_side} x ${jpeg_side} JPEG map ..."
"$maker" jpeg "$work/map.jpg" "$jpeg_side"
echo "JPEG file: $(($(stat -c %s "$work/map.jpg") / 1048576)) MiB"
read -r t_ours c_ours m_ours < <("$measurer" 3 "$tool" "$work/map.jpg")
read -r t_djpeg c_djpeg m_djpeg < <("$measurer" 3 djpeg -outfile /dev/null "$work/map.jpg")
pixels_kib=$((jpeg_side * jpeg_side * 3 / 1024))
printf 'jpeg  %dx%d  tarvo-image %6.3f s wall %6.3f s cpu %8d KiB | djpeg %6.3f s wall %6.3f s cpu %8d KiB\n' \
  "$jpeg_side" "$jpeg_side" "$t_ours" "$c_ours" "$m_ours" "$t_djpeg" "$c_djpeg" "$m_djpeg"
printf '      speed ratio djpeg/tarvo: wall %s, cpu %s | peak memory / decoded pixels %s\n' \
  "$(ratio "$t_djpeg" "$t_ours")" "$(ratio "$c_djpeg" "$c_ours")" "$(ratio "$m_ours" "$pixels_kib")"

for kind in gif bmp8 bmp24; do
  ending=${kind%8}; ending=${ending%24}
  file="$work/map-$kind.$ending"
  "$maker" "$kind" "$file" "$side"
  read -r t_ours c_ours _ < <("$measurer" 3 "$tool" "$file")
  read -r t_im c_im _ < <("$measurer" 3 "$convert" "$file" null:)
  mpix=$(awk -v s="$side" 'BEGIN { printf "%.1f", s * s / 1e6 }')
  printf '%-5s %dx%d  tarvo-image %6.3f s wall %6.3f s cpu (%s Mpx/s) | convert %6.3f s wall %6.3f s cpu (%s Mpx/s)\n' \
    "$kind" "$side" "$side" "$t_ours" "$c_ours" "$(ratio "$mpix" "$c_ours")" "$t_im" "$c_im" "$(ratio "$mpix" "$c_im")"
  printf '      speed ratio tarvo/convert: wall %s, cpu %s\n' "$(ratio "$t_im" "$t_ours")" "$(ratio "$c_im" "$c_ours")"
  rm -f "$file"
done

TARVO_BENCH_MAP="$work/map.jpg" "$scaler" --benchmark_min_time=0.5

# The whole map page repaint (image, track, POIs) on the same JPEG, when the
# window library was built.
page="$build/bench/map/bench_map_page"
if [ -x "$page" ]; then
  TARVO_BENCH_MAP="$work/map.jpg" QT_QPA_PLATFORM=offscreen "$page" 20
fi
