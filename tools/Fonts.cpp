// vuzodo fonts: the faces fontconfig offers and what the common names
// resolve to; vuzodo info FACE: what the engine makes of one face or file.
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "Commands.h"
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
FcPattern* Match(const std::string& family, int style = 0) {
  FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(family.c_str()));
  if (pattern == nullptr) return nullptr;
  // Styles 1 to 3 as the engine asks for them: bold weight, italic slant.
  if (style == 1 || style == 3) FcPatternAddInteger(pattern, FC_WEIGHT, FC_WEIGHT_BOLD);
  if (style == 2 || style == 3) FcPatternAddInteger(pattern, FC_SLANT, FC_SLANT_ITALIC);
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  FcPatternDestroy(pattern);
  return match;
}

int ListFonts(bool all_styles) {
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
  return 0;
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

int Info(const std::string& face_name, int style) {
  const std::string kind = FontKind(face_name);
  if (kind != "TrueType" && !std::ifstream(face_name, std::ios::binary)) {
    std::fprintf(stderr, "vuzodo: cannot read font file %s\n", face_name.c_str());
    return 1;
  }
  std::u16string face = ToUtf16(face_name);
  InitializeTTF(1000.0f);
  SetDefaults();
  SetFontFace(U16(face));
  SetFontStyle(static_cast<EN_TTFFontStyle>(style));
  FontInformation info{};
  GetFontInformation(U16(face), static_cast<EN_TTFFontStyle>(style), &info);
  std::printf("face: %s\nkind: %s\nstyle: %d\n", face_name.c_str(), kind.c_str(), style);
  if (kind == "TrueType") {
    if (FcPattern* match = Match(face_name, style)) {
      FcCharSet* chars = nullptr;
      std::printf("resolves to: %s (%s)\n", Str(match, FC_FAMILY).c_str(),
                  Str(match, FC_FILE).c_str());
      if (FcPatternGetCharSet(match, FC_CHARSET, 0, &chars) == FcResultMatch) {
        std::printf("characters: %u\n", FcCharSetCount(chars));
      }
      FcPatternDestroy(match);
    }
  } else {
    // Shape fonts build every character at load, so the list is complete.
    int* codes = nullptr;
    const int count = GetCustomFontRange(&codes);
    std::printf("characters: %d\n", count);
    DeleteTTFData(codes);
  }
  if (kind == "TrueType" || kind == "OVF") {
    std::printf("kerned pairs among printable ASCII: %d\n", CountKernedAsciiPairs());
  }
  std::printf(
      "metrics (output units at unit size 1000):\n  ratio %g\n  ascent %d\n  descent %d\n"
      "  line gap %d\n  em square %d\n  box top %d\n  box bottom %d\n  design height %d\n",
      info.ratio, info.ascent, info.descent, info.lineGap, info.emSquare, info.boxTop,
      info.boxBottom, info.designHeight);
  UnloadAllFonts();
  return 0;
}

}  // namespace

void AddFontCommands(CLI::App& app) {
  static bool all_styles = false;
  auto* fonts = app.add_subcommand("fonts", "list the installed outline fonts and name matches");
  fonts->add_flag("-a,--all", all_styles, "every style with its file");
  fonts->callback([] { std::exit(ListFonts(all_styles)); });

  static std::string face;
  static int style = 0;
  auto* info = app.add_subcommand("info", "what the engine makes of one face or font file");
  info->add_option("face", face, "face name, or an .shx/.ovf/.fnt/.ttf file")->required();
  info->add_option("-s,--style", style, "0 regular, 1 bold, 2 italic, 3 bold italic");
  info->callback([] { std::exit(Info(face, style)); });
}

}  // namespace vuzodo_cli
