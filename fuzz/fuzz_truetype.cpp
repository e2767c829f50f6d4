// TrueType through the platform layer: the bytes are written to a font file, which the
// registry opens as it opens any font given by path (realized at the registry's height, in
// every style so that the emboldening and the shear run too), reading the design height, the
// metrics and the kerning pairs (the kern table or our GPOS reader), then outlines of the
// characters the font maps and of some it does not. Bytes that FreeType does not take as a
// scalable sfnt are left there: the platform would substitute a system font for them, which
// fuzzes nothing of ours. Those bytes go to the two kerning table readers directly instead.
#include <ft2build.h>
#include FT_FREETYPE_H

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "CharBufferHolder.h"
#include "FontDataHolder.h"
#include "posix/PairKerning.h"

namespace {

namespace posix = vuzodo::platform::posix;

std::string& FontPath() {
  static std::string path;
  return path;
}

FT_Library Library() {
  static FT_Library library = [] {
    FT_Library l = nullptr;
    if (FT_Init_FreeType(&l) != 0) std::abort();
    return l;
  }();
  return library;
}

// Up to 24 character codes the face maps, in code order, and a few common ones it may lack.
std::vector<std::uint32_t> CodesOf(const std::uint8_t* data, std::size_t size, bool& usable) {
  std::vector<std::uint32_t> codes;
  FT_Face face = nullptr;
  usable = FT_New_Memory_Face(Library(), data, static_cast<FT_Long>(size), 0, &face) == 0;
  if (!usable) return codes;
  usable = FT_IS_SCALABLE(face) && FT_IS_SFNT(face) && face->units_per_EM != 0;
  FT_UInt glyph = 0;
  for (FT_ULong c = FT_Get_First_Char(face, &glyph); glyph != 0 && codes.size() < 24;
       c = FT_Get_Next_Char(face, c, &glyph)) {
    if (c <= 0xFFFF) codes.push_back(static_cast<std::uint32_t>(c));
  }
  FT_Done_Face(face);
  for (std::uint32_t c : {0x41u, 0x56u, 0x67u, 0x20u, 0xFFFFu}) codes.push_back(c);
  return codes;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const char* tmp = std::getenv("TMPDIR");
  std::filesystem::path dir = tmp != nullptr ? tmp : "/tmp";
  FontPath() = (dir / ("vuzodo-fuzz-" + std::to_string(getpid()) + ".ttf")).string();
  std::atexit([] { std::remove(FontPath().c_str()); });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  bool usable = false;
  const std::vector<std::uint32_t> codes = CodesOf(data, size, usable);
  if (!usable) {
    const std::span<const std::uint8_t> table(data, size);
    std::vector<std::uint16_t> glyphs;
    for (std::uint16_t g = 0; g < 64; ++g) glyphs.push_back(g);
    (void)posix::ReadKernTable(table);
    (void)posix::ReadGposKerning(table, glyphs);
    return 0;
  }

  if (std::FILE* f = std::fopen(FontPath().c_str(), "wb")) {
    const bool written = std::fwrite(data, 1, size, f) == size;
    if (std::fclose(f) != 0 || !written) return 0;
  } else {
    return 0;
  }
  const std::filesystem::path path(FontPath());
  const std::u16string face = path.u16string();

  // Regular, then bold italic (synthesised on a face that is neither).
  for (std::int32_t style : {0, 3}) {
    vuzodo::FontDataHolder font(face, style);
    if (font.GetFontHandle() == nullptr) continue;
    for (std::uint32_t code : codes) {
      vuzodo::CharBufferHolder character(code, font.GetFontHandle());
      (void)character.GetOutlines();
    }
    if (codes.size() >= 2) (void)font.GetKernAmount(codes[0], codes[1]);
  }
  return 0;
}
