// Reads a G-code file with the toolpath interpreter of a GRBL sender (gcode-toolpath) and
// prints its moves as JSON lines: [motion, x0, y0, z0, x1, y1, z1] for G0 and G1, and the
// centre [..., cx, cy] after them for G2 and G3, in mm.
const Toolpath = require("gcode-toolpath").default || require("gcode-toolpath");

const moves = [];
const at = (v) => [v.x, v.y, v.z];
const toolpath = new Toolpath({
  addLine: (modal, v1, v2) => moves.push([modal.motion, ...at(v1), ...at(v2)]),
  addArcCurve: (modal, v1, v2, v0) => moves.push([modal.motion, ...at(v1), ...at(v2), v0.x, v0.y]),
});
toolpath.loadFromFileSync(process.argv[2]);
for (const m of moves) console.log(JSON.stringify(m));
