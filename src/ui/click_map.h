// Click maps: the player chooses by clicking areas of the picture instead of a text list. The
// areas come from the script "map" (read in configuration mode, so the story script stays), one
// named map after a ":" line: its entry count, then one line an entry, fields split by ",":
//   "$RGB",n            wherever the parts picture has that colour (each byte's low four bits
//                       ignored), map cursor n shows and the entry applies;
//   "*...",x1,y1,x2,y2  a rectangle; hovering shows the same rectangle of the parts picture;
//   "#...",x1,y1,x2,y2,a1,b1,a2,b2[,e,f]  the same, plus the piece a1,b1-a2,b2 of the parts
//                       picture shown at e,f (its own place by default);
//   anything else       a plain rectangle that changes nothing on screen.
// The branches follow `clickmap` as those of `select` do, the k-th "{" line belonging to entry
// k: "{(condition)" disables the entry when false, "{@T" makes it the timeout branch run after
// T x 20 timer ticks, and other text replaces the entry's name (and so its kind).
//
// Also here: `switch` (a branch picked by conditions, with or without a block name) and `map`.
//
// Touches: scriptPos, lineStart, needLine, textWindowOn, interactionMode, the string variables 6
// and 7, S010, S015 and S150 of the game state; the script buffer (read) and the loader's
// configuration text; the screen surface, the parts picture and the second parts picture
// (work surface); the conditions of the expressions; the platform's presents. Sounds, the choice
// log, the message window, the pointer, the map cursors and text widths go through the hooks.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "core/engine_state.h"
#include "core/hook.h"
#include "graphics/screen.h"
#include "platform/platform.h"
#include "resources/archive_set.h"
#include "script/expressions.h"
#include "script/interpreter.h"

namespace zorvel {

class CommandTable;

constexpr int kMaxMapEntries = 32;
constexpr int kMapNameMax = 64;
constexpr int kMapFields = 10;
// The label box: 24 rows, the name's width at 16 pixels plus 32.
constexpr int kLabelHeight = 24;
constexpr int kLabelFontHeight = 16;
constexpr int kLabelPadding = 32;
// The "@" timeout counts in twentieths of its number's timer ticks.
constexpr int kTimeoutTicksPerUnit = 20;

struct MapEntry {
  char name[kMapNameMax + 1]{};
  // The numbers after the name as the "map" script gave them; the kind decides what they mean.
  std::array<int32_t, kMapFields> fields{};
  int fieldCount = 0;
  // Derived from the name's first character and the fields.
  int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  int a1 = 0, b1 = 0, a2 = 0, b2 = 0, e = 0, f = 0;
  uint8_t keyR = 0, keyG = 0, keyB = 0;
  int cursor = 0;
  int labelLeft = 0, labelRight = 0, labelTop = 0;
  // The line of the map script the entry was read from (1-based).
  int line = 0;
  bool enabled = true;
  int32_t target = 0;

  char Kind() const { return name[0]; }
  // Recomputes the rectangle, piece, colour key and cursor from the name and the fields.
  void Derive();
};

// One map of the "map" script: `count` entries (at most 32) read after the first ":" followed by
// the name. False with `problem` saying why when the name is not there.
struct MapEntries {
  int count = 0;
  std::array<MapEntry, kMaxMapEntries> entries{};
};
bool ReadMapEntries(std::span<const uint8_t> mapText, std::string_view name, MapEntries& out,
                    std::string& problem);

struct ClickMapHooks {
  Hook<void(const char* name)> playSystemSound;
  // The choice sound and the choice log, as a choice from a list has them.
  Hook<void(int chosen)> takeAsChoice;
  // The message window and its text back onto the screen surface.
  Hook<void()> redrawMessageWindow;
  Hook<void(int n)> setMapCursor;
  Hook<std::pair<int, int>()> pointer;
  // Width of a Shift-JIS text in the interface face at a pixel height.
  Hook<int(const char* sjis, int pixelHeight)> textWidth;
};

class ClickMap {
 public:
  ClickMap(EngineState& state, Screen& screen, ScriptLoader& loader, Interpreter& interpreter,
           Expressions& expressions, Platform& platform, ClickMapHooks hooks);

  // Binds `clickmap`, `switch` and `map`.
  void Register(CommandTable& table);
  int Clickmap(const char* arg);
  int Switch(const char* arg);
  int Map(const char* arg);

  // A mouse move over the game area and a press while the map waits.
  void Hover(int x, int y);
  void Click(MouseButton button, int x, int y);
  void TakeMapEntry();
  // Every timer tick while a choice, map or tree waits.
  void TickMapTimeout();
  // The map was left without a choice (a load, the title): its cursor and timeout go with it.
  void Abandon();

  bool Waiting() const { return active_; }
  int Count() const { return count_; }
  int Highlighted() const { return highlighted_; }
  const MapEntry& Entry(int index) const { return entries_[static_cast<size_t>(index)]; }
  int TimeoutTicks() const { return timeoutTicks_; }
  int TimeoutEntry() const { return timeoutEntry_; }

 private:
  // The entry (1-based) under a point, 0 for none; `cursor` receives the map cursor it asks for.
  int EntryAt(int x, int y, int& cursor) const;
  void ComputeLabel(MapEntry& entry);
  // The entry's name with its caption translated, when a translation has it for `line` of
  // `script`.
  void TranslateName(MapEntry& entry, std::string_view script, int line, int32_t offset);
  void ReadBranches();
  void Unhighlight(int entry);
  void Highlight(int entry);
  void ContinueAt(int entry);
  // Past the "}" line that ends the block after the current line.
  void SkipBlock();
  int CurrentLineNumber() const;
  std::string ScriptName() const;

  EngineState& s_;
  Screen& screen_;
  ScriptLoader& loader_;
  Interpreter& interp_;
  Expressions& expr_;
  Platform& platform_;
  ClickMapHooks hooks_;

  std::array<MapEntry, kMaxMapEntries> entries_{};
  // Entries the map script gave; the branch lines may add more, up to kMaxMapEntries.
  int mapCount_ = 0;
  int count_ = 0;
  int highlighted_ = 0;
  int timeoutTicks_ = 0;
  int timeoutEntry_ = 0;
  bool active_ = false;
  // What the window shows where a highlight is drawn: the parts picture's rectangles and pieces
  // go through it, so the screen surface keeps the map without them.
  Surface view_;
};

}  // namespace zorvel
