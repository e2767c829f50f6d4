// One shape of a compiled SHX file: its number, name and definition bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vuzodo {

class SHXShapeInfo {
 public:
  SHXShapeInfo() = default;
  SHXShapeInfo(std::int32_t shape_number, std::string name, std::vector<std::int32_t> bytes,
               std::int32_t data_offset = 0);

  // Number of definition bytes kept; the name and the definition's final 0 are not kept.
  std::int32_t GetByteCount() const { return static_cast<std::int32_t>(bytes_.size()); }
  // Big fonts only: file offset (bytes) of the definition; 0 for the other kinds.
  std::int32_t GetDataOffset() const { return data_offset_; }
  // The definition bytes, each 0 to 255.
  const std::vector<std::int32_t>& GetBytes() const { return bytes_; }
  const std::string& GetName() const { return name_; }
  std::int32_t GetShapeNumber() const { return shape_number_; }

 private:
  std::int32_t shape_number_ = 0;
  std::string name_;
  std::vector<std::int32_t> bytes_;  // one value 0..255 per definition byte
  std::int32_t data_offset_ = 0;     // bytes from the start of the file; big fonts only
};

}  // namespace vuzodo
