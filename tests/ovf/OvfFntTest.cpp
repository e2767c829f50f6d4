// The OVF and FNT readers: commands.ovf against glyphs and metrics worked out by hand from
// data/commands.txt, patched OVF words, and FNT texts against their hand-worked outlines.
#include <unistd.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <string>

#include "../shx/ReaderTestSupport.h"
#include "FntReader.h"
#include "OVFFontHandler.h"
#include "vuzodo/vuzodo.h"

namespace {

using readertest::Describe;
using readertest::SameOutline;

const std::string kData = VUZODO_FONT_TEST_DATA "/";

// Each glyph against its golden: code, advance, box and entities, within single precision.
void ExpectGlyphs(const std::vector<ReaderGlyph>& glyphs, std::istream&& golden,
                  const std::string& what) {
  std::vector<std::string> got;
  for (const ReaderGlyph& g : glyphs) {
    std::ostringstream head;
    head.precision(17);
    head << "glyph " << g.code << " advance " << g.advance << " box " << g.box_min.GetX() << " "
         << g.box_min.GetY() << " " << g.box_max.GetX() << " " << g.box_max.GetY();
    got.push_back(head.str());
    for (std::string& entity : Describe(g.outline)) got.push_back(std::move(entity));
  }
  EXPECT_TRUE(SameOutline(got, readertest::GoldenLines(std::move(golden)), 1e-6)) << what;
}

TEST(OvfCommands, GlyphsHeaderAndMetricsWorkedOutByHand) {
  OVFFontHandler font;
  font.LoadFile(kData + "commands.ovf");
  std::vector<ReaderGlyph> built;
  for (const std::string& line :
       readertest::GoldenLines(std::ifstream(kData + "commands.golden"))) {
    if (line.starts_with("glyph ")) built.push_back(*font.BuildGlyph(std::stoi(line.substr(6))));
  }
  ExpectGlyphs(built, std::ifstream(kData + "commands.golden"), "commands.ovf");

  // The header and the table; "Test" takes 6 units and "Outline" 8, the reals after them (the
  // metrics below) only line up when the padding rule is right.
  const OVFFontInfo& info = font.GetFontInfo();
  EXPECT_EQ(std::vector<std::int32_t>(
                {info.word0, info.word1, info.trailer_word, info.glyph_count, info.table_end}),
            std::vector<std::int32_t>({7, 9, 1234, 9, static_cast<int>(font.GetFileSize()) - 8}));
  EXPECT_EQ(info.name1 + u"|" + info.name2, u"Test|Outline");
  ASSERT_EQ(info.glyphs.size(), 9u);
  EXPECT_FALSE(info.glyphs[8].IsDecoded());  // the second L: a glyph is decoded when asked for
  EXPECT_FALSE(font.BuildGlyph('Z').has_value());
  // The copy handed over is the caller's.
  static_cast<CQELPolyLine*>(built[1].outline[0])->GetPoints()[0].SetX(100.0);
  EXPECT_EQ(static_cast<CQELPolyLine*>(font.BuildGlyph('T')->outline[0])->GetPoints()[0].GetX(), 2);

  // Ellipses a = 4, b = 2 about (5, 3) + (1, 2), axis at 0 and 90 degrees: the points step by
  // sweep / ceil(|sweep| / 0.0872222) and lie on the ellipse; the whole shape is moved.
  std::optional<ReaderGlyph> e = font.BuildGlyph('E');
  ASSERT_EQ(e->outline.size(), 2u);
  const double rows[2][7] = {{38, 10, 5, 2, 5, 4, 2},
                             {13, 6, 9, 6 - 2 * std::sin(1.0), 5 + 4 * std::cos(1.0), 2, 4}};
  for (int i = 0; i < 2; ++i) {
    const auto& p = static_cast<const CQELPolyLine*>(e->outline[i])->GetPoints();
    ASSERT_EQ(p.size(), rows[i][0]);
    EXPECT_NEAR(std::hypot(p.front().GetX() - rows[i][1], p.front().GetY() - rows[i][2]), 0, 1e-5);
    EXPECT_NEAR(std::hypot(p.back().GetX() - rows[i][3], p.back().GetY() - rows[i][4]), 0, 1e-5);
    for (const NURBSPoint& q : p) {
      const double u = (q.GetX() - 6) / rows[i][5], v = (q.GetY() - 5) / rows[i][6];
      EXPECT_NEAR(u * u + v * v, 1.0, 1e-6) << i;
    }
  }
  // Single-precision Bezier points, twelve per segment (P0 and B(0) both open the list): one
  // open segment, then a two-segment path back to its start, closed.
  std::ifstream in(kData + "bezier.golden");
  std::string want[2] = {"poly 0", "poly 1"}, line;
  for (int n = 0; std::getline(in, line);) {
    if (line.empty() || line[0] == '#' || line.starts_with("segment")) continue;
    want[n++ < 12 ? 0 : 1] += " " + line;
  }
  std::optional<ReaderGlyph> b = font.BuildGlyph('B');
  EXPECT_TRUE(SameOutline(Describe(b->outline), {want[0], want[1]}, 0.0));

  // Metrics at a unit of 30: the header's h values (or fixed fractions of the unit) times 30,
  // truncated towards zero (0.164 x 30 = 4.92 -> 4, 3.72 x 30 = 111.6 -> 111).
  EXPECT_EQ(font.ShapeScale(1000.0), 100.0);  // U / h0
  const OVFFontMetrics m = font.Metrics(30.0);
  const auto list = [](auto... v) { return std::vector<long>{static_cast<long>(v)...}; };
  EXPECT_EQ(
      list(m.tmHeight, m.tmAscent, m.tmDescent, m.tmInternalLeading, m.tmExternalLeading,
           m.tmAveCharWidth, m.tmMaxCharWidth, m.tmWeight, m.otmEMSquare, m.otmAscent, m.otmDescent,
           m.otmLineGap, m.otmsCapEmHeight, m.otmrcFontBox_top, m.otmrcFontBox_right,
           m.otmrcFontBox_left, m.otmrcFontBox_bottom, m.otmMacDescent, m.otmsStrikeoutPosition,
           m.otmptSubscriptSize_x, m.otmptSubscriptSize_y, m.otmptSubscriptOffset_x,
           m.otmptSubscriptOffset_y, m.otmptSuperscriptSize_y, m.otmptSuperscriptOffset_y),
      list(300, 240, 60, 4, 1, 18, 111, 400, 2048, 240, -60, 30, 20, 300, 240, 0, 0, -60, 90, 15,
           15, 0, -30, 15, 120));
  std::vector<ReaderGlyph> square;
  square.push_back(MissingGlyphSquare('A', 1000.0));
  ExpectGlyphs(square,
               std::istringstream("glyph 65 advance 1000 box 0 0 1000 1000\n"
                                  "poly 1 0 0 1000 0 1000 1000 0 1000"),
               "square");
}

// Patched little-endian words of commands.ovf: the table and each glyph's data are read only
// where they lie inside the file. The header is 84 bytes; L's entry has its record count at 108,
// data length at 136 and offset at 140; T's data is a 12-byte matrix, then a polyline's count.
TEST(OvfBadInput, WordsPointingOutsideTheFile) {
  const auto bytes = readertest::ReadBytes(kData + "commands.ovf");
  const std::int32_t size = static_cast<std::int32_t>(bytes.size());
  const std::size_t trailer = bytes.size() - 8, count = trailer - 4;
  const std::size_t t_poly = (bytes[200] | bytes[201] << 8) + 12;  // T's data offset is at 200
  // Each value in turn at `at`, T's polyline command word set to `command`; then the glyphs in
  // the table (-1: any that fit) and the entities of building codes 0-127 (-1: unchecked).
  struct Row {
    std::size_t at;
    std::vector<std::int32_t> values;
    int glyphs, entities;
    std::int32_t command = 2;
  };
  const Row rows[] = {
      {count, {INT_MAX}, -1, 11},  // L1 T1 M1 O1 E2 B2 .2 W1
      {count, {-5}, 0, 0},
      {trailer, {0, 3, -4, INT_MIN, INT_MAX, size + 1}, 0, 0},
      {108, {-1, INT_MAX, 1 << 26}, 0, 0},
      {140, {-1, INT_MIN, size, size - 2, INT_MAX}, 9, 10},
      {136, {-8, 0}, 9, 10},
      {136, {INT_MAX}, 9, -1},  // L's data runs on into the next glyph's
      {t_poly + 4, {-1, INT_MIN, INT_MAX, 1 << 28}, 9, 10},
      {t_poly + 4, {INT_MAX}, 9, 10, 5},  // a Bezier path's count
  };
  for (const Row& r : rows) {
    for (std::int32_t value : r.values) {
      SCOPED_TRACE(std::to_string(r.at) + " = " + std::to_string(value));
      auto bad = bytes;
      for (auto [at, v] : {std::pair{r.at, value}, std::pair{t_poly, r.command}}) {
        for (int i = 0; i < 4; ++i) bad.at(at + i) = static_cast<std::uint8_t>(v >> (8 * i));
      }
      OVFFontHandler font;
      font.LoadBytes(bad);
      const std::size_t glyphs = font.GetFontInfo().glyphs.size();
      EXPECT_TRUE(r.glyphs < 0 || glyphs == static_cast<std::size_t>(r.glyphs));
      EXPECT_LE(glyphs * 28, bad.size());
      EXPECT_EQ(font.GetFontInfo().h[0], 10.0f);
      std::size_t all = 0;
      for (int code = 0; code < 128; ++code) {
        if (auto g = font.BuildGlyph(code)) all += g->outline.size();
      }
      EXPECT_TRUE(r.entities < 0 || all == static_cast<std::size_t>(r.entities));
    }
  }
}

// FNT texts and their hand-worked glyphs, in the given modes; the pen's end x is the advance.
TEST(FntReader, TextsAndMalformedLines) {
  const struct {
    std::string text;
    std::vector<int> modes;
    const char* golden;
  } rows[] = {
      {"def 65\nd 1,0\nd 0,1\nd -1,0\nd 0,-1\n",
       {0, 1, 2},  // closes on its start
       "glyph 65 advance 0 box 0 0 1 1\npoly 1 0 0 1 0 1 1 0 1"},
      // m 0,0 and a move below 1e-7 do nothing; m 0.001,0 ends the stroke
      {"def 1\nd 1,0\nm 0,0\nd 1,0\nm 0.00000005,-0.00000009\nd 1,0\nm 0.001,0\nd 1,0\n",
       {2},
       "glyph 1 advance 4.001 box 0 0 4.001 0\npoly 0 0 0 1 0 2 0 3 0\npoly 0 3.001 0 4.001 0"},
      {"def 66.9\nd 1,1\ndef -3.7\nd 1,1\ndef x\nd 1,1\n",
       {2},  // towards zero; no number: 0
       "glyph 66 advance 1 box 0 0 1 1\npoly 0 0 0 1 1\nglyph -3 advance 1 box 0 0 1 1\n"
       "poly 0 0 0 1 1\nglyph 0 advance 1 box 0 0 1 1\npoly 0 0 0 1 1"},
      {"def 46\nd 2,0\npoint 1,1\nd 1,0\n",
       {2},  // a point breaks the stroke
       "glyph 46 advance 4 box 0 0 4 1\npoly 0 0 0 2 0\ndot 3 1\npoly 0 3 1 4 1"},
      // lines before the first "def" belong to no character; no geometry leaves the empty box
      {"d 5,5\npoint 1,1\n\n  def 32  \nm 5,0\ndef 33\r\npoint 0,2\r\nm 1,-2\r\n",
       {2},
       "glyph 32 advance 5 box 3.4e38 3.4e38 -3.4e38 -3.4e38\n"
       "glyph 33 advance 1 box 0 2 0 2\ndot 0 2"},
      {"def 67\nm 2,0\na -2,2,-2,0\nd 1,0\n",
       {0, 3, -1},  // arcs dropped, the pen kept
       "glyph 67 advance 3 box 2 0 3 0\npoly 0 2 0 3 0"},
      // too few numbers, none, infinity, NaN, beyond any stroke font, arcs and points short of
      // numbers, "pen", an unknown command; "abc" is 0, extra numbers ignored, CR trimmed
      {"def 70\nd 1\nd\nd 1e400,0\nd nan,0\nd 2e6,0\na 1,1,1\npoint 5\npen 1,1\nq 1,1\n"
       "d abc,2\nd 1,0,9,9,9,9\n  d 0,1  \r\n",
       {0, 1, 2},
       "glyph 70 advance 1 box 0 0 1 3\npoly 0 0 0 0 2 1 2 1 3"},
      {"def 65\nd 1,0\ndef\nd 5,5\ndef 1e20\nd 6,6\ndef 66\nd 0,1\n",
       {2},  // bad def: all gone
       "glyph 65 advance 1 box 0 0 1 0\npoly 0 0 0 1 0\nglyph 66 advance 0 box 0 0 0 1\n"
       "poly 0 0 0 0 1"},
      {"def 65\nd " + std::string(10000, '1') + ",0\nd 1,0\n",
       {2},
       "glyph 65 advance 1 box 0 0 1 0\npoly 0 0 0 1 0"},
  };
  for (const auto& r : rows) {
    for (int mode : r.modes) {
      std::istringstream in(r.text);
      ExpectGlyphs(ReadFntStream(in, mode), std::istringstream(r.golden),
                   r.text.substr(0, 40) + " mode " + std::to_string(mode));
    }
  }
  EXPECT_TRUE(ReadFntFile(static_cast<const unsigned short*>(nullptr), 2).empty());
  EXPECT_TRUE(ReadFntFile(std::string("/no/such/font.fnt"), 2).empty());
  // Mode 1: a quarter circle of radius 2 about the origin from (2, 0) to (0, 2), however the arc
  // is parametrised; mode 2: the same as points about 5 degrees apart in one stroke.
  std::istringstream quarter("def 67\nm 2,0\na -2,2,-2,0\nm 3,-2\nd 0,1\n");
  const auto arcs = ReadFntStream(quarter, kFntArcsAsEntities);
  const auto* arc = static_cast<const CQELEllipticalArc*>(arcs.at(0).outline.at(0));
  const double axis = std::atan2(arc->GetAxisPoint().GetY(), arc->GetAxisPoint().GetX());
  const double a0 = axis + arc->GetStartAngle(), a1 = a0 + arc->GetSweep();
  EXPECT_NEAR(std::hypot(arc->GetAxisPoint().GetX(), arc->GetAxisPoint().GetY()), 2.0, 1e-9);
  EXPECT_NEAR(std::hypot(arc->GetCenter().GetX(), arc->GetCenter().GetY()), 0.0, 1e-9);
  EXPECT_NEAR(std::hypot(2 * std::cos(a0) - 2, 2 * std::sin(a0)), 0.0, 1e-9);
  EXPECT_NEAR(std::hypot(2 * std::cos(a1), 2 * std::sin(a1) - 2), 0.0, 1e-9);
  EXPECT_NEAR(std::fabs(arc->GetSweep()), std::numbers::pi / 2, 1e-9);
  quarter = std::istringstream("def 67\nd 2,0\na -2,2,-2,0\nd 0,1\n");
  const auto points = ReadFntStream(quarter, kFntArcsAsPoints);
  const auto& p = static_cast<const CQELPolyLine*>(points.at(0).outline.at(0))->GetPoints();
  ASSERT_GE(p.size(), 12u);
  EXPECT_NEAR(std::hypot(p[p.size() - 2].GetX(), p[p.size() - 2].GetY() - 2), 0.0, 1e-9);
  EXPECT_NEAR(std::hypot(p.back().GetX(), p.back().GetY() - 3), 0.0, 1e-9);
  for (std::size_t i = 2; i + 1 < p.size(); ++i) {
    EXPECT_NEAR(std::hypot(p[i].GetX(), p[i].GetY()), 2.0, 1e-9) << i;
    EXPECT_GT(std::atan2(p[i].GetY(), p[i].GetX()), std::atan2(p[i - 1].GetY(), p[i - 1].GetX()));
  }
}

// A font file that defines a character twice draws its first definition, for a code below 256
// (held in a table) and for one above (held in a map) alike: here a stroke along x, then one
// along y.
TEST(FntFont, TheFirstOfTwoDefinitionsIsDrawn) {
  const std::filesystem::path file = std::filesystem::temp_directory_path() /
                                     ("vuzodo-twice-" + std::to_string(getpid()) + ".fnt");
  std::ofstream(file) << "def 65\nd 4,0\ndef 65\nd 0,4\ndef 20013\nd 4,0\ndef 20013\nd 0,4\n";
  InitializeTTF(100.0f);
  SetDefaults();
  const std::string path = file.string();
  std::u16string face(path.begin(), path.end());
  ASSERT_EQ(SetFontFace(reinterpret_cast<unsigned short*>(face.data())), 1);
  for (const char16_t code : {u'A', u'\u4E2D'}) {
    std::u16string text(1, code);
    ASSERT_EQ(AppendCharactersEx(reinterpret_cast<unsigned short*>(text.data())), 1);
    int* data = nullptr;
    float box[10];  // a character: its corners and the pen after it
    const int count = GetOutLinesEx(0, EN_RT_BORDER, &data, box);
    int draws = 0;
    for (int i = 0; i + 2 < count; i += 3) {
      if (data[i] != 41) continue;
      ++draws;
      EXPECT_GT(data[i + 1], 0) << static_cast<int>(code);
      EXPECT_EQ(data[i + 2], 0) << static_cast<int>(code);
    }
    EXPECT_EQ(draws, 1) << static_cast<int>(code);
    DeleteTTFData(data);
    FinishText();
  }
  std::filesystem::remove(file);
}

}  // namespace
