// Executes the shape code of one SHX shape: vectors, displacements, the three arc forms, the
// position stack, scale codes and subshape calls, handing what the pen draws to a sink. It works
// on shapes SHXFontLoader has already read and bounded, so it only guards against what the codes
// themselves can do: unbounded nesting, runaway step counts and entity floods.
//
// Typical use, one shape at a time (the interpreter can be reused for the next):
//
//   SHXInterpreter interpreter(font);
//   MySink sink;                  // an SHXPenSink
//   const double scale = 1.0 / font.above_;  // a shape file's or unicode font's; 1 for big fonts
//   SHXShapeRun run = interpreter.Run(*font.FindShape(65), scale, sink);
//   if (!run.refused) ... sink's strokes and arcs, run.end_x ...
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "Limits.h"
#include "QELEllipticalArc.h"
#include "QELPolyLine.h"
#include "SHXFont.h"

namespace vuzodo {

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

// How one run ended.
struct SHXShapeRun {
  bool refused = false;  // a limit below stopped the shape; what reached the sink is partial
  double end_x = 0.0;    // pen position after the last command, shape units
  double end_y = 0.0;
};

class SHXInterpreter {
 public:
  // Hard limits that keep hostile files from running away; a shape that exceeds one is refused.
  // (Limits.h gives the reasons for the values.)
  static constexpr int kStackSize = limits::kShxStackSize;                // code 5 positions
  static constexpr int kMaxSubshapeDepth = limits::kShxMaxSubshapeDepth;  // nested code 7 calls
  static constexpr std::int64_t kMaxSteps = limits::kShxMaxSteps;         // steps per shape
  static constexpr std::size_t kMaxEntities = limits::kShxMaxEntities;    // entities per shape

  // `font` gives the kind, which decides the subshape operands, the character size of extended
  // big fonts and the shapes subshape calls find; it must outlive the interpreter.
  explicit SHXInterpreter(const SHXFont& font) : font_(font) {}
  SHXInterpreter(const SHXInterpreter&) = delete;
  SHXInterpreter& operator=(const SHXInterpreter&) = delete;

  // Interprets `shape` from a fresh pen: at (0, 0), pen down, scale factor 1, empty stack.
  // `out_scale` is output units per shape unit, in x and y alike; every point and arc reaches
  // `sink` multiplied by it.
  SHXShapeRun Run(const SHXShapeInfo& shape, double out_scale, SHXPenSink& sink);

 private:
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
  void Refuse() { refused_ = true; }

  const SHXFont& font_;
  SHXPenSink* sink_ = nullptr;  // receives the pen's strokes and arcs during Run
  double out_scale_x_ = 1.0;    // output units per shape unit, x
  double out_scale_y_ = 1.0;    // output units per shape unit, y
  double x_ = 0.0;              // pen position, shape units
  double y_ = 0.0;              // pen position, shape units
  bool pen_down_ = true;
  bool vertical_only_ = false;
  double scale_factor_ = 1.0;        // codes 3 and 4
  double stack_x_[kStackSize] = {};  // shape units
  double stack_y_[kStackSize] = {};  // shape units
  int stack_depth_ = 0;
  CQELPolyLine* current_ = nullptr;  // the sink's stroke being drawn, if any
  std::size_t entity_count_ = 0;     // strokes and arcs finished for this shape
  double last_dx_ = 0.0;             // last displacement, shape units
  double last_dy_ = 0.0;
  std::vector<const SHXShapeInfo*> active_;  // shapes on the subshape call chain
  std::int64_t steps_ = 0;
  bool refused_ = false;
};

}  // namespace vuzodo
