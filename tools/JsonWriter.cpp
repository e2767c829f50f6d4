// The JSON writer: the engine's records as they come, with the text, its box and its carets.
#include "Drawing.h"

#include <sstream>

#include "vuzodo/vuzodo.h"

namespace vuzodo_cli {

namespace {

std::string JsonString(const std::string& s) {
  std::ostringstream out;
  out << '"';
  for (unsigned char c : s) {
    if (c == '"' || c == '\\') {
      out << '\\' << c;
    } else if (c < 0x20) {
      char buffer[8];
      std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
      out << buffer;
    } else {
      out << c;  // UTF-8 passes through
    }
  }
  out << '"';
  return out.str();
}

// Records as arrays of 3 or 5 ints, without the end mark.
void JsonRecords(FileOut& out, std::span<const int> a) {
  out.Put('[');
  bool first = true;
  for (size_t p = 0; p + 2 < a.size() && a[p] != -1;) {
    const size_t n = a[p] == 42 ? 5 : 3;
    if (p + n > a.size()) break;
    out.Put(first ? "[" : ",[");
    for (size_t k = 0; k < n; ++k) {
      if (k != 0) out.Put(',');
      out.Int(a[p + k]);
    }
    out.Put(']');
    first = false;
    p += n;
  }
  out.Put(']');
}

}  // namespace

std::string WriteJsonFile(const Layers& layers, const OutputOptions& o, const std::string& path) {
  FileOut file(path);
  if (file.Failed()) return file.Close();
  Bounds b;  // the records go out as they are: a walk only for an anchor that measures
  if (o.anchor != Anchor::kBaseline) b = SurveyOf(layers).bounds;
  const auto [sx, sy] = AnchorShift(o, b);
  std::ostringstream out;
  out << "{\n  \"text\": " << JsonString(o.text) << ",\n  \"unit\": " << o.unit
      << ",\n  \"userUnit\": {\"length\": " << o.unit_length << ", \"name\": \"" << o.unit_name
      << "\"},\n  \"anchor\": {\"name\": \""
      << (o.anchor == Anchor::kBaseline  ? "baseline"
          : o.anchor == Anchor::kTopLeft ? "top-left"
                                         : "centre")
      << "\", \"offset\": [" << sx << "," << sy << "]}"
      << ",\n  \"lines\": " << GetTextLineCount()
      << ",\n  \"characters\": " << GetCharacterCount(-1) << ",\n  \"box\": [";
  for (int i = 0; i < 8; ++i) out << (i ? "," : "") << layers.box[i];
  out << "],\n  \"metrics\": {\"ascent\": " << GetMaximumAscent()
      << ", \"descent\": " << GetMaximumDecent() << ", \"lineGap\": " << GetMaximumLineGap()
      << "},\n  \"records\": {\n    \"outline\": ";
  file.Put(out.str());
  JsonRecords(file, layers.outline);
  file.Put(",\n    \"fill\": ");
  JsonRecords(file, layers.fill);
  file.Put(",\n    \"hatch\": ");
  JsonRecords(file, layers.hatch);
  out.str("");
  out << "\n  },\n  \"carets\": [";
  CursorPosition* carets = nullptr;
  int count = 0;
  float top = 0;
  GetMultilineCaretPositionData(&carets, &count, &top);
  for (int i = 0; i < count; ++i) {
    const CursorPosition& c = carets[i];
    out << (i ? ",\n    " : "\n    ") << "{\"top\": [" << c.topX << "," << c.topY
        << "], \"bottom\": [" << c.bottomX << "," << c.bottomY << "], \"baseline\": " << c.baselineY
        << ", \"lineStart\": " << c.lineStart << "}";
  }
  DeleteCaretData(reinterpret_cast<float*>(carets));
  out << "\n  ]\n}\n";
  file.Put(out.str());
  return file.Close();
}

}  // namespace vuzodo_cli
