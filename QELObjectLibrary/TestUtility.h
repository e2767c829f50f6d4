// Diagnostic dump of the integer drawing arrays handed to the host.
#ifndef QELOBJECTLIBRARY_TESTUTILITY_H
#define QELOBJECTLIBRARY_TESTUTILITY_H

#include <cstdint>
#include <cstdio>

// Writes "--------", the count, then each command ("cmd = %d") with its values (two after 40
// and 41, four after 42) one per line. Every other value is printed as a command of its own.
// Values past `count` are never read. The file is neither flushed nor closed.
void DumpCommandArray(std::FILE* file, const std::int32_t* commands, int count);

#endif  // QELOBJECTLIBRARY_TESTUTILITY_H
