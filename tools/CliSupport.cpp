// Text conversion, font kinds and option checks, shared by the subcommands.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>

#include "Commands.h"

namespace vuzodo_cli {

std::u16string ToUtf16(const std::string& utf8) {
  std::u16string out;
  for (size_t i = 0; i < utf8.size();) {
    const unsigned char c = utf8[i];
    char32_t cp = c;
    int extra = 0;
    if (c >= 0xF0) {
      cp = c & 0x07;
      extra = 3;
    } else if (c >= 0xE0) {
      cp = c & 0x0F;
      extra = 2;
    } else if (c >= 0xC0) {
      cp = c & 0x1F;
      extra = 1;
    }
    for (int k = 1; k <= extra && i + k < utf8.size(); ++k) cp = (cp << 6) | (utf8[i + k] & 0x3F);
    i += 1 + extra;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
  }
  return out;
}

std::string FontKind(const std::string& face) {
  std::string lower = face;
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (lower.ends_with(".shx")) return "SHX";
  if (lower.ends_with(".ovf")) return "OVF";
  if (lower.ends_with(".fnt")) return "FNT";
  return "TrueType";
}

CLI::Validator AtLeast(double low, bool inclusive) {
  char range[48];
  std::snprintf(range, sizeof range, "%s %g", inclusive ? ">=" : ">", low);
  return CLI::Validator(
      [low, inclusive, text = std::string(range)](std::string& input) -> std::string {
        double v = 0;
        if (!CLI::detail::lexical_cast(input, v)) return "'" + input + "' is not a number";
        const bool ok = std::isfinite(v) && (inclusive ? v >= low : v > low);
        return ok ? "" : input + " is out of range: must be " + text;
      },
      std::string("NUMBER ") + range);
}

}  // namespace vuzodo_cli
