#include "TTFState.h"

#include <algorithm>
#include <cmath>

#include "NurbPath.h"
#include "QELPolyLine.h"
#include "QELUtility.h"
#include "qelhatching/qelhatching.h"

namespace vuzodo {

std::u16string CopyWide(const unsigned short* text) {
  if (text == nullptr) return {};
  // Measured first, then copied at once (not grown one character at a time).
  const unsigned short* end = text;
  while (*end != 0) ++end;
  return std::u16string(text, end);
}

TTFState::TTFState() = default;

TTFState::~TTFState() = default;

std::unique_ptr<TTFState> TTFState::CopySettings() const {
  auto line = CopySettings(text_copy);
  line->has_text_copy = has_text_copy;
  return line;
}

std::unique_ptr<TTFState> TTFState::CopySettings(std::u16string_view text) const {
  auto line = std::make_unique<TTFState>();
  line->face_name = face_name;
  line->font_style = font_style;
  line->horizontal_gap = horizontal_gap;
  line->vertical_gap = vertical_gap;
  line->character_angle = character_angle;
  line->oblique_angle = oblique_angle;
  line->text_copy = text;
  line->has_text_copy = true;
  line->auto_kern = auto_kern;
  line->script_mode = script_mode;
  line->superscript_size = superscript_size;
  line->subscript_size = subscript_size;
  line->superscript_offset = superscript_offset;
  line->subscript_offset = subscript_offset;
  line->text_height = text_height;
  line->path_length_of_characters = path_length_of_characters;
  line->previous_character = previous_character;
  line->word_wrap = word_wrap;
  line->horizontal_alignment = horizontal_alignment;
  line->backward = backward;
  line->upside_down = upside_down;
  line->character_scale_x = character_scale_x;
  line->character_scale_y = character_scale_y;
  line->include_border = include_border;
  line->indent_list = indent_list;
  return line;
}

void TTFState::SetFaceName(const unsigned short* face) {
  face_name = CopyWide(face);
}

void TTFState::SetTextCopy(const unsigned short* text) {
  text_copy = CopyWide(text);
  has_text_copy = text != nullptr;
}

bool TTFState::SetTextHeight(float height) {
  // "not greater than 0" also refuses NaN.
  if (!(height > 0.0f)) return false;
  text_height = height;
  return true;
}

void TTFState::SetHorizontalGap(float gap, double unit) {
  horizontal_gap = gap * unit;
}

void TTFState::SetVerticalGap(float gap, double unit) {
  vertical_gap = gap * unit;
}

bool TTFState::SetObliqueAngle(float angle) {
  // The bound is a single-precision constant and the test runs in float, so
  // exactly 1.35f is accepted and anything beyond it refused.
  constexpr float kLimit = 1.35f;
  if ((angle - kLimit) * (angle + kLimit) > 0.0f) return false;
  oblique_angle = angle;
  return true;
}

bool TTFState::SetCharacterScale(float sx, float sy) {
  if (!(sx > 0.0f) || !(sy > 0.0f)) return false;
  character_scale_x = sx;
  character_scale_y = sy;
  return true;
}

namespace {
// Script size must be positive and the offset not negative; NaN fails both.
bool ValidScript(float size, float offset) {
  return size > 0.0f && offset >= 0.0f;
}
}  // namespace

bool TTFState::SetPropsSuperscript(float size, float offset) {
  if (!ValidScript(size, offset)) return false;
  superscript_size = size / 100.0;
  superscript_offset = offset / 100.0;
  return true;
}

bool TTFState::SetPropsSubscript(float size, float offset) {
  if (!ValidScript(size, offset)) return false;
  subscript_size = size / 100.0;
  subscript_offset = offset / 100.0;
  return true;
}

void TTFState::SetIndentPositions(const float* list, int count) {
  indent_list.clear();
  if (list == nullptr || count <= 0) return;
  indent_list.assign(list, list + count);
}

void TTFState::SetPathTextFlip(bool flip) {
  if (flip != path_flip && path) path->Reverse();
  path_flip = flip;
}

bool TTFState::SetNurbsPath(int degree, int count, float* x, float* y, const float* w,
                            int knot_count, const float* knots, float start, double unit) {
  if (!NurbPath::ValidNurbs(degree, count, knot_count)) return false;
  std::vector<float> xs(x, x + count), ys(y, y + count);
  for (int i = 0; i < count; ++i) {
    xs[i] = static_cast<float>(xs[i] * unit);
    ys[i] = static_cast<float>(ys[i] * unit);
  }
  std::unique_ptr<NurbPath> curve =
      NurbPath::FromNurbs(degree, count, xs.data(), ys.data(), w, knot_count, knots, path_flip);
  if (!curve) return false;
  std::copy(xs.begin(), xs.end(), x);
  std::copy(ys.begin(), ys.end(), y);
  path = std::move(curve);
  path_length_of_characters = start * unit;
  return true;
}

bool TTFState::SetPolylinePath(const float* points, int n, float start, double unit) {
  std::unique_ptr<NurbPath> polyline = NurbPath::FromPolyline(points, n, unit, path_flip);
  if (!polyline) return false;
  path = std::move(polyline);
  path_length_of_characters = start * unit;
  return true;
}

namespace {
// Closes a character record with a move from the pen to the end corner.
void CloseRecord(RecordStream& stream, const NURBSPoint& pen, double x1, double y1) {
  stream.Put(RecordCode::kMove, x1 - pen.GetX(), y1 - pen.GetY());
}
}  // namespace

void TTFState::AddCharacter(double x0, double y0, double x1, double y1,
                            std::vector<CQELEntity*>& entities) {
  advances.push_back(x1 - x0);
  advances.push_back(y1 - y0);

  pen = NURBSPoint(x0, y0);
  if (include_border) EncodeEntities(entities, outline_stream, pen);
  CloseRecord(outline_stream, pen, x1, y1);
  pen = NURBSPoint(x1, y1);
  outline_ends.push_back(outline_stream.End());

  AddCharacterOutline(&entities);
  std::vector<CQELPolyLine*>* polylines = nullptr;
  std::vector<CQELEntity*>* fill = GetFilledEntityList(&polylines);

  NURBSPoint fill_pen(x0, y0);
  if (fill != nullptr) EncodeEntities(*fill, fill_stream, fill_pen);
  CloseRecord(fill_stream, fill_pen, x1, y1);
  fill_ends.push_back(fill_stream.End());

  NURBSPoint hatch_pen(x0, y0);
  if (polylines != nullptr) {
    for (const CQELPolyLine* p : *polylines) EncodePolyLine(p, hatch_stream, hatch_pen);
  }
  CloseRecord(hatch_stream, hatch_pen, x1, y1);
  hatch_ends.push_back(hatch_stream.End());

  pen = NURBSPoint(x1, y1);
  entities.clear();  // the hatching library owns them now
  ClearEntityList();
}

bool TTFState::AddPlacedCharacter(double x0, double y0, double x1, double y1,
                                  const std::vector<CQELEntity*>& outline, double a, double b,
                                  double c, double d, double e, double f) {
  for (const CQELEntity* entity : outline) {
    if (entity != nullptr && entity->GetType() != CQELEntity::kPolyLine) return false;
  }
  advances.push_back(x1 - x0);
  advances.push_back(y1 - y0);

  pen = NURBSPoint(x0, y0);
  if (include_border) EncodeTransformedPolyLines(outline, a, b, c, d, e, f, outline_stream, pen);
  CloseRecord(outline_stream, pen, x1, y1);
  outline_ends.push_back(outline_stream.End());

  // Nothing hatches the outline: each of the other streams holds the closing move alone.
  NURBSPoint fill_pen(x0, y0);
  CloseRecord(fill_stream, fill_pen, x1, y1);
  fill_ends.push_back(fill_stream.End());
  NURBSPoint hatch_pen(x0, y0);
  CloseRecord(hatch_stream, hatch_pen, x1, y1);
  hatch_ends.push_back(hatch_stream.End());

  pen = NURBSPoint(x1, y1);
  return true;
}

void TTFState::ClearText() {
  character_boxes.clear();
  ink_rectangles.clear();
  cell_rectangles.clear();
  character_codes.clear();
  character_count = 0;
  pen = NURBSPoint{};
  pen_position_x = 0.0;
  pen_position_y = 0.0;
  path_length_of_characters = 0.0;
  previous_character = 0;
  fill_stream.clear();
  outline_stream.clear();
  hatch_stream.clear();
  fill_ends.clear();
  outline_ends.clear();
  hatch_ends.clear();
  advances.clear();
  carets.clear();
  line_metrics.clear();
}

}  // namespace vuzodo
