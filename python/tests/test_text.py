"""The friendly layer on the installed Liberation fonts ("Arial")."""
import json
import math
import os
import struct
import subprocess
import tempfile
import unittest
import warnings

import vuzodo
class TextLayout(unittest.TestCase):
    def test_whole_text_returns_to_its_origin_and_counts_its_characters(self):
        t = vuzodo.Text("Arial", height=2.0, kerning=True).append("Hello\nworld")
        self.assertEqual(t.line_count, 2)
        self.assertEqual(t.character_count(), 10)
        self.assertEqual(t.character_count(0), 5)
        records = t.records()
        self.assertGreater(len(records), 100)
        self.assertEqual(sum(r[1] for r in records), 0)
        self.assertEqual(sum(r[2] for r in records), 0)
        self.assertTrue(all(r[0] in (40, 41, 42, 466) for r in records))

    def test_strokes_follow_the_glyphs_contours(self):
        # "O" is two closed contours, "i" a stem and a dot: four strokes.
        t = vuzodo.Text("Arial").append("Oi")
        strokes = t.polylines(aligned=False)
        self.assertEqual(len(strokes), 4)
        for s in strokes:
            self.assertLessEqual(abs(s[0][0] - s[-1][0]) + abs(s[0][1] - s[-1][1]), 2)
        # The letters stand on the baseline, about one unit size tall.
        ys = [p[1] for s in strokes for p in s]
        self.assertAlmostEqual(min(ys), -15, delta=30)
        self.assertAlmostEqual(max(ys), 1030, delta=60)


def points(t, kind="outline"):
    return [p for s in t.polylines(kind) for p in s]


class Settings(unittest.TestCase):
    def test_each_mode_reaches_the_engine(self):
        up = [(0, 0), (0, 3), (0, 6), (0, 9)]  # paths running up the y axis
        on_axis = lambda t: (max(abs(x) for x, _ in points(t)) < 1100
                             and max(y for _, y in points(t)) > 2000)
        rows = [  # settings, text, markup, what must hold
            ({"circle": (3, 0, 0, 0)}, "round", False,
             lambda t: all(1800 < math.hypot(x, y) < 4200 for x, y in points(t))),
            ({"polyline": up[::3]}, "poly", False, on_axis),
            ({"nurbs": {"points": up}}, "nurbs", False, on_axis),
            ({"vertical": True}, "ABC", False,
             lambda t: max(y for _, y in points(t)) - min(y for _, y in points(t)) > 2500),
            ({"tabs": [5]}, "A\tB", False, lambda t: max(x for x, _ in points(t)) > 5000),
            # Right-aligned in a 10-unit box: the H (about one unit wide) ends at its right edge.
            ({"box_width": 10, "align": 2, "valign": 0}, "H", False,
             lambda t: min(x for x, _ in points(t)) > 8000),
            ({}, "H_{2}O", True, lambda t: t.character_count() == 3 and
             min(y for _, y in points(t)) < -100),
            # Patterns set with the Text survive the engine's reset of the settings.
            ({"hatch": ["line:gap=0.05"]}, "H", False, lambda t: len(t.records("fill")) > 20),
            ({"hatch": [("offset", {"gap": 0.05})]}, "H", False,
             lambda t: len(t.records("hatch")) > 5),
        ]
        for settings, text, markup, holds in rows:
            with self.subTest(settings=settings, text=text):
                self.assertTrue(holds(vuzodo.Text("Arial", **settings).append(text,
                                                                               markup=markup)))

    def test_encoding_gives_a_big_font_its_double_byte_codes(self):
        # A hand-made GB2312 big font: 中 (D6D0) one stroke right, 亍 (D8A1, a code in the
        # surrogate range) one stroke up, both 4 units; "A" 1 unit up.
        with tempfile.TemporaryDirectory() as folder:
            shp, shx = os.path.join(folder, "gb.shp"), os.path.join(folder, "gb.shx")
            with open(shp, "w") as out:
                out.write("*BIGFONT 3,1,0A1,0FE\n*0,4,GB\n8,2,0,0\n*041,2,A\n014,0\n"
                          "*0D6D0,2,ZHONG\n040,0\n*0D8A1,2,CHU\n044,0\n")
            subprocess.run([os.environ["VUZODO_BINARY"], "shx-compile", shp, "-o", shx],
                           check=True, capture_output=True)
            strokes = lambda t: [r[1:3] for r in t.records(aligned=False) if r[0] == 41]
            for encoding, text, drawn in [("gb2312", "中亍A", [(4000, 0), (0, 4000), (0, 1000)]),
                                          (None, [0xD6D0, 0xD8A1], [(4000, 0), (0, 4000)]),
                                          (None, "中亍", [])]:
                with self.subTest(encoding=encoding, text=text):
                    t = vuzodo.Text(shx, encoding=encoding) if encoding else vuzodo.Text(shx)
                    self.assertEqual(strokes(t.append(text)), drawn)
                    if encoding:  # the command line encodes the same text to the same codes
                        with open(t.save(os.path.join(folder, "gb.json"))) as f:
                            saved = [tuple(r) for r in json.load(f)["records"]["outline"]]
                        self.assertEqual(saved, t.records())

    def test_save_hands_the_same_text_to_the_command_lines_writers(self):
        t = vuzodo.Text("Arial", hatch=["line:gap=0.05"], kerning=True, tabs=[3]).append(
            "H\tO").append("2", script="sub")
        with tempfile.TemporaryDirectory() as folder:
            name = lambda ext: os.path.join(folder, "t." + ext)
            with open(t.save(name("json"), "fill")) as f:
                saved = json.load(f)
            self.assertEqual(saved["characters"], 4)
            for stream, kind in (("outline", "outline"), ("fill", "fill")):
                self.assertEqual([tuple(r) for r in saved["records"][stream]], t.records(kind))
            with open(t.save(name("png")), "rb") as f:
                width, height = struct.unpack(">II", f.read(24)[16:24])
            self.assertGreater(width, height)
            with open(t.save(name("dxf"))) as f:
                dxf = [line.strip() for line in f]
            self.assertEqual(dxf[-1], "EOF")
            self.assertIn("fill", dxf)
            with self.assertRaisesRegex(RuntimeError, "cannot write"):
                t.save(os.path.join(folder, "missing", "t.svg"))
            # Machine files and the estimate take the command line's path too: the same file,
            # the same figures as the line the command prints after it.
            binary = os.environ["VUZODO_BINARY"]
            done = subprocess.run([binary, "render", "-i", "-", "-o", name("gcode"), "--markup",
                                   "--kern", "--tabs", "3", "--hatch", "line:gap=0.05",
                                   "--feed", "500"], input="H\tO_{2}\n", text=True,
                                  capture_output=True, check=True)
            with open(name("gcode")) as f:
                self.assertEqual(t.gcode(feed=500), f.read())
            e = t.estimate(feed=500)
            self.assertIn(f"marking {e['marking']:.3f} mm, travel {e['travel']:.3f} mm, "
                          f"{e['lifts']} pen lifts, {e['seconds']:.3f} s", done.stderr)
            # Reordered: the same marking, no more travel.
            o = t.estimate(feed=500, optimize=True, start=(1, 0), end=(1, 0))
            self.assertEqual(o["marking"], e["marking"])
            self.assertLess(o["travel"], e["travel"])
            # optimize() sets the same for every later file of this Text.
            self.assertEqual(t.optimize(start=(1, 0), end=(1, 0)).estimate(feed=500), o)
            self.assertEqual(t.estimate(feed=500, optimize=False), e)
            with open(t.hpgl(name("plt"), arcs=False, pen=2)) as f:
                self.assertTrue(f.read().startswith("IN;\nSP2;"))
            # weld=True hands the command --weld: its united outline, not the engine's own.
            w = vuzodo.Text("Arial", gap=-0.3, weld=True, hatch="line:gap=0.04").append("OO")
            with open(w.save(name("json"))) as f:
                welded = json.load(f)["records"]
            self.assertNotEqual([tuple(r) for r in welded["outline"]], w.records())
            done = subprocess.run([binary, "render", "OO", "--gap=-0.3", "--weld", "--hatch",
                                   "line:gap=0.04", "--format=json", "-o", "-"],
                                  capture_output=True, check=True)
            self.assertEqual(welded, json.loads(done.stdout)["records"])


class Misuse(unittest.TestCase):
    def test_bad_arguments_raise_python_errors_naming_them(self):
        t = lambda **s: vuzodo.Text("Arial", **s)
        rows = [
            (lambda: t().append(42), TypeError, "text must be a str"),
            (lambda: t().append("A\x00B"), ValueError, "NUL character at index 1"),
            (lambda: t(style=9), ValueError, "style=9 is out of range"),
            (lambda: t(style=1.0), TypeError, "style must be an int"),
            (lambda: t(height=0), ValueError, "height=0 is out of range"),
            (lambda: t(height=float("nan")), ValueError, "not a finite number"),
            (lambda: t(align="left"), TypeError, "align must be an int"),
            (lambda: t(scale=(1, -1)), ValueError, r"scale\[1\]=-1"),
            (lambda: t(tabs=5), TypeError, "tabs must be a sequence"),
            (lambda: t(kerning="yes"), TypeError, "kerning must be True or False"),
            (lambda: t(hatch="line:gap=0"), ValueError, "gap=0.0 is out of range"),
            (lambda: t(hatch="zigzag"), ValueError, "unknown hatch kind"),
            (lambda: t(circle=(0, 0, 0, 0)), ValueError, r"circle\[0\]"),
            (lambda: t(encoding="utf-7"), ValueError, "encoding='utf-7'"),
            (lambda: t(encoding="big5").append("\u00e9"), ValueError, "no code in big5"),
            (lambda: t(colour="red"), TypeError, "unknown setting"),
            (lambda: t().records("everything"), ValueError, "unknown return type"),
            (lambda: t().records(kind=9), ValueError, "kind=9"),
            (lambda: vuzodo.Text(7), TypeError, "font must be a str"),
            (lambda: vuzodo.Text("/nonexistent.ttf"), FileNotFoundError, "no such file"),
            (lambda: vuzodo.Text("No Such Font", strict=True), ValueError,
             "not installed; fontconfig gives"),
            (lambda: vuzodo.font_information("Arial", style=-1), ValueError, "style=-1"),
            (lambda: t().append("A").gcode(speed=3), TypeError, "'speed' is not a machine option"),
            (lambda: t().append("A").hpgl(feed=0), ValueError, "feed=0 is out of range"),
            (lambda: t().append("A").gcode(machine="hpgl"), RuntimeError, "it takes HPGL"),
        ]
        for call, error, message in rows:
            with self.subTest(message=message):
                with self.assertRaisesRegex(error, message):
                    call()

    def test_a_substituted_family_warns_and_an_installed_one_does_not(self):
        for font, warned in (("No Such Font", True), ("Arial", False), ("Sans", False)):
            with self.subTest(font=font), warnings.catch_warnings(record=True) as seen:
                warnings.simplefilter("always")
                vuzodo.Text(font)
                self.assertEqual([font in str(w.message) for w in seen], [True] if warned else [])

    def test_a_replaced_text_cannot_read_the_new_one(self):
        first = vuzodo.Text("Arial").append("first")
        second = vuzodo.Text("Arial").append("second")
        with self.assertRaises(RuntimeError):
            first.records()
        self.assertEqual(second.character_count(), 6)


if __name__ == "__main__":
    unittest.main()
