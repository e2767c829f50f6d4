// Coordinate-stream writers, arc records, the arc direction test, poly-draw conversion and the
// small numeric helpers.
#include "QELUtility.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <numbers>

namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;
constexpr double kQuarterTurn = std::numbers::pi / 2.0;

// Beyond this many quarter turns an arc is not written: far past any real arc, short of an
// integer overflow in the piece count.
constexpr double kMaxQuarterTurns = 1 << 20;

// Divisor offset of the arc-record flattening: 0.9999 as a float, widened.
constexpr double kArcRecordStepOffset = static_cast<double>(0.9999f);

// The writers below take the entity at `i` and every following entity of the same type code
// (up to a null entry or another code), and leave `i` past the run.

void EncodeLineRun(const std::vector<CQELEntity*>& entities, std::size_t& i, RecordStream& stream,
                   NURBSPoint& pen) {
  for (;
       i < entities.size() && entities[i] != nullptr && entities[i]->GetType() == CQELEntity::kLine;
       ++i) {
    const auto* line = static_cast<const CQELLine*>(entities[i]);
    const NURBSPoint& s = line->GetStartPoint();
    const NURBSPoint& e = line->GetEndPoint();
    if (s.GetX() - pen.GetX() != 0.0 || s.GetY() - pen.GetY() != 0.0) {
      stream.Put(RecordCode::kMove, s.GetX() - pen.GetX(), s.GetY() - pen.GetY());
    }
    stream.Put(RecordCode::kDraw, e.GetX() - s.GetX(), e.GetY() - s.GetY());
    pen.SetX(e.GetX());
    pen.SetY(e.GetY());
  }
}

// The draws of a polyline after its first point; the pen ends on the last point written.
void EncodePolyLineBody(const CQELPolyLine& polyline, RecordStream& stream, NURBSPoint& pen) {
  const QELPointList& p = polyline.GetPoints();
  const std::size_t n = p.size();
  const bool closed = polyline.GetClosed() == 1;
  const std::size_t draws = n - 1 + (closed ? 1 : 0);
  // One geometric growth of the stream per polyline (an exact reserve would reallocate the
  // whole stream for every polyline), then the draws written in place.
  stream.Grow(draws);
  double* out = stream.AddDraws(draws);
  for (std::size_t k = 1; k < n; ++k, out += 2) {
    out[0] = p[k].GetX() - p[k - 1].GetX();
    out[1] = p[k].GetY() - p[k - 1].GetY();
  }
  if (closed) {
    out[0] = p[0].GetX() - p[n - 1].GetX();
    out[1] = p[0].GetY() - p[n - 1].GetY();
  }
  const NURBSPoint& last = closed ? p[0] : p[n - 1];
  pen.SetX(last.GetX());
  pen.SetY(last.GetY());
}

void EncodePolyLineRun(const std::vector<CQELEntity*>& entities, std::size_t& i,
                       RecordStream& stream, NURBSPoint& pen) {
  for (; i < entities.size() && entities[i] != nullptr &&
         entities[i]->GetType() == CQELEntity::kPolyLine;
       ++i) {
    const auto* polyline = static_cast<const CQELPolyLine*>(entities[i]);
    const QELPointList& p = polyline->GetPoints();
    if (p.empty()) continue;
    const double dx = p[0].GetX() - pen.GetX();
    const double dy = p[0].GetY() - pen.GetY();
    if (dx * dx + dy * dy > 1e-20) stream.Put(RecordCode::kMove, dx, dy);
    EncodePolyLineBody(*polyline, stream, pen);
  }
}

void EncodeDotRun(const std::vector<CQELEntity*>& entities, std::size_t& i, RecordStream& stream,
                  NURBSPoint& pen) {
  for (;
       i < entities.size() && entities[i] != nullptr && entities[i]->GetType() == CQELEntity::kDot;
       ++i) {
    const NURBSPoint& p = static_cast<const CQELDot*>(entities[i])->GetPosition();
    stream.Put(RecordCode::kDot, p.GetX() - pen.GetX(), p.GetY() - pen.GetY());
    pen.SetX(p.GetX());
    pen.SetY(p.GetY());
  }
}

// Arcs are written as circles of radius axis.x: the axis direction and the ratio are not read.
// Each arc becomes pieces of a quarter turn and a remainder.
void EncodeArc(const CQELEllipticalArc& arc, RecordStream& stream, NURBSPoint& pen) {
  const double s = arc.GetSweep();
  if (!(std::fabs(2.0 * s / std::numbers::pi) <= kMaxQuarterTurns)) return;  // NaN or runaway
  int n = static_cast<int>(std::fabs(2.0 * s / std::numbers::pi));
  const double q = s < 0.0 ? -kQuarterTurn : kQuarterTurn;
  double rem = s - n * q;
  if (std::fabs(rem) <= 1e-7) {
    // A remainder this small folds into the last quarter turn (and a sweep of 0 writes nothing).
    rem = q;
  } else {
    ++n;
  }
  const double r = arc.GetAxisPoint().GetX();
  const double cx = arc.GetCenter().GetX();
  const double cy = arc.GetCenter().GetY();
  double a = arc.GetStartAngle();
  for (int k = 0; k < n; ++k) {
    const double b = a + (k == n - 1 ? rem : q);
    const double sx = cx + r * std::cos(a);
    const double sy = cy + r * std::sin(a);
    const double ex = cx + r * std::cos(b);
    const double ey = cy + r * std::sin(b);
    const double mx = sx - pen.GetX();
    const double my = sy - pen.GetY();
    if (mx * mx + my * my > 0.0) stream.Put(RecordCode::kMove, mx, my);
    stream.PutArc(ex - sx, ey - sy, cx - sx, cy - sy);
    pen.SetX(ex);
    pen.SetY(ey);
    a = b;
  }
}

void EncodeArcRun(const std::vector<CQELEntity*>& entities, std::size_t& i, RecordStream& stream,
                  NURBSPoint& pen) {
  for (; i < entities.size() && entities[i] != nullptr &&
         entities[i]->GetType() == CQELEntity::kEllipticalArc;
       ++i) {
    EncodeArc(*static_cast<const CQELEllipticalArc*>(entities[i]), stream, pen);
  }
}

// Start angle a0 and signed sweep of the arc about C from (x, y) to E for direction d: both
// angles are raised into [0, 2 pi), then the sweep is brought to the direction's sign.
void ArcAngles(int d, double sx, double sy, double ex, double ey, double& a0, double& sweep) {
  if (d != kDirectionClockwise && d != kDirectionCounterClockwise) {
    a0 = 0.0;
    sweep = 0.0;
    return;
  }
  a0 = std::atan2(sy, sx);
  double a1 = std::atan2(ey, ex);
  // atan2 is bounded (or NaN), so each loop runs at most a few times.
  while (a0 < 0.0) a0 += kTwoPi;
  while (a1 < 0.0) a1 += kTwoPi;
  sweep = a1 - a0;
  if (d == kDirectionClockwise) {
    while (sweep > 0.0) sweep -= kTwoPi;
  } else {
    while (sweep < 0.0) sweep += kTwoPi;
  }
}

int Sign(double v) {
  return (v > 0.0) - (v < 0.0);
}

// The tie rule of the half-planes: the two vectors share the ordinate y (rules 1 and 2) or the
// abscissa (rules 3 and 4, with the roles of x and y swapped and the senses mirrored).
int SameOrdinate(double x1, double x2, double y) {
  if (x1 == x2) return kDirectionEqual;
  if (y == 0.0) return kDirectionUndecided;
  if (x1 > x2) return y > 0.0 ? kDirectionCounterClockwise : kDirectionClockwise;
  return y > 0.0 ? kDirectionClockwise : kDirectionCounterClockwise;
}

int SameAbscissa(double y1, double y2, double x) {
  if (y1 == y2) return kDirectionEqual;
  if (x == 0.0) return kDirectionUndecided;
  if (y1 > y2) return x > 0.0 ? kDirectionClockwise : kDirectionCounterClockwise;
  return x > 0.0 ? kDirectionCounterClockwise : kDirectionClockwise;
}

// Flattens the quadratic piece (p0, p1, p2) into `polyline`.
void AddQuadraticPiece(const NURBSPoint& p0, const NURBSPoint& p1, const NURBSPoint& p2,
                       CQELPolyLine& polyline) {
  CQELD3Bezier cubic;
  ElevateQuadratic(p0, p1, p2, cubic);
  FlattenCubicPiece(cubic, &polyline);
}

}  // namespace

void EncodeEntities(const std::vector<CQELEntity*>& entities, RecordStream& stream,
                    NURBSPoint& pen) {
  std::size_t i = 0;
  while (i < entities.size()) {
    const CQELEntity* entity = entities[i];
    switch (entity == nullptr ? -1 : entity->GetType()) {
      case CQELEntity::kLine:
        EncodeLineRun(entities, i, stream, pen);
        break;
      case CQELEntity::kEllipticalArc:
        EncodeArcRun(entities, i, stream, pen);
        break;
      case CQELEntity::kPolyLine:
        EncodePolyLineRun(entities, i, stream, pen);
        break;
      case CQELEntity::kDot:
        EncodeDotRun(entities, i, stream, pen);
        break;
      default:
        // Null entries and entities that have no stream form (poly-draws, Bezier holders,
        // unknown codes) are passed over.
        ++i;
        break;
    }
  }
}

void EncodePolyLine(const CQELPolyLine* polyline, RecordStream& stream, NURBSPoint& pen) {
  if (polyline == nullptr || polyline->GetPoints().empty()) return;
  const NURBSPoint& first = polyline->GetPoints().front();
  stream.Put(RecordCode::kMove, first.GetX() - pen.GetX(), first.GetY() - pen.GetY());
  EncodePolyLineBody(*polyline, stream, pen);
}

bool EncodeTransformedPolyLines(const std::vector<CQELEntity*>& entities, double a, double b,
                                double c, double d, double e, double f, RecordStream& stream,
                                NURBSPoint& pen) {
  std::size_t records = 0;  // at most: a move, the draws and a closing draw per polyline
  for (const CQELEntity* entity : entities) {
    if (entity == nullptr) continue;
    if (entity->GetType() != CQELEntity::kPolyLine) return false;
    records += static_cast<const CQELPolyLine*>(entity)->GetPoints().size() + 1;
  }
  // One growth for the whole outline, by the factor of EncodePolyLineBody, then room for the
  // most records it can give, written in place and cut back to those it gave.
  stream.Grow(records);
  const StreamMark start = stream.End();
  double* const out = stream.AddDraws(records);
  // Every code is a draw but where a move is written.
  RecordCode* const codes = stream.codes.data() + start.records;
  // x and y side by side: each lane does the scalar steps of NURBSPoint::Transform
  // ((a*x + b*y) + e, (c*x + d*y) + f) and of the differences, in the same order, so the values
  // are those of the scalar code bit for bit, for half the instructions.
  using Pair = double __attribute__((vector_size(16)));
  const Pair ac{a, c}, bd{b, d}, ef{e, f};
  const auto placed = [&](const NURBSPoint& point) {
    const Pair x{point.GetX(), point.GetX()}, y{point.GetY(), point.GetY()};
    return ac * x + bd * y + ef;
  };
  std::size_t m = 0;  // records written
  Pair at{pen.GetX(), pen.GetY()};
  for (const CQELEntity* entity : entities) {
    if (entity == nullptr) continue;
    const auto* polyline = static_cast<const CQELPolyLine*>(entity);
    const QELPointList& p = polyline->GetPoints();
    const std::size_t n = p.size();
    if (n == 0) continue;
    const Pair first = placed(p[0]);
    const Pair move = first - at;
    if (move[0] * move[0] + move[1] * move[1] > 1e-20) {
      codes[m] = RecordCode::kMove;
      out[2 * m] = move[0];
      out[2 * m + 1] = move[1];
      ++m;
    }
    Pair last = first;
    // Only doubles are stored in the loop (the codes are draws already): a store of a one-byte
    // code may alias anything and would make the compiler reload what the loop keeps in
    // registers.
    double* to = out + 2 * m;
    for (std::size_t k = 1; k < n; ++k, to += 2) {
      const Pair q = placed(p[k]);
      const Pair step = q - last;
      to[0] = step[0];
      to[1] = step[1];
      last = q;
    }
    m += n - 1;
    if (polyline->GetClosed() == 1) {
      const Pair step = first - last;
      out[2 * m] = step[0];
      out[2 * m + 1] = step[1];
      ++m;
      last = first;
    }
    at = last;
  }
  const auto written = static_cast<std::uint32_t>(m);
  stream.Truncate(start + StreamMark{written, 2 * written});
  pen.SetX(at[0]);
  pen.SetY(at[1]);
  return true;
}

void EncodeLines(const std::vector<CQELLine*>& lines, RecordStream& stream, NURBSPoint& pen) {
  for (const CQELLine* line : lines) {
    if (line == nullptr) continue;
    const NURBSPoint& s = line->GetStartPoint();
    const NURBSPoint& e = line->GetEndPoint();
    stream.Put(RecordCode::kMove, s.GetX() - pen.GetX(), s.GetY() - pen.GetY());
    stream.Put(RecordCode::kDraw, e.GetX() - s.GetX(), e.GetY() - s.GetY());
    pen.SetX(e.GetX());
    pen.SetY(e.GetY());
  }
}

CQELEllipticalArc* ArcRecordToArc(std::span<const double, 4> record, double& x, double& y) {
  const double ex = record[0];
  const double ey = record[1];
  const double cx = record[2];
  const double cy = record[3];
  const double end_x = x + ex;
  const double end_y = y + ey;

  // Font data rounds its centres; move the centre parallel to the chord onto the chord's
  // perpendicular bisector, so that start and end are equally far from it.
  const double h = ex / 2.0;
  const double k = ey / 2.0;
  double ccx;
  double ccy;
  if (ex != 0.0 && ey != 0.0) {
    const double m = ey / ex;
    const double q = cy - m * cx;
    ccx = (h / m + k - q) * m / (m * m + 1.0);
    ccy = (m * m * (h / m + k) + q) / (m * m + 1.0);
  } else if (ex != 0.0) {
    ccx = ex / 2.0;
    ccy = cy;
  } else {
    ccx = cx;
    ccy = ey / 2.0;
  }
  const double radius = std::sqrt((ex - ccx) * (ex - ccx) + (ey - ccy) * (ey - ccy));
  const double centre_x = x + ccx;
  const double centre_y = y + ccy;

  const double sx = x - centre_x;
  const double sy = y - centre_y;
  const double rx = end_x - centre_x;
  const double ry = end_y - centre_y;
  const int d = ArcDirection(sx, sy, rx, ry);
  double a0;
  double sweep;
  ArcAngles(d, sx, sy, rx, ry, a0, sweep);
  x = end_x;
  y = end_y;
  return new CQELEllipticalArc(NURBSPoint(centre_x, centre_y), radius, a0, sweep);
}

void AppendArcRecord(std::span<const double, 4> record, double& x, double& y,
                     CQELPolyLine* polyline) {
  const double centre_x = x + record[2];
  const double centre_y = y + record[3];
  const double end_x = x + record[0];
  const double end_y = y + record[1];
  const double sx = x - centre_x;
  const double sy = y - centre_y;
  const double radius = std::sqrt(sx * sx + sy * sy);
  const double rx = end_x - centre_x;
  const double ry = end_y - centre_y;
  const int d = ArcDirection(sx, sy, rx, ry);
  x = end_x;
  y = end_y;
  if (polyline == nullptr || (d != kDirectionClockwise && d != kDirectionCounterClockwise)) {
    return;
  }
  double a0;
  double sweep;
  ArcAngles(d, sx, sy, rx, ry, a0, sweep);
  if (!std::isfinite(sweep)) return;
  // ceil of the signed quotient: a clockwise arc gets one point fewer than a counter-clockwise
  // one of the same size unless the quotient is whole.
  const int n = std::abs(static_cast<int>(std::ceil(sweep / kArcFlatteningStep)));
  const double delta = sweep / (n + kArcRecordStepOffset);
  double a = a0;
  for (int k = 1; k <= n; ++k) {
    a += delta;
    polyline->AddPoint(centre_x + radius * std::cos(a), centre_y + radius * std::sin(a));
  }
  polyline->AddPoint(end_x, end_y);
}

int ArcDirection(double x1, double y1, double x2, double y2) {
  // Left half-plane, not both on the y axis.
  if ((x1 <= 0.0 && x2 < 0.0) || (x1 < 0.0 && x2 <= 0.0)) {
    if (y1 > y2) return kDirectionCounterClockwise;
    if (y1 < y2) return kDirectionClockwise;
    return SameOrdinate(x1, x2, y1);
  }
  // Right half-plane.
  if ((x1 > 0.0 && x2 >= 0.0) || (x1 >= 0.0 && x2 > 0.0)) {
    if (y1 > y2) return kDirectionClockwise;
    if (y1 < y2) return kDirectionCounterClockwise;
    return SameOrdinate(x1, x2, y1);
  }
  // Upper half-plane.
  if ((y1 > 0.0 && y2 >= 0.0) || (y1 >= 0.0 && y2 > 0.0)) {
    if (x1 > x2) return kDirectionCounterClockwise;
    if (x1 < x2) return kDirectionClockwise;
    return SameAbscissa(y1, y2, x1);
  }
  // Lower half-plane.
  if ((y1 <= 0.0 && y2 < 0.0) || (y1 < 0.0 && y2 <= 0.0)) {
    if (x1 > x2) return kDirectionClockwise;
    if (x1 < x2) return kDirectionCounterClockwise;
    return SameAbscissa(y1, y2, x1);
  }
  // Opposite quadrants: the side the vectors' sum lies on decides.
  if (Sign(x1) != Sign(x2) && Sign(y1) != Sign(y2)) {
    if (x1 + x2 > 0.0) {
      if (y1 < y2) return kDirectionCounterClockwise;
      if (y1 > y2) return kDirectionClockwise;
    } else if (x1 + x2 < 0.0) {
      if (y1 < y2) return kDirectionClockwise;
      if (y1 > y2) return kDirectionCounterClockwise;
    } else if (y1 + y2 > 0.0) {
      if (x1 < x2) return kDirectionClockwise;
      if (x1 > x2) return kDirectionCounterClockwise;
    } else if (y1 + y2 < 0.0) {
      if (x1 < x2) return kDirectionCounterClockwise;
      if (x1 > x2) return kDirectionClockwise;
    }
  }
  return kDirectionUndecided;
}

std::vector<CQELPolyLine*> PolyDrawToPolyLines(const CQELPolyDraw* polydraw) {
  std::vector<CQELPolyLine*> result;
  if (polydraw == nullptr) return result;
  const std::vector<PolyDrawPoint>& p = polydraw->GetPoints();
  const std::size_t count = p.size();
  CQELPolyLine* current = nullptr;
  // The pen enters every piece with weight 1, whatever weight the last evaluated point has.
  auto pen = [&current]() {
    const NURBSPoint& last = current->GetPoints().back();
    return NURBSPoint(last.GetX(), last.GetY(), 1.0);
  };
  std::size_t i = 0;
  while (i < count) {
    const PolyDrawPoint& point = p[i];
    const std::int32_t kind = point.GetKind();
    if (kind == PolyDrawPoint::kMoveTo) {
      if (current != nullptr) result.push_back(current);
      current = new CQELPolyLine();
      current->SetClosed(1);
      current->AddPoint(point.GetX(), point.GetY(), 1.0);
      ++i;
    } else if (current == nullptr) {
      // Points before the first contour start have no pen to draw from.
      ++i;
    } else if (kind == PolyDrawPoint::kLineTo) {
      current->AddPoint(point.GetX(), point.GetY(), point.GetWeight());
      ++i;
    } else if (kind == PolyDrawPoint::kQuadControl) {
      std::size_t j = i;
      // Implied on-curve points halfway between consecutive control points.
      while (j + 1 < count && p[j + 1].GetKind() != PolyDrawPoint::kQuadEnd) {
        const NURBSPoint mid((p[j].GetX() + p[j + 1].GetX()) / 2.0,
                             (p[j].GetY() + p[j + 1].GetY()) / 2.0, 1.0);
        AddQuadraticPiece(pen(), p[j], mid, *current);
        ++j;
      }
      // A run cut off by the end of the sequence has no end point: its last control point is
      // dropped.
      if (j + 1 < count) AddQuadraticPiece(pen(), p[j], p[j + 1], *current);
      i = j + 2;
    } else if (kind == PolyDrawPoint::kCubicControl) {
      // A cubic segment: two control points and its end point. An incomplete segment is passed
      // over point by point.
      if (i + 2 < count && p[i + 1].GetKind() == PolyDrawPoint::kCubicControl &&
          p[i + 2].GetKind() == PolyDrawPoint::kCubicEnd) {
        CQELD3Bezier cubic;
        auto& c = cubic.GetControlPoints();
        c[0] = pen();
        c[1] = NURBSPoint(p[i].GetX(), p[i].GetY(), 1.0);
        c[2] = NURBSPoint(p[i + 1].GetX(), p[i + 1].GetY(), 1.0);
        c[3] = NURBSPoint(p[i + 2].GetX(), p[i + 2].GetY(), 1.0);
        FlattenCubicPiece(cubic, current);
        i += 3;
      } else {
        ++i;
      }
    } else {
      ++i;
    }
  }
  if (current != nullptr) result.push_back(current);
  return result;
}

bool IsNear(double a, double b, double tolerance) {
  return (a - b - tolerance) * (a - b + tolerance) <= 0.0;
}

int RoundToInteger(double value) {
  if (std::isnan(value)) return 0;
  const double shifted = value >= 0.0 ? value + 0.5 : value - 0.5;
  if (shifted >= static_cast<double>(INT_MAX)) return INT_MAX;
  if (shifted <= static_cast<double>(INT_MIN)) return INT_MIN;
  return static_cast<int>(shifted);
}

void WideToNarrow(const unsigned short* wide, char* buffer, std::size_t buffer_size) {
  if (buffer == nullptr || buffer_size == 0) return;
  std::size_t n = 0;
  if (wide != nullptr) {
    for (; wide[n] != 0 && n + 1 < buffer_size; ++n) {
      buffer[n] = static_cast<char>(wide[n] & 0xFF);
    }
  }
  buffer[n] = '\0';
}

std::string WideToNarrow(const unsigned short* wide) {
  std::string narrow;
  if (wide == nullptr) return narrow;
  for (std::size_t n = 0; wide[n] != 0; ++n) narrow.push_back(static_cast<char>(wide[n] & 0xFF));
  return narrow;
}
