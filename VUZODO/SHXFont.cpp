#include "SHXFont.h"

namespace vuzodo {

const SHXShapeInfo* SHXFont::FindShape(std::int32_t number) const {
  for (const auto& shape : shapes_) {
    if (shape->GetShapeNumber() == number) return shape.get();
  }
  return nullptr;
}

void SHXFont::Clear() {
  *this = SHXFont();
}

}  // namespace vuzodo
