// Every hard limit of the engine in one place, with the reason for its value. A host that runs
// for days can feed the library anything; nothing it sends may make a structure grow without
// bound. Each value lies far beyond what real work needs (serial numbers, labels, paragraphs
// of a few thousand characters, fonts of a few megabytes) and far below what would exhaust a
// process. docs/decisions.md ("Hard limits") lists them with what going past each one does.
//
// The header is constants only, so that the readers and the platform layer need nothing else
// from the engine.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vuzodo::limits {

// ---- text entry (AppendCharacters, AppendCharactersEx, AppendCharactersOVF) ----

// UTF-16 units one append call takes. 2^17: above the 100,000-character line of the layout
// benchmarks, while a refused call never copies more than 256 KiB of text.
inline constexpr std::size_t kMaxAppendUnits = 131072;
// Characters one text line may hold, counted as if word wrap broke nothing. Equal to the
// append limit, so that one append of a whole line always fits an empty line; appends that
// keep adding to the same line (AppendCharacters never breaks lines) stop here.
inline constexpr std::size_t kMaxLineCharacters = 131072;
// Characters of all lines of a text (until FinishText). 2^18: two full lines; a laid-out
// character costs a few hundred bytes plus its outline, so a full text stays near 100 MB.
inline constexpr std::size_t kMaxTextCharacters = 262144;
// Lines of a text. Each line feed starts one; word wrap stops breaking at this line. Each line
// copies the settings and the rest of the appended text, so lines are kept few.
inline constexpr std::size_t kMaxTextLines = 4096;

// ---- outline retrieval (GetOutLines, GetOutLinesEx, GetMultilineOutLines) ----

// Ints one returned drawing array may hold, records and end mark: 2^26 (256 MiB). A record is
// three ints (five for an arc), so this is about 22 million drawn points. A paragraph in
// Liberation Sans takes about 141 ints per character (bench/layout: 471,040 records for 10,000
// characters), so a full text of 262,144 characters (37 million ints) fits with room for fill.
// Larger answers would come close to the int range of the returned count.
inline constexpr std::size_t kMaxOutputInts = std::size_t{1} << 26;

// ---- text path (SetNurbPathPoints) ----

// Control points of a NURBS path: ten samples are taken per point, so this bounds a path at
// about a million samples (32 MB).
inline constexpr int kMaxPathControlPoints = 100000;

// ---- font files ----

// Bytes of a font file (SHX, OVF, FNT, or a .ttf/.otf/.ttc/.otc path). Outline fonts are a few
// megabytes; the largest CJK collections about 100 MB. Only regular files are opened: a FIFO,
// a device or a directory is no font and could block or never end.
inline constexpr std::uintmax_t kMaxFontFileBytes = std::uintmax_t{256} * 1024 * 1024;

// ---- SHX shapes ----

// Positions code 5 can save: the format's own depth.
inline constexpr int kShxStackSize = 4;
// Nested subshape calls (code 7); deeper calls are passed over. Real fonts nest one or two.
inline constexpr int kShxMaxSubshapeDepth = 16;
// Commands and drawn displacements interpreted for one shape (2^20): subshapes fanning out
// three times per level would otherwise take 3^16 steps.
inline constexpr std::int64_t kShxMaxSteps = std::int64_t{1} << 20;
// Entities one shape may build (2^16): a glyph has tens.
inline constexpr std::size_t kShxMaxEntities = std::size_t{1} << 16;
// Characters of the header text kept (the header ends at its terminator or the first ^Z).
inline constexpr std::size_t kShxMaxHeaderLength = 259;

// ---- FNT lines ----

// Characters of one FNT line; longer lines are no FNT lines and are dropped unread.
inline constexpr std::size_t kFntMaxLineLength = 4096;
// Coordinates beyond this size are not those of a stroke font; the line is dropped.
inline constexpr double kFntMaxNumber = 1.0e6;

// ---- hatching ----

// The hatching library sits below the engine and keeps its own limits, with their reasons, in
// QELHatching/HatchFill.h.

// ---- characters built per font request ----

// The highest code a character request builds: codes are UTF-16 units, so LoadCharacterRange
// builds at most 65,536 characters per call.
inline constexpr int kLastCode = 0xFFFF;

}  // namespace vuzodo::limits
