// The exported interface driven the way a careless host might drive it: the input is decoded
// into a program of up to kMaxCalls calls of the exports (the interface's table, generated from
// the header, gives each an opcode; arguments are decoded by parameter type) with arbitrary
// arguments (floats
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
#include <iterator>
#include <limits>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <vector>

#include "VUZODO.h"
#include "vuzodo/vuzodo.h"
#include "vuzodo_interface.h"

namespace {

constexpr int kMaxCalls = 48;
constexpr std::size_t kMaxTextUnits = 96;
// Characters built by one LoadCharacterRange call; the interface's own bound (every UTF-16
// code) takes seconds under the sanitizers, which would drown the fuzzer in slow inputs.
constexpr int kMaxRange = 512;
// Text units a program may append while a hatch pattern may be registered. The hatching
// library bounds its work per character, not per text: even within a fuzzing build's lower
// bounds, 39 characters with 13 round outside rings each took 66 s under the sanitizers.
constexpr std::size_t kMaxHatchedUnits = 16;

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

// Whether two constants are the same function (of any types).
template <auto A, auto B>
constexpr bool kIs = false;
template <auto A>
constexpr bool kIs<A, A> = true;

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

  // One argument, decoded by its type. Values come from the generators above; a text is a face
  // or a made-up text; an array the export fills is a buffer (or null); an array the export
  // hands out is received (or not) and released once the call is done.
  template <typename T>
  struct Argument {
    T value;
    explicit Argument(Program& p) {
      if constexpr (std::is_same_v<T, float>) {
        value = p.Float();
      } else if constexpr (std::is_same_v<T, double>) {
        value = static_cast<double>(p.Float());
      } else if constexpr (std::is_same_v<T, bool>) {
        value = p.in_.ConsumeBool();
      } else if constexpr (std::is_enum_v<T>) {
        value = p.Enum<T>();
      } else {
        value = p.Int();
      }
    }
    T Get() { return value; }
    void Release(Program&) {}
  };
  template <typename T>
  struct Argument<T*> {
    std::vector<T> buffer;  // a text, or room for a box (10 floats) or one record per line
    bool null;
    explicit Argument(Program& p) {
      if constexpr (std::is_same_v<T, unsigned short>) {
        buffer = p.AnyText();
        null = buffer.empty();
      } else {
        buffer.resize(static_cast<std::size_t>(std::max(GetTextLineCount(), 0)) + 16);
        null = p.in_.ConsumeIntegralInRange(0, 7) == 0;
      }
    }
    T* Get() { return null ? nullptr : buffer.data(); }
    void Release(Program&) {}
  };
  template <typename T>
  struct Argument<T**> {
    T* array = nullptr;
    bool want;
    explicit Argument(Program& p) : want(p.in_.ConsumeIntegralInRange(0, 7) != 0) {}
    T** Get() { return want ? &array : nullptr; }
    void Release(Program& p) {
      if constexpr (std::is_same_v<T, int>) {
        if (want) p.ReleaseInts(array);
      } else if (want) {
        DeleteCaretData(reinterpret_cast<float*>(array));
      }
    }
  };

  // Cuts a text to append to what is left of the hatched units while a pattern may be
  // registered (any pattern added since the list was last cleared).
  void Ration(std::vector<unsigned short>& text) {
    if (!hatching_ || text.empty()) return;
    const auto length =
        static_cast<std::size_t>(std::find(text.begin(), text.end(), 0) - text.begin());
    const std::size_t keep = std::min(length, hatched_left_);
    hatched_left_ -= keep;
    text.resize(keep);
    text.push_back(0);
  }

  std::vector<unsigned short> AnyText() {
    if (in_.ConsumeBool()) return Face();
    std::vector<unsigned short> text;
    if (in_.ConsumeIntegralInRange(0, 15) != 0) text = Text();
    return text;
  }

  // Calls the export with arguments decoded by its parameter types, in order.
  template <typename R, typename... P>
  R CallDecoded(R (*fn)(P...)) {
    std::tuple<Argument<P>...> args{Argument<P>(*this)...};
    return std::apply(
        [&](auto&... a) {
          if constexpr (std::is_void_v<R>) {
            fn(a.Get()...);
            (a.Release(*this), ...);
          } else {
            const R result = fn(a.Get()...);
            (a.Release(*this), ...);
            return result;
          }
        },
        args);
  }

  // Every export has an opcode (the header's order); those that take an array with its length,
  // release an array, or would spend seconds on a full range have their own generators.
  template <auto Fn>
  void Call() {
    if constexpr (kIs<Fn, &DeleteTTFData> || kIs<Fn, &DeleteCaretData>) {
      Fn(nullptr);  // arrays handed out are released where they are received
    } else if constexpr (kIs<Fn, &SetIndentPositions>) {
      const int count = Count(16);
      std::vector<float> stops = Floats(count);
      SetIndentPositions(in_.ConsumeIntegralInRange(0, 7) == 0 ? nullptr : stops.data(), count);
    } else if constexpr (kIs<Fn, &LoadCharacterSet>) {
      auto face = Face();
      const auto style = Enum<EN_TTFFontStyle>();
      const int count = Count(24);
      std::vector<int> codes(static_cast<std::size_t>(count > 0 ? count : 0) + 1);
      for (int& c : codes) c = in_.ConsumeBool() ? in_.ConsumeIntegralInRange(0, 0x7F) : Int();
      LoadCharacterSet(Ptr(face), style,
                       in_.ConsumeIntegralInRange(0, 7) == 0 ? nullptr : codes.data(), count);
    } else if constexpr (kIs<Fn, &LoadCharacterRange>) {
      auto face = Face();
      const auto style = Enum<EN_TTFFontStyle>();
      const int first = in_.ConsumeBool() ? in_.ConsumeIntegralInRange(-4, 0x3000) : Int();
      const std::int64_t end =
          static_cast<std::int64_t>(first) + in_.ConsumeIntegralInRange(-4, kMaxRange);
      const int last = static_cast<int>(std::clamp<std::int64_t>(
          end, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
      LoadCharacterRange(Ptr(face), style, first, last);
    } else if constexpr (kIs<Fn, &SetNurbPathPoints>) {
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
    } else if constexpr (kIs<Fn, &SetNurbPathPolyline>) {
      const int n = Count(24);
      std::vector<float> points = Floats(n);
      SetNurbPathPolyline(in_.ConsumeIntegralInRange(0, 15) == 0 ? nullptr : points.data(), n,
                          Float());
    } else if constexpr (std::is_same_v<decltype(Fn), decltype(&GetOutLines)>) {
      const int index = in_.ConsumeBool() ? in_.ConsumeIntegralInRange(-2, 40) : Int();
      const auto type = Enum<EN_ReturnType>();
      int* data = nullptr;
      const bool want = in_.ConsumeIntegralInRange(0, 7) != 0;
      const int count = Fn(index, type, want ? &data : nullptr, Box());
      if (!want) return;
      if (data == nullptr || count < 0) std::abort();  // an array is always handed out
      ReleaseInts(data);
    } else if constexpr (kIs<Fn, &AppendCharacters> || kIs<Fn, &AppendCharactersEx> ||
                         kIs<Fn, &AppendCharactersOVF>) {
      auto text = AnyText();
      Ration(text);
      Fn(Ptr(text));
    } else if constexpr (kIs<Fn, &GetCharacterLineGapInfo>) {
      if (CallDecoded(Fn) > GetTextLineCount()) std::abort();  // one record per line, no more
    } else {
      CallDecoded(Fn);
    }
  }

  void Step() {
    using Op = void (Program::*)();
#define VUZODO_FUZZ_OP(fn, trace, printed) &Program::Call<&(fn)>,
    static constexpr Op kExports[] = {VUZODO_INTERFACE(VUZODO_FUZZ_OP)};
#undef VUZODO_FUZZ_OP
#define VUZODO_FUZZ_NAME(fn, trace, printed) std::string_view(#fn),
    static constexpr std::string_view kNames[] = {VUZODO_INTERFACE(VUZODO_FUZZ_NAME)};
#undef VUZODO_FUZZ_NAME
    constexpr int kCount = static_cast<int>(std::size(kExports));
    const int op = in_.ConsumeIntegralInRange(0, kCount + 3);
    if (op < kCount) {
      // The pattern list is the hatching library's: the pattern exports add to it, and only
      // ClearTTFHatchPatterns and SetDefaults empty it.
      if (kNames[op].starts_with("AddTTFHatchPattern")) hatching_ = true;
      if (kNames[op] == "ClearTTFHatchPatterns" || kNames[op] == "SetDefaults") hatching_ = false;
      (this->*kExports[op])();
    } else if (op == kCount) {
      // A whole host cycle in one step: finish, then start over at a new unit size.
      FinishText();
      InitializeTTF(in_.ConsumeBool() ? 1000.0f : Float());
    } else if (op == kCount + 1) {
      // The common host rhythm, compressed: a face, a text, one retrieval of everything.
      auto face = Face();
      SetFontFace(Ptr(face));
      auto text = Text();
      Ration(text);
      AppendCharactersEx(text.data());
      Call<&GetMultilineOutLines>();
    } else {
      Call<&AppendCharactersEx>();  // appends are the heart of a program: more of them
    }
  }

  FuzzedDataProvider in_;
  std::array<float, 16> box_{};
  bool hatching_ = false;  // every program starts with an empty pattern list
  std::size_t hatched_left_ = kMaxHatchedUnits;
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
