// Load and unload of the library, and the two optional logs beside it.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>

namespace vuzodo {

// Process attach: looks for "TTFLog.txt" and "TTFCBNLog.txt" in the folder of
// `moduleFile` and opens each for appending only when it already exists, so a
// host switches tracing on by placing an empty file there. A path without a
// folder part opens nothing (the module's own file must never be appended to).
void ProcessAttach(const std::filesystem::path& moduleFile);

// Process detach: flushes and closes the logs, then releases every line and
// every font.
void ProcessDetach();

// The call trace log, or null when it is not open.
std::FILE* TraceLog();
// The returned-array dump log, or null when it is not open.
std::FILE* DumpLog();

// Writes one formatted piece to the trace log and flushes it; nothing when the
// log is not open.
void Trace(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The text a "%S" conversion prints for a zero-terminated UTF-16 string: its
// UTF-8 form, which for ASCII is the string's 8-bit text. Unpaired surrogates
// print as U+FFFD. A null string prints as "(null)".
std::string TraceText(const unsigned short* text);

}  // namespace vuzodo
