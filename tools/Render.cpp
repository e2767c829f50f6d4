// vuzodo render: lays out a text through the C interface, as a host would, and
// writes its outlines as SVG.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "Commands.h"
#include "HatchOptions.h"
#include "vuzodo/vuzodo.h"

namespace vuzodo_cli {
namespace {
struct RenderOptions {
  std::string text = "VUZODO";
  std::string font = "Arial";
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
  float box_width = 0.0f;
  float box_height = 0.0f;
  bool wrap = false;
  int halign = 0;
  int valign = 0;
  float spacing = 1.0f;
  int spacing_style = 0;
  std::vector<std::string> hatches;  // --hatch requests, in order
};

// Writes the record array as an SVG path: y flipped, arcs as arcs, dots as
// small circles.
void WriteSvg(const int* data, int count, const float* box, const std::string& path) {
  std::ostringstream d, dots;
  long x = 0, y = 0;
  // The picture frames what is drawn; the engine's box may leave out the
  // descenders of lower lines.
  double minx = 1e300, miny = 1e300, maxx = -1e300, maxy = -1e300;
  auto widen = [&](double px, double py, double r) {
    minx = std::min(minx, px - r), maxx = std::max(maxx, px + r);
    miny = std::min(miny, py - r), maxy = std::max(maxy, py + r);
  };
  for (int p = 0; p + 2 < count;) {
    const int code = data[p];
    const long nx = x + data[p + 1], ny = y + data[p + 2];
    if (code == 41 || code == 466) {
      widen(x, y, 0);
      widen(nx, ny, 0);
    } else if (code == 42 && p + 4 < count) {
      widen(x + data[p + 3], y + data[p + 4], std::hypot(data[p + 3], data[p + 4]));
    }
    if (code == 40) {
      d << "M" << nx << " " << -ny << " ";
    } else if (code == 41) {
      d << "L" << nx << " " << -ny << " ";
    } else if (code == 42 && p + 4 < count) {
      const double cx = data[p + 3], cy = data[p + 4];
      const double r = std::hypot(cx, cy);
      const double cross = (-cx) * (data[p + 2] - cy) - (-cy) * (data[p + 1] - cx);
      d << "A" << r << " " << r << " 0 0 " << (cross > 0 ? 0 : 1) << " " << nx << " " << -ny << " ";
    } else if (code == 466) {
      dots << "<circle cx=\"" << nx << "\" cy=\"" << -ny << "\" r=\"8\"/>\n";
    }
    x = nx;
    y = ny;
    p += code == 42 ? 5 : 3;
  }
  if (minx > maxx) {  // nothing drawn: the engine's box
    minx = std::min(box[0], box[4]), maxx = std::max(box[0], box[4]);
    miny = std::min(box[1], box[5]), maxy = std::max(box[1], box[5]);
  }
  const double margin = 100;
  minx -= margin, miny -= margin, maxx += margin, maxy += margin;
  std::ofstream out(path);
  out << "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"" << minx << " " << -maxy << " "
      << (maxx - minx) << " " << (maxy - miny) << "\">\n"
      << "<path fill=\"none\" stroke=\"black\" stroke-width=\"6\" d=\"" << d.str() << "\"/>\n"
      << dots.str() << "</svg>\n";
}

// Appends the text as a host would. With markup, "_{...}" is set as a
// subscript and "^{...}" as a superscript: each run is its own append with
// the script mode switched before it, and the mode goes back afterwards.
// Returns how many appends the engine took.
int AppendText(std::u16string& text, bool markup) {
  if (!markup) return AppendCharactersEx(U16(text));
  int taken = 0;
  size_t at = 0;
  while (at < text.size()) {
    const size_t open = std::min(text.find(u"_{", at), text.find(u"^{", at));
    const size_t close = open == std::u16string::npos ? open : text.find(u'}', open);
    std::u16string plain = text.substr(at, close == std::u16string::npos ? close : open - at);
    if (!plain.empty()) taken += AppendCharactersEx(U16(plain));
    if (close == std::u16string::npos) break;
    std::u16string run = text.substr(open + 2, close - open - 2);
    if (text[open] == u'_') {
      SetModeSubscript();
    } else {
      SetModeSuperscript();
    }
    if (!run.empty()) taken += AppendCharactersEx(U16(run));
    SetModeNoscript();
    at = close + 1;
  }
  return taken;
}

int Render(const RenderOptions& o) {
  InitializeTTF(o.unit);
  SetDefaults();
  std::u16string face = ToUtf16(o.font), text = ToUtf16(o.text);
  SetFontFace(U16(face));
  SetFontStyle(static_cast<EN_TTFFontStyle>(o.style));
  if (SetTextHeight(o.height) == 0 || SetCharacterScale(o.scale[0], o.scale[1]) == 0 ||
      SetObliqueAngle(o.oblique) == 0) {
    std::fprintf(stderr, "vuzodo: height and scale must be > 0, oblique within +-1.35\n");
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
  if (!ApplyHatches(o.hatches)) return 2;
  if (AppendText(text, o.markup) == 0) {
    std::fprintf(stderr, "vuzodo: nothing to render\n");
    return 2;
  }
  int* data = nullptr;
  float box[8] = {0, 0, 0, 0, 0, 0, 0, 0};
  const int count = GetMultilineOutLines(-1, static_cast<EN_ReturnType>(o.type), &data, box);
  WriteSvg(data, count, box, o.output);
  DeleteTTFData(data);
  std::printf("%s: %d characters on %d lines, %d ints\n", o.output.c_str(), GetCharacterCount(-1),
              GetTextLineCount(), count);
  FinishText();
  return 0;
}

}  // namespace

void AddRenderCommand(CLI::App& app) {
  // The options live as long as the application: the callback runs after parsing.
  static RenderOptions options;
  auto* render = app.add_subcommand("render", "lay out a text and write its outlines as SVG");
  render->add_option("text", options.text, "text to render (\\n starts a new line)");
  render->add_option("-f,--font", options.font, "face name, or an .ttf/.otf/.shx/.ovf/.fnt file");
  render->add_option("-H,--height", options.height, "text height factor");
  render->add_option("-s,--style", options.style, "0 regular, 1 bold, 2 italic, 3 bold italic");
  render->add_option("-t,--return-type", options.type, "0 outlines, 1 fill, 2 hatch, 3-5 mixed");
  render->add_option("-o,--output", options.output, "SVG file to write");
  render->add_option("--unit", options.unit, "output units per user unit");
  render->add_option("--gap", options.gap, "extra gap between characters, user units");
  render->add_option("--angle", options.angle, "character rotation, radians");
  render->add_option("--oblique", options.oblique, "slant, radians (-1.35 to 1.35)");
  render->add_option("--scale", options.scale, "width and height factors")->expected(2);
  render->add_flag("--kern", options.kern, "automatic kerning");
  render->add_flag("--backward", options.backward, "characters run backward");
  render->add_flag("--upside-down", options.upside_down, "characters upside down");
  render->add_option("--script", options.script, "none, sub or super")
      ->check(CLI::IsMember({"none", "sub", "super"}));
  render->add_flag("--markup", options.markup,
                   "_{...} sets a subscript and ^{...} a superscript within the text");
  render->add_flag("--wrap", options.wrap, "word wrap at the box width");
  render->add_option("--box", options.box_width, "text box width, user units");
  render->add_option("--box-height", options.box_height, "text box height, user units");
  render->add_option("--align", options.halign, "0 left, 1 centre, 2 right");
  render->add_option("--valign", options.valign, "0 top, 1 middle, 2 bottom");
  render->add_option("--spacing", options.spacing, "line spacing factor");
  render->add_option("--spacing-style", options.spacing_style, "0 proportional, 1 fixed");
  AddHatchOptions(*render, options.hatches, options.type);
  render->callback([] {
    std::string& t = options.text;
    for (size_t at; (at = t.find("\\n")) != std::string::npos;) t.replace(at, 2, "\n");
    std::exit(Render(options));
  });
}

}  // namespace vuzodo_cli
