// --weld: the characters of a text united into one region before hatching, so that where
// characters overlap (script fonts, negative gaps, bold) the machine marks once.
#pragma once

#include <string>

#include "Output.h"

namespace vuzodo_cli {

// The streams of the text laid out now, welded: the outline stream holds the contours of the
// union of the characters' regions (each character's by the nonzero rule), then the strokes
// that enclose nothing and the dots, as they were; `border` false leaves it empty. The fill
// and hatch streams hold the patterns registered with RegisterWeldHatches applied to each
// connected piece of the union, as the engine applies them to each character. `unit` is
// output units per user unit. Returns "" or why the union could not be made.
std::string WeldLayers(bool border, float unit, Layers& welded);

}  // namespace vuzodo_cli
