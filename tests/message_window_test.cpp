// The message window over a patterned scene on the headless platform: the blended window
// picture against a byte-by-byte reference, the novel page, the clean-copy cache, the bar and
// name-plate backgrounds where they leave the window, configuration sizes of any value, and
// the closing fade under the virtual clock.
#include "graphics/message_window.h"

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cstring>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "inert_hooks.h"
#include "platform/forgetful_settings_store.h"
#include "platform/headless/headless_platform.h"
#include "script/commands.h"

namespace zorvel {
namespace {

using Bgr = std::array<uint8_t, 3>;
constexpr Bgr kBlack = {0, 0, 0};

Bgr Px(const Surface& s, int x, int y) {
  const uint8_t* p = s.Row(y) + x * 3;
  return {p[0], p[1], p[2]};
}

// Every channel varies with the position and none is 0 throughout, so a pixel from the wrong
// place or a black fill shows.
uint8_t SceneByte(int x, int y, int c) {
  return static_cast<uint8_t>(1 + (x * 7 + y * 3 + c * 85) % 250);
}

// "" when `actual` holds expected(x, y) everywhere, else where it first differs.
std::string Compare(const Surface& actual, const std::function<Bgr(int x, int y)>& expected) {
  for (int y = 0; y < actual.Height(); ++y) {
    for (int x = 0; x < actual.Width(); ++x) {
      const Bgr a = Px(actual, x, y);
      const Bgr e = expected(x, y);
      if (a != e) {
        std::ostringstream out;
        out << "at (" << x << ", " << y << "): got " << +a[0] << "," << +a[1] << "," << +a[2]
            << " expected " << +e[0] << "," << +e[1] << "," << +e[2];
        return out.str();
      }
    }
  }
  return "";
}

struct Geometry {
  int32_t x, y, w, h;
};

class MessageWindowTest : public ::testing::Test {
 protected:
  MessageWindowTest() {
    screen_.CreateSurfaces();
    for (int y = 0; y < 600; ++y) {
      for (int x = 0; x < 800; ++x) {
        for (int c = 0; c < 3; ++c) screen_.sceneSurface.Row(y)[x * 3 + c] = SceneByte(x, y, c);
      }
    }
    screen_.screenSurface = screen_.sceneSurface;
    // 722 pixels: each row ends in a partial 8-byte group.
    SetWindow({40, 400, 722, 200});
    config_.NP_OFS_X = 60;
    config_.NP_OFS_Y = 410;
    config_.NP_SZ_X = 160;
    config_.NP_SZ_Y = 30;
    settings_.TXBG_R = 10;
    settings_.TXBG_G = 120;
    settings_.TXBG_B = 200;
    SetAlpha(255);
    MessageWindowHooks hooks = test::InertMessageWindowHooks();
    hooks.redrawText = [this] { calls_ += "text "; };
    hooks.drawQuickBar = [this](int mode) {
      calls_ += "bar" + std::to_string(mode) + " ";
      if (mode == 2 && paintBar_) screen_.windowPicture.FillRect(0, 176, 50, 4, 1, 2, 3);
    };
    hooks.drawMeter = [this](int mode) { calls_ += "meter" + std::to_string(mode) + " "; };
    hooks.backgroundAnimationRunning = [this] { return animation_; };
    window_ = std::make_unique<MessageWindow>(screen_, state_, config_, settings_, platform_,
                                              clock_, std::move(hooks));
  }

  void SetWindow(Geometry g) {
    config_.TXW_OFS_X = g.x;
    config_.TXW_OFS_Y = g.y;
    config_.TXW_SIZE_X = g.w;
    config_.TXW_SIZE_Y = g.h;
    screen_.BuildWindowBackground(settings_, g.w, g.h);
  }
  void SetAlpha(int a) {
    settings_.TXBG_A = a;
    screen_.BuildWindowBackground(settings_, config_.TXW_SIZE_X, config_.TXW_SIZE_Y);
  }

  // The window pixel (x, y) from the arithmetic: mask 0 keeps the scene byte exactly, and the
  // window blends over black where it leaves the screen.
  Bgr ExpectedWindow(int x, int y) const {
    const int sx = config_.TXW_OFS_X + x;
    const int sy = config_.TXW_OFS_Y + y;
    const int m = y < 32 ? settings_.TXBG_A * y / 32 : settings_.TXBG_A;
    const Bgr colour = {static_cast<uint8_t>(settings_.TXBG_B),
                        static_cast<uint8_t>(settings_.TXBG_G),
                        static_cast<uint8_t>(settings_.TXBG_R)};
    Bgr out{};
    for (int c = 0; c < 3; ++c) {
      const bool onScreen = sx >= 0 && sx < 800 && sy >= 0 && sy < 600;
      const int u = onScreen ? SceneByte(sx, sy, c) : 0;
      out[c] = static_cast<uint8_t>(m == 0 ? u : (u * (255 - m) + colour[c] * m) >> 8);
    }
    return out;
  }

  ForgetfulSettingsStore store_;
  HeadlessPlatform platform_{store_};
  Screen screen_{platform_};
  EngineState state_;
  GameConfig config_;
  Settings settings_;
  std::function<void()> pump_;
  FrameClock clock_{platform_, [this] {
                      if (pump_) pump_();
                    }};
  std::string calls_;
  bool paintBar_ = false;
  bool animation_ = false;
  std::unique_ptr<MessageWindow> window_;
};

TEST_F(MessageWindowTest, WindowIsTheSceneBlendedWithTheColourThroughTheMask) {
  struct Case {
    int alpha;
    Geometry window;
  };
  const Case cases[] = {
      {0, {40, 400, 722, 200}},    // invisible: the scene, bit for bit
      {255, {40, 400, 722, 200}},  // solid below the soft top edge
      {100, {0, 0, 800, 600}},
      {180, {-16, 450, 805, 170}},  // off the screen on three sides: over black there
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.alpha);
    SetWindow(c.window);
    SetAlpha(c.alpha);
    state_.windowPictureValid = false;
    window_->BuildWindowPicture();
    EXPECT_TRUE(state_.windowPictureValid);
    EXPECT_EQ(Compare(screen_.windowPicture, [&](int x, int y) { return ExpectedWindow(x, y); }),
              "");
  }
  // The cases above, spelled out for the plainest window: 255 gives 255/256 of the colour.
  SetWindow({40, 400, 722, 200});
  SetAlpha(255);
  state_.windowPictureValid = false;
  window_->BuildWindowPicture();
  EXPECT_EQ(Px(screen_.windowPicture, 721, 40), (Bgr{199, 119, 9}));
  EXPECT_EQ(Px(screen_.windowPicture, 0, 0), Px(screen_.sceneSurface, 40, 400));
}

TEST_F(MessageWindowTest, DrawWindowAndTextPutsTheWindowBarAndTextOnTheScreen) {
  window_->BuildWindowPicture();
  calls_.clear();
  window_->DrawWindowAndText();
  EXPECT_EQ(calls_, "");
  EXPECT_EQ(
      Compare(screen_.screenSurface, [&](int x, int y) { return Px(screen_.sceneSurface, x, y); }),
      "");

  state_.textWindowOn = true;
  window_->DrawWindowAndText();
  EXPECT_EQ(calls_, "bar0 text ");
  EXPECT_EQ(Compare(screen_.screenSurface,
                    [&](int x, int y) {
                      const bool inside = x >= 40 && x < 762 && y >= 400;
                      return inside ? ExpectedWindow(x - 40, y - 400)
                                    : Px(screen_.sceneSurface, x, y);
                    }),
            "");

  // The meter belongs to the game screen in window mode, open window or not.
  struct MeterCase {
    bool windowOn;
    int32_t screenMode, meter, novel;
    std::string calls;
  };
  const MeterCase meterCases[] = {
      {false, 0, 1, 0, "meter0 "},   {true, 0, 1, 0, "bar0 text meter0 "},
      {true, 3, 1, 0, "bar0 text "}, {true, 0, 0, 0, "bar0 text "},
      {true, 0, 1, 1, "bar0 text "},
  };
  for (const MeterCase& c : meterCases) {
    state_.textWindowOn = c.windowOn;
    state_.screenMode = c.screenMode;
    state_.vars.S[4] = c.meter;
    state_.vars.S[kNovelMode] = c.novel;
    calls_.clear();
    window_->DrawWindowAndText();
    EXPECT_EQ(calls_, c.calls);
  }
}

TEST_F(MessageWindowTest, NovelModeDarkensTheWholeScene) {
  struct Case {
    int alpha2;
    int level;  // what each scene byte is multiplied by, over 256
  };
  for (const Case c : {Case{0, 255}, Case{255, 0}, Case{96, 159}}) {
    SCOPED_TRACE(c.alpha2);
    settings_.TXBG_A2 = c.alpha2;
    state_.vars.S[kNovelMode] = 1;
    state_.windowPictureValid = false;
    window_->BuildWindowPicture();
    EXPECT_FALSE(state_.windowPictureValid);
    const auto darkened = [&](int x, int y) {
      Bgr out{};
      for (int ch = 0; ch < 3; ++ch) {
        out[ch] = static_cast<uint8_t>(SceneByte(x, y, ch) * c.level >> 8);
      }
      return out;
    };
    EXPECT_EQ(Compare(screen_.novelPageSurface, darkened), "");
    EXPECT_EQ(Compare(screen_.barBackground, [&](int x, int y) { return darkened(x, 576 + y); }),
              "");
    state_.textWindowOn = true;
    window_->DrawWindowAndText();
    EXPECT_EQ(Compare(screen_.screenSurface, darkened), "");
  }
}

TEST_F(MessageWindowTest, CleanCopyRestoresTheWindowUntilTheSceneChanges) {
  SetWindow({0, 400, 800, 200});
  paintBar_ = true;
  window_->BuildWindowPicture();
  // The bar background is taken before the bar is drawn in; the clean copy after.
  EXPECT_EQ(
      Compare(screen_.barBackground, [&](int x, int y) { return ExpectedWindow(x, 176 + y); }), "");
  EXPECT_EQ(Px(screen_.cleanWindowPicture, 49, 179), (Bgr{3, 2, 1}));
  const Surface built = screen_.cleanWindowPicture;

  // Text drawn over the window and a changed scene do not reach the restored window.
  screen_.windowPicture.FillRect(100, 100, 10, 10, 9, 9, 9);
  screen_.sceneSurface.Fill(0, 0, 0);
  calls_.clear();
  window_->BuildWindowPicture();
  EXPECT_EQ(calls_, "");
  EXPECT_EQ(Compare(screen_.windowPicture, [&](int x, int y) { return Px(built, x, y); }), "");

  // A running background animation or a cleared flag rebuild it from the scene.
  for (const bool viaAnimation : {true, false}) {
    screen_.sceneSurface.Fill(0, 0, viaAnimation ? 40 : 80);
    animation_ = viaAnimation;
    state_.windowPictureValid = viaAnimation;
    window_->BuildWindowPicture();
    EXPECT_EQ(calls_, "bar2 ");
    calls_.clear();
    const uint8_t blue = static_cast<uint8_t>(200 * 255 >> 8);
    EXPECT_EQ(Px(screen_.windowPicture, 400, 100), (Bgr{blue, 119, 9}));
    EXPECT_EQ(Px(screen_.windowPicture, 400, 0),
              (Bgr{static_cast<uint8_t>(viaAnimation ? 40 : 80), 0, 0}));
  }
}

TEST_F(MessageWindowTest, BarAndPlateAreasOutsideTheWindowReadBlack) {
  struct Case {
    const char* name;
    Geometry window;
    Geometry plate;
  };
  const Case cases[] = {
      {"window above the bar", {0, 300, 800, 200}, {60, 310, 160, 30}},
      {"window ends inside the bar", {0, 450, 800, 140}, {60, 460, 160, 30}},
      {"narrow window, plate across its left edge", {40, 400, 722, 200}, {20, 380, 100, 40}},
      {"plate away from the window", {40, 400, 722, 200}, {0, 0, 160, 30}},
      {"window off the screen", {900, 700, 100, 100}, {910, 710, 50, 50}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetWindow(c.window);
    config_.NP_OFS_X = c.plate.x;
    config_.NP_OFS_Y = c.plate.y;
    config_.NP_SZ_X = c.plate.w;
    config_.NP_SZ_Y = c.plate.h;
    screen_.barBackground.Resize(800, 24);
    screen_.barBackground.Fill(0x55, 0x55, 0x55);
    screen_.namePlateBackground.Resize(c.plate.w, c.plate.h);
    screen_.namePlateBackground.Fill(0x55, 0x55, 0x55);
    state_.windowPictureValid = false;
    window_->BuildWindowPicture();
    const auto windowAt = [&](int sx, int sy) {
      const int x = sx - c.window.x;
      const int y = sy - c.window.y;
      const bool inside = x >= 0 && x < c.window.w && y >= 0 && y < c.window.h;
      return inside ? Px(screen_.windowPicture, x, y) : kBlack;
    };
    EXPECT_EQ(Compare(screen_.barBackground, [&](int x, int y) { return windowAt(x, 576 + y); }),
              "");
    EXPECT_EQ(screen_.namePlateBackground.Width(), c.plate.w);
    EXPECT_EQ(Compare(screen_.namePlateBackground,
                      [&](int x, int y) { return windowAt(c.plate.x + x, c.plate.y + y); }),
              "");
  }
}

TEST_F(MessageWindowTest, AnyConfiguredGeometryIsClampedToTheScreen) {
  const Geometry geometries[] = {
      {0, 0, 0, 0},
      {0, 0, -5, -5},
      {-100000, -100000, 5000, 5000},
      {INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX},
      {INT32_MIN, INT32_MIN, 1, 1},
      {799, 599, 3, 3},
  };
  for (const Geometry& g : geometries) {
    SCOPED_TRACE(::testing::Message() << g.x << "," << g.y << " " << g.w << "x" << g.h);
    SetWindow(g);
    config_.NP_OFS_X = g.x;
    config_.NP_OFS_Y = INT32_MIN;
    config_.NP_SZ_X = g.w;
    config_.NP_SZ_Y = g.h;
    state_.windowPictureValid = false;
    state_.textWindowOn = false;
    window_->BuildWindowPicture();
    window_->BuildWindowPicture();
    window_->OpenMessageWindow();
    window_->CloseMessageWindow();
    EXPECT_LE(screen_.windowPicture.Width(), 800);
    EXPECT_LE(screen_.windowPicture.Height(), 600);
    EXPECT_LE(screen_.namePlateBackground.Width(), 800);
    EXPECT_FALSE(state_.textWindowOn);
  }
}

TEST_F(MessageWindowTest, WinOpenDrawsIntoTheScreenSurfaceOnlyAndOnlyOnce) {
  struct Host : ScriptHost {
    bool OutputChar(const char*, int) override { return true; }
    void OpenTextPage() override {}
    void AutoWaitTicks() override {}
    bool Skipping() const override { return false; }
    bool WholeLinesAtOnce() const override { return false; }
    void ResetWaits() override {}
    void StopSkip() override {}
    void BreakSkipAndAuto(int) override {}
    bool RequestClose() override { return false; }
    void AskQuitAfterAnimation() override {}
    bool EffectsCut() const override { return false; }
    void CountFinishedGame() override {}
  } host;
  CommandTable table(state_, host);
  window_->Register(table);
  std::strcpy(state_.lineBuffer, "#win_open");
  window_->BuildWindowPicture();
  calls_.clear();

  EXPECT_EQ(table.Execute(kWinOpen), 0);
  EXPECT_TRUE(state_.textWindowOn);
  EXPECT_EQ(calls_, "bar0 text ");
  EXPECT_EQ(Px(screen_.screenSurface, 40, 500), ExpectedWindow(0, 100));
  EXPECT_EQ(platform_.PresentCount(), 0u);

  screen_.screenSurface.Fill(7, 7, 7);
  EXPECT_EQ(table.Execute(kWinOpen), 0);
  EXPECT_EQ(calls_, "bar0 text ");
  EXPECT_EQ(Px(screen_.screenSurface, 40, 500), (Bgr{7, 7, 7}));
}

TEST_F(MessageWindowTest, CloseFadesToTheSceneUnlessSkippingOrClicked) {
  struct Case {
    const char* name;
    int32_t skipMode;
    int clickAtPump;  // the pump that sets closeRequest; 0 for none
    uint64_t presents;
    uint32_t ms;
  };
  const Case cases[] = {
      {"fade", 0, 0, 33, 320},   // levels 0, 8, ... 248, then the scene
      {"click", 0, 3, 4, 30},    // the frame after the click and the scene: one update
      {"skipping", 1, 0, 1, 0},  // the scene at once
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    state_.skipMode = c.skipMode;
    state_.windowPictureValid = false;
    window_->BuildWindowPicture();
    screen_.screenSurface = screen_.sceneSurface;
    state_.textWindowOn = true;
    window_->DrawWindowAndText();
    const Bgr windowPx = Px(screen_.screenSurface, 400, 500);
    const Bgr scenePx = Px(screen_.sceneSurface, 400, 500);
    state_.textColumn = state_.textRow = state_.textStyle = state_.textColour = 5;
    state_.pageCleared = false;

    int pumps = 0;
    pump_ = [&] {
      if (++pumps == c.clickAtPump) state_.closeRequest = 1;
      EXPECT_TRUE(state_.busy);
      EXPECT_TRUE(state_.animating);
    };
    std::vector<Bgr> shown;
    platform_.SetPresentHook([&] { shown.push_back(Px(platform_.LastFrame(), 400, 500)); });
    const uint32_t start = platform_.Ticks();
    window_->CloseMessageWindow();
    platform_.Flush();  // the pass's window update shows the scene
    platform_.SetPresentHook({});
    EXPECT_EQ(platform_.Ticks() - start, c.ms);
    ASSERT_EQ(shown.size(), c.presents);
    for (size_t k = 0; k + 1 < shown.size(); ++k) {
      for (int ch = 0; ch < 3; ++ch) {
        const int a = static_cast<int>(k) * 8;
        EXPECT_EQ(shown[k][ch], (windowPx[ch] * (256 - a) + scenePx[ch] * a) >> 8) << k;
      }
    }
    EXPECT_EQ(Compare(platform_.LastFrame(),
                      [&](int x, int y) { return Px(screen_.sceneSurface, x, y); }),
              "");
    EXPECT_EQ(Compare(screen_.screenSurface,
                      [&](int x, int y) { return Px(screen_.sceneSurface, x, y); }),
              "");
    EXPECT_FALSE(state_.textWindowOn);
    EXPECT_FALSE(state_.busy);
    EXPECT_FALSE(state_.animating);
    EXPECT_TRUE(state_.pageCleared);
    EXPECT_EQ(state_.textColumn + state_.textRow + state_.textStyle + state_.textColour, 0);

    // A second close finds the window closed: it only resets the cursor.
    state_.textColumn = state_.textRow = state_.textStyle = state_.textColour = 5;
    const uint64_t before = platform_.PresentCount();
    window_->CloseMessageWindow();
    EXPECT_EQ(platform_.PresentCount(), before);
    EXPECT_EQ(state_.textColumn + state_.textRow + state_.textStyle + state_.textColour, 0);
    pump_ = {};
    state_.closeRequest = 0;
  }
}

}  // namespace
}  // namespace zorvel
