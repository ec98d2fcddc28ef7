// Sprite animations: `anim` and `animq` play an entry of the animation archives straight onto
// the window, frame by frame, in real time. A frame that comes late makes the player skip the
// frames whose time has passed (patches wait for the next whole frame, a hold frame puts back
// the picture the skipped frames stand for), so a slow machine shows fewer frames on the same
// clock. `animq` shows its frames doubled in both directions, smoothed.
//
// The loop blocks, as transitions do: it sets busy and animating, pumps window events once a
// frame through the FrameClock, and sleeps through the platform, so headless runs pace it on
// the virtual clock and come out the same every time.
//
// Touches: the window (through the platform's presents), ScreenSurface at the end, the state
// fields busy, animating, closeRequest and toolbarLocked, and S036. Reads the animation archives.
// Sound goes through the hooks.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "audio/music.h"
#include "core/engine_state.h"
#include "core/hook.h"
#include "graphics/animation_file.h"
#include "graphics/frame_clock.h"
#include "graphics/screen.h"
#include "platform/platform.h"
#include "resources/archive_set.h"
#include "script/commands.h"

namespace zorvel {

// S036: set when a click ended an animation early; never cleared here.
constexpr int kAnimationCutRegister = 36;

// A 32-bit picture (blue, green, red, a spare byte), the form `animq` doubles.
struct Picture32 {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;

  void Resize(int w, int h) {
    width = w;
    height = h;
    pixels.assign(static_cast<size_t>(w) * static_cast<size_t>(h), 0);
  }
  uint32_t* Row(int y) { return pixels.data() + static_cast<size_t>(y) * width; }
  const uint32_t* Row(int y) const { return pixels.data() + static_cast<size_t>(y) * width; }
};

// `out` = `in` at twice the width and height: every byte of a new pixel between two old ones is
// the sum of their bytes halved and rounded down, rows and columns alike; the last column and
// row repeat the one before. Follows the pixel path the pixel routines use (SSE2 unless the
// portable path is forced); both give the same bytes.
void DoublePicture(const Picture32& in, Picture32& out);

// `anim NAME,X,Y,CUT`: NAME ends at the first ","; X, Y and CUT follow the first, second and
// third ","; a missing "," leaves the reading where it was, so a number repeats the one before.
struct AnimationArgs {
  std::string name;
  int32_t x = 0;
  int32_t y = 0;
  const char* cut = "";  // the expression's text, inside the argument
};
AnimationArgs ParseAnimationArgs(const char* arg);

struct AnimationHooks {
  Hook<void()> updateToolbar;
  Hook<int32_t(const char*)> evaluate;
  // The sound track: played once from memory, or streamed and looped; and their stops.
  Hook<void(StreamSource& source, uint64_t offset, uint32_t size)> playSound;
  Hook<void(std::unique_ptr<StreamSource> source, uint64_t offset)> startStream;
  Hook<void()> stopSound;
  Hook<void()> stopStream;
  // The window was asked to close while the animation played: ask now.
  Hook<void()> askQuit;
};

class Animation {
 public:
  Animation(Screen& screen, EngineState& state, const ArchiveSet& archives, FrameClock& clock,
            Platform& platform, AnimationHooks hooks);

  // Binds `anim` (and with it `animq`).
  void Register(CommandTable& table);

  // The text after the command word: "q" and a blank start `animq`, anything else `anim`.
  // Always ends the interpreter step.
  int AnimCommand(const char* afterWord);
  // Plays NAME,X,Y,CUT; doubled for `animq`. False when nothing was played.
  bool Play(const char* arg, bool doubled);

  // An entry read from memory, decoded and drawn as a play would, without the clock (the
  // fuzzer's way in): its first `maxFrames` frames each drawn, then a catch-up over them as a
  // play far behind would make. `window` stands for the game window. False with `why` when
  // the entry is refused.
  static bool PlayFromMemory(std::span<const uint8_t> entry, bool doubled, Surface& window,
                             int32_t maxFrames, std::string& why);

  // For the state dump: the animation now playing (or last played) and its frame.
  bool Playing() const { return playing_; }
  const std::string& Name() const { return name_; }
  bool Doubled() const { return doubled_; }
  int32_t Frame() const { return frame_; }
  int32_t FrameCount() const { return entry_.frameCount; }
  // Frames drawn by the last play (catch-ups included), for tests of the pacing.
  int32_t FramesDrawn() const { return framesDrawn_; }

  // Reads the frames of one play and draws them; public for the benchmark.
  struct Player;

 private:
  void Run(Player& player, int32_t cut);
  void End(Player& player);
  // Sleeps `ms` in slices, pumping between them so a long period keeps the window alive.
  void SleepFor(int64_t ms);
  bool StopRequested();

  Screen& screen_;
  EngineState& s_;
  const ArchiveSet& archives_;
  FrameClock& clock_;
  Platform& platform_;
  AnimationHooks hooks_;

  AnimationEntry entry_;
  std::string name_;
  bool playing_ = false;
  bool doubled_ = false;
  int32_t frame_ = 0;
  int32_t framesDrawn_ = 0;
};

// Reads frames and draws them, from an archive entry or from memory.
struct Animation::Player {
  const AnimationEntry& entry;
  bool doubled = false;
  int32_t x = 0;
  int32_t y = 0;
  Surface& window;
  // Where the frames' bytes come from.
  const ResourceArchive* archive = nullptr;
  int archiveEntry = -1;
  std::span<const uint8_t> memory;
  // Reused for every frame: the JPEG's bytes, the decoded picture, and the two pictures of
  // `animq`.
  std::vector<uint8_t> bytes;
  Surface decoded;
  Picture32 framePicture;
  Picture32 displayPicture;
  std::string problem;  // the first frame that could not be shown, for the log
  int32_t drawn = 0;

  Player(const AnimationEntry& e, bool d, int32_t ax, int32_t ay, Surface& w)
      : entry(e), doubled(d), x(ax), y(ay), window(w) {}
  // Decodes frame i into `decoded`; false (and `problem` noted) when it cannot be.
  bool Decode(int32_t i);
  // Decodes and draws frame i as its kind says; returns the window rectangle drawn (w = 0 when
  // nothing).
  ScreenRect DrawFrame(int32_t i);
  // After a skip, at a hold frame i: puts back the picture frame i - 1 stands for.
  ScreenRect CatchUp(int32_t i, int32_t skipped);
  // Puts the doubled frame picture onto the window at (x, y).
  ScreenRect ShowDoubled();
};

}  // namespace zorvel
