#include "SHXShapeInfo.h"

#include <utility>

namespace vuzodo {

SHXShapeInfo::SHXShapeInfo(std::int32_t shape_number, std::string name,
                           std::vector<std::int32_t> bytes, std::int32_t data_offset)
    : shape_number_(shape_number),
      name_(std::move(name)),
      bytes_(std::move(bytes)),
      data_offset_(data_offset) {}

}  // namespace vuzodo
