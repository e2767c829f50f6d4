// Font file headers read directly, for what the engine's normalised records no longer show.
#include "FontHeaders.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

namespace vuzodo_cli {

ShxHeights ReadShxHeights(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<unsigned char> b(std::istreambuf_iterator<char>(in), {});
  auto u16 = [&](std::size_t at) -> long {
    return at + 2 <= b.size() ? b[at] | (b[at + 1] << 8) : -1;
  };
  auto u32 = [&](std::size_t at) -> long {
    return u16(at) < 0 || u16(at + 2) < 0 ? -1 : u16(at) | (u16(at + 2) << 16);
  };
  // A record of font information: its name, a 0, then the bytes.
  auto info = [&](std::size_t at, std::size_t length, ShxHeights h, bool extended_allowed) {
    std::size_t k = at;
    while (k < at + length && k < b.size() && b[k] != 0) ++k;
    const std::size_t data = k + 1, count = at + length - data;
    if (k >= b.size() || data + 2 > b.size() || count < 2 || at + length > b.size())
      return ShxHeights{};
    h.above = b[data];
    h.below = b[data + 1];
    if (extended_allowed && count == 5) {
      h.kind = "extended bigfont";
      h.below = 0;
    }
    return h;
  };
  const std::string head(b.begin(),
                         b.begin() + static_cast<long>(std::min<std::size_t>(b.size(), 64)));
  const std::size_t body = head.find('\x1a') + 1;
  if (body == 0) return {};
  if (head.starts_with("AutoCAD-86 shapes ")) {
    const long count = u16(body + 4);
    std::size_t offset = body + 6 + 4 * static_cast<std::size_t>(std::max(count, 0L));
    for (long k = 0; k < count; ++k) {
      const long number = u16(body + 6 + 4 * k), length = u16(body + 8 + 4 * k);
      if (number < 0 || length < 0) return {};
      if (number == 0) return info(offset, length, {"shapes"}, false);
      offset += length;
    }
  } else if (head.starts_with("AutoCAD-86 unifont ")) {
    const long length = u16(body + 4);
    if (u32(body) >= 0 && length > 0) return info(body + 6, length, {"unifont"}, false);
  } else if (head.starts_with("AutoCAD-86 bigfont ")) {
    const long entries = u16(body + 2), ranges = u16(body + 4);
    const std::size_t index = body + 6 + 4 * static_cast<std::size_t>(std::max(ranges, 0L));
    for (long k = 0; k < entries && ranges >= 0; ++k) {
      const std::size_t e = index + 8 * k;
      if (u16(e) == 0 && u16(e + 2) > 0 && u32(e + 4) > 0) {
        return info(u32(e + 4), u16(e + 2), {"bigfont"}, true);
      }
    }
  }
  return {};
}

bool ReadSfntMetrics(const std::string& path, SfntMetrics& m) {
  FT_Library library = nullptr;
  if (FT_Init_FreeType(&library) != 0) return false;
  FT_Face face = nullptr;
  bool ok = FT_New_Face(library, path.c_str(), 0, &face) == 0;
  if (ok) {
    m.units_per_em = face->units_per_EM;
    m.ascender = face->ascender;
    m.descender = face->descender;
    if (FT_Load_Char(face, 'A', FT_LOAD_NO_SCALE) == 0) {
      FT_BBox box;
      FT_Outline_Get_CBox(&face->glyph->outline, &box);
      m.cap_height = box.yMax;
    }
    FT_Done_Face(face);
  }
  FT_Done_FreeType(library);
  return ok;
}

std::optional<OvfHeights> ReadOvfHeights(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  const std::vector<unsigned char> b(std::istreambuf_iterator<char>(in), {});
  // Two header words, then two names of UTF-16 units, each with its terminator and padded to
  // a whole number of 4-byte words, then the twelve reals.
  std::size_t at = 8;
  for (int name = 0; name < 2; ++name) {
    std::size_t length = 0;
    while (at + 2 * length + 2 <= b.size() && (b[at + 2 * length] | b[at + 2 * length + 1]) != 0)
      ++length;
    at += 2 * (length + 2 - length % 2);
  }
  if (at + 16 > b.size()) return std::nullopt;
  auto word = [&](std::size_t k) -> long {
    return k + 4 <= b.size() ? static_cast<std::int32_t>(b[k] | b[k + 1] << 8 | b[k + 2] << 16 |
                                                         std::uint32_t{b[k + 3]} << 24)
                             : -1;
  };
  auto real = [&](int k) {
    float f;
    const auto bits = static_cast<std::uint32_t>(word(at + 4 * static_cast<std::size_t>(k)));
    std::memcpy(&f, &bits, sizeof f);
    return f;
  };
  // The trailer's first word is the offset just past the glyph count.
  const long end = word(b.size() - 8);
  const long glyphs = end >= 4 ? word(static_cast<std::size_t>(end) - 4) : -1;
  const OvfHeights h{real(0), real(2), real(3), glyphs};
  if (!(h.height > 0) || !std::isfinite(h.height)) return std::nullopt;
  return h;
}

std::optional<FntHeight> ReadFntHeight(const std::string& path) {
  struct Character {
    int code;
    double top = -HUGE_VAL;  // of the points its strokes and dots pass through
    bool arcs = false;
  };
  std::vector<Character> chars;
  std::ifstream in(path);
  double x = 0, y = 0;
  bool stroke = false;  // a draw continues the open stroke, whose first point counts too
  for (std::string line; std::getline(in, line);) {
    const auto first = line.find_first_not_of(" \t\r");
    if (first == std::string::npos) continue;
    line.erase(0, first);
    std::vector<double> p;
    if (const auto space = line.find(' '); space != std::string::npos) {
      for (std::size_t k = space + 1; k <= line.size();) {
        const std::size_t comma = std::min(line.find(',', k), line.size());
        p.push_back(std::strtod(line.substr(k, comma - k).c_str(), nullptr));
        k = comma + 1;
      }
    }
    p.resize(std::max<std::size_t>(p.size(), 4), 0.0);
    if (line.starts_with("def")) {
      chars.push_back({static_cast<int>(p[0])});
      x = y = 0;
      stroke = false;
      continue;
    }
    if (chars.empty()) continue;
    Character& c = chars.back();
    if (line[0] == 'd') {
      if (!stroke) c.top = std::max(c.top, y);
      stroke = true;
      x += p[0], y += p[1];
      c.top = std::max(c.top, y);
    } else if (line[0] == 'm') {
      stroke = false;
      x += p[0], y += p[1];
    } else if (line.starts_with("point")) {
      stroke = false;
      x += p[0], y += p[1];
      c.top = std::max(c.top, y);
    } else if (line[0] == 'a') {
      c.arcs = true;
    }
  }
  auto it =
      std::find_if(chars.begin(), chars.end(), [](const Character& c) { return c.code == 65; });
  if (it == chars.end())
    it = std::find_if(chars.begin(), chars.end(), [](const Character& c) { return c.top > 0; });
  if (it == chars.end() || it->arcs || !(it->top > 0)) return std::nullopt;
  return FntHeight{it->code, it->top};
}

}  // namespace vuzodo_cli
