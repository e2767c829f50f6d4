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
  replay->add_option("-o,--output", output, "drawing to write: .json (default), .svg, .dxf or .png");
  replay->callback([] { std::exit(Replay(log, output)); });
}

}  // namespace vuzodo_cli
