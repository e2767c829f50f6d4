#include "OVFShapeInfo.h"

#include <cmath>
#include <cstring>
#include <initializer_list>

namespace {

// Little-endian reader over the file buffer; every read is bounds-checked and a failed read
// leaves the cursor alone.
class Cursor {
 public:
  Cursor(const std::vector<std::uint8_t>& file, std::size_t position)
      : file_(file), position_(position) {}

  bool Int(std::int32_t& value) {
    std::uint32_t raw = 0;
    if (!Word(raw)) return false;
    value = static_cast<std::int32_t>(raw);
    return true;
  }
  bool Real(float& value) {
    std::uint32_t raw = 0;
    if (!Word(raw)) return false;
    std::memcpy(&value, &raw, sizeof value);
    return true;
  }
  std::size_t Remaining() const { return file_.size() - position_; }
  std::size_t Position() const { return position_; }

 private:
  bool Word(std::uint32_t& raw) {
    if (Remaining() < 4) return false;
    const std::uint8_t* p = file_.data() + position_;
    raw = static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
          static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
    position_ += 4;
    return true;
  }

  const std::vector<std::uint8_t>& file_;
  std::size_t position_;
};

bool AllFinite(std::initializer_list<float> values) {
  for (float v : values) {
    if (!std::isfinite(v)) return false;
  }
  return true;
}

}  // namespace

void FlattenOVFBezierSegment(const float p0[2], const float c1[2], const float c2[2],
                             const float p3[2], std::vector<NURBSPoint>& out) {
  // Evaluated in float on purpose: the point values (and the eleventh t of 0.9000001f instead
  // of 1) are what the drawings have always had.
  auto bezier = [&](float t) {
    const float mt = 1.0f - t;
    const float b0 = mt * mt * mt;
    const float b1 = 3.0f * t * mt * mt;
    const float b2 = 3.0f * t * t * mt;
    const float b3 = t * t * t;
    const float x = b0 * p0[0] + b1 * c1[0] + b2 * c2[0] + b3 * p3[0];
    const float y = b0 * p0[1] + b1 * c1[1] + b2 * c2[1] + b3 * p3[1];
    out.emplace_back(static_cast<double>(x), static_cast<double>(y));
  };
  out.emplace_back(static_cast<double>(p0[0]), static_cast<double>(p0[1]));
  const float step = 0.1f;
  for (float t = 0.0f; t < 1.0f; t += step) bezier(t);
  bezier(1.0f);
}

std::vector<CQELEntity*> OVFShapeInfo::CloneEntities() const {
  std::vector<CQELEntity*> copies;
  copies.reserve(entities_.size());
  for (const auto& entity : entities_) {
    if (CQELEntity* copy = entity->Clone()) copies.push_back(copy);
  }
  return copies;
}

bool OVFShapeInfo::ReadEntry(const std::vector<std::uint8_t>& file, std::size_t& cursor) {
  Cursor in(file, cursor);
  std::int32_t code = 0;
  float e0 = 0, e1 = 0, e2 = 0, bottom = 0, top = 0;
  std::int32_t count = 0;
  if (!in.Int(code) || !in.Real(e0) || !in.Real(e1) || !in.Real(e2) || !in.Real(bottom) ||
      !in.Real(top) || !in.Int(count)) {
    return false;
  }
  // A negative count or one whose records run past the end of the file ends the table here.
  if (count < 0 || static_cast<std::size_t>(count) > in.Remaining() / 32) return false;
  std::vector<OVFPlacement> records(static_cast<std::size_t>(count));
  for (OVFPlacement& r : records) {
    in.Real(r.a), in.Real(r.b), in.Real(r.c), in.Real(r.d), in.Real(r.e), in.Real(r.f);
    in.Int(r.length), in.Int(r.offset);
  }
  code_ = code;
  e0_ = e0, e1_ = e1, e2_ = e2, bottom_ = bottom, top_ = top;
  min_ = NURBSPoint(0.0, static_cast<double>(bottom));
  // The width is summed in float, as the table stores it.
  max_ = NURBSPoint(static_cast<double>(e0 + e1 + e2), static_cast<double>(top));
  record_count_ = count;
  records_ = std::move(records);
  cursor = in.Position();
  return true;
}

void OVFShapeInfo::Decode(const std::vector<std::uint8_t>& file) {
  if (decoded_) return;
  decoded_ = true;
  if (records_.empty()) return;
  const OVFPlacement& place = records_.front();
  // Data that starts outside the file, or a matrix that is not a number, draws nothing.
  if (place.offset < 0 || static_cast<std::size_t>(place.offset) > file.size()) return;
  if (!AllFinite({place.a, place.b, place.c, place.d, place.e, place.f})) return;

  Cursor in(file, static_cast<std::size_t>(place.offset));
  // The byte counter counts command words and operands; a command begun before the length is
  // read to its end even past it. Running off the end of the file stops decoding, keeping what
  // was made so far.
  const std::int64_t length = place.length;
  std::int64_t consumed = 0;
  auto add = [&](CQELEntity* entity) {
    entity->Transform(place.a, place.b, place.c, place.d, place.e, place.f);
    entities_.emplace_back(entity);
  };
  while (consumed < length) {
    std::int32_t command = 0;
    if (!in.Int(command)) return;
    consumed += 4;
    switch (command) {
      case 0: {  // advance, one unused word
        float advance = 0, unused = 0;
        if (!in.Real(advance) || !in.Real(unused)) return;
        consumed += 8;
        if (std::isfinite(advance)) advance_ = advance;
        break;
      }
      case 1: {  // line x1 y1 x2 y2
        float v[4];
        for (float& x : v) {
          if (!in.Real(x)) return;
        }
        consumed += 16;
        if (!AllFinite({v[0], v[1], v[2], v[3]})) break;
        add(new CQELLine(NURBSPoint(v[0], v[1]), NURBSPoint(v[2], v[3])));
        break;
      }
      case 2: {  // polyline: n, closed flag, n points
        std::int32_t n = 0, closed = 0;
        if (!in.Int(n) || !in.Int(closed)) return;
        if (n < 0 || static_cast<std::size_t>(n) > in.Remaining() / 8) return;
        consumed += 8 + 8 * static_cast<std::int64_t>(n);
        auto polyline = std::make_unique<CQELPolyLine>();
        polyline->SetClosed(closed == 1 ? 1 : 0);
        bool finite = true;
        for (std::int32_t i = 0; i < n; ++i) {
          float x = 0, y = 0;
          in.Real(x), in.Real(y);
          finite = finite && AllFinite({x, y});
          polyline->AddPoint(x, y);
        }
        if (n > 0 && finite) add(polyline.release());
        break;
      }
      case 3: {  // circular arc cx cy r start sweep
        float v[5];
        for (float& x : v) {
          if (!in.Real(x)) return;
        }
        consumed += 20;
        if (!AllFinite({v[0], v[1], v[2], v[3], v[4]})) break;
        add(new CQELEllipticalArc(NURBSPoint(v[0], v[1]), v[2], v[3], v[4]));
        break;
      }
      case 4: {  // elliptical arc cx cy a b phi start sweep
        float v[7];
        for (float& x : v) {
          if (!in.Real(x)) return;
        }
        consumed += 28;
        if (!AllFinite({v[0], v[1], v[2], v[3], v[4], v[5], v[6]}) || v[2] == 0.0f) break;
        const double a = v[2], phi = v[4];
        const CQELEllipticalArc arc(NURBSPoint(v[0], v[1]),
                                    NURBSPoint(a * std::cos(phi), a * std::sin(phi)),
                                    static_cast<double>(v[3]) / a, v[5], v[6]);
        // An arc's own transform moves only its centre, and the shape scale later leaves an
        // ellipse alone: the placed ellipse is its flattened image, which both reach in full.
        entities_.emplace_back(
            arc.ToPolyLine(place.a, place.b, place.c, place.d, place.e, place.f));
        break;
      }
      case 5: {  // cubic Bezier path: n, first point, then (control, control, end) groups
        std::int32_t n = 0;
        float p0[2];
        if (!in.Int(n) || !in.Real(p0[0]) || !in.Real(p0[1])) return;
        consumed += 12;
        // Segments read: one for each k = 0, 3, 6, ... below n - 3.
        const std::int64_t segments = n > 3 ? (static_cast<std::int64_t>(n) - 3 + 2) / 3 : 0;
        if (static_cast<std::uint64_t>(segments) > in.Remaining() / 24) return;
        consumed += 24 * segments;
        std::vector<NURBSPoint> points;
        bool finite = AllFinite({p0[0], p0[1]});
        for (std::int64_t s = 0; s < segments; ++s) {
          float c1[2], c2[2], p3[2];
          in.Real(c1[0]), in.Real(c1[1]), in.Real(c2[0]), in.Real(c2[1]);
          in.Real(p3[0]), in.Real(p3[1]);
          finite = finite && AllFinite({c1[0], c1[1], c2[0], c2[1], p3[0], p3[1]});
          FlattenOVFBezierSegment(p0, c1, c2, p3, points);
          p0[0] = p3[0], p0[1] = p3[1];
        }
        // Control points near the float limit can overflow while flattening.
        for (const NURBSPoint& p : points) {
          finite = finite && std::isfinite(p.GetX()) && std::isfinite(p.GetY());
        }
        if (points.empty() || !finite) break;
        auto* polyline = new CQELPolyLine();
        polyline->SetClosed(0);
        for (const NURBSPoint& p : points) polyline->AddPoint(p);
        if (points.front().GetX() == points.back().GetX() &&
            points.front().GetY() == points.back().GetY()) {
          polyline->SetClosed(1);
        }
        add(polyline);
        break;
      }
      case 6: {  // dot x y
        float x = 0, y = 0;
        if (!in.Real(x) || !in.Real(y)) return;
        consumed += 8;
        if (!AllFinite({x, y})) break;
        add(new CQELDot(NURBSPoint(x, y)));
        break;
      }
      default:  // unknown command: only its own word is consumed
        break;
    }
  }
}
