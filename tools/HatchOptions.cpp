#include "HatchOptions.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>

#include "qelhatching/qelhatching.h"
#include "vuzodo/vuzodo.h"

namespace vuzodo_cli {
namespace {

const char* const kHatchHelp =
    "hatch pattern, repeatable; lengths in user units, angles in radians:\n"
    "  line:gap=,angle=,border=,dir=in|out,bx=,by=,style=0-5,contour=0|1"
    "[,algo=,corner=,miter=,arctol=]\n"
    "  optimized:gap=,angle=,border=,dir=,link=,style=\n"
    "  incremental:gap=,angle=,step=,passes=,border=,dir=,style=\n"
    "  offset:gap=,style=0|1[,algo=,corner=,miter=,arctol=]\n"
    "  inout:in=,incount=,out=,outcount=[,algo=,corner=]\n"
    "  helix:gap=,style=0|1[,algo=,corner=,miter=,arctol=]\n"
    "  lattice:u=,v=,angle=,bx=,by=,serp=0|1";

// The keys each kind accepts.
const std::map<std::string, std::set<std::string>> kKeys = {
    {"line",
     {"gap", "angle", "border", "dir", "bx", "by", "style", "contour", "algo", "corner", "miter",
      "arctol"}},
    {"optimized", {"gap", "angle", "border", "dir", "link", "style"}},
    {"incremental", {"gap", "angle", "step", "passes", "border", "dir", "style"}},
    {"offset", {"gap", "style", "algo", "corner", "miter", "arctol"}},
    {"inout", {"in", "incount", "out", "outcount", "algo", "corner", "miter", "arctol"}},
    {"helix", {"gap", "style", "algo", "corner", "miter", "arctol"}},
    {"lattice", {"u", "v", "angle", "bx", "by", "serp"}},
};

// Gaps between lines and rings, and counts, in the kinds' own key names.
const std::set<std::string> kPositive = {"gap", "in", "out", "u", "v"};
const std::set<std::string> kNonNegative = {"passes", "incount", "outcount", "link"};

struct Request {
  std::string kind;
  std::map<std::string, double> values;
  double Get(const char* key, double fallback) const {
    const auto it = values.find(key);
    return it == values.end() ? fallback : it->second;
  }
  float F(const char* key, double fallback = 0) const {
    return static_cast<float>(Get(key, fallback));
  }
  int I(const char* key, int fallback = 0) const { return static_cast<int>(Get(key, fallback)); }
  bool Ex() const {
    return values.count("algo") + values.count("corner") + values.count("miter") +
               values.count("arctol") >
           0;
  }
};

// "kind:key=value,..."; "dir" also takes in/out. Returns an error or "".
std::string Parse(const std::string& request, Request& r) {
  const auto colon = request.find(':');
  r.kind = request.substr(0, colon);
  const auto keys = kKeys.find(r.kind);
  if (keys == kKeys.end()) return "unknown hatch kind '" + r.kind + "'";
  if (colon == std::string::npos) return "";
  std::string rest = request.substr(colon + 1);
  while (!rest.empty()) {
    const auto comma = rest.find(',');
    const std::string item = rest.substr(0, comma);
    rest = comma == std::string::npos ? "" : rest.substr(comma + 1);
    const auto eq = item.find('=');
    if (eq == std::string::npos) return "expected key=value in '" + item + "'";
    const std::string key = item.substr(0, eq), value = item.substr(eq + 1);
    if (keys->second.count(key) == 0) return "'" + key + "' is not a " + r.kind + " key";
    if (key == "dir" && (value == "in" || value == "out")) {
      r.values[key] = value == "out" ? 1 : 0;
      continue;
    }
    char* end = nullptr;
    const double v = std::strtod(value.c_str(), &end);
    if (value.empty() || *end != '\0') return "'" + value + "' is not a number";
    if (!std::isfinite(v)) return key + "=" + value + " is not a finite number";
    // A gap of 0 would draw lines without end, a negative one lines running backwards.
    if (kPositive.count(key) != 0 && !(v > 0)) return key + "=" + value + " must be greater than 0";
    if (kNonNegative.count(key) != 0 && v < 0) return key + "=" + value + " must be at least 0";
    r.values[key] = v;
  }
  return "";
}

// The engine's requests, as Apply makes them.
struct EngineHatching {
  static constexpr auto Line = &AddTTFHatchPatternLine;
  static constexpr auto LineEx = &AddTTFHatchPatternLineEx;
  static constexpr auto Optimized = &AddTTFHatchPatternOptimized;
  static constexpr auto Incremental = &AddTTFHatchPatternIncremental;
  static constexpr auto Offset = &AddTTFHatchPatternOffsetFilling;
  static constexpr auto OffsetEx = &AddTTFHatchPatternOffsetFillingEx;
  static constexpr auto InOut = &AddTTFHatchPatternOffsetInOut;
  static constexpr auto InOutEx = &AddTTFHatchPatternOffsetInOutEx;
  static constexpr auto Helix = &AddTTFHatchPatternHelixFillingEx;
  static constexpr auto Lattice = &AddTTFHatchPatternLattice;
};

// The same requests to the command's own hatching library, for --weld: each length is
// multiplied by the unit size in float, as the engine does before it forwards a request, so
// the welded region gets the very values a character gets.
struct WeldHatching {
  static inline float unit = 1000.0f;
  static float U(float length) { return length * unit; }
  static int Line(float border, borderGapDirection dir, float gap, float angle, float bx, float by,
                  hatchStyle style, EN_Bool contour) {
    AddHatchPatternLine(U(border), dir, U(gap), angle, U(bx), U(by), style, contour);
    return 1;
  }
  static int LineEx(float border, borderGapDirection dir, float gap, float angle, float bx,
                    float by, hatchStyle style, EN_Bool contour, EN_OffsetAlgorithm algo,
                    EN_OffsetCornerStyle corner, int miter, int arctol) {
    AddHatchPatternLineEx(U(border), dir, U(gap), angle, U(bx), U(by), style, contour, algo, corner,
                          miter, arctol);
    return 1;
  }
  static int Optimized(float border, borderGapDirection dir, float gap, float angle, float link,
                       hatchStyle style) {
    AddHatchPatternOptimized(U(border), dir, U(gap), angle, U(link), style);
    return 1;
  }
  static int Incremental(float border, borderGapDirection dir, float gap, float angle, float step,
                         int passes, hatchStyle style) {
    AddHatchPatternIncremental(U(border), dir, U(gap), angle, step, passes, style);
    return 1;
  }
  static int Offset(float gap, EN_OffsetStyle style) {
    AddHatchPatternOffsetFilling(U(gap), style);
    return 1;
  }
  static int OffsetEx(float gap, EN_OffsetStyle style, EN_OffsetAlgorithm algo,
                      EN_OffsetCornerStyle corner, int miter, int arctol) {
    AddHatchPatternOffsetFillingEx(U(gap), style, algo, corner, miter, arctol);
    return 1;
  }
  static int InOut(float in, int in_count, float out, int out_count) {
    AddHatchPatternOffsetInOut(U(in), in_count, U(out), out_count);
    return 1;
  }
  static int InOutEx(float in, int in_count, float out, int out_count, EN_OffsetAlgorithm algo,
                     EN_OffsetCornerStyle corner, int miter, int arctol) {
    AddHatchPatternOffsetInOutEx(U(in), in_count, U(out), out_count, algo, corner, miter, arctol);
    return 1;
  }
  // The engine's helix request never connects the spirals.
  static int Helix(float gap, EN_HelixStyle style, EN_OffsetAlgorithm algo,
                   EN_OffsetCornerStyle corner, int miter, int arctol) {
    AddHatchPatternHelixFillingEx(U(gap), style, algo, corner, false, miter, arctol);
    return 1;
  }
  static int Lattice(float u, float v, float angle, float bx, float by, bool serpentine) {
    AddHatchPatternLattice(U(u), U(v), angle, U(bx), U(by), serpentine);
    return 1;
  }
};

// Makes the request through `Api`; returns its answer: 1 added, 0 refused.
template <typename Api>
int Apply(const Request& r) {
  const auto dir = static_cast<borderGapDirection>(r.I("dir"));
  const auto algo = static_cast<EN_OffsetAlgorithm>(r.I("algo"));
  const auto corner = static_cast<EN_OffsetCornerStyle>(r.I("corner"));
  if (r.kind == "line") {
    const auto style = static_cast<hatchStyle>(r.I("style"));
    const EN_Bool contour = r.I("contour") != 0 ? EN_TRUE : EN_FALSE;
    if (r.Ex()) {
      return Api::LineEx(r.F("border"), dir, r.F("gap", 0.05), r.F("angle"), r.F("bx"), r.F("by"),
                         style, contour, algo, corner, r.I("miter"), r.I("arctol"));
    } else {
      return Api::Line(r.F("border"), dir, r.F("gap", 0.05), r.F("angle"), r.F("bx"), r.F("by"),
                       style, contour);
    }
  } else if (r.kind == "optimized") {
    return Api::Optimized(r.F("border"), dir, r.F("gap", 0.05), r.F("angle"), r.F("link"),
                          static_cast<hatchStyle>(r.I("style")));
  } else if (r.kind == "incremental") {
    return Api::Incremental(r.F("border"), dir, r.F("gap", 0.05), r.F("angle"),
                            r.F("step", 1.5707963), r.I("passes", 2),
                            static_cast<hatchStyle>(r.I("style")));
  } else if (r.kind == "offset") {
    const auto style = static_cast<EN_OffsetStyle>(r.I("style"));
    if (r.Ex()) {
      return Api::OffsetEx(r.F("gap", 0.05), style, algo, corner, r.I("miter"), r.I("arctol"));
    } else {
      return Api::Offset(r.F("gap", 0.05), style);
    }
  } else if (r.kind == "inout") {
    if (r.Ex()) {
      return Api::InOutEx(r.F("in", 0.03), r.I("incount", 2), r.F("out", 0.03), r.I("outcount", 2),
                          algo, corner, r.I("miter"), r.I("arctol"));
    } else {
      return Api::InOut(r.F("in", 0.03), r.I("incount", 2), r.F("out", 0.03), r.I("outcount", 2));
    }
  } else if (r.kind == "helix") {
    return Api::Helix(r.F("gap", 0.05), static_cast<EN_HelixStyle>(r.I("style")), algo, corner,
                      r.I("miter"), r.I("arctol"));
  } else {
    return Api::Lattice(r.F("u", 0.05), r.F("v", 0.05), r.F("angle"), r.F("bx"), r.F("by"),
                        r.I("serp") != 0);
  }
}

}  // namespace

void AddHatchOptions(CLI::App& render, std::vector<std::string>& hatches, int& type) {
  render.add_option("--hatch", hatches, kHatchHelp)->take_all();
  render.add_option_function<std::string>(
      "--return",
      [&type](const std::string& name) {
        static const std::map<std::string, int> kTypes = {
            {"outline", 0},      {"fill", 1},         {"hatch", 2},
            {"outline+fill", 3}, {"fill+outline", 4}, {"outline+hatch+fill", 5}};
        const auto it = kTypes.find(name);
        if (it == kTypes.end()) throw CLI::ValidationError("--return", "unknown streams " + name);
        type = it->second;
      },
      "streams: outline, fill, hatch, outline+fill, fill+outline, outline+hatch+fill");
}

bool ApplyHatches(const std::vector<std::string>& hatches) {
  for (const std::string& request : hatches) {
    Request r;
    const std::string error = Parse(request, r);
    if (!error.empty()) {
      std::fprintf(stderr, "vuzodo: --hatch %s: %s\n", request.c_str(), error.c_str());
      return false;
    }
    if (Apply<EngineHatching>(r) == 0) {
      std::fprintf(stderr, "vuzodo: --hatch %s: refused by the engine\n", request.c_str());
      return false;
    }
  }
  return true;
}

void RegisterWeldHatches(const std::vector<std::string>& hatches, float unit) {
  ClearListOfHatchPatterns();
  qelhatching::SetUnitSize(unit);
  WeldHatching::unit = unit;
  for (const std::string& request : hatches) {
    Request r;
    if (Parse(request, r).empty()) Apply<WeldHatching>(r);
  }
}

}  // namespace vuzodo_cli
