// The render command's drawing files read back by independent readers (DXF by dxflib, PNG by
// cairo), their geometry compared with the records the engine gives a host for the same text.
#include <cairo.h>
#include <dxflib/dl_creationadapter.h>
#include <dxflib/dl_dxf.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "vuzodo/vuzodo.h"

namespace {

namespace fs = std::filesystem;

const fs::path kScratch = fs::temp_directory_path() / ("vuzodo-cli-" + std::to_string(getpid()));

int RunCli(const std::string& arguments) {
  fs::create_directories(kScratch);
  return std::system((VUZODO_CLI " " + arguments + " > /dev/null").c_str());
}

using Chain = std::vector<std::pair<double, double>>;

// What a host gets for the same settings: the chains of draws of the whole text, lines placed,
// in user units, moved so that the first line's baseline (the host's first caret) is y = 0.
std::vector<Chain> HostChains(const std::u16string& text) {
  InitializeTTF(1000.0f);
  SetDefaults();
  std::u16string face = u"Arial", copy = text;
  SetFontFace(reinterpret_cast<unsigned short*>(face.data()));
  AppendCharactersEx(reinterpret_cast<unsigned short*>(copy.data()));
  int* data = nullptr;
  float box[8];
  const int n = GetMultilineOutLines(-1, EN_RT_BORDER, &data, box);
  CursorPosition* carets = nullptr;
  int caret_count = 0;
  float top = 0;
  GetMultilineCaretPositionData(&carets, &caret_count, &top);
  const double baseline = caret_count > 0 ? carets[0].baselineY : 0;
  DeleteCaretData(reinterpret_cast<float*>(carets));
  std::vector<Chain> chains;
  double x = 0, y = -baseline;
  bool open = false;
  for (int p = 0; p + 2 < n && data[p] != -1; p += data[p] == 42 ? 5 : 3) {
    const double nx = x + data[p + 1], ny = y + data[p + 2];
    if (data[p] == 41) {
      if (!open) chains.push_back({{x / 1000.0, y / 1000.0}});
      chains.back().emplace_back(nx / 1000.0, ny / 1000.0);
      open = true;
    } else {
      open = false;
    }
    x = nx;
    y = ny;
  }
  DeleteTTFData(data);
  FinishText();
  return chains;
}

struct DxfContents : DL_CreationAdapter {
  std::map<std::string, int> per_layer;
  std::vector<Chain> polylines;
  std::vector<bool> closed;
  void addPolyline(const DL_PolylineData& d) override {
    ++per_layer[getAttributes().getLayer()];
    polylines.emplace_back();
    closed.push_back((d.flags & 1) != 0);
  }
  void addVertex(const DL_VertexData& v) override { polylines.back().emplace_back(v.x, v.y); }
  // Every stroke is one polyline: a loose line or arc is a stroke cut apart.
  void addLine(const DL_LineData&) override { ++per_layer["LINE"]; }
  void addArc(const DL_ArcData&) override { ++per_layer["ARC"]; }
};

TEST(RenderOutput, DxfHoldsTheHostsChainsInUserUnits) {
  const fs::path file = kScratch / "text.dxf";
  ASSERT_EQ(RunCli("render \"Hatch\\nme\" -o " + file.string()), 0);
  DxfContents dxf;
  DL_Dxf reader;
  ASSERT_TRUE(reader.in(file.string(), &dxf));
  const auto chains = HostChains(u"Hatch\nme");
  ASSERT_EQ(dxf.polylines.size(), chains.size());
  EXPECT_EQ(dxf.per_layer["outline"], static_cast<int>(chains.size()));
  EXPECT_EQ(dxf.per_layer["LINE"] + dxf.per_layer["ARC"], 0);
  for (size_t k = 0; k < chains.size(); ++k) {
    // A closed polyline leaves out the repeated first point.
    const size_t points = chains[k].size() - (dxf.closed[k] ? 1 : 0);
    ASSERT_EQ(dxf.polylines[k].size(), points) << k;
    for (size_t i = 0; i < points; ++i) {
      EXPECT_NEAR(dxf.polylines[k][i].first, chains[k][i].first, 1e-9);
      EXPECT_NEAR(dxf.polylines[k][i].second, chains[k][i].second, 1e-9);
    }
  }
}

TEST(RenderOutput, PngOpensWithInkWhereTheTextIs) {
  const fs::path file = kScratch / "text.png";
  ASSERT_EQ(RunCli("render \"I\" --png-scale 100 --margin 10 -o " + file.string()), 0);
  cairo_surface_t* png = cairo_image_surface_create_from_png(file.c_str());
  ASSERT_EQ(cairo_surface_status(png), CAIRO_STATUS_SUCCESS);
  // "I" is a bar about one user unit tall: about 100 pixels plus margins.
  const int w = cairo_image_surface_get_width(png), h = cairo_image_surface_get_height(png);
  EXPECT_NEAR(h, 100 + 20, 6);
  EXPECT_LT(w, h);
  cairo_surface_flush(png);
  const unsigned char* px = cairo_image_surface_get_data(png);
  const int stride = cairo_image_surface_get_stride(png);
  auto dark = [&](int x, int y) { return px[y * stride + 4 * x + 1] < 128; };  // green channel
  int dark_pixels = 0, dark_margin = 0;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) (y == 2 ? dark_margin : dark_pixels) += dark(x, y);
  }
  EXPECT_GT(dark_pixels, 150);  // the outline's two long sides at least
  EXPECT_EQ(dark_margin, 0);
  cairo_surface_destroy(png);
}

}  // namespace
