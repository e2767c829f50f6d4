#!/usr/bin/python3
"""Pen-up travel of a job with and without --optimize, against a lower bound.

  scripts/travel-bound.py [--picture FILE.svg] VUZODO_BINARY [layout arguments of vuzodo render...]
  scripts/travel-bound.py --texts FOLDER     writes the texts docs/machines.md measures

Lays the text out with the given arguments, reads the strokes from the SVG the command writes
(no --optimize: the layout's order), and prints:
  - the travel of the layout's order and of --optimize at a few budgets, from `vuzodo
    estimate` (start and end at the origin), with the time the ordering reported;
  - a lower bound on any order's travel: the minimum spanning tree over the strokes and the
    origin, where two strokes are as far apart as their nearest entry points (both ends of an
    open stroke, every vertex of a closed one). Any order is a path through all of them whose
    moves are at least that long, so it is a spanning tree at least as long as the minimum.
    The tree comes from scipy: the Delaunay triangulation of the distinct points holds it.
    The larger of two such trees is printed: over all strokes, and over the open ones alone.

--picture draws the optimised G-code's travel moves (its G0 lines, red) over the strokes of
the SVG (grey) with the origin, and measures nothing.

The bound needs Debian's python3-scipy (and its python3-numpy), which scripts/install-deps.sh
installs.
"""
import itertools
import os
import re
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

MM = 1e-3  # SVG output units per mm at the default --unit and --user-unit


def svg_entries(path):
    """Per stroke, the points the pen may enter it at, in mm; and whether it ends where it
    starts (a closed stroke or a dot)."""
    strokes, closed = [], []
    streams = [g for g in ET.parse(path).getroot() if g.get("id") in ("outline", "fill", "hatch")]
    for p in (p for g in streams for p in g):
        if p.tag.endswith("circle"):
            strokes.append([(float(p.get("cx")) * MM, -float(p.get("cy")) * MM)])
            closed.append(True)
        else:
            for sub in re.findall(r"M[^M]*", p.get("d", "")):
                vertices, ring = [], sub.rstrip().endswith("Z")
                for cmd, args in re.findall(r"([MLA])([^MLAZ]*)", sub):
                    v = [float(t) for t in args.split()]
                    vertices.append((v[-2] * MM, -v[-1] * MM))
                strokes.append(vertices if ring else [vertices[0], vertices[-1]])
                closed.append(ring)
    return strokes, closed


def mst_bound(strokes, origin=(0.0, 0.0)):
    """The minimum spanning tree over the strokes and the origin, mm."""
    import numpy as np  # the picture needs neither
    from scipy.sparse import coo_matrix
    from scipy.sparse.csgraph import minimum_spanning_tree
    from scipy.spatial import Delaunay

    points = np.array([origin] + [p for s in strokes for p in s])
    owner = np.array([0] + [i + 1 for i, s in enumerate(strokes) for _ in s])
    if not strokes:
        return 0.0
    unique, node = np.unique(points, axis=0, return_inverse=True)
    node = node.ravel()
    # Points of one stroke and points in the same place cost nothing to join: one vertex each.
    parent = list(range(len(strokes) + 1))

    def find(a):
        while parent[a] != a:
            parent[a] = parent[parent[a]]
            a = parent[a]
        return a

    first = {}
    for n, o in zip(node, owner):
        a, b = find(o), find(first.setdefault(n, o))
        parent[a] = b
    group = np.array([find(o) for o in range(len(strokes) + 1)])
    node_group = np.empty(len(unique), dtype=int)
    node_group[node] = group[owner]
    tri = Delaunay(unique)
    edges = set()
    for a, b, c in tri.simplices:
        edges.update({(min(a, b), max(a, b)), (min(b, c), max(b, c)), (min(a, c), max(a, c))})
    e = np.array(sorted(edges))
    u, v = node_group[e[:, 0]], node_group[e[:, 1]]
    w = np.linalg.norm(unique[e[:, 0]] - unique[e[:, 1]], axis=1)
    keep = u != v
    ids = np.unique(np.concatenate([u[keep], v[keep]]))
    pairs = np.searchsorted(ids, np.stack([node_group[e[keep, 0]], node_group[e[keep, 1]]]))
    lo, hi, w = pairs.min(axis=0), pairs.max(axis=0), w[keep]
    # Several triangle edges may join the same two groups: the shortest counts (a sparse
    # matrix would add them up).
    order = np.lexsort((w, hi, lo))
    lo, hi, w = lo[order], hi[order], w[order]
    first = np.ones(len(lo), dtype=bool)
    first[1:] = (lo[1:] != lo[:-1]) | (hi[1:] != hi[:-1])
    n = len(ids)
    graph = coo_matrix((w[first], (lo[first], hi[first])), shape=(n, n)).tocsr()
    tree = minimum_spanning_tree(graph)
    assert tree.nnz == n - 1, "the strokes' points do not form one triangulation"
    return tree.sum()


def picture(binary, args, out):
    """The optimised job's travel over its strokes, as SVG."""
    with tempfile.TemporaryDirectory() as d:
        svg, gcode = os.path.join(d, "job.svg"), os.path.join(d, "job.gcode")
        subprocess.run([binary, "render", *args, "-o", svg], check=True, capture_output=True)
        subprocess.run([binary, "render", *args, "--optimize", "-o", gcode], check=True,
                       capture_output=True)
        root = ET.parse(svg).getroot()
        paths = [p.get("d") for g in root if g.get("id") in ("outline", "fill", "hatch")
                 for p in g if p.get("d")]
        moves, x, y = [], 0.0, 0.0
        for line in open(gcode):
            found = re.match(r"G([0-3]) X(\S+) Y(\S+)", line)
            if found:
                nx, ny = float(found[2]) / MM, -float(found[3]) / MM
                if found[1] == "0":
                    moves.append(f"M{x:g} {y:g}L{nx:g} {ny:g}")
                x, y = nx, ny
    _, _, w, h = map(float, root.get("viewBox").split())
    width = max(w, h) / 400  # a line a fourth of a percent of the drawing
    with open(out, "w") as f:
        f.write(f'<svg xmlns="http://www.w3.org/2000/svg" viewBox="{root.get("viewBox")}" '
                f'width="{800 * w / max(w, h):.0f}" height="{800 * h / max(w, h):.0f}">\n'
                f'<rect x="{root.get("viewBox").split()[0]}" y="{root.get("viewBox").split()[1]}"'
                f' width="{w:g}" height="{h:g}" fill="white"/>\n'
                f'<path fill="none" stroke="#888" stroke-width="{width:g}" d="{" ".join(paths)}"/>\n'
                f'<path fill="none" stroke="#e00" stroke-width="{width:g}" d="{"".join(moves)}"/>\n'
                f'<circle cx="0" cy="0" r="{3 * width:g}" fill="#e00"/>\n</svg>\n')


def texts(folder):
    """The two texts docs/machines.md measures: hatched.txt, 20 lines of 50 characters (1,000
    with the spaces), and paragraph.txt, 200 lines of up to 60, words of three pangrams."""
    words = ("The quick brown fox jumps over the lazy dog; pack my box with five dozen liquor "
             "jugs. Sphinx of black quartz, judge my vow! 0123456789").split()

    def lines(n, width):
        out, it = [], itertools.cycle(words)
        for _ in range(n):
            line = ""
            while True:
                word = next(it)
                if len(line) + len(word) + 1 > width:
                    break  # the word that did not fit is dropped
                line = (line + " " + word).strip()
            out.append(line)
        return out

    with open(os.path.join(folder, "hatched.txt"), "w") as f:
        f.write("\n".join(line.ljust(50) for line in lines(20, 50)))
    with open(os.path.join(folder, "paragraph.txt"), "w") as f:
        f.write("\n".join(lines(200, 60)))


def main():
    if sys.argv[1] == "--texts":
        return texts(sys.argv[2])
    if sys.argv[1] == "--picture":
        return picture(sys.argv[3], sys.argv[4:], sys.argv[2])
    binary, args = sys.argv[1], sys.argv[2:]
    with tempfile.TemporaryDirectory() as d:
        svg = os.path.join(d, "job.svg")
        subprocess.run([binary, "render", *args, "-o", svg], check=True, capture_output=True)
        strokes, closed = svg_entries(svg)
    # Closed strokes and dots end where they start: leaving one out of an order makes it no
    # longer (the triangle inequality), so the open strokes alone bound it too. That bound
    # is the tighter one for hatching, whose segments end on the outlines: with the outlines
    # in, an outline joins all of them at no cost in the tree, which no order can do.
    bound = max(mst_bound(strokes), mst_bound([s for s, c in zip(strokes, closed) if not c]))
    print(f"strokes {len(strokes)}, lower bound (spanning tree) {bound:.1f} mm")
    for extra in ([], ["--optimize", "--optimize-budget", "0"], ["--optimize"],
                  ["--optimize", "--optimize-budget", "5"]):
        done = subprocess.run([binary, "estimate", *args, *extra], check=True,
                              capture_output=True, text=True)
        travel = float(re.search(r"travel (\S+) mm", done.stdout)[1])
        took = re.search(r"strokes, (\S+) s", done.stderr)
        print(f"{' '.join(extra) or 'layout order':32} travel {travel:10.1f} mm  "
              f"{travel / bound:5.2f} x bound  {took[1] + ' s' if took else ''}")


if __name__ == "__main__":
    main()
