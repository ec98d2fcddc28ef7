// Staff rolls and the screen specials: `roll` plays a roll script (pictures, music and blocks of
// text faded in and out on a time line), `sroll` scrolls the credits of "sroll" up the screen,
// and `special` runs one of the small screen effects (white flash, window shake, dimmed bars,
// sepia, the end roll of "endroll", the completion rate).
//
// Every roll is a blocking loop: it paces itself on the platform's clock and hands the window
// its input and the engine its timer between frames through `processMessages`, so music keeps
// streaming and a quit question can be asked in the middle. A confirmed quit sets the stop flag
// (Stop); the question itself pauses the roll (SetPaused).
//
// Touches: screenMode and toolbarLocked of the game state, the E flags (completion rate, the
// E999 click rule) and quitFlag (read); the background, scene, screen and work surfaces; the
// system text helper; the window position (shake). Scripts, pictures, music, the tool bar and
// the sepia fade are reached through the hooks. The roll's pictures live only while it runs.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/engine_state.h"
#include "core/hook.h"
#include "extras/config_lines.h"
#include "graphics/frame_clock.h"
#include "graphics/screen.h"
#include "graphics/surface.h"
#include "platform/platform.h"
#include "script/commands.h"
#include "text/system_text.h"

namespace zorvel {

// Roll text: lines of the text block and of the credits are cut to this many bytes, and a block
// keeps at most kRollMaxLines lines (more would not fit the screen at 32 pixels a line anyway).
constexpr int kRollLineBytes = 100;
constexpr int kRollMaxLines = 100;
constexpr int kRollLineHeight = 32;
// The scroll roll's credits: 24 pixels a line.
constexpr int kScrollLineHeight = 24;
// A roll whose credits would make a taller picture than this is cut to the lines that fit.
constexpr int kRollMaxPictureRows = 16384;

// One line of a roll script: a command ("*" or "@", a word of at most 10 bytes up to a tab,
// blank or the end, upper-cased) with the text after the word's terminator, or a text line.
struct RollLine {
  bool command = false;
  std::string word;
  std::string_view argument;
};
RollLine ReadRollLine(std::string_view line);

// "endroll": the frame period in ms, then picture lines up to "*", then credit lines up to the
// next line that begins with "*" (or the end). Periods outside 1..1000 and over-long lines are
// mended and said in `problems`.
struct EndRollScript {
  int32_t period = 30;
  std::vector<std::string> credits;
};
EndRollScript ReadEndRoll(std::span<const uint8_t> text, std::vector<std::string>* problems);

// "sroll": the lines up to the line that is exactly "}"; without it, up to the end of the text.
struct ScrollRollScript {
  std::vector<std::string> lines;
  bool closed = false;
};
ScrollRollScript ReadScrollRoll(std::span<const uint8_t> text, std::vector<std::string>* problems);

// The E flags the completion rate counts: 228 in all.
int CountCompletionFlags(const BitSet<1024>& e);

struct StaffRollHooks {
  // Window input and the timer, once; false once the run must end.
  Hook<bool()> processMessages;
  // A script read in configuration mode; null when the game has none of that name.
  Hook<const std::vector<uint8_t>*(const char* name)> loadConfigScript;
  // A picture by name at its own size; false (picture untouched) when it cannot be had.
  Hook<bool(const char* name, Surface& picture)> loadPicture;
  Hook<void(int32_t number)> music;
  Hook<void()> updateToolbar;
  Hook<void()> sepiaFade;
};

struct RollRect {
  int x1 = 200;
  int y1 = 200;
  int x2 = 600;
  int y2 = 600;
  int Width() const { return x2 - x1; }
  int Height() const { return y2 - y1; }
};

class StaffRoll {
 public:
  StaffRoll(EngineState& state, Screen& screen, SystemText& text, Platform& platform,
            StaffRollHooks hooks);
  StaffRoll(const StaffRoll&) = delete;
  StaffRoll& operator=(const StaffRoll&) = delete;

  // Binds `roll`, `sroll` and `special`.
  void Register(CommandTable& table);

  int Roll(const char* arg);
  int ScrollRoll(const char* arg);
  int Special(const char* arg);

  // A click while `sroll` runs: it ends the roll once the game has been finished (E999).
  void ScrollRollClick(MouseButton button, int x, int y);
  // The quit question is on screen (true) or gone (false).
  void SetPaused(bool paused) { paused_ = paused; }
  // The player confirmed quitting: every roll ends as soon as it looks.
  void Stop() {
    stop_ = true;
    scrollStop_ = true;
  }

  // What the state dump shows.
  const RollRect& Rect() const { return rect_; }
  int Alignment() const { return align_; }
  bool VerticalCentring() const { return centreVertically_; }
  const std::vector<std::string>& Block() const { return block_; }
  uint32_t TimeMark() const { return timeMark_; }
  bool Paused() const { return paused_; }
  bool Stopped() const { return stop_; }
  int ScrollPosition() const { return scrollY_; }
  int ScrollLines() const { return scrollLines_; }
  int EndRollPosition() const { return endRollY_; }

  // One frame of the end roll at credit row `y`: the strip at the screen's right built from the
  // credit picture, and (when `withBackground`) the background's left part; shown on the window.
  void DrawEndRollFrame(int y, bool withBackground);
  // A fade of the roll rectangle from the screen towards `towards` (rectangle-sized, or
  // screen-sized and read at the rectangle's place): BeginFade notes, row by row, the span where
  // the two differ (only there does a step change anything) and puts the screen's rectangle in
  // the work picture; FadeStep blends those spans at `level` and shows them on the window.
  void BeginFade(const Surface& towards);
  void FadeStep(int level);
  // Makes the credit picture of the end roll from its lines (public for the benchmark).
  void MakeCreditPicture(const std::vector<std::string>& credits);
  void SetRect(const RollRect& rect);

 private:
  // A command of a roll script; false for a word that is not one (the line is ignored).
  bool RunRollCommand(const RollLine& line);
  void AddBlockLine(std::string_view line);
  void Gra(std::string_view arg);
  void Win(std::string_view arg);
  void Put(int32_t how);
  void Era(int32_t how);
  void Wait(int32_t tenths);
  void Centre(std::string_view letters);
  void DrawTextPicture();
  // Fades the roll rectangle of the screen towards `to` (the text or the scene picture).
  void FadeRect(const Surface& to);
  void CopyRectToScreen(const Surface& from, bool fromRectPicture);

  void Flash();
  void Shake();
  void DimBars(const char* arg);
  void EndRoll();
  void CompletionRate();

  // One pass of messages; sets the stop flags when the run is ending.
  void Pump();
  // Sleeps `ms` in one piece (the platform flushes what was drawn first).
  void Sleep(uint32_t ms) { platform_.Sleep(ms); }
  void ShowScreenRect(int x, int y, int w, int h);

  EngineState& s_;
  Screen& screen_;
  SystemText& text_;
  Platform& platform_;
  StaffRollHooks hooks_;
  FrameClock clock_;

  RollRect rect_;
  int align_ = 1;  // 0 left, 1 centred, 2 right
  bool centreVertically_ = true;
  std::vector<std::string> block_;
  bool blockCut_ = false;
  uint32_t timeMark_ = 0;
  bool markSet_ = false;
  bool stop_ = false;
  bool paused_ = false;
  Surface textPicture_;

  bool scrollStop_ = false;
  int scrollY_ = 0;
  int scrollLines_ = 0;

  // The fade under way: its target, where it is read from, the differing span of each row of the
  // rectangle (begin == end for a row without one) and the rows that have any.
  struct Span {
    int begin = 0;
    int end = 0;
  };
  const Surface* fadeTo_ = nullptr;
  int fadeX_ = 0;
  int fadeY_ = 0;
  std::vector<Span> fadeSpans_;
  int fadeRowBegin_ = 0;
  int fadeRowEnd_ = 0;
  int fadeLeft_ = 0;
  int fadeRight_ = 0;

  // The end roll's credits, one bit a pixel, kCreditBytes a row, rows from the top, with a flag
  // for each row that has no lit pixel; and which rows of the strip on screen are black.
  std::vector<uint8_t> credits_;
  std::vector<uint8_t> creditRowEmpty_;
  int creditRows_ = 0;
  std::array<bool, kScreenHeight> stripBlack_{};
  std::vector<ScreenRect> stripRects_;
  int endRollY_ = 0;
};

}  // namespace zorvel
