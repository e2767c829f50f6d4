"""The friendly layer on the installed Liberation fonts ("Arial")."""
import unittest

import vuzodo


class TextLayout(unittest.TestCase):
    def test_whole_text_returns_to_its_origin_and_counts_its_characters(self):
        t = vuzodo.Text("Arial", height=2.0, kerning=True).append("Hello\nworld")
        self.assertEqual(t.line_count, 2)
        self.assertEqual(t.character_count(), 10)
        self.assertEqual(t.character_count(0), 5)
        records = t.records()
        self.assertGreater(len(records), 100)
        self.assertEqual(sum(r[1] for r in records), 0)
        self.assertEqual(sum(r[2] for r in records), 0)
        self.assertTrue(all(r[0] in (40, 41, 42, 466) for r in records))

    def test_strokes_follow_the_glyphs_contours(self):
        # "O" is two closed contours, "i" a stem and a dot: four strokes.
        t = vuzodo.Text("Arial").append("Oi")
        strokes = t.polylines(aligned=False)
        self.assertEqual(len(strokes), 4)
        for s in strokes:
            self.assertLessEqual(abs(s[0][0] - s[-1][0]) + abs(s[0][1] - s[-1][1]), 2)
        # The letters stand on the baseline, about one unit size tall.
        ys = [p[1] for s in strokes for p in s]
        self.assertAlmostEqual(min(ys), -15, delta=30)
        self.assertAlmostEqual(max(ys), 1030, delta=60)


class Misuse(unittest.TestCase):
    def test_bad_settings_are_refused_with_python_errors(self):
        with self.assertRaises(ValueError):
            vuzodo.Text("Arial", height=0)
        with self.assertRaises(TypeError):
            vuzodo.Text("Arial", colour="red")
        with self.assertRaises(ValueError):
            vuzodo.Text("Arial").records("everything")

    def test_a_replaced_text_cannot_read_the_new_one(self):
        first = vuzodo.Text("Arial").append("first")
        second = vuzodo.Text("Arial").append("second")
        with self.assertRaises(RuntimeError):
            first.records()
        self.assertEqual(second.character_count(), 6)


if __name__ == "__main__":
    unittest.main()
