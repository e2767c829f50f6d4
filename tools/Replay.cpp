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
// Some calls do not print every argument (path point arrays, the codes of
// LoadCharacterSet, the last arguments of some hatch requests). Those are
// replayed with what the line has and reported once each on standard error.
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "Commands.h"
#include "Output.h"
#include "Replay.h"
#include "vuzodo/vuzodo.h"

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

struct Replayer {
  std::set<std::string> lossy;  // calls whose lines lack some arguments
  int errors = 0;
  float unit = 1000.0f;  // the unit size the replayed calls set

  static float F(const std::vector<std::string>& a, size_t i) {
    return i < a.size() ? std::strtof(a[i].c_str(), nullptr) : 0.0f;
  }
  static int I(const std::vector<std::string>& a, size_t i) {
    return i < a.size() ? static_cast<int>(std::strtol(a[i].c_str(), nullptr, 10)) : 0;
  }

  // A text argument with `ints` trailing integers after commas: "face,1,2".
  static std::u16string Text(const std::string& arg, size_t ints, std::vector<int>& numbers) {
    std::string text = arg;
    numbers.assign(ints, 0);
    for (size_t k = ints; k-- > 0;) {
      const size_t comma = text.rfind(',');
      if (comma == std::string::npos) break;
      numbers[k] = static_cast<int>(std::strtol(text.c_str() + comma + 1, nullptr, 10));
      text.resize(comma);
    }
    return ToUtf16(text);
  }

  void Lossy(const std::string& name) { lossy.insert(name); }

  void Call(const TraceCall& c) {
    const auto& a = c.args;
    const std::string& n = c.name;
    std::vector<int> num;
    static const std::map<std::string, int (*)()> kNoArguments = {
        {"SetDefaults", SetDefaults},
        {"SetModeHorizontal", SetModeHorizontal},
        {"SetModeVertical", SetModeVertical},
        {"SetModePathText", SetModePathText},
        {"SetModeCharacterForward", SetModeCharacterForward},
        {"SetModeCharacterBackward", SetModeCharacterBackward},
        {"SetModeCharacterUpside", SetModeCharacterUpside},
        {"SetModeCharacterUpsideDown", SetModeCharacterUpsideDown},
        {"SetModeNoscript", SetModeNoscript},
        {"SetModeSubscript", SetModeSubscript},
        {"SetModeSuperscript", SetModeSuperscript},
        {"FinishText", FinishText},
        {"GetTextLineCount", GetTextLineCount},
        {"ClearTTFHatchPatterns", ClearTTFHatchPatterns},
    };
    static const std::map<std::string, int (*)(float)> kOneFloat = {
        {"SetTextHeight", SetTextHeight},           {"SetHorizontalCharGap", SetHorizontalCharGap},
        {"SetVerticalCharGap", SetVerticalCharGap}, {"SetCharacterAngle", SetCharacterAngle},
        {"SetObliqueAngle", SetObliqueAngle},       {"SetTextBoxWidth", SetTextBoxWidth},
        {"SetTextBoxHeight", SetTextBoxHeight},     {"SetLineSpacing", SetLineSpacing},
    };
    if (auto f = kNoArguments.find(n); f != kNoArguments.end()) {
      f->second();
    } else if (auto g = kOneFloat.find(n); g != kOneFloat.end()) {
      g->second(F(a, 0));
    } else if (n == "InitializeTTF") {
      unit = F(a, 0);
      InitializeTTF(unit);
    } else if (n == "SetFontFace" && !a.empty()) {
      std::u16string face = ToUtf16(a[0]);
      SetFontFace(U16(face));
    } else if (n == "SetFontStyle") {
      SetFontStyle(static_cast<EN_TTFFontStyle>(I(a, 0)));
    } else if (n == "SetCharacterScale") {
      SetCharacterScale(F(a, 0), F(a, 1));
    } else if (n == "SetAutoKern") {
      SetAutoKern(static_cast<EN_Bool>(I(a, 0)));
    } else if (n == "SetPropsSubscript") {
      SetPropsSubscript(F(a, 0), F(a, 1));
    } else if (n == "SetPropsSuperscript") {
      SetPropsSuperscript(F(a, 0), F(a, 1));
    } else if (n == "SetModeWordWrap") {
      SetModeWordWrap(static_cast<EN_Bool>(I(a, 0)));
    } else if (n == "SetIndentPositions") {
      std::vector<float> stops;
      for (const std::string& v : a) stops.push_back(std::strtof(v.c_str(), nullptr));
      SetIndentPositions(stops.data(), static_cast<int>(stops.size()));
    } else if (n == "SetTextHorizontalAlign") {
      SetTextHorizontalAlign(static_cast<EN_TextHorizontalAlignStyle>(I(a, 0)));
    } else if (n == "SetTextVerticalAlign") {
      SetTextVerticalAlign(static_cast<EN_TextVerticalAlignStyle>(I(a, 0)));
    } else if (n == "SetLineSpacingStyle") {
      SetLineSpacingStyle(static_cast<EN_LineSpaceStyle>(I(a, 0)));
    } else if (n == "SetFNTConversionMode") {
      SetFNTConversionMode(static_cast<EN_FNT_ConvertionStyle>(I(a, 0)));
    } else if (n == "SetPathTextAlign") {
      SetPathTextAlign(static_cast<EN_PathTextAlign>(I(a, 0)));
    } else if (n == "SetPathTextFlip") {
      SetPathTextFlip(static_cast<EN_Bool>(I(a, 0)));
    } else if (n == "SetPathTextSpacing") {
      SetPathTextSpacing(a.empty() ? 0.0 : std::strtod(a[0].c_str(), nullptr));
    } else if (n == "SetDeformPathCharacters") {
      SetDeformPathCharacters(static_cast<EN_Bool>(I(a, 0)));
    } else if (n == "AppendCharacters" || n == "AppendCharactersEx" || n == "AppendCharactersOVF") {
      std::u16string text = a.empty() ? std::u16string() : ToUtf16(a[0]);
      if (n == "AppendCharacters") AppendCharacters(U16(text));
      if (n == "AppendCharactersEx") AppendCharactersEx(U16(text));
      if (n == "AppendCharactersOVF") AppendCharactersOVF(U16(text));
    } else if (n == "GetOutLines" || n == "GetOutLinesEx" || n == "GetMultilineOutLines") {
      int* data = nullptr;
      float box[10];
      auto fn = n == "GetOutLines" ? GetOutLines
                                   : (n == "GetOutLinesEx" ? GetOutLinesEx : GetMultilineOutLines);
      fn(I(a, 0), static_cast<EN_ReturnType>(I(a, 1)), &data, box);
      DeleteTTFData(data);
    } else if (n == "GetTotalBoundingBox") {
      float box[4];
      GetTotalBoundingBox(box);
    } else if (n == "GetCaretPositionData") {
      float* data = nullptr;
      GetCaretPositionData(&data);
      DeleteCaretData(data);
    } else if (n == "GetMultilineCaretPositionData") {
      CursorPosition* data = nullptr;
      int count = 0;
      float top = 0;
      GetMultilineCaretPositionData(&data, &count, &top);
      DeleteCaretData(reinterpret_cast<float*>(data));
    } else if (n == "DeleteTTFData" || n == "DeleteCaretData") {
      // Each array was released as soon as it was fetched.
    } else if (n == "GetCharacterCount") {
      GetCharacterCount(I(a, 0));
    } else if (n == "GetCharacterLineGapInfo") {
      CharacterLineGapInfo info;
      GetCharacterLineGapInfo(&info);
    } else if (n == "GetMaximumAscent" || n == "GetMaximumDecent" || n == "GetMaximumLineGap" ||
               n == "GetPathLengthOfCharacters") {
      // Queries without effect on the text.
    } else if (n == "LoadCharacterSet" && !a.empty()) {
      Lossy(n);  // the codes are not in the log: the font is loaded, nothing built
      std::u16string face = Text(a[0], 1, num);
      LoadCharacterSet(U16(face), static_cast<EN_TTFFontStyle>(num[0]), nullptr, 0);
    } else if (n == "LoadCharacterRange" && !a.empty()) {
      std::u16string face = Text(a[0], 3, num);
      LoadCharacterRange(U16(face), static_cast<EN_TTFFontStyle>(num[0]), num[1], num[2]);
    } else if (n == "UnloadFont" && !a.empty()) {
      std::u16string face = Text(a[0], 1, num);
      UnloadFont(U16(face), static_cast<EN_TTFFontStyle>(num[0]));
    } else if (n == "GetFontInformation" && !a.empty()) {
      std::u16string face = Text(a[0], 1, num);
      FontInformation info;
      GetFontInformation(U16(face), static_cast<EN_TTFFontStyle>(num[0]), &info);
    } else if (n == "GetCustomFont") {
      int* codes = nullptr;
      GetCustomFontRange(&codes);
      DeleteTTFData(codes);
    } else if (n == "SetNurbPathPoints" || n == "SetNurbPathPolyline") {
      Lossy(n);  // the point arrays are not in the log: the path stays as it was
    } else if (n == "SetNurbPathCircleCW") {
      SetNurbPathCircleCW(F(a, 0), F(a, 1), F(a, 2), F(a, 3));
    } else if (n == "SetNurbPathCircleCCW") {
      SetNurbPathCircleCCW(F(a, 0), F(a, 1), F(a, 2), F(a, 3));
    } else if (n == "AddTTFHatchPatternLine") {
      Lossy(n);  // base y, style and the offset flag are not printed
      AddTTFHatchPatternLine(F(a, 0), static_cast<borderGapDirection>(I(a, 1)), F(a, 2), F(a, 3),
                             F(a, 4), 0.0f, HATCH_UNIDIRECTIONAL, EN_FALSE);
    } else if (n == "AddTTFHatchPatternLineEx") {
      Lossy(n);  // corner style, miter limit and arc tolerance are not printed
      AddTTFHatchPatternLineEx(F(a, 0), static_cast<borderGapDirection>(I(a, 1)), F(a, 2), F(a, 3),
                               F(a, 4), F(a, 5), static_cast<hatchStyle>(I(a, 6)),
                               static_cast<EN_Bool>(I(a, 7)),
                               static_cast<EN_OffsetAlgorithm>(I(a, 8)), EN_CORNER_MITER, 0, 0);
    } else if (n == "AddTTFHatchPatternOptimized") {
      AddTTFHatchPatternOptimized(F(a, 0), static_cast<borderGapDirection>(I(a, 1)), F(a, 2),
                                  F(a, 3), F(a, 4), static_cast<hatchStyle>(I(a, 5)));
    } else if (n == "AddTTFHatchPatternIncremental") {
      AddTTFHatchPatternIncremental(F(a, 0), static_cast<borderGapDirection>(I(a, 1)), F(a, 2),
                                    F(a, 3), F(a, 4), I(a, 5), static_cast<hatchStyle>(I(a, 6)));
    } else if (n == "AddTTFHatchPatternOffsetFilling") {
      AddTTFHatchPatternOffsetFilling(F(a, 0), static_cast<EN_OffsetStyle>(I(a, 1)));
    } else if (n == "AddTTFHatchPatternOffsetFillingEx") {
      Lossy(n);  // miter limit and arc tolerance are not printed
      // The line prints the corner style before the algorithm.
      AddTTFHatchPatternOffsetFillingEx(F(a, 0), static_cast<EN_OffsetStyle>(I(a, 1)),
                                        static_cast<EN_OffsetAlgorithm>(I(a, 3)),
                                        static_cast<EN_OffsetCornerStyle>(I(a, 2)), 0, 0);
    } else if (n == "AddTTFHatchPatternOffsetInOut") {
      AddTTFHatchPatternOffsetInOut(F(a, 0), I(a, 1), F(a, 2), I(a, 3));
    } else if (n == "AddTTFHatchPatternOffsetInOutEx") {
      Lossy(n);  // the algorithm, miter limit and arc tolerance are not printed
      AddTTFHatchPatternOffsetInOutEx(F(a, 0), I(a, 1), F(a, 2), I(a, 3), EN_OFFSET_DIRECT,
                                      static_cast<EN_OffsetCornerStyle>(I(a, 4)), 0, 0);
    } else if (n == "AddTTFHatchPatternHelixFillingEx") {
      Lossy(n);  // the style, algorithm and corner style are not printed
      AddTTFHatchPatternHelixFillingEx(F(a, 0), EN_HELIX_OUTSIDE_IN, EN_OFFSET_DIRECT,
                                       EN_CORNER_MITER, I(a, 1), I(a, 2));
    } else if (n == "AddHatchPatternLattice2") {
      AddTTFHatchPatternLattice(F(a, 0), F(a, 1), F(a, 2), F(a, 3), F(a, 4), I(a, 5) != 0);
    } else if (n == "IncludeBorder") {
      IncludeBorder(static_cast<EN_Bool>(I(a, 0)));
    } else {
      std::fprintf(stderr, "vuzodo: line %d: %s cannot be replayed\n", c.line, n.c_str());
      ++errors;
    }
  }
};

const std::set<std::string>& KnownCalls() {
  static const std::set<std::string> known = {"InitializeTTF",
                                              "SetDefaults",
                                              "SetFontFace",
                                              "SetFontStyle",
                                              "SetTextHeight",
                                              "SetHorizontalCharGap",
                                              "SetVerticalCharGap",
                                              "SetCharacterAngle",
                                              "SetObliqueAngle",
                                              "SetCharacterScale",
                                              "SetAutoKern",
                                              "SetModeHorizontal",
                                              "SetModeVertical",
                                              "SetModePathText",
                                              "SetModeCharacterForward",
                                              "SetModeCharacterBackward",
                                              "SetModeCharacterUpside",
                                              "SetModeCharacterUpsideDown",
                                              "SetModeNoscript",
                                              "SetModeSubscript",
                                              "SetModeSuperscript",
                                              "SetPropsSubscript",
                                              "SetPropsSuperscript",
                                              "SetModeWordWrap",
                                              "SetTextBoxWidth",
                                              "SetTextBoxHeight",
                                              "SetIndentPositions",
                                              "SetTextHorizontalAlign",
                                              "SetTextVerticalAlign",
                                              "SetLineSpacing",
                                              "SetLineSpacingStyle",
                                              "SetFNTConversionMode",
                                              "SetPathTextAlign",
                                              "SetPathTextFlip",
                                              "SetPathTextSpacing",
                                              "SetDeformPathCharacters",
                                              "AppendCharacters",
                                              "AppendCharactersEx",
                                              "AppendCharactersOVF",
                                              "FinishText",
                                              "GetOutLines",
                                              "GetOutLinesEx",
                                              "GetMultilineOutLines",
                                              "GetTotalBoundingBox",
                                              "DeleteTTFData",
                                              "GetCaretPositionData",
                                              "GetMultilineCaretPositionData",
                                              "DeleteCaretData",
                                              "GetCharacterCount",
                                              "GetTextLineCount",
                                              "GetCharacterLineGapInfo",
                                              "GetMaximumAscent",
                                              "GetMaximumDecent",
                                              "GetMaximumLineGap",
                                              "GetPathLengthOfCharacters",
                                              "LoadCharacterSet",
                                              "LoadCharacterRange",
                                              "UnloadFont",
                                              "GetFontInformation",
                                              "GetCustomFont",
                                              "SetNurbPathPoints",
                                              "SetNurbPathCircleCW",
                                              "SetNurbPathCircleCCW",
                                              "SetNurbPathPolyline",
                                              "AddTTFHatchPatternLine",
                                              "AddTTFHatchPatternLineEx",
                                              "AddTTFHatchPatternOptimized",
                                              "AddTTFHatchPatternIncremental",
                                              "AddTTFHatchPatternOffsetFilling",
                                              "AddTTFHatchPatternOffsetFillingEx",
                                              "AddTTFHatchPatternOffsetInOut",
                                              "AddTTFHatchPatternOffsetInOutEx",
                                              "AddTTFHatchPatternHelixFillingEx",
                                              "AddHatchPatternLattice2",
                                              "ClearTTFHatchPatterns",
                                              "IncludeBorder"};
  return known;
}

const std::set<std::string>& TextCalls() {
  static const std::set<std::string> text = {
      "SetFontFace",      "AppendCharacters",   "AppendCharactersEx", "AppendCharactersOVF",
      "LoadCharacterSet", "LoadCharacterRange", "UnloadFont",         "GetFontInformation"};
  return text;
}

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
    const Layers layers = FetchLayers();
    const auto ends = [&output](const std::string& s) {
      return output.size() >= s.size() &&
             output.compare(output.size() - s.size(), s.size(), s) == 0;
    };
    int written = 0;
    if (ends(".dxf")) {
      written = WriteDxf(layers, replayer.unit, output);
    } else if (ends(".png")) {
      written = WritePng(layers, replayer.unit, 100.0, 10.0, output);
    } else {
      written = WriteJson(layers, log_path, replayer.unit, output);
    }
    if (written != 0) result = written;
  }
  return result;
}

}  // namespace

void AddReplayCommand(CLI::App& app) {
  static std::string log, output;
  auto* replay = app.add_subcommand("replay", "replay a trace log's calls and write the drawing");
  replay->add_option("log", log, "the trace log (TTFLog.txt)")->required();
  replay->add_option("-o,--output", output, "drawing to write: .json (default), .dxf or .png");
  replay->callback([] { std::exit(Replay(log, output)); });
}

}  // namespace vuzodo_cli
