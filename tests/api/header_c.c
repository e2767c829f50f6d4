/* Compiled as C11: the public header must be valid C, with the offsets hosts rely on and the
 * bool size the C++ side has (host_test.cpp asserts the same). */
#include <stddef.h>

#include "vuzodo/vuzodo.h"

_Static_assert(offsetof(CursorPosition, lineStart) == 20, "lineStart at byte 20");
_Static_assert(offsetof(FontInformation, designHeight) == 28, "designHeight at byte 28");
_Static_assert(sizeof(vuzodo_bool) == 1, "a one-byte bool");
