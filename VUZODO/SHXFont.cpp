#include "SHXFont.h"

namespace vuzodo {

void SHXFont::AddShape(std::unique_ptr<SHXShapeInfo> shape) {
  // emplace keeps an existing entry: a repeated number still finds its first shape.
  first_by_number_.emplace(shape->GetShapeNumber(), shape.get());
  shapes_.push_back(std::move(shape));
}

const SHXShapeInfo* SHXFont::FindShape(std::int32_t number) const {
  const auto found = first_by_number_.find(number);
  return found == first_by_number_.end() ? nullptr : found->second;
}

void SHXFont::Clear() {
  *this = SHXFont();
}

}  // namespace vuzodo
