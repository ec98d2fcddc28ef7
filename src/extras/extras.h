// Gallery and recollection lists, read at start-up once those screens exist, and the entry
// points that input already routes to their screens, the staff roll and the selection tree.
#pragma once

#include <string>

#include "extras/selection_tree.h"
#include "extras/staff_roll.h"
#include "platform/platform.h"

namespace zorvel {

class Gallery {
 public:
  void CreatePictureList() {}
  void ReadConfiguration(const char* /*name*/) {}
  // The gallery's picture list: the index of an upper-cased name, or -1, and its length. Empty
  // until the gallery reads its list.
  int PictureIndex(const std::string& /*upperName*/) const { return -1; }
  int PictureCount() const { return 0; }
  void ViewerClick(MouseButton, int /*x*/, int /*y*/) {}
  void ViewerMouseMove(int /*x*/, int /*y*/) {}
};

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
