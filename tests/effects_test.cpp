// Effects played through fixture games on the headless platform: the effect script's flashes,
// tints, negative images and shakes; the background animation's cycling, sequences, one-shot
// play, END and RELEASE; the mark icon and its blink; the character slides of sprmv. What the
// window showed is recorded at every flush with the virtual time, so durations are exact.
#include "graphics/effects.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "fixture.h"
#include "graphics/pixel_ops.h"
#include "inert_hooks.h"
#include "platform/forgetful_settings_store.h"
#include "platform/png_reader.h"
#include "script/commands.h"

namespace zorvel::test {
namespace {

using Rgb = std::array<uint8_t, 3>;

constexpr char kConfig[] =
    "MAKER_REG:Software\\Zorvel\\Test\nGAME_ID:test\n"
    "MOJI_MAX_X:40\nMOJI_MAX_Y:4\nTX_PITCH_X:12\nTX_PITCH_Y:30\nTXW_OFS_X:0\nTXW_OFS_Y:450\n"
    "TX_OFS_X:10\nTX_OFS_Y:10\nTXW_SIZE_X:800\nTXW_SIZE_Y:150\nNP_OFS_X:30\nNP_OFS_Y:454\n"
    "TXW_COLOR_B:96\nTXW_ALPHA:170\nNP_SZ_X:200\nNP_SZ_Y:32\n";

constexpr Rgb kRed = {200, 0, 0};
constexpr Rgb kGreen = {0, 200, 0};
constexpr Rgb kBlue = {0, 0, 200};

Surface Character(int width, int height, Rgb colour) {
  Surface s(width * 2, height);
  s.FillRect(0, 0, width, height, colour[0], colour[1], colour[2]);
  s.FillRect(width, 0, width, height, 255, 255, 255);
  return s;
}

// What the window showed at one flush.
struct Shot {
  uint32_t ms;
  Rgb at;      // the probe pixel
  Rgb window;  // a pixel inside the message window
};

class EffectsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::map<std::string, Surface> pictures = {
        {"A01", Solid(800, 600, kRed[0], kRed[1], kRed[2])},
        {"A02", Solid(800, 600, kGreen[0], kGreen[1], kGreen[2])},
        {"A03", Solid(800, 600, kBlue[0], kBlue[1], kBlue[2])},
        {"A04", Solid(800, 600, 40, 80, 120)},
        {"B01", Character(100, 300, {250, 250, 0})},
        {"B02", Character(100, 300, {0, 250, 250})},
        {"B03", Character(100, 600, {250, 0, 250})},
    };
    // The mark: a 20 x 10 white square, then its mask, opaque.
    Surface mark(40, 10);
    mark.FillRect(0, 0, 20, 10, 255, 255, 255);
    mark.FillRect(20, 0, 20, 10, 255, 255, 255);
    pictures["M01"] = mark;
    WritePictures(game_ / "vx_gra.kpz", pictures);
  }

  Session& Play(const std::string& main, const std::string& effect = "", uint32_t ms = 3000,
                const std::string& settings = "") {
    std::map<std::string, std::string> scripts = {{"main", main}, {"_config", kConfig}};
    if (!effect.empty()) scripts["effect"] = effect;
    WriteGame(game_.Path(), scripts);
    std::filesystem::create_directories(config_ / "Software/Zorvel");
    WriteText(config_ / "Software/Zorvel/Test.ini", "[test]\n" + settings);
    session_ = std::make_unique<Session>(game_.Path(), config_.Path());
    HeadlessPlatform& p = session_->platform();
    p.SetPresentHook([this, &p] {
      const Surface& f = p.LastFrame();
      const Shot shot{p.Ticks(), PixelAt(f, probeX_, probeY_), PixelAt(f, 400, 560)};
      if (shots_.empty() || shots_.back().at != shot.at || shots_.back().window != shot.window) {
        shots_.push_back(shot);
      }
    });
    session_->RunFor(ms);
    return *session_;
  }

  // The probe colours from the first shot showing `from` on, with how long each lasted.
  std::vector<std::pair<Rgb, uint32_t>> Timeline(Rgb from, uint32_t endMs) const {
    std::vector<std::pair<Rgb, uint32_t>> out;
    size_t i = 0;
    while (i < shots_.size() && shots_[i].at != from) ++i;
    for (; i < shots_.size(); ++i) {
      const uint32_t end = i + 1 < shots_.size() ? shots_[i + 1].ms : endMs;
      if (!out.empty() && out.back().first == shots_[i].at) {
        out.back().second += end - shots_[i].ms;
      } else {
        out.emplace_back(shots_[i].at, end - shots_[i].ms);
      }
    }
    return out;
  }

  Rgb Shown(int x, int y) { return PixelAt(session_->platform().LastFrame(), x, y); }
  // The picture a screenshot event wrote.
  Surface Screenshot(const std::string& file) {
    const std::string text = ReadText(file);
    Surface out;
    std::string error;
    EXPECT_TRUE(
        ReadPng(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()), out, &error))
        << error;
    return out;
  }
  std::string Dump() { return session_->engine().DumpState(0); }

  TempDir game_, config_;
  std::unique_ptr<Session> session_;
  std::vector<Shot> shots_;
  int probeX_ = 10;
  int probeY_ = 10;
};

// ---- Parsers -----------------------------------------------------------------------------------

TEST(SplitParams, FieldsValuesAndCounts) {
  struct Case {
    const char* text;
    int count;
    std::vector<std::string> texts;
    std::vector<int32_t> values;
  } const kCases[] = {
      {"", 0, {}, {}},
      {"M01,2,600,40", 4, {"M01", "2", "600", "40"}, {kNotANumber, 2, 600, 40}},
      {"  A B , 0 :-7", 3, {"A B ", "0 ", "-7"}, {kNotANumber, 0, -7}},
      {",,", 3, {"", "", ""}, {kNotANumber, kNotANumber, kNotANumber}},
      {"-0,x5,5x", 3, {"-0", "x5", "5x"}, {kNotANumber, kNotANumber, 5}},
      {"0123456789012345678901234567890123", 1, {"012345678901234567890123456789"}, {INT32_MAX}},
  };
  for (const Case& c : kCases) {
    ParamFields p;
    EXPECT_EQ(SplitParams(c.text, p), c.count) << c.text;
    for (size_t i = 0; i < c.texts.size(); ++i) {
      EXPECT_EQ(p.text[i], c.texts[i]) << c.text << " field " << i;
      EXPECT_EQ(p.value[i], c.values[i]) << c.text << " field " << i;
    }
  }
  // Separators past the 32 fields still count; the fields beyond are dropped.
  ParamFields p;
  EXPECT_EQ(SplitParams(std::string(40, ',').c_str(), p), 41);
}

std::vector<uint8_t> Bytes(const std::string& text) {
  return {text.begin(), text.end()};
}

TEST(EffectScript, StepsOfEachLineKind) {
  const auto script = Bytes(
      ":OTHER\nF,999\n:flash\n\nF,100,FG00,100,F,100\nfg008,50,F12,7,FQ,1\nX,1,2\n"
      "N,50,60,70\nS,30,5,0,-5,0,0,5,1\n:NEXT\nF,1\n");
  const std::vector<EffectStep> steps = ParseEffectBlock(script, " Flash ");
  using K = EffectStep::Kind;
  struct Want {
    K kind;
    int ms, x, y;
  } const kWant[] = {
      {K::kShow, 100, 0, 0},    {K::kFill, 100, 0xFF0000, 0},
      {K::kShow, 100, 0, 0},    {K::kTint, 50, 0xFF0000, 128},  // FG008
      {K::kWait, 7, 0, 0},      {K::kWait, 1, 0, 0},            // F12, FQ: no kind of their own
      {K::kNegative, 50, 0, 0}, {K::kShow, 60, 0, 0},           // N: from field 1
      {K::kNegative, 70, 0, 0}, {K::kOffset, 30, 5, 0},
      {K::kOffset, 30, -5, 0},  {K::kOffset, 30, 0, 5},
  };
  ASSERT_EQ(steps.size(), std::size(kWant));
  for (size_t i = 0; i < steps.size(); ++i) {
    EXPECT_EQ(steps[i].kind, kWant[i].kind) << i;
    EXPECT_EQ(steps[i].ms, kWant[i].ms) << i;
    EXPECT_EQ(steps[i].x, kWant[i].x) << i;
    EXPECT_EQ(steps[i].y, kWant[i].y) << i;
  }
  EXPECT_TRUE(ParseEffectBlock(script, "MISSING").empty());
  // A block longer than the table keeps the first 200 steps.
  std::string longLine = ":L\nS,1";
  for (int i = 0; i < 99; ++i) longLine += ",1,1";
  const std::string many = longLine + "\n" + longLine.substr(3) + "\n" + longLine.substr(3) + "\n";
  EXPECT_EQ(ParseEffectBlock(Bytes(many), "L").size(), 200u);
  std::string error;
  ParseEffectBlock(Bytes(":B\nF,abc\n"), "B", &error);
  EXPECT_NE(error.find("ABC"), std::string::npos);
}

TEST(BgAnimArgs, Forms) {
  BgAnimArgs a = ParseBgAnimArgs(" 5,a01,A02,#01Z2!3");
  EXPECT_EQ(a.form, BgAnimArgs::Form::kPictures);
  EXPECT_EQ(a.speed, 5);
  EXPECT_EQ(a.names, (std::vector<std::string>{"A01", "A02"}));
  EXPECT_TRUE(a.hasSequence);
  EXPECT_FALSE(a.playOnce);
  EXPECT_EQ(a.sequence, (std::vector<int>{0, 1, 35, 2}));
  a = ParseBgAnimArgs("3,A01,>10");
  EXPECT_TRUE(a.playOnce);
  a = ParseBgAnimArgs("8");
  EXPECT_TRUE(a.speedOnly);
  a = ParseBgAnimArgs("-4,A01");
  EXPECT_EQ(a.speed, 1);  // speeds of 0 or less run every pass
  EXPECT_FALSE(a.speedBad);
  EXPECT_TRUE(ParseBgAnimArgs("fast,A01").speedBad);
  a = ParseBgAnimArgs("ofs,2,128,4,-2,0,0,0,#10");
  EXPECT_EQ(a.form, BgAnimArgs::Form::kOffsets);
  EXPECT_EQ(a.speed, 2);
  ASSERT_EQ(a.offsets.size(), 2u);
  EXPECT_EQ(a.offsets[0].level, 128);
  EXPECT_EQ(a.offsets[0].dx, 4);
  EXPECT_EQ(a.offsets[0].dy, -2);
  EXPECT_EQ(a.sequence, (std::vector<int>{1, 0}));
  EXPECT_TRUE(ParseBgAnimArgs("OFS,3").speedOnly);
  EXPECT_EQ(ParseBgAnimArgs(" end").form, BgAnimArgs::Form::kEnd);
  EXPECT_EQ(ParseBgAnimArgs("Release").form, BgAnimArgs::Form::kRelease);
}

TEST(SprmvArgs, GroupsAndInit) {
  SprmvArgs a;
  EXPECT_TRUE(ParseSprmvArgs("init", a));
  EXPECT_TRUE(a.init);
  EXPECT_FALSE(ParseSprmvArgs("", a));
  EXPECT_FALSE(ParseSprmvArgs("B01", a));
  EXPECT_FALSE(ParseSprmvArgs("B01,1,2", a));
  ASSERT_TRUE(ParseSprmvArgs("B01,100,-5,20,B02,x,7,3", a));
  ASSERT_EQ(a.groups.size(), 2u);
  EXPECT_EQ(a.groups[0].x, 100);
  EXPECT_EQ(a.groups[0].y, -5);
  EXPECT_EQ(a.groups[0].frames, 20);
  EXPECT_FALSE(a.groups[1].xGiven);
  std::string five;
  for (int i = 0; i < 5; ++i)
    five += std::string(i ? "," : "") + "B0" + std::to_string(i) + ",1,2,3";
  ASSERT_TRUE(ParseSprmvArgs(five.c_str(), a));
  EXPECT_EQ(a.groups.size(), 4u);
  EXPECT_EQ(a.droppedGroups, 1);
}

// ---- effect ------------------------------------------------------------------------------------

TEST_F(EffectsTest, FlashShowsTheScreenThenRedThenTheScreen) {
  Play("@gra A04\n@effect flash\n@sleep -1\n", ":FLASH\nF,100,FG00,100,F,100\n");
  const Rgb scene = {40, 80, 120};
  const auto t = Timeline(scene, session_->platform().Ticks());
  ASSERT_GE(t.size(), 3u);
  EXPECT_EQ(t[1], (std::pair<Rgb, uint32_t>{Rgb{255, 0, 0}, 100}));
  EXPECT_EQ(t[2].first, scene);
  EXPECT_EQ(t.size(), 3u);
}

TEST_F(EffectsTest, TintAndNegativeImages) {
  Play("@gra A04\n@effect tint\n@effect neg\n@sleep -1\n",
       ":TINT\nFG008,50\n:NEG\nN,50,50,50,50\n");
  const Rgb scene = {40, 80, 120};
  // Halfway toward red: (u x 128 + v x 128) / 256 per byte.
  const Rgb tinted = {(40 * 128 + 255 * 128) / 256, 80 * 128 / 256, 120 * 128 / 256};
  const Rgb negative = {255 - 40, 255 - 80, 255 - 120};
  const auto t = Timeline(scene, session_->platform().Ticks());
  ASSERT_EQ(t.size(), 7u);
  EXPECT_EQ(t[1], (std::pair<Rgb, uint32_t>{tinted, 50}));
  EXPECT_EQ(t[2].first, scene);
  EXPECT_EQ(t[3], (std::pair<Rgb, uint32_t>{negative, 50}));
  EXPECT_EQ(t[4], (std::pair<Rgb, uint32_t>{scene, 50}));
  EXPECT_EQ(t[5], (std::pair<Rgb, uint32_t>{negative, 50}));
  EXPECT_EQ(t[6].first, scene);
}

TEST_F(EffectsTest, ShakeMovesTheWindowOrInFullScreenThePicture) {
  Session& s = Play("@gra A04\n@effect shake\n@sleep -1\n", ":SHAKE\nS,30,5,0,-5,0,0,5\n");
  using P = std::vector<std::pair<int, int>>;
  P moves = s.platform().WindowPositions();
  ASSERT_GE(moves.size(), 5u);
  const auto [x0, y0] = moves[moves.size() - 5];  // where the window stood before
  P relative;
  for (size_t i = moves.size() - 4; i < moves.size(); ++i) {
    relative.emplace_back(moves[i].first - x0, moves[i].second - y0);
  }
  EXPECT_EQ(relative, (P{{5, 0}, {-5, 0}, {0, 5}, {0, 0}}));
  EXPECT_TRUE(s.platform().PictureOffsets().empty() ||
              s.platform().PictureOffsets().back() == (std::pair<int, int>{0, 0}));

  // Full screen: the desktop stays, the picture moves inside it.
  shots_.clear();
  Play("@sleep 300\n@gra A04\n@effect shake\n@sleep -1\n", ":SHAKE\nS,30,5,0,-5,0,0,5\n", 100);
  HeadlessPlatform& p = session_->platform();
  p.SetFullScreen(true);
  session_->RunFor(300);
  const size_t before = p.WindowPositions().size();
  EXPECT_EQ(p.PictureOffsets(), (P{{5, 0}, {-5, 0}, {0, 5}, {0, 0}}));
  EXPECT_EQ(p.WindowPositions().size(), before);
}

TEST_F(EffectsTest, FullScreenShakeScreenshotShowsThePictureMoved) {
  Play("@sleep 300\n@gra A04\n@effect shake\n@sleep -1\n", ":SHAKE\nS,500,7,3\n", 100);
  HeadlessPlatform& p = session_->platform();
  p.SetFullScreen(true);
  const std::string file = game_ / "shake.png";
  // The step runs from about 250 ms to 750 ms.
  session_->Events("550 screenshot " + file + "\n");
  session_->RunFor(1000);
  EXPECT_EQ(p.PictureOffsets(), (std::vector<std::pair<int, int>>{{7, 3}, {0, 0}}));
  const Surface shot = Screenshot(file);
  ASSERT_EQ(shot.Width(), 800);
  EXPECT_EQ(PixelAt(shot, 6, 100), (Rgb{0, 0, 0}));
  EXPECT_EQ(PixelAt(shot, 7, 100), (Rgb{40, 80, 120}));
  EXPECT_EQ(PixelAt(shot, 100, 2), (Rgb{0, 0, 0}));
  EXPECT_EQ(PixelAt(shot, 100, 3), (Rgb{40, 80, 120}));
}

// ---- bg_anim -----------------------------------------------------------------------------------

TEST_F(EffectsTest, PicturesCycleEveryNthIdlePassWithTheWindowInEachFrame) {
  Session& s = Play("@bg_anim 5,A01,A02,A03\nHello.\n@sleep -1\n", "", 1500);
  const auto t = Timeline(kRed, s.platform().Ticks());
  ASSERT_GE(t.size(), 7u);
  const Rgb kCycle[] = {kRed, kGreen, kBlue};
  for (size_t i = 0; i + 1 < t.size(); ++i) {
    EXPECT_EQ(t[i].first, kCycle[i % 3]) << i;
    if (i > 0) {
      EXPECT_EQ(t[i].second, 100u) << i;  // five passes of 20 ms
    }
  }
  // Every frame carries the message window: the pixel under it is blended, not the frame's.
  for (const Shot& shot : shots_) {
    if (shot.at == kRed || shot.at == kGreen || shot.at == kBlue) {
      EXPECT_NE(shot.window, shot.at);
    }
  }
  EXPECT_NE(Dump().find("\"framesInUse\":3"), std::string::npos);
  EXPECT_NE(Dump().find("\"slots\":[\"A01\",\"A02\",\"A03\"]"), std::string::npos);
  EXPECT_EQ(s.PageRow(1), "Hello.");
}

TEST_F(EffectsTest, SequencesSkipFramesNotMadeAndSpeedOnlyCallsChangeThePace) {
  Session& s = Play("@bg_anim 5,A01,A02,A03,#01219\n@sleep 60\n@bg_anim 10\n@sleep -1\n", "", 2500);
  const auto t = Timeline(kRed, s.platform().Ticks());
  ASSERT_GE(t.size(), 9u);
  const Rgb kOrder[] = {kRed, kGreen, kBlue, kGreen};  // the 9 names no frame
  for (size_t i = 0; i < 9; ++i) EXPECT_EQ(t[i].first, kOrder[i % 4]) << i;
  // After the speed change every frame stays 10 passes.
  EXPECT_EQ(t[t.size() - 2].second, 200u);
  EXPECT_NE(Dump().find("\"sequence\":[0,1,2,1]"), std::string::npos);
  EXPECT_NE(Dump().find("\"speed\":10"), std::string::npos);
}

TEST_F(EffectsTest, OneShotPlaysOnceAndEndKeepsTheLastFrameAsTheBackground) {
  Session& s = Play("@gra A04\n@bg_anim 3,A01,A02,>0101\n@sleep -1\n", "", 1000);
  const auto t = Timeline(kRed, s.platform().Ticks());
  ASSERT_EQ(t.size(), 4u);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(t[i].second, 90u) << i;
  EXPECT_EQ(t[3].first, kGreen);
  EXPECT_FALSE(s.state().textWindowOn);
  EXPECT_FALSE(s.engine().State().busy);
  EXPECT_NE(Dump().find("\"running\":false"), std::string::npos);

  // A running animation ended where it stands: the frame shown last is the background.
  shots_.clear();
  Play("@bg_anim 5,A01,A02,A03\nText.\n@sleep 330\n@bg_anim END\n@sleep -1\n", "", 1500);
  const Rgb last = Shown(10, 10);
  EXPECT_NE(last, (Rgb{0, 0, 0}));
  session_->RunFor(500);
  EXPECT_EQ(Shown(10, 10), last);
  const std::string dump = Dump();
  EXPECT_NE(dump.find("\"running\":false"), std::string::npos);
  const char* names[] = {"A01", "A02", "A03"};
  const Rgb colours[] = {kRed, kGreen, kBlue};
  for (int i = 0; i < 3; ++i) {
    if (colours[i] == last) {
      EXPECT_NE(dump.find(std::string("\"background\":\"") + names[i] + "\""), std::string::npos);
    }
  }
  EXPECT_TRUE(session_->state().textWindowOn);
  // A later screen update builds on that background.
  EXPECT_EQ(PixelAt(session_->engine().Surfaces().backgroundSurface, 400, 560), last);
}

TEST_F(EffectsTest, EndWithTheWindowClosedKeepsTheLastFrameNotTheOldScreen) {
  Play("@gra A04\n@bg_anim 2,A01,A02,>01\n@bg_anim END\n@sleep -1\n", "", 800);
  // The window opens over the green frame, not over the screen from before the animation.
  EXPECT_EQ(Shown(10, 10), kGreen);
  EXPECT_NE(Dump().find("\"background\":\"A02\""), std::string::npos);
}

TEST_F(EffectsTest, ReleaseFreesTheSlotsOnlyInMemorySaveMode) {
  const std::string main = "@bg_anim 5,A01,A02\n@sleep 330\n@bg_anim RELEASE\n@sleep -1\n";
  Play(main, "", 1000);
  EXPECT_NE(Dump().find("\"createdSlots\":0"), std::string::npos);
  EXPECT_NE(Dump().find("\"running\":false"), std::string::npos);
  const Rgb last = Shown(10, 10);
  EXPECT_TRUE(last == kRed || last == kGreen);
  Play(main, "", 1000, "MemorySaveMode=0\n");
  EXPECT_NE(Dump().find("\"slots\":[\"A01\",\"A02\"]"), std::string::npos);
}

TEST_F(EffectsTest, WhileRunningTheWheelAndTheQuickBarRest) {
  Session& s = Play("@bg_anim 5,A01,A02\nText.\n@sleep -1\n", "", 600);
  s.Events(std::to_string(s.platform().Ticks()) + " wheel 1\n");
  s.RunFor(200);
  EXPECT_FALSE(s.state().backlogOpen);
}

TEST(BgAnimOffsetForm, FramesAreShiftedCopiesBlendedRowByRow) {
  ForgetfulSettingsStore store;
  HeadlessPlatform platform(store);
  Screen screen(platform);
  screen.CreateSurfaces();
  EngineState state;
  GameConfig config;
  config.TXW_OFS_X = 0;
  config.TXW_OFS_Y = 500;
  config.TXW_SIZE_X = 800;
  config.TXW_SIZE_Y = 100;
  Settings settings;
  FrameClock clock(platform, [] {});
  Effects effects(screen, state, config, settings, clock, platform, InertEffectHooks());
  const auto byte = [](int x, int y, int c) {
    return static_cast<uint8_t>((x * 5 + y * 11 + c * 70) & 0xFF);
  };
  for (int y = 0; y < 600; ++y) {
    for (int x = 0; x < 800; ++x) {
      for (int c = 0; c < 3; ++c) screen.screenSurface.Row(y)[x * 3 + c] = byte(x, y, c);
    }
  }
  effects.BgAnim("OFS,1,0,8,0,128,16,3,64,-8,-2");
  const BackgroundFrames f = effects.Frames();
  ASSERT_EQ(f.frames.size(), 3u);
  struct Frame {
    int level, dx, dy;
  } const kFrames[] = {{0, 8, 0}, {128, 16, 3}, {64, -8, -2}};
  for (int i = 0; i < 3; ++i) {
    const Frame& k = kFrames[i];
    const int adx = std::abs(k.dx);
    const int blended = k.dx >= 0 ? 800 - adx : 800 - 2 * adx;
    const int whole = blended / 8 * 8;  // the row routine leaves a partial group's bytes
    for (int y = 0; y < 600; y += 7) {
      for (int x = 0; x < 800; x += 3) {
        for (int c = 0; c < 3; ++c) {
          // The shifted copy over the whole copy.
          const int sx = x - k.dx;
          const int sy = y - k.dy;
          int expected =
              (sx >= 0 && sx < 800 && sy >= 0 && sy < 600) ? byte(sx, sy, c) : byte(x, y, c);
          const int vy = y + k.dy;
          const int first = adx;  // u and the result share their columns
          const int byteIndex = (x - first) * 3 + c;
          if (k.level != 0 && vy >= 0 && vy < 600 && x >= first && byteIndex >= 0 &&
              byteIndex < whole * 3) {
            const int u = byte(x, y, c);
            const int v = byte(x - first, vy, c);
            expected = (u * (256 - k.level) + v * k.level) >> 8;
          }
          ASSERT_EQ(f.frames[i].Row(y)[x * 3 + c], expected)
              << "frame " << i << " at " << x << "," << y << " channel " << c;
        }
      }
    }
  }
}

// ---- manpu -------------------------------------------------------------------------------------

TEST_F(EffectsTest, MarkBlinksFourTicksOnFourOffAndAScreenUpdateErasesIt) {
  probeX_ = 605;
  probeY_ = 45;
  Session& s = Play("@gra A04\n@manpu M01,2,600,40\n@sleep 2400\n@gra A04\n@sleep -1\n", "", 0);
  s.RunFor(2000);
  const Rgb scene = {40, 80, 120};
  const Rgb white = {255 * 255 / 256, 255 * 255 / 256, 255 * 255 / 256};
  const auto t = Timeline(white, s.platform().Ticks());
  ASSERT_GE(t.size(), 4u);
  // Four ticks of 55 ms, seen at the 20 ms idle passes that flush them.
  EXPECT_EQ(t[1].first, scene);
  EXPECT_NEAR(t[1].second, 220, 20);
  EXPECT_EQ(t[2].first, white);
  EXPECT_NEAR(t[2].second, 220, 20);
  EXPECT_EQ(t[3].first, scene);
  EXPECT_NEAR(t[3].second, 220, 20);
  EXPECT_EQ(t.back().first, scene);  // the gra erased it
  EXPECT_NE(Dump().find("\"mark\":{\"shown\":false,\"mode\":2,\"x\":600,\"y\":40,\"width\":20,"
                        "\"height\":10}"),
            std::string::npos);
  EXPECT_EQ(Shown(599, 45), scene);
}

TEST_F(EffectsTest, StillAndKeptMarksAndMissingFieldsKeepTheirValues) {
  Session& s = Play("@gra A04\n@manpu M01,0,100,100\n@manpu M01,1\n@sleep -1\n", "", 1000);
  // The first mark went when the second came; the second is at the kept place and stays.
  EXPECT_EQ(Shown(105, 105), (Rgb{254, 254, 254}));
  EXPECT_EQ(PixelAt(s.engine().Surfaces().screenSurface, 105, 105), (Rgb{254, 254, 254}));
  EXPECT_NE(Dump().find("\"mark\":{\"shown\":true,\"mode\":1,\"x\":100,\"y\":100"),
            std::string::npos);
  // A missing picture leaves the mark picture as it was.
  Play("@gra A04\n@manpu M01,0,100,100\n@manpu NONE,0,300,300\n@sleep -1\n", "", 1000);
  EXPECT_EQ(Shown(305, 305), (Rgb{254, 254, 254}));
}

// ---- sprmv -------------------------------------------------------------------------------------

TEST_F(EffectsTest, SprmvSlidesLinearlyIn30MsFrames) {
  std::vector<std::pair<uint32_t, int32_t>> xs;
  Play("@gra A04\n@spr B01\n@sleep 300\n@sprmv B01,100,0,20\n@sleep -1\n", "", 0);
  HeadlessPlatform& p = session_->platform();
  // Every change of the centre register as the window shows it; the first is the default.
  p.SetPresentHook([&] {
    const int32_t x = session_->state().vars.S[80];
    if (xs.empty() || xs.back().second != x) xs.emplace_back(p.Ticks(), x);
  });
  session_->RunFor(2000);
  ASSERT_EQ(xs.size(), 21u);
  EXPECT_EQ(xs[0].second, 400);
  for (int t = 1; t <= 20; ++t) {
    EXPECT_EQ(xs[t].second, 400 + (100 - 400) * t / 20) << t;
    EXPECT_EQ(xs[t].first - xs[1].first, static_cast<uint32_t>(30 * (t - 1))) << t;
  }
  EXPECT_EQ(session_->state().vars.S[80], 100);
  EXPECT_EQ(session_->state().vars.S[90], 0);
  EXPECT_EQ(session_->state().vars.S[19], 0);
  EXPECT_FALSE(session_->state().busy);
  // The character stands at its target: its left edge at centre - 50.
  EXPECT_EQ(Shown(51, 100), (Rgb{249, 249, 0}));
  EXPECT_EQ(Shown(49, 100), (Rgb{40, 80, 120}));
}

TEST_F(EffectsTest, AfterASlideTheWindowAndTheMarkShowTheSceneAsItIsNow) {
  Play("@gra A04\n@spr B03\n@manpu M01,2,420,100\nText.\n@sprmv B03,100,0,2\nAfter.\n@sleep -1\n",
       "", 2000);
  // Where the character stood before the slide the window shows the background, as it does
  // where no character ever was.
  EXPECT_EQ(Shown(400, 560), Shown(650, 560));
  EXPECT_EQ(Shown(425, 105), (Rgb{40, 80, 120}));
  EXPECT_NE(Dump().find("\"mark\":{\"shown\":false"), std::string::npos);
}

TEST_F(EffectsTest, ClickJumpsToTheTargetsAndSetsS019) {
  uint32_t endedAt = 0;
  Session& s = Play("@gra A04\n@sprmv B01,100,50,20,B02,700,60,40\n@sleep -1\n", "", 0);
  s.platform().SetPresentHook([&] {
    if (s.state().vars.S[82] == 700 && endedAt == 0) endedAt = s.platform().Ticks();
  });
  // The slide takes 1200 ms from its start; the click comes well inside it.
  s.Events("400 click 5 5\n");
  s.RunFor(3000);
  EXPECT_GT(endedAt, 400u);
  EXPECT_LT(endedAt, 500u);
  auto& S = s.state().vars.S;
  EXPECT_EQ(S[81], 100);
  EXPECT_EQ(S[91], 50);
  EXPECT_EQ(S[82], 700);
  EXPECT_EQ(S[92], 60);
  EXPECT_EQ(S[19], 1);
}

TEST_F(EffectsTest, InitAndGameinitRestoreThePositions) {
  for (const char* reset : {"@sprmv INIT", "@sprmv init", "@gameinit"}) {
    Session& s = Play(std::string("!S080=10\n!S099=5\n") + reset + "\n@sleep -1\n", "", 300);
    EXPECT_EQ(s.state().vars.S[80], 400) << reset;
    EXPECT_EQ(s.state().vars.S[99], 0) << reset;
  }
}

TEST_F(EffectsTest, MoreThanFourGroupsMoveTheFirstFour) {
  Session& s =
      Play("@sprmv B01,1,2,0,B02,3,4,0,B01,5,6,0,B02,7,8,0,B01,9,9,0\n@sleep -1\n", "", 500);
  EXPECT_EQ(s.engine().LayerState().CharacterCount(), 4);
  EXPECT_EQ(s.state().vars.S[86], 100);  // T = 0: each stays at its start
  EXPECT_FALSE(s.state().busy);
}

}  // namespace
}  // namespace zorvel::test
