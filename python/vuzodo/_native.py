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

from ._signatures import SIGNATURES  # generated from the header


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
# Type codes of SIGNATURES.
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
