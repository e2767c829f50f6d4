// Whether a path names a font file the readers may open, and the one whole-file read they share.
// Only regular files of at most limits::kMaxFontFileBytes are taken: opening a FIFO waits for a
// writer that may never come, a device such as /dev/zero never ends, and a directory or an
// oversized file is no font. Part of the platform layer: the
// readers above it and the platform's own font matching read files the same way.
#pragma once

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include "../Limits.h"  // constants only

namespace vuzodo {

// True when `path` (symbolic links followed) is a regular file of at most the font file limit;
// `size` receives its size then.
inline bool FontFileSize(const std::string& path, std::uintmax_t& size) {
  size = 0;
  if (path.empty()) return false;
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(path, error);
  if (error || !std::filesystem::is_regular_file(status)) return false;
  const std::uintmax_t bytes = std::filesystem::file_size(path, error);
  if (error || bytes > limits::kMaxFontFileBytes) return false;
  size = bytes;
  return true;
}

inline bool IsReadableFontFile(const std::string& path) {
  std::uintmax_t size = 0;
  return FontFileSize(path, size);
}

// The whole file, read at once; empty when the path is not a readable font file. A file that
// shrank since its size was taken keeps what could be read; one that grew is read up to its
// size at the check, so never past the limit.
inline std::vector<unsigned char> ReadFontFile(const std::string& path) {
  std::vector<unsigned char> bytes;
  std::uintmax_t size = 0;
  if (!FontFileSize(path, size) || size == 0) return bytes;
  std::ifstream file(path, std::ios::binary);
  if (!file) return bytes;
  bytes.resize(static_cast<std::size_t>(size));
  file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size));
  bytes.resize(static_cast<std::size_t>(std::max<std::streamsize>(file.gcount(), 0)));
  return bytes;
}

}  // namespace vuzodo
