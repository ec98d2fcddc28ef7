// The player's input routed by the engine's modes: mouse presses, keys, skip and auto mode,
// read marks, the tool bar's enable rules, full screen and the controller, played headless.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>

#include "core/variable_banks.h"
#include "fixture.h"
#include "platform/png_reader.h"

namespace zorvel::test {
namespace {

// What the window shows once the pass that handled an event has ended: events handed straight
// to the engine here are not followed by the loop's flush.
const Surface& Shown(Session& s) {
  s.platform().Flush();
  return s.platform().LastFrame();
}

constexpr char kConfig[] =
    "MAKER_REG:Software\\Zorvel\\Test\nGAME_ID:test\n"
    "MOJI_MAX_X:52\nMOJI_MAX_Y:4\nTX_PITCH_X:13\nTX_PITCH_Y:30\n";

class Input : public ::testing::Test {
 protected:
  // A game with `main`, played with the given settings ("RC_MODE=1\n" lines).
  Session& Start(const std::string& main, const std::string& settings = "") {
    WriteGame(game_.Path(), {{"main", main}, {"_config", kConfig}});
    // The bar's picture: without it the bar is never drawn, and its lamps never tested.
    WritePictures(game_ / "vx_gra.kpz", {{"sys_qbtn", QuickButtonPicture()}});
    std::filesystem::create_directories(config_ / "Software/Zorvel");
    WriteText(config_ / "Software/Zorvel/Test.ini", "[test]\n" + settings);
    session_ = std::make_unique<Session>(game_.Path(), config_.Path());
    return *session_;
  }
  static InputEvent Press(MouseButton button, int x = 400, int y = 300) {
    InputEvent e;
    e.kind = InputEvent::Kind::kMouseDown;
    e.button = button;
    e.x = x;
    e.y = y;
    return e;
  }
  static InputEvent KeyDown(Key key, char ch = 0) {
    InputEvent e;
    e.kind = InputEvent::Kind::kKeyDown;
    e.key = key;
    e.ch = ch;
    return e;
  }
  static InputEvent KeyUp(Key key) {
    InputEvent e = KeyDown(key);
    e.kind = InputEvent::Kind::kKeyUp;
    return e;
  }
  static InputEvent Char(char ch) {
    InputEvent e;
    e.kind = InputEvent::Kind::kKeyChar;
    e.ch = ch;
    return e;
  }
  TempDir game_, config_;
  std::unique_ptr<Session> session_;
};

// One press in a prepared state and what it must leave behind.
struct PressCase {
  const char* name;
  std::function<void(EngineState&)> setup;
  InputEvent press;
  std::function<void(const EngineState&)> check;
  // Quick buttons and how the frame shows them afterwards.
  std::vector<std::pair<int, std::string>> lamps = {};
};

TEST_F(Input, MousePressRoutingFollowsTheModes) {
  auto left = [](int x = 400, int y = 300) {
    InputEvent e;
    e.kind = InputEvent::Kind::kMouseDown;
    e.x = x;
    e.y = y;
    return e;
  };
  InputEvent right = left();
  right.button = MouseButton::kRight;
  InputEvent middle = left();
  middle.button = MouseButton::kMiddle;
  const std::vector<PressCase> cases = {
      {"special 56 ignores the right button", [](EngineState& s) { s.vars.S[kSpecialClick] = 56; },
       right, [](const EngineState& s) { EXPECT_EQ(s.vars.S[kSpecialClick], 56); }},
      {"special 56 is consumed by a left click",
       [](EngineState& s) {
         s.vars.S[kSpecialClick] = 56;
         s.sleepCount = 9;
       },
       left(),
       [](const EngineState& s) {
         EXPECT_EQ(s.vars.S[kSpecialClick], 0);
         EXPECT_EQ(s.sleepCount, 0);
       }},
      {"special 66 ignores every click",
       [](EngineState& s) {
         s.vars.S[kSpecialClick] = 66;
         s.waitKind = 1;
       },
       left(), [](const EngineState& s) { EXPECT_EQ(s.waitKind, 1); }},
      {"a click during an animation asks it to finish",
       [](EngineState& s) {
         s.animating = true;
         s.waitKind = 1;
       },
       left(),
       [](const EngineState& s) {
         EXPECT_EQ(s.closeRequest, 1);
         EXPECT_EQ(s.waitKind, 1);
       }},
      {"busy ignores the click", [](EngineState& s) { s.busy = true, s.waitKind = 1; }, left(),
       [](const EngineState& s) { EXPECT_EQ(s.waitKind, 1); }},
      {"meter left edge sets the slowest level",
       [](EngineState& s) {
         s.vars.S[kAutoLevel] = 5;
         s.textWindowOn = true;
       },
       left(392, 595),
       [](const EngineState& s) {
         EXPECT_EQ(s.vars.S[kAutoLevel], 10);
         EXPECT_EQ(s.vars.S[kLastAutoLevel], 10);
       }},
      {"meter right edge sets the fastest level",
       [](EngineState& s) {
         s.vars.S[kAutoLevel] = 5;
         s.textWindowOn = true;
       },
       left(471, 599), [](const EngineState& s) { EXPECT_EQ(s.vars.S[kAutoLevel], 1); }},
      {"auto mode: a left click advances at the next tick",
       [](EngineState& s) {
         s.vars.S[kAutoLevel] = 3;
         s.textWindowOn = true;
         s.autoWait = 40;
         s.waitKind = 1;
       },
       left(),
       [](const EngineState& s) {
         EXPECT_EQ(s.autoWait, 1);
         EXPECT_EQ(s.waitKind, 1);
       }},
      {"auto mode: a left click while typing finishes the page",
       [](EngineState& s) {
         s.vars.S[kAutoLevel] = 3;
         s.textWindowOn = true;
       },
       left(), [](const EngineState& s) { EXPECT_TRUE(s.finishPage); }},
      {"auto mode: a right click switches it off instead of the menu",
       [](EngineState& s) {
         s.vars.S[kAutoLevel] = 3;
         s.vars.S[kAutoLamp] = 2;
         s.textWindowOn = true;
       },
       right,
       [](const EngineState& s) {
         EXPECT_EQ(s.vars.S[kAutoLevel], 0);
         EXPECT_EQ(s.vars.S[kAutoLamp], 0);
       },
       {{2, "unlit"}}},
      {"a sleep is cut short and says so", [](EngineState& s) { s.sleepCount = 30; }, left(),
       [](const EngineState& s) {
         EXPECT_EQ(s.sleepCount, 0);
         EXPECT_EQ(s.vars.S[kSleepClicked], 1);
       }},
      {"any click stops skipping",
       [](EngineState& s) {
         s.skipMode = 1;
         s.vars.S[kSkipLamp] = 2;
         s.textWindowOn = true;
       },
       middle,
       [](const EngineState& s) {
         EXPECT_EQ(s.skipMode, 0);
         EXPECT_EQ(s.vars.S[kSkipLamp], 0);
       },
       {{1, "unlit"}}},
      {"a left click ends a page wait and guards the next clicks",
       [](EngineState& s) { s.waitKind = 1; }, left(),
       [](const EngineState& s) {
         EXPECT_EQ(s.waitKind, 0);
         EXPECT_EQ(s.clickGuard, 5);
       }},
      {"a middle click only guards", [](EngineState& s) { s.waitKind = 2; }, middle,
       [](const EngineState& s) {
         EXPECT_EQ(s.waitKind, 2);
         EXPECT_EQ(s.clickGuard, 5);
       }},
      {"a click with no wait finishes the typing", [](EngineState&) {}, left(),
       [](const EngineState& s) { EXPECT_TRUE(s.finishPage); }},
      {"the hidden window takes the click",
       [](EngineState& s) { s.screenMode = 3, s.waitKind = 1; }, left(),
       [](const EngineState& s) { EXPECT_EQ(s.waitKind, 1); }},
  };
  for (const PressCase& c : cases) {
    SCOPED_TRACE(c.name);
    Session& s = Start("@sleep -1\n");
    s.RunFor(100);
    EngineState& st = s.state();
    st.sleepCount = 0;
    c.setup(st);
    s.engine().HandleEvent(c.press);
    c.check(st);
    for (const auto& [button, look] : c.lamps) {
      EXPECT_EQ(LampShown(Shown(s), button), look) << button;
    }
  }
}

TEST_F(Input, RightClickMenuOpensClosesAndOpensAgain) {
  Session& s = Start("あ▼\n");
  // Right clicks on the game: open, dismiss, open; then Escape dismisses. The screenshots show
  // what the player sees between them.
  const std::string shots[] = {game_ / "open.png", game_ / "closed.png", game_ / "again.png",
                               game_ / "end.png"};
  s.Events("100 click 300 300 right\n200 screenshot " + shots[0] +
           "\n300 click 300 300 right\n400 screenshot " + shots[1] +
           "\n500 click 300 300 right\n600 screenshot " + shots[2] +
           "\n700 key Escape\n800 screenshot " + shots[3] + "\n900 move 10 10\n");
  s.RunFor(1000);
  EXPECT_FALSE(s.engine().Ui().MenuOpen());
  EXPECT_FALSE(s.engine().Input().MenuOpen());
  EXPECT_EQ(s.state().waitKind, 1);  // none of the clicks reached the page wait
  auto menuShown = [](const std::string& path) {
    const auto bytes = ReadText(path);
    Surface picture;
    EXPECT_TRUE(
        ReadPng({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()}, picture, nullptr))
        << path;
    // The menu opens to the right of the pointer over a black game area.
    return PixelAt(picture, 340, 310) != std::array<uint8_t, 3>{0, 0, 0};
  };
  EXPECT_TRUE(menuShown(shots[0]));
  EXPECT_FALSE(menuShown(shots[1]));
  EXPECT_TRUE(menuShown(shots[2]));
  EXPECT_FALSE(menuShown(shots[3]));
}

TEST_F(Input, RightClickAssignments) {
  {
    Session& s = Start("あ\n@sleep -1\n", "RC_MODE=2\n");
    s.RunFor(100);
    s.state().sleepCount = 0;
    s.engine().HandleEvent(Press(MouseButton::kRight));
    EXPECT_EQ(s.state().skipMode, 1);
    EXPECT_EQ(s.state().vars.S[kSkipLamp], 2);
    EXPECT_EQ(LampShown(Shown(s), 1), "lit");
  }
  {
    Session& s = Start("@sleep -1\n", "RC_MODE=3\n");
    s.RunFor(100);
    s.state().sleepCount = 0;
    s.engine().HandleEvent(Press(MouseButton::kRight));
    EXPECT_EQ(s.state().vars.S[kAutoLevel], 5);
    EXPECT_EQ(s.state().vars.S[kLastAutoLevel], 5);
  }
}

TEST_F(Input, KeysStartAndStopSkipAndAuto) {
  Session& s = Start("あ\n@sleep -1\n");
  s.RunFor(100);
  EngineState& st = s.state();
  Engine& e = s.engine();
  const auto lamp = [&](int button) { return LampShown(Shown(s), button); };
  ASSERT_EQ(lamp(2), "unlit");
  // Space: on at 5, off keeping the level; a level outside the meter starts at 5.
  e.HandleEvent(Char(' '));
  EXPECT_EQ(st.vars.S[kAutoLevel], 5);
  EXPECT_EQ(st.vars.S[kAutoLamp], 2);
  EXPECT_EQ(lamp(2), "lit");
  e.HandleEvent(Char(' '));
  EXPECT_EQ(st.vars.S[kAutoLevel], 0);
  EXPECT_EQ(st.vars.S[kLastAutoLevel], 5);
  st.vars.S[kLastAutoLevel] = 40;
  e.HandleEvent(Char(' '));
  EXPECT_EQ(st.vars.S[kAutoLevel], 5);
  // Shift toggles it off; a script's out-of-range level is kept within the meter's range.
  e.HandleEvent(KeyDown(Key::kShift));
  EXPECT_EQ(st.vars.S[kAutoLevel], 0);
  st.vars.S[kLastAutoLevel] = -3;
  e.HandleEvent(KeyDown(Key::kShift));
  EXPECT_EQ(st.vars.S[kAutoLevel], 1);
  // Ctrl: auto off, skipping on; every repeat toggles; the release stops it.
  e.HandleEvent(KeyDown(Key::kCtrl));
  EXPECT_EQ(st.vars.S[kAutoLevel], 0);
  EXPECT_EQ(st.skipMode, 1);
  EXPECT_EQ(lamp(1), "lit");
  EXPECT_EQ(lamp(2), "unlit");
  InputEvent repeat = KeyDown(Key::kCtrl);
  repeat.repeat = true;
  e.HandleEvent(repeat);
  EXPECT_EQ(st.skipMode, 0);
  EXPECT_EQ(st.vars.S[kSkipLamp], 0);
  EXPECT_EQ(lamp(1), "unlit");
  e.HandleEvent(repeat);
  EXPECT_EQ(st.skipMode, 1);
  EXPECT_EQ(lamp(1), "lit");
  e.HandleEvent(KeyUp(Key::kCtrl));
  EXPECT_EQ(st.skipMode, 0);
  EXPECT_EQ(st.vars.S[kSkipLamp], 0);
  EXPECT_EQ(lamp(1), "unlit");
}

TEST_F(Input, SwappedShiftAndCtrl) {
  Session& s = Start("@sleep -1\n", "CS_SWAP=1\n");
  s.RunFor(100);
  EngineState& st = s.state();
  s.engine().HandleEvent(KeyDown(Key::kShift));
  EXPECT_EQ(st.skipMode, 1);
  s.engine().HandleEvent(KeyUp(Key::kShift));
  EXPECT_EQ(st.skipMode, 0);
  s.engine().HandleEvent(KeyDown(Key::kCtrl));
  EXPECT_EQ(st.vars.S[kAutoLevel], 5);
}

TEST_F(Input, KeysAreIgnoredWhileAQuestionOrAnAnimationHoldsTheScreen) {
  Session& s = Start("@sleep -1\n");
  s.RunFor(100);
  EngineState& st = s.state();
  st.questionKind = 3;
  s.engine().HandleEvent(Char(' '));
  s.engine().HandleEvent(KeyDown(Key::kCtrl));
  EXPECT_EQ(st.vars.S[kAutoLevel], 0);
  EXPECT_EQ(st.skipMode, 0);
  st.questionKind = 0;
  st.animating = true;
  s.engine().HandleEvent(Char(' '));
  EXPECT_EQ(st.vars.S[kAutoLevel], 0);
}

TEST_F(Input, EnterAndZClickWhereThePointerIs) {
  Session& s = Start("あ▼い▼\n");
  s.Events("100 move 300 200\n200 key Enter\n");
  s.RunFor(150);
  EXPECT_EQ(s.state().waitKind, 1);
  s.RunFor(100);
  EXPECT_EQ(s.state().waitKind, 0);
  EXPECT_EQ(s.engine().Input().MouseX(), 300);
}

TEST_F(Input, MarkStopsSkippingAtUnreadText) {
  struct Case {
    const char* settings;
    bool alreadyRead;
    int skipAfter;
    bool lastMarkRead;
  };
  for (const Case& c :
       {Case{"", false, 0, false}, Case{"", true, 1, true}, Case{"Seen=0\n", false, 1, false}}) {
    SCOPED_TRACE(std::string(c.settings) + (c.alreadyRead ? "read" : "unread"));
    Session& s = Start("@sleep 100\n@mark 120\n@mark 80001\n@sleep -1\n", c.settings);
    s.RunFor(40);
    if (c.alreadyRead) s.state().vars.readMarks.Set(120);
    s.state().skipMode = 1;
    s.RunFor(400);
    EXPECT_EQ(s.state().skipMode, c.skipAfter);
    EXPECT_EQ(s.state().lastMarkRead, c.lastMarkRead);
    EXPECT_TRUE(s.state().vars.readMarks.Test(120));
    EXPECT_FALSE(s.state().vars.readMarks.Test(80001));
  }
}

// A button held while the right-click menu opens (the right press that opened it, or a left
// press on the game before Tab did) is let go over 自動再生: the menu stays open and nothing
// is chosen; the player's own click on the item then chooses it.
TEST_F(Input, ButtonHeldAcrossTheMenuOpeningDoesNotChooseAnItem) {
  struct Case {
    const char* name;
    const char* events;
  };
  // The menu opens 16 pixels right of the press at (300, 300); its first row is 2 to 22 below.
  const Case cases[] = {
      {"right press opens it", "100 press 300 300 right\n300 release 330 312 right\n"},
      {"left press, then Tab", "100 press 300 300 left\n150 key Tab\n300 release 330 312 left\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Session& s = Start("あ▼\n");
    // The menu runs its own loop through the events; a dump event looks in on it.
    bool menuOpen = false;
    int autoLevel = -1;
    s.platform().SetDumpHandler([&](const std::string&) {
      menuOpen = s.engine().Ui().MenuOpen();
      autoLevel = s.state().vars.S[kAutoLevel];
    });
    s.Events(std::string(c.events) + "200 move 330 312\n400 dump -\n500 click 330 312\n");
    s.RunFor(700);
    EXPECT_TRUE(menuOpen);
    EXPECT_EQ(autoLevel, 0);
    EXPECT_FALSE(s.engine().Ui().MenuOpen());
    EXPECT_EQ(s.state().vars.S[kAutoLevel], 5);
  }
}

TEST_F(Input, ToolbarAndMenuEnableRules) {
  Session& s = Start("@sleep -1\n");
  s.RunFor(100);
  EngineState& st = s.state();
  const PlayerInput& in = s.engine().Input();
  struct Case {
    int s000;
    int s028;
    bool locked;
    std::array<bool, kToolbarButtonCount> toolbar;  // quit load save settings save-edit
    bool quickSave, quickLoad;
  };
  // Start-up leaves S000 at 3: nothing to load or save.
  EXPECT_FALSE(in.ToolbarEnabled()[kToolbarLoad]);
  for (const Case& c : {
           Case{0, 1, false, {true, true, true, true, true}, true, true},
           Case{1, 1, false, {true, true, false, true, true}, false, true},
           Case{0, 0, false, {true, true, false, true, true}, false, true},
           Case{2, 1, false, {true, false, false, true, false}, false, false},
           // Other values leave the buttons as the last value set them.
           Case{7, 1, false, {true, false, false, true, false}, false, false},
           Case{0, 1, true, {false, false, false, false, false}, false, false},
       }) {
    SCOPED_TRACE(std::to_string(c.s000) + " " + std::to_string(c.s028) +
                 (c.locked ? " locked" : ""));
    st.vars.S[kSavePermission] = c.s000;
    st.vars.S[kSaveAllowed] = c.s028;
    st.toolbarLocked = c.locked;
    s.engine().UpdateToolbar();
    EXPECT_EQ(in.ToolbarEnabled(), c.toolbar);
    EXPECT_EQ(in.PopupEnabled()[kPopupQuickSave], c.quickSave);
    EXPECT_EQ(in.PopupEnabled()[kPopupQuickLoad], c.quickLoad);
  }
}

TEST_F(Input, FullScreenFromTheSettingAndTheToggle) {
  {
    Session& s = Start("@sleep -1\n", "SMode=1\n");
    s.Events("200 fullscreen\n");
    s.RunFor(100);
    EXPECT_TRUE(s.engine().Input().FullScreen());
    EXPECT_EQ(s.engine().Ui().GameTop(), 0);
    s.RunFor(150);
    EXPECT_FALSE(s.engine().Input().FullScreen());
    EXPECT_EQ(s.engine().Ui().GameTop(), UiLayer::kStripHeight);
    EXPECT_EQ(s.platform().FullScreenSwitches(), (std::vector<bool>{true, false}));
  }
  {
    // Alt+Enter from a window; the tool bar shows only while the pointer is at the top left.
    Session& s = Start("@sleep -1\n");
    s.RunFor(100);
    InputEvent altEnter = KeyDown(Key::kEnter, '\r');
    altEnter.alt = true;
    s.engine().HandleEvent(altEnter);
    EXPECT_TRUE(s.platform().FullScreen());
    EXPECT_FALSE(s.engine().Ui().ToolbarShown());
    InputEvent move;
    move.kind = InputEvent::Kind::kMouseMove;
    move.x = 100;
    move.y = 10;
    s.engine().HandleEvent(move);
    EXPECT_TRUE(s.engine().Ui().ToolbarShown());
    move.x = 500;
    s.engine().HandleEvent(move);
    EXPECT_FALSE(s.engine().Ui().ToolbarShown());
  }
}

TEST_F(Input, ControllerButtons) {
  Session& s = Start("あ▼い▼\n");
  s.Events(
      "100 move 200 200\n"
      "200 pad a\n"  // a left click: the page wait ends
      "400 pad rt down\n"
      "500 pad rt up\n");
  s.RunFor(150);
  EXPECT_EQ(s.state().waitKind, 1);
  s.RunFor(100);
  EXPECT_NE(s.state().waitKind, 1);
  s.RunFor(200);
  EXPECT_EQ(s.state().skipMode, 1);
  s.RunFor(100);
  EXPECT_EQ(s.state().skipMode, 0);
}

TEST_F(Input, PrintScreenSavesTheGameAreaForThePlayer) {
  TempDir data;
  ::setenv("XDG_DATA_HOME", data.Path().c_str(), 1);
  Session& s = Start("@sleep -1\n");
  s.Events("100 key PrintScreen\n");
  s.RunFor(200);
  ::unsetenv("XDG_DATA_HOME");
  int pictures = 0;
  for (const auto& f : std::filesystem::directory_iterator(data / "zorvel/screenshots")) {
    EXPECT_EQ(f.path().extension(), ".png");
    ++pictures;
  }
  EXPECT_EQ(pictures, 1);
}

}  // namespace
}  // namespace zorvel::test

namespace zorvel::test {
namespace {

TEST_F(Input, ToolbarQuitMenuLeadsToTheQuitQuestion) {
  Session& s = Start("あ▼\n");
  // 終了 sits at the left of the strip above the game area; its menu opens under it with
  // タイトルへ戻る and ゲーム終了.
  s.Events("100 click 30 -12\n300 click 60 32\n");
  s.RunFor(600);
  ASSERT_EQ(s.engine().MessageBoxes().size(), 1u);
  EXPECT_EQ(s.engine().MessageBoxes()[0].text, "ゲームを終了しますか？");
  EXPECT_TRUE(s.engine().Closed());
}

TEST_F(Input, DisabledToolbarButtonsDoNothing) {
  Session& s = Start("あ▼\n");
  // Start-up forbids loading and saving (S000 = 3): 読込 and 記録 stay inert, and the click on
  // the strip never reaches the page wait.
  s.Events("100 click 95 -12\n200 click 155 -12\n");
  s.RunFor(400);
  EXPECT_EQ(s.state().waitKind, 1);
  EXPECT_TRUE(s.engine().MessageBoxes().empty());
}

}  // namespace
}  // namespace zorvel::test

namespace zorvel::test {
namespace {

TEST_F(Input, TheWindowOpensWhereItWasKeptOnTheDesktop) {
  struct Case {
    const char* settings;
    std::pair<int, int> place;
  };
  // The headless desktop is 1920 x 1080 and the window 808 x 651 from outside.
  for (const Case& c :
       {Case{"Left=100\nTop=50\n", {100, 50}}, Case{"Left=5000\nTop=-40\n", {1920 - 808, 0}},
        Case{"Left=-9\nTop=2000\n", {0, 1080 - 651}}}) {
    SCOPED_TRACE(c.settings);
    Session& s = Start("@sleep -1\n", c.settings);
    s.RunFor(40);
    ASSERT_FALSE(s.platform().WindowPositions().empty());
    EXPECT_EQ(s.platform().WindowPositions().back(), c.place);
  }
}

}  // namespace
}  // namespace zorvel::test
