// Screens of the player interface that start-up and the main loop already call into. The
// backlog page ring, the quick-button bar and the cursors are built by the interface work.
#pragma once

namespace zorvel {

class Backlog {
 public:
  void RecordBacklogPage() {}
  void StepPageCounterBack() {}
  void ResetPageCounter() {}
};

class QuickBar {
 public:
  void ResetHighlight() {}
  void DrawQuickBar() {}
};

class Cursors {
 public:
  void LoadCursors() {}
};

}  // namespace zorvel
