"""Every failure a user can cause: a non-zero exit, one line on stderr naming the
input or option, and no drawing (not even part of one) left behind."""
import os
import resource
import signal
import subprocess
import sys
import tempfile
import unittest

CLI = os.environ.get("VUZODO_CLI", "vuzodo")

# (arguments after "render", or an "info" command; text stderr must hold). {d} is a scratch
# folder holding bad.shx, bad.ttf and bad.lff (garbage) and somedir.shx (a folder); the
# drawing goes to {d}/out/x.svg, which must stay empty. Files are limited to 64 KiB, as a full
# disk would: the hatched rows pass it.
ROWS = [
    (["Hi", "-o", "/nonexistent/dir/x.svg"], "cannot write /nonexistent/dir/x.svg"),
    (["Hi", "-f", "/nonexistent.ttf"], "-f /nonexistent.ttf: no such file"),
    (["Hi", "-f", "{d}/bad.shx"], "bad.shx: holds no characters"),
    (["Hi", "-f", "{d}/bad.ttf"], "bad.ttf: is not a font file"),
    (["Hi", "-f", "{d}/somedir.shx"], "somedir.shx: is a directory"),
    (["Hi", "-f", "nosuch.shx", "--font-dir", "{d}"], "nosuch.shx: no such file here or in the font folders {d}:"),
    (["Hi", "-f", "{d}/bad.lff"], "bad.lff: is not an LFF font: line 2: \"x\" is not a coordinate"),
    (["info", "-f", "bad.shx", "--font-dir", "{d}"], "bad.shx: holds no characters"),
    (["Hi", "-f", "No Such Font", "--strict"], "-f No Such Font: not installed"),
    (["Hi", "--hatch", "line:gap=0"], "gap=0 must be greater than 0"),
    (["Hi", "-s", "7"], "--style: Value 7 not in range 0 to 3"),
    (["Hi", "--box", "-3", "--wrap"], "--box: -3 is out of range: must be >= 0"),
    (["Hi", "-H", "1e30"], "-H 1e+30: too large; at --unit 1000 it must be at most 2.14748e+06"),
    # Below the em limit, but eleven characters pass the records' range.
    (["Hello world", "-H", "2000000"], "spans past the int32 range of its records"),
    (["Hi", "-H", "-5"], "-H -5: a negative height"),
    (["Hi", "-H", "0"], "-H 0: a zero height draws nothing"),
    (["Hi", "-H", "nan"], "-H nan: the height is not a number"),
    (["-i", "{d}"], "is a directory"),
    # 42 characters on a circle of circumference 2 pi user units: at height 1
    # not all of them fit.
    (["x" * 42, "--circle", "1,0,0,0", "--strict"], "42 in, "),
    (["a\ue000b\ue000", "--strict"], "has no U+E000"),
    ([], "render: no text"),
    (["-i", "{d}/bad.txt"], "bad.txt: invalid UTF-8 at byte 2 (0xFF)"),
    (["x\udcc0\udcafy"], "text: invalid UTF-8 at byte 1 (0xC0)"),  # overlong "/"
    (["a\U0001F600", "--strict"], "text: U+1F600 is past U+FFFF"),
    (["\u4e2d\U0001F600", "--encoding", "gb2312"], "(U+1F600) at byte 3 has no code in gb2312"),
    (["A\\nB", "--vertical", "--strict"], "a line feed does not start a new column"),
    (["Hi", "--circle", "0,0,0,0"], "the radius must be greater than 0"),
    (["Hi", "--machine", "grbl-laser"], "x.svg is svg, not a machine file"),
    (["Hi", "-o", "{d}/out/x.gcode", "--machine", "hpgl"], "it takes HPGL, but the output is G-code"),
    (["Hi", "-o", "{d}/out/x.gcode", "--pen", "2"], "--pen 2: an HPGL option"),
    (["Hi", "-o", "{d}/out/x.hpgl", "--power", "3"], "--power: a G-code option"),
    (["Hi", "-o", "{d}/out/x.gcode", "--pen-up", "G0 Z1"], "--pen-up without --pen-down"),
    (["Hi", "-o", "{d}/out/x.gcode", "--machine", "grbl-plotter", "--laser", "M3"],
     "--laser: the grbl-plotter machine drives a pen, not a laser"),
    (["Hi", "-o", "{d}/out/x.gcode", "--feed", "inf"], "--feed: inf is out of range: must be > 0"),
    (["Hi", "-o", "{d}/out/x.png", "--optimize"], "--optimize: a PNG is a picture and has no"),
    (["Hi", "-o", "{d}/out/x.json", "--start", "1,2"], "--start: JSON holds the engine's records"),
    (["Hi", "--end", "1,2"], "--end: an SVG drawing has no start or end point without --optimize"),
] + [(["H" * 30, "--hatch", "line:gap=0.01", "-o", "{d}/out/x." + f],
       "cannot write {d}/out/x.%s: File too large" % f) for f in ("svg", "dxf", "json")]


class Failures(unittest.TestCase):
    @staticmethod
    def limit():
        resource.setrlimit(resource.RLIMIT_FSIZE, (1 << 16, 1 << 16))
        signal.signal(signal.SIGXFSZ, signal.SIG_IGN)  # a write then fails with EFBIG

    def test_each_failure_is_reported_and_writes_nothing(self):
        with tempfile.TemporaryDirectory() as d:
            for name, data in [("bad.shx", b"not a shape font\x1a" + bytes(64)),
                               ("bad.ttf", b"\x00\x01\x00\x00garbage" * 8),
                               ("bad.lff", b"[0041] A\n0,0;0,x\n"), ("bad.txt", b"AB\xffCD")]:
                with open(os.path.join(d, name), "wb") as f:
                    f.write(data)
            os.mkdir(os.path.join(d, "somedir.shx"))
            out = os.path.join(d, "out")
            os.mkdir(out)
            for args, expected in ROWS:
                args = [a.replace("{d}", d) for a in args]
                expected = expected.replace("{d}", d)
                with self.subTest(args=args):
                    command = args if args[:1] == ["info"] else ["render", *args] + (
                        [] if "-o" in args else ["-o", out + "/x.svg"])
                    r = subprocess.run([CLI, *command], capture_output=True, text=True,
                                       preexec_fn=self.limit)
                    self.assertNotEqual(r.returncode, 0)
                    self.assertIn(expected, r.stderr)
                    self.assertEqual(len(r.stderr.strip().splitlines()), 1, r.stderr)
                    self.assertEqual(os.listdir(out), [])

    def test_warnings_without_strict_still_draw(self):
        with tempfile.TemporaryDirectory() as d:
            r = subprocess.run([CLI, "render", "a\ue000", "-f", "No Such Font", "-o", d + "/x.svg"],
                               capture_output=True, text=True)
            self.assertEqual(r.returncode, 0, r.stderr)
            self.assertIn("warning: -f No Such Font: not installed", r.stderr)
            self.assertIn("has no U+E000", r.stderr)
            self.assertEqual(os.listdir(d), ["x.svg"])  # no temporary left beside it


if __name__ == "__main__":
    sys.exit(unittest.main())
