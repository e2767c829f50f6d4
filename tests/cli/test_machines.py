"""G-code and HPGL read back by small parsers of their own and drawn against the SVG of the
same job; the estimate against a hand computation."""
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
HERE = os.path.dirname(os.path.abspath(__file__))
ARCS = os.path.join(HERE, "..", "ovf", "data", "strokes.fnt")  # "C": two quarter arcs
DOTS = os.path.join(HERE, "..", "ovf", "data", "commands.ovf")  # "L" a line, "." two dots
SVG = "{http://www.w3.org/2000/svg}"


def arc(x0, y0, x1, y1, cx, cy, ccw):
    """Points along a circular arc, dense enough (1e-5 mm off it) to stand for it."""
    r = math.hypot(x0 - cx, y0 - cy)
    a0, a1 = math.atan2(y0 - cy, x0 - cx), math.atan2(y1 - cy, x1 - cx)
    sweep = (a1 - a0) % (2 * math.pi) if ccw else -((a0 - a1) % (2 * math.pi))
    n = max(1, math.ceil(abs(sweep) / (2 * math.acos(1 - min(1e-5 / r, 1)))))
    return [(cx + r * math.cos(a0 + sweep * k / n), cy + r * math.sin(a0 + sweep * k / n))
            for k in range(1, n + 1)]


def svg_strokes(path, mm):
    """Each subpath of every group as points in mm, y up (M, L, A and Z, absolute); a dot (a
    circle) as one point."""
    strokes = []
    for p in ET.parse(path).getroot().iter():
        if p.tag == SVG + "circle":
            strokes.append([(float(p.get("cx")) * mm, -float(p.get("cy")) * mm)])
        for cmd, args in re.findall(r"([MLAZ])([^MLAZ]*)", p.get("d", "")):
            v = [float(t) * mm for t in args.split()]
            if cmd == "M":
                strokes.append([(v[0], -v[1])])
            elif cmd == "L":
                strokes[-1].append((v[0], -v[1]))
            elif cmd == "Z":
                strokes[-1].append(strokes[-1][0])
            else:  # the centre of an endpoint arc (radius, flags, end), y turned up
                (x0, y0), x1, y1 = strokes[-1][-1], v[5], -v[6]
                r, large, ccw = v[0], v[3] != 0, v[4] == 0
                mx, my, dx, dy = (x0 + x1) / 2, (y0 + y1) / 2, x1 - x0, y1 - y0
                half = math.hypot(dx, dy) / 2
                h = math.sqrt(max(r * r - half * half, 0)) / (2 * half)
                h = h if large != ccw else -h
                strokes[-1] += arc(x0, y0, x1, y1, mx - dy * h, my + dx * h, ccw)
    return strokes


def gcode_strokes(text):
    """The marked paths of G-code: G1/G2/G3 while a laser (M3/M4) has S > 0, or while Z <= 0;
    a dwell (G4) there is a dot."""
    strokes, x, y, z, s, on, down = [], 0.0, 0.0, None, 0.0, False, False
    for line in text.splitlines():
        line = line.split(";")[0].strip()
        words = dict((w[0], float(w[1:])) for w in line.split() if w[0] != "G" and w[0] != "M")
        codes = re.findall(r"[GM]\d+", line)
        on = True if {"M3", "M4"} & set(codes) else False if "M5" in codes else on
        s, z = words.get("S", s), words.get("Z", z)
        marking = (z is not None and z <= 0) or (z is None and on and s > 0)
        nx, ny = words.get("X", x), words.get("Y", y)
        motion = next((c for c in codes if c in ("G0", "G1", "G2", "G3", "G4")), None)
        if motion == "G4" and marking and not down:
            strokes.append([(x, y)])
        if motion in ("G1", "G2", "G3") and marking and (nx, ny) != (x, y):
            if not down:
                strokes.append([(x, y)])
            down = True
            if motion == "G1":
                strokes[-1].append((nx, ny))
            else:
                strokes[-1] += arc(x, y, nx, ny, x + words["I"], y + words["J"], motion == "G3")
        elif not marking or motion == "G0":
            down = False
        x, y = nx, ny
    return strokes


def hpgl_strokes(text):
    """The pen-down paths of HPGL (IN, SP, VS, PU, PD, AA), in mm; PD where the pen stays
    starts a path, a dot unless it goes on."""
    strokes, x, y, down, drawing = [], 0, 0, False, False
    for cmd in filter(None, (c.strip() for c in text.split(";"))):
        op, v = cmd[:2], [float(t) for t in cmd[2:].split(",") if t]
        if op in ("PU", "PD"):
            down = op == "PD"
            drawing = drawing and down
            if down and not v and not drawing:
                strokes.append([(x / 40, y / 40)])
                drawing = True
            for nx, ny in zip(v[::2], v[1::2]):
                if down and not drawing:
                    strokes.append([(x / 40, y / 40)])
                    drawing = True
                if down:
                    strokes[-1].append((nx / 40, ny / 40))
                x, y = nx, ny
        elif op == "AA" and down:
            cx, cy, sweep = v[:3]
            if not drawing:
                strokes.append([(x / 40, y / 40)])
                drawing = True
            a = math.atan2(y - cy, x - cx) + math.radians(sweep)
            r = math.hypot(x - cx, y - cy)
            x, y = cx + r * math.cos(a), cy + r * math.sin(a)
            strokes[-1] += arc(strokes[-1][-1][0], strokes[-1][-1][1], x / 40, y / 40, cx / 40,
                               cy / 40, sweep > 0)
    return strokes


def farthest(a, b):
    """How far the farthest point of polyline a lies from polyline b."""
    def to_segment(p, q, r):
        dx, dy = r[0] - q[0], r[1] - q[1]
        t = ((p[0] - q[0]) * dx + (p[1] - q[1]) * dy) / (dx * dx + dy * dy or 1)
        t = min(1, max(0, t))
        return math.hypot(p[0] - q[0] - t * dx, p[1] - q[1] - t * dy)
    segments = list(zip(b, b[1:])) or [(b[0], b[0])]
    return max(min(to_segment(p, q, r) for q, r in segments) for p in a)


def toolpath_interpreter():
    """node and the pinned gcode-toolpath package (installed with npm ci into the build tree on
    first use), or None with the reason."""
    node, npm = shutil.which("node"), shutil.which("npm")
    if not (node and npm):
        return None, "node and npm are not installed"
    work = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(shutil.which(CLI)))),
                        "tests", "cli", "gcode")
    if not os.path.exists(os.path.join(work, "node_modules", "gcode-toolpath")):
        os.makedirs(work, exist_ok=True)
        for name in ("package.json", "package-lock.json"):
            shutil.copy(os.path.join(HERE, "gcode", name), work)
        done = subprocess.run([npm, "ci", "--no-audit", "--no-fund", "--fetch-retries=1"],
                              cwd=work, capture_output=True, text=True)
        if done.returncode != 0:
            return None, "npm ci failed: " + done.stderr.strip()[-200:]
    return (node, os.path.join(work, "node_modules")), ""


class Machines(unittest.TestCase):
    def render_pair(self, args, extra, d, fmt):
        """Renders `args` to an SVG and, with `extra`, to a job file of format `fmt` in `d`;
        returns the SVG's path, the job's path and text, and what the command printed."""
        svg, job = os.path.join(d, "j.svg"), os.path.join(d, "job." + fmt)
        subprocess.run([CLI, "render", *args, "-o", svg], check=True, capture_output=True)
        r = subprocess.run([CLI, "render", *args, *extra, "-o", job], capture_output=True,
                           text=True)
        self.assertEqual(r.returncode, 0, r.stderr)
        return svg, job, open(job).read(), r.stderr

    def test_round_trip_against_the_svg(self):
        # (layout arguments, machine arguments, format, mm per SVG unit, one machine unit in mm
        # (plus the chord tolerance for chords), what the file must hold, what it must not)
        hatched = ["Hi", "-H", "5", "--hatch", "line:gap=0.2"]
        arcs = ["C", "-f", ARCS, "--fnt-mode", "1", "-H", "10"]
        rows = [
            (hatched, [], "gcode", 1e-3, 1e-3, r"^; .*\nG21\nG90\nM4 S0\n(.|\n)*\nM5\nM2\n$",
             r"G[23] "),
            (hatched, ["--machine", "grbl-plotter", "--machine-header", "G92 X0 Y0\\nM8"], "gcode",
             1e-3, 1e-3, r"\nG90\nG92 X0 Y0\nM8\nG0 Z1\n", r"M4"),
            (["Hi", "--user-unit", "0.1in"], [], "gcode", 2.54e-3, 1e-3, r"G1 X", None),
            (arcs, [], "gcode", 1e-3, 1e-3, r"\nG3 X5 Y10 I-5 J0 F1000\n", None),
            (arcs, ["--no-arcs", "--laser", "M3", "--power", "250"], "gcode", 1e-3, 0.011,
             r"\nM3 S0\n(.|\n)*\nS250\n", r"G[23] "),
            (arcs, ["--pen-up", "G0 Z2", "--pen-down", "G1 Z-1"], "gcode", 1e-3, 1e-3,
             r"G0 Z2\nG0 X10 Y5\nG1 Z-1\nG3", r"S1000"),
            (hatched, [], "hpgl", 1e-3, 0.025, r"^IN;\nSP1;\nVS10;\n(.|\n)*SP0;\n$", r"AA"),
            (arcs, ["--pen", "3"], "hpgl", 1e-3, 0.025, r"SP3;(.|\n)*PD;AA200,200,90,", None),
            (arcs, ["--no-arcs"], "hpgl", 1e-3, 0.035, r"PD", r"AA"),
            (["L.", "-f", DOTS], ["--laser", "M3"], "gcode", 1e-3, 1e-3,
             r"\nG0 X0.8 Y0.1\nS1000\nG4 P0.05\nS0\n", None),
            (["L.", "-f", DOTS], [], "hpgl", 1e-3, 0.025, r"\nPU32,4;\nPD;\nPU48,0;\nPD;\n", None),
            (["OO", "--gap", "-0.3", "--weld", *hatched[1:]], [], "gcode", 1e-3, 1e-3, r"G1 X",
             None),
        ]
        with tempfile.TemporaryDirectory() as d:
            for args, machine, fmt, mm, tol, holds, lacks in rows:
                with self.subTest(args=args, machine=machine, format=fmt):
                    svg, job, text, _ = self.render_pair(args, machine, d, fmt)
                    self.assertRegex(text, holds)
                    if lacks:
                        self.assertNotRegex(text, lacks)
                    want = svg_strokes(svg, mm)
                    got = (gcode_strokes if fmt == "gcode" else hpgl_strokes)(text)
                    self.assertEqual(len(got), len(want))
                    for g, w in zip(got, want):
                        self.assertLessEqual(max(farthest(g, w), farthest(w, g)), tol)

    def test_optimized_order_draws_the_same_strokes_with_less_travel(self):
        # (layout arguments, order options, format, one machine unit in mm). The optimised file
        # must draw the strokes of the layout's SVG, each possibly backwards or (closed) from
        # another vertex, one to one; its travel, measured on the file, must not be longer,
        # and must be what the tool reports.
        hatched = ["Hi", "-H", "5", "--hatch", "line:gap=0.2"]
        arcs = ["C", "-f", ARCS, "--fnt-mode", "1", "-H", "10"]  # one open stroke of two arcs
        rows = [
            (hatched, ["--optimize"], "gcode", 1e-3),
            (hatched, ["--optimize", "--start", "20,3", "--end", "-5,2"], "hpgl", 0.025),
            (hatched + ["--no-border"], ["--optimize", "--optimize-budget", "0"], "svg", 1e-3),
            (arcs, ["--optimize"], "gcode", 1e-3),  # its end is nearer (0, 0): backwards
            (["BB", "-f", "{shx}"], ["--optimize", "--start", "30,0"], "gcode", 1e-3),
            (["L.", "-f", DOTS], ["--optimize", "--end", "2,2"], "hpgl", 0.025),
        ]

        def travel(strokes, start, end):
            ends = [start] + [p for s in strokes for p in (s[0], s[-1])] + [end]
            return sum(math.dist(a, b) for a, b in zip(ends[::2], ends[1::2]))

        def point(options, name):
            return tuple(map(float, options[options.index(name) + 1].split(","))) \
                if name in options else (0.0, 0.0)

        with tempfile.TemporaryDirectory() as d:
            # A shape font whose "B" is closed by an arc: a 2 unit line east, then half a
            # circle back over the top; "BB" two of them.
            shp, shx = os.path.join(d, "d.shp"), os.path.join(d, "d.shx")
            open(shp, "w").write("*0,4,D\n2,0,2,0\n*042,8,B\n1,020,10,(1,004),2,030,0\n")
            subprocess.run([CLI, "shx-compile", shp, "-o", shx], check=True, capture_output=True)
            for args, order, fmt, tol in rows:
                args = [a.replace("{shx}", shx) for a in args]
                with self.subTest(args=args, order=order, format=fmt):
                    svg, job, text, err = self.render_pair(args, order, d, fmt)
                    want = svg_strokes(svg, 1e-3)
                    got = {"gcode": gcode_strokes, "hpgl": hpgl_strokes}.get(
                        fmt, lambda _: svg_strokes(job, 1e-3))(text)
                    self.assertEqual(len(got), len(want))
                    unmatched = list(want)
                    for g in got:
                        match = next((w for w in unmatched if math.dist(min(g), min(w)) < 2 * tol
                                      and max(farthest(g, w), farthest(w, g)) <= tol), None)
                        self.assertIsNotNone(match, f"no stroke of the layout draws {g[:3]}...")
                        unmatched.remove(match)
                    start, end = point(order, "--start"), point(order, "--end")
                    before, after = travel(want, start, end), travel(got, start, end)
                    self.assertLessEqual(after, before + 1e-9)
                    reported = re.search(r"travel (\S+) -> (\S+) mm", err)
                    slack = 2 * tol * (len(got) + 1)
                    self.assertAlmostEqual(float(reported[1]), before, delta=slack)
                    self.assertAlmostEqual(float(reported[2]), after, delta=slack)

    @unittest.skipUnless(shutil.which("hp2xx"), "hp2xx is not installed")
    def test_hpgl_as_a_plotter_interpreter_draws_it(self):
        # hp2xx (true size, gnuplot points in mm) draws the pen-down paths moved to the
        # drawing's lower-left corner; its arcs are chords at the angle the file asks for, so
        # the tolerance is one plotter unit and the chord tolerance.
        for args in (["Hi", "-H", "5", "--hatch", "line:gap=0.2"],
                     ["C", "-f", ARCS, "--fnt-mode", "1", "-H", "10"]):
            with self.subTest(args=args), tempfile.TemporaryDirectory() as d:
                svg, job, _, _ = self.render_pair(args, [], d, "hpgl")
                gpt = os.path.join(d, "j.gpt")
                r = subprocess.run(["hp2xx", "-t", "-m", "gpt", "-f", gpt, job],
                                   capture_output=True, text=True)
                self.assertIn("HPGL command(s) ignored: 0", r.stdout + r.stderr)
                got, pen = [], None
                for line in open(gpt):
                    if line.startswith("#P"):
                        pen = line[1:3]
                    elif line.strip() and pen:
                        point = tuple(map(float, line.split()))
                        if pen == "PD":
                            got[-1].append(point)
                        # It starts each arc with a pen-up move to where the pen is.
                        elif not (got and math.dist(got[-1][-1], point) < 1e-6):
                            got.append([point])
                        pen = None
                got = [s for s in got if len(s) > 1]
                want = svg_strokes(svg, 1e-3)
                x0 = min(x for s in want for x, _ in s)
                y0 = min(y for s in want for _, y in s)
                want = [[(x - x0, y - y0) for x, y in s] for s in want]
                self.assertEqual(len(got), len(want))
                for g, w in zip(got, want):
                    self.assertLessEqual(max(farthest(g, w), farthest(w, g)), 0.035)

    def test_gcode_as_a_senders_interpreter_reads_it(self):
        # The toolpath interpreter of a GRBL sender (cncjs's gcode-toolpath) walks the file; its
        # G1, G2 and G3 moves with the tool down (laser: any; plotter: at Z <= 0) are chained
        # into strokes and drawn against the SVG. It gives arcs by their centre.
        found, why = toolpath_interpreter()
        if not found:
            self.skipTest(why)
        node, modules = found
        arcs = ["C", "-f", ARCS, "--fnt-mode", "1", "-H", "10"]
        for args, machine in ((["Hi", "-H", "5", "--hatch", "line:gap=0.2"], []), (arcs, []),
                              (arcs, ["--machine", "grbl-plotter"])):
            with self.subTest(args=args, machine=machine), tempfile.TemporaryDirectory() as d:
                svg, job, _, _ = self.render_pair(args, machine, d, "gcode")
                moves = subprocess.run([node, os.path.join(HERE, "gcode", "toolpath.js"), job],
                                       env=dict(os.environ, NODE_PATH=modules), check=True,
                                       capture_output=True, text=True).stdout
                got, end = [], None
                for m in map(json.loads, moves.splitlines()):
                    motion, (x0, y0, z0, x1, y1, z1) = m[0], m[1:7]
                    if motion == "G0" or max(z0, z1) > 0 or (x0, y0) == (x1, y1):
                        end = None
                        continue
                    if end != (x0, y0):
                        got.append([(x0, y0)])
                    got[-1] += [(x1, y1)] if motion == "G1" else arc(x0, y0, x1, y1, *m[7:9],
                                                                       motion == "G3")
                    end = (x1, y1)
                want = svg_strokes(svg, 1e-3)
                self.assertEqual(len(got), len(want))
                for g, w in zip(got, want):
                    self.assertLessEqual(max(farthest(g, w), farthest(w, g)), 1e-3)

    def test_estimate_by_hand(self):
        # A shape font whose "A" is a 2 x 2 square drawn from its origin, then 3 east pen up.
        # Height 1 makes "A" one unit tall: "AA" is two 1 mm squares, at x = 0 and x = 1.5.
        # Marking 10 mm/s, travel 20 mm/s, 100 mm/s^2, 0.25 s a lift:
        #   each square, 4 mm: cruise is reached (10^2 / 100 = 1 mm <= 4): 4/10 + 10/100 = 0.5 s
        #   travel 0 -> (0,0), then (0,0) -> (1.5,0) and back to (0,0): 1.5 mm each, short of
        #   20^2 / 100 = 4 mm, a triangle: 2 sqrt(1.5 / 100) = 0.244949 s
        #   lifts: 2 x 0.25 s
        #   total 2 x 0.5 + 2 x 0.244949 + 0.5 = 1.989898 s; marking 8 mm, travel 3 mm
        with tempfile.TemporaryDirectory() as d:
            shp, shx = os.path.join(d, "sq.shp"), os.path.join(d, "sq.shx")
            open(shp, "w").write("*0,4,SQ\n1,0,0,0\n*041,7,A\n020,024,028,02C,2,030,0\n")
            subprocess.run([CLI, "shx-compile", shp, "-o", shx], check=True, capture_output=True)
            speeds = ["--feed", "600", "--travel-feed", "1200", "--accel", "100", "--lift-time",
                      "0.25"]
            want = "marking 8.000 mm, travel 3.000 mm, 2 pen lifts, 1.990 s (0:02)"
            out = subprocess.run([CLI, "estimate", "AA", "-f", shx, *speeds], check=True,
                                 capture_output=True, text=True).stdout
            self.assertTrue(out.startswith(want), out)
            # The same line follows each machine output.
            for name in ("j.gcode", "j.hpgl"):
                err = subprocess.run([CLI, "render", "AA", "-f", shx, *speeds, "-o",
                                      os.path.join(d, name)], check=True, capture_output=True,
                                     text=True).stderr
                self.assertIn(want, err)


if __name__ == "__main__":
    unittest.main()
