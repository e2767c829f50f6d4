// Oracle probe, not part of the suite: prints what the GDI font calls answer
// for a few faces, in one text format, so that the POSIX layer can be compared
// with Wine's GDI (Windows build of the same source, run under wine64).
//   x86_64-w64-mingw32-g++ -O1 -o gdi_probe.exe gdi_probe.cpp -lgdi32
//   g++ -std=c++20 -I../../../VUZODO/platform -I../../../VUZODO/platform/posix
//       gdi_probe.cpp libvuzodo_platform.a $(pkg-config --libs freetype2 fontconfig)
#ifdef _WIN32
#include <windows.h>
#else
#include "gdi.h"
#endif
#include <cstdio>
#include <cstring>
#include <vector>

static FIXED Fx(int value, unsigned fract) {
  FIXED f;
  f.value = static_cast<SHORT>(value);
  f.fract = static_cast<WORD>(fract);
  return f;
}

static void Probe(const char* face, LONG height, LONG weight, int italic) {
  LOGFONTW lf;
  std::memset(&lf, 0, sizeof(lf));
  lf.lfHeight = height;
  lf.lfWeight = weight;
  lf.lfItalic = static_cast<BYTE>(italic);
  lf.lfCharSet = DEFAULT_CHARSET;
  for (int i = 0; face[i] && i < 31; ++i) lf.lfFaceName[i] = static_cast<WCHAR>(face[i]);
  HFONT font = CreateFontIndirectW(&lf);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, font);
  std::printf("font %s height %ld weight %ld italic %d\n", face, (long)height, (long)weight, italic);
  TEXTMETRICW tm;
  GetTextMetricsW(dc, &tm);
  std::printf("tm height %ld ascent %ld descent %ld intlead %ld extlead %ld avewidth %ld maxwidth %ld weight %ld first %u last %u default %u break %u italic %u pitch %u charset %u\n",
              (long)tm.tmHeight, (long)tm.tmAscent, (long)tm.tmDescent, (long)tm.tmInternalLeading,
              (long)tm.tmExternalLeading, (long)tm.tmAveCharWidth, (long)tm.tmMaxCharWidth,
              (long)tm.tmWeight, tm.tmFirstChar, tm.tmLastChar, tm.tmDefaultChar, tm.tmBreakChar,
              tm.tmItalic, tm.tmPitchAndFamily, tm.tmCharSet);
  UINT size = GetOutlineTextMetricsW(dc, 0, nullptr);
  std::vector<unsigned char> bytes(size + 8);
  GetOutlineTextMetricsW(dc, size, reinterpret_cast<OUTLINETEXTMETRICW*>(bytes.data()));
  OUTLINETEXTMETRICW o;
  std::memcpy(&o, bytes.data(), sizeof(o));
  std::printf("otm em %u ascent %d descent %d linegap %u capheight %u xheight %u box %ld %ld %ld %ld macascent %d macdescent %d maclinegap %u minppem %u\n",
              o.otmEMSquare, o.otmAscent, o.otmDescent, o.otmLineGap, o.otmsCapEmHeight,
              o.otmsXHeight, (long)o.otmrcFontBox.left, (long)o.otmrcFontBox.top,
              (long)o.otmrcFontBox.right, (long)o.otmrcFontBox.bottom, o.otmMacAscent,
              o.otmMacDescent, o.otmMacLineGap, o.otmusMinimumPPEM);
  std::printf("otm sub %ld %ld %ld %ld super %ld %ld %ld %ld strike %u %d under %d %d italicangle %d slope %d %d fsselection %u\n",
              (long)o.otmptSubscriptSize.x, (long)o.otmptSubscriptSize.y,
              (long)o.otmptSubscriptOffset.x, (long)o.otmptSubscriptOffset.y,
              (long)o.otmptSuperscriptSize.x, (long)o.otmptSuperscriptSize.y,
              (long)o.otmptSuperscriptOffset.x, (long)o.otmptSuperscriptOffset.y,
              o.otmsStrikeoutSize, o.otmsStrikeoutPosition, o.otmsUnderscoreSize,
              o.otmsUnderscorePosition, o.otmItalicAngle, o.otmsCharSlopeRise,
              o.otmsCharSlopeRun, o.otmfsSelection);
  auto name = [&](PSTR field) {
    const size_t at = reinterpret_cast<size_t>(field);
    std::printf(" [");
    for (size_t i = at; i + 1 < size; i += 2) {
      unsigned c = bytes[i] | bytes[i + 1] << 8;
      if (!c) break;
      std::printf("%c", c < 128 ? static_cast<char>(c) : '?');
    }
    std::printf("]");
  };
  std::printf("names");
  name(o.otmpFamilyName);
  name(o.otmpFaceName);
  name(o.otmpStyleName);
  std::printf("\n");
  DWORD count = GetKerningPairsW(dc, 0, nullptr);
  std::vector<KERNINGPAIR> pairs(count + 1);
  GetKerningPairsW(dc, count, pairs.data());
  std::printf("kern count %lu", (unsigned long)count);
  for (const char* p : {"AV", "To", "Ta", "LT", "Yo"}) {
    int amount = 0;
    for (DWORD i = 0; i < count; ++i) {
      if (pairs[i].wFirst == (WORD)p[0] && pairs[i].wSecond == (WORD)p[1]) amount = pairs[i].iKernAmount;
    }
    std::printf(" %s %d", p, amount);
  }
  std::printf("\n");
  MAT2 identity = {Fx(1, 0), Fx(0, 0), Fx(0, 0), Fx(1, 0)};
  MAT2 nearly = {Fx(1, 1), Fx(0, 1), Fx(0, 1), Fx(1, 1)};  // the font code's matrix
  const MAT2* mats[2] = {&identity, &nearly};
  for (int mi = 0; mi < 2; ++mi) {
    for (const char* s = "AOg .@&"; *s; ++s) {
      GLYPHMETRICS gm;
      std::memset(&gm, 0, sizeof(gm));
      DWORD n = GetGlyphOutlineW(dc, (UINT)*s, GGO_NATIVE, &gm, 0, nullptr, mats[mi]);
      std::printf("glyph %c mat %d size %ld box %u %u origin %ld %ld inc %d %d\n", *s, mi,
                  n == GDI_ERROR ? -1L : (long)n, gm.gmBlackBoxX, gm.gmBlackBoxY,
                  (long)gm.gmptGlyphOrigin.x, (long)gm.gmptGlyphOrigin.y, gm.gmCellIncX,
                  gm.gmCellIncY);
      if (n == GDI_ERROR || n == 0 || mi == 1) continue;
      std::vector<unsigned char> buf(n);
      GetGlyphOutlineW(dc, (UINT)*s, GGO_NATIVE, &gm, n, buf.data(), mats[mi]);
      size_t p = 0;
      while (p + 16 <= n) {
        TTPOLYGONHEADER h;
        std::memcpy(&h, &buf[p], sizeof(h));
        std::printf(" contour %d.%u %d.%u\n", h.pfxStart.x.value, h.pfxStart.x.fract,
                    h.pfxStart.y.value, h.pfxStart.y.fract);
        size_t end = p + h.cb;
        p += 16;
        while (p + 4 <= end && end <= n) {
          WORD t, c;
          std::memcpy(&t, &buf[p], 2);
          std::memcpy(&c, &buf[p + 2], 2);
          p += 4;
          std::printf("  %u:", t);
          for (int i = 0; i < c && p + 8 <= end; ++i, p += 8) {
            POINTFX q;
            std::memcpy(&q, &buf[p], 8);
            std::printf(" %d.%u,%d.%u", q.x.value, q.x.fract, q.y.value, q.y.fract);
          }
          std::printf("\n");
        }
        p = end;
      }
    }
  }
  SelectObject(dc, old);
  DeleteDC(dc);
  DeleteObject(font);
}

int main() {
  for (const char* face : {"Liberation Sans", "Carlito", "FreeSans", "DejaVu Sans"}) {
    Probe(face, 10000, 400, 0);
    Probe(face, -2048, 400, 0);
  }
  Probe("Liberation Sans", 10000, 700, 1);
  return 0;
}
