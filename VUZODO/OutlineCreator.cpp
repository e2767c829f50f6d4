#include "OutlineCreator.h"

#include <algorithm>
#include <array>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <limits>
#include <utility>

#include "Limits.h"
#include "QELUtility.h"

namespace vuzodo {

double LineAdvance(const ProcessSettings& s, double run) {
  return (s.line_spacing_style != 0 ? s.unit_size : run) * s.line_spacing;
}

std::vector<double> LineBaselines(const ProcessSettings& s,
                                  const std::vector<std::unique_ptr<TTFState>>& lines,
                                  double first) {
  std::vector<double> baselines;
  baselines.reserve(lines.size());
  double y = first, run = 0.0;
  for (size_t j = 0; j < lines.size(); ++j) {
    run += lines[j]->maximum_ascent;
    if (j > 0) y -= LineAdvance(s, run);
    baselines.push_back(y);
    run = -lines[j]->maximum_descent;
  }
  return baselines;
}

void MeasureLines(const std::vector<std::unique_ptr<TTFState>>& lines, LinePlacement& out) {
  out.widths.assign(lines.size(), 0.0);
  out.heights.assign(lines.size(), 0.0);
  for (size_t j = 0; j < lines.size(); ++j) {
    const std::vector<double>& adv = lines[j]->advances;
    for (size_t k = 0; k + 1 < adv.size(); k += 2) {
      out.widths[j] += adv[k];
      out.heights[j] += adv[k + 1];
    }
  }
}

void PlaceLines(const ProcessSettings& s, const std::vector<std::unique_ptr<TTFState>>& lines,
                bool align, LinePlacement& out) {
  out.offsets.assign(lines.size(), 0.0);
  out.block_offset = 0.0f;
  if (lines.empty()) return;
  const double unit = s.unit_size;
  const double box_w = s.text_box_width * unit;
  const double first_ascent = lines[0]->maximum_ascent;
  double run = 0.0, h = 0.0;
  for (size_t j = 0; j < lines.size(); ++j) {
    const TTFState& line = *lines[j];
    run += line.maximum_ascent;
    if (align) {
      // Alignment values outside 0..2 give offset 0.
      if (line.horizontal_alignment == 1) out.offsets[j] = (box_w - out.widths[j]) / 2.0;
      if (line.horizontal_alignment == 2) out.offsets[j] = box_w - out.widths[j];
    }
    h += LineAdvance(s, run);
    run = -line.maximum_descent;
  }
  // The lowest corner of the last line's boxes extends the block downwards; a
  // last line without characters (text ending in a line feed) adds nothing.
  const TTFState& last = *lines.back();
  if (!last.character_boxes.empty()) {
    double lowest = last.character_boxes[0].y[0];
    for (const CharacterBox& box : last.character_boxes) {
      lowest = std::min({lowest, box.y[0], box.y[1], box.y[2], box.y[3]});
    }
    h -= lowest;
  }
  if (s.line_spacing_style == 1) {
    h -= unit * s.line_spacing;
  } else {
    h -= s.line_spacing * first_ascent;
  }
  if (!align) return;
  const double box_h = s.text_box_height * unit;
  // Vertical alignment values outside 0..2 give offset 0.
  switch (s.vertical_align) {
    case 0:
      out.block_offset = static_cast<float>(-first_ascent);
      break;
    case 1:
      out.block_offset = static_cast<float>((h - box_h) / 2.0);
      break;
    case 2:
      out.block_offset = static_cast<float>(h - box_h);
      break;
    default:
      break;
  }
}

namespace {

constexpr double kMove = 40.0;

const RecordStream& Stream(const TTFState& line, StreamKind kind) {
  switch (kind) {
    case StreamKind::kOutline:
      return line.outline_stream;
    case StreamKind::kFill:
      return line.fill_stream;
    case StreamKind::kHatch:
      return line.hatch_stream;
  }
  return line.outline_stream;
}

const std::vector<StreamMark>& Ends(const TTFState& line, StreamKind kind) {
  switch (kind) {
    case StreamKind::kOutline:
      return line.outline_ends;
    case StreamKind::kFill:
      return line.fill_ends;
    case StreamKind::kHatch:
      return line.hatch_ends;
  }
  return line.outline_ends;
}

// The records of character k in one stream: from the previous end to its end (the last
// character runs to the stream's end). Ends that do not lie in the stream are taken as its end
// so that no slice can leave it.
std::pair<StreamMark, StreamMark> Slice(const TTFState& line, StreamKind kind, size_t k) {
  const RecordStream& stream = Stream(line, kind);
  const std::vector<StreamMark>& ends = Ends(line, kind);
  if (k >= ends.size()) return {stream.End(), stream.End()};
  const StreamMark begin = k == 0 ? StreamMark{} : stream.Clamp(ends[k - 1]);
  const StreamMark end = k + 1 == ends.size() ? stream.End() : stream.Clamp(ends[k]);
  return {begin, end.records < begin.records || end.values < begin.values ? begin : end};
}

double AdvanceX(const TTFState& line, size_t k) {
  return 2 * k < line.advances.size() ? line.advances[2 * k] : 0.0;
}
double AdvanceY(const TTFState& line, size_t k) {
  return 2 * k + 1 < line.advances.size() ? line.advances[2 * k + 1] : 0.0;
}

// One step of the older retrieval in the caller's trace log, flushed at once like every trace
// line so that a crash still leaves the steps before it.
void TraceLine(std::FILE* trace, const char* text) {
  if (trace == nullptr) return;
  std::fputs(text, trace);
  std::fflush(trace);
}

// Widens the 8-value box of four corners.
void WriteCornerBox(float* box, double min_x, double min_y, double max_x, double max_y) {
  const float values[8] = {static_cast<float>(min_x), static_cast<float>(min_y),
                           static_cast<float>(max_x), static_cast<float>(min_y),
                           static_cast<float>(max_x), static_cast<float>(max_y),
                           static_cast<float>(min_x), static_cast<float>(max_y)};
  std::copy(values, values + 8, box);
}

// Bounds of points, each coordinate widened independently.
struct Bounds {
  double min_x, min_y, max_x, max_y;

  void Add(double x, double y) {
    min_x = std::min(min_x, x);
    max_x = std::max(max_x, x);
    min_y = std::min(min_y, y);
    max_y = std::max(max_y, y);
  }
};

// Widens `bounds` by the first `count` character boxes of a line laid end to
// end from (x, y), which moves along by each character's advance.
void AddLineBoxes(const TTFState& line, size_t count, double& x, double& y, Bounds& bounds) {
  count = std::min(count, line.character_boxes.size());
  for (size_t k = 0; k < count; ++k) {
    const CharacterBox& b = line.character_boxes[k];
    for (int c = 0; c < 4; ++c) bounds.Add(x + b.x[c], y + b.y[c]);
    x += AdvanceX(line, k);
    y += AdvanceY(line, k);
  }
}

// The whole-text box from the character boxes, placed line by line.
void TextBoundingBox(const ProcessSettings& s, const std::vector<std::unique_ptr<TTFState>>& lines,
                     const LinePlacement& place, float* box) {
  Bounds bounds{1e8, 1e8, -1e8, -1e8};
  double y = place.block_offset, run = 0.0;
  for (size_t j = 0; j < lines.size(); ++j) {
    const TTFState& line = *lines[j];
    run += line.maximum_ascent;
    double x = place.offsets[j];
    if (j > 0) y -= LineAdvance(s, run);
    // y carries on from line to line: it is not reset at a line start.
    AddLineBoxes(line, static_cast<size_t>(std::max(line.character_count, 0)), x, y, bounds);
    run = -line.maximum_descent;
  }
  // A bound still at its start value means nothing was measured.
  if (bounds.min_x == 1e8 || bounds.min_y == 1e8 || bounds.max_x == -1e8 || bounds.max_y == -1e8) {
    return;
  }
  WriteCornerBox(box, bounds.min_x, bounds.min_y, bounds.max_x, bounds.max_y);
}

}  // namespace

std::vector<StreamKind> StreamOrder(int type) {
  using enum StreamKind;
  switch (type) {
    case 0:
      return {kOutline};
    case 1:
      return {kFill};
    case 2:
      return {kHatch};
    case 3:
      return {kOutline, kFill};
    case 4:
      return {kFill, kOutline};
    case 5:
      return {kOutline, kHatch, kFill};
    default:
      return {};
  }
}

int* BuildTextArray(const ProcessSettings& s, const std::vector<std::unique_ptr<TTFState>>& lines,
                    int type, bool align, float* box, int& count, size_t max_ints) {
  LinePlacement place;
  MeasureLines(lines, place);
  PlaceLines(s, lines, align, place);
  if (box != nullptr) TextBoundingBox(s, lines, place, box);
  const double y0 = place.block_offset;
  const std::vector<StreamKind> order = StreamOrder(type);
  // Room for every value the list could hold: folded moves only make it shorter.
  size_t capacity = 3;
  for (const auto& line : lines) {
    capacity += 6;
    for (StreamKind kind : order) capacity += Stream(*line, kind).FlatSize() + 3;
  }
  if (capacity + 1 > max_ints) return EndMarkOnly(count);
  StreamingList list(capacity);
  double run = 0.0, advance_sum = 0.0;
  for (size_t j = 0; j < lines.size(); ++j) {
    const TTFState& line = *lines[j];
    run += line.maximum_ascent;
    if (j > 0) {
      const double a = LineAdvance(s, run);
      list.FromEnd(1) -= a;
      advance_sum += a;
    }
    list.Append({kMove, place.offsets[j], j == 0 ? y0 : 0.0});
    for (StreamKind kind : order) {
      list.Append(Stream(line, kind));
      // Back to the line start: folded into a closing move when there is one.
      if (list.size() >= 3 && list.FromEnd(3) == kMove) {
        list.FromEnd(2) -= place.widths[j];
        list.FromEnd(1) -= place.heights[j];
      } else {
        list.Append({kMove, -place.widths[j], -place.heights[j]});
      }
    }
    list.Append({kMove, -place.offsets[j], 0.0});
    run = -line.maximum_descent;
  }
  list.Append({kMove, 0.0, -(y0 - advance_sum)});
  return list.Finish(count);
}

std::vector<double> BuildCharacterArray(const ProcessSettings& s,
                                        const std::vector<std::unique_ptr<TTFState>>& lines,
                                        int index, int type, bool align, float* box, bool& found) {
  found = false;
  std::vector<double> list;
  LinePlacement place;
  MeasureLines(lines, place);
  PlaceLines(s, lines, align, place);
  long passed = 0;
  double run = 0.0;
  float previous_width = 0.0f;
  for (size_t l = 0; l < lines.size(); ++l) {
    const TTFState& line = *lines[l];
    run += line.maximum_ascent;
    if (index < passed + line.character_count) {
      const size_t k = static_cast<size_t>(index - passed);
      double dx = 0.0, dy = 0.0;
      if (l == 0 && k == 0) {
        dx = place.offsets[0];
        dy = place.block_offset;
      } else if (k == 0) {
        // The drop to this line, computed in single precision.
        const float a = static_cast<float>(s.line_spacing_style != 0 ? s.unit_size : run) *
                        static_cast<float>(s.line_spacing);
        dx = place.offsets[l] - place.offsets[l - 1] - previous_width;
        dy = -a - place.heights[l - 1];
      }
      found = true;
      list.insert(list.end(), {kMove, dx, dy});
      const double adx = AdvanceX(line, k), ady = AdvanceY(line, k);
      if (box != nullptr) {
        // The single-line layouts record no character box: the corners are then left as the
        // host passed them, while the pen after the character, known from the advance, is
        // always given.
        if (k < line.character_boxes.size()) {
          const CharacterBox& b = line.character_boxes[k];
          for (int c = 0; c < 4; ++c) {
            box[2 * c] = static_cast<float>(b.x[c] + dx);
            box[2 * c + 1] = static_cast<float>(b.y[c] + dy);
          }
        }
        box[8] = static_cast<float>(dx + adx);
        box[9] = static_cast<float>(dy + ady);
      }
      bool first = true;
      for (StreamKind kind : StreamOrder(type)) {
        if (!first) list.insert(list.end(), {kMove, -adx, -ady});
        first = false;
        const auto [begin, end] = Slice(line, kind, k);
        Stream(line, kind).AppendFlat(list, begin, end);
      }
      return list;
    }
    passed += line.character_count;
    run = line.character_count > 0 ? -line.maximum_descent : run - line.maximum_descent;
    previous_width = static_cast<float>(place.widths[l]);
  }
  return list;
}

namespace {

// Copies a character slice in groups of three values (code, dx, dy) with
// residues starting at zero; no merging or dropping. Trailing values that do
// not fill a group are copied rounded.
size_t AppendOutlineData(int* out, size_t w, const RecordStream& stream, StreamMark begin,
                         StreamMark end) {
  double rx = 0.0, ry = 0.0;
  FlatReader flat(stream, begin);
  size_t p = begin.Flat();
  const size_t last = end.Flat();
  for (; p + 3 <= last; p += 3) {
    out[w++] = TruncateToInt(flat[p]);
    out[w++] = RoundCarry(flat[p + 1], rx);
    out[w++] = RoundCarry(flat[p + 2], ry);
  }
  for (; p < last; ++p) out[w++] = RoundHalfAway(flat[p]);
  return w;
}

}  // namespace

int* LineArray(const TTFState& line, int index, int type, float* box, int& count, std::FILE* trace,
               size_t max_ints) {
  using enum StreamKind;
  if (index < 0) {
    // The whole line takes the streams a type selects always in the order outline, hatch,
    // fill: return type 4 gives its outline first here, unlike the other retrievals.
    std::vector<StreamKind> chosen = StreamOrder(type);
    std::ranges::sort(chosen, {}, [](StreamKind kind) {
      return kind == kOutline ? 0 : kind == kHatch ? 1 : 2;
    });
    size_t size = 1;
    for (StreamKind kind : chosen) size += Stream(line, kind).FlatSize() + 3;
    if (size > max_ints) return EndMarkOnly(count);
    RecordWriter writer{AllocateHostArray<int>(size)};
    double sx = 0.0, sy = 0.0;
    for (size_t k = 0; k + 1 < line.advances.size(); k += 2) {
      sx += line.advances[k];
      sy += line.advances[k + 1];
    }
    for (StreamKind kind : chosen) {
      TraceLine(trace, "PrepareArrayData()\n");
      writer.Write(Stream(line, kind), false);
      writer.Close(sx, sy);
    }
    writer.out[writer.w++] = -1;
    // The count is what was allocated; merged and dropped records leave a
    // tail after the end mark that is zeroed rather than handed over unset.
    std::fill(writer.out + writer.w, writer.out + size, 0);
    if (box != nullptr && !line.character_boxes.empty()) {
      // The line's box from its character boxes, laid end to end.
      Bounds bounds{1e300, 1e300, -1e300, -1e300};
      double x = 0.0, y = 0.0;
      AddLineBoxes(line, line.character_boxes.size(), x, y, bounds);
      WriteCornerBox(box, bounds.min_x, bounds.min_y, bounds.max_x, bounds.max_y);
    }
    count = static_cast<int>(size);
    return writer.out;
  }
  const size_t k = static_cast<size_t>(index);
  if (k >= static_cast<size_t>(std::max(line.character_count, 0))) return EndMarkOnly(count);
  const double adx = AdvanceX(line, k), ady = AdvanceY(line, k);
  if (box != nullptr) {
    if (k < line.ink_rectangles.size()) {
      const Rect4& r = line.ink_rectangles[k];
      box[0] = static_cast<float>(r.x0), box[1] = static_cast<float>(r.y0);
      box[2] = static_cast<float>(r.x1), box[3] = static_cast<float>(r.y1);
    }
    if (k < line.cell_rectangles.size()) {
      const Rect4& r = line.cell_rectangles[k];
      box[4] = static_cast<float>(r.x0), box[5] = static_cast<float>(r.y0);
      box[6] = static_cast<float>(r.x1), box[7] = static_cast<float>(r.y1);
    }
    box[8] = static_cast<float>(adx);
    box[9] = static_cast<float>(ady);
  }
  const std::vector<StreamKind> order = StreamOrder(type);
  if (order.empty()) TraceLine(trace, "No return type");
  // The slices with a move back to the cell's start between two of them, and the end mark.
  size_t size = 1 + 3 * (order.empty() ? 0 : order.size() - 1);
  for (StreamKind kind : order) {
    const auto [b, e] = Slice(line, kind, k);
    size += e.Flat() - b.Flat();
  }
  if (size > max_ints) return EndMarkOnly(count);
  int* out = AllocateHostArray<int>(size);
  size_t w = 0;
  for (size_t i = 0; i < order.size(); ++i) {
    if (i > 0) {
      out[w++] = 40;
      out[w++] = TruncateToInt(-adx);
      out[w++] = TruncateToInt(-ady);
    }
    // A slice beside others is written only when it holds more than two values; alone,
    // whenever it holds any. Its room is counted either way.
    const auto [b, e] = Slice(line, order[i], k);
    if (e.Flat() - b.Flat() > (order.size() == 1 ? 0u : 2u)) {
      TraceLine(trace, "AppendOutlineData()\n");
      w = AppendOutlineData(out, w, Stream(line, order[i]), b, e);
    }
  }
  out[w++] = -1;
  std::fill(out + w, out + size, 0);  // skipped slices leave a tail; see above
  count = static_cast<int>(size);
  return out;
}

void TotalBoundingBox(const TTFState& line, float* box) {
  constexpr double kLimit = 3.4028234663852886e38;
  Bounds bounds{kLimit, kLimit, -kLimit, -kLimit};
  auto widen = [&bounds](double x, double y) { bounds.Add(x, y); };
  const RecordStream* streams[3] = {&line.outline_stream, &line.hatch_stream, &line.fill_stream};
  for (int s = 0; s < 3; ++s) {
    FlatReader stream(*streams[s]);
    const size_t size = stream.size();
    double px = 0.0, py = 0.0;
    size_t p = 0;
    while (p + 2 < size) {
      // Only the outline stream's arcs are read as arcs; the other streams are
      // walked in steps of three values.
      if (s == 0 && TruncateToInt(stream[p]) == 42 && p + 4 < size) {
        const double cx = px + stream[p + 3], cy = py + stream[p + 4];
        const double ex = px + stream[p + 1], ey = py + stream[p + 2];
        NURBSPoint lo, hi;
        QuarterArcBox(px - cx, py - cy, ex - cx, ey - cy, hi, lo);
        widen(cx + lo.GetX(), cy + lo.GetY());
        widen(cx + hi.GetX(), cy + hi.GetY());
        px = ex;
        py = ey;
        widen(px, py);
        p += 5;
        continue;
      }
      px += stream[p + 1];
      py += stream[p + 2];
      widen(px, py);
      p += 3;
    }
  }
  box[0] = static_cast<float>(bounds.min_x);
  box[1] = static_cast<float>(bounds.min_y);
  box[2] = static_cast<float>(bounds.max_x);
  box[3] = static_cast<float>(bounds.max_y);
}

int* TextArray(const ProcessSettings& settings, const std::vector<std::unique_ptr<TTFState>>& lines,
               int index, int type, bool align, float* box, int& count) {
  count = 0;
  if (!lines.empty() && index < 0) {
    return BuildTextArray(settings, lines, type, align, box, count);
  }
  std::vector<double> list;
  bool found = false;
  if (!lines.empty()) list = BuildCharacterArray(settings, lines, index, type, align, box, found);
  return ToIntArray(list, count);
}

}  // namespace vuzodo
