// vuzodo fonts: the faces fontconfig offers and what the common names
// resolve to; vuzodo info FACE: what the engine makes of one face or file.
#include <fontconfig/fontconfig.h>
// After fontconfig.h, whose types it uses.
#include <fontconfig/fcfreetype.h>
#include FT_OUTLINE_H

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <string>
#include <system_error>
#include <vector>

#include "Commands.h"
#include "FaceCheck.h"
#include "FontHeaders.h"
#include "FontPath.h"
#include "RenderLimits.h"
#include "vuzodo/vuzodo.h"

namespace vuzodo_cli {
namespace {

std::string Str(FcPattern* p, const char* object) {
  FcChar8* value = nullptr;
  return FcPatternGetString(p, object, 0, &value) == FcResultMatch
             ? reinterpret_cast<const char*>(value)
             : std::string();
}

// The file and family that fontconfig picks for a requested family, with the
// same substitution rules the engine's face matching starts from.
// Family names compared as fontconfig does: case and blanks ignored.
bool SameFamily(const FcChar8* a, const FcChar8* b) {
  auto skip = [](const FcChar8*& p) {
    while (*p == ' ') ++p;
  };
  for (;; ++a, ++b) {
    skip(a);
    skip(b);
    if (std::tolower(*a) != std::tolower(*b)) return false;
    if (*a == 0) return true;
  }
}

// Whether the matched font is the requested family or one the configuration binds to that name
// (Arial -> Liberation Sans), rather than a default appended for a name nothing answers to.
// `pattern` is the request after substitution.
bool IsRequestedFamily(FcPattern* pattern, const std::string& family, FcPattern* match) {
  const auto* name = reinterpret_cast<const FcChar8*>(family.c_str());
  FcValue value;
  FcValueBinding binding;
  // A generic name (sans-serif, Sans) has its aliases put before it: whichever answers is it.
  if (FcPatternGetWithBinding(pattern, FC_FAMILY, 0, &value, &binding) != FcResultMatch ||
      value.type != FcTypeString || !SameFamily(value.u.s, name)) {
    return true;
  }
  for (int i = 0; FcPatternGetWithBinding(pattern, FC_FAMILY, i, &value, &binding) == FcResultMatch;
       ++i) {
    if (value.type != FcTypeString || binding == FcValueBindingWeak) continue;
    FcChar8* found = nullptr;
    for (int k = 0; FcPatternGetString(match, FC_FAMILY, k, &found) == FcResultMatch; ++k) {
      if (SameFamily(value.u.s, found)) return true;
    }
  }
  return false;
}

FcPattern* Match(const std::string& family, int style = 0, bool* substituted = nullptr) {
  FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(family.c_str()));
  if (pattern == nullptr) return nullptr;
  // Styles 1 to 3 as the engine asks for them: bold weight, italic slant.
  if (style == 1 || style == 3) FcPatternAddInteger(pattern, FC_WEIGHT, FC_WEIGHT_BOLD);
  if (style == 2 || style == 3) FcPatternAddInteger(pattern, FC_SLANT, FC_SLANT_ITALIC);
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  if (substituted != nullptr) {
    *substituted = match != nullptr && !IsRequestedFamily(pattern, family, match);
  }
  FcPatternDestroy(pattern);
  return match;
}

// The shape and stroke font files in the search folders, by kind; a name found in an earlier
// folder hides the same name in a later one, as -f finds it.
void ListFontFiles(const std::vector<std::string>& font_dirs) {
  namespace fs = std::filesystem;
  std::printf("\nFont files in the search folders (-f NAME finds them from any folder):\n");
  std::set<std::string> seen;
  int count = 0;
  for (const std::string& dir : FontSearchDirs(font_dirs)) {
    std::error_code error;
    std::set<fs::path> files;
    for (fs::directory_iterator it(dir, error), end; !error && it != end; it.increment(error)) {
      const std::string kind = FontKind(it->path().string());
      const bool lff = it->path().extension() == ".lff" || it->path().extension() == ".LFF";
      if ((kind != "TrueType" || lff) && it->is_regular_file(error)) files.insert(it->path());
    }
    for (const fs::path& file : files) {
      if (!seen.insert(file.filename().string()).second) continue;
      const std::string kind = FontKind(file.string());
      std::printf("  %-4s %s  (%s)\n", kind == "TrueType" ? "LFF" : kind.c_str(),
                  file.filename().string().c_str(), dir.c_str());
      ++count;
    }
  }
  std::printf("%d font files\n", count);
}

int ListFonts(bool all_styles, const std::vector<std::string>& font_dirs) {
  FcPattern* pattern = FcPatternCreate();
  FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, FC_STYLE, FC_FILE, FC_FONTFORMAT, nullptr);
  FcFontSet* set = FcFontList(nullptr, pattern, objects);
  std::set<std::string> lines;
  for (int i = 0; set != nullptr && i < set->nfont; ++i) {
    FcPattern* f = set->fonts[i];
    const std::string format = Str(f, FC_FONTFORMAT);
    if (format != "TrueType" && format != "CFF") continue;  // outline fonts only
    std::string line = Str(f, FC_FAMILY);
    if (all_styles) line += " (" + Str(f, FC_STYLE) + ")  " + Str(f, FC_FILE);
    lines.insert(line);
  }
  for (const std::string& line : lines) std::printf("%s\n", line.c_str());
  if (set != nullptr) FcFontSetDestroy(set);
  FcObjectSetDestroy(objects);
  FcPatternDestroy(pattern);
  std::printf("\n%zu %s. Common names resolve to:\n", lines.size(),
              all_styles ? "faces" : "families");
  for (const char* name : {"Arial", "Times New Roman", "Courier New", "Helvetica", "Sans"}) {
    FcPattern* match = Match(name);
    if (match == nullptr) continue;
    std::printf("  %s -> %s (%s)\n", name, Str(match, FC_FAMILY).c_str(),
                Str(match, FC_FILE).c_str());
    FcPatternDestroy(match);
  }
  ListFontFiles(font_dirs);
  return 0;
}

bool IsFontFile(const std::string& face) {
  std::string lower = face;
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  for (const char* ending : {".ttf", ".otf", ".ttc", ".otc", ".shx", ".ovf", ".fnt"}) {
    if (lower.ends_with(ending)) return true;
  }
  return false;
}

// Why a font file cannot be read at all, or "".
std::string FileProblem(const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::file_status status = fs::status(path, error);
  if (!fs::exists(status)) return "no such file";
  if (fs::is_directory(status)) return "is a directory";
  if (!fs::is_regular_file(status)) return "is not a regular file";
  const std::uintmax_t size = fs::file_size(path, error);
  if (error) return error.message();
  if (size == 0) return "is empty";
  if (size > limits::kMaxFontFileBytes) {
    return "is larger than the " + std::to_string(limits::kMaxFontFileBytes >> 20) +
           " MiB the engine reads of a font file";
  }
  if (!std::ifstream(path, std::ios::binary)) return "cannot be opened for reading";
  return "";
}

// Coverage from a fontconfig character set, which the closure then owns.
std::function<bool(char32_t)> Covers(FcCharSet* chars) {
  std::shared_ptr<FcCharSet> held(chars, FcCharSetDestroy);
  return [held](char32_t c) { return held && FcCharSetHasChar(held.get(), c) != 0; };
}

// Pen position after laying out `text` on a fresh line, output units.
double Advance(const std::u16string& text) {
  FinishText();
  std::u16string copy = text;
  AppendCharactersEx(U16(copy));
  CursorPosition* carets = nullptr;
  int count = 0;
  float top = 0;
  GetMultilineCaretPositionData(&carets, &count, &top);
  const double x = count > 0 ? carets[count - 1].topX : 0.0;
  DeleteCaretData(reinterpret_cast<float*>(carets));
  return x;
}

// Kerning pairs among the printable ASCII characters, found the way a host
// sees them: with automatic kerning on, a pair whose advance differs from the
// sum of its two characters' advances is kerned.
int CountKernedAsciiPairs() {
  SetAutoKern(EN_TRUE);
  double single[128] = {};
  for (char16_t c = 33; c < 127; ++c) single[c] = Advance(std::u16string(1, c));
  int pairs = 0;
  for (char16_t a = 33; a < 127; ++a) {
    for (char16_t b = 33; b < 127; ++b) {
      const std::u16string pair = {a, b};
      if (std::fabs(Advance(pair) - single[a] - single[b]) > 0.01) ++pairs;
    }
  }
  FinishText();
  SetAutoKern(EN_FALSE);
  return pairs;
}

int Info(const std::string& face_name, const std::vector<std::string>& font_dirs, int style) {
  const FontFile file = FindFont(face_name, font_dirs);
  if (!file.error.empty()) {
    std::fprintf(stderr, "vuzodo: %s: %s\n", face_name.c_str(), file.error.c_str());
    return 2;
  }
  const std::string kind = FontKind(file.path);
  std::u16string face = ToUtf16(file.path);
  const float unit = 1000.0f;
  InitializeTTF(unit);
  SetDefaults();
  SetFontFace(U16(face));
  SetFontStyle(static_cast<EN_TTFFontStyle>(style));
  const FaceCheck check = CheckFace(file.path, style);
  if (!check.error.empty()) {
    std::fprintf(stderr, "vuzodo: %s: %s\n", face_name.c_str(), check.error.c_str());
    return 2;
  }
  FontInformation info{};
  GetFontInformation(U16(face), static_cast<EN_TTFFontStyle>(style), &info);
  std::printf("face: %s\n", face_name.c_str());
  if (file.found != face_name) std::printf("file: %s\n", file.found.c_str());
  if (file.found != file.path) std::printf("read as: a unicode shape font converted from it\n");
  std::printf("kind: %s\nstyle: %d\n", kind.c_str(), style);
  std::string font_file = file.path;
  if (kind == "TrueType") {
    FcPattern* match = IsFontFile(face_name) ? nullptr : Match(face_name, style);
    if (match != nullptr) {
      FcCharSet* chars = nullptr;
      font_file = Str(match, FC_FILE);
      std::printf("resolves to: %s (%s)\n", Str(match, FC_FAMILY).c_str(), font_file.c_str());
      if (FcPatternGetCharSet(match, FC_CHARSET, 0, &chars) == FcResultMatch) {
        std::printf("characters: %u\n", FcCharSetCount(chars));
      }
      FcPatternDestroy(match);
    }
  } else if (kind == "OVF") {
    // OVF characters are built when first drawn: the file's glyph table has them all.
    if (const auto h = ReadOvfHeights(file.path); h && h->glyphs >= 0)
      std::printf("characters: %ld\n", h->glyphs);
  } else {
    // Shape fonts build every character at load, so the list is complete.
    int* codes = nullptr;
    const int count = GetCustomFontRange(&codes);
    std::printf("characters: %d\n", count);
    DeleteTTFData(codes);
  }
  // Text of height 1 has a capital "A" one user unit tall: the font's metrics in those units.
  if (SfntMetrics m; kind == "TrueType" && ReadSfntMetrics(font_file, m)) {
    std::printf("units per em: %d\n", m.units_per_em);
    if (m.cap_height > 0) {
      std::printf("height of \"A\": %ld font units\n", m.cap_height);
      std::printf("ascent: %.4g user units\ndescent: %.4g user units\nem: %.4g user units\n",
                  m.ascender / double(m.cap_height), m.descender / double(m.cap_height),
                  m.units_per_em / double(m.cap_height));
    }
  }
  if (kind == "SHX") {
    if (const ShxHeights h = ReadShxHeights(file.path); !h.kind.empty()) {
      std::printf("SHX %s: above %d, below %d (shape units)\n", h.kind.c_str(), h.above, h.below);
      if (h.above > 0) {
        std::printf("ascent: 1 user unit (above)\ndescent: %.4g user units (below)\n",
                    -h.below / double(h.above));
      }
    }
  }
  if (const auto h = kind == "OVF" ? ReadOvfHeights(file.path) : std::nullopt) {
    std::printf("OVF height %g, ascent %g, descent %g (font units)\n", h->height, h->ascent,
                h->descent);
    std::printf("ascent: %.4g user units\ndescent: %.4g user units\n", h->ascent / h->height,
                h->descent / h->height);
  }
  if (const auto h = kind == "FNT" ? ReadFntHeight(file.path) : std::nullopt) {
    std::printf("height of character %d: %g font units (one user unit)\n", h->code, h->top);
  }
  if (kind == "TrueType" || kind == "OVF") {
    std::printf("kerned pairs among printable ASCII: %d\n", CountKernedAsciiPairs());
  }
  // A font whose characters draw nothing leaves the engine's box at its empty start, top at
  // the lowest int and bottom at the highest.
  if (info.boxTop < info.boxBottom) {
    std::printf("box: empty (no character draws anything)\n");
  } else {
    std::printf("box top: %.4g user units\nbox bottom: %.4g user units\n", info.boxTop / unit,
                info.boxBottom / unit);
  }
  std::printf(
      "engine record (GetFontInformation, output units at unit size %g):\n  ratio %g\n"
      "  ascent %d\n  descent %d\n  line gap %d\n  em square %d\n  box top %d\n"
      "  box bottom %d\n  design height %d\n",
      unit, info.ratio, info.ascent, info.descent, info.lineGap, info.emSquare, info.boxTop,
      info.boxBottom, info.designHeight);
  UnloadAllFonts();
  return 0;
}

}  // namespace

FaceCheck CheckFace(const std::string& face, int style) {
  FaceCheck check;
  check.covers = [](char32_t) { return true; };
  const std::string kind = FontKind(face);
  if (!IsFontFile(face)) {
    bool substituted = false;
    FcPattern* match = Match(face, style, &substituted);
    if (match == nullptr) return check;  // no fontconfig answer: the engine's own default
    if (substituted) check.substitute = Str(match, FC_FAMILY) + " (" + Str(match, FC_FILE) + ")";
    FcCharSet* chars = nullptr;
    if (FcPatternGetCharSet(match, FC_CHARSET, 0, &chars) == FcResultMatch) {
      check.covers = Covers(FcCharSetCopy(chars));
    }
    FcPatternDestroy(match);
    return check;
  }
  check.error = FileProblem(face);
  if (!check.error.empty()) return check;
  if (kind == "TrueType") {
    int faces = 0;
    FcPattern* query =
        FcFreeTypeQuery(reinterpret_cast<const FcChar8*>(face.c_str()), 0, nullptr, &faces);
    if (query == nullptr) {
      check.error = "is not a font file FreeType can read";
      return check;
    }
    FcCharSet* chars = nullptr;
    if (FcPatternGetCharSet(query, FC_CHARSET, 0, &chars) == FcResultMatch) {
      check.covers = Covers(FcCharSetCopy(chars));
    }
    FcPatternDestroy(query);
    return check;
  }
  // Shape fonts: SHX and FNT build every character at load, so their codes are the coverage.
  int* codes = nullptr;
  const int count = GetCustomFontRange(&codes);
  std::set<char32_t> have(codes, codes + std::max(count, 0));
  DeleteTTFData(codes);
  if (kind == "OVF") {
    // OVF characters are decoded on demand: a header without ascent and descent is garbage.
    std::u16string name = ToUtf16(face);
    FontInformation info{};
    GetFontInformation(U16(name), static_cast<EN_TTFFontStyle>(style), &info);
    if (info.ascent == 0 && info.descent == 0) {
      check.error = "is not an OVF font the engine can read";
    }
    return check;
  }
  if (have.empty()) {
    check.error = "holds no characters: not an " + kind + " font the engine can read";
    return check;
  }
  check.covers = [have = std::move(have)](char32_t c) { return have.contains(c); };
  return check;
}

void AddFontCommands(CLI::App& app) {
  static bool all_styles = false;
  static std::vector<std::string> list_dirs;
  auto* fonts = app.add_subcommand(
      "fonts",
      "list the installed outline fonts, name matches and the font files in the search folders");
  fonts->add_flag("-a,--all", all_styles, "every style with its file");
  AddFontDirOption(*fonts, list_dirs);
  fonts->callback([] { std::exit(ListFonts(all_styles, list_dirs)); });

  static std::string face;
  static int style = 0;
  static std::vector<std::string> font_dirs;
  auto* info = app.add_subcommand("info", "what the engine makes of one face or font file");
  // The face as render takes it (-f), or as the one argument.
  auto* given =
      info->add_option("face", face, "face name, or an .ttf/.otf/.shx/.ovf/.fnt/.lff file");
  info->add_option("-f,--font", face, "the face, as render takes it")->excludes(given);
  AddFontDirOption(*info, font_dirs);
  info->add_option("-s,--style", style, "0 regular, 1 bold, 2 italic, 3 bold italic")
      ->check(CLI::Range(0, limits::kMaxStyle));
  info->callback([] {
    if (face.empty()) {
      std::fprintf(stderr, "vuzodo: info: name a face or a font file (-f FACE)\n");
      std::exit(2);
    }
    std::exit(Info(face, font_dirs, style));
  });
}

}  // namespace vuzodo_cli
