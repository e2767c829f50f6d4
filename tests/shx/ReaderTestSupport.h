// Shared by the SHX, OVF and FNT reader tests and the SHX oracle's dumper: outlines as text, one
// line per entity, compared number by number with hand-worked goldens.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "QELDot.h"
#include "QELEllipticalArc.h"
#include "QELLine.h"
#include "QELPolyLine.h"

namespace readertest {

inline std::vector<unsigned char> ReadBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// "poly <closed> x y ...", "arc cx cy radius start sweep" (circular arcs with the axis on x, else
// "ellipse"), "line x0 y0 x1 y1", "dot x y"; coordinates multiplied by `scale`.
inline std::vector<std::string> Describe(const std::vector<CQELEntity*>& entities,
                                         double scale = 1.0) {
  std::vector<std::string> lines;
  auto num = [&](double v) {
    char text[32];
    std::snprintf(text, sizeof text, " %.17g", v);
    return std::string(text);
  };
  auto point = [&](const NURBSPoint& p) { return num(p.GetX() * scale) + num(p.GetY() * scale); };
  for (const CQELEntity* e : entities) {
    if (const auto* poly = dynamic_cast<const CQELPolyLine*>(e)) {
      lines.push_back("poly " + std::to_string(poly->GetClosed()));
      for (const NURBSPoint& p : poly->GetPoints()) lines.back() += point(p);
    } else if (const auto* arc = dynamic_cast<const CQELEllipticalArc*>(e)) {
      const NURBSPoint& axis = arc->GetAxisPoint();
      lines.push_back(arc->GetRatio() == 1.0 && axis.GetY() == 0.0 ? "arc" : "ellipse");
      lines.back() += point(arc->GetCenter()) + num(std::abs(axis.GetX()) * scale) +
                      num(arc->GetStartAngle()) + num(arc->GetSweep());
    } else if (const auto* line = dynamic_cast<const CQELLine*>(e)) {
      lines.push_back("line" + point(line->GetStartPoint()) + point(line->GetEndPoint()));
    } else if (const auto* dot = dynamic_cast<const CQELDot*>(e)) {
      lines.push_back("dot" + point(dot->GetPosition()));
    }
  }
  return lines;
}

// Word by word equal, numbers within `tolerance`.
inline testing::AssertionResult SameOutline(const std::vector<std::string>& got,
                                            const std::vector<std::string>& want,
                                            double tolerance) {
  bool same = got.size() == want.size();
  for (std::size_t k = 0; same && k < got.size(); ++k) {
    std::istringstream a(got[k]), b(want[k]);
    for (std::string x, y; same && (a >> x, b >> y, !x.empty() || !y.empty()); x = y = "") {
      char* end = nullptr;
      const double u = std::strtod(x.c_str(), &end);
      same = !x.empty() && *end == '\0' ? std::abs(u - std::strtod(y.c_str(), nullptr)) <= tolerance
                                        : x == y;
    }
  }
  if (same) return testing::AssertionSuccess();
  auto failure = testing::AssertionFailure() << "got:\n";
  for (const std::string& line : got) failure << "  " << line << "\n";
  failure << "expected:\n";
  for (const std::string& line : want) failure << "  " << line << "\n";
  return failure;
}

// A golden file's lines but comments: "shape|glyph <code> advance <x> [refused] [box x0 y0 x1
// y1]", each followed by its entity lines as Describe writes them, worked out by hand.
inline std::vector<std::string> GoldenLines(std::istream&& file) {
  std::vector<std::string> lines;
  for (std::string line; std::getline(file, line);) {
    if (!line.empty() && line[0] != '#') lines.push_back(line);
  }
  return lines;
}

}  // namespace readertest
