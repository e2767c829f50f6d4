#include "qelhatching/qelhatching.h"

#include "QELEntity.h"

#include "HatchFill.h"
#include "HatchPattern.h"

#include <cmath>
#include <memory>

namespace qelhatching {

namespace {
std::vector<HatchPattern>& Patterns() {
  static std::vector<HatchPattern> patterns;
  return patterns;
}

double& UnitSize() {
  static double unit_size = 1000.0;
  return unit_size;
}
}  // namespace

const std::vector<HatchPattern>& PatternList() {
  return Patterns();
}

bool HasPatterns() {
  return !Patterns().empty();
}

void SetUnitSize(double unit_size) {
  // Lengths arrive already in output units; the unit size only sets the
  // resolution and the defaults, so a size that cannot serve keeps 1000.
  UnitSize() = std::isfinite(unit_size) && unit_size > 0 ? unit_size : 1000.0;
}

}  // namespace qelhatching

using namespace qelhatching;

void AddHatchPatternLine(float borderGap, borderGapDirection direction, float lineGap, float angle,
                         float baseX, float baseY, hatchStyle style, EN_Bool withOffset) {
  AddHatchPatternLineEx(borderGap, direction, lineGap, angle, baseX, baseY, style, withOffset,
                        EN_OFFSET_DIRECT, EN_CORNER_MITER, 0, 0);
}

void AddHatchPatternLineEx(float borderGap, borderGapDirection direction, float lineGap,
                           float angle, float baseX, float baseY, hatchStyle style,
                           EN_Bool withOffset, EN_OffsetAlgorithm algorithm,
                           EN_OffsetCornerStyle corner, int miterLimit, int arcTolerance) {
  Patterns().push_back(LinePattern{borderGap,
                                   lineGap,
                                   angle,
                                   baseX,
                                   baseY,
                                   direction,
                                   style,
                                   withOffset == EN_TRUE,
                                   {algorithm, corner, miterLimit, arcTolerance}});
}

void AddHatchPatternOptimized(float borderGap, borderGapDirection direction, float lineGap,
                              float angle, float maxLink, hatchStyle style) {
  Patterns().push_back(OptimizedPattern{borderGap, lineGap, angle, maxLink, direction, style});
}

void AddHatchPatternIncremental(float borderGap, borderGapDirection direction, float lineGap,
                                float startAngle, float angleStep, int passes, hatchStyle style) {
  Patterns().push_back(
      IncrementalPattern{borderGap, lineGap, startAngle, angleStep, direction, passes, style});
}

void AddHatchPatternOffsetFilling(float gap, EN_OffsetStyle style) {
  AddHatchPatternOffsetFillingEx(gap, style, EN_OFFSET_DIRECT, EN_CORNER_MITER, 0, 0);
}

void AddHatchPatternOffsetFillingEx(float gap, EN_OffsetStyle style, EN_OffsetAlgorithm algorithm,
                                    EN_OffsetCornerStyle corner, int miterLimit, int arcTolerance) {
  Patterns().push_back(
      OffsetFillingPattern{gap, style, {algorithm, corner, miterLimit, arcTolerance}});
}

void AddHatchPatternOffsetInOut(float insideGap, int insideCount, float outsideGap,
                                int outsideCount) {
  AddHatchPatternOffsetInOutEx(insideGap, insideCount, outsideGap, outsideCount, EN_OFFSET_DIRECT,
                               EN_CORNER_MITER, 0, 0);
}

void AddHatchPatternOffsetInOutEx(float insideGap, int insideCount, float outsideGap,
                                  int outsideCount, EN_OffsetAlgorithm algorithm,
                                  EN_OffsetCornerStyle corner, int miterLimit, int arcTolerance) {
  Patterns().push_back(OffsetInOutPattern{insideGap,
                                          outsideGap,
                                          insideCount,
                                          outsideCount,
                                          {algorithm, corner, miterLimit, arcTolerance}});
}

void AddHatchPatternHelixFillingEx(float gap, EN_HelixStyle style, EN_OffsetAlgorithm algorithm,
                                   EN_OffsetCornerStyle corner, bool connect, int miterLimit,
                                   int arcTolerance) {
  Patterns().push_back(
      HelixPattern{gap, style, connect, {algorithm, corner, miterLimit, arcTolerance}});
}

void AddHatchPatternLattice(float gapU, float gapV, float angle, float baseX, float baseY,
                            bool serpentine) {
  Patterns().push_back(LatticePattern{gapU, gapV, angle, baseX, baseY, serpentine});
}

void ClearListOfHatchPatterns() {
  Patterns().clear();
}

// ---------------------------------------------------------------------------
// The per-character exchange
// ---------------------------------------------------------------------------

namespace qelhatching {
namespace {

// What one exchange holds between AddCharacterOutline and ClearEntityList: the
// outline taken over from the engine and the geometry handed back.
struct Exchange {
  std::vector<std::unique_ptr<CQELEntity>> outline;
  std::vector<CQELEntity*> fill;         // owned: released at ClearEntityList
  std::vector<CQELPolyLine*> polylines;  // owned: released at ClearEntityList
  bool filled = false;                   // the lists above belong to this outline
  LinePool lines;                        // the released lines, for the next character's fill

  void Release() {
    for (CQELEntity* e : fill) lines.Return(e);
    for (CQELPolyLine* p : polylines) delete p;
    fill.clear();
    polylines.clear();
  }
  void Clear() {
    filled = false;
    outline.clear();
    Release();
  }
};

Exchange& Current() {
  static Exchange exchange;
  return exchange;
}

}  // namespace

const std::vector<std::unique_ptr<CQELEntity>>& CurrentOutline() {
  return Current().outline;
}

}  // namespace qelhatching

void AddCharacterOutline(std::vector<CQELEntity*>* outline) {
  Exchange& x = Current();
  x.Clear();  // a missed ClearEntityList must not leak the previous character
  if (outline == nullptr) return;
  for (CQELEntity* e : *outline) {
    if (e != nullptr) x.outline.emplace_back(e);
  }
}

std::vector<CQELEntity*>* GetFilledEntityList(std::vector<CQELPolyLine*>** polylines) {
  Exchange& x = Current();
  // A second call for the same character hands out the same lists again.
  if (!x.filled) {
    x.filled = true;
    try {
      FillCharacter(x.outline, Patterns(), UnitSize(), x.fill, x.polylines, &x.lines);
    } catch (...) {  // out of memory while handing entities out: no fill rather than half
      x.Release();
    }
  }
  if (polylines != nullptr) *polylines = &x.polylines;
  return &x.fill;
}

void ClearEntityList() {
  Current().Clear();
}
