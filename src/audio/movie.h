// Movies: the `movie` command. A movie file beside the game plays over the game area, with its
// own sound, through libmpv: its software renderer draws each frame into a picture the size of
// the game area, which is shown in place of the game's own picture until the movie ends.
//
// The script goes on while the movie plays; the movie owns the game area meanwhile (the
// platform shows nothing else there), so what the script draws waits in the screen surfaces.
//
// Reads and writes: `busy` and `toolbarLocked` of the engine state (cleared when the movie
// ends). Shows pictures through the platform; everything else goes through the hooks.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/engine_state.h"
#include "core/hook.h"
#include "graphics/surface.h"
#include "platform/platform.h"
#include "script/commands.h"

struct mpv_handle;
struct mpv_render_context;

namespace zorvel {

struct MovieHooks {
  Hook<void()> restoreGameArea;  // shows the game area's own picture again
  Hook<void()> updateToolbar;
};

// Where a movie path from a script (Shift-JIS, `\` or `/` between names) lies under the game
// directory, the names matched without regard to ASCII case as the games' own file system did.
// nullopt with `why` set when the path is absolute or steps out through `..`; with `why` empty
// when it is fine but no such file exists.
std::optional<std::string> ResolveMoviePath(const std::string& gameDir, std::string_view sjisPath,
                                            std::string& why);

class Movie {
 public:
  // Timer ticks during which a click cannot end a movie (about 1.1 seconds).
  static constexpr int kGuardTicks = 20;
  static constexpr int kWidth = 800;
  static constexpr int kHeight = 600;

  Movie(EngineState& state, Platform& platform, std::string gameDir, MovieHooks hooks);
  ~Movie();
  Movie(const Movie&) = delete;
  Movie& operator=(const Movie&) = delete;

  void Register(CommandTable& table);

  // `movie` PATH. Never ends the interpreter step.
  int MovieCommand(const char* arg);
  // The playback countdown, once a timer tick; true while a movie holds the tick.
  bool TickMovie();
  // Between ticks: shows the player's newest frame when it has one.
  void ShowNewFrame();
  // A left click on the game area while a movie plays; ends it once the guard has passed.
  void Click();
  // The game area was lost (the window system's repaint): shows the last frame again.
  void Repaint();
  void EndMovie();

  bool Playing() const { return playing_; }
  int Countdown() const { return countdown_; }
  // The last frame shown (black before the first).
  const Surface& Frame() const { return frame_; }

 private:
  bool Open(const std::string& path);
  // The player's news; waits up to `wait` seconds for the first. True when there was any.
  bool TakeEvents(double wait = 0);
  // Renders the player's frame when it has a new one.
  void RenderFrame();
  // Draws the player's current frame into the picture and shows it; with `skip` the player only
  // moves on to it.
  bool DrawFrame(bool skip);
  // Under a virtual clock: steps the paused player until its frame is the one for `target`
  // seconds into the movie, so that the pictures come out the same on every run.
  void KeepUp(double target);
  // Whether the movie has ended by itself, asked once the guard has passed.
  bool Over();
  // Seconds of the engine's clock since the movie started.
  double Elapsed() const;
  void Destroy();

  EngineState& s_;
  Platform& platform_;
  std::string gameDir_;
  MovieHooks hooks_;

  bool playing_ = false;
  std::string path_;
  // Null while no movie plays, and on a platform that shows nothing.
  mpv_handle* handle_ = nullptr;
  mpv_render_context* render_ = nullptr;
  int countdown_ = 0;
  bool finished_ = false;  // the player reported the end of the file
  bool failed_ = false;    // ... because it could not play it
  uint32_t startTicks_ = 0;
  double position_ = -1;  // seconds into the movie of the newest frame; -1 before the first
  // Stepping under a virtual clock: a step runs until its frame is shown and the position has
  // moved on from `stepFrom_`; a player that stops answering is no longer stepped.
  bool stepping_ = false;
  bool stalled_ = false;
  bool frameShown_ = false;
  double stepFrom_ = -1;
  std::optional<double> duration_;
  // Set from the player's threads, taken on the engine's.
  std::atomic<bool> eventsPending_{false};
  std::atomic<bool> frameDue_{false};

  // The renderer writes 4-byte pixels at a 64-byte aligned address; `pixels_` holds them.
  std::vector<uint8_t> buffer_;
  uint8_t* pixels_ = nullptr;
  Surface frame_;
};

}  // namespace zorvel
