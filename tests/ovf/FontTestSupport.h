// Shared helpers of the OVF and FNT reader tests.
#ifndef TESTS_OVF_FONTTESTSUPPORT_H
#define TESTS_OVF_FONTTESTSUPPORT_H

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

inline std::string DataPath(const std::string& name) {
  return std::string(VUZODO_FONT_TEST_DATA) + "/" + name;
}

inline std::vector<std::uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline std::int32_t WordAt(const std::vector<std::uint8_t>& b, std::size_t at) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(b[at]) | b[at + 1] << 8 |
                                   b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24);
}

inline void PutWord(std::vector<std::uint8_t>& b, std::size_t at, std::int32_t value) {
  const auto v = static_cast<std::uint32_t>(value);
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

#endif  // TESTS_OVF_FONTTESTSUPPORT_H
