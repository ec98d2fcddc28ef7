// The recollection list, read at start-up once that screen exists, and the entry points that
// input already routes to its screen, the staff roll and the selection tree. The gallery viewer
// has its own header.
#pragma once

#include <string>

#include "extras/selection_tree.h"
#include "extras/staff_roll.h"
#include "extras/gallery.h"
#include "platform/platform.h"

namespace zorvel {

class Recollection {
 public:
  void ReadRecollectionList() {}
  // A script load reports its scene; listed scenes unlock themselves and their heading.
  void UnlockScene(const std::string& /*upperName*/) {}
  void ScreenClick(MouseButton, int /*x*/, int /*y*/) {}
  void ScreenMouseMove(int /*x*/, int /*y*/) {}
  void ScreenMouseUp(int /*x*/, int /*y*/) {}
  // The replay's own end, from the tool bar menu.
  void EndReplay() {}
  bool ReplayRunning() const { return false; }
};

}  // namespace zorvel
