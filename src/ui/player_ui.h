// Screens of the player interface that input and the main loop already route to: choices, the
// backlog and page rewind, the hidden window and panic picture, the quick-button bar and the
// yes/no questions, click maps. Each keeps its entry points here and does nothing until its
// screen is built, so every route of the mouse, keys and menus already ends in its owner.
#pragma once

#include "platform/platform.h"
#include "ui/backlog.h"
#include "ui/choices.h"
#include "ui/hidden_window.h"

namespace zorvel {

// The quick-button bar along the bottom of the game area, and the yes/no question band.
class QuickBar {
 public:
  void ResetHighlight() {}
  void DrawQuickBar() {}
  void HoverQuickBar(int /*x*/, int /*y*/) {}
  // Runs the action of the button under the pointer (or chosen by a function key); true when a
  // button acted.
  bool PressQuickButton() { return false; }
  // A function key's button (0 none) taken as the hovered one before the press.
  void ChooseButton(int /*button*/) {}

  void AskQuestion(const char* /*sjisText*/, int /*kind*/) {}
  void QuestionMouseMove(int /*x*/, int /*y*/) {}
  void QuestionClick(MouseButton, int /*x*/, int /*y*/) {}
  // A click while the return-to-title question is up answers it with yes.
  void AnswerTitleQuestionYes() {}
  void ApplySettings() {}
};

// Click maps.
class ClickMap {
 public:
  void Click(MouseButton, int /*x*/, int /*y*/) {}
  void Hover(int /*x*/, int /*y*/) {}
};

class Cursors {
 public:
  void LoadCursors() {}
};

}  // namespace zorvel
