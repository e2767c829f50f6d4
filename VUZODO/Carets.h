// Caret arrays for the host: the positions between characters that the layouts recorded per
// line, placed on the lines' baselines.
#pragma once

#include <memory>
#include <vector>

#include "ProcessSettings.h"
#include "TTFState.h"
#include "vuzodo/vuzodo.h"

namespace vuzodo {

// Four floats per caret (top x, top y, bottom x, bottom y), every line starting at x 0 and each
// line's own start caret left out. Allocated for the host, also when empty; `written` receives
// the number of floats.
float* CaretArray(const ProcessSettings& settings,
                  const std::vector<std::unique_ptr<TTFState>>& lines, int& written);

// Every caret of every line, the line-start ones included, placed as the multiline outlines are
// (aligned in the text box when `align`). Allocated for the host, also when empty; `count`
// receives the number of carets and `top` (when not null) the top of the first line.
CursorPosition* MultilineCaretArray(const ProcessSettings& settings,
                                    const std::vector<std::unique_ptr<TTFState>>& lines, bool align,
                                    int& count, float* top);

}  // namespace vuzodo
