#include "SHXFontHandler.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <utility>

#include "FontFile.h"
#include "QELPolyLine.h"
#include "QELUtility.h"
#include "SHXFontLoader.h"

namespace vuzodo {

namespace {

constexpr double kEmptyMin = 3.4e38;
constexpr double kEmptyMax = -3.4e38;

bool IsFinitePoint(const NURBSPoint& p) {
  return std::isfinite(p.GetX()) && std::isfinite(p.GetY());
}

// Overflowing scale codes or radii can leave infinities or NaN in the geometry; such a shape is
// refused rather than handed on.
bool IsFiniteEntity(const CQELEntity* entity) {
  if (entity->GetType() == CQELEntity::kPolyLine) {
    for (const auto& p : static_cast<const CQELPolyLine*>(entity)->GetPoints()) {
      if (!IsFinitePoint(p)) return false;
    }
    return true;
  }
  if (entity->GetType() == CQELEntity::kEllipticalArc) {
    const auto* arc = static_cast<const CQELEllipticalArc*>(entity);
    return IsFinitePoint(arc->GetCenter()) && IsFinitePoint(arc->GetAxisPoint()) &&
           std::isfinite(arc->GetRatio()) && std::isfinite(arc->GetStartAngle()) &&
           std::isfinite(arc->GetSweep());
  }
  return true;
}

// A shape is kept only when no limit stopped it and what it drew, its pen's end included, is
// finite.
bool Usable(const SHXShapeRun& run, bool entities_finite) {
  return !run.refused && entities_finite && std::isfinite(run.end_x) && std::isfinite(run.end_y);
}

// Keeps what the pen draws as the shape's outline and grows the shape's box over it.
class ShapeBuilder final : public SHXPenSink {
 public:
  ShapeBuilder() = default;
  ShapeBuilder(const ShapeBuilder&) = delete;
  ShapeBuilder& operator=(const ShapeBuilder&) = delete;
  ~ShapeBuilder() override { DeleteEntities(entities_); }

  CQELPolyLine& BeginStroke() override {
    stroke_ = std::make_unique<CQELPolyLine>();
    return *stroke_;
  }
  void EndStroke() override {
    // The box takes the stroke as drawn; closing only drops a last point equal to the first.
    GrowBoundingBox(min_, max_, stroke_.get());
    CloseIfEndsMeet(stroke_.get());
    entities_.push_back(stroke_.get());
    stroke_.release();
  }
  void Arc(CQELEllipticalArc&& arc) override {
    GrowBoundingBox(min_, max_, &arc);
    auto kept = std::make_unique<CQELEllipticalArc>(std::move(arc));
    entities_.push_back(kept.get());
    kept.release();
  }

  bool AllFinite() const { return std::all_of(entities_.begin(), entities_.end(), IsFiniteEntity); }
  std::vector<CQELEntity*> TakeEntities() { return std::exchange(entities_, {}); }
  const NURBSPoint& Min() const { return min_; }
  const NURBSPoint& Max() const { return max_; }

 private:
  std::unique_ptr<CQELPolyLine> stroke_;  // the stroke being drawn
  std::vector<CQELEntity*> entities_;     // owned until taken
  NURBSPoint min_{kEmptyMin, kEmptyMin};  // output units
  NURBSPoint max_{kEmptyMax, kEmptyMax};
};

// Measures what the pen draws and keeps nothing: each stroke or arc is checked, scaled by the
// factor as CQELEntity::Scale would and taken into the box.
class ShapeSurveyor final : public SHXPenSink {
 public:
  explicit ShapeSurveyor(double factor) : factor_(factor) {}

  // Starts the next shape.
  void Clear() {
    finite_ = true;
    min_ = NURBSPoint(kEmptyMin, kEmptyMin, 1.0);
    max_ = NURBSPoint(kEmptyMax, kEmptyMax, 1.0);
  }

  CQELPolyLine& BeginStroke() override {
    scratch_.GetPoints().clear();
    return scratch_;
  }
  void EndStroke() override {
    // The built outline's points: the closing drops the repeated last point first.
    CloseIfEndsMeet(&scratch_);
    Measure(scratch_);
  }
  void Arc(CQELEllipticalArc&& arc) override { Measure(arc); }

  bool AllFinite() const { return finite_; }
  const NURBSPoint& Min() const { return min_; }
  const NURBSPoint& Max() const { return max_; }

 private:
  void Measure(CQELEntity& entity) {
    finite_ = finite_ && IsFiniteEntity(&entity);
    entity.Scale(factor_, factor_);
    GrowBoundingBox(min_, max_, &entity);
  }

  double factor_ = 1.0;
  bool finite_ = true;                         // every entity of this shape had finite values
  CQELPolyLine scratch_;                       // the stroke being drawn, its point block reused
  NURBSPoint min_{kEmptyMin, kEmptyMin, 1.0};  // output units after the scale
  NURBSPoint max_{kEmptyMax, kEmptyMax, 1.0};
};

}  // namespace

// ---- SHXBuiltShape ----

SHXBuiltShape::SHXBuiltShape(SHXBuiltShape&& other) noexcept
    : code(other.code),
      entities(std::exchange(other.entities, {})),
      min(other.min),
      max(other.max),
      advance(other.advance) {}

SHXBuiltShape& SHXBuiltShape::operator=(SHXBuiltShape&& other) noexcept {
  if (this != &other) {
    DeleteEntities(entities);
    code = other.code;
    entities = std::exchange(other.entities, {});
    min = other.min;
    max = other.max;
    advance = other.advance;
  }
  return *this;
}

SHXBuiltShape::~SHXBuiltShape() {
  DeleteEntities(entities);
}

std::vector<CQELEntity*> SHXBuiltShape::TakeEntities() {
  return std::exchange(entities, {});
}

// ---- opening ----

void SHXFontHandler::Open(const unsigned short* path) {
  OpenNarrow(WideToNarrow(path));
}

void SHXFontHandler::OpenNarrow(const std::string& path) {
  // One read of the whole file (a big font is hundreds of kilobytes; taken a character at a
  // time through the stream buffer it cost as much as its index). Regular files of at most
  // limits::kMaxFontFileBytes only; a file that shrank since its size was taken keeps what
  // could be read (FontFile.h).
  OpenBytes(ReadFontFile(path));
}

void SHXFontHandler::OpenBytes(std::vector<unsigned char> bytes) {
  base_scale_ = LoadSHXFont(std::move(bytes), font_);
}

// ---- building ----

void SHXFontHandler::GetBoundingBox(NURBSPoint& min, NURBSPoint& max) const {
  min = min_;
  max = max_;
}

void SHXFontHandler::Reset() {
  min_ = NURBSPoint(kEmptyMin, kEmptyMin);
  max_ = NURBSPoint(kEmptyMax, kEmptyMax);
  advance_ = 0.0;
  refused_ = false;
}

std::optional<std::vector<CQELEntity*>> SHXFontHandler::BuildShape(std::int32_t number) {
  Reset();
  const SHXShapeInfo* shape = font_.FindShape(number);
  if (shape == nullptr) shape = font_.FindShape(63);
  if (shape == nullptr) return std::nullopt;

  ShapeBuilder builder;
  const SHXShapeRun run = interpreter_.Run(*shape, base_scale_, builder);
  if (!Usable(run, builder.AllFinite())) {
    refused_ = true;
    return std::vector<CQELEntity*>{};
  }
  min_ = builder.Min();
  max_ = builder.Max();
  advance_ = run.end_x * base_scale_;
  return builder.TakeEntities();
}

std::vector<SHXBuiltShape> SHXFontHandler::BuildAll(SHXFontHandler& handler) {
  std::vector<std::int32_t> numbers;
  for (const auto& shape : handler.GetShapes()) numbers.push_back(shape->GetShapeNumber());
  std::vector<SHXBuiltShape> built;
  built.reserve(numbers.size());
  for (std::int32_t number : numbers) {
    auto entities = handler.BuildShape(number);
    if (!entities || handler.WasRefused()) continue;
    SHXBuiltShape shape;
    shape.code = number;
    shape.entities = std::move(*entities);
    handler.GetBoundingBox(shape.min, shape.max);
    shape.advance = handler.GetAdvance();
    built.push_back(std::move(shape));
  }
  return built;
}

SHXShapeSurvey SHXFontHandler::SurveyShapes(double factor) {
  SHXShapeSurvey survey;
  ShapeSurveyor surveyor(factor);
  // Numbers first: a shape is looked up by its number, as BuildAll does, so a number listed
  // twice surveys its first shape twice.
  std::vector<std::int32_t> numbers;
  for (const auto& shape : GetShapes()) numbers.push_back(shape->GetShapeNumber());
  for (std::int32_t number : numbers) {
    const SHXShapeInfo* shape = font_.FindShape(number);
    if (shape == nullptr) continue;
    surveyor.Clear();
    const SHXShapeRun run = interpreter_.Run(*shape, base_scale_, surveyor);
    if (!Usable(run, surveyor.AllFinite())) continue;
    survey.codes.push_back(number);
    // The font box grows entity by entity; a shape's box over the same values gives the same
    // extremes.
    const NURBSPoint& min = surveyor.Min();
    const NURBSPoint& max = surveyor.Max();
    if (min.GetX() < survey.min.GetX()) survey.min.SetX(min.GetX());
    if (min.GetY() < survey.min.GetY()) survey.min.SetY(min.GetY());
    if (max.GetX() > survey.max.GetX()) survey.max.SetX(max.GetX());
    if (max.GetY() > survey.max.GetY()) survey.max.SetY(max.GetY());
  }
  Reset();
  return survey;
}

std::vector<SHXBuiltShape> SHXFontHandler::BuildAllShapes(const unsigned short* path) {
  SHXFontHandler handler;
  handler.Open(path);
  return BuildAll(handler);
}

std::vector<SHXBuiltShape> SHXFontHandler::BuildAllShapes(const std::string& narrow_path) {
  SHXFontHandler handler;
  handler.OpenNarrow(narrow_path);
  return BuildAll(handler);
}

std::vector<SHXBuiltShape> SHXFontHandler::BuildAllShapes(std::vector<unsigned char> bytes) {
  SHXFontHandler handler;
  handler.OpenBytes(std::move(bytes));
  return BuildAll(handler);
}

}  // namespace vuzodo
