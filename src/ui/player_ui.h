// Screens of the player interface that input and the main loop already route to: choices, the
// backlog and page rewind, the hidden window and panic picture, the quick-button bar and the
// yes/no questions, click maps. Each keeps its entry points here and does nothing until its
// screen is built, so every route of the mouse, keys and menus already ends in its owner.
#pragma once

#include "platform/platform.h"

namespace zorvel {

// The choice list (window and novel layouts).
class Choices {
 public:
  void Click(MouseButton, int /*x*/, int /*y*/) {}
  void Hover(int /*x*/, int /*y*/) {}
  // For the Up and Down keys: the highlighted choice (1-based, 0 none), how many there are and
  // the list box in game-area pixels.
  int Current() const { return 0; }
  int Count() const { return 0; }
  int BoxLeft() const { return 0; }
  int BoxTop() const { return 0; }
  int BoxWidth() const { return 0; }
};

// The history view, its page ring and the page rewind.
class Backlog {
 public:
  void RecordBacklogPage() {}
  void StepPageCounterBack() {}
  void ResetPageCounter() {}

  void OpenBacklog() {}
  void CloseBacklog() {}
  void Click(MouseButton, int /*x*/, int /*y*/) {}
  void MouseMove(int /*x*/, int /*y*/) {}
  void MouseUp() {}
  void Wheel(int /*delta*/) {}

  void EnterRewind() {}
  // Back one page, or forward one (leaving the rewind past the newest page).
  void StepRewind(bool /*forward*/) {}
  void LeaveRewind() {}
};

// The message window hidden by the player, and the panic picture.
class HiddenWindow {
 public:
  void HideWindow() {}
  void ShowWindow() {}
  void ShowPanic() {}
  void RemovePanic() {}
};

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
