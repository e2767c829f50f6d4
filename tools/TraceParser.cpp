// The trace log reader of `vuzodo replay`: splits a log into calls.
#include <array>
#include <cctype>
#include <initializer_list>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

#include "Replay.h"
#include "vuzodo/vuzodo.h"
#include "vuzodo_interface.h"

namespace vuzodo_cli {
namespace {

// Lines the engine writes inside a retrieval frame; they carry no call.
const char* const kFrameLines[] = {"********************", "PrepareArrayData()",
                                   "AppendOutlineData()", "No = ", "Finishing "};

bool StartsWith(const std::string& s, size_t at, const std::string& prefix) {
  return s.compare(at, prefix.size(), prefix) == 0;
}

}  // namespace

// Splits the log into calls. Names are checked against `known`.
std::vector<TraceCall> ParseTrace(const std::string& log, const std::set<std::string>& known,
                                  const std::set<std::string>& text_calls,
                                  std::vector<std::string>& problems) {
  std::vector<TraceCall> calls;
  size_t at = 0;
  int line = 1;
  auto advance_to = [&](size_t to) {
    for (size_t i = at; i < to && i < log.size(); ++i) line += log[i] == '\n';
    at = to;
  };
  // Whether a line of the log could begin at `p`.
  auto starts_entry = [&](size_t p) {
    if (p >= log.size()) return true;
    for (const char* frame : kFrameLines) {
      if (StartsWith(log, p, frame)) return true;
    }
    if (StartsWith(log, p, "No return type") || StartsWith(log, p, "float indentList[")) {
      return true;
    }
    size_t q = p;
    while (q < log.size() && (std::isalnum(static_cast<unsigned char>(log[q])) || log[q] == '_')) {
      ++q;
    }
    return q < log.size() && log[q] == '(' && known.count(log.substr(p, q - p)) != 0;
  };

  while (at < log.size()) {
    if (log[at] == '\n' || log[at] == '\r') {
      advance_to(at + 1);
      continue;
    }
    // "No return type" is written without a line feed of its own.
    if (StartsWith(log, at, "No return type")) {
      advance_to(at + 14);
      continue;
    }
    bool frame = false;
    for (const char* f : kFrameLines) frame = frame || StartsWith(log, at, f);
    if (frame) {
      const size_t end = log.find('\n', at);
      advance_to(end == std::string::npos ? log.size() : end + 1);
      continue;
    }
    if (StartsWith(log, at, "float indentList[")) {
      // float indentList[N] = {v0f,v1f,};\nSetIndentPositions(indentList, N);\n
      const size_t open = log.find('{', at), close = log.find("};", at);
      const size_t call = log.find("SetIndentPositions(indentList,", at);
      const size_t end = call == std::string::npos ? call : log.find(";\n", call);
      if (open == std::string::npos || close == std::string::npos || end == std::string::npos) {
        problems.push_back("line " + std::to_string(line) + ": unfinished indent list");
        break;
      }
      TraceCall c{"SetIndentPositions", {}, line};
      std::stringstream values(log.substr(open + 1, close - open - 1));
      for (std::string v; std::getline(values, v, ',');) {
        if (!v.empty() && v.back() == 'f') v.pop_back();
        if (!v.empty()) c.args.push_back(v);
      }
      calls.push_back(c);
      advance_to(end + 2);
      continue;
    }
    size_t name_end = at;
    while (name_end < log.size() &&
           (std::isalnum(static_cast<unsigned char>(log[name_end])) || log[name_end] == '_')) {
      ++name_end;
    }
    const std::string name = log.substr(at, name_end - at);
    if (name_end >= log.size() || log[name_end] != '(' || known.count(name) == 0) {
      const size_t end = log.find('\n', at);
      problems.push_back("line " + std::to_string(line) +
                         ": not a call: " + log.substr(at, std::min<size_t>(end - at, 60)));
      advance_to(end == std::string::npos ? log.size() : end + 1);
      continue;
    }
    TraceCall c{name, {}, line};
    size_t end = std::string::npos;
    if (text_calls.count(name) != 0) {
      // The text runs to the first ")" + optional ";" + line feed that the
      // log can go on from.
      for (size_t p = log.find(')', name_end); p != std::string::npos; p = log.find(')', p + 1)) {
        size_t q = p + 1;
        if (q < log.size() && log[q] == ';') ++q;
        if (q < log.size() && log[q] == '\n' && starts_entry(q + 1)) {
          end = q + 1;
          c.args.push_back(log.substr(name_end + 1, p - name_end - 1));
          break;
        }
        if (q >= log.size()) {
          end = log.size();
          c.args.push_back(log.substr(name_end + 1, p - name_end - 1));
          break;
        }
      }
    } else {
      const size_t close = log.find(')', name_end);
      const size_t nl = log.find('\n', name_end);
      // Casts such as (EN_Bool)1 hold a ')' of their own: take the last one
      // on the line.
      const size_t last = log.rfind(')', nl == std::string::npos ? log.size() : nl);
      if (close != std::string::npos && last != std::string::npos && last > name_end) {
        std::stringstream args(log.substr(name_end + 1, last - name_end - 1));
        for (std::string a; std::getline(args, a, ',');) {
          // Drop spaces and a leading cast.
          a.erase(0, a.find_first_not_of(' '));
          if (!a.empty() && a[0] == '(' && a.find(')') != std::string::npos) {
            a = a.substr(a.find(')') + 1);
          }
          if (a != "..." && !a.empty()) c.args.push_back(a);
        }
        end = nl == std::string::npos ? log.size() : nl + 1;
      }
    }
    if (end == std::string::npos) {
      problems.push_back("line " + std::to_string(line) + ": unfinished " + name);
      break;
    }
    calls.push_back(c);
    advance_to(end);
  }
  return calls;
}

namespace {

// Whether each parameter of an export is a text (from its type alone: nothing is called).
template <typename R, typename... P>
constexpr std::array<bool, sizeof...(P)> TextParameters(R (*)(P...)) {
  return {std::is_same_v<P, unsigned short*>...};
}

// The trace names of the interface, with whether the line's first argument is a text.
const std::map<std::string, bool>& TraceNames() {
  static const std::map<std::string, bool> names = [] {
    std::map<std::string, bool> table;
#define VUZODO_TRACE_NAME(fn, trace, printed)                             \
  if (*(trace) != 0) {                                                    \
    const std::initializer_list<int> kPrinted = {VUZODO_UNPAREN printed}; \
    constexpr auto kText = TextParameters(decltype(&(fn)){});             \
    table[trace] = kPrinted.size() != 0 && kText[*kPrinted.begin()];      \
  }
#define VUZODO_UNPAREN(...) __VA_ARGS__
    VUZODO_INTERFACE(VUZODO_TRACE_NAME)
#undef VUZODO_TRACE_NAME
#undef VUZODO_UNPAREN
    return table;
  }();
  return names;
}

}  // namespace

const std::set<std::string>& KnownCalls() {
  static const std::set<std::string> known = [] {
    std::set<std::string> names;
    for (const auto& [name, text] : TraceNames()) names.insert(name);
    return names;
  }();
  return known;
}

const std::set<std::string>& TextCalls() {
  static const std::set<std::string> text = [] {
    std::set<std::string> names;
    for (const auto& [name, is_text] : TraceNames()) {
      if (is_text) names.insert(name);
    }
    return names;
  }();
  return text;
}

}  // namespace vuzodo_cli
