#include "ui/player_input.h"

#include "core/variable_banks.h"

namespace zorvel {

namespace {

// Shift-JIS: タイトルへ戻りますか？ and クイックロードしますか？
constexpr char kTitleQuestion[] =
    "\x83\x5E\x83\x43\x83\x67\x83\x8B\x82\xD6\x96\xDF\x82\xE8\x82\xDC\x82\xB7\x82\xA9\x81\x48";
constexpr char kQuickLoadQuestion[] =
    "\x83\x4E\x83\x43\x83\x62\x83\x4E\x83\x8D\x81\x5B\x83\x68\x82\xB5\x82\xDC\x82\xB7\x82\xA9"
    "\x81\x48";
constexpr int kQuestionQuickLoad = 1;
constexpr int kQuestionTitle = 3;

constexpr const char* kPopupLabels[kPopupItemCount] = {
    "自動再生", "早送", "回顧（ログ）", "窓消", "直前の音声を再生", "即読", "即書", "読込",
    "記録",     "設定", "表紙へ戻る",   "終了", "選択肢の設定"};
constexpr const char* kQuitMenuLabels[] = {"タイトルへ戻る", "ゲーム終了", "シーンスキップ",
                                           "回想モード終了"};

// The auto-speed meter at the right of the quick-button bar.
constexpr int kMeterLeft = 392;
constexpr int kMeterRight = 471;
constexpr int kMeterTop = 592;

// Quick-button numbers of the function keys F1 to F12, and the buttons' roles.
constexpr int kFunctionKeyButtons[12] = {8, 12, 11, 6, 1, 10, 2, 9, 5, 3, 7, 4};
enum QuickButtonRole {
  kButtonSkip = 1,
  kButtonAuto = 2,
  kButtonHide = 3,
  kButtonQuickSave = 4,
  kButtonQuickLoad = 5,
  kButtonBacklog = 6,
  kButtonVoice = 7,
  kButtonSettings = 8,
  kButtonSlower = 9,
  kButtonFaster = 10,
  kButtonSaveList = 11,
  kButtonLoadList = 12,
};

constexpr int kBacklogLamp = 65;  // S065: quick button 6 shown pressed

}  // namespace

PlayerInput::PlayerInput(EngineState& state, const Settings& settings, Platform& platform,
                         UiLayer& ui, InputScreens screens, InputHooks hooks)
    : s_(state),
      settings_(settings),
      platform_(platform),
      ui_(ui),
      screens_(screens),
      hooks_(std::move(hooks)) {
  popup_.fill(true);
}

void PlayerInput::HandleEvent(const InputEvent& event) {
  switch (event.kind) {
    case InputEvent::Kind::kMouseMove:
      PBMouseMove(event.x, event.y);
      break;
    case InputEvent::Kind::kMouseDown:
      // The strip above the game area belongs to the tool bar.
      if (event.y < 0) break;
      mouseX_ = event.x;
      mouseY_ = event.y;
      PBMouseDown(event.button, event.x, event.y);
      break;
    case InputEvent::Kind::kMouseUp:
      PBMouseUp(event.button, event.x, event.y);
      break;
    case InputEvent::Kind::kWheel:
      FormMouseWheel(event.delta);
      break;
    case InputEvent::Kind::kKeyDown:
      if (event.key == Key::kEnter && event.alt) {
        if (fullScreen_) {
          LeaveFullScreen();
        } else {
          EnterFullScreen(true);
        }
        break;
      }
      if (event.key == Key::kPrintScreen) {
        hooks_.saveScreenshot();
        break;
      }
      FormKeyDown(event.key, event.ch);
      break;
    case InputEvent::Kind::kKeyUp:
      FormKeyUp(event.key);
      break;
    case InputEvent::Kind::kKeyChar:
      FormKeyPress(event.ch);
      break;
    case InputEvent::Kind::kToggleFullScreen:
      if (fullScreen_) {
        LeaveFullScreen();
      } else {
        EnterFullScreen(true);
      }
      break;
    case InputEvent::Kind::kOpenMenu:
      // A controller's Start: the right-click menu whatever the right click is set to do.
      if (s_.questionKind == 0 && !s_.backlogOpen && !s_.busy && !s_.animating &&
          s_.screenMode == 0) {
        OpenRightClickMenu();
      }
      break;
    default:
      break;
  }
}

void PlayerInput::RecordCursorOffset() {
  int wx = 0;
  int wy = 0;
  platform_.WindowPosition(wx, wy);
  cursorOffsetX_ = wx;
  cursorOffsetY_ = wy + ui_.GameTop();
}

void PlayerInput::DrawBar() {
  screens_.quickBar.DrawQuickBar();
}

void PlayerInput::StopSkip() {
  auto& S = s_.vars.S;
  S[kSkipLamp] = 0;
  S[kAutoLamp] = 0;
  // First: the bar lights the skip button again while it sees skipping on.
  s_.skipMode = 0;
  if (s_.textWindowOn && s_.screenMode == 0) DrawBar();
}

void PlayerInput::BreakSkipAndAuto(int force) {
  if (settings_.BreakonSelect == 0 && force == 0) return;
  StopSkip();
  s_.vars.S[kAutoLevel] = 0;
  if (s_.screenMode == 0) DrawBar();
}

void PlayerInput::StartAuto(int fallback, bool strict) {
  auto& S = s_.vars.S;
  if (S[kLastAutoLevel] == 0 || (strict && (S[kLastAutoLevel] < 1 || S[kLastAutoLevel] > 10))) {
    S[kLastAutoLevel] = fallback;
  }
  // A level a script or an old setting left outside the meter's range would stall or race the
  // text; the player's switch always starts within it.
  S[kLastAutoLevel] = std::clamp(S[kLastAutoLevel], 1, 10);
  S[kAutoLevel] = S[kLastAutoLevel];
}

void PlayerInput::StartSkipping() {
  hooks_.stopVoice();
  s_.vars.S[kSkipLamp] = 2;
  DrawBar();
  s_.skipMode = 1;
}

void PlayerInput::OpenBacklogPressed() {
  auto& S = s_.vars.S;
  S[kBacklogLamp] = 2;
  DrawBar();
  screens_.backlog.OpenBacklog();
  S[kBacklogLamp] = 1;
}

void PlayerInput::OpenSaveList() {
  hooks_.playSystemSound("SSE05");
  screens_.saves.OpenSaveList();
}

void PlayerInput::OpenLoadList() {
  hooks_.playSystemSound("SSE06");
  screens_.saves.OpenLoadList();
}

void PlayerInput::ShowSettings() {
  // The window and the glyphs are rebuilt only when the dialog changed how they look.
  screens_.quickBar.ApplySettings(screens_.settingsDialog.ShowModal());
}

void PlayerInput::AskTitleQuestion() {
  screens_.quickBar.AskQuestion(kTitleQuestion, kQuestionTitle);
}

void PlayerInput::ReplayLastVoice() {
  hooks_.playSystemSound(s_.lastVoice);
}

// Mouse press -----------------------------------------------------------------------------

void PlayerInput::PBMouseDown(MouseButton button, int x, int y) {
  const bool left = button == MouseButton::kLeft;
  const bool right = button == MouseButton::kRight;
  auto& S = s_.vars.S;

  RecordCursorOffset();
  if (S[kSpecialClick] == 56) {
    if (right) return;
    s_.sleepCount = 0;
    hooks_.stopVoice();
    if (s_.animating) s_.closeRequest = 1;
    // Cleared first: the return closes the window with an animation, and a click meanwhile
    // must only hurry it, not start the return again inside it.
    S[kSpecialClick] = 0;
    screens_.quickBar.AnswerTitleQuestionYes();
    return;
  }
  if (S[kSpecialClick] == 57) {
    S[kSpecialClick] = 0;
    hooks_.gotoLabel(s_.stringVars[8]);
    return;
  }
  if (S[kSpecialClick] == 66) return;
  if (s_.animating) {
    if (settings_.CV_THROUGH == 0) hooks_.stopVoice();
    s_.closeRequest = 1;
    return;
  }
  if (s_.questionKind != 0) {
    screens_.quickBar.QuestionClick(button, x, y);
    return;
  }
  if (s_.panicActive) {
    screens_.hidden.RemovePanic();
    return;
  }
  if (left) menuOpen_ = false;
  if (s_.busy) return;
  if (left && s_.waitKind != 4 && s_.clickGuard < 3 && settings_.CV_THROUGH == 0) {
    hooks_.stopVoice();
  }
  if (s_.backlogOpen) {
    if (right) {
      screens_.backlog.CloseBacklog();
    } else {
      screens_.backlog.Click(button, x, y);
    }
    return;
  }
  switch (s_.screenMode) {
    case 0:
      break;
    case 1:
      screens_.hidden.ShowWindow();
      return;
    case 5:
      screens_.staffRoll.ScrollRollClick(button, x, y);
      return;
    case 6:
      screens_.gallery.ViewerClick(button, x, y);
      return;
    case 8:
      screens_.recollection.ScreenClick(button, x, y);
      return;
    case 9:
      if (right) {
        screens_.backlog.LeaveRewind();
      } else if (left) {
        screens_.backlog.StepRewind(true);
      }
      return;
    default:
      return;  // the rolls take no clicks
  }

  if (S[kAutoLevel] != 0 && s_.textWindowOn && s_.skipMode == 0) {
    if (x >= kMeterLeft && x <= kMeterRight && y >= kMeterTop && y <= kMeterTop + 7) {
      S[kAutoLevel] = S[kLastAutoLevel] = 10 - (x - kMeterLeft) / 8;
      DrawBar();
      return;
    }
    if (s_.interactionMode == 0 && s_.screenMode == 0) {
      if (left) {
        screens_.quickBar.HoverQuickBar(x, y);
        if (!screens_.quickBar.PressQuickButton()) {
          if (s_.autoWait != 0) {
            s_.autoWait = 1;
          } else {
            s_.finishPage = true;
          }
        }
      } else {
        S[kAutoLevel] = 0;
        S[kAutoLamp] = 0;
        DrawBar();
      }
      return;
    }
  }
  if (settings_.Delay == 0 && s_.waitKind == 0 && s_.interactionMode == 0) s_.finishPage = true;
  if (s_.sleepCount != 0) {
    s_.sleepCount = 0;
    S[kSleepClicked] = 1;
    return;
  }
  if (s_.skipMode != 0 && s_.interactionMode == 0) {
    StopSkip();
    return;
  }
  if (left && s_.screenMode == 0 && s_.interactionMode == 0) {
    screens_.quickBar.HoverQuickBar(x, y);
    if (screens_.quickBar.PressQuickButton()) return;
  }
  if (left) {
    if (s_.interactionMode == 0) {
      if (s_.waitKind == 1 || s_.waitKind == 4 || s_.waitKind == 5) {
        hooks_.openTextPage();
      } else if (s_.waitKind == 2) {
        hooks_.eraseClickWait();
      }
      s_.waitKind = 0;
    } else {
      // The guard keeps the second click of a double click from choosing; the bar takes its
      // buttons as it does with no list up, so a quick press after a click beside the list
      // still acts.
      if (s_.clickGuard == 0) {
        switch (s_.interactionMode) {
          case 1:
          case 2:
            screens_.choices.Click(button, x, y);
            break;
          case 4:
            screens_.clickMap.Click(button, x, y);
            break;
          case 6:
            screens_.tree.Click(button, x, y);
            break;
          default:
            break;
        }
      }
      screens_.quickBar.PressQuickButton();
    }
  } else if (right) {
    if (s_.interactionMode == 4) {
      screens_.clickMap.Click(button, x, y);
    } else if (s_.interactionMode == 6) {
      screens_.tree.Click(button, x, y);
    } else if (s_.screenMode == 0) {
      RightClickAction();
    }
    return;
  }
  s_.clickGuard = 5;
}

void PlayerInput::RightClickAction() {
  if (menuOpen_) {
    // The menu this flag stands for has closed already; the press only clears the flag, as
    // the Escape that would close a menu still open does.
    menuOpen_ = false;
    return;
  }
  switch (settings_.RC_MODE) {
    case 0:
      OpenRightClickMenu();
      break;
    case 1:
      screens_.hidden.HideWindow();
      menuOpen_ = false;
      break;
    case 2:
      StartSkipping();
      break;
    case 3:
      StartAuto(5, false);
      DrawBar();
      break;
    case 4:
      screens_.hidden.ShowPanic();
      break;
    default:
      break;
  }
}

void PlayerInput::OpenRightClickMenu() {
  menuOpen_ = true;
  for (PopupItem item : {kPopupAuto, kPopupSkip, kPopupHideWindow, kPopupReplayVoice}) {
    popup_[item] = true;
  }
  std::vector<MenuItem> items;
  for (int i = 0; i < kPopupItemCount; ++i) {
    items.push_back({kPopupLabels[i], popup_[static_cast<size_t>(i)], true});
  }
  const int chosen = hooks_.runMenu(items, mouseX_ + 16, mouseY_ + ui_.GameTop());
  if (chosen < 0) {
    // Escape, a click elsewhere or a second right click dismissed it.
    menuOpen_ = false;
    return;
  }
  RunPopupItem(chosen);
}

void PlayerInput::RunPopupItem(int item) {
  switch (item) {
    case kPopupAuto:
      StartAuto(5, false);
      DrawBar();
      return;  // the flag stays: the next right click only dismisses
    case kPopupSkip:
      StartSkipping();
      return;
    case kPopupBacklog:
      screens_.backlog.OpenBacklog();
      break;
    case kPopupHideWindow:
      screens_.hidden.HideWindow();
      break;
    case kPopupReplayVoice:
      ReplayLastVoice();
      break;
    case kPopupQuickLoad:
      screens_.quickBar.AskQuestion(kQuickLoadQuestion, kQuestionQuickLoad);
      break;
    case kPopupQuickSave:
      screens_.saves.QuickSave();
      break;
    case kPopupLoad:
      OpenLoadList();
      break;
    case kPopupSave:
      OpenSaveList();
      break;
    case kPopupSettings:
      ShowSettings();
      break;
    case kPopupTitle:
      AskTitleQuestion();
      return;
    case kPopupQuit:
      hooks_.closeWindow();
      return;
    case kPopupChoicePresets:
      screens_.choicePresets.ShowModal();
      break;
    default:
      return;
  }
  menuOpen_ = false;
}

void PlayerInput::OpenQuitMenu() {
  std::vector<MenuItem> items;
  // シーンスキップ shows while a playlist has another scene queued; 回想モード終了 while any
  // scene replay runs, from the gallery or from recollection mode.
  const bool shown[4] = {true, true, sceneSkipShown_,
                         endRecollectionShown_ || s_.replayOrigin != 0};
  for (int i = 0; i < 4; ++i) items.push_back({kQuitMenuLabels[i], true, shown[i]});
  // Just under the tool bar's first button, which in full screen sits on the game area.
  const int chosen = hooks_.runMenu(items, 4, UiLayer::kStripHeight);
  switch (chosen) {
    case 0:
      AskTitleQuestion();
      break;
    case 1:
      hooks_.closeWindow();
      break;
    case 2:
    case 3:
      hooks_.stopVoice();
      if (s_.replayOrigin == 1) {
        screens_.gallery.ReturnToViewer();
      } else if (s_.replayOrigin == 2) {
        // シーンスキップ goes on with the playlist; 回想モード終了 abandons it.
        screens_.recollection.EndRecollectionScene(chosen == 3);
      }
      break;
    default:
      break;
  }
}

void PlayerInput::ShowReplayItems(bool sceneSkip, bool endRecollection) {
  sceneSkipShown_ = sceneSkip;
  endRecollectionShown_ = endRecollection;
}

void PlayerInput::EnableSaveItems(bool enabled) {
  for (PopupItem i : {kPopupQuickLoad, kPopupQuickSave, kPopupLoad, kPopupSave}) {
    popup_[i] = enabled;
  }
}

// Moves, releases, wheel ----------------------------------------------------------------------

void PlayerInput::PBMouseMove(int x, int y) {
  mouseX_ = x;
  mouseY_ = y;
  mouseMoved_ = true;
  if (s_.busy || s_.animating) return;
  if (fullScreen_) ui_.SetLayout(0, y < 30 && x < 400);
  if (y < 0) return;  // over the tool bar strip
  if (s_.questionKind != 0) {
    screens_.quickBar.QuestionMouseMove(x, y);
    return;
  }
  if (s_.backlogOpen) {
    screens_.backlog.MouseMove(x, y);
    return;
  }
  switch (s_.screenMode) {
    case 0:
      break;
    case 6:
      screens_.gallery.ViewerMouseMove(x, y);
      return;
    case 8:
      screens_.recollection.ScreenMouseMove(x, y);
      return;
    case 9:
      screens_.quickBar.HoverQuickBar(x, y);
      return;
    default:
      return;
  }
  switch (s_.interactionMode) {
    case 0:
      if (s_.skipMode == 0) screens_.quickBar.HoverQuickBar(x, y);
      break;
    case 1:
    case 2:
      screens_.quickBar.HoverQuickBar(x, y);
      screens_.choices.Hover(x, y);
      break;
    case 4:
      screens_.clickMap.Hover(x, y);
      break;
    case 6:
      screens_.tree.Hover(x, y);
      break;
    default:
      break;
  }
}

void PlayerInput::PBMouseUp(MouseButton /*button*/, int x, int y) {
  if (s_.backlogOpen) {
    screens_.backlog.MouseUp();
    return;
  }
  if (s_.screenMode == 0) {
    auto& S = s_.vars.S;
    bool pressed = false;
    for (int i = 63; i <= 65; ++i) {
      if (S[static_cast<size_t>(i)] != 0) pressed = true;
      S[static_cast<size_t>(i)] = 0;
    }
    if (pressed) DrawBar();
  } else if (s_.screenMode == 8) {
    screens_.recollection.ScreenMouseUp(x, y);
  }
}

void PlayerInput::FormMouseWheel(int delta) {
  if (wheelGuard_) return;
  if (s_.backlogOpen) {
    screens_.backlog.Wheel(delta);
    return;
  }
  if (s_.questionKind != 0 || s_.busy || hooks_.backgroundAnimationRunning()) return;
  wheelGuard_ = true;
  if (s_.screenMode == 9) {
    screens_.backlog.StepRewind(delta < 0);
  } else if (s_.screenMode == 0 && s_.interactionMode == 0 && delta > 0) {
    if (settings_.WHEEL_MODE == 1) {
      OpenBacklogPressed();
    } else {
      screens_.backlog.EnterRewind();
    }
  }
  wheelGuard_ = false;
}

// Keys ------------------------------------------------------------------------------------------

void PlayerInput::FormKeyPress(char ch) {
  if (s_.questionKind != 0) return;
  if (s_.backlogOpen) {
    if (ch == '\b') screens_.backlog.CloseBacklog();
    return;
  }
  if (ch == '\r' || ch == 'Z' || ch == 'z') {
    PBMouseDown(MouseButton::kLeft, mouseX_, mouseY_);
    return;
  }
  if (ch == 'V' || ch == 'v') ReplayLastVoice();
  if (s_.animating || s_.busy) return;

  auto& S = s_.vars.S;
  const bool animation = hooks_.backgroundAnimationRunning();
  switch (ch) {
    case 'W':
    case 'w':
      if (s_.screenMode == 1) {
        screens_.hidden.ShowWindow();
      } else if (s_.screenMode == 0) {
        screens_.hidden.HideWindow();
      }
      break;
    case 'C':
    case 'c':
      RunToolbarButton(kToolbarSettings);
      break;
    case '\b':
      if (!animation && s_.screenMode == 0) OpenBacklogPressed();
      break;
    case 27:
      menuOpen_ = false;
      break;
    case ' ':
      if (S[kAutoLevel] == 0) {
        S[kAutoLamp] = 2;
        StartAuto(5, true);
      } else {
        S[kAutoLamp] = 0;
        S[kLastAutoLevel] = S[kAutoLevel];
        S[kAutoLevel] = 0;
      }
      S[kSkipLamp] = 0;
      DrawBar();
      break;
    case 'L':
    case 'l':
      if (S[kSavePermission] < 2 && s_.screenMode == 0 && !animation) OpenLoadList();
      break;
    case 'S':
    case 's':
      if (S[kSavePermission] < 1 && s_.screenMode == 0 && !animation) OpenSaveList();
      break;
    case 'Q':
    case 'q':
      if (S[kSavePermission] < 1 && s_.screenMode == 0 && !animation) {
        screens_.saves.QuickSave();
      }
      break;
    case 'X':
    case 'x':
      RightClickAction();
      break;
    default:
      break;
  }
}

Key PlayerInput::Swapped(Key key) const {
  if (settings_.CS_SWAP != 1) return key;
  if (key == Key::kShift) return Key::kCtrl;
  if (key == Key::kCtrl) return Key::kShift;
  return key;
}

void PlayerInput::ChoiceKey(bool down) {
  const Choices& c = screens_.choices;
  const int current = c.Current();
  const int count = c.Count();
  if (count <= 0) return;
  int row = 0;
  if (down) {
    row = (current < 1 || current >= count) ? count - 1 : current;
  } else {
    row = (current < 2 || current > count) ? 0 : current - 2;
  }
  platform_.WarpMouse(c.BoxLeft() + c.BoxWidth() - 7, c.BoxTop() + 31 + row * 50);
}

void PlayerInput::FormKeyDown(Key key, char /*ch*/) {
  if (s_.questionKind != 0 || s_.backlogOpen || s_.animating || s_.busy) return;
  RecordCursorOffset();
  if (s_.interactionMode == 1) {
    if (key == Key::kUp || key == Key::kDown) ChoiceKey(key == Key::kDown);
    return;
  }
  if (s_.screenMode == 9) {
    if (s_.interactionMode == 0 && !hooks_.backgroundAnimationRunning()) {
      if (key == Key::kLeft) screens_.backlog.StepRewind(false);
      if (key == Key::kRight) screens_.backlog.StepRewind(true);
    }
    return;
  }
  key = Swapped(key);
  if (s_.screenMode != 0) return;

  auto& S = s_.vars.S;
  switch (key) {
    case Key::kTab:
      RightClickAction();
      break;
    case Key::kShift:
      s_.skipMode = 0;
      if (S[kAutoLevel] != 0) {
        if (S[kLastAutoLevel] == 0) S[kLastAutoLevel] = 5;
        S[kAutoLevel] = 0;
      } else {
        StartAuto(5, false);
      }
      DrawBar();
      break;
    case Key::kCtrl:
      if (s_.skipMode != 0) {
        StopSkip();
      } else {
        S[kAutoLevel] = 0;
        StopSkip();
        StartSkipping();
      }
      break;
    case Key::kLeft:
      if (!hooks_.backgroundAnimationRunning() && s_.interactionMode == 0) {
        screens_.backlog.EnterRewind();
      }
      break;
    default:
      if (key >= Key::kF1 && key <= Key::kF12) {
        const int n = static_cast<int>(key) - static_cast<int>(Key::kF1);
        PressQuickButton(kFunctionKeyButtons[n]);
      }
      break;
  }
}

void PlayerInput::FormKeyUp(Key key) {
  if (s_.backlogOpen) return;
  key = Swapped(key);
  if (key != Key::kCtrl) return;
  s_.skipMode = 0;
  if (s_.screenMode == 0 && !s_.busy) {
    s_.vars.S[kSkipLamp] = 0;
    DrawBar();
  }
}

void PlayerInput::PressQuickButton(int button) {
  const auto& S = s_.vars.S;
  const bool saving = button == kButtonQuickSave || button == kButtonSaveList;
  const bool loading = button == kButtonQuickLoad || button == kButtonLoadList;
  const bool speed = button == kButtonFaster || button == kButtonSlower;
  if ((saving && S[kSavePermission] > 1) ||
      (loading && (S[kSavePermission] > 0 || S[kSaveAllowed] == 0)) ||
      (speed && (S[kAutoLevel] == 0 || S[kAutoLevel] > 10))) {
    button = 0;
  }
  screens_.quickBar.PressKeyButton(button);
}

// Tool bar ----------------------------------------------------------------------------------

void PlayerInput::ToolbarClick(int button) {
  if (button < 0 || button >= kToolbarButtonCount || !toolbar_[static_cast<size_t>(button)]) {
    return;
  }
  RunToolbarButton(button);
}

void PlayerInput::RunToolbarButton(int button) {
  switch (button) {
    case kToolbarQuit:
      if (s_.busy) return;
      BreakSkipAndAuto(1);
      OpenQuitMenu();
      break;
    case kToolbarLoad:
      if (!s_.animating) OpenLoadList();
      break;
    case kToolbarSave:
      if (!s_.animating) OpenSaveList();
      break;
    case kToolbarSettings: {
      if (s_.busy) return;
      BreakSkipAndAuto(1);
      hooks_.playSystemSound("SSE07");
      s_.busy = true;
      const bool stepping = s_.interpreterOn;
      s_.interpreterOn = false;
      ShowSettings();
      s_.interpreterOn = stepping;
      s_.busy = false;
      break;
    }
    case kToolbarSaveEdit:
      if (s_.animating) return;
      hooks_.playSystemSound("SSE11");
      screens_.saves.OpenSaveEditList();
      break;
    default:
      break;
  }
}

void PlayerInput::UpdateToolbar() {
  auto& t = toolbar_;
  auto& p = popup_;
  if (s_.toolbarLocked) {
    for (ToolbarButton b :
         {kToolbarQuit, kToolbarSettings, kToolbarSave, kToolbarLoad, kToolbarSaveEdit}) {
      t[b] = false;
    }
    for (PopupItem i : {kPopupQuickLoad, kPopupQuickSave, kPopupLoad, kPopupSave, kPopupSettings}) {
      p[i] = false;
    }
  } else {
    t[kToolbarQuit] = t[kToolbarSettings] = true;
    p[kPopupSettings] = p[kPopupBacklog] = true;
    const auto& S = s_.vars.S;
    switch (S[kSavePermission]) {
      case 0:
        t[kToolbarSave] = t[kToolbarLoad] = t[kToolbarSaveEdit] = true;
        p[kPopupQuickLoad] = p[kPopupQuickSave] = p[kPopupLoad] = p[kPopupSave] = true;
        break;
      case 1:
        t[kToolbarSave] = p[kPopupQuickSave] = p[kPopupSave] = false;
        t[kToolbarLoad] = t[kToolbarSaveEdit] = p[kPopupQuickLoad] = p[kPopupLoad] = true;
        break;
      case 2:
      case 3:
        t[kToolbarSave] = t[kToolbarLoad] = t[kToolbarSaveEdit] = false;
        p[kPopupQuickLoad] = p[kPopupQuickSave] = p[kPopupLoad] = p[kPopupSave] = false;
        break;
      default:
        break;  // other values leave everything as it was
    }
    if (S[kSaveAllowed] == 0) t[kToolbarSave] = p[kPopupQuickSave] = p[kPopupSave] = false;
    if (hooks_.backgroundAnimationRunning()) {
      t[kToolbarSettings] = t[kToolbarSave] = t[kToolbarLoad] = t[kToolbarSaveEdit] = false;
      for (PopupItem i : {kPopupBacklog, kPopupQuickLoad, kPopupQuickSave, kPopupLoad, kPopupSave,
                          kPopupSettings}) {
        p[i] = false;
      }
    }
  }
  PublishToolbar();
}

void PlayerInput::EnableSaveEdit(bool enabled) {
  toolbar_[kToolbarSaveEdit] = enabled;
  PublishToolbar();
}

void PlayerInput::PublishToolbar() {
  static constexpr const char* kCaptions[kToolbarButtonCount] = {"終了", "読込", "記録", "設定",
                                                                 "セーブ編集"};
  std::vector<MenuItem> buttons;
  for (int i = 0; i < kToolbarButtonCount; ++i) {
    // セーブ編集 shows only during a scene replay, where a player may want to keep the scene.
    buttons.push_back({kCaptions[i], !s_.toolbarLocked && toolbar_[static_cast<size_t>(i)],
                       i != kToolbarSaveEdit || s_.replayOrigin != 0});
  }
  ui_.SetToolbar(buttons);
}

// Full screen -----------------------------------------------------------------------------------

void PlayerInput::EnterFullScreen(bool evenInWindowMode) {
  if (fullScreen_ || (settings_.SMode == 0 && !evenInWindowMode)) return;
  fullScreen_ = true;
  hooks_.setFullScreen(true);
  ui_.SetLayout(0, false);
}

void PlayerInput::LeaveFullScreen() {
  if (!fullScreen_) return;
  fullScreen_ = false;
  hooks_.setFullScreen(false);
  ui_.SetLayout(UiLayer::kStripHeight, true);
}

}  // namespace zorvel
