#include "GlyphPlacement.h"

#include <utility>

#include "CharBufferHolder.h"
#include "QELEntity.h"
#include "QELUtility.h"

namespace vuzodo::placement {

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
