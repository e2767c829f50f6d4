#!/usr/bin/python3
"""Geometry check of the ring hatches (offset fill and helix) on real glyphs.

The engine is driven through its C interface (the vuzodo package); the
glyph's border and the hatch polylines, as the host sees them, are measured
with shapely (GEOS), not the library's own geometry: outside (0), clearance
against the gap less the tolerances, self and cross crossings (0) and the
unmarked share (at most 1 %; "thin" strokes reported only), as docs/hatching.md
defines them.

Usage: check_hatch.py [--quick | --full] [--fail] [--cases]
  --quick  nine glyphs that once showed a defect, seven of the patterns
           (a few seconds; the default, and ctest's hatching.geometry_check);
  --full   the font x letter x pattern matrix of docs/hatching.md;
  --fail   exit 1 when a limit is broken (for ctest);
  --cases  print every case, not only the summary and the failures.
The library is found through VUZODO_LIBRARY (see python/vuzodo).
"""
import argparse
import math
import os
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "python"))

try:
    from shapely.geometry import LineString, MultiLineString, Point, Polygon
    from shapely.ops import polygonize, unary_union
except ImportError:  # pragma: no cover - reported as one line
    sys.exit("check_hatch: shapely is missing (apt-get install python3-shapely)")

import vuzodo  # noqa: E402

UNIT = 1000.0     # output units per user unit
HEIGHT = 10.0     # text height, user units: a cap height of about 7,000 output units
ARC_STEP = 0.002  # radians: the border's arcs flattened far finer than any gap
UNMARKED_LIMIT = 0.01

FULL_FONTS = [("Liberation Serif", 0), ("DejaVu Sans", 0), ("FreeSerif", 0),
              ("Nimbus Sans", 0), ("Z003", 0), ("Carlito", 3)]
FULL_LETTERS = "AgOR8%"
FULL_GAPS = [0.1]  # user units (the quick cases add 0.2)

# Glyphs that showed a defect before the fixes (font, style, letter, gap).
QUICK_CASES = [("DejaVu Sans", 0, "g", 0.2), ("Liberation Serif", 0, "A", 0.1),
               ("Liberation Serif", 0, "O", 0.2), ("Nimbus Sans", 0, "R", 0.1),
               ("Z003", 0, "8", 0.1), ("FreeSerif", 0, "%", 0.1), ("Carlito", 3, "O", 0.2),
               ("Liberation Sans", 0, "A", 0.1), ("Liberation Serif", 0, "8", 0.1)]

CORNERS = {0: "miter", 1: "bevel", 2: "round"}
# The patterns of the quick mode: each algorithm, corner and helix style once.
QUICK_PATTERNS = {"offset a0 miter", "offset a0 bevel", "offset a1 round", "offset a0 round tol3",
                  "helix out a0 round", "helix out a1 bevel", "helix in a0 miter"}


# Arc tolerance of the round corners in thousandths of U, for the coarse case.
COARSE_ARC = 3


def patterns():
    """(name, corner tolerance in thousandths of U or None, add) for every ring
    pattern; add(lib, gap) requests it with the gap in user units."""
    out = []
    for alg in (0, 1):
        for corner in (0, 1, 2):
            out.append((f"offset a{alg} {CORNERS[corner]}", None,
                        lambda lib, g, a=alg, c=corner:
                        lib.AddTTFHatchPatternOffsetFillingEx(g, 0, a, c, 0, 0)))
    out.append((f"offset a0 round tol{COARSE_ARC}", COARSE_ARC,
                lambda lib, g: lib.AddTTFHatchPatternOffsetFillingEx(g, 0, 0, 2, 0, COARSE_ARC)))
    for style in (0, 1):
        for alg in (0, 1):
            for corner in (0, 1, 2):
                out.append((f"helix {'in' if style else 'out'} a{alg} {CORNERS[corner]}", None,
                            lambda lib, g, s=style, a=alg, c=corner:
                            lib.AddTTFHatchPatternHelixFillingEx(g, s, a, c, 0, 0)))
    return out


def winding(rings, x, y):
    w = 0
    for ring in rings:
        n = len(ring)
        for i in range(n):
            ax, ay = ring[i]
            bx, by = ring[(i + 1) % n]
            cross = (bx - ax) * (y - ay) - (x - ax) * (by - ay)
            if ay <= y < by and cross > 0:
                w += 1
            elif by <= y < ay and cross < 0:
                w -= 1
    return w


def glyph_region(strokes):
    """The glyph as the nonzero union of its closed border contours: the faces
    of the contours' arrangement whose winding number is not zero."""
    rings = [s[:-1] if s[0] == s[-1] else s for s in strokes if len(s) >= 3]
    rings = [r for r in rings if len(r) >= 3]
    if not rings:
        return None
    lines = unary_union([LineString(list(r) + [r[0]]) for r in rings])
    faces = [f for f in polygonize(lines)
             if winding(rings, *f.representative_point().coords[0]) != 0]
    return unary_union(faces) if faces else None


def node_ends(lines):
    """The end points of the pieces that noding `lines` splits them into."""
    noded = unary_union(lines)
    ends = set()
    for piece in getattr(noded, "geoms", [noded]):
        ends.add(piece.coords[0])
        ends.add(piece.coords[-1])
    return ends


def crossings(paths):
    """Proper crossings: points where noding the paths adds a vertex that none
    of them had. Returns (within one path, between paths)."""
    own = 0
    all_nodes = set()
    vertices = set()
    for p in paths:
        vs = set(p)
        vertices |= vs
        if len(p) < 2:
            continue
        new = {q for q in node_ends(LineString(p)) if q not in vs}
        own += len(new)
        all_nodes |= new
    multi = [LineString(p) for p in paths if len(p) >= 2]
    if len(multi) < 2:
        return own, 0
    ends = node_ends(MultiLineString(multi))
    between = {q for q in ends if q not in vertices and q not in all_nodes}
    return own, len(between)


def chord_tolerance(gap):
    """The library's documented chord tolerance, output units."""
    return max(UNIT / 10000, min(0.001 * UNIT, gap / 50))


def check(font, style, letter, gap_user, arc, add):
    t = vuzodo.Text(font=font, height=HEIGHT, unit=UNIT, style=style)
    lib = vuzodo.native()
    add(lib, gap_user)
    t.append(letter)
    border = t.polylines("border", arc_step=ARC_STEP, aligned=False)
    hatch = [s for s in t.polylines("polylines", aligned=False) if len(s) >= 2]
    region = glyph_region(border)
    if region is None or region.area <= 0:
        return None
    gap = gap_user * UNIT
    result = {"paths": len(hatch), "length": 0.0, "outside": 0.0, "clearance": math.inf,
              "self": 0, "cross": 0, "unmarked": 0.0, "thin": 0.0}
    if hatch:
        lines = MultiLineString([LineString(p) for p in hatch])
        result["length"] = lines.length
        # Records are rounded to output units: half a unit either way is not outside.
        result["outside"] = lines.difference(region.buffer(1.0)).length / lines.length
        result["clearance"] = lines.distance(region.boundary)
        result["self"], result["cross"] = crossings([[tuple(q) for q in p] for p in hatch])
        marked = unary_union([lines, region.boundary]).buffer(gap / 2 * 1.02, 8)
    else:
        marked = region.boundary.buffer(gap / 2 * 1.02, 8)
    unmarked = region.difference(marked)
    ringed = region.buffer(-gap, 32).buffer(gap, 32)
    result["unmarked"] = unmarked.intersection(ringed).area / region.area
    result["thin"] = unmarked.area / region.area
    # Flattening of the outline takes the chord tolerance, round corners
    # theirs (the chord tolerance unless asked otherwise); the records'
    # rounding takes one more unit.
    corner = chord_tolerance(gap) if arc is None else arc * UNIT / 1000
    result["bound"] = gap - chord_tolerance(gap) - corner - 1.0
    return result


def failures(r):
    bad = []
    if r["outside"] > 0:
        bad.append(f"outside {100 * r['outside']:.3f} %")
    if r["clearance"] < r["bound"]:
        bad.append(f"clearance {r['clearance']:.1f} < {r['bound']:.1f}")
    if r["self"]:
        bad.append(f"{r['self']} self-crossings")
    if r["cross"]:
        bad.append(f"{r['cross']} path crossings")
    if r["unmarked"] > UNMARKED_LIMIT:
        bad.append(f"unmarked {100 * r['unmarked']:.1f} %")
    return bad


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    mode = ap.add_mutually_exclusive_group()
    mode.add_argument("--quick", action="store_true")
    mode.add_argument("--full", action="store_true")
    ap.add_argument("--fail", action="store_true")
    ap.add_argument("--cases", action="store_true")
    args = ap.parse_args()

    glyphs = ([(f, s, ch, g) for f, s in FULL_FONTS for ch in FULL_LETTERS for g in FULL_GAPS]
              if args.full else QUICK_CASES)
    start = time.time()
    results = {}  # pattern name -> [(result, failures)]
    for name, arc, add in patterns():
        if not args.full and name not in QUICK_PATTERNS:
            continue
        for font, style, letter, gap in glyphs:
            r = check(font, style, letter, gap, arc, add)
            if r is None:
                print(f"check_hatch: {font} style {style} '{letter}' has no closed outline",
                      file=sys.stderr)
                continue
            r["clear/gap"] = r["clearance"] / (gap * UNIT)
            bad = failures(r)
            results.setdefault(name, []).append((r, bad))
            if bad or args.cases:
                print(f"{name:24} {font} s{style} '{letter}' gap {gap * UNIT:.0f}: "
                      f"clearance {r['clearance']:.1f} unmarked {100 * r['unmarked']:.2f} % "
                      f"(thin {100 * r['thin']:.2f} %) self {r['self']} cross {r['cross']}"
                      + (f"  <- {'; '.join(bad)}" if bad else ""))
    print(f"\n{'pattern':24} {'cases':>5} {'bad':>4} {'outside%':>8} {'clear/gap':>9} "
          f"{'self(cases)':>11} {'cross(cases)':>12} {'unmarked max%':>13} {'>1%':>4} "
          f"{'thin max%':>9}")
    for name, cases in results.items():
        rs = [r for r, _ in cases]
        top = {k: max(r[k] for r in rs) for k in ("outside", "unmarked", "thin")}
        count = {k: (sum(r[k] for r in rs), sum(1 for r in rs if r[k])) for k in ("self", "cross")}
        print(f"{name:24} {len(rs):5d} {sum(1 for _, b in cases if b):4d} "
              f"{100 * top['outside']:8.3f} {min(r['clear/gap'] for r in rs):9.3f} "
              f"{count['self'][0]:5d}({count['self'][1]:3d}) "
              f"{count['cross'][0]:6d}({count['cross'][1]:3d}) {100 * top['unmarked']:13.2f} "
              f"{sum(1 for r in rs if r['unmarked'] > UNMARKED_LIMIT):4d} {100 * top['thin']:9.2f}")
    total = sum(len(c) for c in results.values())
    bad_cases = sum(1 for c in results.values() for _, b in c if b)
    print(f"\n{total} cases, {bad_cases} with a defect, {time.time() - start:.0f} s")
    return 1 if args.fail and bad_cases else 0


if __name__ == "__main__":
    sys.exit(main())
