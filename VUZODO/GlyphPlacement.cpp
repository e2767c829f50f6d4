#include "GlyphPlacement.h"

#include <utility>

#include "CharBufferHolder.h"
#include "QELEntity.h"
#include "QELUtility.h"

namespace vuzodo::placement {

GlyphMetrics MetricsOf(const CharBufferHolder* ch) {
  if (ch == nullptr) return {};
  const CharMetrics& m = ch->GetMetrics();
  return GlyphMetrics{m[kBlackBoxWidth], m[kBlackBoxHeight], m[kBlackBoxLeft],
                      m[kBlackBoxTop],   m[kAdvanceX],       m[kAdvanceY]};
}

CharacterBox CellBox(const GlyphMetrics& g) {
  return CharacterBox{{0.0, g.incx, g.incx, 0.0}, {g.oy - g.bby, g.oy - g.bby, g.oy, g.oy}};
}

namespace {
void SwapCorners(CharacterBox& box, int i, int j) {
  std::swap(box.x[i], box.x[j]);
  std::swap(box.y[i], box.y[j]);
}
}  // namespace

CharacterBox PlaceBox(const CharacterBox& box, const Affine& m, double e, double f, bool backward,
                      bool upside_down) {
  CharacterBox out;
  for (int i = 0; i < 4; ++i) {
    out.x[i] = m.a * box.x[i] + m.b * box.y[i] + e;
    out.y[i] = m.c * box.x[i] + m.d * box.y[i] + f;
  }
  if (upside_down && !backward) {
    SwapCorners(out, 0, 3);
    SwapCorners(out, 1, 2);
  } else if (upside_down && backward) {
    SwapCorners(out, 0, 2);
    SwapCorners(out, 1, 3);
  } else if (backward) {
    SwapCorners(out, 0, 1);
    SwapCorners(out, 2, 3);
  }
  return out;
}

std::vector<CQELEntity*> PlaceOutline(const CharBufferHolder* ch, const Affine& m, double e,
                                      double f, const Bilinear* bend, bool affine_arcs) {
  std::vector<CQELEntity*> placed;
  if (ch == nullptr) return placed;
  placed.reserve(ch->GetOutlines().size());
  for (const CQELEntity* entity : ch->GetOutlines()) {
    if (entity == nullptr) continue;
    if (entity->GetType() == CQELEntity::kEllipticalArc && !affine_arcs) {
      const auto* arc = static_cast<const CQELEllipticalArc*>(entity);
      CQELPolyLine* image = nullptr;
      if (bend != nullptr) {
        image = arc->ToPolyLineBilinear(bend->a, bend->b, bend->c, bend->d, bend->e, bend->f,
                                        bend->g, bend->h);
        if (image != nullptr) image->Transform(m.a, m.b, m.c, m.d, e, f);
      } else {
        image = arc->ToPolyLine(m.a, m.b, m.c, m.d, e, f);
      }
      if (image == nullptr) continue;
      if (CQELEllipticalArc* circle = PolyLineToCircle(image)) {
        delete image;
        placed.push_back(circle);
      } else {
        placed.push_back(image);
      }
      continue;
    }
    CQELEntity* clone = entity->Clone();
    if (clone == nullptr) continue;
    if (bend != nullptr) {
      clone->TransformBilinear(bend->a, bend->b, bend->c, bend->d, bend->e, bend->f, bend->g,
                               bend->h);
    }
    clone->Transform(m.a, m.b, m.c, m.d, e, f);
    placed.push_back(clone);
  }
  return placed;
}

}  // namespace vuzodo::placement
