// Shared support of the interface tests: a private copy of the engine library loaded from a fresh
// folder, as a host loads it, with or without log files beside it; and UTF-16 text arguments.
#pragma once

#include <dlfcn.h>

#include <filesystem>
#include <stdexcept>
#include <string>

class LoadedLibrary {
 public:
  struct Options {
    bool trace_log = false;  // place an empty "TTFLog.txt" beside the library
    bool dump_log = false;   // place an empty "TTFCBNLog.txt" beside it
  };
  explicit LoadedLibrary(Options options);
  LoadedLibrary() : LoadedLibrary(Options{}) {}
  ~LoadedLibrary();
  LoadedLibrary(const LoadedLibrary&) = delete;
  LoadedLibrary& operator=(const LoadedLibrary&) = delete;

  // The export `name`, cast to the type of the declared function `F`.
  template <typename F>
  F* Get(const char* name) {
    void* symbol = dlsym(handle_, name);
    if (symbol == nullptr) throw std::runtime_error(std::string("missing export ") + name);
    return reinterpret_cast<F*>(symbol);
  }
  void Unload();  // process detach; later Get calls are invalid
  void Load();    // process attach, from the same folder

  const std::filesystem::path& Folder() const { return folder_; }
  std::string TraceText() const { return Read("TTFLog.txt"); }  // "" when absent
  std::string DumpText() const { return Read("TTFCBNLog.txt"); }

 private:
  std::string Read(const char* name) const;
  std::filesystem::path folder_;
  void* handle_ = nullptr;
};

// The export named like the declaration `fn`.
#define VZ(lib, fn) (lib).Get<decltype(fn)>(#fn)

// A UTF-16 copy of a UTF-8 text, and the pointer the interface takes for it.
std::u16string Wide(const std::string& utf8);
inline unsigned short* W(std::u16string& s) {
  return reinterpret_cast<unsigned short*>(s.data());
}
