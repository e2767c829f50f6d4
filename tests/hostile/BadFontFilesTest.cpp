// What the registry makes of fonts that are not fonts, and of absurd faces, codes and ranges:
// each has a defined answer (the missing-glyph square, the substitute face, codes passed over).
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "CharBufferHolder.h"
#include "FontDataHolder.h"
#include "TTFLoader.h"
#include "vuzodo/vuzodo.h"

namespace {

using vuzodo::TTFLoader;
const std::string kLiberation = "/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf";

std::u16string Wide(const std::string& s) {
  return {s.begin(), s.end()};
}
unsigned short* Face(const std::u16string& s) {
  return const_cast<unsigned short*>(reinterpret_cast<const unsigned short*>(s.c_str()));
}

// A shape font without the character is the square of side U; a TrueType file FreeType refuses
// is the substitute face, whose "A" is normalised to about U.
TEST(HostileFiles, BadFontFilesGiveTheSquareOrTheSubstituteFace) {
  InitializeTTF(1000.0f);
  std::ifstream in(kLiberation, std::ios::binary);
  const std::string whole{std::istreambuf_iterator<char>(in), {}};
  ASSERT_GT(whole.size(), 4000u);
  std::mt19937 random(90210);
  std::string noise(4096, '\0');
  for (char& c : noise) c = static_cast<char>(random());
  const std::pair<const char*, std::string> rows[] = {
      {".ovf", ""},
      {".ovf", noise},
      {".fnt", ""},
      {".fnt", noise},
      {".ttf", ""},
      {".ttf", noise},
      {".ttf", whole.substr(0, 3000)},
      {".ttf", "-"},  // "-": no such file
  };
  TTFLoader& loader = TTFLoader::Instance();
  int n = 0;
  for (const auto& [ext, bytes] : rows) {
    const std::string path =
        std::filesystem::temp_directory_path() /
        ("vuzodo-hostile-" + std::to_string(getpid()) + "-" + std::to_string(n++) + ext);
    if (bytes != "-") std::ofstream(path, std::ios::binary) << bytes;
    vuzodo::FontDataHolder* font = loader.LoadFont(Wide(path), 0);
    ASSERT_NE(font, nullptr) << path;
    const vuzodo::CharBufferHolder* a = loader.LoadCharacter(font, 'A');
    ASSERT_NE(a, nullptr) << path;
    if (std::string(ext) == ".ttf") {
      EXPECT_NEAR(a->GetMetrics()[vuzodo::kBlackBoxTop], 1000.0, 10.0) << path;
    } else {
      EXPECT_EQ(a->GetMetrics()[vuzodo::kAdvanceX], 1000.0) << path;
      EXPECT_EQ(a->GetOutlines().size(), 1u) << path;
    }
    LoadCharacterRange(Face(Wide(path)), EN_STYLE_REGULAR, 0, 300);
    std::filesystem::remove(path);
  }
  InitializeTTF(1000.0f);
}

// Faces, codes and ranges a host computes wrongly: long faces are kept whole, codes outside the
// UTF-16 units are passed over, ranges are clamped to them, null pointers build nothing.
TEST(HostileRanges, AbsurdFacesCodesAndRangesBuildOnlyUtf16Units) {
  struct Row {
    std::u16string face;
    int first, last;  // a range, or with `codes` a set (first = count)
    std::vector<int> codes;
    bool null_codes;
    std::size_t characters;  // built in the font afterwards
  };
  const Row rows[] = {
      {std::u16string(10000, u'x'), 60, 70, {}, false, 11},
      {u"Arial", 0x10000, 0x7FFFFFFF, {}, false, 0},
      {u"Arial", -0x7FFFFFFF - 1, -1, {}, false, 0},
      {u"Arial", 0xFFF0, 0x7FFFFFFF, {}, false, 16},
      {u"Arial", 5, 0, {}, true, 0},
      {u"Arial", -5, 0, {}, true, 0},
      {u"Arial", -3, 0, {'A'}, false, 0},
      {u"Arial", 5, 0, {-1, 0x10000, 0x7FFFFFFF, 'A', 0}, false, 2},
      {u"Arial", 0, 0x7FFFFFFF, {}, false, 0x10000},  // every unit once
  };
  for (const Row& r : rows) {
    InitializeTTF(1000.0f);
    if (!r.codes.empty() || r.null_codes) {
      LoadCharacterSet(Face(r.face), EN_STYLE_REGULAR,
                       r.null_codes ? nullptr : const_cast<int*>(r.codes.data()), r.first);
    } else {
      LoadCharacterRange(Face(r.face), EN_STYLE_REGULAR, r.first, r.last);
    }
    const auto& fonts = TTFLoader::Instance().Fonts();  // a font entry, or none at all
    ASSERT_LE(fonts.size(), 1u) << r.first;
    EXPECT_TRUE(fonts.empty() || fonts[0]->GetFace() == r.face) << r.first;
    EXPECT_EQ(fonts.empty() ? 0 : fonts[0]->GetCharacters().size(), r.characters) << r.first;
  }
  LoadCharacterSet(nullptr, EN_STYLE_REGULAR, nullptr, 1);
  LoadCharacterRange(nullptr, EN_STYLE_REGULAR, 0, 10);
  GetFontInformation(nullptr, EN_STYLE_REGULAR, nullptr);
  EXPECT_EQ(TTFLoader::Instance().Fonts().size(), 1u);
  InitializeTTF(1000.0f);
}

}  // namespace
