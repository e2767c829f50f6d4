// The opentype.js reference of the layout benchmark: the same 10,000-character paragraph in the
// same font, laid out by font.getPath and every path command walked, so that the outline work is
// really done. Prints one JSON object on stdout for bench/compare:
//
//   node paragraph_bench.js FONT.ttf [MIN_SECONDS]
//
//   {"name": "opentype.js getPath", "iterations": N, "seconds": S, "items_per_second": R,
//    "commands": C}
'use strict';
const opentype = require('opentype.js');
const fs = require('node:fs');

// Must stay the text of Paragraph() in bench/layout/layout_bench.cpp.
function paragraph() {
  const words =
    'The quick brown fox jumps over the lazy dog while 0123456789 serial numbers mark every part. ';
  let text = '';
  while (text.length < 10000) text += words;
  return text.slice(0, 10000);
}

const [fontFile, minSecondsArg] = process.argv.slice(2);
if (!fontFile) {
  console.error('usage: node paragraph_bench.js FONT.ttf [MIN_SECONDS]');
  process.exit(2);
}
const minSeconds = Number.parseFloat(minSecondsArg || "1") || 1;
const bytes = fs.readFileSync(fontFile);
const font = opentype.parse(bytes.buffer.slice(bytes.byteOffset, bytes.byteOffset + bytes.length));
const text = paragraph();

// One paragraph: the path of the whole text at the unit size of the engine's benchmark, and a
// walk over its commands (a sum of their coordinates, which the caller prints).
function layOut() {
  const path = font.getPath(text, 0, 0, 1000);
  let sum = 0;
  for (const c of path.commands) {
    if (c.x !== undefined) sum += c.x + c.y;
    if (c.x1 !== undefined) sum += c.x1 + c.y1;
    if (c.x2 !== undefined) sum += c.x2 + c.y2;
  }
  return [path.commands.length, sum];
}

// Warm-up as the engine's benchmark has: the glyph objects and the JIT.
let [commands, checksum] = layOut();
for (let k = 0; k < 3; ++k) layOut();

let iterations = 0;
const start = process.cpuUsage();
const wall = process.hrtime.bigint();
let seconds = 0;
while (seconds < minSeconds || iterations < 3) {
  [commands, checksum] = layOut();
  ++iterations;
  const used = process.cpuUsage(start);
  seconds = (used.user + used.system) / 1e6;
}
console.log(JSON.stringify({
  name: 'opentype.js getPath',
  iterations,
  seconds,
  items_per_second: (iterations * text.length) / seconds,
  wall_seconds: Number(process.hrtime.bigint() - wall) / 1e9,
  commands,
  checksum,
}));
