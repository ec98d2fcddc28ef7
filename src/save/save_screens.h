// The save and load lists and quick save and load: every way the player or a script asks for
// them ends here. The list is a modal dialog; the save or load the player chooses in it runs
// between interface frames, with the interpreter off until the dialog closes.
//
// Touches: interpreterOn of the game state; the interface layer (the dialog); the saves.
#pragma once

#include <cstdint>
#include <functional>

#include "core/engine_state.h"
#include "core/hook.h"
#include "dialogs/save_load_dialog.h"
#include "save/save_games.h"
#include "script/commands.h"
#include "ui/ui_layer.h"

namespace zorvel {

struct SaveScreenHooks {
  // One pass of the engine's nested loop (events, the timer, a frame); false when the run is
  // ending. `nextTick` is when the 55 ms timer runs next; the pass keeps it.
  Hook<bool(uint32_t& nextTick)> modalPass;
};

class SaveScreens {
 public:
  SaveScreens(EngineState& state, UiLayer& ui, SaveGames& games, SaveScreenHooks hooks)
      : s_(state), ui_(ui), games_(games), dialog_(games), hooks_(std::move(hooks)) {}

  void OpenSaveList() { OpenSaveLoadDialog(1); }
  void OpenLoadList() { OpenSaveLoadDialog(0); }
  // The tool bar's hidden edit button: saving, with the edit mode's own sound.
  void OpenSaveEditList() { OpenSaveLoadDialog(2); }
  void QuickSave() { games_.QuickSave(); }
  void QuickLoad() { games_.QuickLoad(); }
  // Mode 0 loads, any other value saves.
  void OpenSaveLoadDialog(int mode);
  // `save` and `load`.
  void Register(CommandTable& table);

  SaveLoadDialog& Dialog() { return dialog_; }
  SaveGames& Games() { return games_; }

 private:
  EngineState& s_;
  UiLayer& ui_;
  SaveGames& games_;
  SaveLoadDialog dialog_;
  SaveScreenHooks hooks_;
};

}  // namespace zorvel
