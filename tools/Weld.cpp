// --weld: the text's characters united into one region, outlined and hatched once.
#include "Weld.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <exception>
#include <limits>
#include <memory>
#include <span>
#include <utility>
#include <vector>

#include "HatchFill.h"
#include "HatchPattern.h"
#include "QELEntity.h"
#include "QELUtility.h"
#include "vuzodo/vuzodo.h"

namespace vuzodo_cli {
namespace {

using Outline = std::vector<std::unique_ptr<CQELEntity>>;
using Points = std::vector<std::pair<double, double>>;

// Drawing records from absolute coordinates (output units): each point is rounded on its own
// and the records hold the differences, so no rounding adds up along a long text.
class RecordWriter {
 public:
  // `shift` is added to every point.
  explicit RecordWriter(std::pair<double, double> shift) : shift_(shift) {}
  void To(int code, double x, double y) {
    const double rx = std::round(x + shift_.first), ry = std::round(y + shift_.second);
    if (!(std::fabs(rx) <= kLimit && std::fabs(ry) <= kLimit)) {
      out_of_range_ = true;
      return;
    }
    const auto ix = static_cast<long long>(rx), iy = static_cast<long long>(ry);
    // A draw the rounding shortened to nothing would only be a dot.
    if (code == 41 && ix == x_ && iy == y_) return;
    records_.insert(records_.end(), {code, static_cast<int>(ix - x_), static_cast<int>(iy - y_)});
    x_ = ix;
    y_ = iy;
  }
  void Polyline(const Points& points, bool closed) {
    if (points.empty()) return;
    To(40, points[0].first, points[0].second);
    for (size_t i = 1; i < points.size(); ++i) To(41, points[i].first, points[i].second);
    if (closed) To(41, points[0].first, points[0].second);
  }
  bool OutOfRange() const { return out_of_range_; }
  std::vector<int> Done() {
    records_.push_back(-1);
    return std::move(records_);
  }

 private:
  // The records' differences must fit an int as well as the positions.
  static constexpr double kLimit = std::numeric_limits<int>::max() / 2;
  std::pair<double, double> shift_;
  std::vector<int> records_;
  long long x_ = 0, y_ = 0;
  bool out_of_range_ = false;
};

// How many drawing records (everything but moves) each character has. The engine's stream of
// one character starts from the previous character's end as rounded in that stream, which
// drifts over a long text (0.2 user units after 1,000 characters); the whole text's stream
// rounds each position once, so coordinates come from there and only the counts from here.
// The counts are those of the lines as laid out: placing them in the box, which measures
// every line at each call, would only move them.
std::vector<size_t> DrawingRecordCounts() {
  const int characters = GetCharacterCount(-1);
  std::vector<size_t> counts(static_cast<size_t>(std::max(characters, 0)));
  for (int i = 0; i < characters; ++i) {
    int* data = nullptr;
    const int n = GetOutLinesEx(i, EN_RT_BORDER, &data, nullptr);
    for (int p = 0; p + 2 < n && data[p] != -1; p += data[p] == 42 ? 5 : 3) {
      if (data[p] != 40) ++counts[i];
    }
    DeleteTTFData(data);
  }
  return counts;
}

// How far the text's first line was moved when the lines were placed in the text box: the
// engine hatches each character where it lies before that, so its hatch lines run through
// the patterns' base points there.
std::pair<double, double> FirstLineShift() {
  float laid[10] = {}, placed[10] = {};
  int* data = nullptr;
  GetOutLinesEx(0, EN_RT_BORDER, &data, laid);
  DeleteTTFData(data);
  data = nullptr;
  GetMultilineOutLines(0, EN_RT_BORDER, &data, placed);
  DeleteTTFData(data);
  // The pen after the first character: written for every character, boxed or not.
  return {static_cast<double>(placed[8]) - laid[8], static_cast<double>(placed[9]) - laid[9]};
}

// The whole text's outline records cut into characters, as the entities the engine hands the
// hatching, moved back by `shift`: a run of straight segments is a polyline (closed when it
// comes back to its start), an arc is an arc; dots, which enclose nothing, are collected
// apart.
std::vector<Outline> CharacterOutlines(std::span<const int> a, std::pair<double, double> shift,
                                       Points& dots) {
  const std::vector<size_t> counts = DrawingRecordCounts();
  std::vector<Outline> outlines(counts.size());
  double x = -shift.first, y = -shift.second;
  size_t p = 0;
  for (size_t c = 0; c < counts.size(); ++c) {
    Outline& outline = outlines[c];
    std::unique_ptr<CQELPolyLine> run;
    auto finish = [&] {
      if (run == nullptr) return;
      auto& points = run->GetPoints();
      const bool closed = points.size() > 3 && points.front().GetX() == points.back().GetX() &&
                          points.front().GetY() == points.back().GetY();
      if (closed) points.pop_back();
      run->SetClosed(closed ? 1 : 0);  // a new polyline is closed until told otherwise
      outline.push_back(std::move(run));
    };
    for (size_t left = counts[c]; left > 0 && p + 2 < a.size() && a[p] != -1;) {
      const int code = a[p];
      if (code == 42 && p + 4 < a.size()) {
        finish();
        const std::array<double, 4> record = {
            static_cast<double>(a[p + 1]), static_cast<double>(a[p + 2]),
            static_cast<double>(a[p + 3]), static_cast<double>(a[p + 4])};
        outline.emplace_back(ArcRecordToArc(record, x, y));
        --left;
        p += 5;
        continue;
      }
      if (code == 41) {
        if (run == nullptr) {
          run = std::make_unique<CQELPolyLine>();
          run->AddPoint(x, y);
        }
        run->AddPoint(x + a[p + 1], y + a[p + 2]);
      } else {
        finish();
      }
      x += a[p + 1];
      y += a[p + 2];
      if (code == 466) dots.emplace_back(x, y);
      if (code != 40) --left;
      p += 3;
    }
    finish();
  }
  return outlines;
}

struct Fill {
  std::vector<CQELEntity*> lines;
  std::vector<CQELPolyLine*> polylines;
  ~Fill() {
    for (CQELEntity* e : lines) delete e;
    for (CQELPolyLine* p : polylines) delete p;
  }
};

Points PointsOf(const CQELPolyLine& polyline) {
  Points points;
  for (const NURBSPoint& q : polyline.GetPoints()) points.emplace_back(q.GetX(), q.GetY());
  return points;
}

}  // namespace

std::string WeldLayers(bool border, float unit, Layers& welded) {
  Layers whole = FetchLayers();
  std::copy(std::begin(whole.box), std::end(whole.box), std::begin(welded.box));
  // The union is made and hatched where the first line lay before it was placed, and moved
  // back: a one-line text gets the engine's hatch lines.
  const std::pair<double, double> shift = FirstLineShift();
  Points dots;
  std::vector<Outline> outlines = CharacterOutlines(whole.outline, shift, dots);
  const auto& patterns = qelhatching::PatternList();
  std::vector<Points> strokes;
  RecordWriter outline(shift), fill(shift), hatch(shift);
  try {
    // The union's outline replaces arcs drawn exactly, so they are flattened as finely as the
    // region's frame holds (one Clipper unit, U / 10000) rather than at the hatching's chord
    // tolerance (up to U / 1000), which would shrink a circle's area by a tenth of a percent.
    std::vector<qelhatching::Region> pieces =
        qelhatching::UniteRegions(outlines, unit / qelhatching::kUnitsPerUserUnit, unit, strokes);
    // Round offset corners take the hatching's own chord tolerance, as for a character.
    for (qelhatching::Region& piece : pieces) {
      piece.chord_tolerance = qelhatching::ChordTolerance(patterns, unit);
    }
    // Piece by piece, in their travel order: Clipper lists the union's contours in no order a
    // pen could follow, and the outline is marked before the hatching.
    for (const qelhatching::Region& piece : pieces) {
      for (const qelhatching::Path& path : piece.paths) {
        Points points;
        for (const auto& q : path) {
          points.emplace_back(piece.frame.OutX(q.X), piece.frame.OutY(q.Y));
        }
        outline.Polyline(points, true);
      }
    }
    for (const Points& s : strokes) outline.Polyline(s, false);
    for (const auto& [dx, dy] : dots) outline.To(466, dx, dy);
    for (const qelhatching::Region& piece : pieces) {
      Fill out;
      qelhatching::FillRegion(piece, patterns, out.lines, out.polylines);
      for (const CQELEntity* e : out.lines) {
        const auto& line = static_cast<const CQELLine&>(*e);
        fill.To(40, line.GetStartPoint().GetX(), line.GetStartPoint().GetY());
        fill.To(41, line.GetEndPoint().GetX(), line.GetEndPoint().GetY());
      }
      for (const CQELPolyLine* p : out.polylines) hatch.Polyline(PointsOf(*p), p->GetClosed() == 1);
    }
  } catch (const std::exception& e) {  // Clipper's range error, or out of memory
    return std::string("the union of the characters failed: ") + e.what();
  }
  if (outline.OutOfRange() || fill.OutOfRange() || hatch.OutOfRange()) {
    return "the welded drawing spans past the int32 range of its records; lower -H or --unit";
  }
  welded.Keep(0, border ? outline.Done() : std::vector<int>{-1});
  welded.Keep(1, fill.Done());
  welded.Keep(2, hatch.Done());
  return "";
}

}  // namespace vuzodo_cli
