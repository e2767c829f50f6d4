#include "FaceMatch.h"

#include <dlfcn.h>
#include <fontconfig/fontconfig.h>

#include <memory>

namespace vuzodo::platform::posix {
namespace {

struct PatternDeleter {
  void operator()(FcPattern* p) const { FcPatternDestroy(p); }
};
struct FontSetDeleter {
  void operator()(FcFontSet* s) const { FcFontSetDestroy(s); }
};

// The configuration (rules and font list) is fontconfig's process-wide
// default, referenced on first use and released at exit. A configuration of
// our own would be built anew every time a host loads the library, and
// fontconfig keeps per-configuration state that is never given back, so
// repeated load/unload cycles grew the heap; the default one is built once
// per process.
class Configuration {
 public:
  static FcConfig* Get() {
    static Configuration configuration;
    return configuration.config_;
  }
  ~Configuration() {
    if (config_) FcConfigDestroy(config_);
  }

 private:
  Configuration() : config_(FcConfigReference(nullptr)) { PinFontconfig(); }
  // fontconfig keeps process-wide state (language and program name caches) that only FcFini
  // frees, and a library may not call FcFini: the host may use fontconfig too. When this
  // library is loaded at run time and unloaded again, fontconfig would be unmapped with it and
  // that state lost (reported as leaks); keeping fontconfig mapped makes it behave as in any
  // process that links fontconfig itself.
  static void PinFontconfig() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&FcInitLoadConfigAndFonts), &info) == 0) return;
    if (info.dli_fname == nullptr) return;
    // Already loaded: this only marks it as never to be unloaded; the handle is not closed.
    dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
  }
  FcConfig* config_;
};

// Candidates beyond the first few are never needed: the caller stops at the
// first file FreeType can load as a scalable face.
constexpr int kMaxCandidates = 8;

bool EndsWithNoCase(std::u16string_view text, std::u16string_view suffix) {
  if (text.size() < suffix.size()) return false;
  for (size_t i = 0; i < suffix.size(); ++i) {
    char16_t c = text[text.size() - suffix.size() + i];
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    if (c != suffix[i]) return false;
  }
  return true;
}

}  // namespace

bool IsFontFilePath(std::u16string_view face) {
  return EndsWithNoCase(face, u".ttf") || EndsWithNoCase(face, u".otf") ||
         EndsWithNoCase(face, u".ttc") || EndsWithNoCase(face, u".otc");
}

std::string ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::vector<FaceFile> MatchFaces(const std::string& family_utf8, int weight, bool italic) {
  // Loading the configuration scans the font directories once (slow); every
  // later match is fast.
  FcConfig* config = Configuration::Get();
  if (!config) return {};
  std::unique_ptr<FcPattern, PatternDeleter> pattern(FcPatternCreate());
  if (!pattern) return {};
  // An empty family leaves the choice to fontconfig's default (sans-serif).
  if (!family_utf8.empty()) {
    FcPatternAddString(pattern.get(), FC_FAMILY,
                       reinterpret_cast<const FcChar8*>(family_utf8.c_str()));
  }
  FcPatternAddInteger(pattern.get(), FC_WEIGHT, FcWeightFromOpenType(weight > 0 ? weight : 400));
  FcPatternAddInteger(pattern.get(), FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcPatternAddBool(pattern.get(), FC_SCALABLE, FcTrue);
  FcConfigSubstitute(config, pattern.get(), FcMatchPattern);
  FcDefaultSubstitute(pattern.get());

  FcResult result = FcResultNoMatch;
  std::unique_ptr<FcFontSet, FontSetDeleter> sorted(
      FcFontSort(config, pattern.get(), FcTrue, nullptr, &result));
  std::vector<FaceFile> faces;
  if (!sorted) return faces;
  for (int i = 0; i < sorted->nfont && static_cast<int>(faces.size()) < kMaxCandidates; ++i) {
    FcChar8* file = nullptr;
    if (FcPatternGetString(sorted->fonts[i], FC_FILE, 0, &file) != FcResultMatch || !file) {
      continue;
    }
    int index = 0;
    FcPatternGetInteger(sorted->fonts[i], FC_INDEX, 0, &index);
    faces.push_back({reinterpret_cast<const char*>(file), index & 0xFFFF});
  }
  return faces;
}

}  // namespace vuzodo::platform::posix
