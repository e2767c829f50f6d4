// FNT reader: the same text read under each of the three arc conversion modes (entities, arc
// points, arcs dropped), every character handed over as the registry takes it.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "CharBufferHolder.h"
#include "FntReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  for (int mode : {kFntArcsAsEntities, kFntArcsAsPoints, 0}) {
    std::istringstream in(text);
    for (ReaderGlyph& glyph : ReadFntStream(in, mode)) {
      // Numbers beyond the reader's range are dropped, so the pen stays finite.
      if (!std::isfinite(glyph.advance)) std::abort();
      vuzodo::CharBufferHolder record(static_cast<std::uint32_t>(glyph.code),
                                      glyph.ReleaseOutline());
      record.SetMetricsFromBox(glyph.box_min, glyph.box_max, glyph.advance);
    }
  }
  return 0;
}
