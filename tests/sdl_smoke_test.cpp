// The windowed platform under a real engine on an Xvfb display: events as SDL delivers them
// (clicks in window coordinates, keys, controller buttons and triggers) reach the game through
// the picture's scaling, menus open and close, and full screen maps the pointer and gives the
// window back as it was.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>

#include "core/variable_banks.h"
#include "engine/engine.h"
#include "fixture.h"
#include "platform/ini_store.h"
#include "platform/sdl/sdl_platform.h"
#include "virtual_display.h"

namespace zorvel::test {
namespace {

// Sees every poll, the menus' own loops included, so a test can act while a menu is up.
class ProbedSdl : public SdlPlatform {
 public:
  using SdlPlatform::SdlPlatform;
  bool PollEvent(InputEvent& event) override {
    if (probe) probe();
    return SdlPlatform::PollEvent(event);
  }
  std::function<void()> probe;
};

// An environment variable changed for the length of a test (nullopt removes it).
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::optional<std::string>& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value) {
      ::setenv(name, value->c_str(), 1);
    } else {
      ::unsetenv(name);
    }
  }
  ~ScopedEnv() {
    if (old_) {
      ::setenv(name_.c_str(), old_->c_str(), 1);
    } else {
      ::unsetenv(name_.c_str());
    }
  }

 private:
  std::string name_;
  std::optional<std::string> old_;
};

class SdlSmoke : public ::testing::Test {
 protected:
  void SetUp() override {
    if (display_.Display().empty()) GTEST_SKIP() << "Xvfb is not installed";
    env_.push_back(std::make_unique<ScopedEnv>("DISPLAY", display_.Display()));
    env_.push_back(std::make_unique<ScopedEnv>("SDL_VIDEODRIVER", std::nullopt));
    env_.push_back(std::make_unique<ScopedEnv>("SDL_AUDIODRIVER", "dummy"));
    WriteGame(game_.Path(),
              {{"main", "あ▼\nい▼\nう▼\nえ▼\n@sleep -1\n"}, {"_config", "MOJI_MAX_X:30\n"}});
    store_ = std::make_unique<IniSettingsStore>(config_.Path());
    platform_ = std::make_unique<ProbedSdl>(*store_);
    std::string error;
    ASSERT_TRUE(platform_->Init(error)) << error;
    EngineOptions options;
    options.gameDir = game_.Path();
    engine_ = std::make_unique<Engine>(*platform_, options);
    engine_->Start();
    nextTick_ = platform_->Ticks() + Engine::kTimerInterval;
  }
  void TearDown() override {
    engine_.reset();
    platform_.reset();
  }

  // Plays until `done` holds, for at most `ms` of real time; returns whether it did.
  bool RunUntil(const std::function<bool()>& done, uint32_t ms = 3000) {
    const uint32_t until = platform_->Ticks() + ms;
    InputEvent event;
    while (!done()) {
      if (engine_->Closed() || static_cast<int32_t>(platform_->Ticks() - until) >= 0) return false;
      while (!engine_->Closed() && platform_->PollEvent(event)) engine_->HandleEvent(event);
      if (static_cast<int32_t>(platform_->Ticks() - nextTick_) >= 0) {
        engine_->Timer1Timer();
        nextTick_ = platform_->Ticks() + Engine::kTimerInterval;
      }
      engine_->AppIdle();
      SDL_Delay(1);
    }
    return true;
  }
  // A few passes for events whose effect is immediate.
  void Settle() {
    RunUntil([] { return false; }, 150);
  }

  static void Push(SDL_Event e) { ASSERT_EQ(SDL_PushEvent(&e), 1) << SDL_GetError(); }
  static void Click(int windowX, int windowY, uint8_t button) {
    for (const uint32_t type : {SDL_MOUSEBUTTONDOWN, SDL_MOUSEBUTTONUP}) {
      SDL_Event e{};
      e.type = type;
      e.button.button = button;
      e.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
      e.button.clicks = 1;
      e.button.x = windowX;
      e.button.y = windowY;
      Push(e);
    }
  }
  static void Move(int windowX, int windowY) {
    SDL_Event e{};
    e.type = SDL_MOUSEMOTION;
    e.motion.x = windowX;
    e.motion.y = windowY;
    Push(e);
  }
  static void Key(SDL_Keycode sym, uint16_t mod = KMOD_NONE) {
    for (const uint32_t type : {SDL_KEYDOWN, SDL_KEYUP}) {
      SDL_Event e{};
      e.type = type;
      e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
      e.key.keysym.sym = sym;
      e.key.keysym.scancode = SDL_GetScancodeFromKey(sym);
      e.key.keysym.mod = mod;
      Push(e);
    }
  }
  static void Pad(SDL_GameControllerButton button) {
    for (const uint32_t type : {SDL_CONTROLLERBUTTONDOWN, SDL_CONTROLLERBUTTONUP}) {
      SDL_Event e{};
      e.type = type;
      e.cbutton.which = 7;
      e.cbutton.button = static_cast<uint8_t>(button);
      e.cbutton.state = type == SDL_CONTROLLERBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
      Push(e);
    }
  }
  static void RightTrigger(int16_t value) {
    SDL_Event e{};
    e.type = SDL_CONTROLLERAXISMOTION;
    e.caxis.which = 7;
    e.caxis.axis = SDL_CONTROLLER_AXIS_TRIGGERRIGHT;
    e.caxis.value = value;
    Push(e);
  }

  // The engine waits for a click on the page that made `lines` lines of history.
  std::function<bool()> PageShown(int lines) {
    EngineState& s = engine_->State();
    return [&s, lines] { return s.waitKind == 1 && s.historyLines == lines; };
  }
  bool MenuOpen() { return engine_->Ui().MenuOpen() && engine_->Input().MenuOpen(); }
  bool MenuClosed() { return !engine_->Ui().MenuOpen() && !engine_->Input().MenuOpen(); }
  // Opens the menu with `open`, checks that it is up while the engine waits in it, and closes
  // it with Escape.
  void MenuOpensAndEscapeCloses(const std::function<void()>& open) {
    bool seenOpen = false;
    platform_->probe = [&] {
      if (!seenOpen && MenuOpen()) {
        seenOpen = true;
        Key(SDLK_ESCAPE);
      }
    };
    open();
    EXPECT_TRUE(RunUntil([&] { return seenOpen && MenuClosed(); }));
    platform_->probe = nullptr;
  }

  bool PointerAt(int x, int y) {
    return RunUntil([&] {
      return std::abs(engine_->Input().MouseX() - x) <= 1 &&
             std::abs(engine_->Input().MouseY() - y) <= 1;
    });
  }
  // Waits until SDL has seen the window at this size.
  bool WindowSized(int w, int h) {
    return RunUntil([&] {
      int ww = 0;
      int wh = 0;
      SDL_GetWindowSize(platform_->Window(), &ww, &wh);
      return ww == w && wh == h;
    });
  }

  VirtualDisplay display_{"1280x800x24"};
  std::vector<std::unique_ptr<ScopedEnv>> env_;
  TempDir game_, config_;
  std::unique_ptr<IniSettingsStore> store_;
  std::unique_ptr<ProbedSdl> platform_;
  std::unique_ptr<Engine> engine_;
  uint32_t nextTick_ = 0;
};

TEST_F(SdlSmoke, PlayedThroughTheWindowsEvents) {
  EngineState& s = engine_->State();
  ASSERT_TRUE(RunUntil(PageShown(1)));

  // A click in the window's game area at its first size (strip on rows 0..23).
  Click(400, 324, SDL_BUTTON_LEFT);
  ASSERT_TRUE(RunUntil(PageShown(2)))
      << "pointer at " << engine_->Input().MouseX() << ", " << engine_->Input().MouseY();

  // A window a quarter larger: window points scale down to the game area's, the strip to
  // negative rows.
  SDL_SetWindowSize(platform_->Window(), 1000, 780);
  ASSERT_TRUE(WindowSized(1000, 780));
  Settle();
  Move(250, 155);
  EXPECT_TRUE(PointerAt(200, 100));
  Move(250, 10);
  EXPECT_TRUE(PointerAt(200, -16));
  platform_->WarpMouse(640, 480);
  EXPECT_TRUE(PointerAt(640, 480));

  // Space toggles auto mode on and off.
  Key(SDLK_SPACE);
  EXPECT_TRUE(RunUntil([&s] { return s.vars.S[kAutoLevel] != 0; }));
  Key(SDLK_SPACE);
  EXPECT_TRUE(RunUntil([&s] { return s.vars.S[kAutoLevel] == 0; }));
  ASSERT_TRUE(RunUntil([&s] { return s.waitKind == 1; }));
  const int lines = s.historyLines;

  // The right-click menu, and a controller's Start opening it where the pointer is.
  MenuOpensAndEscapeCloses([] { Click(500, 375, SDL_BUTTON_RIGHT); });
  MenuOpensAndEscapeCloses([] { Pad(SDL_CONTROLLER_BUTTON_START); });
  Settle();
  EXPECT_EQ(s.waitKind, 1);
  EXPECT_EQ(s.historyLines, lines);

  // A controller's A clicks the page on.
  Pad(SDL_CONTROLLER_BUTTON_A);
  EXPECT_TRUE(RunUntil(PageShown(lines + 1)));

  // Full screen on the 1280 x 800 desktop: the picture 1067 x 800 from x 107, no strip.
  int x0 = 0;
  int y0 = 0;
  SDL_GetWindowPosition(platform_->Window(), &x0, &y0);
  Key(SDLK_RETURN, KMOD_LALT);
  ASSERT_TRUE(RunUntil([this] { return platform_->FullScreen(); }));
  EXPECT_TRUE(WindowSized(1280, 800));
  Settle();
  EXPECT_EQ(engine_->Ui().GameTop(), 0);
  EXPECT_EQ(s.historyLines, lines + 1);  // Alt+Enter is no Enter
  Move(107 + 400 * 4 / 3, 300 * 4 / 3);
  EXPECT_TRUE(PointerAt(400, 300));
  Move(0, 0);  // on the left bar: the nearest game pixel
  EXPECT_TRUE(PointerAt(0, 0));
  platform_->WarpMouse(100, 50);
  EXPECT_TRUE(PointerAt(100, 50));

  // And back: the window as it was.
  Key(SDLK_RETURN, KMOD_RALT);
  ASSERT_TRUE(RunUntil([this] { return !platform_->FullScreen(); }));
  EXPECT_TRUE(WindowSized(1000, 780));
  int x1 = 0;
  int y1 = 0;
  SDL_GetWindowPosition(platform_->Window(), &x1, &y1);
  EXPECT_EQ(x1, x0);
  EXPECT_EQ(y1, y0);
  Settle();
  EXPECT_EQ(engine_->Ui().GameTop(), UiLayer::kStripHeight);
  Move(250, 155);
  EXPECT_TRUE(PointerAt(200, 100));

  // The right trigger skips while it is held past its mark.
  RightTrigger(12000);
  Settle();
  EXPECT_EQ(s.skipMode, 0);
  RightTrigger(20000);
  EXPECT_TRUE(RunUntil([&s] { return s.skipMode != 0; }));
  RightTrigger(12000);
  Settle();
  EXPECT_NE(s.skipMode, 0);
  RightTrigger(0);
  EXPECT_TRUE(RunUntil([&s] { return s.skipMode == 0; }));
}

TEST_F(SdlSmoke, ControllerPluggedInPlaysAndUnpluggedLetsGoOfTheTrigger) {
  EngineState& s = engine_->State();
  ASSERT_TRUE(RunUntil(PageShown(1)));
  // A virtual pad with the standard layout: SDL gives it a controller mapping of its own.
  SDL_VirtualJoystickDesc desc{};
  desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
  desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
  desc.naxes = SDL_CONTROLLER_AXIS_MAX;
  desc.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
  desc.name = "test pad";
  const int index = SDL_JoystickAttachVirtualEx(&desc);
  ASSERT_GE(index, 0) << SDL_GetError();
  const SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(index);
  // Opened by the platform when SDL announces it.
  ASSERT_TRUE(RunUntil([id] { return SDL_GameControllerFromInstanceID(id) != nullptr; }));
  SDL_Joystick* stick = SDL_JoystickFromInstanceID(id);

  SDL_JoystickSetVirtualButton(stick, SDL_CONTROLLER_BUTTON_A, 1);
  Settle();
  SDL_JoystickSetVirtualButton(stick, SDL_CONTROLLER_BUTTON_A, 0);
  EXPECT_TRUE(RunUntil(PageShown(2)));

  SDL_JoystickSetVirtualAxis(stick, SDL_CONTROLLER_AXIS_TRIGGERRIGHT, SDL_MAX_SINT16);
  EXPECT_TRUE(RunUntil([&s] { return s.skipMode != 0; }));
  // Pulled out with the trigger held: skipping ends as if it had been let go.
  ASSERT_EQ(SDL_JoystickDetachVirtual(index), 0);
  EXPECT_TRUE(RunUntil([&s] { return s.skipMode == 0; }));
  EXPECT_EQ(SDL_GameControllerFromInstanceID(id), nullptr);
}

}  // namespace
}  // namespace zorvel::test

namespace zorvel::test {
namespace {

// A registered cursor shows its pictures in turn at its own times while events are polled; the
// arrow comes back for 0 and for a number never registered.
TEST_F(SdlSmoke, AnimatedCursorStepsOnItsOwnClock) {
  CursorAnimation animation;
  for (const uint32_t colour : {0xFFFF0000u, 0xFF0000FFu}) {
    CursorFrame f;
    f.width = f.height = 16;
    f.hotX = 3;
    f.argb.assign(256, colour);
    animation.frames.push_back(f);
  }
  animation.steps = {{0, 40}, {1, 40}};
  ASSERT_TRUE(platform_->RegisterCursor(32, animation));
  platform_->ShowCursor(32);
  SDL_Cursor* first = SDL_GetCursor();
  EXPECT_NE(first, SDL_GetDefaultCursor());
  InputEvent event;
  bool stepped = false;
  const uint32_t until = SDL_GetTicks() + 1000;
  while (!stepped && static_cast<int32_t>(SDL_GetTicks() - until) < 0) {
    platform_->PollEvent(event);
    stepped = SDL_GetCursor() != first;
    SDL_Delay(5);
  }
  EXPECT_TRUE(stepped);
  EXPECT_NE(SDL_GetCursor(), SDL_GetDefaultCursor());
  platform_->ShowCursor(0);
  EXPECT_EQ(SDL_GetCursor(), SDL_GetDefaultCursor());
  platform_->ShowCursor(33);
  EXPECT_EQ(SDL_GetCursor(), SDL_GetDefaultCursor());
}

}  // namespace
}  // namespace zorvel::test
