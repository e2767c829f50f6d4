#!/usr/bin/python3
"""The Windows DLL under Wine (real GDI calls, answered by Wine's GDI) against
the Linux library (GDI answered by FreeType and fontconfig), for the texts of
cases.txt, as the same host program sees them.

Both runs write the same text format (text_host.c). Compared exactly: the
binding of every function by both names, the case lines, the font information,
line and character counts, the line's ascent and descent, and the kinds of all
records. Compared within stated bounds, each for a reason explained in
docs/windows.md:
  - pen positions: under the near-identity matrix Wine rounds every glyph
    advance up by one pixel of the realized font (its gmCellIncY of -1 is not
    read by the layouts); at the font's scale that is at most
    ADVANCE_PER_GLYPH output units per glyph laid before the point, plus
    ROUNDING for the integer records;
  - carets and boxes follow the pen: the same bound;
  - FontInformation.ratio (U / depth of "g"): the depth is read from the black
    box, one pixel larger under Wine: RATIO_RELATIVE;
  - the trace logs beside each library (which show that the library found its
    own path at load and closed its logs at unload) word for word, data
    pointers left out;
  - outline points within a glyph: Wine's 26.6 fractions differ from ours by
    less than 1/64 pixel, which rounding to integer records can turn into one
    unit: ROUNDING.
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


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


LOGS = ("TTFLog.txt", "TTFCBNLog.txt")


def library_with_logs(library, folder):
    """A copy of the library in a folder of its own, with the two log files
    beside it: the library finds its own path when it is loaded and opens them
    for appending, and closes them when it is unloaded."""
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    copy = os.path.join(folder, os.path.basename(library))
    shutil.copy(library, copy)
    for log in LOGS:
        open(os.path.join(folder, log), "w").close()
    return copy


def run_wine(args):
    env = dict(os.environ, WINEPREFIX=os.path.abspath(args.prefix), WINEDEBUG="-all",
               WINEARCH=args.arch,
               # No Mono or Gecko installers in a throwaway prefix.
               WINEDLLOVERRIDES="mscoree,mshtml=")
    out = os.path.join(args.out, "wine-records.txt")
    # Timeouts for a 32-bit Wine under QEMU's emulation (a kernel without 32-bit
    # support): creating the prefix takes tens of minutes there, a run minutes.
    # Wine's own services (services.exe, plugplay, crash handlers) outlive the
    # programs that started them and inherit their output: writing to ctest's
    # pipe, they kept it open, and ctest waited for them until its timeout. So
    # Wine writes to a log file, and the prefix's server is stopped afterwards.
    log_path = os.path.join(args.out, "wine-output.txt")
    server = os.path.join(os.path.dirname(args.wine), "wineserver")
    try:
        with open(log_path, "w") as log:
            if not os.path.isfile(os.path.join(args.prefix, "system.reg")):
                subprocess.run([args.wine, "wineboot", "-i"], env=env, check=False,
                               stdin=subprocess.DEVNULL, stdout=log, stderr=log, timeout=3600)
            dll = library_with_logs(args.dll, os.path.join(args.out, "wine-library"))
            subprocess.run([args.wine, args.host, windows_path(dll), windows_path(args.names),
                            windows_path(args.cases), windows_path(out)], env=env, check=True,
                           stdin=subprocess.DEVNULL, stdout=log, stderr=log, timeout=1200)
    finally:
        subprocess.run([server, "-k"], env=env, check=False, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120)
    return out, os.path.dirname(dll)


def run_linux(args):
    out = os.path.join(args.out, "linux-records.txt")
    library = library_with_logs(args.linux_library, os.path.join(args.out, "linux-library"))
    subprocess.run([args.linux_host, library, "-", args.cases, out], check=True, timeout=300)
    return out, os.path.dirname(library)


def compare_logs(comparison, win_folder, lin_folder):
    """The trace logs written beside each library: the same calls in the same
    words. Data pointers and the dumped records (which differ as the records
    do) are left out; the dump logs must hold as many lines."""
    def lines(folder, log):
        return open(os.path.join(folder, log), encoding="latin-1").read().split("\n")
    win, lin = lines(win_folder, LOGS[0]), lines(lin_folder, LOGS[0])
    comparison.trace_lines = len(win) - 1
    if len(win) < 10:
        comparison.fail(f"the Windows trace log has {len(win) - 1} lines")
    for a, b in zip(win, lin):
        # A font file's path as each system spells it.
        a = re.sub(r"Z:(\\[^,)]*)", lambda m: m.group(1).replace("\\", "/"), a)
        if a.startswith("No = ") and b.startswith("No = "):
            a, b = a.split(",")[0], b.split(",")[0]
        if a != b:
            comparison.fail(f"trace log: '{a}' on Windows, '{b}' on Linux")
            break
    if len(win) != len(lin):
        comparison.fail(f"trace log: {len(win)} lines on Windows, {len(lin)} on Linux")
    win, lin = lines(win_folder, LOGS[1]), lines(lin_folder, LOGS[1])
    comparison.dump_lines = len(win) - 1
    if len(win) < 2 or len(win) != len(lin):
        comparison.fail(f"dump log: {len(win) - 1} lines on Windows, {len(lin) - 1} on Linux")


def parse(path):
    """{case number: {"head": [lines], "carets": [...], "outlines": [(type, box, records)]}}"""
    cases, binds = {}, []
    current = None
    for line in open(path, encoding="utf-8"):
        line = line.rstrip("\r\n")
        word = line.split(" ", 1)[0]
        if word == "bind":
            binds.append(line)
        elif word == "realized":
            current["realized"] = line.split(" ", 1)[1]
        elif word == "case":
            current = {"head": [line], "carets": [], "outlines": []}
            cases[int(line.split()[1])] = current
        elif word in ("info", "lines"):
            current["head"].append(line)
        elif word == "carets":
            current["carets"] = [float(v) for v in line.split()[2:]]
        elif word == "outlines":
            fields = line.split()
            current["outlines"].append((int(fields[2]), [float(v) for v in fields[6:]], []))
        elif word == "record":
            current["outlines"][-1][2].append([int(v) for v in line.split()[1:]])
    return cases, binds


def pen_path(records):
    """Absolute points of the records, with the number of moves before each."""
    x = y = 0
    moves = 0
    points = []
    for record in records:
        kind = record[0]
        if kind == 40:
            moves += 1
        if kind == 42:
            # Arc: end, then centre, both relative to the pen.
            points.append((x + record[3], y + record[4], moves))
        x += record[1]
        y += record[2]
        points.append((x, y, moves))
    return points


class Comparison:
    def __init__(self):
        self.failures = []
        self.exact = 0
        self.bounded = 0
        self.largest = 0.0   # largest pen drift seen, output units
        self.largest_local = 0.0  # largest difference within a contour
        self.largest_ratio = 0.0  # largest relative difference of FontInformation.ratio

    def fail(self, message):
        if len(self.failures) < 40:
            self.failures.append(message)

    def case(self, number, text, win, lin):
        glyphs = len(text)
        for a, b in zip(win["head"], lin["head"]):
            self.exact += 1
            if a.startswith("info ratio ") and b.startswith("info ratio "):
                # The ratio divides by the depth of "g", read from its black box,
                # which Wine makes one pixel larger: RATIO_RELATIVE.
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
            self.bounded += 1
            self.largest = max(self.largest, abs(a - b))
            if abs(a - b) > bound:
                self.fail(f"case {number}: caret {a} on Windows, {b} on Linux")
        if len(win["outlines"]) != len(lin["outlines"]):
            self.fail(f"case {number}: outline retrievals differ")
        for (wt, wbox, wrec), (lt, lbox, lrec) in zip(win["outlines"], lin["outlines"]):
            for a, b in zip(wbox, lbox):
                self.bounded += 1
                self.largest = max(self.largest, abs(a - b))
                if abs(a - b) > bound:
                    self.fail(f"case {number} type {wt}: box {wbox} on Windows, {lbox} on Linux")
                    break
            kinds_w = [r[0] for r in wrec]
            kinds_l = [r[0] for r in lrec]
            self.exact += 1
            if kinds_w != kinds_l:
                self.fail(f"case {number} type {wt}: {len(wrec)} records on Windows, "
                          f"{len(lrec)} on Linux, or kinds differ")
                continue
            self.points(number, wt, pen_path(wrec), pen_path(lrec), bound)

    def points(self, number, kind, win, lin, bound):
        # Within a contour (between moves) the drift of the pen cancels: compare
        # each point relative to the contour's start within ROUNDING; the
        # contour starts themselves within the pen bound.
        start_w = start_l = (0, 0)
        last_moves = -1
        for (xw, yw, mw), (xl, yl, _) in zip(win, lin):
            self.bounded += 1
            if mw != last_moves:
                last_moves = mw
                start_w, start_l = (xw, yw), (xl, yl)
                drift = max(abs(xw - xl), abs(yw - yl))
                self.largest = max(self.largest, drift)
                if drift > bound:
                    self.fail(f"case {number} type {kind}: contour start ({xw}, {yw}) on "
                              f"Windows, ({xl}, {yl}) on Linux")
                continue
            local = max(abs((xw - start_w[0]) - (xl - start_l[0])),
                        abs((yw - start_w[1]) - (yl - start_l[1])))
            self.largest_local = max(self.largest_local, local)
            if local > ROUNDING:
                self.fail(f"case {number} type {kind}: point ({xw}, {yw}) on Windows, "
                          f"({xl}, {yl}) on Linux, {local} apart within its contour")


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
    compare_logs(comparison, win_folder, lin_folder)
    if not binds or any(not b.endswith(" same") for b in binds):
        comparison.fail("binding by plain and decorated name: " +
                        "; ".join(b for b in binds if not b.endswith(" same")))
    if set(win_cases) != set(lin_cases) or not win_cases:
        comparison.fail(f"cases {sorted(win_cases)} on Windows, {sorted(lin_cases)} on Linux")
    for number in sorted(set(win_cases) & set(lin_cases)):
        text = re.search(r" text (.*)$", lin_cases[number]["head"][0]).group(1)
        comparison.case(number, text.replace("\\n", "\n"), win_cases[number], lin_cases[number])
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
