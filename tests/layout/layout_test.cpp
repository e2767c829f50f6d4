// Horizontal layout on Liberation Sans (what "Arial" resolves to). Expected
// positions are derived from the font's own glyph metrics and the settings,
// worked the way a typesetter would: pen + gap + kerning + advance.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "CharBufferHolder.h"
#include "FontDataHolder.h"
#include "TTFLoader.h"
#include "vuzodo/vuzodo.h"

using namespace vuzodo;

namespace {

int Append(const std::u16string& text, bool ex = true) {
  std::u16string copy = text;
  auto* p = reinterpret_cast<unsigned short*>(copy.data());
  return ex ? AppendCharactersEx(p) : AppendCharacters(p);
}

// Metrics of one character of the current face, output units.
CharMetrics Metrics(char16_t code) {
  TTFLoader& loader = TTFLoader::Instance();
  FontDataHolder* font = loader.LoadFont(u"Arial", 0);
  return loader.LoadCharacter(font, code)->GetMetrics();
}

std::vector<CursorPosition> Carets() {
  CursorPosition* data = nullptr;
  int count = 0;
  float top = 0;
  GetMultilineCaretPositionData(&data, &count, &top);
  std::vector<CursorPosition> out(data, data + count);
  DeleteCaretData(reinterpret_cast<float*>(data));
  return out;
}

std::vector<int> Array(int index, EN_ReturnType type = EN_RT_BORDER) {
  int* data = nullptr;
  const int n = GetOutLinesEx(index, type, &data, nullptr);
  std::vector<int> out(data, data + n);
  DeleteTTFData(data);
  return out;
}

struct Extent {
  double min_x = 1e300, max_x = -1e300, min_y = 1e300, max_y = -1e300;
};

// Ink extent of the drawn points of an array (absolute pen positions).
Extent InkOf(const std::vector<int>& a) {
  Extent e;
  long x = 0, y = 0;
  for (size_t p = 0; p + 2 < a.size();) {
    const int code = a[p];
    const long nx = x + a[p + 1], ny = y + a[p + 2];
    if (code == 41 || code == 42) {
      for (auto [px, py] : {std::pair{x, y}, std::pair{nx, ny}}) {
        e.min_x = std::min<double>(e.min_x, px);
        e.max_x = std::max<double>(e.max_x, px);
        e.min_y = std::min<double>(e.min_y, py);
        e.max_y = std::max<double>(e.max_y, py);
      }
    }
    x = nx;
    y = ny;
    p += code == 42 ? 5 : 3;
  }
  return e;
}

class Layout : public ::testing::Test {
 protected:
  void SetUp() override {
    InitializeTTF(1000.0f);
    SetDefaults();
  }
};

}  // namespace

TEST_F(Layout, CaretsFollowTheAdvances) {
  ASSERT_EQ(Append(u"AB"), 1);
  EXPECT_EQ(GetCharacterCount(-1), 2);
  const std::vector<CursorPosition> c = Carets();
  ASSERT_EQ(c.size(), 3u);
  EXPECT_EQ(c[0].lineStart, 1);
  EXPECT_NEAR(c[1].topX, Metrics('A')[kAdvanceX], 0.01);
  EXPECT_NEAR(c[2].topX, Metrics('A')[kAdvanceX] + Metrics('B')[kAdvanceX], 0.01);
  float* flat = nullptr;
  EXPECT_EQ(GetCaretPositionData(&flat), 8);
  DeleteCaretData(flat);
  // The "A" of the font is about one unit size tall on the line.
  const Extent a = InkOf(Array(0));
  EXPECT_NEAR(a.max_y - a.min_y, 1000.0, 15.0);
}

TEST_F(Layout, GapGoesBeforeEveryCharacterButTheFirstAndAcrossAppends) {
  SetHorizontalCharGap(0.25f);
  Append(u"A");
  Append(u"AA");
  const std::vector<CursorPosition> c = Carets();
  ASSERT_EQ(c.size(), 4u);
  const double adv = Metrics('A')[kAdvanceX];
  EXPECT_NEAR(c[1].topX, adv, 0.01);
  EXPECT_NEAR(c[2].topX, 2 * adv + 250.0, 0.01);
  EXPECT_NEAR(c[3].topX, 3 * adv + 500.0, 0.01);
}

TEST_F(Layout, KerningPullsThePairTogether) {
  Append(u"AV");
  const double plain = Carets()[2].topX;
  FinishText();
  SetAutoKern(EN_TRUE);
  Append(u"AV");
  TTFLoader& loader = TTFLoader::Instance();
  const double kern = loader.LoadFont(u"Arial", 0)->GetKernAmount('A', 'V');
  ASSERT_LT(kern, 0.0) << "Liberation Sans kerns AV";
  EXPECT_NEAR(Carets()[2].topX, plain + kern, 0.01);
}

TEST_F(Layout, LineFeedsStartLinesAndATrailingOneLeavesAnEmptyLine) {
  Append(u"A\nB\n\nC\n");
  EXPECT_EQ(GetTextLineCount(), 5);
  EXPECT_EQ(GetCharacterCount(0), 1);
  EXPECT_EQ(GetCharacterCount(2), 0);  // the empty line between two feeds
  EXPECT_EQ(GetCharacterCount(4), 0);
  const auto& lines = TTFLoader::Instance().Lines();
  ASSERT_EQ(lines[4]->carets.size(), 1u);
  EXPECT_EQ(lines[4]->carets[0].lineStart, 1);
  EXPECT_EQ(lines[4]->carets[0].topX, 0.0f);
  EXPECT_GT(lines[2]->maximum_ascent, 0.0);  // an empty line still has the font's metrics
  // AppendCharacters keeps a line feed on the line.
  FinishText();
  Append(u"A\nB", false);
  EXPECT_EQ(GetTextLineCount(), 1);
  EXPECT_EQ(GetCharacterCount(-1), 3);
}

TEST_F(Layout, WordWrapDropsTheBreakCharacter) {
  SetModeWordWrap(EN_TRUE);
  // Room for about three letters: "AA AA" wraps at the space.
  SetTextBoxWidth(static_cast<float>(3.2 * Metrics('A')[kAdvanceX] / 1000.0));
  Append(u"AA AA");
  ASSERT_EQ(GetTextLineCount(), 2);
  EXPECT_EQ(GetCharacterCount(0), 2);
  EXPECT_EQ(GetCharacterCount(1), 2);
  const auto& lines = TTFLoader::Instance().Lines();
  EXPECT_EQ(lines[1]->character_codes, (std::vector<unsigned short>{'A', 'A'}));
  ASSERT_FALSE(lines[1]->carets.empty());
  EXPECT_EQ(lines[1]->carets[0].lineStart, 1);
  EXPECT_NEAR(lines[1]->carets[0].topX, 0.0, 1e-3);
  // A first word wider than the box is not broken.
  FinishText();
  SetTextBoxWidth(0.1f);
  Append(u"AAAA");
  EXPECT_EQ(GetTextLineCount(), 1);
}

// Every new line carries the rest of the text from where it starts (after a line feed: the
// character after it; after a wrap: the character that crossed the edge) and the settings of
// the line before it, and a later line's text is not a copy of an earlier one's. Once the next
// line has taken the rest over, a line keeps only its own part (see Limits.h: every line keeping
// the whole rest made many lines cost the square of the text's length).
TEST_F(Layout, NewLinesCarryTheRestOfTheTextAndTheSettings) {
  SetTextHeight(2.0f);
  Append(u"AB\nC\n\nDE");
  const auto& lines = TTFLoader::Instance().Lines();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0]->text_copy, u"AB");
  EXPECT_EQ(lines[1]->text_copy, u"C");
  EXPECT_EQ(lines[2]->text_copy, u"");
  EXPECT_EQ(lines[3]->text_copy, u"DE");
  for (const auto& line : lines) {
    EXPECT_TRUE(line->has_text_copy);
    EXPECT_EQ(line->text_height, 2.0);
  }
  EXPECT_EQ(lines[3]->character_codes, (std::vector<unsigned short>{'D', 'E'}));

  FinishText();
  SetModeWordWrap(EN_TRUE);
  SetTextBoxWidth(static_cast<float>(3.2 * 2.0 * Metrics('A')[kAdvanceX] / 1000.0));
  Append(u"AA AAB");
  ASSERT_EQ(lines.size(), 2u);
  // The fourth character crosses the edge (two "A", a space of 569/1366 of an "A", then the
  // third "A" ends at 3.42 advances of "A"): the next line starts there.
  EXPECT_EQ(lines[1]->text_copy, u"AAB");
  EXPECT_EQ(lines[1]->character_codes, (std::vector<unsigned short>{'A', 'A', 'B'}));
}

TEST_F(Layout, WordWrapBreaksAtTheLastSpaceBeforeTheEdgeButNeverAtTheFirstCharacter) {
  SetModeWordWrap(EN_TRUE);
  const double a = Metrics('A')[kAdvanceX];
  // "A A AAAA": the fifth character crosses 3.5 advances of "A"; the break
  // goes back to the second space, not the first.
  SetTextBoxWidth(static_cast<float>(3.5 * a / 1000.0));
  Append(u"A A AAAA");
  ASSERT_EQ(GetTextLineCount(), 2);
  EXPECT_EQ(GetCharacterCount(0), 3);
  EXPECT_EQ(GetCharacterCount(1), 4);
  // A space at the start of the text is no place to break.
  FinishText();
  SetTextBoxWidth(static_cast<float>(2.0 * a / 1000.0));
  Append(u" AAAAAA");
  EXPECT_EQ(GetTextLineCount(), 1);
  EXPECT_EQ(GetCharacterCount(0), 7);
}

TEST_F(Layout, TabsJumpToTheNextStopOrActAsASpace) {
  float stops[2] = {2.0f, 4.0f};
  SetIndentPositions(stops, 2);
  Append(u"\tA\t\tB");
  const std::vector<CursorPosition> c = Carets();
  ASSERT_EQ(c.size(), 6u);
  EXPECT_NEAR(c[1].topX, 2000.0, 1e-3);
  EXPECT_NEAR(c[3].topX, 4000.0, 1e-3);
  // No stop is left: the second tab takes the space's advance.
  EXPECT_NEAR(c[4].topX, 4000.0 + Metrics(' ')[kAdvanceX], 0.01);
}

TEST_F(Layout, BackwardMirrorsEachGlyphInItsOwnCell) {
  Append(u"F");
  const Extent forward = InkOf(Array(0));
  FinishText();
  SetModeCharacterBackward();
  Append(u"F");
  const Extent backward = InkOf(Array(0));
  const double adv = Metrics('F')[kAdvanceX];
  EXPECT_NEAR(backward.min_x, adv - forward.max_x, 2.0);
  EXPECT_NEAR(backward.max_x, adv - forward.min_x, 2.0);
  EXPECT_NEAR(backward.max_y, forward.max_y, 2.0);
}

TEST_F(Layout, UpsideDownStandsOnTheBaseline) {
  SetModeCharacterUpsideDown();
  Append(u"F");
  const Extent e = InkOf(Array(0));
  const CharMetrics m = Metrics('F');
  EXPECT_NEAR(e.min_y, 0.0, 2.0);
  EXPECT_NEAR(e.max_y, m[kBlackBoxHeight], 2.0);
}

TEST_F(Layout, EveryArrayReturnsToTheOriginUnderAnySettings) {
  SetCharacterAngle(0.3f);
  SetObliqueAngle(0.2f);
  SetCharacterScale(1.5f, 0.75f);
  SetTextHeight(2.0f);
  SetAutoKern(EN_TRUE);
  SetHorizontalCharGap(0.05f);
  SetModeSuperscript();
  SetModeWordWrap(EN_TRUE);
  SetTextBoxWidth(9.0f);
  Append(u"Typography with @ & 8 on several lines\nand a feed.");
  ASSERT_GT(GetTextLineCount(), 1);
  for (int type = 0; type <= 5; ++type) {
    int* data = nullptr;
    const int n = GetMultilineOutLines(-1, static_cast<EN_ReturnType>(type), &data, nullptr);
    long sx = 0, sy = 0;
    for (int p = 0; p + 2 < n;) {
      sx += data[p + 1];
      sy += data[p + 2];
      p += data[p] == 42 ? 5 : 3;
    }
    DeleteTTFData(data);
    EXPECT_EQ(sx, 0) << type;
    EXPECT_EQ(sy, 0) << type;
  }
}

TEST_F(Layout, SimpleLayoutRecordsInkAndCellRectangles) {
  Append(u"AB", false);
  const TTFState& line = *TTFLoader::Instance().Lines().back();
  ASSERT_EQ(line.ink_rectangles.size(), 2u);
  const CharMetrics m = Metrics('A');
  EXPECT_NEAR(line.ink_rectangles[0].x0, m[kBlackBoxLeft], 1e-9);
  EXPECT_NEAR(line.ink_rectangles[0].y1, m[kBlackBoxTop], 1e-9);
  EXPECT_NEAR(line.cell_rectangles[0].x1, m[kAdvanceX], 1e-9);
  EXPECT_TRUE(line.carets.empty());  // this layout makes no carets
  int* data = nullptr;
  float box[10];
  EXPECT_EQ(GetOutLines(1, EN_RT_BORDER, &data, box) > 1, true);
  DeleteTTFData(data);
  EXPECT_NEAR(box[8], Metrics('B')[kAdvanceX], 0.01);
  // GetOutLinesEx has no character box to give here, but the pen after "B" (entered from the
  // end of "A") is its advance all the same; the corners stay as passed.
  float ex[10] = {7, 7, 7, 7, 7, 7, 7, 7, 7, 7};
  ASSERT_GT(GetOutLinesEx(1, EN_RT_BORDER, &data, ex), 1);
  DeleteTTFData(data);
  EXPECT_NEAR(ex[8], Metrics('B')[kAdvanceX], 0.01);
  EXPECT_EQ(ex[9], 0.0f);
  EXPECT_TRUE(std::all_of(ex, ex + 8, [](float v) { return v == 7.0f; }));
}

// The absolute end points of the drawing records (lines and arcs) of an
// array whose pen starts at (x, y); moves only move the pen.
std::vector<std::pair<long, long>> DrawnPoints(const std::vector<int>& a, long& x, long& y) {
  std::vector<std::pair<long, long>> out;
  for (size_t p = 0; p + 2 < a.size();) {
    const int code = a[p];
    x += a[p + 1];
    y += a[p + 2];
    if (code == 41 || code == 42) out.emplace_back(x, y);
    p += code == 42 ? 5 : 3;
  }
  return out;
}

TEST_F(Layout, CharacterArraysJoinedGiveTheWholeText) {
  // Two lines, rotated and slanted glyphs, kerning and a gap: each character
  // array starts where the one before it ended, so laid one after another
  // they draw the whole text. Each array restarts its residues at zero and
  // ends within half a unit of its exact end, so the k-th character may
  // have drifted by k / 2 units, plus the rounding of one record.
  SetCharacterAngle(0.2f);
  SetObliqueAngle(0.15f);
  SetAutoKern(EN_TRUE);
  SetHorizontalCharGap(0.03f);
  Append(u"WAVE to\nAVATAR");
  const int count = GetCharacterCount(-1);
  ASSERT_EQ(count, 13);
  long wx = 0, wy = 0;
  const std::vector<std::pair<long, long>> whole = DrawnPoints(Array(-1), wx, wy);
  std::vector<std::pair<long, long>> joined;
  std::vector<double> drift;  // allowed difference per point
  long x = 0, y = 0;
  for (int i = 0; i < count; ++i) {
    const std::vector<int> one = Array(i);
    ASSERT_EQ(one.back(), -1);
    for (auto p : DrawnPoints(one, x, y)) {
      joined.push_back(p);
      drift.push_back(1.0 + 0.5 * i);
    }
  }
  ASSERT_EQ(joined.size(), whole.size());
  ASSERT_GT(whole.size(), 100u);
  for (size_t k = 0; k < whole.size(); ++k) {
    EXPECT_NEAR(joined[k].first, whole[k].first, drift[k]) << k;
    EXPECT_NEAR(joined[k].second, whole[k].second, drift[k]) << k;
  }
}
