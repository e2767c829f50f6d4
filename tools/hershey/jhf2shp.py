#!/usr/bin/env python3
"""Converts a Hershey font in James Hurt's .jhf text format into shape source (.shp).

A .jhf line is one glyph: columns 1-5 a glyph number, 6-8 the count of coordinate pairs,
then the pairs. Each coordinate is a letter whose distance from 'R' is its value, y grows
downwards, and the first pair is the left and right margin. The pair " R" lifts the pen.
A long glyph may continue on the next line.

The conversion keeps Hershey units as shape units. Glyph k of the file becomes shape 32 + k
(the files list the printable ASCII range from the space). A glyph's origin is its left margin
on the baseline, which lies 9 units below the Hershey origin; the capitals rise 21 units above
it, so the font height (above) is 21. The y axis is flipped to point up:

    shape x = x - left margin        shape y = 9 - y

Each stroke is a pen-up displacement (code 8) to its first point followed by its segments as
one code 9 run; the shape ends with a pen-up move to (right margin - left margin, 0), which is
the advance.

Usage: jhf2shp.py input.jhf output.shp [--name NAME]
"""
import argparse
import os
import sys

BASELINE = 9
ABOVE = 21

# The notice that comes with the Hershey font data, kept word for word in every converted file.
ACKNOWLEDGEMENT = """\
This distribution of the Hershey Fonts may be used by anyone for
any purpose, commercial or otherwise, providing that:
	1. The following acknowledgements must be distributed with
		the font data:
		- The Hershey Fonts were originally created by Dr.
			A. V. Hershey while working at the U. S.
			National Bureau of Standards.
		- The format of the Font data in this distribution
			was originally created by
				James Hurt
				Cognition, Inc.
				900 Technology Park Drive
				Billerica, MA 01821
				(mit-eddie!ci-dandelion!hurt)
	2. The font data in this distribution may be converted into
		any other format *EXCEPT* the format distributed by
		the U.S. NTIS (which organization holds the rights
		to the distribution and use of the font data in that
		particular format). Not that anybody would really
		*want* to use their format... each point is described
		in eight bytes as "xxx yyy:", where xxx and yyy are
		the coordinate values as ASCII numbers."""


class JhfError(Exception):
    pass


def read_glyphs(text):
    """Returns a list of (left, right, strokes); strokes are lists of (x, y) in Hershey units."""
    lines = text.splitlines()
    glyphs = []
    k = 0
    while k < len(lines):
        line = lines[k]
        k += 1
        if not line.strip():
            continue
        try:
            count = int(line[5:8])
        except ValueError:
            raise JhfError(f"line {k}: no coordinate count in columns 6-8") from None
        data = line[8:]
        while len(data) < 2 * count and k < len(lines):
            data += lines[k]
            k += 1
        if count < 1 or len(data) < 2 * count:
            raise JhfError(f"line {k}: {count} pairs announced, {len(data) // 2} present")
        pairs = [(data[2 * i], data[2 * i + 1]) for i in range(count)]
        left = ord(pairs[0][0]) - ord("R")
        right = ord(pairs[0][1]) - ord("R")
        strokes = [[]]
        for a, b in pairs[1:]:
            if (a, b) == (" ", "R"):
                strokes.append([])
            else:
                strokes[-1].append((ord(a) - ord("R"), ord(b) - ord("R")))
        glyphs.append((left, right, [s for s in strokes if s]))
    return glyphs


def shape_bytes(left, right, strokes):
    """The definition bytes of one glyph as source text items, final 0 included."""
    items = []
    x = y = 0

    def displacement(dx, dy):
        if not (-128 <= dx <= 127 and -128 <= dy <= 127):
            raise JhfError(f"displacement ({dx},{dy}) does not fit a byte")
        return f"({dx},{dy})"

    for stroke in strokes:
        points = [(px - left, BASELINE - py) for px, py in stroke]
        sx, sy = points[0]
        items += ["2", "8", displacement(sx - x, sy - y), "1"]
        x, y = sx, sy
        run = []
        for px, py in points[1:]:
            if (px, py) == (x, y):
                continue  # a repeated point would end the code 9 run early
            run.append(displacement(px - x, py - y))
            x, y = px, py
        if run:
            items += ["9"] + run + ["(0,0)"]
    items += ["2", "8", displacement(right - left - x, -y), "0"]
    return items


def byte_count(items):
    return sum(item.count(",") + 1 for item in items)


def wrap(items, width=72):
    lines, line = [], ""
    for item in items:
        piece = item if not line else "," + item
        if line and len(line) + len(piece) > width:
            lines.append(line + ",")
            line = item
        else:
            line += piece
    lines.append(line)
    return lines


def convert(text, source_name, font_name):
    glyphs = read_glyphs(text)
    if not glyphs:
        raise JhfError("no glyphs")
    if 32 + len(glyphs) - 1 > 255:
        raise JhfError(f"{len(glyphs)} glyphs do not fit a shape file")
    below = max([0] + [py - BASELINE for _, _, strokes in glyphs for s in strokes for _, py in s])
    out = [f"; {font_name}: converted from {source_name} by jhf2shp.py."]
    out += ["; " + line if line else ";" for line in ACKNOWLEDGEMENT.splitlines()]
    out += [f"*0,4,{font_name}", f"{ABOVE},{min(below, 255)},0,0"]
    for k, (left, right, strokes) in enumerate(glyphs):
        code = 32 + k
        items = shape_bytes(left, right, strokes)
        out.append(f"*{code},{byte_count(items)},CHAR{code}")
        out += wrap(items)
    return "\n".join(out) + "\n"


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("input")
    parser.add_argument("output")
    parser.add_argument("--name", help="font name (default: HERSHEY and the file's stem)")
    args = parser.parse_args(argv)
    stem = os.path.splitext(os.path.basename(args.input))[0]
    name = args.name or f"HERSHEY {stem.upper()}"
    try:
        with open(args.input, encoding="latin-1") as f:
            shp = convert(f.read(), os.path.basename(args.input), name)
    except (OSError, JhfError) as error:
        print(f"{args.input}: {error}", file=sys.stderr)
        return 1
    with open(args.output, "w", encoding="latin-1") as f:
        f.write(shp)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
