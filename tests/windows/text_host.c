/*
 * A small host of the library in C, written as a Windows program would be: it loads the library
 * at run time, binds the functions it uses by name, lays out the texts of a case file and writes
 * what it gets back as text. Built for Windows (LoadLibrary, GetProcAddress, each function bound
 * by its plain and its decorated name, which must give the same address) and for Linux (dlopen,
 * dlsym, plain names), so that the two builds of the library can be compared record by record.
 *
 *   text_host LIBRARY DECORATED_NAMES CASES OUT
 *
 * DECORATED_NAMES: "plain<TAB>decorated" per line (cmake/make_def.py decorated), "-" on Linux.
 * CASES: one case a line, tab-separated: face (a face name, or "@" and the path of a font file
 * relative to the case file), style, kerning (0/1), hatch line gap in user units (0: none),
 * text (UTF-8, "\n" a line feed). Lines starting with '#' are comments.
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "vuzodo/vuzodo.h"

#ifdef _WIN32
#include <windows.h>
typedef HMODULE Library;
#define Symbol(lib, name) ((void*)GetProcAddress(lib, name))
#else
#include <dlfcn.h>
typedef void* Library;
#define Symbol(lib, name) dlsym(lib, name)
#endif

#define FUNCTIONS(X)                                                                           \
  X(InitializeTTF) X(SetDefaults) X(SetFontFace) X(SetFontStyle) X(SetTextHeight) X(SetAutoKern) \
  X(AppendCharactersEx) X(GetOutLinesEx) X(DeleteTTFData) X(FinishText) X(GetTextLineCount)      \
  X(GetCharacterCount) X(GetMaximumAscent) X(GetMaximumDecent) X(GetFontInformation)             \
  X(AddTTFHatchPatternLine) X(ClearTTFHatchPatterns) X(GetCaretPositionData) X(DeleteCaretData)
#define DECLARE(name) static __typeof__(name)* p##name;
FUNCTIONS(DECLARE)

static Library g_lib;
static FILE* g_out;
static char g_names[128][2][160]; /* plain, decorated */
static int g_name_count, g_bind_failures;

/* The function under its plain name; on Windows also under its decorated name, which must lead to
 * the same address (AppendCharactersOVF has only that one). */
static void* Bind(const char* plain) {
  void* by_plain = Symbol(g_lib, plain);
  void* by_decorated = NULL;
  for (int i = 0; i < g_name_count; ++i) {
    if (strcmp(g_names[i][0], plain) == 0) by_decorated = Symbol(g_lib, g_names[i][1]);
  }
  const int same = by_plain != NULL && (g_name_count == 0 || by_plain == by_decorated);
  if (g_name_count > 0) {
    fprintf(g_out, "bind %s plain %s decorated %s %s\n", plain, by_plain ? "found" : "missing",
            by_decorated ? "found" : "missing", same ? "same" : "DIFFERENT");
  } else if (!same) {
    fprintf(g_out, "bind %s missing\n", plain);
  }
  g_bind_failures += !same;
  return by_plain ? by_plain : by_decorated;
}
#define BIND(name) *(void**)(&p##name) = Bind(#name);

/* UTF-8 (with "\n" escapes) to zero-terminated UTF-16. */
static void ToUtf16(const char* s, unsigned short* out, size_t cap) {
  size_t n = 0;
  for (const unsigned char* p = (const unsigned char*)s; *p && n + 2 < cap;) {
    unsigned long c = *p;
    int extra = c < 0x80 ? 0 : c < 0xE0 ? 1 : c < 0xF0 ? 2 : 3;
    if (p[0] == '\\' && p[1] == 'n') {
      c = '\n';
      ++p;
    } else if (extra > 0) {
      c &= 0x3Fu >> extra;
    }
    for (++p; extra > 0 && *p; --extra) c = (c << 6) | (*p++ & 0x3Fu);
    if (c >= 0x10000) {
      out[n++] = (unsigned short)(0xD800 + ((c - 0x10000) >> 10));
      c = 0xDC00 + ((c - 0x10000) & 0x3FF);
    }
    out[n++] = (unsigned short)c;
  }
  out[n] = 0;
}

static char g_cases_dir[1024]; /* with its trailing separator */

static void RunCase(int number, const char* face8, int style, int kern, float hatch,
                    const char* text8) {
  unsigned short face[512], text[4096];
  char file[2048];
  if (face8[0] == '@') { /* a font file, relative to the case file, in the system's syntax */
    if (snprintf(file, sizeof file, "%s%s", g_cases_dir, face8 + 1) >= (int)sizeof file) {
      fprintf(stderr, "text_host: case %d: the font path %s%s is longer than %d bytes\n", number,
              g_cases_dir, face8 + 1, (int)sizeof file - 1);
      exit(1);
    }
#ifdef _WIN32
    for (char* p = file; *p; ++p) *p = *p == '/' ? '\\' : *p;
#endif
  }
  ToUtf16(face8[0] == '@' ? file : face8, face, 512);
  ToUtf16(text8, text, 4096);
  fprintf(g_out, "case %d face %s style %d kern %d hatch %g text %s\n", number, face8, style, kern,
          hatch, text8);
#ifdef _WIN32
  if (face8[0] != '@') { /* the installed face the system's font matching gives */
    LOGFONTW lf;
    WCHAR realized[LF_FACESIZE];
    memset(&lf, 0, sizeof lf);
    lf.lfHeight = 10000;
    lf.lfCharSet = DEFAULT_CHARSET;
    for (int i = 0; i < LF_FACESIZE - 1 && face[i]; ++i) lf.lfFaceName[i] = (WCHAR)face[i];
    HFONT font = CreateFontIndirectW(&lf);
    HDC dc = CreateCompatibleDC(NULL);
    HGDIOBJ old = SelectObject(dc, font);
    const int n = GetTextFaceW(dc, LF_FACESIZE, realized);
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(font);
    fprintf(g_out, "realized ");
    for (int i = 0; i < n && realized[i]; ++i) fputc(realized[i] < 128 ? realized[i] : '?', g_out);
    fprintf(g_out, "\n");
  }
#endif
  FontInformation info;
  memset(&info, 0, sizeof info);
  pGetFontInformation(face, (EN_TTFFontStyle)style, &info);
  fprintf(g_out, "info ratio %.4f ascent %d descent %d linegap %d em %d top %d bottom %d design %d\n",
          info.ratio, info.ascent, info.descent, info.lineGap, info.emSquare, info.boxTop,
          info.boxBottom, info.designHeight);

  pSetDefaults();
  pClearTTFHatchPatterns();
  pSetFontFace(face);
  pSetFontStyle((EN_TTFFontStyle)style);
  pSetTextHeight(1.0f);
  pSetAutoKern(kern ? EN_TRUE : EN_FALSE);
  if (hatch > 0) {
    pAddTTFHatchPatternLine(0.0f, BORDER_GAP_INWARD, hatch, 0.5f, 0.0f, 0.0f, HATCH_UNIDIRECTIONAL,
                            EN_FALSE);
  }
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

static void Chomp(char* line) {
  size_t n = strlen(line);
  while (n > 0 && (line[n - 1] == '\n' || line[n - 1] == '\r')) line[--n] = 0;
}

int main(int argc, char** argv) {
  if (argc != 5) {
    fprintf(stderr, "usage: text_host LIBRARY DECORATED_NAMES CASES OUT\n");
    return 2;
  }
  g_out = fopen(argv[4], "wb"); /* the same line ends on both systems */
  if (!g_out) return 2;
#ifdef _WIN32
  g_lib = LoadLibraryA(argv[1]);
#else
  g_lib = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
#endif
  if (!g_lib) {
    fprintf(stderr, "cannot load %s\n", argv[1]);
    return 1;
  }
  char line[4096];
  if (strcmp(argv[2], "-") != 0) {
    FILE* names = fopen(argv[2], "r");
    while (names && fgets(line, sizeof line, names) && g_name_count < 128) {
      Chomp(line);
      char* tab = strchr(line, '\t');
      /* No export name comes near the slot size: a line that would not fit is not ours. */
      if (!tab || tab - line >= 160 || strlen(tab + 1) >= 160) continue;
      *tab = 0;
      strcpy(g_names[g_name_count][0], line);
      strcpy(g_names[g_name_count++][1], tab + 1);
    }
    if (names) fclose(names);
    if (g_name_count == 0) {
      fprintf(stderr, "no decorated names in %s\n", argv[2]);
      return 1;
    }
  }
  FUNCTIONS(BIND)
  if (g_bind_failures) {
    fprintf(stderr, "%d functions could not be bound\n", g_bind_failures);
    return 1;
  }
  snprintf(g_cases_dir, sizeof g_cases_dir, "%s", argv[3]);
  char* cut = g_cases_dir;
  for (char* p = g_cases_dir; *p; ++p) cut = *p == '/' || *p == '\\' ? p + 1 : cut;
  *cut = 0;
  FILE* cases = fopen(argv[3], "r");
  if (!cases) return 2;
  int number = 0;
  pInitializeTTF(1000.0f);
  while (fgets(line, sizeof line, cases)) {
    Chomp(line);
    char* fields[5] = {line};
    int n = 1;
    for (char* tab; n < 5 && line[0] != '#' && (tab = strchr(fields[n - 1], '\t')); ++n) {
      *tab = 0;
      fields[n] = tab + 1;
    }
    if (n == 5) {
      RunCase(++number, fields[0], atoi(fields[1]), atoi(fields[2]), (float)atof(fields[3]),
              fields[4]);
    }
  }
  fclose(cases);
#ifdef _WIN32
  FreeLibrary(g_lib);
#else
  dlclose(g_lib);
#endif
  fclose(g_out);
  return 0;
}
