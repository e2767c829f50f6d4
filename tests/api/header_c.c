/* Compiled as C11: the public header must be valid C, with the same record
 * layouts the C++ side sees. */
#include <stddef.h>

#include "vuzodo/vuzodo.h"

size_t VuzodoCSizeOf(int which) {
  switch (which) {
    case 0: return sizeof(CursorPosition);
    case 1: return sizeof(CharacterLineGapInfo);
    case 2: return sizeof(FontInformation);
    case 3: return offsetof(CursorPosition, lineStart);
    case 4: return offsetof(FontInformation, designHeight);
    case 5: return sizeof(EN_ReturnType);
    case 6: return sizeof(vuzodo_bool);
    default: return 0;
  }
}
