#include "VUZODO.h"

#include <cstdarg>
#include <system_error>

#include "Module.h"
#include "PointAllocator.h"
#include "TTFLoader.h"

namespace vuzodo {

namespace {

std::FILE* g_trace_log = nullptr;
std::FILE* g_dump_log = nullptr;

// Opens `name` beside the module for appending, only if it exists already.
std::FILE* OpenIfPresent(const std::filesystem::path& moduleFile, const char* name) {
  if (!moduleFile.has_parent_path()) return nullptr;
  const std::filesystem::path log = moduleFile.parent_path() / name;
  std::error_code ec;
  if (!std::filesystem::exists(log, ec)) return nullptr;
  return platform::OpenForAppend(log);
}

void CloseLog(std::FILE*& log) {
  if (log == nullptr) return;
  std::fflush(log);
  std::fclose(log);
  log = nullptr;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

}  // namespace

void ProcessAttach(const std::filesystem::path& moduleFile) {
  CloseLog(g_trace_log);
  CloseLog(g_dump_log);
  g_trace_log = OpenIfPresent(moduleFile, "TTFLog.txt");
  g_dump_log = OpenIfPresent(moduleFile, "TTFCBNLog.txt");
}

void ProcessDetach() {
  CloseLog(g_trace_log);
  CloseLog(g_dump_log);
  TTFLoader::Destroy();
  // Point blocks recycled by the geometry would be lost with this module's
  // thread-local storage.
  qel::ReleasePooledPointBlocks();
}

std::FILE* TraceLog() {
  return g_trace_log;
}
std::FILE* DumpLog() {
  return g_dump_log;
}

void Trace(const char* format, ...) {
  if (g_trace_log == nullptr) return;
  va_list args;
  va_start(args, format);
  std::vfprintf(g_trace_log, format, args);
  va_end(args);
  std::fflush(g_trace_log);
}

std::string TraceText(const unsigned short* text) {
  // The trace line's arguments are made before Trace knows whether a log is open: without one,
  // converting a long text (a fiftieth of appending it) would be for nothing.
  if (g_trace_log == nullptr) return {};
  if (text == nullptr) return "(null)";
  std::string out;
  for (const unsigned short* p = text; *p != 0; ++p) {
    char32_t cp = *p;
    if (cp >= 0xD800 && cp <= 0xDBFF && p[1] >= 0xDC00 && p[1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (p[1] - 0xDC00);
      ++p;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    AppendUtf8(out, cp);
  }
  return out;
}

}  // namespace vuzodo
