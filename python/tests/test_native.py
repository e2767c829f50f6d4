"""The ctypes table against the C header: a drift in either breaks here."""
import ctypes
import os
import re
import unittest

from vuzodo import _native

HEADER = os.environ.get("VUZODO_HEADER", os.path.join(os.path.dirname(__file__), "..", "..",
                                                      "include", "vuzodo", "vuzodo.h"))

# C types of the header to the table's codes; enumerations are 32-bit ints.
C_TYPES = {
    "void": "v", "int": "i", "float": "f", "double": "d", "vuzodo_bool": "b",
    "unsigned short*": "S", "float*": "F", "int*": "I", "int**": "II", "float**": "FF",
    "CursorPosition**": "CP", "CharacterLineGapInfo*": "LG", "FontInformation*": "FI",
}


def header_declarations():
    text = open(HEADER, encoding="utf-8").read()
    text = re.sub(r"/\*.*?\*/", "", text, flags=re.S)
    enums = set(re.findall(r"typedef (?:enum \w+|VUZODO_ENUM\(\w+\)) \{.*?\} (\w+);", text,
                           flags=re.S))
    out = {}
    for result, name, args in re.findall(
            r"^VUZODO_API\s+(.+?)\s+VUZODO_CALL\s+(\w+)\s*\((.*?)\);", text, flags=re.S | re.M):
        # A by-reference parameter is a pointer in C.
        args = " ".join(args.replace("VUZODO_REF", "*").split())
        codes = []
        for arg in ([] if args in ("", "void") else args.split(",")):
            c_type = re.sub(r"\s*\b\w+$", "", arg.strip()).replace(" *", "*")
            codes.append("i" if c_type in enums else C_TYPES[c_type])
        out[name] = ("i" if result in enums else C_TYPES[result], codes)
    return out


class SignatureTable(unittest.TestCase):
    def test_every_export_has_the_headers_types(self):
        declared = header_declarations()
        self.assertEqual(len(declared), 77)
        self.assertEqual(set(declared), set(_native.SIGNATURES))
        for name, signature in declared.items():
            with self.subTest(name=name):
                self.assertEqual(_native.SIGNATURES[name], signature)

    def test_records_have_the_c_layout(self):
        self.assertEqual(ctypes.sizeof(_native.CursorPosition), 24)
        self.assertEqual(ctypes.sizeof(_native.CharacterLineGapInfo), 12)
        self.assertEqual(ctypes.sizeof(_native.FontInformation), 32)

    def test_utf16_buffers_end_with_zero_and_keep_surrogates(self):
        buffer = _native.utf16("A\U0001F600")
        self.assertEqual(list(buffer), [0x41, 0xD83D, 0xDE00, 0])


if __name__ == "__main__":
    unittest.main()
