#!/usr/bin/python3
"""text_host.c on the Windows DLL under Wine against the Linux library. Exact: binding by both
names, case lines, font information, line metrics, record kinds, the trace logs (path found at
load, logs closed at unload). Bounded (docs/windows.md): pens, carets, boxes, ratio, points."""
import argparse
import os
import re
import shutil
import subprocess
import sys

ROUNDING = 2.0           # output units: integer records and their carried residues
ADVANCE_PER_GLYPH = 0.5  # Wine rounds each advance up by one pixel at the font's scale (< 0.2)
RATIO_RELATIVE = 1e-3    # one pixel of a descender at least 1000 pixels deep (height 10000)
LOGS = ("TTFLog.txt", "TTFCBNLog.txt")
failures = []
stats = dict(exact=0, bounded=0, pen=0.0, contour=0.0, ratio=0.0)


def fail(message):
    failures.extend([message][:40 - len(failures)])


def near(a, b, bound):
    stats["bounded"], stats["pen"] = stats["bounded"] + 1, max(stats["pen"], abs(a - b))
    return abs(a - b) <= bound


def run(args, side, host, library, names, command, **options):
    """The host on a copy of the library in a folder of its own, with empty logs beside it."""
    folder = os.path.join(args.out, side + "-library")
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    for log in LOGS:
        open(os.path.join(folder, log), "w").close()
    out = os.path.join(args.out, side + "-records.txt")
    paths = [shutil.copy(library, folder), names, args.cases, out]
    if side == "wine":
        paths = ["Z:" + os.path.abspath(p).replace("/", "\\") for p in paths]
    subprocess.run(command + [host] + paths, check=True, **options)
    return parse(out), folder


def parse(path):
    """({case: {"head": [lines], "carets": [...], "outlines": [(type, box, records)]}}, binds)"""
    cases, binds = {}, []
    for line in open(path, encoding="utf-8"):
        word, *fields = line.split()
        if word == "bind":
            binds.append(line.rstrip())
        elif word == "case":
            case = cases[int(fields[0])] = {"head": [], "carets": [], "outlines": []}
        if word in ("case", "info", "lines"):
            case["head"].append(line.rstrip("\r\n"))
        elif word == "carets":
            case["carets"] = [float(v) for v in fields[1:]]
        elif word == "outlines":
            case["outlines"].append((int(fields[1]), [float(v) for v in fields[5:]], []))
        elif word == "record":
            case["outlines"][-1][2].append([int(v) for v in fields])
    return cases, binds


def compare_logs(win_folder, lin_folder):
    trace, dump = ([open(os.path.join(folder, log), encoding="latin-1").read().split("\n")
                    for folder in (win_folder, lin_folder)] for log in LOGS)
    for a, b in zip(*trace):
        # A font file's path as each system spells it; data pointers left out.
        a = re.sub(r"Z:(\\[^,)]*)", lambda m: m.group(1).replace("\\", "/"), a)
        if a.startswith("No = ") and b.startswith("No = "):
            a, b = a.split(",")[0], b.split(",")[0]
        if a != b:
            fail(f"trace log: '{a}' on Windows, '{b}' on Linux")
            break
    for name, (win, lin), least in (("trace", trace, 10), ("dump", dump, 2)):
        if len(win) < least or len(win) != len(lin):
            fail(f"{name} log: {len(win) - 1} lines on Windows, {len(lin) - 1} on Linux")
    return len(trace[0]) - 1, len(dump[0]) - 1


def compare_case(number, win, lin):
    for a, b in zip(win["head"], lin["head"]):
        stats["exact"] += 1
        if a.startswith("info ratio ") and b.startswith("info ratio "):
            ra, rb = float(a.split()[2]), float(b.split()[2])
            relative = abs(ra - rb) / rb if rb else abs(ra)
            stats["ratio"] = max(stats["ratio"], relative)
            if relative > RATIO_RELATIVE:
                fail(f"case {number}: ratio {ra} on Windows, {rb} on Linux")
            a, b = a.split(" ", 3)[3], b.split(" ", 3)[3]
        if a != b:
            fail(f"case {number}: '{a}' on Windows, '{b}' on Linux")
    text = re.search(r" text (.*)$", lin["head"][0]).group(1)
    bound = ROUNDING + ADVANCE_PER_GLYPH * len(text.replace("\\n", "\n"))
    if len(win["carets"]) != len(lin["carets"]) or len(win["outlines"]) != len(lin["outlines"]):
        fail(f"case {number}: caret values or outline retrievals differ in number")
    for a, b in zip(win["carets"], lin["carets"]):
        if not near(a, b, bound):
            fail(f"case {number}: caret {a} on Windows, {b} on Linux")
    for (kind, wbox, wrec), (_, lbox, lrec) in zip(win["outlines"], lin["outlines"]):
        where = f"case {number} type {kind}"
        if not all([near(a, b, bound) for a, b in zip(wbox, lbox)]):
            fail(f"{where}: box {wbox} on Windows, {lbox} on Linux")
        stats["exact"] += 1
        if [r[0] for r in wrec] != [r[0] for r in lrec]:
            fail(f"{where}: {len(wrec)} records on Windows, {len(lrec)} on Linux, or kinds differ")
            continue
        # The pen's drift cancels within a contour: each point is compared relative to its
        # contour's start within ROUNDING, the starts within the pen bound.
        last_moves = -1
        for (xw, yw, mw), (xl, yl, _) in zip(pen_path(wrec), pen_path(lrec)):
            if mw != last_moves:
                last_moves, sxw, syw, sxl, syl = mw, xw, yw, xl, yl
                if not near(max(abs(xw - xl), abs(yw - yl)), 0, bound):
                    fail(f"{where}: contour start ({xw}, {yw}) on Windows, ({xl}, {yl})")
                continue
            stats["bounded"] += 1
            local = max(abs(xw - sxw - xl + sxl), abs(yw - syw - yl + syl))
            stats["contour"] = max(stats["contour"], local)
            if local > ROUNDING:
                fail(f"{where}: point ({xw}, {yw}) on Windows, ({xl}, {yl}) on Linux, "
                     f"{local} apart within its contour")


def pen_path(records):
    """Absolute points of the records (an arc's centre too), with the number of moves before."""
    x = y = moves = 0
    for kind, dx, dy, *centre in records:
        moves += kind == 40
        if centre:
            yield x + centre[0], y + centre[1], moves
        x, y = x + dx, y + dy
        yield x, y, moves


def main():
    parser = argparse.ArgumentParser()
    for name in ("wine", "arch", "prefix", "host", "dll", "header", "cases", "linux-host",
                 "linux-library", "out"):
        parser.add_argument("--" + name, required=True)
    args = parser.parse_args()
    for path, missing in ((args.wine, f"no {args.arch} Wine in /usr/lib/wine (install-deps.sh)"),
                          (args.linux_host, "no Linux text host (set VUZODO_LINUX_BUILD_DIR)")):
        if not os.access(path, os.X_OK):
            sys.exit(f"windows_wine_records: {missing}: {path}")
    args.names = os.path.join(args.out, "decorated.txt")  # the names the host binds by, and plain
    subprocess.run([sys.executable, os.path.join(os.path.dirname(__file__), "..", "..", "cmake",
                    "make_def.py"), args.header, "--arch", "x86" if args.arch == "win32" else "x64",
                    "decorated", args.names], check=True)
    # Timeouts for wine32 under QEMU; Wine's services would keep ctest's pipe open: log to a file.
    log = open(os.path.join(args.out, "wine-output.txt"), "w")
    quiet = dict(stdin=subprocess.DEVNULL, stdout=log, stderr=log, env=dict(
        os.environ, WINEPREFIX=os.path.abspath(args.prefix), WINEDEBUG="-all", WINEARCH=args.arch,
        WINEDLLOVERRIDES="mscoree,mshtml="))  # no Mono, no Gecko
    # Wine makes the prefix itself but not the folders above it (none on a new machine).
    os.makedirs(os.path.dirname(os.path.abspath(args.prefix)), exist_ok=True)
    try:
        if not os.path.isfile(os.path.join(args.prefix, "system.reg")):
            subprocess.run([args.wine, "wineboot", "-i"], timeout=3600, **quiet)
        (win, binds), win_folder = run(args, "wine", args.host, args.dll, args.names, [args.wine],
                                       timeout=1200, **quiet)
    finally:
        subprocess.run([os.path.join(os.path.dirname(args.wine), "wineserver"), "-k"], timeout=120,
                       **quiet)
    (lin, _), lin_folder = run(args, "linux", args.linux_host, args.linux_library, "-", [],
                               timeout=300)
    trace_lines, dump_lines = compare_logs(win_folder, lin_folder)
    if not binds or any(not b.endswith(" same") for b in binds):
        fail("binding by plain and decorated name: " +
             "; ".join(b for b in binds if not b.endswith(" same")))
    if set(win) != set(lin) or not win:
        fail(f"cases {sorted(win)} on Windows, {sorted(lin)} on Linux")
    for number in sorted(set(win) & set(lin)):
        compare_case(number, win[number], lin[number])
    print(f"{len(binds)} functions bound by both names, {len(win)} cases, {stats['exact']} exact "
          f"and {stats['bounded']} bounded comparisons; largest pen difference {stats['pen']:g}, "
          f"within a contour {stats['contour']:g}, relative ratio {stats['ratio']:.2g}; "
          f"trace log {trace_lines} lines (the same as on Linux), dump log {dump_lines}")
    for failure in failures:
        print("FAIL:", failure)
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
