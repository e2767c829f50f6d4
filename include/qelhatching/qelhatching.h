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
 */
#ifndef QELHATCHING_QELHATCHING_H
#define QELHATCHING_QELHATCHING_H

#include <vector>

#include "vuzodo/vuzodo.h"

class CQELEntity;
class CQELPolyLine;

/* ---- the pattern list ---- */

/** Parallel lines `lineGap` apart at `angle` through (baseX, baseY), clipped
 *  to the region shrunk (inward) or grown (outward) by `borderGap`;
 *  `withOffset` also marks the gapped contour. */
void AddHatchPatternLine(float borderGap, borderGapDirection direction, float lineGap,
                         float angle, float baseX, float baseY, hatchStyle style,
                         EN_Bool withOffset);

/** As AddHatchPatternLine, with the offset algorithm, the corner style, the
 *  miter limit in tenths (0: 2.0) and the arc tolerance in thousandths of the
 *  unit size (0: default). */
void AddHatchPatternLineEx(float borderGap, borderGapDirection direction, float lineGap,
                           float angle, float baseX, float baseY, hatchStyle style,
                           EN_Bool withOffset, EN_OffsetAlgorithm algorithm,
                           EN_OffsetCornerStyle corner, int miterLimit, int arcTolerance);

/** Lines as one connected serpentine per part of the region, links at most
 *  `maxLink` long (0: twice the line gap), parts ordered for least travel. */
void AddHatchPatternOptimized(float borderGap, borderGapDirection direction, float lineGap,
                              float angle, float maxLink, hatchStyle style);

/** `passes` line families at startAngle + i * angleStep. */
void AddHatchPatternIncremental(float borderGap, borderGapDirection direction, float lineGap,
                                float startAngle, float angleStep, int passes,
                                hatchStyle style);

/** Contour-parallel rings `gap` apart until the region is used up. */
void AddHatchPatternOffsetFilling(float gap, EN_OffsetStyle style);

/** As AddHatchPatternOffsetFilling, with algorithm, corners, miter limit and
 *  arc tolerance. */
void AddHatchPatternOffsetFillingEx(float gap, EN_OffsetStyle style,
                                    EN_OffsetAlgorithm algorithm, EN_OffsetCornerStyle corner,
                                    int miterLimit, int arcTolerance);

/** `insideCount` rings inside and `outsideCount` rings outside the outline. */
void AddHatchPatternOffsetInOut(float insideGap, int insideCount, float outsideGap,
                                int outsideCount);

/** As AddHatchPatternOffsetInOut, with algorithm, corners, miter limit and arc
 *  tolerance. */
void AddHatchPatternOffsetInOutEx(float insideGap, int insideCount, float outsideGap,
                                  int outsideCount, EN_OffsetAlgorithm algorithm,
                                  EN_OffsetCornerStyle corner, int miterLimit, int arcTolerance);

/** Offset rings joined into spirals; `connect` joins the whole ring tree into
 *  one path. */
void AddHatchPatternHelixFillingEx(float gap, EN_HelixStyle style, EN_OffsetAlgorithm algorithm,
                                   EN_OffsetCornerStyle corner, bool connect, int miterLimit,
                                   int arcTolerance);

/** Two line families at `angle` and angle + 90 degrees, gaps gapU and gapV,
 *  through (baseX, baseY). */
void AddHatchPatternLattice(float gapU, float gapV, float angle, float baseX, float baseY,
                            bool serpentine);

/** Empties the pattern list. */
void ClearListOfHatchPatterns();

/* ---- the per-character exchange ---- */

void AddCharacterOutline(std::vector<CQELEntity*>* outline);
std::vector<CQELEntity*>* GetFilledEntityList(std::vector<CQELPolyLine*>** polylines);
void ClearEntityList();

#endif /* QELHATCHING_QELHATCHING_H */
