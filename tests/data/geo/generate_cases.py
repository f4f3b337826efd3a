#!/usr/bin/env python3
"""Writes the grid case files of this folder from PROJ (Debian proj-bin).

Every expected number comes from PROJ's own operations (cct pipelines with
the same parameters as our conversions, or the EPSG transformation for RD),
so the cases check our formulas against an independent implementation.
Hand-picked published values and edge cases are kept in the EXTRA texts
below and copied into the files unchanged.

Run from anywhere:  python3 tests/data/geo/generate_cases.py
"""
import os
import subprocess

HERE = os.path.dirname(os.path.abspath(__file__))

IN_DEG = "+proj=pipeline +step +proj=axisswap +order=2,1 +step +proj=unitconvert +xy_in=deg +xy_out=rad"
OUT_DEG = "+step +proj=unitconvert +xy_in=rad +xy_out=deg +step +proj=axisswap +order=2,1"
WGS84 = "+a=6378137 +rf=298.257223563"


def molodensky(target_a, target_rf, dx, dy, dz):
    da = target_a - 6378137.0
    df = 1.0 / target_rf - 1.0 / 298.257223563
    return f"+step +proj=molodensky {WGS84} +da={da!r} +df={df!r} +dx={dx} +dy={dy} +dz={dz}"


def tmerc(a, b, lat0, lon0, x0, y0):
    return f"+step +proj=tmerc +k=1 +a={a!r} +b={b!r} +lat_0={lat0!r} +lon_0={lon0!r} +x_0={x0!r} +y_0={y0!r}"


def cct(pipeline, rows, inverse=False):
    args = ["cct", "-d", "10"] + (["-I"] if inverse else []) + pipeline.split()
    text = "".join(" ".join(repr(v) for v in r) + " 0 0\n" for r in rows)
    out = subprocess.run(args, input=text, capture_output=True, text=True, check=True).stdout
    return [[float(v) for v in line.split()[:3]] for line in out.splitlines() if line.strip()]


def round_half_up(v, step):
    import math
    f = math.floor(v / step)
    return (f if f + 0.5 > v / step else math.ceil(v / step)) * step


def band(lat):
    if 72 <= lat <= 84:
        return "X"
    return "CDEFGHJKLMNPQRSTUVW"[int((lat + 80) // 8)]


def swiss_pipeline():
    gon = 3240.0  # arc-seconds per gon
    r1, r2, r3 = -0.0001783 * gon, -0.0002939 * gon, -0.0002485 * gon
    return (f"{IN_DEG} +step +proj=cart +a=6378137 +es=0.00669438 "
            f"+step +proj=helmert +x=-660.075 +y=-13.551 +z=-369.34 +rx={-r3!r} +ry={-r1!r} +rz={-r2!r} "
            f"+s={(0.99999436 - 1) * 1e6!r} +convention=position_vector "
            f"+step +inv +proj=cart +a=6377397.155 +es=0.006674372231 "
            f"+step +proj=somerc +lat_0=46.952405555555556 +lon_0=7.439583333333333 +k_0=1 "
            f"+x_0=600000 +y_0=200000 +a=6377397.155 +es=0.006674372230614")


NZ = molodensky(6378388.0, 297.0, -84, 22, -209)
NZMG = "+step +proj=nzmg +lat_0=-41 +lon_0=173 +x_0=2510000 +y_0=6023150 +a=6378388 +rf=297"

# name, format, title, pipeline (None: EPSG via cs2cs), points, grid points for the inverse,
# forward tolerance, inverse tolerance (metres on the ground), rounding step of the format
GRIDS = [
    ("utm_wgs84", 3, "UTM on WGS-84 (format 3)", None,
     [(48.1374, 11.5755), (-33.9249, 18.4241), (0.5, 9.0), (60.1699, 24.9384), (-77.85, 166.67), (40.7128, -74.006)],
     [], 0.002, 0.1, None),
    ("utm_international", 4, "UTM on International 1924 (format 4)", None,
     [(48.2082, 16.3738), (-34.6037, -58.3816), (35.6762, 139.6503), (1.0, 103.8)], [], 0.002, 0.1, None),
    ("britain", 6, "Britain: Molodensky WGS-84 -> Airy, then the national grid (format 6)",
     IN_DEG + " " + molodensky(6377563.396, 299.3249646, -375, 111, -431) + " " +
     tmerc(6375020.480988971, 6353722.490487913, 49.0, -2.0, 400000.0, -100000.0),
     [(51.5007, -0.1246), (55.9533, -3.1883), (50.066, -5.715), (58.6373, -3.0689), (52.6576, 1.7179), (54.6, -7.3)],
     [(313177.27, 651409.903), (100000.0, 200000.0), (1000000.0, 300000.0)], 0.002, 0.1, None),
    ("finland", 8, "Finland zone 2 (format 8; zones 1-4 share the series)",
     IN_DEG + " " + tmerc(6378388.0, 6356911.946, 0.0, 24.0, 2500000.0, 0.0),
     [(60.1699, 24.9384), (65.0121, 25.4651), (61.4978, 23.761), (69.0, 22.8)],
     [(6700000.0, 2550000.0), (7500000.0, 2450000.0)], 0.002, 0.1, None),
    ("finland_zone4", 10, "Finland zone 4 (format 10)",
     IN_DEG + " " + tmerc(6378388.0, 6356911.946, 0.0, 30.0, 4500000.0, 0.0),
     [(62.6, 29.76), (61.06, 28.19)], [(6900000.0, 4450000.0)], 0.002, 0.1, None),
    ("ireland", 11, "Ireland, no datum step (format 11)",
     IN_DEG + " " + tmerc(6377563.395906615, 6356256.9612075, 53.5, -8.0, 200000.0, 250000.0),
     [(53.3498, -6.2603), (51.8985, -8.4756), (55.2, -7.5), (53.27, -9.05)],
     [(234000.0, 315000.0), (100000.0, 80000.0)], 0.002, 0.1, None),
    ("italy", 12, "Italy zone 1 (format 12)",
     IN_DEG + " " + tmerc(6375836.6448, 6354369.181221601, 0.0, 9.0, 1500000.0, 0.0),
     [(45.4642, 9.19), (41.9028, 12.4964), (39.2238, 9.1217), (46.5, 6.9)],
     [(5000000.0, 1500000.0), (4500000.0, 1700000.0)], 0.002, 0.1, None),
    ("italy_zone2", 13, "Italy zone 2 (format 13)",
     IN_DEG + " " + tmerc(6375836.6448, 6354369.181221601, 0.0, 15.0, 2520000.0, 0.0),
     [(40.8518, 14.2681), (38.1157, 13.3615), (41.1171, 16.8719)], [(4550000.0, 2600000.0)], 0.002, 0.1, None),
    ("sweden_rt90", 14, "Sweden RT90, no datum step (format 14)",
     IN_DEG + " " + tmerc(6377397.155, 6356078.963, 0.0, 15.8082777778, 1500000.0, 0.0),
     [(59.3293, 18.0686), (57.7089, 11.9746), (67.8558, 20.2253), (55.605, 13.0038)],
     [(6580000.0, 1628000.0), (7300000.0, 1700000.0)], 0.005, 0.1, None),
    ("sweden_sweref93", 15, "Sweden SWEREF93 (format 15)",
     IN_DEG + " " + tmerc(6378173.012938725, 6356788.192194079, 0.0, 15.8062819, 1500064.08, -667.968),
     [(59.3293, 18.0686), (63.8258, 20.263), (56.1612, 15.5869)], [(6400000.0, 1400000.0)], 0.005, 0.1, None),
    ("swiss", 16, "Switzerland: seven parameters to CH1903 at 600 m, oblique projection, 0.1 m (format 16)",
     swiss_pipeline(), [(47.3769, 8.5417), (46.2044, 6.1432), (46.0037, 8.9511), (46.8, 10.3), (47.55, 7.59)],
     [], 0.1, 0.1, 0.1),
    ("nzgd49", 17, "New Zealand 1949 datum, rounded to 5 decimals (format 17)",
     IN_DEG + " " + NZ + " " + OUT_DEG,
     [(-36.8485, 174.7633), (-41.2865, 174.7762), (-45.8788, 170.5028), (-43.5321, 172.6362)],
     [], 1.1e-5, 1.5, 1e-5),
    ("nzmg", 18, "New Zealand Map Grid: Molodensky to International 1924, whole metres (format 18)",
     IN_DEG + " " + NZ + " " + NZMG,
     [(-36.8485, 174.7633), (-41.2865, 174.7762), (-45.8788, 170.5028), (-46.41, 168.35), (-34.5, 172.8)],
     [(2660000.0, 5990000.0), (2200000.0, 5400000.0)], 1.0, 1.5, 1.0),
]


def num(v):
    return f"{v:.6f}" if abs(v) > 400 else f"{v:.10f}"


def utm_rows(fmt, points):
    a, es = ("6378137", "0.00669438") if fmt == 3 else ("6378388", "0.00672267")
    rows = []
    for lat, lon in points:
        zone = int((lon + 180) // 6) + 1
        pipe = f"{IN_DEG} +step +proj=utm +zone={zone} {'+south ' if lat < 0 else ''}+a={a} +es={es}"
        e, n, _ = cct(pipe, [(lat, lon)])[0]
        rows.append(((lat, lon), (n, e), f"{zone}{band(lat)}"))
    return rows


def write(name, fmt, title, pipeline, points, grid_points, tol, inv_tol, step):
    lines = [f"# {title}", "# Generated by generate_cases.py from PROJ (cct) with the same parameters; the",
             "# EXTRA part at the end is hand-written. Do not edit the generated part by hand.", "",
             f"operation format {fmt}", ""]
    if fmt in (3, 4):
        rows = utm_rows(fmt, points)
    else:
        rows = []
        for (lat, lon), out in zip(points, cct(pipeline, points)):
            x, y = out[0], out[1]
            if fmt == 17:
                first, second = x, y  # already lat, lon
            elif fmt in (16, 18):
                first, second = x, y  # X east, Y north
            else:
                first, second = y, x  # northing, easting
            if step:
                first, second = round_half_up(first, step), round_half_up(second, step)
            rows.append(((lat, lon), (first, second), ""))
    unit = "deg" if fmt == 17 else "m"
    lines += ["direction forward", f"tolerance {tol!r} {unit}", ""]
    for (lat, lon), (first, second), zone in rows:
        lines += [f"accept {lat!r} {lon!r}", f"expect {num(first)} {num(second)} {zone}".rstrip(),
                  f"roundtrip {inv_tol!r} m", ""]
    if grid_points:
        lines += ["direction inverse", f"tolerance {inv_tol!r} m", ""]
        # Field order -> PROJ's (x, y) order.
        proj_in = [(b, a) for a, b in grid_points] if fmt not in (16, 18) else list(grid_points)
        for (first, second), out in zip(grid_points, cct(pipeline, proj_in, inverse=True)):
            lat, lon = out[1], out[0]
            if "axisswap" in pipeline and "unitconvert" in pipeline:
                lat, lon = out[0], out[1]
            lines += [f"accept {num(first)} {num(second)}", f"expect {lat:.10f} {lon:.10f}", ""]
    extra = EXTRA.get(name)
    if extra:
        lines += ["# EXTRA", extra.strip(), ""]
    with open(os.path.join(HERE, f"{name}.cases"), "w") as f:
        f.write("\n".join(lines))


def write_rd():
    points = [(52.0, 5.3), (53.2, 6.5), (51.45, 3.6), (50.85, 5.7), (52.37, 4.89), (53.45, 6.83)]
    text = "".join(f"{lat} {lon}\n" for lat, lon in points)
    out = subprocess.run(["cs2cs", "-f", "%.4f", "EPSG:4326", "EPSG:28992"], input=text, capture_output=True,
                         text=True, check=True).stdout.split("\n")
    lines = ["# Netherlands RD (format 5): the approximation polynomials against the EPSG",
             "# transformation WGS 84 -> Amersfoort / RD New as PROJ carries it (a Helmert",
             "# transformation, itself good to about a metre), so the tolerance is 0.75 m; it",
             "# catches any wrong digit in the larger terms. Generated by generate_cases.py.", "",
             "operation format 5", "", "direction forward", "tolerance 0.75 m", ""]
    for (lat, lon), row in zip(points, out):
        x, y = (float(v) for v in row.split()[:2])
        lines += [f"accept {lat!r} {lon!r}", f"expect {x:.4f} {y:.4f}", "roundtrip 0.15 m", ""]
    lines += ["# EXTRA", EXTRA["rd"].strip(), ""]
    with open(os.path.join(HERE, "rd.cases"), "w") as f:
        f.write("\n".join(lines))


EXTRA = {
    "utm_wgs84": """
# The equator at the central meridian of zone 31, and the band and zone rules
# (numbers from PROJ's utm in the zone the rules pick).
tolerance 1 mm
accept 0 3
expect 0 500000 31N
accept -0.000001 3
expect 9999999.8895 500000 31M
accept 60 5
expect 6658157.2024 276979.9264 32V
roundtrip 0.1 m
accept 75 10
expect 8329692.6507 355706.5666 33X
accept 75 42
expect 8325798.2470 413362.9617 38X
tolerance 0 m
accept nan 5
expect failure
direction inverse
tolerance 1e-6 m
accept 0 500000 31N
expect 0 3
# No leading number: zone 0, central meridian -183 ('n' sorts after 'N': north).
tolerance 1 mm
accept 5000000 500000 nonsense
expect 45.1534771837 -183
tolerance 0.01 m
""",
    "utm_international": """
# Snyder's worked example (Map Projections, a Working Manual): Clarke 1866,
# 40 30' N, 73 30' W, zone 18: x = 127106.5 m from the central meridian,
# y = 4484124.4 m.
operation utm 5
tolerance 0.1 m
accept 40.5 -73.5
expect 4484124.4 627106.5 18T
roundtrip 0.01 m
""",
    "britain": """
# The Ordnance Survey's worked example of the projection on Airy alone:
# 52 39'27.2531" N, 1 43'4.5177" E -> E 651409.903, N 313177.270.
operation tm-projection 6
tolerance 1 mm
accept 52.65757030555556 1.7179215833333334
expect 313177.270 651409.903
direction inverse
tolerance 1e-8 deg
accept 313177.270 651409.903
expect 52.65757030555556 1.7179215833333334
operation format 6
direction inverse
tolerance 0 m
accept nan 400000
expect failure
accept 1e300 0
expect failure
""",
    "swiss": """
# Bern: about east 600000.7, north 199999.4, each with one decimal.
direction forward
tolerance 1e-9 m
accept 46.95108 7.43864
expect 600000.7 199999.4
# The WGS-84 -> CH1903 latitude iteration alternates between two doubles
# here (PROJ: 559049.960, 72175.825).
tolerance 0.1 m
accept 45.8 6.912
expect 559050.0 72175.8
roundtrip 0.1 m
""",
    "nzmg": """
# A position in Europe shows 0 and 0; the origin of the grid.
direction forward
tolerance 0 m
accept 52 5
expect 0 0
operation nzmg-projection
tolerance 1e-6 m
accept -41 173
expect 2510000 6023150
operation format 18
direction inverse
tolerance 0 m
accept 1809999 6000000
expect failure
accept 2500000 6900001
expect failure
""",
    "rd": """
# The WGS-84 position whose datum-corrected value is the polynomial's origin
# 52.15616056 N, 5.38763889 E (solved by hand from the correction terms)
# lies at X 155000, Y 463000, and back.
direction forward
tolerance 0.01 m
accept 52.15517327899761 5.387203589369635
expect 155000 463000
direction inverse
tolerance 0.02 m
accept 155000 463000
expect 52.15517327899761 5.387203589369635
""",
}

if __name__ == "__main__":
    for grid in GRIDS:
        write(*grid)
    write_rd()
