/*
 * A small host of the library, in C, as a Windows program would be written:
 * it loads the library at run time, binds the functions it uses by name, lays
 * out the texts of a case file and writes what it gets back as plain text.
 * Built for Windows (LoadLibraryW, GetProcAddress, each function bound by its
 * plain and by its decorated name) and for Linux (dlopen, dlsym, plain names),
 * so the two builds of the library can be compared record by record.
 *
 *   text_host LIBRARY DECORATED_NAMES CASES OUT
 *
 * DECORATED_NAMES: "plain<TAB>decorated" per line (cmake/make_def.py decorated);
 * "-" on Linux. CASES: one case a line, tab-separated: face (a face name, or
 * "@" and the path of a font file relative to the case file), style, kerning
 * (0/1), hatch line gap in user units (0: none), text (UTF-8, "\n" for a line
 * feed). Lines starting with '#' are comments.
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "vuzodo/vuzodo.h"

#ifdef _WIN32
#include <windows.h>
typedef HMODULE Library;
#else
#include <dlfcn.h>
typedef void* Library;
#endif

/* ---- binding -------------------------------------------------------------- */

static Library g_lib;
static FILE* g_out;
static char g_decorated[128][2][160]; /* plain, decorated */
static int g_decorated_count;
static int g_bind_failures;

static void* Symbol(const char* name) {
#ifdef _WIN32
  return (void*)GetProcAddress(g_lib, name);
#else
  return dlsym(g_lib, name);
#endif
}

/* The function under its plain name; on Windows also under its decorated name,
 * which must lead to the same address (AppendCharactersOVF has only that one). */
static void* Bind(const char* plain) {
  void* by_plain = Symbol(plain);
  void* by_decorated = NULL;
  const char* decorated = NULL;
  for (int i = 0; i < g_decorated_count; ++i) {
    if (strcmp(g_decorated[i][0], plain) == 0) decorated = g_decorated[i][1];
  }
  if (decorated) by_decorated = Symbol(decorated);
  if (g_decorated_count > 0) {
    const int same = by_plain != NULL && by_plain == by_decorated;
    fprintf(g_out, "bind %s plain %s decorated %s %s\n", plain, by_plain ? "found" : "missing",
            by_decorated ? "found" : "missing", same ? "same" : "DIFFERENT");
    if (!same) ++g_bind_failures;
  } else if (!by_plain) {
    fprintf(g_out, "bind %s missing\n", plain);
    ++g_bind_failures;
  }
  return by_plain ? by_plain : by_decorated;
}

static void (*pInitializeTTF)(float);
static int (*pSetDefaults)(void);
static int (*pSetFontFace)(unsigned short*);
static int (*pSetFontStyle)(EN_TTFFontStyle);
static int (*pSetTextHeight)(float);
static int (*pSetAutoKern)(EN_Bool);
static int (*pAppendCharactersEx)(unsigned short*);
static int (*pGetOutLinesEx)(int, EN_ReturnType, int**, float*);
static void (*pDeleteTTFData)(int*);
static int (*pFinishText)(void);
static int (*pGetTextLineCount)(void);
static int (*pGetCharacterCount)(int);
static float (*pGetMaximumAscent)(void);
static float (*pGetMaximumDecent)(void);
static void (*pGetFontInformation)(unsigned short*, EN_TTFFontStyle, FontInformation*);
static int (*pAddTTFHatchPatternLine)(float, borderGapDirection, float, float, float, float,
                                      hatchStyle, EN_Bool);
static int (*pClearTTFHatchPatterns)(void);
static int (*pGetCaretPositionData)(float**);
static void (*pDeleteCaretData)(float*);

#define BIND(name) *(void**)(&p##name) = Bind(#name)

static void BindAll(void) {
  BIND(InitializeTTF);
  BIND(SetDefaults);
  BIND(SetFontFace);
  BIND(SetFontStyle);
  BIND(SetTextHeight);
  BIND(SetAutoKern);
  BIND(AppendCharactersEx);
  BIND(GetOutLinesEx);
  BIND(DeleteTTFData);
  BIND(FinishText);
  BIND(GetTextLineCount);
  BIND(GetCharacterCount);
  BIND(GetMaximumAscent);
  BIND(GetMaximumDecent);
  BIND(GetFontInformation);
  BIND(AddTTFHatchPatternLine);
  BIND(ClearTTFHatchPatterns);
  BIND(GetCaretPositionData);
  BIND(DeleteCaretData);
}

/* ---- text ----------------------------------------------------------------- */

/* UTF-8 (with "\n" escapes) to zero-terminated UTF-16. */
static void ToUtf16(const char* s, unsigned short* out, size_t cap) {
  size_t n = 0;
  const unsigned char* p = (const unsigned char*)s;
  while (*p && n + 2 < cap) {
    unsigned long c;
    if (p[0] == '\\' && p[1] == 'n') {
      c = '\n';
      p += 2;
    } else if (*p < 0x80) {
      c = *p++;
    } else if ((*p & 0xE0) == 0xC0 && p[1]) {
      c = ((p[0] & 0x1Fu) << 6) | (p[1] & 0x3Fu);
      p += 2;
    } else if ((*p & 0xF0) == 0xE0 && p[1] && p[2]) {
      c = ((p[0] & 0x0Fu) << 12) | ((p[1] & 0x3Fu) << 6) | (p[2] & 0x3Fu);
      p += 3;
    } else if ((*p & 0xF8) == 0xF0 && p[1] && p[2] && p[3]) {
      c = ((p[0] & 0x07u) << 18) | ((p[1] & 0x3Fu) << 12) | ((p[2] & 0x3Fu) << 6) | (p[3] & 0x3Fu);
      p += 4;
    } else {
      c = 0xFFFD;
      ++p;
    }
    if (c >= 0x10000) {
      c -= 0x10000;
      out[n++] = (unsigned short)(0xD800 + (c >> 10));
      out[n++] = (unsigned short)(0xDC00 + (c & 0x3FF));
    } else {
      out[n++] = (unsigned short)c;
    }
  }
  out[n] = 0;
}

/* ---- one case --------------------------------------------------------------- */

static void WriteRecords(const int* data, int count) {
  /* Records one a line; the pen is relative, so each line is one record. */
  int i = 0;
  while (i < count && data[i] != -1) {
    const int kind = data[i];
    const int operands = kind == 42 ? 4 : 2;
    if (kind != 40 && kind != 41 && kind != 42 && kind != 466) {
      fprintf(g_out, "record ? %d\n", kind); /* not a record: the array is broken */
      return;
    }
    fprintf(g_out, "record %d", kind);
    for (int k = 1; k <= operands && i + k < count; ++k) fprintf(g_out, " %d", data[i + k]);
    fprintf(g_out, "\n");
    i += 1 + operands;
  }
  fprintf(g_out, "end\n");
}

static char g_cases_dir[1024]; /* with its trailing separator */

static void RunCase(int number, const char* face8, int style, int kern, float hatch,
                    const char* text8) {
  unsigned short face[512], text[4096];
  char file[2048];
  if (face8[0] == '@') {
    /* A font file, relative to the case file, in the system's path syntax. */
    if (snprintf(file, sizeof file, "%s%s", g_cases_dir, face8 + 1) >= (int)sizeof file) {
      fprintf(stderr, "text_host: case %d: the font path %s%s is longer than %d bytes\n", number,
              g_cases_dir, face8 + 1, (int)sizeof file - 1);
      exit(1);
    }
#ifdef _WIN32
    for (char* p = file; *p; ++p) {
      if (*p == '/') *p = '\\';
    }
#endif
    ToUtf16(file, face, 512);
  } else {
    ToUtf16(face8, face, 512);
  }
  ToUtf16(text8, text, 4096);
  fprintf(g_out, "case %d face %s style %d kern %d hatch %g text %s\n", number, face8, style, kern,
          hatch, text8);
#ifdef _WIN32
  if (face8[0] != '@') {
    /* Which installed face the system's font matching gives for the face asked
     * for (the library's fonts are matched the same way). */
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
    for (int i = 0; i < n && realized[i]; ++i)
      fputc(realized[i] < 128 ? (char)realized[i] : '?', g_out);
    fprintf(g_out, "\n");
  }
#endif

  FontInformation info;
  memset(&info, 0, sizeof info);
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

  const EN_ReturnType types[2] = {EN_RT_BORDER, EN_RT_FILL};
  for (int t = 0; t < (hatch > 0 ? 2 : 1); ++t) {
    int* data = NULL;
    float box[10];
    memset(box, 0, sizeof box);
    const int count = pGetOutLinesEx(-1, types[t], &data, box);
    fprintf(g_out, "outlines type %d count %d box", (int)types[t], count);
    for (int i = 0; i < 8; ++i) fprintf(g_out, " %.2f", box[i]);
    fprintf(g_out, "\n");
    if (data) WriteRecords(data, count);
    pDeleteTTFData(data);
  }
  pFinishText();
}

/* ---- main --------------------------------------------------------------------- */

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
  if (strcmp(argv[2], "-") != 0) {
    FILE* names = fopen(argv[2], "r");
    char line[400];
    while (names && fgets(line, sizeof line, names) && g_decorated_count < 128) {
      Chomp(line);
      char* tab = strchr(line, '\t');
      if (!tab) continue;
      *tab = 0;
      /* No export name comes near the slot size; a line that would not fit
         is not one of ours, so skip it rather than bind a truncated name. */
      if (strlen(line) >= sizeof g_decorated[0][0] ||
          strlen(tab + 1) >= sizeof g_decorated[0][1])
        continue;
      memcpy(g_decorated[g_decorated_count][0], line, strlen(line) + 1);
      memcpy(g_decorated[g_decorated_count][1], tab + 1, strlen(tab + 1) + 1);
      ++g_decorated_count;
    }
    if (names) fclose(names);
    if (g_decorated_count == 0) {
      fprintf(stderr, "no decorated names in %s\n", argv[2]);
      return 1;
    }
  }
  BindAll();
  if (g_bind_failures) {
    fprintf(stderr, "%d functions could not be bound\n", g_bind_failures);
    return 1;
  }

  snprintf(g_cases_dir, sizeof g_cases_dir, "%s", argv[3]);
  {
    char* slash = strrchr(g_cases_dir, '/');
    char* backslash = strrchr(g_cases_dir, '\\');
    if (backslash && (!slash || backslash > slash)) slash = backslash;
    if (slash) {
      slash[1] = 0;
    } else {
      g_cases_dir[0] = 0;
    }
  }
  FILE* cases = fopen(argv[3], "r");
  if (!cases) return 2;
  char line[4096];
  int number = 0;
  pInitializeTTF(1000.0f);
  while (fgets(line, sizeof line, cases)) {
    Chomp(line);
    if (line[0] == '#' || line[0] == 0) continue;
    char* fields[5];
    int n = 0;
    for (char* p = line; n < 5; ++n) {
      fields[n] = p;
      char* tab = n < 4 ? strchr(p, '\t') : NULL;
      if (n < 4 && !tab) break;
      if (tab) {
        *tab = 0;
        p = tab + 1;
      }
    }
    if (n < 5) continue;
    RunCase(++number, fields[0], atoi(fields[1]), atoi(fields[2]), (float)atof(fields[3]),
            fields[4]);
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
