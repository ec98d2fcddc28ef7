// The quick-button bar, the yes/no question band and the return to the title, played through
// fixture games: which buttons light under the pointer as S000, replays, choices, `Seen` and
// the page rewind allow, every button's action, the function keys' choice of button, the
// auto-speed meter, the band's answers by the area of each answer and by the mouse button,
// the title return from a waiting choice, the settings read back after the dialog, and
// golden pictures of the band and of the bar.
#include "ui/quick_bar.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>

#include "core/variable_banks.h"
#include "fixture.h"
#include "text/sjis.h"

namespace zorvel::test {
namespace {

// The window covers the bottom of the screen, so the bar lies on it.
constexpr char kConfig[] =
    "MAKER_REG:Software\\Zorvel\\Test\nGAME_ID:test\n"
    "MOJI_MAX_X:40\nMOJI_MAX_Y:4\nTX_PITCH_X:12\nTX_PITCH_Y:30\nTXW_OFS_X:0\nTXW_OFS_Y:420\n"
    "TX_OFS_X:30\nTX_OFS_Y:20\nTXW_SIZE_X:800\nTXW_SIZE_Y:180\nNP_OFS_X:30\nNP_OFS_Y:424\n"
    "TXW_COLOR_B:96\nTXW_ALPHA:170\nTXW_ALPHA2:120\nNP_SZ_X:200\nNP_SZ_Y:32\n";

using Rgb = std::array<uint8_t, 3>;
constexpr Rgb kUnlit = kBarUnlit;
constexpr Rgb kLit = kBarLit;
constexpr Rgb kMeterFull = {60, 220, 90};
constexpr Rgb kMeterEmpty = {70, 70, 70};

Surface MeterPicture() {
  Surface s(80, 16);
  s.FillRect(0, 0, 80, 8, kMeterFull[0], kMeterFull[1], kMeterFull[2]);
  s.FillRect(0, 8, 80, 8, kMeterEmpty[0], kMeterEmpty[1], kMeterEmpty[2]);
  return s;
}

// Saving and loading allowed, the window open on a page that waits for a click.
constexpr char kPage[] = "!S000=0\n!S028=1\n@gra A001\nあいう▼\n@sleep -1\n";

class QuickBarTest : public ::testing::Test {
 protected:
  Session& Play(const std::string& main, const std::string& settings = "Seen=0\n",
                uint32_t ms = 1500) {
    WriteGame(game_.Path(),
              {{"main", main}, {"_config", kConfig}, {"STITLE", "!V010=77\n@sleep -1\n"}});
    WritePictures(game_ / "vx_gra.kpz", {{"sys_qbtn", QuickButtonPicture()},
                                         {"AUTO_BAR", MeterPicture()},
                                         {"A001", EveningScene()}});
    std::filesystem::create_directories(config_ / "Software/Zorvel");
    WriteText(Ini(), "[test]\n" + settings);
    session_ = std::make_unique<Session>(game_.Path(), config_.Path());
    session_->RunFor(ms);
    return *session_;
  }
  std::string Ini() const { return config_ / "Software/Zorvel/Test.ini"; }
  // Events in the events-file format without times: each happens after the one before.
  void Do(std::initializer_list<std::string> events, uint32_t ms = 100) {
    session_->Do(events, ms);
  }
  // The title question from the tool bar's 終了 menu (its first item). The menu runs its own
  // loop until answered, so its click is queued with the one that opens it.
  void AskTitle() {
    const uint32_t now = session_->platform().Ticks();
    session_->Events(std::to_string(now + 50) + " click 30 -12\n" + std::to_string(now + 250) +
                     " click 60 10\n");
    session_->RunFor(400);
  }
  static std::string At(int button) {
    return std::to_string(QuickBar::kButtonX[button] + 32) + " 588";
  }
  const QuickBar& Bar() { return session_->engine().Bar(); }
  int32_t& S(int n) { return session_->state().vars.S[static_cast<size_t>(n)]; }
  Rgb Shown(int x, int y) { return PixelAt(session_->platform().LastFrame(), x, y); }
  static bool Near(Rgb a, Rgb b) {
    for (int i = 0; i < 3; ++i) {
      if (std::abs(a[i] - b[i]) > 3) return false;
    }
    return true;
  }

  TempDir game_, config_;
  std::unique_ptr<Session> session_;
};

TEST_F(QuickBarTest, OnlyTheButtonsTheGameAllowsLightUnderThePointer) {
  struct Case {
    const char* name;
    const char* settings;
    std::function<void(EngineState&)> setup;
    std::vector<int> lit;  // the buttons that take the pointer
  };
  const auto autoOn = [](EngineState& s) { s.vars.S[kAutoLevel] = 5; };
  const Case cases[] = {
      {"everything allowed", "Seen=0\n", autoOn, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}},
      {"auto off: no speed buttons",
       "Seen=0\n",
       [](EngineState&) {},
       {1, 2, 3, 4, 5, 6, 7, 8, 11, 12}},
      {"S000 1: saving only",
       "Seen=0\n",
       [&](EngineState& s) {
         autoOn(s);
         s.vars.S[kSavePermission] = 1;
       },
       {1, 2, 3, 4, 6, 7, 8, 9, 10, 11}},
      {"S000 2: neither",
       "Seen=0\n",
       [&](EngineState& s) {
         autoOn(s);
         s.vars.S[kSavePermission] = 2;
       },
       {1, 2, 3, 6, 7, 8, 9, 10}},
      {"a scene replay",
       "Seen=0\n",
       [&](EngineState& s) {
         autoOn(s);
         s.replayOrigin = 2;
       },
       {1, 2, 3, 6, 7, 8, 9, 10}},
      {"unread text with Seen on",
       "Seen=1\n",
       [&](EngineState& s) {
         autoOn(s);
         s.lastMarkRead = false;
       },
       {2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}},
      {"read text with Seen on",
       "Seen=1\n",
       [&](EngineState& s) {
         autoOn(s);
         s.lastMarkRead = true;
       },
       {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}},
      {"a choice waits",
       "Seen=0\n",
       [&](EngineState& s) {
         autoOn(s);
         s.interactionMode = 1;
       },
       {1, 2, 3, 4, 5, 7, 8, 9, 10, 11, 12}},
      {"the page rewind",
       "Seen=0\n",
       [&](EngineState& s) {
         autoOn(s);
         s.screenMode = 9;
       },
       {1, 7}},
      {"no message window",
       "Seen=0\n",
       [&](EngineState& s) {
         autoOn(s);
         s.textWindowOn = false;
       },
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Session& s = Play(kPage, c.settings);
    c.setup(s.state());
    std::vector<int> lit;
    for (int b = 1; b <= QuickBar::kButtonCount; ++b) {
      Do({"move " + At(b)}, 60);
      if (Bar().HoverButton() == b) lit.push_back(b);
      if (Bar().HoverButton() != 0) {
        EXPECT_NE(S(59 + b), 0) << b;
      }
    }
    EXPECT_EQ(lit, c.lit);
    // Off the bar no button is hovered.
    Do({"move 400 300"}, 60);
    EXPECT_EQ(Bar().HoverButton(), 0);
  }
}

TEST_F(QuickBarTest, EachButtonActsAndTakesTheClick) {
  struct Case {
    const char* name;
    int button;
    std::function<void(EngineState&)> setup;
    std::function<void(Session&, const QuickBar&)> check;
  };
  const Case cases[] = {
      {"skip on", 1, [](EngineState&) {},
       [](Session& s, const QuickBar&) {
         EXPECT_EQ(s.state().skipMode, 1);
         EXPECT_EQ(s.state().vars.S[kSkipLamp], 2);
       }},
      {"auto on at 6 when the last level is out of range", 2,
       [](EngineState& s) { s.vars.S[kLastAutoLevel] = 0; },
       [](Session& s, const QuickBar&) {
         EXPECT_EQ(s.state().vars.S[kAutoLevel], 6);
         EXPECT_EQ(s.state().vars.S[kAutoLamp], 2);
       }},
      {"auto off keeps the level", 2, [](EngineState& s) { s.vars.S[kAutoLevel] = 3; },
       [](Session& s, const QuickBar&) {
         EXPECT_EQ(s.state().vars.S[kAutoLevel], 0);
         EXPECT_EQ(s.state().vars.S[kLastAutoLevel], 3);
         EXPECT_EQ(s.state().vars.S[kAutoLamp], 0);
       }},
      {"hide the window, auto off", 3, [](EngineState& s) { s.vars.S[kAutoLevel] = 3; },
       [](Session& s, const QuickBar&) {
         EXPECT_EQ(s.state().screenMode, 1);
         EXPECT_EQ(s.state().vars.S[kAutoLevel], 0);
         EXPECT_EQ(s.state().vars.S[62], 0);
       }},
      {"quick save", 4, [](EngineState&) {},
       [](Session& s, const QuickBar&) { EXPECT_EQ(s.state().vars.S[63], 0); }},
      {"quick load asks first", 5, [](EngineState&) {},
       [](Session& s, const QuickBar&) {
         EXPECT_EQ(s.state().questionKind, QuickBar::kAskQuickLoad);
         EXPECT_TRUE(s.state().toolbarLocked);
       }},
      {"backlog, auto off", 6, [](EngineState& s) { s.vars.S[kAutoLevel] = 3; },
       [](Session& s, const QuickBar&) {
         EXPECT_TRUE(s.state().backlogOpen);
         EXPECT_EQ(s.state().vars.S[kAutoLevel], 0);
         EXPECT_EQ(s.state().vars.S[65], 0);
       }},
      {"voice replay", 7, [](EngineState& s) { std::strcpy(s.lastVoice, "V0123"); },
       [](Session&, const QuickBar& bar) { EXPECT_EQ(bar.LastSound(), "V0123"); }},
      {"slower", 9, [](EngineState& s) { s.vars.S[kAutoLevel] = 5; },
       [](Session& s, const QuickBar&) { EXPECT_EQ(s.state().vars.S[kAutoLevel], 6); }},
      {"slower stops at 10", 9, [](EngineState& s) { s.vars.S[kAutoLevel] = 10; },
       [](Session& s, const QuickBar&) { EXPECT_EQ(s.state().vars.S[kAutoLevel], 10); }},
      {"faster", 10, [](EngineState& s) { s.vars.S[kAutoLevel] = 5; },
       [](Session& s, const QuickBar&) { EXPECT_EQ(s.state().vars.S[kAutoLevel], 4); }},
      {"faster stops at 1", 10, [](EngineState& s) { s.vars.S[kAutoLevel] = 1; },
       [](Session& s, const QuickBar&) { EXPECT_EQ(s.state().vars.S[kAutoLevel], 1); }},
      {"faster brings a script's level into range", 10,
       [](EngineState& s) { s.vars.S[kAutoLevel] = 15; },
       [](Session& s, const QuickBar&) { EXPECT_EQ(s.state().vars.S[kAutoLevel], 10); }},
      {"save list", 11, [](EngineState&) {},
       [](Session& s, const QuickBar& bar) {
         EXPECT_EQ(bar.LastSound(), "SSE05");
         EXPECT_EQ(s.state().vars.S[70], 0);
       }},
      {"load list", 12, [](EngineState&) {},
       [](Session&, const QuickBar& bar) { EXPECT_EQ(bar.LastSound(), "SSE06"); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Session& s = Play(kPage);
    c.setup(s.state());
    // Auto mode, where a case runs it, must not turn the page by itself meanwhile.
    s.state().autoWait = 100;
    Do({"move " + At(c.button), "click " + At(c.button)}, 200);
    c.check(s, Bar());
    // The press was the button's: the page still waits (skipping passes it by itself).
    if (c.button != QuickBar::kSkip) {
      EXPECT_NE(s.state().waitKind, 0);
    }
    if (c.button <= QuickBar::kVoice) {
      EXPECT_EQ(Bar().HoverButton(), 0);
    }
  }
}

TEST_F(QuickBarTest, ExcludedButtonsDoNotTakeTheClick) {
  struct Case {
    const char* name;
    const char* settings;
    int button;
    std::function<void(EngineState&)> setup;
  };
  const Case cases[] = {
      {"skip over unread text", "Seen=1\n", 1, [](EngineState& s) { s.lastMarkRead = false; }},
      {"quick load with S000 1", "Seen=0\n", 5,
       [](EngineState& s) { s.vars.S[kSavePermission] = 1; }},
      {"save list in a replay", "Seen=0\n", 11, [](EngineState& s) { s.replayOrigin = 1; }},
      {"slower with auto off", "Seen=0\n", 9, [](EngineState&) {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Session& s = Play(kPage, c.settings);
    c.setup(s.state());
    Do({"move " + At(c.button), "click " + At(c.button)}, 200);
    // The click went on to the page.
    EXPECT_EQ(s.state().waitKind, 0);
    EXPECT_EQ(s.state().skipMode, 0);
    EXPECT_EQ(s.state().questionKind, 0);
    EXPECT_EQ(Bar().LastSound(), "");
  }
  // S028 0: the hidden window and the backlog refuse, though the buttons light.
  Session& s = Play("!S000=0\n!S028=0\n@gra A001\nあいう▼\n@sleep -1\n");
  Do({"move " + At(3), "click " + At(3), "move " + At(6), "click " + At(6)}, 200);
  EXPECT_EQ(s.state().screenMode, 0);
  EXPECT_FALSE(s.state().backlogOpen);
}

TEST_F(QuickBarTest, FunctionKeysPressTheBarsButtons) {
  Session& s = Play(kPage, "Seen=1\nRC_MODE=2\n");
  // F5 is the skip button, by the keys' own rules: over unread text, where the bar's button
  // does not react, it still stops a skip the right click started, and starts one.
  s.state().lastMarkRead = false;
  Do({"click 400 300 right"});
  ASSERT_EQ(s.state().skipMode, 1);
  Do({"key F5"});
  EXPECT_EQ(s.state().skipMode, 0);
  EXPECT_EQ(S(kSkipLamp), 0);
  Do({"key F5"});
  EXPECT_EQ(s.state().skipMode, 1);
  Do({"key F5"});
  EXPECT_EQ(s.state().skipMode, 0);
  // F7 auto, F8 slower, F6 faster, all within 1 to 10.
  S(kLastAutoLevel) = 9;
  Do({"key F7", "key F8", "key F8", "key F8"});
  EXPECT_EQ(S(kAutoLevel), 10);
  Do({"key F6"});
  EXPECT_EQ(S(kAutoLevel), 9);
  Do({"key F7", "key F6"});
  EXPECT_EQ(S(kAutoLevel), 0);
  EXPECT_EQ(S(kLastAutoLevel), 9);
  // F12 saves and F3 lists saves with S000 1, as the bar does.
  S(kSavePermission) = 1;
  Do({"key F3"});
  EXPECT_EQ(Bar().LastSound(), "SSE05");
  Do({"key F2"});
  EXPECT_EQ(Bar().LastSound(), "SSE05");
}

TEST_F(QuickBarTest, FunctionKeysActWhileAChoiceWaits) {
  // F4 opens the backlog at a novel-mode choice, though the bar's button 6 takes no pointer
  // there.
  Session& s = Play(
      "!S000=0\n!S028=1\n!S150=1\n@gra A001\nあ▼\n@select\n{Go north\n!V001=1\n}\n@sleep -1\n");
  Do({"click 400 300"}, 1500);
  ASSERT_EQ(s.state().interactionMode, 2);
  Do({"key F4"});
  EXPECT_TRUE(s.state().backlogOpen);
  Do({"click 400 300 right"});
  EXPECT_FALSE(s.state().backlogOpen);
  EXPECT_EQ(s.state().interactionMode, 2);
}

TEST_F(QuickBarTest, TheBarActsAfterAChoiceHadTheClick) {
  // A window-mode choice waits; the pointer is off the list, so the list takes nothing and
  // the bar acts on the button under the pointer, even right after a press on a button it
  // excludes there (that press still guards the list against a double click).
  const std::string main =
      "!S000=0\n!S028=1\n@gra A001\nあ▼\n@select\n{Go north\n!V001=1\n"
      "{Go south\n!V001=2\n}\n@sleep -1\n";
  for (const bool backlogFirst : {false, true}) {
    SCOPED_TRACE(backlogFirst ? "after button 6" : "button 2 alone");
    Session& s = Play(main);
    Do({"click 400 300"}, 1500);
    ASSERT_EQ(s.state().interactionMode, 1);
    if (backlogFirst) {
      Do({"move " + At(6), "click " + At(6)}, 30);
      EXPECT_FALSE(s.state().backlogOpen);
      Do({"move 300 200", "click 300 200"}, 30);  // on "Go north", guarded
      ASSERT_EQ(s.state().interactionMode, 1);
    }
    Do({"move " + At(2), "click " + At(2)}, 30);
    EXPECT_NE(S(kAutoLevel), 0);
    EXPECT_EQ(S(kAutoLamp), 2);
    EXPECT_EQ(s.state().interactionMode, 1);
    EXPECT_EQ(s.state().vars.V[1], 0);
  }
}

TEST_F(QuickBarTest, MeterShowsTheAutoLevel) {
  Play(kPage);
  struct Case {
    int level;
    int fullColumns;
  };
  for (const Case c : {Case{1, 80}, Case{5, 48}, Case{10, 8}}) {
    SCOPED_TRACE(c.level);
    S(kAutoLevel) = c.level;
    Do({"move " + At(1), "move 400 300"}, 60);
    for (int x = 0; x < 80; ++x) {
      const Rgb want = x < c.fullColumns ? kMeterFull : kMeterEmpty;
      ASSERT_TRUE(Near(Shown(QuickBar::kMeterX + x, 576 + QuickBar::kMeterY + 3), want)) << x;
    }
    EXPECT_EQ(S(kAutoLamp), 2);
  }
  // Auto off: the meter goes and the auto lamp with it.
  Do({"click " + At(2), "move 400 300"}, 60);
  EXPECT_EQ(S(kAutoLevel), 0);
  EXPECT_EQ(S(kAutoLamp), 0);
  EXPECT_FALSE(Near(Shown(QuickBar::kMeterX + 4, 576 + QuickBar::kMeterY + 3), kMeterFull));
}

TEST_F(QuickBarTest, TheBarFollowsTheWindow) {
  Session& s = Play(kPage);
  const int x = QuickBar::kButtonX[3] + 30;
  EXPECT_TRUE(Near(Shown(x, 590), kUnlit));
  Do({"move " + At(3)});
  EXPECT_TRUE(Near(Shown(x, 590), kLit));
  // The timer puts the light out once the pointer has left the bar unseen by the hover (no
  // hover while skipping).
  s.state().skipMode = 1;
  Do({"move 400 300"}, 200);
  EXPECT_EQ(Bar().HoverButton(), 0);
  EXPECT_TRUE(Near(Shown(x, 590), kUnlit));
  s.state().skipMode = 0;
  // Hidden: the scene without the bar, and nothing there takes the pointer.
  Do({"key W"}, 200);
  ASSERT_EQ(s.state().screenMode, 1);
  EXPECT_FALSE(Near(Shown(x, 590), kUnlit));
  Do({"click 400 300"}, 200);
  EXPECT_TRUE(Near(Shown(x, 590), kUnlit));
}

TEST_F(QuickBarTest, GoldenBarWithMeterAndAHoveredButton) {
  Session& s = Play(kPage);
  S(kAutoLevel) = 4;
  s.state().autoWait = 100;  // the page stays while the picture is taken
  Do({"move " + At(6)});
  ASSERT_EQ(Bar().HoverButton(), 6);
  ExpectGolden(s.platform().LastFrame(), "quickbar_meter_hover", 2);
}

TEST_F(QuickBarTest, QuestionAnswersByAreaAndButton) {
  struct Case {
    const char* name;
    std::vector<std::string> events;
    bool loaded;  // answered yes: the title's script runs
  };
  const Case cases[] = {
      {"yes by a click on はい", {"click 330 210"}, true},
      {"yes at the area's corners", {"click 300 194"}, true},
      {"yes at the far corner", {"click 369 223"}, true},
      {"no beside はい", {"click 370 210"}, false},
      {"no below はい", {"click 330 224"}, false},
      {"no on いいえ", {"click 420 210"}, false},
      {"a right click over はい says no", {"move 330 210", "click 330 210 right"}, false},
      {"a move away takes the highlight back",
       {"move 330 210", "move 330 300", "click 330 300"},
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Session& s = Play(kPage);
    AskTitle();
    ASSERT_EQ(s.state().questionKind, QuickBar::kAskTitle);
    EXPECT_TRUE(s.state().toolbarLocked);
    // Keys do not answer.
    Do({"key Enter", "key Z"});
    ASSERT_EQ(s.state().questionKind, QuickBar::kAskTitle);
    for (const std::string& e : c.events) Do({e}, 300);
    EXPECT_EQ(s.state().questionKind, 0);
    EXPECT_FALSE(s.state().toolbarLocked);
    EXPECT_EQ(s.state().vars.V[10], c.loaded ? 77 : 0);
    EXPECT_EQ(std::string(s.state().scriptName), c.loaded ? "STITLE" : "main");
    if (!c.loaded) {
      // The screen under the band is back.
      EXPECT_TRUE(Near(Shown(10, 200), PixelAt(s.engine().Surfaces().sceneSurface, 10, 200)));
    }
  }
}

TEST_F(QuickBarTest, TitleReturnFromAWaitingChoice) {
  Session& s = Play(
      "!S000=0\n!S028=1\n@gra A001\nあ▼\n@select\n{Go north\n!V001=1\n"
      "{Go south\n!V001=2\n}\n@sleep -1\n");
  Do({"click 400 300"}, 1500);
  ASSERT_EQ(s.state().interactionMode, 1);
  AskTitle();
  ASSERT_EQ(s.state().questionKind, QuickBar::kAskTitle);
  Do({"click 330 210"}, 1500);
  EXPECT_EQ(s.state().interactionMode, 0);
  EXPECT_EQ(s.state().questionKind, 0);
  EXPECT_EQ(s.state().callDepth, 0);
  EXPECT_EQ(std::string(s.state().scriptName), "STITLE");
  EXPECT_EQ(s.state().vars.V[10], 77);
  EXPECT_EQ(s.state().vars.V[1], 0);
  EXPECT_FALSE(s.state().textWindowOn);
  // Neither the list nor the window is left on the screen.
  const Surface& scene = s.engine().Surfaces().sceneSurface;
  for (const auto& [x, y] : {std::pair{250, 200}, std::pair{250, 250}, std::pair{100, 590}}) {
    EXPECT_TRUE(Near(Shown(x, y), PixelAt(scene, x, y))) << x << "," << y;
  }
}

TEST_F(QuickBarTest, SpecialClickReturnsToTheTitle) {
  Session& s = Play("!S000=0\n!S028=1\n@gra A001\n!S056=56\nあ▼\n@sleep -1\n");
  Do({"click 400 300 right"}, 300);
  EXPECT_EQ(std::string(s.state().scriptName), "main");
  Do({"click 400 300"}, 1500);
  EXPECT_EQ(std::string(s.state().scriptName), "STITLE");
  EXPECT_EQ(s.state().vars.V[10], 77);
  EXPECT_EQ(S(kSpecialClick), 0);
  EXPECT_EQ(S(kRecording), 1);
}

TEST_F(QuickBarTest, AClickDuringTheTitleReturnOnlyHurriesItsFade) {
  Session& s = Play("!S000=0\n!S028=1\n@gra A001\n!S056=56\nあ▼\n@sleep -1\n");
  ASSERT_TRUE(s.state().textWindowOn);
  struct Seen {
    bool animating;
    std::string script;
  };
  std::vector<Seen> seen;
  s.platform().SetDumpHandler([&](const std::string&) {
    seen.push_back({s.state().animating, s.state().scriptName});
  });
  // The first click starts the return, whose window closes in a fade of about 320 ms; the
  // second comes in the middle of it and ends it, so the title is there at once.
  const uint32_t now = s.platform().Ticks();
  s.Events(std::to_string(now + 10) + " click 400 300\n" + std::to_string(now + 110) +
           " click 400 300\n" + std::to_string(now + 140) + " dump probe\n");
  s.RunFor(800);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_FALSE(seen[0].animating);
  EXPECT_EQ(seen[0].script, "STITLE");
  EXPECT_EQ(s.state().vars.V[10], 77);
  EXPECT_EQ(S(kSpecialClick), 0);
  EXPECT_FALSE(s.state().textWindowOn);
}

TEST_F(QuickBarTest, QuickLoadQuestionGolden) {
  Session& s = Play(kPage);
  Do({"move " + At(5), "click " + At(5)}, 200);
  ASSERT_EQ(s.state().questionKind, QuickBar::kAskQuickLoad);
  Do({"move 330 210"});
  EXPECT_EQ(Bar().Answer(), 1);
  ExpectGolden(s.platform().LastFrame(), "question_quickload_yes", 2);
  // Yes on the quick load leaves the game here (no slot to load) with the band gone.
  Do({"click 330 210"}, 300);
  EXPECT_EQ(s.state().questionKind, 0);
  EXPECT_EQ(std::string(s.state().scriptName), "main");
}

TEST_F(QuickBarTest, SettingsButtonReadsTheStoredSettings) {
  Session& s = Play(kPage, "Seen=0\nDelay=0\n");
  ASSERT_EQ(s.engine().CurrentSettings().Delay, 0);
  // The dialog writes the store; the bar's settings button takes the values in.
  WriteText(Ini(), "[test]\nSeen=0\nDelay=1\nGMode=1\n");
  Do({"move " + At(8), "click " + At(8)}, 200);
  EXPECT_EQ(s.engine().CurrentSettings().Delay, 1);
  EXPECT_EQ(s.engine().CurrentSettings().GMode, 1);
  EXPECT_FALSE(s.state().busy);
  EXPECT_NE(s.state().waitKind, 0);
}

}  // namespace
}  // namespace zorvel::test
