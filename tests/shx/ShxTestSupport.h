// Helpers shared by the SHX reader tests: fixtures, hand-worked goldens, in-memory fonts.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "QELEntity.h"
#include "SHXFontHandler.h"

namespace shxtest {

std::string FixturePath(const std::string& name);  // a compiled fixture, e.g. "shapes"
std::vector<unsigned char> ReadBytes(const std::string& path);

struct GoldenEntity {
  bool is_arc = false;
  int closed = 0;
  std::vector<double> values;  // poly: x y pairs; arc: cx cy radius start sweep
};
struct GoldenShape {
  std::int32_t code = 0;
  double advance = 0.0;
  std::vector<GoldenEntity> entities;
};
// Reads data/<name>.golden.
std::vector<GoldenShape> LoadGolden(const std::string& name);

// Compares a built outline with its golden, coordinates within 1e-9.
testing::AssertionResult MatchesGolden(const std::vector<CQELEntity*>& entities,
                                       const GoldenShape& golden);

// Every polyline point and every point of each arc (sampled) lies inside [min, max].
testing::AssertionResult BoxContains(const std::vector<CQELEntity*>& entities,
                                     const NURBSPoint& min, const NURBSPoint& max);

// A unicode font in memory: height `above`, shapes given as (number, definition bytes
// without the final 0).
struct RawShape {
  std::uint16_t number;
  std::vector<unsigned char> bytes;
};
std::vector<unsigned char> MakeUnifont(int above, const std::vector<RawShape>& shapes);

// Deletes the entities of a built list when it goes out of scope.
struct Outline {
  explicit Outline(std::vector<CQELEntity*> list) : entities(std::move(list)) {}
  Outline(const Outline&) = delete;
  Outline& operator=(const Outline&) = delete;
  ~Outline() { DeleteEntities(entities); }
  std::vector<CQELEntity*> entities;
};

}  // namespace shxtest
