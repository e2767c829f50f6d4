// Loads a private copy of the engine library from a fresh folder, the way a
// host does, so that each test sees a newly attached library with or without
// log files beside it.
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

  // Unloads the library (process detach); later Get calls are invalid.
  void Unload();
  // Loads it again from the same folder (process attach).
  void Load();

  const std::filesystem::path& Folder() const { return folder_; }
  std::string TraceText() const;  // contents of TTFLog.txt ("" when absent)
  std::string DumpText() const;   // contents of TTFCBNLog.txt

 private:
  std::filesystem::path folder_;
  std::filesystem::path library_;
  void* handle_ = nullptr;
};

// Shorthand: the export named like the declaration `fn`.
#define VZ(lib, fn) (lib).Get<decltype(fn)>(#fn)

// A zero-terminated UTF-16 copy of an ASCII/UTF-8 literal, for face and text
// arguments (the interface takes unsigned short*).
std::u16string Wide(const std::string& utf8);
inline unsigned short* W(std::u16string& s) { return reinterpret_cast<unsigned short*>(s.data()); }
