#include "FontDataHolder.h"

#include "FntReader.h"
#include "OVFFontHandler.h"
#include "ReaderGlyph.h"
#include "SHXFontHandler.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "FontFace.h"
#include "QELUtility.h"

namespace vuzodo {

namespace {

std::u16string UpperCase(std::u16string_view face) {
  std::u16string upper(face);
  for (char16_t& c : upper) {
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
  }
  return upper;
}

// Truncates towards zero; values beyond the range of T (or NaN) saturate / give 0 instead of
// being undefined.
template <typename T>
T Truncate(double v) {
  if (std::isnan(v)) return 0;
  if (v >= static_cast<double>(std::numeric_limits<T>::max())) {
    return std::numeric_limits<T>::max();
  }
  if (v <= static_cast<double>(std::numeric_limits<T>::lowest())) {
    return std::numeric_limits<T>::lowest();
  }
  return static_cast<T>(v);
}

// A metric times the font scale, in single precision as the scale is held, then truncated.
template <typename T>
T ScaleMetric(T value, float scale) {
  return Truncate<T>(static_cast<double>(static_cast<float>(value) * scale));
}

std::uint32_t KernKey(std::uint16_t first, std::uint16_t second) {
  return (static_cast<std::uint32_t>(first) << 16) | second;
}

const ProcessSettings kDefaultSettings{};

}  // namespace

FontKind KindOfFace(std::u16string_view face) {
  const std::u16string upper = UpperCase(face);
  const std::size_t n = upper.size();
  if (n >= 4 && upper.compare(n - 4, 4, u".FNT") == 0) return FontKind::kFnt;
  if (n >= 4 && upper.find(u".SHX") == n - 4) return FontKind::kShx;
  if (n >= 4 && upper.find(u".OVF") == n - 4) return FontKind::kOvf;
  return FontKind::kTrueType;
}

FontDataHolder::FontDataHolder(std::u16string_view face, std::int32_t style)
    : FontDataHolder(face, style, kDefaultSettings) {}

FontDataHolder::FontDataHolder(std::u16string_view face, std::int32_t style,
                               const ProcessSettings& settings)
    : face_(face), style_(style), settings_(&settings) {
  switch (KindOfFace(face_)) {
    case FontKind::kFnt: {
      ReadFntFile();
      NormaliseShapes();
      NURBSPoint min(3.4e38, 3.4e38, 1.0);
      NURBSPoint max(-3.4e38, -3.4e38, 1.0);
      for (const auto& c : characters_) {
        for (const CQELEntity* e : c->GetOutlines()) GrowBoundingBox(min, max, e);
      }
      FinishShapeFont(min, max);
      break;
    }
    case FontKind::kShx:
      ReadShxFile();  // normalised and its box taken as it is read
      break;
    case FontKind::kOvf:
      ReadOvfFile();
      break;
    case FontKind::kTrueType:
      LoadTrueType();
      break;
  }
}

FontDataHolder::~FontDataHolder() {
  if (font_ != nullptr) DeleteObject(font_);
}

// ---- reader hooks ----

namespace {
const unsigned short* WidePath(const std::u16string& face) {
  return reinterpret_cast<const unsigned short*>(face.c_str());
}

// A reader's glyph as a character record, its metrics by the bounding-box rule.
std::unique_ptr<CharBufferHolder> ToRecord(ReaderGlyph& glyph) {
  auto record = std::make_unique<CharBufferHolder>(glyph.code, glyph.ReleaseOutline());
  record->SetMetricsFromBox(glyph.box_min, glyph.box_max, glyph.advance);
  return record;
}
}  // namespace

// The file is read whole now and surveyed: which shapes build, and the box of every outline once
// normalised. Outlines are built when first asked for (BuildShxCharacter), so a big font of
// thousands of shapes does not build them all before its first character.
void FontDataHolder::ReadShxFile() {
  shx_ = std::make_unique<SHXFontHandler>();
  shx_->Open(WidePath(face_));
  shx_factor_ = ShxNormalisingFactor();
  SHXShapeSurvey survey = shx_->SurveyShapes(shx_factor_);
  shx_codes_.assign(survey.codes.begin(), survey.codes.end());
  shx_buildable_.insert(shx_codes_.begin(), shx_codes_.end());
  FinishShapeFont(survey.min, survey.max);
}

std::unique_ptr<CharBufferHolder> FontDataHolder::BuildShxRecord(std::uint32_t code) {
  if (shx_ == nullptr) return nullptr;
  auto entities = shx_->BuildShape(static_cast<std::int32_t>(code));
  if (!entities || shx_->WasRefused()) return nullptr;
  auto record = std::make_unique<CharBufferHolder>(code, std::move(*entities));
  NURBSPoint min;
  NURBSPoint max;
  shx_->GetBoundingBox(min, max);
  record->SetMetricsFromBox(min, max, shx_->GetAdvance());
  return record;
}

// "A" when it builds, else the first shape in file order that reaches above the baseline.
double FontDataHolder::ShxNormalisingFactor() {
  std::unique_ptr<CharBufferHolder> reference;
  if (shx_->GetFont().FindShape(65) != nullptr) reference = BuildShxRecord(65);
  if (reference == nullptr) {
    for (const auto& shape : shx_->GetShapes()) {
      reference = BuildShxRecord(static_cast<std::uint32_t>(shape->GetShapeNumber()));
      if (reference != nullptr && reference->GetMetrics()[kBlackBoxTop] > 0.0) break;
      reference = nullptr;
    }
  }
  // No "A" and nothing above the baseline: the shapes keep their own size.
  if (reference == nullptr) return 1.0;
  const double factor = GetUnitSize() / reference->GetMetrics()[kBlackBoxTop];
  return std::isfinite(factor) ? factor : 1.0;
}

CharBufferHolder* FontDataHolder::BuildShxCharacter(std::uint32_t code) {
  if (CharBufferHolder* found = FindCharacter(code)) return found;
  if (!shx_buildable_.contains(code)) return nullptr;
  std::unique_ptr<CharBufferHolder> record = BuildShxRecord(code);
  if (record == nullptr) return nullptr;
  // A factor of exactly 1 stands for "no normalisation"; scaling by it changes no value.
  if (shx_factor_ != 1.0) record->Scale(shx_factor_);
  return AppendCharacter(std::move(record));
}

std::vector<std::uint32_t> FontDataHolder::ListCharacterCodes() const {
  // SHX: the shapes first, as if all were built at load; then the records made for codes no
  // shape builds (the loader's stand-ins), in the order they were asked for. Other kinds have
  // no shapes: their records alone.
  std::vector<std::uint32_t> codes = shx_codes_;
  for (const auto& c : characters_) {
    if (!shx_buildable_.contains(c->GetCode())) codes.push_back(c->GetCode());
  }
  return codes;
}

// Every defined character, under the conversion mode in force at load.
void FontDataHolder::ReadFntFile() {
  for (ReaderGlyph& glyph : ::ReadFntFile(WidePath(face_), settings_->fnt_conversion_mode)) {
    AppendCharacter(ToRecord(glyph));
  }
}

// The whole file is read now; characters are decoded on demand. The metrics
// come from the file's header, scaled to the unit size.
void FontDataHolder::ReadOvfFile() {
  ovf_ = std::make_unique<OVFFontHandler>();
  ovf_->Load(WidePath(face_));
  const double unit = GetUnitSize();
  shape_scale_ = ovf_->ShapeScale(unit);
  const OVFFontMetrics m = ovf_->Metrics(unit);
  TEXTMETRICW& tm = text_metrics_;
  tm.tmHeight = m.tmHeight;
  tm.tmAscent = m.tmAscent;
  tm.tmDescent = m.tmDescent;
  tm.tmInternalLeading = m.tmInternalLeading;
  tm.tmExternalLeading = m.tmExternalLeading;
  tm.tmAveCharWidth = m.tmAveCharWidth;
  tm.tmMaxCharWidth = m.tmMaxCharWidth;
  tm.tmWeight = m.tmWeight;
  OUTLINETEXTMETRICW& otm = outline_metrics_;
  otm.otmEMSquare = m.otmEMSquare;
  otm.otmAscent = m.otmAscent;
  otm.otmDescent = m.otmDescent;
  otm.otmLineGap = m.otmLineGap;
  otm.otmsCapEmHeight = m.otmsCapEmHeight;
  otm.otmrcFontBox.left = m.otmrcFontBox_left;
  otm.otmrcFontBox.top = m.otmrcFontBox_top;
  otm.otmrcFontBox.right = m.otmrcFontBox_right;
  otm.otmrcFontBox.bottom = m.otmrcFontBox_bottom;
  otm.otmMacAscent = m.otmMacAscent;
  otm.otmMacDescent = m.otmMacDescent;
  otm.otmMacLineGap = m.otmMacLineGap;
  otm.otmsStrikeoutPosition = m.otmsStrikeoutPosition;
  otm.otmptSubscriptSize = {m.otmptSubscriptSize_x, m.otmptSubscriptSize_y};
  otm.otmptSubscriptOffset = {m.otmptSubscriptOffset_x, m.otmptSubscriptOffset_y};
  otm.otmptSuperscriptSize = {m.otmptSuperscriptSize_x, m.otmptSuperscriptSize_y};
  otm.otmptSuperscriptOffset = {m.otmptSuperscriptOffset_x, m.otmptSuperscriptOffset_y};
  otm.otmTextMetrics = text_metrics_;
}

// A glyph of the file scaled to the unit size, or the missing-glyph square
// (already unit-sized) for a code the file lacks.
std::unique_ptr<CharBufferHolder> FontDataHolder::BuildOvfCharacter(std::uint32_t code) const {
  if (ovf_ == nullptr) return nullptr;
  if (std::optional<ReaderGlyph> glyph = ovf_->BuildGlyph(static_cast<std::int32_t>(code))) {
    std::unique_ptr<CharBufferHolder> record = ToRecord(*glyph);
    record->Scale(shape_scale_);
    return record;
  }
  ReaderGlyph square = MissingGlyphSquare(static_cast<std::int32_t>(code), GetUnitSize());
  return ToRecord(square);
}

CharBufferHolder* FontDataHolder::FindCharacter(std::uint32_t code) const {
  if (code < first_page_.size()) return first_page_[code];
  const auto it = index_.find(code);
  return it == index_.end() ? nullptr : it->second;
}

CharBufferHolder* FontDataHolder::AppendCharacter(std::unique_ptr<CharBufferHolder> character) {
  CharBufferHolder* stored = character.get();
  characters_.push_back(std::move(character));
  // The first record of a code is the one found.
  const std::uint32_t code = stored->GetCode();
  if (code < first_page_.size()) {
    if (first_page_[code] == nullptr) first_page_[code] = stored;
  } else {
    index_.try_emplace(code, stored);
  }
  return stored;
}

// ---- SHX and FNT ----

void FontDataHolder::FinishShapeFont(const NURBSPoint& min, const NURBSPoint& max) {
  SynthesiseMetrics(min, max);
  const double u = GetUnitSize();
  auto* square = new CQELPolyLine();
  square->AddPoint(0.0, 0.0);
  square->AddPoint(u, 0.0);
  square->AddPoint(u, u);
  square->AddPoint(0.0, u);
  fallback_ = std::make_unique<CharBufferHolder>(0u, std::vector<CQELEntity*>{square});
  fallback_->SetMetrics(u, u, 0.0, u, u, 0.0);
  // Normalised so that "A" is U high: the design height these fonts answer with.
  design_height_ = Truncate<std::int32_t>(u);
}

void FontDataHolder::NormaliseShapes() {
  const CharBufferHolder* reference = FindCharacter(65);
  if (reference == nullptr) {
    for (const auto& c : characters_) {
      if (c->GetMetrics()[kBlackBoxTop] > 0.0) {
        reference = c.get();
        break;
      }
    }
  }
  // No "A" and nothing above the baseline: no factor can be derived; the shapes keep their
  // own size.
  if (reference == nullptr) return;
  const double factor = GetUnitSize() / reference->GetMetrics()[kBlackBoxTop];
  if (!std::isfinite(factor)) return;
  for (const auto& c : characters_) c->Scale(factor);
}

void FontDataHolder::SynthesiseMetrics(const NURBSPoint& min, const NURBSPoint& max) {
  const double u = GetUnitSize();
  auto t = [](double v) { return Truncate<LONG>(v); };
  TEXTMETRICW& tm = text_metrics_;
  tm = TEXTMETRICW{};
  tm.tmHeight = t(1.56 * u);
  tm.tmAscent = t(1.264 * u);
  tm.tmDescent = t(0.296 * u);
  tm.tmInternalLeading = t(0.164 * u);
  tm.tmExternalLeading = t(0.046 * u);
  tm.tmAveCharWidth = t(0.616 * u);
  tm.tmMaxCharWidth = t(3.72 * u);
  tm.tmWeight = 400;
  OUTLINETEXTMETRICW& otm = outline_metrics_;
  otm = OUTLINETEXTMETRICW{};
  otm.otmSize = sizeof(OUTLINETEXTMETRICW);
  otm.otmTextMetrics = tm;
  otm.otmEMSquare = 2048;
  otm.otmAscent = t(1.016 * u);
  otm.otmDescent = t(-0.294 * u);
  otm.otmLineGap = Truncate<UINT>(0.209 * u);
  otm.otmsCapEmHeight = Truncate<UINT>(0.698 * u);
  otm.otmrcFontBox = RECT{t(min.GetX()), t(max.GetY()), t(max.GetX()), t(min.GetY())};
  otm.otmMacAscent = t(1.264 * u);
  otm.otmMacDescent = t(-0.296 * u);
  otm.otmMacLineGap = Truncate<UINT>(0.046 * u);
  otm.otmptSubscriptSize = POINT{t(0.977 * u), t(0.907 * u)};
  otm.otmptSubscriptOffset = POINT{0, t(0.193 * u)};
  otm.otmptSuperscriptSize = POINT{t(0.977 * u), t(0.907 * u)};
  otm.otmptSuperscriptOffset = POINT{0, t(0.666 * u)};
  kerning_pairs_.clear();
  kern_index_.clear();
}

// ---- TrueType ----

void FontDataHolder::LoadTrueType() {
  CreateTrueTypeFont(kTrueTypeHeight);
  design_height_ = ComputeDesignHeight();
  font_scale_ = static_cast<float>(design_height_ / GetUnitSize());
  if (!std::isfinite(font_scale_)) font_scale_ = 0.0f;
  ReadMetricsAndKerning();
}

void FontDataHolder::CreateTrueTypeFont(LONG height) {
  LOGFONTW lf{};
  lf.lfHeight = height;
  lf.lfCharSet = DEFAULT_CHARSET;
  // lfFaceName gets what fits; the whole face (a file path may be far longer) travels with the
  // font object.
  const std::size_t n = std::min<std::size_t>(face_.size(), LF_FACESIZE - 1);
  std::copy_n(face_.data(), n, lf.lfFaceName);
  switch (style_) {
    case 0:
      lf.lfWeight = FW_NORMAL;
      break;
    case 1:
      lf.lfWeight = FW_BOLD;
      break;
    case 2:
      lf.lfWeight = FW_NORMAL;
      lf.lfItalic = 1;
      break;
    case 3:
      lf.lfWeight = FW_BOLD;
      lf.lfItalic = 1;
      break;
    default:
      break;  // weight 0 (don't care), no italic
  }
  if (font_ != nullptr) DeleteObject(font_);
  font_ = platform::CreateFontForFace(lf, face_);
}

std::int32_t FontDataHolder::ComputeDesignHeight() const {
  const MAT2 matrix = GlyphMatrix();
  GLYPHMETRICS gm{};
  const DWORD result = WithFontDC(
      [&](HDC dc) { return GetGlyphOutlineW(dc, 65, GGO_NATIVE, &gm, 0, nullptr, &matrix); });
  double cap = (result == GDI_ERROR) ? 0.0 : static_cast<double>(gm.gmptGlyphOrigin.y);
  if (cap <= 0.0) {
    // No "A", or one whose top is not above the baseline: the font's cap height stands in, else
    // 0.7 em (the cap height of common Latin designs).
    OUTLINETEXTMETRICW otm{};
    TEXTMETRICW tm{};
    WithFontDC([&](HDC dc) {
      GetTextMetricsW(dc, &tm);
      return GetOutlineTextMetricsW(dc, sizeof(OUTLINETEXTMETRICW), &otm);
    });
    if (otm.otmsCapEmHeight > 0) {
      cap = otm.otmsCapEmHeight;
    } else {
      cap = 0.7 * static_cast<double>(tm.tmHeight - tm.tmInternalLeading);
    }
  }
  if (cap <= 0.0) return 0;  // no font at all: an unscaled (empty) font
  const double u = GetUnitSize();
  return Truncate<std::int32_t>(u * u / cap);
}

void FontDataHolder::ReadMetricsAndKerning() {
  const float scale = font_scale_;
  WithFontDC([&](HDC dc) {
    const DWORD count = GetKerningPairsW(dc, 0, nullptr);
    kerning_pairs_.clear();
    if (count != 0 && count != GDI_ERROR) {
      kerning_pairs_.resize(count);
      const DWORD got = GetKerningPairsW(dc, count, kerning_pairs_.data());
      kerning_pairs_.resize(got == GDI_ERROR ? 0 : std::min(got, count));
    }
    text_metrics_ = TEXTMETRICW{};
    outline_metrics_ = OUTLINETEXTMETRICW{};
    GetTextMetricsW(dc, &text_metrics_);
    GetOutlineTextMetricsW(dc, sizeof(OUTLINETEXTMETRICW), &outline_metrics_);
    return 0;
  });
  TEXTMETRICW& tm = text_metrics_;
  for (LONG* f : {&tm.tmHeight, &tm.tmAscent, &tm.tmDescent, &tm.tmInternalLeading,
                  &tm.tmExternalLeading, &tm.tmAveCharWidth, &tm.tmMaxCharWidth}) {
    *f = ScaleMetric(*f, scale);
  }
  OUTLINETEXTMETRICW& otm = outline_metrics_;
  otm.otmTextMetrics = tm;
  for (UINT* f : {&otm.otmEMSquare, &otm.otmLineGap, &otm.otmsCapEmHeight, &otm.otmMacLineGap}) {
    *f = ScaleMetric(*f, scale);
  }
  for (int* f : {&otm.otmAscent, &otm.otmDescent, &otm.otmMacAscent, &otm.otmMacDescent}) {
    *f = ScaleMetric(*f, scale);
  }
  for (LONG* f : {&otm.otmrcFontBox.left, &otm.otmrcFontBox.top, &otm.otmrcFontBox.right,
                  &otm.otmrcFontBox.bottom, &otm.otmptSubscriptSize.x, &otm.otmptSubscriptSize.y,
                  &otm.otmptSubscriptOffset.x, &otm.otmptSubscriptOffset.y,
                  &otm.otmptSuperscriptSize.x, &otm.otmptSuperscriptSize.y,
                  &otm.otmptSuperscriptOffset.x, &otm.otmptSuperscriptOffset.y}) {
    *f = ScaleMetric(*f, scale);
  }
  for (KERNINGPAIR& pair : kerning_pairs_) pair.iKernAmount = ScaleMetric(pair.iKernAmount, scale);

  kern_index_ = BuildKernIndex(kerning_pairs_);
}

double FontDataHolder::GetKernAmount(std::uint16_t first, std::uint16_t second) const {
  return LookupKern(kern_index_, first, second);
}

KernIndex BuildKernIndex(std::span<const KERNINGPAIR> pairs) {
  KernIndex index;
  index.reserve(pairs.size());
  for (const KERNINGPAIR& pair : pairs) {
    index.emplace_back(KernKey(pair.wFirst, pair.wSecond), pair.iKernAmount);
  }
  // A stable sort keeps the listed order within equal pairs; the last of each run is kept.
  std::stable_sort(index.begin(), index.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  KernIndex last;
  last.reserve(index.size());
  for (std::size_t i = 0; i < index.size(); ++i) {
    if (i + 1 < index.size() && index[i + 1].first == index[i].first) continue;
    last.push_back(index[i]);
  }
  return last;
}

double LookupKern(const KernIndex& index, std::uint16_t first, std::uint16_t second) {
  const std::uint32_t key = KernKey(first, second);
  const auto it =
      std::lower_bound(index.begin(), index.end(), key,
                       [](const auto& entry, std::uint32_t k) { return entry.first < k; });
  if (it == index.end() || it->first != key) return 0.0;
  return static_cast<double>(it->second);
}

}  // namespace vuzodo
