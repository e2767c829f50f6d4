// What a render draws with: whether the face named on the command line can be used, the family
// fontconfig puts in its place, and which characters the face has.
#pragma once

#include <functional>
#include <string>

namespace vuzodo_cli {

struct FaceCheck {
  std::string error;       // why the face cannot be drawn with; "" when it can
  std::string substitute;  // the family drawn with instead of one that is not installed
  std::function<bool(char32_t)> covers;  // whether the face has a character (not its box)
};

// Checks the face (a family name or a font file) in the given style. Shape fonts are read
// through the engine, so the engine's unit size must be set first.
FaceCheck CheckFace(const std::string& face, int style);

}  // namespace vuzodo_cli
