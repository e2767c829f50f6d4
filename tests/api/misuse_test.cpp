// Misuse at the C boundary (docs/decisions.md, "Misuse at the C boundary"):
// floats that are NaN or infinite, negative counts, null arrays with positive
// counts and null output pointers. Each row calls one export with bad
// arguments on a library loaded as a host loads it, and checks
//   - the export's refusal result,
//   - the trace line the call writes (refused calls trace like any other),
//   - that nothing was damaged: the drawing of a fixed text (outlines, hatch
//     fill, box and carets) is the same before and after the call.
// Rows with a `same_as` call are values that are taken, not refused: their
// drawing must be the one that the plain equivalent call gives.
// `old` marks the rows that fail on the library before this guard existed
// (true) and the rows that check a case that was already safe (false).
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "LoadedLibrary.h"
#include "vuzodo/vuzodo.h"

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();
// The result column of exports without a result.
constexpr int kVoid = -12345;

// What the library draws for a fixed two-line text with a tab: every stream
// of the placed outlines, the text box and the placed carets.
struct Scene {
  std::vector<int> records;
  std::vector<float> box;
  std::vector<unsigned char> carets;  // bytes of the CursorPosition records
  float top = 0.0f;
  int lines = 0;
  float path_length = 0.0f;

  bool operator==(const Scene& o) const {
    return records == o.records && box.size() == o.box.size() &&
           std::memcmp(box.data(), o.box.data(), box.size() * sizeof(float)) == 0 &&
           carets == o.carets && std::memcmp(&top, &o.top, sizeof top) == 0 &&
           lines == o.lines && std::memcmp(&path_length, &o.path_length, sizeof(float)) == 0;
  }
};

Scene Draw(LoadedLibrary& lib) {
  Scene scene;
  VZ(lib, FinishText)();
  std::u16string text = Wide("H\tH\nHH");
  VZ(lib, AppendCharactersEx)(W(text));
  int* data = nullptr;
  float box[10] = {};
  const int n =
      VZ(lib, GetMultilineOutLines)(-1, EN_RT_BORDER_POLYLINES_FILL, &data, box);
  if (data != nullptr) scene.records.assign(data, data + n);
  VZ(lib, DeleteTTFData)(data);
  scene.box.assign(box, box + 8);
  CursorPosition* carets = nullptr;
  int count = 0;
  scene.lines = VZ(lib, GetMultilineCaretPositionData)(&carets, &count, &scene.top);
  const auto* bytes = reinterpret_cast<const unsigned char*>(carets);
  if (carets != nullptr) scene.carets.assign(bytes, bytes + count * sizeof(CursorPosition));
  VZ(lib, DeleteCaretData)(reinterpret_cast<float*>(carets));
  scene.path_length = VZ(lib, GetPathLengthOfCharacters)();
  return scene;
}

using Step = std::function<void(LoadedLibrary&)>;
using Call = std::function<int(LoadedLibrary&)>;

struct Row {
  const char* name;
  bool old;  // fails on the library before the misuse guards
  Step setup;
  Call call;
  int expected;
  std::string trace;       // written by the call alone
  Call same_as = nullptr;  // taken values: the call that must draw the same
};

// A state in which the path settings show: path text along a polyline.
void PathSetup(LoadedLibrary& lib) {
  VZ(lib, SetModePathText)();
  float points[6] = {0.0f, 0.0f, 5.0f, 1.0f, 10.0f, 0.0f};
  ASSERT_EQ(VZ(lib, SetNurbPathPolyline)(points, 6, 0.25f), 1);
}

// Valid arrays of a straight NURBS path, degree 1, two control points.
struct Nurbs {
  float x[2] = {0.0f, 10.0f};
  float y[2] = {0.0f, 0.0f};
  float w[2] = {1.0f, 1.0f};
  float knots[4] = {0.0f, 0.0f, 1.0f, 1.0f};
};

std::vector<Row> Rows() {
  static std::u16string arial = Wide("Arial");
  static float polyline[4] = {0.0f, 0.0f, 10.0f, 0.0f};
  static float bad_polyline[4] = {0.0f, 0.0f, kInf, 0.0f};
  static float stops[2] = {kNaN, 3.0f};
  static int codes[3] = {'A', 'B', 'C'};
  static Nurbs nurbs;
  const Step none = [](LoadedLibrary&) {};
  const Step vertical = [](LoadedLibrary& lib) { VZ(lib, SetModeVertical)(); };
  const Step centred = [](LoadedLibrary& lib) {
    VZ(lib, SetTextBoxWidth)(20.0f);
    VZ(lib, SetTextBoxHeight)(10.0f);
    VZ(lib, SetTextHorizontalAlign)(EN_HALIGN_CENTER);
    VZ(lib, SetTextVerticalAlign)(EN_VALIGN_MIDDLE);
  };
  const Step tabs = [](LoadedLibrary& lib) { VZ(lib, SetIndentPositions)(nullptr, 0); };
  const Step path = PathSetup;
  // Calls of exports without a result report kVoid.
  auto v = [](std::function<void(LoadedLibrary&)> f) -> Call {
    return [f](LoadedLibrary& lib) {
      f(lib);
      return kVoid;
    };
  };
  return {
      // ---- settings
      {"InitializeTTF(NaN)", true, none,
       v([](LoadedLibrary& lib) { VZ(lib, InitializeTTF)(kNaN); }), kVoid,
       "InitializeTTF(nan);\n"},
      {"InitializeTTF(+inf)", true, none,
       v([](LoadedLibrary& lib) { VZ(lib, InitializeTTF)(kInf); }), kVoid,
       "InitializeTTF(inf);\n"},
      {"InitializeTTF(-inf)", true, none,
       v([](LoadedLibrary& lib) { VZ(lib, InitializeTTF)(-kInf); }), kVoid,
       "InitializeTTF(-inf);\n"},
      {"SetTextHeight(NaN)", false, none,
       [](LoadedLibrary& lib) { return VZ(lib, SetTextHeight)(kNaN); }, 0,
       "SetTextHeight(nan);\n"},
      {"SetTextHeight(+inf)", true, none,
       [](LoadedLibrary& lib) { return VZ(lib, SetTextHeight)(kInf); }, 0,
       "SetTextHeight(inf);\n"},
      {"SetTextHeight(-inf)", false, none,
       [](LoadedLibrary& lib) { return VZ(lib, SetTextHeight)(-kInf); }, 0,
       "SetTextHeight(-inf);\n"},
      {"SetHorizontalCharGap(NaN)", true, none,
       [](LoadedLibrary& lib) { return VZ(lib, SetHorizontalCharGap)(kNaN); }, 0,
       "SetHorizontalCharGap(nan);\n"},
      {"SetHorizontalCharGap(+inf)", true, none,
       [](LoadedLibrary& lib) { return VZ(lib, SetHorizontalCharGap)(kInf); }, 0,
       "SetHorizontalCharGap(inf);\n"},
      {"SetVerticalCharGap(-inf), vertical mode", true, vertical,
       [](LoadedLibrary& lib) { return VZ(lib, SetVerticalCharGap)(-kInf); }, 0,
       "SetVerticalCharGap(-inf);\n"},
      {"SetCharacterAngle(NaN)", true, none,
       [](LoadedLibrary& lib) { return VZ(lib, SetCharacterAngle)(kNaN); }, 0,
       "SetCharacterAngle(nan);\n"},
      {"SetCharacterAngle(+inf)", true, none,
       [](LoadedLibrary& lib) { return VZ(lib, SetCharacterAngle)(kInf); }, 0,
       "SetCharacterAngle(inf);\n"},
      {"SetObliqueAngle(NaN)", true, none,
       [](LoadedLibrary& lib) { return VZ(lib, SetObliqueAngle)(kNaN); }, 0,
       "SetObliqueAngle(nan);\n"},
      {"SetObliqueAngle(+inf)", false, none,
       [](LoadedLibrary& lib) { return VZ(lib, SetObliqueAngle)(kInf); }, 0,
       "SetObliqueAngle(inf);\n"},
      {"SetCharacterScale(+inf, 1)", true, none,
       [](LoadedLibrary& lib) { return VZ(lib, SetCharacterScale)(kInf, 1.0f); }, 0,
       "SetCharacterScale(inf,1.000000);\n"},
      {"SetCharacterScale(1, NaN)", false, none,
       [](LoadedLibrary& lib) { return VZ(lib, SetCharacterScale)(1.0f, kNaN); }, 0,
       "SetCharacterScale(1.000000,nan);\n"},
      {"SetPropsSubscript(+inf, 10), subscript mode", true,
       [](LoadedLibrary& lib) { VZ(lib, SetModeSubscript)(); },
       [](LoadedLibrary& lib) { return VZ(lib, SetPropsSubscript)(kInf, 10.0f); }, 0,
       "SetPropsSubscript(inf,10.000000);\n"},
      {"SetPropsSubscript(NaN, 10)", false,
       [](LoadedLibrary& lib) { VZ(lib, SetModeSubscript)(); },
       [](LoadedLibrary& lib) { return VZ(lib, SetPropsSubscript)(kNaN, 10.0f); }, 0,
       "SetPropsSubscript(nan,10.000000);\n"},
      {"SetPropsSuperscript(50, +inf), superscript mode", true,
       [](LoadedLibrary& lib) { VZ(lib, SetModeSuperscript)(); },
       [](LoadedLibrary& lib) { return VZ(lib, SetPropsSuperscript)(50.0f, kInf); }, 0,
       "SetPropsSuperscript(50.000000,inf);\n"},
      {"SetTextBoxWidth(NaN), centred", true, centred,
       [](LoadedLibrary& lib) { return VZ(lib, SetTextBoxWidth)(kNaN); }, 0,
       "SetTextBoxWidth(nan);\n"},
      {"SetTextBoxHeight(+inf), centred", true, centred,
       [](LoadedLibrary& lib) { return VZ(lib, SetTextBoxHeight)(kInf); }, 0,
       "SetTextBoxHeight(inf);\n"},
      {"SetLineSpacing(NaN)", true, none,
       [](LoadedLibrary& lib) { return VZ(lib, SetLineSpacing)(kNaN); }, 0,
       "SetLineSpacing(nan);\n"},
      {"SetLineSpacing(-inf)", true, none,
       [](LoadedLibrary& lib) { return VZ(lib, SetLineSpacing)(-kInf); }, 0,
       "SetLineSpacing(-inf);\n"},
      {"SetPathTextSpacing(NaN), path text", true, path,
       [](LoadedLibrary& lib) {
         return VZ(lib, SetPathTextSpacing)(std::numeric_limits<double>::quiet_NaN());
       },
       0, "SetPathTextSpacing(nan);\n"},
      {"SetPathTextSpacing(+inf), path text", true, path,
       [](LoadedLibrary& lib) {
         return VZ(lib, SetPathTextSpacing)(std::numeric_limits<double>::infinity());
       },
       0, "SetPathTextSpacing(inf);\n"},
      {"SetIndentPositions({NaN, 3}, 2)", true, tabs,
       [](LoadedLibrary& lib) { return VZ(lib, SetIndentPositions)(stops, 2); }, 0,
       "float indentList[2] = {nanf,3.000000f,};\nSetIndentPositions(indentList, 2);\n"},
      {"SetIndentPositions(null, 3)", false, tabs,
       [](LoadedLibrary& lib) { return VZ(lib, SetIndentPositions)(nullptr, 3); }, 0,
       "float indentList[3] = {};\nSetIndentPositions(indentList, 3);\n"},
      {"SetIndentPositions(list, -1)", false, tabs,
       [](LoadedLibrary& lib) { return VZ(lib, SetIndentPositions)(stops, -1); }, 0,
       "float indentList[-1] = {};\nSetIndentPositions(indentList, -1);\n"},
      // ---- text entry and fonts
      {"SetFontFace(null)", false, none,
       [](LoadedLibrary& lib) { return VZ(lib, SetFontFace)(nullptr); }, 0, ""},
      {"AppendCharactersEx(null)", false, none,
       [](LoadedLibrary& lib) { return VZ(lib, AppendCharactersEx)(nullptr); }, 0, ""},
      {"AppendCharacters(null)", false, none,
       [](LoadedLibrary& lib) { return VZ(lib, AppendCharacters)(nullptr); }, 0, ""},
      {"LoadCharacterSet(face, null codes, 5)", false, none,
       v([](LoadedLibrary& lib) { VZ(lib, LoadCharacterSet)(W(arial), EN_STYLE_REGULAR, nullptr, 5); }),
       kVoid, "LoadCharacterSet(Arial,0);\n"},
      {"LoadCharacterSet(face, codes, -3)", false, none,
       v([](LoadedLibrary& lib) { VZ(lib, LoadCharacterSet)(W(arial), EN_STYLE_REGULAR, codes, -3); }),
       kVoid, "LoadCharacterSet(Arial,0);\n"},
      {"UnloadFont(null)", false, none,
       v([](LoadedLibrary& lib) { VZ(lib, UnloadFont)(nullptr, EN_STYLE_REGULAR); }), kVoid,
       "UnloadFont((null),0);\n"},
      {"GetFontInformation(face, null out)", false, none,
       v([](LoadedLibrary& lib) { VZ(lib, GetFontInformation)(W(arial), EN_STYLE_REGULAR, nullptr); }),
       kVoid, "GetFontInformation(Arial,0);\n"},
      // ---- retrieval with null output pointers
      {"GetTotalBoundingBox(null)", false, none,
       v([](LoadedLibrary& lib) { VZ(lib, GetTotalBoundingBox)(nullptr); }), kVoid,
       "GetTotalBoundingBox();\n"},
      {"GetCaretPositionData(null)", false, none,
       [](LoadedLibrary& lib) { return VZ(lib, GetCaretPositionData)(nullptr) > 0 ? 1 : 0; }, 1,
       "GetCaretPositionData();\n"},
      {"GetMultilineCaretPositionData(null, null, null)", false, none,
       [](LoadedLibrary& lib) {
         return VZ(lib, GetMultilineCaretPositionData)(nullptr, nullptr, nullptr);
       },
       2, "GetMultilineCaretPositionData();\n"},
      {"GetCharacterLineGapInfo(null)", false, none,
       [](LoadedLibrary& lib) { return VZ(lib, GetCharacterLineGapInfo)(nullptr); }, 0,
       "GetCharacterLineGapInfo();\n"},
      {"GetOutLines(-1, border, null, null)", false, none,
       [](LoadedLibrary& lib) {
         return VZ(lib, GetOutLines)(-1, EN_RT_BORDER, nullptr, nullptr) > 0 ? 1 : 0;
       },
       1,
       "GetOutLines(-1,0,...)\n********************\nPrepareArrayData()\nNo = COUNT, Data = 0 \n"
       "Finishing GetOutLines\n********************\n"},
      {"GetOutLinesEx(0, fill, null, null)", false, none,
       [](LoadedLibrary& lib) {
         return VZ(lib, GetOutLinesEx)(0, EN_RT_FILL, nullptr, nullptr) > 0 ? 1 : 0;
       },
       1,
       "GetOutLinesEx(0,1,...);\n********************\nNo = COUNT, Data = 0 \n"
       "Finishing GetOutLinesEx\n********************\n"},
      {"GetMultilineOutLines(-1, border, null, null)", false, none,
       [](LoadedLibrary& lib) {
         return VZ(lib, GetMultilineOutLines)(-1, EN_RT_BORDER, nullptr, nullptr) > 0 ? 1 : 0;
       },
       1,
       "GetMultilineOutLines(-1,0,...);\n********************\nNo = COUNT, Data = 0 \n"
       "Finishing GetMultilineOutLines\n********************\n"},
      {"GetCustomFontRange(null)", false, none,
       [](LoadedLibrary& lib) { return VZ(lib, GetCustomFontRange)(nullptr) > 0 ? 1 : 0; }, 1,
       "GetCustomFont();\n"},
      {"DeleteTTFData(null)", false, none,
       v([](LoadedLibrary& lib) { VZ(lib, DeleteTTFData)(nullptr); }), kVoid,
       "DeleteTTFData();\n"},
      {"DeleteCaretData(null)", false, none,
       v([](LoadedLibrary& lib) { VZ(lib, DeleteCaretData)(nullptr); }), kVoid,
       "DeleteCaretData();\n"},
      // ---- text path
      {"SetNurbPathPolyline(points, 4, start NaN), path text", true, path,
       [](LoadedLibrary& lib) { return VZ(lib, SetNurbPathPolyline)(polyline, 4, kNaN); }, 0,
       "SetNurbPathPolyline();\n"},
      {"SetNurbPathPolyline(inf point), path text", false, path,
       [](LoadedLibrary& lib) { return VZ(lib, SetNurbPathPolyline)(bad_polyline, 4, 0.0f); },
       0, "SetNurbPathPolyline();\n"},
      {"SetNurbPathPolyline(points, -4), path text", false, path,
       [](LoadedLibrary& lib) { return VZ(lib, SetNurbPathPolyline)(polyline, -4, 0.0f); }, 0,
       "SetNurbPathPolyline();\n"},
      {"SetNurbPathPolyline(null, 4), path text", false, path,
       [](LoadedLibrary& lib) { return VZ(lib, SetNurbPathPolyline)(nullptr, 4, 0.0f); }, 0,
       "SetNurbPathPolyline();\n"},
      {"SetNurbPathPoints(start +inf), path text", true, path,
       [](LoadedLibrary& lib) {
         Nurbs n = nurbs;
         const int r = VZ(lib, SetNurbPathPoints)(1, 2, n.x, n.y, n.w, 4, n.knots, kInf);
         // the caller's arrays stay as they were
         return r == 0 && std::memcmp(&n, &nurbs, sizeof n) == 0 ? 0 : 1;
       },
       0, "SetNurbPathPoints();\n"},
      {"SetNurbPathPoints(count -2), path text", false, path,
       [](LoadedLibrary& lib) {
         Nurbs n = nurbs;
         return VZ(lib, SetNurbPathPoints)(1, -2, n.x, n.y, n.w, 1, n.knots, 0.0f);
       },
       0, "SetNurbPathPoints();\n"},
      {"SetNurbPathPoints(null x), path text", false, path,
       [](LoadedLibrary& lib) {
         Nurbs n = nurbs;
         return VZ(lib, SetNurbPathPoints)(1, 2, nullptr, n.y, n.w, 4, n.knots, 0.0f);
       },
       0, "SetNurbPathPoints();\n"},
      // All weights negative: the same curve as all positive, so it is taken.
      {"SetNurbPathPoints(weights -1), path text", false, path,
       [](LoadedLibrary& lib) {
         float x[2] = {-0.0f, -10.0f}, y[2] = {-0.0f, -0.0f}, w[2] = {-1.0f, -1.0f};
         Nurbs n = nurbs;
         return VZ(lib, SetNurbPathPoints)(1, 2, x, y, w, 4, n.knots, 0.0f);
       },
       1, "SetNurbPathPoints();\n",
       [](LoadedLibrary& lib) {
         Nurbs n = nurbs;
         return VZ(lib, SetNurbPathPoints)(1, 2, n.x, n.y, n.w, 4, n.knots, 0.0f);
       }},
      {"SetNurbPathCircleCW(NaN radius), path text", false, path,
       [](LoadedLibrary& lib) { return VZ(lib, SetNurbPathCircleCW)(kNaN, 0.0f, 0.0f, 0.0f); }, 0,
       "SetNurbPathCircleCW(nan,0.000000,0.000000,0.000000);\nSetNurbPathPoints();\n"},
      {"SetNurbPathCircleCCW(start angle +inf), path text", false, path,
       [](LoadedLibrary& lib) { return VZ(lib, SetNurbPathCircleCCW)(5.0f, 0.0f, 0.0f, kInf); },
       0, "SetNurbPathCircleCCW(5.000000,0.000000,0.000000,inf);\nSetNurbPathPoints();\n"},
      {"SetNurbPathCircleCW(centre -inf), path text", false, path,
       [](LoadedLibrary& lib) { return VZ(lib, SetNurbPathCircleCW)(5.0f, -kInf, 0.0f, 0.0f); },
       0, "SetNurbPathCircleCW(5.000000,-inf,0.000000,0.000000);\nSetNurbPathPoints();\n"},
      // ---- hatch patterns
      {"AddTTFHatchPatternLine(line gap NaN)", true, none,
       [](LoadedLibrary& lib) {
         return VZ(lib, AddTTFHatchPatternLine)(0.0f, BORDER_GAP_INWARD, kNaN, 0.0f, 0.0f, 0.0f,
                                                HATCH_UNIDIRECTIONAL, EN_FALSE);
       },
       0, "AddTTFHatchPatternLine(0.000000,0,nan,0.000000,0.000000)\n"},
      {"AddTTFHatchPatternLine(angle +inf)", true, none,
       [](LoadedLibrary& lib) {
         return VZ(lib, AddTTFHatchPatternLine)(0.0f, BORDER_GAP_INWARD, 0.05f, kInf, 0.0f, 0.0f,
                                                HATCH_UNIDIRECTIONAL, EN_FALSE);
       },
       0, "AddTTFHatchPatternLine(0.000000,0,0.050000,inf,0.000000)\n"},
      {"AddTTFHatchPatternLine(line gap 1e36: infinite once scaled)", true, none,
       [](LoadedLibrary& lib) {
         return VZ(lib, AddTTFHatchPatternLine)(0.0f, BORDER_GAP_INWARD, 1e36f, 0.0f, 0.0f, 0.0f,
                                                HATCH_UNIDIRECTIONAL, EN_FALSE);
       },
       0,
       "AddTTFHatchPatternLine(0.000000,0,999999961690316245365415600208216064.000000,0.000000,"
       "0.000000)\n"},
      {"AddTTFHatchPatternLineEx(base x NaN)", true, none,
       [](LoadedLibrary& lib) {
         return VZ(lib, AddTTFHatchPatternLineEx)(0.0f, BORDER_GAP_INWARD, 0.05f, 0.0f, kNaN,
                                                  0.0f, HATCH_SERPENTINE, EN_TRUE,
                                                  EN_OFFSET_DIRECT, EN_CORNER_MITER, 0, 0);
       },
       0,
       "AddTTFHatchPatternLineEx(0.000000,0,0.050000,0.000000,nan,0.000000,1,1,0);\n"},
      {"AddTTFHatchPatternOptimized(max link +inf)", true, none,
       [](LoadedLibrary& lib) {
         return VZ(lib, AddTTFHatchPatternOptimized)(0.0f, BORDER_GAP_INWARD, 0.05f, 0.0f, kInf,
                                                     HATCH_DOUBLE);
       },
       0, "AddTTFHatchPatternOptimized(0.000000, 0, 0.050000, 0.000000, inf, 3);\n"},
      {"AddTTFHatchPatternIncremental(angle step NaN)", true, none,
       [](LoadedLibrary& lib) {
         return VZ(lib, AddTTFHatchPatternIncremental)(0.0f, BORDER_GAP_INWARD, 0.05f, 0.0f, kNaN,
                                                       2, HATCH_UNIDIRECTIONAL);
       },
       0, "AddTTFHatchPatternIncremental(0.000000, 0, 0.050000, 0.000000, nan, 2, 0);\n"},
      // Counts <= 0 are the hatching library's "none": forwarded, not refused.
      {"AddTTFHatchPatternIncremental(passes -1)", false, none,
       [](LoadedLibrary& lib) {
         return VZ(lib, AddTTFHatchPatternIncremental)(0.0f, BORDER_GAP_INWARD, 0.05f, 0.0f, 0.5f,
                                                       -1, HATCH_UNIDIRECTIONAL);
       },
       1, "AddTTFHatchPatternIncremental(0.000000, 0, 0.050000, 0.000000, 0.500000, -1, 0);\n",
       [](LoadedLibrary& lib) {
         return VZ(lib, AddTTFHatchPatternIncremental)(0.0f, BORDER_GAP_INWARD, 0.05f, 0.0f, 0.5f,
                                                       0, HATCH_UNIDIRECTIONAL);
       }},
      {"AddTTFHatchPatternOffsetFilling(NaN)", true, none,
       [](LoadedLibrary& lib) {
         return VZ(lib, AddTTFHatchPatternOffsetFilling)(kNaN, EN_OFFSET_OUTSIDE_IN);
       },
       0, "AddTTFHatchPatternOffsetFilling(nan,0)\n"},
      {"AddTTFHatchPatternOffsetFillingEx(+inf)", true, none,
       [](LoadedLibrary& lib) {
         return VZ(lib, AddTTFHatchPatternOffsetFillingEx)(kInf, EN_OFFSET_OUTSIDE_IN,
                                                           EN_OFFSET_CLEANUP, EN_CORNER_ROUND, 0,
                                                           0);
       },
       0, "AddTTFHatchPatternOffsetFillingEx(inf,0,2,1);\n"},
      {"AddTTFHatchPatternOffsetInOut(inside count -1)", false, none,
       [](LoadedLibrary& lib) {
         return VZ(lib, AddTTFHatchPatternOffsetInOut)(0.02f, -1, 0.02f, 2);
       },
       1, "AddTTFHatchPatternOffsetInOut(0.020000,-1,0.020000,2)\n",
       [](LoadedLibrary& lib) {  // the outside rings, nothing inside
         return VZ(lib, AddTTFHatchPatternOffsetInOut)(0.02f, 0, 0.02f, 2);
       }},
      {"AddTTFHatchPatternOffsetInOutEx(outside gap NaN)", true, none,
       [](LoadedLibrary& lib) {
         return VZ(lib, AddTTFHatchPatternOffsetInOutEx)(0.02f, 1, kNaN, 1, EN_OFFSET_DIRECT,
                                                         EN_CORNER_BEVEL, 0, 0);
       },
       0, "AddTTFHatchPatternOffsetInOutEx(0.020000,1,nan,1,1);\n"},
      {"AddTTFHatchPatternHelixFillingEx(-inf)", true, none,
       [](LoadedLibrary& lib) {
         return VZ(lib, AddTTFHatchPatternHelixFillingEx)(-kInf, EN_HELIX_OUTSIDE_IN,
                                                          EN_OFFSET_DIRECT, EN_CORNER_MITER, 0, 0);
       },
       0, "AddTTFHatchPatternHelixFillingEx(-inf,0,0);\n"},
      {"AddTTFHatchPatternLattice(gap u NaN)", true, none,
       [](LoadedLibrary& lib) {
         return VZ(lib, AddTTFHatchPatternLattice)(kNaN, 0.05f, 0.0f, 0.0f, 0.0f, true);
       },
       0, "AddHatchPatternLattice2(nan, 0.050000, 0.000000, 0.000000, 0.000000, 1);\n"},
  };
}

// Replaces "COUNT" in an expected trace by the number the log shows there.
bool TraceMatches(const std::string& expected, const std::string& got) {
  const auto at = expected.find("COUNT");
  if (at == std::string::npos) return expected == got;
  if (got.compare(0, at, expected, 0, at) != 0) return false;
  std::size_t end = at;
  while (end < got.size() && (std::isdigit(static_cast<unsigned char>(got[end])) != 0)) ++end;
  return end > at && got.substr(end) == expected.substr(at + 5);
}

}  // namespace

TEST(Misuse, EveryRowGivesItsResultAndDamagesNothing) {
  LoadedLibrary lib({.trace_log = true});
  int failing_old = 0, failing = 0;
  const std::vector<Row> rows = Rows();
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    if (row.old) ++failing_old;
    // A known state: a hatched two-line text, and the row's own settings.
    VZ(lib, InitializeTTF)(1000.0f);
    VZ(lib, SetDefaults)();
    VZ(lib, AddTTFHatchPatternLine)(0.0f, BORDER_GAP_INWARD, 0.05f, 0.5f, 0.0f, 0.0f,
                                    HATCH_SERPENTINE, EN_FALSE);
    row.setup(lib);
    const Scene before = Draw(lib);
    EXPECT_GT(before.records.size(), 20u) << "the drawing is not empty";
    EXPECT_GE(before.lines, 1);

    const std::size_t traced = lib.TraceText().size();
    const int result = row.call(lib);
    const std::string trace = lib.TraceText().substr(traced);

    const bool refused = result == row.expected;
    const bool traced_alike = TraceMatches(row.trace, trace);
    const Scene after = Draw(lib);
    Scene expected = before;
    if (row.same_as) {
      VZ(lib, InitializeTTF)(1000.0f);
      VZ(lib, SetDefaults)();
      VZ(lib, AddTTFHatchPatternLine)(0.0f, BORDER_GAP_INWARD, 0.05f, 0.5f, 0.0f, 0.0f,
                                      HATCH_SERPENTINE, EN_FALSE);
      row.setup(lib);
      EXPECT_EQ(row.same_as(lib), row.expected);
      expected = Draw(lib);
    }
    const bool kept = after == expected;
    EXPECT_TRUE(refused) << "result " << result << ", expected " << row.expected;
    EXPECT_TRUE(traced_alike) << "trace: " << trace;
    EXPECT_TRUE(kept) << (row.same_as ? "not drawn as the equivalent call" : "the drawing changed");
    if (!refused || !traced_alike || !kept) {
      ++failing;
      std::printf("[ misuse ] row failed: %s\n", row.name);
    }
  }
  std::printf("[ misuse ] %zu rows (%d marked as failing before the guards); %d failed now\n",
              rows.size(), failing_old, failing);
}

// Finite but absurd values are taken; what they produce saturates at the int
// range of the records instead of overflowing (the sanitizer build checks
// that no conversion is undefined).
TEST(Misuse, AbsurdFiniteValuesSaturate) {
  LoadedLibrary lib;
  const std::vector<std::function<void(LoadedLibrary&)>> settings = {
      [](LoadedLibrary& lib) { EXPECT_EQ(VZ(lib, SetTextHeight)(1e30f), 1); },
      [](LoadedLibrary& lib) { VZ(lib, InitializeTTF)(3e38f); },
      [](LoadedLibrary& lib) { EXPECT_EQ(VZ(lib, SetHorizontalCharGap)(3e38f), 1); },
      [](LoadedLibrary& lib) { EXPECT_EQ(VZ(lib, SetCharacterScale)(1e30f, 1e30f), 1); },
      [](LoadedLibrary& lib) { EXPECT_EQ(VZ(lib, SetLineSpacing)(-1e30f), 1); },
      [](LoadedLibrary& lib) {
        EXPECT_EQ(VZ(lib, SetTextBoxWidth)(-1e30f), 1);
        VZ(lib, SetTextHorizontalAlign)(EN_HALIGN_RIGHT);
      },
      [](LoadedLibrary& lib) {
        float stops[1] = {1e30f};
        VZ(lib, SetIndentPositions)(stops, 1);
      },
      [](LoadedLibrary& lib) {
        VZ(lib, SetModePathText)();
        float points[4] = {0.0f, 0.0f, 1e30f, 0.0f};
        EXPECT_EQ(VZ(lib, SetNurbPathPolyline)(points, 4, -1e30f), 1);
        EXPECT_EQ(VZ(lib, SetPathTextSpacing)(1e300), 1);
      },
      [](LoadedLibrary& lib) {
        EXPECT_EQ(VZ(lib, AddTTFHatchPatternLine)(0.0f, BORDER_GAP_INWARD, 1e-30f, 0.0f, 1e30f,
                                                  0.0f, HATCH_SERPENTINE, EN_TRUE),
                  1);
      },
  };
  for (std::size_t i = 0; i < settings.size(); ++i) {
    SCOPED_TRACE(i);
    VZ(lib, InitializeTTF)(1000.0f);
    VZ(lib, SetDefaults)();
    settings[i](lib);
    const Scene scene = Draw(lib);
    // Reached without a trap; a drawing, when there is one, is closed by -1.
    if (!scene.records.empty()) {
      EXPECT_EQ(scene.records.back(), -1);
    }
  }
}
