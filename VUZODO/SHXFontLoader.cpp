#include "SHXFontLoader.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>

#include "Limits.h"

namespace vuzodo {

namespace {

// Bounded little-endian reader over the whole file. Every read checks the end of the data, so
// no count, length or offset taken from the file can lead outside it.
class Reader {
 public:
  explicit Reader(std::vector<unsigned char> data) : data_(std::move(data)) {}

  std::size_t Size() const { return data_.size(); }
  std::size_t Position() const { return position_; }
  bool Seek(std::size_t position) {
    if (position > data_.size()) return false;
    position_ = position;
    return true;
  }
  bool Skip(std::size_t count) {
    if (count > data_.size() - position_) return false;
    position_ += count;
    return true;
  }
  bool Byte(std::int32_t& value) {
    if (position_ >= data_.size()) return false;
    value = data_[position_++];
    return true;
  }
  // Low byte first.
  bool U16(std::int32_t& value) {
    std::int32_t lo = 0;
    std::int32_t hi = 0;
    if (!Byte(lo) || !Byte(hi)) return false;
    value = lo | (hi << 8);
    return true;
  }
  // Three bytes, least significant first (the offsets of big font index entries).
  bool U24(std::int32_t& value) {
    std::int32_t b0 = 0;
    std::int32_t b1 = 0;
    std::int32_t b2 = 0;
    if (!Byte(b0) || !Byte(b1) || !Byte(b2)) return false;
    value = b0 | (b1 << 8) | (b2 << 16);
    return true;
  }
  // Characters up to a 0 byte, which is consumed.
  bool Name(std::string& name) {
    name.clear();
    std::int32_t c = 0;
    while (Byte(c)) {
      if (c == 0) return true;
      name.push_back(static_cast<char>(c));
    }
    return false;
  }
  bool Bytes(std::int64_t count, std::vector<std::int32_t>& out) {
    if (count < 0 || static_cast<std::uint64_t>(count) > data_.size() - position_) return false;
    out.assign(data_.begin() + static_cast<std::ptrdiff_t>(position_),
               data_.begin() + static_cast<std::ptrdiff_t>(position_ + count));
    position_ += static_cast<std::size_t>(count);
    return true;
  }
  // The header text: bytes up to the first 0, 10 or 13 (consumed) or the end of the file, at most
  // limits::kShxMaxHeaderLength characters kept.
  std::string Header() {
    std::string header;
    std::int32_t c = 0;
    while (Byte(c)) {
      if (c == 0 || c == 10 || c == 13) break;
      if (header.size() < limits::kShxMaxHeaderLength) header.push_back(static_cast<char>(c));
    }
    return header;
  }

 private:
  std::vector<unsigned char> data_;
  std::size_t position_ = 0;
};

// Shape file: count at offset 28 (one byte), the index of (number, length) pairs from offset 30
// whose first entry is shape 0, the font information; then the definitions in index order.
void LoadShapes(Reader& reader, SHXFont& font, double& base_scale) {
  std::int32_t count = 0;
  std::int32_t b29 = 0;
  std::int32_t b30 = 0;
  // Only files with fewer than 256 shapes whose first entry is shape 0 are read.
  if (!reader.Seek(28) || !reader.Byte(count) || !reader.Byte(b29) || !reader.Byte(b30) ||
      b29 != 0 || b30 != 0 || !reader.Skip(3)) {
    return;
  }
  struct Entry {
    std::int32_t number;
    std::int32_t length;  // bytes: name, its 0, the definition bytes and the final 0
  };
  std::vector<Entry> index;
  for (std::int32_t i = 1; i < count; ++i) {
    Entry entry{};
    if (!reader.U16(entry.number) || !reader.U16(entry.length)) return;
    index.push_back(entry);
  }
  std::int32_t above = 0;
  std::int32_t final_zero = 0;
  if (!reader.Name(font.name_) || !reader.Byte(above) || !reader.Byte(font.below_) ||
      !reader.Byte(font.modes_) || !reader.Byte(final_zero)) {
    return;
  }
  // A height of 0 cannot scale the shapes; the font is refused.
  if (above == 0) return;
  font.above_ = above;
  base_scale = 1.0 / above;

  for (const Entry& entry : index) {
    std::string name;
    if (!reader.Name(name)) return;
    const std::int64_t k = std::int64_t{entry.length} - static_cast<std::int64_t>(name.size()) - 2;
    // A length shorter than the name leaves no way to find the next definition: loading ends.
    if (k < 0) return;
    std::vector<std::int32_t> bytes;
    if (!reader.Bytes(k, bytes) || !reader.Byte(final_zero)) return;
    font.AddShape(std::make_unique<SHXShapeInfo>(entry.number, std::move(name), std::move(bytes)));
  }
}

// Unicode font: count (32 bits, unused) and the font information length at offset 25, the font
// information, then (number, length, name, bytes, 0) records to the end of the file.
void LoadUnifont(Reader& reader, SHXFont& font, double& base_scale) {
  std::int32_t ignored = 0;
  if (!reader.Seek(25) || !reader.Skip(4) || !reader.U16(ignored)) return;
  std::int32_t above = 0;
  std::int32_t final_zero = 0;
  if (!reader.Name(font.name_) || !reader.Byte(above) || !reader.Byte(font.below_) ||
      !reader.Byte(font.modes_) || !reader.Byte(font.encoding_) || !reader.Byte(font.type_) ||
      !reader.Byte(final_zero)) {
    return;
  }
  if (above == 0) return;
  font.above_ = above;
  base_scale = 1.0 / above;

  while (reader.Position() < reader.Size()) {
    std::int32_t number = 0;
    std::int32_t length = 0;
    std::string name;
    if (!reader.U16(number) || !reader.U16(length) || !reader.Name(name)) return;
    const std::int64_t k = std::int64_t{length} - 2 - static_cast<std::int64_t>(name.size());
    if (k < 0) return;
    std::vector<std::int32_t> bytes;
    if (!reader.Bytes(k, bytes) || !reader.Byte(final_zero)) return;
    font.AddShape(std::make_unique<SHXShapeInfo>(number, std::move(name), std::move(bytes)));
  }
}

// Big font: escape range count at offset 29, the ranges, then eight-byte index entries (number,
// length, offset) whose first is the font information; each entry points at its definition.
void LoadBigfont(Reader& reader, SHXFont& font, double& base_scale) {
  std::int32_t ranges = 0;
  if (!reader.Seek(29) || !reader.U16(ranges) || !reader.Skip(4 * std::size_t(ranges) + 2)) return;
  std::int32_t info_length = 0;
  std::int32_t info_offset = 0;
  if (!reader.U16(info_length) || !reader.U24(info_offset)) return;
  std::size_t entry = reader.Position() + 1;

  if (!reader.Seek(static_cast<std::size_t>(info_offset)) || !reader.Name(font.name_)) return;
  if (std::int64_t{info_length} - static_cast<std::int64_t>(font.name_.size()) - 1 == 5) {
    font.SetKind(SHXFontKind::kExtendedBig);
    std::int32_t dropped = 0;
    std::int32_t height = 0;
    std::int32_t width = 0;
    if (!reader.Byte(height) || !reader.Byte(dropped) || !reader.Byte(font.modes_) ||
        !reader.Byte(width)) {
      return;
    }
    // Subshape scales divide by these; a 0 in the file keeps the initial 1.
    if (height != 0) font.character_height_ = height;
    if (width != 0) font.character_width_ = width;
  } else if (!reader.Byte(font.above_) || !reader.Byte(font.below_) || !reader.Byte(font.modes_)) {
    return;
  }
  base_scale = 1.0;

  // The index ends where the font information begins.
  while (entry < static_cast<std::size_t>(info_offset)) {
    std::int32_t number = 0;
    std::int32_t length = 0;
    std::int32_t offset = 0;
    if (!reader.Seek(entry) || !reader.U16(number) || !reader.U16(length) || !reader.U24(offset)) {
      return;
    }
    entry += 8;
    if (offset == 0) continue;  // an empty slot
    std::string name;
    if (!reader.Seek(static_cast<std::size_t>(offset)) || !reader.Name(name)) continue;
    const std::int64_t k = std::int64_t{length} - static_cast<std::int64_t>(name.size()) - 2;
    std::vector<std::int32_t> bytes;
    // A definition that runs past the file or whose length is shorter than its name is dropped.
    if (k < 0 || !reader.Bytes(k, bytes)) continue;
    font.AddShape(
        std::make_unique<SHXShapeInfo>(number, std::move(name), std::move(bytes), offset));
  }
}

void Load(Reader& reader, SHXFont& font, double& base_scale) {
  const std::string header = reader.Header();
  if (header.find("AutoCAD-86 shapes 1.") != std::string::npos) {
    font.SetKind(SHXFontKind::kShapes);
    LoadShapes(reader, font, base_scale);
  } else if (header.find("AutoCAD-86 unifont 1.0") != std::string::npos) {
    font.SetKind(SHXFontKind::kUnifont);
    LoadUnifont(reader, font, base_scale);
  } else if (header.find("AutoCAD-86 bigfont 1.0") != std::string::npos) {
    font.SetKind(SHXFontKind::kBigfont);
    LoadBigfont(reader, font, base_scale);
  }
}

}  // namespace

double LoadSHXFont(std::vector<unsigned char> bytes, SHXFont& font) {
  font.Clear();
  double base_scale = 1.0;
  Reader reader(std::move(bytes));
  Load(reader, font, base_scale);
  return base_scale;
}

}  // namespace vuzodo
