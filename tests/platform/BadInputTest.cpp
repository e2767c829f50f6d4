// Input that must not hurt: broken and truncated font files, damaged kerning
// tables, absurd faces and codes, stale handles and missing arguments. Each has
// a defined answer (a substitute face, GDI_ERROR, 0, FALSE) and the suite runs
// under AddressSanitizer to catch any read outside the data.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include <unistd.h>

#include "PlatformTestSupport.h"

namespace vuzodo::platform::test {
namespace {

namespace fs = std::filesystem;
const char* kLiberation = "/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf";
const char* kCarlito = "/usr/share/fonts/truetype/crosextra/Carlito-Regular.ttf";

std::vector<char> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<char>(std::istreambuf_iterator<char>(in), {});
}

// Temporary files carry the process id: suites of several checkouts may run
// at the same time on one machine.
fs::path WriteTemp(const std::string& name, const std::vector<char>& bytes) {
  const fs::path p = fs::temp_directory_path() / (std::to_string(getpid()) + "-" + name);
  std::ofstream(p, std::ios::binary)
      .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return p;
}

// Exercises every query of a font; whatever the font, nothing may crash and
// sizes must agree (FontDc::Native checks).
void UseEverything(const FontDc& font) {
  for (UINT code : {0x41u, 0x4Fu, 0x67u, 0x20u, 0xFFFFu}) {
    GLYPHMETRICS gm{};
    const MAT2 m = Identity();
    const DWORD size = GetGlyphOutlineW(font.dc(), code, GGO_NATIVE, &gm, 0, nullptr, &m);
    if (size != GDI_ERROR && size > 0) ParseNative(font.Native(code, m));
  }
  font.Pairs();
  TEXTMETRICW tm{};
  GetTextMetricsW(font.dc(), &tm);
  std::vector<std::uint8_t> otm(GetOutlineTextMetricsW(font.dc(), 0, nullptr) + 1);
  GetOutlineTextMetricsW(font.dc(), static_cast<UINT>(otm.size()),
                         reinterpret_cast<OUTLINETEXTMETRICW*>(otm.data()));
}

TEST(BadInput, FileFreeTypeRejectsGivesTheDefaultFace) {
  std::vector<char> junk(4096);
  std::mt19937 random(7);
  for (char& c : junk) c = static_cast<char>(random());
  const fs::path p = WriteTemp("vuzodo-junk.ttf", junk);
  FontDc bad(U16(p.string()), 10000);
  FontDc fallback(u"", 10000);
  EXPECT_EQ(bad.Family(), fallback.Family());
  EXPECT_FALSE(bad.Family().empty());
  UseEverything(bad);
  fs::remove(p);
}

TEST(BadInput, TruncatedFontFiles) {
  const std::vector<char> whole = ReadFile(kLiberation);
  ASSERT_GT(whole.size(), 100000u);
  for (size_t cut : {size_t{0}, size_t{11}, size_t{12}, size_t{200}, size_t{1000}, size_t{5000},
                     whole.size() / 4, whole.size() / 2, whole.size() - 1000, whole.size() - 1}) {
    std::vector<char> part(whole.begin(), whole.begin() + static_cast<long>(cut));
    const fs::path p = WriteTemp("vuzodo-cut.ttf", part);
    FontDc font(U16(p.string()), 10000);
    UseEverything(font);
    fs::remove(p);
  }
}

// Offset and length of a table in an sfnt file.
std::pair<size_t, size_t> FindTable(const std::vector<char>& font, const char* tag) {
  auto u16 = [&](size_t at) {
    return static_cast<size_t>(static_cast<unsigned char>(font[at]) << 8 |
                               static_cast<unsigned char>(font[at + 1]));
  };
  auto u32 = [&](size_t at) { return u16(at) << 16 | u16(at + 2); };
  for (size_t i = 0; i < u16(4); ++i) {
    const size_t rec = 12 + 16 * i;
    if (std::memcmp(&font[rec], tag, 4) == 0) return {u32(rec + 8), u32(rec + 12)};
  }
  return {0, 0};
}

// Random damage inside the kerning tables: the readers must stay inside them.
TEST(BadInput, DamagedKerningTables) {
  for (const auto& [path, tag] : {std::pair{kLiberation, "kern"}, std::pair{kCarlito, "GPOS"}}) {
    const std::vector<char> whole = ReadFile(path);
    const auto [offset, length] = FindTable(whole, tag);
    ASSERT_GT(length, 64u) << tag;
    std::mt19937 random(11);
    for (int round = 0; round < 12; ++round) {
      std::vector<char> damaged = whole;
      // Early rounds hit the headers (offsets, counts), later ones anywhere.
      const size_t span = round < 6 ? std::min<size_t>(length, 256) : length;
      for (int k = 0; k < 8 + round * 4; ++k) {
        damaged[offset + random() % span] = static_cast<char>(random());
      }
      const fs::path p = WriteTemp("vuzodo-damaged.ttf", damaged);
      FontDc font(U16(p.string()), 10000);
      font.Pairs();
      fs::remove(p);
    }
  }
}

TEST(BadInput, FaceOfTenThousandCharacters) {
  std::u16string face(10000, u'x');
  face += u".ttf";
  FontDc long_path(face, 10000);
  FontDc long_family(std::u16string(10000, u'\u00e9'), 10000);
  FontDc fallback(u"", 10000);
  EXPECT_EQ(long_path.Family(), fallback.Family());
  UseEverything(long_path);
  UseEverything(long_family);
  std::u16string surrogates(5000, u'\xD800');
  FontDc broken_utf16(surrogates, 10000);
  UseEverything(broken_utf16);
}

// Heights at the ends of the range: the size is clamped to what FreeType can
// scale, coordinates beyond the FIXED range wrap, nothing overflows.
TEST(BadInput, ExtremeHeights) {
  for (LONG height : {INT32_MIN, INT32_MIN + 1, -1, 1, INT32_MAX}) {
    FontDc font(u"Liberation Sans", height);
    UseEverything(font);
    EXPECT_GT(font.Tm().tmHeight, 0) << height;
  }
}

// A code the font does not map is drawn with its missing-character glyph.
TEST(BadInput, UnmappedCodeGivesTheDefaultGlyph) {
  FontDc font(u"Liberation Sans", 10000);
  GLYPHMETRICS by_code{}, by_index{};
  const auto notdef = font.Native(0xFFFF, Identity(), &by_code);
  const auto glyph0 = font.Native(0, Identity(), &by_index, GGO_GLYPH_INDEX);
  EXPECT_FALSE(notdef.empty());
  EXPECT_EQ(notdef, glyph0);
  EXPECT_EQ(std::memcmp(&by_code, &by_index, sizeof(by_code)), 0);
}

TEST(BadInput, RefusedArguments) {
  FontDc font(u"Liberation Sans", 10000);
  GLYPHMETRICS gm{};
  const MAT2 m = Identity();
  std::vector<std::uint8_t> buffer(4096);
  EXPECT_EQ(GetGlyphOutlineW(font.dc(), 'A', GGO_NATIVE, nullptr, 0, nullptr, &m), GDI_ERROR);
  EXPECT_EQ(GetGlyphOutlineW(font.dc(), 'A', GGO_NATIVE, &gm, 0, nullptr, nullptr), GDI_ERROR);
  EXPECT_EQ(GetGlyphOutlineW(font.dc(), 'A', GGO_BITMAP, &gm, 4096, buffer.data(), &m), GDI_ERROR);
  EXPECT_EQ(GetGlyphOutlineW(font.dc(), 60000, GGO_NATIVE | GGO_GLYPH_INDEX, &gm, 0, nullptr, &m),
            GDI_ERROR);
  EXPECT_NE(GetGlyphOutlineW(font.dc(), 'A', GGO_METRICS, &gm, 0, nullptr, &m), GDI_ERROR);
  EXPECT_FALSE(GetTextMetricsW(font.dc(), nullptr));
  EXPECT_EQ(CreateFontIndirectW(nullptr), nullptr);
}

TEST(BadInput, StaleAndForeignHandles) {
  HDC bogus = reinterpret_cast<HDC>(std::uintptr_t{0x7777});
  GLYPHMETRICS gm{};
  TEXTMETRICW tm{};
  const MAT2 m = Identity();
  EXPECT_EQ(GetGlyphOutlineW(bogus, 'A', GGO_NATIVE, &gm, 0, nullptr, &m), GDI_ERROR);
  EXPECT_EQ(GetKerningPairsW(bogus, 0, nullptr), 0u);
  EXPECT_FALSE(GetTextMetricsW(bogus, &tm));
  EXPECT_EQ(GetOutlineTextMetricsW(bogus, 0, nullptr), 0u);
  EXPECT_EQ(CreateCompatibleDC(bogus), nullptr);
  EXPECT_FALSE(DeleteDC(bogus));
  EXPECT_FALSE(DeleteObject(nullptr));

  LOGFONTW lf{};
  lf.lfHeight = 10000;
  std::memcpy(lf.lfFaceName, u"Liberation Sans", 16 * sizeof(WCHAR));
  HFONT font = CreateFontIndirectW(&lf);
  HDC dc = CreateCompatibleDC(nullptr);
  EXPECT_EQ(SelectObject(dc, bogus), nullptr);
  EXPECT_EQ(SelectObject(bogus, font), nullptr);
  EXPECT_EQ(SelectObject(reinterpret_cast<HDC>(font), font), nullptr);  // a font is not a DC
  HGDIOBJ stock = SelectObject(dc, font);
  ASSERT_NE(stock, nullptr);
  // Deleted while selected: the DC keeps using it until it is deselected.
  EXPECT_TRUE(DeleteObject(font));
  EXPECT_FALSE(DeleteObject(font));
  EXPECT_TRUE(GetTextMetricsW(dc, &tm));
  EXPECT_EQ(tm.tmHeight, 10000);
  EXPECT_EQ(SelectObject(dc, font), nullptr);  // the handle itself is gone
  EXPECT_EQ(SelectObject(dc, stock), static_cast<HGDIOBJ>(font));
  EXPECT_TRUE(GetTextMetricsW(dc, &tm));  // the initial font answers too
  EXPECT_GT(tm.tmHeight, 0);
  EXPECT_TRUE(DeleteDC(dc));
  EXPECT_FALSE(DeleteDC(dc));
  EXPECT_EQ(GetTextMetricsW(dc, &tm), FALSE);
}

}  // namespace
}  // namespace vuzodo::platform::test
