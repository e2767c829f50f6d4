// One cold start, run in a fresh process by coldstart_bench: the time from loading the library
// to the first character's records, printed on stdout in nanoseconds, four figures:
//
//   total load face append retrieve
//
//   cold_start_child vuzodo LIBRARY FACE CODE    dlopen the library, SetFontFace(FACE), append
//                                                the character CODE, GetOutLinesEx(-1, 0)
//   cold_start_child freetype LIBRARY FONT CODE  the reference: dlopen FreeType, open the face,
//                                                load and decompose the character
//   cold_start_child fontconfig LIBRARY FAMILY CODE  the same after fontconfig has found the
//                                                family's file (LIBRARY is FreeType's; fontconfig
//                                                is loaded with dlopen as well)
//   cold_start_child read - FILE -               the reference of a stroke font: read its bytes
//
// Exit status 0 when a character with records came back, 1 otherwise, 2 on usage errors.
#include <dlfcn.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include <fontconfig/fontconfig.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

long long Since(Clock::time_point t) {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - t).count();
}

template <typename F>
F Symbol(void* library, const char* name) {
  void* p = dlsym(library, name);
  if (p == nullptr) {
    std::fprintf(stderr, "%s: %s\n", name, dlerror());
    std::exit(1);
  }
  return reinterpret_cast<F>(p);
}

// UTF-8 to UTF-16 for the face: the benchmark passes ASCII names and paths.
std::u16string Wide(const char* text) {
  std::u16string out;
  for (const char* p = text; *p != 0; ++p) out.push_back(static_cast<unsigned char>(*p));
  return out;
}

int Vuzodo(const char* path, const char* face, unsigned code) {
  const Clock::time_point start = Clock::now();
  void* library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    std::fprintf(stderr, "%s\n", dlerror());
    return 1;
  }
  const long long load = Since(start);
  auto set_face = Symbol<int (*)(unsigned short*)>(library, "SetFontFace");
  auto append = Symbol<int (*)(unsigned short*)>(library, "AppendCharactersEx");
  auto retrieve = Symbol<int (*)(int, int, int**, float*)>(library, "GetOutLinesEx");
  auto release = Symbol<void (*)(int*)>(library, "DeleteTTFData");
  std::u16string name = Wide(face);
  set_face(reinterpret_cast<unsigned short*>(name.data()));
  const long long after_face = Since(start);
  std::u16string text(1, static_cast<char16_t>(code));
  append(reinterpret_cast<unsigned short*>(text.data()));
  const long long after_append = Since(start);
  int* data = nullptr;
  float box[8];
  const int count = retrieve(-1, 0, &data, box);
  const long long total = Since(start);
  release(data);
  std::printf("%lld %lld %lld %lld %lld\n", total, load, after_face - load,
              after_append - after_face, total - after_append);
  // A lone closing move is 3 values plus the end mark: anything more is the outline.
  return count > 4 ? 0 : 1;
}

int CountSegment(const FT_Vector*, void* n) {
  return ++*static_cast<long*>(n), 0;
}
int CountConic(const FT_Vector*, const FT_Vector*, void* n) {
  return ++*static_cast<long*>(n), 0;
}
int CountCubic(const FT_Vector*, const FT_Vector*, const FT_Vector*, void* n) {
  return ++*static_cast<long*>(n), 0;
}

// FreeType is loaded with dlopen like the engine, so that both start from the same place; only
// its types come from the header.
// The file fontconfig matches for a family, found the way a host or a design on fontconfig
// must: loading the configuration, substituting and matching.
std::string FontconfigFile(const char* family) {
  void* fc = dlopen("libfontconfig.so.1", RTLD_NOW | RTLD_LOCAL);
  if (fc == nullptr) return {};
  auto parse = Symbol<FcPattern* (*)(const FcChar8*)>(fc, "FcNameParse");
  auto substitute =
      Symbol<FcBool (*)(FcConfig*, FcPattern*, FcMatchKind)>(fc, "FcConfigSubstitute");
  auto defaults = Symbol<void (*)(FcPattern*)>(fc, "FcDefaultSubstitute");
  auto match = Symbol<FcPattern* (*)(FcConfig*, FcPattern*, FcResult*)>(fc, "FcFontMatch");
  auto get =
      Symbol<FcResult (*)(const FcPattern*, const char*, int, FcChar8**)>(fc, "FcPatternGetString");
  FcPattern* pattern = parse(reinterpret_cast<const FcChar8*>(family));
  substitute(nullptr, pattern, FcMatchPattern);
  defaults(pattern);
  FcResult result;
  FcPattern* found = match(nullptr, pattern, &result);
  FcChar8* file = nullptr;
  if (found == nullptr || get(found, FC_FILE, 0, &file) != FcResultMatch) return {};
  return reinterpret_cast<const char*>(file);
}

int FreeType(const char* path, const char* font, unsigned code, bool by_family) {
  const Clock::time_point start = Clock::now();
  void* library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    std::fprintf(stderr, "%s\n", dlerror());
    return 1;
  }
  const long long load = Since(start);
  const std::string file = by_family ? FontconfigFile(font) : std::string(font);
  if (file.empty()) return 1;
  auto init = Symbol<FT_Error (*)(FT_Library*)>(library, "FT_Init_FreeType");
  auto new_face =
      Symbol<FT_Error (*)(FT_Library, const char*, FT_Long, FT_Face*)>(library, "FT_New_Face");
  auto sizes = Symbol<FT_Error (*)(FT_Face, FT_UInt, FT_UInt)>(library, "FT_Set_Pixel_Sizes");
  auto load_char = Symbol<FT_Error (*)(FT_Face, FT_ULong, FT_Int32)>(library, "FT_Load_Char");
  auto decompose = Symbol<FT_Error (*)(FT_Outline*, const FT_Outline_Funcs*, void*)>(
      library, "FT_Outline_Decompose");
  FT_Library ft = nullptr;
  FT_Face face = nullptr;
  if (init(&ft) != 0 || new_face(ft, file.c_str(), 0, &face) != 0) return 1;
  sizes(face, 0, 1000);
  const long long after_face = Since(start);
  const FT_Outline_Funcs funcs{CountSegment, CountSegment, CountConic, CountCubic, 0, 0};
  long segments = 0;
  if (load_char(face, code, FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP) != 0) return 1;
  decompose(&face->glyph->outline, &funcs, &segments);
  const long long total = Since(start);
  std::printf("%lld %lld %lld %lld 0\n", total, load, after_face - load, total - after_face);
  return segments > 0 ? 0 : 1;
}

int Read(const char* file) {
  const Clock::time_point start = Clock::now();
  std::ifstream in(file, std::ios::binary);
  const std::vector<char> bytes{std::istreambuf_iterator<char>(in),
                                std::istreambuf_iterator<char>()};
  const long long total = Since(start);
  std::printf("%lld 0 %lld 0 0\n", total, total);
  return bytes.empty() ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: %s vuzodo|freetype|fontconfig|read LIBRARY FACE CODE\n", argv[0]);
    return 2;
  }
  const std::string mode = argv[1];
  const unsigned code = static_cast<unsigned>(std::strtoul(argv[4], nullptr, 0));
  if (mode == "vuzodo") return Vuzodo(argv[2], argv[3], code);
  if (mode == "freetype") return FreeType(argv[2], argv[3], code, false);
  if (mode == "fontconfig") return FreeType(argv[2], argv[3], code, true);
  if (mode == "read") return Read(argv[3]);
  return 2;
}
