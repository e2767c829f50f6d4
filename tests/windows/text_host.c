/* A host as a Windows program is written: it loads the library, binds each function by name (on
 * Windows by its plain and its decorated name, which must give the same address), lays out the
 * texts of a case file and writes what it gets back, to compare the Windows and Linux builds.
 *   text_host LIBRARY DECORATED_NAMES("plain<TAB>decorated" lines, "-" on Linux) CASES OUT */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "vuzodo/vuzodo.h"

#ifdef _WIN32
#include <windows.h>
#define dlopen(path, flags) LoadLibraryA(path)
#define dlsym(lib, name) ((void*)GetProcAddress(lib, name))
#define dlclose FreeLibrary
#else
#include <dlfcn.h>
#endif

#define FUNCTIONS(X)                                                                           \
  X(InitializeTTF) X(SetDefaults) X(SetFontFace) X(SetFontStyle) X(SetTextHeight) X(SetAutoKern) \
  X(AppendCharactersEx) X(GetOutLinesEx) X(DeleteTTFData) X(FinishText) X(GetTextLineCount)      \
  X(GetCharacterCount) X(GetMaximumAscent) X(GetMaximumDecent) X(GetFontInformation)             \
  X(AddTTFHatchPatternLine) X(ClearTTFHatchPatterns) X(GetCaretPositionData) X(DeleteCaretData)
#define DECLARE(name) static __typeof__(name)* p##name;
FUNCTIONS(DECLARE)

static void* g_lib;
static FILE* g_out;
static char g_names[128][2][160]; /* plain, decorated */
static int g_name_count, g_bind_failures;

static void* Bind(const char* plain) {
  void *by_plain = dlsym(g_lib, plain), *by_decorated = NULL;
  for (int i = 0; i < g_name_count; ++i)
    if (strcmp(g_names[i][0], plain) == 0) by_decorated = dlsym(g_lib, g_names[i][1]);
  const int same = by_plain && (g_name_count == 0 || by_plain == by_decorated);
  if (g_name_count > 0 || !same)
    fprintf(g_out, "bind %s plain %s decorated %s %s\n", plain, by_plain ? "found" : "missing",
            by_decorated ? "found" : "missing", same ? "same" : "DIFFERENT");
  g_bind_failures += !same;
  return by_plain ? by_plain : by_decorated;
}
#define BIND(name) *(void**)(&p##name) = Bind(#name);

/* UTF-8 (with "\n" escapes) to zero-terminated UTF-16, the Basic Multilingual Plane only. */
static void ToUtf16(const char* s, unsigned short* out, size_t cap) {
  size_t n = 0;
  for (const unsigned char* p = (const unsigned char*)s; *p && n + 2 < cap;) {
    const int escape = p[0] == '\\' && p[1] == 'n';
    unsigned long c = escape ? '\n' : *p;
    int extra = c < 0x80 ? 0 : c < 0xE0 ? 1 : c < 0xF0 ? 2 : 3;
    if (extra > 0) c &= 0x3Fu >> extra;
    for (p += 1 + escape; extra > 0 && *p; --extra) c = (c << 6) | (*p++ & 0x3Fu);
    out[n++] = (unsigned short)c;
  }
  out[n] = 0;
}

static const char* g_cases; /* font files are relative to the case file's folder */
static int g_cases_folder;  /* its length, with the separator */

static void RunCase(int number, const char* face8, char** field) {
  const int style = atoi(field[1]);
  const float hatch = (float)atof(field[3]);
  unsigned short face[512], text[4096];
  char file[2048];
  if (face8[0] == '@') { /* a font file, relative to the case file, in the system's syntax */
    if (snprintf(file, sizeof file, "%.*s%s", g_cases_folder, g_cases, face8 + 1) >= 2048) exit(3);
    for (char* p = file; *p; ++p) *p = *p == '/' && strchr(g_cases, '\\') ? '\\' : *p;
  }
  ToUtf16(face8[0] == '@' ? file : face8, face, 512);
  ToUtf16(field[4], text, 4096);
  fprintf(g_out, "case %d face %s style %d kern %d hatch %g text %s\n", number, face8, style,
          atoi(field[2]), hatch, field[4]);
  FontInformation info = {0};
  pGetFontInformation(face, (EN_TTFFontStyle)style, &info);
  fprintf(g_out,
          "info ratio %.4f ascent %d descent %d linegap %d em %d top %d bottom %d design %d\n",
          info.ratio, info.ascent, info.descent, info.lineGap, info.emSquare, info.boxTop,
          info.boxBottom, info.designHeight);
  pSetDefaults();
  pClearTTFHatchPatterns();
  pSetFontFace(face);
  pSetFontStyle((EN_TTFFontStyle)style);
  pSetTextHeight(1.0f);
  pSetAutoKern(atoi(field[2]) ? EN_TRUE : EN_FALSE);
  if (hatch > 0)
    pAddTTFHatchPatternLine(0.0f, BORDER_GAP_INWARD, hatch, 0.5f, 0.0f, 0.0f, HATCH_UNIDIRECTIONAL,
                            EN_FALSE);
  pAppendCharactersEx(text);
  fprintf(g_out, "lines %d characters %d ascent %.2f descent %.2f\n", pGetTextLineCount(),
          pGetCharacterCount(-1), pGetMaximumAscent(), pGetMaximumDecent());
  float* carets = NULL;
  const int caret_floats = pGetCaretPositionData(&carets);
  fprintf(g_out, "carets %d", caret_floats);
  for (int i = 0; carets && i < caret_floats; ++i) fprintf(g_out, " %.2f", carets[i]);
  fprintf(g_out, "\n");
  pDeleteCaretData(carets);
  for (int type = EN_RT_BORDER; type <= (hatch > 0 ? EN_RT_FILL : EN_RT_BORDER); ++type) {
    int* data = NULL;
    float box[10] = {0};
    const int count = pGetOutLinesEx(-1, (EN_ReturnType)type, &data, box);
    fprintf(g_out, "outlines type %d count %d box", type, count);
    for (int i = 0; i < 8; ++i) fprintf(g_out, " %.2f", box[i]);
    fprintf(g_out, "\n");
    /* Records one a line (the pen is relative); anything else means the array is broken. */
    for (int i = 0; data && i < count && data[i] != -1; i += data[i] == 42 ? 5 : 3) {
      if (data[i] != 40 && data[i] != 41 && data[i] != 42 && data[i] != 466) {
        fprintf(g_out, "record ? %d\n", data[i]);
        break;
      }
      fprintf(g_out, "record %d", data[i]);
      for (int k = 1; k <= (data[i] == 42 ? 4 : 2) && i + k < count; ++k)
        fprintf(g_out, " %d", data[i + k]);
      fprintf(g_out, "\n");
    }
    if (data) fprintf(g_out, "end\n");
    pDeleteTTFData(data);
  }
  pFinishText();
}

int main(int argc, char** argv) {
  g_out = argc == 5 ? fopen(argv[4], "wb") : NULL; /* the same line ends on both systems */
  FILE* cases = argc == 5 ? fopen(argv[3], "r") : NULL;
  if (!g_out || !cases || !(g_lib = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL))) {
    fprintf(stderr, "usage: text_host LIBRARY DECORATED_NAMES CASES OUT (all readable)\n");
    return 2;
  }
  char line[4096];
  FILE* names = strcmp(argv[2], "-") != 0 ? fopen(argv[2], "r") : NULL;
  while (names && fgets(line, sizeof line, names) && g_name_count < 128) {
    if (sscanf(line, "%159[^\t]\t%159s", g_names[g_name_count][0], g_names[g_name_count][1]) == 2)
      ++g_name_count;
  }
  FUNCTIONS(BIND)
  if (g_bind_failures || (strcmp(argv[2], "-") != 0 && g_name_count == 0)) {
    fprintf(stderr, "%d functions could not be bound (names from %s)\n", g_bind_failures, argv[2]);
    return 1;
  }
  for (g_cases = argv[3]; *argv[3]; ++argv[3])
    if (*argv[3] == '/' || *argv[3] == '\\') g_cases_folder = (int)(argv[3] - g_cases) + 1;
  pInitializeTTF(1000.0f);
  for (int number = 0; fgets(line, sizeof line, cases);) {
    line[strcspn(line, "\r\n")] = 0;
    char* field[5] = {line};
    int n = 1;
    for (char* tab; n < 5 && line[0] != '#' && (tab = strchr(field[n - 1], '\t')); ++n) {
      *tab = 0;
      field[n] = tab + 1;
    }
    if (n == 5) RunCase(++number, field[0], field);
  }
  dlclose(g_lib);
  fclose(g_out);
  return 0;
}
