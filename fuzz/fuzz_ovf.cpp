// OVF reader: the header, the glyph table and the trailer, then every glyph of the table
// decoded and handed over as the registry takes it (outline, box, scale, metrics), plus a code
// the table does not hold.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "CharBufferHolder.h"
#include "OVFFontHandler.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  OVFFontHandler font;
  font.LoadBytes(std::vector<std::uint8_t>(data, data + size));
  const double unit = 1000.0;
  const double scale = font.ShapeScale(unit);
  if (!std::isfinite(scale) || scale == 0.0) std::abort();
  (void)font.Metrics(unit);

  std::vector<std::int32_t> codes;
  for (const OVFShapeInfo& glyph : font.GetFontInfo().glyphs) codes.push_back(glyph.GetCode());
  codes.push_back(-1);
  for (std::int32_t code : codes) {
    std::optional<ReaderGlyph> glyph = font.BuildGlyph(code);
    if (!glyph) continue;
    vuzodo::CharBufferHolder record(static_cast<std::uint32_t>(glyph->code),
                                    glyph->ReleaseOutline());
    record.SetMetricsFromBox(glyph->box_min, glyph->box_max, glyph->advance);
    record.Scale(scale);
  }
  // A second lookup finds the glyph decoded already and must not grow it.
  if (!codes.empty()) {
    if (OVFShapeInfo* first = font.FindGlyph(codes.front())) {
      const std::size_t count = first->GetEntities().size();
      if (font.FindGlyph(codes.front())->GetEntities().size() != count) std::abort();
    }
  }
  return 0;
}
