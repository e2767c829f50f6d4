#!/usr/bin/python3
"""Writes the golden data of the platform tests from the fonts themselves.

Independent of the code under test: the font tables are read with fontTools,
and the expected native outline records are built here from the glyphs' own
points with the record rules of the native outline format. Also builds the
small fixture font data/odd-contours.ttf whose contours start in unusual ways.

Run from this directory: /usr/bin/python3 make_goldens.py
"""
from fontTools.fontBuilder import FontBuilder
from fontTools.pens.boundsPen import ControlBoundsPen
from fontTools.pens.recordingPen import RecordingPen
from fontTools.ttLib import TTFont
from fontTools.ttLib.tables._g_l_y_f import Glyph, GlyphCoordinates
from fontTools.pens.ttGlyphPen import TTGlyphPen

LIB = "/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf"
LIB_BOLD = "/usr/share/fonts/truetype/liberation2/LiberationSans-Bold.ttf"
CARLITO = "/usr/share/fonts/truetype/crosextra/Carlito-Regular.ttf"
FREESANS = "/usr/share/fonts/opentype/freefont/FreeSans.otf"
FIXTURE = "data/odd-contours.ttf"


def build_fixture():
    """A 1000-unit font: A a plain triangle, B a contour whose first point is
    off-curve and last on-curve, C a contour of off-curve points only, D a
    one-point contour followed by a square."""
    fb = FontBuilder(1000, isTTF=True)
    names = [".notdef", "space", "A", "B", "C", "D"]
    fb.setupGlyphOrder(names)
    fb.setupCharacterMap({0x20: "space", 0x41: "A", 0x42: "B", 0x43: "C", 0x44: "D"})

    def raw(contours):
        g = Glyph()
        coords, flags, ends = [], [], []
        for contour in contours:
            for x, y, on in contour:
                coords.append((x, y))
                flags.append(1 if on else 0)
            ends.append(len(coords) - 1)
        g.numberOfContours = len(contours)
        g.coordinates = GlyphCoordinates(coords)
        g.flags = bytearray(flags)
        g.endPtsOfContours = ends
        g.program = None
        from fontTools.ttLib.tables import ttProgram
        g.program = ttProgram.Program()
        g.program.fromBytecode(b"")
        return g

    pen = TTGlyphPen(None)
    pen.moveTo((0, 0)); pen.lineTo((500, 0)); pen.lineTo((500, 500)); pen.closePath()
    notdef = pen.glyph()
    glyphs = {
        ".notdef": notdef,
        "space": Glyph(),
        "A": raw([[(100, 0, 1), (600, 0, 1), (350, 700, 1)]]),
        "B": raw([[(100, 600, 0), (300, 700, 1), (600, 600, 0), (600, 100, 1), (100, 100, 1)]]),
        "C": raw([[(100, 350, 0), (350, 700, 0), (600, 350, 0), (350, 0, 0)]]),
        "D": raw([[(50, 50, 1)], [(100, 0, 1), (600, 0, 1), (600, 700, 1), (100, 700, 1)]]),
    }
    fb.setupGlyf(glyphs)
    # The left side bearing is the glyph's xMin, as TrueType requires.
    glyf = fb.font["glyf"]
    fb.setupHorizontalMetrics(
        {n: (700, getattr(glyf[n], "xMin", 0) if glyf[n].numberOfContours else 0) for n in names})
    fb.setupHorizontalHeader(ascent=800, descent=-200)
    fb.setupNameTable({"familyName": "Odd Contours", "styleName": "Regular"})
    fb.setupOS2(sTypoAscender=800, sTypoDescender=-200, usWinAscent=800, usWinDescent=200)
    fb.setupPost()
    fb.save(FIXTURE)


def tt_records(font, name):
    """Native records of a quadratic glyph, in font units."""
    glyf = font["glyf"]
    g = glyf[name]
    coords, ends, flags = g.getCoordinates(glyf)
    out = []
    begin = 0
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
            start = ((pts[-1][0] + pts[0][0]) / 2, (pts[-1][1] + pts[0][1]) / 2)
            seq = pts
        recs = []
        j = 0
        while j < len(seq):
            if seq[j][2]:
                rec = []
                while j < len(seq) and seq[j][2]:
                    rec.append(seq[j][:2]); j += 1
                recs.append(("line", rec))
            else:
                rec = []
                while j < len(seq) and not seq[j][2]:
                    rec.append(seq[j][:2]); j += 1
                if j < len(seq):
                    rec.append(seq[j][:2]); j += 1
                else:
                    rec.append(start)
                recs.append(("qspline", rec))
        out.append((start, recs))
    return out


def cff_records(font, name):
    """Native records of a cubic glyph, in font units, from its charstring."""
    pen = RecordingPen()
    font.getGlyphSet()[name].draw(pen)
    out = []
    start, recs = None, []
    for op, args in pen.value:
        if op == "moveTo":
            start, recs = args[0], []
        elif op == "lineTo":
            if recs and recs[-1][0] == "line":
                recs[-1][1].append(args[0])
            else:
                recs.append(("line", [args[0]]))
        elif op == "curveTo":
            if recs and recs[-1][0] == "cspline":
                recs[-1][1].extend(args)
            else:
                recs.append(("cspline", list(args)))
        elif op in ("closePath", "endPath"):
            # A final line back to the start is implied by the format.
            if recs and recs[-1][0] == "line" and tuple(recs[-1][1][-1]) == tuple(start):
                recs[-1][1].pop()
                if not recs[-1][1]:
                    recs.pop()
            out.append((start, recs))
    return out


def fmt(v):
    return ("%g" % v)


def write_outlines():
    with open("golden/outlines.txt", "w") as f:
        f.write("# Native outline records in font units; written by make_goldens.py\n")
        jobs = [(LIB, "O"), (LIB, "D"), (LIB, "A"), (LIB, "g"), (LIB, "@"), (LIB, "&"),
                (FREESANS, "O"), (FREESANS, "D"), (FREESANS, "A"),
                (FIXTURE, "A"), (FIXTURE, "B"), (FIXTURE, "C"), (FIXTURE, "D")]
        for path, ch in jobs:
            font = TTFont(path)
            name = font.getBestCmap()[ord(ch)]
            recs = cff_records(font, name) if "CFF " in font else tt_records(font, name)
            f.write("glyph %s %d\n" % (path, ord(ch)))
            for start, rs in recs:
                f.write("contour %s %s\n" % (fmt(start[0]), fmt(start[1])))
                for kind, pts in rs:
                    f.write(kind + "".join(" %s %s" % (fmt(x), fmt(y)) for x, y in pts) + "\n")
            f.write("end\n")


def write_metrics():
    with open("golden/metrics.txt", "w") as f:
        f.write("# Font table values (font units) read with fontTools; written by make_goldens.py\n")
        for path in (LIB, LIB_BOLD, CARLITO, FREESANS):
            font = TTFont(path)
            os2, hhea, head, post = font["OS/2"], font["hhea"], font["head"], font["post"]
            f.write("font %s\n" % path)
            values = {
                "upem": head.unitsPerEm,
                "winAscent": os2.usWinAscent, "winDescent": os2.usWinDescent,
                "hheaAscender": hhea.ascent, "hheaDescender": hhea.descent,
                "hheaLineGap": hhea.lineGap, "advanceWidthMax": hhea.advanceWidthMax,
                "xAvgCharWidth": os2.xAvgCharWidth, "weightClass": os2.usWeightClass,
                "typoAscender": os2.sTypoAscender, "typoDescender": os2.sTypoDescender,
                "typoLineGap": os2.sTypoLineGap,
                "capHeight": getattr(os2, "sCapHeight", 0), "xHeight": getattr(os2, "sxHeight", 0),
                "headXMin": head.xMin, "headYMin": head.yMin,
                "headXMax": head.xMax, "headYMax": head.yMax,
                "subscriptXSize": os2.ySubscriptXSize, "subscriptYSize": os2.ySubscriptYSize,
                "subscriptXOffset": os2.ySubscriptXOffset, "subscriptYOffset": os2.ySubscriptYOffset,
                "superscriptXSize": os2.ySuperscriptXSize, "superscriptYSize": os2.ySuperscriptYSize,
                "superscriptXOffset": os2.ySuperscriptXOffset,
                "superscriptYOffset": os2.ySuperscriptYOffset,
                "strikeoutSize": os2.yStrikeoutSize, "strikeoutPosition": os2.yStrikeoutPosition,
                "underlineThickness": post.underlineThickness,
                "underlinePosition": post.underlinePosition,
                "italicAngleTenths": round(post.italicAngle * 10),
            }
            for k, v in values.items():
                f.write("%s %d\n" % (k, v))
            cmap = font.getBestCmap()
            gs = font.getGlyphSet()
            for ch in "AOg.":
                name = cmap[ord(ch)]
                pen = ControlBoundsPen(gs)
                gs[name].draw(pen)
                xmin, ymin, xmax, ymax = pen.bounds
                f.write("glyph %d %d %s %s %s %s\n" % (ord(ch), font["hmtx"][name][0],
                                                      fmt(xmin), fmt(ymin), fmt(xmax), fmt(ymax)))
            name = cmap[0x20]
            f.write("glyph 32 %d empty\n" % font["hmtx"][name][0])
            f.write("endfont\n")


def write_kerning():
    with open("golden/kerning.txt", "w") as f:
        f.write("# Legacy kern table pairs (font units) read with fontTools; written by make_goldens.py\n")
        for path in (LIB, FREESANS):
            font = TTFont(path)
            cmap = font.getBestCmap()
            char_of = {}
            for code in sorted(cmap):
                if code <= 0xFFFF:
                    char_of.setdefault(cmap[code], code)
            pairs = []
            for st in font["kern"].kernTables:
                if st.format != 0 or (st.coverage & 0x7) != 0x1:
                    continue
                for (l, r), v in st.kernTable.items():
                    if l in char_of and r in char_of:
                        pairs.append((char_of[l], char_of[r], v))
            f.write("font %s\ncount %d\n" % (path, len(pairs)))
            table = {(l, r): v for l, r, v in pairs}
            for a, b in ("AV", "To", "Ta", "AT", "Yo", "LT"):
                f.write("pair %d %d %d\n" % (ord(a), ord(b), table.get((ord(a), ord(b)), 0)))
            f.write("endfont\n")


if __name__ == "__main__":
    build_fixture()
    write_outlines()
    write_metrics()
    write_kerning()
