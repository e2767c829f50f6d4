#include "TTFLoader.h"

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
  if (lines_.empty()) lines_.push_back(std::make_unique<TTFState>());
  return lines_.back().get();
}

TTFState* TTFLoader::PushLine() {
  if (lines_.empty()) {
    lines_.push_back(std::make_unique<TTFState>());
  } else {
    lines_.push_back(lines_.back()->CopySettings());
  }
  return lines_.back().get();
}

void TTFLoader::ReleaseAll() {
  // Fonts are released with the font registry; lines go in order.
  lines_.clear();
}

}  // namespace vuzodo
