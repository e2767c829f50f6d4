// The exported interface. Every export follows one frame: the argument guard
// that precedes tracing (only the face of SetFontFace and the text of the
// appends), the trace line (VUZODO_TRACE: the format the header gives each
// export, generated with the parameter names), the guard of misuse at the C boundary (floats that
// are NaN or infinite, negative counts, null arrays with positive counts:
// refused with the export's refusal result, see docs/decisions.md), then the
// state access and the result rule.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "Carets.h"
#include "Limits.h"
#include "NurbPath.h"
#include "OutlineCreator.h"
#include "TTFLoader.h"
#include "TTFText.h"
#include "TestUtility.h"
#include "VUZODO.h"
#include "qelhatching/qelhatching.h"
#include "vuzodo/vuzodo.h"
#include "vuzodo_interface.h"

using namespace vuzodo;

namespace {

TTFState* Line() {
  return TTFLoader::Instance().GetCurrentLine();
}

bool IsEmpty(const unsigned short* text) {
  return text == nullptr || text[0] == 0;
}

// The hatching library takes lengths in output units; the scaling is done in
// single precision, as hosts' patterns have always been scaled.
float ToOutput(float value) {
  return value * static_cast<float>(UnitSize());
}

int Flag(EN_Bool b) {
  return b == EN_TRUE ? 1 : 0;
}

// True when every argument is a finite number: NaN and the infinities are
// refused at the boundary rather than stored and multiplied into outlines.
template <typename... T>
bool Finite(T... values) {
  return (std::isfinite(static_cast<double>(values)) && ...);
}

// A length in user units that stays finite once scaled to output units in
// single precision (the hatching library's input).
template <typename... T>
bool FiniteLengths(T... values) {
  return (std::isfinite(ToOutput(values)) && ...);
}

}  // namespace

// ---------------------------------------------------------------------------
// Settings
// ---------------------------------------------------------------------------

void InitializeTTF(float unitSize) try {
  Trace(VUZODO_TRACE(InitializeTTF));
  if (!Finite(unitSize)) return;  // refused: nothing is released, U stays
  TTFLoader& loader = TTFLoader::Instance();
  loader.ReleaseAll();
  loader.Settings().unit_size = unitSize;
  qelhatching::SetUnitSize(unitSize);  // resolution and defaults of the fill
} catch (...) {
}

int SetDefaults() try {
  Trace(VUZODO_TRACE(SetDefaults));
  static const unsigned short kArial[] = {'A', 'r', 'i', 'a', 'l', 0};
  SetFontFace(const_cast<unsigned short*>(kArial));
  SetTextHeight(1.0f);
  SetFontStyle(EN_STYLE_REGULAR);
  SetHorizontalCharGap(0.0f);
  SetVerticalCharGap(0.0f);
  SetCharacterAngle(0.0f);
  SetObliqueAngle(0.0f);
  SetCharacterScale(1.0f, 1.0f);
  SetAutoKern(EN_FALSE);
  SetModeHorizontal();
  SetModeCharacterForward();
  SetModeCharacterUpside();
  SetModeNoscript();
  SetPropsSubscript(100.0f, 100.0f);
  SetPropsSuperscript(100.0f, 100.0f);
  ClearTTFHatchPatterns();
  IncludeBorder(EN_TRUE);
  SetModeWordWrap(EN_FALSE);
  SetTextBoxWidth(0.0f);
  SetTextBoxHeight(0.0f);
  SetIndentPositions(nullptr, 0);
  SetTextHorizontalAlign(EN_HALIGN_LEFT);
  SetTextVerticalAlign(EN_VALIGN_TOP);
  SetLineSpacing(1.0f);
  SetLineSpacingStyle(EN_LINESPACE_PROPORTIONAL);
  return 1;
} catch (...) {
  return 0;
}

int SetFontFace(unsigned short* face) try {
  if (face == nullptr) return 0;
  Trace(VUZODO_TRACE(SetFontFace));
  Line()->SetFaceName(face);
  return 1;
} catch (...) {
  return 0;
}

int SetFontStyle(EN_TTFFontStyle style) try {
  Trace(VUZODO_TRACE(SetFontStyle));
  Line()->font_style = style;
  return 1;
} catch (...) {
  return 0;
}

int SetTextHeight(float height) try {
  Trace(VUZODO_TRACE(SetTextHeight));
  if (!Finite(height)) return 0;
  return Line()->SetTextHeight(height) ? 1 : 0;
} catch (...) {
  return 0;
}

int SetHorizontalCharGap(float gap) try {
  Trace(VUZODO_TRACE(SetHorizontalCharGap));
  if (!Finite(gap)) return 0;
  Line()->SetHorizontalGap(gap, UnitSize());
  return 1;
} catch (...) {
  return 0;
}

int SetVerticalCharGap(float gap) try {
  Trace(VUZODO_TRACE(SetVerticalCharGap));
  if (!Finite(gap)) return 0;
  Line()->SetVerticalGap(gap, UnitSize());
  return 1;
} catch (...) {
  return 0;
}

int SetCharacterAngle(float angle) try {
  Trace(VUZODO_TRACE(SetCharacterAngle));
  if (!Finite(angle)) return 0;
  Line()->character_angle = angle;
  return 1;
} catch (...) {
  return 0;
}

int SetObliqueAngle(float angle) try {
  Trace(VUZODO_TRACE(SetObliqueAngle));
  if (!Finite(angle)) return 0;
  return Line()->SetObliqueAngle(angle) ? 1 : 0;
} catch (...) {
  return 0;
}

int SetCharacterScale(float scaleX, float scaleY) try {
  Trace(VUZODO_TRACE(SetCharacterScale));
  if (!Finite(scaleX, scaleY)) return 0;
  return Line()->SetCharacterScale(scaleX, scaleY) ? 1 : 0;
} catch (...) {
  return 0;
}

int SetAutoKern(EN_Bool on) try {
  Trace(VUZODO_TRACE(SetAutoKern));
  Line()->auto_kern = Flag(on);
  return 1;
} catch (...) {
  return 0;
}

namespace {
int SetTextMode(TextMode mode) {
  Line();  // a first line exists before the mode is set (its creation resets the mode)
  Process().text_mode = mode;
  return 1;
}
}  // namespace

int SetModeHorizontal() try {
  Trace(VUZODO_TRACE(SetModeHorizontal));
  return SetTextMode(TextMode::kHorizontal);
} catch (...) {
  return 0;
}

int SetModeVertical() try {
  Trace(VUZODO_TRACE(SetModeVertical));
  return SetTextMode(TextMode::kVertical);
} catch (...) {
  return 0;
}

int SetModePathText() try {
  Trace(VUZODO_TRACE(SetModePathText));
  return SetTextMode(TextMode::kPath);
} catch (...) {
  return 0;
}

int SetModeCharacterForward() try {
  Trace(VUZODO_TRACE(SetModeCharacterForward));
  Line()->backward = false;
  return 1;
} catch (...) {
  return 0;
}

int SetModeCharacterBackward() try {
  Trace(VUZODO_TRACE(SetModeCharacterBackward));
  Line()->backward = true;
  return 1;
} catch (...) {
  return 0;
}

int SetModeCharacterUpside() try {
  Trace(VUZODO_TRACE(SetModeCharacterUpside));
  Line()->upside_down = false;
  return 1;
} catch (...) {
  return 0;
}

int SetModeCharacterUpsideDown() try {
  Trace(VUZODO_TRACE(SetModeCharacterUpsideDown));
  Line()->upside_down = true;
  return 1;
} catch (...) {
  return 0;
}

int SetModeNoscript() try {
  Trace(VUZODO_TRACE(SetModeNoscript));
  Line()->script_mode = 0;
  return 1;
} catch (...) {
  return 0;
}

int SetModeSubscript() try {
  Trace(VUZODO_TRACE(SetModeSubscript));
  Line()->script_mode = 1;
  return 1;
} catch (...) {
  return 0;
}

int SetModeSuperscript() try {
  Trace(VUZODO_TRACE(SetModeSuperscript));
  Line()->script_mode = 2;
  return 1;
} catch (...) {
  return 0;
}

int SetPropsSubscript(float size, float offset) try {
  Trace(VUZODO_TRACE(SetPropsSubscript));
  if (!Finite(size, offset)) return 0;
  return Line()->SetPropsSubscript(size, offset) ? 1 : 0;
} catch (...) {
  return 0;
}

int SetPropsSuperscript(float size, float offset) try {
  Trace(VUZODO_TRACE(SetPropsSuperscript));
  if (!Finite(size, offset)) return 0;
  return Line()->SetPropsSuperscript(size, offset) ? 1 : 0;
} catch (...) {
  return 0;
}

int SetModeWordWrap(EN_Bool on) try {
  Trace(VUZODO_TRACE(SetModeWordWrap));
  Line()->word_wrap = Flag(on);
  return 1;
} catch (...) {
  return 0;
}

int SetTextBoxWidth(float width) try {
  Trace(VUZODO_TRACE(SetTextBoxWidth));
  if (!Finite(width)) return 0;
  Line();
  Process().text_box_width = width;
  return 1;
} catch (...) {
  return 0;
}

int SetTextBoxHeight(float height) try {
  Trace(VUZODO_TRACE(SetTextBoxHeight));
  if (!Finite(height)) return 0;
  Line();
  Process().text_box_height = height;
  return 1;
} catch (...) {
  return 0;
}

int SetIndentPositions(float* list, int count) try {
  // Written in three pieces so that the log reads as a compilable snippet.
  if (TraceLog() != nullptr) {
    std::fprintf(TraceLog(), "float indentList[%i] = {", count);
    for (int i = 0; list != nullptr && i < count; ++i) std::fprintf(TraceLog(), "%ff,", list[i]);
    std::fprintf(TraceLog(), "};\n");
    Trace(VUZODO_TRACE(SetIndentPositions));
  }
  // A stop that is NaN or infinite refuses the list as a null list does: no
  // tab stops are stored.
  if (list != nullptr && count > 0 &&
      !std::all_of(list, list + count, [](float v) { return Finite(v); })) {
    list = nullptr;
  }
  Line()->SetIndentPositions(list, count);
  return 0;  // stored all the same: the result is not a refusal
} catch (...) {
  return 0;
}

int SetTextHorizontalAlign(EN_TextHorizontalAlignStyle align) try {
  Trace(VUZODO_TRACE(SetTextHorizontalAlign));
  Line()->horizontal_alignment = align;
  return 0;  // stored all the same
} catch (...) {
  return 0;
}

int SetTextVerticalAlign(EN_TextVerticalAlignStyle align) try {
  Trace(VUZODO_TRACE(SetTextVerticalAlign));
  Line();
  Process().vertical_align = align;
  return 0;  // stored all the same
} catch (...) {
  return 0;
}

int SetLineSpacing(float spacing) try {
  Trace(VUZODO_TRACE(SetLineSpacing));
  if (!Finite(spacing)) return 0;
  Line();
  Process().line_spacing = spacing;
  return 1;
} catch (...) {
  return 0;
}

int SetLineSpacingStyle(EN_LineSpaceStyle style) try {
  Trace(VUZODO_TRACE(SetLineSpacingStyle));
  Line();
  Process().line_spacing_style = style;
  return 1;
} catch (...) {
  return 0;
}

int SetFNTConversionMode(EN_FNT_ConvertionStyle mode) try {
  Trace(VUZODO_TRACE(SetFNTConversionMode));
  Line();
  Process().fnt_conversion_mode = mode;
  return 1;
} catch (...) {
  return 0;
}

int SetPathTextAlign(EN_PathTextAlign align) try {
  Trace(VUZODO_TRACE(SetPathTextAlign));
  Line()->path_text_alignment = align;
  return 1;
} catch (...) {
  return 0;
}

int SetPathTextFlip(EN_Bool flip) try {
  Trace(VUZODO_TRACE(SetPathTextFlip));
  Line()->SetPathTextFlip(flip == EN_TRUE);
  return 1;
} catch (...) {
  return 0;
}

int SetPathTextSpacing(double spacing) try {
  Trace(VUZODO_TRACE(SetPathTextSpacing));
  if (!Finite(spacing)) return 0;
  Line()->path_spacing = spacing;
  return 1;
} catch (...) {
  return 0;
}

int SetDeformPathCharacters(EN_Bool on) try {
  Trace(VUZODO_TRACE(SetDeformPathCharacters));
  Line()->deform_path_characters = Flag(on);
  return 1;
} catch (...) {
  return 0;
}

// ---------------------------------------------------------------------------
// Text entry
// ---------------------------------------------------------------------------

namespace {

// Lays the text out on the current line with the layout of the current text mode.
void AppendText(unsigned short* text, bool ex) {
  TTFText(TTFLoader::Instance()).Append(Line(), text, Process().text_mode, ex);
}
}  // namespace

int AppendCharacters(unsigned short* text) try {
  if (IsEmpty(text) || !TTFLoader::Instance().WithinTextLimits(text, false)) return 0;
  Trace(VUZODO_TRACE(AppendCharacters));
  AppendText(text, false);
  return 1;
} catch (...) {
  return 0;
}

int AppendCharactersEx(unsigned short* text) try {
  if (IsEmpty(text) || !TTFLoader::Instance().WithinTextLimits(text, true)) return 0;
  Trace(VUZODO_TRACE(AppendCharactersEx));
  AppendText(text, true);
  return 1;
} catch (...) {
  return 0;
}

int AppendCharactersOVF(unsigned short* text) try {
  // Lays nothing out, so only the units per call count.
  if (IsEmpty(text) || !TTFLoader::WithinAppendUnits(text)) return 0;
  Trace(VUZODO_TRACE(AppendCharactersOVF));
  return 1;
} catch (...) {
  return 0;
}

int FinishText() try {
  Trace(VUZODO_TRACE(FinishText));
  auto& lines = TTFLoader::Instance().Lines();
  if (lines.size() > 1) lines.erase(lines.begin(), lines.end() - 1);
  Line()->ClearText();
  return 1;
} catch (...) {
  return 0;
}

// ---------------------------------------------------------------------------
// Outline retrieval
// ---------------------------------------------------------------------------

namespace {

// Hands an array to the host, or releases it at once when the host passed no
// place to put it.
template <typename T>
void Deliver(T* array, T** data) {
  if (data != nullptr) {
    *data = array;
  } else {
    ReleaseHostArray(array);
  }
}

int RetrievalEpilogue(const char* name, int count, int** data) {
  Trace("No = %i, Data = %i \nFinishing %s\n********************\n", count,
        data != nullptr ? static_cast<int>(reinterpret_cast<std::intptr_t>(*data)) : 0, name);
  return count;
}

// The whole text (negative index) or one character of it, as an int array.
int RetrieveText(int index, EN_ReturnType type, int** data, float* box, bool align) {
  int count = 0;
  int* array = TextArray(Process(), TTFLoader::Instance().Lines(), index, type, align, box, count);
  if (DumpLog() != nullptr) DumpCommandArray(DumpLog(), array, count);
  Deliver(array, data);
  return count;
}

}  // namespace

int GetOutLines(int index, EN_ReturnType type, int** data, float* box) try {
  Trace(VUZODO_TRACE(GetOutLines));
  Trace("********************\n");
  int count = 0;
  int* array = LineArray(*Line(), index, type, box, count, TraceLog());
  Deliver(array, data);
  return RetrievalEpilogue("GetOutLines", count, data);
} catch (...) {
  return 0;
}

int GetOutLinesEx(int index, EN_ReturnType type, int** data, float* box) try {
  Trace(VUZODO_TRACE(GetOutLinesEx));
  Trace("********************\n");
  return RetrievalEpilogue("GetOutLinesEx", RetrieveText(index, type, data, box, false), data);
} catch (...) {
  return 0;
}

int GetMultilineOutLines(int index, EN_ReturnType type, int** data, float* box) try {
  Trace(VUZODO_TRACE(GetMultilineOutLines));
  Trace("********************\n");
  const bool align = Process().text_mode == TextMode::kHorizontal;
  return RetrievalEpilogue("GetMultilineOutLines", RetrieveText(index, type, data, box, align),
                           data);
} catch (...) {
  return 0;
}

void GetTotalBoundingBox(float* box) try {
  Trace(VUZODO_TRACE(GetTotalBoundingBox));
  TTFState* line = Line();
  if (box != nullptr) TotalBoundingBox(*line, box);
} catch (...) {
}

void DeleteTTFData(int* data) try {
  Trace(VUZODO_TRACE(DeleteTTFData));
  if (data != nullptr) ReleaseHostArray(data);
} catch (...) {
}

// ---------------------------------------------------------------------------
// Caret, line and metric queries
// ---------------------------------------------------------------------------

int GetCaretPositionData(float** data) try {
  Trace(VUZODO_TRACE(GetCaretPositionData));
  int written = 0;
  float* out = CaretArray(Process(), TTFLoader::Instance().Lines(), written);
  Deliver(out, data);
  return written;
} catch (...) {
  return 0;
}

int GetMultilineCaretPositionData(CursorPosition** data, int* count, float* top) try {
  Trace(VUZODO_TRACE(GetMultilineCaretPositionData));
  const auto& lines = TTFLoader::Instance().Lines();
  int carets = 0;
  CursorPosition* out = MultilineCaretArray(
      Process(), lines, Process().text_mode == TextMode::kHorizontal, carets, top);
  Deliver(out, data);
  if (count != nullptr) *count = carets;
  return static_cast<int>(lines.size());
} catch (...) {
  return 0;
}

void DeleteCaretData(float* data) try {
  Trace(VUZODO_TRACE(DeleteCaretData));
  if (data != nullptr) ReleaseHostArray(data);
} catch (...) {
}

int GetCharacterCount(int line) try {
  Trace(VUZODO_TRACE(GetCharacterCount));
  const auto& lines = TTFLoader::Instance().Lines();
  if (line < 0) {
    int sum = 0;
    for (const auto& l : lines) sum += l->character_count;
    return sum;
  }
  if (static_cast<size_t>(line) < lines.size()) return lines[line]->character_count;
  return 0;
} catch (...) {
  return 0;
}

int GetTextLineCount() try {
  Trace(VUZODO_TRACE(GetTextLineCount));
  return static_cast<int>(TTFLoader::Instance().Lines().size());
} catch (...) {
  return 0;
}

int GetCharacterLineGapInfo(CharacterLineGapInfo* out) try {
  Trace(VUZODO_TRACE(GetCharacterLineGapInfo));
  const auto& lines = TTFLoader::Instance().Lines();
  if (out == nullptr) return 0;
  for (size_t j = 0; j < lines.size(); ++j) {
    out[j] = CharacterLineGapInfo{static_cast<float>(lines[j]->maximum_ascent),
                                  static_cast<float>(lines[j]->maximum_descent),
                                  static_cast<float>(lines[j]->maximum_line_gap)};
  }
  return static_cast<int>(lines.size());
} catch (...) {
  return 0;
}

float GetMaximumAscent() try {
  Trace(VUZODO_TRACE(GetMaximumAscent));
  return static_cast<float>(Line()->maximum_ascent);
} catch (...) {
  return 0.0f;
}

float GetMaximumDecent() try {
  Trace(VUZODO_TRACE(GetMaximumDecent));
  return static_cast<float>(Line()->maximum_descent);
} catch (...) {
  return 0.0f;
}

float GetMaximumLineGap() try {
  Trace(VUZODO_TRACE(GetMaximumLineGap));
  return static_cast<float>(Line()->maximum_line_gap);
} catch (...) {
  return 0.0f;
}

float GetPathLengthOfCharacters() try {
  Trace(VUZODO_TRACE(GetPathLengthOfCharacters));
  return static_cast<float>(Line()->path_length_of_characters);
} catch (...) {
  return 0.0f;
}

// ---------------------------------------------------------------------------
// Fonts (the registry and its readers join here)
// ---------------------------------------------------------------------------

namespace {

// Codes are UTF-16 code units: a range is clamped to them, so that no request builds more than
// 65,536 characters.
constexpr int kLastCode = limits::kLastCode;

FontDataHolder* LoadFaceFont(const unsigned short* face, EN_TTFFontStyle style) {
  // A null face names no font: nothing is loaded.
  if (face == nullptr) return nullptr;
  return TTFLoader::Instance().LoadFont(CopyWide(face), static_cast<std::int32_t>(style));
}

}  // namespace

void LoadCharacterSet(unsigned short* face, EN_TTFFontStyle style, int* codes, int count) try {
  Trace(VUZODO_TRACE(LoadCharacterSet));
  FontDataHolder* font = LoadFaceFont(face, style);
  if (font == nullptr || codes == nullptr) return;
  TTFLoader& loader = TTFLoader::Instance();
  for (int i = 0; i < count; ++i) {
    // Values that are not UTF-16 code units are passed over.
    if (codes[i] < 0 || codes[i] > kLastCode) continue;
    loader.LoadCharacter(font, static_cast<std::uint32_t>(codes[i]));
  }
} catch (...) {
}

void LoadCharacterRange(unsigned short* face, EN_TTFFontStyle style, int first, int last) try {
  Trace(VUZODO_TRACE(LoadCharacterRange));
  FontDataHolder* font = LoadFaceFont(face, style);
  if (font == nullptr) return;
  first = std::max(first, 0);
  last = std::min(last, kLastCode);
  TTFLoader& loader = TTFLoader::Instance();
  for (int code = first; code <= last; ++code) {
    loader.LoadCharacter(font, static_cast<std::uint32_t>(code));
  }
} catch (...) {
}

void UnloadFont(unsigned short* face, EN_TTFFontStyle style) try {
  Trace(VUZODO_TRACE(UnloadFont));
  if (face == nullptr) return;
  TTFLoader::Instance().UnloadFont(CopyWide(face), static_cast<std::int32_t>(style));
} catch (...) {
}

void UnloadAllFonts() try { TTFLoader::Instance().UnloadAllFonts(); } catch (...) {
}

void GetFontInformation(unsigned short* face, EN_TTFFontStyle style, FontInformation* out) try {
  Trace(VUZODO_TRACE(GetFontInformation));
  FontDataHolder* font = LoadFaceFont(face, style);
  if (font == nullptr || out == nullptr) return;
  *out = TTFLoader::Instance().GetFontInformation(font);
} catch (...) {
}

int GetCustomFontRange(int** codes) try {
  Trace(VUZODO_TRACE(GetCustomFontRange));
  const TTFState* line = Line();
  FontDataHolder* font =
      TTFLoader::Instance().LoadFont(line->face_name, static_cast<std::int32_t>(line->font_style));
  const std::vector<std::uint32_t> characters = font->ListCharacterCodes();
  const int count = static_cast<int>(characters.size());
  // Without a place to put the array the count is still reported; nothing is allocated.
  if (codes == nullptr) return count;
  int* array = AllocateHostArray<int>(characters.size());
  for (std::size_t i = 0; i < characters.size(); ++i) {
    array[i] = static_cast<int>(characters[i]);
  }
  *codes = array;
  return count;
} catch (...) {
  return 0;
}

// ---------------------------------------------------------------------------
// Text path
// ---------------------------------------------------------------------------

int SetNurbPathPoints(int degree, int count, float* x, float* y, float* w, int knotCount,
                      float* knots, float start) try {
  Trace(VUZODO_TRACE(SetNurbPathPoints));
  if (x == nullptr || y == nullptr || w == nullptr || knots == nullptr || !Finite(start)) return 0;
  return Line()->SetNurbsPath(degree, count, x, y, w, knotCount, knots, start, UnitSize()) ? 1 : 0;
} catch (...) {
  return 0;
}

namespace {
// A circle path is the NURBS circle handed to SetNurbPathPoints, which traces it too.
int SetCirclePath(float r, float cx, float cy, float a, bool clockwise) {
  NurbPath::CircleNurbs c = NurbPath::Circle(r, cx, cy, a, clockwise);
  return SetNurbPathPoints(2, 9, c.xw, c.yw, c.w, 12, c.knots, 0.0f);
}
}  // namespace

int SetNurbPathCircleCW(float r, float cx, float cy, float startAngle) try {
  Trace(VUZODO_TRACE(SetNurbPathCircleCW));
  return SetCirclePath(r, cx, cy, startAngle, true);
} catch (...) {
  return 0;
}

int SetNurbPathCircleCCW(float r, float cx, float cy, float startAngle) try {
  Trace(VUZODO_TRACE(SetNurbPathCircleCCW));
  return SetCirclePath(r, cx, cy, startAngle, false);
} catch (...) {
  return 0;
}

int SetNurbPathPolyline(float* points, int n, float start) try {
  Trace(VUZODO_TRACE(SetNurbPathPolyline));
  if (!Finite(start)) return 0;
  return Line()->SetPolylinePath(points, n, start, UnitSize()) ? 1 : 0;
} catch (...) {
  return 0;
}

// ---------------------------------------------------------------------------
// Hatch filling: forwarded to the hatching library, lengths in output units
// ---------------------------------------------------------------------------
// Every value goes on as given, counts and enumerations included: the hatching
// library reads a count <= 0 as none and decides what each value means. Only
// floats that are not finite (or overflow once multiplied by U) are refused,
// since nothing could be drawn from them.

int AddTTFHatchPatternLine(float borderGap, borderGapDirection direction, float lineGap,
                           float angle, float baseX, float baseY, hatchStyle style,
                           EN_Bool withOffset) try {
  Trace(VUZODO_TRACE(AddTTFHatchPatternLine));
  if (!FiniteLengths(borderGap, lineGap, baseX, baseY) || !Finite(angle)) return 0;
  AddHatchPatternLine(ToOutput(borderGap), direction, ToOutput(lineGap), angle, ToOutput(baseX),
                      ToOutput(baseY), style, withOffset);
  return 1;
} catch (...) {
  return 0;
}

int AddTTFHatchPatternLineEx(float borderGap, borderGapDirection direction, float lineGap,
                             float angle, float baseX, float baseY, hatchStyle style,
                             EN_Bool withOffset, EN_OffsetAlgorithm algorithm,
                             EN_OffsetCornerStyle corner, int miterLimit, int arcTolerance) try {
  Trace(VUZODO_TRACE(AddTTFHatchPatternLineEx));
  if (!FiniteLengths(borderGap, lineGap, baseX, baseY) || !Finite(angle)) return 0;
  AddHatchPatternLineEx(ToOutput(borderGap), direction, ToOutput(lineGap), angle, ToOutput(baseX),
                        ToOutput(baseY), style, withOffset, algorithm, corner, miterLimit,
                        arcTolerance);
  return 1;
} catch (...) {
  return 0;
}

int AddTTFHatchPatternOptimized(float borderGap, borderGapDirection direction, float lineGap,
                                float angle, float maxLink, hatchStyle style) try {
  Trace(VUZODO_TRACE(AddTTFHatchPatternOptimized));
  if (!FiniteLengths(borderGap, lineGap, maxLink) || !Finite(angle)) return 0;
  AddHatchPatternOptimized(ToOutput(borderGap), direction, ToOutput(lineGap), angle,
                           ToOutput(maxLink), style);
  return 1;
} catch (...) {
  return 0;
}

int AddTTFHatchPatternIncremental(float borderGap, borderGapDirection direction, float lineGap,
                                  float startAngle, float angleStep, int passes,
                                  hatchStyle style) try {
  Trace(VUZODO_TRACE(AddTTFHatchPatternIncremental));
  if (!FiniteLengths(borderGap, lineGap) || !Finite(startAngle, angleStep)) return 0;
  AddHatchPatternIncremental(ToOutput(borderGap), direction, ToOutput(lineGap), startAngle,
                             angleStep, passes, style);
  return 1;
} catch (...) {
  return 0;
}

int AddTTFHatchPatternOffsetFilling(float gap, EN_OffsetStyle style) try {
  Trace(VUZODO_TRACE(AddTTFHatchPatternOffsetFilling));
  if (!FiniteLengths(gap)) return 0;
  AddHatchPatternOffsetFilling(ToOutput(gap), style);
  return 1;
} catch (...) {
  return 0;
}

int AddTTFHatchPatternOffsetFillingEx(float gap, EN_OffsetStyle style, EN_OffsetAlgorithm algorithm,
                                      EN_OffsetCornerStyle corner, int miterLimit,
                                      int arcTolerance) try {
  // The corner style is printed before the algorithm.
  Trace(VUZODO_TRACE(AddTTFHatchPatternOffsetFillingEx));
  if (!FiniteLengths(gap)) return 0;
  AddHatchPatternOffsetFillingEx(ToOutput(gap), style, algorithm, corner, miterLimit, arcTolerance);
  return 1;
} catch (...) {
  return 0;
}

int AddTTFHatchPatternOffsetInOut(float insideGap, int insideCount, float outsideGap,
                                  int outsideCount) try {
  Trace(VUZODO_TRACE(AddTTFHatchPatternOffsetInOut));
  if (!FiniteLengths(insideGap, outsideGap)) return 0;
  AddHatchPatternOffsetInOut(ToOutput(insideGap), insideCount, ToOutput(outsideGap), outsideCount);
  return 1;
} catch (...) {
  return 0;
}

int AddTTFHatchPatternOffsetInOutEx(float insideGap, int insideCount, float outsideGap,
                                    int outsideCount, EN_OffsetAlgorithm algorithm,
                                    EN_OffsetCornerStyle corner, int miterLimit,
                                    int arcTolerance) try {
  Trace(VUZODO_TRACE(AddTTFHatchPatternOffsetInOutEx));
  if (!FiniteLengths(insideGap, outsideGap)) return 0;
  AddHatchPatternOffsetInOutEx(ToOutput(insideGap), insideCount, ToOutput(outsideGap), outsideCount,
                               algorithm, corner, miterLimit, arcTolerance);
  return 1;
} catch (...) {
  return 0;
}

int AddTTFHatchPatternHelixFillingEx(float gap, EN_HelixStyle style, EN_OffsetAlgorithm algorithm,
                                     EN_OffsetCornerStyle corner, int miterLimit,
                                     int arcTolerance) try {
  Trace(VUZODO_TRACE(AddTTFHatchPatternHelixFillingEx));
  if (!FiniteLengths(gap)) return 0;
  AddHatchPatternHelixFillingEx(ToOutput(gap), style, algorithm, corner, false, miterLimit,
                                arcTolerance);
  return 1;
} catch (...) {
  return 0;
}

int AddTTFHatchPatternLattice(float gapU, float gapV, float angle, float baseX, float baseY,
                              vuzodo_bool serpentine) try {
  // The trace name is the one hosts have always seen for this request.
  Trace(VUZODO_TRACE(AddTTFHatchPatternLattice));
  if (!FiniteLengths(gapU, gapV, baseX, baseY) || !Finite(angle)) return 0;
  AddHatchPatternLattice(ToOutput(gapU), ToOutput(gapV), angle, ToOutput(baseX), ToOutput(baseY),
                         serpentine);
  return 1;
} catch (...) {
  return 0;
}

int ClearTTFHatchPatterns() try {
  Trace(VUZODO_TRACE(ClearTTFHatchPatterns));
  ClearListOfHatchPatterns();
  return 1;
} catch (...) {
  return 0;
}

int IncludeBorder(EN_Bool include) try {
  Trace(VUZODO_TRACE(IncludeBorder));
  Line()->include_border = Flag(include);
  return 1;
} catch (...) {
  return 0;
}
