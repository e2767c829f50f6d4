// The SHX reader: every fixture's shapes against outlines worked out by hand (data/*.golden), the
// font headers, byte patches with a defined outcome, and the survey and the registry's
// on-demand builds against building the whole font.
#include <algorithm>
#include <filesystem>
#include <memory>

#include "CharBufferHolder.h"
#include "FontDataHolder.h"
#include "QELUtility.h"
#include "ReaderTestSupport.h"
#include "SHXFontHandler.h"
#include "TTFLoader.h"
#include "vuzodo/vuzodo.h"

using namespace vuzodo;
using readertest::Describe;

namespace {

#ifndef SHX_HERSHEY_FIXTURE
#define SHX_HERSHEY_FIXTURE "hershey-fonts-data is not installed"
#endif

std::string Fixture(const std::string& name) {
  return name == "futural" ? SHX_HERSHEY_FIXTURE : SHX_FIXTURE_DIR "/" + name + ".shx";
}
// The fixtures present (the Hershey font only with its package).
std::vector<std::string> Fixtures() {
  std::vector<std::string> all = {"shapes",        "shapes11", "unifont", "bigfont",
                                  "bigfont_slots", "extbig",   "cases",   "futural"};
  std::erase_if(all, [](const std::string& n) { return !std::filesystem::exists(Fixture(n)); });
  return all;
}
std::u16string Wide(const std::string& s) {
  return {s.begin(), s.end()};
}

struct Outline {
  explicit Outline(std::vector<CQELEntity*> list) : entities(std::move(list)) {}
  ~Outline() { DeleteEntities(entities); }
  std::vector<CQELEntity*> entities;
};

TEST(ShxGolden, EveryShapeMatchesItsHandWorkedOutline) {
  std::vector<std::string> fixtures = Fixtures();
  fixtures.push_back("fanout");
  for (const std::string& fixture : fixtures) {
    const std::string golden = fixture == "shapes11"        ? "shapes"
                               : fixture == "bigfont_slots" ? "bigfont"
                                                            : fixture;
    const double units = fixture == "futural" ? 21 : 1;  // font units per output unit
    SHXFontHandler handler;
    handler.OpenNarrow(Fixture(fixture));
    const auto goldens =
        readertest::LoadGoldens(std::ifstream(SHX_DATA_DIR "/" + golden + ".golden"));
    ASSERT_FALSE(goldens.empty()) << golden;
    for (const readertest::Golden& g : goldens) {
      Outline outline(handler.BuildShape(g.code).value());
      const std::string what = fixture + " shape " + std::to_string(g.code);
      EXPECT_EQ(handler.WasRefused(), g.refused) << what;
      EXPECT_TRUE(readertest::SameOutline(Describe(outline.entities, units), g.entities, 1e-9))
          << what;
      EXPECT_TRUE(g.refused || std::abs(handler.GetAdvance() * units - g.advance) <= 1e-9) << what;
    }
  }
}

TEST(ShxFonts, HeadersAndShapeListsOfEveryKind) {
  struct Row {
    std::string fixture;
    SHXFontKind kind;
    const char* name;
    int above, below;  // -1: not given
    double base_scale;
    std::vector<int> numbers;  // in file order, as GetCustomFontRange lists them
  };
  const std::vector<int> shapes = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14,
                                   15, 16, 17, 18, 19, 20, 21, 22, 24, 25, 26, 63, 30};
  std::vector<int> hershey;
  for (int c = 32; c < 128; ++c) hershey.push_back(c);
  const Row rows[] = {
      {"shapes", SHXFontKind::kShapes, "TESTSHAPES", 1, 0, 1.0, shapes},
      {"shapes11", SHXFontKind::kShapes, "TESTSHAPES", 1, 0, 1.0, shapes},
      {"unifont", SHXFontKind::kUnifont, "TESTUNI", 4, 1, 0.25, {0x41, 0x42, 0x4E20}},
      {"bigfont", SHXFontKind::kBigfont, "TESTBIG", 8, 2, 1.0, {0x41, 0x8141, 0x8142}},
      {"bigfont_slots", SHXFontKind::kBigfont, "TESTBIG", 8, 2, 1.0, {0x41, 0x8141, 0x8142}},
      {"extbig", SHXFontKind::kExtendedBig, "TESTEXT", -1, -1, 1.0, {0x8141, 0x8142, 0x8143}},
      {"futural", SHXFontKind::kShapes, "HERSHEY FUTURAL", 21, 7, 1.0 / 21, hershey}};
  for (const Row& r : rows) {
    if (!std::filesystem::exists(Fixture(r.fixture))) continue;
    SHXFontHandler handler;
    handler.OpenNarrow(Fixture(r.fixture));
    const SHXFont& font = handler.GetFont();
    EXPECT_EQ(font.GetKind(), r.kind) << r.fixture;
    EXPECT_EQ(font.name_, r.name) << r.fixture;
    EXPECT_TRUE(r.above < 0 || (font.above_ == r.above && font.below_ == r.below)) << r.fixture;
    EXPECT_DOUBLE_EQ(handler.GetBaseScale(), r.base_scale) << r.fixture;
    InitializeTTF(1000.0f);
    std::u16string face = Wide(Fixture(r.fixture));
    EXPECT_EQ(SetFontFace(reinterpret_cast<unsigned short*>(face.data())), 1);
    int* codes = nullptr;
    const int count = GetCustomFontRange(&codes);
    EXPECT_EQ(std::vector<int>(codes, codes + std::max(count, 0)), r.numbers) << r.fixture;
    DeleteTTFData(codes);
  }
  // The extended big font's character size scales its subshapes.
  SHXFontHandler ext;
  ext.OpenNarrow(Fixture("extbig"));
  EXPECT_EQ(ext.GetFont().character_height_ * 100 + ext.GetFont().character_width_, 1010);
  // An unknown number draws "?" (63, two units wide) where the font has one; a wide path opens.
  const std::string path = Fixture("shapes");
  std::vector<unsigned short> wide(path.begin(), path.end());
  wide.push_back(0);
  SHXFontHandler handler;
  handler.Open(wide.data());
  Outline question(*handler.BuildShape(200));
  EXPECT_EQ(handler.GetAdvance(), 2.0);
  SHXFontHandler uni;
  uni.OpenNarrow(Fixture("unifont"));
  EXPECT_FALSE(uni.BuildShape(200).has_value());
  InitializeTTF(1000.0f);
}

// Patched bytes of a fixture and the shapes still read: counts, offsets and lengths beyond the
// file drop what they describe and nothing else.
TEST(ShxBadFiles, PatchedHeadersIndexesAndLengths) {
  struct Row {
    const char* fixture;
    std::vector<std::pair<std::size_t, unsigned char>> patches;
    std::size_t shapes;
  };
  const Row rows[] = {
      {"shapes", {{0, 'a'}}, 0},                             // a header naming no kind
      {"shapes", {{29, 1}}, 0},                              // 256 + 27 shapes: not read
      {"bigfont", {{29, 0xFF}, {30, 0xFF}}, 0},              // escape ranges past the end
      {"bigfont", {{39, 0xFF}, {40, 0xFF}}, 0},              // font information past the end
      {"bigfont", {{47, 0xFF}, {48, 0xFF}, {49, 0xFF}}, 2},  // one shape's offset past the end
      {"unifont", {{56, 0xFF}, {57, 0xFF}}, 1},              // B's length 0xFFFF: B and BIG go
      {"unifont", {{56, 1}}, 1},                             // B's length shorter than its name too
      {"no-such-font", {}, 0},
      {"", {}, 0},  // a folder
  };
  for (const Row& r : rows) {
    auto bytes = readertest::ReadBytes(Fixture(r.fixture));
    for (auto [at, value] : r.patches) bytes.at(at) = value;
    SHXFontHandler handler;
    if (r.patches.empty())
      handler.OpenNarrow(Fixture(r.fixture));
    else
      handler.OpenBytes(bytes);
    EXPECT_EQ(handler.GetShapes().size(), r.shapes) << r.fixture << " " << r.patches.size();
  }
}

// A prefix of a shape file or unicode font loads a prefix of its shapes, byte for byte; a prefix
// of a big font some of them. Nothing else ever appears.
TEST(ShxBadFiles, EveryTruncationLoadsOnlyShapesOfTheWholeFile) {
  for (const char* name : {"shapes", "unifont", "bigfont", "bigfont_slots", "extbig", "cases"}) {
    const auto full = readertest::ReadBytes(Fixture(name));
    SHXFontHandler complete;
    complete.OpenBytes(full);
    const auto& all = complete.GetShapes();
    for (std::size_t length = 0; length < full.size(); ++length) {
      SHXFontHandler handler;
      handler.OpenBytes(std::vector<unsigned char>(full.begin(), full.begin() + length));
      std::size_t k = 0;
      for (const auto& shape : handler.GetShapes()) {
        while (k < all.size() && all[k]->GetShapeNumber() != shape->GetShapeNumber()) ++k;
        ASSERT_LT(k, all.size()) << name << " length " << length;
        EXPECT_EQ(shape->GetBytes(), all[k++]->GetBytes()) << name << " length " << length;
      }
    }
  }
}

// Every shape's box holds its outline and a second build gives the same advance (the survey
// against building every shape is Hostile.shx's invariant, over these fixtures and their damage).
TEST(ShxFonts, BoxesRebuildsAndSurveyAgreeWithBuildingEveryShape) {
  for (const std::string& name : Fixtures()) {
    const auto bytes = readertest::ReadBytes(Fixture(name));
    SHXFontHandler handler;
    handler.OpenBytes(bytes);
    for (SHXBuiltShape& shape : SHXFontHandler::BuildAllShapes(bytes)) {
      EXPECT_TRUE(readertest::InkWithin(shape.entities, shape.min, shape.max))
          << name << " shape " << shape.code;
      Outline again(*handler.BuildShape(shape.code));
      EXPECT_EQ(shape.advance, handler.GetAdvance()) << name << " shape " << shape.code;
    }
  }
  // The refused shape is left out, the doubled number listed twice; the point dropped on closing
  // 50 (1/65025 left of the start) leaves no trace in the box.
  SHXFontHandler cases;
  cases.OpenNarrow(Fixture("cases"));
  const SHXShapeSurvey survey = cases.SurveyShapes(1.0);
  EXPECT_EQ(std::vector<std::int32_t>(survey.codes.begin(), survey.codes.begin() + 5),
            (std::vector<std::int32_t>{48, 50, 50, 51, 1}));
  EXPECT_EQ(std::count(survey.codes.begin(), survey.codes.end(), 49), 0);
}

// Records built when first asked for are those of building every shape at load and normalising
// them all on the reference ("A", else the first shape that rises above the baseline); the font
// box in the metrics is the box of all of them. "A" is exactly the unit tall.
TEST(ShxRegistry, ShapesBuiltOnDemandAreThoseOfBuildingTheWholeFont) {
  InitializeTTF(1000.0f);
  TTFLoader& loader = TTFLoader::Instance();
  for (const std::string& name : Fixtures()) {
    std::vector<std::unique_ptr<CharBufferHolder>> records;
    for (SHXBuiltShape& shape : SHXFontHandler::BuildAllShapes(Fixture(name))) {
      records.push_back(std::make_unique<CharBufferHolder>(static_cast<std::uint32_t>(shape.code),
                                                           shape.TakeEntities()));
      records.back()->SetMetricsFromBox(shape.min, shape.max, shape.advance);
    }
    const auto first = [&](auto&& pick) {
      return std::find_if(records.begin(), records.end(), [&](auto& r) { return pick(*r); });
    };
    auto reference = first([](const CharBufferHolder& r) { return r.GetCode() == 'A'; });
    if (reference == records.end())
      reference = first([](const CharBufferHolder& r) { return r.GetMetrics()[kBlackBoxTop] > 0; });
    ASSERT_NE(reference, records.end()) << name;
    const double factor = 1000.0 / (*reference)->GetMetrics()[kBlackBoxTop];
    NURBSPoint min(3.4e38, 3.4e38, 1.0), max(-3.4e38, -3.4e38, 1.0);
    std::vector<std::uint32_t> codes;
    for (const auto& r : records) {
      r->Scale(factor);
      for (const CQELEntity* e : r->GetOutlines()) GrowBoundingBox(min, max, e);
      codes.push_back(r->GetCode());
    }
    FontDataHolder* font = loader.LoadFont(Wide(Fixture(name)), 0);
    EXPECT_EQ(font->ListCharacterCodes(), codes) << name;
    // Last to first, so that the order of building differs from the file's; the first record of
    // a number is the one found.
    for (auto r = records.rbegin(); r != records.rend(); ++r) {
      const CharBufferHolder* built = loader.LoadCharacter(font, (*r)->GetCode());
      const auto& want =
          **first([&](const CharBufferHolder& c) { return c.GetCode() == (*r)->GetCode(); });
      EXPECT_EQ(built->GetMetrics(), want.GetMetrics()) << name << " " << built->GetCode();
      EXPECT_EQ(Describe(built->GetOutlines()), Describe(want.GetOutlines())) << name;
    }
    const RECT box = font->GetOutlineTextMetrics().otmrcFontBox;
    EXPECT_EQ(std::vector<LONG>({box.left, box.right, box.top, box.bottom}),
              std::vector<LONG>({static_cast<LONG>(min.GetX()), static_cast<LONG>(max.GetX()),
                                 static_cast<LONG>(max.GetY()), static_cast<LONG>(min.GetY())}));
    if ((*reference)->GetCode() == 'A') {
      const double* a = loader.LoadCharacter(font, 'A')->GetMetrics().data();
      EXPECT_DOUBLE_EQ(a[kBlackBoxTop], 1000.0) << name;
      // unifont's and futural's "A" stand on the baseline
      EXPECT_TRUE((name != "unifont" && name != "futural") || a[kBlackBoxHeight] == 1000.0) << name;
    }
  }
  // A code no shape has, and the refused shape's, build nothing of their own; the loader's
  // stand-ins join the list after the shapes, in the order asked for.
  FontDataHolder* cases = loader.LoadFont(Wide(Fixture("cases")), 0);
  EXPECT_EQ(cases->BuildShxCharacter(49), nullptr);
  EXPECT_EQ(cases->BuildShxCharacter(0x99), nullptr);
  ASSERT_NE(loader.LoadCharacter(cases, 0x99), nullptr);
  ASSERT_NE(loader.LoadCharacter(cases, 49), nullptr);
  const auto listed = cases->ListCharacterCodes();
  EXPECT_EQ(std::vector<std::uint32_t>(listed.end() - 2, listed.end()),
            (std::vector<std::uint32_t>{0x99, 49}));
  InitializeTTF(1000.0f);
}

}  // namespace
