#include "save/save_screens.h"

namespace zorvel {

void SaveScreens::OpenSaveLoadDialog(int mode) {
  if (dialog_.IsOpen()) return;
  s_.interpreterOn = false;
  dialog_.Open(mode);
  ui_.OpenDialog([this] { return dialog_.Build(); },
                 [mode] { return std::string(mode == 0 ? "saveload/load" : "saveload/save"); });
  uint32_t nextTick = 0;
  while (ui_.DialogOpen()) {
    const bool goOn = hooks_.modalPass(nextTick);
    if (const auto action = dialog_.TakeAction()) {
      if (action->save) {
        if (games_.SaveGame(action->slot, true)) {
          games_.WriteComment(action->slot, action->sjisComment);
        }
        dialog_.Refresh(action->slot);
      } else {
        games_.LoadGame(action->slot, true);
      }
      dialog_.Close();
    }
    if (!goOn) break;
  }
  // The run may end with the dialog up: it closes unanswered.
  dialog_.Close();
  ui_.CloseDialog();
  s_.interpreterOn = true;
}

void SaveScreens::Register(CommandTable& table) {
  table.Register(kSave, [this](const char*) {
    OpenSaveLoadDialog(1);
    return 1;
  });
  table.Register(kLoad, [this](const char*) {
    OpenSaveLoadDialog(0);
    return 1;
  });
}

}  // namespace zorvel
