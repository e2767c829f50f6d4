"""The render command's JSON and SVG read by independent parsers."""
import json
import os
import re
import shutil
import subprocess
import tempfile
import unittest
import xml.etree.ElementTree as ET

CLI = os.environ.get("VUZODO_CLI", "vuzodo")


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
        d = root.find("{http://www.w3.org/2000/svg}path").get("d")
        # A contour is a move followed by lines: H, e (2), l, l, o (2). The
        # last move, back to the origin, draws nothing.
        self.assertEqual(len(re.findall(r"M-?\d+ -?\d+ L", d)), 7)
        if shutil.which("rsvg-convert"):
            png = os.path.join(self.dir, "t.png")
            subprocess.run(["rsvg-convert", path, "-o", png], check=True)
            self.assertEqual(open(png, "rb").read(8), b"\x89PNG\r\n\x1a\n")


if __name__ == "__main__":
    unittest.main()
