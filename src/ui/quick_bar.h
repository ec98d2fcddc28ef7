// The bar of twelve quick buttons along the bottom of the game area with its auto-speed meter,
// the yes/no question band, the return to the title screen and the settings taking effect after
// the settings dialog.
//
// The bar is drawn from "sys_qbtn" (rows 0-23 unlit, 48-71 lit, 72-95 the mask) over the
// picture the message window left under it, into the screen surface and the window picture, so
// a repaint, a screenshot or a screen that keeps and restores the screen shows the bar as the
// player saw it. A button's lamp is its S value (S060 to S071): 0 unlit, anything else lit.
//
// Touches: screenMode, interactionMode, questionKind, toolbarLocked, skipMode, lastMarkRead,
// replayOrigin, textWindowOn, backlogOpen, panicActive, animating, busy, the script name, the
// call depth, the waits and S000, S004, S005, S026-S028, S059-S071, S150-S153 of the game
// state; the screen surface, the window picture, the bar's pictures and the window background
// of the screen; the system text (the question band); the save screens (quick save and load,
// the lists). Everything else (the hidden window, the backlog and rewind, the settings dialog,
// the font, the layers, the script loader, full screen) is reached through the hooks.
#pragma once

#include <functional>
#include <string>
#include <utility>

#include "core/engine_state.h"
#include "core/hook.h"
#include "graphics/screen.h"
#include "platform/platform.h"
#include "resources/game_config.h"
#include "resources/settings.h"
#include "save/save_screens.h"
#include "text/system_text.h"

namespace zorvel {

struct QuickBarHooks {
  Hook<void()> updateToolbar;
  // Plays a voice or system sound by name (nothing while skipping).
  Hook<void(const char* name)> playSystemSound;
  Hook<bool()> backgroundAnimationRunning;
  // Where the pointer is over the game area.
  Hook<std::pair<int, int>()> pointer;
  Hook<void()> hideWindow;
  Hook<void()> openBacklog;
  // One page of the rewind, forward or back.
  Hook<void(bool forward)> stepRewind;
  // The settings dialog, modal; true when the player changed a text or window setting.
  Hook<bool()> showSettings;
  // The settings as stored now (the dialog writes them there).
  Hook<Settings()> readStoredSettings;
  // The message font again from the settings, with its common glyphs cached.
  Hook<void()> reloadFont;
  // The window picture rebuilt from the scene and drawn with the text.
  Hook<void()> redrawMessageWindow;
  // The layers composed again and shown without a transition.
  Hook<void()> restoreScreen;
  Hook<bool()> fullScreen;
  Hook<void(bool on)> setFullScreen;
  // Lets pending window events run (around the full-screen switch).
  Hook<void()> pumpEvents;
  // Leaving the game for the title.
  Hook<void()> stopBackgroundAnimation;
  Hook<void()> stopMusic;
  Hook<void()> endSelectionTree;
  Hook<void()> restoreChoiceScreen;
  Hook<void()> closeMessageWindow;
  Hook<bool(const char* name)> loadScript;
};

class QuickBar {
 public:
  // Button numbers as the bar lays them out (the function keys choose them by number).
  enum Button {
    kNone = 0,
    kSkip = 1,
    kAuto = 2,
    kHideWindow = 3,
    kQuickSave = 4,
    kQuickLoad = 5,
    kBacklog = 6,
    kVoice = 7,
    kSettings = 8,
    kSlower = 9,
    kFaster = 10,
    kSaveList = 11,
    kLoadList = 12,
  };
  static constexpr int kButtonCount = 12;
  static constexpr int kButtonWidth = 64;
  // Where each button sits on the bar, by number (index 0 unused).
  static constexpr int kButtonX[kButtonCount + 1] = {0,   270, 398, 590, 718, 526, 206,
                                                     654, 14,  462, 334, 142, 78};
  // The meter inside the bar.
  static constexpr int kMeterX = 392;
  static constexpr int kMeterY = 16;
  // Question kinds.
  static constexpr int kAskQuickLoad = 1;
  static constexpr int kAskTitle = 3;
  // The question band on the screen.
  static constexpr int kBandTop = 150;
  static constexpr int kBandHeight = 88;

  QuickBar(EngineState& state, Screen& screen, const GameConfig& config, Settings& settings,
           SystemText& systemText, Platform& platform, SaveScreens& saves, QuickBarHooks hooks);

  // Mode 0: onto the screen while the message window is in use or novel mode is on; 1: onto the
  // screen while the window is in use, and into the window picture; 2: only into the window
  // picture (while the window itself is built).
  void DrawQuickBar(int mode = 1);
  void HoverQuickBar(int x, int y);
  // The pointer left the bar without a move over it reaching the bar (skipping, a click map):
  // the lit button goes out.
  void ResetHighlight();
  // Runs the action of the hovered (or chosen) button; true when a button acted, so the click
  // is consumed.
  bool PressQuickButton();
  // A function key's button (0 none), taken as the hovered one and pressed. The keys have their
  // own rules of what they may press (the caller applies them), not the pointer's: a key works
  // whether or not the bar would light its button now.
  bool PressKeyButton(int button);
  int HoverButton() const { return hoverButton_; }

  void AskQuestion(const char* sjisText, int kind);
  void QuestionMouseMove(int x, int y);
  // Every press on the game area answers: the right button always no, the others by the
  // answer under the pointer.
  void QuestionClick(MouseButton button, int x, int y);
  void AnswerQuestion(MouseButton button, bool keepScreen);
  // A click while the return-to-title question is up (or asked for by S056) answers it yes.
  void AnswerTitleQuestionYes();
  int Answer() const { return answer_; }

  void ReturnToTitle();
  // After the settings dialog: `textOrWindowChanged` when the dialog changed how the text or
  // the window looks.
  void ApplySettings(bool textOrWindowChanged = true);

  // The sound the bar last asked for (the sound output may be off).
  const std::string& LastSound() const { return lastSound_; }

 private:
  // The button the bar would take at a number now, 0 when the rules exclude it.
  int Allowed(int button) const;
  // Saving or loading now would keep a state that no load can continue.
  bool SaveOrLoadBarred(int button) const;
  // The action of a button already allowed; true when it acted.
  bool RunButton(int button);
  // The bar is on the screen: the window is in use or a novel page is shown.
  bool BarShown() const;
  void BuildStrip();
  void ShowStrip();
  void PutStripIntoWindow();
  // A pressed look that stays briefly before the action.
  void FlashLamp(int lamp);
  void PlaySound(const char* name);
  // The band with the two answers, the highlighted one yellow.
  void DrawAnswers(Surface& band, int y) const;
  void ShowBand();
  std::string Face() const;

  EngineState& s_;
  Screen& screen_;
  const GameConfig& config_;
  Settings& settings_;
  SystemText& systemText_;
  Platform& platform_;
  SaveScreens& saves_;
  QuickBarHooks hooks_;

  int hoverButton_ = 0;
  Surface lit_, mask_;

  // The question band: as drawn (without the answers), and the screen strip it covers.
  Surface band_, bandBackup_;
  bool bandShown_ = false;
  int answer_ = 0;

  std::string lastSound_;
};

}  // namespace zorvel
