/*
 * What Wine's GDI answers by itself, without the library: the calls the font code makes for a
 * TrueType face, at its font height (10000) and near-identity matrix (1 + 1/65536 on the diagonal,
 * 1/65536 off it), as raw numbers, to be compared between the two Windows targets. Also the x87
 * control word and what the records' rounding ((v + 1.5 x 2^52) - 1.5 x 2^52) gives on the x87
 * stack and in SSE2 registers: with 64-bit mantissas the sum keeps eleven bits of fraction.
 *
 *   gdi_probe FACE TEXT
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

static unsigned long Fnv(const unsigned char* p, DWORD n) {
  unsigned long h = 2166136261ul;
  for (DWORD i = 0; i < n; ++i) h = (h ^ p[i]) * 16777619ul;
  return h & 0xfffffffful;
}

static volatile double g_value = 2.7;

__attribute__((target("fpmath=387"))) static double NearestX87(void) {
  return (g_value + 6755399441055744.0) - 6755399441055744.0;
}

__attribute__((target("sse2,fpmath=sse"))) static double NearestSse2(void) {
  return (g_value + 6755399441055744.0) - 6755399441055744.0;
}

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: gdi_probe FACE TEXT\n");
    return 2;
  }
  unsigned short control = 0;
  __asm__ volatile("fnstcw %0" : "=m"(control));
  static const char* precision[4] = {"24-bit", "reserved", "53-bit", "64-bit"};
  printf("x87 control word 0x%04x (%s mantissa); 2.7 rounded by 1.5 x 2^52: x87 %.17g, SSE2 %.17g\n",
         control, precision[(control >> 8) & 3], NearestX87(), NearestSse2());
  LOGFONTW lf;
  memset(&lf, 0, sizeof lf);
  lf.lfHeight = 10000;
  lf.lfWeight = FW_NORMAL;
  lf.lfCharSet = DEFAULT_CHARSET;
  MultiByteToWideChar(CP_UTF8, 0, argv[1], -1, lf.lfFaceName, LF_FACESIZE);
  HDC dc = CreateCompatibleDC(NULL);
  HFONT font = CreateFontIndirectW(&lf);
  if (dc == NULL || font == NULL) {
    fprintf(stderr, "gdi_probe: no device context or font for '%s'\n", argv[1]);
    return 1;
  }
  SelectObject(dc, font);

  TEXTMETRICW tm;
  GetTextMetricsW(dc, &tm);
  printf("metrics height %ld ascent %ld descent %ld avewidth %ld\n", (long)tm.tmHeight,
         (long)tm.tmAscent, (long)tm.tmDescent, (long)tm.tmAveCharWidth);
  DWORD pairs = GetKerningPairsW(dc, 0, NULL);
  printf("kerning pairs %lu\n", (unsigned long)pairs);

  const MAT2 matrix = {{1, 1}, {1, 0}, {1, 0}, {1, 1}};
  const MAT2 identity = {{0, 1}, {0, 0}, {0, 0}, {0, 1}};
  const MAT2* matrices[2] = {&matrix, &identity};
  const char* names[2] = {"near-identity", "identity"};
  for (int m = 0; m < 2; ++m) {
    for (const char* c = argv[2]; *c; ++c) {
      GLYPHMETRICS gm;
      memset(&gm, 0, sizeof gm);
      DWORD size = GetGlyphOutlineW(dc, (UINT)(unsigned char)*c, GGO_NATIVE, &gm, 0, NULL,
                                    matrices[m]);
      unsigned char* buffer = size != GDI_ERROR && size > 0 ? malloc(size) : NULL;
      if (buffer) GetGlyphOutlineW(dc, (UINT)(unsigned char)*c, GGO_NATIVE, &gm, size, buffer,
                                   matrices[m]);
      printf("%s '%c' size %lu box %u x %u origin %ld,%ld advance %d,%d", names[m], *c,
             (unsigned long)size, gm.gmBlackBoxX, gm.gmBlackBoxY, (long)gm.gmptGlyphOrigin.x,
             (long)gm.gmptGlyphOrigin.y, gm.gmCellIncX, gm.gmCellIncY);
      if (buffer && size >= sizeof(TTPOLYGONHEADER) + 4 + sizeof(POINTFX)) {
        /* The contour's start and its first point, as 16.16 values. */
        const TTPOLYGONHEADER* h = (const TTPOLYGONHEADER*)buffer;
        const POINTFX* first = (const POINTFX*)(buffer + sizeof(TTPOLYGONHEADER) + 4);
        printf(" start %d+%u/65536,%d+%u/65536 first %d+%u/65536,%d+%u/65536 hash %08lx",
               h->pfxStart.x.value, h->pfxStart.x.fract, h->pfxStart.y.value,
               h->pfxStart.y.fract, first->x.value, first->x.fract, first->y.value,
               first->y.fract, Fnv(buffer, size));
      }
      printf("\n");
      free(buffer);
    }
  }
  DeleteDC(dc);
  DeleteObject(font);
  return 0;
}
