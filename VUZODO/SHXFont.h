// The font information of one SHX file and its shapes in file order.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "SHXShapeInfo.h"

namespace vuzodo {

// Which of the compiled forms the file had; the subshape operands depend on it.
enum class SHXFontKind : std::int32_t {
  kNone = 0,     // not read: missing file or unknown header
  kShapes,       // "AutoCAD-86 shapes 1." (1.0 and 1.1)
  kUnifont,      // "AutoCAD-86 unifont 1.0"
  kBigfont,      // "AutoCAD-86 bigfont 1.0", plain font information
  kExtendedBig,  // "AutoCAD-86 bigfont 1.0" with the extended font information
};

class SHXFont {
 public:
  SHXFontKind GetKind() const { return kind_; }
  void SetKind(SHXFontKind kind) { kind_ = kind; }
  // Set for an extended big font, whose subshape calls carry origin and size operands.
  bool IsExtendedBigFont() const { return kind_ == SHXFontKind::kExtendedBig; }
  // Set for an "AutoCAD-86 shapes 1." file, whose subshape numbers are one byte.
  bool IsShapesFile() const { return kind_ == SHXFontKind::kShapes; }

  // The shapes in file order (index order for big fonts).
  const std::vector<std::unique_ptr<SHXShapeInfo>>& GetShapes() const { return shapes_; }
  void AddShape(std::unique_ptr<SHXShapeInfo> shape);
  // The first shape in list order with this number, or null.
  const SHXShapeInfo* FindShape(std::int32_t number) const;
  void Clear();

  std::string name_;                   // from the font information record
  std::int32_t above_ = 0;             // shape units above the baseline
  std::int32_t below_ = 0;             // shape units below the baseline
  std::int32_t modes_ = 0;             // modes byte (bit 1: vertical text supported)
  std::int32_t encoding_ = 0;          // unicode fonts only
  std::int32_t type_ = 0;              // unicode fonts only
  std::int32_t character_width_ = 1;   // extended big fonts only, shape units
  std::int32_t character_height_ = 1;  // extended big fonts only, shape units

 private:
  SHXFontKind kind_ = SHXFontKind::kNone;
  std::vector<std::unique_ptr<SHXShapeInfo>> shapes_;
  // Shape number to the first shape with it, so that lookups do not scan the list.
  std::unordered_map<std::int32_t, const SHXShapeInfo*> first_by_number_;
};

}  // namespace vuzodo
