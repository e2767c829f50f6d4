// Text for the render command from a file or standard input, appended in
// pieces with a progress bar when the job is long.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace vuzodo_cli {

// The whole of a file ("-": standard input) as UTF-8, or nothing after a
// one-line error on standard error.
std::optional<std::string> ReadTextInput(const std::string& path);

// Appends `text` through `append` one line at a time (each piece ends with
// its line feed, so the layout is the same as one append), drawing a
// progress bar on standard error when that is a terminal and the text is
// long. Returns the sum of what `append` returned.
int AppendWithProgress(const std::u16string& text,
                       const std::function<int(std::u16string&)>& append);

}  // namespace vuzodo_cli
