#!/usr/bin/env python3
"""Mutation testing: how many small, deliberate faults does the release suite catch?

A mutant is one changed line in the product code: a comparison flipped, a + turned
into a - (or back), an integer constant off by one, a statement dropped, or the two
arguments of a call swapped. The list is fixed (scripts/mutants.txt) so that runs on
different versions of the suite count the same faults; it was drawn by `generate`
with a fixed seed from every site these operators apply to, spread evenly over four
areas (engine, geometry, hatching, readers) and kept only where the mutant compiles.

  scripts/mutate.py generate [--seed 21] [--per-area 22] [--check-compile --build build]
      draws the list and writes scripts/mutants.txt; with --check-compile each
      mutant is compiled (syntax only) first and left out if the compiler rejects it
  scripts/mutate.py prune [--results FILE]
      removes the mutants a run found not to compile from scripts/mutants.txt
  scripts/mutate.py run --build DIR [--results FILE] [--only M001,M002]
      for each mutant: apply it, rebuild incrementally (ninja), run the whole
      ctest suite (stopping at the first failure), restore the file; one row per
      mutant in the results file (tab-separated; a rerun skips rows present)
  scripts/mutate.py table [--results FILE]
      prints the results as a Markdown table with the counts

Run it in a tree of its own: the source file is changed while its mutant runs
(always restored, also on Ctrl-C), so edits to that tree would race with it.
"""
from __future__ import annotations

import argparse
import json
import os
import random
import re
import shlex
import signal
import subprocess
import sys
import time
from dataclasses import dataclass
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
LIST = ROOT / "scripts" / "mutants.txt"

READERS = {"SHXFontHandler", "SHXFontLoader", "SHXInterpreter", "SHXShapeInfo", "SHXFont",
           "OVFFontHandler", "OVFShapeInfo",
           "FntReader", "TTFLoader", "ReaderGlyph"}


def area_of(rel: str) -> str | None:
    path = Path(rel)
    if path.suffix != ".cpp":
        return None
    if rel.startswith("QELObjectLibrary/"):
        return None if path.stem == "TestUtility" else "geometry"
    if rel.startswith("QELHatching/"):
        return "hatching"
    if rel.startswith("VUZODO/platform/posix/"):
        return "readers"
    if rel.startswith("VUZODO/") and path.parent == Path("VUZODO"):
        return "readers" if path.stem in READERS else "engine"
    return None


AREAS = ("engine", "geometry", "hatching", "readers")


@dataclass
class Mutant:
    ident: str
    area: str
    op: str
    file: str
    line: int
    before: str  # the whole line, as in the source
    after: str

    def header(self) -> str:
        return f"{self.ident} {self.area} {self.op} {self.file}:{self.line}"


# ---- the list file: a header line, then "- old line" and "+ new line" ----

def load_list(path: Path = LIST) -> list[Mutant]:
    mutants, lines = [], path.read_text().splitlines()
    i = 0
    while i < len(lines):
        text = lines[i]
        if not text.strip() or text.startswith("#"):
            i += 1
            continue
        ident, area, op, where = text.split()
        file, line = where.rsplit(":", 1)
        before, after = lines[i + 1], lines[i + 2]
        if not (before.startswith("- ") and after.startswith("+ ")):
            sys.exit(f"mutate: {path}: the mutant {ident} needs a '- ' and a '+ ' line")
        mutants.append(Mutant(ident, area, op, file, int(line), before[2:], after[2:]))
        i += 3
    return mutants


def save_list(mutants: list[Mutant], seed: int, path: Path = LIST) -> None:
    out = [f"# Mutants for scripts/mutate.py, drawn with seed {seed}; each is one line of",
           "# product code, '-' as it is and '+' as the mutant has it. Keep the list fixed so",
           "# that runs on different versions of the suite stay comparable.", ""]
    for m in mutants:
        out += [m.header(), "- " + m.before, "+ " + m.after]
    path.write_text("\n".join(out) + "\n")


# ---- finding sites ----

def mask(line: str) -> str:
    """The line with string and character literals and a trailing comment blanked."""
    out, i, quote = [], 0, None
    while i < len(line):
        c = line[i]
        if quote:
            if c == "\\":
                out.append("  ")
                i += 2
                continue
            out.append(" " if c != quote else c)
            if c == quote:
                quote = None
        elif c in "\"'":
            quote = c
            out.append(c)
        elif line.startswith("//", i):
            break
        else:
            out.append(c)
        i += 1
    return "".join(out).ljust(len(line))


FLIP = {"<": ">=", ">": "<=", "<=": ">", ">=": "<", "==": "!=", "!=": "=="}
SYMMETRIC = {"min", "max", "fmin", "fmax", "hypot", "swap", "equal", "Max", "Min", "make_pair"}
SKIP = re.compile(r"^\s*(#|//|\*|/\*)|static_assert|\bassert\(|template\s*<|operator\s*[<>=!]")
ASSIGN = re.compile(r"^\s*[A-Za-z_][\w.\[\]>-]*(->[\w]+)*\s*([-+*/|&]?=[^=]|\+\+|--)")
CALL = re.compile(r"^\s*[A-Za-z_][\w.:>\[\]-]*\(.*\);\s*$")
SIMPLE = re.compile(r"^[A-Za-z_][\w.]*(->\w+)*(\[\w+\])?$")
PAIR = re.compile(r"\b(\w+)\(([^(),<>]+), ([^(),<>]+)\)")


def sites(rel: str, number: int, line: str, previous: str):
    """Every mutant of one line, as (operator, mutated line)."""
    if SKIP.search(line):
        return
    masked = mask(line)
    if "{" in masked and masked.rstrip().endswith("{") and "(" not in masked:
        return
    for m in re.finditer(r"(?<=\s)(<=|>=|==|!=|<|>)(?=\s)", masked):
        yield "cmp", line[:m.start()] + FLIP[m.group(1)] + line[m.end():]
    for m in re.finditer(r"(?<=\s)([-+])(=?)(?=\s)", masked):
        swapped = "-" if m.group(1) == "+" else "+"
        yield "arith", line[:m.start()] + swapped + m.group(2) + line[m.end():]
    # A line at the left margin is a declaration (a signature, a constant): its
    # parameter types and array bounds are no behaviour to mutate.
    top_level = not line[:1].isspace()
    for m in re.finditer(r"(?<![\w.])(\d+)([uUlL]*)(?![\w.'])", masked if not top_level else ""):
        value = int(m.group(1))
        if m.group(1).startswith("0") and value != 0:
            continue  # octal, never meant
        new = value + 1 if value < 2 or (number + value) % 2 else value - 1
        yield "const", line[:m.start(1)] + str(new) + line[m.end(1):]
    statement_start = previous.rstrip().endswith((";", "{", "}")) or not previous.strip()
    body = masked.strip()
    if (statement_start and body.endswith(";") and body.count("(") == body.count(")")
            and not body.startswith(("return", "break", "continue", "throw", "goto", "case",
                                     "default", "else", "delete"))
            and (ASSIGN.match(masked) or CALL.match(masked))):
        indent = line[:len(line) - len(line.lstrip())]
        yield "drop", indent + "{}  // dropped: " + line.strip()
    for m in PAIR.finditer(masked):
        name, a, b = m.group(1), m.group(2).strip(), m.group(3).strip()
        if (top_level or name in SYMMETRIC or a == b or not (SIMPLE.match(a) and SIMPLE.match(b))
                or name in ("if", "while", "for", "switch", "return")):
            continue  # both arguments plain values, else the swap rarely compiles
        text_a, text_b = line[m.start(2):m.end(2)], line[m.start(3):m.end(3)]
        yield "swap", line[:m.start(2)] + text_b.strip() + ", " + text_a + line[m.end(3):]


def all_sites():
    found = {a: [] for a in AREAS}
    for path in sorted(ROOT.glob("**/*.cpp")):
        rel = path.relative_to(ROOT).as_posix()
        area = area_of(rel)
        if area is None:
            continue
        lines = path.read_text().splitlines()
        in_block = False
        for i, line in enumerate(lines):
            if in_block or line.lstrip().startswith("/*"):
                in_block = "*/" not in line
                continue
            for op, after in sites(rel, i + 1, line, lines[i - 1] if i else ""):
                if after != line:
                    found[area].append((op, rel, i + 1, line, after))
    return found


# ---- applying ----

class Applied:
    """A mutant in place for the duration of a with block; the file is always restored."""

    def __init__(self, mutant: Mutant):
        self.mutant, self.path = mutant, ROOT / mutant.file

    def __enter__(self):
        self.original = self.path.read_bytes()
        lines = self.original.decode().split("\n")
        index = self.mutant.line - 1
        if index >= len(lines) or lines[index] != self.mutant.before:
            # The code has moved since the list was drawn: the same text nearest to the
            # recorded line is the place meant.
            matches = [i for i, text in enumerate(lines) if text == self.mutant.before]
            if not matches:
                raise RuntimeError(f"{self.mutant.ident}: line not found in {self.mutant.file}")
            index = min(matches, key=lambda i: abs(i - index))
        lines[index] = self.mutant.after
        self.path.write_bytes("\n".join(lines).encode())
        return self

    def __exit__(self, *exc):
        self.path.write_bytes(self.original)
        return False


def compile_command(build: Path, rel: str) -> tuple[list[str], str]:
    target = str(ROOT / rel)
    for entry in json.loads((build / "compile_commands.json").read_text()):
        if entry["file"] == target:
            return shlex.split(entry["command"]), entry["directory"]
    raise RuntimeError(f"{rel} is not in {build}/compile_commands.json")


def compiles(build: Path, mutant: Mutant) -> bool:
    """Whether the mutated file compiles (syntax and warnings only); the file itself is
    left alone: the mutated text goes to the compiler on standard input."""
    command, directory = compile_command(build, mutant.file)
    out = command.index("-o")
    source = str(ROOT / mutant.file)
    command = [c for c in command[:out] + command[out + 2:] if c not in ("-c", source)]
    command += ["-iquote", str((ROOT / mutant.file).parent), "-fsyntax-only", "-x", "c++", "-"]
    lines = (ROOT / mutant.file).read_text().split("\n")
    if lines[mutant.line - 1] != mutant.before:
        return False
    lines[mutant.line - 1] = mutant.after
    return subprocess.run(["nice", "-n", "10"] + command, cwd=directory, input="\n".join(lines),
                          text=True, stdout=subprocess.DEVNULL,
                          stderr=subprocess.DEVNULL).returncode == 0


def generate(args) -> None:
    rng = random.Random(args.seed)
    found = all_sites()
    chosen: list[Mutant] = []
    for area in AREAS:
        pool = found[area]
        rng.shuffle(pool)
        # Round robin over the operators, at most a few mutants per file, so that no
        # operator and no single file dominates an area.
        by_op: dict[str, list] = {}
        for site in pool:
            by_op.setdefault(site[0], []).append(site)
        per_file: dict[str, int] = {}
        taken, ops = [], sorted(by_op)
        while len(taken) < args.per_area and any(by_op.values()):
            for op in ops:
                while by_op[op] and len(taken) < args.per_area:
                    op_, rel, number, before, after = by_op[op].pop()
                    if per_file.get(rel, 0) >= args.per_file:
                        continue
                    m = Mutant("", area, op_, rel, number, before, after)
                    ok = not args.check_compile or compiles(args.build, m)
                    if args.check_compile:
                        print(f"{area} {op_} {rel}:{number} "
                              f"{'ok' if ok else 'does not compile'}", flush=True)
                    if ok:
                        per_file[rel] = per_file.get(rel, 0) + 1
                        taken.append(m)
                        break
        chosen += sorted(taken, key=lambda m: (m.file, m.line))
    for i, m in enumerate(chosen, 1):
        m.ident = f"M{i:03d}"
    save_list(chosen, args.seed)
    print(f"{len(chosen)} mutants written to {LIST.relative_to(ROOT)}")


# ---- running ----

def run_limited(command, timeout, **kw):
    """Runs a command in its own process group; on timeout the whole group is ended."""
    proc = subprocess.Popen(command, start_new_session=True, stdout=subprocess.PIPE,
                            stderr=subprocess.STDOUT, text=True, **kw)
    try:
        out, _ = proc.communicate(timeout=timeout)
        return proc.returncode, out, False
    except subprocess.TimeoutExpired:
        os.killpg(proc.pid, signal.SIGKILL)
        out, _ = proc.communicate()
        return None, out, True
    except BaseException:
        os.killpg(proc.pid, signal.SIGKILL)
        proc.wait()
        raise


def build_tree(build: Path, timeout: int):
    return run_limited(["nice", "-n", "10", "ninja", "-C", str(build)], timeout)


def run_suite(args):
    # Without the costs of earlier runs ctest starts the tests in the order they are
    # declared instead of the slowest first, so a mutant stops at its first failure sooner.
    (args.build / "Testing" / "Temporary" / "CTestCostData.txt").unlink(missing_ok=True)
    command = ["nice", "-n", "10", "ctest", "--test-dir", str(args.build), "-j", str(args.jobs),
               "--timeout", str(args.test_timeout), "--no-tests=error", "--stop-on-failure"]
    return run_limited(command, args.suite_timeout)


def first_failure(output: str) -> str:
    failed = re.findall(r"^\s*\d+ - (\S+)[^\n]*? \((Failed|Timeout|SEGFAULT|Subprocess aborted|"
                        r"Exception|Child aborted|ILLEGAL|BUS|OTHER_FAULT|Not Run)[^)]*\)",
                        output, re.M)
    return failed[0][0] + (" (timeout)" if failed[0][1] == "Timeout" else "") if failed else ""


def failed_log(build: Path) -> str:
    """The first test ctest's own log of failures names, when its summary was not read."""
    log = build / "Testing" / "Temporary" / "LastTestsFailed.log"
    names = [line.split(":", 1)[1] for line in log.read_text().splitlines() if ":" in line] \
        if log.exists() else []
    return names[0] if names else "ctest failed"


def read_results(path: Path) -> dict[str, list[str]]:
    if not path.exists():
        return {}
    rows = [line.split("\t") for line in path.read_text().splitlines()[1:] if line]
    return {row[0]: row for row in rows}


def run(args) -> None:
    mutants = load_list()
    if args.only:
        wanted = set(args.only.split(","))
        mutants = [m for m in mutants if m.ident in wanted]
    # A stop by kill ends like Ctrl-C: the mutated file is restored on the way out.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))
    results = Path(args.results)
    done = read_results(results)
    if not results.exists():
        results.write_text("id\tarea\top\tfile:line\tresult\tcaught by\tseconds\n")
    rc, out, timed_out = build_tree(args.build, args.build_timeout)
    if rc != 0:
        sys.exit(f"mutate: the unmutated tree does not build:\n{out[-3000:]}")
    if not args.no_baseline:
        rc, out, _ = run_suite(args)
        if rc != 0:
            sys.exit(f"mutate: the unmutated suite fails; fix it first:\n{out[-3000:]}")
        print("unmutated suite passes", flush=True)
    try:
        for m in mutants:
            if m.ident in done:
                continue
            start = time.monotonic()
            with Applied(m):
                rc, out, timed_out = build_tree(args.build, args.build_timeout)
                if rc != 0:
                    result, by = "compile", "the build" + (" (timeout)" if timed_out else "")
                else:
                    rc, out, timed_out = run_suite(args)
                    if timed_out:
                        result, by = "killed", "suite timeout"
                    elif rc != 0:
                        result, by = "killed", first_failure(out) or failed_log(args.build)
                    else:
                        result, by = "survived", ""
            seconds = round(time.monotonic() - start)
            with results.open("a") as f:
                f.write(f"{m.ident}\t{m.area}\t{m.op}\t{m.file}:{m.line}\t{result}\t{by}"
                        f"\t{seconds}\n")
            print(f"{m.header()}: {result} {by} ({seconds} s)", flush=True)
    finally:
        build_tree(args.build, args.build_timeout)  # the tree as it was


def prune(args) -> None:
    rows = read_results(Path(args.results))
    rejected = {ident for ident, row in rows.items() if row[4] == "compile"}
    kept = [m for m in load_list() if m.ident not in rejected]
    seed = re.search(r"seed (\d+)", LIST.read_text()).group(1)
    save_list(kept, int(seed))
    print(f"{len(rejected)} mutants that do not compile removed, {len(kept)} left")


def table(args) -> None:
    mutants = {m.ident: m for m in load_list()}
    rows = read_results(Path(args.results))
    counts: dict[str, dict[str, int]] = {}
    print("| Mutant | Area | Operator | Where | Change | Result | Caught by |")
    print("|---|---|---|---|---|---|---|")
    for ident, row in sorted(rows.items()):
        m = mutants.get(ident)
        if m is None:
            continue  # pruned from the list: it did not compile
        change = f"`{m.before.strip()}` → `{m.after.strip()}`".replace("|", "\\|")
        print(f"| {ident} | {m.area} | {m.op} | {m.file}:{m.line} | {change} | {row[4]} "
              f"| {row[5]} |")
        c = counts.setdefault(m.area, {})
        c[row[4]] = c.get(row[4], 0) + 1
    print()
    print("| Area | Mutants | Killed | Survived | Score |")
    print("|---|---|---|---|---|")
    total = {"n": 0, "killed": 0, "survived": 0}
    for area in AREAS + ("all",):
        c = counts.get(area, {}) if area != "all" else None
        if area == "all":
            n, k, s = total["n"], total["killed"], total["survived"]
        else:
            n = sum(c.values())
            k, s = c.get("killed", 0), c.get("survived", 0)
            total["n"] += n
            total["killed"] += k
            total["survived"] += s
        score = f"{100 * k / (k + s):.0f}%" if k + s else "-"
        print(f"| {area} | {n} | {k} | {s} | {score} |")


def follow(args) -> None:
    """Moves each mutant's line number to where its line went since `--since`, by a diff of
    the file then and now; a line that was rewritten is reported and left as it was."""
    import difflib
    mutants = load_list()
    for m in mutants:
        then = subprocess.run(["git", "-C", str(ROOT), "show", f"{args.since}:{m.file}"],
                              check=True, capture_output=True, text=True).stdout.split("\n")
        now = (ROOT / m.file).read_text().split("\n")
        moved = None
        for tag, a0, a1, b0, _ in difflib.SequenceMatcher(None, then, now, autojunk=False).get_opcodes():
            if tag == "equal" and a0 <= m.line - 1 < a1:
                moved = b0 + (m.line - 1 - a0) + 1
        if moved is None or now[moved - 1] != m.before:
            print(f"{m.ident}: {m.file}:{m.line} was rewritten since {args.since}")
        elif moved != m.line:
            m.line = moved
    save_list(mutants, args.seed)


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    sub = parser.add_subparsers(dest="command", required=True)
    g = sub.add_parser("generate")
    g.add_argument("--build", type=Path, default=ROOT / "build")
    g.add_argument("--seed", type=int, default=21)
    g.add_argument("--per-area", type=int, default=22)
    g.add_argument("--per-file", type=int, default=4)
    g.add_argument("--check-compile", action="store_true",
                   help="compile each mutant (syntax only) and keep only those that compile")
    r = sub.add_parser("run")
    r.add_argument("--build", type=Path, default=ROOT / "build")
    r.add_argument("--results", default=str(ROOT / "build" / "mutants.tsv"))
    r.add_argument("--only")
    r.add_argument("--jobs", type=int, default=2)
    r.add_argument("--test-timeout", type=int, default=300, help="seconds per test")
    r.add_argument("--suite-timeout", type=int, default=1500, help="seconds per mutant's suite")
    r.add_argument("--build-timeout", type=int, default=1800)
    r.add_argument("--no-baseline", action="store_true",
                   help="skip the run of the unmutated suite")
    p = sub.add_parser("prune")
    p.add_argument("--results", default=str(ROOT / "build" / "mutants.tsv"))
    t = sub.add_parser("table")
    t.add_argument("--results", default=str(ROOT / "build" / "mutants.tsv"))
    f = sub.add_parser("follow", help="move the line numbers to where the lines went")
    f.add_argument("--since", required=True, help="the commit the line numbers refer to")
    f.add_argument("--seed", type=int, default=21)
    args = parser.parse_args()
    {"generate": generate, "run": run, "prune": prune, "table": table,
     "follow": follow}[args.command](args)


if __name__ == "__main__":
    main()
