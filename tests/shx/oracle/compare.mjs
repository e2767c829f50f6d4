// node compare.mjs PARSER_ESM_FILE FONT.shx DUMP.txt KNOWN.txt FIXTURE_NAME: the engine's shapes
// (shx_dump's text) against @mlightcad/shx-parser's, in font units, as point sets: every vertex
// of either side lies on the other's strokes (the reader's arcs are chords of at most 10 degrees).
// Shapes listed for the fixture in KNOWN.txt are reported, not failed.
import { readFileSync } from 'node:fs';
import { pathToFileURL } from 'node:url';

const [parserFile, fontFile, dumpFile, knownFile, fixture] = process.argv.slice(2);
const { ShxFont } = await import(pathToFileURL(parserFile).href);
const lines = (file) => readFileSync(file, 'utf8').split('\n').map((l) => l.replace(/#.*/, '').trim().split(/\s+/));

const known = new Map();
for (const [names, number, ...reason] of lines(knownFile)) {
  if (names.split(',').includes(fixture)) known.set(Number(number), reason.join(' '));
}

// Closed polylines repeat their start; arcs are also kept as 0.05 degree polylines.
const ours = new Map();
let shape = null;
for (const [word, ...rest] of lines(dumpFile)) {
  const v = rest.map(Number);
  if (word === 'shape') ours.set(v[0], (shape = { polys: [], arcs: [], refused: false }));
  else if (word === 'refused') shape.refused = true;
  else if (word === 'poly') {
    const points = [];
    for (let k = 1; k + 1 < v.length; k += 2) points.push({ x: v[k], y: v[k + 1] });
    if (v[0] === 1) points.push(points[0]);
    shape.polys.push(points);
  } else if (word === 'arc') {
    const [cx, cy, r, start, sweep] = v;
    const steps = Math.max(2, Math.ceil(Math.abs(sweep) / (Math.PI / 3600)));
    const angles = Array.from({ length: steps + 1 }, (_, k) => start + (sweep * k) / steps);
    shape.arcs.push({ r, points: angles.map((a) => ({ x: cx + r * Math.cos(a), y: cy + r * Math.sin(a) })) });
  }
}

const font = new ShxFont(new Uint8Array(readFileSync(fontFile)).buffer);
// The reader keeps a big font's records whole and starts them with the pen up, where the engine
// skips the name and starts with the pen down: give the reader the engine's view of the bytes.
if (font.fontData.header.fontType === 'bigfont') {
  const records = font.fontData.content.data;
  for (const key of Object.keys(records)) {
    if (Number(key) !== 0) records[key] = Uint8Array.from([1, ...records[key].slice(records[key].indexOf(0) + 1)]);
  }
}
const size = font.fontData.content.height > 0 ? font.fontData.content.height : 1;

function distance(p, strokes) {
  let best = Infinity;
  for (const s of strokes) {
    for (let k = 0; k < Math.max(1, s.length - 1); ++k) {
      const a = s[k], b = s[k + 1] ?? s[k];
      const dx = b.x - a.x, dy = b.y - a.y, len2 = dx * dx + dy * dy;
      const t = len2 > 0 ? Math.max(0, Math.min(1, ((p.x - a.x) * dx + (p.y - a.y) * dy) / len2)) : 0;
      best = Math.min(best, Math.hypot(p.x - a.x - t * dx, p.y - a.y - t * dy));
    }
  }
  return best;
}

function compare(ours, theirs) {
  const strokes = (theirs ? theirs.polylines : []).filter((s) => s.length > 1);  // not pen positions
  const exact = 1e-6 * Math.max(1, ...ours.arcs.map((a) => a.r));
  const mine = [...ours.polys, ...ours.arcs.map((a) => a.points)];
  const checks = [
    ...strokes.flat().map((p) => [p, mine, exact, 'their point', 'our']),
    ...ours.polys.flat().map((p) => [p, strokes, exact, 'our point', 'their']),
    // a chord of 10 degrees strays r (1 - cos 5 degrees) from its arc
    ...ours.arcs.flatMap((a) => a.points.map((p) => [p, strokes, a.r * (1 - Math.cos(Math.PI / 36)) + exact, 'our arc point', 'their'])),
  ];
  for (const [p, other, tolerance, what, whose] of checks) {
    const d = distance(p, other);
    if (d > tolerance) return `${what} (${p.x}, ${p.y}) is ${d} off ${whose} outline`;
  }
  return null;
}

const count = { agree: 0, known: 0, failures: 0 };
for (const [number, shape] of ours) {
  let theirs;
  try {
    theirs = font.getCharShape(number, size);
  } catch {}
  const problem = shape.refused ? 'refused by the engine' : compare(shape, theirs);
  const reason = known.get(number);
  ++count[problem === null ? 'agree' : reason ? 'known' : 'failures'];
  if (problem === null && reason) console.log(`${fixture} shape ${number}: listed as different but agrees`);
  else if (problem !== null) console.log(`${fixture} shape ${number}: ${reason ? `differs as known (${reason})` : 'DIFFERS'}: ${problem}`);
}
console.log(`${fixture}: ${count.agree} shapes agree, ${count.known} known differences, ${count.failures} failures`);
process.exit(count.failures > 0 || ours.size === 0 ? 1 : 0);
