#include "PlatformTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <sstream>

namespace vuzodo::platform::test {

std::string TestDir() {
  return VUZODO_PLATFORM_TEST_DIR;
}

long MulDiv(long a, long b, long c) {
  const double exact = static_cast<double>(a) * b / c;
  return static_cast<long>(exact < 0 ? -std::floor(-exact + 0.5) : std::floor(exact + 0.5));
}

double ToDouble(const FIXED& f) {
  return f.value + f.fract / 65536.0;
}

FIXED ToFixed(double v) {
  const double whole = std::floor(v);
  FIXED f;
  f.value = static_cast<SHORT>(whole);
  f.fract = static_cast<WORD>(std::lround((v - whole) * 65536.0));
  return f;
}

MAT2 MakeMat2(double m11, double m12, double m21, double m22) {
  return MAT2{ToFixed(m11), ToFixed(m12), ToFixed(m21), ToFixed(m22)};
}

MAT2 Identity() {
  return MakeMat2(1, 0, 0, 1);
}

std::u16string U16(const std::string& s) {
  return std::u16string(s.begin(), s.end());
}

std::string U8(const std::u16string& s) {
  std::string out;
  for (char16_t c : s) out += c < 0x80 ? static_cast<char>(c) : '?';
  return out;
}

FontDc::FontDc(const std::u16string& face, LONG height, LONG weight, bool italic) {
  LOGFONTW lf{};
  lf.lfHeight = height;
  lf.lfWeight = weight;
  lf.lfItalic = italic ? 1 : 0;
  lf.lfCharSet = DEFAULT_CHARSET;
  font_ = CreateFontForFace(lf, face);
  dc_ = CreateCompatibleDC(nullptr);
  old_ = SelectObject(dc_, font_);
  EXPECT_NE(font_, nullptr);
  EXPECT_NE(dc_, nullptr);
  EXPECT_NE(old_, nullptr);
}

FontDc::~FontDc() {
  EXPECT_EQ(SelectObject(dc_, old_), static_cast<HGDIOBJ>(font_));
  EXPECT_EQ(ReleaseDC(nullptr, dc_), 0);
  EXPECT_TRUE(DeleteDC(dc_));
  EXPECT_TRUE(DeleteObject(font_));
}

std::vector<std::uint8_t> FontDc::Native(UINT code, const MAT2& m, GLYPHMETRICS* gm,
                                         UINT flags) const {
  GLYPHMETRICS local{};
  GLYPHMETRICS& metrics = gm ? *gm : local;
  const DWORD size = GetGlyphOutlineW(dc_, code, GGO_NATIVE | flags, &metrics, 0, nullptr, &m);
  EXPECT_NE(size, GDI_ERROR) << "code " << code;
  if (size == GDI_ERROR || size == 0) return {};
  std::vector<std::uint8_t> buffer(size + 16, 0xCD);
  GLYPHMETRICS second{};
  const DWORD written =
      GetGlyphOutlineW(dc_, code, GGO_NATIVE | flags, &second, size, buffer.data(), &m);
  EXPECT_EQ(written, size) << "code " << code;
  EXPECT_EQ(std::memcmp(&second, &metrics, sizeof(second)), 0);
  for (size_t i = size; i < buffer.size(); ++i) EXPECT_EQ(buffer[i], 0xCD) << "wrote past the end";
  buffer.resize(size);
  return buffer;
}

OUTLINETEXTMETRICW FontDc::Otm() const {
  OUTLINETEXTMETRICW otm{};
  EXPECT_EQ(GetOutlineTextMetricsW(dc_, sizeof(otm), &otm), sizeof(otm));
  return otm;
}

std::u16string FontDc::Name(PSTR OUTLINETEXTMETRICW::*field) const {
  const UINT size = GetOutlineTextMetricsW(dc_, 0, nullptr);
  EXPECT_GT(size, sizeof(OUTLINETEXTMETRICW));
  std::vector<std::uint8_t> bytes(size);
  EXPECT_EQ(GetOutlineTextMetricsW(dc_, size, reinterpret_cast<OUTLINETEXTMETRICW*>(bytes.data())),
            size);
  OUTLINETEXTMETRICW otm;
  std::memcpy(&otm, bytes.data(), sizeof(otm));
  EXPECT_EQ(otm.otmSize, size);
  const auto offset = reinterpret_cast<std::uintptr_t>(otm.*field);
  std::u16string name;
  for (size_t at = offset; at + 1 < size; at += 2) {
    char16_t c;
    std::memcpy(&c, bytes.data() + at, 2);
    if (c == 0) break;
    name += c;
  }
  return name;
}

std::u16string FontDc::Family() const {
  return Name(&OUTLINETEXTMETRICW::otmpFamilyName);
}
std::u16string FontDc::Style() const {
  return Name(&OUTLINETEXTMETRICW::otmpStyleName);
}

TEXTMETRICW FontDc::Tm() const {
  TEXTMETRICW tm{};
  EXPECT_TRUE(GetTextMetricsW(dc_, &tm));
  return tm;
}

std::vector<KERNINGPAIR> FontDc::Pairs() const {
  const DWORD count = GetKerningPairsW(dc_, 0, nullptr);
  std::vector<KERNINGPAIR> pairs(count);
  EXPECT_EQ(GetKerningPairsW(dc_, count, pairs.data()), count);
  return pairs;
}

std::vector<Contour> ParseNative(const std::vector<std::uint8_t>& buffer) {
  std::vector<Contour> contours;
  size_t p = 0;
  while (p < buffer.size()) {
    TTPOLYGONHEADER header;
    if (buffer.size() - p < sizeof(header)) {
      ADD_FAILURE() << "truncated polygon header at " << p;
      break;
    }
    std::memcpy(&header, buffer.data() + p, sizeof(header));
    EXPECT_EQ(header.dwType, TT_POLYGON_TYPE);
    if (header.cb < sizeof(header) || header.cb > buffer.size() - p) {
      ADD_FAILURE() << "contour size " << header.cb << " at " << p;
      break;
    }
    Contour contour;
    contour.start = {ToDouble(header.pfxStart.x), ToDouble(header.pfxStart.y)};
    const size_t end = p + header.cb;
    p += sizeof(header);
    while (p < end) {
      WORD type, count;
      if (end - p < 4) {
        ADD_FAILURE() << "truncated curve header";
        return contours;
      }
      std::memcpy(&type, buffer.data() + p, 2);
      std::memcpy(&count, buffer.data() + p + 2, 2);
      p += 4;
      if (count == 0 || (end - p) / sizeof(POINTFX) < count) {
        ADD_FAILURE() << "curve of " << count << " points does not fit its contour";
        return contours;
      }
      Record record;
      record.type = type;
      for (WORD i = 0; i < count; ++i) {
        POINTFX pt;
        std::memcpy(&pt, buffer.data() + p, sizeof(pt));
        p += sizeof(pt);
        record.points.emplace_back(ToDouble(pt.x), ToDouble(pt.y));
      }
      contour.records.push_back(std::move(record));
    }
    contours.push_back(std::move(contour));
  }
  return contours;
}

namespace {

std::ifstream Open(const std::string& name) {
  std::ifstream in(TestDir() + "/golden/" + name);
  EXPECT_TRUE(in.good()) << name;
  return in;
}

}  // namespace

std::vector<GoldenGlyph> ReadGoldenOutlines() {
  std::vector<GoldenGlyph> glyphs;
  std::ifstream in = Open("outlines.txt");
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream s(line);
    std::string word;
    s >> word;
    if (word == "glyph") {
      glyphs.emplace_back();
      s >> glyphs.back().path >> glyphs.back().code;
      // Relative paths name the fixture fonts of this directory.
      if (glyphs.back().path[0] != '/') glyphs.back().path = TestDir() + "/" + glyphs.back().path;
    } else if (word == "contour") {
      Contour c;
      s >> c.start.first >> c.start.second;
      glyphs.back().contours.push_back(c);
    } else if (word == "line" || word == "qspline" || word == "cspline") {
      Record r;
      r.type = word == "line"      ? TT_PRIM_LINE
               : word == "qspline" ? TT_PRIM_QSPLINE
                                   : TT_PRIM_CSPLINE;
      double x, y;
      while (s >> x >> y) r.points.emplace_back(x, y);
      glyphs.back().contours.back().records.push_back(r);
    }
  }
  return glyphs;
}

std::vector<GoldenFont> ReadGoldenMetrics() {
  std::vector<GoldenFont> fonts;
  std::ifstream in = Open("metrics.txt");
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream s(line);
    std::string word;
    s >> word;
    if (word.empty() || word[0] == '#' || word == "endfont") continue;
    if (word == "font") {
      fonts.emplace_back();
      s >> fonts.back().path;
    } else if (word == "glyph") {
      GoldenGlyphBox g;
      std::string rest;
      s >> g.code >> g.advance >> rest;
      if (rest == "empty") {
        g.empty = true;
      } else {
        g.x_min = std::stod(rest);
        s >> g.y_min >> g.x_max >> g.y_max;
      }
      fonts.back().glyphs.push_back(g);
    } else {
      long v;
      s >> v;
      fonts.back().values[word] = v;
    }
  }
  return fonts;
}

std::vector<GoldenKerning> ReadGoldenKerning() {
  std::vector<GoldenKerning> fonts;
  std::ifstream in = Open("kerning.txt");
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream s(line);
    std::string word;
    s >> word;
    if (word == "font") {
      fonts.emplace_back();
      s >> fonts.back().path;
    } else if (word == "count") {
      s >> fonts.back().count;
    } else if (word == "pair") {
      unsigned a, b;
      int v;
      s >> a >> b >> v;
      fonts.back().pairs.push_back({static_cast<WORD>(a), static_cast<WORD>(b), v});
    }
  }
  return fonts;
}

int FindPair(const std::vector<KERNINGPAIR>& pairs, WCHAR first, WCHAR second, bool* found) {
  int amount = 0;
  *found = false;
  for (const KERNINGPAIR& k : pairs) {
    if (k.wFirst == first && k.wSecond == second) {
      amount = k.iKernAmount;
      *found = true;
    }
  }
  return amount;
}

}  // namespace vuzodo::platform::test
