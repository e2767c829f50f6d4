#include "LoadedLibrary.h"

#include <unistd.h>

#include <atomic>
#include <fstream>
#include <sstream>

namespace {
std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return "";
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}
}  // namespace

LoadedLibrary::LoadedLibrary(Options options) {
  static std::atomic<int> counter{0};
  folder_ = std::filesystem::temp_directory_path() /
            ("vuzodo-test-" + std::to_string(getpid()) + "-" + std::to_string(counter++));
  std::filesystem::remove_all(folder_);
  std::filesystem::create_directories(folder_);
  library_ = folder_ / "libvuzodo.so";
  std::filesystem::copy_file(VUZODO_LIBRARY_FILE, library_);
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
  if (handle_ != nullptr) return;
  handle_ = dlopen(library_.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle_ == nullptr) throw std::runtime_error(std::string("dlopen: ") + dlerror());
}

void LoadedLibrary::Unload() {
  if (handle_ == nullptr) return;
  dlclose(handle_);
  handle_ = nullptr;
}

std::string LoadedLibrary::TraceText() const { return ReadFile(folder_ / "TTFLog.txt"); }
std::string LoadedLibrary::DumpText() const { return ReadFile(folder_ / "TTFCBNLog.txt"); }

std::u16string Wide(const std::string& utf8) {
  std::u16string out;
  for (size_t i = 0; i < utf8.size();) {
    const unsigned char c = utf8[i];
    char32_t cp;
    int extra;
    if (c < 0x80) { cp = c; extra = 0; }
    else if (c < 0xE0) { cp = c & 0x1F; extra = 1; }
    else if (c < 0xF0) { cp = c & 0x0F; extra = 2; }
    else { cp = c & 0x07; extra = 3; }
    for (int k = 1; k <= extra && i + k < utf8.size(); ++k) cp = (cp << 6) | (utf8[i + k] & 0x3F);
    i += 1 + extra;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
  }
  return out;
}
