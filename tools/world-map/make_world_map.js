#!/usr/bin/env node
// make_world_map.js: draws the default map "theworld.gif" (a whole-world map
// in the equirectangular projection: land and sea, coastlines, country
// borders and a 30-degree graticule) and its calibration file "theworld.ini",
// from the public-domain Natural Earth 1:50m data in the npm package
// world-atlas (TopoJSON files land-50m.json and countries-50m.json).
//
// How to run it (the downloaded package stays outside the project):
//
//   tmp=$(mktemp -d) && (cd "$tmp" && npm pack world-atlas@2.0.2 && tar xzf world-atlas-2.0.2.tgz)
//   node tools/world-map/make_world_map.js "$tmp/package" data
//   rm -rf "$tmp"
//
// Output: OUTDIR/theworld.gif (2048 x 1024 pixels, an 8-colour palette) and
// OUTDIR/theworld.ini. Pixel column x is centred on longitude
// -180 + x * 360 / 2048 and row y on latitude 90 - y * 180 / 1024 (0.17578125
// degrees a pixel both ways), so two reference points calibrate it exactly:
// pixel (0, 0) at 90 N 180 W and pixel (2000, 1000) at 85.78125 S 171.5625 E
// (values the calibration file holds without rounding). The same input gives
// the same bytes: nothing depends on time or the machine.
'use strict';

const fs = require('fs');
const path = require('path');

const WIDTH = 2048;
const HEIGHT = 1024;
const DEGREES_PER_PIXEL = 360 / WIDTH; // = 180 / HEIGHT

// Palette indexes and colours (RGB).
const SEA = 0, LAND = 1, COAST = 2, BORDER = 3, GRATICULE = 4;
const PALETTE = [
  [168, 206, 226], // sea
  [238, 232, 208], // land
  [64, 96, 132],   // coastline
  [176, 128, 136], // country border
  [150, 190, 214], // graticule, on the sea only
  [0, 0, 0], [0, 0, 0], [0, 0, 0],
];
const GRATICULE_STEP = 30; // degrees

// The two reference points of the calibration file: [x, y, latitude, longitude].
const REF_POINTS = [
  [0, 0, 90, -180],
  [2000, 1000, 90 - 1000 * DEGREES_PER_PIXEL, -180 + 2000 * DEGREES_PER_PIXEL],
];

function usage() {
  process.stderr.write('usage: make_world_map.js WORLD_ATLAS_PACKAGE_DIR OUTDIR\n');
  process.exit(2);
}

// The arcs of a TopoJSON topology as arrays of [longitude, latitude].
function decodeArcs(topology) {
  const [sx, sy] = topology.transform.scale;
  const [tx, ty] = topology.transform.translate;
  return topology.arcs.map((arc) => {
    let x = 0, y = 0;
    return arc.map(([dx, dy]) => {
      x += dx;
      y += dy;
      return [x * sx + tx, y * sy + ty];
    });
  });
}

// A ring's points from its arc indexes (a negative index ~i is arc i reversed).
function ringPoints(arcs, indexes) {
  const points = [];
  for (const index of indexes) {
    const arc = index >= 0 ? arcs[index] : arcs[~index].slice().reverse();
    points.push(...(points.length ? arc.slice(1) : arc));
  }
  return points;
}

// Every ring of every polygon of a geometry collection.
function rings(topology, object, arcs) {
  const out = [];
  for (const g of topology.objects[object].geometries) {
    const polygons = g.type === 'Polygon' ? [g.arcs] : g.type === 'MultiPolygon' ? g.arcs : [];
    for (const polygon of polygons) for (const ring of polygon) out.push(ringPoints(arcs, ring));
  }
  return out;
}

const toX = (lon) => (lon + 180) / DEGREES_PER_PIXEL;
const toY = (lat) => (90 - lat) / DEGREES_PER_PIXEL;

// Natural Earth cuts nothing at the 180th meridian: a coastline that crosses
// it steps from longitude 180 to -180 (or back) in one segment. Such a step
// (more than 180 degrees, except along Antarctica's southern edge) is undone
// by adding 360 degrees, so the line stays continuous past the map's edge;
// the parts beyond +-180 are drawn again 360 degrees to the other side.
function crossesSeam(a, b) {
  return Math.abs(b[0] - a[0]) > 180 && !(a[1] < -89.99 && b[1] < -89.99);
}

function unwrap(points) {
  const out = [];
  let offset = 0;
  points.forEach((p, i) => {
    if (i > 0 && crossesSeam(points[i - 1], p)) offset += points[i - 1][0] > p[0] ? 360 : -360;
    out.push([p[0] + offset, p[1]]);
  });
  return out;
}

// The copies of a line (in degrees) that fall on the map.
function copiesOnMap(points) {
  const lons = points.map((p) => p[0]);
  const copies = [points];
  if (Math.max(...lons) > 180) copies.push(points.map(([lon, lat]) => [lon - 360, lat]));
  if (Math.min(...lons) < -180) copies.push(points.map(([lon, lat]) => [lon + 360, lat]));
  return copies;
}

// A ring made continuous across the 180th meridian; a ring that goes round
// the whole globe (Antarctica) closes along the map's own edges and stays
// as it is.
function unwrapRing(ring) {
  const u = unwrap(ring);
  return u.length && u[u.length - 1][0] === u[0][0] ? u : ring;
}

// Even-odd fill of rings (in degrees) at the pixel centres.
function fillRings(pixels, ringList, colour) {
  const crossings = Array.from({ length: HEIGHT }, () => []);
  for (const ring of ringList.flatMap((r) => copiesOnMap(unwrapRing(r)))) {
    for (let i = 0; i + 1 < ring.length; ++i) {
      const x0 = toX(ring[i][0]), y0 = toY(ring[i][1]);
      const x1 = toX(ring[i + 1][0]), y1 = toY(ring[i + 1][1]);
      if (y0 === y1) continue;
      const top = Math.min(y0, y1), bottom = Math.max(y0, y1);
      // Rows whose centre lies in [top, bottom): each crossing counted once.
      for (let row = Math.max(0, Math.ceil(top)); row < bottom && row < HEIGHT; ++row)
        crossings[row].push(x0 + ((row - y0) * (x1 - x0)) / (y1 - y0));
    }
  }
  for (let row = 0; row < HEIGHT; ++row) {
    const xs = crossings[row].sort((a, b) => a - b);
    for (let k = 0; k + 1 < xs.length; k += 2) {
      const from = Math.max(0, Math.ceil(xs[k])), to = Math.min(WIDTH - 1, Math.floor(xs[k + 1]));
      for (let x = from; x <= to; ++x) pixels[row * WIDTH + x] = colour;
    }
  }
}

// A one-pixel line between two points in degrees; `only` limits it to pixels
// of that colour when given.
function drawLine(pixels, a, b, colour, only) {
  let x0 = Math.round(toX(a[0])), y0 = Math.round(toY(a[1]));
  const x1 = Math.round(toX(b[0])), y1 = Math.round(toY(b[1]));
  const dx = Math.abs(x1 - x0), dy = -Math.abs(y1 - y0);
  const stepX = x0 < x1 ? 1 : -1, stepY = y0 < y1 ? 1 : -1;
  let error = dx + dy;
  for (;;) {
    if (x0 >= 0 && x0 < WIDTH && y0 >= 0 && y0 < HEIGHT) {
      const at = y0 * WIDTH + x0;
      if (only === undefined || pixels[at] === only) pixels[at] = colour;
    }
    if (x0 === x1 && y0 === y1) break;
    const e2 = 2 * error;
    if (e2 >= dy) { error += dy; x0 += stepX; }
    if (e2 <= dx) { error += dx; y0 += stepY; }
  }
}

// Segments along the map's own edge (the 180th meridian where Natural Earth
// cuts polygons, Antarctica's southern edge) are not coastlines.
function onMapEdge(a, b) {
  const edgeLon = (p) => Math.abs(Math.abs(p[0]) - 180) < 0.001;
  const edgeLat = (p) => p[1] < -89.99;
  return (edgeLon(a) && edgeLon(b)) || (edgeLat(a) && edgeLat(b));
}

function drawArcs(pixels, arcList, colour) {
  for (const arc of arcList)
    for (const copy of copiesOnMap(unwrap(arc)))
      for (let i = 0; i + 1 < copy.length; ++i)
        if (!onMapEdge(copy[i], copy[i + 1])) drawLine(pixels, copy[i], copy[i + 1], colour);
}

// Arcs that two different countries share: the land borders.
function borderArcs(topology, arcs) {
  const owners = new Map();
  topology.objects.countries.geometries.forEach((g, id) => {
    const polygons = g.type === 'Polygon' ? [g.arcs] : g.type === 'MultiPolygon' ? g.arcs : [];
    for (const polygon of polygons)
      for (const ring of polygon)
        for (const index of ring) {
          const arc = index >= 0 ? index : ~index;
          if (!owners.has(arc)) owners.set(arc, new Set());
          owners.get(arc).add(id);
        }
  });
  return [...owners].filter(([, ids]) => ids.size > 1).map(([arc]) => arcs[arc]);
}

// GIF89a, one frame, global palette, LZW (codes widen as the reader's table
// grows; a clear code restarts a full table).
function encodeGif(width, height, pixels, palette) {
  let tableBits = 1;
  while (1 << tableBits < palette.length) ++tableBits;
  const minCodeSize = Math.max(2, tableBits);
  const out = [];
  const word = (v) => out.push(v & 0xff, (v >> 8) & 0xff);
  out.push(...Buffer.from('GIF89a'));
  word(width);
  word(height);
  out.push(0x80 | 0x70 | (tableBits - 1), 0, 0);
  for (let i = 0; i < 1 << tableBits; ++i) out.push(...(palette[i] || [0, 0, 0]));
  out.push(0x2c);
  word(0);
  word(0);
  word(width);
  word(height);
  out.push(0, minCodeSize);

  const data = [];
  let block = [];
  let accumulator = 0, filled = 0;
  const byte = (b) => {
    block.push(b);
    if (block.length === 255) { data.push(255, ...block); block = []; }
  };
  const put = (code, bits) => {
    accumulator |= code << filled;
    filled += bits;
    while (filled >= 8) { byte(accumulator & 0xff); accumulator >>>= 8; filled -= 8; }
  };
  const clear = 1 << minCodeSize, end = clear + 1;
  let table = new Map(), next = end + 1, bits = minCodeSize + 1;
  put(clear, bits);
  let prefix = pixels[0];
  for (let i = 1; i < pixels.length; ++i) {
    const k = pixels[i];
    const key = prefix * 256 + k;
    const found = table.get(key);
    if (found !== undefined) { prefix = found; continue; }
    put(prefix, bits);
    if (next < 4096) {
      table.set(key, next);
      if (next === 1 << bits && bits < 12) ++bits;
      ++next;
    } else {
      put(clear, bits);
      table = new Map();
      next = end + 1;
      bits = minCodeSize + 1;
    }
    prefix = k;
  }
  put(prefix, bits);
  put(end, bits);
  if (filled > 0) byte(accumulator & 0xff);
  if (block.length) data.push(block.length, ...block);
  data.push(0);
  for (const b of data) out.push(b);
  out.push(0x3b);
  return Buffer.from(out);
}

// The calibration file, in the lines the program itself writes.
function calibrationText() {
  let text = '';
  REF_POINTS.forEach(([x, y, lat, lon], i) => {
    text += `x${i + 1}=${x}\ny${i + 1}=${y}\nlat${i + 1}=${lat.toFixed(6)}\nlon${i + 1}=${lon.toFixed(6)}\n`;
  });
  return text + 'sx=0\nsy=0\n';
}

function main() {
  const [packageDir, outDir] = process.argv.slice(2);
  if (!packageDir || !outDir) usage();
  const land = JSON.parse(fs.readFileSync(path.join(packageDir, 'land-50m.json'), 'utf8'));
  const countries = JSON.parse(fs.readFileSync(path.join(packageDir, 'countries-50m.json'), 'utf8'));
  const landArcs = decodeArcs(land);
  const countryArcs = decodeArcs(countries);

  const pixels = new Uint8Array(WIDTH * HEIGHT).fill(SEA);
  fillRings(pixels, rings(land, 'land', landArcs), LAND);
  for (let lon = -180 + GRATICULE_STEP; lon < 180; lon += GRATICULE_STEP)
    drawLine(pixels, [lon, 90], [lon, -90], GRATICULE, SEA);
  for (let lat = -90 + GRATICULE_STEP; lat < 90; lat += GRATICULE_STEP)
    drawLine(pixels, [-180, lat], [180 - DEGREES_PER_PIXEL, lat], GRATICULE, SEA);
  drawArcs(pixels, borderArcs(countries, countryArcs), BORDER);
  drawArcs(pixels, landArcs, COAST);

  fs.mkdirSync(outDir, { recursive: true });
  const gif = encodeGif(WIDTH, HEIGHT, pixels, PALETTE);
  // Written beside and renamed, so a failed run leaves the old files whole.
  for (const [name, bytes] of [['theworld.gif', gif], ['theworld.ini', Buffer.from(calibrationText())]]) {
    const target = path.join(outDir, name);
    fs.writeFileSync(target + '.tmp', bytes);
    fs.renameSync(target + '.tmp', target);
  }
  process.stdout.write(`theworld.gif: ${WIDTH} x ${HEIGHT}, ${gif.length} bytes\n`);
}

main();
