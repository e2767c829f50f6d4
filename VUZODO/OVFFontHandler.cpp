#include "OVFFontHandler.h"

#include <cmath>
#include <cstring>
#include <fstream>
#include <limits>

#include "FontFile.h"
#include "QELUtility.h"

namespace {

std::uint32_t WordAt(const std::vector<std::uint8_t>& file, std::size_t offset) {
  const std::uint8_t* p = file.data() + offset;
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// Reads a zero-terminated UTF-16 name padded to a multiple of 4 bytes: L units take
// L + 2 - (L mod 2) units. False when the terminator or the padding is missing.
bool ReadName(const std::vector<std::uint8_t>& file, std::size_t& cursor, std::u16string& name) {
  std::u16string text;
  std::size_t at = cursor;
  for (;;) {
    if (file.size() - at < 2) return false;
    const auto unit = static_cast<char16_t>(file[at] | file[at + 1] << 8);
    at += 2;
    if (unit == 0) break;
    text.push_back(unit);
  }
  const std::size_t units = text.size() + 2 - text.size() % 2;
  if ((file.size() - cursor) / 2 < units) return false;
  cursor += units * 2;
  name = std::move(text);
  return true;
}

// Truncation towards zero of value x unit; values that are not numbers or do not fit give 0.
std::int32_t Truncate(double value) {
  if (!std::isfinite(value) || value >= 2147483648.0 || value <= -2147483649.0) return 0;
  return static_cast<std::int32_t>(value);
}

}  // namespace

void OVFFontHandler::Load(const unsigned short* path) {
  LoadFile(WideToNarrow(path));
}

void OVFFontHandler::LoadFile(const std::string& path) {
  file_.clear();
  info_ = OVFFontInfo{};
  // Regular files of at most limits::kMaxFontFileBytes only: a FIFO would block the open and
  // a device would never end (FontFile.h).
  std::uintmax_t size = 0;
  if (!vuzodo::FontFileSize(path, size) || size == 0) return;
  std::ifstream in(path, std::ios::binary);
  if (!in) return;
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
  if (!in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size))) return;
  LoadBytes(std::move(bytes));
}

void OVFFontHandler::LoadBytes(std::vector<std::uint8_t> bytes) {
  file_ = std::move(bytes);
  info_ = OVFFontInfo{};
  Parse();
}

void OVFFontHandler::Parse() {
  const std::vector<std::uint8_t>& f = file_;
  std::size_t cursor = 0;
  OVFFontInfo info;
  // Header: two words, two names, twelve reals. A header cut short gives no font at all.
  if (f.size() < 8) return;
  info.word0 = static_cast<std::int32_t>(WordAt(f, 0));
  info.word1 = static_cast<std::int32_t>(WordAt(f, 4));
  cursor = 8;
  if (!ReadName(f, cursor, info.name1) || !ReadName(f, cursor, info.name2)) return;
  if (f.size() - cursor < 48) return;
  for (float& h : info.h) {
    const std::uint32_t raw = WordAt(f, cursor);
    std::memcpy(&h, &raw, sizeof h);
    cursor += 4;
  }
  info_ = std::move(info);

  // Trailer and count word. X must leave room for the count word before it and lie inside the
  // file; otherwise the header stands and the font has no glyphs.
  if (f.size() - cursor < 8) return;
  info_.table_end = static_cast<std::int32_t>(WordAt(f, f.size() - 8));
  info_.trailer_word = static_cast<std::int32_t>(WordAt(f, f.size() - 4));
  const std::int64_t x = info_.table_end;
  if (x < 4 || x > static_cast<std::int64_t>(f.size())) return;
  info_.glyph_count = static_cast<std::int32_t>(WordAt(f, static_cast<std::size_t>(x - 4)));

  // Glyph table: entries in file order until the count is reached or an entry runs past the
  // end of the file (the entries before it are kept).
  for (std::int32_t i = 0; i < info_.glyph_count; ++i) {
    OVFShapeInfo glyph;
    if (!glyph.ReadEntry(f, cursor)) break;
    info_.glyphs.push_back(std::move(glyph));
  }
}

OVFShapeInfo* OVFFontHandler::FindGlyph(std::int32_t code) {
  for (OVFShapeInfo& glyph : info_.glyphs) {
    if (glyph.GetCode() == code) {
      glyph.Decode(file_);
      return &glyph;
    }
  }
  return nullptr;
}

std::optional<ReaderGlyph> OVFFontHandler::BuildGlyph(std::int32_t code) {
  const OVFShapeInfo* shape = FindGlyph(code);
  if (shape == nullptr) return std::nullopt;
  ReaderGlyph glyph;
  glyph.code = code;
  glyph.outline = shape->CloneEntities();
  glyph.box_min = shape->GetMin();
  glyph.box_max = shape->GetMax();
  glyph.advance = shape->GetAdvance();
  return glyph;
}

double OVFFontHandler::ShapeScale(double unit_size) const {
  const double height = info_.h[0];
  if (!std::isfinite(height) || height == 0.0) return 1.0;
  const double scale = unit_size / height;
  return std::isfinite(scale) ? scale : 1.0;
}

OVFFontMetrics OVFFontHandler::Metrics(double u) const {
  const auto& h = info_.h;
  auto t = [u](float field) { return Truncate(static_cast<double>(field) * u); };
  OVFFontMetrics m{};
  m.tmHeight = t(h[0]);
  m.tmAscent = t(h[2]);
  m.tmDescent = Truncate(-static_cast<double>(h[3]) * u);
  m.tmInternalLeading = Truncate(0.164 * u);
  m.tmExternalLeading = Truncate(0.046 * u);
  m.tmAveCharWidth = Truncate(0.616 * u);
  m.tmMaxCharWidth = Truncate(3.72 * u);
  m.tmWeight = 400;
  m.otmEMSquare = 2048;
  m.otmAscent = t(h[2]);
  m.otmDescent = t(h[3]);
  m.otmLineGap = static_cast<std::uint32_t>(t(h[4]));
  m.otmsCapEmHeight = static_cast<std::uint32_t>(Truncate(0.698 * u));
  m.otmrcFontBox_left = 0;
  m.otmrcFontBox_top = t(h[0]);
  m.otmrcFontBox_right = t(h[1]);
  m.otmrcFontBox_bottom = 0;
  m.otmMacAscent = t(h[2]);
  m.otmMacDescent = t(h[3]);
  m.otmMacLineGap = static_cast<std::uint32_t>(t(h[4]));
  m.otmsStrikeoutPosition = t(h[5]);
  m.otmptSubscriptSize_x = m.otmptSubscriptSize_y = t(h[8]);
  m.otmptSubscriptOffset_x = t(h[6]);
  m.otmptSubscriptOffset_y = t(h[7]);
  m.otmptSuperscriptSize_x = m.otmptSuperscriptSize_y = t(h[11]);
  m.otmptSuperscriptOffset_x = t(h[9]);
  m.otmptSuperscriptOffset_y = t(h[10]);
  return m;
}
