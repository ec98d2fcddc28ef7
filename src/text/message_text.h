// The text page of the message window: 20 rows of 100 byte columns, the cursor and the page
// counters. Characters are stored here as the interpreter hands them over; drawing them onto
// the screen belongs to the glyph renderer.
#pragma once

#include "core/engine_state.h"

namespace zorvel {

class MessageText {
 public:
  explicit MessageText(EngineState& state) : s_(state) {}

  // Empties the page and makes sure the window is shown.
  void OpenTextPage();
  // Stores one character of `advance` bytes at the cursor and moves the cursor on.
  void OutputChar(const char* bytes, int advance);

 private:
  EngineState& s_;
};

}  // namespace zorvel
