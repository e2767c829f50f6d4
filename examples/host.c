/* A minimal host: lays out a text, fetches its outline records, checks that
 * the pen comes back to where it started, and releases the array.
 *
 *   host [TEXT [FACE]]
 */
#include <stdio.h>
#include <string.h>
#include <vuzodo/vuzodo.h>

/* The interface takes zero-terminated UTF-16; ASCII widens unit by unit. */
static void Widen(const char* in, unsigned short* out, size_t room) {
  size_t i = 0;
  for (; in[i] != '\0' && i + 1 < room; ++i) out[i] = (unsigned char)in[i];
  out[i] = 0;
}

int main(int argc, char** argv) {
  unsigned short text[256], face[64];
  Widen(argc > 1 ? argv[1] : "Hello, host", text, 256);
  Widen(argc > 2 ? argv[2] : "Arial", face, 64);

  InitializeTTF(1000.0f); /* output units per user unit */
  SetDefaults();
  SetFontFace(face);
  SetTextHeight(2.5f);
  if (!AppendCharactersEx(text)) return 2;

  int* records = NULL;
  float box[8];
  const int count = GetOutLinesEx(-1, EN_RT_BORDER, &records, box);
  long sum_x = 0, sum_y = 0;
  int draws = 0;
  for (int p = 0; p + 2 < count;) {
    sum_x += records[p + 1];
    sum_y += records[p + 2];
    draws += records[p] == 41 || records[p] == 42;
    p += records[p] == 42 ? 5 : 3;
  }
  DeleteTTFData(records); /* the engine's array goes back to the engine */
  printf("%d characters, %d ints, %d drawing records, pen back at (%ld, %ld)\n",
         GetCharacterCount(-1), count, draws, sum_x, sum_y);
  FinishText();
  return (sum_x == 0 && sum_y == 0 && draws > 0) ? 0 : 1;
}
