// The Windows backend of the "gdi.h" that the TrueType font code includes: the
// real GDI. Everything the font code uses (types, records, constants and the
// ten calls) comes from the system headers; the POSIX backend declares the
// same names with the same layouts, so the font code is one source for both.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX  // std::min and std::max, not the macros
#endif
#ifndef STRICT
#define STRICT  // distinct handle types, as the POSIX backend declares them
#endif
#include <windows.h>

// The font code relies on these layouts (they are the structures GDI fills).
static_assert(sizeof(LOGFONTW) == 92);
static_assert(sizeof(GLYPHMETRICS) == 20);
static_assert(sizeof(TTPOLYGONHEADER) == 16);
static_assert(sizeof(TTPOLYCURVE) == 12);
static_assert(sizeof(KERNINGPAIR) == 8);
static_assert(sizeof(TEXTMETRICW) == 60);
static_assert(sizeof(OUTLINETEXTMETRICW) == 200 + 4 * sizeof(PSTR));
// The font code copies UTF-16 code units into WCHAR fields.
static_assert(sizeof(WCHAR) == sizeof(char16_t));
