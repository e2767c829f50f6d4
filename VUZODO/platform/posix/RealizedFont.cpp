#include "RealizedFont.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H
#include FT_TRUETYPE_TAGS_H
#include FT_SFNT_NAMES_H
#include FT_TRUETYPE_IDS_H
#include FT_FONT_FORMATS_H

#include <algorithm>
#include <cmath>
#include <cstring>
#include <type_traits>
#include <unordered_map>

#include "FaceMatch.h"
#include "FontFile.h"
#include "NativeOutline.h"
#include "PairKerning.h"

namespace vuzodo::platform::posix {

// One FreeType library for the process, kept alive by every face opened in it.
class FreeTypeLibrary {
 public:
  static std::shared_ptr<FreeTypeLibrary> Get() {
    static std::shared_ptr<FreeTypeLibrary> library = [] {
      std::shared_ptr<FreeTypeLibrary> lib(new FreeTypeLibrary());
      if (FT_Init_FreeType(&lib->handle_) != 0) lib.reset();
      return lib;
    }();
    return library;
  }
  ~FreeTypeLibrary() {
    if (handle_) FT_Done_FreeType(handle_);
  }
  FT_Library handle() const { return handle_; }

 private:
  FreeTypeLibrary() = default;
  FT_Library handle_ = nullptr;
};

namespace {

// a × b ÷ c rounded half away from zero, as the Windows MulDiv.
long MulDiv(long a, long b, long c) {
  if (c == 0) return 0;
  long long num = static_cast<long long>(a) * b;
  long long den = c;
  if (den < 0) {
    num = -num;
    den = -den;
  }
  return static_cast<long>(num >= 0 ? (num + den / 2) / den : -((-num + den / 2) / den));
}

FT_Fixed FixedOf(const FIXED& f) {
  return static_cast<FT_Fixed>(f.value) * 65536 + f.fract;
}

// The face's UTF-16 name of this id: Windows platform, English (US) first.
std::u16string SfntName(FT_Face face, FT_UShort id, const char* fallback) {
  std::u16string best;
  int best_score = -1;
  const FT_UInt count = FT_Get_Sfnt_Name_Count(face);
  for (FT_UInt i = 0; i < count; ++i) {
    FT_SfntName name;
    if (FT_Get_Sfnt_Name(face, i, &name) != 0 || name.name_id != id) continue;
    if (name.platform_id != TT_PLATFORM_MICROSOFT) continue;
    if (name.encoding_id != TT_MS_ID_UNICODE_CS && name.encoding_id != TT_MS_ID_SYMBOL_CS &&
        name.encoding_id != TT_MS_ID_UCS_4) {
      continue;
    }
    const int score = name.language_id == 0x0409 ? 2 : ((name.language_id & 0x3FF) == 0x09);
    if (score <= best_score) continue;
    std::u16string text;
    for (FT_UInt b = 0; b + 1 < name.string_len; b += 2) {
      text += static_cast<char16_t>(name.string[b] << 8 | name.string[b + 1]);
    }
    best = std::move(text);
    best_score = score;
  }
  if (best_score < 0 && fallback) {
    for (const char* p = fallback; *p; ++p)
      best += static_cast<char16_t>(static_cast<unsigned char>(*p));
  }
  return best;
}

std::vector<std::uint8_t> LoadTable(FT_Face face, FT_ULong tag) {
  FT_ULong length = 0;
  if (FT_Load_Sfnt_Table(face, tag, 0, nullptr, &length) != 0 || length == 0) return {};
  std::vector<std::uint8_t> data(length);
  if (FT_Load_Sfnt_Table(face, tag, 0, data.data(), &length) != 0) return {};
  return data;
}

// Synthetic italic slant: x += y / 4 (about 14 degrees).
constexpr FT_Fixed kFakeItalicShear = 0x4000;

}  // namespace

// Callers ask for the size of an outline and then for the outline itself, with
// the same code and matrix; the transformed outline of the last request is
// kept so that the second call does not load and transform the glyph again.
struct RealizedFont::LastGlyph {
  bool valid = false;
  FT_UInt glyph = 0;
  MAT2 matrix{};
  GLYPHMETRICS metrics{};
  std::size_t native_size = 0;
  std::vector<FT_Vector> points;
  std::vector<char> tags;
  std::vector<std::remove_pointer_t<decltype(FT_Outline::contours)>> contours;
  int flags = 0;

  bool Matches(FT_UInt g, const MAT2& m) const {
    return valid && glyph == g && std::memcmp(&matrix, &m, sizeof(m)) == 0;
  }
  void Keep(FT_UInt g, const MAT2& m, const FT_Outline& outline, const GLYPHMETRICS& gm) {
    glyph = g;
    matrix = m;
    metrics = gm;
    points.assign(outline.points, outline.points + outline.n_points);
    tags.assign(outline.tags, outline.tags + outline.n_points);
    contours.assign(outline.contours, outline.contours + outline.n_contours);
    flags = outline.flags;
    native_size = WriteNativeOutline(View(), nullptr);
    valid = true;
  }
  FT_Outline View() {
    FT_Outline outline{};
    outline.n_contours = static_cast<decltype(outline.n_contours)>(contours.size());
    outline.n_points = static_cast<decltype(outline.n_points)>(points.size());
    outline.points = points.data();
    outline.tags = tags.data();
    outline.contours = contours.data();
    outline.flags = flags;
    return outline;
  }
};

std::shared_ptr<RealizedFont> RealizedFont::Realize(const FaceRequest& request) {
  std::shared_ptr<RealizedFont> font(new RealizedFont());
  font->library_ = FreeTypeLibrary::Get();
  if (!font->library_) return nullptr;
  const bool is_file = IsFontFilePath(request.face);
  if (is_file) {
    // Only a regular file of at most limits::kMaxFontFileBytes is handed to FreeType: opening
    // a FIFO would wait for a writer for ever.
    const std::string path = ToUtf8(request.face);
    if (IsReadableFontFile(path) && font->Open(path, 0, request)) return font;
  }
  // A file FreeType rejects (or that is no regular file of at most the limit) is substituted
  // like an unknown family: the default face of the system.
  const std::string family = is_file ? std::string() : ToUtf8(request.face);
  for (const FaceFile& file : MatchFaces(family, request.weight, request.italic)) {
    if (font->Open(file.path, file.index, request)) return font;
  }
  return nullptr;
}

RealizedFont::~RealizedFont() {
  if (face_) FT_Done_Face(face_);
}

bool RealizedFont::Open(const std::string& path, int index, const FaceRequest& request) {
  FT_Face face = nullptr;
  if (FT_New_Face(library_->handle(), path.c_str(), index, &face) != 0) return false;
  // Only scalable sfnt faces (TrueType and OpenType outlines) carry the tables
  // the metrics come from.
  if (!FT_IS_SCALABLE(face) || !FT_IS_SFNT(face) || face->units_per_EM == 0) {
    FT_Done_Face(face);
    return false;
  }
  const long upem = face->units_per_EM;
  const long long height = request.height == 0 ? 16 : request.height;  // GDI's default cell
  long long ppem;
  if (height < 0) {
    ppem = -height;
  } else {
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    const auto* hhea = static_cast<const TT_HoriHeader*>(FT_Get_Sfnt_Table(face, FT_SFNT_HHEA));
    long cell = os2 ? static_cast<long>(os2->usWinAscent) + os2->usWinDescent : 0;
    if (cell == 0 && hhea) cell = static_cast<long>(hhea->Ascender) - hhea->Descender;
    if (cell <= 0) cell = upem;
    ppem = MulDiv(upem, static_cast<long>(std::min<long long>(height, 0x7FFFFFFF)), cell);
  }
  // FreeType sizes are 16-bit; heights beyond that are clamped.
  ppem = std::clamp<long long>(ppem, 1, 0xFFFF);
  if (FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(ppem)) != 0) {
    FT_Done_Face(face);
    return false;
  }
  if (face_) FT_Done_Face(face_);
  face_ = face;
  path_ = path;
  ppem_ = static_cast<int>(ppem);
  // GDI simulates what the face lacks: bold above weight 550, and italic.
  fake_bold_ = request.weight > 550 && !(face->style_flags & FT_STYLE_FLAG_BOLD);
  fake_italic_ = request.italic && !(face->style_flags & FT_STYLE_FLAG_ITALIC);
  kerning_.reset();
  return true;
}

LONG RealizedFont::Scale(long font_units) const {
  return static_cast<LONG>(MulDiv(font_units, ppem_, face_->units_per_EM));
}

DWORD RealizedFont::GlyphOutline(UINT code, UINT format, GLYPHMETRICS& metrics, DWORD size,
                                 void* buffer, const MAT2& matrix) {
  const UINT kind = format & ~(GGO_GLYPH_INDEX | GGO_UNHINTED);
  if (kind != GGO_METRICS && kind != GGO_NATIVE) return GDI_ERROR;
  FT_UInt glyph;
  if (format & GGO_GLYPH_INDEX) {
    if (code >= static_cast<UINT>(face_->num_glyphs)) return GDI_ERROR;
    glyph = code;
  } else {
    // A character the font does not map is drawn with its default glyph
    // (glyph 0, the missing-character box), as GDI does.
    glyph = FT_Get_Char_Index(face_, code);
  }
  if (!last_) last_ = std::make_unique<LastGlyph>();
  if (!last_->Matches(glyph, matrix) && !Prepare(glyph, matrix)) return GDI_ERROR;
  metrics = last_->metrics;
  if (kind == GGO_METRICS) return 1;
  const size_t needed = last_->native_size;
  if (needed > 0xFFFFFFFEu) return GDI_ERROR;
  if (!buffer || size == 0) return static_cast<DWORD>(needed);
  if (size < needed) return GDI_ERROR;
  WriteNativeOutline(last_->View(), static_cast<std::uint8_t*>(buffer));
  return static_cast<DWORD>(needed);
}

bool RealizedFont::Prepare(unsigned glyph, const MAT2& matrix) {
  last_->valid = false;
  if (FT_Load_Glyph(face_, glyph, FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP) != 0) return false;
  FT_GlyphSlot slot = face_->glyph;
  if (slot->format != FT_GLYPH_FORMAT_OUTLINE) return false;
  FT_Outline& outline = slot->outline;

  // 26.6 pixels, y up. linearHoriAdvance is 16.16.
  FT_Vector advance{(slot->linearHoriAdvance + 512) >> 10, 0};
  if (fake_bold_) {
    const FT_Pos strength = FT_MulDiv(ppem_, 64, 24);
    FT_Outline_Embolden(&outline, strength);
    advance.x += strength;
  }
  if (fake_italic_) {
    FT_Matrix shear{0x10000, kFakeItalicShear, 0, 0x10000};
    FT_Outline_Transform(&outline, &shear);
  }
  // MAT2: x' = eM11 x + eM21 y, y' = eM12 x + eM22 y.
  FT_Matrix user{FixedOf(matrix.eM11), FixedOf(matrix.eM21), FixedOf(matrix.eM12),
                 FixedOf(matrix.eM22)};
  FT_Outline_Transform(&outline, &user);
  FT_Vector_Transform(&advance, &user);

  // The black box is the outline's control box grown to whole pixels; an
  // empty glyph still reports a 1 × 1 box at the origin.
  FT_BBox box{0, 0, 0, 0};
  if (outline.n_points > 0) FT_Outline_Get_CBox(&outline, &box);
  const FT_Pos left = box.xMin & -64, right = (box.xMax + 63) & -64;
  const FT_Pos bottom = box.yMin & -64, top = (box.yMax + 63) & -64;
  GLYPHMETRICS metrics;
  metrics.gmBlackBoxX = std::max<UINT>(1, static_cast<UINT>((right - left) >> 6));
  metrics.gmBlackBoxY = std::max<UINT>(1, static_cast<UINT>((top - bottom) >> 6));
  metrics.gmptGlyphOrigin.x = static_cast<LONG>(left >> 6);
  metrics.gmptGlyphOrigin.y = static_cast<LONG>(top >> 6);
  // Cell increments are rounded to the nearest pixel; the y increment is in
  // device orientation (down), hence the sign.
  metrics.gmCellIncX = static_cast<SHORT>((advance.x + 32) >> 6);
  metrics.gmCellIncY = static_cast<SHORT>(-((advance.y + 32) >> 6));
  last_->Keep(glyph, matrix, outline, metrics);
  return true;
}

const std::vector<KERNINGPAIR>& RealizedFont::KerningPairs() {
  if (kerning_) return *kerning_;
  kerning_.emplace();
  // Pairs are reported by character: each glyph stands for the lowest BMP
  // code that maps to it.
  std::unordered_map<FT_UInt, WCHAR> char_of;
  std::vector<std::uint16_t> glyphs;
  FT_UInt glyph = 0;
  for (FT_ULong c = FT_Get_First_Char(face_, &glyph); glyph != 0 && c <= 0xFFFF;
       c = FT_Get_Next_Char(face_, c, &glyph)) {
    if (glyph <= 0xFFFF && char_of.try_emplace(glyph, static_cast<WCHAR>(c)).second) {
      glyphs.push_back(static_cast<std::uint16_t>(glyph));
    }
  }
  std::vector<GlyphKern> pairs = ReadKernTable(LoadTable(face_, TTAG_kern));
  const bool from_kern_table = !pairs.empty();
  // Fonts that kern only through GPOS get the pairs a shaper would apply,
  // scaled and rounded to the nearest pixel.
  if (!from_kern_table) pairs = ReadGposKerning(LoadTable(face_, TTAG_GPOS), glyphs);
  kerning_->reserve(pairs.size());
  for (const GlyphKern& k : pairs) {
    auto left = char_of.find(k.left), right = char_of.find(k.right);
    if (left == char_of.end() || right == char_of.end()) continue;
    kerning_->push_back(
        {left->second, right->second,
         from_kern_table ? KernTableAmount(k.amount) : static_cast<int>(Scale(k.amount))});
  }
  return *kerning_;
}

int RealizedFont::KernTableAmount(long font_units) const {
  // GDI's kern table amounts are one pixel-per-em step larger in magnitude
  // than plain rounding: (v × ppem ± (em / 2 + ppem)) ÷ em, truncated. At one
  // pixel per unit a pair of −152 reports −153. (Odd, but that is what
  // callers of GetKerningPairsW get.)
  if (font_units == 0) return 0;
  const long long em = face_->units_per_EM;
  long long amount = static_cast<long long>(font_units) * ppem_;
  amount += (amount < 0 ? -1 : 1) * (em / 2 + ppem_);
  return static_cast<int>(amount / em);
}

TEXTMETRICW RealizedFont::TextMetrics() const {
  TEXTMETRICW tm{};
  const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face_, FT_SFNT_OS2));
  const auto* hhea = static_cast<const TT_HoriHeader*>(FT_Get_Sfnt_Table(face_, FT_SFNT_HHEA));
  long ascent = os2 ? os2->usWinAscent : 0, descent = os2 ? os2->usWinDescent : 0;
  if (ascent + descent == 0 && hhea) {
    ascent = hhea->Ascender;
    descent = -hhea->Descender;
  }
  tm.tmAscent = Scale(ascent);
  tm.tmDescent = Scale(descent);
  tm.tmHeight = tm.tmAscent + tm.tmDescent;
  tm.tmInternalLeading = tm.tmHeight - ppem_;
  if (hhea) {
    // el = max(0, LineGap - ((WinAscent + WinDescent) - (Ascender - Descender)))
    const long gap = hhea->Line_Gap - ((ascent + descent) - (hhea->Ascender - hhea->Descender));
    tm.tmExternalLeading = std::max<LONG>(0, Scale(gap));
  }
  // The widest possible glyph: the width of the font's bounding box.
  tm.tmMaxCharWidth = Scale(face_->bbox.xMax - face_->bbox.xMin);
  tm.tmAveCharWidth = std::max<LONG>(1, os2 ? Scale(os2->xAvgCharWidth) : 0);
  tm.tmWeight = fake_bold_ ? FW_BOLD : (os2 ? os2->usWeightClass : FW_NORMAL);
  tm.tmOverhang = 0;
  tm.tmDigitizedAspectX = 96;
  tm.tmDigitizedAspectY = 96;
  bool symbol = false;
  for (int i = 0; i < face_->num_charmaps; ++i) {
    symbol |= face_->charmaps[i]->encoding == FT_ENCODING_MS_SYMBOL;
  }
  const WORD first = os2 ? os2->usFirstCharIndex : 0x20, last = os2 ? os2->usLastCharIndex : 0xFFFF;
  if (symbol) {
    tm.tmFirstChar = 0;
    tm.tmLastChar = 0xF0FF;
    tm.tmBreakChar = 0x20;
    tm.tmDefaultChar = 0x1F;
  } else {
    tm.tmFirstChar = first;
    tm.tmLastChar = last;
    tm.tmBreakChar = first <= 1 ? static_cast<WCHAR>(first + 2) : (first > 0xFF ? 0x20 : first);
    tm.tmDefaultChar = static_cast<WCHAR>(tm.tmBreakChar - 1);
  }
  tm.tmItalic = (fake_italic_ || (face_->style_flags & FT_STYLE_FLAG_ITALIC)) ? 255 : 0;
  tm.tmUnderlined = 0;
  tm.tmStruckOut = 0;
  // TMPF_FIXED_PITCH is set for variable-pitch fonts (the historic inversion).
  BYTE pitch = 0;
  const BYTE* panose = os2 ? os2->panose : nullptr;
  if (!FT_IS_FIXED_WIDTH(face_) && !(panose && panose[3] == 9)) pitch = TMPF_FIXED_PITCH;
  BYTE family = FF_DONTCARE;
  if (panose) {
    switch (panose[0]) {
      case 3:
        family = FF_SCRIPT;
        break;
      case 4:
        family = FF_DECORATIVE;
        break;
      case 0:
      case 1:
      case 2:
      case 5:
        if (pitch == 0) {
          family = FF_MODERN;
        } else if (panose[1] >= 2 && panose[1] <= 10) {
          family = FF_ROMAN;
        } else if (panose[1] >= 11 && panose[1] <= 15) {
          family = FF_SWISS;
        }
        break;
      default:
        break;
    }
  }
  // TrueType outlines are TMPF_TRUETYPE; PostScript (CFF) outlines are
  // reported as device fonts instead, as GDI reports OpenType CFF fonts.
  const bool truetype = std::strcmp(FT_Get_Font_Format(face_), "TrueType") == 0;
  tm.tmPitchAndFamily =
      static_cast<BYTE>(pitch | family | TMPF_VECTOR | (truetype ? TMPF_TRUETYPE : TMPF_DEVICE));
  tm.tmCharSet = symbol ? SYMBOL_CHARSET : ANSI_CHARSET;
  return tm;
}

std::vector<std::uint8_t> RealizedFont::OutlineTextMetrics() const {
  const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face_, FT_SFNT_OS2));
  const auto* hhea = static_cast<const TT_HoriHeader*>(FT_Get_Sfnt_Table(face_, FT_SFNT_HHEA));
  const auto* post = static_cast<const TT_Postscript*>(FT_Get_Sfnt_Table(face_, FT_SFNT_POST));
  const auto* head = static_cast<const TT_Header*>(FT_Get_Sfnt_Table(face_, FT_SFNT_HEAD));

  OUTLINETEXTMETRICW otm{};
  otm.otmTextMetrics = TextMetrics();
  if (os2) {
    std::memcpy(&otm.otmPanoseNumber, os2->panose, sizeof(otm.otmPanoseNumber));
    otm.otmfsSelection = os2->fsSelection;
    otm.otmfsType = os2->fsType;
    otm.otmAscent = Scale(os2->sTypoAscender);
    otm.otmDescent = Scale(os2->sTypoDescender);
    otm.otmLineGap = static_cast<UINT>(Scale(os2->sTypoLineGap));
    otm.otmsCapEmHeight = static_cast<UINT>(Scale(os2->version >= 2 ? os2->sCapHeight : 0));
    otm.otmsXHeight = static_cast<UINT>(Scale(os2->version >= 2 ? os2->sxHeight : 0));
    otm.otmptSubscriptSize = {Scale(os2->ySubscriptXSize), Scale(os2->ySubscriptYSize)};
    otm.otmptSubscriptOffset = {Scale(os2->ySubscriptXOffset), Scale(os2->ySubscriptYOffset)};
    otm.otmptSuperscriptSize = {Scale(os2->ySuperscriptXSize), Scale(os2->ySuperscriptYSize)};
    otm.otmptSuperscriptOffset = {Scale(os2->ySuperscriptXOffset), Scale(os2->ySuperscriptYOffset)};
    otm.otmsStrikeoutSize = static_cast<UINT>(Scale(os2->yStrikeoutSize));
    otm.otmsStrikeoutPosition = Scale(os2->yStrikeoutPosition);
  }
  if (fake_italic_) otm.otmfsSelection |= 0x01;
  if (fake_bold_) otm.otmfsSelection |= 0x20;
  if (hhea) {
    otm.otmsCharSlopeRise = hhea->caret_Slope_Rise;
    otm.otmsCharSlopeRun = hhea->caret_Slope_Run;
    otm.otmMacLineGap = static_cast<UINT>(Scale(hhea->Line_Gap));
  }
  if (post) {
    // post.italicAngle is 16.16 degrees; the field is in tenths of a degree.
    otm.otmItalicAngle = static_cast<int>(std::lround(post->italicAngle * 10.0 / 65536.0));
    otm.otmsUnderscoreSize = Scale(post->underlineThickness);
    otm.otmsUnderscorePosition = Scale(post->underlinePosition);
  }
  // The "Mac" ascent and descent repeat the cell's (Windows) ascent and
  // descent; only the line gap comes from hhea.
  otm.otmMacAscent = otm.otmTextMetrics.tmAscent;
  otm.otmMacDescent = -otm.otmTextMetrics.tmDescent;
  otm.otmEMSquare = face_->units_per_EM;
  otm.otmrcFontBox = {Scale(face_->bbox.xMin), Scale(face_->bbox.yMax), Scale(face_->bbox.xMax),
                      Scale(face_->bbox.yMin)};
  otm.otmusMinimumPPEM = head ? head->Lowest_Rec_PPEM : 0;

  // Names follow the structure: family, face (full name), style, unique name.
  const std::u16string names[4] = {SfntName(face_, TT_NAME_ID_FONT_FAMILY, face_->family_name),
                                   SfntName(face_, TT_NAME_ID_FULL_NAME, face_->family_name),
                                   SfntName(face_, TT_NAME_ID_FONT_SUBFAMILY, face_->style_name),
                                   SfntName(face_, TT_NAME_ID_UNIQUE_ID, face_->family_name)};
  size_t total = sizeof(OUTLINETEXTMETRICW);
  PSTR* offsets[4] = {&otm.otmpFamilyName, &otm.otmpFaceName, &otm.otmpStyleName,
                      &otm.otmpFullName};
  for (int i = 0; i < 4; ++i) {
    *offsets[i] = reinterpret_cast<PSTR>(static_cast<std::uintptr_t>(total));
    total += (names[i].size() + 1) * sizeof(WCHAR);
  }
  otm.otmSize = static_cast<UINT>(total);
  std::vector<std::uint8_t> bytes(total, 0);
  std::memcpy(bytes.data(), &otm, sizeof(otm));
  size_t at = sizeof(OUTLINETEXTMETRICW);
  for (const std::u16string& name : names) {
    std::memcpy(bytes.data() + at, name.data(), name.size() * sizeof(WCHAR));
    at += (name.size() + 1) * sizeof(WCHAR);
  }
  return bytes;
}

}  // namespace vuzodo::platform::posix
