// vuzodo font-convert: reads any font the engine reads through the C interface, as a host
// would, and writes it as an OVF outline font or an FNT stroke font.
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "Commands.h"
#include "FontPath.h"
#include "fontio/FntWriter.h"
#include "fontio/InterfaceFont.h"
#include "fontio/OvfWriter.h"

namespace vuzodo_cli {
namespace {

struct ConvertOptions {
  std::string source;
  std::string output;
  std::string format;  // "ovf" or "fnt"; empty: from the output's extension
  std::string chars;
  std::vector<std::string> font_dirs;
  int style = 0;
  int conversion_mode = 1;
  float unit = 1000.0f;
};

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// A LibreCAD font written as the unicode shape font the engine reads for it.
int WriteLffAsShx(const std::string& source, const std::string& output) {
  std::vector<unsigned char> shx;
  std::string error;
  int characters = 0;
  if (!CompileLff(source, shx, error, &characters)) {
    std::fprintf(stderr, "vuzodo: %s: %s\n", source.c_str(), error.c_str());
    return 1;
  }
  std::ofstream out(output, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(shx.data()), static_cast<std::streamsize>(shx.size()));
  out.close();
  if (!out) {
    std::fprintf(stderr, "vuzodo: cannot write %s\n", output.c_str());
    return 1;
  }
  std::printf("%s: %d characters\n", output.c_str(), characters);
  return 0;
}

int Convert(const ConvertOptions& o) {
  std::string format = Lower(o.format);
  if (format.empty()) format = Lower(std::filesystem::path(o.output).extension().string());
  if (!format.empty() && format[0] == '.') format.erase(0, 1);
  const FontFile source = FindFont(o.source, o.font_dirs);
  if (!source.error.empty()) {
    std::fprintf(stderr, "vuzodo: %s: %s\n", o.source.c_str(), source.error.c_str());
    return 1;
  }
  const bool lff = Lower(o.source).ends_with(".lff");
  if (format == "shx" && lff) return WriteLffAsShx(source.found, o.output);
  if (format != "ovf" && format != "fnt") {
    std::fprintf(stderr,
                 "vuzodo: write .ovf or .fnt (or .shx from an .lff font; or name it with "
                 "--format)\n");
    return 2;
  }
  vuzodo_fontio::ReadOptions read;
  read.face = ToUtf16(source.path);
  read.style = o.style;
  read.unit = o.unit;
  read.fnt_mode = o.conversion_mode;
  if (!o.chars.empty()) {
    std::string error;
    if (!vuzodo_fontio::ParseCodeRanges(o.chars, read.codes, error)) {
      std::fprintf(stderr, "vuzodo: --chars: %s\n", error.c_str());
      return 2;
    }
  }
  const vuzodo_fontio::InterfaceFont font = vuzodo_fontio::ReadThroughInterface(read);
  if (font.glyphs.empty()) {
    std::fprintf(stderr, "vuzodo: %s has none of the characters asked for\n", o.source.c_str());
    return 1;
  }
  std::ofstream out(o.output, std::ios::binary);
  if (format == "ovf") {
    static const char16_t* const kStyles[] = {u"Regular", u"Bold", u"Italic", u"Bold Italic"};
    const std::u16string style = o.style >= 0 && o.style < 4 ? kStyles[o.style] : u"Regular";
    const std::u16string name = ToUtf16(std::filesystem::path(o.source).stem().string());
    const auto bytes = vuzodo_fontio::WriteOvf(vuzodo_fontio::MakeOvfFont(font, name, style));
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
  } else {
    out << vuzodo_fontio::WriteFnt(font.glyphs);
  }
  out.close();
  if (!out) {
    std::fprintf(stderr, "vuzodo: cannot write %s\n", o.output.c_str());
    return 1;
  }
  std::printf("%s: %zu characters\n", o.output.c_str(), font.glyphs.size());
  return 0;
}

}  // namespace

void AddFontConvertCommand(CLI::App& app) {
  // The options live as long as the application: the callback runs after parsing.
  static ConvertOptions options;
  auto* cmd = app.add_subcommand("font-convert",
                                 "write a font as an OVF or FNT font, or an LFF font as SHX");
  cmd->add_option("source", options.source, "face name, or an .ttf/.otf/.shx/.ovf/.fnt/.lff file")
      ->required();
  cmd->add_option("-o,--output", options.output, "font to write (.ovf, .fnt; .shx from .lff)")
      ->required();
  cmd->add_option("--format", options.format, "ovf, fnt or shx (default: the output's extension)")
      ->check(CLI::IsMember({"ovf", "fnt", "shx", "OVF", "FNT", "SHX"}));
  AddFontDirOption(*cmd, options.font_dirs);
  cmd->add_option("--chars", options.chars,
                  "codes and ranges, e.g. 32-126,0xA0-0xFF,U+20AC (default: the font's own "
                  "characters, else printable Latin-1)");
  cmd->add_option("-s,--style", options.style, "0 regular, 1 bold, 2 italic, 3 bold italic");
  cmd->add_option("--conversion-mode", options.conversion_mode,
                  "how FNT sources read arc lines: 1 arcs (default), 2 points, 0 dropped");
  cmd->add_option("--unit", options.unit, "record units per \"A\" height (precision)")
      ->check(CLI::PositiveNumber);
  cmd->callback([] { std::exit(Convert(options)); });
}

}  // namespace vuzodo_cli
