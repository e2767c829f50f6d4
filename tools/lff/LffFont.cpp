#include "LffFont.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <functional>
#include <limits>
#include <optional>
#include <set>
#include <sstream>

namespace vuzodo_tools {
namespace {

struct LffError {
  int line;
  std::string message;
};

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

double Number(std::string_view field, int line) {
  field = Trim(field);
  if (!field.empty() && field.front() == '+') field.remove_prefix(1);
  double value = 0;
  const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), value);
  if (field.empty() || error != std::errc() || end != field.data() + field.size() ||
      !std::isfinite(value) || std::fabs(value) > 1e6) {
    throw LffError{line, "\"" + std::string(field) + "\" is not a coordinate"};
  }
  return value;
}

char32_t HexCode(std::string_view digits, int line) {
  unsigned long code = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), code, 16);
  if (digits.empty() || error != std::errc() || end != digits.data() + digits.size() || code == 0 ||
      code > 0x10FFFF) {
    throw LffError{line, "\"" + std::string(digits) + "\" is not a character code"};
  }
  return static_cast<char32_t>(code);
}

// One vertex: two coordinates and, in any place, a bulge field led by "A". A vertex with one
// coordinate ("8.") is passed over: none is there to draw to.
std::optional<LffVertex> Vertex(std::string_view text, int line) {
  LffVertex vertex;
  double coordinates[2] = {0, 0};
  int count = 0;
  while (!text.empty()) {
    const auto comma = text.find(',');
    std::string_view field = Trim(text.substr(0, comma));
    text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
    // A bulge written without its comma ("1.5A.41") still starts at its letter.
    if (const auto a = field.find_first_of("Aa"); a != std::string_view::npos && a > 0) {
      vertex.bulge = Number(field.substr(a + 1), line);
      field = field.substr(0, a);
    }
    if (!field.empty() && (field.front() == 'A' || field.front() == 'a')) {
      vertex.bulge = Number(field.substr(1), line);
    } else if (count < 2) {
      coordinates[count++] = Number(field, line);
    } else {
      throw LffError{line, "a vertex has two coordinates"};
    }
  }
  if (count < 2) return std::nullopt;
  vertex.x = coordinates[0];
  vertex.y = coordinates[1];
  return vertex;
}

struct RawGlyph {
  int line = 0;
  std::vector<char32_t> references;
  std::vector<LffPolyline> strokes;
};

}  // namespace

LffResult ReadLff(std::string_view text) {
  LffResult result;
  std::map<char32_t, RawGlyph> raw;
  RawGlyph* current = nullptr;
  int line_no = 0;
  try {
    std::size_t begin = 0;
    while (begin <= text.size()) {
      const auto end = std::min(text.find('\n', begin), text.size());
      const std::string_view line = Trim(text.substr(begin, end - begin));
      begin = end + 1;
      ++line_no;
      if (line.empty()) {
        current = nullptr;
        continue;
      }
      if (line.front() == '#') {
        const auto colon = line.find(':');
        if (colon == std::string_view::npos) continue;
        const std::string_view key = Trim(line.substr(1, colon - 1));
        const std::string_view value = Trim(line.substr(colon + 1));
        if (key == "LetterSpacing") result.font.letter_spacing = Number(value, line_no);
        if (key == "WordSpacing") result.font.word_spacing = Number(value, line_no);
        continue;
      }
      if (line.front() == '[') {
        const auto close = line.find(']');
        if (close == std::string_view::npos) throw LffError{line_no, "a glyph header lacks \"]\""};
        // Fonts in the wild write "[#0020]" and "[[038c]": the code is the hexadecimal digits.
        std::string_view digits = line.substr(1, close - 1);
        while (!digits.empty() && (digits.front() == '#' || digits.front() == '[')) {
          digits.remove_prefix(1);
        }
        const char32_t code = HexCode(digits, line_no);
        // A code defined again is passed over: the first definition holds.
        current = raw.contains(code) ? nullptr : &raw[code];
        if (current != nullptr)
          current->line = line_no;
        else
          ++result.skipped;
        continue;
      }
      // Strokes after a glyph's closing blank line belong to no glyph: passed over.
      if (current == nullptr) {
        ++result.skipped;
        continue;
      }
      if (line.front() == 'C' || line.front() == 'c') {
        current->references.push_back(HexCode(line.substr(1), line_no));
        continue;
      }
      LffPolyline polyline;
      std::string_view rest = line;
      while (!rest.empty()) {
        const auto semicolon = rest.find(';');
        const std::string_view vertex = Trim(rest.substr(0, semicolon));
        rest =
            semicolon == std::string_view::npos ? std::string_view() : rest.substr(semicolon + 1);
        if (vertex.empty()) continue;
        if (const auto v = Vertex(vertex, line_no)) {
          polyline.push_back(*v);
        } else {
          ++result.skipped;
        }
      }
      if (polyline.size() < 2) throw LffError{line_no, "a polyline needs two vertices"};
      current->strokes.push_back(std::move(polyline));
    }
    if (raw.empty()) throw LffError{0, "holds no glyphs"};
    // References copied in depth first; a cycle or a missing glyph is an error.
    std::set<char32_t> open;
    std::function<const std::vector<LffPolyline>&(char32_t, int)> resolve =
        [&](char32_t code, int from_line) -> const std::vector<LffPolyline>& {
      if (auto done = result.font.glyphs.find(code); done != result.font.glyphs.end()) {
        return done->second;
      }
      const auto found = raw.find(code);
      if (found == raw.end()) throw LffError{from_line, "refers to a glyph the font lacks"};
      if (!open.insert(code).second) throw LffError{from_line, "glyphs refer to each other"};
      std::vector<LffPolyline> strokes;
      for (const char32_t reference : found->second.references) {
        const auto& copied = resolve(reference, found->second.line);
        strokes.insert(strokes.end(), copied.begin(), copied.end());
      }
      strokes.insert(strokes.end(), found->second.strokes.begin(), found->second.strokes.end());
      open.erase(code);
      return result.font.glyphs[code] = std::move(strokes);
    };
    for (const auto& entry : raw) resolve(entry.first, entry.second.line);
    result.ok = true;
  } catch (const LffError& error) {
    result.line = error.line;
    result.message = error.message;
    result.font.glyphs.clear();
  }
  return result;
}

namespace {

// Shape bytes in fine units of 1/kDivisor shape unit: the shape starts with code 3 (divide).
constexpr int kAbove = 100;    // shape units of the font height
constexpr int kDivisor = 4;    // fine units per shape unit
constexpr int kMaxStep = 127;  // largest displacement one byte holds

struct Point {
  long x = 0, y = 0;
};

class ShapeWriter {
 public:
  explicit ShapeWriter(double scale) : scale_(scale) { items_ = {"3", std::to_string(kDivisor)}; }

  Point Grid(double x, double y) const {
    return {std::lround(x * scale_), std::lround(y * scale_)};
  }

  void MoveTo(Point p) {
    EndRun();
    items_.push_back("2");
    Steps(p, [&](long dx, long dy) {
      items_.push_back("8");
      items_.push_back(Pair(dx, dy));
    });
    items_.push_back("1");
  }

  void LineTo(Point p) {
    Steps(p, [&](long dx, long dy) {
      if (!in_run_) items_.push_back("9");
      in_run_ = true;
      items_.push_back(Pair(dx, dy));
    });
  }

  // An arc to (x, y) in font units with the given bulge, from the pen's exact position.
  void ArcTo(double fx, double fy, double tx, double ty, double bulge, int depth = 0) {
    const Point to = Grid(tx, ty);
    const long dx = to.x - pen_.x, dy = to.y - pen_.y;
    if (dx == 0 && dy == 0) return;
    const long b = std::lround(bulge * 127.0);
    if (b == 0) return LineTo(to);
    if ((std::fabs(bulge) > 1.0 || std::labs(dx) > kMaxStep || std::labs(dy) > kMaxStep) &&
        depth < 16) {
      // Split at the arc's middle: each half sweeps half the angle.
      const double cx = tx - fx, cy = ty - fy;
      // The sagitta is bulge x half the chord, to the right of the chord for a positive bulge.
      const double mx = (fx + tx) / 2.0 + bulge * cy / 2.0, my = (fy + ty) / 2.0 - bulge * cx / 2.0;
      const double half = std::tan(std::atan(bulge) / 2.0);
      ArcTo(fx, fy, mx, my, half, depth + 1);
      ArcTo(mx, my, tx, ty, half, depth + 1);
      return;
    }
    EndRun();
    items_.push_back("12");
    items_.push_back(Pair(dx, dy));
    items_.push_back(std::to_string(std::clamp(b, -127L, 127L)));
    pen_ = to;
  }

  std::vector<std::string> Finish(Point advance) {
    MoveTo(advance);
    items_.pop_back();  // the pen stays up: the shape ends
    items_.push_back("0");
    return items_;
  }

  Point Pen() const { return pen_; }

 private:
  static std::string Pair(long dx, long dy) {
    // Appended piece by piece: GCC 12 at -O3 takes "(" + std::string&& for an overlapping copy.
    std::string pair = "(";
    pair += std::to_string(dx);
    pair += ',';
    pair += std::to_string(dy);
    pair += ')';
    return pair;
  }

  void EndRun() {
    if (in_run_) items_.push_back("(0,0)");
    in_run_ = false;
  }

  // Equal steps within a byte's range; a zero step is skipped (in a run it would end it).
  template <typename Emit>
  void Steps(Point p, Emit emit) {
    const long dx = p.x - pen_.x, dy = p.y - pen_.y;
    const long n = std::max(
        {1L, (std::labs(dx) + kMaxStep - 1) / kMaxStep, (std::labs(dy) + kMaxStep - 1) / kMaxStep});
    long done_x = 0, done_y = 0;
    for (long k = 1; k <= n; ++k) {
      const long sx = dx * k / n - done_x, sy = dy * k / n - done_y;
      done_x += sx;
      done_y += sy;
      if (sx != 0 || sy != 0) emit(sx, sy);
    }
    pen_ = p;
  }

  double scale_;
  Point pen_;
  bool in_run_ = false;
  std::vector<std::string> items_;
};

std::size_t ByteCount(const std::vector<std::string>& items) {
  std::size_t n = 0;
  for (const std::string& item : items) n += std::count(item.begin(), item.end(), ',') + 1;
  return n;
}

}  // namespace

LffShapes LffToShapeSource(const LffFont& font, const std::string& name) {
  double cap = 9.0;
  if (const auto a = font.glyphs.find(U'A'); a != font.glyphs.end()) {
    double top = 0;
    for (const auto& polyline : a->second) {
      for (const auto& v : polyline) top = std::max(top, v.y);
    }
    if (top > 0) cap = top;
  }
  const double scale = kAbove * kDivisor / cap;  // fine units per font unit
  double depth = 0;
  for (const char32_t c : {U'g', U'j', U'p', U'q', U'y'}) {
    if (const auto g = font.glyphs.find(c); g != font.glyphs.end()) {
      for (const auto& polyline : g->second) {
        for (const auto& v : polyline) depth = std::max(depth, -v.y);
      }
    }
  }
  const long below = std::clamp(std::lround(depth * kAbove / cap), 0L, 255L);
  LffShapes out;
  std::ostringstream source;
  source << "*UNIFONT,6," << name << "\n" << kAbove << "," << below << ",0,0,0,0\n";
  auto emit = [&](char32_t code, const std::vector<std::string>& items) {
    source << "*0" << std::hex << static_cast<unsigned>(code) << std::dec << "," << ByteCount(items)
           << ",\n";
    std::string line;
    for (const std::string& item : items) {
      if (line.size() > 70) {
        source << line << ",\n";
        line.clear();
      }
      line += (line.empty() ? "" : ",") + item;
    }
    source << line << "\n";
    ++out.characters;
  };
  if (!font.glyphs.contains(U' ')) {
    ShapeWriter space(scale);
    emit(U' ', space.Finish(space.Grid(font.word_spacing, 0)));
  }
  for (const auto& [code, strokes] : font.glyphs) {
    if (code > 0xFFFF) {
      ++out.beyond_bmp;
      continue;
    }
    ShapeWriter shape(scale);
    double right = code == U' ' ? font.word_spacing - font.letter_spacing : 0.0;
    for (const auto& polyline : strokes) {
      shape.MoveTo(shape.Grid(polyline.front().x, polyline.front().y));
      for (std::size_t k = 1; k < polyline.size(); ++k) {
        const LffVertex& from = polyline[k - 1];
        const LffVertex& to = polyline[k];
        if (to.bulge == 0.0) {
          shape.LineTo(shape.Grid(to.x, to.y));
        } else {
          shape.ArcTo(from.x, from.y, to.x, to.y, to.bulge);
          // The arc's middle may reach further right than its ends.
          right = std::max(right, (from.x + to.x) / 2.0 + to.bulge * (to.y - from.y) / 2.0);
        }
        right = std::max({right, from.x, to.x});
      }
    }
    emit(code, shape.Finish(shape.Grid(right + font.letter_spacing, 0)));
  }
  source.flush();
  out.source = source.str();
  return out;
}

}  // namespace vuzodo_tools
