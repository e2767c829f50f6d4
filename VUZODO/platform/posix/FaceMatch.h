// Which font file answers a face name, weight and slant: a file path given as
// the face, or fontconfig's best match (with its substitution rules, so "Arial"
// finds a metric-compatible face and an unknown family finds the default).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vuzodo::platform::posix {

struct FaceFile {
  std::string path;  // file system path (UTF-8)
  int index = 0;     // face index inside a collection
};

// True when the face names a font file by its suffix (.ttf, .otf, .ttc, .otc,
// any case): such faces are opened as files, not looked up as families.
bool IsFontFilePath(std::u16string_view face);

// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string ToUtf8(std::u16string_view text);

// The candidates for a family, best first (fontconfig's sort order, the best
// match first). weight is a GDI weight (FW_*, 0 = regular). Never empty while
// the system has any font; a family that is not installed yields fontconfig's
// substitutes.
std::vector<FaceFile> MatchFaces(const std::string& family_utf8, int weight, bool italic);

}  // namespace vuzodo::platform::posix
