#!/usr/bin/env python3
"""Writes the test fonts from plain-text descriptions.

    fontgen.py ovf DESCRIPTION OUT.ovf      outline font (binary, little-endian)
    fontgen.py hershey DESCRIPTION OUT.fnt  stroke font from Hershey-format glyph records
    fontgen.py bezier P0x P0y C1x C1y C2x C2y P3x P3y
                                            the twelve single-precision points of one cubic
                                            segment, one "x y" per line (float32 emulated)

OVF description, one item per line ('#' starts a comment):
    words W0 W1                 the two header words
    names "FIRST" "SECOND"      the two header names
    header h0 ... h11           the twelve header reals
    trailer W                   the trailer's second word
    glyph CODE e0 e1 e2 BOTTOM TOP
    place a b c d e f           starts a placement record; the drawing lines below go to it
    advance A                   command 0
    line x1 y1 x2 y2            command 1
    poly CLOSED x y x y ...     command 2
    circle cx cy r start sweep  command 3
    ellipse cx cy a b phi start sweep   command 4
    bezier x y x y ...          command 5 (first point, then control, control, end groups)
    dot x y                     command 6
    raw N                       a bare command word N

File layout written: header, glyph table, drawing data, count word, trailer (X, word) where X
is the offset just past the count word.

Hershey description: "CODE RECORD" per line, RECORD being the Hershey pair string: the first
pair holds the left and right extents, then one pair per vertex, " R" lifting the pen. Each
character is coordinate - 'R'; y grows downwards and the baseline is at y = 9. The FNT glyph
starts at the left extent on the baseline and ends with the pen at (right - left, 0).
"""
import shlex
import struct
import sys


def f32(x):
    return struct.unpack('<f', struct.pack('<f', x))[0]


def write_ovf(desc_path, out_path):
    words, names, header, trailer = (0, 0), ('', ''), [0.0] * 12, 0
    glyphs = []
    for raw in open(desc_path, encoding='utf-8'):
        line = raw.split('#', 1)[0].strip()
        if not line:
            continue
        parts = shlex.split(line)
        op, args = parts[0], parts[1:]
        if op == 'words':
            words = tuple(int(a) for a in args)
        elif op == 'names':
            names = tuple(args)
        elif op == 'header':
            header = [float(a) for a in args]
            assert len(header) == 12
        elif op == 'trailer':
            trailer = int(args[0])
        elif op == 'glyph':
            glyphs.append({'entry': (int(args[0]), *map(float, args[1:6])), 'records': []})
        elif op == 'place':
            glyphs[-1]['records'].append({'matrix': [float(a) for a in args], 'data': b''})
        else:
            rec = glyphs[-1]['records'][-1]
            rec['data'] += command(op, args)

    def name_bytes(name):
        units = name.encode('utf-16-le')
        count = len(name)
        total = count + 2 - count % 2
        return units + b'\0\0' * (total - count)

    out = struct.pack('<ii', *words) + name_bytes(names[0]) + name_bytes(names[1])
    out += struct.pack('<12f', *header)
    table_size = sum(28 + 32 * len(g['records']) for g in glyphs)
    data_at = len(out) + table_size
    table, data = b'', b''
    for g in glyphs:
        code, e0, e1, e2, bottom, top = g['entry']
        table += struct.pack('<i5fi', code, e0, e1, e2, bottom, top, len(g['records']))
        for r in g['records']:
            table += struct.pack('<6fii', *r['matrix'], len(r['data']), data_at + len(data))
            data += r['data']
    out += table + data + struct.pack('<i', len(glyphs))
    out += struct.pack('<ii', len(out), trailer)
    open(out_path, 'wb').write(out)


def command(op, args):
    vals = [float(a) for a in args]
    if op == 'advance':
        return struct.pack('<ifi', 0, vals[0], 0)
    if op == 'line':
        return struct.pack('<i4f', 1, *vals)
    if op == 'poly':
        closed, pts = int(args[0]), vals[1:]
        return struct.pack('<iii', 2, len(pts) // 2, closed) + struct.pack(f'<{len(pts)}f', *pts)
    if op == 'circle':
        return struct.pack('<i5f', 3, *vals)
    if op == 'ellipse':
        return struct.pack('<i7f', 4, *vals)
    if op == 'bezier':
        return struct.pack('<ii', 5, len(vals) // 2) + struct.pack(f'<{len(vals)}f', *vals)
    if op == 'dot':
        return struct.pack('<i2f', 6, *vals)
    if op == 'raw':
        return struct.pack('<i', int(args[0]))
    raise ValueError(f'unknown drawing command {op}')


def bezier_points(p0, c1, c2, p3):
    """One segment flattened in single precision: every operation rounded to float32."""
    def at(t):
        mt = f32(1.0 - t)
        b0 = f32(f32(mt * mt) * mt)
        b1 = f32(f32(f32(3.0 * t) * mt) * mt)
        b2 = f32(f32(f32(3.0 * t) * t) * mt)
        b3 = f32(f32(t * t) * t)
        return tuple(
            f32(f32(f32(f32(b0 * p0[i]) + f32(b1 * c1[i])) + f32(b2 * c2[i])) + f32(b3 * p3[i]))
            for i in range(2))
    points = [tuple(map(f32, p0))]
    t, step = 0.0, f32(0.1)
    while t < 1.0:
        points.append(at(t))
        t = f32(t + step)
    points.append(at(1.0))
    return points


def write_hershey(desc_path, out_path):
    lines = []
    for raw in open(desc_path, encoding='utf-8'):
        line = raw.split('#', 1)[0].rstrip('\n')
        if not line.strip():
            continue
        code, record = line.strip().split(' ', 1)
        left, right = ord(record[0]) - 82, ord(record[1]) - 82
        lines.append(f'def {int(code)}')
        pen = (0, 0)
        strokes, stroke = [], []
        for i in range(2, len(record), 2):
            pair = record[i:i + 2]
            if pair == ' R':
                strokes.append(stroke)
                stroke = []
            else:
                stroke.append((ord(pair[0]) - 82 - left, 9 - (ord(pair[1]) - 82)))
        strokes.append(stroke)
        for s in strokes:
            start = s[0]
            # A zero move would not break the stroke, so every pen lift must go somewhere.
            assert start != pen, f'pen lift without a move in glyph {code}'
            lines.append(f'm {start[0] - pen[0]},{start[1] - pen[1]}')
            pen = start
            for p in s[1:]:
                lines.append(f'd {p[0] - pen[0]},{p[1] - pen[1]}')
                pen = p
        lines.append(f'm {right - left - pen[0]},{-pen[1]}')
    open(out_path, 'w', encoding='ascii').write('\n'.join(lines) + '\n')


def main():
    kind = sys.argv[1]
    if kind == 'ovf':
        write_ovf(sys.argv[2], sys.argv[3])
    elif kind == 'hershey':
        write_hershey(sys.argv[2], sys.argv[3])
    elif kind == 'bezier':
        v = [f32(float(a)) for a in sys.argv[2:10]]
        for x, y in bezier_points(v[0:2], v[2:4], v[4:6], v[6:8]):
            print(repr(x), repr(y))
    else:
        sys.exit(__doc__)


if __name__ == '__main__':
    main()
