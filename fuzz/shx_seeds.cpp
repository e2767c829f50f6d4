// Writes the SHX seed corpus: the project's shape-source fixtures compiled
// the way the test suite compiles them.
//   fuzz_shx_seeds SOURCE_DIR OUT_DIR
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "ShpCompiler.h"

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  const std::string data = argv[1], out = argv[2];
  struct Fixture {
    const char* name;
    const char* source;
    vuzodo_tools::ShpOptions options;
  };
  const Fixture fixtures[] = {{"shapes", "shapes", {}},
                              {"shapes11", "shapes", {"1.1", 0}},
                              {"unifont", "unifont", {}},
                              {"bigfont", "bigfont", {}},
                              {"bigfont_slots", "bigfont", {"1.0", 3}},
                              {"extbig", "extbig", {}}};
  for (const Fixture& f : fixtures) {
    std::ifstream in(data + "/" + f.source + ".shp", std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const auto result = vuzodo_tools::CompileShp(text, f.options);
    if (!result.ok) {
      std::fprintf(stderr, "%s: %s\n", f.source, result.Describe().c_str());
      return 1;
    }
    std::ofstream o(out + "/" + f.name + ".shx", std::ios::binary);
    o.write(reinterpret_cast<const char*>(result.bytes.data()),
            static_cast<std::streamsize>(result.bytes.size()));
  }
  return 0;
}
