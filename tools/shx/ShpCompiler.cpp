#include "ShpCompiler.h"

#include <algorithm>
#include <cstdint>
#include <optional>

namespace vuzodo_tools {
namespace {

// Raised inside the compiler only; CompileShp turns it into a result.
struct SourceError {
  int line;
  std::string message;
};

enum class Kind { kShapes, kUnifont, kBigfont };

struct Definition {
  std::optional<int> number;  // none for the *UNIFONT header
  std::string name;
  long declared = 0;  // defbytes from the header
  std::vector<unsigned char> bytes;
  int line = 0;
};

constexpr std::string_view kSpace = " \t\r\n\v\f";

std::string_view Trim(std::string_view text) {
  const auto first = text.find_first_not_of(kSpace);
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(kSpace);
  return text.substr(first, last - first + 1);
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t k = 0; k < prefix.size(); ++k) {
    const char c = text[k];
    const char upper = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    if (upper != prefix[k]) return false;
  }
  return true;
}

int DigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return 99;
}

// A number of the source: optional sign, then decimal digits, or hexadecimal digits when the
// body has more than one digit and starts with 0 (the shape-file convention: 012 is 0x12).
long ParseValue(std::string_view raw, int line) {
  const std::string_view text = Trim(raw);
  if (text.empty()) throw SourceError{line, "empty value"};
  const bool negative = text.front() == '-';
  std::string_view body = (negative || text.front() == '+') ? text.substr(1) : text;
  const int base = (body.size() > 1 && body.front() == '0') ? 16 : 10;
  long value = 0;
  bool bad = body.empty();
  for (char c : body) {
    const int digit = DigitValue(c);
    // Six hexadecimal or seven decimal digits are far beyond any field; refuse before overflow.
    if (digit >= base || value > 0xFFFFFF) {
      bad = true;
      break;
    }
    value = value * base + digit;
  }
  if (bad) throw SourceError{line, "bad number '" + std::string(text) + "'"};
  return negative ? -value : value;
}

int ParseShapeNumber(std::string_view text, int line) {
  const long value = ParseValue(text, line);
  if (value < 0 || value > 0xFFFF) {
    throw SourceError{line, "shape number " + std::to_string(value) + " out of range"};
  }
  return static_cast<int>(value);
}

unsigned char ToByte(long value, int line) {
  if (value < -128 || value > 255) {
    throw SourceError{line, "byte " + std::to_string(value) + " out of range"};
  }
  return static_cast<unsigned char>(value & 0xFF);  // two's complement for negatives
}

// Comma-separated values; parentheses count as separators; empty items are dropped.
std::vector<std::string_view> SplitValues(std::string_view text) {
  std::vector<std::string_view> values;
  std::size_t start = 0;
  for (std::size_t k = 0; k <= text.size(); ++k) {
    if (k == text.size() || text[k] == ',' || text[k] == '(' || text[k] == ')') {
      const std::string_view item = text.substr(start, k - start);
      if (!Trim(item).empty()) values.push_back(item);
      start = k + 1;
    }
  }
  return values;
}

struct Parsed {
  Kind kind = Kind::kShapes;
  std::vector<long> big_header;  // n, r, then r start/end pairs
  int big_header_line = 0;
  std::vector<Definition> definitions;
};

Parsed Parse(std::string_view source) {
  Parsed parsed;
  std::optional<Kind> kind;
  Definition* current = nullptr;
  int line_no = 0;
  std::size_t pos = 0;
  while (pos < source.size()) {
    auto end = source.find('\n', pos);
    if (end == std::string_view::npos) end = source.size();
    std::string_view raw = source.substr(pos, end - pos);
    pos = end + 1;
    ++line_no;
    const std::string_view line = Trim(raw.substr(0, raw.find(';')));
    if (line.empty()) continue;
    if (line.front() == '*') {
      const std::string_view head = line.substr(1);
      if (StartsWithNoCase(head, "BIGFONT")) {
        if (kind.has_value()) {
          throw SourceError{line_no, "*BIGFONT must be the first definition"};
        }
        kind = Kind::kBigfont;
        parsed.big_header_line = line_no;
        for (auto value : SplitValues(head.substr(7))) {
          parsed.big_header.push_back(ParseValue(value, line_no));
        }
        continue;
      }
      // code, defbytes, name (the name may itself hold commas).
      const auto comma1 = head.find(',');
      if (comma1 == std::string_view::npos) {
        throw SourceError{line_no, "header needs code and byte count"};
      }
      const auto comma2 = head.find(',', comma1 + 1);
      const std::string_view code = Trim(head.substr(0, comma1));
      const std::string_view count =
          Trim(head.substr(comma1 + 1, comma2 == std::string_view::npos ? std::string_view::npos
                                                                        : comma2 - comma1 - 1));
      Definition definition;
      definition.line = line_no;
      if (comma2 != std::string_view::npos) definition.name = Trim(head.substr(comma2 + 1));
      if (StartsWithNoCase(code, "UNIFONT") && code.size() == 7) {
        if (kind.has_value()) {
          throw SourceError{line_no, "*UNIFONT must be the first definition"};
        }
        kind = Kind::kUnifont;
      } else {
        definition.number = ParseShapeNumber(code, line_no);
        if (!kind.has_value()) kind = Kind::kShapes;
      }
      definition.declared = ParseValue(count, line_no);
      parsed.definitions.push_back(std::move(definition));
      current = &parsed.definitions.back();
      continue;
    }
    if (current == nullptr) throw SourceError{line_no, "bytes before any definition"};
    for (auto value : SplitValues(line)) {
      current->bytes.push_back(ToByte(ParseValue(value, line_no), line_no));
    }
  }
  for (const Definition& definition : parsed.definitions) {
    if (static_cast<long>(definition.bytes.size()) != definition.declared) {
      throw SourceError{definition.line, std::to_string(definition.declared) + " bytes declared, " +
                                             std::to_string(definition.bytes.size()) + " given"};
    }
    if (definition.bytes.empty() || definition.bytes.back() != 0) {
      throw SourceError{definition.line, "definition must end with 0"};
    }
  }
  if (parsed.definitions.empty()) throw SourceError{0, "no definitions"};
  parsed.kind = *kind;
  return parsed;
}

// Little-endian writers; each checks that the value fits its field.
void Put16(std::vector<unsigned char>& out, long value, int line, const char* what) {
  if (value < 0 || value > 0xFFFF) {
    throw SourceError{line, std::string(what) + " " + std::to_string(value) + " does not fit"};
  }
  out.push_back(static_cast<unsigned char>(value & 0xFF));
  out.push_back(static_cast<unsigned char>((value >> 8) & 0xFF));
}

void Put32(std::vector<unsigned char>& out, std::uint32_t value) {
  for (int k = 0; k < 4; ++k) out.push_back(static_cast<unsigned char>((value >> (8 * k)) & 0xFF));
}

void PutText(std::vector<unsigned char>& out, std::string_view text) {
  out.insert(out.end(), text.begin(), text.end());
}

// A stored definition: the name, its terminating 0, then the bytes (final 0 included).
std::vector<unsigned char> Record(const Definition& definition) {
  std::vector<unsigned char> record(definition.name.begin(), definition.name.end());
  record.push_back(0);
  record.insert(record.end(), definition.bytes.begin(), definition.bytes.end());
  return record;
}

void RequireNumbered(const Definition& definition) {
  if (!definition.number.has_value()) {
    throw SourceError{definition.line, "*UNIFONT may appear once, as the first definition"};
  }
}

std::vector<unsigned char> CompileShapes(const std::vector<Definition>& definitions,
                                         const ShpOptions& options) {
  if (options.version != "1.0" && options.version != "1.1") {
    throw SourceError{0, "version must be 1.0 or 1.1"};
  }
  if (definitions.front().number != 0) {
    throw SourceError{definitions.front().line,
                      "a shape file starts with *0, its font information"};
  }
  int low = 0xFFFF, high = 0;
  for (const Definition& definition : definitions) {
    RequireNumbered(definition);
    low = std::min(low, *definition.number);
    high = std::max(high, *definition.number);
  }
  std::vector<unsigned char> out;
  PutText(out, "AutoCAD-86 shapes " + options.version + "\r\n\x1a");
  Put16(out, low, 0, "lowest shape number");
  Put16(out, high, 0, "highest shape number");
  Put16(out, static_cast<long>(definitions.size()), definitions.back().line, "shape count");
  for (const Definition& definition : definitions) {
    Put16(out, *definition.number, definition.line, "shape number");
    Put16(out, static_cast<long>(Record(definition).size()), definition.line, "definition length");
  }
  for (const Definition& definition : definitions) {
    const auto record = Record(definition);
    out.insert(out.end(), record.begin(), record.end());
  }
  return out;
}

std::vector<unsigned char> CompileUnifont(const std::vector<Definition>& definitions) {
  std::vector<unsigned char> out;
  PutText(out, "AutoCAD-86 unifont 1.0\r\n\x1a");
  Put32(out, static_cast<std::uint32_t>(definitions.size()));
  const auto info = Record(definitions.front());
  Put16(out, static_cast<long>(info.size()), definitions.front().line, "font information length");
  out.insert(out.end(), info.begin(), info.end());
  for (std::size_t k = 1; k < definitions.size(); ++k) {
    const Definition& definition = definitions[k];
    RequireNumbered(definition);
    const auto record = Record(definition);
    Put16(out, *definition.number, definition.line, "shape number");
    Put16(out, static_cast<long>(record.size()), definition.line, "definition length");
    out.insert(out.end(), record.begin(), record.end());
  }
  return out;
}

std::vector<unsigned char> CompileBigfont(const Parsed& parsed, int empty_slots) {
  const auto& header = parsed.big_header;
  const int line = parsed.big_header_line;
  if (header.size() < 2 || header[1] < 0 || static_cast<long>(header.size()) != 2 + 2 * header[1]) {
    throw SourceError{line, "*BIGFONT needs n, r and r start/end pairs"};
  }
  const auto& definitions = parsed.definitions;
  if (definitions.front().number != 0) {
    throw SourceError{definitions.front().line,
                      "a big font's first definition is *0, its font information"};
  }
  for (const Definition& definition : definitions) RequireNumbered(definition);
  const long entries = static_cast<long>(definitions.size()) + empty_slots;
  std::vector<unsigned char> out;
  PutText(out, "AutoCAD-86 bigfont 1.0\r\n\x1a");
  Put16(out, static_cast<long>(definitions.size()), line, "shape count");
  Put16(out, entries, line, "index size");
  Put16(out, header[1], line, "escape range count");
  for (std::size_t k = 2; k < header.size(); ++k) Put16(out, header[k], line, "escape code");
  // Index entries (number, length, 32-bit offset) and then the definitions, in source order.
  std::uint64_t offset = out.size() + 8 * static_cast<std::uint64_t>(entries);
  std::vector<unsigned char> index;
  std::vector<unsigned char> data;
  for (const Definition& definition : definitions) {
    const auto record = Record(definition);
    Put16(index, *definition.number, definition.line, "shape number");
    Put16(index, static_cast<long>(record.size()), definition.line, "definition length");
    if (offset + data.size() > 0xFFFFFFFFu) {
      throw SourceError{definition.line, "font larger than 4 GiB"};
    }
    Put32(index, static_cast<std::uint32_t>(offset + data.size()));
    data.insert(data.end(), record.begin(), record.end());
  }
  index.resize(index.size() + 8 * static_cast<std::size_t>(empty_slots), 0);
  out.insert(out.end(), index.begin(), index.end());
  out.insert(out.end(), data.begin(), data.end());
  return out;
}

}  // namespace

std::string ShpResult::Describe() const {
  return line > 0 ? "line " + std::to_string(line) + ": " + message : message;
}

ShpResult CompileShp(std::string_view source, const ShpOptions& options) {
  ShpResult result;
  try {
    if (options.empty_slots < 0 || options.empty_slots > 0xFFFF) {
      throw SourceError{0, "empty slots must be between 0 and 65535"};
    }
    const Parsed parsed = Parse(source);
    if (options.empty_slots > 0 && parsed.kind != Kind::kBigfont) {
      throw SourceError{0, "empty slots apply to big fonts only"};
    }
    switch (parsed.kind) {
      case Kind::kShapes:
        result.bytes = CompileShapes(parsed.definitions, options);
        break;
      case Kind::kUnifont:
        result.bytes = CompileUnifont(parsed.definitions);
        break;
      case Kind::kBigfont:
        result.bytes = CompileBigfont(parsed, options.empty_slots);
        break;
    }
    result.ok = true;
  } catch (const SourceError& error) {
    result.line = error.line;
    result.message = error.message;
    result.bytes.clear();
  }
  return result;
}

}  // namespace vuzodo_tools
