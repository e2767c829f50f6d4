// The process-wide state: the line list with its current line, the settings
// shared by all lines, and the font registry.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "FontDataHolder.h"
#include "ProcessSettings.h"
#include "TTFState.h"

namespace vuzodo {

class TTFLoader {
 public:
  // The process-wide instance, created on first use and destroyed at unload.
  static TTFLoader& Instance();
  // Releases everything and deletes the instance (process detach).
  static void Destroy();

  // The last line, created with default settings when the list is empty.
  TTFState* GetCurrentLine();
  // Appends a line that carries the settings of the last one (a default line
  // when the list is empty) and returns it.
  TTFState* PushLine();
  // The same with `text` as the new line's text copy (see TTFState::CopySettings).
  TTFState* PushLine(std::u16string_view text);
  // Unloads all fonts and deletes every line.
  void ReleaseAll();

  // ---- font registry ----
  // The first entry with exactly this face (case-sensitive) and style; built and appended when
  // there is none. Never null.
  FontDataHolder* LoadFont(std::u16string_view face, std::int32_t style);
  // The first built character of `code`; else, by the font's kind: FNT the fallback square, OVF
  // the reader's glyph (null without a reader), any other kind the TrueType path, appended and
  // scaled by the font scale. Null for a null font.
  CharBufferHolder* LoadCharacter(FontDataHolder* font, std::uint32_t code);
  // The metrics of `font` as the host's record gives them: the font's own values in font units,
  // and the ratio of the unit size to the depth of the descender of "g" (0 without one).
  FontInformation GetFontInformation(FontDataHolder* font);
  // Destroys the entry LoadFont would find; nothing happens when there is none.
  void UnloadFont(std::u16string_view face, std::int32_t style);
  void UnloadAllFonts();
  // Load order.
  const std::vector<std::unique_ptr<FontDataHolder>>& Fonts() const { return fonts_; }

  // Whether appending `text` keeps the text within the limits of Limits.h: UTF-16 units per call,
  // characters per line and per text, lines per text. Counted before anything changes, so that a
  // refused append leaves every line as it was. `ex`: the append is AppendCharactersEx, whose
  // horizontal layout starts lines at line feeds.
  bool WithinTextLimits(const unsigned short* text, bool ex) const;
  // Whether `text` has at most the units one append may pass; read no further than that.
  static bool WithinAppendUnits(const unsigned short* text);

  std::vector<std::unique_ptr<TTFState>>& Lines() { return lines_; }
  ProcessSettings& Settings() { return settings_; }

 private:
  // Appends `line`; every new line resets the process text mode to horizontal.
  TTFState* AddLine(std::unique_ptr<TTFState> line);

  std::vector<std::unique_ptr<TTFState>> lines_;
  ProcessSettings settings_;
  std::vector<std::unique_ptr<FontDataHolder>> fonts_;  // load order
};

// Shorthands for the instance's parts, for the exports only: every unit below them gets the
// loader or the settings from its caller.
inline ProcessSettings& Process() {
  return TTFLoader::Instance().Settings();
}
inline double UnitSize() {
  return Process().unit_size;
}

}  // namespace vuzodo
