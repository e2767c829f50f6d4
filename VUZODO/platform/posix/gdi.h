// The subset of the Windows GDI that the TrueType font code calls, declared
// under the Windows names and layouts, for the POSIX build. The build puts this
// directory on the include path, so font code writes `#include "gdi.h"` and is
// the same source on every platform (the Windows backend's gdi.h includes
// <windows.h>). Answered by FreeType (outlines, tables) and fontconfig (face
// matching); see GdiObjects.cpp.
//
// Coordinates of glyph outlines and glyph metrics are y-up device pixels of the
// realized font; FIXED values are 16.16 (integer part `value`, fraction word
// `fract` in 1/65536).
#pragma once

#include <cstddef>
#include <cstdint>

// ---- Scalar types (Windows sizes: LONG is 32 bits even on LP64) ----------
using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using SHORT = std::int16_t;
using USHORT = std::uint16_t;
using UINT = unsigned int;
using INT = int;
using BOOL = int;
// A UTF-16 code unit. Windows' wchar_t is 16 bits; on POSIX wchar_t is 32, so
// the 16-bit character type stands in (font code copies code units, it never
// relies on wide literals).
using WCHAR = char16_t;
using LPVOID = void*;
using PSTR = char*;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

// ---- Handles: distinct pointer types as Windows declares them (STRICT) ---
struct HFONT__ {
  int unused;
};
struct HDC__ {
  int unused;
};
struct HWND__ {
  int unused;
};
using HFONT = HFONT__*;
using HDC = HDC__*;
using HWND = HWND__*;
using HGDIOBJ = void*;

// ---- Constants ------------------------------------------------------------
inline constexpr int LF_FACESIZE = 32;  // lfFaceName: 31 code units + terminator

inline constexpr LONG FW_DONTCARE = 0;
inline constexpr LONG FW_THIN = 100;
inline constexpr LONG FW_EXTRALIGHT = 200;
inline constexpr LONG FW_LIGHT = 300;
inline constexpr LONG FW_NORMAL = 400;
inline constexpr LONG FW_REGULAR = 400;
inline constexpr LONG FW_MEDIUM = 500;
inline constexpr LONG FW_SEMIBOLD = 600;
inline constexpr LONG FW_BOLD = 700;
inline constexpr LONG FW_EXTRABOLD = 800;
inline constexpr LONG FW_HEAVY = 900;

inline constexpr BYTE ANSI_CHARSET = 0;
inline constexpr BYTE DEFAULT_CHARSET = 1;
inline constexpr BYTE SYMBOL_CHARSET = 2;

// GetGlyphOutlineW formats and flags.
inline constexpr UINT GGO_METRICS = 0;
inline constexpr UINT GGO_BITMAP = 1;
inline constexpr UINT GGO_NATIVE = 2;
inline constexpr UINT GGO_BEZIER = 3;
inline constexpr UINT GGO_GRAY2_BITMAP = 4;
inline constexpr UINT GGO_GRAY4_BITMAP = 5;
inline constexpr UINT GGO_GRAY8_BITMAP = 6;
inline constexpr UINT GGO_GLYPH_INDEX = 0x0080;
inline constexpr UINT GGO_UNHINTED = 0x0100;

inline constexpr DWORD GDI_ERROR = 0xFFFFFFFFu;

// Native outline record types.
inline constexpr DWORD TT_POLYGON_TYPE = 24;
inline constexpr WORD TT_PRIM_LINE = 1;
inline constexpr WORD TT_PRIM_QSPLINE = 2;
inline constexpr WORD TT_PRIM_CSPLINE = 3;

// tmPitchAndFamily bits.
inline constexpr BYTE TMPF_FIXED_PITCH = 0x01;  // set for variable pitch (sic)
inline constexpr BYTE TMPF_VECTOR = 0x02;
inline constexpr BYTE TMPF_TRUETYPE = 0x04;
inline constexpr BYTE TMPF_DEVICE = 0x08;
inline constexpr BYTE FF_DONTCARE = 0x00;
inline constexpr BYTE FF_ROMAN = 0x10;
inline constexpr BYTE FF_SWISS = 0x20;
inline constexpr BYTE FF_MODERN = 0x30;
inline constexpr BYTE FF_SCRIPT = 0x40;
inline constexpr BYTE FF_DECORATIVE = 0x50;

// ---- Records ----------------------------------------------------------------
struct tagLOGFONTW {
  LONG lfHeight;       // >0 cell height (ascent+descent), <0 em height, 0 default; pixels
  LONG lfWidth;        // average width in pixels, 0 = natural
  LONG lfEscapement;   // tenths of a degree
  LONG lfOrientation;  // tenths of a degree
  LONG lfWeight;       // FW_*; 0 = don't care
  BYTE lfItalic;       // nonzero = italic
  BYTE lfUnderline;
  BYTE lfStrikeOut;
  BYTE lfCharSet;
  BYTE lfOutPrecision;
  BYTE lfClipPrecision;
  BYTE lfQuality;
  BYTE lfPitchAndFamily;
  WCHAR lfFaceName[LF_FACESIZE];  // zero-terminated UTF-16
};
using LOGFONTW = tagLOGFONTW;
using LPLOGFONTW = LOGFONTW*;

struct _FIXED {
  WORD fract;   // fraction in 1/65536
  SHORT value;  // integer part (floor)
};
using FIXED = _FIXED;

struct tagPOINTFX {
  FIXED x;
  FIXED y;
};
using POINTFX = tagPOINTFX;

// x' = eM11*x + eM21*y, y' = eM12*x + eM22*y, on y-up glyph coordinates.
struct _MAT2 {
  FIXED eM11;
  FIXED eM12;
  FIXED eM21;
  FIXED eM22;
};
using MAT2 = _MAT2;

struct tagPOINT {
  LONG x;
  LONG y;
};
using POINT = tagPOINT;

struct tagRECT {
  LONG left;
  LONG top;
  LONG right;
  LONG bottom;
};
using RECT = tagRECT;

struct _GLYPHMETRICS {
  UINT gmBlackBoxX;       // ink box width in whole pixels (at least 1)
  UINT gmBlackBoxY;       // ink box height in whole pixels (at least 1)
  POINT gmptGlyphOrigin;  // upper left corner of the ink box, y-up pixels from the origin
  SHORT gmCellIncX;       // advance in pixels
  SHORT gmCellIncY;       // advance in pixels, device orientation (y down)
};
using GLYPHMETRICS = _GLYPHMETRICS;
using LPGLYPHMETRICS = GLYPHMETRICS*;

struct tagTTPOLYGONHEADER {
  DWORD cb;          // bytes of this contour, header included
  DWORD dwType;      // TT_POLYGON_TYPE
  POINTFX pfxStart;  // first on-curve point
};
using TTPOLYGONHEADER = tagTTPOLYGONHEADER;

struct tagTTPOLYCURVE {
  WORD wType;  // TT_PRIM_LINE, TT_PRIM_QSPLINE or TT_PRIM_CSPLINE
  WORD cpfx;   // number of points that follow
  POINTFX apfx[1];
};
using TTPOLYCURVE = tagTTPOLYCURVE;

struct tagKERNINGPAIR {
  WORD wFirst;      // UTF-16 code unit of the left character
  WORD wSecond;     // UTF-16 code unit of the right character
  int iKernAmount;  // added to the advance of wFirst, pixels of the realized font
};
using KERNINGPAIR = tagKERNINGPAIR;
using LPKERNINGPAIR = KERNINGPAIR*;

// All distances in pixels of the realized font.
struct tagTEXTMETRICW {
  LONG tmHeight;           // tmAscent + tmDescent
  LONG tmAscent;           // usWinAscent scaled
  LONG tmDescent;          // usWinDescent scaled
  LONG tmInternalLeading;  // tmHeight - em height (pixels per em)
  LONG tmExternalLeading;
  LONG tmAveCharWidth;  // OS/2 xAvgCharWidth scaled
  LONG tmMaxCharWidth;  // width of the font bounding box (head) scaled
  LONG tmWeight;        // FW_*
  LONG tmOverhang;
  LONG tmDigitizedAspectX;  // dots per inch
  LONG tmDigitizedAspectY;
  WCHAR tmFirstChar;
  WCHAR tmLastChar;
  WCHAR tmDefaultChar;
  WCHAR tmBreakChar;
  BYTE tmItalic;  // 255 when italic
  BYTE tmUnderlined;
  BYTE tmStruckOut;
  BYTE tmPitchAndFamily;  // TMPF_* | FF_*
  BYTE tmCharSet;
};
using TEXTMETRICW = tagTEXTMETRICW;
using LPTEXTMETRICW = TEXTMETRICW*;

struct tagPANOSE {
  BYTE bFamilyType;
  BYTE bSerifStyle;
  BYTE bWeight;
  BYTE bProportion;
  BYTE bContrast;
  BYTE bStrokeVariation;
  BYTE bArmStyle;
  BYTE bLetterform;
  BYTE bMidline;
  BYTE bXHeight;
};
using PANOSE = tagPANOSE;

// Distances in pixels of the realized font, except otmEMSquare (font units).
// The four name fields hold byte offsets from the start of the structure to
// zero-terminated UTF-16 strings that follow it in the buffer.
struct _OUTLINETEXTMETRICW {
  UINT otmSize;  // bytes of the whole answer, names included
  TEXTMETRICW otmTextMetrics;
  BYTE otmFiller;
  PANOSE otmPanoseNumber;
  UINT otmfsSelection;
  UINT otmfsType;
  int otmsCharSlopeRise;
  int otmsCharSlopeRun;
  int otmItalicAngle;  // tenths of a degree, counter-clockwise from vertical
  UINT otmEMSquare;    // font units per em
  int otmAscent;       // OS/2 sTypoAscender scaled
  int otmDescent;      // OS/2 sTypoDescender scaled (negative)
  UINT otmLineGap;     // OS/2 sTypoLineGap scaled
  UINT otmsCapEmHeight;
  UINT otmsXHeight;
  RECT otmrcFontBox;   // head bounding box scaled, y-up (top > bottom)
  int otmMacAscent;    // = tmAscent
  int otmMacDescent;   // = -tmDescent
  UINT otmMacLineGap;  // hhea line gap scaled
  UINT otmusMinimumPPEM;
  POINT otmptSubscriptSize;
  POINT otmptSubscriptOffset;
  POINT otmptSuperscriptSize;
  POINT otmptSuperscriptOffset;
  UINT otmsStrikeoutSize;
  int otmsStrikeoutPosition;
  int otmsUnderscoreSize;
  int otmsUnderscorePosition;
  PSTR otmpFamilyName;  // offsets, see above
  PSTR otmpFaceName;
  PSTR otmpStyleName;
  PSTR otmpFullName;
};
using OUTLINETEXTMETRICW = _OUTLINETEXTMETRICW;
using LPOUTLINETEXTMETRICW = OUTLINETEXTMETRICW*;

static_assert(sizeof(LOGFONTW) == 92);
static_assert(sizeof(GLYPHMETRICS) == 20);
static_assert(sizeof(TTPOLYGONHEADER) == 16);
static_assert(sizeof(TTPOLYCURVE) == 12);
static_assert(sizeof(KERNINGPAIR) == 8);
static_assert(sizeof(TEXTMETRICW) == 60);
// 216 bytes with 4-byte name fields (32-bit targets), 232 with 8-byte ones.
static_assert(sizeof(OUTLINETEXTMETRICW) == 200 + 4 * sizeof(PSTR));

// ---- Functions ---------------------------------------------------------------
extern "C" {
HFONT CreateFontIndirectW(const LOGFONTW* lplf);
HDC CreateCompatibleDC(HDC hdc);
HGDIOBJ SelectObject(HDC hdc, HGDIOBJ h);
DWORD GetGlyphOutlineW(HDC hdc, UINT uChar, UINT fuFormat, LPGLYPHMETRICS lpgm, DWORD cjBuffer,
                       LPVOID pvBuffer, const MAT2* lpmat2);
DWORD GetKerningPairsW(HDC hdc, DWORD nPairs, LPKERNINGPAIR lpKernPair);
BOOL GetTextMetricsW(HDC hdc, LPTEXTMETRICW lptm);
UINT GetOutlineTextMetricsW(HDC hdc, UINT cjCopy, LPOUTLINETEXTMETRICW potm);
BOOL DeleteObject(HGDIOBJ ho);
BOOL DeleteDC(HDC hdc);
int ReleaseDC(HWND hWnd, HDC hDC);
}
