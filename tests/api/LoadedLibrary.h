// A private copy of the engine library loaded from a fresh folder, as a host loads it, with the
// named log files (empty) beside it.
#pragma once

#include <dlfcn.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <stdexcept>
#include <string>

class LoadedLibrary {
 public:
  explicit LoadedLibrary(std::initializer_list<const char*> logs = {}) {
    static std::atomic<int> counter{0};
    folder_ /= "vuzodo-test-" + std::to_string(getpid()) + "-" + std::to_string(counter++);
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directories(folder_);
    std::filesystem::copy_file(VUZODO_LIBRARY_FILE, folder_ / "libvuzodo.so");
    for (const char* log : logs) std::ofstream(folder_ / log).close();
    Load();
  }
  ~LoadedLibrary() {
    Unload();
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
  }
  LoadedLibrary(const LoadedLibrary&) = delete;
  LoadedLibrary& operator=(const LoadedLibrary&) = delete;

  // The export `name`, cast to the type of the declared function `F`.
  template <typename F>
  F* Get(const char* name) {
    void* symbol = dlsym(handle_, name);
    if (symbol == nullptr) throw std::runtime_error(std::string("missing export ") + name);
    return reinterpret_cast<F*>(symbol);
  }
  void Unload() {  // process detach; later Get calls are invalid
    if (handle_ != nullptr) dlclose(handle_);
    handle_ = nullptr;
  }
  void Load() {  // process attach, from the same folder
    if (handle_ == nullptr) handle_ = dlopen((folder_ / "libvuzodo.so").c_str(), RTLD_NOW);
    if (handle_ == nullptr) throw std::runtime_error(std::string("dlopen: ") + dlerror());
  }
  const std::filesystem::path& Folder() const { return folder_; }
  std::string Read(const char* name) const {  // "" when absent
    std::ifstream in(folder_ / name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

 private:
  std::filesystem::path folder_ = std::filesystem::temp_directory_path();
  void* handle_ = nullptr;
};

// The export named like the declaration `fn`, and the pointer the interface takes for a text.
#define VZ(lib, fn) (lib).Get<decltype(fn)>(#fn)
inline unsigned short* W(std::u16string& s) {
  return reinterpret_cast<unsigned short*>(s.data());
}
