// The settings dialog. It comes with the dialogs work; the tool bar, the menu, the key "C" and
// the quick bar already open it here.
#pragma once

namespace zorvel {

class SettingsDialog {
 public:
  // Shows the dialog modally; true when the player confirmed changes.
  bool ShowModal() { return false; }
};

}  // namespace zorvel
