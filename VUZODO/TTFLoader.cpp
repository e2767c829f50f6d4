#include "TTFLoader.h"

#include <algorithm>

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
  settings_.text_mode = 0;
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

}  // namespace vuzodo
