// Screens of the player interface that input and the main loop already route to: choices, the
// backlog and page rewind, the hidden window and panic picture, the quick-button bar and the
// yes/no questions, click maps. Each keeps its entry points here and does nothing until its
// screen is built, so every route of the mouse, keys and menus already ends in its owner.
#pragma once

#include "platform/platform.h"
#include "ui/backlog.h"
#include "ui/choices.h"
#include "ui/hidden_window.h"
#include "ui/quick_bar.h"

namespace zorvel {

// Click maps.
class ClickMap {
 public:
  void Click(MouseButton, int /*x*/, int /*y*/) {}
  void Hover(int /*x*/, int /*y*/) {}
};

class Cursors {
 public:
  void LoadCursors() {}
  void DrawMeter(int /*mode*/) {}
};

}  // namespace zorvel
