// SHX reader: the loaders of all four file kinds, then every shape built through the
// interpreter, and the survey the registry takes of a font at load, which must find the very
// codes and box of building every shape. Whatever the bytes, the build must end with finite
// geometry and every entity released.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "QELUtility.h"
#include "SHXFontHandler.h"

using vuzodo::SHXBuiltShape;
using vuzodo::SHXFontHandler;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<unsigned char> bytes(data, data + size);
  std::vector<SHXBuiltShape> shapes = SHXFontHandler::BuildAllShapes(bytes);
  // A normalising factor of the kind the registry derives (a unit size over a shape's height).
  const double factor = 1000.0 / 21.0;
  std::vector<std::int32_t> codes;
  NURBSPoint min(3.4e38, 3.4e38, 1.0);
  NURBSPoint max(-3.4e38, -3.4e38, 1.0);
  for (SHXBuiltShape& shape : shapes) {
    // Refused shapes are left out of a font build, so what comes back must be usable.
    if (!std::isfinite(shape.advance)) std::abort();
    codes.push_back(shape.code);
    for (CQELEntity* entity : shape.entities) {
      if (entity == nullptr) std::abort();
      entity->Scale(factor, factor);
      GrowBoundingBox(min, max, entity);
    }
  }
  {
    SHXFontHandler surveyor;
    surveyor.OpenBytes(bytes);
    const vuzodo::SHXShapeSurvey survey = surveyor.SurveyShapes(factor);
    // Exact equality: NaN cannot occur (refused shapes are out), so != means a different value.
    if (survey.codes != codes || survey.min.GetX() != min.GetX() ||
        survey.min.GetY() != min.GetY() || survey.max.GetX() != max.GetX() ||
        survey.max.GetY() != max.GetY()) {
      std::abort();
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
