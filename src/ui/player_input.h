// The player's input: mouse presses, moves, releases and the wheel on the game area, character
// keys, keys and their releases, the tool bar, the two pop-up menus and full screen. Each event
// is routed by the engine's modes to the screen that owns it; skip and auto mode start and stop
// here.
//
// Reads and writes: the engine state's mode and wait fields and the S values of input (S000,
// S019, S026–S028, S056, S059–S071). Reads the input settings (RC_MODE, WHEEL_MODE, CS_SWAP,
// CV_THROUGH, BreakonSelect, Delay, SMode). Everything else goes through the screens it routes
// to and the hooks.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "core/engine_state.h"
#include "core/hook.h"
#include "dialogs/settings_dialog.h"
#include "dialogs/small_dialogs.h"
#include "extras/extras.h"
#include "platform/platform.h"
#include "resources/settings.h"
#include "save/save_screens.h"
#include "ui/player_ui.h"
#include "ui/ui_layer.h"

namespace zorvel {

// The screens input hands events to.
struct InputScreens {
  Choices& choices;
  Backlog& backlog;
  HiddenWindow& hidden;
  QuickBar& quickBar;
  ClickMap& clickMap;
  Gallery& gallery;
  Recollection& recollection;
  StaffRoll& staffRoll;
  SelectionTree& tree;
  SaveScreens& saves;
  SettingsDialog& settingsDialog;
  ChoicePresetDialog& choicePresets;
};

// What input asks of the engine.
struct InputHooks {
  Hook<void()> stopVoice;
  Hook<void(const char* name)> playSystemSound;  // nothing while skipping
  Hook<void()> openTextPage;
  Hook<void()> eraseClickWait;
  Hook<void(const char* label)> gotoLabel;
  Hook<void()> closeWindow;  // the close box: asks the quit question
  Hook<bool()> backgroundAnimationRunning;
  // Shows a pop-up menu at a frame position and runs until it closes: the chosen item or -1.
  Hook<int(const std::vector<MenuItem>& items, int frameX, int frameY)> runMenu;
  // Full screen on or off (the platform's switch and the layout of the furniture).
  Hook<void(bool on)> setFullScreen;
  // The Print Screen key: the game area saved as a picture for the player.
  Hook<void()> saveScreenshot;
};

// Pop-up menu items in menu order.
enum PopupItem {
  kPopupAuto,
  kPopupSkip,
  kPopupBacklog,
  kPopupHideWindow,
  kPopupReplayVoice,
  kPopupQuickLoad,
  kPopupQuickSave,
  kPopupLoad,
  kPopupSave,
  kPopupSettings,
  kPopupTitle,
  kPopupQuit,
  kPopupChoicePresets,
  kPopupItemCount
};

// Tool bar buttons left to right.
enum ToolbarButton {
  kToolbarQuit,
  kToolbarLoad,
  kToolbarSave,
  kToolbarSettings,
  kToolbarSaveEdit,
  kToolbarButtonCount
};

class PlayerInput {
 public:
  PlayerInput(EngineState& state, const Settings& settings, Platform& platform, UiLayer& ui,
              InputScreens screens, InputHooks hooks);

  // One event from the platform, after the interface layer has had its turn.
  void HandleEvent(const InputEvent& event);

  void PBMouseDown(MouseButton button, int x, int y);
  void PBMouseMove(int x, int y);
  void PBMouseUp(MouseButton button, int x, int y);
  void FormMouseWheel(int delta);
  void FormKeyPress(char ch);
  void FormKeyDown(Key key, char ch);
  void FormKeyUp(Key key);
  // A click on an enabled tool bar button.
  void ToolbarClick(int button);

  void RightClickAction();
  void StopSkip();
  // Ends skipping and auto mode (a choice when the player asked for it, or `force`).
  void BreakSkipAndAuto(int force);
  // A quick-button press by number (1–12), 0 for none, as the function keys give it.
  void PressQuickButton(int button);

  // Which tool bar buttons and pop-up items may be used.
  void UpdateToolbar();
  const std::array<bool, kToolbarButtonCount>& ToolbarEnabled() const { return toolbar_; }
  const std::array<bool, kPopupItemCount>& PopupEnabled() const { return popup_; }
  // The pop-up items 即読, 即書, 読込 and 記録 together, and the tool bar's セーブ編集, as the
  // screens that take the game over set them between two UpdateToolbar calls.
  void EnableSaveItems(bool enabled);
  void EnableSaveEdit(bool enabled);
  // The quit menu's items シーンスキップ and 回想モード終了, shown only while a replay runs.
  void ShowReplayItems(bool sceneSkip, bool endRecollection);
  bool SceneSkipShown() const { return sceneSkipShown_; }
  bool EndRecollectionShown() const { return endRecollectionShown_; }

  // Full screen from the screen-mode setting (start-up, settings), and back to the window.
  void EnterFullScreen(bool evenInWindowMode = false);
  void LeaveFullScreen();
  bool FullScreen() const { return fullScreen_; }

  int MouseX() const { return mouseX_; }
  int MouseY() const { return mouseY_; }
  bool MouseMoved() const { return mouseMoved_; }
  void ClearMouseMoved() { mouseMoved_ = false; }
  bool MenuOpen() const { return menuOpen_; }
  int CursorOffsetX() const { return cursorOffsetX_; }
  int CursorOffsetY() const { return cursorOffsetY_; }

 private:
  void RecordCursorOffset();
  // Hands the tool bar buttons' state to the interface layer.
  void PublishToolbar();
  void DrawBar();
  // Auto mode: on at `S027` (or `fallback` when it is 0 or, with `strict`, outside 1..10).
  void StartAuto(int fallback, bool strict);
  void StartSkipping();
  void OpenBacklogPressed();
  void OpenSaveList();
  void OpenLoadList();
  void ShowSettings();
  void AskTitleQuestion();
  void ReplayLastVoice();
  void OpenRightClickMenu();
  void OpenQuitMenu();
  void RunPopupItem(int item);
  void RunToolbarButton(int button);
  void ChoiceKey(bool down);
  // Shift and Ctrl exchanged when the player asked for it.
  Key Swapped(Key key) const;

  EngineState& s_;
  const Settings& settings_;
  Platform& platform_;
  UiLayer& ui_;
  InputScreens screens_;
  InputHooks hooks_;

  int mouseX_ = 0;
  int mouseY_ = 0;
  bool mouseMoved_ = false;
  int cursorOffsetX_ = 0;
  int cursorOffsetY_ = 0;
  bool menuOpen_ = false;
  bool wheelGuard_ = false;
  bool fullScreen_ = false;
  std::array<bool, kToolbarButtonCount> toolbar_{};
  std::array<bool, kPopupItemCount> popup_{};
  bool sceneSkipShown_ = false;
  bool endRecollectionShown_ = false;
};

}  // namespace zorvel
