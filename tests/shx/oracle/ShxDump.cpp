// shx_dump FONT.shx: every shape of an SHX font as the engine's reader builds it, in the font's
// own units (output units divided by the base scale), one record per line:
//
//   font <kind> <base scale>
//   shape <number>            (each number once, in file order)
//   poly <closed> x y x y ... (a pen stroke)
//   arc cx cy radius start sweep (radians, counterclockwise positive)
//   refused                   (the shape went past the interpreter's limits)
//
// The SHX oracle test compares this with an independent reader.
#include <cmath>
#include <cstdio>
#include <set>
#include <string>

#include "QELEllipticalArc.h"
#include "QELPolyLine.h"
#include "SHXFontHandler.h"

using namespace vuzodo;

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: shx_dump FONT.shx\n");
    return 2;
  }
  SHXFontHandler handler;
  handler.OpenNarrow(argv[1]);
  const double native = 1.0 / handler.GetBaseScale();
  std::printf("font %d %.17g\n", static_cast<int>(handler.GetFont().GetKind()),
              handler.GetBaseScale());
  std::set<std::int32_t> seen;
  for (const auto& shape : handler.GetShapes()) {
    const std::int32_t number = shape->GetShapeNumber();
    if (!seen.insert(number).second) continue;
    std::printf("shape %d\n", number);
    auto built = handler.BuildShape(number);
    if (handler.WasRefused()) std::printf("refused\n");
    if (!built) continue;
    for (CQELEntity* entity : *built) {
      if (entity->GetType() == CQELEntity::kPolyLine) {
        const auto* poly = static_cast<const CQELPolyLine*>(entity);
        std::printf("poly %d", poly->GetClosed());
        for (const auto& p : poly->GetPoints()) {
          std::printf(" %.17g %.17g", p.GetX() * native, p.GetY() * native);
        }
        std::printf("\n");
      } else if (entity->GetType() == CQELEntity::kEllipticalArc) {
        const auto* arc = static_cast<const CQELEllipticalArc*>(entity);
        const double radius = std::hypot(arc->GetAxisPoint().GetX(), arc->GetAxisPoint().GetY());
        std::printf("arc %.17g %.17g %.17g %.17g %.17g\n", arc->GetCenter().GetX() * native,
                    arc->GetCenter().GetY() * native, radius * native, arc->GetStartAngle(),
                    arc->GetSweep());
      }
    }
    DeleteEntities(*built);
  }
  return 0;
}
