#include "FontPath.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "RenderLimits.h"
#include "ShpCompiler.h"
#include "lff/LffFont.h"

namespace vuzodo_cli {
namespace {

namespace fs = std::filesystem;

constexpr const char* kSystemLffDir = "/usr/share/librecad/fonts";

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

// Converted fonts live until the program ends; std::exit runs this destructor.
struct TemporaryFiles {
  std::vector<fs::path> paths;
  ~TemporaryFiles() {
    std::error_code ignored;
    for (const fs::path& p : paths) fs::remove(p, ignored);
  }
};

TemporaryFiles& Temporaries() {
  static TemporaryFiles files;
  return files;
}

bool WriteTemporary(const std::vector<unsigned char>& bytes, std::string& path,
                    std::string& error) {
  std::error_code code;
  std::string pattern = (fs::temp_directory_path(code) / "vuzodo-XXXXXX.shx").string();
  const int fd = mkstemps(pattern.data(), 4);
  if (fd < 0) {
    error = "no temporary file for its conversion";
    return false;
  }
  Temporaries().paths.emplace_back(pattern);
  const bool written =
      ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  ::close(fd);
  if (!written) {
    error = "its conversion could not be written to " + pattern;
    return false;
  }
  path = pattern;
  return true;
}

}  // namespace

std::vector<std::string> FontSearchDirs(const std::vector<std::string>& font_dirs) {
  std::vector<std::string> dirs = font_dirs;
  if (const char* env = std::getenv("VUZODO_FONT_PATH")) {
    std::string list = env;
    for (std::size_t begin = 0; begin <= list.size();) {
      const std::size_t end = std::min(list.find(':', begin), list.size());
      if (end > begin) dirs.push_back(list.substr(begin, end - begin));
      begin = end + 1;
    }
  }
  dirs.emplace_back(kSystemLffDir);
  return dirs;
}

bool IsFontFileName(const std::string& name) {
  const std::string lower = Lower(name);
  for (const char* ending : {".ttf", ".otf", ".ttc", ".otc", ".shx", ".ovf", ".fnt", ".lff"}) {
    if (lower.ends_with(ending)) return true;
  }
  return false;
}

bool CompileLff(const std::string& path, std::vector<unsigned char>& shx, std::string& error,
                int* characters) {
  std::error_code code;
  if (fs::is_directory(path, code)) {
    error = "is a directory";
    return false;
  }
  if (fs::file_size(path, code) > limits::kMaxFontFileBytes) {
    error = "is larger than the " + std::to_string(limits::kMaxFontFileBytes >> 20) +
            " MiB the engine reads of a font file";
    return false;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = fs::exists(path, code) ? "cannot be opened for reading" : "no such file";
    return false;
  }
  const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  const vuzodo_tools::LffResult font = vuzodo_tools::ReadLff(text);
  if (!font.ok) {
    error = "is not an LFF font: " +
            (font.line > 0 ? "line " + std::to_string(font.line) + ": " : std::string()) +
            font.message;
    return false;
  }
  const auto shapes = vuzodo_tools::LffToShapeSource(font.font, fs::path(path).stem().string());
  const auto compiled = vuzodo_tools::CompileShp(shapes.source);
  if (!compiled.ok) {
    error = "cannot be converted: " + compiled.Describe();
    return false;
  }
  shx = compiled.bytes;
  if (characters != nullptr) *characters = shapes.characters;
  return true;
}

FontFile FindFont(const std::string& name, const std::vector<std::string>& font_dirs) {
  FontFile found{name, name, ""};
  if (!IsFontFileName(name)) return found;  // a face name: fontconfig's business
  std::error_code code;
  if (!fs::exists(name, code) && fs::path(name).is_relative()) {
    const std::vector<std::string> dirs = FontSearchDirs(font_dirs);
    const auto hit = std::find_if(dirs.begin(), dirs.end(), [&](const std::string& dir) {
      return fs::is_regular_file(fs::path(dir) / name, code);
    });
    if (hit == dirs.end()) {
      std::string list;
      for (const std::string& dir : dirs) list += (list.empty() ? "" : ":") + dir;
      found.error = "no such file here or in the font folders " + list;
      return found;
    }
    found.path = (fs::path(*hit) / name).string();
  }
  found.found = found.path;
  if (!Lower(found.path).ends_with(".lff")) return found;
  std::vector<unsigned char> shx;
  if (!CompileLff(found.path, shx, found.error)) return found;
  WriteTemporary(shx, found.path, found.error);
  return found;
}

void AddFontDirOption(CLI::App& command, std::vector<std::string>& font_dirs) {
  command
      .add_option("--font-dir", font_dirs,
                  "folder searched for font files named without one, before VUZODO_FONT_PATH "
                  "(repeatable)")
      ->allow_extra_args(false);
}

}  // namespace vuzodo_cli
