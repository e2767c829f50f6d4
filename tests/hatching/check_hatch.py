#!/usr/bin/python3
"""Geometry check of the ring hatches (offset fill and helix) on real glyphs.

The glyph's border and hatch polylines, as a host gets them through the C
interface (python/vuzodo), are measured with shapely, not the library's own
geometry: outside (0), clearance (the gap less the tolerances), self and path
crossings (0) and the unmarked share (at most 1 %; "thin" is reported only),
as docs/hatching.md defines them.

Usage: check_hatch.py [--quick | --full] [--fail] [--cases]
  --quick  nine glyphs that once showed a defect, seven patterns (the default);
  --full   the font x letter x pattern matrix of docs/hatching.md;
  --fail   exit 1 when a limit is broken; --cases  print every case.
The library is found through VUZODO_LIBRARY (see python/vuzodo).
"""
import argparse
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
FULL = [(f, s, ch, 0.1) for f, s in [("Liberation Serif", 0), ("DejaVu Sans", 0), ("FreeSerif", 0),
                                    ("Nimbus Sans", 0), ("Z003", 0), ("Carlito", 3)]
        for ch in "AgOR8%"]
# Glyphs that showed a defect before the fixes (font, style, letter, gap).
QUICK = [("DejaVu Sans", 0, "g", 0.2), ("Liberation Serif", 0, "A", 0.1),
         ("Liberation Serif", 0, "O", 0.2), ("Nimbus Sans", 0, "R", 0.1), ("Z003", 0, "8", 0.1),
         ("FreeSerif", 0, "%", 0.1), ("Carlito", 3, "O", 0.2), ("Liberation Sans", 0, "A", 0.1),
         ("Liberation Serif", 0, "8", 0.1)]
CORNERS = ("miter", "bevel", "round")
# Each algorithm, corner and helix style once in quick mode.
QUICK_PATTERNS = {"offset a0 miter", "offset a0 bevel", "offset a1 round", "offset a0 round tol3",
                  "helix out a0 round", "helix out a1 bevel", "helix in a0 miter"}


def patterns():
    """(name, arc tolerance in thousandths of U or None, add(lib, gap in user units))."""
    out = [(f"offset a{a} {CORNERS[c]}", None,
            lambda lib, g, a=a, c=c: lib.AddTTFHatchPatternOffsetFillingEx(g, 0, a, c, 0, 0))
           for a in (0, 1) for c in (0, 1, 2)]
    out.append(("offset a0 round tol3", 3,
                lambda lib, g: lib.AddTTFHatchPatternOffsetFillingEx(g, 0, 0, 2, 0, 3)))
    out += [(f"helix {('out', 'in')[s]} a{a} {CORNERS[c]}", None,
             lambda lib, g, s=s, a=a, c=c: lib.AddTTFHatchPatternHelixFillingEx(g, s, a, c, 0, 0))
            for s in (0, 1) for a in (0, 1) for c in (0, 1, 2)]
    return out


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
    region = glyph_region(t.polylines("border", arc_step=ARC_STEP, aligned=False))
    paths = [[tuple(q) for q in s] for s in t.polylines("polylines", aligned=False) if len(s) >= 2]
    if region is None or region.area <= 0:
        return None
    gap = gap_user * UNIT
    r = {"outside": 0.0, "clearance": math.inf, "self": 0, "cross": 0}
    marks = region.boundary
    if paths:
        lines = MultiLineString([LineString(p) for p in paths])
        # Records are rounded to output units: half a unit either way is not outside.
        r["outside"] = lines.difference(region.buffer(1.0)).length / lines.length
        r["clearance"] = lines.distance(region.boundary)
        vertices = {q for p in paths for q in p}
        own = set().union(*(new_nodes(LineString(p), set(p)) for p in paths))
        r["self"] = len(own)
        r["cross"] = len(new_nodes(lines, vertices | own)) if len(paths) > 1 else 0
        marks = unary_union([lines, marks])
    unmarked = region.difference(marks.buffer(gap / 2 * 1.02, 8))
    ringed = region.buffer(-gap, 32).buffer(gap, 32)
    r["unmarked"] = unmarked.intersection(ringed).area / region.area
    r["thin"] = unmarked.area / region.area
    # The outline's flattening takes the chord tolerance, round corners theirs,
    # the records' rounding one more unit.
    chord = max(UNIT / 10000, min(0.001 * UNIT, gap / 50))
    r["bound"] = gap - chord - (chord if arc is None else arc * UNIT / 1000) - 1.0
    r["clear/gap"] = r["clearance"] / gap
    bad = [f"outside {100 * r['outside']:.3f} %"] if r["outside"] > 0 else []
    bad += [f"clearance {r['clearance']:.1f} < {r['bound']:.1f}"] if r["clearance"] < r["bound"] else []
    bad += [f"{r[k]} {k} crossings" for k in ("self", "cross") if r[k]]
    bad += [f"unmarked {100 * r['unmarked']:.1f} %"] if r["unmarked"] > UNMARKED_LIMIT else []
    return r, bad


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    mode = ap.add_mutually_exclusive_group()
    mode.add_argument("--quick", action="store_true")
    mode.add_argument("--full", action="store_true")
    ap.add_argument("--fail", action="store_true")
    ap.add_argument("--cases", action="store_true")
    args = ap.parse_args()
    bad_cases = 0
    print(f"{'pattern':24} cases  bad outside% clear/gap self cross unmarked% thin%")
    for name, arc, add in patterns():
        if not args.full and name not in QUICK_PATTERNS:
            continue
        rs = []
        for font, style, letter, gap in FULL if args.full else QUICK:
            got = check(font, style, letter, gap, arc, add)
            if got is None:
                print(f"check_hatch: {font} style {style} '{letter}' has no closed outline",
                      file=sys.stderr)
                continue
            r, bad = got
            rs.append(dict(r, bad=bool(bad)))
            bad_cases += bool(bad)
            if bad or args.cases:
                print(f"  {name} {font} s{style} '{letter}' gap {gap * UNIT:.0f}: clearance "
                      f"{r['clearance']:.1f} unmarked {100 * r['unmarked']:.2f} % (thin "
                      f"{100 * r['thin']:.2f} %) self {r['self']} cross {r['cross']}  {'; '.join(bad)}")
        print(f"{name:24} {len(rs):5d} {sum(r['bad'] for r in rs):4d} "
              f"{100 * max(r['outside'] for r in rs):8.3f} {min(r['clear/gap'] for r in rs):9.3f} "
              f"{sum(r['self'] for r in rs):4d} {sum(r['cross'] for r in rs):5d} "
              f"{100 * max(r['unmarked'] for r in rs):9.2f} {100 * max(r['thin'] for r in rs):5.2f}")
    print(f"{bad_cases} cases with a defect")
    return 1 if args.fail and bad_cases else 0


if __name__ == "__main__":
    sys.exit(main())
