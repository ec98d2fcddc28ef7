// Staff rolls played through fixture games at known virtual times: a roll's text fading in
// centred, held until its time mark and fading out; the alignments of CENTER; the picture fades
// of GRA; the quit question pausing a roll and a confirmed quit ending it; the scroll roll's pace
// and its click rule; every `special`; the end roll's bands; and the readers' bounds.
#include "extras/staff_roll.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "core/variable_banks.h"
#include "fixture.h"
#include "text/sjis.h"

namespace zorvel::test {
namespace {

constexpr char kConfig[] = "MAKER_REG:Software\\Zorvel\\Test\nGAME_ID:test\nMOJI_MAX_X:40\n";

using Rgb = std::array<uint8_t, 3>;

// What one look into a running roll saw.
struct Look {
  uint32_t ms = 0;
  int screenMode = 0;
  uint32_t timeMark = 0;
  int64_t difference = 0;  // the rectangle against the scene, summed over every byte
  Rgb corner{};            // pixel (10, 10)
  int sroll = 0;
  bool toolbarLocked = false;
  int32_t music = 0;
};

struct Box {
  int left = 800, top = 600, right = -1, bottom = -1;
};

class StaffRollTest : public ::testing::Test {
 protected:
  Session& Play(const std::map<std::string, std::string>& scripts, const std::string& settings = "",
                std::map<std::string, Surface> pictures = {}) {
    std::map<std::string, std::string> all = scripts;
    all["_config"] = kConfig;
    WriteGame(game_.Path(), all);
    pictures["A001"] = EveningScene();
    pictures["B001"] = Solid(800, 600, 20, 200, 60);
    WritePictures(game_ / "vx_gra.kpz", pictures);
    std::filesystem::create_directories(config_ / "Software/Zorvel");
    WriteText(config_ / "Software/Zorvel/Test.ini", "[test]\n" + settings);
    session_ = std::make_unique<Session>(game_.Path(), config_.Path());
    return *session_;
  }
  // Looks in every `step` ms from 0 to `until` while the game runs.
  std::vector<Look> Watch(uint32_t until, uint32_t step) {
    std::vector<Look> looks;
    Session& s = *session_;
    const Surface scene = EveningScene();
    s.platform().SetDumpHandler([&](const std::string&) {
      Look l;
      l.ms = s.platform().Ticks();
      l.screenMode = s.state().screenMode;
      l.timeMark = s.engine().Rolls().TimeMark();
      const Surface& f = s.platform().LastFrame();
      for (int y = 200; y < 600; ++y) {
        const uint8_t* a = f.Row(y) + 600;
        const uint8_t* b = scene.Row(y) + 600;
        for (int i = 0; i < 1200; ++i) l.difference += std::abs(a[i] - b[i]);
      }
      l.corner = PixelAt(f, 10, 10);
      l.sroll = s.engine().Rolls().ScrollPosition();
      l.toolbarLocked = s.state().toolbarLocked;
      l.music = s.state().vars.S[3];  // the music asked for
      looks.push_back(l);
    });
    std::string events;
    for (uint32_t t = step; t <= until; t += step) events += std::to_string(t) + " dump -\n";
    s.Events(events);
    s.RunFor(until + 100);
    s.platform().SetDumpHandler({});
    return looks;
  }
  // Where the shown frame differs from the scene inside the default roll rectangle.
  static Box TextBox(const Surface& frame) {
    const Surface scene = EveningScene();
    Box b;
    for (int y = 200; y < 600; ++y) {
      for (int x = 200; x < 600; ++x) {
        const Rgb p = PixelAt(frame, x, y);
        const Rgb q = PixelAt(scene, x, y);
        if (std::abs(p[0] - q[0]) + std::abs(p[1] - q[1]) + std::abs(p[2] - q[2]) > 24) {
          b.left = std::min(b.left, x);
          b.right = std::max(b.right, x);
          b.top = std::min(b.top, y);
          b.bottom = std::max(b.bottom, y);
        }
      }
    }
    return b;
  }

  TempDir game_, config_;
  std::unique_ptr<Session> session_;
};

TEST_F(StaffRollTest, TextFadesInCentredStaysUntilTheMarkAndFadesOut) {
  Session& s = Play({{"main", "@gra A001 0\n@roll staff\n!V001=1\n@sleep -1\n"},
                     {"staff", "*RESET\n*MUSIC 3\nStaff\nRoll\n*PUT 1\n*WAIT 30\n*ERA 1\n"}});
  const std::vector<Look> looks = Watch(6000, 50);
  ASSERT_FALSE(looks.empty());
  // The mark RESET took, seen while the roll ran (WAIT moves it on when it ends).
  uint32_t mark = 0;
  for (const Look& l : looks) {
    if (l.screenMode == 3 && mark == 0) mark = l.timeMark;
  }
  ASSERT_NE(mark, 0u);
  int64_t full = 0;
  for (const Look& l : looks) {
    if (l.ms >= mark + 1000 && l.ms <= mark + 2950) full = std::max(full, l.difference);
  }
  ASSERT_GT(full, 0);
  int64_t last = 0;
  for (const Look& l : looks) {
    SCOPED_TRACE(std::to_string(l.ms) + " ms, " + std::to_string(l.ms - mark) + " after RESET");
    if (l.ms < mark) continue;
    if (l.ms < mark + 940) {
      EXPECT_EQ(l.screenMode, 3);
      EXPECT_EQ(l.music, 3);
      // Rising: every look shows more of the text than the one before.
      EXPECT_GE(l.difference, last);
      if (l.ms >= mark + 100) {
        EXPECT_LT(l.difference, full);
      }
      last = l.difference;
    } else if (l.ms >= mark + 1000 && l.ms < mark + 3000) {
      EXPECT_EQ(l.difference, full);
      EXPECT_EQ(l.screenMode, 3);
    } else if (l.ms >= mark + 3100 && l.ms < mark + 3900) {
      EXPECT_LT(l.difference, full);
      EXPECT_GT(l.difference, 0);
    } else if (l.ms >= mark + 4000) {
      EXPECT_EQ(l.difference, 0);
      EXPECT_EQ(l.screenMode, 0);
    }
  }
  EXPECT_EQ(s.state().vars.V[1], 1);
}

TEST_F(StaffRollTest, CenterSetsTheAlignmentOfTheNextBlocks) {
  struct Case {
    const char* centre;
    int align;
    bool vertical;
  };
  const Case cases[] = {{"", 1, true},
                        {"*CENTER\n", 0, false},
                        {"*CENTER XY\n", 1, true},
                        {"*CENTER r\n", 2, false},
                        {"@center y\n", 0, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("\"") + c.centre + "\"");
    Session& s =
        Play({{"main", "@gra A001 0\n@roll staff\n@sleep -1\n"},
              {"staff", std::string("*RESET\n") + c.centre + "AAAA\n*PUT 0\n*CENTER X\n"}});
    s.RunFor(1000);
    EXPECT_EQ(s.engine().Rolls().Alignment(), 1);  // the last CENTER X
    const Box b = TextBox(s.platform().LastFrame());
    ASSERT_GE(b.right, 0) << "no text on the screen";
    if (c.align == 0) {
      EXPECT_LE(b.left, 206);
    } else if (c.align == 1) {
      EXPECT_NEAR(b.left - 200, 600 - b.right, 5);
    } else {
      EXPECT_GE(b.right, 590);
    }
    if (c.vertical) {
      EXPECT_GT(b.top, 384);
      EXPECT_LT(b.bottom, 420);
    } else {
      EXPECT_LT(b.top, 235);
    }
    // The screen stays as the roll left it, and the roll is over.
    EXPECT_EQ(s.state().screenMode, 0);
  }
}

TEST_F(StaffRollTest, GraFadesInSixteenOrEightStepsOrAtOnce) {
  struct Case {
    const char* fade;
    uint32_t length;
  };
  for (const Case& c :
       {Case{"", 450}, Case{",1", 450}, Case{",2", 930}, Case{",0", 0}, Case{",7", 0}}) {
    SCOPED_TRACE(c.fade);
    Play({{"main", "@gra A001 0\n@roll staff\n@sleep -1\n"},
          {"staff", std::string("*RESET\n*GRA B001") + c.fade + "\n*WAIT 20\n"}});
    const std::vector<Look> looks = Watch(2500, 10);
    uint32_t mark = 0;
    for (const Look& l : looks) {
      if (l.screenMode == 3 && mark == 0) mark = l.timeMark;
    }
    ASSERT_NE(mark, 0u);
    const Rgb before = PixelAt(EveningScene(), 10, 10);
    // The roll's own looks start at its mark.
    const Rgb after = {20, 200, 60};
    bool between = false;
    for (const Look& l : looks) {
      if (l.ms >= mark + c.length + 20) {
        EXPECT_EQ(l.corner, after) << l.ms - mark;
      }
      if (l.ms >= mark + 20 && l.ms + 20 < mark + c.length) {
        between = true;
        EXPECT_NE(l.corner, before) << l.ms - mark;
        EXPECT_NE(l.corner, after) << l.ms - mark;
      }
    }
    EXPECT_EQ(between, c.length > 0);
  }
}

TEST_F(StaffRollTest, WinOutsideTheScreenIsCutOrRefusedAndLongBlocksAreBounded) {
  std::string block;
  for (int i = 0; i < 130; ++i) block += std::string(150, 'W') + "\n";
  Session& s = Play({{"main", "@gra A001 0\n@roll staff\n@sleep -1\n"},
                     {"staff", "*WIN 700,500,900,700\n*RESET\n" + block +
                                   "*PUT 1\n*WAIT 5\n*WIN 300,300,100,100\n*WIN 5\nX\n*PUT 0\n"}});
  s.RunFor(3000);
  const RollRect& r = s.engine().Rolls().Rect();
  EXPECT_EQ((std::array<int, 4>{r.x1, r.y1, r.x2, r.y2}), (std::array<int, 4>{700, 500, 800, 600}));
  EXPECT_EQ(s.state().screenMode, 0);
  // Nothing outside the rectangle changed.
  const Surface& f = s.platform().LastFrame();
  EXPECT_EQ(PixelAt(f, 699, 550), PixelAt(EveningScene(), 699, 550));
  EXPECT_EQ(PixelAt(f, 750, 499), PixelAt(EveningScene(), 750, 499));
}

// A platform whose message boxes take the player two seconds, and which notes what the roll was
// doing while one was up.
class SlowAnswers : public HeadlessPlatform {
 public:
  using HeadlessPlatform::HeadlessPlatform;
  MessageBoxAnswer ShowMessageBox(const std::string& text, const std::string& caption,
                                  MessageBoxKind kind) override {
    if (engine != nullptr) {
      pausedWhileAsked = engine->Rolls().Paused();
      modeWhileAsked = engine->State().screenMode;
    }
    Sleep(2000);
    return HeadlessPlatform::ShowMessageBox(text, caption, kind);
  }
  Engine* engine = nullptr;
  bool pausedWhileAsked = false;
  int modeWhileAsked = -1;
};

TEST(StaffRollQuit, TheQuitQuestionPausesARollAndAConfirmedQuitEndsIt) {
  for (const bool confirm : {false, true}) {
    SCOPED_TRACE(confirm ? "ok" : "cancel");
    TempDir game, config;
    WriteGame(game.Path(),
              {{"_config", kConfig},
               {"main", "@roll staff\n!V002=2\n@sleep -1\n"},
               {"staff", "*RESET\nA\n*PUT 0\n*WAIT 30\n*MUSIC 5\nB\n*PUT 0\n*WAIT 10\n"}});
    IniSettingsStore store(config.Path());
    SlowAnswers platform(store);
    EngineOptions options;
    options.gameDir = game.Path();
    Engine engine(platform, options);
    platform.engine = &engine;
    std::vector<TimedEvent> events;
    std::string error;
    ASSERT_TRUE(
        ParseEvents(std::string("1000 msgbox ") + (confirm ? "ok" : "cancel") + "\n1000 close\n",
                    events, error));
    platform.AddEvents(events);
    engine.Start();
    InputEvent event;
    while (!engine.Closed() && platform.Ticks() < 8000) {
      while (!engine.Closed() && platform.PollEvent(event)) engine.HandleEvent(event);
      if (engine.Closed()) break;
      engine.AppIdle();
    }
    ASSERT_EQ(engine.MessageBoxes().size(), 1u);
    EXPECT_TRUE(platform.pausedWhileAsked);
    EXPECT_EQ(platform.modeWhileAsked, 3);
    EXPECT_FALSE(engine.Rolls().Paused());
    EXPECT_EQ(engine.State().screenMode, 0);
    if (confirm) {
      // Nothing of the roll after the wait ran, nor the script after the roll.
      EXPECT_TRUE(engine.Closed());
      EXPECT_TRUE(engine.Rolls().Stopped());
      EXPECT_NE(engine.State().vars.S[3], 5);
      EXPECT_EQ(engine.State().vars.V[2], 0);
      EXPECT_LT(platform.Ticks(), 3200u);
    } else {
      // The roll went on to its end: the wait ran out while the question was up.
      EXPECT_FALSE(engine.Closed());
      EXPECT_EQ(engine.State().vars.S[3], 5);
      EXPECT_EQ(engine.State().vars.V[2], 2);
    }
  }
}

std::string Credits(int lines) {
  std::string text;
  for (int i = 0; i < lines; ++i) text += "Line " + std::to_string(i) + "\n";
  return text;
}

TEST_F(StaffRollTest, ScrollRollMovesAPixelEvery30MsAndAClickEndsItOnlyAfterAClear) {
  struct Case {
    bool cleared;
    bool click;
  };
  for (const Case c : {Case{false, false}, Case{false, true}, Case{true, true}}) {
    SCOPED_TRACE(std::string(c.cleared ? "E999 " : "") + (c.click ? "click" : ""));
    Session& s = Play({{"main", std::string(c.cleared ? "!E999=1\n" : "") +
                                    "@music 2\n@sroll\n!V003=3\n@sleep -1\n"},
                       {"sroll", Credits(40) + "}\nNot a credit\n"}});
    if (c.click) s.Events("3000 click 400 300\n");
    const std::vector<Look> looks = Watch(30000, 300);
    uint32_t start = 0;
    uint32_t end = 0;
    for (const Look& l : looks) {
      if (l.screenMode == 5 && start == 0) start = l.ms;
      if (l.screenMode == 5) end = l.ms;
    }
    ASSERT_NE(start, 0u);
    for (size_t i = 1; i < looks.size(); ++i) {
      const Look& a = looks[i - 1];
      const Look& b = looks[i];
      if (a.screenMode != 5 || b.screenMode != 5) continue;
      EXPECT_EQ(b.sroll - a.sroll, 10) << b.ms;
      EXPECT_TRUE(b.toolbarLocked);
    }
    // 40 lines scroll 40 × 24 − 240 = 720 rows: 21.6 s, unless a click ended it.
    if (c.cleared && c.click) {
      EXPECT_LT(end, 3300u);
    } else {
      EXPECT_GT(end, start + 20900);
      EXPECT_LT(end, start + 22000);
    }
    EXPECT_EQ(s.engine().Rolls().ScrollPosition(), 720);
    EXPECT_EQ(s.engine().Rolls().ScrollLines(), 40);
    EXPECT_EQ(s.state().screenMode, 0);
    EXPECT_FALSE(s.state().toolbarLocked);
    EXPECT_EQ(s.state().vars.S[3], 0);  // the music stopped at the end
    EXPECT_EQ(s.state().vars.V[3], 3);
    // The column shows the last lines at the last position; the rest of the screen is black.
    EXPECT_EQ(PixelAt(s.platform().LastFrame(), 100, 300), (Rgb{0, 0, 0}));
  }
}

std::vector<uint8_t> Decoded(const std::string& utf8) {
  std::vector<uint8_t> bytes = EncodeScript(utf8);
  for (uint8_t& b : bytes) b = static_cast<uint8_t>(0u - b);
  return bytes;
}

TEST(ScrollRollReader, ReadsToTheCloseOrToTheEndNeverPast) {
  std::vector<std::string> problems;
  const auto closed = ReadScrollRoll(Decoded("a\nb\n}\nc\n"), &problems);
  EXPECT_TRUE(closed.closed);
  EXPECT_EQ(closed.lines, (std::vector<std::string>{"a", "b"}));
  EXPECT_TRUE(problems.empty());
  std::vector<uint8_t> open = {'a', 0, 'b', 0};
  const auto unclosed = ReadScrollRoll(open, &problems);
  EXPECT_FALSE(unclosed.closed);
  EXPECT_EQ(unclosed.lines, (std::vector<std::string>{"a", "b"}));
  ASSERT_EQ(problems.size(), 1u);
  // A line over 100 bytes is cut at a character boundary.
  std::string wide;
  for (int i = 0; i < 60; ++i) wide += "\x82\xA0";  // あ
  std::vector<uint8_t> text(wide.begin(), wide.end());
  text.push_back(0);
  problems.clear();
  EXPECT_EQ(ReadScrollRoll(text, &problems).lines[0].size(), 100u);
}

TEST(EndRollReader, PeriodPicturesAndCredits) {
  std::vector<std::string> problems;
  const EndRollScript e =
      ReadEndRoll(Decoded("40\nPIC1,10\nPIC2,20\n*\nOne\n\nTwo\n*END\nThree\n"), &problems);
  EXPECT_EQ(e.period, 40);
  EXPECT_EQ(e.credits, (std::vector<std::string>{"One", "", "Two"}));
  EXPECT_TRUE(problems.empty());
  const EndRollScript zero = ReadEndRoll(Decoded("0\n*\nA\n"), &problems);
  EXPECT_EQ(zero.period, 1);
  EXPECT_EQ(problems.size(), 1u);
}

TEST(RollLineReader, CommandWordsAndTextLines) {
  struct Case {
    const char* line;
    bool command;
    const char* word;
    const char* argument;
  };
  for (const Case& c :
       {Case{"*PUT 1", true, "PUT", "1"}, Case{"@gra\tA,2", true, "GRA", "A,2"},
        Case{"*reset", true, "RESET", ""}, Case{"*ABCDEFGHIJKLM x", true, "ABCDEFGHIJ", "x"},
        Case{"Staff", false, "", ""}, Case{"", false, "", ""}}) {
    const RollLine l = ReadRollLine(c.line);
    EXPECT_EQ(l.command, c.command) << c.line;
    EXPECT_EQ(l.word, c.word) << c.line;
    EXPECT_EQ(std::string(l.argument), c.argument) << c.line;
  }
}

TEST_F(StaffRollTest, SpecialEffects) {
  // White flash: seven white frames, then the picture as it was.
  {
    Session& s = Play({{"main", "@gra A001 0\n@sleep 300\n@special 0\n@sleep -1\n"}});
    int white = 0;
    s.platform().SetPresentHook([&] {
      if (PixelAt(s.platform().LastFrame(), 400, 300) == Rgb{255, 255, 255}) ++white;
    });
    s.RunFor(1500);
    s.platform().SetPresentHook({});
    EXPECT_EQ(white, 7);
    EXPECT_EQ(PixelAt(s.platform().LastFrame(), 400, 300), PixelAt(EveningScene(), 400, 300));
  }
  // Shake: up, down, … ten times 20 pixels, then back.
  {
    Session& s = Play({{"main", "@sleep 600\n@special 1\n@sleep -1\n"}});
    s.RunFor(200);
    const auto before = s.platform().WindowPositions();
    s.RunFor(1500);
    const auto& after = s.platform().WindowPositions();
    ASSERT_EQ(after.size(), before.size() + 11);
    const auto [x, y] = before.back();
    for (size_t i = 0; i < 10; ++i) {
      EXPECT_EQ(after[before.size() + i], std::make_pair(x, y + (i % 2 == 0 ? -20 : 20))) << i;
    }
    EXPECT_EQ(after.back(), before.back());
  }
  // In full screen the picture shakes inside the screen and the desktop stays.
  {
    Session& s = Play({{"main", "@sleep 600\n@special 1\n@sleep -1\n"}});
    s.platform().SetFullScreen(true);
    s.RunFor(200);
    const size_t windowMoves = s.platform().WindowPositions().size();
    s.RunFor(1500);
    EXPECT_EQ(s.platform().WindowPositions().size(), windowMoves);
    const auto& offsets = s.platform().PictureOffsets();
    ASSERT_EQ(offsets.size(), 11u);
    for (size_t i = 0; i < 10; ++i) {
      EXPECT_EQ(offsets[i], std::make_pair(0, i % 2 == 0 ? -20 : 20)) << i;
    }
    EXPECT_EQ(offsets.back(), std::make_pair(0, 0));
  }
  // Dimmed bars: rows above 100 and from 500 on at half, the middle untouched.
  {
    Session& s = Play({{"main", "@gra A001 0\n@special 2,100,500,8\n@sleep -1\n"}});
    s.RunFor(1000);
    const Surface scene = EveningScene();
    for (int y : {0, 99, 100, 499, 500, 599}) {
      const Rgb want = PixelAt(scene, 300, y);
      const bool dim = y < 100 || y >= 500;
      const Rgb got = PixelAt(s.platform().LastFrame(), 300, y);
      for (int i = 0; i < 3; ++i) EXPECT_EQ(got[i], dim ? want[i] * 8 / 16 : want[i]) << y;
    }
  }
  // Sepia: every pixel a grey's brown.
  {
    Session& s = Play({{"main", "@gra A001 0\n@special 3\n@sleep -1\n"}});
    s.RunFor(2000);
    const Rgb p = PixelAt(s.platform().LastFrame(), 400, 100);
    const Rgb q = PixelAt(EveningScene(), 400, 100);
    const int a = (q[0] + q[1] + q[2]) / 3;
    EXPECT_EQ(p, (Rgb{static_cast<uint8_t>(a), static_cast<uint8_t>(6 * a / 8),
                      static_cast<uint8_t>(a / 4)}));
  }
  // Skipping with EFX_CUT on: no effect at all.
  {
    Session& s =
        Play({{"main", "@gra A001 0\n@sleep 600\n@special 2,300,300,0\n!V005=5\n@sleep -1\n"}},
             "EFX_CUT=1\n");
    s.RunFor(200);
    s.state().skipMode = 1;
    s.RunFor(1000);
    EXPECT_EQ(s.state().vars.V[5], 5);
    EXPECT_EQ(PixelAt(s.platform().LastFrame(), 300, 10), PixelAt(EveningScene(), 300, 10));
  }
}

TEST_F(StaffRollTest, CompletionRateCountsTheFlagsOfItsTable) {
  struct Case {
    std::string flags;
    int percent;
  };
  std::string all;
  for (const auto& [a, b] : std::vector<std::pair<int, int>>{
           {1, 38}, {101, 131}, {201, 250}, {301, 337}, {401, 444}, {501, 521}, {601, 607}}) {
    for (int f = a; f <= b; ++f) all += "!E" + std::to_string(1000 + f).substr(1) + "=1\n";
  }
  std::vector<Box> boxes;
  for (const Case& c : {Case{"", 0}, Case{"!E039=1\n!E100=1\n!E608=1\n", 0}, Case{all, 100}}) {
    Session& s = Play({{"main", c.flags + "@special 6\n@sleep -1\n"}});
    s.RunFor(500);
    EXPECT_EQ(CountCompletionFlags(s.state().vars.E) * 100 / 228, c.percent);
    Box b;
    const Surface& f = s.platform().LastFrame();
    for (int y = 0; y < 60; ++y) {
      for (int x = 400; x < 600; ++x) {
        if (PixelAt(f, x, y)[0] > 128) {
          b.left = std::min(b.left, x);
          b.right = std::max(b.right, x);
          b.top = std::min(b.top, y);
          b.bottom = std::max(b.bottom, y);
        }
      }
    }
    ASSERT_GE(b.right, 0);
    EXPECT_LE(b.right, 570);
    EXPECT_GE(b.right, 560);
    EXPECT_GE(b.top, 12);
    EXPECT_LE(b.bottom, 44);
    boxes.push_back(b);
  }
  // "100" reaches two digits further left than "0" standing alone.
  EXPECT_LT(boxes[2].left, boxes[0].left - 20);
}

TEST_F(StaffRollTest, EndRollBandsFadeTheCreditsAndTheBackgroundShowsFirst) {
  std::string credits;
  for (int i = 0; i < 6; ++i) credits += "■■■■■■■■■■■■\n";
  Session& s = Play({{"main", "@gra A001 0\n@special 5\n!V004=4\n@sleep -1\n"},
                     {"endroll", "10\nPIC,3\n*\n" + credits + "*\n"}});
  int looked = 0;
  int banded = 0;
  int bright = 0;
  const Surface scene = EveningScene();
  s.platform().SetDumpHandler([&](const std::string&) {
    if (s.state().vars.V[4] == 4) return;
    ++looked;
    const Surface& f = s.platform().LastFrame();
    for (int y = 0; y < 600; ++y) {
      const uint8_t grey = y < 128 ? 2 * y : (y >= 352 && y < 480) ? 2 * (479 - y) : 255;
      for (int x = 544; x < 800; ++x) {
        const Rgb p = PixelAt(f, x, y);
        ASSERT_TRUE(p == (Rgb{0, 0, 0}) || p == (Rgb{grey, grey, grey}))
            << x << "," << y << " at row " << s.engine().Rolls().EndRollPosition();
        if (p[0] != 0 && grey != 255) ++banded;
        if (p[0] == 255) ++bright;
      }
    }
    EXPECT_EQ(PixelAt(f, 300, 300), PixelAt(scene, 300, 300));
  });
  std::string events;
  for (int t = 100; t < 4000; t += 97) events += std::to_string(t) + " dump -\n";
  s.Events(events);
  s.RunFor(5000);
  EXPECT_GT(looked, 20);
  EXPECT_GT(banded, 0);
  EXPECT_GT(bright, 0);
  EXPECT_EQ(s.state().vars.V[4], 4);
  // 6 lines: (6 × 32 + 600) / 2 = 396 frames of 10 ms.
  EXPECT_GE(s.platform().Ticks(), 3960u);
}

}  // namespace
}  // namespace zorvel::test
