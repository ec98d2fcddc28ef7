// Global data shared by all saved games (event flags, seen pictures, unlocked scenes, read
// marks). Reading and writing "save0.dat" comes with the save work.
#pragma once

namespace zorvel {

class GlobalData {
 public:
  void LoadGlobalData() {}
  void SyncGlobalData() {}
  // Counts a change of the shown characters.
  void CountCharacterChange() {}
};

}  // namespace zorvel
