// vuzodo render: lays out a text through the C interface, as a host would, and
// writes its outlines as SVG.
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <limits>
#include <numbers>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "Commands.h"
#include "FaceCheck.h"
#include "FontPath.h"
#include "HatchOptions.h"
#include "Machine.h"
#include "Order.h"
#include "Output.h"
#include "RenderLimits.h"
#include "TextInput.h"
#include "Weld.h"
#include "vuzodo/vuzodo.h"

namespace vuzodo_cli {
namespace {
struct RenderOptions {
  std::string text;             // UTF-8, line feeds and tabs as they are
  std::string source = "text";  // where the text came from, for messages
  std::string encoding;         // a big font's encoding; empty: UTF-16
  std::string font = "Arial";
  std::vector<std::string> font_dirs;  // --font-dir folders
  std::string font_file;               // what the engine loads for `font` (found, converted)
  std::string output = "out.svg";
  float height = 1.0f;
  int style = 0;
  int type = 0;
  float unit = 1000.0f;
  float gap = 0.0f;
  float angle = 0.0f;
  float oblique = 0.0f;
  std::vector<float> scale = {1.0f, 1.0f};
  bool kern = false;
  bool backward = false;
  bool upside_down = false;
  std::string script = "none";
  bool markup = false;
  double png_scale = 100.0;  // pixels per user unit
  double margin = 10.0;      // pixels
  float box_width = 0.0f;
  float box_height = 0.0f;
  bool wrap = false;
  int halign = 0;
  int valign = 0;
  float spacing = 1.0f;
  int spacing_style = 0;
  // Column and path modes.
  bool vertical = false;
  float vertical_gap = 0.0f;
  std::string circle;           // "R,CX,CY,ANGLE[,ccw]", user units and radians
  std::vector<float> polyline;  // x, y, x, y, ... user units
  std::string nurbs;            // file of a NURBS curve (see ReadNurbs)
  float path_start = 0.0f;      // arc length where the text starts, user units
  int path_align = 0;           // 0 baseline, 1 ascent, 2 descent, 3 strike-out line on the path
  double path_spacing = 0.0;    // baseline distance left of the path, user units
  bool flip = false;
  bool bend = false;
  std::vector<std::string> hatches;   // --hatch requests, in order
  std::vector<float> tabs;            // tab stops, user units
  std::vector<float> sub_props;       // subscript size and offset, percent
  std::vector<float> super_props;     // superscript size and offset, percent
  int fnt_mode = 0;                   // 0: the engine's default
  bool no_border = false;             // leave the outlines out (fill only)
  bool strict = false;                // warnings are errors: nothing is written
  Anchor anchor = Anchor::kBaseline;  // where (0, 0) of the SVG and DXF drawing lies
  double unit_length = 1.0;           // one user unit, as a length: SVG size, DXF units
  std::string unit_name = "mm";
  std::string format;      // "" from the output's name
  MachineOptions machine;  // G-code, HPGL and the estimate
  OrderOptions order;      // --optimize, --start and --end
  bool estimate = false;   // print the estimate instead of writing a file
  bool weld = false;       // unite the characters before outlining and hatching
};

// A NURBS curve as the interface takes it: control points in weighted form.
struct NurbsCurve {
  int degree = 3;
  std::vector<float> x, y, w;  // user units, x and y unweighted
  std::vector<float> knots;
};

// Reads a curve file: "degree P", one "point X Y [W]" per control point and,
// optionally, "knots K0 K1 ..." (a clamped uniform vector otherwise); lines
// starting with '#' are comments.
bool ReadNurbs(const std::string& file, NurbsCurve& curve) {
  std::ifstream in(file);
  if (!in) return false;
  std::string raw;
  while (std::getline(in, raw)) {
    std::istringstream line(raw);
    std::string key;
    if (!(line >> key) || key[0] == '#') continue;
    if (key == "degree") {
      line >> curve.degree;
    } else if (key == "point") {
      float x = 0, y = 0, w = 1;
      line >> x >> y;
      if (!(line >> w)) w = 1.0f;
      curve.x.push_back(x);
      curve.y.push_back(y);
      curve.w.push_back(w);
    } else if (key == "knots") {
      for (float k; line >> k;) curve.knots.push_back(k);
    }
  }
  const int n = static_cast<int>(curve.x.size());
  if (curve.knots.empty() && n > curve.degree && curve.degree > 0) {
    const int spans = n - curve.degree;
    for (int i = 0; i <= curve.degree; ++i) curve.knots.push_back(0.0f);
    for (int i = 1; i < spans; ++i) curve.knots.push_back(static_cast<float>(i) / spans);
    for (int i = 0; i <= curve.degree; ++i) curve.knots.push_back(1.0f);
  }
  return true;
}

// The point of the curve at u (de Boor on homogeneous points), user units.
// The drawing draws the path under the text with it.
void CurvePoint(const NurbsCurve& c, double u, double& x, double& y) {
  const int p = c.degree, n = static_cast<int>(c.x.size()) - 1;
  int k = p;
  while (k < n && u >= c.knots[k + 1]) ++k;
  std::vector<double> hx(p + 1), hy(p + 1), hw(p + 1);
  for (int j = 0; j <= p; ++j) {
    const int i = k - p + j;
    hx[j] = c.x[i] * c.w[i];
    hy[j] = c.y[i] * c.w[i];
    hw[j] = c.w[i];
  }
  for (int r = 1; r <= p; ++r) {
    for (int j = p; j >= r; --j) {
      const int i = k - p + j;
      const double den = c.knots[i + p - r + 1] - c.knots[i];
      const double a = den != 0.0 ? (u - c.knots[i]) / den : 0.0;
      hx[j] = (1 - a) * hx[j - 1] + a * hx[j];
      hy[j] = (1 - a) * hy[j - 1] + a * hy[j];
      hw[j] = (1 - a) * hw[j - 1] + a * hw[j];
    }
  }
  x = hx[p] / hw[p];
  y = hy[p] / hw[p];
}

// Path mode: the path settings, then the path itself (a circle, a polyline or
// a NURBS curve); its drawing goes into `guide`. Returns 0, or 2 on bad input.
int SetPathOptions(const RenderOptions& o, Guide& guide) {
  SetModePathText();
  SetPathTextAlign(static_cast<EN_PathTextAlign>(o.path_align));
  SetPathTextSpacing(o.path_spacing);
  SetPathTextFlip(o.flip ? EN_TRUE : EN_FALSE);
  SetDeformPathCharacters(o.bend ? EN_TRUE : EN_FALSE);
  const double u = o.unit;
  std::vector<std::pair<double, double>> drawn;
  int ok = 0;
  if (!o.circle.empty()) {
    float r = 0, cx = 0, cy = 0, a = 0;
    char dir[8] = "";
    const int n = std::sscanf(o.circle.c_str(), "%f,%f,%f,%f,%7s", &r, &cx, &cy, &a, dir);
    if (n < 4) {
      std::fprintf(stderr, "vuzodo: --circle takes R,CX,CY,ANGLE[,ccw]\n");
      return 2;
    }
    const bool ccw = std::string(dir) == "ccw";
    if (!(r > 0)) {
      std::fprintf(stderr, "vuzodo: --circle %s: the radius must be greater than 0\n",
                   o.circle.c_str());
      return 2;
    }
    // The circle always starts at its own start point; --path-start turns that point along
    // the running direction (the angle turns it the same way), so the whole circle stays
    // free for the text.
    a += o.path_start / r;
    ok = ccw ? SetNurbPathCircleCCW(r, cx, cy, a) : SetNurbPathCircleCW(r, cx, cy, a);
    // The path starts left of the centre, turned by the angle (clockwise for CW).
    for (int i = 0; i <= 180; ++i) {
      const double t = (ccw ? 1.0 : -1.0) * (a + i * 2.0 * std::numbers::pi / 180.0);
      drawn.emplace_back(u * (cx - r * std::cos(t)), u * (cy - r * std::sin(t)));
    }
  } else if (!o.polyline.empty()) {
    std::vector<float> points = o.polyline;
    ok = SetNurbPathPolyline(points.data(), static_cast<int>(points.size()), o.path_start);
    for (size_t i = 0; i + 1 < points.size(); i += 2) {
      drawn.emplace_back(u * points[i], u * points[i + 1]);
    }
  } else {
    NurbsCurve c;
    if (!ReadNurbs(o.nurbs, c)) {
      std::fprintf(stderr, "vuzodo: cannot read %s\n", o.nurbs.c_str());
      return 2;
    }
    std::vector<float> xw(c.x.size()), yw(c.y.size());
    for (size_t i = 0; i < c.x.size(); ++i) {
      xw[i] = c.x[i] * c.w[i];
      yw[i] = c.y[i] * c.w[i];
    }
    const int count = static_cast<int>(c.x.size());
    ok = SetNurbPathPoints(c.degree, count, xw.data(), yw.data(), c.w.data(),
                           static_cast<int>(c.knots.size()), c.knots.data(), o.path_start);
    if (ok != 0) {
      const double lo = c.knots[c.degree], hi = c.knots[count];
      for (int i = 0; i <= 400; ++i) {
        double x = 0, y = 0;
        CurvePoint(c, lo + (hi - lo) * i / 400.0, x, y);
        drawn.emplace_back(u * x, u * y);
      }
    }
  }
  if (ok == 0) {
    std::fprintf(stderr, "vuzodo: the path was refused (too few points, bad weights or knots)\n");
    return 2;
  }
  // A flipped path runs from its end: the start dot moves there.
  if (o.flip) std::reverse(drawn.begin(), drawn.end());
  guide.Polyline(drawn);
  return 0;
}

// Appends the text as a host would. With markup, "_{...}" is set as a
// subscript and "^{...}" as a superscript: each run is its own append with
// the script mode switched before it, and the mode goes back afterwards.
// Returns how many appends the engine took.
// `laid` collects the characters handed to the engine (markup left out).
int AppendText(std::u16string& text, bool markup, std::u16string& laid) {
  if (!markup) {
    laid += text;
    return AppendCharactersEx(U16(text));
  }
  int taken = 0;
  size_t at = 0;
  while (at < text.size()) {
    const size_t open = std::min(text.find(u"_{", at), text.find(u"^{", at));
    const size_t close = open == std::u16string::npos ? open : text.find(u'}', open);
    std::u16string plain = text.substr(at, close == std::u16string::npos ? close : open - at);
    laid += plain;
    if (!plain.empty()) taken += AppendCharactersEx(U16(plain));
    if (close == std::u16string::npos) break;
    std::u16string run = text.substr(open + 2, close - open - 2);
    if (text[open] == u'_') {
      SetModeSubscript();
    } else {
      SetModeSuperscript();
    }
    laid += run;
    if (!run.empty()) taken += AppendCharactersEx(U16(run));
    SetModeNoscript();
    at = close + 1;
  }
  return taken;
}

// A height the engine can lay out at the unit size, or a message saying why not.
std::string HeightProblem(float height, float unit) {
  char text[160];
  if (std::isnan(height)) {
    std::snprintf(text, sizeof text, "-H %g: the height is not a number", height);
  } else if (height < 0) {
    std::snprintf(text, sizeof text, "-H %g: a negative height; it must be greater than 0", height);
  } else if (height == 0) {
    std::snprintf(text, sizeof text,
                  "-H 0: a zero height draws nothing; it must be greater than 0");
  } else if (height > limits::MaxHeight(unit)) {
    std::snprintf(text, sizeof text,
                  "-H %g: too large; at --unit %g it must be at most %g (an em of int32 records)",
                  height, unit, limits::MaxHeight(unit));
  } else {
    return "";
  }
  return text;
}

// Whether every record and every pen position stays inside the records' int32 range; a clamped
// coordinate draws garbage.
bool RecordsInRange(const int* data, int count) {
  long long x = 0, y = 0;
  for (int p = 0; p + 2 < count && data[p] != -1; p += data[p] == 42 ? 5 : 3) {
    const int n = data[p] == 42 ? 5 : 3;
    for (int k = 1; k < n && p + k < count; ++k) {
      if (data[p + k] == limits::kRecordMin || data[p + k] == limits::kRecordMax) return false;
    }
    x += data[p + 1];
    y += data[p + 2];
    if (std::llabs(x) > limits::kRecordMax || std::llabs(y) > limits::kRecordMax) return false;
  }
  return true;
}

// Warnings name a problem in what was drawn; under --strict each is an error and stops the
// render before anything is written. Returns whether the render may go on.
bool Warn(bool strict, const std::string& message) {
  std::fprintf(stderr, "vuzodo: %s%s\n", strict ? "" : "warning: ", message.c_str());
  return !strict;
}

// The codes the face lacks (the engine draws its stand-in box or a blank for them), each once;
// control characters (line feeds, tabs) are not drawn, and U+FFFF stands in for characters
// past U+FFFF, which have their own warning. The text holds no surrogate pairs: each unit is
// one character, or one big-font code.
std::vector<char16_t> MissingCharacters(const std::u16string& laid, const FaceCheck& face) {
  std::vector<char16_t> missing;
  std::set<char16_t> seen;
  for (const char16_t c : laid) {
    if (c < 0x20 || c == 0x7F || c == 0xFFFF || face.covers(c) || !seen.insert(c).second) continue;
    missing.push_back(c);
  }
  return missing;
}

// A TrueType font is scaled by a whole number of 1/U: its scale is
// trunc(U x U / top of "A") / U, the top in whole pixels of the font realised
// 10000 pixels high. Below U = 1000 the cut shrinks the text visibly, and at
// very small U the scale is 0. The font's "A" is laid out once, at height 1,
// to see how tall it comes out. Returns 2, having said why, when nothing
// would be drawn; otherwise 0, after a warning when "A" is 1% or more short.
int CheckUnitSize(const RenderOptions& o, std::u16string& face) {
  if (FontKind(o.font_file) != "TrueType") return 0;
  std::u16string a = u"A";
  AppendCharactersEx(U16(a));
  int* data = nullptr;
  float box[8] = {0, 0, 0, 0, 0, 0, 0, 0};
  GetOutLinesEx(-1, EN_RT_BORDER, &data, box);
  DeleteTTFData(data);
  FinishText();
  const double ratio = (box[5] - box[1]) / o.unit;
  if (!(ratio > 0.0)) {
    std::fprintf(stderr,
                 "vuzodo: at --unit %g the scale of %s truncates to 0 (it is a whole number of "
                 "1/U): nothing would be drawn; use --unit 1000 or more\n",
                 o.unit, o.font.c_str());
    return 2;
  }
  if (ratio < 0.99) {
    FontInformation info{};
    GetFontInformation(U16(face), static_cast<EN_TTFFontStyle>(o.style), &info);
    std::fprintf(stderr,
                 "vuzodo: warning: at --unit %g TrueType text comes out at %.1f%% of its height "
                 "(\"A\" of height 1 is %.4g units, not %g): the font scale is %d/%g, %.4g/%g cut "
                 "to a whole number of 1/U; use --unit 1000 or more\n",
                 o.unit, 100.0 * ratio, ratio * o.unit, o.unit, info.designHeight, o.unit,
                 info.designHeight / ratio, o.unit);
  }
  return 0;
}

// A stroke font (SHX, FNT) hands the hatching its strokes, and strokes enclose
// an area only where one returns to its start ("O") or several meet end to
// end into a loop ("D"); a stroke that ends on the middle of another ("B")
// closes nothing. Names the characters of the text that got no hatching,
// each laid out on its own with the same settings.
void ReportUnhatchedStrokes(const RenderOptions& o, const std::u16string& text) {
  const std::string kind = FontKind(o.font_file);
  if ((kind != "SHX" && kind != "FNT") || o.hatches.empty() || o.type == EN_RT_BORDER) return;
  auto draws = [](EN_ReturnType type) {
    int* data = nullptr;
    const int n = GetOutLinesEx(-1, type, &data, nullptr);
    bool any = false;
    for (int p = 0; p < n && data[p] != -1 && !any; p += data[p] == 42 ? 5 : 3) {
      any = data[p] != 40;
    }
    DeleteTTFData(data);
    return any;
  };
  std::u16string seen, missing;
  for (const char16_t c : text) {
    const bool syntax = o.markup && std::u16string_view(u"_^{}").find(c) != std::u16string::npos;
    if (syntax || c == u' ' || c == u'\t' || c == u'\n' || seen.find(c) != std::u16string::npos) {
      continue;
    }
    seen += c;
    FinishText();
    std::u16string one(1, c);
    AppendCharactersEx(U16(one));
    if (!draws(EN_RT_FILL) && !draws(EN_RT_HATCH_POLYLINES)) missing += c;
  }
  FinishText();
  if (missing.empty()) return;
  std::string list;
  for (const char16_t c : missing) {
    if (c < 0x80) {
      list += static_cast<char>(c);
    } else {
      char code[16];
      std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(c));
      list += code;
    }
    list += ' ';
  }
  list.pop_back();
  std::fprintf(stderr,
               "vuzodo: warning: %s is a stroke font, hatched only where a stroke returns to "
               "its start or strokes meet end to end into a loop; no hatching for: %s\n",
               o.font.c_str(), list.c_str());
}

// The ints the streams of return type `type` take, the end mark of each included, as the
// engine counts them.
int WeldedInts(const Layers& layers, int type) {
  const size_t o = layers.outline.size(), f = layers.fill.size(), h = layers.hatch.size();
  const size_t counts[] = {o, f, h, o + f - 1, o + f - 1, o + f + h - 2};
  return static_cast<int>(counts[type]);
}

int Render(const RenderOptions& given) {
  RenderOptions o = given;
  const FontFile font = FindFont(o.font, o.font_dirs);
  if (!font.error.empty()) {
    std::fprintf(stderr, "vuzodo: -f %s: %s\n", o.font.c_str(), font.error.c_str());
    return 2;
  }
  o.font_file = font.path;
  if (const std::string problem = HeightProblem(o.height, o.unit); !problem.empty()) {
    std::fprintf(stderr, "vuzodo: %s\n", problem.c_str());
    return 2;
  }
  InitializeTTF(o.unit);
  SetDefaults();
  std::vector<char32_t> outside;
  const auto units = ToCodeUnits(o.text, o.encoding, o.source, outside);
  if (!units) return 2;
  std::u16string face = ToUtf16(o.font_file), text = *units;
  SetFontFace(U16(face));
  SetFontStyle(static_cast<EN_TTFFontStyle>(o.style));
  if (o.fnt_mode != 0) SetFNTConversionMode(static_cast<EN_FNT_ConvertionStyle>(o.fnt_mode));
  // After the FNT mode: checking a shape font loads it, and it is built under the mode then.
  const FaceCheck check = CheckFace(o.font_file, o.style);
  if (!check.error.empty()) {
    std::fprintf(stderr, "vuzodo: -f %s: %s\n", o.font.c_str(), check.error.c_str());
    return 2;
  }
  if (!check.substitute.empty() &&
      !Warn(o.strict, "-f " + o.font + ": not installed; fontconfig gives " + check.substitute)) {
    return 2;
  }
  for (const char32_t c : outside) {
    char code[16];
    std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(c));
    if (!Warn(o.strict, o.source + ": " + code +
                            " is past U+FFFF, beyond the engine's 16-bit characters: drawn as one "
                            "missing-character box")) {
      return 2;
    }
  }
  if (o.vertical && text.find(u'\n') != std::u16string::npos &&
      !Warn(o.strict,
            "--vertical: a line feed does not start a new column; each takes a cell "
            "of the column, drawn as the font's U+000A (often its missing-character "
            "box)")) {
    return 2;
  }
  if (CheckUnitSize(o, face) != 0) return 2;
  SetTextHeight(o.height);
  if (SetCharacterScale(o.scale[0], o.scale[1]) == 0) {
    std::fprintf(stderr, "vuzodo: --scale %g,%g: both factors must be greater than 0\n", o.scale[0],
                 o.scale[1]);
    return 2;
  }
  if (SetObliqueAngle(o.oblique) == 0) {
    std::fprintf(stderr, "vuzodo: --oblique %g: must be within -%g to %g radians\n", o.oblique,
                 limits::kMaxOblique, limits::kMaxOblique);
    return 2;
  }
  SetHorizontalCharGap(o.gap);
  SetCharacterAngle(o.angle);
  SetAutoKern(o.kern ? EN_TRUE : EN_FALSE);
  if (o.backward) SetModeCharacterBackward();
  if (o.upside_down) SetModeCharacterUpsideDown();
  if (o.script == "sub") SetModeSubscript();
  if (o.script == "super") SetModeSuperscript();
  SetModeWordWrap(o.wrap ? EN_TRUE : EN_FALSE);
  SetTextBoxWidth(o.box_width);
  SetTextBoxHeight(o.box_height);
  SetTextHorizontalAlign(static_cast<EN_TextHorizontalAlignStyle>(o.halign));
  SetTextVerticalAlign(static_cast<EN_TextVerticalAlignStyle>(o.valign));
  SetLineSpacing(o.spacing);
  SetLineSpacingStyle(static_cast<EN_LineSpaceStyle>(o.spacing_style));
  if (!o.tabs.empty()) {
    std::vector<float> stops = o.tabs;
    SetIndentPositions(stops.data(), static_cast<int>(stops.size()));
  }
  if (o.sub_props.size() == 2 && SetPropsSubscript(o.sub_props[0], o.sub_props[1]) == 0) {
    std::fprintf(stderr, "vuzodo: subscript size must be > 0 and offset >= 0\n");
    return 2;
  }
  if (o.super_props.size() == 2 && SetPropsSuperscript(o.super_props[0], o.super_props[1]) == 0) {
    std::fprintf(stderr, "vuzodo: superscript size must be > 0 and offset >= 0\n");
    return 2;
  }
  // Welding needs the characters' outlines even when they are not drawn.
  if (o.no_border && !o.weld) IncludeBorder(EN_FALSE);
  Guide guide;
  if (o.vertical) {
    SetModeVertical();
    SetVerticalCharGap(o.vertical_gap);
  } else if (!o.circle.empty() || !o.polyline.empty() || !o.nurbs.empty()) {
    if (SetPathOptions(o, guide) != 0) return 2;
  }
  if (!ApplyHatches(o.hatches)) return 2;
  if (o.weld) {
    // The union is hatched instead of each character: the engine hatches nothing.
    ClearTTFHatchPatterns();
    RegisterWeldHatches(o.hatches, o.unit);
  }
  std::u16string laid;
  const auto append = [&o, &laid](std::u16string& piece) {
    return AppendText(piece, o.markup, laid);
  };
  // A column is one append: each append adds the row gap once more, and a line feed there is a
  // character of the column, not a break between pieces.
  // Hatching makes each character costly (the finer the gap, the more): hatched texts get the
  // bar from a tenth of the length.
  const size_t long_text = o.hatches.empty() ? 20000 : 2000;
  // Wrapping and markup look ahead, and a path lays out the whole run at once (fitting,
  // alignment): those lines go in whole.
  const bool on_path = !o.circle.empty() || !o.polyline.empty() || !o.nurbs.empty();
  const size_t max_piece = o.wrap || o.markup || on_path ? 0 : long_text / 20;
  const int taken =
      o.vertical ? append(text) : AppendWithProgress(text, long_text, max_piece, append);
  if (taken == 0) {
    std::fprintf(stderr, "vuzodo: nothing to render\n");
    return 2;
  }
  for (const char16_t c : MissingCharacters(laid, check)) {
    char code[16];
    std::snprintf(code, sizeof code, o.encoding.empty() ? "U+%04X" : "code %04X",
                  static_cast<unsigned>(c));
    if (!Warn(o.strict,
              "-f " + o.font + " has no " + code + ": drawn as its missing-character box")) {
      return 2;
    }
  }
  if (!o.vertical && (!o.circle.empty() || !o.polyline.empty() || !o.nurbs.empty())) {
    // On a path a character that would pass the path's end ends its append: it and the rest
    // are dropped. Line feeds are lines, not characters.
    const long in = static_cast<long>(laid.size() - std::count(laid.begin(), laid.end(), u'\n'));
    const long placed = GetCharacterCount(-1);
    const std::string path = !o.circle.empty()     ? "--circle " + o.circle
                             : !o.polyline.empty() ? std::string("--polyline")
                                                   : "--nurbs " + o.nurbs;
    if (placed < in &&
        !Warn(o.strict, path + ": " + std::to_string(in) + " in, " + std::to_string(placed) +
                            " laid out; the rest would pass the path's end")) {
      return 2;
    }
  }
  int* data = nullptr;
  float box[8] = {0, 0, 0, 0, 0, 0, 0, 0};
  const int count = GetMultilineOutLines(-1, static_cast<EN_ReturnType>(o.type), &data, box);
  if (!RecordsInRange(data, count)) {
    std::fprintf(stderr,
                 "vuzodo: -H %g at --unit %g: the drawing spans past the int32 range of its "
                 "records; lower -H or --unit\n",
                 o.height, o.unit);
    DeleteTTFData(data);
    return 2;
  }
  DeleteTTFData(data);
  OutputOptions out;
  out.text = o.text;
  out.unit = o.unit;
  out.png_scale = o.png_scale;
  out.margin = o.margin;
  out.anchor = o.anchor;
  out.on_path = !o.vertical && (!o.circle.empty() || !o.polyline.empty() || !o.nurbs.empty());
  out.unit_length = o.unit_length;
  out.unit_name = o.unit_name;
  out.format = o.format;
  out.guide = guide;
  out.machine = o.machine;
  if (o.weld) {
    Layers welded;
    if (const std::string error = WeldLayers(!o.no_border, o.unit, welded); !error.empty()) {
      std::fprintf(stderr, "vuzodo: --weld: %s\n", error.c_str());
      return 2;
    }
    out.layers = std::move(welded);
  }
  out.order = o.order;
  if (o.estimate) return PrintEstimate(out);
  const int written = WriteOutput(o.output, out);
  if (written != 0) return written;
  // On standard output the drawing is the output; the summary goes beside it.
  std::fprintf(o.output == "-" ? stderr : stdout, "%s: %d characters on %d lines, %d ints\n",
               o.output == "-" ? "standard output" : o.output.c_str(), GetCharacterCount(-1),
               GetTextLineCount(), o.weld ? WeldedInts(*out.layers, o.type) : count);
  if (!o.vertical && (!o.circle.empty() || !o.polyline.empty() || !o.nurbs.empty())) {
    std::printf("path position %g\n", GetPathLengthOfCharacters() / o.unit);
  }
  if (o.weld) ApplyHatches(o.hatches);  // the engine hatches each stroke character alone
  ReportUnhatchedStrokes(o, text);
  FinishText();
  return 0;
}

}  // namespace

// render, or estimate: the same layout, then its estimate instead of a file.
static void AddLayoutCommand(CLI::App& app, bool estimate) {
  // The options live as long as the application: the callback runs after parsing. Only one
  // command runs, so both share them.
  static RenderOptions options;
  auto* render =
      estimate ? app.add_subcommand("estimate",
                                    "lay out a text as render does and print how long a machine "
                                    "takes to mark it")
               : app.add_subcommand("render", "lay out a text and write its outlines as SVG");
  render->option_defaults()->always_capture_default();
  render->add_option("text", options.text,
                     "text to render, UTF-8 (\\n starts a new line, \\t is a tab); or -i");
  render->add_option("-f,--font", options.font,
                     "face name, or an .ttf/.otf/.shx/.ovf/.fnt/.lff file (searched in --font-dir "
                     "and VUZODO_FONT_PATH)");
  AddFontDirOption(*render, options.font_dirs);
  render->add_option("-H,--height", options.height, "text height factor");
  render->add_option("-s,--style", options.style, "0 regular, 1 bold, 2 italic, 3 bold italic")
      ->check(CLI::Range(0, limits::kMaxStyle));
  render
      ->add_option(
          "-t,--return-type", options.type,
          "0 outline, 1 fill, 2 hatch, 3 outline+fill, 4 fill+outline, 5 outline+hatch+fill")
      ->check(CLI::Range(0, limits::kMaxReturnType));
  if (!estimate) {
    render->add_option("-o,--output", options.output,
                       "file to write: .svg, .dxf, .png, .json, .gcode or .hpgl; - for standard "
                       "output");
    render
        ->add_option("--format", options.format,
                     "svg, dxf, png, json, gcode or hpgl (default: from -o's name)")
        ->check(CLI::IsMember({"svg", "dxf", "png", "json", "gcode", "hpgl"}));
  }
  AddMachineOptions(*render, options.machine);
  AddOrderOptions(*render, options.order);
  render
      ->add_option_function<std::string>(
          "--anchor",
          [](const std::string& name) {
            options.anchor = name == "top-left" ? Anchor::kTopLeft
                             : name == "centre" ? Anchor::kCentre
                                                : Anchor::kBaseline;
          },
          "where (0,0) of SVG, DXF, G-code and HPGL lies: baseline (of the first line; default), "
          "top-left or "
          "centre (of the drawing)")
      ->check(CLI::IsMember({"baseline", "top-left", "centre"}));
  render->add_option_function<std::string>(
      "--user-unit",
      [](const std::string& text) {
        const std::string error = ParseUserUnit(text, options.unit_length, options.unit_name);
        if (!error.empty()) throw CLI::ValidationError("--user-unit", error);
      },
      "one user unit as a length: mm, cm, m or in (default 1mm): SVG size, DXF $INSUNITS");
  render->add_option("--unit", options.unit, "output units per user unit")
      ->check(AtLeast(0, false));
  render->add_option("--gap", options.gap, "extra gap between characters, user units");
  render->add_option("--angle", options.angle, "character rotation, radians");
  render->add_option("--oblique", options.oblique, "slant, radians (-1.35 to 1.35)");
  render->add_option("--scale", options.scale, "width and height factors")->expected(2);
  render->add_flag("--kern", options.kern, "automatic kerning");
  render->add_flag("--backward", options.backward, "characters run backward");
  render->add_flag("--upside-down", options.upside_down, "characters upside down");
  render->add_option("--script", options.script, "none, sub or super")
      ->check(CLI::IsMember({"none", "sub", "super"}));
  render->add_option("--png-scale", options.png_scale, "PNG pixels per user unit");
  render->add_option("--margin", options.margin, "PNG margin in pixels");
  render->add_flag("--markup", options.markup,
                   "_{...} sets a subscript and ^{...} a superscript within the text");
  render->add_flag("--wrap", options.wrap, "word wrap at the box width");
  render->add_option("--box", options.box_width, "text box width, user units")->check(AtLeast(0));
  render->add_option("--box-height", options.box_height, "text box height, user units")
      ->check(AtLeast(0));
  render->add_option("--align", options.halign, "0 left, 1 centre, 2 right")
      ->check(CLI::Range(0, limits::kMaxAlign));
  render->add_option("--valign", options.valign, "0 top, 1 middle, 2 bottom")
      ->check(CLI::Range(0, limits::kMaxAlign));
  render->add_option("--spacing", options.spacing, "line spacing factor");
  render->add_option("--spacing-style", options.spacing_style, "0 proportional, 1 fixed")
      ->check(CLI::Range(0, limits::kMaxSpacingStyle));
  static std::string input;
  render->add_option("-i,--input", input, "read the text from a file (- for standard input)");
  render
      ->add_option("--encoding", options.encoding,
                   "big font: turn the text into the font's double-byte codes")
      ->check(CLI::IsMember(BigFontEncodings()));
  render->add_option("--tabs", options.tabs, "tab stops x,x,... user units")
      ->delimiter(',')
      ->check(AtLeast(0));
  render->add_option("--sub-props", options.sub_props, "subscript SIZE,OFFSET in percent")
      ->delimiter(',')
      ->expected(2);
  render->add_option("--super-props", options.super_props, "superscript SIZE,OFFSET in percent")
      ->delimiter(',')
      ->expected(2);
  render->add_option("--fnt-mode", options.fnt_mode, "FNT arcs: 1 as arcs, 2 as points")
      ->check(CLI::IsMember({1, 2}));
  render->add_flag("--no-border", options.no_border, "leave the character outlines out");
  render->add_flag("--weld", options.weld,
                   "unite the characters (nonzero rule) before hatching: draw the union's "
                   "outline and hatch it once, so overlaps are marked once");
  render->add_flag("--vertical", options.vertical, "stack the characters in a column");
  render->add_option("--vgap", options.vertical_gap, "extra gap between rows, user units");
  render->add_option("--circle", options.circle,
                     "text on a circle R,CX,CY,ANGLE[,ccw]: at ANGLE 0 the text starts left of "
                     "the centre and runs clockwise (up first), or counter-clockwise (down "
                     "first) with ccw; ANGLE (radians) turns the start point the way the text "
                     "runs");
  render->add_option("--polyline", options.polyline, "text on a polyline x,y,x,y,...")
      ->delimiter(',');
  render->add_option("--nurbs", options.nurbs,
                     "text on a NURBS curve file: 'degree P', 'point X Y [W]'..., ['knots ...']");
  render->add_option("--path-start", options.path_start,
                     "arc length where the text starts, user units (on a circle: turns its "
                     "start point that far along)");
  render
      ->add_option("--path-align", options.path_align,
                   "line on the path: 0 baseline, 1 ascent, 2 descent, 3 strike-out")
      ->check(CLI::Range(0, limits::kMaxPathAlign));
  render->add_option("--path-spacing", options.path_spacing,
                     "baseline distance left of the path, user units");
  render->add_flag("--flip", options.flip, "run the text from the path's end");
  render->add_flag("--bend", options.bend, "bend the characters along the path");
  render->add_flag("--strict", options.strict,
                   "a substituted family, characters the font lacks and characters past the "
                   "path's end are errors, not warnings; nothing is written");
  AddHatchOptions(*render, options.hatches, options.type);
  render->callback([render, estimate] {
    options.estimate = estimate;
    std::string& t = options.text;
    if (!input.empty()) {
      const auto text = ReadTextInput(input);
      if (!text) std::exit(1);
      t = *text;
      options.source = input == "-" ? "standard input" : "-i " + input;
    } else if (render->get_option("text")->count() == 0) {
      std::fprintf(stderr, "vuzodo: %s: no text; give it as an argument or with -i FILE\n",
                   render->get_name().c_str());
      std::exit(2);
    } else {
      const auto text = NormaliseText(t, "text");
      if (!text) std::exit(2);
      t = *text;
    }
    // On the command line "\n" starts a line and "\t" is a tab. One pass into
    // a new string: in-place replace loops trip GCC 12's -Wrestrict at -O3.
    if (input.empty()) {
      std::string unescaped;
      unescaped.reserve(t.size());
      for (size_t i = 0; i < t.size(); ++i) {
        if (t[i] == '\\' && i + 1 < t.size() && (t[i + 1] == 'n' || t[i + 1] == 't')) {
          unescaped += t[i + 1] == 'n' ? '\n' : '\t';
          ++i;
        } else {
          unescaped += t[i];
        }
      }
      t = std::move(unescaped);
    }
    std::exit(Render(options));
  });
}

void AddRenderCommand(CLI::App& app) {
  AddLayoutCommand(app, false);
  AddLayoutCommand(app, true);
}

}  // namespace vuzodo_cli
