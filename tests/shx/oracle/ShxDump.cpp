// shx_dump FONT.shx: for the oracle, each shape number once, in file order: "shape <number>",
// "refused" if the interpreter's limits stopped it, and its entities in the font's own units.
#include <cstdio>
#include <set>

#include "../ReaderTestSupport.h"
#include "SHXFontHandler.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: shx_dump FONT.shx\n");
    return 2;
  }
  vuzodo::SHXFontHandler handler;
  handler.OpenNarrow(argv[1]);
  std::set<std::int32_t> seen;
  for (const auto& shape : handler.GetShapes()) {
    const std::int32_t number = shape->GetShapeNumber();
    if (!seen.insert(number).second) continue;
    std::printf("shape %d\n", number);
    auto built = handler.BuildShape(number);
    if (handler.WasRefused()) std::printf("refused\n");
    for (const std::string& line : readertest::Describe(*built, 1.0 / handler.GetBaseScale()))
      std::printf("%s\n", line.c_str());
    DeleteEntities(*built);
  }
}
