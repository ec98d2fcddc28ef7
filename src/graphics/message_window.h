// The message window: a translucent rectangle over the lower part of the scene on which the
// story text, the speaker's name plate and the quick-button bar are drawn. It is no picture
// file but the scene under it blended with the window colour through an opacity mask
// (Screen::windowBackground), so it is rebuilt whenever the scene changes; in novel mode the
// whole screen is the window and the scene is darkened instead. Building is cached: the window
// without text is kept in cleanWindowPicture while `windowPictureValid` says the scene under it
// has not changed, and a page change restores the window with one copy.
//
// What the class touches: the screen surfaces (scene, screen, work, novel page, window
// background, window picture and its clean copy, the bar and name-plate backgrounds), the
// EngineState fields textWindowOn, windowPictureValid, busy, animating, closeRequest, skipMode,
// screenMode, the text cursor and page-cleared flag and the S registers 4 and 150, the window
// and plate geometry of the game configuration, the setting TXBG_A2 and the platform's
// present. The text, the quick-button bar and the meter belong to other subsystems and are
// reached through the hooks.
//
// The geometry comes from the game's configuration and may be anything: sizes are clamped to
// the screen, and where the window, the bar or the plate leaves the screen or the window
// picture they read black.
#pragma once

#include <array>
#include <cstdint>
#include <functional>

#include "core/engine_state.h"
#include "core/hook.h"
#include "graphics/background_frames.h"
#include "graphics/frame_clock.h"
#include "graphics/screen.h"
#include "platform/platform.h"
#include "resources/game_config.h"
#include "resources/settings.h"

namespace zorvel {

class CommandTable;

// Screen rows under the quick-button bar.
constexpr int kBarTop = 576;
constexpr int kBarHeight = 24;

// What other subsystems draw into the window. A hook left empty does nothing.
struct MessageWindowHooks {
  // Draws the text of the current page onto screenSurface (nothing once the page is cleared).
  Hook<void()> redrawText;
  // The quick-button bar: mode 0 onto the screen, mode 2 into windowPicture.
  Hook<void(int mode)> drawQuickBar;
  // The auto-mode meter.
  Hook<void(int mode)> drawMeter;
  Hook<bool()> backgroundAnimationRunning;
  // The frames of a running background animation: each gets its own window picture, built from
  // its clean window area, and the window drawn into it.
  Hook<BackgroundFrames()> backgroundFrames;
};

class MessageWindow {
 public:
  MessageWindow(Screen& screen, EngineState& state, const GameConfig& config,
                const Settings& settings, Platform& platform, FrameClock& clock,
                MessageWindowHooks hooks);
  MessageWindow(const MessageWindow&) = delete;
  MessageWindow& operator=(const MessageWindow&) = delete;

  // Binds `win_open`; `win_close` is the flow commands' and reaches CloseMessageWindow.
  void Register(CommandTable& table);

  // Brings windowPicture (in novel mode novelPageSurface), barBackground and
  // namePlateBackground up to date with the scene.
  void BuildWindowPicture();
  // While the window is in use: the window (or the novel page), the quick-button bar and the
  // text onto screenSurface; then the meter when the game screen shows it.
  void DrawWindowAndText();
  // `win_open`: the window enters screenSurface only; the game window shows it with the next
  // update.
  int OpenMessageWindow(const char* arg = nullptr);
  // `win_close`: resets the text cursor, then fades the window out over 32 frames of 10 ms (at
  // once while skipping; a click ends the fade) and leaves the scene on screen.
  void CloseMessageWindow();

 private:
  struct Geometry {
    int64_t x = 0;  // the window's top-left on the screen
    int64_t y = 0;
    int width = 0;  // clamped to the screen
    int height = 0;
  };
  Geometry Window() const;
  void SizeSurfaces(const Geometry& g);
  // Points at the scene bytes under window row r, or at a copy that is black where the window
  // leaves the scene.
  const uint8_t* SceneUnder(const Geometry& g, int r);
  void BlendWindowRow(uint8_t* out, const uint8_t* scene, int r, int width);

  Screen& screen_;
  EngineState& s_;
  const GameConfig& config_;
  const Settings& settings_;
  Platform& platform_;
  FrameClock& clock_;
  MessageWindowHooks hooks_;

  std::array<uint8_t, kScreenWidth * 3> sceneRow_{};
};

}  // namespace zorvel
