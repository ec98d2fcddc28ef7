// The save and load lists and quick save and load. The slot files and the list come with the
// save work; input already routes every way of opening them here.
#pragma once

namespace zorvel {

class SaveScreens {
 public:
  void OpenSaveList() {}
  void OpenLoadList() {}
  void OpenSaveEditList() {}
  void QuickSave() {}
  void QuickLoad() {}
};

}  // namespace zorvel
