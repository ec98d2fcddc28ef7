// The text page of the message window: 20 rows of 100 byte columns, the cursor and the page
// counters, and their drawing. Each character the interpreter hands over is placed by the
// wrap and line-start rules, stored in the page and drawn onto the screen surface at once; the
// page is drawn again whole whenever the screen is rebuilt. The speaker's name plate, ruby and
// the click-wait icon belong here too.
//
// Touches: the page fields of the game state, S037 and S154; the screen surface, the window
// and name-plate pictures of the screen (read), the click-wait pictures; the window through
// the platform. The message window itself, the quick buttons and the crossfade are reached
// through the hooks. Words of half-width letters are kept whole when word wrap is on; the
// interpreter measures each word, this class decides where it goes.
#pragma once

#include <functional>
#include <string>

#include "core/engine_state.h"
#include "core/hook.h"
#include "graphics/background_frames.h"
#include "graphics/screen.h"
#include "platform/platform.h"
#include "resources/game_config.h"
#include "resources/settings.h"
#include "text/font.h"
#include "text/system_text.h"

namespace zorvel {

struct MessageTextHooks {
  // Puts the window picture, the quick buttons and the page onto the screen surface.
  Hook<void()> drawWindowAndText;
  Hook<void(int mode)> drawQuickBar;
  // The crossfade of the given type from the previous screen to the screen surface.
  Hook<void(int type)> crossfadeByType;
  Hook<bool()> backgroundAnimationRunning;
  // A running background animation's frames: the text is drawn into each of them too, and
  // shown from the frame on display.
  Hook<BackgroundFrames()> backgroundFrames;
  Hook<bool()> skipping;
  // A wrapped line is a line of its own in the backlog.
  Hook<void()> closeBacklogLine;
};

class MessageText {
 public:
  MessageText(EngineState& state, const GameConfig& config, const Settings& settings,
              Screen& screen, Font& font, SystemText& systemText, Platform& platform,
              MessageTextHooks hooks);

  // Empties the page and makes sure the window is shown.
  void OpenTextPage();
  // Places, stores and draws one character of `advance` bytes and moves the cursor on. False
  // when word wrap dropped it (a space at the wrap column).
  bool OutputChar(const char* bytes, int advance);
  // Draws the whole page onto the screen surface (and shows each character's cell).
  void RedrawText();
  // Sets the speaker's colour from the speaker table and draws the name plate.
  void DrawSpeakerName(const char* sjisName);
  // Small text over the next character's place.
  void DrawRuby(const char* sjisText);
  // The timer's step of the click-wait icon, and its removal by the click.
  void AnimateClickWait();
  void EraseClickWait();
  // Colour index 0 (the speaker's colour in S037) for the glyphs that follow.
  void SetTextColour() { font_.SetTextColour(0); }

  // Word wrap, on while the engine asks for it (a translation is shown) or the WordWrap setting
  // is set: a word of half-width letters that would cross the wrap column starts the next line
  // instead, and a space that reaches the column is dropped rather than opening the next line.
  void SetWordWrap(bool on) { wordWrapAsked_ = on; }
  bool WordWrap() const { return wordWrapAsked_ || settings_.WordWrap != 0; }
  // Told before the first letter of a word of `letters` half-width letters is output: moves the
  // cursor to the next line when the word would cross the wrap column there. A word longer than
  // a line still starts a line of its own, then breaks at the column.
  void StartWord(int letters);

  // Whether `code` (lead x 256 + trail) may hang up to two columns past the wrap column.
  static bool IsLineStartCharacter(uint16_t code);

 private:
  bool Novel() const;
  // What the game window shows the text on: the animation frame on display, or the screen.
  const Surface& Shown(const BackgroundFrames& frames) const {
    return frames.shown != nullptr ? *frames.shown : screen_.screenSurface;
  }
  // The cell's top-left on the screen for a page position.
  void CellPosition(int column, int row, int& x, int& y) const;

  EngineState& s_;
  const GameConfig& config_;
  const Settings& settings_;
  Screen& screen_;
  Font& font_;
  SystemText& systemText_;
  Platform& platform_;
  MessageTextHooks hooks_;

  bool wordWrapAsked_ = false;
  // The click-wait icon: its frame counter and where it is shown.
  uint32_t iconCounter_ = 0;
  bool iconShown_ = false;
  int iconX_ = 0;
  int iconY_ = 0;
};

}  // namespace zorvel
