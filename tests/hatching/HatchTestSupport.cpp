#include "HatchTestSupport.h"

#include <cmath>

#include "qelhatching/qelhatching.h"

namespace hatchtest {

Fill Hatch(std::vector<CQELEntity*> outline) {
  AddCharacterOutline(&outline);
  std::vector<CQELPolyLine*>* polylines = nullptr;
  std::vector<CQELEntity*>* entities = GetFilledEntityList(&polylines);
  Fill fill;
  for (const CQELEntity* e : *entities) {
    if (e->GetType() != CQELEntity::kLine) {
      fill.fill_all_lines = false;
      continue;
    }
    const auto* l = static_cast<const CQELLine*>(e);
    fill.lines.push_back({l->GetStartPoint().GetX(), l->GetStartPoint().GetY(),
                          l->GetEndPoint().GetX(), l->GetEndPoint().GetY()});
  }
  for (const CQELPolyLine* p : *polylines) {
    Poly poly;
    poly.closed = p->GetClosed() == 1;
    for (const NURBSPoint& q : p->GetPoints()) poly.points.emplace_back(q.GetX(), q.GetY());
    fill.polys.push_back(std::move(poly));
  }
  ClearEntityList();
  return fill;
}

CQELPolyLine* Polygon(const Ring& ring) {
  auto* p = new CQELPolyLine();
  for (const Pt& q : ring) p->AddPoint(q.first, q.second);
  p->SetClosed(1);
  return p;
}

Ring Rect(double x0, double y0, double x1, double y1, bool ccw) {
  Ring r{{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}};
  if (!ccw) return Ring(r.rbegin(), r.rend());
  return r;
}

namespace {

double EdgeDistance(const Pt& p, const Pt& a, const Pt& b) {
  const double ex = b.first - a.first, ey = b.second - a.second;
  const double len2 = ex * ex + ey * ey;
  double t = len2 > 0 ? ((p.first - a.first) * ex + (p.second - a.second) * ey) / len2 : 0;
  t = std::fmax(0.0, std::fmin(1.0, t));
  return std::hypot(a.first + t * ex - p.first, a.second + t * ey - p.second);
}

}  // namespace

bool Inside(const std::vector<Ring>& rings, double x, double y, double tol) {
  int winding = 0;
  for (const Ring& ring : rings) {
    for (std::size_t i = 0; i < ring.size(); ++i) {
      const Pt& a = ring[i];
      const Pt& b = ring[(i + 1) % ring.size()];
      if (EdgeDistance({x, y}, a, b) <= tol) return true;
      const double cross =
          (b.first - a.first) * (y - a.second) - (x - a.first) * (b.second - a.second);
      if (a.second <= y && b.second > y && cross > 0) ++winding;
      if (a.second > y && b.second <= y && cross < 0) --winding;
    }
  }
  return winding != 0;
}

int SamplesOutside(const Fill& fill, const std::vector<Ring>& rings, double tol) {
  int outside = 0;
  auto sample = [&](double x0, double y0, double x1, double y1) {
    for (int i = 0; i <= 20; ++i) {
      const double t = i / 20.0;
      if (!Inside(rings, x0 + t * (x1 - x0), y0 + t * (y1 - y0), tol)) ++outside;
    }
  };
  for (const Seg& s : fill.lines) sample(s.x0, s.y0, s.x1, s.y1);
  for (const Poly& p : fill.polys) {
    const std::size_t n = p.points.size();
    for (std::size_t i = 0; i + 1 < n + (p.closed ? 1 : 0); ++i) {
      const Pt& a = p.points[i];
      const Pt& b = p.points[(i + 1) % n];
      sample(a.first, a.second, b.first, b.second);
    }
  }
  return outside;
}

double Area(const std::vector<Pt>& ring) {
  double a = 0;
  for (std::size_t i = 0; i < ring.size(); ++i) {
    const Pt& p = ring[i];
    const Pt& q = ring[(i + 1) % ring.size()];
    a += p.first * q.second - q.first * p.second;
  }
  return a / 2;
}

}  // namespace hatchtest
