// Reader of FNT stroke fonts: a line-oriented text file where each character is a "def" line
// with its code followed by relative pen moves, draws, arcs and dots.
//
//   def <code>            starts a character (code truncated towards zero), pen at (0, 0)
//   d <dx>,<dy>           draw a stroke from the pen to pen + (dx, dy)
//   m <dx>,<dy>           move the pen with the pen up
//   point <dx>,<dy>       move the pen and place a dot there
//   a <ex>,<ey>,<cx>,<cy> arc to pen + (ex, ey) about pen + (cx, cy)
//
// Coordinates are unitless; the registry normalises the font afterwards.
#ifndef VUZODO_FNTREADER_H
#define VUZODO_FNTREADER_H

#include <istream>
#include <string>
#include <vector>

#include "ReaderGlyph.h"

// How arc lines are read (the process-wide FNT conversion mode in force when the font loads).
inline constexpr int kFntArcsAsPoints = 2;    // arc points appended to the open stroke
inline constexpr int kFntArcsAsEntities = 1;  // a separate elliptical arc entity
// Any other value ignores arc lines (the pen stays where it was).

// Reads the FNT file at the UTF-16 path (low byte of each unit used) and returns its characters
// in file order, each with its outline, the box grown from its entities and its advance (the
// pen's x at the end of the character). A file that cannot be opened gives none.
std::vector<ReaderGlyph> ReadFntFile(const unsigned short* path, int conversion_mode);
std::vector<ReaderGlyph> ReadFntFile(const std::string& path, int conversion_mode);
// The same from any text stream.
std::vector<ReaderGlyph> ReadFntStream(std::istream& in, int conversion_mode);

#endif  // VUZODO_FNTREADER_H
