#include "FntReader.h"

#include <array>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <span>
#include <string_view>

#include "FontFile.h"
#include "Limits.h"
#include "QELUtility.h"

namespace {

// A move smaller than this in both coordinates (the float nearest 1e-7) is no move at all and
// does not break the stroke.
constexpr double kNoMove = 1.0000000116860974e-7;
// Numbers beyond this size are not coordinates of a stroke font; the line carrying one is
// dropped so that the pen and the boxes stay finite.
constexpr double kMaxNumber = vuzodo::limits::kFntMaxNumber;
// Longer lines are not FNT lines; they are dropped unread.
constexpr std::size_t kMaxLineLength = vuzodo::limits::kFntMaxLineLength;
// The most numbers any command reads; further numbers on a line are ignored.
constexpr std::size_t kMaxNumbers = 4;

std::string_view Trim(std::string_view text) {
  auto space = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
  while (!text.empty() && space(text.front())) text.remove_prefix(1);
  while (!text.empty() && space(text.back())) text.remove_suffix(1);
  return text;
}

// The numbers of a line: the text after its first space, split at commas, each piece read with
// the C library conversion (a piece that does not parse is 0). False when a number is not
// finite or out of range.
bool ParseNumbers(std::string_view line, std::vector<double>& numbers) {
  numbers.clear();
  const std::size_t space = line.find(' ');
  if (space == std::string_view::npos) return true;
  std::string_view rest = line.substr(space + 1);
  while (numbers.size() < kMaxNumbers) {
    const std::size_t comma = rest.find(',');
    const std::string piece(rest.substr(0, comma));
    const double value = std::strtod(piece.c_str(), nullptr);
    if (!std::isfinite(value) || std::fabs(value) > kMaxNumber) return false;
    numbers.push_back(value);
    if (comma == std::string_view::npos) break;
    rest.remove_prefix(comma + 1);
  }
  return true;
}

// Truncates a code towards zero; false when it is outside the 32-bit range.
bool CodeOf(double value, std::int32_t& code) {
  if (!(value > -2147483649.0 && value < 2147483648.0)) return false;
  code = static_cast<std::int32_t>(value);
  return true;
}

class FntReader {
 public:
  explicit FntReader(int mode) : mode_(mode) {}

  void Line(std::string_view raw) {
    const std::string_view line = Trim(raw);
    if (line.empty()) return;
    const char kind = line.front();
    if (kind != 'a' && kind != 'd' && kind != 'm' && kind != 'p') return;
    const bool is_def = line.starts_with("def");
    const bool is_point = line.starts_with("point");
    if (kind == 'p' && !is_point) return;
    if (!ParseNumbers(line, numbers_)) {
      // A bad "def" drops its whole character; any other bad line is dropped alone.
      if (is_def) StartDiscarded();
      return;
    }
    if (is_def) {
      std::int32_t code = 0;
      if (numbers_.empty() || !CodeOf(numbers_[0], code)) {
        StartDiscarded();
        return;
      }
      Def(code);
      return;
    }
    // Lines before the first "def", or inside a dropped character, belong to nothing.
    if (current_ == nullptr) return;
    switch (kind) {
      case 'd':
        if (numbers_.size() >= 2) Draw(numbers_[0], numbers_[1]);
        break;
      case 'm':
        if (numbers_.size() >= 2) Move(numbers_[0], numbers_[1]);
        break;
      case 'p':
        if (numbers_.size() >= 2) Point(numbers_[0], numbers_[1]);
        break;
      case 'a':
        if (numbers_.size() >= 4) Arc();
        break;
      default:
        break;
    }
  }

  std::vector<ReaderGlyph> Finish() {
    FinishCharacter();
    return std::move(glyphs_);
  }

 private:
  void Def(std::int32_t code) {
    FinishCharacter();
    glyphs_.emplace_back();
    current_ = &glyphs_.back();
    current_->code = code;
    x_ = y_ = 0.0;
  }

  void StartDiscarded() {
    FinishCharacter();
    current_ = nullptr;
  }

  void FinishCharacter() {
    if (current_ == nullptr) return;
    FinishStroke();
    // The box was grown entity by entity; the advance is where the pen ended in x.
    current_->advance = x_;
    current_ = nullptr;
  }

  void FinishStroke() {
    if (!stroke_) return;
    GrowBoundingBox(current_->box_min, current_->box_max, stroke_.get());
    CloseIfEndsMeet(stroke_.get());
    current_->outline.push_back(stroke_.release());
  }

  void StartStroke() {
    if (stroke_) return;
    stroke_ = std::make_unique<CQELPolyLine>();
    stroke_->AddPoint(x_, y_);
  }

  void Draw(double dx, double dy) {
    StartStroke();
    x_ += dx;
    y_ += dy;
    stroke_->AddPoint(x_, y_);
  }

  void Move(double dx, double dy) {
    if (IsNear(dx, 0.0, kNoMove) && IsNear(dy, 0.0, kNoMove)) return;
    FinishStroke();
    x_ += dx;
    y_ += dy;
  }

  void Point(double dx, double dy) {
    FinishStroke();
    x_ += dx;
    y_ += dy;
    auto* dot = new CQELDot(NURBSPoint(x_, y_));
    current_->outline.push_back(dot);
    GrowBoundingBox(current_->box_min, current_->box_max, dot);
  }

  void Arc() {
    const std::array<double, 4> record{numbers_[0], numbers_[1], numbers_[2], numbers_[3]};
    const std::span<const double, 4> view(record);
    if (mode_ == kFntArcsAsPoints) {
      StartStroke();
      AppendArcRecord(view, x_, y_, stroke_.get());
    } else if (mode_ == kFntArcsAsEntities) {
      FinishStroke();
      CQELEllipticalArc* arc = ArcRecordToArc(view, x_, y_);
      GrowBoundingBox(current_->box_min, current_->box_max, arc);
      current_->outline.push_back(arc);
    }
  }

  int mode_;
  std::vector<ReaderGlyph> glyphs_;
  ReaderGlyph* current_ = nullptr;        // the character being read, inside glyphs_; null: none
  std::unique_ptr<CQELPolyLine> stroke_;  // the open stroke
  double x_ = 0.0, y_ = 0.0;              // the pen, relative to the character's origin
  std::vector<double> numbers_;
};

// At most `max_bytes` are read: a file that grows while it is read still ends.
std::vector<ReaderGlyph> ReadFntBytes(std::istream& in, int conversion_mode,
                                      std::uintmax_t max_bytes) {
  FntReader reader(conversion_mode);
  std::string line;
  std::uintmax_t read = 0;
  // Lines are read in bounded pieces so that a file without line breaks cannot make one huge
  // string; an over-long line is skipped to its end.
  while (true) {
    line.clear();
    bool too_long = false;
    constexpr int kEnd = std::char_traits<char>::eof();
    int c = 0;
    while (true) {
      c = read < max_bytes ? in.get() : kEnd;
      if (c == kEnd) break;
      ++read;
      if (c == '\n') break;
      if (line.size() < kMaxLineLength) {
        line.push_back(static_cast<char>(c));
      } else {
        too_long = true;
      }
    }
    if (!too_long) reader.Line(line);
    if (c == kEnd) break;
  }
  return reader.Finish();
}

}  // namespace

std::vector<ReaderGlyph> ReadFntStream(std::istream& in, int conversion_mode) {
  return ReadFntBytes(in, conversion_mode, UINTMAX_MAX);
}

std::vector<ReaderGlyph> ReadFntFile(const std::string& path, int conversion_mode) {
  // Regular files of at most limits::kMaxFontFileBytes only: a FIFO would block the open and
  // /dev/zero would be read for ever (FontFile.h).
  std::uintmax_t size = 0;
  if (!vuzodo::FontFileSize(path, size)) return {};
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  return ReadFntBytes(in, conversion_mode, size);
}

std::vector<ReaderGlyph> ReadFntFile(const unsigned short* path, int conversion_mode) {
  if (path == nullptr) return {};
  return ReadFntFile(WideToNarrow(path), conversion_mode);
}
