// Shared by the font and platform tests: HarfBuzz for kerning.
#pragma once

#include <hb.h>

#include <memory>
#include <string>

namespace fontsupport {

inline std::u16string U16(const std::string& s) {
  return {s.begin(), s.end()};
}

// Kerning of a pair in font units as HarfBuzz applies it: the first advance with "kern" on
// minus with it off, ligatures off so that "fi" stays two glyphs.
class HbKerning {
 public:
  explicit HbKerning(const std::string& path) {
    hb_blob_t* blob = hb_blob_create_from_file(path.c_str());
    hb_face_t* face = hb_face_create(blob, 0);
    font_.reset(hb_font_create(face));  // scaled to font units
    hb_face_destroy(face);
    hb_blob_destroy(blob);
  }
  int upem() const { return static_cast<int>(hb_face_get_upem(hb_font_get_face(font_.get()))); }
  int Kern(char16_t a, char16_t b) const { return Advance(a, b, 1) - Advance(a, b, 0); }

 private:
  int Advance(char16_t a, char16_t b, unsigned kern) const {
    std::unique_ptr<hb_buffer_t, decltype(&hb_buffer_destroy)> buffer(hb_buffer_create(),
                                                                      hb_buffer_destroy);
    const uint16_t text[2] = {a, b};
    hb_buffer_add_utf16(buffer.get(), text, 2, 0, 2);
    // A fixed language: the locale's may pick a language system that kerns differently.
    hb_buffer_set_language(buffer.get(), hb_language_from_string("en", -1));
    hb_buffer_guess_segment_properties(buffer.get());
    const hb_feature_t features[] = {{HB_TAG('k', 'e', 'r', 'n'), kern, 0, ~0u},
                                     {HB_TAG('l', 'i', 'g', 'a'), 0, 0, ~0u},
                                     {HB_TAG('c', 'l', 'i', 'g'), 0, 0, ~0u}};
    hb_shape(font_.get(), buffer.get(), features, 3);
    return hb_buffer_get_glyph_positions(buffer.get(), nullptr)[0].x_advance;
  }
  std::unique_ptr<hb_font_t, decltype(&hb_font_destroy)> font_{nullptr, hb_font_destroy};
};

}  // namespace fontsupport
