#include "HatchOptions.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>

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

// Returns the engine's answer: 1 added, 0 refused.
int Apply(const Request& r) {
  const auto dir = static_cast<borderGapDirection>(r.I("dir"));
  const auto algo = static_cast<EN_OffsetAlgorithm>(r.I("algo"));
  const auto corner = static_cast<EN_OffsetCornerStyle>(r.I("corner"));
  if (r.kind == "line") {
    const auto style = static_cast<hatchStyle>(r.I("style"));
    const EN_Bool contour = r.I("contour") != 0 ? EN_TRUE : EN_FALSE;
    if (r.Ex()) {
      return AddTTFHatchPatternLineEx(r.F("border"), dir, r.F("gap", 0.05), r.F("angle"), r.F("bx"),
                                      r.F("by"), style, contour, algo, corner, r.I("miter"),
                                      r.I("arctol"));
    } else {
      return AddTTFHatchPatternLine(r.F("border"), dir, r.F("gap", 0.05), r.F("angle"), r.F("bx"),
                                    r.F("by"), style, contour);
    }
  } else if (r.kind == "optimized") {
    return AddTTFHatchPatternOptimized(r.F("border"), dir, r.F("gap", 0.05), r.F("angle"),
                                       r.F("link"), static_cast<hatchStyle>(r.I("style")));
  } else if (r.kind == "incremental") {
    return AddTTFHatchPatternIncremental(r.F("border"), dir, r.F("gap", 0.05), r.F("angle"),
                                         r.F("step", 1.5707963), r.I("passes", 2),
                                         static_cast<hatchStyle>(r.I("style")));
  } else if (r.kind == "offset") {
    const auto style = static_cast<EN_OffsetStyle>(r.I("style"));
    if (r.Ex()) {
      return AddTTFHatchPatternOffsetFillingEx(r.F("gap", 0.05), style, algo, corner, r.I("miter"),
                                               r.I("arctol"));
    } else {
      return AddTTFHatchPatternOffsetFilling(r.F("gap", 0.05), style);
    }
  } else if (r.kind == "inout") {
    if (r.Ex()) {
      return AddTTFHatchPatternOffsetInOutEx(r.F("in", 0.03), r.I("incount", 2), r.F("out", 0.03),
                                             r.I("outcount", 2), algo, corner, r.I("miter"),
                                             r.I("arctol"));
    } else {
      return AddTTFHatchPatternOffsetInOut(r.F("in", 0.03), r.I("incount", 2), r.F("out", 0.03),
                                           r.I("outcount", 2));
    }
  } else if (r.kind == "helix") {
    return AddTTFHatchPatternHelixFillingEx(r.F("gap", 0.05),
                                            static_cast<EN_HelixStyle>(r.I("style")), algo, corner,
                                            r.I("miter"), r.I("arctol"));
  } else {
    return AddTTFHatchPatternLattice(r.F("u", 0.05), r.F("v", 0.05), r.F("angle"), r.F("bx"),
                                     r.F("by"), r.I("serp") != 0);
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
    if (Apply(r) == 0) {
      std::fprintf(stderr, "vuzodo: --hatch %s: refused by the engine\n", request.c_str());
      return false;
    }
  }
  return true;
}

}  // namespace vuzodo_cli
