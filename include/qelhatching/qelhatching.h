/*
 * QELHatching: the hatching library's contract with the text engine.
 *
 * It keeps a process-wide list of hatch patterns and fills one character's
 * outline at a time with every pattern of the list.
 *
 * Units: lengths arrive in output units (the engine has already multiplied
 * the host's values by the unit size); angles are radians, counter-clockwise.
 *
 * Per character the engine always calls, in this order:
 *   1. AddCharacterOutline(outline)  - the placed outline (entity types 0, 1,
 *      2 or 8). The library takes the entities over: the engine empties its
 *      own list without deleting them, and the library releases them at
 *      ClearEntityList.
 *   2. GetFilledEntityList(&polylines) - returns the fill entities (never
 *      null) and stores the hatch polylines (never null) through `polylines`.
 *      Both stay owned by the library; the engine only reads them.
 *   3. ClearEntityList() - ends the exchange; every pointer handed out or in
 *      since step 1 is invalid afterwards.
 * With an empty pattern list the sequence runs all the same and both returned
 * lists are empty. Calls come from one thread at a time.
 *
 * Fill region: closed polylines, plus lines, arcs and open polylines chained
 * end to end and closed where their ends meet within the chord tolerance;
 * arcs flattened with that tolerance (1/50 of the smallest gap in use, at
 * most U/1000); all united with the nonzero rule. Dots and chains that stay
 * open enclose nothing and get no fill: a stroke font's character is filled
 * only where a stroke returns to its start or strokes meet end to end.
 *
 * Output: the fill list holds the independent straight segments (CQELLine) of
 * all patterns in pattern order; the polyline list holds the chained paths
 * (CQELPolyLine: connected serpentines, rings, spirals, offset contours). Each
 * pattern's output is ordered for short travel. Everything lies inside the
 * (gapped) region, up to the resolution of U / 10000.
 *
 * Limits: a pattern produces nothing for a character when a gap is zero,
 * negative, not finite or finer than 2 * U / 10000, when it would need more
 * than 200,000 segments, 5,000 ring levels or 4,000,000 path vertices for it,
 * or more than 64 passes. No call hangs or exhausts memory; the other
 * patterns are not affected. docs/hatching.md gives the full behaviour.
 */
#ifndef QELHATCHING_QELHATCHING_H
#define QELHATCHING_QELHATCHING_H

#include <vector>

#include "vuzodo/vuzodo.h"

class CQELEntity;
class CQELPolyLine;

/* ---- the pattern list ---- */

/** Parallel lines at `angle` through (baseX, baseY) + k * lineGap along the
 *  normal (so lines line up across characters), clipped to the region shrunk
 *  (direction 0) or grown (1) by `borderGap`; `withOffset` also marks the
 *  gapped contour (closed polylines). Styles: 0 unidirectional, 1 serpentine,
 *  2 serpentine connected (links along the border, or straight and inside, up
 *  to 2 * lineGap; one polyline per chain), 3 double (second family at +90 degrees),
 *  4 / 5 two / three interleaved passes (lines k mod N). */
void AddHatchPatternLine(float borderGap, borderGapDirection direction, float lineGap, float angle,
                         float baseX, float baseY, hatchStyle style, EN_Bool withOffset);

/** As AddHatchPatternLine, with the offset algorithm of the border gap (0
 *  direct, 1 cleaned of self-intersections), the corner style (0 miter, 1
 *  bevel, 2 round), the miter limit in tenths (0: 2.0, at least 2.0) and the
 *  arc tolerance of round corners in thousandths of U (0: the chord
 *  tolerance). */
void AddHatchPatternLineEx(float borderGap, borderGapDirection direction, float lineGap,
                           float angle, float baseX, float baseY, hatchStyle style,
                           EN_Bool withOffset, EN_OffsetAlgorithm algorithm,
                           EN_OffsetCornerStyle corner, int miterLimit, int arcTolerance);

/** Lines (through the page origin) as one connected serpentine per part of
 *  the region, links at most `maxLink` long (0: twice the line gap), parts
 *  ordered for least travel; style 3 adds the family at +90 degrees. */
void AddHatchPatternOptimized(float borderGap, borderGapDirection direction, float lineGap,
                              float angle, float maxLink, hatchStyle style);

/** `passes` (1 to 64) line families at startAngle + i * angleStep, each with
 *  `style`, lines through the page origin. */
void AddHatchPatternIncremental(float borderGap, borderGapDirection direction, float lineGap,
                                float startAngle, float angleStep, int passes, hatchStyle style);

/** Closed rings at k * gap inside the outline, k = 1, 2, ... until the
 *  region is used up; style 0 outermost first, 1 innermost first. Where a
 *  level's walls are less than two gaps apart, a centre line marks the strip
 *  the rings leave. */
void AddHatchPatternOffsetFilling(float gap, EN_OffsetStyle style);

/** As AddHatchPatternOffsetFilling, with algorithm, corners, miter limit and
 *  arc tolerance. */
void AddHatchPatternOffsetFillingEx(float gap, EN_OffsetStyle style, EN_OffsetAlgorithm algorithm,
                                    EN_OffsetCornerStyle corner, int miterLimit, int arcTolerance);

/** `insideCount` rings at k * insideGap inside the outline, then
 *  `outsideCount` rings at k * outsideGap outside it; counts <= 0 give none. */
void AddHatchPatternOffsetInOut(float insideGap, int insideCount, float outsideGap,
                                int outsideCount);

/** As AddHatchPatternOffsetInOut, with algorithm, corners, miter limit and arc
 *  tolerance. */
void AddHatchPatternOffsetInOutEx(float insideGap, int insideCount, float outsideGap,
                                  int outsideCount, EN_OffsetAlgorithm algorithm,
                                  EN_OffsetCornerStyle corner, int miterLimit, int arcTolerance);

/** The rings of offset filling joined into open spirals, one per unbranched
 *  run of the ring tree; a step to the next ring stays between the two
 *  levels, else the spiral breaks there. Style 0 from the outline inwards, 1
 *  from the middle out; `connect` joins the spirals into one path wherever
 *  the straight link between them stays inside the region. The centre lines
 *  of offset filling come as separate paths. */
void AddHatchPatternHelixFillingEx(float gap, EN_HelixStyle style, EN_OffsetAlgorithm algorithm,
                                   EN_OffsetCornerStyle corner, bool connect, int miterLimit,
                                   int arcTolerance);

/** Two line families at `angle` and angle + 90 degrees, gaps gapU and gapV,
 *  through (baseX, baseY); serpentine or unidirectional segments. */
void AddHatchPatternLattice(float gapU, float gapV, float angle, float baseX, float baseY,
                            bool serpentine);

/** Empties the pattern list. */
void ClearListOfHatchPatterns();

/* ---- the engine's setting ---- */

namespace qelhatching {
/** The unit size U (output units per user unit) set by the engine's
 *  InitializeTTF; default 1000. It sets the resolution (U / 10000) and the
 *  defaults given in thousandths of U. Not finite or not positive: 1000. */
void SetUnitSize(double unitSize);

/** Whether the pattern list holds any pattern. Without one, an outline handed
 *  over is given back no fill and no polylines, so the engine may skip the
 *  exchange (and the copies of the outline it would hand over). */
bool HasPatterns();
}  // namespace qelhatching

/* ---- the per-character exchange ---- */

void AddCharacterOutline(std::vector<CQELEntity*>* outline);
std::vector<CQELEntity*>* GetFilledEntityList(std::vector<CQELPolyLine*>** polylines);
void ClearEntityList();

#endif /* QELHATCHING_QELHATCHING_H */
