/* gdi_probe FACE TEXT: Wine's GDI without the library, at the font code's height and matrix, and
 * the records' rounding (v + 1.5 x 2^52) - 1.5 x 2^52 on the x87 stack and in SSE2 registers. */
#include <stdio.h>
#include <stdlib.h>
#include <windows.h>

static volatile double g_value = 2.7;

__attribute__((target("fpmath=387"))) static double NearestX87(void) {
  return (g_value + 6755399441055744.0) - 6755399441055744.0;
}

__attribute__((target("sse2,fpmath=sse"))) static double NearestSse2(void) {
  return (g_value + 6755399441055744.0) - 6755399441055744.0;
}

int main(int argc, char** argv) {
  unsigned short control = 0;
  __asm__ volatile("fnstcw %0" : "=m"(control));
  static const char* precision[4] = {"24-bit", "reserved", "53-bit", "64-bit"};
  printf("x87 control word 0x%04x (%s mantissa); 2.7 rounded by 1.5 x 2^52: x87 %.17g, SSE2 %.17g\n",
         control, precision[(control >> 8) & 3], NearestX87(), NearestSse2());
  LOGFONTW lf = {.lfHeight = 10000, .lfWeight = FW_NORMAL, .lfCharSet = DEFAULT_CHARSET};
  HDC dc = CreateCompatibleDC(NULL);
  if (argc != 3 || !MultiByteToWideChar(CP_UTF8, 0, argv[1], -1, lf.lfFaceName, LF_FACESIZE) ||
      !dc || !SelectObject(dc, CreateFontIndirectW(&lf))) {
    fprintf(stderr, "usage: gdi_probe FACE TEXT (a face GDI can select)\n");
    return 2;
  }
  TEXTMETRICW tm;
  GetTextMetricsW(dc, &tm);
  printf("metrics height %ld ascent %ld descent %ld avewidth %ld\n", (long)tm.tmHeight,
         (long)tm.tmAscent, (long)tm.tmDescent, (long)tm.tmAveCharWidth);
  printf("kerning pairs %lu\n", (unsigned long)GetKerningPairsW(dc, 0, NULL));
  const MAT2 matrices[2] = {{{1, 1}, {1, 0}, {1, 0}, {1, 1}}, {{0, 1}, {0, 0}, {0, 0}, {0, 1}}};
  for (int m = 0; m < 2; ++m) {
    for (const char* c = argv[2]; *c; ++c) {
      GLYPHMETRICS gm = {0};
      DWORD size = GetGlyphOutlineW(dc, (unsigned char)*c, GGO_NATIVE, &gm, 0, NULL, &matrices[m]);
      unsigned char* buffer = size != GDI_ERROR && size > 0 ? malloc(size) : NULL;
      if (buffer)
        GetGlyphOutlineW(dc, (unsigned char)*c, GGO_NATIVE, &gm, size, buffer, &matrices[m]);
      printf("%s '%c' size %lu box %u x %u origin %ld,%ld advance %d,%d",
             m ? "identity" : "near-identity", *c, (unsigned long)size, gm.gmBlackBoxX,
             gm.gmBlackBoxY, (long)gm.gmptGlyphOrigin.x, (long)gm.gmptGlyphOrigin.y, gm.gmCellIncX,
             gm.gmCellIncY);
      if (buffer && size >= sizeof(TTPOLYGONHEADER) + 4 + sizeof(POINTFX)) {
        /* The first contour's start and first point in 16.16, and an FNV-1a hash of the buffer. */
        const TTPOLYGONHEADER* h = (const TTPOLYGONHEADER*)buffer;
        const POINTFX* first = (const POINTFX*)(buffer + sizeof(TTPOLYGONHEADER) + 4);
        unsigned long hash = 2166136261ul;
        for (DWORD i = 0; i < size; ++i) hash = ((hash ^ buffer[i]) * 16777619ul) & 0xfffffffful;
        printf(" start %d+%u/65536,%d+%u/65536 first %d+%u/65536,%d+%u/65536 hash %08lx",
               h->pfxStart.x.value, h->pfxStart.x.fract, h->pfxStart.y.value, h->pfxStart.y.fract,
               first->x.value, first->x.fract, first->y.value, first->y.fract, hash);
      }
      printf("\n");
      free(buffer);
    }
  }
  DeleteDC(dc);
  return 0;
}
