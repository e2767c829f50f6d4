// The exported interface driven the way a careless host might drive it: the input is decoded
// into a program of up to kMaxCalls calls of the 77 exports with arbitrary arguments (floats
// that are NaN, infinite or huge, negative counts, null pointers where the interface allows
// them, UTF-16 text with unpaired surrogates and control characters, out-of-range indices and
// enumeration values), loading the project's fixture fonts of every kind. Every array handed
// out is released. Each input starts from a freshly initialised library and ends by releasing
// everything, so a failing input replays alone.
//
// Arrays passed in are always as long as the count says, or longer: a host that lies about
// the length of its own array is outside what any C interface can check.
#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "VUZODO.h"
#include "vuzodo/vuzodo.h"

namespace {

constexpr int kMaxCalls = 48;
constexpr std::size_t kMaxTextUnits = 96;
// Characters built by one LoadCharacterRange call; the interface's own bound (every UTF-16
// code) takes seconds under the sanitizers, which would drown the fuzzer in slow inputs.
constexpr int kMaxRange = 512;

std::u16string Narrow16(const std::string& s) {
  return std::u16string(s.begin(), s.end());
}

// The faces a program can name: every fixture font, the default family, and names that find
// no file.
std::vector<std::u16string>& Faces() {
  static std::vector<std::u16string> faces = [] {
    std::vector<std::u16string> list;
    const std::string shx = VUZODO_FUZZ_SHX_DIR, ovf = VUZODO_FUZZ_OVF_DIR,
                      ttf = VUZODO_FUZZ_TTF_DIR;
    for (const char* name :
         {"shapes", "shapes11", "unifont", "bigfont", "bigfont_slots", "extbig"}) {
      list.push_back(Narrow16(shx + "/" + name + ".shx"));
    }
    list.push_back(Narrow16(ovf + "/commands.ovf"));
    list.push_back(Narrow16(ovf + "/hershey.fnt"));
    list.push_back(Narrow16(ovf + "/strokes.fnt"));
    list.push_back(Narrow16(ttf + "/no-a-cap700.ttf"));
    list.push_back(Narrow16(ttf + "/no-a-nocap.ttf"));
    list.push_back(u"Arial");
    list.push_back(u"missing.shx");
    list.push_back(u"missing.ovf");
    list.push_back(u"missing.fnt");
    list.push_back(u"");
    return list;
  }();
  return faces;
}

class Program {
 public:
  Program(const std::uint8_t* data, std::size_t size) : in_(data, size) {}

  void Run() {
    for (int i = 0; i < kMaxCalls && in_.remaining_bytes() > 0; ++i) Step();
  }

 private:
  float Float() {
    static constexpr float kSpecial[] = {0.0f,
                                         -0.0f,
                                         1.0f,
                                         -1.0f,
                                         0.5f,
                                         2.0f,
                                         10.0f,
                                         100.0f,
                                         1e-6f,
                                         1e6f,
                                         1e30f,
                                         -1e30f,
                                         std::numeric_limits<float>::max(),
                                         std::numeric_limits<float>::lowest(),
                                         std::numeric_limits<float>::min(),
                                         std::numeric_limits<float>::denorm_min(),
                                         std::numeric_limits<float>::quiet_NaN(),
                                         std::numeric_limits<float>::infinity(),
                                         -std::numeric_limits<float>::infinity()};
    switch (in_.ConsumeIntegralInRange(0, 2)) {
      case 0:
        return in_.PickValueInArray(kSpecial);
      case 1:
        return in_.ConsumeFloatingPointInRange(-10.0f, 10.0f);
      default:
        return std::bit_cast<float>(in_.ConsumeIntegral<std::uint32_t>());
    }
  }

  int Int() {
    static constexpr int kSpecial[] = {0,
                                       1,
                                       -1,
                                       2,
                                       3,
                                       4,
                                       5,
                                       6,
                                       65,
                                       0xFFFF,
                                       0x10000,
                                       std::numeric_limits<int>::max(),
                                       std::numeric_limits<int>::min()};
    switch (in_.ConsumeIntegralInRange(0, 2)) {
      case 0:
        return in_.PickValueInArray(kSpecial);
      case 1:
        return in_.ConsumeIntegralInRange(-8, 200);
      default:
        return in_.ConsumeIntegral<int>();
    }
  }

  template <typename E>
  E Enum() {
    return static_cast<E>(in_.ConsumeBool() ? in_.ConsumeIntegralInRange(0, 6) : Int());
  }

  unsigned short Unit() {
    switch (in_.ConsumeIntegralInRange(0, 6)) {
      case 0:
        return in_.ConsumeIntegralInRange<unsigned short>(0x20, 0x7E);
      case 1:
        return in_.ConsumeIntegralInRange<unsigned short>(0x01, 0x1F);  // \t \n \r ...
      case 2:
        return in_.ConsumeIntegralInRange<unsigned short>(0xD800, 0xDBFF);
      case 3:
        return in_.ConsumeIntegralInRange<unsigned short>(0xDC00, 0xDFFF);
      case 4:
        return in_.PickValueInArray<unsigned short>(
            {0x20, 0x41, 0x56, 0x67, 0xA0, 0x2028, 0x3000, 0xFEFF, 0xFFFD, 0xFFFF, 0x7F});
      default:
        return in_.ConsumeIntegral<unsigned short>();
    }
  }

  // A zero-terminated UTF-16 text; 0 units inside end it early, as a host's string would.
  std::vector<unsigned short> Text() {
    std::vector<unsigned short> text(in_.ConsumeIntegralInRange<std::size_t>(0, kMaxTextUnits));
    for (unsigned short& u : text) u = Unit();
    text.push_back(0);
    return text;
  }

  // A face from the list, or a short made-up one; empty means a null pointer.
  std::vector<unsigned short> Face() {
    std::vector<unsigned short> face;
    const int pick = in_.ConsumeIntegralInRange(0, 40);
    if (pick == 0) return face;
    if (pick == 1) {
      face = Text();
      if (face.size() > 12) face.resize(12);
      face.back() = 0;
      return face;
    }
    const std::u16string& f = Faces()[static_cast<std::size_t>(pick) % Faces().size()];
    face.assign(f.begin(), f.end());
    face.push_back(0);
    return face;
  }

  unsigned short* Ptr(std::vector<unsigned short>& v) { return v.empty() ? nullptr : v.data(); }

  std::vector<float> Floats(int count) {
    std::vector<float> values(static_cast<std::size_t>(count > 0 ? count : 0) + 1);
    for (float& v : values) v = Float();
    return values;
  }

  // A count for an array the program then makes at least that long.
  int Count(int max) {
    return in_.ConsumeBool() ? in_.ConsumeIntegralInRange(0, max)
                             : in_.ConsumeIntegralInRange(-3, max);
  }

  // The box argument of a retrieval: room for the largest box (10 floats), or null.
  float* Box() { return in_.ConsumeIntegralInRange(0, 7) == 0 ? nullptr : box_.data(); }

  void ReleaseInts(int* data) {
    if (in_.ConsumeIntegralInRange(0, 7) == 0) {
      DeleteCaretData(reinterpret_cast<float*>(data));  // either release takes any array
    } else {
      DeleteTTFData(data);
    }
  }

  void Retrieve(int (*get)(int, EN_ReturnType, int**, float*)) {
    const int index = in_.ConsumeBool() ? in_.ConsumeIntegralInRange(-2, 40) : Int();
    const auto type = Enum<EN_ReturnType>();
    int* data = nullptr;
    const bool want = in_.ConsumeIntegralInRange(0, 7) != 0;
    const int count = get(index, type, want ? &data : nullptr, Box());
    if (!want) return;
    if (data == nullptr || count < 0) std::abort();  // an array is always handed out
    ReleaseInts(data);
  }

  void Step() {
    switch (in_.ConsumeIntegralInRange(0, 78)) {
      case 0:
        InitializeTTF(Float());
        break;
      case 1:
        SetDefaults();
        break;
      case 2: {
        auto face = Face();
        SetFontFace(Ptr(face));
        break;
      }
      case 3:
        SetFontStyle(Enum<EN_TTFFontStyle>());
        break;
      case 4:
        SetTextHeight(Float());
        break;
      case 5:
        SetHorizontalCharGap(Float());
        break;
      case 6:
        SetVerticalCharGap(Float());
        break;
      case 7:
        SetCharacterAngle(Float());
        break;
      case 8:
        SetObliqueAngle(Float());
        break;
      case 9: {
        const float sx = Float();
        SetCharacterScale(sx, Float());
        break;
      }
      case 10:
        SetAutoKern(Enum<EN_Bool>());
        break;
      case 11:
        SetModeHorizontal();
        break;
      case 12:
        SetModeVertical();
        break;
      case 13:
        SetModePathText();
        break;
      case 14:
        SetModeCharacterForward();
        break;
      case 15:
        SetModeCharacterBackward();
        break;
      case 16:
        SetModeCharacterUpside();
        break;
      case 17:
        SetModeCharacterUpsideDown();
        break;
      case 18:
        SetModeNoscript();
        break;
      case 19:
        SetModeSubscript();
        break;
      case 20:
        SetModeSuperscript();
        break;
      case 21: {
        const float size = Float();
        SetPropsSubscript(size, Float());
        break;
      }
      case 22: {
        const float size = Float();
        SetPropsSuperscript(size, Float());
        break;
      }
      case 23:
        SetModeWordWrap(Enum<EN_Bool>());
        break;
      case 24:
        SetTextBoxWidth(Float());
        break;
      case 25:
        SetTextBoxHeight(Float());
        break;
      case 26: {
        const int count = Count(16);
        std::vector<float> stops = Floats(count);
        SetIndentPositions(in_.ConsumeIntegralInRange(0, 7) == 0 ? nullptr : stops.data(), count);
        break;
      }
      case 27:
        SetTextHorizontalAlign(Enum<EN_TextHorizontalAlignStyle>());
        break;
      case 28:
        SetTextVerticalAlign(Enum<EN_TextVerticalAlignStyle>());
        break;
      case 29:
        SetLineSpacing(Float());
        break;
      case 30:
        SetLineSpacingStyle(Enum<EN_LineSpaceStyle>());
        break;
      case 31:
        SetFNTConversionMode(Enum<EN_FNT_ConvertionStyle>());
        break;
      case 32:
        SetPathTextAlign(Enum<EN_PathTextAlign>());
        break;
      case 33:
        SetPathTextFlip(Enum<EN_Bool>());
        break;
      case 34:
        SetPathTextSpacing(static_cast<double>(Float()));
        break;
      case 35:
        SetDeformPathCharacters(Enum<EN_Bool>());
        break;
      case 36:
      case 37:
      case 38: {
        // Appends are the heart of a program: three opcodes, and null or empty texts too.
        std::vector<unsigned short> text;
        if (in_.ConsumeIntegralInRange(0, 15) != 0) text = Text();
        unsigned short* p = Ptr(text);
        switch (in_.ConsumeIntegralInRange(0, 4)) {
          case 0:
            AppendCharacters(p);
            break;
          case 1:
            AppendCharactersOVF(p);
            break;
          default:
            AppendCharactersEx(p);
            break;
        }
        break;
      }
      case 39:
        FinishText();
        break;
      case 40:
        Retrieve(GetOutLines);
        break;
      case 41:
        Retrieve(GetOutLinesEx);
        break;
      case 42:
        Retrieve(GetMultilineOutLines);
        break;
      case 43:
        GetTotalBoundingBox(Box());
        break;
      case 44:
        DeleteTTFData(nullptr);
        DeleteCaretData(nullptr);
        break;
      case 45: {
        float* data = nullptr;
        const bool want = in_.ConsumeIntegralInRange(0, 7) != 0;
        const int count = GetCaretPositionData(want ? &data : nullptr);
        if (count < 0) std::abort();
        if (want) DeleteCaretData(data);
        break;
      }
      case 46: {
        CursorPosition* data = nullptr;
        int count = 0;
        float top = 0.0f;
        const bool want = in_.ConsumeIntegralInRange(0, 7) != 0;
        GetMultilineCaretPositionData(want ? &data : nullptr, in_.ConsumeBool() ? &count : nullptr,
                                      in_.ConsumeBool() ? &top : nullptr);
        if (want) DeleteCaretData(reinterpret_cast<float*>(data));
        break;
      }
      case 47:
        GetCharacterCount(in_.ConsumeBool() ? in_.ConsumeIntegralInRange(-2, 8) : Int());
        break;
      case 48:
        GetTextLineCount();
        break;
      case 49: {
        const int lines = GetTextLineCount();
        std::vector<CharacterLineGapInfo> info(static_cast<std::size_t>(lines) + 1);
        if (GetCharacterLineGapInfo(in_.ConsumeIntegralInRange(0, 7) == 0 ? nullptr : info.data()) >
            lines) {
          std::abort();
        }
        break;
      }
      case 50:
        GetMaximumAscent();
        break;
      case 51:
        GetMaximumDecent();
        break;
      case 52:
        GetMaximumLineGap();
        break;
      case 53:
        GetPathLengthOfCharacters();
        break;
      case 54: {
        auto face = Face();
        const auto style = Enum<EN_TTFFontStyle>();
        const int count = Count(24);
        std::vector<int> codes(static_cast<std::size_t>(count > 0 ? count : 0) + 1);
        for (int& c : codes) c = in_.ConsumeBool() ? in_.ConsumeIntegralInRange(0, 0x7F) : Int();
        LoadCharacterSet(Ptr(face), style,
                         in_.ConsumeIntegralInRange(0, 7) == 0 ? nullptr : codes.data(), count);
        break;
      }
      case 55: {
        auto face = Face();
        const auto style = Enum<EN_TTFFontStyle>();
        const int first = in_.ConsumeBool() ? in_.ConsumeIntegralInRange(-4, 0x3000) : Int();
        const std::int64_t end =
            static_cast<std::int64_t>(first) + in_.ConsumeIntegralInRange(-4, kMaxRange);
        const int last = static_cast<int>(std::clamp<std::int64_t>(
            end, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
        LoadCharacterRange(Ptr(face), style, first, last);
        break;
      }
      case 56: {
        auto face = Face();
        UnloadFont(Ptr(face), Enum<EN_TTFFontStyle>());
        break;
      }
      case 57:
        UnloadAllFonts();
        break;
      case 58: {
        auto face = Face();
        FontInformation info{};
        const auto style = Enum<EN_TTFFontStyle>();
        GetFontInformation(Ptr(face), style,
                           in_.ConsumeIntegralInRange(0, 7) == 0 ? nullptr : &info);
        break;
      }
      case 59: {
        int* codes = nullptr;
        const bool want = in_.ConsumeIntegralInRange(0, 7) != 0;
        GetCustomFontRange(want ? &codes : nullptr);
        if (want) ReleaseInts(codes);
        break;
      }
      case 60: {
        const int degree = in_.ConsumeBool() ? in_.ConsumeIntegralInRange(0, 4) : Int();
        const int count = Count(12);
        std::vector<float> x = Floats(count), y = Floats(count), w = Floats(count);
        if (in_.ConsumeBool()) {
          for (float& v : w) v = 1.0f;
        }
        int knot_count = count;
        if (degree >= 0 && degree < 64 && count >= 0) knot_count = count + degree + 1;
        if (in_.ConsumeIntegralInRange(0, 7) == 0) knot_count = Count(24);
        std::vector<float> knots = Floats(knot_count);
        if (in_.ConsumeBool()) {
          // Clamped uniform knots: the common, valid case.
          for (int i = 0; i < knot_count; ++i) {
            // In 64 bits: the degree may be any int, and i - degree would overflow an int.
            const long long d = degree;
            knots[i] = static_cast<float>(std::min(std::max(i - d, 0LL), count - d));
          }
        }
        float* xs = in_.ConsumeIntegralInRange(0, 15) == 0 ? nullptr : x.data();
        SetNurbPathPoints(degree, count, xs, y.data(), w.data(), knot_count, knots.data(), Float());
        break;
      }
      case 61:
      case 62: {
        const float r = Float(), cx = Float(), cy = Float(), a = Float();
        if (in_.ConsumeBool()) {
          SetNurbPathCircleCW(r, cx, cy, a);
        } else {
          SetNurbPathCircleCCW(r, cx, cy, a);
        }
        break;
      }
      case 63: {
        const int n = Count(24);
        std::vector<float> points = Floats(n);
        SetNurbPathPolyline(in_.ConsumeIntegralInRange(0, 15) == 0 ? nullptr : points.data(), n,
                            Float());
        break;
      }
      case 64: {
        const float border = Float();
        const auto direction = Enum<borderGapDirection>();
        const float gap = Float(), angle = Float(), bx = Float(), by = Float();
        AddTTFHatchPatternLine(border, direction, gap, angle, bx, by, Enum<hatchStyle>(),
                               Enum<EN_Bool>());
        break;
      }
      case 65: {
        const float border = Float();
        const auto direction = Enum<borderGapDirection>();
        const float gap = Float(), angle = Float(), bx = Float(), by = Float();
        const auto style = Enum<hatchStyle>();
        const auto with_offset = Enum<EN_Bool>();
        const auto algorithm = Enum<EN_OffsetAlgorithm>();
        const auto corner = Enum<EN_OffsetCornerStyle>();
        const int miter = Int();
        AddTTFHatchPatternLineEx(border, direction, gap, angle, bx, by, style, with_offset,
                                 algorithm, corner, miter, Int());
        break;
      }
      case 66: {
        const float border = Float();
        const auto direction = Enum<borderGapDirection>();
        const float gap = Float(), angle = Float(), link = Float();
        AddTTFHatchPatternOptimized(border, direction, gap, angle, link, Enum<hatchStyle>());
        break;
      }
      case 67: {
        const float border = Float();
        const auto direction = Enum<borderGapDirection>();
        const float gap = Float(), start = Float(), step = Float();
        const int passes = Int();
        AddTTFHatchPatternIncremental(border, direction, gap, start, step, passes,
                                      Enum<hatchStyle>());
        break;
      }
      case 68: {
        const float gap = Float();
        AddTTFHatchPatternOffsetFilling(gap, Enum<EN_OffsetStyle>());
        break;
      }
      case 69: {
        const float gap = Float();
        const auto style = Enum<EN_OffsetStyle>();
        const auto algorithm = Enum<EN_OffsetAlgorithm>();
        const auto corner = Enum<EN_OffsetCornerStyle>();
        const int miter = Int();
        AddTTFHatchPatternOffsetFillingEx(gap, style, algorithm, corner, miter, Int());
        break;
      }
      case 70: {
        const float inside = Float();
        const int inside_count = Int();
        const float outside = Float();
        AddTTFHatchPatternOffsetInOut(inside, inside_count, outside, Int());
        break;
      }
      case 71: {
        const float inside = Float();
        const int inside_count = Int();
        const float outside = Float();
        const int outside_count = Int();
        const auto algorithm = Enum<EN_OffsetAlgorithm>();
        const auto corner = Enum<EN_OffsetCornerStyle>();
        const int miter = Int();
        AddTTFHatchPatternOffsetInOutEx(inside, inside_count, outside, outside_count, algorithm,
                                        corner, miter, Int());
        break;
      }
      case 72: {
        const float gap = Float();
        const auto style = Enum<EN_HelixStyle>();
        const auto algorithm = Enum<EN_OffsetAlgorithm>();
        const auto corner = Enum<EN_OffsetCornerStyle>();
        const int miter = Int();
        AddTTFHatchPatternHelixFillingEx(gap, style, algorithm, corner, miter, Int());
        break;
      }
      case 73: {
        const float gu = Float(), gv = Float(), angle = Float(), bx = Float(), by = Float();
        AddTTFHatchPatternLattice(gu, gv, angle, bx, by, in_.ConsumeBool());
        break;
      }
      case 74:
        ClearTTFHatchPatterns();
        break;
      case 75:
        IncludeBorder(Enum<EN_Bool>());
        break;
      case 76:
        // A whole host cycle in one step: finish, then start over at a new unit size.
        FinishText();
        InitializeTTF(in_.ConsumeBool() ? 1000.0f : Float());
        break;
      default: {
        // The common host rhythm, compressed: a face, a text, one retrieval of everything.
        auto face = Face();
        SetFontFace(Ptr(face));
        auto text = Text();
        AppendCharactersEx(text.data());
        Retrieve(GetMultilineOutLines);
        break;
      }
    }
  }

  FuzzedDataProvider in_;
  std::array<float, 16> box_{};
};

// The library as a host loads it, with both log files present beside it; they are links to
// /dev/null, so every trace line and array dump is formatted and written without filling the
// disk.
void AttachWithLogs() {
  const char* tmp = std::getenv("TMPDIR");
  const std::filesystem::path dir = std::filesystem::path(tmp != nullptr ? tmp : "/tmp") /
                                    ("vuzodo-fuzz-api-" + std::to_string(getpid()));
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  for (const char* log : {"TTFLog.txt", "TTFCBNLog.txt"}) {
    std::filesystem::remove(dir / log, ec);
    std::filesystem::create_symlink("/dev/null", dir / log, ec);
  }
  vuzodo::ProcessAttach(dir / "libvuzodo.so");
  std::filesystem::remove_all(dir, ec);  // the logs stay open; nothing else is needed
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  AttachWithLogs();
  std::atexit([] { vuzodo::ProcessDetach(); });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The state a freshly loaded library has.
  InitializeTTF(1000.0f);
  ClearTTFHatchPatterns();
  SetModeHorizontal();
  SetFNTConversionMode(EN_FNT_ARCS_AS_POINTS);
  Program(data, size).Run();
  FinishText();
  InitializeTTF(1000.0f);
  ClearTTFHatchPatterns();
  return 0;
}
