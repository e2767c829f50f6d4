// Oracle probe, not part of the suite: prints what the GDI font calls answer for a few faces so
// that the POSIX layer can be compared with Wine's GDI (Windows build run under wine64).
//   x86_64-w64-mingw32-g++ -O1 -o gdi_probe.exe gdi_probe.cpp -lgdi32
#ifdef _WIN32
#include <windows.h>
#else
#include "gdi.h"
#endif
#include <cstdio>
#include <vector>

static void Probe(const char* face, LONG height) {
  LOGFONTW lf{};
  lf.lfHeight = height, lf.lfWeight = 400, lf.lfCharSet = DEFAULT_CHARSET;
  for (int i = 0; face[i] && i < 31; ++i) lf.lfFaceName[i] = static_cast<WCHAR>(face[i]);
  HFONT font = CreateFontIndirectW(&lf);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, font);
  std::printf("font %s height %ld weight 400 italic 0\n", face, (long)height);
  TEXTMETRICW tm{};
  GetTextMetricsW(dc, &tm);
  std::printf(
      "tm height %ld ascent %ld descent %ld intlead %ld extlead %ld avewidth %ld maxwidth %ld "
      "weight %ld first %u last %u default %u break %u italic %u pitch %u charset %u\n",
      (long)tm.tmHeight, (long)tm.tmAscent, (long)tm.tmDescent, (long)tm.tmInternalLeading,
      (long)tm.tmExternalLeading, (long)tm.tmAveCharWidth, (long)tm.tmMaxCharWidth,
      (long)tm.tmWeight, tm.tmFirstChar, tm.tmLastChar, tm.tmDefaultChar, tm.tmBreakChar,
      tm.tmItalic, tm.tmPitchAndFamily, tm.tmCharSet);
  OUTLINETEXTMETRICW o{};
  GetOutlineTextMetricsW(dc, sizeof(o), &o);
  std::printf(
      "otm em %u ascent %d descent %d linegap %u capheight %u xheight %u box %ld %ld %ld %ld "
      "macascent %d macdescent %d maclinegap %u minppem %u\n",
      o.otmEMSquare, o.otmAscent, o.otmDescent, o.otmLineGap, o.otmsCapEmHeight, o.otmsXHeight,
      (long)o.otmrcFontBox.left, (long)o.otmrcFontBox.top, (long)o.otmrcFontBox.right,
      (long)o.otmrcFontBox.bottom, o.otmMacAscent, o.otmMacDescent, o.otmMacLineGap,
      o.otmusMinimumPPEM);
  std::printf(
      "otm sub %ld %ld %ld %ld super %ld %ld %ld %ld strike %u %d under %d %d italicangle %d "
      "slope %d %d fsselection %u\n",
      (long)o.otmptSubscriptSize.x, (long)o.otmptSubscriptSize.y, (long)o.otmptSubscriptOffset.x,
      (long)o.otmptSubscriptOffset.y, (long)o.otmptSuperscriptSize.x,
      (long)o.otmptSuperscriptSize.y, (long)o.otmptSuperscriptOffset.x,
      (long)o.otmptSuperscriptOffset.y, o.otmsStrikeoutSize, o.otmsStrikeoutPosition,
      o.otmsUnderscoreSize, o.otmsUnderscorePosition, o.otmItalicAngle, o.otmsCharSlopeRise,
      o.otmsCharSlopeRun, o.otmfsSelection);
  const DWORD count = GetKerningPairsW(dc, 0, nullptr);
  std::vector<KERNINGPAIR> pairs(count + 1);
  GetKerningPairsW(dc, count, pairs.data());
  std::printf("kern count %lu", (unsigned long)count);
  for (const char* p : {"AV", "To", "Ta", "LT", "Yo"}) {
    int amount = 0;
    for (DWORD i = 0; i < count; ++i)
      if (pairs[i].wFirst == (WORD)p[0] && pairs[i].wSecond == (WORD)p[1])
        amount = pairs[i].iKernAmount;
    std::printf(" %s %d", p, amount);
  }
  const MAT2 identity = {{0, 1}, {0, 0}, {0, 0}, {0, 1}};
  for (const char* s = "AOg .@&"; *s; ++s) {
    GLYPHMETRICS gm{};
    const DWORD n = GetGlyphOutlineW(dc, (UINT)*s, GGO_NATIVE, &gm, 0, nullptr, &identity);
    std::printf("\nglyph %c mat 0 size %ld box %u %u origin %ld %ld inc %d %d", *s,
                n == GDI_ERROR ? -1L : (long)n, gm.gmBlackBoxX, gm.gmBlackBoxY,
                (long)gm.gmptGlyphOrigin.x, (long)gm.gmptGlyphOrigin.y, gm.gmCellIncX,
                gm.gmCellIncY);
  }
  std::printf("\n");
  SelectObject(dc, old);
  DeleteDC(dc);
  DeleteObject(font);
}

int main() {
  for (const char* face : {"Liberation Sans", "Carlito"}) {
    Probe(face, 10000);
    Probe(face, -2048);
  }
}
