"""The render command's JSON and SVG read by independent parsers."""
import json
import math
import os
import re
import shutil
import subprocess
import tempfile
import unittest
import xml.etree.ElementTree as ET

CLI = os.environ.get("VUZODO_CLI", "vuzodo")
DATA = os.path.join(os.path.dirname(os.path.abspath(__file__)), "data")


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
    d = ET.parse(path).getroot().find("{http://www.w3.org/2000/svg}path").get("d")
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
        d = root.find("{http://www.w3.org/2000/svg}path").get("d")
        # A contour is a move followed by lines: H, e (2), l, l, o (2). The
        # last move, back to the origin, draws nothing.
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


if __name__ == "__main__":
    unittest.main()
