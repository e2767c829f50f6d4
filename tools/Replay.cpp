// vuzodo replay TTFLog.txt: reads a trace log that the engine wrote beside a
// host's library, calls the same exports with the same arguments, and writes
// the resulting drawing. A host's log thus becomes a bug report anyone can
// run.
//
// The log is a sequence of call-shaped lines. Texts are printed bare, so a
// text may itself hold line feeds, parentheses and commas: a text argument
// ends at the first closing mark after which the log goes on with something
// the engine writes (another call, a retrieval frame line) or ends.
//
// Each line is decoded by the interface's table, generated from the header:
// the export a line names, which of its parameters the line prints and in
// which order, and their types. Some calls do not print every argument (path
// point arrays, the codes of LoadCharacterSet, the last arguments of some hatch
// requests). Those are replayed with what the line has, the rest 0, and
// reported once each on standard error.
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "Commands.h"
#include "Output.h"
#include "Replay.h"
#include "vuzodo/vuzodo.h"
#include "vuzodo_interface.h"

namespace vuzodo_cli {
namespace {

// Which of the export's parameters the trace line prints, in the line's order.
using Printed = std::initializer_list<int>;

// One argument of a replayed call, made from the line's field or, when the line
// does not print it, from nothing: 0 for a value, a zeroed buffer for an array
// the export fills, an empty slot for an array the export hands out (released
// once the call is done, as the host released it).
template <typename T>
struct Argument {
  T value{};
  Argument(const std::string* field, int) {
    if (field == nullptr) return;
    const char* text = field->c_str();
    if constexpr (std::is_same_v<T, float>) {
      value = std::strtof(text, nullptr);
    } else if constexpr (std::is_same_v<T, double>) {
      value = std::strtod(text, nullptr);
    } else if constexpr (std::is_same_v<T, bool>) {
      value = std::strtol(text, nullptr, 10) != 0;
    } else {  // int and the enumerations (32-bit ints)
      value = static_cast<T>(static_cast<int>(std::strtol(text, nullptr, 10)));
    }
  }
  T Get() { return value; }
  void Release() {}
};

template <>
struct Argument<unsigned short*> {
  std::u16string text;
  Argument(const std::string* field, int)
      : text(field == nullptr ? std::u16string() : ToUtf16(*field)) {}
  unsigned short* Get() { return U16(text); }
  void Release() {}
};

// A buffer the export writes into: a box (10 floats at most), a line's metrics
// per line, a font's facts, or the count and top of the carets.
template <typename T>
struct Argument<T*> {
  std::vector<T> buffer;
  Argument(const std::string*, int lines) : buffer(static_cast<size_t>(std::max(lines, 0)) + 16) {}
  T* Get() { return buffer.data(); }
  void Release() {}
};

template <typename T>
struct Argument<T**> {
  T* array = nullptr;
  Argument(const std::string*, int) {}
  T** Get() { return &array; }
  void Release() {
    if constexpr (std::is_same_v<T, int>) {
      DeleteTTFData(array);
    } else {
      DeleteCaretData(reinterpret_cast<float*>(array));
    }
  }
};

// The line's fields in print order. A text prints bare, so the numbers printed
// after it are split off the text's end at commas.
std::vector<std::string> Fields(const TraceCall& c, bool text_first, size_t printed) {
  std::vector<std::string> fields = c.args;
  if (!text_first || fields.empty()) return fields;
  std::string text = fields[0];
  std::vector<std::string> numbers(printed - 1, "0");
  for (size_t k = numbers.size(); k-- > 0;) {
    const size_t comma = text.rfind(',');
    if (comma == std::string::npos) break;
    numbers[k] = text.substr(comma + 1);
    text.resize(comma);
  }
  fields.assign(1, text);
  fields.insert(fields.end(), numbers.begin(), numbers.end());
  return fields;
}

// Calls `fn` with the line's arguments, decoded by the parameter types; returns
// whether the line does not print one of its values (an array is not a value).
template <typename R, typename... P>
bool Invoke(R (*fn)(P...), Printed printed, const TraceCall& c) {
  constexpr size_t kCount = sizeof...(P);
  std::array<int, kCount + 1> position{};  // parameter -> field, or -1
  position.fill(-1);
  int k = 0;
  for (int index : printed) position[static_cast<size_t>(index)] = k++;
  constexpr std::array<bool, kCount + 1> kText = {std::is_same_v<P, unsigned short*>..., false};
  const bool text_first = printed.size() != 0 && kText[static_cast<size_t>(*printed.begin())];
  const std::vector<std::string> fields = Fields(c, text_first, printed.size());
  const int lines = GetTextLineCount();
  auto call = [&]<size_t... I>(std::index_sequence<I...>) {
    auto field = [&](size_t i) -> const std::string* {
      const int at = position[i];
      return at >= 0 && static_cast<size_t>(at) < fields.size() ? &fields[at] : nullptr;
    };
    static_cast<void>(field);  // unused by exports without parameters
    std::tuple<Argument<P>...> args{Argument<P>(field(I), lines)...};
    fn(std::get<I>(args).Get()...);
    (std::get<I>(args).Release(), ...);
    return ((position[I] < 0 && !std::is_pointer_v<P>) || ...);
  };
  return call(std::make_index_sequence<kCount>{});
}

struct Replayer {
  std::set<std::string> lossy;  // calls whose lines lack some arguments
  int errors = 0;
  float unit = 1000.0f;  // the unit size the replayed calls set

  void Call(const TraceCall& c) {
    using Dispatch = std::function<bool(const TraceCall&)>;
    static const std::map<std::string, Dispatch> kCalls = [] {
      std::map<std::string, Dispatch> table;
#define VUZODO_UNPAREN(...) __VA_ARGS__
#define VUZODO_REPLAY(fn, trace, printed)                   \
  if (*(trace) != 0) {                                      \
    table[trace] = [](const TraceCall& call) {              \
      return Invoke(&(fn), {VUZODO_UNPAREN printed}, call); \
    };                                                      \
  }
      VUZODO_INTERFACE(VUZODO_REPLAY)
#undef VUZODO_REPLAY
#undef VUZODO_UNPAREN
      return table;
    }();
    if (c.name == "DeleteTTFData" || c.name == "DeleteCaretData") {
      return;  // each array was released as soon as it was fetched
    }
    if (c.name == "SetIndentPositions") {  // the stops are on the line before
      std::vector<float> stops;
      for (const std::string& v : c.args) stops.push_back(std::strtof(v.c_str(), nullptr));
      SetIndentPositions(stops.data(), static_cast<int>(stops.size()));
      return;
    }
    const auto call = kCalls.find(c.name);
    if (call == kCalls.end()) {
      std::fprintf(stderr, "vuzodo: line %d: %s cannot be replayed\n", c.line, c.name.c_str());
      ++errors;
      return;
    }
    if (call->second(c)) lossy.insert(c.name);
    if (c.name == "InitializeTTF" && !c.args.empty()) {
      unit = std::strtof(c.args[0].c_str(), nullptr);
    }
  }
};

int Replay(const std::string& log_path, const std::string& output) {
  std::ifstream in(log_path, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "vuzodo: cannot read %s\n", log_path.c_str());
    return 1;
  }
  std::stringstream buffer;
  buffer << in.rdbuf();
  std::vector<std::string> problems;
  const std::vector<TraceCall> calls =
      ParseTrace(buffer.str(), KnownCalls(), TextCalls(), problems);
  for (const std::string& p : problems) std::fprintf(stderr, "vuzodo: %s\n", p.c_str());
  Replayer replayer;
  for (const TraceCall& c : calls) replayer.Call(c);
  for (const std::string& name : replayer.lossy) {
    std::fprintf(stderr, "vuzodo: note: the log does not hold every argument of %s\n",
                 name.c_str());
  }
  std::printf("%s: %zu calls replayed; %d characters on %d lines\n", log_path.c_str(), calls.size(),
              GetCharacterCount(-1), GetTextLineCount());
  int result = problems.empty() && replayer.errors == 0 ? 0 : 1;
  if (!output.empty()) {
    // Any name that is not .dxf or .png gets JSON.
    OutputOptions o;
    o.text = log_path;
    o.unit = replayer.unit;
    if (!output.ends_with(".svg") && OutputFormat(output, o) == "svg") o.format = "json";
    const int written = WriteOutput(output, o);
    if (written != 0) result = written;
  }
  return result;
}

}  // namespace

void AddReplayCommand(CLI::App& app) {
  static std::string log, output;
  auto* replay = app.add_subcommand("replay", "replay a trace log's calls and write the drawing");
  replay->add_option("log", log, "the trace log (TTFLog.txt)")->required();
  replay->add_option("-o,--output", output,
                     "drawing to write: .json (default), .svg, .dxf or .png");
  replay->callback([] { std::exit(Replay(log, output)); });
}

}  // namespace vuzodo_cli
