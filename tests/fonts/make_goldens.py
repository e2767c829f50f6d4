#!/usr/bin/python3
"""Writes golden/fonts.txt, the font data the font tests check against, read from
the font files with fontTools (independent of the code under test).

- per font: units per em, usWinAscent, usWinDescent, the top of the control box
  of "A", OS/2 sCapHeight, the advance of the space, legacy kern values (font
  units) of AV, To, Ta;
- the expected polyline point count of every contour of "O" of Liberation Sans:
  each contour becomes its start point, one point per on-curve point reached by
  a straight segment (the closing segment is implied, not written) and four
  points per quadratic piece, one piece per off-curve point.

Run from this directory: /usr/bin/python3 make_goldens.py
"""
from fontTools.fontBuilder import FontBuilder
from fontTools.pens.boundsPen import ControlBoundsPen
from fontTools.pens.ttGlyphPen import TTGlyphPen
from fontTools.ttLib import TTFont

LIB = "/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf"
CARLITO = "/usr/share/fonts/truetype/crosextra/Carlito-Regular.ttf"
FREESANS = "/usr/share/fonts/truetype/freefont/FreeSans.ttf"


def kern_values(font):
    table = {}
    if "kern" not in font:
        return table
    cmap = font.getBestCmap()
    for st in font["kern"].kernTables:
        if st.format != 0 or (st.coverage & 0x7) != 0x1:
            continue
        for (l, r), v in st.kernTable.items():
            table[(l, r)] = v
    return {p: table.get((cmap[ord(p[0])], cmap[ord(p[1])]), 0) for p in ("AV", "To", "Ta")}


def contour_counts(font, char):
    glyf = font["glyf"]
    glyph = glyf[font.getBestCmap()[ord(char)]]
    coords, ends, flags = glyph.getCoordinates(glyf)
    counts = []
    start = 0
    for end in ends:
        on = [bool(flags[i] & 1) for i in range(start, end + 1)]
        n = len(on)
        if n > 1:
            # The contour starts at an on-curve point; count straight segments to on-curve points
            # other than the start, and off-curve points (one four-segment piece each).
            first = on.index(True) if any(on) else None
            assert first is not None
            lines = sum(1 for k in range(n)
                        if on[k] and k != first and on[(k - 1) % n])
            off = on.count(False)
            counts.append(1 + lines + 4 * off)
        start = end + 1
    return counts


def build_fixtures():
    """Two 1000-unit fonts without "A", each with one square "B" (0..600 x 0..500):
    data/no-a-cap700.ttf declares a cap height of 700, data/no-a-nocap.ttf none (0)."""
    for name, cap in (("no-a-cap700", 700), ("no-a-nocap", 0)):
        fb = FontBuilder(1000, isTTF=True)
        names = [".notdef", "space", "B"]
        fb.setupGlyphOrder(names)
        fb.setupCharacterMap({0x20: "space", 0x42: "B"})
        pen = TTGlyphPen(None)
        pen.moveTo((0, 0)); pen.lineTo((600, 0)); pen.lineTo((600, 500)); pen.lineTo((0, 500))
        pen.closePath()
        square = pen.glyph()
        fb.setupGlyf({".notdef": TTGlyphPen(None).glyph(), "space": TTGlyphPen(None).glyph(),
                      "B": square})
        fb.setupHorizontalMetrics({".notdef": (500, 0), "space": (300, 0), "B": (700, 0)})
        fb.setupHorizontalHeader(ascent=800, descent=-200)
        fb.setupNameTable({"familyName": "No A " + name, "styleName": "Regular"})
        fb.setupOS2(version=4, sTypoAscender=800, sTypoDescender=-200, usWinAscent=800,
                    usWinDescent=200, sCapHeight=cap, sxHeight=0)
        fb.setupPost()
        fb.save("data/%s.ttf" % name)


def main():
    with open("golden/fonts.txt", "w") as f:
        f.write("# Read from the font files with fontTools; written by make_goldens.py\n")
        for path in (LIB, CARLITO, FREESANS):
            font = TTFont(path)
            glyphs = font.getGlyphSet()
            cmap = font.getBestCmap()
            pen = ControlBoundsPen(glyphs)
            glyphs[cmap[65]].draw(pen)
            os2 = font["OS/2"]
            f.write("font %s\n" % path)
            f.write("em %d\nwin %d %d\ncaptop %d\ncapheight %d\nspace %d\n" % (
                font["head"].unitsPerEm, os2.usWinAscent, os2.usWinDescent, pen.bounds[3],
                getattr(os2, "sCapHeight", 0), font["hmtx"][cmap[32]][0]))
            for pair, v in kern_values(font).items():
                f.write("kern %d %d %d\n" % (ord(pair[0]), ord(pair[1]), v))
            if path == LIB:
                for c in contour_counts(font, "O"):
                    f.write("contourO %d\n" % c)
            f.write("endfont\n")


if __name__ == "__main__":
    build_fixtures()
    main()
