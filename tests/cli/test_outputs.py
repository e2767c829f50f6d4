"""The render command's JSON and SVG read by independent parsers."""
import json
import math
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest
import xml.etree.ElementTree as ET

CLI = os.environ.get("VUZODO_CLI", "vuzodo")

HERE = os.path.dirname(os.path.abspath(__file__))
DATA = os.path.join(HERE, "data")
ARCS = os.path.join(HERE, "..", "ovf", "data", "strokes.fnt")  # "C": two quarter arcs
SVG = "{http://www.w3.org/2000/svg}"

# ezdxf reads each DXF: its audit must find nothing to fix; then prints the header's units, the
# extents of every layer, loose LINE/ARC entities, each bulged segment as ezdxf makes it an
# arc (centre, radius), and every segment's ends by layer. Run by whichever Python has ezdxf
# (Debian's python3-ezdxf).
EZDXF = """
import json, sys, ezdxf
from ezdxf import bbox
from ezdxf.math import bulge_to_arc
doc = ezdxf.readfile(sys.argv[1])
audit = doc.audit()
msp = doc.modelspace()
arcs = []
segments = [[e.dxf.layer, e.dxf.start.x, e.dxf.start.y, e.dxf.end.x, e.dxf.end.y]
            for e in msp.query("LINE")]
for e in msp.query("LWPOLYLINE"):
    p = list(e.get_points("xyb"))
    for (x0, y0, b), (x1, y1, _) in zip(p, p[1:] + p[:1] if e.closed else p[1:]):
        segments.append([e.dxf.layer, x0, y0, x1, y1])
        if b:
            c, _, _, r = bulge_to_arc((x0, y0), (x1, y1), b)
            arcs.append([c.x, c.y, r])
ext = {}
for layer in ("outline", "fill", "hatch"):
    box = bbox.extents(msp.query('*[layer=="%s"]' % layer))
    if box.has_data:
        ext[layer] = [box.extmin.x, box.extmin.y, box.extmax.x, box.extmax.y]
print(json.dumps({"problems": len(audit.errors) + len(audit.fixes),
                  "insunits": doc.header.get("$INSUNITS"), "extents": ext, "arcs": arcs,
                  "loose": len(msp.query("LINE ARC")), "segments": segments}))
"""


def png_size(path):
    with open(path, "rb") as f:
        return struct.unpack(">II", f.read(24)[16:24])


def ezdxf_python():
    for python in (sys.executable, "/usr/bin/python3"):
        if subprocess.run([python, "-c", "import ezdxf"], capture_output=True).returncode == 0:
            return python
    raise unittest.SkipTest("no Python with ezdxf (python3-ezdxf)")


def render(*args, **kw):
    return subprocess.run([CLI, "render", *args], check=True, capture_output=True, text=True, **kw)


LFF = "/usr/share/librecad/fonts/romans.lff"


def arc_points(x0, y0, x1, y1, cx, cy, ccw, n=64):
    a0, a1 = math.atan2(y0 - cy, x0 - cx), math.atan2(y1 - cy, x1 - cx)
    sweep = (a1 - a0) % (2 * math.pi) if ccw else -((a0 - a1) % (2 * math.pi))
    r = math.hypot(x0 - cx, y0 - cy)
    return [(cx + r * math.cos(a0 + sweep * k / n), cy + r * math.sin(a0 + sweep * k / n))
            for k in range(n + 1)]


def lff_glyph_points(path, char):
    """The glyph's vertices and points along its bulge arcs, font units, y up."""
    lines = open(path, encoding="utf-8").read().split("\n")
    start = lines.index(next(l for l in lines if l.lower().startswith("[%04x]" % ord(char))))
    pts = []
    for line in lines[start + 1:]:
        if not line.strip():
            break
        if line.startswith("C"):
            pts += lff_glyph_points(path, chr(int(line[1:], 16)))
            continue
        prev = None
        for v in line.split(";"):
            f = v.split(",")
            x, y = float(f[0]), float(f[1])
            b = float(f[2][1:]) if len(f) > 2 else 0.0
            if prev and b:
                # Centre on the chord's bisector: sagitta = bulge * half chord.
                (px, py), dx, dy = prev, x - prev[0], y - prev[1]
                c = math.hypot(dx, dy) / 2
                r = c * (1 + b * b) / (2 * abs(b))
                d = (r - abs(b) * c) * (1 if b > 0 else -1) / (2 * c)
                pts += arc_points(px, py, x, y, (px + x) / 2 - dy * d, (py + y) / 2 + dx * d, b > 0)
            pts.append((x, y))
            prev = (x, y)
    return pts


def svg_ink(path):
    """Ink box of an SVG path of M, L and circular A commands (absolute), y down."""
    d = ET.parse(path).getroot().find(SVG + "g[@id='outline']/" + SVG + "path").get("d")
    pts, pen = [], None
    for cmd, args in re.findall(r"([MLA])([^MLA]*)", d):
        v = [float(t) for t in args.split()]
        if cmd == "A":
            r, large, sweep, x, y = v[0], v[3], v[4], v[5], v[6]
            mx, my, dx, dy = (pen[0] + x) / 2, (pen[1] + y) / 2, x - pen[0], y - pen[1]
            c = math.hypot(dx, dy) / 2
            h = math.sqrt(max(r * r - c * c, 0)) * (1 if large != sweep else -1) / (2 * c)
            pts += arc_points(*pen, x, y, mx - dy * h, my + dx * h, sweep == 1)
        elif cmd == "L" or cmd == "M" and args.strip() != "0 0":
            pts.append((v[0], v[1]))
        pen = (v[-2], v[-1])
    xs, ys = [p[0] for p in pts], [p[1] for p in pts]
    return min(xs), min(ys), max(xs), max(ys)


class Outputs(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp()

    def tearDown(self):
        shutil.rmtree(self.dir)

    def test_json_escapes_the_text(self):
        path = os.path.join(self.dir, "q.json")
        render('say "hi"\\tab \\\\ end', "-o", path)
        # "\t" on the command line is a tab; quotes, the tab and the backslash
        # must come back through the JSON parser as they were.
        self.assertEqual(json.load(open(path))["text"], 'say "hi"\tab \\\\ end')

    def test_svg_parses_and_rasterises(self):
        path = os.path.join(self.dir, "t.svg")
        render("Hello", "-o", path)
        root = ET.parse(path).getroot()
        d = root.find(f"{SVG}g[@id='outline']/{SVG}path").get("d")
        # A contour is a move followed by lines: H, e (2), l, l, o (2).
        self.assertEqual(len(re.findall(r"M-?\d+ -?\d+ L", d)), 7)
        if shutil.which("rsvg-convert"):
            png = os.path.join(self.dir, "t.png")
            subprocess.run(["rsvg-convert", path, "-o", png], check=True)
            self.assertEqual(open(png, "rb").read(8), b"\x89PNG\r\n\x1a\n")

    @unittest.skipUnless(os.path.exists(LFF), "librecad-data is not installed")
    def test_lff_font_draws_its_glyphs_at_the_height_of_every_font(self):
        # Read directly, and converted to SHX then found by name through VUZODO_FONT_PATH from
        # another folder. "A" is one unit tall at -H 1; the others keep their place and size,
        # arcs (the ring, the ogonek) included, against the LFF file read here.
        shx = os.path.join(self.dir, "romans-converted.shx")
        subprocess.run([CLI, "font-convert", "romans.lff", "-o", shx], check=True,
                       capture_output=True)
        env = dict(os.environ, VUZODO_FONT_PATH="/nonexistent:" + self.dir)
        a_pts = lff_glyph_points(LFF, "A")
        s = 1000 / max(y for _, y in a_pts)  # output units per font unit
        for font in ["romans.lff", "romans-converted.shx"]:
            base = None
            for char in "A°\u0104":
                with self.subTest(font=font, char=char):
                    out = os.path.join(self.dir, "g.svg")
                    render(char, "-f", font, "-o", out, env=env, cwd="/")
                    box = svg_ink(out)
                    pts = lff_glyph_points(LFF, char)
                    if base is None:
                        base = box[3]  # the feet of "A" are on the baseline
                        self.assertAlmostEqual(box[3] - box[1], 1000, delta=5)
                    want = (min(p[0] for p in pts) * s, base - max(p[1] for p in pts) * s,
                            max(p[0] for p in pts) * s, base - min(p[1] for p in pts) * s)
                    for got, exp in zip(box, want):
                        self.assertAlmostEqual(got, exp, delta=6)

    def layout(self, *args, stdin=None):
        path = os.path.join(self.dir, "o.json")
        r = subprocess.run([CLI, "render", *args, "-o", path], input=stdin, capture_output=True,
                           check=True)
        return json.load(open(path)), r.stderr.decode()

    def test_text_as_files_hold_it(self):
        # (arguments, standard input, text the layout sees, lines)
        crlf = os.path.join(self.dir, "crlf.txt")
        open(crlf, "wb").write(b"\xef\xbb\xbfAB\r\nCD\rEF\r\n")
        for args, stdin, text, lines in [
                (["-i", crlf], None, "AB\nCD\nEF", 3),
                (["-i", "-"], b"\xef\xbb\xbfAB\r\nCD\r\n", "AB\nCD", 2),
                (["\ufeffAB\r\nCD"], None, "AB\nCD", 2)]:
            with self.subTest(args=args):
                d, _ = self.layout(*args, stdin=stdin)
                self.assertEqual((d["text"], d["lines"]), (text, lines))

    def test_past_u_ffff_is_one_character(self):
        d, err = self.layout("a\U0001F600b")
        self.assertEqual(d["characters"], 3)
        self.assertEqual(err.count("U+1F600"), 1, err)

    def test_big_font_from_gb2312_text(self):
        font = os.path.join(self.dir, "gb.shx")
        subprocess.run([CLI, "shx-compile", os.path.join(DATA, "gb.shp"), "-o", font], check=True)
        d, err = self.layout("\u4e2d\u6587\u4e8d", "--encoding", "gb2312", "-f", font)
        self.assertEqual(err, "")
        strokes = [r[1:] for r in d["records"]["outline"] if r[0] == 41]
        # The shapes' own strokes, in vector-code units: 2 east, 3 north, 2 west.
        k = strokes[1][1] / 3
        for got, want in zip(strokes, [(2, 0), (0, 3), (-2, 0)], strict=True):
            self.assertAlmostEqual(got[0], want[0] * k, delta=1)
            self.assertAlmostEqual(got[1], want[1] * k, delta=1)

    def test_each_encoding_gives_the_codes_of_its_table(self):
        # The codes as each set's published table has them; the default TrueType face has
        # none of them, so each is named in its missing-character warning.
        for encoding, text, codes in [("big5", "\u4e2d\u6587", ["A4A4", "A4E5"]),
                                      ("shift-jis", "\u4e2d\u3042", ["9286", "82A0"]),
                                      ("euc-kr", "\u4e2d\ud55c", ["F1E9", "C7D1"]),
                                      ("gbk", "\u4e2d\u4e02A", ["D6D0", "8140"])]:
            with self.subTest(encoding=encoding):
                _, err = self.layout(text, "--encoding", encoding)
                self.assertEqual(re.findall(r"has no code ([0-9A-F]{4})", err), codes)

    def test_column_takes_a_line_feed_as_a_cell(self):
        # As a space would, a line feed takes one cell; the row gap is added once per column.
        feed, _ = self.layout("A\\nB", "--vertical", "--vgap", "1")
        space, _ = self.layout("A B", "--vertical", "--vgap", "1")
        for a, b in zip(feed["carets"], space["carets"], strict=True):
            self.assertAlmostEqual(a["top"][1], b["top"][1], delta=1)

    def test_circle_start_as_on_the_same_nurbs_circle(self):
        # The circle written out as its rational quadratic NURBS (clockwise from the left):
        # --path-start there moves the text as it must on --circle, up to the engine measuring
        # the curve's length on its samples (0.5% of the radius; no turn is 3000 units off).
        w = 1 / math.sqrt(2)
        pts = [(-5, 0, 1), (-5, 5, w), (0, 5, 1), (5, 5, w), (5, 0, 1), (5, -5, w), (0, -5, 1),
               (-5, -5, w), (-5, 0, 1)]
        curve = os.path.join(self.dir, "c.nurbs")
        open(curve, "w").write("degree 2\n" + "".join(f"point {x} {y} {v!r}\n" for x, y, v in pts)
                               + "knots 0 0 0 .25 .25 .5 .5 .75 .75 1 1 1\n")
        circle, _ = self.layout("ABC", "--circle", "5,0,0,0", "--path-start", "4")
        nurbs, _ = self.layout("ABC", "--nurbs", curve, "--path-start", "4")
        for a, b in zip(circle["carets"], nurbs["carets"], strict=True):
            for p, q in zip(a["top"] + a["bottom"], b["top"] + b["bottom"]):
                self.assertAlmostEqual(p, q, delta=25)


    def test_every_format_read_back(self):
        # (render arguments, file, check(result, path, stdout)); each check reads the file with a
        # reader that is not ours.
        dxf = lambda path: json.loads(subprocess.run(
            [ezdxf_python(), "-c", EZDXF, path], check=True, capture_output=True,
            text=True).stdout)
        records = lambda path, *a: json.loads(render(*a, "-o", "-", "--format", "json").stdout)

        def svg_streams(r, path, out):
            root = ET.parse(path).getroot()
            groups = {g.get("id"): g.get("stroke") for g in root.iter(SVG + "g")}
            self.assertEqual(set(groups), {"outline", "fill"})  # the hatch asked for is there
            self.assertEqual(len(set(groups.values())), 2)
            # 254 dpi is 10 pixels a millimetre: "H" of height 10 and its margins, in mm.
            png = path + ".png"
            subprocess.run(["rsvg-convert", "--dpi-x", "254", "--dpi-y", "254", path, "-o", png],
                           check=True)
            w, h = png_size(png)
            vb = [float(v) for v in root.get("viewBox").split()]
            self.assertEqual((w, h), (round(vb[2] / 100), round(vb[3] / 100)))
            self.assertTrue(8 < vb[3] / 1000 < 14)

        def svg_inches(r, path, out):
            root = ET.parse(path).getroot()
            self.assertTrue(root.get("width").endswith("in"))
            self.assertAlmostEqual(float(root.get("width")[:-2]),
                                   float(root.get("viewBox").split()[2]) / 1000, places=3)

        def dxf_baseline(r, path, out):
            d = dxf(path)
            self.assertEqual((d["problems"], d["insunits"]), (0, 4))
            # "H" stands on the baseline: its foot at y = 0, its top near the cap height.
            self.assertAlmostEqual(d["extents"]["outline"][1], 0, places=6)
            self.assertIn("fill", d["extents"])

        def dxf_anchor(anchor):
            def check(r, path, out):
                x0, y0, x1, y1 = dxf(path)["extents"]["outline"]
                if anchor == "centre":
                    self.assertAlmostEqual(x0 + x1, 0, places=6)
                    self.assertAlmostEqual(y0 + y1, 0, places=6)
                else:
                    self.assertAlmostEqual(x0, 0, places=6)
                    self.assertAlmostEqual(y1, 0, places=6)
            return check

        def dxf_handle_seed(r, path, out):
            # More entities than FFFF: $HANDSEED, the next free handle, is past every handle.
            lines = open(path).read().split("\n")
            tags = list(zip(lines[0::2], lines[1::2]))
            at = tags.index(("  9", "$HANDSEED")) + 1
            handles = [int(v, 16) for i, (c, v) in enumerate(tags) if c.strip() == "5" and i != at]
            self.assertGreater(len(handles), 0xFFFF)
            self.assertGreater(int(tags[at][1], 16), max(handles))

        def dxf_inches(r, path, out):
            self.assertEqual(dxf(path)["insunits"], 1)

        def dxf_arcs(r, path, out):
            # ezdxf's arcs of the bulges against the records' own centres (output units, the
            # pen's start plus the record's centre offset) moved by the anchor.
            d = dxf(path)
            j = records(path, "C", "-f", ARCS, "--fnt-mode", "1")
            dx, dy = j["anchor"]["offset"]
            x = y = 0
            centres = []
            for rec in j["records"]["outline"]:
                if rec[0] == 42:
                    cx, cy = x + rec[3], y + rec[4]
                    centres.append([(cx + dx) / 1000, (cy + dy) / 1000,
                                    math.hypot(rec[3], rec[4]) / 1000])
                x, y = x + rec[1], y + rec[2]
            self.assertEqual(len(centres), 2)
            self.assertEqual(d["loose"], 0)
            for got, want in zip(d["arcs"], centres):
                for g, w in zip(got, want):
                    self.assertAlmostEqual(g, w, places=6)

        def json_schema(r, path, out):
            j = json.loads(out)
            self.assertEqual(set(j["records"]), {"outline", "fill", "hatch"})
            self.assertGreater(len(j["records"]["hatch"]), 0)
            self.assertEqual(j["anchor"]["name"], "baseline")
            # The offset brings the first caret's baseline to y = 0.
            self.assertEqual(j["anchor"]["offset"][1], -j["carets"][0]["baseline"])

        def png_capped(r, path, out):
            w, h = png_size(path)
            self.assertLessEqual(w * h, 16 * 1024 * 1024)
            self.assertGreater(w * h, 15 * 1024 * 1024 // 2)  # scaled to fit, not to a stamp
            self.assertIn("pass the PNG cap", r.stderr)

        def png_stdout(r, path, out):
            self.assertEqual(out[:8], b"\x89PNG\r\n\x1a\n")

        rows = [
            (["H", "-H", "10", "--hatch", "line:gap=0.5"], "h.svg", svg_streams),
            (["H", "--user-unit", "1in"], "i.svg", svg_inches),
            (["H", "--hatch", "line:gap=0.05"], "h.dxf", dxf_baseline),
            (["Hg\\ny", "--anchor", "centre"], "c.dxf", dxf_anchor("centre")),
            (["Hg\\ny", "--anchor", "top-left"], "t.dxf", dxf_anchor("top-left")),
            (["H", "--user-unit", "0.1in"], "u.dxf", dxf_inches),
            (["H" * 40, "--hatch", "line:gap=0.001"], "many.dxf", dxf_handle_seed),
            (["C", "-f", ARCS, "--fnt-mode", "1"], "a.dxf", dxf_arcs),
            (["Hi", "--hatch", "offset:gap=0.05", "--format", "json"], "-", json_schema),
            (["Hi", "--png-scale", "20000"], "p.png", png_capped),
            (["Hi", "--format", "png"], "-", png_stdout),
        ]
        for args, name, check in rows:
            with self.subTest(args=args, file=name):
                path = "-" if name == "-" else os.path.join(self.dir, name)
                r = subprocess.run([CLI, "render", *args, "-o", path], capture_output=True)
                self.assertEqual(r.returncode, 0, r.stderr)
                r.stderr = r.stderr.decode()
                check(r, path, r.stdout)

    def test_svg_and_dxf_draw_the_records_segments(self):
        # Every segment of the records (ends in output units, y up, moved by the anchor) comes
        # back from the SVG's paths and from ezdxf, stream by stream: however the writers chain
        # them into paths, polylines or lines, none is lost, added or moved off the grid.
        def records(recs, dx, dy):
            out, x, y = [], 0, 0
            for r in recs:
                nx, ny = x + r[1], y + r[2]
                if r[0] == 41 or r[0] == 42 and (nx, ny) != (x, y):
                    out.append((x + dx, y + dy, nx + dx, ny + dy))
                x, y = nx, ny
            return out

        def svg(path):
            found = {}
            for g in ET.parse(path).getroot().iter(SVG + "g"):
                segs = found.setdefault(g.get("id"), [])
                for d in (p.get("d") for p in g.iter(SVG + "path")):
                    t = re.findall(r"[MLAZ]|[-+.\d]+(?:e[-+]?\d+)?", d)
                    i = 0
                    while i < len(t):
                        n = {"M": 2, "L": 2, "A": 7, "Z": 0}[t[i]]
                        end = start if n == 0 else (float(t[i + n - 1]), -float(t[i + n]))
                        if t[i] == "M":
                            start = end
                        elif n or pen != end:  # Z after the last point drew nothing more
                            segs.append(pen + end)
                        pen, i = end, i + n + 1
            return found

        grid = lambda segs: sorted(tuple(round(v, 3) for v in s) for s in segs)
        for args in (["Hg", "--hatch", "line:gap=0.05"],
                     ["Hg", "--hatch", "line:gap=0.05,style=2", "--anchor", "centre"],
                     ["Hg", "--hatch", "offset:gap=0.1", "--return", "outline+hatch+fill"],
                     ["C", "-f", ARCS, "--fnt-mode", "1"]):
            with self.subTest(args=args):
                base = os.path.join(self.dir, "s")
                for ext in ("json", "svg", "dxf"):
                    render(*args, "-o", f"{base}.{ext}")
                j = json.load(open(base + ".json"))
                ours = svg(base + ".svg")
                theirs = json.loads(subprocess.run([ezdxf_python(), "-c", EZDXF, base + ".dxf"],
                                                   check=True, capture_output=True).stdout)
                for stream, recs in j["records"].items():
                    want = grid(records(recs, *j["anchor"]["offset"]))
                    self.assertEqual(grid(ours.get(stream, [])), want, stream)
                    got = [[v * 1000 for v in s[1:]] for s in theirs["segments"] if s[0] == stream]
                    self.assertEqual(grid(got), want, stream)

    def test_stdout_holds_the_file(self):
        path = os.path.join(self.dir, "s.svg")
        render("Hi", "-o", path)
        self.assertEqual(render("Hi", "-o", "-").stdout, open(path).read())


if __name__ == "__main__":
    unittest.main()
