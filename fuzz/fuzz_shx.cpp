// SHX reader: the loaders of all four file kinds, then every shape built through the
// interpreter, as the registry builds a font at load. Whatever the bytes, the build must end
// with finite geometry and every entity released.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "SHXFontHandler.h"

using vuzodo::SHXBuiltShape;
using vuzodo::SHXFontHandler;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<unsigned char> bytes(data, data + size);
  std::vector<SHXBuiltShape> shapes = SHXFontHandler::BuildAllShapes(bytes);
  for (SHXBuiltShape& shape : shapes) {
    // Refused shapes are left out of a font build, so what comes back must be usable.
    if (!std::isfinite(shape.advance)) std::abort();
    for (CQELEntity* entity : shape.entities) {
      if (entity == nullptr) std::abort();
    }
  }

  // The lookup path the layout takes for a single code: a shape that exists, then one that
  // does not (falls back to shape 63), on a handler that keeps its state between builds.
  SHXFontHandler handler;
  handler.OpenBytes(std::move(bytes));
  const auto& infos = handler.GetShapes();
  std::vector<std::int32_t> numbers;
  for (std::size_t i = 0; i < infos.size() && i < 8; ++i)
    numbers.push_back(infos[i]->GetShapeNumber());
  numbers.push_back(0x7FFF);
  for (std::int32_t number : numbers) {
    if (auto outline = handler.BuildShape(number)) DeleteEntities(*outline);
    NURBSPoint min, max;
    handler.GetBoundingBox(min, max);
    if (!std::isfinite(handler.GetAdvance())) std::abort();
  }
  return 0;
}
