// Shared by the font and platform tests: golden files, GDI's rounding, HarfBuzz for kerning.
#pragma once

#include <hb.h>

#include <cmath>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace fontsupport {

inline std::u16string U16(const std::string& s) {
  return {s.begin(), s.end()};
}

// a × b ÷ c rounded half away from zero (Windows MulDiv).
inline long MulDiv(long a, long b, long c) {
  const double exact = static_cast<double>(a) * b / c;
  return static_cast<long>(exact < 0 ? -std::floor(-exact + 0.5) : std::floor(exact + 0.5));
}

// A golden file as lines of words; comments and blank lines are left out.
inline std::vector<std::vector<std::string>> ReadWords(const std::string& path) {
  std::ifstream in(path);
  if (!in) throw std::runtime_error("golden file missing: " + path);
  std::vector<std::vector<std::string>> lines;
  for (std::string line; std::getline(in, line);) {
    std::istringstream s(line);
    std::vector<std::string> words;
    for (std::string w; s >> w;) words.push_back(w);
    if (!words.empty() && words[0][0] != '#') lines.push_back(words);
  }
  return lines;
}

// The "font PATH" blocks of a golden file: per key, the numbers of every line in file order
// (a word that is no number reads as NaN).
using FontValues = std::map<std::string, std::vector<std::vector<double>>>;
inline std::map<std::string, FontValues> ReadFonts(const std::string& path) {
  std::map<std::string, FontValues> fonts;
  std::string font;
  for (const auto& words : ReadWords(path)) {
    if (words[0] == "font") font = words[1];
    std::vector<double> numbers;
    for (std::size_t i = 1; i < words.size(); ++i) {
      char* end = nullptr;
      const double v = std::strtod(words[i].c_str(), &end);
      numbers.push_back(*end == 0 ? v : NAN);
    }
    fonts[font][words[0]].push_back(numbers);
  }
  return fonts;
}

// Kerning of a pair in font units as HarfBuzz applies it: the first advance with "kern" on
// minus with it off, ligatures off so that "fi" stays two glyphs.
class HbKerning {
 public:
  explicit HbKerning(const std::string& path) {
    hb_blob_t* blob = hb_blob_create_from_file(path.c_str());
    hb_face_t* face = hb_face_create(blob, 0);
    font_.reset(hb_font_create(face));
    upem_ = static_cast<int>(hb_face_get_upem(face));
    hb_font_set_scale(font_.get(), upem_, upem_);
    hb_face_destroy(face);
    hb_blob_destroy(blob);
  }
  int upem() const { return upem_; }
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
  int upem_ = 0;
};

}  // namespace fontsupport
