#!/usr/bin/python3
"""vuzodo render --weld against shapely, one row per case of overlapping characters:
  - the welded outline's contours overlap nowhere and enclose the area of the union of the
    characters' own outlines (each by the nonzero rule, taken one character at a time through
    python/vuzodo), within 0.1 %;
  - the welded line hatch marks no length twice, where the characters' own hatches do;
  - characters apart keep their outline's and hatch's length, open strokes included.
The line gaps are gaps of the hatch, the --gap values push the characters into each other.
Exits 77 (skipped) when shapely is missing."""
import bisect
import json
import math
import os
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
try:
    from shapely.geometry import LineString
    from shapely.ops import unary_union
except ImportError:
    print("check_weld: shapely is missing (apt-get install python3-shapely): skipped")
    sys.exit(77)
sys.path.insert(0, HERE)
from check_hatch import glyph_region, vuzodo  # noqa: E402

CLI = os.environ.get("VUZODO_CLI", "vuzodo")
UNIT = 1000.0
# A shape font whose "A" is a full circle of radius 2 about its start, entered 2 east of it,
# where the pen stays: each circle covers half of the next.
CIRCLES = "*0,4,CIRCLES\n4,0,0,0\n*041,7,A\n2,020,1,10,2,000,0\n"
# (what, font, text, --gap and the hatch's line gap in user units, its angle in radians)
CASES = [
    ("Latin pair pushed together", "Arial", "OO", -0.3, 0.04, 0.0),
    ("calligraphic italic joined", "Z003", "mum", -0.18, 0.03, 0.5),
    ("shape font of arcs", "circles", "AAA", 0.0, 0.05, 1.0),
]

# Characters apart keep their drawing, strokes that enclose nothing included, and on one line
# their hatch lines: the welded outline and hatch are as long as the characters' own.
# (what, font, text, --gap)
APART = [("stroke font, open and closed", os.path.join(HERE, "..", "ovf", "data", "hershey.fnt"),
          "ABO", 0.1)]


def strokes_of(records):
    """Absolute point lists of a stroke list's records (straight segments only)."""
    strokes, x, y, current = [], 0, 0, None
    for r in records:
        nx, ny = x + r[1], y + r[2]
        if r[0] == 41:
            if current is None:
                current = [(x, y)]
                strokes.append(current)
            current.append((nx, ny))
        else:
            current = None
        x, y = nx, ny
    return strokes


def offset(segment, angle):
    """How far the segment's middle lies from the line at `angle` through the origin."""
    (ax, ay), (bx, by) = segment
    return ((ay + by) * math.cos(angle) - (ax + bx) * math.sin(angle)) / 2


def twice(records, gap, angle):
    """The share of the hatch segments' length that another segment on the same line covers.
    Each character cuts the lines in its own frame, so their ends are rounded apart: segments
    go to the line nearest their middle (lines through the origin, `gap` apart) and overlap
    as intervals along it."""
    dx, dy = math.cos(angle), math.sin(angle)
    lines, total = {}, 0.0
    for (ax, ay), (bx, by) in strokes_of(records):
        k = round(offset(((ax, ay), (bx, by)), angle) / gap)
        t0, t1 = sorted((ax * dx + ay * dy, bx * dx + by * dy))
        lines.setdefault(k, []).append((t0, t1))
        total += t1 - t0
    covered, end = 0.0, -math.inf
    for k in lines:
        end = -math.inf
        for t0, t1 in sorted(lines[k]):
            covered += max(0.0, t1 - max(t0, end))
            end = max(end, t1)
    return max(0.0, total - covered) / total


def shoelace(ring):
    return sum(ax * by - bx * ay for (ax, ay), (bx, by) in zip(ring, ring[1:] + ring[:1])) / 2


def render(font, text, gap, line_gap, angle, weld):
    hatch = f"line:gap={line_gap},angle={angle}"
    args = [CLI, "render", text, "-f", font, f"--gap={gap}", "--hatch", hatch, "--format=json",
            "-o", "-"] + (["--weld"] if weld else [])
    return json.loads(subprocess.run(args, check=True, capture_output=True).stdout)["records"]


def own_union(font, text, gap):
    """The union of each character's own region, its arcs flattened far finer than 0.1 %."""
    t = vuzodo.Text(font=font, height=1.0, unit=UNIT, gap=gap)
    t.append(text)
    regions, x, y = [], 0, 0
    for i in range(t.character_count()):
        strokes = t.polylines("outline", arc_step=0.002, index=i)
        region = glyph_region([[(x + px, y + py) for px, py in s] for s in strokes])
        regions += [region] if region is not None else []
        x += sum(r[1] for r in t.records("outline", i))
        y += sum(r[2] for r in t.records("outline", i))
    return unary_union(regions)


def main():
    failures = 0
    with tempfile.TemporaryDirectory() as folder:
        shp = os.path.join(folder, "circles.shp")
        with open(shp, "w", encoding="ascii") as out:
            out.write(CIRCLES)
        fonts = {"circles": os.path.join(folder, "circles.shx")}
        subprocess.run([CLI, "shx-compile", shp, "-o", fonts["circles"]], check=True,
                       capture_output=True)
        for what, font, text, gap, line_gap, angle in CASES:
            font = fonts.get(font, font)
            welded = render(font, text, gap, line_gap, angle, True)
            # Signed areas add up to the union's only when no contours overlap: holes run the
            # other way round from outer contours.
            area = abs(sum(shoelace(ring) for ring in strokes_of(welded["outline"])))
            want = own_union(font, text, gap).area
            before, after = (twice(render(font, text, gap, line_gap, angle, weld)["fill"],
                                   line_gap * UNIT, angle) for weld in (False, True))
            bad = abs(area - want) > 1e-3 * want or before < 0.01 or after > 1e-6
            failures += bad
            print(f"{what:28} area {area:.0f} / union {want:.0f} = {area / want:.5f}; marked twice "
                  f"{100 * before:.3f} % -> {100 * after:.4f} %{'  FAILED' if bad else ''}")
        for what, font, text, gap in APART:
            own, welded = (render(font, text, gap, 0.03, 0.3, weld) for weld in (False, True))
            ratios = [sum(LineString(s).length for s in strokes_of(welded[k])) /
                      sum(LineString(s).length for s in strokes_of(own[k]))
                      for k in ("outline", "fill")]
            # The same lines: each welded segment within a unit and a half of one of the own.
            lines = sorted(offset(s, 0.3) for s in strokes_of(own["fill"]))
            off = sum(min(abs(o - q) for q in lines[max(0, i - 1):i + 1]) > 1.5 for o, i in
                      ((o, bisect.bisect(lines, o)) for o in map(lambda s: offset(s, 0.3),
                                                                  strokes_of(welded["fill"]))))
            bad = any(abs(r - 1) > 1e-3 for r in ratios) or off > 0
            failures += bad
            print(f"{what:28} outline and hatch lengths / own: {ratios[0]:.5f} {ratios[1]:.5f}, "
                  f"{off} segments off the own lines{'  FAILED' if bad else ''}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
