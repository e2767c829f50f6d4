// Where a font file named on the command line is found, and the file the engine reads for it.
//
// A name with a font file's suffix is looked up, in this order:
//   1. as given: absolute, or relative to the current folder;
//   2. when relative and not there: in each --font-dir folder, in the order given;
//   3. then in each folder of VUZODO_FONT_PATH (separated by ":"), left to right;
//   4. then in Debian's folder of single-line LibreCAD fonts, /usr/share/librecad/fonts.
// The first folder holding it wins. A LibreCAD font (.lff) is converted to a unicode shape
// font in a temporary file, removed when the program ends.
#pragma once

#include <CLI/CLI.hpp>
#include <string>
#include <vector>

namespace vuzodo_cli {

struct FontFile {
  std::string path;   // what the engine loads: a face name, a found file, or a converted one
  std::string found;  // the file found for the name, before any conversion
  std::string error;  // why the named file cannot be used; "" when it can
};

// The search folders: --font-dir values, then VUZODO_FONT_PATH's, then the system folder.
std::vector<std::string> FontSearchDirs(const std::vector<std::string>& font_dirs);

// Whether the name ends in a font file suffix the program reads (.ttf .otf .ttc .otc .shx .ovf
// .fnt .lff), case ignored.
bool IsFontFileName(const std::string& name);

FontFile FindFont(const std::string& name, const std::vector<std::string>& font_dirs);

// Adds --font-dir to a subcommand: a folder searched for font files (repeatable).
void AddFontDirOption(CLI::App& command, std::vector<std::string>& font_dirs);

// Reads an LFF font and compiles it into SHX bytes; false with the reason in `error`.
bool CompileLff(const std::string& path, std::vector<unsigned char>& shx, std::string& error,
                int* characters = nullptr);

}  // namespace vuzodo_cli
