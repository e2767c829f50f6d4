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
ARCS = os.path.join(HERE, "..", "ovf", "data", "strokes.fnt")  # "C": two quarter arcs
SVG = "{http://www.w3.org/2000/svg}"

# ezdxf reads each DXF: its audit must find nothing to fix; then prints the header's units, the
# extents of every layer, loose LINE/ARC entities, and each bulged segment as ezdxf makes it an
# arc (centre, radius). Run by whichever Python has ezdxf (Debian's python3-ezdxf).
EZDXF = """
import json, sys, ezdxf
from ezdxf import bbox
from ezdxf.math import bulge_to_arc
doc = ezdxf.readfile(sys.argv[1])
audit = doc.audit()
msp = doc.modelspace()
arcs = []
for e in msp.query("LWPOLYLINE"):
    p = list(e.get_points("xyb"))
    for (x0, y0, b), (x1, y1, _) in zip(p, p[1:] + p[:1] if e.closed else p[1:]):
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
                  "loose": len(msp.query("LINE ARC"))}))
"""


def png_size(path):
    with open(path, "rb") as f:
        return struct.unpack(">II", f.read(24)[16:24])


def ezdxf_python():
    for python in (sys.executable, "/usr/bin/python3"):
        if subprocess.run([python, "-c", "import ezdxf"], capture_output=True).returncode == 0:
            return python
    raise unittest.SkipTest("no Python with ezdxf (python3-ezdxf)")


def render(*args):
    return subprocess.run([CLI, "render", *args], check=True, capture_output=True, text=True)


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
            self.assertEqual((d["problems"], d["insunits"], d["loose"]), (0, 4, 0))
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

    def test_stdout_holds_the_file(self):
        path = os.path.join(self.dir, "s.svg")
        render("Hi", "-o", path)
        self.assertEqual(render("Hi", "-o", "-").stdout, open(path).read())


if __name__ == "__main__":
    unittest.main()
