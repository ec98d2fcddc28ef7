// The choice list of `select`: the choice lines after the command are read (conditions and
// string variables included), laid out as boxes over the scene (window mode) or as plates
// under the text of a novel page, highlighted under the pointer, and taken by a click, which
// plays the choice sound, blinks the chosen box and goes on at the first line of its branch.
// Choices made inside a recorded scene are logged, and a replay of the scene takes them again
// by itself.
//
// The list is drawn into the screen surface itself, so a repaint, a screenshot or a screen
// that keeps and restores the screen surface (hidden window, backlog) shows it as the player
// saw it; the screen under the list is kept and put back when the choice is taken.
//
// Touches: scriptPos, lineStart, needLine, textRow, textColour, textWindowOn, busy,
// interactionMode, the string variables and S010, S015, S037, S150-S153 of the game state; the
// script buffer (read); the screen surface and the four choice pictures of the screen; the
// message font; the conditions of the expressions; the frame clock (the click animation). The
// sounds, the new text page and the pointer position are reached through the hooks.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>

#include "core/engine_state.h"
#include "core/hook.h"
#include "graphics/frame_clock.h"
#include "graphics/screen.h"
#include "platform/platform.h"
#include "resources/game_config.h"
#include "resources/settings.h"
#include "script/commands.h"
#include "script/expressions.h"
#include "script/interpreter.h"
#include "text/font.h"

namespace zorvel {

constexpr int kMaxChoices = 32;
// Longest choice text in bytes; the field holds one more for the ending 0.
constexpr int kChoiceTextMax = 64;
// The choice log of recorded scenes, one byte a choice.
constexpr int kChoiceLogSize = 1024;

struct ChoiceHooks {
  // Plays a system sound by name (nothing while skipping).
  Hook<void(const char* name)> playSystemSound;
  // Empties the text page and shows the window (or the novel page).
  Hook<void()> openTextPage;
  // Where the pointer is over the game area.
  Hook<std::pair<int, int>()> pointer;
};

class Choices {
 public:
  Choices(EngineState& state, Screen& screen, const GameConfig& config, const Settings& settings,
          Font& font, Expressions& expressions, Interpreter& interpreter, FrameClock& clock,
          Platform& platform, ChoiceHooks hooks);

  // Binds `select` in the command table.
  void Register(CommandTable& table);
  // `select`: reads, draws and offers the list; the interpreter waits for the choice.
  int Select(const char* arg);

  // A mouse press while the list waits (left button), and every mouse move over the game area.
  void Click(MouseButton button, int x, int y);
  void Hover(int x, int y);
  // Takes the highlighted choice; a click beside the list (none highlighted) does nothing.
  void TakeChoice();
  // The choice sound and the choice log of a choice made elsewhere (a click map's entry).
  void RecordTaken(int chosen) { SoundAndLog(chosen, false); }
  // The screen as it was before a window-mode list was drawn, for leaving the list without a
  // choice (the return to the title).
  void RestoreScreen();

  // For the Up and Down keys: the highlighted choice (1-based, 0 none), how many there are and
  // the list box in game-area pixels.
  int Current() const { return highlighted_ < 0 ? 0 : highlighted_; }
  int Count() const { return count_; }
  int BoxLeft() const { return boxLeft_; }
  int BoxTop() const { return boxTop_; }
  int BoxWidth() const { return boxWidth_; }

  // The offered texts (Shift-JIS) and where each branch starts.
  const char* Text(int index) const;
  int32_t Target(int index) const;
  // The sound the list last asked for ("SSE02" when shown, the choice sound when taken): the
  // sound output may be off, so what was asked is kept for the state dump and tests.
  const std::string& LastSound() const { return lastSound_; }
  const std::array<uint8_t, kChoiceLogSize>& Log() const { return log_; }

 private:
  struct Box {
    int left = 0, top = 0, right = 0, bottom = 0;
  };

  // Reads the choice lines after `select` into the list.
  void ReadChoices();
  // One choice line starting after its "{": true when it is offered, with its text in `text`;
  // `stop` receives where reading ended.
  bool ReadChoiceLine(int32_t pos, char (&text)[kChoiceTextMax + 1], int32_t& stop);
  void LayOutWindow();
  void LayOutNovel();
  void DrawWindowText(Surface& target, int entry, int style);
  // The entry (1-based) under a point, 0 for none.
  int EntryAt(int x, int y) const;
  // The rectangle an entry's highlight is copied through.
  Box EntryRect(int entry) const;
  // Takes the highlighted choice; `replayed` when the choice log's replay took it.
  void Take(bool replayed);
  // Plays the choice sound and logs `chosen` while recording, unless the log holds it already.
  void SoundAndLog(int chosen, bool logged);
  // The chosen box blinks from plain to lit, `frames` steps of 100 ms.
  void ClickAnimation(int frames);
  // The script line (1-based) that holds the current command, for the log.
  int CurrentLineNumber() const;
  void PlaySound(const char* name);

  EngineState& s_;
  Screen& screen_;
  const GameConfig& config_;
  const Settings& settings_;
  Font& font_;
  Expressions& expr_;
  Interpreter& interp_;
  FrameClock& clock_;
  Platform& platform_;
  ChoiceHooks hooks_;

  char texts_[kMaxChoices][kChoiceTextMax + 1]{};
  int32_t targets_[kMaxChoices]{};
  int count_ = 0;
  int highlighted_ = 0;
  bool novel_ = false;
  std::array<Box, kMaxChoices> boxes_{};
  int boxTop_ = 0;
  int boxLeft_ = 0;
  int boxWidth_ = 0;
  // The screen under the list, the list drawn normally, and the list with every entry lit.
  Surface under_, normal_, lit_;
  bool shown_ = false;
  // This list's choice came from the log's replay (taken by it, or left to the player in novel
  // mode): the log holds it already.
  bool fromLog_ = false;

  std::array<uint8_t, kChoiceLogSize> log_{};
  std::string lastSound_;
};

}  // namespace zorvel
