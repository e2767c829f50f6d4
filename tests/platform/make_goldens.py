#!/usr/bin/python3
"""Writes the outline goldens with fontTools (independent of the code under test) and builds the
fixture fonts of the platform and font tests. Run here: /usr/bin/python3 make_goldens.py"""
from fontTools.feaLib.builder import addOpenTypeFeaturesFromString
from fontTools.fontBuilder import FontBuilder
from fontTools.pens.recordingPen import RecordingPen
from fontTools.ttLib import TTFont
from fontTools.ttLib.tables import ttProgram
from fontTools.ttLib.tables._c_m_a_p import cmap_classes
from fontTools.ttLib.tables._g_l_y_f import Glyph, GlyphCoordinates

LIB = "/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf"
FREESANS = "/usr/share/fonts/opentype/freefont/FreeSans.otf"
FIXTURE = "data/odd-contours.ttf"


def raw(contours):
    """A glyph made of the given points as they are: (x, y, on-curve)."""
    g = Glyph()
    points = [p for c in contours for p in c]
    g.numberOfContours, g.coordinates = len(contours), GlyphCoordinates([p[:2] for p in points])
    g.flags = bytearray(p[2] for p in points)
    g.endPtsOfContours = [sum(map(len, contours[:i + 1])) - 1 for i in range(len(contours))]
    g.program = ttProgram.Program()
    g.program.fromBytecode(b"")
    return g


def box(x0, y0, x1, y1):
    return raw([[(x0, y0, 1), (x1, y0, 1), (x1, y1, 1), (x0, y1, 1)]])


def save(path, family, glyphs, cmap, cap=None, features=None, symbol=False):
    """A 1000-unit TrueType font, advance 700, win ascent 800 and descent 200."""
    fb = FontBuilder(1000, isTTF=True)
    fb.setupGlyphOrder(list(glyphs))
    fb.setupCharacterMap(cmap)
    fb.setupGlyf(glyphs)
    glyf = fb.font["glyf"]  # the left side bearing is the glyph's xMin, as TrueType requires
    fb.setupHorizontalMetrics(
        {n: (700, getattr(glyf[n], "xMin", 0) if glyf[n].numberOfContours else 0) for n in glyphs})
    fb.setupHorizontalHeader(ascent=800, descent=-200)
    fb.setupNameTable({"familyName": family, "styleName": "Regular"})
    extra = {} if cap is None else {"version": 4, "sCapHeight": cap, "sxHeight": 0}
    fb.setupOS2(sTypoAscender=800, sTypoDescender=-200, usWinAscent=800, usWinDescent=200, **extra)
    fb.setupPost()
    if features:
        addOpenTypeFeaturesFromString(fb.font, features)
    if symbol:  # the only subtable is (3, 0), codes in the private area as symbol fonts have
        sub = cmap_classes[4](4)
        sub.platformID, sub.platEncID, sub.language = 3, 0, 0
        sub.cmap = {0xF000 + c: n for c, n in cmap.items()}
        fb.font["cmap"].tables = [sub]
    fb.save(path)


def build_fixtures():
    empty = {".notdef": box(0, 0, 500, 500), "space": Glyph()}
    # A a triangle, B a contour starting off-curve and ending on-curve, C off-curve points only,
    # D a one-point contour followed by a square.
    save(FIXTURE, "Odd Contours", {**empty,
         "A": raw([[(100, 0, 1), (600, 0, 1), (350, 700, 1)]]),
         "B": raw([[(100, 600, 0), (300, 700, 1), (600, 600, 0), (600, 100, 1), (100, 100, 1)]]),
         "C": raw([[(100, 350, 0), (350, 700, 0), (600, 350, 0), (350, 0, 0)]]),
         "D": raw([[(50, 50, 1)], [(100, 0, 1), (600, 0, 1), (600, 700, 1), (100, 700, 1)]])},
         {0x20: "space", 0x41: "A", 0x42: "B", 0x43: "C", 0x44: "D"})
    # Fonts without "A", one square "B" (600 x 500): cap height 700 declared, or none.
    for name, cap in (("no-a-cap700", 700), ("no-a-nocap", 0)):
        save("../fonts/data/%s.ttf" % name, "No A " + name, {**empty, "B": box(0, 0, 600, 500)},
             {0x20: "space", 0x42: "B"}, cap=cap)
    # Letters A-Z kerned by a pair-set subtable whose coverage is a range (format 2), then by
    # classes that list some of the same pairs again: the pair-set amounts come first.
    letters = {chr(c): box(50, 0, 650, 700) for c in range(65, 91)}
    pairs = "".join("pos %s V %d; pos %s W %d;\n" % (c, -10 - i, c, 5 + i)
                    for i, c in enumerate("ABCDEFGHIJKLM"))
    save("data/kern-ranges.ttf", "Kern Ranges", {**empty, **letters},
         {0x20: "space", **{ord(c): c for c in letters}}, features=(
        "languagesystem DFLT dflt;\nlanguagesystem latn dflt;\n@L = [A B C N O P];\n"
        "@R = [V W X];\nfeature kern {\n" + pairs + "pos @L @R -77;\n} kern;\n"))
    save("data/symbol.ttf", "Symbol Fixture", {**empty, "A": box(50, 0, 650, 700)},
         {0x20: "space", 0x41: "A"}, symbol=True)


def tt_records(font, name):
    """Native records of a quadratic glyph, in font units: runs of on- or off-curve points, an
    off-curve run ending on the next point; a contour starts on its first on-curve end."""
    coords, ends, flags = font["glyf"][name].getCoordinates(font["glyf"])
    out, begin = [], 0
    for last in ends:
        pts = [(coords[i][0], coords[i][1], flags[i] & 1) for i in range(begin, last + 1)]
        begin = last + 1
        if len(pts) < 2:
            continue  # a single point draws nothing
        if pts[0][2]:
            start, seq = pts[0][:2], pts[1:]
        elif pts[-1][2]:
            start, seq = pts[-1][:2], pts[:-1]
        else:
            start, seq = ((pts[-1][0] + pts[0][0]) / 2, (pts[-1][1] + pts[0][1]) / 2), pts
        recs, j = [], 0
        while j < len(seq):
            on, rec = seq[j][2], []
            while j < len(seq) and seq[j][2] == on:
                rec.append(seq[j][:2])
                j += 1
            if not on:
                rec.append(seq[j][:2] if j < len(seq) else start)
                j += 1
            recs.append(("line" if on else "qspline", rec))
        out.append((start, recs))
    return out


def cff_records(font, name):
    """Native records of a cubic glyph, in font units; the closing line to the start is implied."""
    pen = RecordingPen()
    font.getGlyphSet()[name].draw(pen)
    out = []
    for op, args in pen.value:
        if op == "moveTo":
            start, recs = args[0], []
        elif op in ("lineTo", "curveTo"):
            kind = "line" if op == "lineTo" else "cspline"
            if recs and recs[-1][0] == kind:
                recs[-1][1].extend(args)
            else:
                recs.append((kind, list(args)))
        else:
            if recs and recs[-1][0] == "line" and tuple(recs[-1][1][-1]) == tuple(start):
                recs[-1][1].pop()
                if not recs[-1][1]:
                    recs.pop()
            out.append((start, recs))
    return out


def write_goldens():
    with open("golden/outlines.txt", "w") as f:
        f.write("# Native outline records in font units; written by make_goldens.py\n")
        for path, chars in ((LIB, "ODAg@&"), (FREESANS, "ODA"), (FIXTURE, "ABCD")):
            font = TTFont(path)
            for ch in chars:
                name = font.getBestCmap()[ord(ch)]
                f.write("glyph %s %d\n" % (path, ord(ch)))
                for start, rs in (cff_records if "CFF " in font else tt_records)(font, name):
                    f.write("contour %g %g\n" % tuple(start))
                    f.write("".join(kind + "".join(" %g %g" % tuple(p) for p in pts) + "\n"
                                    for kind, pts in rs))


if __name__ == "__main__":
    build_fixtures()
    write_goldens()
