// Geometry utilities: rational Bezier evaluation, bounding boxes, circle recognition, the
// coordinate-stream writers, the arc records of the font readers and small numeric helpers.
#ifndef QELOBJECTLIBRARY_QELUTILITY_H
#define QELOBJECTLIBRARY_QELUTILITY_H

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "QELEntity.h"
#include "RecordStream.h"

// ---- coordinate streams ----
//
// A coordinate stream (RecordStream) holds records, each a code followed by offsets relative to
// the running pen (drawing units):
//   move (40)  dx, dy          move without drawing
//   draw (41)  dx, dy          straight segment
//   arc  (42)  ex, ey, cx, cy  arc of at most a quarter turn to pen + (ex, ey) about
//                              pen + (cx, cy)
//   dot (466)  dx, dy          move and mark a dot

// Direction codes of ArcDirection.
inline constexpr int kDirectionClockwise = 1;
inline constexpr int kDirectionCounterClockwise = 2;
inline constexpr int kDirectionEqual = 3;
inline constexpr int kDirectionUndecided = -1;

// ---- rational Bezier pieces ----

// Raises the quadratic piece (p0, p1, p2) to the cubic of `cubic`, in homogeneous form so that
// the weights are kept.
void ElevateQuadratic(const NURBSPoint& p0, const NURBSPoint& p1, const NURBSPoint& p2,
                      CQELD3Bezier& cubic);

// The rational Bezier curve of degree 1, 2 or 3 over control[0..degree] at t. The result carries
// the combined weight sum(B_i * w_i). Any other degree, or too few control points, gives the
// default point (0, 0, 1).
NURBSPoint EvaluateRationalBezier(std::span<const NURBSPoint> control, double t, int degree);

// Appends the cubic at t = 0.25, 0.5, 0.75 and 1 to `polyline` (the start point is assumed to be
// there already): every piece becomes four segments. A piece that degenerates to a straight
// segment (P0 = P1 and P2 = P3) appends its two end points instead, with weight 1.
void FlattenCubicPiece(const CQELD3Bezier& cubic, CQELPolyLine* polyline);

// ---- boxes and circles ----

// Widens min and max (initialised by the caller) to include the entity: both points of a line,
// every point of a polyline, a dot's position, an elliptical arc's full extent. Other type codes
// and null change nothing.
void GrowBoundingBox(NURBSPoint& min, NURBSPoint& max, const CQELEntity* entity);

// Sets max and min, relative to the centre, to the box of the arc of at most a quarter turn from
// S = (x1, y1) to E = (x2, y2), both relative to the centre; the radius is |S|.
void QuarterArcBox(double x1, double y1, double x2, double y2, NURBSPoint& max, NURBSPoint& min);

// A new circular arc (caller owns it) when the polyline's points lie on one circle, else null.
[[nodiscard]] CQELEllipticalArc* PolyLineToCircle(const CQELPolyLine* polyline);

// ---- stream writers ----
//
// Each writer appends to `stream` relative to `pen` and leaves `pen` where the stream's pen is
// afterwards.

// Writes lines, circular arcs (split into quarter turns), polylines and dots. Null entries and
// entities of other type codes are skipped without writing anything.
void EncodeEntities(const std::vector<CQELEntity*>& entities, RecordStream& stream,
                    NURBSPoint& pen);
// Writes one polyline, always starting with a move (even a zero one). Null or empty: nothing.
void EncodePolyLine(const CQELPolyLine* polyline, RecordStream& stream, NURBSPoint& pen);
// Writes what EncodeEntities writes for copies of `entities` whose every point was moved by
// NURBSPoint::Transform(a, b, c, d, e, f), without making the copies: each point is transformed
// as it is encoded, with the same operations in the same order, so the values are the same bit
// for bit. Only for outlines of polylines: when a non-null entity is anything else, nothing is
// written and the answer is false.
bool EncodeTransformedPolyLines(const std::vector<CQELEntity*>& entities, double a, double b,
                                double c, double d, double e, double f, RecordStream& stream,
                                NURBSPoint& pen);
// Writes each line as a move to its start and a draw to its end. Null entries are skipped.
void EncodeLines(const std::vector<CQELLine*>& lines, RecordStream& stream, NURBSPoint& pen);

// ---- arc records ----
//
// An arc record is (ex, ey, cx, cy) relative to the current point (x, y): end point
// (x + ex, y + ey), centre (x + cx, y + cy).

// A new arc (caller owns it) for the record, its centre first snapped onto the perpendicular
// bisector of the chord; moves (x, y) to the record's end point.
[[nodiscard]] CQELEllipticalArc* ArcRecordToArc(std::span<const double, 4> record, double& x,
                                                double& y);
// Appends the record's arc to `polyline` as points about 5 degrees apart ending at the end point;
// moves (x, y) to the end point. A null polyline receives nothing.
void AppendArcRecord(std::span<const double, 4> record, double& x, double& y,
                     CQELPolyLine* polyline);

// Direction code for going from the vector (x1, y1) to the vector (x2, y2) of the same length
// about the origin by the shorter way: kDirectionClockwise, kDirectionCounterClockwise,
// kDirectionEqual or kDirectionUndecided.
int ArcDirection(double x1, double y1, double x2, double y2);

// ---- glyph contours ----

// New closed polylines (caller owns them) for the contours of a poly-draw sequence, quadratic
// runs and cubic segments flattened four segments per piece. The poly-draw is not changed; null
// gives none.
[[nodiscard]] std::vector<CQELPolyLine*> PolyDrawToPolyLines(const CQELPolyDraw* polydraw);

// ---- numbers and strings ----

// |a - b| <= tolerance, bounds included.
bool IsNear(double a, double b, double tolerance);
// Rounds half away from zero. Values beyond the int range saturate; NaN gives 0.
int RoundToInteger(double value);
// Copies the low byte of each UTF-16 unit up to the terminating zero unit and terminates the
// result. At most buffer_size - 1 bytes are written before the terminator; a null string gives
// an empty result.
void WideToNarrow(const unsigned short* wide, char* buffer, std::size_t buffer_size);
std::string WideToNarrow(const unsigned short* wide);

#endif  // QELOBJECTLIBRARY_QELUTILITY_H
