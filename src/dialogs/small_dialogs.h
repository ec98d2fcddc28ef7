// The two small dialogs: naming a recollection playlist, and the choice presets that answer three
// recurring kinds of choice in advance.
//
// Touches: V200 to V202 of the game state (the presets) and the interface layer (the dialogs).
// The playlist name is only returned: the caller keeps it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "core/engine_state.h"
#include "core/hook.h"
#include "dialogs/dialog_frame.h"
#include "resources/game_config.h"
#include "ui/ui_layer.h"

namespace zorvel {

struct SmallDialogHooks {
  Hook<bool(uint32_t& nextTick)> modalPass;
};

class PlaylistNameDialog {
 public:
  static constexpr int kClientWidth = 367, kClientHeight = 76;
  static constexpr int kMaxCharacters = 36;
  static constexpr size_t kNameBytes = 30;

  PlaylistNameDialog(UiLayer& ui, SmallDialogHooks hooks) : ui_(ui), hooks_(std::move(hooks)) {}

  // Shows the current name (Shift-JIS) for editing. OK, Enter or the close box give the edited
  // name in Shift-JIS, cut to 30 bytes on a character boundary; Cancel or Escape give nothing.
  std::optional<std::string> AskPlaylistName(const std::string& sjisCurrent);

  bool IsOpen() const { return open_; }
  std::string Field() const { return text_; }  // UTF-8

 private:
  bool Build();
  enum class Answer { kNone, kOk, kCancel };

  UiLayer& ui_;
  SmallDialogHooks hooks_;
  bool open_ = false;
  bool closeBox_ = true;
  Answer answer_ = Answer::kNone;
  char text_[kMaxCharacters * 4 + 1]{};  // UTF-8
};

class ChoicePresetDialog {
 public:
  static constexpr int kClientWidth = 367, kClientHeight = 268;
  static constexpr int kFirstVariable = 200;
  static constexpr int kGroups = 3;

  ChoicePresetDialog(EngineState& state, UiLayer& ui, const GameConfig& config,
                     SmallDialogHooks hooks)
      : s_(state), ui_(ui), config_(config), hooks_(std::move(hooks)) {}

  // Shows V200 to V202; a click on an item stores its index at once.
  void ShowModal();

  bool IsOpen() const { return open_; }

 private:
  bool Build();

  EngineState& s_;
  UiLayer& ui_;
  const GameConfig& config_;
  SmallDialogHooks hooks_;
  bool open_ = false;
};

}  // namespace zorvel
