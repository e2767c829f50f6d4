// Every export at the C boundary, one row per case, on the library loaded as a host loads it: the
// result, the trace it writes (worked by hand from the call formats hosts rely on; '*' is any run
// within a line, '~' any run of lines), and for refusals that the drawing of a hatched two-line
// text is unchanged; after every call the text is still drawn.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <regex>
#include <string>

#include "LoadedLibrary.h"
#include "vuzodo/vuzodo.h"

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr int kVoid = -12345;  // the result column of exports without a result

// The drawing of a hatched two-line text, bit for bit: records (ended by the end mark: reached
// without a trap), box, carets, caret top, line count and path length.
std::string Draw(LoadedLibrary& lib) {
  VZ(lib, FinishText)();
  std::u16string text = u"H\tH\nHH";
  VZ(lib, AppendCharactersEx)(W(text));
  int* data = nullptr;
  float values[13] = {};
  const int n = VZ(lib, GetMultilineOutLines)(-1, EN_RT_BORDER_POLYLINES_FILL, &data, values);
  EXPECT_TRUE(n > 0 && data[n - 1] == -1) << "an open drawing";
  std::string s(reinterpret_cast<char*>(data), sizeof(int) * std::max(n, 0));
  VZ(lib, DeleteTTFData)(data);
  CursorPosition* carets = nullptr;
  int count = 0;
  values[11] = VZ(lib, GetMultilineCaretPositionData)(&carets, &count, &values[10]);
  if (carets != nullptr) s.append(reinterpret_cast<char*>(carets), sizeof(*carets) * count);
  VZ(lib, DeleteCaretData)(reinterpret_cast<float*>(carets));
  values[12] = VZ(lib, GetPathLengthOfCharacters)();
  return s.append(reinterpret_cast<char*>(values), sizeof(values));
}

using Call = std::function<int(LoadedLibrary&)>;
struct Row {
  const char* name;
  Call setup;  // the row's own state, before the drawing
  Call call;
  int expected;
  std::string trace;
  bool keeps;  // the drawing is unchanged
};

#define F(fn) VZ(lib, fn)
#define CALL(expr) [](LoadedLibrary& lib) { return static_cast<int>(expr); }
// A refusal (or a guarded call) that changes nothing, and a call whose effect is not compared.
#define KEEP(setup, expr, result, trace) \
  { #expr, setup, CALL(expr), result, trace, true }
#define KEEPV(setup, expr, trace) \
  { #expr, setup, CALL((expr, kVoid)), kVoid, trace, true }
#define TAKE(expr, result, trace) \
  { #expr, none, CALL(expr), result, trace, false }
#define TAKEV(expr, trace) \
  { #expr, none, CALL((expr, kVoid)), kVoid, trace, false }

std::vector<Row> Rows() {
  static std::u16string arial = u"Arial", liberation = u"Liberation Sans", empty = u"",
                        accented = u"A\u00e9\u4e2d", xyz = u"xyz";
  static float polyline[4] = {0, 0, 10, 0}, bad_polyline[4] = {0, 0, kInf, 0},
               far[4] = {0, 0, 1e30f, 0};
  static float stops[2] = {kNaN, 3}, tabs[2] = {1.5f, 3};
  static float nx[2] = {0, 10}, ny[2] = {0, 0}, nw[2] = {1, 1}, knots[4] = {0, 0, 1, 1};
  static float mx[2] = {-0.0f, -10}, my[2] = {-0.0f, -0.0f}, mw[2] = {-1, -1};
  static int codes[3] = {'A', 'B', 'C'};
  const Call none = [](LoadedLibrary&) { return 0; };
  const Call vertical = CALL(F(SetModeVertical)());
  const Call sub = CALL(F(SetModeSubscript)()), super = CALL(F(SetModeSuperscript)());
  const Call centred = [](LoadedLibrary& lib) {
    F(SetTextBoxWidth)(20.0f);
    F(SetTextBoxHeight)(10.0f);
    F(SetTextHorizontalAlign)(EN_HALIGN_CENTER);
    return F(SetTextVerticalAlign)(EN_VALIGN_MIDDLE);
  };
  const Call path = [](LoadedLibrary& lib) {  // path text along a polyline: path settings show
    F(SetModePathText)();
    float points[6] = {0, 0, 5, 1, 10, 0};
    return F(SetNurbPathPolyline)(points, 6, 0.25f);
  };
  return {
      // ---- settings: refusals at each bound, NaN and infinities
      KEEPV(none, F(InitializeTTF)(kNaN), "InitializeTTF(nan);\n"),
      KEEP(none, F(SetTextHeight)(0.0f), 0, "SetTextHeight(0.000000);\n"),
      KEEP(none, F(SetTextHeight)(kNaN), 0, "SetTextHeight(nan);\n"),
      KEEP(none, F(SetHorizontalCharGap)(kNaN), 0, "SetHorizontalCharGap(nan);\n"),
      KEEP(vertical, F(SetVerticalCharGap)(-kInf), 0, "SetVerticalCharGap(-inf);\n"),
      KEEP(none, F(SetCharacterAngle)(kNaN), 0, "SetCharacterAngle(nan);\n"),
      KEEP(none, F(SetObliqueAngle)(kNaN), 0, "SetObliqueAngle(nan);\n"),
      // The oblique bound is the single-precision 1.35: the next float above is refused.
      KEEP(none, F(SetObliqueAngle)(std::nextafter(1.35f, 2.0f)), 0,
           "SetObliqueAngle(1.350000);\n"),
      TAKE(F(SetObliqueAngle)(-1.35f), 1, "SetObliqueAngle(-1.350000);\n"),
      KEEP(none, F(SetCharacterScale)(0.0f, 1.0f), 0, "SetCharacterScale(0.000000,1.000000);\n"),
      KEEP(none, F(SetCharacterScale)(1.0f, kNaN), 0, "SetCharacterScale(1.000000,nan);\n"),
      KEEP(sub, F(SetPropsSubscript)(10.0f, -0.1f), 0, "SetPropsSubscript(10.000000,-0.100000);\n"),
      // The size must be positive, the offset may be zero.
      KEEP(super, F(SetPropsSuperscript)(0.0f, 50.0f), 0,
           "SetPropsSuperscript(0.000000,50.000000);\n"),
      TAKE(F(SetPropsSuperscript)(100.0f, 0.0f), 1, "SetPropsSuperscript(100.000000,0.000000);\n"),
      TAKE(F(SetPropsSubscript)(50.0f, 0.0f), 1, "SetPropsSubscript(50.000000,0.000000);\n"),
      KEEP(centred, F(SetTextBoxWidth)(kNaN), 0, "SetTextBoxWidth(nan);\n"),
      KEEP(centred, F(SetTextBoxHeight)(kInf), 0, "SetTextBoxHeight(inf);\n"),
      KEEP(none, F(SetLineSpacing)(kNaN), 0, "SetLineSpacing(nan);\n"),
      KEEP(path, F(SetPathTextSpacing)(std::nan("")), 0, "SetPathTextSpacing(nan);\n"),
      KEEP(none, F(SetIndentPositions)(stops, 2), 0,
           "float indentList[2] = {nanf,3.000000f,};\nSetIndentPositions(indentList, 2);\n"),
      KEEP(none, F(SetIndentPositions)(nullptr, 3), 0,
           "float indentList[3] = {};\nSetIndentPositions(indentList, 3);\n"),
      KEEP(none, F(SetIndentPositions)(stops, -1), 0,
           "float indentList[-1] = {};\nSetIndentPositions(indentList, -1);\n"),
      // ---- settings that are taken, and their trace formats
      TAKE(F(SetFontStyle)(EN_STYLE_BOLD_ITALIC), 1, "SetFontStyle((EN_TTFFontStyle)3);\n"),
      TAKE(F(SetAutoKern)(static_cast<EN_Bool>(2)), 1, "SetAutoKern((EN_Bool)2);\n"),
      TAKE(F(SetHorizontalCharGap)(0.25f), 1, "SetHorizontalCharGap(0.250000);\n"),
      TAKE(F(SetVerticalCharGap)(-0.5f), 1, "SetVerticalCharGap(-0.500000);\n"),
      TAKE(F(SetCharacterAngle)(0.125f), 1, "SetCharacterAngle(0.125000);\n"),
      TAKE(F(SetModeVertical)(), 1, "SetModeVertical();\n"),
      TAKE(F(SetModePathText)(), 1, "SetModePathText();\n"),
      TAKE(F(SetModeCharacterBackward)(), 1, "SetModeCharacterBackward();\n"),
      TAKE(F(SetModeCharacterUpsideDown)(), 1, "SetModeCharacterUpsideDown();\n"),
      TAKE(F(SetModeSubscript)(), 1, "SetModeSubscript();\n"),
      TAKE(F(SetModeSuperscript)(), 1, "SetModeSuperscript();\n"),
      TAKE(F(SetModeWordWrap)(EN_TRUE), 1, "SetModeWordWrap((EN_Bool)1);\n"),
      TAKE(F(SetTextHorizontalAlign)(EN_HALIGN_RIGHT), 0,
           "SetTextHorizontalAlign((EN_TextHorizontalAlignStyle)2);\n"),
      TAKE(F(SetTextVerticalAlign)(EN_VALIGN_MIDDLE), 0,
           "SetTextVerticalAlign((EN_TextVerticalAlignStyle)1);\n"),
      TAKE(F(SetLineSpacingStyle)(EN_LINESPACE_FIXED), 1,
           "SetLineSpacingStyle((EN_LineSpaceStyle)1);\n"),
      TAKE(F(SetFNTConversionMode)(EN_FNT_ARCS_AS_ENTITIES), 1,
           "SetFNTConversionMode((EN_FNT_ConvertionStyle)1);\n"),
      TAKE(F(SetPathTextAlign)(EN_PATH_STRIKEOUT), 1, "SetPathTextAlign(3);\n"),
      TAKE(F(SetPathTextFlip)(EN_TRUE), 1, "SetPathTextFlip(1);\n"),
      TAKE(F(SetPathTextSpacing)(0.1), 1, "SetPathTextSpacing(0.100000);\n"),
      TAKE(F(SetDeformPathCharacters)(EN_TRUE), 1, "SetDeformPathCharacters(1);\n"),
      TAKE(F(SetIndentPositions)(tabs, 2), 0,
           "float indentList[2] = {1.500000f,3.000000f,};\nSetIndentPositions(indentList, 2);\n"),
      TAKE(F(SetDefaults)(), 1,
           "SetDefaults();\nSetFontFace(Arial);\nSetTextHeight(1.000000);\n~"
           "SetLineSpacingStyle((EN_LineSpaceStyle)0);\n"),
      // Finite but absurd values are taken (one row per kind); the records saturate.
      TAKEV(F(InitializeTTF)(3e38f), "InitializeTTF(*);\n"),
      TAKE(F(SetTextBoxWidth)(-1e30f) + F(SetTextHorizontalAlign)(EN_HALIGN_RIGHT), 1,
           "SetTextBoxWidth(*);\nSetTextHorizontalAlign((EN_TextHorizontalAlignStyle)2);\n"),
      TAKE(F(SetModePathText)() + F(SetNurbPathPolyline)(far, 4, -1e30f) +
               F(SetPathTextSpacing)(1e300),
           3, "SetModePathText();\nSetNurbPathPolyline();\nSetPathTextSpacing(*);\n"),
      TAKE(F(AddTTFHatchPatternLine)(0, BORDER_GAP_INWARD, 1e-30f, 0, 1e30f, 0, HATCH_SERPENTINE,
                                     EN_TRUE),
           1, "AddTTFHatchPatternLine(*)\n"),
      // ---- text entry and fonts: guarded calls write nothing
      KEEP(none, F(SetFontFace)(nullptr), 0, ""),
      KEEP(none, F(AppendCharacters)(nullptr), 0, ""),
      KEEP(none, F(AppendCharactersEx)(W(empty)), 0, ""),
      KEEP(none, F(AppendCharactersOVF)(nullptr), 0, ""),
      KEEPV(none, F(UnloadAllFonts)(), ""),
      TAKE(F(SetFontFace)(W(liberation)), 1, "SetFontFace(Liberation Sans);\n"),
      // No semicolon after AppendCharacters: hosts' logs have always read so.
      TAKE(F(AppendCharacters)(W(accented)), 1, "AppendCharacters(A\xC3\xA9\xE4\xB8\xAD)\n"),
      TAKE(F(AppendCharactersEx)(W(accented)), 1, "AppendCharactersEx(A\xC3\xA9\xE4\xB8\xAD);\n"),
      TAKE(F(AppendCharactersOVF)(W(xyz)), 1, "AppendCharactersOVF(xyz);\n"),
      TAKE(F(FinishText)(), 1, "FinishText();\n"),
      KEEPV(none, F(LoadCharacterSet)(W(arial), EN_STYLE_REGULAR, nullptr, 5),
            "LoadCharacterSet(Arial,0);\n"),
      TAKEV(F(LoadCharacterSet)(W(arial), EN_STYLE_ITALIC, codes, 2),
            "LoadCharacterSet(Arial,2);\n"),
      TAKEV(F(LoadCharacterRange)(W(arial), EN_STYLE_BOLD, 65, 90),
            "LoadCharacterRange(Arial,1,65,90);\n"),
      KEEPV(none, F(UnloadFont)(nullptr, EN_STYLE_REGULAR), "UnloadFont((null),0);\n"),
      TAKEV(F(UnloadFont)(W(arial), EN_STYLE_REGULAR), "UnloadFont(Arial,0);\n"),
      KEEPV(none, F(GetFontInformation)(W(arial), EN_STYLE_REGULAR, nullptr),
            "GetFontInformation(Arial,0);\n"),
      // ---- queries and retrieval, with null output pointers too
      TAKE(F(GetCharacterCount)(-1), 0, "GetCharacterCount(-1);\n"),
      TAKE(F(GetTextLineCount)(), 1, "GetTextLineCount();\n"),
      TAKE(F(GetMaximumDecent)(), 0, "GetMaximumDecent();\n"),
      TAKE(F(GetPathLengthOfCharacters)(), 0, "GetPathLengthOfCharacters();\n"),
      KEEP(none, F(GetCharacterLineGapInfo)(nullptr), 0, "GetCharacterLineGapInfo();\n"),
      KEEPV(none, F(GetTotalBoundingBox)(nullptr), "GetTotalBoundingBox();\n"),
      KEEP(none, F(GetCaretPositionData)(nullptr) > 0, 1, "GetCaretPositionData();\n"),
      KEEP(none, F(GetMultilineCaretPositionData)(nullptr, nullptr, nullptr), 2,
           "GetMultilineCaretPositionData();\n"),
      KEEP(none, F(GetOutLines)(-1, EN_RT_BORDER, nullptr, nullptr) > 0, 1,
           "GetOutLines(-1,0,...)\n********************\nPrepareArrayData()\nNo = *, Data = 0 \n"
           "Finishing GetOutLines\n********************\n"),
      KEEP(none, F(GetMultilineOutLines)(-1, EN_RT_BORDER, nullptr, nullptr) > 0, 1,
           "GetMultilineOutLines(-1,0,...);\n********************\nNo = *, Data = 0 \n"
           "Finishing GetMultilineOutLines\n********************\n"),
      KEEP(none, F(GetCustomFontRange)(nullptr) > 0, 1, "GetCustomFont();\n"),
      KEEPV(none, F(DeleteTTFData)(nullptr), "DeleteTTFData();\n"),
      KEEPV(none, F(DeleteCaretData)(nullptr), "DeleteCaretData();\n"),
      // ---- text path
      KEEP(path, F(SetNurbPathPolyline)(polyline, 4, kNaN), 0, "SetNurbPathPolyline();\n"),
      KEEP(path, F(SetNurbPathPolyline)(bad_polyline, 4, 0.0f), 0, "SetNurbPathPolyline();\n"),
      KEEP(path, F(SetNurbPathPolyline)(nullptr, 4, 0.0f), 0, "SetNurbPathPolyline();\n"),
      // Refused before the caller's arrays are scaled.
      KEEP(path, F(SetNurbPathPoints)(1, 2, nx, ny, nw, 4, knots, kInf) + nx[1] - 10, 0,
           "SetNurbPathPoints();\n"),
      KEEP(path, F(SetNurbPathPoints)(1, 2, nullptr, ny, nw, 4, knots, 0.0f), 0,
           "SetNurbPathPoints();\n"),
      // All weights negative: the same curve as all positive, so it is taken.
      TAKE(F(SetNurbPathPoints)(1, 2, mx, my, mw, 4, knots, 0.0f), 1, "SetNurbPathPoints();\n"),
      KEEP(path, F(SetNurbPathCircleCW)(kNaN, 0.0f, 0.0f, 0.0f), 0,
           "SetNurbPathCircleCW(nan,0.000000,0.000000,0.000000);\nSetNurbPathPoints();\n"),
      KEEP(path, F(SetNurbPathCircleCCW)(5.0f, 0.0f, 0.0f, kInf), 0,
           "SetNurbPathCircleCCW(5.000000,0.000000,0.000000,inf);\nSetNurbPathPoints();\n"),
      TAKE(F(SetNurbPathCircleCCW)(1.0f, 2.0f, 3.0f, 0.5f), 1,
           "SetNurbPathCircleCCW(1.000000,2.000000,3.000000,0.500000);\nSetNurbPathPoints();\n"),
      // ---- hatch patterns
      // A line gap that is infinite once scaled by the unit.
      KEEP(none,
           F(AddTTFHatchPatternLine)(0, BORDER_GAP_INWARD, 1e36f, 0, 0, 0, HATCH_UNIDIRECTIONAL,
                                     EN_FALSE),
           0,
           "AddTTFHatchPatternLine(0.000000,0,999999961690316245365415600208216064.000000,0.000000,"
           "0.000000)\n"),
      KEEP(none, F(AddTTFHatchPatternOptimized)(0, BORDER_GAP_INWARD, 0.05f, 0, kInf, HATCH_DOUBLE),
           0, "AddTTFHatchPatternOptimized(0.000000, 0, 0.050000, 0.000000, inf, 3);\n"),
      KEEP(none, F(AddTTFHatchPatternOffsetFilling)(kNaN, EN_OFFSET_OUTSIDE_IN), 0,
           "AddTTFHatchPatternOffsetFilling(nan,0)\n"),
      KEEP(none,
           F(AddTTFHatchPatternHelixFillingEx)(-kInf, EN_HELIX_OUTSIDE_IN, EN_OFFSET_DIRECT,
                                               EN_CORNER_MITER, 0, 0),
           0, "AddTTFHatchPatternHelixFillingEx(-inf,0,0);\n"),
      KEEP(none, F(AddTTFHatchPatternLattice)(kNaN, 0.05f, 0, 0, 0, true), 0,
           "AddHatchPatternLattice2(nan, 0.050000, 0.000000, 0.000000, 0.000000, 1);\n"),
      TAKE(F(AddTTFHatchPatternLine)(0.1f, BORDER_GAP_OUTWARD, 0.05f, 0.5f, 1, 2, HATCH_SERPENTINE,
                                     EN_TRUE),
           1, "AddTTFHatchPatternLine(0.100000,1,0.050000,0.500000,1.000000)\n"),
      TAKE(F(AddTTFHatchPatternLineEx)(0.1f, BORDER_GAP_INWARD, 0.05f, 0.5f, 1, 2, HATCH_DOUBLE,
                                       EN_TRUE, EN_OFFSET_CLEANUP, EN_CORNER_ROUND, 7, 8),
           1, "AddTTFHatchPatternLineEx(0.100000,0,0.050000,0.500000,1.000000,2.000000,3,1,1);\n"),
      TAKE(F(AddTTFHatchPatternOptimized)(0.1f, BORDER_GAP_OUTWARD, 0.05f, 0.5f, 0.2f,
                                          HATCH_SERPENTINE_CONNECTED),
           1, "AddTTFHatchPatternOptimized(0.100000, 1, 0.050000, 0.500000, 0.200000, 2);\n"),
      TAKE(F(AddTTFHatchPatternIncremental)(0.1f, BORDER_GAP_INWARD, 0.05f, 0.5f, 0.25f, 3,
                                            HATCH_TWO_PASSES),
           1, "AddTTFHatchPatternIncremental(0.100000, 0, 0.050000, 0.500000, 0.250000, 3, 4);\n"),
      TAKE(F(AddTTFHatchPatternOffsetFilling)(0.5f, EN_OFFSET_INSIDE_OUT), 1,
           "AddTTFHatchPatternOffsetFilling(0.500000,1)\n"),
      TAKE(F(AddTTFHatchPatternOffsetFillingEx)(0.5f, EN_OFFSET_OUTSIDE_IN, EN_OFFSET_CLEANUP,
                                                EN_CORNER_ROUND, 4, 5),
           1, "AddTTFHatchPatternOffsetFillingEx(0.500000,0,2,1);\n"),
      TAKE(F(AddTTFHatchPatternOffsetInOut)(0.5f, 2, 0.25f, 3), 1,
           "AddTTFHatchPatternOffsetInOut(0.500000,2,0.250000,3)\n"),
      TAKE(F(AddTTFHatchPatternOffsetInOutEx)(0.5f, 2, 0.25f, 3, EN_OFFSET_CLEANUP, EN_CORNER_BEVEL,
                                              6, 9),
           1, "AddTTFHatchPatternOffsetInOutEx(0.500000,2,0.250000,3,1);\n"),
      TAKE(F(AddTTFHatchPatternHelixFillingEx)(0.5f, EN_HELIX_INSIDE_OUT, EN_OFFSET_CLEANUP,
                                               EN_CORNER_ROUND, 11, 12),
           1, "AddTTFHatchPatternHelixFillingEx(0.500000,11,12);\n"),
      TAKE(F(AddTTFHatchPatternLattice)(1, 2, 45, 3, 4, true), 1,
           "AddHatchPatternLattice2(1.000000, 2.000000, 45.000000, 3.000000, 4.000000, 1);\n"),
      TAKE(F(ClearTTFHatchPatterns)(), 1, "ClearTTFHatchPatterns();\n"),
      TAKE(F(IncludeBorder)(EN_FALSE), 1, "IncludeBorder((EN_Bool)0);\n"),
  };
}

bool TraceMatches(const std::string& expected, const std::string& got) {
  std::string pattern = std::regex_replace(expected, std::regex(R"([\\^$.|?+()[\]{}])"), "\\$&");
  pattern = std::regex_replace(pattern, std::regex("\\*"), "[^\n]*");
  return std::regex_match(got,
                          std::regex(std::regex_replace(pattern, std::regex("~"), "[\\s\\S]*")));
}

}  // namespace

TEST(Misuse, EveryExportAtTheBoundaryGivesItsResultTraceAndDrawing) {
  LoadedLibrary lib({"TTFLog.txt"});
  for (const Row& row : Rows()) {
    SCOPED_TRACE(row.name);
    VZ(lib, InitializeTTF)(1000.0f);
    VZ(lib, SetDefaults)();
    VZ(lib, AddTTFHatchPatternLine)
    (0.0f, BORDER_GAP_INWARD, 0.05f, 0.5f, 0.0f, 0.0f, HATCH_SERPENTINE, EN_FALSE);
    row.setup(lib);
    const std::string before = row.keeps ? Draw(lib) : "";
    const std::size_t traced = lib.Read("TTFLog.txt").size();
    EXPECT_EQ(row.call(lib), row.expected);
    const std::string trace = lib.Read("TTFLog.txt").substr(traced);
    EXPECT_TRUE(TraceMatches(row.trace, trace)) << "trace: " << trace;
    const std::string after = Draw(lib);
    EXPECT_TRUE(!row.keeps || (after == before && after.size() > 200)) << "changed or empty";
  }
}
