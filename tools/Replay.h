// The trace log reader of `vuzodo replay`, apart so that tests can feed it.
#pragma once

#include <set>
#include <string>
#include <vector>

namespace vuzodo_cli {

// One call of the log: the export's name as the log prints it, its
// arguments as printed (casts such as "(EN_Bool)" dropped; a text argument
// whole, with any trailing numbers still attached), and its first line.
struct TraceCall {
  std::string name;
  std::vector<std::string> args;
  int line = 0;
};

// Splits a log into calls. `known` are the names a line may start with,
// `text_calls` those whose first argument is a bare text. Lines that are
// neither a call nor part of a retrieval frame are reported in `problems`.
std::vector<TraceCall> ParseTrace(const std::string& log, const std::set<std::string>& known,
                                  const std::set<std::string>& text_calls,
                                  std::vector<std::string>& problems);

// The names a log line may start with (as the log prints them), and those
// whose first argument is a bare text.
const std::set<std::string>& KnownCalls();
const std::set<std::string>& TextCalls();

}  // namespace vuzodo_cli
