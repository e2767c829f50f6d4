// The fixture fonts as a whole: boxes that contain every outline, and the Hershey-derived glyphs
// against boxes worked out from their Hershey records.
#include <gtest/gtest.h>

#include <string>

#include "FntReader.h"
#include "FontTestSupport.h"
#include "OVFFontHandler.h"
#include "QELUtility.h"

namespace {

// Every entity of the outline lies inside the glyph's box (with a little slack for arcs whose
// extent is computed in floating point).
void ExpectBoxContainsOutline(const ReaderGlyph& g, const std::string& where) {
  for (const CQELEntity* e : g.outline) {
    NURBSPoint lo(3.4e38, 3.4e38), hi(-3.4e38, -3.4e38);
    GrowBoundingBox(lo, hi, e);
    const double slack = 1e-6;
    EXPECT_GE(lo.GetX(), g.box_min.GetX() - slack) << where << " code " << g.code;
    EXPECT_GE(lo.GetY(), g.box_min.GetY() - slack) << where << " code " << g.code;
    EXPECT_LE(hi.GetX(), g.box_max.GetX() + slack) << where << " code " << g.code;
    EXPECT_LE(hi.GetY(), g.box_max.GetY() + slack) << where << " code " << g.code;
  }
}

TEST(FontFixtures, EveryBoxContainsItsOutline) {
  std::size_t checked = 0;
  for (int mode : {0, 1, 2}) {
    for (const char* name : {"hershey.fnt", "strokes.fnt"}) {
      const auto glyphs = ReadFntFile(DataPath(name), mode);
      EXPECT_FALSE(glyphs.empty()) << name;
      for (const ReaderGlyph& g : glyphs) {
        EXPECT_FALSE(g.outline.empty()) << name << " " << g.code;
        ExpectBoxContainsOutline(g, name);
        ++checked;
      }
    }
  }
  OVFFontHandler font;
  font.LoadFile(DataPath("commands.ovf"));
  for (const OVFShapeInfo& shape : font.GetFontInfo().glyphs) {
    std::optional<ReaderGlyph> g = font.BuildGlyph(shape.GetCode());
    ASSERT_TRUE(g.has_value());
    EXPECT_FALSE(g->outline.empty());
    ExpectBoxContainsOutline(*g, "commands.ovf");
    ++checked;
  }
  EXPECT_EQ(checked, 3u * (5u + 3u) + 9u);
}

TEST(FontFixtures, HersheyGlyphBoxesAndAdvances) {
  // From the Hershey records: x = char - 'R' - left extent, y = 9 - (char - 'R').
  //   A  "I[RFJ[ RRFZ[ RMTWT":  x from J (-8) to Z (8), left I (-9): 1 .. 17; y F (-12) .. [ (9)
  //   1  "H\NJPISFS[":          x N (-4) .. S (1), left H (-10): 6 .. 11; y 0 .. 21
  //   g  "I\XMX]W`VaTbQbOa ...": x L (-6) .. X (6), left -9: 3 .. 15; y b (16) .. M (-5)
  //   O  "G]PF...":             x J (-8) .. Z (8), left G (-11): 3 .. 19; y [ .. F
  //   B  "G\KFK[ ...":         x K (-7) .. Y (7), left G (-11): 4 .. 18; advance 10 + 11
  struct Expected {
    int code;
    double x0, y0, x1, y1, advance, strokes;
  };
  const Expected expected[] = {{'A', 1, 0, 17, 21, 18, 3},
                               {'1', 6, 0, 11, 21, 20, 1},
                               {'g', 3, -7, 15, 14, 19, 2},
                               {'O', 3, 0, 19, 21, 22, 1},
                               {'B', 4, 0, 18, 21, 21, 3}};
  const std::string narrow = DataPath("hershey.fnt");
  std::vector<unsigned short> wide(narrow.begin(), narrow.end());
  wide.push_back(0);
  const auto glyphs = ReadFntFile(wide.data(), kFntArcsAsPoints);
  ASSERT_EQ(glyphs.size(), 5u);
  for (const Expected& e : expected) {
    const ReaderGlyph* g = nullptr;
    for (const ReaderGlyph& candidate : glyphs) {
      if (candidate.code == e.code) g = &candidate;
    }
    ASSERT_NE(g, nullptr) << e.code;
    EXPECT_EQ(g->box_min.GetX(), e.x0) << e.code;
    EXPECT_EQ(g->box_min.GetY(), e.y0) << e.code;
    EXPECT_EQ(g->box_max.GetX(), e.x1) << e.code;
    EXPECT_EQ(g->box_max.GetY(), e.y1) << e.code;
    EXPECT_EQ(g->advance, e.advance) << e.code;
    EXPECT_EQ(static_cast<double>(g->outline.size()), e.strokes) << e.code;
  }
  // O's only stroke returns to its start (P F): closed, the repeated point dropped (21 pairs).
  const auto* o = static_cast<const CQELPolyLine*>(glyphs[2].outline[0]);
  EXPECT_EQ(o->GetClosed(), 1);
  EXPECT_EQ(o->GetPoints().size(), 20u);
}

}  // namespace
