// What reaches the window and when: presents batched into one window update a pass, none when no
// pixel changed (the click icon, a choice waiting), and screenshots that show the window's
// picture, at exit and inside a transition.
#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "fixture.h"
#include "platform/files.h"
#include "platform/forgetful_settings_store.h"
#include "platform/png_reader.h"

namespace zorvel::test {
namespace {

using Rgb = std::array<uint8_t, 3>;
constexpr Rgb kOne = {200, 0, 0};
constexpr Rgb kTwo = {0, 0, 200};

constexpr char kLayout[] =
    "MOJI_MAX_X:40\nMOJI_MAX_Y:4\nTX_PITCH_X:13\nTX_PITCH_Y:30\nTXW_OFS_X:20\nTXW_OFS_Y:420\n"
    "TX_OFS_X:10\nTX_OFS_Y:10\nTXW_SIZE_X:760\nTXW_SIZE_Y:170\n"
    "CLICK_WAIT_OFS_X:700\nCLICK_WAIT_OFS_Y:540\nCLICK_WAIT_SIZE_X:24\nCLICK_WAIT_SIZE_Y:24\n";

// Four icon frames of different reds over full masks.
Surface ClickIcons() {
  Surface s(96, 48);
  for (int f = 0; f < 4; ++f) {
    s.FillRect(24 * f, 0, 24, 24, static_cast<uint8_t>(60 * f + 30), 0, 0);
  }
  s.FillRect(0, 24, 96, 24, 255, 255, 255);
  return s;
}

Surface ReadShot(const std::string& path) {
  Surface s;
  const auto bytes = ReadWholeFile(path);
  EXPECT_TRUE(bytes && ReadPng(*bytes, s, nullptr)) << path;
  return s;
}

class Presents : public ::testing::Test {
 protected:
  void SetUp() override {
    WritePictures(game_ / "vx_gra.kpz", {{"A_ONE", Solid(800, 600, kOne[0], kOne[1], kOne[2])},
                                         {"A_TWO", Solid(800, 600, kTwo[0], kTwo[1], kTwo[2])},
                                         {"sys_clickw", ClickIcons()}});
  }
  Session& Start(const std::string& script, const std::string& config = kLayout) {
    WriteGame(game_.Path(), {{"main", script}, {"_config", config}});
    session_ = std::make_unique<Session>(game_.Path(), config_.Path());
    return *session_;
  }
  TempDir game_, config_;
  std::unique_ptr<Session> session_;
};

TEST_F(Presents, AWaitCostsAWindowUpdateOnlyWhenItsPictureChanges) {
  struct Case {
    const char* name;
    std::string config;
    std::string script;
    uint64_t most;   // window updates in 40 timer ticks of waiting
    uint64_t least;  // the icon must still be seen to move
  } const kCases[] = {
      // A new icon frame every second tick: one update each, none for the ticks between.
      {"icon every 2 ticks", "CLICK_WAIT_PAT:4\nCLICK_WAIT_TIMING:1\n", "@gra A_ONE\nあ▼\n", 21,
       19},
      // One frame only, or frames that change every 32 ticks: the icon stands still.
      {"one frame", "CLICK_WAIT_PAT:1\nCLICK_WAIT_TIMING:0\n", "@gra A_ONE\nあ▼\n", 0, 0},
      {"slow icon", "CLICK_WAIT_PAT:4\nCLICK_WAIT_TIMING:5\n", "@gra A_ONE\nあ▼\n", 2, 1},
      {"choice", "CLICK_WAIT_PAT:4\nCLICK_WAIT_TIMING:1\n",
       "@gra A_ONE\nどっち？\n@select\n{北\n!V001=1\n{南\n!V001=2\n}\n", 0, 0},
  };
  for (const Case& c : kCases) {
    Session& s = Start(c.script, kLayout + c.config);
    s.RunFor(2000);
    const uint64_t before = s.platform().PresentCount();
    s.RunFor(40 * Engine::kTimerInterval);
    const uint64_t updates = s.platform().PresentCount() - before;
    EXPECT_LE(updates, c.most) << c.name;
    EXPECT_GE(updates, c.least) << c.name;
  }
}

TEST_F(Presents, EachPassUpdatesTheWindowAtMostOnce) {
  // Typing, the icon (erase and draw in one tick), clicks that erase it and open a page, and
  // the page's first character: one update a pass whatever the pass drew.
  Session& s = Start("@gra A_ONE\nあいうえお▼\nかきくけこ▼\nさしすせそ▼\n",
                     kLayout + std::string("CLICK_WAIT_PAT:4\nCLICK_WAIT_TIMING:0\n"));
  s.Events("1000 click 400 500\n2000 click 400 500\n");
  // Past the picture's change, a transition whose frame is a window update of its own.
  s.RunFor(100);
  uint64_t most = 0;
  for (int pass = 0; pass < 150; ++pass) {
    const uint64_t before = s.platform().PresentCount();
    const int32_t idle = s.state().idleCount;
    s.RunFor(Engine::kIdlePassMs);
    ASSERT_EQ(s.state().idleCount, idle + 1);
    most = std::max(most, s.platform().PresentCount() - before);
  }
  EXPECT_EQ(most, 1u);
  EXPECT_NE(s.PageRow(1).find("さしすせそ"), std::string::npos);
  // The icon is on screen: one of its frames' reds at its place.
  EXPECT_EQ(PixelAt(s.platform().LastFrame(), 712, 552)[1], 0);
  EXPECT_NE(PixelAt(s.platform().LastFrame(), 712, 552),
            PixelAt(s.platform().LastFrame(), 650, 552));
}

TEST_F(Presents, ScreenshotAtExitShowsTheWindowNotTheScreenBehindIt) {
  struct Case {
    const char* name;
    std::string script;
    Rgb corner;
    Rgb centre;
  } const kCases[] = {
      // A number above 24 draws nothing: the window keeps the old picture until a repaint.
      {"mode 25", "@gra A_ONE 0\n@gra A_TWO 25\n", kOne, kOne},
      // The iris grows to radius 495 only, short of the corners at 500.
      {"short iris", "!S020=400\n!S021=300\n@gra A_ONE 0\n@gra A_TWO 4\n", kOne, kTwo},
  };
  for (const Case& c : kCases) {
    WriteGame(game_.Path(), {{"main", c.script}});
    const std::string shot = game_ / "end.png";
    ASSERT_EQ(RunZorvel({"--headless", "--config-dir", config_.Path(), "--run-ms", "5000",
                         "--screenshot", shot, game_.Path()}),
              0)
        << c.name;
    const Surface s = ReadShot(shot);
    ASSERT_EQ(s.Width(), 800) << c.name;
    EXPECT_EQ(PixelAt(s, 0, 0), c.corner) << c.name;
    EXPECT_EQ(PixelAt(s, 799, 599), c.corner) << c.name;
    EXPECT_EQ(PixelAt(s, 400, 300), c.centre) << c.name;
  }
}

TEST_F(Presents, ScreenshotInsideATransitionShowsTheFrameOnScreenThen) {
  // A clock-paced crossfade (mode 9, a frame every 40 ms) recorded once, then played again with
  // screenshots half-way between its frames.
  const std::string script = "@gra A_ONE 0\n@gra A_TWO 9\n";
  std::vector<uint32_t> times;
  std::vector<Surface> frames;
  {
    Session& s = Start(script);
    s.platform().SetPresentHook([&] {
      if (!s.state().animating) return;
      times.push_back(s.platform().Ticks());
      frames.push_back(s.platform().LastFrame());
    });
    s.RunFor(3000);
    s.platform().SetPresentHook({});
  }
  // The first is the immediate change to A_ONE.
  ASSERT_GE(frames.size(), 21u);
  times.erase(times.begin());
  frames.erase(frames.begin());
  const size_t kSteps[] = {0, 1, 10};
  std::string events;
  for (const size_t k : kSteps) {
    events += std::to_string((times[k] + times[k + 1]) / 2) + " screenshot " +
              game_ / ("step" + std::to_string(k) + ".png") + "\n";
  }
  Session& s = Start(script);
  s.Events(events);
  s.RunFor(3000);
  for (const size_t k : kSteps) {
    ExpectPicture(ReadShot(game_ / ("step" + std::to_string(k) + ".png")), frames[k],
                  "transition_step" + std::to_string(k));
  }
  // Step 0 of a crossfade is the old picture itself.
  EXPECT_EQ(PixelAt(frames[0], 400, 300), kOne);
}

TEST(PresentedFrames, AWholeFrameShownIsNotChangedByDrawingAfterIt) {
  // A whole frame shares its pixels with the window's picture: what the game draws into the
  // surface afterwards (a write, a whole new frame, a part presented) must reach the window
  // only as far as it is presented, counted or not.
  for (const bool counted : {true, false}) {
    SCOPED_TRACE(counted ? "counted" : "uncounted");
    ForgetfulSettingsStore store;
    HeadlessPlatform platform(store);
    platform.SetCountPresents(counted);
    Surface frame = Solid(800, 600, 10, 20, 30);
    platform.Present(frame);
    platform.Flush();
    frame.Row(100)[300] = 255;
    frame.WillOverwrite();
    for (int y = 0; y < 600; ++y) std::memset(frame.Row(y), 77, frame.Stride());
    platform.Flush();
    EXPECT_EQ(PixelAt(platform.LastFrame(), 100, 100), (Rgb{10, 20, 30}));
    EXPECT_EQ(PixelAt(platform.LastFrame(), 799, 599), (Rgb{10, 20, 30}));
    platform.PresentRect(frame, 700, 500, 10, 10);
    platform.Flush();
    EXPECT_EQ(PixelAt(platform.LastFrame(), 705, 505), (Rgb{77, 77, 77}));
    EXPECT_EQ(PixelAt(platform.LastFrame(), 100, 100), (Rgb{10, 20, 30}));
    // The window's own copy stays as shown when the frame is presented again and changed.
    platform.Present(frame);
    platform.Flush();
    Surface shown;
    platform.ShownGameArea(shown);
    frame.Fill(1, 2, 3);
    EXPECT_EQ(PixelAt(platform.LastFrame(), 100, 100), (Rgb{77, 77, 77}));
    EXPECT_EQ(PixelAt(shown, 100, 100), (Rgb{77, 77, 77}));
  }
}

TEST_F(Presents, UncountedPresentsShowTheSamePictures) {
  // The command line keeps one picture and counts no updates; every picture it reads (events'
  // screenshots through transitions of each kind of drawing and a click wait, the end) and the
  // dump must be what the counting window model gives.
  const std::string script =
      "@gra A_ONE 0\n@gra A_TWO 4\n@gra A_ONE 1\nあいう▼\n@gra A_TWO 9\n@gra A_ONE 5\n"
      "@gra A_TWO 25\nかきく▼\n@gra A_ONE 12\n";
  std::string events = "2500 click 400 500\n4200 click 400 500\n";
  for (int ms = 5; ms < 9000; ms += 45) {
    events += std::to_string(ms) + " screenshot " + game_ / ("shot" + std::to_string(ms)) + "\n";
  }
  std::vector<std::vector<uint8_t>> shots[2];
  Surface last[2];
  std::string dump[2];
  for (const bool counted : {true, false}) {
    Session& s = Start(script);
    s.platform().SetCountPresents(counted);
    s.Events(events);
    s.RunFor(9000);
    s.platform().Flush();
    for (int ms = 5; ms < 9000; ms += 45) {
      shots[counted].push_back(ReadWholeFile(game_ / ("shot" + std::to_string(ms))).value());
    }
    s.platform().ShownPicture(last[counted]);
    dump[counted] = s.engine().DumpState(0);
  }
  for (size_t i = 0; i < shots[0].size(); ++i) {
    EXPECT_TRUE(shots[0][i] == shots[1][i]) << "screenshot at " << 5 + 45 * i << " ms";
  }
  ExpectPicture(last[false], last[true], "uncounted_end");
  EXPECT_EQ(dump[false], dump[true]);
  // The run was not still: the end shows the last picture, the middle showed others.
  EXPECT_EQ(PixelAt(last[true], 400, 300), kOne);
  EXPECT_FALSE(shots[1][20] == shots[1].back());
}

TEST_F(Presents, FramesNobodySawAreTheSameWhenAScreenshotAsksForThem) {
  // Uncounted runs leave whole frames undrawn until something reads the window: every picture a
  // screenshot takes (at times that fall anywhere inside the steps of fades, the star, zoom,
  // slides, a push, the message window's fade and a movie), the end and the dump must still be
  // what a run that draws every frame gives, and so must a run that takes no screenshot at all.
  Surface shaded(800, 600);
  for (int y = 0; y < 600; ++y) {
    for (int x = 0; x < 800; ++x) {
      uint8_t* px = shaded.Row(y) + x * 3;
      px[0] = static_cast<uint8_t>(x / 4);
      px[1] = static_cast<uint8_t>(y * 2 / 5);
      px[2] = static_cast<uint8_t>((x + y) / 6);
    }
  }
  WritePictures(game_ / "vx_gra.kpz", {{"A_ONE", shaded},
                                       {"A_TWO", Solid(800, 600, kTwo[0], kTwo[1], kTwo[2])},
                                       {"sys_clickw", ClickIcons()}});
  std::filesystem::create_directories(game_ / "movie");
  std::filesystem::copy_file(std::string(ZORVEL_SOURCE_DIR) + "/demo/files/movie/opening.mpg",
                             game_ / "movie/opening.mpg");
  const std::string script =
      "@gra A_ONE 0\n@gra A_TWO 6\n@gra A_ONE 9\n@gra A_TWO 19\n@gra A_ONE 21\n"
      "@gra A_TWO 22\n@gra A_ONE 23\n@gra A_TWO 24\nあいう\n@win_close\n"
      "@movie movie\\opening.mpg\n@sleep 60\n@gra A_ONE 9\n";
  constexpr int kRunMs = 16000;
  std::string events;
  for (int ms = 7; ms < kRunMs; ms += 59) {
    events += std::to_string(ms) + " screenshot " + game_ / ("shot" + std::to_string(ms)) + "\n";
  }
  std::vector<std::vector<uint8_t>> shots[2];
  Surface last[3];
  std::string dump[3];
  for (const int run : {0, 1, 2}) {
    const bool counted = run == 1;
    Session& s = Start(script);
    s.platform().SetCountPresents(counted);
    if (run < 2) s.Events(events);
    s.RunFor(kRunMs);
    if (run < 2) {
      for (int ms = 7; ms < kRunMs; ms += 59) {
        shots[run].push_back(ReadWholeFile(game_ / ("shot" + std::to_string(ms))).value());
      }
    }
    s.platform().ShownPicture(last[run]);
    dump[run] = s.engine().DumpState(0);
  }
  size_t differing = 0;
  for (size_t i = 0; i < shots[0].size(); ++i) {
    EXPECT_TRUE(shots[0][i] == shots[1][i]) << "screenshot at " << 7 + 59 * i << " ms";
    if (i > 0 && shots[1][i] != shots[1][i - 1]) ++differing;
  }
  // The screenshots caught the steps: most of them differ from the one before.
  EXPECT_GT(differing, shots[1].size() / 2);
  for (const int run : {0, 2}) {
    ExpectPicture(last[run], last[1], "unseen_end" + std::to_string(run));
    EXPECT_EQ(dump[run], dump[1]);
  }
}

}  // namespace
}  // namespace zorvel::test
