// Turns the shapes of a compiled SHX font (shape file, unicode font or big font; read by
// SHXFontLoader) into outline geometry: open or closed polylines for the pen strokes, circular arcs
// for the arc codes. SHXInterpreter executes the shape code; the handler keeps or measures what
// it draws.
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

#include "QELEntity.h"
#include "SHXFont.h"
#include "SHXInterpreter.h"

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

class SHXFontHandler {
 public:
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
  // by the interpreter's limits (SHXInterpreter) or drawing non-finite geometry comes back as an
  // empty list and WasRefused() is true. Afterwards the handler holds the shape's box and advance.
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
  double GetAdvance() const { return advance_; }
  // True when the last BuildShape gave up on the shape (runaway input).
  bool WasRefused() const { return refused_; }
  // Shape units to output units: 1 / above for shape files and unicode fonts, 1 for big fonts.
  double GetBaseScale() const { return base_scale_; }

 private:
  static std::vector<SHXBuiltShape> BuildAll(SHXFontHandler& handler);
  // Clears what the last build left: box, advance, refusal.
  void Reset();

  SHXFont font_;
  SHXInterpreter interpreter_{font_};  // keeps a reference: font_ must be declared first
  double base_scale_ = 1.0;            // output units per shape unit
  NURBSPoint min_{3.4e38, 3.4e38};     // last built shape's box, output units
  NURBSPoint max_{-3.4e38, -3.4e38};
  double advance_ = 0.0;  // last built shape's pen end x, output units
  bool refused_ = false;
};

}  // namespace vuzodo
