"""The ctypes records and texts against the C layout. The signature table is generated from
the header (cmake/make_def.py; the python.signatures test keeps it current)."""
import ctypes
import unittest

from vuzodo import _native


class SignatureTable(unittest.TestCase):
    def test_records_have_the_c_layout(self):
        self.assertEqual(ctypes.sizeof(_native.CursorPosition), 24)
        self.assertEqual(ctypes.sizeof(_native.CharacterLineGapInfo), 12)
        self.assertEqual(ctypes.sizeof(_native.FontInformation), 32)

    def test_utf16_buffers_end_with_zero_and_keep_surrogates(self):
        buffer = _native.utf16("A\U0001F600")
        self.assertEqual(list(buffer), [0x41, 0xD83D, 0xDE00, 0])


if __name__ == "__main__":
    unittest.main()
