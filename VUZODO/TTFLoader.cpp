#include "TTFLoader.h"

#include <algorithm>

#include "Limits.h"

namespace vuzodo {

namespace {
// Heap-held rather than a static object, so that its lifetime is decided by
// process attach and detach and not by the order of static destructors.
TTFLoader* g_loader = nullptr;
}  // namespace

TTFLoader& TTFLoader::Instance() {
  if (g_loader == nullptr) g_loader = new TTFLoader();
  return *g_loader;
}

void TTFLoader::Destroy() {
  if (g_loader == nullptr) return;
  g_loader->ReleaseAll();
  delete g_loader;
  g_loader = nullptr;
}

TTFState* TTFLoader::GetCurrentLine() {
  if (lines_.empty()) AddLine(std::make_unique<TTFState>());
  return lines_.back().get();
}

TTFState* TTFLoader::AddLine(std::unique_ptr<TTFState> line) {
  // A new line always starts in horizontal mode, whoever asks for it.
  settings_.text_mode = TextMode::kHorizontal;
  lines_.push_back(std::move(line));
  return lines_.back().get();
}

TTFState* TTFLoader::PushLine(std::u16string_view text) {
  if (!lines_.empty()) return AddLine(lines_.back()->CopySettings(text));
  TTFState* line = AddLine(std::make_unique<TTFState>());
  line->text_copy = text;
  line->has_text_copy = true;
  return line;
}

TTFState* TTFLoader::PushLine() {
  return AddLine(lines_.empty() ? std::make_unique<TTFState>() : lines_.back()->CopySettings());
}

void TTFLoader::ReleaseAll() {
  UnloadAllFonts();
  // The registry starts afresh: its storage goes too.
  std::vector<std::unique_ptr<FontDataHolder>>().swap(fonts_);
  lines_.clear();
}

FontDataHolder* TTFLoader::LoadFont(std::u16string_view face, std::int32_t style) {
  for (const auto& font : fonts_) {
    if (font->GetStyle() == style && font->GetFace() == face) return font.get();
  }
  fonts_.push_back(std::make_unique<FontDataHolder>(face, style, settings_));
  return fonts_.back().get();
}

CharBufferHolder* TTFLoader::LoadCharacter(FontDataHolder* font, std::uint32_t code) {
  if (font == nullptr) return nullptr;
  if (CharBufferHolder* found = font->FindCharacter(code)) return found;
  switch (font->GetKind()) {
    case FontKind::kFnt:
      return font->GetFallbackCharacter();
    case FontKind::kOvf: {
      std::unique_ptr<CharBufferHolder> glyph = font->BuildOvfCharacter(code);
      return glyph == nullptr ? nullptr : font->AppendCharacter(std::move(glyph));
    }
    case FontKind::kShx:
      if (CharBufferHolder* shape = font->BuildShxCharacter(code)) return shape;
      break;
    case FontKind::kTrueType:
      break;
  }
  CharBufferHolder* built =
      font->AppendCharacter(std::make_unique<CharBufferHolder>(code, font->GetFontHandle()));
  built->Scale(font->GetFontScale());
  return built;
}

void TTFLoader::UnloadFont(std::u16string_view face, std::int32_t style) {
  const auto it = std::find_if(fonts_.begin(), fonts_.end(), [&](const auto& font) {
    return font->GetStyle() == style && font->GetFace() == face;
  });
  if (it != fonts_.end()) fonts_.erase(it);
}

void TTFLoader::UnloadAllFonts() {
  fonts_.clear();
}

FontInformation TTFLoader::GetFontInformation(FontDataHolder* font) {
  FontInformation info{};
  if (const CharBufferHolder* g = LoadCharacter(font, 103)) {
    const double depth = g->GetMetrics()[kBlackBoxHeight] - g->GetMetrics()[kBlackBoxTop];
    if (depth != 0.0) info.ratio = static_cast<float>(settings_.unit_size / depth);
  }
  const OUTLINETEXTMETRICW& otm = font->GetOutlineTextMetrics();
  info.ascent = otm.otmAscent;
  info.descent = otm.otmDescent;
  info.lineGap = static_cast<int>(otm.otmLineGap);
  info.emSquare = static_cast<int>(otm.otmEMSquare);
  info.boxTop = otm.otmrcFontBox.top;
  info.boxBottom = otm.otmrcFontBox.bottom;
  info.designHeight = font->GetDesignHeight();
  return info;
}

namespace {
// The units of `text`, counted no further than limit + 1 (so that a text longer than `limit` is
// not read to its end).
std::size_t CountUnitsUpTo(const unsigned short* text, std::size_t limit) {
  std::size_t units = 0;
  while (units <= limit && text[units] != 0) ++units;
  return units;
}
}  // namespace

bool TTFLoader::WithinAppendUnits(const unsigned short* text) {
  return CountUnitsUpTo(text, limits::kMaxAppendUnits) <= limits::kMaxAppendUnits;
}

// Only the line layout of AppendCharactersEx in horizontal mode starts lines at line feeds
// (which are then no characters); every other layout puts every unit on the current line. Word
// wrap is not foreseen: the counts are those of the text unwrapped, an upper bound for every line
// (and wrap stops at the last line).
bool TTFLoader::WithinTextLimits(const unsigned short* text, bool ex) const {
  const std::size_t units = CountUnitsUpTo(text, limits::kMaxAppendUnits);
  if (units > limits::kMaxAppendUnits) return false;
  std::size_t text_characters = 0;
  for (const auto& line : lines_) {
    text_characters += static_cast<std::size_t>(line->character_count);
  }
  std::size_t line_count = std::max<std::size_t>(lines_.size(), 1);
  std::size_t on_line =
      lines_.empty() ? 0 : static_cast<std::size_t>(lines_.back()->character_count);
  // The append creates the first line when there is none, and a new line sets the text mode
  // back to horizontal: after InitializeTTF a text mode set before it no longer holds.
  const bool breaks = ex && (lines_.empty() || settings_.text_mode == TextMode::kHorizontal);
  for (std::size_t i = 0; i < units; ++i) {
    if (breaks && text[i] == 10) {
      if (++line_count > limits::kMaxTextLines) return false;
      on_line = 0;
      continue;
    }
    if (++on_line > limits::kMaxLineCharacters) return false;
    if (++text_characters > limits::kMaxTextCharacters) return false;
  }
  return true;
}

}  // namespace vuzodo
