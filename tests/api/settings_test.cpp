// Settings state: conversions, limits, defaults and the line list, checked on
// the records the exports write. Expected values are worked by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <type_traits>
#include <variant>

#include "HatchPattern.h"
#include "TTFLoader.h"
#include "vuzodo/vuzodo.h"

using namespace vuzodo;

namespace {

class Settings : public ::testing::Test {
 protected:
  void SetUp() override {
    InitializeTTF(1000.0f);
    ClearTTFHatchPatterns();
    SetModeHorizontal();
    InitializeTTF(1000.0f);
  }
  TTFState& Current() { return *TTFLoader::Instance().GetCurrentLine(); }
  std::vector<std::unique_ptr<TTFState>>& Lines() { return TTFLoader::Instance().Lines(); }
};

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

}  // namespace

TEST_F(Settings, FirstSetterCreatesAFirstLineWithConstructorDefaults) {
  EXPECT_EQ(GetTextLineCount(), 0);
  EXPECT_EQ(SetAutoKern(EN_TRUE), 1);
  ASSERT_EQ(GetTextLineCount(), 1);
  const TTFState& line = Current();
  EXPECT_EQ(line.face_name, u"Arial");
  EXPECT_EQ(line.text_height, 1.0);
  EXPECT_EQ(line.superscript_size, 1.0);
  EXPECT_EQ(line.subscript_offset, 1.0);
  EXPECT_TRUE(line.include_border);
  EXPECT_FALSE(line.has_text_copy);
  EXPECT_TRUE(line.auto_kern);
}

TEST_F(Settings, HeightAndScaleRefuseZeroNegativeAndNaN) {
  EXPECT_EQ(SetTextHeight(2.5f), 1);
  for (float bad : {0.0f, -1.0f, kNaN}) {
    EXPECT_EQ(SetTextHeight(bad), 0) << bad;
    EXPECT_EQ(Current().text_height, 2.5);
  }
  EXPECT_EQ(SetCharacterScale(2.0f, 0.5f), 1);
  for (auto [sx, sy] : {std::pair{0.0f, 1.0f}, {1.0f, 0.0f}, {-1.0f, 1.0f}, {kNaN, 1.0f},
                        {1.0f, kNaN}}) {
    EXPECT_EQ(SetCharacterScale(sx, sy), 0);
    EXPECT_EQ(Current().character_scale_x, 2.0);
    EXPECT_EQ(Current().character_scale_y, 0.5);
  }
}

TEST_F(Settings, ObliqueBoundIsTheSinglePrecisionConstant) {
  EXPECT_EQ(SetObliqueAngle(1.35f), 1);
  EXPECT_EQ(Current().oblique_angle, static_cast<double>(1.35f));
  EXPECT_EQ(SetObliqueAngle(-1.35f), 1);
  EXPECT_EQ(SetObliqueAngle(1.36f), 0);
  EXPECT_EQ(SetObliqueAngle(-1.36f), 0);
  // The next float above 1.35f is already out of bounds.
  EXPECT_EQ(SetObliqueAngle(std::nextafter(1.35f, 2.0f)), 0);
  EXPECT_EQ(Current().oblique_angle, static_cast<double>(-1.35f));
}

TEST_F(Settings, ScriptPropertiesArePercentages) {
  EXPECT_EQ(SetPropsSubscript(50.0f, 0.0f), 1);
  EXPECT_DOUBLE_EQ(Current().subscript_size, 0.5);
  EXPECT_DOUBLE_EQ(Current().subscript_offset, 0.0);
  EXPECT_EQ(SetPropsSuperscript(75.0f, 30.0f), 1);
  EXPECT_DOUBLE_EQ(Current().superscript_size, 0.75);
  EXPECT_DOUBLE_EQ(Current().superscript_offset, 0.3);
  EXPECT_EQ(SetPropsSubscript(0.0f, 10.0f), 0);
  EXPECT_EQ(SetPropsSubscript(10.0f, -0.1f), 0);
  EXPECT_EQ(SetPropsSuperscript(kNaN, 10.0f), 0);
  EXPECT_DOUBLE_EQ(Current().subscript_size, 0.5);
  EXPECT_DOUBLE_EQ(Current().superscript_offset, 0.3);
}

TEST_F(Settings, GapsAreMultipliedByTheUnitSizeInForceWhenSet) {
  SetHorizontalCharGap(2.0f);
  EXPECT_EQ(Current().horizontal_gap, 2000.0);
  InitializeTTF(500.0f);
  EXPECT_EQ(GetTextLineCount(), 0);
  SetHorizontalCharGap(2.0f);
  SetVerticalCharGap(-0.5f);
  EXPECT_EQ(GetTextLineCount(), 1);
  EXPECT_EQ(Current().horizontal_gap, 1000.0);
  EXPECT_EQ(Current().vertical_gap, -250.0);
}

TEST_F(Settings, FlagsAreTrueOnlyForOne) {
  SetAutoKern(static_cast<EN_Bool>(2));
  EXPECT_FALSE(Current().auto_kern);
  SetModeWordWrap(EN_TRUE);
  EXPECT_TRUE(Current().word_wrap);
  IncludeBorder(static_cast<EN_Bool>(-1));
  EXPECT_FALSE(Current().include_border);
  SetDeformPathCharacters(EN_TRUE);
  EXPECT_TRUE(Current().deform_path_characters);
}

// A C host may pass any int for an enumeration, negative ones included; in C++ each of them
// must be a value of the parameter's type, or merely reading the parameter is undefined.
TEST_F(Settings, EveryIntIsAnEnumerationValue) {
  static_assert(std::is_same_v<std::underlying_type_t<EN_Bool>, int>);
  static_assert(std::is_same_v<std::underlying_type_t<EN_ReturnType>, int>);
  static_assert(std::is_same_v<std::underlying_type_t<EN_TTFFontStyle>, int>);
  static_assert(std::is_same_v<std::underlying_type_t<EN_TextHorizontalAlignStyle>, int>);
  static_assert(std::is_same_v<std::underlying_type_t<EN_TextVerticalAlignStyle>, int>);
  static_assert(std::is_same_v<std::underlying_type_t<EN_LineSpaceStyle>, int>);
  static_assert(std::is_same_v<std::underlying_type_t<EN_FNT_ConvertionStyle>, int>);
  static_assert(std::is_same_v<std::underlying_type_t<EN_PathTextAlign>, int>);
  static_assert(std::is_same_v<std::underlying_type_t<borderGapDirection>, int>);
  static_assert(std::is_same_v<std::underlying_type_t<hatchStyle>, int>);
  static_assert(std::is_same_v<std::underlying_type_t<EN_OffsetStyle>, int>);
  static_assert(std::is_same_v<std::underlying_type_t<EN_OffsetAlgorithm>, int>);
  static_assert(std::is_same_v<std::underlying_type_t<EN_OffsetCornerStyle>, int>);
  static_assert(std::is_same_v<std::underlying_type_t<EN_HelixStyle>, int>);
  const int lowest = std::numeric_limits<int>::min();
  SetAutoKern(EN_TRUE);
  SetAutoKern(static_cast<EN_Bool>(lowest));
  EXPECT_FALSE(Current().auto_kern);
  SetTextHorizontalAlign(static_cast<EN_TextHorizontalAlignStyle>(lowest));
  EXPECT_EQ(Current().horizontal_alignment, lowest);
}

TEST_F(Settings, StoredButReportedZero) {
  float list[3] = {0.5f, 1.0f, 2.0f};
  EXPECT_EQ(SetIndentPositions(list, 3), 0);
  EXPECT_EQ(Current().indent_list, (std::vector<float>{0.5f, 1.0f, 2.0f}));
  EXPECT_EQ(SetIndentPositions(list, 0), 0);
  EXPECT_EQ(Current().IndentCount(), 0);
  EXPECT_EQ(SetTextHorizontalAlign(EN_HALIGN_CENTER), 0);
  EXPECT_EQ(Current().horizontal_alignment, 1);
  EXPECT_EQ(SetTextVerticalAlign(EN_VALIGN_BOTTOM), 0);
  EXPECT_EQ(Process().vertical_align, 2);
}

TEST_F(Settings, NullIndentListIsIgnoredSafely) {
  float list[1] = {4.0f};
  SetIndentPositions(list, 1);
  EXPECT_EQ(SetIndentPositions(nullptr, 5), 0);
  EXPECT_EQ(Current().IndentCount(), 0);
  EXPECT_EQ(SetIndentPositions(list, -3), 0);
  EXPECT_EQ(Current().IndentCount(), 0);
}

TEST_F(Settings, ProcessWideSettingsAreSharedByAllLines) {
  SetLineSpacing(1.5f);
  SetLineSpacingStyle(EN_LINESPACE_FIXED);
  SetTextBoxWidth(12.0f);
  SetTextBoxHeight(3.0f);
  SetFNTConversionMode(EN_FNT_ARCS_AS_ENTITIES);
  TTFLoader::Instance().PushLine();
  EXPECT_EQ(Process().line_spacing, 1.5);
  EXPECT_EQ(Process().line_spacing_style, 1);
  EXPECT_EQ(Process().text_box_width, 12.0);  // user units, scaled where used
  EXPECT_EQ(Process().text_box_height, 3.0);
  EXPECT_EQ(Process().fnt_conversion_mode, 1);
}

TEST_F(Settings, AnyNewLineSetsTheTextModeBackToHorizontal) {
  SetModeVertical();
  EXPECT_EQ(Process().text_mode, 1);
  TTFLoader::Instance().PushLine();
  EXPECT_EQ(Process().text_mode, 0);
  SetModePathText();
  InitializeTTF(1000.0f);
  EXPECT_EQ(Process().text_mode, 2);  // releasing lines does not touch it
  SetModePathText();                  // creates the first line, then sets the mode
  EXPECT_EQ(Process().text_mode, 2);
}

TEST_F(Settings, PushLineCarriesSettingsButNotPathMetricsOrText) {
  std::u16string face = u"Liberation Serif";
  SetFontFace(reinterpret_cast<unsigned short*>(face.data()));
  SetFontStyle(EN_STYLE_ITALIC);
  SetTextHeight(3.0f);
  SetHorizontalCharGap(0.1f);
  SetCharacterAngle(0.2f);
  SetObliqueAngle(0.3f);
  SetCharacterScale(2.0f, 4.0f);
  SetModeCharacterBackward();
  SetModeCharacterUpsideDown();
  SetModeSuperscript();
  SetPropsSuperscript(60.0f, 40.0f);
  IncludeBorder(EN_FALSE);
  SetModeWordWrap(EN_TRUE);
  SetTextHorizontalAlign(EN_HALIGN_RIGHT);
  float tabs[2] = {1.0f, 2.0f};
  SetIndentPositions(tabs, 2);
  SetPathTextAlign(EN_PATH_ASCENT);
  SetPathTextSpacing(0.5);
  SetDeformPathCharacters(EN_TRUE);
  float pts[4] = {0, 0, 1, 0};
  SetNurbPathPolyline(pts, 4, 0.25f);
  TTFState& first = Current();
  first.maximum_ascent = 700.0;
  first.character_count = 3;
  first.previous_character = 'x';
  first.SetTextCopy(reinterpret_cast<const unsigned short*>(u"abc"));

  TTFState& next = *TTFLoader::Instance().PushLine();
  EXPECT_EQ(GetTextLineCount(), 2);
  EXPECT_EQ(next.face_name, u"Liberation Serif");
  EXPECT_EQ(next.font_style, 2);
  EXPECT_EQ(next.text_height, 3.0);
  EXPECT_DOUBLE_EQ(next.horizontal_gap, 0.1f * 1000.0);
  EXPECT_EQ(next.character_angle, static_cast<double>(0.2f));
  EXPECT_EQ(next.oblique_angle, static_cast<double>(0.3f));
  EXPECT_EQ(next.character_scale_y, 4.0);
  EXPECT_TRUE(next.backward);
  EXPECT_TRUE(next.upside_down);
  EXPECT_EQ(next.script_mode, 2);
  EXPECT_DOUBLE_EQ(next.superscript_offset, 0.4);
  EXPECT_FALSE(next.include_border);
  EXPECT_TRUE(next.word_wrap);
  EXPECT_EQ(next.horizontal_alignment, 2);
  EXPECT_EQ(next.indent_list, (std::vector<float>{1.0f, 2.0f}));
  EXPECT_EQ(next.text_copy, u"abc");
  EXPECT_EQ(next.previous_character, 'x');
  EXPECT_EQ(next.path_length_of_characters, 250.0);
  // Not carried: the path and its settings, metrics and laid-out content.
  EXPECT_EQ(next.path, nullptr);
  EXPECT_EQ(next.path_text_alignment, 0);
  EXPECT_EQ(next.path_spacing, 0.0);
  EXPECT_FALSE(next.deform_path_characters);
  EXPECT_EQ(next.maximum_ascent, 0.0);
  EXPECT_EQ(next.character_count, 0);
}

TEST_F(Settings, SetDefaultsResetsLineSettingsAndPatternsButNotUnitModeOrPath) {
  InitializeTTF(250.0f);
  SetFNTConversionMode(EN_FNT_ARCS_AS_ENTITIES);
  SetPathTextAlign(EN_PATH_DESCENT);
  SetPathTextFlip(EN_TRUE);
  SetTextHeight(9.0f);
  SetCharacterScale(3.0f, 3.0f);
  SetModeSubscript();
  SetLineSpacing(2.0f);
  SetTextBoxWidth(5.0f);
  AddTTFHatchPatternOffsetFilling(0.5f, EN_OFFSET_OUTSIDE_IN);
  ASSERT_EQ(qelhatching::PatternList().size(), 1u);
  EXPECT_EQ(SetDefaults(), 1);
  EXPECT_EQ(Current().text_height, 1.0);
  EXPECT_EQ(Current().character_scale_x, 1.0);
  EXPECT_EQ(Current().script_mode, 0);
  EXPECT_EQ(Current().subscript_size, 1.0);
  EXPECT_EQ(Process().line_spacing, 1.0);
  EXPECT_EQ(Process().text_box_width, 0.0);
  EXPECT_TRUE(qelhatching::PatternList().empty());
  EXPECT_EQ(Process().unit_size, 250.0);
  EXPECT_EQ(Process().fnt_conversion_mode, 1);
  EXPECT_EQ(Current().path_text_alignment, 2);
  EXPECT_TRUE(Current().path_flip);
}

TEST_F(Settings, FinishTextKeepsTheLastLineAndItsSettings) {
  SetTextHeight(4.0f);
  TTFLoader::Instance().PushLine();
  TTFState* last = TTFLoader::Instance().PushLine();
  last->character_count = 2;
  last->outline_stream = {40.0, 1.0, 2.0};
  last->carets.push_back(CursorPosition{});
  last->pen = NURBSPoint(5.0, 6.0);
  ASSERT_EQ(GetTextLineCount(), 3);
  EXPECT_EQ(FinishText(), 1);
  EXPECT_EQ(GetTextLineCount(), 1);
  EXPECT_EQ(&Current(), last);
  EXPECT_EQ(GetCharacterCount(-1), 0);
  EXPECT_TRUE(last->outline_stream.empty());
  EXPECT_TRUE(last->carets.empty());
  EXPECT_EQ(last->pen.GetX(), 0.0);
  EXPECT_EQ(last->text_height, 4.0);
  InitializeTTF(1000.0f);
  EXPECT_EQ(FinishText(), 1);  // an empty list gets a cleared default line
  EXPECT_EQ(GetTextLineCount(), 1);
}

TEST_F(Settings, AppendCopiesTheTextAndOvfAppendChangesNothing) {
  std::u16string text = u"Hello";
  EXPECT_EQ(AppendCharactersOVF(reinterpret_cast<unsigned short*>(text.data())), 1);
  EXPECT_EQ(GetTextLineCount(), 0);
  EXPECT_EQ(AppendCharacters(reinterpret_cast<unsigned short*>(text.data())), 1);
  EXPECT_EQ(Current().text_copy, u"Hello");
  EXPECT_TRUE(Current().has_text_copy);
}

TEST_F(Settings, CountQueriesFollowTheLineList) {
  TTFLoader::Instance().GetCurrentLine()->character_count = 3;
  TTFLoader::Instance().PushLine()->character_count = 2;
  EXPECT_EQ(GetCharacterCount(-1), 5);
  EXPECT_EQ(GetCharacterCount(-7), 5);
  EXPECT_EQ(GetCharacterCount(1), 2);
  EXPECT_EQ(GetCharacterCount(2), 0);
  Lines()[0]->maximum_ascent = 700.25;
  Lines()[0]->maximum_descent = -210.5;
  Lines()[1]->maximum_line_gap = 33.0;
  CharacterLineGapInfo info[2];
  EXPECT_EQ(GetCharacterLineGapInfo(info), 2);
  EXPECT_EQ(info[0].maximumAscent, 700.25f);
  EXPECT_EQ(info[0].maximumDescent, -210.5f);
  EXPECT_EQ(info[1].maximumLineGap, 33.0f);
  EXPECT_EQ(GetMaximumLineGap(), 33.0f);  // the current (last) line
}

TEST_F(Settings, SingleValueQueriesCreateTheFirstLine) {
  EXPECT_EQ(GetTextLineCount(), 0);
  EXPECT_EQ(GetMaximumAscent(), 0.0f);
  EXPECT_EQ(GetTextLineCount(), 1);
}

TEST_F(Settings, HatchRequestsForwardLengthsTimesTheUnitInSinglePrecision) {
  using namespace qelhatching;
  AddTTFHatchPatternOffsetFilling(0.5f, EN_OFFSET_INSIDE_OUT);
  AddTTFHatchPatternLattice(1, 2, 45, 3, 4, true);
  AddTTFHatchPatternHelixFillingEx(0.25f, EN_HELIX_OUTSIDE_IN, EN_OFFSET_CLEANUP,
                                   EN_CORNER_ROUND, 3, 4);
  InitializeTTF(333.3f);  // patterns survive; later requests use the new unit
  AddTTFHatchPatternLine(0.1f, BORDER_GAP_OUTWARD, 0.3f, 0.7f, 1.1f, -2.0f, HATCH_DOUBLE,
                         EN_TRUE);
  AddTTFHatchPatternIncremental(0.1f, BORDER_GAP_INWARD, 0.3f, 0.7f, 0.2f, 4,
                                HATCH_SERPENTINE);
  const auto& list = PatternList();
  ASSERT_EQ(list.size(), 5u);
  const auto& offset = std::get<OffsetFillingPattern>(list[0]);
  EXPECT_EQ(offset.gap, 500.0f);
  EXPECT_EQ(offset.style, 1);
  const auto& lattice = std::get<LatticePattern>(list[1]);
  EXPECT_EQ(lattice.gap_u, 1000.0f);
  EXPECT_EQ(lattice.gap_v, 2000.0f);
  EXPECT_EQ(lattice.angle, 45.0f);
  EXPECT_EQ(lattice.base_x, 3000.0f);
  EXPECT_EQ(lattice.base_y, 4000.0f);
  EXPECT_TRUE(lattice.serpentine);
  const auto& helix = std::get<HelixPattern>(list[2]);
  EXPECT_EQ(helix.gap, 250.0f);
  EXPECT_FALSE(helix.connect);  // always forwarded as false
  EXPECT_EQ(helix.offset.miter_limit, 3);
  EXPECT_EQ(helix.offset.arc_tolerance, 4);
  const float unit = 333.3f;  // the unit size converted to float, times each length
  const auto& line = std::get<LinePattern>(list[3]);
  EXPECT_EQ(line.border_gap, 0.1f * unit);
  EXPECT_EQ(line.line_gap, 0.3f * unit);
  EXPECT_EQ(line.angle, 0.7f);
  EXPECT_EQ(line.base_x, 1.1f * unit);
  EXPECT_EQ(line.base_y, -2.0f * unit);
  EXPECT_EQ(line.direction, 1);
  EXPECT_TRUE(line.with_offset);
  const auto& inc = std::get<IncrementalPattern>(list[4]);
  EXPECT_EQ(inc.line_gap, 0.3f * unit);
  EXPECT_EQ(inc.start_angle, 0.7f);
  EXPECT_EQ(inc.angle_step, 0.2f);  // an angle: not scaled
  EXPECT_EQ(inc.passes, 4);
  ClearTTFHatchPatterns();
  EXPECT_TRUE(PatternList().empty());
}
