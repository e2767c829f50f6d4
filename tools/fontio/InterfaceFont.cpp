#include "InterfaceFont.h"

#include <algorithm>
#include <charconv>
#include <set>
#include <string_view>

#include "vuzodo/vuzodo.h"

namespace vuzodo_fontio {

namespace {

unsigned short* U16(std::u16string& s) {
  return reinterpret_cast<unsigned short*>(s.data());
}

struct Rendered {
  std::vector<int> records;
  double advance = 0;
  bool operator==(const Rendered&) const = default;
};

// Lays out one character alone on a line at the origin and fetches its records and advance.
Rendered RenderOne(char16_t code) {
  std::u16string text(1, code);
  Rendered out;
  if (AppendCharactersEx(U16(text)) == 0) return out;
  int* data = nullptr;
  float box[10] = {};
  const int count = GetOutLinesEx(0, EN_RT_BORDER, &data, box);
  for (int p = 0; data != nullptr && p < count;) {
    const int length = RecordLength(data[p]);
    if (length == 0 || p + length > count) break;
    out.records.insert(out.records.end(), data + p, data + p + length);
    p += length;
  }
  out.advance = box[8];  // the pen after the character, which started at the origin
  DeleteTTFData(data);
  FinishText();
  return out;
}

// Scale and baseline shift the layout gives a script character: the same glyph drawn plain
// and scripted, y' = scale * y + shift.
void MeasureScript(char16_t code, const InkBox& plain, bool superscript, double& scale,
                   double& shift) {
  superscript ? SetModeSuperscript() : SetModeSubscript();
  const auto box = RecordInkBox(RenderOne(code).records);
  SetModeNoscript();
  if (!box) return;
  scale = (box->max_y - box->min_y) / (plain.max_y - plain.min_y);
  shift = box->min_y - scale * plain.min_y;
  if (!superscript) shift = -shift;
}

bool ParseCode(std::string_view s, int& code) {
  int base = 10;
  if (s.size() > 2 &&
      (s.starts_with("0x") || s.starts_with("0X") || s.starts_with("U+") || s.starts_with("u+"))) {
    s.remove_prefix(2);
    base = 16;
  }
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), code, base);
  return ec == std::errc() && end == s.data() + s.size() && code >= 1 && code <= 0xFFFF;
}

}  // namespace

std::vector<int> DefaultCodes() {
  std::vector<int> codes;
  for (int c = 0x20; c <= 0x7E; ++c) codes.push_back(c);
  for (int c = 0xA0; c <= 0xFF; ++c) codes.push_back(c);
  return codes;
}

bool ParseCodeRanges(const std::string& text, std::vector<int>& codes, std::string& error) {
  std::string_view rest = text;
  while (true) {
    const std::size_t comma = rest.find(',');
    const std::string_view item = rest.substr(0, comma);
    const std::size_t dash = item.find('-');
    int first = 0, last = 0;
    const bool ok = dash == std::string_view::npos ? ParseCode(item, first) && ParseCode(item, last)
                                                   : ParseCode(item.substr(0, dash), first) &&
                                                         ParseCode(item.substr(dash + 1), last);
    if (!ok || first > last) {
      error = "not a code or range of codes in 1..0xFFFF: \"" + std::string(item) + "\"";
      return false;
    }
    for (int c = first; c <= last; ++c) codes.push_back(c);
    if (comma == std::string_view::npos) return true;
    rest.remove_prefix(comma + 1);
  }
}

InterfaceFont ReadThroughInterface(const ReadOptions& options) {
  InterfaceFont font;
  font.unit = options.unit;
  InitializeTTF(options.unit);
  SetDefaults();
  // The mode applies to fonts loaded from now on; InitializeTTF has just unloaded them all.
  SetFNTConversionMode(static_cast<EN_FNT_ConvertionStyle>(options.fnt_mode));
  std::u16string face = options.face;
  SetFontFace(U16(face));
  SetFontStyle(static_cast<EN_TTFFontStyle>(options.style));

  // Fonts read whole at load (SHX, FNT) list their characters; the others list none yet.
  int* list = nullptr;
  const int listed = GetCustomFontRange(&list);
  const std::vector<int> own_codes(list, list + std::max(listed, 0));
  DeleteTTFData(list);
  const std::set<int> own(own_codes.begin(), own_codes.end());
  const std::vector<int>& codes =
      !options.codes.empty() ? options.codes : (own.empty() ? DefaultCodes() : own_codes);

  const Rendered missing = RenderOne(u'\xFFFF');
  std::set<int> done;
  for (int code : codes) {
    if (code <= 0 || code > 0xFFFF || code == 9 || code == 10 || !done.insert(code).second) {
      continue;
    }
    Rendered r = RenderOne(static_cast<char16_t>(code));
    if (!own.contains(code) && r == missing) continue;
    font.glyphs.push_back(RecordGlyph{code, std::move(r.records), r.advance});
  }
  if (font.glyphs.empty()) return font;

  // Line metrics: every character of one font sets the same ones.
  std::u16string probe(1, static_cast<char16_t>(font.glyphs.front().code));
  AppendCharactersEx(U16(probe));
  font.metrics.ascent = GetMaximumAscent();
  font.metrics.descent = GetMaximumDecent();
  font.metrics.line_gap = GetMaximumLineGap();
  FinishText();
  FontInformation info{};
  GetFontInformation(U16(face), static_cast<EN_TTFFontStyle>(options.style), &info);
  font.metrics.box_top = std::max(info.boxTop, 0);

  // Script placement, measured on "A" or else the first character with some height.
  const RecordGlyph* reference = nullptr;
  std::optional<InkBox> reference_box;
  for (const RecordGlyph& g : font.glyphs) {
    const auto box = RecordInkBox(g.records);
    if (!box || box->max_y <= box->min_y) continue;
    if (reference == nullptr || g.code == 'A') {
      reference = &g;
      reference_box = box;
    }
    if (g.code == 'A') break;
  }
  if (reference != nullptr) {
    const auto code = static_cast<char16_t>(reference->code);
    MeasureScript(code, *reference_box, false, font.metrics.subscript_scale,
                  font.metrics.subscript_shift);
    MeasureScript(code, *reference_box, true, font.metrics.superscript_scale,
                  font.metrics.superscript_shift);
  }
  return font;
}

OvfFont MakeOvfFont(const InterfaceFont& font, const std::u16string& name,
                    const std::u16string& style_name) {
  OvfFont out;
  out.name = name;
  out.second_name = style_name;
  const double unit = font.unit;
  const InterfaceMetrics& m = font.metrics;
  const double height = m.box_top > 0 ? m.box_top / unit : 1.0;
  double right = 0, strikeout = 0.36;  // strikeout without an "x": about a third of the cap
  for (const RecordGlyph& g : font.glyphs) {
    const auto box = RecordInkBox(g.records);
    if (!box) continue;
    right = std::max(right, box->max_x / unit);
    if (g.code == 'x') strikeout = box->max_y / unit / 2;  // the middle of the x-height
  }
  // Script sizes are read back as ratios to the font box top (h0 times U): the size reals are
  // the scales times h0, the offsets the shifts before scaling.
  const auto offset = [unit](double shift, double scale) {
    return scale > 0 ? shift / scale / unit : 0.0;
  };
  const double h[12] = {height,
                        right,
                        m.ascent / unit,
                        m.descent / unit,
                        m.line_gap / unit,
                        strikeout,
                        0.0,
                        offset(m.subscript_shift, m.subscript_scale),
                        m.subscript_scale * height,
                        0.0,
                        offset(m.superscript_shift, m.superscript_scale),
                        m.superscript_scale * height};
  for (int i = 0; i < 12; ++i) out.header[i] = static_cast<float>(h[i]);
  for (const RecordGlyph& g : font.glyphs) {
    out.glyphs.push_back(OvfGlyphFromRecords(g, unit / height));
  }
  return out;
}

}  // namespace vuzodo_fontio
