"""The engine's C interface, one to one, through ctypes.

Every export of ``vuzodo.h`` is here under its own name with its own argument
and result types. Arrays the engine hands out stay the engine's: release them
with ``DeleteTTFData`` / ``DeleteCaretData`` (the friendly layer does this).

The library is found, in this order, through the ``VUZODO_LIBRARY``
environment variable (a path), beside this package (``libvuzodo.so`` copied
in), and by the dynamic loader's search (``ctypes.util.find_library``).
"""
import ctypes
import ctypes.util
import os


class CursorPosition(ctypes.Structure):
    """One caret: its top and bottom ends, output units."""

    _fields_ = [("topX", ctypes.c_float), ("topY", ctypes.c_float),
                ("bottomX", ctypes.c_float), ("bottomY", ctypes.c_float),
                ("baselineY", ctypes.c_float), ("lineStart", ctypes.c_int)]


class CharacterLineGapInfo(ctypes.Structure):
    """Vertical metrics of one text line, output units."""

    _fields_ = [("maximumAscent", ctypes.c_float), ("maximumDescent", ctypes.c_float),
                ("maximumLineGap", ctypes.c_float)]


class FontInformation(ctypes.Structure):
    """Metrics of a face as the engine uses it."""

    _fields_ = [("ratio", ctypes.c_float), ("ascent", ctypes.c_int),
                ("descent", ctypes.c_int), ("lineGap", ctypes.c_int),
                ("emSquare", ctypes.c_int), ("boxTop", ctypes.c_int),
                ("boxBottom", ctypes.c_int), ("designHeight", ctypes.c_int)]


_P = ctypes.POINTER
# Type codes of the table below.
TYPES = {
    "v": None,
    "i": ctypes.c_int,          # int and every enumeration (32 bits)
    "f": ctypes.c_float,
    "d": ctypes.c_double,
    "b": ctypes.c_bool,         # vuzodo_bool
    "S": _P(ctypes.c_ushort),   # UTF-16 text, zero-terminated
    "F": _P(ctypes.c_float),
    "I": _P(ctypes.c_int),
    "II": _P(_P(ctypes.c_int)),
    "FF": _P(_P(ctypes.c_float)),
    "CP": _P(_P(CursorPosition)),
    "LG": _P(CharacterLineGapInfo),
    "FI": _P(FontInformation),
}

# name: (result, arguments), in the header's order.
SIGNATURES = {
    "InitializeTTF": ("v", ["f"]),
    "SetDefaults": ("i", []),
    "SetFontFace": ("i", ["S"]),
    "SetFontStyle": ("i", ["i"]),
    "SetTextHeight": ("i", ["f"]),
    "SetHorizontalCharGap": ("i", ["f"]),
    "SetVerticalCharGap": ("i", ["f"]),
    "SetCharacterAngle": ("i", ["f"]),
    "SetObliqueAngle": ("i", ["f"]),
    "SetCharacterScale": ("i", ["f", "f"]),
    "SetAutoKern": ("i", ["i"]),
    "SetModeHorizontal": ("i", []),
    "SetModeVertical": ("i", []),
    "SetModePathText": ("i", []),
    "SetModeCharacterForward": ("i", []),
    "SetModeCharacterBackward": ("i", []),
    "SetModeCharacterUpside": ("i", []),
    "SetModeCharacterUpsideDown": ("i", []),
    "SetModeNoscript": ("i", []),
    "SetModeSubscript": ("i", []),
    "SetModeSuperscript": ("i", []),
    "SetPropsSubscript": ("i", ["f", "f"]),
    "SetPropsSuperscript": ("i", ["f", "f"]),
    "SetModeWordWrap": ("i", ["i"]),
    "SetTextBoxWidth": ("i", ["f"]),
    "SetTextBoxHeight": ("i", ["f"]),
    "SetIndentPositions": ("i", ["F", "i"]),
    "SetTextHorizontalAlign": ("i", ["i"]),
    "SetTextVerticalAlign": ("i", ["i"]),
    "SetLineSpacing": ("i", ["f"]),
    "SetLineSpacingStyle": ("i", ["i"]),
    "SetFNTConversionMode": ("i", ["i"]),
    "SetPathTextAlign": ("i", ["i"]),
    "SetPathTextFlip": ("i", ["i"]),
    "SetPathTextSpacing": ("i", ["d"]),
    "SetDeformPathCharacters": ("i", ["i"]),
    "AppendCharacters": ("i", ["S"]),
    "AppendCharactersEx": ("i", ["S"]),
    "AppendCharactersOVF": ("i", ["S"]),
    "FinishText": ("i", []),
    "GetOutLines": ("i", ["i", "i", "II", "F"]),
    "GetOutLinesEx": ("i", ["i", "i", "II", "F"]),
    "GetMultilineOutLines": ("i", ["i", "i", "II", "F"]),
    "GetTotalBoundingBox": ("v", ["F"]),
    "DeleteTTFData": ("v", ["I"]),
    "GetCaretPositionData": ("i", ["FF"]),
    "GetMultilineCaretPositionData": ("i", ["CP", "I", "F"]),
    "DeleteCaretData": ("v", ["F"]),
    "GetCharacterCount": ("i", ["i"]),
    "GetTextLineCount": ("i", []),
    "GetCharacterLineGapInfo": ("i", ["LG"]),
    "GetMaximumAscent": ("f", []),
    "GetMaximumDecent": ("f", []),
    "GetMaximumLineGap": ("f", []),
    "GetPathLengthOfCharacters": ("f", []),
    "LoadCharacterSet": ("v", ["S", "i", "I", "i"]),
    "LoadCharacterRange": ("v", ["S", "i", "i", "i"]),
    "UnloadFont": ("v", ["S", "i"]),
    "UnloadAllFonts": ("v", []),
    "GetFontInformation": ("v", ["S", "i", "FI"]),
    "GetCustomFontRange": ("i", ["II"]),
    "SetNurbPathPoints": ("i", ["i", "i", "F", "F", "F", "i", "F", "f"]),
    "SetNurbPathCircleCW": ("i", ["f", "f", "f", "f"]),
    "SetNurbPathCircleCCW": ("i", ["f", "f", "f", "f"]),
    "SetNurbPathPolyline": ("i", ["F", "i", "f"]),
    "AddTTFHatchPatternLine": ("i", ["f", "i", "f", "f", "f", "f", "i", "i"]),
    "AddTTFHatchPatternLineEx": ("i", ["f", "i", "f", "f", "f", "f", "i", "i", "i", "i", "i",
                                       "i"]),
    "AddTTFHatchPatternOptimized": ("i", ["f", "i", "f", "f", "f", "i"]),
    "AddTTFHatchPatternIncremental": ("i", ["f", "i", "f", "f", "f", "i", "i"]),
    "AddTTFHatchPatternOffsetFilling": ("i", ["f", "i"]),
    "AddTTFHatchPatternOffsetFillingEx": ("i", ["f", "i", "i", "i", "i", "i"]),
    "AddTTFHatchPatternOffsetInOut": ("i", ["f", "i", "f", "i"]),
    "AddTTFHatchPatternOffsetInOutEx": ("i", ["f", "i", "f", "i", "i", "i", "i", "i"]),
    "AddTTFHatchPatternHelixFillingEx": ("i", ["f", "i", "i", "i", "i", "i"]),
    "AddTTFHatchPatternLattice": ("i", ["f", "f", "f", "f", "f", "b"]),
    "ClearTTFHatchPatterns": ("i", []),
    "IncludeBorder": ("i", ["i"]),
}


def _find_library():
    explicit = os.environ.get("VUZODO_LIBRARY")
    if explicit:
        return explicit
    beside = os.path.join(os.path.dirname(os.path.abspath(__file__)), "libvuzodo.so")
    if os.path.exists(beside):
        return beside
    found = ctypes.util.find_library("vuzodo")
    if found:
        return found
    raise OSError("libvuzodo.so not found: set VUZODO_LIBRARY to its path")


def load(path=None):
    """Opens the engine and gives every export its types."""
    lib = ctypes.CDLL(path or _find_library())
    for name, (result, arguments) in SIGNATURES.items():
        function = getattr(lib, name)
        function.restype = TYPES[result]
        function.argtypes = [TYPES[a] for a in arguments]
    return lib


def utf16(text):
    """A zero-terminated UTF-16 buffer for the text arguments: a str, or a
    sequence of 16-bit code units passed as they are (a lone surrogate among
    them included)."""
    if isinstance(text, str):
        data = text.encode("utf-16-le", "surrogatepass")
        units = len(data) // 2
        buffer = (ctypes.c_ushort * (units + 1))()
        ctypes.memmove(buffer, data, len(data))
        return buffer
    return (ctypes.c_ushort * (len(text) + 1))(*text, 0)
