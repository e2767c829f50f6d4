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
from fontTools.pens.boundsPen import ControlBoundsPen
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
    main()
