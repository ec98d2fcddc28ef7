// The hero's name: the `setname` command's dialog. The first name is typed; the second (given)
// name field is hidden, as the game's layout has it, and changes only through "デフォルト".
//
// Touches: busy, the string variables $0 and $1 and S006 of the game state; the engine's
// Settings and the store ("PlayerName", "PlayerName2"); the interface layer (the dialog).
#pragma once

#include <cstdint>
#include <string>

#include "core/engine_state.h"
#include "core/hook.h"
#include "dialogs/dialog_frame.h"
#include "resources/game_config.h"
#include "resources/settings.h"
#include "script/commands.h"
#include "ui/ui_layer.h"

namespace zorvel {

struct NameEntryHooks {
  Hook<bool(uint32_t& nextTick)> modalPass;
};

class NameEntryDialog {
 public:
  static constexpr int kClientWidth = 275, kClientHeight = 96;

  NameEntryDialog(EngineState& state, UiLayer& ui, SettingsStore& store,
                  const SettingsLocation& where, Settings& settings, const GameConfig& config,
                  NameEntryHooks hooks);

  // `setname`.
  void Register(CommandTable& table);
  // Asks for the names until "ＯＫ" takes them, then sets S006.
  void SetName();

  // A name the dialog accepts: 1 to 4 full-width characters of Shift-JIS.
  static bool ValidName(const std::string& sjis);

  // For tests: the fields as they show now (UTF-8).
  bool IsOpen() const { return open_; }
  std::string FirstField() const { return first_; }
  std::string SecondField() const { return second_; }

 private:
  bool Build();
  void Accept();

  EngineState& s_;
  UiLayer& ui_;
  SettingsStore& store_;
  const SettingsLocation& where_;
  Settings& settings_;
  const GameConfig& config_;
  NameEntryHooks hooks_;
  bool open_ = false;
  char first_[128]{};  // UTF-8
  char second_[128]{};
};

}  // namespace zorvel
