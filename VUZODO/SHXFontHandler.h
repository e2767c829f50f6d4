// Turns the shapes of a compiled SHX font (shape file, unicode font or big font; read by
// SHXFontLoader) into outline geometry: open or closed polylines for the pen strokes, circular arcs
// for the arc codes.
//
// Typical use, once per font file:
//
//   for (SHXBuiltShape& shape : SHXFontHandler::BuildAllShapes(path)) {
//     std::vector<CQELEntity*> outline = shape.TakeEntities();  // caller now owns them
//     ... shape.code, shape.min, shape.max, shape.advance ...
//   }
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Limits.h"
#include "QELEntity.h"
#include "SHXFont.h"

namespace vuzodo {

// One shape built at scale 1.0: its number, its outline (owned here until taken), the box of the
// outline and the pen's end x. Move-only; the destructor deletes entities not taken.
struct SHXBuiltShape {
  SHXBuiltShape() = default;
  SHXBuiltShape(SHXBuiltShape&& other) noexcept;
  SHXBuiltShape& operator=(SHXBuiltShape&& other) noexcept;
  SHXBuiltShape(const SHXBuiltShape&) = delete;
  SHXBuiltShape& operator=(const SHXBuiltShape&) = delete;
  ~SHXBuiltShape();

  // Hands the outline to the caller, who then deletes the entities.
  std::vector<CQELEntity*> TakeEntities();

  std::int32_t code = 0;              // the shape number
  std::vector<CQELEntity*> entities;  // owned until TakeEntities
  NURBSPoint min{3.4e38, 3.4e38};     // output units; a coordinate nothing grew stays at 3.4e38
  NURBSPoint max{-3.4e38, -3.4e38};   // output units; stays at -3.4e38 when nothing grew it
  double advance = 0.0;               // pen's end x, output units
};

// What a survey of every shape finds: the numbers of the shapes that build (file order, a
// number as often as the file lists it) and the box their outlines would have once scaled.
struct SHXShapeSurvey {
  std::vector<std::int32_t> codes;
  NURBSPoint min{3.4e38, 3.4e38, 1.0};  // output units after the scale; +3.4e38 when empty
  NURBSPoint max{-3.4e38, -3.4e38, 1.0};
};

// Receives what the pen draws while a shape is interpreted: strokes, which the interpreter fills
// point by point, and arcs. Building keeps them as the shape's outline; a survey measures and
// drops them. The interpreter is the same for both.
class SHXPenSink {
 public:
  virtual ~SHXPenSink() = default;
  // A stroke starts. The interpreter appends its points (output units) to the polyline returned,
  // which stays the sink's and valid until EndStroke.
  virtual CQELPolyLine& BeginStroke() = 0;
  // The stroke begun last is complete.
  virtual void EndStroke() = 0;
  // An arc in output units; the sink may keep it or change it.
  virtual void Arc(CQELEllipticalArc&& arc) = 0;
};

class SHXFontHandler {
 public:
  // Hard limits that keep hostile files from running away. A shape that exceeds one of them is
  // refused (see BuildShape).
  // (Limits.h gives the reasons for the values.)
  static constexpr int kStackSize = limits::kShxStackSize;                // code 5 positions
  static constexpr int kMaxSubshapeDepth = limits::kShxMaxSubshapeDepth;  // nested code 7 calls
  static constexpr std::int64_t kMaxSteps = limits::kShxMaxSteps;         // steps per shape
  static constexpr std::size_t kMaxEntities = limits::kShxMaxEntities;    // entities per shape

  SHXFontHandler() = default;
  SHXFontHandler(const SHXFontHandler&) = delete;
  SHXFontHandler& operator=(const SHXFontHandler&) = delete;
  ~SHXFontHandler() = default;

  // Reads the file at the UTF-16 path (narrowed to 8-bit characters). A file that cannot be
  // opened or whose header names no SHX kind leaves the font with no shapes.
  void Open(const unsigned short* path);
  // The same from an 8-bit path or from bytes already in memory.
  void OpenNarrow(const std::string& path);
  void OpenBytes(std::vector<unsigned char> bytes);

  // Builds the shape with this number, else shape 63 ("?"), at call scale 1.0. Returns the new
  // outline entities, owned by the caller, or nothing when neither shape exists. A shape refused
  // by the limits above comes back as an empty list and WasRefused() is true. Afterwards the
  // handler holds the shape's box and advance.
  std::optional<std::vector<CQELEntity*>> BuildShape(std::int32_t number);

  // Opens the file and builds every shape in file order (BuildShape with each shape's number).
  // Refused shapes are left out.
  static std::vector<SHXBuiltShape> BuildAllShapes(const unsigned short* path);
  static std::vector<SHXBuiltShape> BuildAllShapes(const std::string& narrow_path);
  static std::vector<SHXBuiltShape> BuildAllShapes(std::vector<unsigned char> bytes);

  // Interprets every shape in file order as BuildAllShapes would, keeping no outline: the box of
  // each built entity is taken as if the entity had been scaled by `factor` (CQELEntity::Scale)
  // and only the shapes that are not refused count. A font's box and its list of codes cost
  // this way a fraction of building every outline, which a font of thousands of shapes would
  // otherwise pay before its first character.
  SHXShapeSurvey SurveyShapes(double factor);

  const SHXFont& GetFont() const { return font_; }
  const std::vector<std::unique_ptr<SHXShapeInfo>>& GetShapes() const { return font_.GetShapes(); }
  // Box of the last built shape, output units; untouched coordinates stay at +-3.4e38.
  void GetBoundingBox(NURBSPoint& min, NURBSPoint& max) const;
  // Pen's end x after the last built shape, in output units.
  double GetAdvance() const { return x_ * out_scale_x_; }
  // True when the last BuildShape gave up on the shape (runaway input).
  bool WasRefused() const { return refused_; }
  // Shape units to output units: 1 / above for shape files and unicode fonts, 1 for big fonts.
  double GetBaseScale() const { return base_scale_; }

 private:
  static std::vector<SHXBuiltShape> BuildAll(SHXFontHandler& handler);

  void Interpret(const SHXShapeInfo& shape, double start_x, double start_y, double sx, double sy,
                 int depth);
  void DrawOrMove(double dx, double dy);
  void FinishPolyLine();
  void EmitArc(double cx, double cy, double radius, double start, double sweep);
  void EmitArcByAngles(double cx, double cy, double radius, double start, double end,
                       bool counterclockwise);
  void OctantArc(int radius, int sc);
  void FractionalArc(int start_offset, int end_offset, int radius, int sc);
  void BulgeArc(int dx, int dy, int bulge);
  void Reset();
  // Interprets the shape from a fresh pen, handing what it draws to the sink.
  void Run(const SHXShapeInfo& shape, SHXPenSink& sink);
  void Refuse() { refused_ = true; }

  SHXFont font_;
  double base_scale_ = 1.0;   // output units per shape unit
  double out_scale_x_ = 1.0;  // output units per shape unit, x
  double out_scale_y_ = 1.0;  // output units per shape unit, y
  double x_ = 0.0;            // pen position, shape units
  double y_ = 0.0;            // pen position, shape units
  bool pen_down_ = true;
  bool vertical_only_ = false;
  double scale_factor_ = 1.0;        // codes 3 and 4
  double stack_x_[kStackSize] = {};  // shape units
  double stack_y_[kStackSize] = {};  // shape units
  int stack_depth_ = 0;
  SHXPenSink* sink_ = nullptr;        // receives the pen's strokes and arcs during Run
  CQELPolyLine* current_ = nullptr;   // the sink's stroke being drawn, if any
  std::size_t entity_count_ = 0;      // strokes and arcs finished for this shape
  NURBSPoint min_{3.4e38, 3.4e38};    // output units
  NURBSPoint max_{-3.4e38, -3.4e38};  // output units
  double last_dx_ = 0.0;              // last displacement, shape units
  double last_dy_ = 0.0;
  std::vector<const SHXShapeInfo*> active_;  // shapes on the subshape call chain
  std::int64_t steps_ = 0;
  bool refused_ = false;
};

}  // namespace vuzodo
