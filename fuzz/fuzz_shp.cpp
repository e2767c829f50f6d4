// The shape compiler on any source text: a refusal or the bytes of a font,
// never a crash, a hang or a read outside the source (the sanitizers watch).
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "ShpCompiler.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  for (int slots : {0, 2}) vuzodo_tools::CompileShp(text, {"1.0", slots});
  return 0;
}
