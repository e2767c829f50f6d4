// Windows backend of CreateFontForFace: GDI's own font object. A face that
// names a font file (.ttf, .otf, .ttc, .otc) is added to the process's private
// fonts and asked for by the family name its file records, since GDI knows
// fonts by family name only.
#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "FontFace.h"
#include "gdi.h"

namespace {

bool EndsWithNoCase(std::u16string_view text, std::u16string_view suffix) {
  if (text.size() < suffix.size()) return false;
  for (std::size_t i = 0; i < suffix.size(); ++i) {
    char16_t c = text[text.size() - suffix.size() + i];
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    if (c != suffix[i]) return false;
  }
  return true;
}

bool IsFontFilePath(std::u16string_view face) {
  return EndsWithNoCase(face, u".ttf") || EndsWithNoCase(face, u".otf") ||
         EndsWithNoCase(face, u".ttc") || EndsWithNoCase(face, u".otc");
}

// Reads big-endian fields of a font file by offset; every read is checked
// against the end of the file, so a damaged file yields nothing, never a read
// past it.
class FontFile {
 public:
  explicit FontFile(const std::wstring& path) : in_(std::filesystem::path(path), std::ios::binary) {
    if (in_) {
      in_.seekg(0, std::ios::end);
      size_ = static_cast<std::uint64_t>(std::max<std::streamoff>(0, in_.tellg()));
    }
  }
  std::optional<std::uint32_t> U32(std::uint64_t at) { return Read(at, 4); }
  std::optional<std::uint32_t> U16(std::uint64_t at) { return Read(at, 2); }

 private:
  std::optional<std::uint32_t> Read(std::uint64_t at, int bytes) {
    if (!in_ || at + bytes > size_) return std::nullopt;
    std::array<unsigned char, 4> b{};
    in_.seekg(static_cast<std::streamoff>(at));
    if (!in_.read(reinterpret_cast<char*>(b.data()), bytes)) return std::nullopt;
    std::uint32_t v = 0;
    for (int i = 0; i < bytes; ++i) v = (v << 8) | b[static_cast<std::size_t>(i)];
    return v;
  }

  std::ifstream in_;
  std::uint64_t size_ = 0;
};

// The family name (name ID 1, Windows platform) of the file's first face, as
// GDI lists it: US English preferred, else the first Windows-platform entry.
// Empty when the file is not a font or records no such name.
std::wstring FamilyOfFontFile(const std::wstring& path) {
  FontFile f(path);
  std::uint64_t font = 0;
  if (f.U32(0) == 0x74746366u) {  // 'ttcf': a collection, its first face
    const auto first = f.U32(12);
    if (!first) return {};
    font = *first;
  }
  const auto tables = f.U16(font + 4);
  if (!tables) return {};
  std::uint64_t name = 0;
  for (std::uint32_t i = 0; i < *tables; ++i) {
    const std::uint64_t record = font + 12 + 16ull * i;
    const auto tag = f.U32(record);
    if (!tag) return {};
    if (*tag == 0x6E616D65u) {  // 'name'
      const auto offset = f.U32(record + 8);
      if (!offset) return {};
      name = *offset;
      break;
    }
  }
  if (name == 0) return {};
  const auto count = f.U16(name + 2);
  const auto strings = f.U16(name + 4);
  if (!count || !strings) return {};
  std::optional<std::uint64_t> chosen_at;
  std::uint32_t chosen_length = 0;
  for (std::uint32_t i = 0; i < *count; ++i) {
    const std::uint64_t r = name + 6 + 12ull * i;
    const auto platform = f.U16(r), language = f.U16(r + 4), id = f.U16(r + 6);
    const auto length = f.U16(r + 8), offset = f.U16(r + 10);
    if (!platform || !language || !id || !length || !offset) return {};
    if (*platform != 3 || *id != 1) continue;
    if (!chosen_at || *language == 0x409) {
      chosen_at = name + *strings + *offset;
      chosen_length = *length;
      if (*language == 0x409) break;
    }
  }
  if (!chosen_at) return {};
  std::wstring family;
  for (std::uint32_t k = 0; k + 1 < chosen_length; k += 2) {
    const auto unit = f.U16(*chosen_at + k);
    if (!unit) return {};
    family.push_back(static_cast<wchar_t>(*unit));
  }
  return family;
}

// Font files added for this process; removed again when the library unloads.
class PrivateFonts {
 public:
  static PrivateFonts& Get() {
    static PrivateFonts fonts;
    return fonts;
  }
  // True when the file is (now) among the process's fonts.
  bool Add(const std::wstring& path) {
    std::lock_guard lock(mutex_);
    if (added_.count(path) != 0) return true;
    if (AddFontResourceExW(path.c_str(), FR_PRIVATE, nullptr) == 0) return false;
    added_.insert(path);
    return true;
  }
  ~PrivateFonts() {
    for (const std::wstring& path : added_)
      RemoveFontResourceExW(path.c_str(), FR_PRIVATE, nullptr);
  }

 private:
  PrivateFonts() = default;
  std::mutex mutex_;
  std::set<std::wstring> added_;
};

}  // namespace

HFONT vuzodo::platform::CreateFontForFace(const LOGFONTW& logfont, std::u16string_view face) {
  LOGFONTW lf = logfont;
  // A face cut short at an embedded terminator is the face GDI would see.
  face = face.substr(0, face.find(u'\0'));
  std::wstring name(face.begin(), face.end());
  if (IsFontFilePath(face)) {
    std::wstring family = FamilyOfFontFile(name);
    // A file that cannot be added or named is asked for by its path, which no
    // font has: GDI's substitute answers, as for any face it does not know.
    if (!family.empty() && PrivateFonts::Get().Add(name)) name = std::move(family);
  }
  // GDI knows a face only by lfFaceName: its first 31 code units.
  const std::size_t n = std::min<std::size_t>(name.size(), LF_FACESIZE - 1);
  std::fill(std::begin(lf.lfFaceName), std::end(lf.lfFaceName), L'\0');
  std::copy_n(name.begin(), n, lf.lfFaceName);
  return CreateFontIndirectW(&lf);
}
