#include "FontTestSupport.h"

#include <fstream>
#include <limits>
#include <sstream>
#include <stdexcept>

#include "QELPolyLine.h"

namespace fonttest {

const std::map<std::string, GoldenFont>& Goldens() {
  static const std::map<std::string, GoldenFont> goldens = [] {
    std::map<std::string, GoldenFont> all;
    std::ifstream in(FONTS_GOLDEN);
    if (!in) throw std::runtime_error("golden file missing");
    std::string line, path;
    while (std::getline(in, line)) {
      std::istringstream s(line);
      std::string key;
      s >> key;
      if (key == "font") {
        s >> path;
      } else if (key == "em") {
        s >> all[path].em;
      } else if (key == "win") {
        s >> all[path].win_ascent >> all[path].win_descent;
      } else if (key == "captop") {
        s >> all[path].cap_top;
      } else if (key == "space") {
        s >> all[path].space_advance;
      } else if (key == "kern") {
        int a, b, v;
        s >> a >> b >> v;
        all[path].kern[{a, b}] = v;
      } else if (key == "contourO") {
        int n;
        s >> n;
        all[path].contour_o.push_back(n);
      }
    }
    return all;
  }();
  return goldens;
}

std::u16string Utf16(const std::string& s) {
  return std::u16string(s.begin(), s.end());
}

const GoldenFont& Golden(const char16_t* path) {
  const std::u16string p(path);
  return Goldens().at(std::string(p.begin(), p.end()));
}

int CellPpem(const GoldenFont& font, int height) {
  const long long d = font.win_ascent + font.win_descent;
  return static_cast<int>((static_cast<long long>(font.em) * height + d / 2) / d);
}

double OutlineArea(const vuzodo::CharBufferHolder& c) {
  double area = 0.0;
  for (const CQELEntity* e : c.GetOutlines()) {
    const auto* poly = dynamic_cast<const CQELPolyLine*>(e);
    if (poly == nullptr) continue;
    const auto& p = poly->GetPoints();
    for (std::size_t i = 0; i < p.size(); ++i) {
      const auto& a = p[i];
      const auto& b = p[(i + 1) % p.size()];
      area += a.GetX() * b.GetY() - b.GetX() * a.GetY();
    }
  }
  return area / 2.0;
}

Box OutlineBox(const vuzodo::CharBufferHolder& c) {
  const double inf = std::numeric_limits<double>::infinity();
  Box box{inf, inf, -inf, -inf};
  for (const CQELEntity* e : c.GetOutlines()) {
    const auto* poly = dynamic_cast<const CQELPolyLine*>(e);
    if (poly == nullptr) continue;
    for (const auto& p : poly->GetPoints()) {
      box.min_x = std::min(box.min_x, p.GetX());
      box.min_y = std::min(box.min_y, p.GetY());
      box.max_x = std::max(box.max_x, p.GetX());
      box.max_y = std::max(box.max_y, p.GetY());
    }
  }
  return box;
}

}  // namespace fonttest
