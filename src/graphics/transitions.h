// Screen transitions: how each newly built screen reaches the window, plus the other blocking
// effects that draw old and new pictures straight onto the window (crossfade, mosaic, sepia
// fade) and the commands `shake` and `scroll`.
//
// A transition is a blocking loop: it draws frames from the old picture (previousSurface) and
// the new one (screenSurface), paces them with the FrameClock, which pumps window events between
// frames, and ends early once a click or close request shows up in `closeRequest`. Modes that
// uncover only parts of the new picture rely on the window still showing the old screen.
//
// What the class touches: the screen surfaces (screen, previous, work; scene for the sepia
// fade), the EngineState fields busy, animating, closeRequest, skipMode, screenMode and
// toolbarLocked and the S registers 16, 19, 20, 21 and 150, the setting GMode (and EFX_CUT for
// `shake`), the random generator (modes 5 and 14, `shake` type 2), and the platform's present,
// window position and stop requests. Nothing is allocated per frame: mode 17's table and mode
// 24's mask live for one run, the row buffers for the life of the object.
#pragma once

#include <array>
#include <cstdint>
#include <functional>

#include "core/engine_state.h"
#include "core/hook.h"
#include "graphics/frame_clock.h"
#include "graphics/screen.h"
#include "platform/platform.h"
#include "resources/settings.h"
#include "script/commands.h"
#include "script/expressions.h"

namespace zorvel {

constexpr int kTransitionModes = 25;  // 0 to 24; higher numbers draw nothing

// What the transitions need from other subsystems.
struct TransitionHooks {
  // Re-evaluates which tool-bar commands are enabled (after `toolbarLocked` changes).
  Hook<void()> updateToolbar;
  // Puts the message window and its text back onto screenSurface (the sepia fade).
  Hook<void()> drawWindowAndText;
  // Loads a picture by name at its own size; false when no archive holds it.
  Hook<bool(const char* name, Surface& picture)> loadPicture;
};

// `shake TYPE[,AMPLITUDE[,INTERVAL]]`.
struct ShakeArgs {
  int32_t type = 0;
  int32_t amplitude = 20;
  int32_t interval = 50;
};
// Commas count only within the first `searchLimit` characters of `arg` (the command line's
// first 50 characters minus what precedes the argument).
ShakeArgs ParseShakeArgs(const char* arg, int searchLimit);

// `scroll NAME,DIR,MS,N`. A missing comma leaves the reading position where it was, so the
// number before it is read again (a lone NAME gives every number from the name's start).
struct ScrollArgs {
  static constexpr int kMaxLength = 63;
  char name[kMaxLength + 1]{};
  int32_t dir = 0;
  int32_t ms = 0;
  int32_t transition = 0;
};
ScrollArgs ParseScrollArgs(const char* arg);

class Transitions {
 public:
  Transitions(Screen& screen, EngineState& state, const Settings& settings, FrameClock& clock,
              RandomGenerator& random, Platform& platform, TransitionHooks hooks);
  Transitions(const Transitions&) = delete;
  Transitions& operator=(const Transitions&) = delete;

  // Binds `shake` and `scroll`.
  void Register(CommandTable& table);

  // Presents screenSurface with transition n (negative counts as 0; GMode or skipping make it
  // 0; above 24 nothing is drawn and the window waits for its next repaint). Sets busy and
  // animating while it runs, clears closeRequest at the start (not at the end: the caller may
  // ask about a close request afterwards) and S019, which a click that cut the transition short
  // sets to 1. In novel mode previousSurface ends equal to screenSurface.
  void RunTransition(int n);
  // Fades previousSurface into screenSurface, `step` levels of 256 per `interval` ms, until a
  // click; then shows screenSurface. Ignores GMode and leaves S019 alone.
  void Crossfade(int step, int interval);
  // Crossfade with the step and interval of a numbered type (1 to 4; others are type 2's).
  void CrossfadeByType(int type);
  // Shows `picture` as square blocks of the size with the index (0 to 9: 2 to 40 pixels), each
  // the colour of its top-left pixel, drawn through workSurface.
  void Mosaic(const Surface& picture, int sizeIndex);
  // Turns the scene sepia (screen and scene surfaces), puts the message window back and fades
  // to it from previousSurface. Clicks do not shorten it; sets only busy.
  void SepiaFade();

  // The commands; each returns 1 (the interpreter's step ends).
  int Shake(const char* arg);
  int Scroll(const char* arg);

 private:
  bool SurfacesReady() const;
  void Show(const Surface& picture);
  // A whole frame: `draw` puts it into `picture`, which is then shown. Where nobody would see
  // it before the next frame, the platform keeps the drawing as a promise instead; a later
  // present (at the latest the closing picture) keeps it, so the surfaces end as if every frame
  // had been drawn. `draw` must depend only on what it captures and on surfaces the loop does
  // not change.
  void ShowFrame(const Surface& picture, std::function<void()> draw);
  // Queues the rectangle of `from` (clipped to the screen) for the window; Flush presents the
  // queue and ends the frame with one window update.
  void Reveal(const Surface& from, int x, int y, int w, int h);
  void PresentQueued();
  void Flush();
  // The interrupt check: on a click or close request shows the new picture, sets S019 and
  // returns true.
  bool Interrupted();
  bool StopRequested();

  void Blinds(bool columns);                              // modes 1, 2
  void Wipe();                                            // 3
  void Iris();                                            // 4
  void Tiles();                                           // 5
  void QuickFade();                                       // 6
  void Interlace(bool columns);                           // 7, 8
  void Squares(int tile, int rows, int steps, int grow);  // 10, 11
  void SoftWipe();                                        // 12
  void HalfRows();                                        // 14
  void Band();                                            // 15
  void Diagonal();                                        // 16
  void Dither();                                          // 17
  void Split();                                           // 18
  void Push();                                            // 19
  void MosaicMode();                                      // 20
  void Zoom();                                            // 21
  void Slide(bool right);                                 // 22, 23
  void Star();                                            // 24
  void FillStar(Surface& mask, int r, int u);

  Screen& screen_;
  EngineState& s_;
  const Settings& settings_;
  FrameClock& clock_;
  RandomGenerator& random_;
  Platform& platform_;
  TransitionHooks hooks_;

  static constexpr int kMaxQueuedRects = 1024;
  std::array<ScreenRect, kMaxQueuedRects> queued_{};
  int queuedCount_ = 0;
  const Surface* queuedFrom_ = nullptr;

  // Row buffers: mode 4's widest span per row, modes 5 and 14's orders, mode 21's zoomed row
  // and column map, modes 22 and 23's shifted rows.
  std::array<int, 600> spanHalfWidth_{};
  std::array<int, 100> tileOrder_{};
  std::array<int, 1200> halfOrder_{};
  std::array<int, 600> halfSplit_{};
  std::array<int, 800> zoomColumn_{};
  std::array<uint8_t, 800 * 3> zoomRow_{};
  static constexpr int kSlidePad = 16;  // mode 23's last frame reads 3 pixels before its row
  std::array<uint8_t, (kSlidePad + 1056) * 3> slideA_{};
  std::array<uint8_t, (kSlidePad + 1056) * 3> slideB_{};
};

}  // namespace zorvel
