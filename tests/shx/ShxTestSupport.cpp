#include "ShxTestSupport.h"

#include <cmath>
#include <fstream>
#include <iterator>
#include <sstream>

namespace shxtest {

std::string FixturePath(const std::string& name) {
  return std::string(SHX_FIXTURE_DIR) + "/" + name + ".shx";
}

std::vector<unsigned char> ReadBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

std::vector<GoldenShape> LoadGolden(const std::string& name) {
  std::ifstream file(std::string(SHX_DATA_DIR) + "/" + name + ".golden");
  std::vector<GoldenShape> shapes;
  std::string line;
  while (std::getline(file, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream in(line);
    std::string word;
    in >> word;
    if (word == "shape") {
      GoldenShape shape;
      std::string advance_word;
      in >> shape.code >> advance_word >> shape.advance;
      shapes.push_back(shape);
    } else if (!shapes.empty()) {
      GoldenEntity entity;
      entity.is_arc = word == "arc";
      if (!entity.is_arc) in >> entity.closed;
      double v = 0.0;
      while (in >> v) entity.values.push_back(v);
      shapes.back().entities.push_back(entity);
    }
  }
  return shapes;
}

testing::AssertionResult MatchesGolden(const std::vector<CQELEntity*>& entities,
                                       const GoldenShape& golden) {
  constexpr double kTol = 1e-9;  // goldens are written to ten decimals
  if (entities.size() != golden.entities.size()) {
    return testing::AssertionFailure() << "shape " << golden.code << ": " << entities.size()
                                       << " entities, expected " << golden.entities.size();
  }
  for (std::size_t k = 0; k < entities.size(); ++k) {
    const GoldenEntity& want = golden.entities[k];
    std::vector<double> got;
    if (want.is_arc) {
      if (entities[k]->GetType() != CQELEntity::kEllipticalArc) {
        return testing::AssertionFailure()
               << "shape " << golden.code << " entity " << k << " is not an arc";
      }
      const auto* arc = static_cast<const CQELEllipticalArc*>(entities[k]);
      if (arc->GetRatio() != 1.0 || arc->GetAxisPoint().GetY() != 0.0) {
        return testing::AssertionFailure() << "shape " << golden.code << " arc not circular";
      }
      got = {arc->GetCenter().GetX(), arc->GetCenter().GetY(), arc->GetAxisPoint().GetX(),
             arc->GetStartAngle(), arc->GetSweep()};
    } else {
      if (entities[k]->GetType() != CQELEntity::kPolyLine) {
        return testing::AssertionFailure()
               << "shape " << golden.code << " entity " << k << " is not a polyline";
      }
      const auto* poly = static_cast<const CQELPolyLine*>(entities[k]);
      if (poly->GetClosed() != want.closed) {
        return testing::AssertionFailure() << "shape " << golden.code << " entity " << k
                                           << " closed flag " << poly->GetClosed();
      }
      for (const auto& p : poly->GetPoints()) {
        got.push_back(p.GetX());
        got.push_back(p.GetY());
      }
    }
    if (got.size() != want.values.size()) {
      return testing::AssertionFailure()
             << "shape " << golden.code << " entity " << k << ": " << got.size() / 2
             << " points, expected " << want.values.size() / 2;
    }
    for (std::size_t v = 0; v < got.size(); ++v) {
      if (std::abs(got[v] - want.values[v]) > kTol) {
        return testing::AssertionFailure()
               << "shape " << golden.code << " entity " << k << " value " << v << ": " << got[v]
               << " expected " << want.values[v];
      }
    }
  }
  return testing::AssertionSuccess();
}

testing::AssertionResult BoxContains(const std::vector<CQELEntity*>& entities,
                                     const NURBSPoint& min, const NURBSPoint& max) {
  constexpr double kTol = 1e-9;
  auto inside = [&](double x, double y) {
    return x >= min.GetX() - kTol && x <= max.GetX() + kTol && y >= min.GetY() - kTol &&
           y <= max.GetY() + kTol;
  };
  for (const CQELEntity* entity : entities) {
    if (entity->GetType() == CQELEntity::kPolyLine) {
      for (const auto& p : static_cast<const CQELPolyLine*>(entity)->GetPoints()) {
        if (!inside(p.GetX(), p.GetY())) {
          return testing::AssertionFailure()
                 << "point (" << p.GetX() << ", " << p.GetY() << ") outside the box";
        }
      }
    } else if (entity->GetType() == CQELEntity::kEllipticalArc) {
      const auto* arc = static_cast<const CQELEllipticalArc*>(entity);
      const double a = std::hypot(arc->GetAxisPoint().GetX(), arc->GetAxisPoint().GetY());
      const double b = a * arc->GetRatio();
      const double rot = std::atan2(arc->GetAxisPoint().GetY(), arc->GetAxisPoint().GetX());
      for (int k = 0; k <= 256; ++k) {
        const double t = arc->GetStartAngle() + arc->GetSweep() * k / 256.0;
        const double ux = a * std::cos(t);
        const double uy = b * std::sin(t);
        const double x = arc->GetCenter().GetX() + ux * std::cos(rot) - uy * std::sin(rot);
        const double y = arc->GetCenter().GetY() + ux * std::sin(rot) + uy * std::cos(rot);
        if (!inside(x, y)) {
          return testing::AssertionFailure()
                 << "arc point (" << x << ", " << y << ") outside the box";
        }
      }
    }
  }
  return testing::AssertionSuccess();
}

std::vector<unsigned char> MakeUnifont(int above, const std::vector<RawShape>& shapes) {
  const std::string magic = "AutoCAD-86 unifont 1.0\r\n\x1a";
  std::vector<unsigned char> out(magic.begin(), magic.end());
  auto u16 = [&](unsigned v) {
    out.push_back(static_cast<unsigned char>(v & 0xFF));
    out.push_back(static_cast<unsigned char>(v >> 8));
  };
  u16(static_cast<unsigned>(shapes.size() + 1));
  u16(0);
  const std::vector<unsigned char> info = {'T', 0, static_cast<unsigned char>(above), 0, 0, 0,
                                           0,   0};
  u16(static_cast<unsigned>(info.size()));
  out.insert(out.end(), info.begin(), info.end());
  for (const RawShape& shape : shapes) {
    u16(shape.number);
    u16(static_cast<unsigned>(2 + 1 + shape.bytes.size()));  // name "S", its 0, bytes, final 0
    out.push_back('S');
    out.push_back(0);
    out.insert(out.end(), shape.bytes.begin(), shape.bytes.end());
    out.push_back(0);
  }
  return out;
}

}  // namespace shxtest
