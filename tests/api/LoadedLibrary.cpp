#include "LoadedLibrary.h"

#include <unistd.h>

#include <atomic>
#include <fstream>
#include <iterator>

LoadedLibrary::LoadedLibrary(Options options) {
  static std::atomic<int> counter{0};
  folder_ = std::filesystem::temp_directory_path() /
            ("vuzodo-test-" + std::to_string(getpid()) + "-" + std::to_string(counter++));
  std::filesystem::remove_all(folder_);
  std::filesystem::create_directories(folder_);
  std::filesystem::copy_file(VUZODO_LIBRARY_FILE, folder_ / "libvuzodo.so");
  if (options.trace_log) std::ofstream(folder_ / "TTFLog.txt");
  if (options.dump_log) std::ofstream(folder_ / "TTFCBNLog.txt");
  Load();
}

LoadedLibrary::~LoadedLibrary() {
  Unload();
  std::error_code ec;
  std::filesystem::remove_all(folder_, ec);
}

void LoadedLibrary::Load() {
  if (handle_ == nullptr)
    handle_ = dlopen((folder_ / "libvuzodo.so").c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle_ == nullptr) throw std::runtime_error(std::string("dlopen: ") + dlerror());
}

void LoadedLibrary::Unload() {
  if (handle_ != nullptr) dlclose(handle_);
  handle_ = nullptr;
}

std::string LoadedLibrary::Read(const char* name) const {
  std::ifstream in(folder_ / name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::u16string Wide(const std::string& utf8) {
  std::u16string out;
  for (size_t i = 0; i < utf8.size();) {
    const unsigned char c = utf8[i++];
    const int extra = c < 0x80 ? 0 : c < 0xE0 ? 1 : c < 0xF0 ? 2 : 3;
    char32_t cp = extra == 0 ? c : c & (0x3F >> extra);
    for (int k = 0; k < extra && i < utf8.size(); ++k) cp = (cp << 6) | (utf8[i++] & 0x3F);
    if (cp >= 0x10000) {
      out.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
      cp = 0xDC00 + ((cp - 0x10000) & 0x3FF);
    }
    out.push_back(static_cast<char16_t>(cp));
  }
  return out;
}
