// Compares the engine's SHX shapes (the text of shx_dump) with those of an independent reader,
// the npm package @mlightcad/shx-parser, in the font's own units.
//
//   node compare.mjs PARSER_ESM_FILE FONT.shx DUMP.txt KNOWN_DIFFERENCES.txt FIXTURE_NAME
//
// The reader draws arcs as chords of at most 10 degrees, so the shapes are compared as point
// sets up to that tessellation: every vertex of the reader's strokes must lie on the engine's
// geometry, and every vertex of the engine's strokes and every sampled point of its arcs must
// lie on the reader's strokes. Shapes listed for FIXTURE_NAME in KNOWN_DIFFERENCES.txt are
// reported but not failed. Exit status: 0 agreement, 1 disagreement, 2 usage or read errors.
import { readFileSync } from 'node:fs';
import { pathToFileURL } from 'node:url';

const [parserFile, fontFile, dumpFile, knownFile, fixture] = process.argv.slice(2);
if (!fixture) {
  console.error('usage: compare.mjs PARSER_ESM_FILE FONT.shx DUMP.txt KNOWN.txt NAME');
  process.exit(2);
}
const { ShxFont } = await import(pathToFileURL(parserFile).href);

// Shapes whose disagreement is understood, "fixture number reason" per line.
const known = new Map();
for (const line of readFileSync(knownFile, 'utf8').split('\n')) {
  const text = line.replace(/#.*/, '').trim();
  if (!text) continue;
  const [name, number, ...reason] = text.split(/\s+/);
  if (name === fixture) known.set(Number(number), reason.join(' '));
}

// The engine's shapes.
const ours = new Map();
let current = null;
for (const line of readFileSync(dumpFile, 'utf8').split('\n')) {
  const words = line.trim().split(/\s+/);
  if (words[0] === 'shape') {
    current = { polys: [], arcs: [], refused: false };
    ours.set(Number(words[1]), current);
  } else if (words[0] === 'poly' && current) {
    const values = words.slice(2).map(Number);
    const points = [];
    for (let k = 0; k + 1 < values.length; k += 2) points.push({ x: values[k], y: values[k + 1] });
    if (words[1] === '1' && points.length > 0) points.push(points[0]);
    current.polys.push(points);
  } else if (words[0] === 'arc' && current) {
    const [cx, cy, r, start, sweep] = words.slice(1).map(Number);
    current.arcs.push({ cx, cy, r, start, sweep });
  } else if (words[0] === 'refused' && current) {
    current.refused = true;
  }
}

const font = new ShxFont(new Uint8Array(readFileSync(fontFile)).buffer);
// Big fonts: the reader keeps each record whole and starts big-font shapes with the pen up,
// where the engine skips the name (up to its 0) and starts with the pen down. Give the reader
// the engine's view of the input, name dropped and a pen-down command in front; the commands
// themselves are still interpreted by the reader alone.
if (font.fontData.header.fontType === 'bigfont') {
  const records = font.fontData.content.data;
  for (const key of Object.keys(records)) {
    if (Number(key) === 0) continue;
    const bytes = records[key];
    const nameEnd = bytes.indexOf(0);
    records[key] = Uint8Array.from([1, ...bytes.slice(nameEnd + 1)]);
  }
}
const height = font.fontData.content.height;
const size = height > 0 ? height : 1;

function segmentDistance(p, a, b) {
  const dx = b.x - a.x;
  const dy = b.y - a.y;
  const len2 = dx * dx + dy * dy;
  let t = len2 > 0 ? ((p.x - a.x) * dx + (p.y - a.y) * dy) / len2 : 0;
  t = Math.max(0, Math.min(1, t));
  return Math.hypot(p.x - (a.x + t * dx), p.y - (a.y + t * dy));
}

function arcDistance(p, arc) {
  const angle = Math.atan2(p.y - arc.cy, p.x - arc.cx);
  // Is the angle within the swept range?
  const turn = 2 * Math.PI;
  let offset = arc.sweep >= 0 ? angle - arc.start : arc.start - angle;
  offset = ((offset % turn) + turn) % turn;
  if (offset <= Math.abs(arc.sweep) + 1e-12) {
    return Math.abs(Math.hypot(p.x - arc.cx, p.y - arc.cy) - arc.r);
  }
  const end = arc.start + arc.sweep;
  return Math.min(
    Math.hypot(p.x - arc.cx - arc.r * Math.cos(arc.start), p.y - arc.cy - arc.r * Math.sin(arc.start)),
    Math.hypot(p.x - arc.cx - arc.r * Math.cos(end), p.y - arc.cy - arc.r * Math.sin(end)));
}

function distanceToOurs(p, shape) {
  let best = Infinity;
  for (const poly of shape.polys) {
    if (poly.length === 1) best = Math.min(best, Math.hypot(p.x - poly[0].x, p.y - poly[0].y));
    for (let k = 0; k + 1 < poly.length; ++k) best = Math.min(best, segmentDistance(p, poly[k], poly[k + 1]));
  }
  for (const arc of shape.arcs) best = Math.min(best, arcDistance(p, arc));
  return best;
}

function distanceToTheirs(p, strokes) {
  let best = Infinity;
  for (const stroke of strokes) {
    for (let k = 0; k + 1 < stroke.length; ++k) best = Math.min(best, segmentDistance(p, stroke[k], stroke[k + 1]));
  }
  return best;
}

function compare(shape, theirs) {
  // Strokes of one point are pen positions, not lines.
  const strokes = (theirs ? theirs.polylines : []).filter((s) => s.length > 1);
  const scale = Math.max(1, ...shape.arcs.map((a) => a.r));
  const exact = 1e-6 * scale;
  for (const stroke of strokes) {
    for (const p of stroke) {
      const d = distanceToOurs(p, shape);
      if (d > exact) return `their point (${p.x}, ${p.y}) is ${d} off our outline`;
    }
  }
  for (const poly of shape.polys) {
    for (const p of poly) {
      const d = distanceToTheirs(p, strokes);
      if (d > exact) return `our point (${p.x}, ${p.y}) is ${d} off their outline`;
    }
  }
  for (const arc of shape.arcs) {
    // Chords of at most 10 degrees stay within r (1 - cos 5 degrees) of the arc.
    const tolerance = arc.r * (1 - Math.cos(Math.PI / 36)) + exact;
    const steps = Math.max(2, Math.ceil(Math.abs(arc.sweep) / (Math.PI / 90)));
    for (let k = 0; k <= steps; ++k) {
      const a = arc.start + (arc.sweep * k) / steps;
      const p = { x: arc.cx + arc.r * Math.cos(a), y: arc.cy + arc.r * Math.sin(a) };
      const d = distanceToTheirs(p, strokes);
      if (d > tolerance) return `our arc point (${p.x}, ${p.y}) is ${d} off their outline`;
    }
  }
  return null;
}

let failures = 0;
let agreed = 0;
let excused = 0;
for (const [number, shape] of ours) {
  let theirs;
  try {
    theirs = font.getCharShape(number, size);
  } catch (error) {
    theirs = undefined;
  }
  const problem = shape.refused ? 'refused by the engine' : compare(shape, theirs);
  if (problem === null) {
    ++agreed;
    if (known.has(number)) console.log(`${fixture} shape ${number}: listed as different but agrees`);
    continue;
  }
  if (known.has(number)) {
    ++excused;
    console.log(`${fixture} shape ${number}: differs as known (${known.get(number)}): ${problem}`);
  } else {
    ++failures;
    console.log(`${fixture} shape ${number}: DIFFERS: ${problem}`);
  }
}
console.log(`${fixture}: ${agreed} shapes agree, ${excused} known differences, ${failures} failures`);
process.exit(failures > 0 || ours.size === 0 ? 1 : 0);
