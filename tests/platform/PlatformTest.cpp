// The GDI subset (POSIX backend) against fontTools goldens, HarfBuzz, fontconfig and Wine's GDI
// (whose glyph, text and kerning metrics of two fonts at two sizes are the metrics oracle).
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "../fonts/FontSupport.h"
#include "FontFace.h"
#include "PairKerning.h"
#include "gdi.h"

using namespace fontsupport;

namespace {

namespace fs = std::filesystem;
using Point = std::pair<double, double>;
const std::string kDir = VUZODO_PLATFORM_TEST_DIR;
const std::string kCarlito = "/usr/share/fonts/truetype/crosextra/Carlito-Regular.ttf";
const std::string kFreeSans = "/usr/share/fonts/opentype/freefont/FreeSans.otf";

MAT2 Mat2(double m11, double m12, double m21, double m22) {
  const auto fixed = [](double v) {
    return FIXED{WORD(std::lround((v - std::floor(v)) * 65536.0)), SHORT(std::floor(v))};
  };
  return MAT2{fixed(m11), fixed(m12), fixed(m21), fixed(m22)};
}
const MAT2 kIdentity = Mat2(1, 0, 0, 1);

// A font created for a face (through the long-face channel), selected into its own DC.
class FontDc {
 public:
  // through_name: the face goes in lfFaceName (cut to its 31 units) instead.
  FontDc(const std::u16string& face, LONG height, LONG weight = FW_NORMAL, bool italic = false,
         bool through_name = false) {
    LOGFONTW lf{};
    lf.lfHeight = height, lf.lfWeight = weight, lf.lfItalic = italic;
    face.copy(lf.lfFaceName, through_name ? LF_FACESIZE - 1 : 0);
    font_ = through_name ? CreateFontIndirectW(&lf) : vuzodo::platform::CreateFontForFace(lf, face);
    old_ = SelectObject(dc_, font_);
    EXPECT_NE(old_, nullptr);
  }
  FontDc(const std::string& face, LONG height) : FontDc(U16(face), height) {}
  ~FontDc() {
    EXPECT_EQ(SelectObject(dc_, old_), static_cast<HGDIOBJ>(font_));
    EXPECT_TRUE(DeleteDC(dc_) && DeleteObject(font_));
  }
  FontDc(const FontDc&) = delete;
  FontDc& operator=(const FontDc&) = delete;
  HDC dc() const { return dc_; }
  // Size query then write: the two agree and nothing is written past the size.
  std::vector<std::uint8_t> Native(UINT code, const MAT2& m, GLYPHMETRICS* gm = nullptr,
                                   UINT flags = 0) const {
    GLYPHMETRICS local{}, second{};
    GLYPHMETRICS& metrics = gm ? *gm : local;
    const DWORD size = GetGlyphOutlineW(dc_, code, GGO_NATIVE | flags, &metrics, 0, nullptr, &m);
    EXPECT_NE(size, GDI_ERROR) << code;
    if (size == GDI_ERROR || size == 0) return {};
    std::vector<std::uint8_t> b(size + 16, 0xCD);
    EXPECT_EQ(GetGlyphOutlineW(dc_, code, GGO_NATIVE | flags, &second, size, b.data(), &m), size);
    EXPECT_EQ(std::memcmp(&second, &metrics, sizeof(second)), 0);
    EXPECT_EQ(std::vector<std::uint8_t>(b.begin() + size, b.end()),
              std::vector<std::uint8_t>(16, 0xCD));
    b.resize(size);
    return b;
  }
  TEXTMETRICW Tm() const {
    TEXTMETRICW tm{};
    EXPECT_TRUE(GetTextMetricsW(dc_, &tm));
    return tm;
  }
  OUTLINETEXTMETRICW Otm() const {
    OUTLINETEXTMETRICW otm{};
    EXPECT_EQ(GetOutlineTextMetricsW(dc_, sizeof(otm), &otm), sizeof(otm));
    return otm;
  }
  // A name of the whole outline text metrics answer, found at its offset.
  std::u16string Name(PSTR OUTLINETEXTMETRICW::*field) const {
    std::vector<char16_t> all(GetOutlineTextMetricsW(dc_, 0, nullptr) / 2 + 1);
    auto* otm = reinterpret_cast<OUTLINETEXTMETRICW*>(all.data());
    EXPECT_EQ(GetOutlineTextMetricsW(dc_, UINT(all.size() * 2), otm), otm->otmSize);
    return std::u16string(all.data() + reinterpret_cast<std::uintptr_t>(otm->*field) / 2);
  }

 private:
  HFONT font_ = nullptr;
  HDC dc_ = CreateCompatibleDC(nullptr);
  HGDIOBJ old_ = nullptr;
};

// Native records flattened: per contour its start, then per record its type, count and points.
// Any inconsistency (a size past the end, a record past its contour) fails the test.
std::vector<double> ParseNative(const std::vector<std::uint8_t>& b) {
  const auto at = [&](std::size_t p, auto v) { return std::memcpy(&v, &b[p], sizeof(v)), v; };
  const auto fixed = [&](std::size_t p) { return at(p, WORD()) / 65536.0 + at(p + 2, SHORT()); };
  std::vector<double> out;
  for (std::size_t p = 0; p < b.size();) {
    const std::size_t end = p + (b.size() - p < 16 ? 0 : at(p, DWORD()));
    if (end <= p + 16 || end > b.size()) return ADD_FAILURE() << "contour at " << p, out;
    EXPECT_EQ(at(p + 4, DWORD()), DWORD{TT_POLYGON_TYPE});
    out.insert(out.end(), {fixed(p + 8), fixed(p + 12)});
    for (p += 16; p < end;) {
      const WORD type = at(p, WORD()), count = at(p + 2, WORD());
      if ((p += 4) > end || count == 0 || (end - p) / 8 < count)
        return ADD_FAILURE() << count << " points past the contour", out;
      out.insert(out.end(), {double(type), double(count)});
      for (WORD i = 0; i < count; ++i, p += 8) out.insert(out.end(), {fixed(p), fixed(p + 4)});
    }
  }
  return out;
}

// At one pixel per unit the records are the font's points (quadratic, cubic, contours starting
// off-curve or of one point); under a MAT2 x' = m11 x + m21 y, y' = m12 x + m22 y (the font
// code's near-identity matrix adds 1/65536 to each entry). Tolerance: two 1/64 pixel steps.
TEST(NativeOutline, RecordsAreTheFontsPointsUnderEveryMatrix) {
  struct Glyph {
    std::string path;
    UINT code;
    std::vector<std::vector<std::string>> lines;  // "contour x y" or "<type> x y x y ..."
  };
  std::vector<Glyph> glyphs;
  std::ifstream in(kDir + "/golden/outlines.txt");
  for (std::string line, word; std::getline(in, line);) {
    std::istringstream s(line);
    std::vector<std::string> w;
    while (s >> word) w.push_back(word);
    if (w.empty() || w[0][0] == '#') continue;
    if (w[0] == "glyph")
      glyphs.push_back({(w[1][0] == '/' ? "" : kDir + "/") + w[1], UINT(std::stoi(w[2])), {}});
    else
      glyphs.back().lines.push_back(w);
  }
  ASSERT_GE(glyphs.size(), 13u);
  const double e = 1.0 / 65536;
  const double matrices[][4] = {
      {1, 0, 0, 1}, {2, 0, 0, 0.5}, {1, 0, 0.25, 1}, {1 + e, e, e, 1 + e}};
  const std::map<std::string, WORD> types = {
      {"line", TT_PRIM_LINE}, {"qspline", TT_PRIM_QSPLINE}, {"cspline", TT_PRIM_CSPLINE}};
  for (const auto& g : glyphs) {
    FontDc font(g.path, -LONG(FontDc(g.path, 100).Otm().otmEMSquare));
    for (const auto& m : matrices) {
      std::vector<double> want;
      for (const auto& w : g.lines) {
        if (w[0] != "contour")
          want.insert(want.end(), {double(types.at(w[0])), (w.size() - 1) / 2.0});
        for (std::size_t i = 1; i + 1 < w.size(); i += 2) {
          const double x = std::stod(w[i]), y = std::stod(w[i + 1]);
          want.insert(want.end(), {m[0] * x + m[2] * y, m[1] * x + m[3] * y});
        }
      }
      SCOPED_TRACE(g.path + " " + std::to_string(g.code) + " m11 " + std::to_string(m[0]));
      const auto got = ParseNative(font.Native(g.code, Mat2(m[0], m[1], m[2], m[3])));
      ASSERT_EQ(got.size(), want.size());
      for (std::size_t i = 0; i < want.size(); ++i) EXPECT_NEAR(got[i], want[i], 2.0 / 64) << i;
    }
  }
  // The size query and the write are one walk for every Latin-1 character (Native and
  // ParseNative check); a buffer one byte short is refused untouched.
  for (const std::string& face : {std::string("Liberation Sans"), kFreeSans}) {
    FontDc font(face, 10000);
    for (UINT code = 0x20; code <= 0xFF; ++code) ParseNative(font.Native(code, kIdentity));
    GLYPHMETRICS gm{};
    std::vector<std::uint8_t> b(font.Native('A', kIdentity).size() - 1, 0xAB);
    EXPECT_EQ(
        GetGlyphOutlineW(font.dc(), 'A', GGO_NATIVE, &gm, DWORD(b.size()), b.data(), &kIdentity),
        GDI_ERROR);
    EXPECT_EQ(b, std::vector<std::uint8_t>(b.size(), 0xAB));
  }
}

// GPOS-only fonts, every pair of ASCII letters at one pixel per unit, as a shaper applies them:
// class and pair-set subtables, and a fixture whose pair-set coverage is a range and whose class
// subtable lists some pairs again (the first listed wins).
TEST(Kerning, GposPairsAsAShaperAppliesThem) {
  for (const std::string& path :
       {kCarlito, kDir + "/data/kern-ranges.ttf",
        std::string("/usr/share/fonts/opentype/urw-base35/NimbusSans-Regular.otf")}) {
    const HbKerning hb(path);
    FontDc font(path, -hb.upem());
    std::vector<KERNINGPAIR> pairs(GetKerningPairsW(font.dc(), 0, nullptr));
    GetKerningPairsW(font.dc(), DWORD(pairs.size()), pairs.data());
    std::map<std::pair<WCHAR, WCHAR>, int> gdi;  // the last one listed, as the font code reads
    for (const KERNINGPAIR& k : pairs) gdi[{k.wFirst, k.wSecond}] = k.iKernAmount;
    int kerned = 0;
    for (char a = 'A'; a <= 'z'; ++a) {
      for (char b = 'A'; b <= 'z'; ++b) {
        if (!std::isalpha(a) || !std::isalpha(b)) continue;
        EXPECT_EQ((gdi[{a, b}]), hb.Kern(a, b)) << path << " " << a << b;
        kerned += hb.Kern(a, b) != 0;
      }
    }
    EXPECT_GT(kerned, 20) << path;
  }
}

// A GPOS table whose language lists its one kern feature 65,535 times, the feature naming one
// lookup 8,192 times (found by fuzz_truetype: the lookups of every repeat were listed before
// any was dropped, a gigabyte). A shaper applies that lookup once: one pair, its amount once.
TEST(Kerning, RepeatedFeaturesApplyTheirLookupOnce) {
  std::vector<std::uint8_t> t;
  const auto u16 = [&t](unsigned v) {
    t.push_back(static_cast<std::uint8_t>(v >> 8));
    t.push_back(static_cast<std::uint8_t>(v));
  };
  const auto tag = [&u16](const char* s) {
    u16(static_cast<unsigned>(s[0]) << 8 | static_cast<unsigned>(s[1]));
    u16(static_cast<unsigned>(s[2]) << 8 | static_cast<unsigned>(s[3]));
  };
  // Offsets are 16-bit, so the long language table comes last.
  constexpr unsigned kRepeats = 65535, kLookupRepeats = 8192;
  constexpr unsigned kFeatures = 10, kLookups = kFeatures + 12 + 2 * kLookupRepeats;
  constexpr unsigned kScripts = kLookups + 36;
  u16(1), u16(0), u16(kScripts), u16(kFeatures), u16(kLookups);  // version 1.0, list offsets
  u16(1), tag("kern"), u16(8);                                   // feature list: "kern"
  u16(0), u16(kLookupRepeats);                                   // the feature: lookup 0 ...
  for (unsigned i = 0; i < kLookupRepeats; ++i) u16(0);          // ... 8,192 times
  u16(1), u16(4);                                                // lookup list: one lookup
  u16(2), u16(0), u16(1), u16(8);                                // pair adjustment, one subtable
  u16(1), u16(12), u16(4), u16(0), u16(1), u16(18);  // format 1: x advance of the first glyph
  u16(1), u16(1), u16(1);                            // coverage: glyph 1
  u16(1), u16(2), u16(static_cast<unsigned>(-50) & 0xFFFF);  // pair set: before glyph 2, -50
  ASSERT_EQ(t.size(), kScripts);
  u16(1), tag("latn"), u16(8);                     // script list: one script
  u16(4), u16(0);                                  // its default language
  u16(0), u16(0xFFFF), u16(kRepeats);              // the language: feature 0 ...
  for (unsigned i = 0; i < kRepeats; ++i) u16(0);  // ... 65,535 times
  // The process's peak resident size, in KB (each test runs in a process of its own).
  const auto peak_kb = [] {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
  };
  const long before = peak_kb();
  const std::vector<vuzodo::platform::posix::GlyphKern> pairs =
      vuzodo::platform::posix::ReadGposKerning(t, {1, 2});
  EXPECT_LT(peak_kb() - before, 64 * 1024);
  ASSERT_EQ(pairs.size(), 1u);
  EXPECT_EQ(pairs[0].left, 1);
  EXPECT_EQ(pairs[0].right, 2);
  EXPECT_EQ(pairs[0].amount, -50);
}

// Which face a request realizes: families through fontconfig's aliases, files by path (one named
// outside the BMP), bold or italic simulated where the family lacks them: "D" of the fixture, a
// square 100..600 and a lone point at 50 that is part of the box, grows wider.
TEST(FaceMatch, RequestsRealizeTheseFaces) {
  const fs::path emoji =
      fs::temp_directory_path() / (std::to_string(getpid()) + "-\xF0\x9F\x98\x80.otf");
  fs::copy_file(kFreeSans, emoji, fs::copy_options::overwrite_existing);
  const std::u16string odd = U16(kDir + "/data/odd-contours.ttf");
  const struct {
    std::u16string face;
    LONG weight;
    bool italic;
    std::u16string family, style;
    UINT black_box_x;  // of the fixture's "D" at one pixel per unit; 551: wider than 550
  } rows[] = {         // clang-format off
      {u"Arial", FW_NORMAL, false, u"Liberation Sans", u"Regular", 0},
      {u"arial", FW_BOLD, false, u"Liberation Sans", u"Bold", 0},
      {u"Liberation Sans", FW_NORMAL, true, u"Liberation Sans", u"Italic", 0},
      {emoji.u16string(), FW_NORMAL, false, u"FreeSans", u"", 0},
      {odd, FW_NORMAL, false, u"Odd Contours", u"Regular", 550},
      {odd, FW_BOLD, false, u"Odd Contours", u"Regular", 551},
      {odd, FW_NORMAL, true, u"Odd Contours", u"Regular", 551}};
  // clang-format on
  for (const auto& r : rows) {
    SCOPED_TRACE(fs::path(r.face).string() + " " + std::to_string(r.weight + r.italic));
    FontDc font(r.face, 10000, r.weight, r.italic);
    EXPECT_EQ(font.Name(&OUTLINETEXTMETRICW::otmpFamilyName), r.family);
    EXPECT_EQ(r.style.empty() ? r.style : font.Name(&OUTLINETEXTMETRICW::otmpStyleName), r.style);
    EXPECT_EQ(font.Tm().tmWeight, r.weight == FW_BOLD ? FW_BOLD : FW_NORMAL);
    EXPECT_EQ(font.Tm().tmItalic, r.italic ? 255 : 0);
    GLYPHMETRICS gm{};
    if (r.black_box_x) FontDc(r.face, -1000, r.weight, r.italic).Native('D', kIdentity, &gm);
    EXPECT_EQ(std::min(gm.gmBlackBoxX, 551u), r.black_box_x);
  }
  fs::remove(emoji);
}

// Defined answers to what a caller gets wrong: missing arguments, foreign and stale handles (a
// deleted font serves its DC until deselected), short buffers, files that are no font and paths
// cut by lfFaceName's 31 units (the default face), unmapped codes, extreme heights.
TEST(Refusals, DefinedAnswers) {
  FontDc font(std::string("Liberation Sans"), 10000);
  HDC dc = font.dc(), bogus = reinterpret_cast<HDC>(std::uintptr_t{0x7777}),
      own = CreateCompatibleDC(nullptr);
  GLYPHMETRICS gm{};
  TEXTMETRICW tm{};
  std::vector<std::uint8_t> buffer(4096, 0xAB);
  const MAT2* m = &kIdentity;
  LOGFONTW lf{};
  lf.lfHeight = 10000;
  HFONT deleted = CreateFontIndirectW(&lf);
  HGDIOBJ stock = SelectObject(own, deleted);
  const bool rows[] = {
      GetGlyphOutlineW(dc, 'A', GGO_NATIVE, nullptr, 0, nullptr, m) == GDI_ERROR,
      GetGlyphOutlineW(dc, 'A', GGO_NATIVE, &gm, 0, nullptr, nullptr) == GDI_ERROR,
      GetGlyphOutlineW(dc, 'A', GGO_BITMAP, &gm, 4096, buffer.data(), m) == GDI_ERROR,
      GetGlyphOutlineW(dc, 60000, GGO_NATIVE | GGO_GLYPH_INDEX, &gm, 0, nullptr, m) == GDI_ERROR,
      GetGlyphOutlineW(dc, 'A', GGO_METRICS, &gm, 0, nullptr, m) != GDI_ERROR,
      GetOutlineTextMetricsW(dc, 4, reinterpret_cast<OUTLINETEXTMETRICW*>(buffer.data())) == 4 &&
          buffer[4] == 0xAB,  // a short buffer gets what fits
      !GetTextMetricsW(dc, nullptr) && CreateFontIndirectW(nullptr) == nullptr,
      GetGlyphOutlineW(bogus, 'A', GGO_NATIVE, &gm, 0, nullptr, m) == GDI_ERROR,
      GetKerningPairsW(bogus, 0, nullptr) == 0 && !GetTextMetricsW(bogus, &tm),
      GetOutlineTextMetricsW(bogus, 0, nullptr) == 0 && CreateCompatibleDC(bogus) == nullptr,
      !DeleteDC(bogus) && !DeleteObject(nullptr) && SelectObject(dc, bogus) == nullptr,
      SelectObject(bogus, deleted) == nullptr && SelectObject(HDC(deleted), deleted) == nullptr,
      DeleteObject(deleted) && !DeleteObject(deleted),
      GetTextMetricsW(own, &tm) && tm.tmHeight == 10000 && SelectObject(own, deleted) == nullptr,
      SelectObject(own, stock) == deleted && GetTextMetricsW(own, &tm) && DeleteDC(own) &&
          !DeleteDC(own)};
  for (const bool& refused : rows) EXPECT_TRUE(refused) << "row " << &refused - rows;
  std::vector<KERNINGPAIR> all(GetKerningPairsW(dc, 0, nullptr)), some(6, {1, 1, 777});
  EXPECT_EQ(GetKerningPairsW(dc, DWORD(all.size() + 5), all.data()), all.size());
  EXPECT_EQ(GetKerningPairsW(dc, 5, some.data()), 5u);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(some[i].iKernAmount, i < 5 ? all[i].iKernAmount : 777);
  const fs::path junk = fs::temp_directory_path() / (std::to_string(getpid()) + "-junk.ttf");
  std::ofstream(junk, std::ios::binary) << std::string(4096, 'x');
  const std::pair<std::u16string, bool> defaulted[] = {
      {junk.u16string(), false},
      {std::u16string(10000, u'x') + u".ttf", false},
      {U16(kFreeSans), true}};
  for (const auto& [face, through_name] : defaulted)
    EXPECT_EQ(FontDc(face, 10000, FW_NORMAL, false, through_name).Otm().otmEMSquare,
              FontDc(std::u16string(), 10000).Otm().otmEMSquare);
  fs::remove(junk);
  GLYPHMETRICS by_code{}, by_index{};
  EXPECT_EQ(font.Native(0xFFFF, kIdentity, &by_code),
            font.Native(0, kIdentity, &by_index, GGO_GLYPH_INDEX));
  EXPECT_EQ(std::memcmp(&by_code, &by_index, sizeof(gm)), 0);
  for (LONG height : {INT_MIN, INT_MIN + 1, -1, 1, INT_MAX})
    EXPECT_GT(FontDc(u"Liberation Sans", height).Tm().tmHeight, 0) << height;
  // A symbol font (its only character map is (3, 0)) covers the whole private area.
  const TEXTMETRICW sym = FontDc(kDir + "/data/symbol.ttf", 10000).Tm();
  EXPECT_EQ(std::vector<int>({sym.tmFirstChar, sym.tmLastChar, sym.tmBreakChar, sym.tmDefaultChar}),
            std::vector<int>({0, 0xF0FF, 0x20, 0x1F}));
}

// oracle/gdi_probe.cpp built on this layer answers as Wine's GDI did, but for deliberate
// differences (see the decisions): otmusMinimumPPEM and otmItalicAngle, the names, and the
// kerning of GPOS-only fonts (Wine reports none).
TEST(WineOracle, SameAnswersAsWinesGdi) {
  std::map<std::string, std::string> ours;
  std::string font;
  const auto key = [&](const std::string& line) {
    if (line.rfind("font ", 0) == 0) font = line;
    return font + "|" + line.substr(0, line.rfind("glyph", 0) == 0 ? 13 : line.find(' ', 5));
  };
  FILE* probe = popen(GDI_PROBE, "r");
  ASSERT_NE(probe, nullptr);
  char buffer[1024];
  while (std::fgets(buffer, sizeof(buffer), probe))
    ours[key(std::string(buffer, std::strcspn(buffer, "\n")))] = buffer;
  EXPECT_EQ(pclose(probe), 0);
  std::ifstream in(kDir + "/golden/wine-gdi.txt");
  int compared = 0;
  for (std::string line; std::getline(in, line);) {
    const std::string k = key(line);
    if (!line.starts_with("tm") && !line.starts_with("otm") && !line.starts_with("glyph") &&
        (!line.starts_with("kern") || line.starts_with("kern count 0 ")))
      continue;
    const std::size_t cut = std::min(line.find("minppem"), line.find("italicangle"));
    EXPECT_EQ(ours[k].substr(0, cut), line.substr(0, cut == std::string::npos ? line.size() : cut) +
                                          (cut == std::string::npos ? "\n" : ""));
    ++compared;
  }
  EXPECT_GT(compared, 40);
}

}  // namespace
