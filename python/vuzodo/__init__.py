"""Text to vector outlines: the VUZODO engine from Python.

Two layers:

* ``vuzodo.native()`` is the C interface one to one (ctypes), for code that
  wants exactly what a C host gets.
* ``Text`` is the friendly layer::

      import vuzodo
      t = vuzodo.Text(font="Arial", height=2.5, unit=1000)
      t.append("Serial 0042")
      for record in t.records("outline"):   # (code, dx, dy[, cx, cy])
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
import numbers
import os
import re
import shutil
import subprocess
import tempfile
import warnings

from ._native import CharacterLineGapInfo, CursorPosition, FontInformation, load, utf16

__all__ = ["Text", "native", "font_information", "RETURN_TYPES", "ENCODINGS", "CursorPosition",
           "CharacterLineGapInfo", "FontInformation"]

# Names of the return types (EN_ReturnType): which streams, in which order. The words are the
# command line's (--return, the JSON keys, the DXF layers and SVG groups).
RETURN_TYPES = {
    "outline": 0,
    "fill": 1,
    "hatch": 2,
    "outline+fill": 3,
    "fill+outline": 4,
    "outline+hatch+fill": 5,
}

# Big fonts' double-byte character sets, by the names the command line takes.
ENCODINGS = {"gb2312": "gb2312", "gbk": "gbk", "big5": "big5", "shift-jis": "shift_jis",
             "euc-kr": "euc_kr"}

_FONT_FILES = (".ttf", ".otf", ".ttc", ".otc", ".shx", ".ovf", ".fnt")

_library = None
_current = None


def native():
    """The C interface, loaded once (see vuzodo._native for where from)."""
    global _library
    if _library is None:
        _library = load()
    return _library


def _check(name, value, kind=float, low=None, high=None, above=False):
    """The one check of every public argument: a TypeError for the wrong type, a ValueError
    for a value the engine would refuse or turn into garbage, each naming the argument.
    Returns the value as ``kind``."""
    if kind is str:
        if not isinstance(value, str):
            raise TypeError(f"{name} must be a str, not {type(value).__name__}")
        if "\0" in value:
            raise ValueError(f"{name} holds a NUL character at index {value.index(chr(0))}: "
                             "the engine's strings end there")
        return value
    if kind is bool:
        if isinstance(value, bool) or (isinstance(value, numbers.Integral) and value in (0, 1)):
            return bool(value)
        raise TypeError(f"{name} must be True or False, not {value!r}")
    wanted = numbers.Integral if kind is int else numbers.Real
    if isinstance(value, bool) or not isinstance(value, wanted):
        article = "an int" if kind is int else "a number"
        raise TypeError(f"{name} must be {article}, not {type(value).__name__}")
    if not math.isfinite(value):
        raise ValueError(f"{name}={value!r} is not a finite number")
    if ((low is not None and (value <= low if above else value < low))
            or (high is not None and value > high)):
        bounds = [f"{'above' if above else 'at least'} {low}"] if low is not None else []
        bounds += [f"at most {high}"] if high is not None else []
        raise ValueError(f"{name}={value!r} is out of range: must be {' and '.join(bounds)}")
    return kind(value)


def _numbers(name, values, count=None, **limits):
    """A sequence of numbers, each checked; ``count`` fixes its length."""
    if isinstance(values, (str, bytes)) or not hasattr(values, "__len__"):
        raise TypeError(f"{name} must be a sequence of numbers, not {type(values).__name__}")
    if count is not None and len(values) != count:
        raise ValueError(f"{name} takes {count} numbers, not {len(values)}")
    return [_check(f"{name}[{i}]", v, **limits) for i, v in enumerate(values)]


def _return_type(kind):
    if isinstance(kind, numbers.Integral) and not isinstance(kind, bool):
        return _check("kind", kind, int, 0, max(RETURN_TYPES.values()))
    try:
        return RETURN_TYPES[kind]
    except (KeyError, TypeError):
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


# Hatch patterns in the command line's words, "kind:key=value,...": the export of each kind, the
# keys it takes in argument order with their defaults, and, where the offset keys (algo, corner,
# miter, arctol) choose the export that takes them, that export.
_OFFSET_KEYS = (("algo", 0), ("corner", 0), ("miter", 0), ("arctol", 0))
_HATCH = {
    "line": ("AddTTFHatchPatternLine", (("border", 0), ("dir", 0), ("gap", 0.05), ("angle", 0),
                                        ("bx", 0), ("by", 0), ("style", 0), ("contour", 0)),
             "AddTTFHatchPatternLineEx"),
    "optimized": ("AddTTFHatchPatternOptimized", (("border", 0), ("dir", 0), ("gap", 0.05),
                                                  ("angle", 0), ("link", 0), ("style", 0)), None),
    "incremental": ("AddTTFHatchPatternIncremental",
                    (("border", 0), ("dir", 0), ("gap", 0.05), ("angle", 0),
                     ("step", 1.5707963), ("passes", 2), ("style", 0)), None),
    "offset": ("AddTTFHatchPatternOffsetFilling", (("gap", 0.05), ("style", 0)),
               "AddTTFHatchPatternOffsetFillingEx"),
    "inout": ("AddTTFHatchPatternOffsetInOut", (("in", 0.03), ("incount", 2), ("out", 0.03),
                                                ("outcount", 2)),
              "AddTTFHatchPatternOffsetInOutEx"),
    "helix": ("AddTTFHatchPatternHelixFillingEx", (("gap", 0.05), ("style", 0)) + _OFFSET_KEYS,
              None),
    "lattice": ("AddTTFHatchPatternLattice", (("u", 0.05), ("v", 0.05), ("angle", 0), ("bx", 0),
                                              ("by", 0), ("serp", 0)), None),
}
_HATCH_INTS = {"dir", "style", "contour", "passes", "incount", "outcount", "serp", "algo",
               "corner", "miter", "arctol"}
_HATCH_POSITIVE = {"gap", "in", "out", "u", "v"}  # 0 would draw lines without end
_HATCH_NON_NEGATIVE = {"passes", "incount", "outcount", "link"}


def _hatch(request):
    """One hatch request, a str "kind:key=value,..." or (kind, {key: value}), checked; returns
    (kind, values)."""
    if isinstance(request, str):
        kind, _, rest = request.partition(":")
        values = {}
        for item in filter(None, rest.split(",")):
            key, eq, value = item.partition("=")
            if not eq:
                raise ValueError(f"hatch {request!r}: expected key=value in {item!r}")
            if key == "dir" and value in ("in", "out"):
                values[key] = int(value == "out")
                continue
            try:
                values[key] = float(value)
            except ValueError:
                raise ValueError(f"hatch {request!r}: {value!r} is not a number") from None
    elif isinstance(request, tuple) and len(request) == 2 and isinstance(request[1], dict):
        kind, values = request
    else:
        raise TypeError(f"a hatch is a str 'kind:key=value,...' or (kind, dict), not {request!r}")
    if kind not in _HATCH:
        raise ValueError(f"unknown hatch kind {kind!r}; one of {sorted(_HATCH)}")
    _, keys, ex = _HATCH[kind]
    allowed = {k for k, _ in keys} | ({k for k, _ in _OFFSET_KEYS} if ex else set())
    checked = {}
    for key, value in values.items():
        if key not in allowed:
            raise ValueError(f"hatch {kind}: {key!r} is not a {kind} key; one of {sorted(allowed)}")
        name = f"hatch {kind} {key}"
        value = _check(name, value, float, 0 if key in _HATCH_POSITIVE | _HATCH_NON_NEGATIVE
                       else None, above=key in _HATCH_POSITIVE)
        if key in _HATCH_INTS:
            if value != int(value):
                raise ValueError(f"{name}={value!r} must be a whole number")
            value = int(value)
        checked[key] = value
    return kind, checked


def _add_hatch(lib, kind, values):
    plain, keys, ex = _HATCH[kind]
    if ex and any(k in values for k, _ in _OFFSET_KEYS):
        plain, keys = ex, keys + _OFFSET_KEYS
    if getattr(lib, plain)(*(values.get(k, default) for k, default in keys)) == 0:
        raise ValueError(f"hatch {kind} {values}: refused by the engine")


def _hatch_words(kind, values):
    return kind + ":" + ",".join(f"{k}={v!r}" for k, v in values.items())


_substitutes = {}


def _substitute(font, style):
    """The family fontconfig draws a family name with when it is not installed (nor one the
    configuration binds to that name, as Arial to Liberation Sans), "family (file)"; None when
    the name is installed or fontconfig's tools are missing."""
    key = (font, style)
    if key not in _substitutes:
        request = font + {1: ":bold", 2: ":italic", 3: ":bold:italic"}.get(style, "")
        try:
            pattern = subprocess.run(["fc-pattern", "-c", request], capture_output=True,
                                     text=True, check=True).stdout
            match = subprocess.run(["fc-match", "-f", "%{family}\t%{file}", request],
                                   capture_output=True, text=True, check=True).stdout
        except (OSError, subprocess.CalledProcessError):
            _substitutes[key] = None
            return None
        line = next((x for x in pattern.splitlines() if x.strip().startswith("family:")), "")
        families = re.findall(r'"([^"]*)"\(([^)]*)\)', line)  # (name, binding): s, w or =
        same = lambda a, b: a.replace(" ", "").lower() == b.replace(" ", "").lower()
        found, _, file = match.partition("\t")
        strong = [n for n, binding in families if not binding.startswith("w")]
        # A generic name (Sans) has its aliases put before it: whatever answers is it.
        requested = (not families or not same(families[0][0], font)
                     or any(same(n, f) for n in strong for f in found.split(",")))
        _substitutes[key] = None if requested else f"{found.split(',')[0]} ({file})"
    return _substitutes[key]


def _check_font(lib, font, style, strict):
    """A font file must be readable; a family fontconfig substitutes warns (raises under
    ``strict``) with the face drawn instead."""
    if font.lower().endswith(_FONT_FILES):
        if not os.path.exists(font):
            raise FileNotFoundError(f"font {font!r}: no such file")
        if not os.path.isfile(font) or os.path.getsize(font) == 0:
            raise ValueError(f"font {font!r}: not a font file (a directory or empty)")
        if font.lower().endswith((".shx", ".fnt")):
            codes = ctypes.POINTER(ctypes.c_int)()
            count = lib.GetCustomFontRange(ctypes.byref(codes))
            lib.DeleteTTFData(codes)
            if count <= 0:
                raise ValueError(f"font {font!r}: holds no characters the engine can read")
        return
    substitute = _substitute(font, style)
    if substitute:
        message = f"font {font!r} is not installed; fontconfig gives {substitute}"
        if strict:
            raise ValueError(message)
        warnings.warn(message, stacklevel=3)


def _markup_runs(text):
    """Splits markup text into (script, run): "_{...}" a subscript, "^{...}" a superscript,
    as the command line's --markup does."""
    runs, at = [], 0
    while at < len(text):
        opens = [i for i in (text.find("_{", at), text.find("^{", at)) if i >= 0]
        close = text.find("}", min(opens)) if opens else -1
        if close < 0:
            runs.append((None, text[at:]))
            break
        start = min(opens)
        runs += [(None, text[at:start]), ("sub" if text[start] == "_" else "super",
                                          text[start + 2:close])]
        at = close + 1
    return [r for r in runs if r[1]]


def _code_units(name, text, encoding):
    """The text as the engine's 16-bit code units. Through ``encoding`` every character
    becomes its one- or two-byte code in that set (lead byte high), the codes of a big font."""
    if not isinstance(text, str):
        if isinstance(text, (bytes, bytearray)) or not hasattr(text, "__len__"):
            raise TypeError(f"{name} must be a str or a sequence of code units, "
                            f"not {type(text).__name__}")
        return [_check(f"{name}[{i}]", c, int, 1, 0xFFFF) for i, c in enumerate(text)]
    _check(name, text, str)
    if encoding is None:
        return text
    units = []
    for i, c in enumerate(text):
        try:
            data = c.encode(ENCODINGS[encoding])
        except UnicodeEncodeError:
            raise ValueError(f"{name}[{i}] {c!r} (U+{ord(c):04X}) has no code in "
                             f"{encoding}") from None
        if len(data) > 2:
            raise ValueError(f"{name}[{i}] {c!r} is {len(data)} bytes in {encoding}; big "
                             "fonts hold one- and two-byte codes")
        units.append(data[0] << 8 | data[1] if len(data) == 2 else data[0])
    return units


def _decoded_units(units, encoding):
    """Big-font codes back to the text they encode, for the command line, which
    encodes its text again with --encoding."""
    text = []
    for i, c in enumerate(units):
        data = bytes([c >> 8, c & 0xFF]) if c > 0xFF else bytes([c])
        try:
            text.append(data.decode(ENCODINGS[encoding]))
        except UnicodeDecodeError:
            raise ValueError(f"text[{i}] 0x{c:04X} is no character of {encoding}; the command "
                             "line takes text it can encode") from None
    return "".join(text)


def _binary():
    """The command line tool: VUZODO_BINARY, beside this package, or on PATH."""
    explicit = os.environ.get("VUZODO_BINARY")
    beside = os.path.join(os.path.dirname(os.path.abspath(__file__)), "vuzodo")
    found = explicit or (beside if os.access(beside, os.X_OK) else shutil.which("vuzodo"))
    if not found:
        raise FileNotFoundError("the vuzodo command is not found: set VUZODO_BINARY to its path")
    return found


def font_information(font="Arial", style=0):
    """The FontInformation record of a face (or font file) as a dict."""
    _check("font", font, str)
    style = _check("style", style, int, 0, 3)
    info = FontInformation()
    native().GetFontInformation(utf16(font), style, ctypes.byref(info))
    return {name: getattr(info, name) for name, _ in FontInformation._fields_}


# Settings that are one number each: their check and their export.
_NUMBER_SETTINGS = {
    "style": ((int, 0, 3), "SetFontStyle"),
    "fnt_mode": ((int, 1, 2), "SetFNTConversionMode"),
    "gap": ((float,), "SetHorizontalCharGap"),
    "vertical_gap": ((float,), "SetVerticalCharGap"),
    "angle": ((float,), "SetCharacterAngle"),
    "oblique": ((float, -1.35, 1.35), "SetObliqueAngle"),
    "box_width": ((float, 0), "SetTextBoxWidth"),
    "box_height": ((float, 0), "SetTextBoxHeight"),
    "align": ((int, 0, 2), "SetTextHorizontalAlign"),
    "valign": ((int, 0, 2), "SetTextVerticalAlign"),
    "line_spacing": ((float, 0, None, True), "SetLineSpacing"),
    "path_align": ((int, 0, 3), "SetPathTextAlign"),
    "path_spacing": ((float,), "SetPathTextSpacing"),
    "path_start": ((float, 0), None),
}
# Settings that are on or off: their export (given 0 or 1).
_FLAG_SETTINGS = {
    "kerning": "SetAutoKern", "word_wrap": "SetModeWordWrap", "fixed_spacing":
    "SetLineSpacingStyle", "border": "IncludeBorder", "flip": "SetPathTextFlip",
    "bend": "SetDeformPathCharacters", "backward": None, "upside_down": None, "vertical": None,
    "ccw": None, "strict": None, "weld": None,
}
_EARLY = {"style", "fnt_mode"}  # set before the face is checked (a shape font loads then)
# Setters that store their value and still return 0: their 0 is no refusal.
_STORED_AS_ZERO = {"SetIndentPositions", "SetTextHorizontalAlign", "SetTextVerticalAlign"}
_PATH_SETTINGS = {"path_align", "path_spacing", "flip", "bend"}
# The command line's options for the settings above and the paths.
_OPTIONS = {
    "style": "--style", "fnt_mode": "--fnt-mode", "gap": "--gap", "vertical_gap": "--vgap",
    "angle": "--angle", "oblique": "--oblique", "box_width": "--box", "box_height":
    "--box-height", "align": "--align", "valign": "--valign", "line_spacing": "--spacing",
    "path_align": "--path-align", "path_spacing": "--path-spacing", "path_start": "--path-start",
    "kerning": "--kern", "word_wrap": "--wrap", "flip": "--flip", "bend": "--bend",
    "backward": "--backward", "upside_down": "--upside-down", "vertical": "--vertical",
    "strict": "--strict", "tabs": "--tabs", "sub_props": "--sub-props",
    "super_props": "--super-props", "polyline": "--polyline", "weld": "--weld",
}


# The machine options of gcode(), hpgl() and estimate(): their command line option and check.
MACHINE_OPTIONS = {
    "feed": ("--feed", (float, 0, None, True)),  # marking speed, mm/min
    "travel_feed": ("--travel-feed", (float, 0, None, True)),  # mm/min
    "accel": ("--accel", (float, 0, None, True)),  # mm/s^2
    "lift_time": ("--lift-time", (float, 0)),  # s per pen lift
    "power": ("--power", (float, 0)),  # G-code laser S value
    "laser": ("--laser", (str,)),  # M3 or M4
    "pen_up": ("--pen-up", (str,)),  # G-code lines
    "pen_down": ("--pen-down", (str,)),
    "header": ("--machine-header", (str,)),
    "footer": ("--machine-footer", (str,)),
    "pen": ("--pen", (int, 1, 99)),  # HPGL pen number
    "chord_tolerance": ("--chord-tolerance", (float, 0, None, True)),  # mm
    "arcs": ("--no-arcs", (bool,)),  # False: arcs as chords
    "optimize": ("--optimize", (bool,)),  # True: strokes in a travel-optimised order
    "optimize_budget": ("--optimize-budget", (float, 0)),  # s
    "start": ("--start", None),  # (x, y) mm where the machine starts
    "end": ("--end", None),  # (x, y) mm where it ends
}


def _machine_args(machine, options):
    """The command line's options for a machine preset and its overrides."""
    args = [] if machine is None else [f"--machine={_check('machine', machine, str)}"]
    for name, value in options.items():
        if name not in MACHINE_OPTIONS:
            raise TypeError(f"{name!r} is not a machine option: {', '.join(MACHINE_OPTIONS)}")
        option, check = MACHINE_OPTIONS[name]
        if check is None:  # a point
            args.append(f"{option}=" + ",".join(map(repr, _numbers(name, value, 2))))
            continue
        value = _check(name, value, *check)
        if name == "arcs":
            args += [] if value else [option]
        elif name == "optimize":
            args += [option] if value else []
        else:
            args.append(f"{option}={value!r}" if not isinstance(value, str) else
                        f"{option}={value}")
    return args


class Text:
    """A text laid out by the engine, with its settings.

    Settings (all optional, user units and radians): ``style`` (0 regular,
    1 bold, 2 italic, 3 bold italic), ``gap``, ``angle``, ``oblique``,
    ``scale`` (x, y), ``kerning``, ``backward``, ``upside_down``,
    ``word_wrap`` with ``box_width``, ``box_height``, ``align`` (0 left,
    1 centre, 2 right), ``valign`` (0 top, 1 middle, 2 bottom),
    ``line_spacing``, ``fixed_spacing``, ``tabs`` (stops), ``sub_props`` and
    ``super_props`` (size and offset, percent), ``border`` (False leaves the
    outlines out), ``fnt_mode`` (1 arcs, 2 points).

    Columns and paths: ``vertical`` with ``vertical_gap``; or text on
    ``circle=(r, cx, cy, angle)`` (clockwise unless ``ccw``), on
    ``polyline=[(x, y), ...]`` or on ``nurbs={"degree": 3, "points": [(x, y[, w]), ...],
    "knots": [...]}`` with ``path_start``, ``path_align``, ``path_spacing``,
    ``flip`` and ``bend``.

    ``hatch``: patterns in the command line's words, ``["line:gap=0.05,angle=0.5"]``
    or ``[("line", {"gap": 0.05})]``; they are set after the engine's reset,
    so every new ``Text`` has its own.

    ``weld``: ``save()``, ``gcode()``, ``hpgl()`` and ``estimate()`` unite the
    characters before hatching, as the command line's ``--weld`` does: the
    union's outline is drawn and hatched once, so overlaps are marked once.
    ``records()``, ``polylines()`` and ``svg()`` stay per character, as the
    engine gives them.

    ``encoding`` (one of ``ENCODINGS``) turns appended str text into a big
    font's double-byte codes. A font family fontconfig substitutes warns, or
    raises ``ValueError`` with ``strict``.
    """

    def __init__(self, font="Arial", height=1.0, unit=1000.0, **settings):
        global _current
        self.font = _check("font", font, str)
        self.height = _check("height", height, float, 0, above=True)
        self.unit = _check("unit", unit, float, 0, above=True)
        self.settings = self._checked(settings)
        self.encoding = self.settings.get("encoding")
        self._appended = []  # (script or "markup" or None, text or code units)
        self._order = {}  # the machine options optimize() set
        lib = native()
        lib.InitializeTTF(self.unit)
        lib.SetDefaults()
        _current = self
        lib.SetFontFace(utf16(self.font))
        s = self.settings
        for name in _EARLY & set(s):
            getattr(lib, _NUMBER_SETTINGS[name][1])(s[name])
        _check_font(lib, self.font, s.get("style", 0), s.get("strict", False))
        if lib.SetTextHeight(self.height) != 1:
            raise ValueError(f"height={height!r} refused by the engine")
        self._apply(lib, s)

    @staticmethod
    def _checked(s):
        out = {}
        for name, value in s.items():
            if name in _NUMBER_SETTINGS:
                out[name] = _check(name, value, *_NUMBER_SETTINGS[name][0])
            elif name in _FLAG_SETTINGS:
                out[name] = _check(name, value, bool)
            elif name == "scale":
                out[name] = _numbers(name, value, 2, low=0, above=True)
            elif name == "tabs":
                out[name] = _numbers(name, value, low=0)
            elif name in ("sub_props", "super_props"):
                size, offset = _numbers(name, value, 2, low=0)
                out[name] = [_check(f"{name}[0]", size, float, 0, above=True), offset]
            elif name == "circle":
                out[name] = _numbers(name, value, 4)
                _check("circle[0]", out[name][0], float, 0, above=True)
            elif name == "polyline":
                if len(value) < 2:
                    raise ValueError("polyline takes at least 2 points")
                out[name] = [_numbers(f"polyline[{i}]", p, 2) for i, p in enumerate(value)]
            elif name == "nurbs":
                out[name] = Text._nurbs(value)
            elif name == "hatch":
                if isinstance(value, (str, tuple)):
                    value = [value]
                out[name] = [_hatch(h) for h in value]
            elif name == "encoding":
                if value not in ENCODINGS:
                    raise ValueError(f"encoding={value!r}: one of {sorted(ENCODINGS)}")
                out[name] = value
            else:
                raise TypeError(f"unknown setting {name!r}")
        if sum(k in out for k in ("circle", "polyline", "nurbs")) > 1:
            raise ValueError("one path: circle, polyline or nurbs")
        return out

    @staticmethod
    def _nurbs(value):
        if not isinstance(value, dict) or "points" not in value:
            raise TypeError("nurbs is a dict with 'points' and optionally 'degree' and 'knots'")
        degree = _check("nurbs degree", value.get("degree", 3), int, 1)
        points = [_numbers(f"nurbs points[{i}]", p, None) for i, p in enumerate(value["points"])]
        for i, p in enumerate(points):
            if len(p) not in (2, 3):
                raise ValueError(f"nurbs points[{i}] is (x, y) or (x, y, weight)")
            if len(p) == 2:
                p.append(1.0)
            _check(f"nurbs points[{i}] weight", p[2], float, 0, above=True)
        n = len(points)
        if n <= degree:
            raise ValueError(f"nurbs of degree {degree} needs more than {degree} points, not {n}")
        knots = value.get("knots")
        if knots is None:
            # Clamped and uniform, as the command line makes it for a curve file without knots.
            spans = n - degree
            knots = [0.0] * (degree + 1) + [i / spans for i in range(1, spans)] + [1.0] * (
                degree + 1)
        knots = _numbers("nurbs knots", knots, n + degree + 1)
        return {"degree": degree, "points": points, "knots": knots}

    def _apply(self, lib, s):
        for name, value in s.items():
            if name in _EARLY | _PATH_SETTINGS or name not in _NUMBER_SETTINGS | _FLAG_SETTINGS:
                continue
            export = (_NUMBER_SETTINGS.get(name) or (None, _FLAG_SETTINGS.get(name)))[1]
            if export and getattr(lib, export)(value) == 0 and export not in _STORED_AS_ZERO:
                raise ValueError(f"{name}={value!r} refused by the engine")
        if "scale" in s and lib.SetCharacterScale(*s["scale"]) != 1:
            raise ValueError(f"scale={s['scale']!r} refused by the engine")
        if s.get("backward"):
            lib.SetModeCharacterBackward()
        if s.get("upside_down"):
            lib.SetModeCharacterUpsideDown()
        if "tabs" in s:
            stops = (ctypes.c_float * max(1, len(s["tabs"])))(*s["tabs"])
            lib.SetIndentPositions(stops, len(s["tabs"]))
        for name, export in (("sub_props", lib.SetPropsSubscript),
                             ("super_props", lib.SetPropsSuperscript)):
            if name in s and export(*s[name]) == 0:
                raise ValueError(f"{name}={s[name]!r} refused by the engine")
        if s.get("vertical"):
            lib.SetModeVertical()
        elif any(k in s for k in ("circle", "polyline", "nurbs")):
            self._set_path(lib, s)
        for kind, values in s.get("hatch", []):
            _add_hatch(lib, kind, values)

    @staticmethod
    def _set_path(lib, s):
        lib.SetModePathText()
        for name in _PATH_SETTINGS & set(s):
            export = (_NUMBER_SETTINGS.get(name) or (None, _FLAG_SETTINGS.get(name)))[1]
            getattr(lib, export)(s[name])
        floats = lambda v: (ctypes.c_float * len(v))(*v)
        start = s.get("path_start", 0.0)
        if "circle" in s:
            circle = lib.SetNurbPathCircleCCW if s.get("ccw") else lib.SetNurbPathCircleCW
            ok = circle(*s["circle"])
        elif "polyline" in s:
            flat = [c for p in s["polyline"] for c in p]
            ok = lib.SetNurbPathPolyline(floats(flat), len(flat), start)
        else:
            c = s["nurbs"]
            pts = c["points"]
            ok = lib.SetNurbPathPoints(c["degree"], len(pts), floats([x * w for x, _, w in pts]),
                                       floats([y * w for _, y, w in pts]),
                                       floats([w for _, _, w in pts]), len(c["knots"]),
                                       floats(c["knots"]), start)
        if ok == 0:
            raise ValueError("the path was refused by the engine (too few points, bad weights "
                             "or knots)")

    def _lib(self):
        if _current is not self:
            raise RuntimeError("this Text was replaced by a newer one (the engine holds one text)")
        return native()

    def append(self, text, script=None, markup=False):
        """Lays out more text (line feeds start lines). ``text`` is a str, or
        a sequence of 16-bit code units passed as they are. ``script`` is None,
        "sub" or "super" for this run only; with ``markup`` "_{...}" in the
        text is a subscript and "^{...}" a superscript. Returns self."""
        lib = self._lib()
        if script not in (None, "sub", "super"):
            raise ValueError(f"script is None, 'sub' or 'super', not {script!r}")
        markup = _check("markup", markup, bool)
        units = _code_units("text", text, self.encoding)
        if markup and isinstance(units, str):
            runs = _markup_runs(units)
        elif markup:
            raise TypeError("markup takes str text without an encoding")
        else:
            runs = [(script, units)]
        for run_script, run in runs:
            if run_script == "sub":
                lib.SetModeSubscript()
            elif run_script == "super":
                lib.SetModeSuperscript()
            lib.AppendCharactersEx(utf16(run))
            if run_script is not None:
                lib.SetModeNoscript()
        # A str is kept as the user gave it, so that the command line can encode it again.
        self._appended.append(("markup" if markup else script,
                               text if isinstance(text, str) else units))
        return self

    def records(self, kind="outline", index=-1, aligned=True):
        """The drawing records of the whole text (index -1) or one character:
        tuples (code, dx, dy) and (42, dx, dy, cx, cy) for arcs."""
        return self._fetch(kind, index, aligned)[0]

    def box(self, kind="outline", aligned=True):
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

    def polylines(self, kind="outline", arc_step=math.pi / 18, aligned=True, index=-1):
        """Absolute point lists, one per stroke: a move starts a new one;
        arcs are flattened in steps of at most ``arc_step`` radians; a dot
        is a one-point list. ``aligned`` places the lines in the text box
        (the multi-line retrieval); without it the text starts at the
        origin on its first baseline. ``index`` >= 0: one character, its
        points relative to the pen where it starts."""
        strokes, current = [], None
        x = y = 0
        for r in self.records(kind, index, aligned):
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
        self._appended = []

    def svg(self, kind="outline", stroke_width=None, margin=None):
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

    def save(self, path, kind="outline", png_scale=100.0, margin=10.0):
        """Writes the text to ``path`` with the command line's writers, chosen
        by the name's ending: .svg, .dxf, .png (``png_scale`` pixels per user
        unit, ``margin`` pixels), .json, .gcode or .hpgl. The ``vuzodo`` command
        lays the text out again with these settings and this text (see
        ``_binary`` for where it is found); its warnings come back as Python
        warnings, its errors as RuntimeError. Returns the path."""
        path = os.fspath(path)
        _check("path", path, str)
        self._command("render", ["-o", path, f"--return-type={_return_type(kind)}",
                                 f"--png-scale={_check('png_scale', png_scale, float, 0, above=True)!r}",
                                 f"--margin={_check('margin', margin, float, 0)!r}",
                                 *_machine_args(None, self._with_order({}))])
        return path

    def optimize(self, budget=1.0, start=None, end=None):
        """Draws this text's machine files, SVG and DXF in a travel-optimised
        order from now on, as ``--optimize`` does: ``budget`` seconds for the
        search (a fixed amount of work: the same text always gets the same
        order), ``start`` and ``end`` the machine's (x, y) in mm (None: the
        origin). Options given to ``gcode``, ``hpgl`` or ``estimate`` take
        precedence. Returns self."""
        order = {"optimize": True, "optimize_budget": budget}
        order.update({k: v for k, v in (("start", start), ("end", end)) if v is not None})
        _machine_args(None, order)  # checks them now rather than at the first file
        self._order = order
        return self

    def _with_order(self, options):
        """``options`` over what optimize() set; optimize=False drops all of that."""
        if options.get("optimize", True) is False:
            return options
        return {**self._order, **options}

    def gcode(self, path=None, machine=None, **options):
        """G-code of the outline, fill and hatch drawn, as the command line's
        ``-o job.gcode`` writes it: ``machine`` names a preset (``grbl-laser``,
        the default, or ``grbl-plotter``) and ``options`` override its values
        (see ``MACHINE_OPTIONS`` and docs/machines.md); ``optimize=True``
        reorders the strokes for a short travel from ``start`` to ``end``.
        Returns the text, or writes ``path`` and returns it."""
        return self._machine_file("gcode", path, machine, options)

    def hpgl(self, path=None, machine=None, **options):
        """HPGL of the text for a pen plotter, as ``gcode`` (preset ``hpgl``)."""
        return self._machine_file("hpgl", path, machine, options)

    def estimate(self, machine=None, **options):
        """How long ``machine`` takes to mark the text, as ``vuzodo estimate``
        gives it: a dict of ``marking`` and ``travel`` (mm), ``lifts``,
        ``seconds`` and ``machine``."""
        done = self._command("estimate", _machine_args(machine, self._with_order(options)))
        line = done.stdout.decode("utf-8")
        found = re.match(r"marking (\S+) mm, travel (\S+) mm, (\d+) pen lifts, (\S+) s "
                         r"\([^)]*\) at (\S+)", line)
        if not found:
            raise RuntimeError(f"vuzodo estimate printed {line!r}")
        return {"marking": float(found[1]), "travel": float(found[2]), "lifts": int(found[3]),
                "seconds": float(found[4]), "machine": found[5]}

    def _machine_file(self, format, path, machine, options):
        target = "-" if path is None else os.fspath(path)
        _check("path", target, str)
        done = self._command("render", ["-o", target, f"--format={format}",
                                        *_machine_args(machine, self._with_order(options))])
        return done.stdout.decode("utf-8") if path is None else target

    def _command(self, command, extra):
        """Runs ``vuzodo COMMAND`` on this text and settings with ``extra``
        arguments; returns the finished process."""
        self._lib()
        args = [_binary(), command, "-i", "-", *extra, "-f", self.font,
                f"--height={self.height!r}", f"--unit={self.unit!r}"]
        s = self.settings
        for name, value in s.items():
            option = _OPTIONS.get(name)
            if name in _FLAG_SETTINGS and value and option:
                args.append(option)
            elif name in _NUMBER_SETTINGS or name in ("tabs", "sub_props", "super_props"):
                args.append(f"{option}=" + ",".join(map(repr, value if isinstance(value, list)
                                                         else [value])))
        if "scale" in s:
            args += ["--scale", repr(s["scale"][0]), repr(s["scale"][1])]
        if s.get("fixed_spacing"):
            args.append("--spacing-style=1")
        if s.get("border") is False:
            args.append("--no-border")
        if "circle" in s:
            args.append("--circle=" + ",".join(map(repr, s["circle"]))
                        + (",ccw" if s.get("ccw") else ""))
        if "polyline" in s:
            args.append("--polyline=" + ",".join(repr(c) for p in s["polyline"] for c in p))
        args += [f"--hatch={_hatch_words(*h)}" for h in s.get("hatch", [])]
        with tempfile.TemporaryDirectory() as folder:
            if "nurbs" in s:
                curve = os.path.join(folder, "path.nurbs")
                c = s["nurbs"]
                with open(curve, "w", encoding="ascii") as out:
                    out.write(f"degree {c['degree']}\n")
                    out.writelines(f"point {x!r} {y!r} {w!r}\n" for x, y, w in c["points"])
                    out.write("knots " + " ".join(map(repr, c["knots"])) + "\n")
                args.append(f"--nurbs={curve}")
            text, markup = self._command_text()
            if markup:
                args.append("--markup")
            if self.encoding is not None:
                args.append(f"--encoding={self.encoding}")
            # The command drops one final line feed of its input; the extra one keeps the text's.
            done = subprocess.run(args, input=(text + "\n").encode("utf-8"), capture_output=True)
        lines = done.stderr.decode("utf-8", "replace").splitlines()
        for line in lines:
            if "warning:" in line:
                warnings.warn(line, stacklevel=2)
        if done.returncode != 0:
            raise RuntimeError("; ".join(l for l in lines if "warning:" not in l) or
                               f"vuzodo {command} exited with {done.returncode}")
        return done

    def _command_text(self):
        """The appended text as one input of the command line, with --markup
        for script runs; whether it needs --markup."""
        markup = any(script is not None for script, _ in self._appended)
        parts = []
        for script, text in self._appended:
            if not isinstance(text, str) and self.encoding is not None:
                text = _decoded_units(text, self.encoding)
            elif not isinstance(text, str):
                if any(0xD800 <= c <= 0xDFFF for c in text):
                    raise ValueError("codes in the surrogate range (D800-DFFF) cannot be handed "
                                     "to the command line as text; give the Text an encoding and "
                                     "append str text, or use records() and svg()")
                text = "".join(map(chr, text))
            plain = script in (None, "markup")
            if markup and script is None and ("_{" in text or "^{" in text):
                raise ValueError(f"{text!r} reads as markup beside sub- or superscript runs")
            if not plain and "}" in text:
                raise ValueError(f"a {script}script run cannot hold '}}' on the command line")
            parts.append(text if plain else ("_{" if script == "sub" else "^{") + text + "}")
        if not parts:
            raise ValueError("nothing to save: append text first")
        return "".join(parts), markup
