#include "TestUtility.h"

void DumpCommandArray(std::FILE* file, const std::int32_t* commands, int count) {
  if (file == nullptr) return;
  std::fprintf(file, "--------\ncount = %d\n", count);
  if (commands == nullptr) return;
  for (int i = 0; i < count; ++i) {
    const std::int32_t command = commands[i];
    std::fprintf(file, "cmd = %d\n", command);
    int values = 0;
    if (command == 40 || command == 41) {
      values = 2;
    } else if (command == 42) {
      values = 4;
    }
    // A truncated array prints the values it has.
    for (int k = 0; k < values && i + 1 < count; ++k) {
      ++i;
      std::fprintf(file, "%d\n", commands[i]);
    }
  }
}
