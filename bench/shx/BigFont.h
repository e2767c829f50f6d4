// A generated SHX big font with thousands of shapes, shared by the SHX and cold start benchmarks.
// Its shapes are numbered from 0x8140 on, in file order.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace bench {

inline constexpr int kBigFontShapes = 6000;

// A big font whose shapes mix vectors, displacements, octant, fractional and bulge arcs, pen
// moves and a subshape call, about 40 definition bytes each.
inline std::vector<unsigned char> MakeBigFont() {
  std::vector<std::vector<unsigned char>> records;
  records.push_back({'B', 'E', 'N', 'C', 'H', 0, 20, 5, 0, 0});
  for (int k = 0; k < kBigFontShapes; ++k) {
    std::vector<unsigned char> r = {'S', 0};
    const std::vector<unsigned char> body = {
        2,    0x30, 1, 0x44, 0x43, 0x42, 0x41, 0x40, 0x4F, 0x4E, 0x4D, 0x4C, 5,    8,    3,    0xFE,
        9,    1,    2, 2,    1,    0,    0,    6,    10,   2,    0x12, 11,   64,   32,   0,    3,
        0x24, 12,   4, 0,    90,   13,   2,    2,    40,   0,    0,    7,    0x81, 0x40, 0x28, 0};
    r.insert(r.end(), body.begin(), body.end());
    records.push_back(std::move(r));
  }
  const std::string magic = "AutoCAD-86 bigfont 1.0\r\n\x1a";
  std::vector<unsigned char> out(magic.begin(), magic.end());
  auto u16 = [&](std::uint32_t v) {
    out.push_back(v & 0xFF);
    out.push_back((v >> 8) & 0xFF);
  };
  u16(static_cast<std::uint32_t>(records.size()));
  u16(static_cast<std::uint32_t>(records.size()));
  u16(1);
  u16(0x81);
  u16(0x9F);
  std::uint32_t offset = static_cast<std::uint32_t>(out.size() + 8 * records.size());
  for (std::size_t k = 0; k < records.size(); ++k) {
    u16(k == 0 ? 0 : static_cast<std::uint32_t>(0x8140 + k - 1));
    u16(static_cast<std::uint32_t>(records[k].size()));
    u16(offset & 0xFFFF);
    u16(offset >> 16);
    offset += static_cast<std::uint32_t>(records[k].size());
  }
  for (const auto& r : records) out.insert(out.end(), r.begin(), r.end());
  return out;
}

}  // namespace bench
