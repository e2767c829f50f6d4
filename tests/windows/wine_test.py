#!/usr/bin/python3
"""The Windows DLL under Wine (real GDI calls answered by Wine's GDI) against the Linux library
(GDI answered by FreeType and fontconfig), for the texts of cases.txt, as the same host program
(text_host.c) sees them. Exact: the binding of every function by both names, the case lines,
font information, line and character counts, line ascent and descent, the kinds of all records,
and the trace logs beside each library (which show that the library found its own path at load
and closed its logs at unload), data pointers left out. Within bounds, each explained in
docs/windows.md:
  - pen positions, carets and boxes: Wine rounds every glyph advance up by one pixel of the
    realized font, at most ADVANCE_PER_GLYPH per glyph laid before the point, plus ROUNDING;
  - FontInformation.ratio (U / depth of "g"): the depth is read from a black box one pixel
    larger under Wine: RATIO_RELATIVE;
  - outline points within a contour: Wine's 26.6 fractions differ from ours by less than 1/64
    pixel, which rounding to integer records can turn into one unit: ROUNDING.
A difference outside these bounds fails the test and is printed.
"""
import argparse
import os
import re
import shutil
import subprocess
import sys

ROUNDING = 2.0           # output units: integer records and their carried residues
ADVANCE_PER_GLYPH = 0.5  # output units per glyph: one pixel at the font's scale (< 0.2), doubled
RATIO_RELATIVE = 1e-3    # one pixel of a descender at least 1000 pixels deep (height 10000)
LOGS = ("TTFLog.txt", "TTFCBNLog.txt")


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def library_with_logs(library, folder):
    """A copy of the library in a folder of its own, with the two empty logs beside it."""
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    copy = shutil.copy(library, folder)
    for log in LOGS:
        open(os.path.join(folder, log), "w").close()
    return copy


def run_wine(args):
    env = dict(os.environ, WINEPREFIX=os.path.abspath(args.prefix), WINEDEBUG="-all",
               WINEARCH=args.arch, WINEDLLOVERRIDES="mscoree,mshtml=")  # no Mono, no Gecko
    out = os.path.join(args.out, "wine-records.txt")
    # Timeouts for a 32-bit Wine under QEMU, where creating the prefix takes tens of minutes.
    # Wine's services outlive the programs that started them and would keep ctest's pipe open:
    # Wine writes to a log file, and the prefix's server is stopped afterwards.
    quiet = dict(env=env, stdin=subprocess.DEVNULL)
    try:
        with open(os.path.join(args.out, "wine-output.txt"), "w") as log:
            if not os.path.isfile(os.path.join(args.prefix, "system.reg")):
                subprocess.run([args.wine, "wineboot", "-i"], stdout=log, stderr=log,
                               timeout=3600, **quiet)
            dll = library_with_logs(args.dll, os.path.join(args.out, "wine-library"))
            subprocess.run([args.wine, args.host] + [windows_path(p) for p in
                                                     (dll, args.names, args.cases, out)],
                           check=True, stdout=log, stderr=log, timeout=1200, **quiet)
    finally:
        subprocess.run([os.path.join(os.path.dirname(args.wine), "wineserver"), "-k"],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120, **quiet)
    return out, os.path.dirname(dll)


def run_linux(args):
    out = os.path.join(args.out, "linux-records.txt")
    library = library_with_logs(args.linux_library, os.path.join(args.out, "linux-library"))
    subprocess.run([args.linux_host, library, "-", args.cases, out], check=True, timeout=300)
    return out, os.path.dirname(library)


def parse(path):
    """{case number: {"head": [lines], "carets": [...], "outlines": [(type, box, records)]}}"""
    cases, binds, current = {}, [], None
    for line in open(path, encoding="utf-8"):
        line = line.rstrip("\r\n")
        word, fields = line.split(" ", 1)[0], line.split()
        if word == "bind":
            binds.append(line)
        elif word == "realized":
            current["realized"] = line.split(" ", 1)[1]
        elif word == "case":
            current = cases[int(fields[1])] = {"head": [line], "carets": [], "outlines": []}
        elif word in ("info", "lines"):
            current["head"].append(line)
        elif word == "carets":
            current["carets"] = [float(v) for v in fields[2:]]
        elif word == "outlines":
            current["outlines"].append((int(fields[2]), [float(v) for v in fields[6:]], []))
        elif word == "record":
            current["outlines"][-1][2].append([int(v) for v in fields[1:]])
    return cases, binds


def pen_path(records):
    """Absolute points of the records (an arc's centre too), with the number of moves before."""
    x = y = moves = 0
    points = []
    for record in records:
        moves += record[0] == 40
        if record[0] == 42:
            points.append((x + record[3], y + record[4], moves))
        x, y = x + record[1], y + record[2]
        points.append((x, y, moves))
    return points


class Comparison:
    def __init__(self):
        self.failures = []
        self.exact = self.bounded = 0
        self.largest = self.largest_local = self.largest_ratio = 0.0

    def fail(self, message):
        if len(self.failures) < 40:
            self.failures.append(message)

    def near(self, a, b, bound):
        self.bounded += 1
        self.largest = max(self.largest, abs(a - b))
        return abs(a - b) <= bound

    def logs(self, win_folder, lin_folder):
        def lines(folder, log):
            return open(os.path.join(folder, log), encoding="latin-1").read().split("\n")
        win, lin = lines(win_folder, LOGS[0]), lines(lin_folder, LOGS[0])
        self.trace_lines = len(win) - 1
        if len(win) < 10:
            self.fail(f"the Windows trace log has {len(win) - 1} lines")
        for a, b in zip(win, lin):
            # A font file's path as each system spells it; data pointers left out.
            a = re.sub(r"Z:(\\[^,)]*)", lambda m: m.group(1).replace("\\", "/"), a)
            if a.startswith("No = ") and b.startswith("No = "):
                a, b = a.split(",")[0], b.split(",")[0]
            if a != b:
                self.fail(f"trace log: '{a}' on Windows, '{b}' on Linux")
                break
        if len(win) != len(lin):
            self.fail(f"trace log: {len(win)} lines on Windows, {len(lin)} on Linux")
        win, lin = lines(win_folder, LOGS[1]), lines(lin_folder, LOGS[1])
        self.dump_lines = len(win) - 1
        if len(win) < 2 or len(win) != len(lin):
            self.fail(f"dump log: {len(win) - 1} lines on Windows, {len(lin) - 1} on Linux")

    def case(self, number, glyphs, win, lin):
        for a, b in zip(win["head"], lin["head"]):
            self.exact += 1
            if a.startswith("info ratio ") and b.startswith("info ratio "):
                ra, rb = float(a.split()[2]), float(b.split()[2])
                relative = abs(ra - rb) / rb if rb else abs(ra)
                self.largest_ratio = max(self.largest_ratio, relative)
                if relative > RATIO_RELATIVE:
                    self.fail(f"case {number}: ratio {ra} on Windows, {rb} on Linux")
                a, b = a.split(" ", 3)[3], b.split(" ", 3)[3]
            if a != b:
                self.fail(f"case {number}: '{a}' on Windows, '{b}' on Linux")
        bound = ROUNDING + ADVANCE_PER_GLYPH * glyphs
        if len(win["carets"]) != len(lin["carets"]):
            self.fail(f"case {number}: {len(win['carets'])} caret values, {len(lin['carets'])}")
        for a, b in zip(win["carets"], lin["carets"]):
            if not self.near(a, b, bound):
                self.fail(f"case {number}: caret {a} on Windows, {b} on Linux")
        if len(win["outlines"]) != len(lin["outlines"]):
            self.fail(f"case {number}: outline retrievals differ")
        for (kind, wbox, wrec), (_, lbox, lrec) in zip(win["outlines"], lin["outlines"]):
            if not all([self.near(a, b, bound) for a, b in zip(wbox, lbox)]):
                self.fail(f"case {number} type {kind}: box {wbox} on Windows, {lbox} on Linux")
            self.exact += 1
            if [r[0] for r in wrec] != [r[0] for r in lrec]:
                self.fail(f"case {number} type {kind}: {len(wrec)} records on Windows, "
                          f"{len(lrec)} on Linux, or kinds differ")
            else:
                self.points(f"case {number} type {kind}", pen_path(wrec), pen_path(lrec), bound)

    def points(self, where, win, lin, bound):
        # The pen's drift cancels within a contour (between moves): each point is compared
        # relative to its contour's start within ROUNDING, the starts within the pen bound.
        start_w = start_l = (0, 0)
        last_moves = -1
        for (xw, yw, mw), (xl, yl, _) in zip(win, lin):
            if mw != last_moves:
                last_moves, start_w, start_l = mw, (xw, yw), (xl, yl)
                if not self.near(max(abs(xw - xl), abs(yw - yl)), 0, bound):
                    self.fail(f"{where}: contour start ({xw}, {yw}) on Windows, ({xl}, {yl})")
                continue
            self.bounded += 1
            local = max(abs((xw - start_w[0]) - (xl - start_l[0])),
                        abs((yw - start_w[1]) - (yl - start_l[1])))
            self.largest_local = max(self.largest_local, local)
            if local > ROUNDING:
                self.fail(f"{where}: point ({xw}, {yw}) on Windows, ({xl}, {yl}) on Linux, "
                          f"{local} apart within its contour")


def main():
    parser = argparse.ArgumentParser()
    for name in ("wine", "arch", "prefix", "host", "dll", "names", "cases", "linux-host",
                 "linux-library", "out"):
        parser.add_argument("--" + name, required=True)
    args = parser.parse_args()
    win_records, win_folder = run_wine(args)
    lin_records, lin_folder = run_linux(args)
    win_cases, binds = parse(win_records)
    lin_cases, _ = parse(lin_records)
    comparison = Comparison()
    comparison.logs(win_folder, lin_folder)
    if not binds or any(not b.endswith(" same") for b in binds):
        comparison.fail("binding by plain and decorated name: " +
                        "; ".join(b for b in binds if not b.endswith(" same")))
    if set(win_cases) != set(lin_cases) or not win_cases:
        comparison.fail(f"cases {sorted(win_cases)} on Windows, {sorted(lin_cases)} on Linux")
    for number in sorted(set(win_cases) & set(lin_cases)):
        text = re.search(r" text (.*)$", lin_cases[number]["head"][0]).group(1)
        comparison.case(number, len(text.replace("\\n", "\n")), win_cases[number],
                        lin_cases[number])
    print(f"{len(binds)} functions bound by both names; {len(win_cases)} cases; "
          f"{comparison.exact} exact comparisons, {comparison.bounded} bounded; "
          f"largest pen difference {comparison.largest:g}, largest within a contour "
          f"{comparison.largest_local:g} output units, largest relative ratio difference "
          f"{comparison.largest_ratio:.2g}")
    faces = sorted({f"{re.search(r' face (.*?) style', c['head'][0]).group(1)} -> {c['realized']}"
                    for c in win_cases.values() if "realized" in c})
    print("Wine's GDI realized: " + "; ".join(faces))
    print(f"trace log beside the DLL: {comparison.trace_lines} lines, the same as on Linux; "
          f"dump log: {comparison.dump_lines} lines")
    for failure in comparison.failures:
        print("FAIL:", failure)
    sys.exit(1 if comparison.failures else 0)


if __name__ == "__main__":
    main()
