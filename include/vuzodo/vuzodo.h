/*
 * VUZODO: text to vector outlines.
 *
 * The whole public interface of the library: 77 functions, the EN_* enumeration
 * types of their signatures and three exported records. It is valid C (C11) and
 * C++; nothing of the C++ implementation shows through.
 *
 * How a host uses it
 *   InitializeTTF (optional) -> SetDefaults (optional) -> setters -> hatch patterns
 *   -> Append* (one or more) -> Get* (any number of times) -> Delete* for every
 *   returned array -> FinishText before the next text.
 *
 * Conventions
 *   - Strings are zero-terminated UTF-16 (`unsigned short*`).
 *   - Lengths given by the host are in user units; the library multiplies them by
 *     the unit size U (InitializeTTF, default 1000.0) into output units.
 *   - Angles are radians, counter-clockwise; y points up; descents are negative.
 *   - Setters return 1 when the request was carried out and 0 when it was refused
 *     (a refusal changes nothing). Three setters store their value and still
 *     return 0: SetIndentPositions, SetTextHorizontalAlign, SetTextVerticalAlign.
 *   - Misuse is refused, never a crash: a float argument that is NaN or infinite
 *     (for hatch lengths also one that becomes infinite once multiplied by U),
 *     a negative array length and a null array with a positive length make the export
 *     give its refusal: 0 for a function with a result, nothing done for one
 *     without. Null output pointers are not written. A refused call is traced
 *     like any other. docs/decisions.md lists every case.
 *   - Arrays returned through pointer arguments are allocated by the library and
 *     belong to the host until it hands them back: int arrays to DeleteTTFData,
 *     float and CursorPosition arrays to DeleteCaretData.
 *   - The library is single-threaded: call it from one thread at a time.
 *   - Tracing: when a file named "TTFLog.txt" exists beside the library when it
 *     is loaded, every call appends a call-shaped line to it; "TTFCBNLog.txt"
 *     beside it likewise receives dumps of returned outline arrays. Each
 *     function's comment ends with its line ("Trace:"), written without the
 *     backquotes and followed by a line feed; `{name}` stands for the
 *     parameter: a float or double as "%f", an integer, enumeration or
 *     vuzodo_bool as "%i", a text as UTF-8 (null: "(null)"). The outline
 *     retrievals follow their line with a line of 20 asterisks;
 *     SetIndentPositions precedes its line with `float indentList[N] = {...};`
 *     holding each stop as "%ff,".
 */
#ifndef VUZODO_VUZODO_H
#define VUZODO_VUZODO_H

#if defined(_WIN32)
#  define VUZODO_CALL __cdecl
#  if defined(VUZODO_BUILDING_LIBRARY)
/* The DLL's module-definition file, generated from this header, is its whole */
/* export table (each function by plain and by decorated name); dllexport    */
/* would add names of its own.                                                 */
#    define VUZODO_API
#  else
#    define VUZODO_API __declspec(dllimport)
#  endif
#else
#  define VUZODO_CALL
#  if defined(VUZODO_BUILDING_LIBRARY)
#    define VUZODO_API __attribute__((visibility("default")))
#  else
#    define VUZODO_API
#  endif
#endif

/* A parameter that the interface passes by reference: a pointer in C and in  */
/* the calling convention, a reference (&) in the function's decorated name.  */
#define VUZODO_REF *

#ifdef __cplusplus
#  define VUZODO_STATIC_ASSERT(cond, msg) static_assert(cond, msg)
/** A one-byte boolean: C++ bool, C _Bool (same size and passing). */
typedef bool vuzodo_bool;
/* C++ reads an enumeration parameter as its type; a fixed int type makes every */
/* int a C host passes a valid value of it (the ABI is the same 32-bit int).    */
#  define VUZODO_ENUM(name) enum name : int
extern "C" {
#else
#  define VUZODO_STATIC_ASSERT(cond, msg) _Static_assert(cond, msg)
typedef _Bool vuzodo_bool;
#  define VUZODO_ENUM(name) enum name
#endif

/* ------------------------------------------------------------------------- */
/* Enumerations. All are passed as 32-bit integers; the FORCE32 member keeps   */
/* every compiler's enum at 32 bits. Values not named here are still passed   */
/* through; the comment says what the library does with them.                 */
/* ------------------------------------------------------------------------- */

/** Boolean flag: exactly 1 is true, every other value is false. */
typedef VUZODO_ENUM(EN_Bool) { EN_FALSE = 0, EN_TRUE = 1, EN_Bool_FORCE32 = 0x7fffffff } EN_Bool;

/** Which streams an outline retrieval returns, and in which order. Any other
 *  value selects nothing. */
typedef VUZODO_ENUM(EN_ReturnType) {
  EN_RT_BORDER = 0,                  /**< character outlines */
  EN_RT_FILL = 1,                    /**< hatch fill entities */
  EN_RT_HATCH_POLYLINES = 2,         /**< hatch polylines */
  EN_RT_BORDER_FILL = 3,             /**< outlines, then fill, per character */
  EN_RT_FILL_BORDER = 4,             /**< fill, then outlines, per character */
  EN_RT_BORDER_POLYLINES_FILL = 5,   /**< outlines, polylines, fill, per character */
  EN_ReturnType_FORCE32 = 0x7fffffff
} EN_ReturnType;

/** Font style, part of a font's key. For TrueType fonts any other value
 *  selects weight 0 (the face's default) and upright. */
typedef VUZODO_ENUM(EN_TTFFontStyle) {
  EN_STYLE_REGULAR = 0,
  EN_STYLE_BOLD = 1,
  EN_STYLE_ITALIC = 2,
  EN_STYLE_BOLD_ITALIC = 3,
  EN_TTFFontStyle_FORCE32 = 0x7fffffff
} EN_TTFFontStyle;

/** Horizontal alignment of a line in the text box. */
typedef VUZODO_ENUM(EN_TextHorizontalAlignStyle) {
  EN_HALIGN_LEFT = 0,
  EN_HALIGN_CENTER = 1,
  EN_HALIGN_RIGHT = 2,
  EN_TextHorizontalAlignStyle_FORCE32 = 0x7fffffff
} EN_TextHorizontalAlignStyle;

/** Vertical alignment of the block of lines in the text box. */
typedef VUZODO_ENUM(EN_TextVerticalAlignStyle) {
  EN_VALIGN_TOP = 0,
  EN_VALIGN_MIDDLE = 1,
  EN_VALIGN_BOTTOM = 2,
  EN_TextVerticalAlignStyle_FORCE32 = 0x7fffffff
} EN_TextVerticalAlignStyle;

/** Line advance rule. */
typedef VUZODO_ENUM(EN_LineSpaceStyle) {
  EN_LINESPACE_PROPORTIONAL = 0, /**< previous descent + next ascent, times the spacing */
  EN_LINESPACE_FIXED = 1,        /**< unit size times the spacing */
  EN_LineSpaceStyle_FORCE32 = 0x7fffffff
} EN_LineSpaceStyle;

/** What an FNT font's arc lines become when the font is loaded. Any other
 *  value drops arc lines. */
typedef VUZODO_ENUM(EN_FNT_ConvertionStyle) {
  EN_FNT_ARCS_AS_ENTITIES = 1,
  EN_FNT_ARCS_AS_POINTS = 2, /**< default */
  EN_FNT_ConvertionStyle_FORCE32 = 0x7fffffff
} EN_FNT_ConvertionStyle;

/** Which line of the characters lies on the text path. Other values act as 0. */
typedef VUZODO_ENUM(EN_PathTextAlign) {
  EN_PATH_BASELINE = 0,
  EN_PATH_ASCENT = 1,
  EN_PATH_DESCENT = 2,
  EN_PATH_STRIKEOUT = 3,
  EN_PathTextAlign_FORCE32 = 0x7fffffff
} EN_PathTextAlign;

/* The hatching enumerations are handed to the hatching library unchanged. */

/** Whether the border gap shrinks (inward) or grows (outward) the region. */
typedef VUZODO_ENUM(borderGapDirection) {
  BORDER_GAP_INWARD = 0,
  BORDER_GAP_OUTWARD = 1,
  borderGapDirection_FORCE32 = 0x7fffffff
} borderGapDirection;

/** How the lines of a line pattern are ordered and joined. */
typedef VUZODO_ENUM(hatchStyle) {
  HATCH_UNIDIRECTIONAL = 0,        /**< every line drawn in the same direction */
  HATCH_SERPENTINE = 1,            /**< direction alternates, segments separate */
  HATCH_SERPENTINE_CONNECTED = 2,  /**< neighbouring segments joined along the border */
  HATCH_DOUBLE = 3,                /**< a second family at +90 degrees */
  HATCH_TWO_PASSES = 4,            /**< lines k mod 2, to spread heat */
  HATCH_THREE_PASSES = 5,          /**< lines k mod 3 */
  hatchStyle_FORCE32 = 0x7fffffff
} hatchStyle;

/** Order of contour-parallel rings. */
typedef VUZODO_ENUM(EN_OffsetStyle) {
  EN_OFFSET_OUTSIDE_IN = 0,
  EN_OFFSET_INSIDE_OUT = 1,
  EN_OffsetStyle_FORCE32 = 0x7fffffff
} EN_OffsetStyle;

/** How offset contours are computed. */
typedef VUZODO_ENUM(EN_OffsetAlgorithm) {
  EN_OFFSET_DIRECT = 0,
  EN_OFFSET_CLEANUP = 1, /**< offset, then remove self-intersections */
  EN_OffsetAlgorithm_FORCE32 = 0x7fffffff
} EN_OffsetAlgorithm;

/** Corners of offset contours. */
typedef VUZODO_ENUM(EN_OffsetCornerStyle) {
  EN_CORNER_MITER = 0,
  EN_CORNER_BEVEL = 1,
  EN_CORNER_ROUND = 2,
  EN_OffsetCornerStyle_FORCE32 = 0x7fffffff
} EN_OffsetCornerStyle;

/** Direction in which a helix (spiral) fill runs. */
typedef VUZODO_ENUM(EN_HelixStyle) {
  EN_HELIX_OUTSIDE_IN = 0,
  EN_HELIX_INSIDE_OUT = 1,
  EN_HelixStyle_FORCE32 = 0x7fffffff
} EN_HelixStyle;

/* ------------------------------------------------------------------------- */
/* Exported records                                                          */
/* ------------------------------------------------------------------------- */

/** One caret: a segment from its top point to its bottom point (24 bytes). */
typedef struct CursorPosition {
  float topX;      /**< x of the top end, output units */
  float topY;      /**< y of the top end, output units */
  float bottomX;   /**< x of the bottom end */
  float bottomY;   /**< y of the bottom end */
  float baselineY; /**< the line's baseline y (GetMultilineCaretPositionData) */
  int lineStart;   /**< 1 for the caret at the start of a line, 0 after a character */
} CursorPosition;

/** Vertical metrics of one text line (12 bytes), output units. */
typedef struct CharacterLineGapInfo {
  float maximumAscent;  /**< largest ascent on the line */
  float maximumDescent; /**< lowest descent on the line (negative) */
  float maximumLineGap; /**< largest line gap on the line */
} CharacterLineGapInfo;

/** Font facts (32 bytes). Metric fields are in the font's scaled metric units. */
typedef struct FontInformation {
  float ratio;      /**< U / depth of the descender of "g"; 0 when that depth is 0 */
  int ascent;       /**< typographic ascent */
  int descent;      /**< typographic descent (negative) */
  int lineGap;      /**< typographic line gap */
  int emSquare;     /**< units per em */
  int boxTop;       /**< top of the font's bounding box */
  int boxBottom;    /**< bottom of the font's bounding box */
  int designHeight; /**< design height (TrueType fonts) */
} FontInformation;

VUZODO_STATIC_ASSERT(sizeof(CursorPosition) == 24, "CursorPosition must be 24 bytes");
VUZODO_STATIC_ASSERT(sizeof(CharacterLineGapInfo) == 12, "CharacterLineGapInfo must be 12 bytes");
VUZODO_STATIC_ASSERT(sizeof(FontInformation) == 32, "FontInformation must be 32 bytes");
VUZODO_STATIC_ASSERT(sizeof(EN_ReturnType) == 4, "enumerations are 32-bit");
VUZODO_STATIC_ASSERT(sizeof(hatchStyle) == 4, "enumerations are 32-bit");

/* ------------------------------------------------------------------------- */
/* Settings. Each applies to the current text line (the last one), created   */
/* with default settings when there is none yet, unless marked process-wide. */
/* ------------------------------------------------------------------------- */

/** Releases every line and every loaded font, then sets the unit size U, the
 *  output length of one user unit (default 1000.0). Hatch patterns stay. A
 *  unit size that is NaN or infinite is refused: nothing is released.
 *  Trace: `InitializeTTF({unitSize});` */
VUZODO_API void VUZODO_CALL InitializeTTF(float unitSize);

/** Applies the default settings: face "Arial", height 1, regular, no gaps,
 *  no angles, scale 1, no kerning, horizontal, forward, upright, no script,
 *  script sizes and offsets 100 %, no hatch patterns, border included, no
 *  word wrap, no text box, no indents, left and top alignment, spacing 1,
 *  proportional. Leaves U, the FNT mode and the path settings. Returns 1.
 *  Trace: `SetDefaults();` */
VUZODO_API int VUZODO_CALL SetDefaults(void);

/** Face name of an installed font, or the path of an .shx, .ovf or .fnt file
 *  (or of a .ttf/.otf/.ttc file). The string is copied. Returns 0 for null.
 *  Font files are read only when they are regular files of at most 256 MiB;
 *  another path gives an SHX, OVF or FNT font no characters and a TrueType
 *  path the default face.
 *  Trace: `SetFontFace({face});` */
VUZODO_API int VUZODO_CALL SetFontFace(unsigned short* face);

/** Font style (regular, bold, italic, bold italic). Returns 1.
 *  Trace: `SetFontStyle((EN_TTFFontStyle){style});` */
VUZODO_API int VUZODO_CALL SetFontStyle(EN_TTFFontStyle style);

/** Character height factor. Returns 0 unless height > 0 and finite.
 *  Trace: `SetTextHeight({height});` */
VUZODO_API int VUZODO_CALL SetTextHeight(float height);

/** Extra gap between characters, user units (stored times U). Returns 1; 0
 *  for a gap that is not finite.
 *  Trace: `SetHorizontalCharGap({gap});` */
VUZODO_API int VUZODO_CALL SetHorizontalCharGap(float gap);

/** Extra gap between characters of a column, user units (times U). Returns 1;
 *  0 for a gap that is not finite.
 *  Trace: `SetVerticalCharGap({gap});` */
VUZODO_API int VUZODO_CALL SetVerticalCharGap(float gap);

/** Rotation of each character, radians. Returns 1; 0 for an angle that is not
 *  finite.
 *  Trace: `SetCharacterAngle({angle});` */
VUZODO_API int VUZODO_CALL SetCharacterAngle(float angle);

/** Slant of each character, radians. Returns 0 unless -1.35 <= angle <= 1.35
 *  (so 0 for NaN).
 *  Trace: `SetObliqueAngle({angle});` */
VUZODO_API int VUZODO_CALL SetObliqueAngle(float angle);

/** Character width and height factors. Returns 0 unless both are finite and
 *  > 0.
 *  Trace: `SetCharacterScale({scaleX},{scaleY});` */
VUZODO_API int VUZODO_CALL SetCharacterScale(float scaleX, float scaleY);

/** Automatic kerning from the font's kerning pairs. Returns 1.
 *  Trace: `SetAutoKern((EN_Bool){on});` */
VUZODO_API int VUZODO_CALL SetAutoKern(EN_Bool on);

/** Process-wide text mode: horizontal lines (the default). Returns 1.
 *  Trace: `SetModeHorizontal();` */
VUZODO_API int VUZODO_CALL SetModeHorizontal(void);
/** Process-wide text mode: vertical column. Returns 1.
 *  Trace: `SetModeVertical();` */
VUZODO_API int VUZODO_CALL SetModeVertical(void);
/** Process-wide text mode: along the line's path. Returns 1.
 *  Trace: `SetModePathText();` */
VUZODO_API int VUZODO_CALL SetModePathText(void);

/** Characters run forward (the default). Returns 1.
 *  Trace: `SetModeCharacterForward();` */
VUZODO_API int VUZODO_CALL SetModeCharacterForward(void);
/** Characters run backward (mirrored order). Returns 1.
 *  Trace: `SetModeCharacterBackward();` */
VUZODO_API int VUZODO_CALL SetModeCharacterBackward(void);
/** Characters stand upright (the default). Returns 1.
 *  Trace: `SetModeCharacterUpside();` */
VUZODO_API int VUZODO_CALL SetModeCharacterUpside(void);
/** Characters stand upside down. Returns 1.
 *  Trace: `SetModeCharacterUpsideDown();` */
VUZODO_API int VUZODO_CALL SetModeCharacterUpsideDown(void);

/** No super- or subscript (the default). Returns 1.
 *  Trace: `SetModeNoscript();` */
VUZODO_API int VUZODO_CALL SetModeNoscript(void);
/** Following characters are subscript. Returns 1.
 *  Trace: `SetModeSubscript();` */
VUZODO_API int VUZODO_CALL SetModeSubscript(void);
/** Following characters are superscript. Returns 1.
 *  Trace: `SetModeSuperscript();` */
VUZODO_API int VUZODO_CALL SetModeSuperscript(void);

/** Subscript size and offset in percent of the height. Returns 0 unless both
 *  are finite, size > 0 and offset >= 0.
 *  Trace: `SetPropsSubscript({size},{offset});` */
VUZODO_API int VUZODO_CALL SetPropsSubscript(float size, float offset);
/** Superscript size and offset in percent of the height. Returns 0 unless
 *  both are finite, size > 0 and offset >= 0.
 *  Trace: `SetPropsSuperscript({size},{offset});` */
VUZODO_API int VUZODO_CALL SetPropsSuperscript(float size, float offset);

/** Word wrap at the text box width (AppendCharactersEx). Returns 1.
 *  Trace: `SetModeWordWrap((EN_Bool){on});` */
VUZODO_API int VUZODO_CALL SetModeWordWrap(EN_Bool on);

/** Process-wide text box width, user units. Returns 1; 0 for a width that is
 *  not finite.
 *  Trace: `SetTextBoxWidth({width});` */
VUZODO_API int VUZODO_CALL SetTextBoxWidth(float width);
/** Process-wide text box height, user units. Returns 1; 0 for a height that
 *  is not finite.
 *  Trace: `SetTextBoxHeight({height});` */
VUZODO_API int VUZODO_CALL SetTextBoxHeight(float height);

/** Tab stops, user units, in search order: `count` floats are copied from
 *  `list`. Stores them and returns 0 (not a refusal). A null list with a
 *  positive count, a negative count, or a list with a value that is not
 *  finite stores no tab stops.
 *  Trace: `SetIndentPositions(indentList, {count});` */
VUZODO_API int VUZODO_CALL SetIndentPositions(float* list, int count);

/** Horizontal alignment of the current line. Stores it and returns 0.
 *  Trace: `SetTextHorizontalAlign((EN_TextHorizontalAlignStyle){align});` */
VUZODO_API int VUZODO_CALL SetTextHorizontalAlign(EN_TextHorizontalAlignStyle align);
/** Process-wide vertical alignment. Stores it and returns 0.
 *  Trace: `SetTextVerticalAlign((EN_TextVerticalAlignStyle){align});` */
VUZODO_API int VUZODO_CALL SetTextVerticalAlign(EN_TextVerticalAlignStyle align);

/** Process-wide line spacing factor. Returns 1; 0 for a factor that is not
 *  finite.
 *  Trace: `SetLineSpacing({spacing});` */
VUZODO_API int VUZODO_CALL SetLineSpacing(float spacing);
/** Process-wide line spacing rule. Returns 1.
 *  Trace: `SetLineSpacingStyle((EN_LineSpaceStyle){style});` */
VUZODO_API int VUZODO_CALL SetLineSpacingStyle(EN_LineSpaceStyle style);

/** Process-wide treatment of FNT arc lines for fonts loaded afterwards.
 *  Returns 1.
 *  Trace: `SetFNTConversionMode((EN_FNT_ConvertionStyle){mode});` */
VUZODO_API int VUZODO_CALL SetFNTConversionMode(EN_FNT_ConvertionStyle mode);

/** Which line of the characters lies on the path. Returns 1.
 *  Trace: `SetPathTextAlign({align});` */
VUZODO_API int VUZODO_CALL SetPathTextAlign(EN_PathTextAlign align);
/** Flip text to the other side of the path; reverses an existing path.
 *  Returns 1.
 *  Trace: `SetPathTextFlip({flip});` */
VUZODO_API int VUZODO_CALL SetPathTextFlip(EN_Bool flip);
/** Distance of the characters from the path along its normal. Returns 1; 0
 *  for a distance that is not finite.
 *  Trace: `SetPathTextSpacing({spacing});` */
VUZODO_API int VUZODO_CALL SetPathTextSpacing(double spacing);
/** Bend the characters with the path. Returns 1.
 *  Trace: `SetDeformPathCharacters({on});` */
VUZODO_API int VUZODO_CALL SetDeformPathCharacters(EN_Bool on);

/* ------------------------------------------------------------------------- */
/* Text entry                                                                */
/* ------------------------------------------------------------------------- */

/** Lays out `text` on the current line only (line feeds do not break).
 *  Returns 0 for a null or empty string, else 1. Returns 0 and lays nothing
 *  out when the text passes a hard limit: 131,072 UTF-16 units per call,
 *  131,072 characters per line, 262,144 characters per text (until
 *  FinishText), 4,096 lines per text (docs/decisions.md, "Hard limits").
 *  Trace: `AppendCharacters({text})` */
VUZODO_API int VUZODO_CALL AppendCharacters(unsigned short* text);

/** Lays out `text`, starting new lines at line feeds and by word wrap.
 *  Returns 0 for a null or empty string, else 1. Refuses (returns 0, lays
 *  nothing out) as AppendCharacters does; line feeds then count as lines,
 *  not characters. Word wrap starts no line past the 4,096th.
 *  Trace: `AppendCharactersEx({text});` */
VUZODO_API int VUZODO_CALL AppendCharactersEx(unsigned short* text);

/** Accepted for compatibility: traces the call and lays nothing out.
 *  Returns 0 for a null or empty string or one of more than 131,072 units,
 *  else 1.
 *  Trace: `AppendCharactersOVF({text});` */
VUZODO_API int VUZODO_CALL AppendCharactersOVF(unsigned short* text);

/** Ends the text: deletes every line but the last and clears its text,
 *  keeping its settings. Returns 1.
 *  Trace: `FinishText();` */
VUZODO_API int VUZODO_CALL FinishText(void);

/* ------------------------------------------------------------------------- */
/* Outline retrieval. `*data` receives an int array of drawing records,      */
/* relative to a running pen that starts at the text origin, ended by -1:    */
/*   40 dx dy  move;  41 dx dy  draw;  466 dx dy  dot;                       */
/*   42 ex ey cx cy  arc of at most a quarter turn (end and centre).          */
/* The host frees it with DeleteTTFData. `box` receives floats as described. */
/* A null `data` or `box` is not written; the count is returned all the same. */
/* ------------------------------------------------------------------------- */

/** Current line only. index < 0: the whole line, box gets the line's box as
 *  8 floats (four corners); index >= 0: one character of the line, box gets
 *  its ink and cell rectangles and its advance (10 floats). Returns the
 *  number of ints allocated: the records, the -1, and zeros after the -1
 *  where records were merged or dropped. An array that would hold more than
 *  2^26 ints (67,108,864) is refused: `*data` gets the -1 alone, count 1.
 *  Trace: `GetOutLines({index},{type},...)` */
VUZODO_API int VUZODO_CALL GetOutLines(int index, EN_ReturnType type, int** data, float* box);

/** All lines. index < 0: whole text, box gets the text's box as 8 floats
 *  (four corners); index >= 0: one character (counted over all lines), box
 *  gets its 4 corners and the pen after it (10 floats; a character of
 *  AppendCharacters has no box: only the pen is written). Returns the number
 *  of ints including the closing -1. An array that would hold more than
 *  2^26 ints (67,108,864) is refused: `*data` gets the -1 alone, count 1.
 *  Trace: `GetOutLinesEx({index},{type},...);` */
VUZODO_API int VUZODO_CALL GetOutLinesEx(int index, EN_ReturnType type, int** data, float* box);

/** As GetOutLinesEx, with the lines placed in the text box by the
 *  horizontal and vertical alignment (horizontal mode; the other modes
 *  place nothing). The same 2^26-int limit applies.
 *  Trace: `GetMultilineOutLines({index},{type},...);` */
VUZODO_API int VUZODO_CALL GetMultilineOutLines(int index, EN_ReturnType type, int** data,
                                                float* box);

/** Box of the current line's streams (outlines, hatch polylines and fill),
 *  measured from the line's start: 4 floats, minX, minY, maxX, maxY, into
 *  `box` (output units).
 *  Trace: `GetTotalBoundingBox();` */
VUZODO_API void VUZODO_CALL GetTotalBoundingBox(float* box);

/** Frees an array returned by GetOutLines, GetOutLinesEx,
 *  GetMultilineOutLines or GetCustomFontRange. Null is allowed.
 *  Trace: `DeleteTTFData();` */
VUZODO_API void VUZODO_CALL DeleteTTFData(int* data);

/* ------------------------------------------------------------------------- */
/* Caret, line and metric queries                                            */
/* ------------------------------------------------------------------------- */

/** Carets after characters of all lines, four floats each (top x, top y,
 *  bottom x, bottom y). `*data` receives the array (free with
 *  DeleteCaretData). Returns the number of floats written.
 *  Trace: `GetCaretPositionData();` */
VUZODO_API int VUZODO_CALL GetCaretPositionData(float** data);

/** All carets of all lines, placed. `*data` receives `*count` records (free
 *  with DeleteCaretData); `*top` the top of the first line. Returns the number
 *  of lines. `count` and `top` are references in the decorated name (int&,
 *  float&); the calling convention passes references as pointers, so C sees
 *  pointers with the same ABI.
 *  Trace: `GetMultilineCaretPositionData();` */
VUZODO_API int VUZODO_CALL GetMultilineCaretPositionData(CursorPosition** data,
                                                         int VUZODO_REF count,
                                                         float VUZODO_REF top);

/** Frees a caret array (float or CursorPosition). Null is allowed.
 *  Trace: `DeleteCaretData();` */
VUZODO_API void VUZODO_CALL DeleteCaretData(float* data);

/** Characters on line `line`, or on all lines when line < 0; 0 for a line
 *  that does not exist.
 *  Trace: `GetCharacterCount({line});` */
VUZODO_API int VUZODO_CALL GetCharacterCount(int line);

/** Number of text lines (0 before the first line exists).
 *  Trace: `GetTextLineCount();` */
VUZODO_API int VUZODO_CALL GetTextLineCount(void);

/** Writes one record per line into `out`, which the host sizes from
 *  GetTextLineCount. Returns the number of lines; 0 for a null `out`.
 *  Trace: `GetCharacterLineGapInfo();` */
VUZODO_API int VUZODO_CALL GetCharacterLineGapInfo(CharacterLineGapInfo* out);

/** Maximum ascent of the current line, output units.
 *  Trace: `GetMaximumAscent();` */
VUZODO_API float VUZODO_CALL GetMaximumAscent(void);
/** Maximum descent of the current line (negative), output units. The name's
 *  spelling is part of the interface.
 *  Trace: `GetMaximumDecent();` */
VUZODO_API float VUZODO_CALL GetMaximumDecent(void);
/** Maximum line gap of the current line, output units.
 *  Trace: `GetMaximumLineGap();` */
VUZODO_API float VUZODO_CALL GetMaximumLineGap(void);
/** Path length taken by the characters of the current line, output units.
 *  Trace: `GetPathLengthOfCharacters();` */
VUZODO_API float VUZODO_CALL GetPathLengthOfCharacters(void);

/* ------------------------------------------------------------------------- */
/* Fonts                                                                     */
/* ------------------------------------------------------------------------- */

/** Loads the font and builds the `count` characters of `codes`. A negative
 *  count, or null codes with a positive count, builds no character.
 *  Trace: `LoadCharacterSet({face},{style});` */
VUZODO_API void VUZODO_CALL LoadCharacterSet(unsigned short* face, EN_TTFFontStyle style,
                                             int* codes, int count);

/** Loads the font and builds the characters first..last inclusive.
 *  Trace: `LoadCharacterRange({face},{style},{first},{last});` */
VUZODO_API void VUZODO_CALL LoadCharacterRange(unsigned short* face, EN_TTFFontStyle style,
                                               int first, int last);

/** Removes one font (face and style) from the font cache.
 *  Trace: `UnloadFont({face},{style});` */
VUZODO_API void VUZODO_CALL UnloadFont(unsigned short* face, EN_TTFFontStyle style);

/** Removes every font from the font cache. Writes no trace line. */
VUZODO_API void VUZODO_CALL UnloadAllFonts(void);

/** Loads the font and fills `*out`.
 *  Trace: `GetFontInformation({face},{style});` */
VUZODO_API void VUZODO_CALL GetFontInformation(unsigned short* face, EN_TTFFontStyle style,
                                               FontInformation* out);

/** Codes of the characters built so far for the current line's font.
 *  `*codes` receives an int array (free with DeleteTTFData); returns its
 *  length.
 *  Trace: `GetCustomFont();` */
VUZODO_API int VUZODO_CALL GetCustomFontRange(int** codes);

/* ------------------------------------------------------------------------- */
/* Text path (the current line's). Coordinates are user units.               */
/* ------------------------------------------------------------------------- */

/** NURBS path: `count` control points in weighted form (x[i]*w[i], y[i]*w[i]),
 *  weights `w`, `knotCount` = count + degree + 1 knots, text starting at arc
 *  length `start`. x and y are multiplied by U in place, in the caller's
 *  arrays. Returns 1; 0, changing neither the path nor the arrays, for input
 *  that cannot form a path: a null array, fewer than two control points or
 *  than degree + 1, knotCount not count + degree + 1, a zero weight or weights
 *  of both signs (all negative describe the same curve as all positive), a
 *  coordinate, weight, knot or start that is not finite, or decreasing knots
 *  (docs/decisions.md).
 *  Trace: `SetNurbPathPoints();` */
VUZODO_API int VUZODO_CALL SetNurbPathPoints(int degree, int count, float* x, float* y, float* w,
                                             int knotCount, float* knots, float start);

/** Circle path of radius r around (cx, cy), clockwise from the point left of
 *  the centre turned clockwise by `startAngle`. Returns 1; 0 (the path
 *  unchanged) when an argument is not finite.
 *  Trace: `SetNurbPathCircleCW({r},{cx},{cy},{startAngle});` */
VUZODO_API int VUZODO_CALL SetNurbPathCircleCW(float r, float cx, float cy, float startAngle);

/** Circle path, counter-clockwise, start turned counter-clockwise. Returns 1;
 *  0 (the path unchanged) when an argument is not finite.
 *  Trace: `SetNurbPathCircleCCW({r},{cx},{cy},{startAngle});` */
VUZODO_API int VUZODO_CALL SetNurbPathCircleCCW(float r, float cx, float cy, float startAngle);

/** Polyline path: `n` floats, x and y alternating; text starts at arc length
 *  `start`. The caller's array is not changed. Returns 1; 0 (the path
 *  unchanged) for fewer than two points, a null array, or a coordinate or
 *  start that is not finite.
 *  Trace: `SetNurbPathPolyline();` */
VUZODO_API int VUZODO_CALL SetNurbPathPolyline(float* points, int n, float start);

/* ------------------------------------------------------------------------- */
/* Hatch filling. Patterns are process-wide and apply to characters appended */
/* after they were added. Lengths are user units (times U); angles radians.  */
/* All return 1, or 0 and add nothing when a length or angle is NaN or       */
/* infinite or a length is infinite once multiplied by U. Counts and         */
/* enumerations go to the hatching library as given; a count (passes,        */
/* rings) <= 0 gives none.                                                   */
/* ------------------------------------------------------------------------- */

/** Parallel lines `lineGap` apart at `angle` through (baseX, baseY), inside
 *  the region shrunk (or grown) by `borderGap`; `withOffset` also marks the
 *  gapped contour.
 *  Trace: `AddTTFHatchPatternLine({borderGap},{direction},{lineGap},{angle},{baseX})` */
VUZODO_API int VUZODO_CALL AddTTFHatchPatternLine(float borderGap, borderGapDirection direction,
                                                  float lineGap, float angle, float baseX,
                                                  float baseY, hatchStyle style,
                                                  EN_Bool withOffset);

/** As AddTTFHatchPatternLine, with the offset algorithm, corner style, miter
 *  limit in tenths (0: 2.0) and arc tolerance in thousandths of U (0: default).
 *  Trace: `AddTTFHatchPatternLineEx({borderGap},{direction},{lineGap},{angle},{baseX},{baseY},{style},{withOffset},{algorithm});` */
VUZODO_API int VUZODO_CALL AddTTFHatchPatternLineEx(float borderGap, borderGapDirection direction,
                                                    float lineGap, float angle, float baseX,
                                                    float baseY, hatchStyle style,
                                                    EN_Bool withOffset,
                                                    EN_OffsetAlgorithm algorithm,
                                                    EN_OffsetCornerStyle corner, int miterLimit,
                                                    int arcTolerance);

/** Lines as one connected serpentine per part of the region, links at most
 *  `maxLink` long (0: twice the line gap).
 *  Trace: `AddTTFHatchPatternOptimized({borderGap}, {direction}, {lineGap}, {angle}, {maxLink},
 *  {style});` */
VUZODO_API int VUZODO_CALL AddTTFHatchPatternOptimized(float borderGap,
                                                       borderGapDirection direction,
                                                       float lineGap, float angle, float maxLink,
                                                       hatchStyle style);

/** `passes` line families at startAngle + i * angleStep (none for passes
 *  <= 0 or > 64).
 *  Trace: `AddTTFHatchPatternIncremental({borderGap}, {direction}, {lineGap}, {startAngle},
 *  {angleStep}, {passes}, {style});` */
VUZODO_API int VUZODO_CALL AddTTFHatchPatternIncremental(float borderGap,
                                                         borderGapDirection direction,
                                                         float lineGap, float startAngle,
                                                         float angleStep, int passes,
                                                         hatchStyle style);

/** Contour-parallel rings `gap` apart until the region is used up.
 *  Trace: `AddTTFHatchPatternOffsetFilling({gap},{style})` */
VUZODO_API int VUZODO_CALL AddTTFHatchPatternOffsetFilling(float gap, EN_OffsetStyle style);

/** As AddTTFHatchPatternOffsetFilling, with algorithm, corners, miter limit
 *  and arc tolerance (see AddTTFHatchPatternLineEx).
 *  Trace: `AddTTFHatchPatternOffsetFillingEx({gap},{style},{corner},{algorithm});` */
VUZODO_API int VUZODO_CALL AddTTFHatchPatternOffsetFillingEx(float gap, EN_OffsetStyle style,
                                                             EN_OffsetAlgorithm algorithm,
                                                             EN_OffsetCornerStyle corner,
                                                             int miterLimit, int arcTolerance);

/** `insideCount` rings inside and `outsideCount` rings outside the outline;
 *  a count <= 0 gives no rings on that side.
 *  Trace: `AddTTFHatchPatternOffsetInOut({insideGap},{insideCount},{outsideGap},{outsideCount})` */
VUZODO_API int VUZODO_CALL AddTTFHatchPatternOffsetInOut(float insideGap, int insideCount,
                                                         float outsideGap, int outsideCount);

/** As AddTTFHatchPatternOffsetInOut, with algorithm, corners, miter limit and
 *  arc tolerance.
 *  Trace: `AddTTFHatchPatternOffsetInOutEx({insideGap},{insideCount},{outsideGap},{outsideCount},{corner});` */
VUZODO_API int VUZODO_CALL AddTTFHatchPatternOffsetInOutEx(float insideGap, int insideCount,
                                                           float outsideGap, int outsideCount,
                                                           EN_OffsetAlgorithm algorithm,
                                                           EN_OffsetCornerStyle corner,
                                                           int miterLimit, int arcTolerance);

/** Offset rings joined into continuous spirals `gap` apart.
 *  Trace: `AddTTFHatchPatternHelixFillingEx({gap},{miterLimit},{arcTolerance});` */
VUZODO_API int VUZODO_CALL AddTTFHatchPatternHelixFillingEx(float gap, EN_HelixStyle style,
                                                            EN_OffsetAlgorithm algorithm,
                                                            EN_OffsetCornerStyle corner,
                                                            int miterLimit, int arcTolerance);

/** Two line families at `angle` and angle + 90 degrees, gaps gapU and gapV,
 *  through (baseX, baseY); `serpentine` joins neighbouring lines.
 *  Trace: `AddHatchPatternLattice2({gapU}, {gapV}, {angle}, {baseX}, {baseY}, {serpentine});` */
VUZODO_API int VUZODO_CALL AddTTFHatchPatternLattice(float gapU, float gapV, float angle,
                                                     float baseX, float baseY,
                                                     vuzodo_bool serpentine);

/** Empties the pattern list.
 *  Trace: `ClearTTFHatchPatterns();` */
VUZODO_API int VUZODO_CALL ClearTTFHatchPatterns(void);

/** Whether the characters' own outlines go into the border stream (current
 *  line; default on).
 *  Trace: `IncludeBorder((EN_Bool){include});` */
VUZODO_API int VUZODO_CALL IncludeBorder(EN_Bool include);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* VUZODO_VUZODO_H */
