// Reading render text from files and appending it with a progress bar.
#include "TextInput.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

namespace vuzodo_cli {

std::optional<std::string> ReadTextInput(const std::string& path) {
  std::stringstream buffer;
  if (path == "-") {
    buffer << std::cin.rdbuf();
  } else {
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) {
      std::fprintf(stderr, "vuzodo: -i %s: is a directory\n", path.c_str());
      return std::nullopt;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
      std::fprintf(stderr, "vuzodo: -i %s: cannot read: %s\n", path.c_str(), std::strerror(errno));
      return std::nullopt;
    }
    buffer << in.rdbuf();
  }
  std::string text = buffer.str();
  // A text file's last line feed ends the file, not a line of the text.
  if (!text.empty() && text.back() == '\n') text.pop_back();
  if (!text.empty() && text.back() == '\r') text.pop_back();
  return text;
}

int AppendWithProgress(const std::u16string& text,
                       const std::function<int(std::u16string&)>& append) {
  // Short texts, and output that is not a terminal, get no bar.
  constexpr size_t kLongText = 20000;
  const bool bar = text.size() >= kLongText && isatty(STDERR_FILENO) != 0;
  int taken = 0;
  int shown = -1;
  for (size_t at = 0; at < text.size();) {
    const size_t feed = text.find(u'\n', at);
    const size_t end = feed == std::u16string::npos ? text.size() : feed + 1;
    std::u16string piece = text.substr(at, end - at);
    taken += append(piece);
    at = end;
    if (bar) {
      const int percent = static_cast<int>(100 * at / text.size());
      if (percent != shown) {
        shown = percent;
        const int filled = percent * 30 / 100;
        std::fprintf(stderr, "\r[%.*s%*s] %3d%% %zu/%zu characters", filled,
                     "##############################", 30 - filled, "", percent, at, text.size());
        std::fflush(stderr);
      }
    }
  }
  if (bar) std::fprintf(stderr, "\n");
  return taken;
}

}  // namespace vuzodo_cli
