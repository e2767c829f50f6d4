#!/usr/bin/env python3
"""Compiles a text shape source (.shp) into a binary SHX font.

Source format, one definition per `*` line followed by its bytes on one or more lines:

    ; comment
    *code,bytes,name          shape header: number, count of bytes (final 0 included), name
    2,014,(8,-3),0            bytes: decimal (-128..255) or 0-prefixed hex; () only group

The font kind follows from the first definition:

    *0,4,name                 shape file; its bytes are above,below,modes,0
    *UNIFONT,6,name           unicode font; its bytes are above,below,modes,encoding,type,0
    *BIGFONT n,r,s1,e1,...    big font with r escape ranges s-e; the next definition is
    *0,4,name                   above,below,modes,0
    *0,5,name                   or, extended, height,0,modes,width,0

Usage: shp2shx.py input.shp output.shx [--version 1.1] [--empty-slots N]
"""
import argparse
import struct
import sys


class ShpError(Exception):
    pass


def parse_value(text, where):
    text = text.strip()
    if not text:
        raise ShpError(f"{where}: empty value")
    negative = text.startswith("-")
    body = text[1:] if negative or text.startswith("+") else text
    try:
        if len(body) > 1 and body.startswith("0"):
            value = int(body, 16)
        else:
            value = int(body, 10)
    except ValueError:
        raise ShpError(f"{where}: bad number {text!r}") from None
    return -value if negative else value


def parse_number(text, where):
    # Shape numbers follow the same rule as bytes (0-prefixed means hex).
    value = parse_value(text, where)
    if not 0 <= value <= 0xFFFF:
        raise ShpError(f"{where}: shape number {value} out of range")
    return value


def to_byte(value, where):
    if not -128 <= value <= 255:
        raise ShpError(f"{where}: byte {value} out of range")
    return value & 0xFF


def split_values(text):
    return [v for v in text.replace("(", ",").replace(")", ",").split(",") if v.strip()]


def parse(source):
    """Returns (kind, bigfont header values, [(number, name, bytes)])."""
    kind = None
    big_header = []
    shapes = []
    current = None
    for line_no, raw in enumerate(source.splitlines(), 1):
        line = raw.split(";", 1)[0].strip()
        if not line:
            continue
        where = f"line {line_no}"
        if line.startswith("*"):
            head = line[1:]
            if head.upper().startswith("BIGFONT"):
                kind = "bigfont"
                big_header = [parse_value(v, where) for v in split_values(head[7:])]
                continue
            fields = [f.strip() for f in head.split(",", 2)]
            if len(fields) < 2:
                raise ShpError(f"{where}: header needs code and byte count")
            name = fields[2] if len(fields) > 2 else ""
            if fields[0].upper() == "UNIFONT":
                if kind is None:
                    kind = "unifont"
                number = None
            else:
                number = parse_number(fields[0], where)
                if kind is None:
                    kind = "shapes"
            current = [number, name, parse_value(fields[1], where), [], where]
            shapes.append(current)
            continue
        if current is None:
            raise ShpError(f"{where}: bytes before any definition")
        current[3].extend(to_byte(parse_value(v, where), where) for v in split_values(line))
    result = []
    for number, name, count, data, where in shapes:
        if len(data) != count:
            raise ShpError(f"{where}: {count} bytes declared, {len(data)} given")
        if not data or data[-1] != 0:
            raise ShpError(f"{where}: definition must end with 0")
        result.append((number, name, bytes(data)))
    if not result:
        raise ShpError("no definitions")
    return kind, big_header, result


def record(name, data):
    return name.encode("latin-1") + b"\0" + data


def compile_shapes(shapes, version):
    info = shapes[0]
    if info[0] != 0:
        raise ShpError("a shape file starts with *0, its font information")
    numbers = [s[0] for s in shapes]
    out = bytearray(f"AutoCAD-86 shapes {version}\r\n\x1a".encode("ascii"))
    out += struct.pack("<HHH", min(numbers), max(numbers), len(shapes))
    for number, name, data in shapes:
        out += struct.pack("<HH", number, len(record(name, data)))
    for number, name, data in shapes:
        out += record(name, data)
    return bytes(out)


def compile_unifont(shapes):
    info = shapes[0]
    if info[0] is not None:
        raise ShpError("a unicode font starts with *UNIFONT")
    out = bytearray(b"AutoCAD-86 unifont 1.0\r\n\x1a")
    info_record = record(info[1], info[2])
    out += struct.pack("<IH", len(shapes), len(info_record))
    out += info_record
    for number, name, data in shapes[1:]:
        if number is None:
            raise ShpError("*UNIFONT may appear once")
        rec = record(name, data)
        out += struct.pack("<HH", number, len(rec)) + rec
    return bytes(out)


def compile_bigfont(header, shapes, empty_slots):
    if len(header) < 2 or len(header) != 2 + 2 * header[1]:
        raise ShpError("*BIGFONT needs n, r and r start/end pairs")
    if shapes[0][0] != 0:
        raise ShpError("a big font's first definition is *0, its font information")
    ranges = header[2:]
    entries = len(shapes) + empty_slots
    out = bytearray(b"AutoCAD-86 bigfont 1.0\r\n\x1a")
    out += struct.pack("<HHH", len(shapes), entries, header[1])
    for value in ranges:
        out += struct.pack("<H", value)
    offset = len(out) + 8 * entries
    index = bytearray()
    data_block = bytearray()
    for number, name, data in shapes:
        rec = record(name, data)
        index += struct.pack("<HHI", number, len(rec), offset + len(data_block))
        data_block += rec
    index += b"\0" * (8 * empty_slots)
    return bytes(out + index + data_block)


def compile_source(source, version="1.0", empty_slots=0):
    kind, big_header, shapes = parse(source)
    if kind == "shapes":
        return compile_shapes(shapes, version)
    if kind == "unifont":
        return compile_unifont(shapes)
    return compile_bigfont(big_header, shapes, empty_slots)


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("input")
    parser.add_argument("output")
    parser.add_argument("--version", default="1.0", choices=["1.0", "1.1"])
    parser.add_argument("--empty-slots", type=int, default=0,
                        help="big fonts: unused index entries after the shapes")
    args = parser.parse_args(argv)
    with open(args.input, encoding="latin-1") as f:
        source = f.read()
    try:
        binary = compile_source(source, args.version, args.empty_slots)
    except ShpError as error:
        print(f"{args.input}: {error}", file=sys.stderr)
        return 1
    with open(args.output, "wb") as f:
        f.write(binary)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
