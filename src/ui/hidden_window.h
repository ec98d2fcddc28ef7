// The picture without the message window, kept until the player clicks or presses W; and the
// panic picture: a neutral picture from "panic.bmp" beside the game, shown at once over
// everything with the sound muted, until the next click.
//
// Touches: screenMode, toolbarLocked, panicActive and busy of the game state; the screen and
// scene surfaces; the game directory through the platform's file helpers. The sound, the tool
// bar and the quick-button bar are reached through the hooks.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "core/engine_state.h"
#include "core/hook.h"
#include "graphics/screen.h"
#include "graphics/surface.h"
#include "platform/platform.h"

namespace zorvel {

// The panic picture covers the screen; a side past this is damage.
constexpr int kMaxPanicSide = 4096;

// Decodes a Windows bitmap file (uncompressed 1, 4, 8, 24 or 32 bits a pixel, bottom-up or
// top-down) into `out`, which takes the picture's size. Anything else, or a file that does not
// hold the pixels its header announces, is refused: false, `out` untouched, `error` says why.
bool DecodeBmp(std::span<const uint8_t> bytes, Surface& out, std::string* error);

struct HiddenWindowHooks {
  Hook<void()> updateToolbar;
  Hook<void()> drawQuickBar;
  Hook<void()> stopVoice;
  // Master volume off (true) or back (false).
  Hook<void(bool muted)> mute;
};

class HiddenWindow {
 public:
  HiddenWindow(EngineState& state, Screen& screen, Platform& platform, std::string gameDir,
               HiddenWindowHooks hooks);

  void HideWindow();
  void ShowWindow();
  void ShowPanic();
  void RemovePanic();

  bool Muted() const { return muted_; }

 private:
  // panic.bmp forced to the game area's size, or black when it cannot be shown.
  void LoadPanicPicture(Surface& out);

  EngineState& s_;
  Screen& screen_;
  Platform& platform_;
  std::string gameDir_;
  HiddenWindowHooks hooks_;

  Surface keptWindow_, keptPanic_;
  bool busyBeforePanic_ = false;
  bool lockedBeforePanic_ = false;
  bool muted_ = false;
};

}  // namespace zorvel
