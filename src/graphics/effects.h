// Screen effects beyond the layers: the timed flashes, tints, negative images and shakes of the
// "effect" script, the background animation that the idle pass cycles while the story goes on
// (`bg_anim`), the mark icon over the scene (`manpu`, blinking in the timer tick) and the
// character slides of `sprmv`.
//
// What the class touches: the screen surfaces (screen, scene, background, previous, work; the
// window geometry of the configuration), the EngineState fields busy, animating, closeRequest,
// screenMode, textWindowOn, windowPictureValid, backgroundName, characterSpec, the S registers
// 19, 32, 33 and 80-99; the setting MemorySaveMode; the frame clock; the platform's present
// and window position. Layers, the message window, the text and the script loader are reached
// through the hooks.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

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

// ---- Parameter fields ------------------------------------------------------------------------

constexpr int kParamFields = 32;
constexpr int kParamFieldChars = 30;
constexpr int32_t kNotANumber = -99999;

struct ParamFields {
  std::array<std::string, kParamFields> text;
  std::array<int32_t, kParamFields> value;
};

// Splits at "," and ":" into up to 32 fields (blanks before a field skipped, at most 30
// characters kept); each field's value is the decimal number it starts with, kNotANumber when
// it starts with none. Returns the number of separators plus one, 0 for an empty text.
int SplitParams(const char* text, ParamFields& out);

// ---- The "effect" script ---------------------------------------------------------------------

constexpr int kEffectSteps = 200;

struct EffectStep {
  enum Kind : uint8_t { kWait = 0, kOffset, kShow, kFill, kTint, kNegative };
  Kind kind = kWait;
  int32_t ms = 0;
  int32_t x = 0;  // offset, or the colour as 0xRRGGBB
  int32_t y = 0;  // offset, or the tint level
};

// The steps of the block ":NAME" of an effect script's text (lines ended by 0 or a line
// break); no block, no steps. Numbers that are not numbers are reported through `error`.
std::vector<EffectStep> ParseEffectBlock(const std::vector<uint8_t>& script, const char* name,
                                         std::string* error = nullptr);

// ---- bg_anim and sprmv arguments -------------------------------------------------------------

constexpr int kAnimationSlots = 32;
constexpr int kSequenceLength = 128;

struct BgAnimArgs {
  enum class Form { kEnd, kRelease, kPictures, kOffsets };
  Form form = Form::kPictures;
  int32_t speed = 1;               // 1 or more
  bool speedOnly = false;          // nothing after the speed
  bool speedBad = false;           // the speed field was no number
  std::vector<std::string> names;  // picture form
  struct Offset {
    int32_t level = 0, dx = 0, dy = 0;
  };
  std::vector<Offset> offsets;  // offset form
  bool hasSequence = false;
  bool playOnce = false;  // ">" sequence
  // As written (0-35 in the picture form; each character minus '0' in the offset form); the
  // play drops entries that name no frame made.
  std::vector<int> sequence;
};

BgAnimArgs ParseBgAnimArgs(const char* arg);

struct SprmvGroup {
  std::string name;
  int32_t x = 0, y = 0, frames = 0;
  bool xGiven = true, yGiven = true;
};

struct SprmvArgs {
  bool init = false;
  // At most four groups; more are dropped (the arrangements have at most four places).
  std::vector<SprmvGroup> groups;
  int droppedGroups = 0;
};

// False for an argument that does nothing (empty, one field that is not INIT, a field count
// that is not a multiple of four).
bool ParseSprmvArgs(const char* arg, SprmvArgs& out);

// ---- The subsystem ---------------------------------------------------------------------------

struct EffectHooks {
  // Loads a script in configuration mode and returns its text (null when there is none).
  Hook<const std::vector<uint8_t>*(const char* name)> loadConfigScript;
  Hook<bool(const char* name, Surface& picture)> loadPicture;
  Hook<void()> buildWindowPicture;
  Hook<void()> buildScreen;
  Hook<void()> openTextPage;
  Hook<void()> updateToolbar;
  Hook<void()> composeScene;
  Hook<void(const char* spec)> loadCharacters;
  Hook<void()> resetPositions;
  Hook<void()> closeMessageWindow;
  // A script error: a number field that is no number.
  Hook<void(const std::string& message)> reportError;
};

class Effects {
 public:
  Effects(Screen& screen, EngineState& state, const GameConfig& config, const Settings& settings,
          FrameClock& clock, Platform& platform, EffectHooks hooks);
  Effects(const Effects&) = delete;
  Effects& operator=(const Effects&) = delete;

  // effect, bg_anim, manpu, sprmv.
  void Register(CommandTable& table);

  // Start-up and `gameinit` ("INIT"): the character positions back to their defaults.
  void Reset(const char* how);
  // The timer's step: the mark's blink.
  void EffectTick();
  bool BackgroundAnimationRunning() const { return framesInUse_ > 0; }
  // The idle pass: the next frame when the pass count is a multiple of the speed.
  void BackgroundAnimationPass(unsigned idleCount);
  void AdvanceBackgroundAnimation();
  // Ends a running animation without touching the screen (the title return).
  void StopBackgroundAnimation() { framesInUse_ = 0; }
  // Puts back what lay under a shown mark icon.
  void EraseMark();
  BackgroundFrames Frames();

  // The handlers; public so tests and fuzzers reach them directly.
  int Effect(const char* arg);
  int BgAnim(const char* arg);
  int Manpu(const char* arg);
  int Sprmv(const char* arg);
  // One tint step of the effect script (public for the benchmark).
  void Tint(uint8_t r, uint8_t g, uint8_t b, int level) { TintStep(r, g, b, level); }

  // For the state dump.
  int FramesInUse() const { return framesInUse_; }
  int CreatedSlots() const { return createdSlots_; }
  int Speed() const { return speed_; }
  int Position() const { return position_; }
  int ShownFrame() const { return shownFrame_; }
  std::vector<int> Sequence() const {
    return {sequence_.begin(), sequence_.begin() + sequenceLength_};
  }
  const std::string& SlotName(int slot) const { return slots_[slot].name; }
  bool MarkShown() const { return markShown_; }
  int MarkMode() const { return markMode_; }
  int MarkWidth() const { return markWidth_; }
  int MarkHeight() const { return markHeight_; }

 private:
  struct Slot {
    std::string name;
    bool created = false;
  };
  struct Rect {
    int64_t x, y;
    int w, h;
  };
  Rect WindowRect() const;
  void PlaySteps(const std::vector<EffectStep>& steps);
  // A kind-4 step: the screen tinted level/256 toward the colour, shown from WorkSurface.
  void TintStep(uint8_t r, uint8_t g, uint8_t b, int level);
  void EndAnimation(bool release);
  void CreateSlot(int i);
  int BuildPictureFrames(const BgAnimArgs& a);
  int BuildOffsetFrames(const BgAnimArgs& a);
  void KeepCleanArea(int i);
  void ShowFrame(int frame);
  // Presents `picture` (w x h) with its top-left at (x, y) of the game window.
  void ShowAt(const Surface& picture, int64_t x, int64_t y);
  void ReportNumber(const char* what, const std::string& field);

  Screen& screen_;
  EngineState& s_;
  const GameConfig& config_;
  const Settings& settings_;
  FrameClock& clock_;
  Platform& platform_;
  EffectHooks hooks_;

  // Background animation: the slots' pictures side by side in arrays so that the frames in use
  // are one contiguous span for the text and the window.
  std::array<Surface, kAnimationSlots> frames_;
  std::array<Surface, kAnimationSlots> windowPictures_;
  std::array<Surface, kAnimationSlots> cleanAreas_;
  std::array<Slot, kAnimationSlots> slots_;
  int createdSlots_ = 0;
  int framesInUse_ = 0;
  std::array<uint8_t, kSequenceLength> sequence_{};
  int sequenceLength_ = 0;
  int position_ = 0;
  int shownFrame_ = 0;
  // Until the first frame change of a run the window still shows the screen from before it.
  bool frameOnScreen_ = false;
  int32_t speed_ = 1;

  // The mark icon.
  Surface markPicture_, markSaved_, markMarked_, markPlain_;
  Surface stage_;  // a game-area-sized picture the small ones are presented through
  int markWidth_ = 0;
  int markHeight_ = 0;
  int markMode_ = 0;
  // Where the mark was drawn: erased and blinked there even if a script moves S032/S033.
  int32_t markX_ = 0;
  int32_t markY_ = 0;
  bool markShown_ = false;
  uint32_t tickCounter_ = 0;
  std::vector<uint8_t> tintRow_;
};

}  // namespace zorvel
