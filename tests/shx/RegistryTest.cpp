// SHX fonts through the font registry and the C interface: normalisation on "A" and the list of
// shape numbers that GetCustomFontRange hands out.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "CharBufferHolder.h"
#include "FontDataHolder.h"
#include "QELPolyLine.h"
#include "QELUtility.h"
#include "ShxTestSupport.h"
#include "TTFLoader.h"
#include "vuzodo/vuzodo.h"

using namespace vuzodo;

namespace {

std::u16string Wide(const std::string& narrow) {
  return std::u16string(narrow.begin(), narrow.end());
}

std::vector<std::string> FontsWithA() {
  std::vector<std::string> paths = {shxtest::FixturePath("unifont")};
#ifdef SHX_HERSHEY_FIXTURE
  paths.push_back(SHX_HERSHEY_FIXTURE);
#endif
  return paths;
}

TEST(ShxRegistryTest, NormalisedAIsExactlyTheUnitTall) {
  // The unicode fixture's "A" rises 4 of its 4 units; the Hershey "A" 21 of 21. Both stand on
  // the baseline, so after normalising the top and the height are both U.
  for (float unit : {1000.0f, 250.0f}) {
    InitializeTTF(unit);
    for (const std::string& path : FontsWithA()) {
      TTFLoader& loader = TTFLoader::Instance();
      FontDataHolder* font = loader.LoadFont(Wide(path), 0);
      const CharBufferHolder* a = loader.LoadCharacter(font, 'A');
      ASSERT_NE(a, nullptr) << path;
      EXPECT_DOUBLE_EQ(a->GetMetrics()[kBlackBoxTop], unit) << path;
      EXPECT_DOUBLE_EQ(a->GetMetrics()[kBlackBoxHeight], unit) << path;
    }
  }
  InitializeTTF(1000.0f);
}

std::vector<int> CustomFontRange(const std::string& path) {
  InitializeTTF(1000.0f);
  SetDefaults();
  std::u16string face = Wide(path);
  EXPECT_EQ(SetFontFace(reinterpret_cast<unsigned short*>(face.data())), 1);
  int* codes = nullptr;
  const int count = GetCustomFontRange(&codes);
  std::vector<int> list(codes, codes + (count > 0 ? count : 0));
  DeleteTTFData(codes);
  return list;
}

TEST(ShxRegistryTest, CustomFontRangeListsEveryShapeInFileOrder) {
  // The order of the definitions in data/shapes.shp (23 is not defined; 63 precedes 30).
  EXPECT_EQ(CustomFontRange(shxtest::FixturePath("shapes")),
            (std::vector<int>{1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14,
                              15, 16, 17, 18, 19, 20, 21, 22, 24, 25, 26, 63, 30}));
  // Big fonts list their index order, empty slots left out.
  EXPECT_EQ(CustomFontRange(shxtest::FixturePath("bigfont_slots")),
            (std::vector<int>{0x41, 0x8141, 0x8142}));
  EXPECT_EQ(CustomFontRange(shxtest::FixturePath("unifont")),
            (std::vector<int>{0x41, 0x42, 0x4E20}));
  InitializeTTF(1000.0f);
}

// ---- shapes built on demand against building every shape at load ----

// A font that takes each odd path of the survey: no "A", so the reference is the first shape
// that rises above the baseline (not the first shape); a shape refused for its infinite
// coordinates; a number listed twice; an arc; and a closed stroke whose repeated last point,
// dropped on closing, would be the leftmost point of the font.
std::vector<unsigned char> OddFont() {
  std::vector<unsigned char> overflow;
  for (int i = 0; i < 140; ++i) overflow.insert(overflow.end(), {4, 255});
  overflow.push_back(0x10);
  return shxtest::MakeUnifont(
      4, {{0x30, {0x1C}},  // one unit down: top 0, not the reference
          {0x31, overflow},
          // right, up, back to the start exactly, then 1/65025 of a unit further left
          {0x32, {0x10, 0x14, 8, 0xFF, 0xFF, 3, 255, 3, 255, 0x18}},
          {0x32, {0x20}},                       // never built: the number finds the shape above
          {0x33, {2, 0x80, 1, 10, 2, 0x14}}});  // pen up, move right, pen down, a half circle
}

struct EntityValues {
  std::vector<double> values;
  bool operator==(const EntityValues&) const = default;
};

// Every value that reaches the output: kind, closed flag, points; centre, axis, ratio, angles.
std::vector<EntityValues> Values(const std::vector<CQELEntity*>& entities) {
  std::vector<EntityValues> out;
  for (const CQELEntity* e : entities) {
    EntityValues v;
    v.values.push_back(e->GetType());
    if (e->GetType() == CQELEntity::kPolyLine) {
      const auto* poly = static_cast<const CQELPolyLine*>(e);
      v.values.push_back(poly->GetClosed());
      for (const NURBSPoint& p : poly->GetPoints())
        v.values.insert(v.values.end(), {p.GetX(), p.GetY()});
    } else if (e->GetType() == CQELEntity::kEllipticalArc) {
      const auto* arc = static_cast<const CQELEllipticalArc*>(e);
      v.values.insert(v.values.end(), {arc->GetCenter().GetX(), arc->GetCenter().GetY(),
                                       arc->GetAxisPoint().GetX(), arc->GetAxisPoint().GetY(),
                                       arc->GetRatio(), arc->GetStartAngle(), arc->GetSweep()});
    }
    out.push_back(std::move(v));
  }
  return out;
}

std::vector<std::pair<std::string, std::vector<unsigned char>>> SurveyFonts() {
  std::vector<std::pair<std::string, std::vector<unsigned char>>> fonts = {{"odd", OddFont()}};
  for (const char* name : {"shapes", "shapes11", "unifont", "bigfont", "bigfont_slots", "extbig"}) {
    fonts.emplace_back(name, shxtest::ReadBytes(shxtest::FixturePath(name)));
  }
#ifdef SHX_HERSHEY_FIXTURE
  fonts.emplace_back("futural", shxtest::ReadBytes(SHX_HERSHEY_FIXTURE));
#endif
  return fonts;
}

// The survey's codes and box are those of building every shape, scaling its outline and growing
// a box over the entities, to the last bit.
TEST(ShxRegistryTest, SurveyFindsTheCodesAndBoxOfBuildingEveryShape) {
  for (const auto& [name, bytes] : SurveyFonts()) {
    for (double factor : {1.0, 250.0, 0.37, -2.0}) {
      std::vector<std::int32_t> codes;
      NURBSPoint min(3.4e38, 3.4e38, 1.0);
      NURBSPoint max(-3.4e38, -3.4e38, 1.0);
      for (SHXBuiltShape& shape : SHXFontHandler::BuildAllShapes(bytes)) {
        codes.push_back(shape.code);
        for (CQELEntity* e : shape.entities) {
          e->Scale(factor, factor);
          GrowBoundingBox(min, max, e);
        }
      }
      SHXFontHandler handler;
      handler.OpenBytes(bytes);
      const SHXShapeSurvey survey = handler.SurveyShapes(factor);
      EXPECT_EQ(survey.codes, codes) << name << " x" << factor;
      EXPECT_EQ(survey.min.GetX(), min.GetX()) << name << " x" << factor;
      EXPECT_EQ(survey.min.GetY(), min.GetY()) << name << " x" << factor;
      EXPECT_EQ(survey.max.GetX(), max.GetX()) << name << " x" << factor;
      EXPECT_EQ(survey.max.GetY(), max.GetY()) << name << " x" << factor;
      // The surveying handler still builds afterwards as a fresh one does.
      if (!codes.empty()) {
        shxtest::Outline again(*handler.BuildShape(codes.back()));
        auto fresh = SHXFontHandler::BuildAllShapes(bytes);
        EXPECT_EQ(Values(again.entities), Values(fresh.back().entities)) << name;
      }
    }
  }
  // The odd font: the refused shape is left out, the doubled number listed twice, and the
  // dropped point left no trace in the box.
  SHXFontHandler odd;
  odd.OpenBytes(OddFont());
  const SHXShapeSurvey survey = odd.SurveyShapes(1.0);
  EXPECT_EQ(survey.codes, (std::vector<std::int32_t>{0x30, 0x32, 0x32, 0x33}));
  // (The leftmost point left is the down stroke's, off by the rounding of cos(270 degrees); the
  // dropped one lies 1/65025 of a unit, 3.8e-6, to the left.)
  EXPECT_GT(survey.min.GetX(), -1e-12);
}

// Records built when first asked for are those of building every shape at load and normalising
// them all on the reference ("A", else the first shape that rises above the baseline); the font
// box in the metrics is the box of all of them.
TEST(ShxRegistryTest, ShapesBuiltOnDemandAreThoseOfBuildingTheWholeFont) {
  InitializeTTF(1000.0f);
  const std::string odd_path = testing::TempDir() + "/shx_registry_odd.shx";
  {
    const std::vector<unsigned char> bytes = OddFont();
    std::ofstream(odd_path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
  }
  std::vector<std::string> paths = {odd_path};
  for (const char* name : {"shapes", "unifont", "bigfont_slots", "extbig"}) {
    paths.push_back(shxtest::FixturePath(name));
  }
#ifdef SHX_HERSHEY_FIXTURE
  paths.push_back(SHX_HERSHEY_FIXTURE);
#endif
  for (const std::string& path : paths) {
    // The whole font, built and normalised in one go.
    std::vector<SHXBuiltShape> all = SHXFontHandler::BuildAllShapes(path);
    std::vector<std::unique_ptr<CharBufferHolder>> records;
    for (SHXBuiltShape& shape : all) {
      records.push_back(std::make_unique<CharBufferHolder>(static_cast<std::uint32_t>(shape.code),
                                                           shape.TakeEntities()));
      records.back()->SetMetricsFromBox(shape.min, shape.max, shape.advance);
    }
    const CharBufferHolder* reference = nullptr;
    for (const auto& r : records) {
      if (r->GetCode() == 65) {
        reference = r.get();
        break;
      }
    }
    for (const auto& r : records) {
      if (reference == nullptr && r->GetMetrics()[kBlackBoxTop] > 0.0) reference = r.get();
    }
    ASSERT_NE(reference, nullptr) << path;
    const double factor = 1000.0 / reference->GetMetrics()[kBlackBoxTop];
    NURBSPoint min(3.4e38, 3.4e38, 1.0);
    NURBSPoint max(-3.4e38, -3.4e38, 1.0);
    for (const auto& r : records) {
      r->Scale(factor);
      for (const CQELEntity* e : r->GetOutlines()) GrowBoundingBox(min, max, e);
    }

    TTFLoader& loader = TTFLoader::Instance();
    FontDataHolder* font = loader.LoadFont(Wide(path), 0);
    std::vector<std::uint32_t> codes;
    for (const auto& r : records) codes.push_back(r->GetCode());
    EXPECT_EQ(font->ListCharacterCodes(), codes) << path;
    // Asked for last to first, so that the order of building differs from the file's.
    for (auto r = records.rbegin(); r != records.rend(); ++r) {
      const std::uint32_t code = (*r)->GetCode();
      const CharBufferHolder* built = loader.LoadCharacter(font, code);
      ASSERT_NE(built, nullptr) << path << " " << code;
      // The first record of a number is the one found; later ones repeat its shape.
      const CharBufferHolder* first = nullptr;
      for (const auto& c : records) {
        if (c->GetCode() == code) {
          first = c.get();
          break;
        }
      }
      EXPECT_EQ(built->GetMetrics(), first->GetMetrics()) << path << " " << code;
      EXPECT_EQ(Values(built->GetOutlines()), Values(first->GetOutlines())) << path;
    }
    const RECT box = font->GetOutlineTextMetrics().otmrcFontBox;
    EXPECT_EQ(box.left, static_cast<LONG>(min.GetX())) << path;
    EXPECT_EQ(box.right, static_cast<LONG>(max.GetX())) << path;
    EXPECT_EQ(box.top, static_cast<LONG>(max.GetY())) << path;
    EXPECT_EQ(box.bottom, static_cast<LONG>(min.GetY())) << path;
  }
  // A code no shape has, and the refused shape's, build nothing of their own; the loader's
  // stand-ins for them join the list after the shapes, in the order asked for, as they did when
  // every shape was built at load.
  FontDataHolder* odd = TTFLoader::Instance().LoadFont(Wide(odd_path), 0);
  EXPECT_EQ(odd->BuildShxCharacter(0x31), nullptr);
  EXPECT_EQ(odd->BuildShxCharacter(0x99), nullptr);
  ASSERT_NE(TTFLoader::Instance().LoadCharacter(odd, 0x99), nullptr);
  ASSERT_NE(TTFLoader::Instance().LoadCharacter(odd, 0x31), nullptr);
  EXPECT_EQ(odd->ListCharacterCodes(),
            (std::vector<std::uint32_t>{0x30, 0x32, 0x32, 0x33, 0x99, 0x31}));
  std::remove(odd_path.c_str());
  InitializeTTF(1000.0f);
}

}  // namespace
