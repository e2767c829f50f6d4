#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets from the project's fixtures.

  make_seeds.py --root <source tree> --out <folder>

out/shx       the SHX fixtures compiled from tests/shx/data (all four kinds)
out/ovf       the OVF fixtures
out/fnt       the FNT fixtures
out/truetype  the small TrueType fixtures, plus two generated fonts that kern through a GPOS
              table (pair lookups of both formats, one behind an extension lookup) and through a
              legacy kern table, and the GPOS table alone (fuzz_truetype feeds bytes that are no
              font straight to the table readers), with the kern table of Liberation Sans and the
              GPOS table of Carlito. These need fontTools; without it they are left out.
"""
import argparse
import pathlib
import re
import shutil
import subprocess
import sys


def copy(files, out):
    for f in files:
        shutil.copy(f, out / f.name)


def kerning_fonts(out):
    try:
        from fontTools.feaLib.builder import addOpenTypeFeaturesFromString
        from fontTools.fontBuilder import FontBuilder
        from fontTools.pens.ttGlyphPen import TTGlyphPen
        from fontTools.ttLib import newTable
        from fontTools.ttLib.tables._k_e_r_n import KernTable_format_0
    except ImportError:
        print("fontTools missing: no generated TrueType seeds", file=sys.stderr)
        return

    names = [".notdef", "space", "A", "T", "V", "a", "o", "g"]
    codes = {0x20: "space", 0x41: "A", 0x54: "T", 0x56: "V", 0x61: "a", 0x6F: "o", 0x67: "g"}

    def glyph(name):
        pen = TTGlyphPen(None)
        if name != "space":
            # A triangle and a quadratic bowl: lines and curves in every glyph.
            pen.moveTo((50, 0))
            pen.lineTo((300, 700))
            pen.lineTo((550, 0))
            pen.closePath()
            pen.moveTo((100, -200 if name == "g" else 100))
            pen.qCurveTo((300, 400), (500, 100))
            pen.closePath()
        return pen.glyph()

    def build(gpos):
        fb = FontBuilder(1000, isTTF=True)
        fb.setupGlyphOrder(names)
        fb.setupCharacterMap(codes)
        fb.setupGlyf({n: glyph(n) for n in names})
        fb.setupHorizontalMetrics({n: (600, 50) for n in names})
        fb.setupHorizontalHeader(ascent=800, descent=-200)
        fb.setupOS2(sTypoAscender=800, sTypoDescender=-200, usWinAscent=900, usWinDescent=250,
                    sCapHeight=700, sxHeight=450)
        fb.setupNameTable({"familyName": "Fuzz Seed", "styleName": "Regular"})
        fb.setupPost()
        if gpos:
            addOpenTypeFeaturesFromString(fb.font, """
                languagesystem DFLT dflt;
                languagesystem latn dflt;
                @left = [T V];
                @right = [a o g];
                lookup pairs { pos A V -80; pos V A -70; pos T a -40; } pairs;
                lookup classes useExtension { pos @left @right -50; } classes;
                feature kern { lookup pairs; lookup classes; } kern;
            """)
        else:
            kern = newTable("kern")
            kern.version = 0
            sub = KernTable_format_0()
            sub.version, sub.coverage, sub.format = 0, 1, 0
            sub.kernTable = {("A", "V"): -80, ("T", "a"): -40, ("V", "o"): -30}
            kern.kernTables = [sub]
            fb.font["kern"] = kern
        return fb.font

    font = build(gpos=True)
    font.save(out / "gpos.ttf")
    font = build(gpos=False)
    font.save(out / "kern.ttf")
    from fontTools.ttLib import TTFont
    (out / "gpos-table.bin").write_bytes(TTFont(out / "gpos.ttf").reader["GPOS"])
    # The kerning tables of two system fonts of real size, for the table readers alone.
    for font, tag in (("liberation2/LiberationSans-Regular.ttf", "kern"),
                      ("crosextra/Carlito-Regular.ttf", "GPOS")):
        path = pathlib.Path("/usr/share/fonts/truetype") / font
        if path.exists():
            (out / f"{path.stem}-{tag}.bin").write_bytes(TTFont(path).reader[tag])


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True, type=pathlib.Path)
    parser.add_argument("--out", required=True, type=pathlib.Path)
    args = parser.parse_args()
    root, out = args.root, args.out
    dirs = {k: out / k for k in ("shx", "ovf", "fnt", "truetype", "shp", "replay")}
    for d in dirs.values():
        d.mkdir(parents=True, exist_ok=True)
    # The SHX seeds are compiled by fuzz_shx_seeds before this script runs.
    copy(sorted((root / "tests/ovf/data").glob("*.ovf")), dirs["ovf"])
    copy(sorted((root / "tests/ovf/data").glob("*.fnt")), dirs["fnt"])
    copy(sorted((root / "tests/fonts/data").glob("*.ttf")) +
         sorted((root / "tests/platform/data").glob("*.ttf")), dirs["truetype"])
    kerning_fonts(dirs["truetype"])
    copy(sorted((root / "tests/shx/data").glob("*.shp")), dirs["shp"])
    # A host session as the trace log records it, every kind of line once; the calls' lines
    # are made from the header's trace lines, the frame lines as the engine writes them.
    sys.path.insert(0, str(root / "cmake"))
    from make_def import Header
    traces = Header(root / "include/vuzodo/vuzodo.h").traces

    def line(name, **printed):
        return re.sub(r"\{(\w+)\}", lambda m: printed[m.group(1)], traces[name]) + "\n"

    (dirs["replay"] / "session.txt").write_text(
        line("InitializeTTF", unitSize="1000.000000") + line("SetDefaults") +
        line("SetFontFace", face="Arial") + line("SetAutoKern", on="1") +
        "float indentList[2] = {1.500000f,3.000000f,};\n" +
        line("SetIndentPositions", count="2") + line("AppendCharactersEx", text="a (b), c;\nd") +
        line("AppendCharacters", text="x") + line("GetMultilineOutLines", index="-1", type="0") +
        "********************\nPrepareArrayData()\nNo = 7, Data = 1 \n"
        "Finishing GetMultilineOutLines\n********************\n" +
        line("LoadCharacterRange", face="Arial", style="0", first="65", last="90") +
        line("AddTTFHatchPatternLine", borderGap="0.100000", direction="0", lineGap="0.200000",
             angle="0.300000", baseX="0.400000") +
        line("AddTTFHatchPatternLattice", gapU="1.000000", gapV="2.000000", angle="0.500000",
             baseX="0.000000", baseY="0.000000", serpentine="1") +
        "No return type" + line("FinishText"))

if __name__ == "__main__":
    main()
