// Reading render text from files and appending it with a progress bar.
#include "TextInput.h"

#include <iconv.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

namespace vuzodo_cli {
namespace {

// The code point starting at `at` and its length in bytes, or a length of 0
// when the bytes there are not UTF-8: a stray continuation byte, a sequence
// cut short, an overlong form, a surrogate or a code past U+10FFFF.
std::pair<char32_t, size_t> DecodeUtf8(const std::string& s, size_t at) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(s[i]); };
  const unsigned char c = byte(at);
  if (c < 0x80) return {c, 1};
  size_t length = 0;
  char32_t cp = 0, least = 0;
  if (c >= 0xC2 && c <= 0xDF) {
    length = 2, cp = c & 0x1F, least = 0x80;
  } else if (c >= 0xE0 && c <= 0xEF) {
    length = 3, cp = c & 0x0F, least = 0x800;
  } else if (c >= 0xF0 && c <= 0xF4) {
    length = 4, cp = c & 0x07, least = 0x10000;
  } else {
    return {0, 0};
  }
  if (at + length > s.size()) return {0, 0};
  for (size_t k = 1; k < length; ++k) {
    if ((byte(at + k) & 0xC0) != 0x80) return {0, 0};
    cp = (cp << 6) | (byte(at + k) & 0x3F);
  }
  if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return {0, 0};
  return {cp, length};
}

struct Encoding {
  const char* name;   // as --encoding takes it
  const char* iconv;  // as glibc's iconv knows it
};
constexpr Encoding kEncodings[] = {{"gb2312", "GB2312"},
                                   {"gbk", "GBK"},
                                   {"big5", "BIG5"},
                                   {"shift-jis", "SHIFT_JIS"},
                                   {"euc-kr", "EUC-KR"}};

// An iconv conversion from UTF-8, closed when it goes.
class Converter {
 public:
  explicit Converter(const char* to) : cd_(iconv_open(to, "UTF-8")) {}
  ~Converter() {
    if (ok()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  // The bytes of one character in the target encoding; empty when it has none.
  std::string Convert(std::string in) {
    char out[16];
    char* from = in.data();
    char* to = out;
    size_t left = in.size(), room = sizeof out;
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd_, &from, &left, &to, &room) == static_cast<size_t>(-1) || left != 0) return "";
    return std::string(out, to);
  }

 private:
  iconv_t cd_;
};

}  // namespace

std::optional<std::string> NormaliseText(const std::string& bytes, const std::string& source) {
  for (size_t at = 0; at < bytes.size();) {
    const size_t length = DecodeUtf8(bytes, at).second;
    if (length == 0) {
      std::fprintf(stderr, "vuzodo: %s: invalid UTF-8 at byte %zu (0x%02X)\n", source.c_str(), at,
                   static_cast<unsigned char>(bytes[at]));
      return std::nullopt;
    }
    at += length;
  }
  std::string text;
  text.reserve(bytes.size());
  const size_t start = bytes.starts_with("\xEF\xBB\xBF") ? 3 : 0;
  for (size_t i = start; i < bytes.size(); ++i) {
    if (bytes[i] != '\r') {
      text += bytes[i];
    } else if (i + 1 == bytes.size() || bytes[i + 1] != '\n') {
      text += '\n';
    }
  }
  return text;
}

const std::vector<std::string>& BigFontEncodings() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> list;
    for (const Encoding& e : kEncodings) list.emplace_back(e.name);
    return list;
  }();
  return names;
}

std::optional<std::u16string> ToCodeUnits(const std::string& utf8, const std::string& encoding,
                                          const std::string& source,
                                          std::vector<char32_t>& outside) {
  std::u16string units;
  std::optional<Converter> converter;
  if (!encoding.empty()) {
    const auto* e = std::find_if(std::begin(kEncodings), std::end(kEncodings),
                                 [&](const Encoding& k) { return encoding == k.name; });
    if (e != std::end(kEncodings)) converter.emplace(e->iconv);
    if (!converter || !converter->ok()) {
      std::fprintf(stderr, "vuzodo: --encoding %s: this system's iconv cannot convert to it\n",
                   encoding.c_str());
      return std::nullopt;
    }
  }
  for (size_t at = 0; at < utf8.size();) {
    const auto [cp, length] = DecodeUtf8(utf8, at);
    if (length == 0) return std::nullopt;  // NormaliseText has reported it
    if (converter && cp >= 0x80) {
      const std::string code = converter->Convert(utf8.substr(at, length));
      if (code.empty() || code.size() > 2) {
        std::fprintf(stderr, "vuzodo: %s: %s (U+%04X) at byte %zu has no code in %s\n",
                     source.c_str(), utf8.substr(at, length).c_str(), static_cast<unsigned>(cp), at,
                     encoding.c_str());
        return std::nullopt;
      }
      const auto lead = static_cast<unsigned char>(code[0]);
      units += static_cast<char16_t>(
          code.size() == 1 ? lead : (lead << 8) | static_cast<unsigned char>(code[1]));
    } else if (cp > 0xFFFF) {
      units += u'\uFFFF';
      if (std::find(outside.begin(), outside.end(), cp) == outside.end()) outside.push_back(cp);
    } else {
      units += static_cast<char16_t>(cp);
    }
    at += length;
  }
  return units;
}

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
  auto text = NormaliseText(buffer.str(), path == "-" ? "standard input" : "-i " + path);
  // A text file's last line feed ends the file, not a line of the text.
  if (text && !text->empty() && text->back() == '\n') text->pop_back();
  return text;
}

int AppendWithProgress(const std::u16string& text, size_t long_text, size_t max_piece,
                       const std::function<int(std::u16string&)>& append) {
  // Short texts, and output that is not a terminal, get no bar.
  const bool bar = text.size() >= long_text && isatty(STDERR_FILENO) != 0;
  int taken = 0;
  int shown = -1;
  for (size_t at = 0; at < text.size();) {
    const size_t feed = text.find(u'\n', at);
    size_t end = feed == std::u16string::npos ? text.size() : feed + 1;
    if (bar && max_piece > 0 && end - at > max_piece) end = at + max_piece;
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
