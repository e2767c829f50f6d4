// The trace log reader of `vuzodo replay` on any text: every call it finds
// is a known name with its first line inside the text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "Replay.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string log(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> problems;
  const auto calls =
      vuzodo_cli::ParseTrace(log, vuzodo_cli::KnownCalls(), vuzodo_cli::TextCalls(), problems);
  int lines = 1;
  for (char c : log) lines += c == '\n';
  for (const auto& call : calls) {
    if (vuzodo_cli::KnownCalls().count(call.name) == 0 && call.name != "SetIndentPositions") {
      std::abort();
    }
    if (call.line < 1 || call.line > lines) std::abort();
  }
  return 0;
}
