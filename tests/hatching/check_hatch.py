#!/usr/bin/python3
"""Ring hatches (offset fill, helix) of real glyphs, measured with shapely.

The border and hatch polylines come as a host gets them (python/vuzodo, VUZODO_LIBRARY); the
limits are those of docs/hatching.md. Usage: check_hatch.py [--full] [--fail]
  --full  six fonts x "AgOR8%" at gap 100 x every ring pattern (docs/hatching.md's matrix)
  --fail  exit 1 on a defect
"""
import math
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "python"))
try:
    from shapely.geometry import LineString, MultiLineString
    from shapely.ops import polygonize, unary_union
except ImportError:
    sys.exit("check_hatch: shapely is missing (apt-get install python3-shapely)")
import vuzodo  # noqa: E402

UNIT, HEIGHT = 1000.0, 10.0  # output units per user unit; text height in user units
ARC_STEP = 0.002  # radians: the border's arcs far finer than any gap
UNMARKED_LIMIT = 0.01
# Glyphs that showed a defect before the fixes (font, style, letter, gap in user units).
GLYPHS = [("DejaVu Sans", 0, "g", 0.2), ("Liberation Serif", 0, "A", 0.1),
          ("Liberation Serif", 0, "O", 0.2), ("Nimbus Sans", 0, "R", 0.1), ("Z003", 0, "8", 0.1),
          ("FreeSerif", 0, "%", 0.1), ("Carlito", 3, "O", 0.2), ("Liberation Sans", 0, "A", 0.1),
          ("Liberation Serif", 0, "8", 0.1), ("Liberation Serif", 0, "R", 0.1),
          ("Nimbus Sans", 0, "8", 0.1)]
# Each algorithm (direct 0, cleaned 1), corner (miter, bevel, round) and helix style once:
# (name, arc tolerance in thousandths of U or None, add(lib, gap in user units)).
PATTERNS = [(f"offset a{a} c{c}", None,
             lambda lib, g, a=a, c=c: lib.AddTTFHatchPatternOffsetFillingEx(g, 0, a, c, 0, 0))
            for a, c in ((0, 0), (0, 1), (1, 2))]
PATTERNS.append(("offset a0 round tol3", 3,
                 lambda lib, g: lib.AddTTFHatchPatternOffsetFillingEx(g, 0, 0, 2, 0, 3)))
PATTERNS += [(f"helix s{s} a{a} c{c}", None,
              lambda lib, g, s=s, a=a, c=c: lib.AddTTFHatchPatternHelixFillingEx(g, s, a, c, 0, 0))
             for s, a, c in ((0, 0, 2), (0, 1, 1), (1, 0, 0))]
# --full: the matrix of docs/hatching.md.
FULL_GLYPHS = [(f, s, ch, 0.1) for f, s in [("Liberation Serif", 0), ("DejaVu Sans", 0),
                                            ("FreeSerif", 0), ("Nimbus Sans", 0), ("Z003", 0),
                                            ("Carlito", 3)] for ch in "AgOR8%"]
FULL_PATTERNS = [(f"offset a{a} c{c}", None,
                  lambda lib, g, a=a, c=c: lib.AddTTFHatchPatternOffsetFillingEx(g, 0, a, c, 0, 0))
                 for a in (0, 1) for c in (0, 1, 2)] + PATTERNS[3:4] + [
    (f"helix s{s} a{a} c{c}", None,
     lambda lib, g, s=s, a=a, c=c: lib.AddTTFHatchPatternHelixFillingEx(g, s, a, c, 0, 0))
    for s in (0, 1) for a in (0, 1) for c in (0, 1, 2)]


def glyph_region(strokes):
    """The faces of the closed border contours' arrangement with a nonzero winding."""
    rings = [r for r in (s[:-1] if s[0] == s[-1] else s for s in strokes) if len(r) >= 3]
    if not rings:
        return None

    def winding(x, y):
        w = 0
        for r in rings:
            for (ax, ay), (bx, by) in zip(r, r[1:] + r[:1]):
                cross = (bx - ax) * (y - ay) - (x - ax) * (by - ay)
                w += (ay <= y < by and cross > 0) - (by <= y < ay and cross < 0)
        return w

    lines = unary_union([LineString(list(r) + [r[0]]) for r in rings])
    faces = [f for f in polygonize(lines) if winding(*f.representative_point().coords[0])]
    return unary_union(faces) if faces else None


def new_nodes(lines, known):
    """Ends of the pieces noding `lines` makes that are not in `known`: proper crossings."""
    noded = unary_union(lines)
    return {q for piece in getattr(noded, "geoms", [noded])
            for q in (piece.coords[0], piece.coords[-1]) if q not in known}


def check(font, style, letter, gap_user, arc, add):
    t = vuzodo.Text(font=font, height=HEIGHT, unit=UNIT, style=style)
    add(vuzodo.native(), gap_user)
    t.append(letter)
    region = glyph_region(t.polylines("outline", arc_step=ARC_STEP, aligned=False))
    paths = [[tuple(q) for q in s] for s in t.polylines("hatch", aligned=False) if len(s) >= 2]
    if region is None or region.area <= 0:
        return None
    gap = gap_user * UNIT
    r = {"outside": 0.0, "clear/gap": math.inf, "self": 0, "cross": 0}
    marks = region.boundary
    if paths:
        lines = MultiLineString([LineString(p) for p in paths])
        # Records are rounded to output units: half a unit either way is not outside.
        r["outside"] = lines.difference(region.buffer(1.0)).length / lines.length
        r["clear/gap"] = lines.distance(region.boundary) / gap
        own = set().union(*(new_nodes(LineString(p), set(p)) for p in paths))
        r["self"] = len(own)
        r["cross"] = len(new_nodes(lines, {q for p in paths for q in p} | own)) if len(paths) > 1 else 0
        marks = unary_union([lines, marks])
    unmarked = region.difference(marks.buffer(gap / 2 * 1.02, 8))
    r["unmarked"] = unmarked.intersection(region.buffer(-gap, 32).buffer(gap, 32)).area / region.area
    r["thin"] = unmarked.area / region.area
    # The outline's flattening takes the chord tolerance, round corners theirs, rounding a unit.
    chord = max(UNIT / 10000, min(0.001 * UNIT, gap / 50))
    bound = (gap - chord - (chord if arc is None else arc * UNIT / 1000) - 1.0) / gap
    bad = [f"outside {100 * r['outside']:.3f} %"] if r["outside"] > 0 else []
    bad += [f"clear/gap below {bound:.3f}"] if r["clear/gap"] < bound else []
    bad += [f"{r[k]} {k} crossings" for k in ("self", "cross") if r[k]]
    bad += [f"unmarked {100 * r['unmarked']:.1f} %"] if r["unmarked"] > UNMARKED_LIMIT else []
    return r, bad


def main():
    bad_cases = 0
    full = "--full" in sys.argv
    for name, arc, add in FULL_PATTERNS if full else PATTERNS:
        for font, style, letter, gap in FULL_GLYPHS if full else GLYPHS:
            r, bad = check(font, style, letter, gap, arc, add) or ({}, ["no closed outline"])
            bad_cases += bool(bad)
            if full and not bad:
                continue
            print(f"{name:20} {font} s{style} '{letter}' gap {gap * UNIT:.0f}: clear/gap "
                  f"{r.get('clear/gap', 0):.3f} unmarked {100 * r.get('unmarked', 1):.2f} % (thin "
                  f"{100 * r.get('thin', 1):.2f} %)  {'; '.join(bad)}")
    print(f"{bad_cases} cases with a defect")
    return 1 if "--fail" in sys.argv and bad_cases else 0


if __name__ == "__main__":
    sys.exit(main())
