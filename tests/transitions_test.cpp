// Transitions, the frame clock, `shake` and `scroll`, run over the headless platform: its
// virtual clock makes every paced loop run exactly its nominal steps, and its present hook lets
// a test look at the window after each frame.
#include "graphics/transitions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "fixture.h"
#include "inert_hooks.h"
#include "platform/forgetful_settings_store.h"
#include "platform/headless/headless_platform.h"
#include "platform/png_writer.h"

namespace zorvel {
namespace {

constexpr int kW = 800;
constexpr int kH = 600;

// The old picture varies in every channel with the position; the new one is its negative, so
// every pixel differs between them and a pixel taken from the wrong place shows. Pixel (0, 0)
// goes from black to white, which makes a crossfade's level readable there.
uint8_t OldByte(int x, int y, int c) {
  switch (c) {
    case 0:
      return static_cast<uint8_t>(x * 3 + y);
    case 1:
      return static_cast<uint8_t>(y * 5 + x / 4);
    default:
      return static_cast<uint8_t>(x ^ y);
  }
}
uint8_t NewByte(int x, int y, int c) {
  return static_cast<uint8_t>(255 - OldByte(x, y, c));
}

using ByteFn = std::function<uint8_t(int x, int y, int c)>;

Surface Build(int w, int h, const ByteFn& f) {
  Surface s(w, h);
  for (int y = 0; y < h; ++y) {
    uint8_t* row = s.Row(y);
    for (int x = 0; x < w; ++x) {
      for (int c = 0; c < 3; ++c) row[x * 3 + c] = f(x, y, c);
    }
  }
  return s;
}

int Blend(int u, int v, int a) {
  return (u * (256 - a) + v * a) >> 8;
}

void ExpectFrame(const Surface& actual, const Surface& expected, const std::string& name) {
  test::ExpectPicture(actual, expected, "transition_" + name);
}

bool InDisc(int x, int y, double r) {
  return std::hypot(x - 400.0, y - 300.0) <= r;
}

ByteFn Pick(std::function<bool(int x, int y)> isNew) {
  return [isNew](int x, int y, int c) { return isNew(x, y) ? NewByte(x, y, c) : OldByte(x, y, c); };
}

class TransitionTest : public ::testing::Test {
 protected:
  TransitionTest()
      : platform_(store_),
        state_(std::make_unique<EngineState>()),
        screen_(platform_),
        clock_(platform_, [this] { Pump(); }),
        transitions_(screen_, *state_, settings_, clock_, random_, platform_, Hooks()) {}

  // Also called again by table tests to start each case afresh.
  void SetUp() override {
    platform_.SetPresentHook(nullptr);
    *state_ = EngineState{};
    settings_ = Settings{};
    times_.clear();
    capture_.clear();
    frames_.clear();
    levels_.clear();
    level_ = false;
    flagsSetAtEveryPresent_ = true;
    screenModes_.clear();
    toolbarUpdates_.clear();
    screen_.CreateSurfaces();
    oldPicture_ = Build(kW, kH, OldByte);
    newPicture_ = Build(kW, kH, NewByte);
    screen_.previousSurface = oldPicture_;
    screen_.screenSurface = newPicture_;
    // The window shows the old screen when a transition starts.
    platform_.Present(oldPicture_);
    platform_.Flush();
    frameCount_ = 0;
    platform_.SetPresentHook([this] { OnPresent(); });
  }

  TransitionHooks Hooks() {
    TransitionHooks hooks = test::InertTransitionHooks();
    hooks.updateToolbar = [this] { toolbarUpdates_.push_back(state_->toolbarLocked); };
    hooks.drawWindowAndText = [this] {
      screen_.screenSurface.FillRect(100, 400, 600, 150, 10, 20, 30);
    };
    hooks.loadPicture = [this](const char* name, Surface& picture) {
      const auto it = pictures_.find(name);
      if (it == pictures_.end()) return false;
      picture = it->second;
      return true;
    };
    return hooks;
  }

  // What the engine's pump does while an animation runs: a click or the close box only sets
  // closeRequest.
  void Pump() {
    InputEvent e;
    while (platform_.PollEvent(e)) {
      if (e.kind == InputEvent::Kind::kMouseDown && state_->animating) state_->closeRequest = 1;
      if (e.kind == InputEvent::Kind::kClose) state_->closeRequest = 2;
    }
  }

  void Input(uint32_t ms, InputEvent::Kind kind) {
    TimedEvent e;
    e.ms = ms;
    e.input.kind = kind;
    platform_.AddEvent(e);
  }

  // Every frame the transition flushes, also one that repeats the picture on screen (which
  // costs no window update).
  void OnPresent() {
    const int index = frameCount_++;
    times_.push_back(platform_.Ticks());
    flagsSetAtEveryPresent_ = flagsSetAtEveryPresent_ && state_->busy && state_->animating;
    screenModes_.insert(state_->screenMode);
    if (capture_.count(index) != 0) frames_[index] = platform_.LastFrame();
    if (level_) levels_.push_back(platform_.LastFrame().Row(0)[0]);
  }

  int Presents() const { return frameCount_; }
  const Surface& Window() const { return platform_.LastFrame(); }
  int32_t& S(int n) { return state_->vars.S[n]; }

  ForgetfulSettingsStore store_;
  HeadlessPlatform platform_;
  std::unique_ptr<EngineState> state_;
  Settings settings_;
  RandomGenerator random_;
  Screen screen_;
  FrameClock clock_;
  std::map<std::string, Surface> pictures_;
  std::vector<bool> toolbarUpdates_;
  Transitions transitions_;

  Surface oldPicture_, newPicture_;
  int frameCount_ = 0;
  std::vector<uint32_t> times_;
  bool flagsSetAtEveryPresent_ = true;
  std::set<int> screenModes_;
  std::set<int> capture_;
  std::map<int, Surface> frames_;
  bool level_ = false;
  std::vector<int> levels_;
};

// ---- Frame clock -----------------------------------------------------------------------------

TEST_F(TransitionTest, FrameClockWaitFramesSleepsToTheNextPeriodBoundary) {
  struct Case {
    uint32_t drawMs;  // time spent since the noted time
    int period;
    int periods;     // returned
    uint32_t endMs;  // the clock after the call, relative to the noted time
  } const kCases[] = {
      {0, 20, 1, 20}, {19, 20, 1, 20}, {20, 20, 2, 40},      {45, 20, 3, 60},
      {0, 0, 1, 1},   {5, -7, 6, 6},   {1000, 40, 26, 1040},
  };
  for (const Case& c : kCases) {
    clock_.StartFrameClock();
    const uint32_t start = platform_.Ticks();
    platform_.Sleep(c.drawMs);
    EXPECT_EQ(clock_.WaitFrames(c.period), c.periods) << c.drawMs << " ms, period " << c.period;
    EXPECT_EQ(platform_.Ticks() - start, c.endMs) << c.drawMs << " ms, period " << c.period;
  }
}

TEST_F(TransitionTest, FrameClockKeepsItsPhaseAcrossCallsAndTheTickWrap) {
  platform_.Sleep(0xFFFFFFF0u);  // 16 ms before the tick count wraps
  clock_.StartFrameClock();
  const uint32_t start = platform_.Ticks();
  platform_.Sleep(5);
  EXPECT_EQ(clock_.WaitFrames(10), 1);
  platform_.Sleep(25);  // overruns the second period: it lands on the fourth boundary
  EXPECT_EQ(clock_.WaitFrames(10), 3);
  EXPECT_EQ(platform_.Ticks() - start, 40u);
}

TEST_F(TransitionTest, FrameClockWaitUntilSleepsOnlyForAFutureDeadlineAndPumpsOnce) {
  Input(0, InputEvent::Kind::kClose);
  clock_.WaitUntil(platform_.Ticks() + 30);
  EXPECT_EQ(platform_.Ticks(), 30u);
  EXPECT_EQ(state_->closeRequest, 2);
  clock_.WaitUntil(10);  // already past
  EXPECT_EQ(platform_.Ticks(), 30u);
}

// ---- Step counts, durations and the end state ------------------------------------------------

TEST_F(TransitionTest, EveryModeRunsItsNominalFramesAndTimeAndEndsOnTheNewPicture) {
  struct Case {
    int mode;
    int presents;  // window updates
    uint32_t ms;
  } const kCases[] = {
      {0, 1, 0},      {1, 16, 240},   {2, 16, 320},    {3, 65, 1400},   {4, 75, 1500},
      {5, 116, 2320}, {6, 14, 130},   {7, 60, 900},    {8, 80, 800},    {9, 23, 880},
      {10, 53, 1710}, {11, 58, 1770}, {12, 135, 2700}, {13, 130, 6450}, {14, 50, 1000},
      {15, 99, 0},    {16, 47, 1410}, {17, 64, 3200},  {18, 13, 480},   {19, 41, 600},
      {20, 21, 1600}, {21, 32, 465},  {22, 32, 465},   {23, 32, 465},   {24, 132, 5240},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE("mode " + std::to_string(c.mode));
    SetUp();
    S(20) = 250;  // start-up values: mode 4's limit is 750
    S(21) = 550;
    const uint32_t start = platform_.Ticks();
    transitions_.RunTransition(c.mode);
    EXPECT_EQ(Presents(), c.presents);
    EXPECT_EQ(platform_.Ticks() - start, c.ms);
    ExpectFrame(Window(), newPicture_, "end_of_mode_" + std::to_string(c.mode));
    // Crossfades clear them just before their last picture.
    EXPECT_TRUE(flagsSetAtEveryPresent_ || c.mode == 9 || c.mode == 13);
    EXPECT_FALSE(state_->busy);
    EXPECT_FALSE(state_->animating);
    EXPECT_EQ(S(19), 0);
  }
}

TEST_F(TransitionTest, StepCountsFollowTheirRegisters) {
  struct Case {
    int mode, reg, value, presents;
  } const kCases[] = {
      {17, 16, 1, 4}, {17, 16, 0, 64}, {17, 16, 200, 64}, {17, 16, 128, 512}, {4, 20, 400, 50},
  };
  for (const Case& c : kCases) {
    SetUp();
    S(20) = 400;
    S(21) = 300;
    S(c.reg) = c.value;
    transitions_.RunTransition(c.mode);
    EXPECT_EQ(Presents(), c.presents) << "mode " << c.mode << " S" << c.reg << "=" << c.value;
    if (c.mode == 4) {
      // The last disc, of radius 495, leaves the corners old until the next repaint.
      EXPECT_EQ(Window().Row(0)[0], OldByte(0, 0, 0));
      EXPECT_EQ(Window().Row(599)[799 * 3], OldByte(799, 599, 0));
      EXPECT_EQ(Window().Row(0)[400 * 3], NewByte(400, 0, 0));
    } else {
      ExpectFrame(Window(), newPicture_, "registers_mode_" + std::to_string(c.mode));
    }
  }
}

TEST_F(TransitionTest, ImmediateUnderGModeSkipOrNegativeAndNothingAbove24) {
  struct Case {
    int mode, gmode, skip, presents;
  } const kCases[] = {
      {9, 1, 0, 1}, {13, 0, 1, 1}, {24, 1, 0, 1}, {-3, 0, 0, 1}, {25, 0, 0, 0}, {1000, 0, 0, 0},
  };
  for (const Case& c : kCases) {
    SetUp();
    settings_.GMode = c.gmode;
    state_->skipMode = c.skip;
    const uint32_t start = platform_.Ticks();
    transitions_.RunTransition(c.mode);
    EXPECT_EQ(Presents(), c.presents) << "mode " << c.mode;
    EXPECT_EQ(platform_.Ticks(), start) << "mode " << c.mode;
    ExpectFrame(Window(), c.presents == 0 ? oldPicture_ : newPicture_,
                "immediate_" + std::to_string(c.mode));
    EXPECT_FALSE(state_->busy);
  }
}

TEST_F(TransitionTest, NovelModeLeavesThePreviousPictureEqualToTheScreen) {
  for (int novel : {0, 1}) {
    SetUp();
    S(150) = novel;
    transitions_.RunTransition(1);
    ExpectFrame(screen_.previousSurface, novel != 0 ? newPicture_ : oldPicture_,
                "novel_" + std::to_string(novel));
  }
}

// ---- Interrupts ------------------------------------------------------------------------------

TEST_F(TransitionTest, AClickCutsShortAndTellsTheScriptByMode) {
  struct Case {
    int mode;
    uint32_t clickMs;
    int s019;
    bool runsToTheEnd;
    uint32_t fullMs;
  } const kCases[] = {
      {1, 50, 1, false, 240},    {4, 100, 1, false, 1500},  {5, 100, 1, false, 2320},
      {6, 50, 1, true, 130},     {9, 100, 0, false, 880},   {12, 100, 1, false, 2700},
      {13, 100, 0, false, 6450}, {14, 100, 1, false, 1000}, {16, 100, 1, false, 1410},
      {17, 100, 0, false, 3200}, {20, 100, 1, false, 1600}, {22, 100, 1, false, 465},
      {24, 100, 0, false, 5240},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE("mode " + std::to_string(c.mode));
    SetUp();
    const uint32_t start = platform_.Ticks();
    Input(start + c.clickMs, InputEvent::Kind::kMouseDown);
    transitions_.RunTransition(c.mode);
    const uint32_t took = platform_.Ticks() - start;
    if (c.runsToTheEnd) {
      EXPECT_EQ(took, c.fullMs);
    } else {
      EXPECT_GE(took, c.clickMs);
      EXPECT_LT(took, c.fullMs);
    }
    EXPECT_EQ(S(19), c.s019);
    EXPECT_EQ(state_->closeRequest, 1);  // left for the caller
    ExpectFrame(Window(), newPicture_, "click_mode_" + std::to_string(c.mode));
  }
}

TEST_F(TransitionTest, AnUnpacedModeSeesAClickAtItsFirstPump) {
  Input(0, InputEvent::Kind::kMouseDown);
  transitions_.RunTransition(15);
  EXPECT_EQ(Presents(), 3);  // one band step, the pump sees the click, the next step stops
  EXPECT_EQ(S(19), 1);
  ExpectFrame(Window(), newPicture_, "click_mode_15");
}

TEST_F(TransitionTest, ACloseRequestEndsATransitionAndStaysForTheCaller) {
  Input(100, InputEvent::Kind::kClose);
  transitions_.RunTransition(7);
  EXPECT_EQ(state_->closeRequest, 2);
  EXPECT_EQ(S(19), 1);
  EXPECT_LT(platform_.Ticks(), 200u);
}

// ---- Golden frames ---------------------------------------------------------------------------

struct Golden {
  const char* name;
  int mode;
  int frame;  // index of the window update
  ByteFn expected;
};

TEST_F(TransitionTest, FramesMatchTheirDescription) {
  const Golden kGoldens[] = {
      {"blinds_cols_0", 1, 0, Pick([](int x, int) { return x % 16 == 0; })},
      {"blinds_cols_7", 1, 7, Pick([](int x, int) { return x % 16 <= 7; })},
      {"blinds_rows_4", 2, 4, Pick([](int, int y) { return y % 16 <= 4; })},
      {"wipe_20", 3, 20, Pick([](int x, int) { return x % 16 <= 20 - x / 16; })},
      {"wipe_60", 3, 60, Pick([](int x, int) { return x % 16 <= 60 - x / 16; })},
      {"quickfade_0", 6, 0,
       [](int x, int y, int c) { return Blend(OldByte(x, y, c), NewByte(x, y, c), 48); }},
      {"quickfade_12", 6, 12,
       [](int x, int y, int c) { return Blend(OldByte(x, y, c), NewByte(x, y, c), 240); }},
      {"interlace_rows_3", 7, 3, Pick([](int, int y) { return (y % 2 == 0 ? y : 599 - y) < 40; })},
      {"interlace_cols_30", 8, 30,
       Pick([](int x, int) { return (x % 2 == 0 ? x : 799 - x) < 310; })},
      {"squares64_20", 10, 19,  // the first step uncovers nothing
       Pick([](int x, int y) {
         const int i = x / 64;
         const int j = y / 64;
         const int h = std::min(20 - (i + j), 32);
         const int cx = 64 * i + 32;
         const int cy = 64 * j + 32;
         return h >= 1 && x >= cx - h && x < cx + h && y >= cy - h && y < cy + h;
       })},
      {"squares32_10", 11, 10, Pick([](int x, int y) {
         const int i = x / 32;
         const int j = y / 32;
         const int h = std::min(10 - (i + j) + 1, 16);
         const int cx = 32 * i + 16;
         const int cy = 32 * j + 16;
         return h >= 1 && x >= cx - h && x < cx + h && y >= cy - h && y < cy + h;
       })},
      {"split_2", 18, 2,
       [](int x, int y, int c) {
         const int d = 96;
         if (x < d) return NewByte(400 - d + x, y, c);
         if (x >= 800 - d) return NewByte(400 + x - (800 - d), y, c);
         return OldByte(x, y, c);
       }},
      {"push_10", 19, 10,
       [](int x, int y, int c) {
         const int a = 200;
         return x < a ? NewByte(800 - a + x, y, c) : OldByte(x - a, y, c);
       }},
      {"mosaic_old_2", 20, 0, [](int x, int y, int c) { return OldByte(x / 2 * 2, y / 2 * 2, c); }},
      {"mosaic_old_28", 20, 8,
       [](int x, int y, int c) { return OldByte(x / 28 * 28, y / 28 * 28, c); }},
      {"mosaic_new_40", 20, 10,
       [](int x, int y, int c) { return NewByte(x / 40 * 40, y / 40 * 40, c); }},
      {"slide_left_5", 22, 5,
       [](int x, int y, int c) {
         const int a = 48;
         const int u = x + a < 800 ? OldByte(x + a, y, c) : 0;
         const int v = x + a >= 256 ? NewByte(x + a - 256, y, c) : 0;
         return static_cast<uint8_t>(Blend(u, v, a));
       }},
      {"slide_right_30", 23, 30,
       [](int x, int y, int c) {
         const int a = 248;
         const int u = x + 256 - a >= 256 ? OldByte(x - a, y, c) : 0;
         const int bx = x + 245 - a;
         const int v = bx >= 0 && bx < 800 ? NewByte(bx, y, c) : 0;
         return static_cast<uint8_t>(Blend(u, v, a));
       }},
  };
  for (const Golden& g : kGoldens) {
    SetUp();
    capture_ = {g.frame};
    transitions_.RunTransition(g.mode);
    ASSERT_EQ(frames_.count(g.frame), 1u) << g.name;
    ExpectFrame(frames_[g.frame], Build(kW, kH, g.expected), g.name);
  }
}

TEST_F(TransitionTest, SoftWipeRampBlendsBetweenTheNewAndOldEdges) {
  for (int step : {10, 60, 134}) {
    SetUp();
    capture_ = {step};
    transitions_.RunTransition(12);
    const int p = -280 + 8 * step;
    const Surface expected = Build(kW, kH, [p](int x, int y, int c) {
      if (x < p + 32) return NewByte(x, y, c);
      if (x >= p + 288) return OldByte(x, y, c);
      const int m = x - p - 32;
      return static_cast<uint8_t>((NewByte(x, y, c) * (255 - m) + OldByte(x, y, c) * m) >> 8);
    });
    ExpectFrame(frames_[step], expected, "softwipe_" + std::to_string(step));
  }
}

TEST_F(TransitionTest, IrisDiscGrowsByTenPixelsAStep) {
  S(20) = 400;
  S(21) = 300;
  capture_ = {0, 10, 30};
  transitions_.RunTransition(4);
  for (const int step : capture_) {
    const double r = 5 + 10 * step;
    const Surface& frame = frames_[step];
    int wrong = 0;
    for (int y = 0; y < kH; ++y) {
      for (int x = 0; x < kW; ++x) {
        const uint8_t b = frame.Row(y)[x * 3];
        if (InDisc(x, y, r - 2) && b != NewByte(x, y, 0)) ++wrong;
        if (!InDisc(x, y, r + 2) && b != OldByte(x, y, 0)) ++wrong;
      }
    }
    EXPECT_EQ(wrong, 0) << "radius " << r;
  }
}

TEST_F(TransitionTest, DitherSwitchesOneQuarterOfThePixelsAPhase) {
  S(16) = 1;
  capture_ = {0, 1, 2, 3};
  transitions_.RunTransition(17);
  // Phases: even rows even columns, odd odd, even odd, odd even.
  const int phaseOf[2][2] = {{0, 2}, {3, 1}};  // [row parity][column parity]
  for (int q = 0; q < 4; ++q) {
    ExpectFrame(frames_[q],
                Build(kW, kH, Pick([&](int x, int y) { return phaseOf[y % 2][x % 2] <= q; })),
                "dither_" + std::to_string(q));
  }
}

TEST_F(TransitionTest, StarShowsTheNewPictureThroughItsGreyAndTheOldOutside) {
  capture_ = {0, 60};
  transitions_.RunTransition(24);
  for (const int step : capture_) {
    const int r = 5 + 5 * step;
    const int grey = std::min(r / 2, 255);
    const Surface& frame = frames_[step];
    for (int c = 0; c < 3; ++c) {
      const int expected = (OldByte(400, 300, c) * (255 - grey) + NewByte(400, 300, c) * grey) >> 8;
      EXPECT_EQ(frame.Row(300)[400 * 3 + c], expected) << "step " << step;
    }
    EXPECT_EQ(frame.Row(0)[0], OldByte(0, 0, 0)) << "step " << step;
  }
}

TEST_F(TransitionTest, ZoomMagnifiesTheOldPictureAboutTheCentre) {
  capture_ = {0};
  transitions_.RunTransition(21);
  // a = 8: factor 308/300; (0, 0) comes from old (11, 8), the centre from itself.
  for (int c = 0; c < 3; ++c) {
    EXPECT_EQ(frames_[0].Row(0)[c], Blend(OldByte(11, 8, c), NewByte(0, 0, c), 8));
    EXPECT_EQ(frames_[0].Row(300)[400 * 3 + c],
              Blend(OldByte(400, 300, c), NewByte(400, 300, c), 8));
  }
}

TEST_F(TransitionTest, CrossfadeLevelsByType) {
  // Pixel (0, 0) goes from 0 to 255, so a frame at level a shows a - 1 there (0 at level 0).
  struct Case {
    int type, first, step, last;
  } const kCases[] = {
      {1, 0, 24, 240}, {2, 0, 12, 252}, {3, 0, 5, 255}, {4, 0, 2, 256}, {7, 0, 12, 252}};
  for (const Case& c : kCases) {
    SetUp();
    level_ = true;
    levels_.clear();
    transitions_.CrossfadeByType(c.type);
    std::vector<int> expected;
    for (int a = c.first; a <= c.last; a += c.step) expected.push_back(a == 0 ? 0 : a - 1);
    expected.push_back(255);  // the new picture itself
    EXPECT_EQ(levels_, expected) << "type " << c.type;
    EXPECT_FALSE(state_->animating);
  }
}

TEST_F(TransitionTest, SepiaFadeTonesTheSceneAndFadesToItWithTheWindowOnTop) {
  screen_.sceneSurface = oldPicture_;
  Input(10, InputEvent::Kind::kMouseDown);  // ignored
  transitions_.SepiaFade();
  const ByteFn sepia = [](int x, int y, int c) {
    const int a = (OldByte(x, y, 0) + OldByte(x, y, 1) + OldByte(x, y, 2)) / 3;
    return static_cast<uint8_t>(c == 0 ? a / 4 : c == 1 ? 6 * a / 8 : a);
  };
  ExpectFrame(screen_.sceneSurface, Build(kW, kH, sepia), "sepia_scene");
  Surface withWindow = Build(kW, kH, sepia);
  withWindow.FillRect(100, 400, 600, 150, 10, 20, 30);
  ExpectFrame(Window(), withWindow, "sepia_screen");
  EXPECT_EQ(Presents(), 27);  // levels 48 to 248, then the screen
  EXPECT_EQ(platform_.Ticks(), 520u);
  EXPECT_FALSE(state_->busy);
}

// ---- shake -----------------------------------------------------------------------------------

class ShakeTest : public TransitionTest {
 protected:
  std::vector<std::pair<int, int>> Run(const char* arg) {
    const size_t before = platform_.WindowPositions().size();
    transitions_.Shake(arg);
    const auto& all = platform_.WindowPositions();
    return {all.begin() + static_cast<ptrdiff_t>(before), all.end()};
  }
};

TEST_F(ShakeTest, MovesAlternateAndShrinkThenTheWindowGoesBack) {
  using P = std::vector<std::pair<int, int>>;
  EXPECT_EQ(Run("0"), (P{{0, -20},
                         {0, 18},
                         {0, -16},
                         {0, 14},
                         {0, -12},
                         {0, 10},
                         {0, -8},
                         {0, 6},
                         {0, -4},
                         {0, 2},
                         {0, 0}}));
  EXPECT_EQ(platform_.Ticks(), 500u);
  platform_.MoveWindow(100, 200);
  EXPECT_EQ(Run("1,10,30"),
            (P{{110, 200}, {92, 200}, {106, 200}, {96, 200}, {102, 200}, {100, 200}}));
  EXPECT_EQ(platform_.Ticks(), 650u);
  EXPECT_EQ(Run("9,6"), (P{{100, 200}}));  // an unknown type keeps still, and time still passes
  EXPECT_EQ(platform_.Ticks(), 800u);
  EXPECT_FALSE(state_->busy);
}

TEST_F(ShakeTest, InFullScreenThePictureShakesAndTheDesktopStays) {
  using P = std::vector<std::pair<int, int>>;
  platform_.SetFullScreen(true);
  EXPECT_EQ(Run("1,6"), P{});
  EXPECT_EQ(platform_.PictureOffsets(), (P{{6, 0}, {-4, 0}, {2, 0}, {0, 0}}));
}

TEST_F(ShakeTest, TypeTwoMovesAlongRandomAxes) {
  const auto moves = Run("2,8");
  ASSERT_EQ(moves.size(), 5u);
  for (size_t i = 0; i + 1 < moves.size(); ++i) {
    const int e = 8 - 2 * static_cast<int>(i);
    const auto [x, y] = moves[i];
    EXPECT_TRUE((x == 0 || std::abs(x) == e) && (y == 0 || std::abs(y) == e) && (x || y))
        << x << "," << y;
  }
  EXPECT_EQ(moves.back(), (std::pair<int, int>{0, 0}));
}

TEST_F(ShakeTest, SkippingWithEffectsCutDoesNothing) {
  state_->skipMode = 1;
  EXPECT_EQ(Run("0").size(), 0u);
  settings_.EFX_CUT = 0;
  EXPECT_EQ(Run("0").size(), 11u);
}

TEST_F(ShakeTest, ArgumentsDefaultWhereTheirCommaIsMissing) {
  struct Case {
    const char* arg;
    ShakeArgs args;
  } const kCases[] = {
      {"1,10,30", {1, 10, 30}},
      {"2, 5", {2, 5, 50}},
      {"0", {0, 20, 50}},
      {"-3,x,", {-3, 0, 0}},
  };
  for (const Case& c : kCases) {
    const ShakeArgs got = ParseShakeArgs(c.arg, 50);
    EXPECT_EQ(got.type, c.args.type) << c.arg;
    EXPECT_EQ(got.amplitude, c.args.amplitude) << c.arg;
    EXPECT_EQ(got.interval, c.args.interval) << c.arg;
  }
}

TEST_F(ShakeTest, CommasCountOnlyWithinTheCommandLinesFirstFiftyCharacters) {
  // The line is a marker byte, "shake", a blank and the argument; `at` is the index in the line
  // of the comma that is moved.
  struct Case {
    const char* before;
    const char* after;
    int at;
    size_t moves;  // including the move back
    uint32_t ms;
  } const kCases[] = {
      {"1", ",4", 49, 3, 100},     // amplitude 4
      {"1", ",4", 50, 11, 500},    // comma too far: amplitude 20
      {"1,4", ",10", 49, 3, 20},   // interval 10
      {"1,4", ",10", 50, 3, 100},  // interval 50
  };
  for (const Case& c : kCases) {
    std::string line = std::string("*shake ") + c.before;
    line.append(static_cast<size_t>(c.at) - line.size(), ' ');
    line += c.after;
    std::memset(state_->lineBuffer, 0, sizeof state_->lineBuffer);
    std::memcpy(state_->lineBuffer, line.data(), line.size());
    const uint32_t start = platform_.Ticks();
    EXPECT_EQ(Run(state_->lineBuffer + 7).size(), c.moves) << line;
    EXPECT_EQ(platform_.Ticks() - start, c.ms) << line;
  }
}

// ---- scroll ----------------------------------------------------------------------------------

class ScrollTest : public TransitionTest {
 protected:
  // A picture whose every view differs from its neighbours.
  void AddPicture(const std::string& name, int w, int h) {
    pictures_[name] = Build(w, h, [](int x, int y, int c) {
      return static_cast<uint8_t>(c == 0 ? x : c == 1 ? y : (x >> 8) * 16 + (y >> 8));
    });
  }
  Surface View(const std::string& name, int left, int top) {
    const Surface& p = pictures_[name];
    return Build(kW, kH, [&](int x, int y, int c) -> uint8_t {
      const int sx = left + x;
      const int sy = top + y;
      if (sx < 0 || sy < 0 || sx >= p.Width() || sy >= p.Height()) return 0;
      return p.Row(sy)[sx * 3 + c];
    });
  }
};

TEST_F(ScrollTest, ArgumentsRepeatTheLastNumberWhereACommaIsMissing) {
  struct Case {
    const char* arg;
    const char* name;
    int dir, ms, n;
  } const kCases[] = {
      {"BG01,1,10,3", "BG01", 1, 10, 3},
      {"BG01", "BG01", 0, 0, 0},
      {"123", "123", 123, 123, 123},
      {"A,2", "A", 2, 2, 2},
      {"A,,5", "A", 0, 5, 5},
      {"A,1,2,3,4", "A", 1, 2, 3},
  };
  for (const Case& c : kCases) {
    const ScrollArgs got = ParseScrollArgs(c.arg);
    EXPECT_STREQ(got.name, c.name) << c.arg;
    EXPECT_EQ(got.dir, c.dir) << c.arg;
    EXPECT_EQ(got.ms, c.ms) << c.arg;
    EXPECT_EQ(got.transition, c.n) << c.arg;
  }
  // Only 63 characters count: the cut leaves "NAME,1".
  const std::string longName(61, 'N');
  const ScrollArgs cut = ParseScrollArgs((longName + ",1,2,3").c_str());
  EXPECT_EQ(cut.name, longName);
  EXPECT_EQ(cut.dir, 1);
  EXPECT_EQ(cut.ms, 1);
  EXPECT_EQ(cut.transition, 1);
}

TEST_F(ScrollTest, MovesTheViewOnePixelPerPeriodInEachDirection) {
  AddPicture("WIDE", 900, 600);
  AddPicture("TALL", 800, 700);
  struct Case {
    const char* arg;
    const char* name;
    int x0, y0, x1, y1;
    uint32_t ms;
  } const kCases[] = {
      {"WIDE,1,10,0", "WIDE", 0, 0, 100, 0, 1000}, {"WIDE,3,5,0", "WIDE", 100, 0, 0, 0, 500},
      {"TALL,0,10,0", "TALL", 0, 100, 0, 0, 1000}, {"TALL,2,10,0", "TALL", 0, 0, 0, 100, 1000},
      {"WIDE,9,10,0", "WIDE", 0, 0, 0, 0, 0},
  };
  for (const Case& c : kCases) {
    SetUp();
    capture_ = {0};
    const uint32_t start = platform_.Ticks();
    EXPECT_EQ(transitions_.Scroll(c.arg), 1);
    EXPECT_EQ(platform_.Ticks() - start, c.ms) << c.arg;
    ExpectFrame(frames_[0], View(c.name, c.x0, c.y0), std::string("scroll_first_") + c.arg);
    ExpectFrame(Window(), View(c.name, c.x1, c.y1), std::string("scroll_last_") + c.arg);
    ExpectFrame(screen_.screenSurface, View(c.name, c.x1, c.y1), "scroll_screen");
    EXPECT_EQ(toolbarUpdates_, (std::vector<bool>{true, false}));
    EXPECT_TRUE(screenModes_.count(7) != 0 || c.ms == 0);
    EXPECT_EQ(state_->screenMode, 0);
    EXPECT_FALSE(state_->busy || state_->animating || state_->toolbarLocked);
  }
}

TEST_F(ScrollTest, AnExactFitShowsItsViewWithTheTransitionAndStops) {
  AddPicture("FIT", 800, 600);
  EXPECT_EQ(transitions_.Scroll("FIT,1,10,6"), 1);
  EXPECT_EQ(Presents(), 14 + 1);  // mode 6, then the far end, which is the same view
  EXPECT_EQ(platform_.Ticks(), 130u);
  ExpectFrame(Window(), View("FIT", 0, 0), "scroll_fit");
}

TEST_F(ScrollTest, AClickJumpsToTheFarEnd) {
  AddPicture("WIDE", 1800, 600);
  Input(300, InputEvent::Kind::kMouseDown);
  transitions_.Scroll("WIDE,1,10,0");
  EXPECT_EQ(platform_.Ticks(), 300u);
  ExpectFrame(Window(), View("WIDE", 1000, 0), "scroll_click");
}

TEST_F(ScrollTest, APictureNarrowerThanTheScreenShowsBlackBesideIt) {
  AddPicture("NARROW", 600, 600);
  transitions_.Scroll("NARROW,1,10,0");
  ExpectFrame(Window(), View("NARROW", -200, 0), "scroll_narrow");
}

TEST_F(ScrollTest, AMissingPictureOnlyUnlocksTheToolbar) {
  EXPECT_EQ(transitions_.Scroll("NOPE,1,10,0"), 1);
  EXPECT_EQ(toolbarUpdates_, (std::vector<bool>{true, false}));
  EXPECT_EQ(Presents(), 0);
  EXPECT_FALSE(state_->toolbarLocked);
  ExpectFrame(screen_.screenSurface, newPicture_, "scroll_missing");
}

TEST_F(TransitionTest, HeadlessPresentRectCopiesOnlyItsRectangle) {
  platform_.PresentRect(newPicture_, 790, 590, 100, 100);
  platform_.Flush();
  ExpectFrame(Window(), Build(kW, kH, Pick([](int x, int y) { return x >= 790 && y >= 590; })),
              "present_rect");
}

}  // namespace
}  // namespace zorvel
