// The screen layers played through fixture games: backgrounds, solid colours, characters and
// their arrangements, the overlay, the colour filters, and what reaches the window.
#include "graphics/layers.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "fixture.h"

namespace zorvel::test {
namespace {

using Rgb = std::array<uint8_t, 3>;
constexpr Rgb kBlack = {0, 0, 0};

// A character file: the colour picture on the left, its mask (fully opaque) on the right.
Surface Character(int width, int height, Rgb colour) {
  Surface s(width * 2, height);
  s.FillRect(0, 0, width, height, colour[0], colour[1], colour[2]);
  s.FillRect(width, 0, width, height, 255, 255, 255);
  return s;
}

class Layers : public ::testing::Test {
 protected:
  void SetUp() override {
    Surface corners = Solid(800, 600, 0, 0, 0);
    corners.FillRect(0, 0, 1, 1, 1, 2, 3);
    corners.FillRect(799, 599, 1, 1, 4, 5, 6);
    std::map<std::string, Surface> pictures = {
        {"A001", Solid(800, 600, 200, 0, 0)},   {"A002", Solid(800, 600, 0, 200, 0)},
        {"A003", Solid(800, 600, 0, 0, 200)},   {"A004", Solid(800, 600, 30, 60, 90)},
        {"A640", Solid(640, 480, 250, 250, 0)}, {"ACORNERS", corners},
    };
    for (int i = 1; i <= 6; ++i) {
      const uint8_t v = static_cast<uint8_t>(20 * i);
      pictures["B0" + std::to_string(i)] = Character(100, 600, {v, v, 1});
    }
    Surface overlay(400, 100);  // 200 x 100 colour, then its mask
    overlay.FillRect(0, 0, 200, 100, 0, 0, 255);
    overlay.FillRect(200, 0, 200, 100, 255, 255, 255);
    pictures["OV1"] = overlay;
    Surface parts(20, 10);  // green, then cyan (transparent for ptset)
    parts.FillRect(0, 0, 10, 10, 0, 255, 0);
    parts.FillRect(10, 0, 10, 10, 0, 255, 255);
    pictures["PARTS"] = parts;
    WritePictures(game_ / "vx_gra.kpz", pictures);
  }

  Session& Play(const std::string& script, uint32_t ms = 3000) {
    WriteGame(game_.Path(), {{"main", script}});
    session_ = std::make_unique<Session>(game_.Path(), config_.Path());
    session_->RunFor(ms);
    return *session_;
  }
  Rgb Shown(int x, int y) { return PixelAt(session_->platform().LastFrame(), x, y); }
  // Character B0n drawn through its full mask: a mask byte of 255 keeps 255/256 of the colour.
  static Rgb Grey(int v) { return {Masked(v), Masked(v), Masked(1)}; }
  static uint8_t Masked(int v) { return static_cast<uint8_t>(v * 255 / 256); }

  TempDir game_, config_;
  std::unique_ptr<Session> session_;
};

TEST_F(Layers, GrbAndBgWaitForTheNextGra) {
  Session& s = Play("@gra A001 3\n@sleep -1\n@grb A002 3\n@bg A003\n@sleep -1\n@gra A004\n");
  EXPECT_EQ(Shown(10, 10), (Rgb{200, 0, 0}));
  const auto clickAndRun = [&s] {
    s.Events(std::to_string(s.platform().Ticks()) + " click 5 5\n");
    s.RunFor(3000);
  };
  clickAndRun();
  EXPECT_EQ(Shown(10, 10), (Rgb{200, 0, 0}));
  EXPECT_STREQ(s.state().backgroundName, "A003");
  clickAndRun();
  EXPECT_EQ(Shown(10, 10), (Rgb{30, 60, 90}));
}

TEST_F(Layers, SolidColoursAndSmallBackgrounds) {
  const std::vector<std::tuple<std::string, int, int, Rgb>> cases = {
      {"@gra S00F", 10, 10, {0, 0, 240}},
      {"@gra SGGG", 10, 10, {255, 255, 255}},
      {"@gra S0x0", 10, 10, kBlack},
      {"@bg s8f0", 10, 10, {128, 240, 0}},
      {"@gra A640", 10, 10, {250, 250, 0}},
      {"@gra A640", 700, 500, kBlack},
      {"@gra a001", 10, 10, {200, 0, 0}},
      {"@gra A001\n@gra Zzz", 10, 10, {200, 0, 0}},
      {"@gra A001\n@gra Amissing", 10, 10, {200, 0, 0}},
  };
  for (const auto& [script, x, y, colour] : cases) {
    Play(script + "\n");
    EXPECT_EQ(Shown(x, y), colour) << script;
  }
}

TEST_F(Layers, CharacterArrangements) {
  // Probes at the centres of every arrangement's positions.
  struct Case {
    std::string script;
    std::vector<std::pair<int, Rgb>> probes;
    std::vector<std::string> names;
  };
  const Case cases[] = {
      {"@spr B01,B02,5", {{250, Grey(20)}, {550, Grey(40)}, {400, kBlack}}, {"B01", "B02"}},
      {"@spr B01,B02\n@spr B01,-,B03",
       {{200, Grey(20)}, {400, Grey(40)}, {600, Grey(60)}},
       {"B01", "B02", "B03"}},
      {"@spr B01,B02\n@spr 5", {{250, kBlack}, {550, kBlack}}, {}},
      {"@spr B01,", {{250, Grey(20)}, {550, kBlack}}, {"B01", ""}},
      {"@spr B01", {{400, Grey(20)}, {250, kBlack}}, {"B01"}},
      {"@spr B01,B02,B03,B04",
       {{100, Grey(20)}, {300, Grey(40)}, {500, Grey(60)}, {700, Grey(80)}},
       {"B01", "B02", "B03", "B04"}},
      {"@gra B01\n@gra B02 R", {{250, kBlack}, {550, Grey(40)}}, {"", "B02"}},
      {"@gra B01 L\n@gra B02 R", {{250, Grey(20)}, {550, Grey(40)}}, {"B01", "B02"}},
      {"@spr B01,B02\n@clrb 2L", {{250, kBlack}, {550, Grey(40)}}, {"", "B02"}},
      {"@spr B01,B02\n@clrb", {{250, kBlack}, {550, kBlack}}, {}},
      {"!S081=100\n@spr B01,B02", {{100, Grey(20)}, {250, kBlack}}, {"B01", "B02"}},
      {"@spr B01,B02\n@gra A003", {{250, {0, 0, 200}}}, {}},
  };
  for (const Case& c : cases) {
    Session& s = Play("@gra S000\n" + c.script + "\n");
    for (const auto& [x, colour] : c.probes)
      EXPECT_EQ(Shown(x, 300), colour) << c.script << " x=" << x;
    std::vector<std::string> names;
    for (int p = 0; p < std::min(s.engine().LayerState().CharacterCount(), 4); ++p) {
      names.push_back(s.engine().LayerState().PositionName(p));
    }
    EXPECT_EQ(names, c.names) << c.script;
  }
}

TEST_F(Layers, DrawingOrderAndTheSlotCache) {
  for (const auto& [order, front] :
       std::vector<std::pair<int, Rgb>>{{0, Grey(40)}, {1, Grey(20)}}) {
    Play("!S081=400\n!S082=400\n!S024=" + std::to_string(order) + "\n@spr B01,B02\n");
    EXPECT_EQ(Shown(400, 300), front) << "S024=" << order;
  }
  // Five pictures fill the five slots; the sixth takes the slot filled first.
  Session& s = Play("@spr B01\n@spr B02\n@spr B03\n@spr B04\n@spr B05\n@spr B06\n@spr B02\n");
  EXPECT_STREQ(s.engine().LayerState().SlotName(0), "B06");
  EXPECT_STREQ(s.engine().LayerState().SlotName(1), "B02");
  EXPECT_EQ(Shown(400, 300), Grey(40));
}

TEST_F(Layers, OverlayPlacesOrderAndOpacity) {
  constexpr Rgb kRed = {200, 0, 0};
  const Rgb kBlue = {0, 0, Masked(255)};
  struct Case {
    std::string script;
    int x, y;
    Rgb colour;
    int32_t left;  // S021 afterwards
  };
  const Case cases[] = {
      {"!S020=0\n@ovr OV1,0,100,50", 150, 60, kBlue, 100},
      {"!S020=0\n@ovr OV1,0,100,50", 350, 60, kRed, 100},
      {"!S020=0\n@ovr OV1,0,100,50\n@ovr OFF", 150, 60, kRed, 100},
      {"!S020=0\n@ovr OV1,0,100,50\n@ovr OFF\n@ovr OV1", 150, 60, kBlue, 100},
      {"!S020=5\n@ovr OV1,0,100,50", 150, 60, kRed, 100},
      {"!S020=0\n!S023=128\n@ovr OV1,0,0,0", 10, 10, {100, 0, 127}, 0},
      {"!S020=0\n@spr B01\n@ovr OV1,0,380,0", 390, 10, Grey(20), 380},
      {"!S020=1\n@spr B01\n@ovr OV1,0,380,0", 390, 10, kBlue, 380},
  };
  for (const Case& c : cases) {
    Session& s = Play("@gra A001\n" + c.script + "\n");
    EXPECT_EQ(Shown(c.x, c.y), c.colour) << c.script;
    EXPECT_EQ(s.state().vars.S[21], c.left) << c.script;
  }
}

TEST_F(Layers, ColourFilters) {
  const std::vector<std::tuple<std::string, int, int, Rgb>> cases = {
      {"!S011=1\n!S013=8\n@gra A001", 10, 10, {100, 0, 0}},
      {"!S011=1\n!S013=16\n@gra A004", 10, 10, {30, 60, 90}},
      {"!S011=1\n!S013=0\n@gra A004", 10, 10, kBlack},
      {"!S011=2\n@gra A004", 10, 10, {60, 45, 15}},
      {"!S011=3\n@gra A004", 10, 10, {60, 60, 60}},
      {"!S011=4\n@gra ACORNERS", 0, 0, {4, 5, 6}},
      {"!S011=4\n@gra ACORNERS", 799, 599, {1, 2, 3}},
      {"!S011=9\n@gra A004", 10, 10, {30, 60, 90}},
  };
  for (const auto& [script, x, y, colour] : cases) {
    Play(script + "\n");
    EXPECT_EQ(Shown(x, y), colour) << script;
  }
}

TEST_F(Layers, PositionsStartAtTheirDefaultsAndGameinitRestoresThem) {
  Session& s = Play("!S080=10\n!S099=5\n@sleep -1\n@gameinit\n");
  EXPECT_EQ(s.state().vars.S[80], 10);
  s.Events(std::to_string(s.platform().Ticks()) + " click 5 5\n");
  s.RunFor(500);
  const auto& S = s.state().vars.S;
  EXPECT_EQ(std::vector<int32_t>(S.begin() + 80, S.begin() + 100),
            std::vector<int32_t>(kDefaultPositions.begin(), kDefaultPositions.end()));
  EXPECT_EQ(S[20], 250);
  EXPECT_EQ(S[21], 550);
}

// Whole scenes as a player sees them: a gradient background, three characters with soft-edged
// masks, an overlay in front and one blended, each with and without a colour filter.
TEST_F(Layers, GoldenScenes) {
  Surface background(800, 600);
  for (int y = 0; y < 600; ++y) {
    for (int x = 0; x < 800; ++x) {
      uint8_t* p = background.Row(y) + x * 3;
      p[0] = static_cast<uint8_t>(x * 255 / 799);
      p[1] = static_cast<uint8_t>(y * 255 / 599);
      p[2] = static_cast<uint8_t>(255 - x * 255 / 799);
    }
  }
  // A character whose mask fades in over its outer 40 pixels.
  const auto soft = [](Rgb colour) {
    Surface s(400, 500);
    s.FillRect(0, 0, 200, 500, colour[0], colour[1], colour[2]);
    for (int y = 0; y < 500; ++y) {
      for (int x = 0; x < 200; ++x) {
        const int edge = std::min({x, 199 - x, y, 499 - y});
        const uint8_t m = static_cast<uint8_t>(std::min(255, edge * 255 / 40));
        uint8_t* p = s.Row(y) + (200 + x) * 3;
        p[0] = p[1] = p[2] = m;
      }
    }
    return s;
  };
  Surface mist = Solid(800, 600, 240, 240, 250);
  WritePictures(game_ / "vx_gra.kpz", {{"AGRAD", background},
                                       {"BRED", soft({220, 60, 60})},
                                       {"BGREEN", soft({60, 200, 90})},
                                       {"BBLUE", soft({70, 90, 230})},
                                       {"OV1", Character(150, 80, {250, 220, 40})},
                                       {"OMIST", mist}});
  const std::pair<const char*, std::string> cases[] = {
      {"layers_three_and_overlay",
       "!S020=1\n@gra AGRAD\n@spr BRED,BGREEN,BBLUE\n@ovr OV1,0,325,40\n"},
      {"layers_two_sepia", "!S011=2\n!S024=1\n!S081=350\n!S082=450\n@gra AGRAD\n@spr BRED,BBLUE\n"},
      {"layers_mist_darkened",
       "!S011=1\n!S013=10\n!S023=90\n!S020=1\n@gra AGRAD\n@spr BGREEN\n@ovr OMIST,0,0,0\n"},
  };
  for (const auto& [name, script] : cases) {
    Play(script);
    ExpectGolden(session_->platform().LastFrame(), name, 0);
  }
}

TEST_F(Layers, DirectHoldsAPictureOnTheWindowOnly) {
  // The step holds for the given time while the window shows the picture; no surface changes,
  // so the next update removes it.
  Session& s = Play("@gra A001\n@direct OV1,2000,100,50\n!V001=1\n", 100);
  EXPECT_GE(s.platform().Ticks(), 2000u);
  EXPECT_EQ(s.state().vars.V[1], 1);
  EXPECT_EQ(Shown(150, 60), (Rgb{0, 0, 255}));
  EXPECT_EQ(PixelAt(s.engine().Surfaces().screenSurface, 150, 60), (Rgb{200, 0, 0}));
}

// A piece of the parts picture goes onto the window only, clipped to the picture and the window
// however large the rectangle: a damaged script's billions of pixels must not hang the engine.
TEST_F(Layers, PtsetDrawsAClippedPieceOnTheWindowOnly) {
  Session& s = Play(
      "@gra A001\n@partsload PARTS\n@ptset 0,0,20,10,100,50\n@ptset 10,10,8066666666,7\n"
      "@ptset 0-100,0-100,2000000000,5,100,300\n"
      "@partsload ACORNERS\n@ptset 0,0,2000000000,2000000000,700,590\n!V001=1\n");
  EXPECT_EQ(s.state().vars.V[1], 1);
  constexpr Rgb kGreen = {0, 255, 0};
  constexpr Rgb kBackground = {200, 0, 0};
  struct Case {
    int x, y;
    Rgb colour;
  };
  const Case cases[] = {
      {100, 50, kGreen},
      {109, 59, kGreen},
      {110, 55, kBackground},
      {99, 55, kBackground},
      {200, 400, kGreen},
      {209, 404, kGreen},
      {205, 405, kBackground},
      {205, 399, kBackground},
      // The whole corners picture from (700, 590) on, cut by the window.
      {700, 590, Rgb{1, 2, 3}},
      {799, 599, kBlack},
      {699, 595, kBackground},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.x) + "," + std::to_string(c.y));
    EXPECT_EQ(Shown(c.x, c.y), c.colour);
  }
  EXPECT_EQ(PixelAt(s.engine().Surfaces().screenSurface, 105, 55), kBackground);
}

TEST_F(Layers, StateDumpNamesTheLayers) {
  // The overlay is the remembered name: "OFF" once the script took it away.
  for (const auto& [overlay, name] :
       {std::pair{"@ovr OV1", "OV1"}, {"@ovr OV1\n@ovr OFF", "OFF"}}) {
    Session& s = Play(std::string("!S020=0\n@gra A001\n@spr B01,B02\n") + overlay + "\n");
    const std::string d = s.engine().DumpState(0);
    EXPECT_NE(d.find("\"layers\":{\"background\":\"A001\",\"characters\":[\"B01\",\"B02\"],"
                     "\"overlay\":\"" +
                     std::string(name) + "\"}"),
              std::string::npos)
        << d;
  }
}

}  // namespace
}  // namespace zorvel::test
