#!/usr/bin/env python3
"""Checks that the engine's layers depend one way (docs/architecture.md).

Reads the layer table of docs/architecture.md, maps every source file of VUZODO/,
QELObjectLibrary/, QELHatching/ and include/ to its unit and layer, and fails on:
  - a file that no row of the table names;
  - an #include of a unit of a higher layer;
  - a loop of includes between units (a unit is a header and its source);
  - a use of the engine's process-wide state in VUZODO/ outside the exports layer;
  - an export of the header whose definition in VUZODO/Exports.cpp is not a function-try-block
    with a catch (...) handler: no C++ exception may cross the C boundary.
Prints the units of each layer, then every failure on a line of its own.

  scripts/check-layers.py
"""
import re
import sys
from fnmatch import fnmatch
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
DOC = ROOT / "docs" / "architecture.md"
TREES = ("VUZODO", "QELObjectLibrary", "QELHatching", "include")
SUFFIXES = {".h", ".hpp", ".cpp", ".c"}
# Where a quoted include is looked for after the including file's own folder: the include
# folders the build gives the libraries.
SEARCH = ("VUZODO", "VUZODO/platform", "VUZODO/platform/posix", "VUZODO/platform/win32",
          "QELObjectLibrary", "QELHatching", "include")
STATE_USE = re.compile(r"\bTTFLoader::Instance\(\)|\bProcess\(\)|\bUnitSize\(\)|\bTraceLog\(\)"
                       r"|\bDumpLog\(\)|(?<![\w.>:])Trace\(")
# The unit that holds the engine's process-wide state defines its accessors.
STATE_OWNERS = {"VUZODO/TTFLoader"}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def read_layers():
    """[(layer, [patterns])], lowest first, from the doc's "| Layer | Units |" table."""
    layers, inside = [], False
    for line in DOC.read_text().splitlines():
        if line.startswith("| Layer | Units |"):
            inside = True
            continue
        if inside:
            if not line.startswith("|"):
                break
            cells = [c.strip() for c in line.strip("|").split("|")]
            if set(cells[0]) <= {"-"}:
                continue
            layers.append((cells[0], re.findall(r"`([^`]+)`", cells[1])))
    if not layers:
        sys.exit(f"check-layers: no layer table in {DOC.relative_to(ROOT)}")
    return layers


def strip_comments(text):
    text = re.sub(r"/\*.*?\*/", "", text, flags=re.S)
    text = re.sub(r"//[^\n]*", "", text)
    return re.sub(r'"(?:\\.|[^"\\\n])*"', '""', text)


def export_failures():
    """Every export of the header catches everything: its definition's body is a
    function-try-block whose handlers include catch (...)."""
    sys.path.insert(0, str(ROOT / "cmake"))
    from make_def import Header  # the one reader of the header
    source = strip_comments((ROOT / "VUZODO" / "Exports.cpp").read_text(encoding="utf-8"))
    source = re.sub(r'"(?:[^"\\\n]|\\.)*"|\'(?:[^\'\\\n]|\\.)*\'', '""', source)
    failures = []
    for name, _, _ in Header(ROOT / "include" / "vuzodo" / "vuzodo.h").functions:
        m = re.search(rf"^\w[\w \t*]*\b{name}\([^)]*\)\s*(try\s*)?\{{", source, re.M)
        if m is None:
            failures.append(f"{name}: no definition in VUZODO/Exports.cpp")
            continue
        depth, at = 1, m.end()
        while depth > 0 and at < len(source):
            depth += {"{": 1, "}": -1}.get(source[at], 0)
            at += 1
        handlers = re.match(r"(\s*catch\s*\([^)]*\)\s*\{[^{}]*\})*", source[at:]).group(0)
        if m.group(1) is None or not re.search(r"catch\s*\(\s*\.\.\.\s*\)", handlers):
            failures.append(f"{name}: an exception could cross the C boundary (VUZODO/Exports.cpp "
                            "defines it without try ... catch (...))")
    return failures


def main():
    layers = read_layers()
    rank = {name: i for i, (name, _) in enumerate(layers)}

    def matches(unit, pattern):
        # `folder/*` takes the units of that folder, not of its subfolders.
        if pattern.endswith("*"):
            return fnmatch(unit, pattern) and "/" not in unit[len(pattern) - 1:]
        return unit == pattern

    def layer_of(unit):
        # The most specific pattern wins: an exact unit before a folder's `*`.
        exact = [name for name, patterns in layers if unit in patterns]
        folder = [name for name, patterns in layers if any(matches(unit, p) for p in patterns)]
        return (exact or folder or [None])[0]

    files = sorted(p for t in TREES for p in (ROOT / t).rglob("*") if p.suffix in SUFFIXES)
    unit_of = {f: str(f.relative_to(ROOT).with_suffix("")) for f in files}
    failures, edges, members = [], {}, {}
    for f, unit in unit_of.items():
        layer = layer_of(unit)
        if layer is None:
            failures.append(f"{f.relative_to(ROOT)}: no layer names unit {unit}")
            continue
        members.setdefault(layer, set()).add(unit)
        text = f.read_text(errors="replace")
        for name in INCLUDE.findall(text):
            target = next((c for c in [f.parent / name] + [ROOT / d / name for d in SEARCH]
                           if c.resolve() in {g.resolve() for g in files} and c.exists()), None)
            if target is None:
                continue  # a system or third-party header
            other = unit_of[next(g for g in files if g.resolve() == target.resolve())]
            if other == unit:
                continue
            edges.setdefault(unit, set()).add(other)
            other_layer = layer_of(other)
            if other_layer and rank[other_layer] > rank[layer]:
                failures.append(f"{f.relative_to(ROOT)}: {layer} unit includes {name}, a unit of "
                                f"the higher layer {other_layer}")
        if unit.startswith("VUZODO/") and layer != "exports" and unit not in STATE_OWNERS:
            for m in STATE_USE.finditer(strip_comments(text)):
                failures.append(f"{f.relative_to(ROOT)}: {layer} unit reaches the process-wide "
                                f"state ({m.group(0)}); only the exports may")

    failures += export_failures()

    # Loops between units: Tarjan's strongly connected components.
    index, low, stack, on, count, loops = {}, {}, [], set(), [0], []

    def visit(v):
        index[v] = low[v] = count[0]
        count[0] += 1
        stack.append(v)
        on.add(v)
        for w in sorted(edges.get(v, ())):
            if w not in index:
                visit(w)
                low[v] = min(low[v], low[w])
            elif w in on:
                low[v] = min(low[v], index[w])
        if low[v] == index[v]:
            component = []
            while True:
                w = stack.pop()
                on.discard(w)
                component.append(w)
                if w == v:
                    break
            if len(component) > 1:
                loops.append(sorted(component))

    sys.setrecursionlimit(10000)
    for v in sorted(set(unit_of.values())):
        if v not in index:
            visit(v)
    for loop in loops:
        failures.append("units include each other round a loop: " + ", ".join(loop))

    for name, _ in layers:
        units = sorted(u.split("/")[-1] for u in members.get(name, ()))
        print(f"{name:<10} {len(units):>3}  {' '.join(units)}")
    n_edges = sum(len(v) for v in edges.values())
    if failures:
        for line in failures:
            print(f"check-layers: {line}", file=sys.stderr)
        return 1
    print(f"layers: {len(unit_of)} files, {len(set(unit_of.values()))} units, {n_edges} include "
          "edges between units; none goes up, no loop, the process-wide state only in the exports; "
          "every export catches all exceptions")
    return 0


if __name__ == "__main__":
    sys.exit(main())
