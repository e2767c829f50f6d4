// The subcommands of the vuzodo program. Each lives in its own source file and
// registers itself on the application; main() only lists them.
#pragma once

#include <CLI/CLI.hpp>
#include <string>

namespace vuzodo_cli {

void AddVersionCommand(CLI::App& app);
void AddRenderCommand(CLI::App& app);  // render and estimate
void AddFontCommands(CLI::App& app);   // fonts, info
void AddReplayCommand(CLI::App& app);
void AddShxCompileCommand(CLI::App& app);
void AddFontConvertCommand(CLI::App& app);

// UTF-8 (the terminal's text) to the UTF-16 the interface takes. Malformed
// sequences are decoded leniently: the lead byte's bits are kept.
std::u16string ToUtf16(const std::string& utf8);

// The font kind a face names, by its suffix as the engine decides it: "SHX",
// "OVF", "FNT" or "TrueType".
std::string FontKind(const std::string& face);

// An option's check: a number from `low` up, or above it when not `inclusive` (infinity and
// NaN refused); the error names the range.
CLI::Validator AtLeast(double low, bool inclusive = true);

// The interface takes UTF-16 as unsigned short pointers.
inline unsigned short* U16(std::u16string& s) {
  return reinterpret_cast<unsigned short*>(s.data());
}

}  // namespace vuzodo_cli
