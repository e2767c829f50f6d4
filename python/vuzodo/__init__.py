"""Text to vector outlines: the VUZODO engine from Python.

Two layers:

* ``vuzodo.native()`` is the C interface one to one (ctypes), for code that
  wants exactly what a C host gets.
* ``Text`` is the friendly layer::

      import vuzodo
      t = vuzodo.Text(font="Arial", height=2.5, unit=1000)
      t.append("Serial 0042")
      for record in t.records("border"):   # (code, dx, dy[, cx, cy])
          ...
      open("out.svg", "w").write(t.svg())

Units: lengths given to ``Text`` are user units; outlines come back in output
units, user units times ``unit`` (1000 by default), as integers relative to
the previous pen position. Record codes: 40 move, 41 line, 42 arc (end and
centre, the centre relative to the arc's start), 466 dot.

The engine keeps one text per process (its settings and lines are global), so
a new ``Text`` replaces the previous one; using a replaced ``Text`` raises
``RuntimeError`` rather than reading someone else's text.
"""
import ctypes
import math

from ._native import CharacterLineGapInfo, CursorPosition, FontInformation, load, utf16

__all__ = ["Text", "native", "font_information", "RETURN_TYPES", "CursorPosition",
           "CharacterLineGapInfo", "FontInformation"]

# Names of the return types (EN_ReturnType): which streams, in which order.
RETURN_TYPES = {
    "border": 0,
    "fill": 1,
    "polylines": 2,
    "border+fill": 3,
    "fill+border": 4,
    "border+polylines+fill": 5,
}

_library = None
_current = None


def native():
    """The C interface, loaded once (see vuzodo._native for where from)."""
    global _library
    if _library is None:
        _library = load()
    return _library


def _return_type(kind):
    if isinstance(kind, int):
        return kind
    try:
        return RETURN_TYPES[kind]
    except KeyError:
        raise ValueError(f"unknown return type {kind!r}; one of {sorted(RETURN_TYPES)}") from None


def _records(data, count):
    """Splits an int array into records up to its -1 end mark."""
    out = []
    p = 0
    while p < count and data[p] != -1:
        n = 5 if data[p] == 42 else 3
        if p + n > count:
            break
        out.append(tuple(data[p:p + n]))
        p += n
    return out


def font_information(font="Arial", style=0):
    """The FontInformation record of a face (or font file) as a dict."""
    info = FontInformation()
    native().GetFontInformation(utf16(font), style, ctypes.byref(info))
    return {name: getattr(info, name) for name, _ in FontInformation._fields_}


class Text:
    """A text laid out by the engine, with its settings.

    Settings (all optional, user units and radians): ``style`` (0 regular,
    1 bold, 2 italic, 3 bold italic), ``gap``, ``angle``, ``oblique``,
    ``scale`` (x, y), ``kerning``, ``backward``, ``upside_down``,
    ``word_wrap`` with ``box_width``, ``box_height``, ``align`` (0 left,
    1 centre, 2 right), ``valign`` (0 top, 1 middle, 2 bottom),
    ``line_spacing``, ``fixed_spacing``.
    """

    def __init__(self, font="Arial", height=1.0, unit=1000.0, **settings):
        global _current
        lib = native()
        lib.InitializeTTF(unit)
        lib.SetDefaults()
        _current = self
        self.unit = unit
        self.font = font
        if lib.SetFontFace(utf16(font)) != 1:
            raise ValueError(f"font face {font!r} refused")
        if lib.SetTextHeight(height) != 1:
            raise ValueError(f"height must be above 0, not {height!r}")
        self._apply(lib, settings)

    def _apply(self, lib, s):
        simple = {
            "style": lib.SetFontStyle, "gap": lib.SetHorizontalCharGap,
            "angle": lib.SetCharacterAngle, "box_width": lib.SetTextBoxWidth,
            "box_height": lib.SetTextBoxHeight, "align": lib.SetTextHorizontalAlign,
            "valign": lib.SetTextVerticalAlign, "line_spacing": lib.SetLineSpacing,
        }
        for name, value in s.items():
            if name in simple:
                simple[name](value)
            elif name == "oblique":
                if lib.SetObliqueAngle(value) != 1:
                    raise ValueError(f"oblique angle out of range: {value!r}")
            elif name == "scale":
                if lib.SetCharacterScale(value[0], value[1]) != 1:
                    raise ValueError(f"scale factors must be above 0: {value!r}")
            elif name == "kerning":
                lib.SetAutoKern(1 if value else 0)
            elif name == "word_wrap":
                lib.SetModeWordWrap(1 if value else 0)
            elif name == "backward":
                (lib.SetModeCharacterBackward if value else lib.SetModeCharacterForward)()
            elif name == "upside_down":
                (lib.SetModeCharacterUpsideDown if value else lib.SetModeCharacterUpside)()
            elif name == "fixed_spacing":
                lib.SetLineSpacingStyle(1 if value else 0)
            else:
                raise TypeError(f"unknown setting {name!r}")

    def _lib(self):
        if _current is not self:
            raise RuntimeError("this Text was replaced by a newer one (the engine holds one text)")
        return native()

    def append(self, text, script=None):
        """Lays out more text (line feeds start lines). ``script`` is None,
        "sub" or "super" for this run only. Returns self."""
        lib = self._lib()
        if script == "sub":
            lib.SetModeSubscript()
        elif script == "super":
            lib.SetModeSuperscript()
        elif script is not None:
            raise ValueError(f"script is None, 'sub' or 'super', not {script!r}")
        lib.AppendCharactersEx(utf16(text))
        if script is not None:
            lib.SetModeNoscript()
        return self

    def records(self, kind="border", index=-1, aligned=True):
        """The drawing records of the whole text (index -1) or one character:
        tuples (code, dx, dy) and (42, dx, dy, cx, cy) for arcs."""
        return self._fetch(kind, index, aligned)[0]

    def box(self, kind="border", aligned=True):
        """The eight corner values of the whole text's box."""
        return self._fetch(kind, -1, aligned)[1]

    def _fetch(self, kind, index, aligned):
        lib = self._lib()
        data = ctypes.POINTER(ctypes.c_int)()
        box = (ctypes.c_float * 10)()
        fetch = lib.GetMultilineOutLines if aligned else lib.GetOutLinesEx
        count = fetch(index, _return_type(kind), ctypes.byref(data), box)
        try:
            return _records(data, count), list(box[:8])
        finally:
            lib.DeleteTTFData(data)

    def polylines(self, kind="border", arc_step=math.pi / 18, aligned=True):
        """Absolute point lists, one per stroke: a move starts a new one;
        arcs are flattened in steps of at most ``arc_step`` radians; a dot
        is a one-point list. ``aligned`` places the lines in the text box
        (the multi-line retrieval); without it the text starts at the
        origin on its first baseline."""
        strokes, current = [], None
        x = y = 0
        for r in self.records(kind, aligned=aligned):
            code, nx, ny = r[0], x + r[1], y + r[2]
            if code == 40:
                current = None
            elif code == 466:
                strokes.append([(nx, ny)])
                current = None
            else:
                if current is None:
                    current = [(x, y)]
                    strokes.append(current)
                if code == 42:
                    cx, cy = x + r[3], y + r[4]
                    a0 = math.atan2(y - cy, x - cx)
                    a1 = math.atan2(ny - cy, nx - cx)
                    sweep = a1 - a0
                    # The turning direction from the cross product of start and end.
                    cross = (x - cx) * (ny - cy) - (y - cy) * (nx - cx)
                    if cross >= 0 and sweep < 0:
                        sweep += 2 * math.pi
                    elif cross < 0 and sweep > 0:
                        sweep -= 2 * math.pi
                    radius = math.hypot(x - cx, y - cy)
                    steps = max(1, int(math.ceil(abs(sweep) / arc_step)))
                    for k in range(1, steps):
                        a = a0 + sweep * k / steps
                        current.append((cx + radius * math.cos(a), cy + radius * math.sin(a)))
                current.append((nx, ny))
            x, y = nx, ny
        return strokes

    def carets(self):
        """Every caret of every line, as CursorPosition dicts."""
        lib = self._lib()
        data = ctypes.POINTER(CursorPosition)()
        count = ctypes.c_int()
        top = ctypes.c_float()
        lib.GetMultilineCaretPositionData(ctypes.byref(data), ctypes.byref(count),
                                          ctypes.byref(top))
        try:
            return [{name: getattr(data[i], name) for name, _ in CursorPosition._fields_}
                    for i in range(count.value)]
        finally:
            lib.DeleteCaretData(ctypes.cast(data, ctypes.POINTER(ctypes.c_float)))

    @property
    def line_count(self):
        return self._lib().GetTextLineCount()

    def character_count(self, line=-1):
        """Characters on one line, or in the whole text (line -1)."""
        return self._lib().GetCharacterCount(line)

    def finish(self):
        """Drops the text, keeping the settings for the next one."""
        self._lib().FinishText()

    def svg(self, kind="border", stroke_width=None, margin=None):
        """An SVG picture of the outlines (y up in the text, down in SVG)."""
        strokes = self.polylines(kind)
        points = [p for s in strokes for p in s] or [(0, 0)]
        margin = self.unit / 10 if margin is None else margin
        width = self.unit / 150 if stroke_width is None else stroke_width
        x0 = min(p[0] for p in points) - margin
        x1 = max(p[0] for p in points) + margin
        y0 = min(p[1] for p in points) - margin
        y1 = max(p[1] for p in points) + margin
        paths = []
        for s in strokes:
            if len(s) == 1:
                paths.append(f'<circle cx="{s[0][0]:g}" cy="{-s[0][1]:g}" r="{width:g}"/>')
            else:
                d = " ".join(f"{'M' if i == 0 else 'L'}{px:g} {-py:g}" for i, (px, py) in
                             enumerate(s))
                paths.append(f'<path d="{d}"/>')
        return (f'<svg xmlns="http://www.w3.org/2000/svg" viewBox="{x0:g} {-y1:g} '
                f'{x1 - x0:g} {y1 - y0:g}">\n<g fill="none" stroke="black" '
                f'stroke-width="{width:g}">\n' + "\n".join(paths) + "\n</g>\n</svg>\n")
