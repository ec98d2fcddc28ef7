#include "core/engine.h"

namespace zorvel {

void Engine::HandleEvent(const InputEvent& event) {
  switch (event.kind) {
    case InputEvent::Kind::kClose:
      RequestClose();
      break;
    case InputEvent::Kind::kMouseMove:
      mouseX_ = event.x;
      mouseY_ = event.y;
      mouseMoved_ = true;
      break;
    case InputEvent::Kind::kMouseDown:
      mouseX_ = event.x;
      mouseY_ = event.y;
      PBMouseDown(event.button, event.x, event.y);
      break;
    case InputEvent::Kind::kKeyChar:
      if (s_.questionKind != 0 || s_.backlogOpen) break;
      // Enter and Z stand in for a left click where the mouse is.
      if (event.ch == '\r' || event.ch == 'z' || event.ch == 'Z') {
        PBMouseDown(MouseButton::kLeft, mouseX_, mouseY_);
      }
      break;
    case InputEvent::Kind::kRepaint:
      PBPaint();
      break;
    case InputEvent::Kind::kToolbar:
      // 終了 asks to quit; the other tool bar actions open screens that are not built yet.
      if (event.toolbarIndex == 0 && !s_.busy) {
        BreakSkipAndAuto(1);
        RequestClose();
      }
      break;
    default:
      break;
  }
}

void Engine::PBMouseDown(MouseButton button, int /*x*/, int /*y*/) {
  const bool left = button == MouseButton::kLeft;
  const bool right = button == MouseButton::kRight;
  auto& S = s_.vars.S;

  if (S[kSpecialClick] == 56) {
    if (right) return;
    s_.sleepCount = 0;
    sound_.StopVoice();
    if (s_.animating) s_.closeRequest = 1;
    S[kSpecialClick] = 0;
    return;
  }
  if (S[kSpecialClick] == 57) {
    interpreter_.GotoLabel(s_.stringVars[8]);
    S[kSpecialClick] = 0;
    return;
  }
  if (S[kSpecialClick] == 66) return;
  if (s_.animating) {
    if (settings_.CV_THROUGH == 0) sound_.StopVoice();
    s_.closeRequest = 1;
    return;
  }
  if (s_.questionKind != 0 || s_.panicActive) return;  // their screens take the click
  if (s_.busy) return;
  if (left && s_.waitKind != 4 && s_.clickGuard < 3 && settings_.CV_THROUGH == 0) {
    sound_.StopVoice();
  }
  if (s_.backlogOpen) return;
  if (s_.screenMode != 0) return;  // hidden window, rolls and viewers handle their own clicks

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
  if (left && s_.interactionMode == 0) {
    if (s_.waitKind == 1 || s_.waitKind == 4 || s_.waitKind == 5) {
      OpenTextPage();
    } else if (s_.waitKind == 2) {
      text_.EraseClickWait();
    }
    s_.waitKind = 0;
  }
  if (right) return;
  s_.clickGuard = 5;
}

}  // namespace zorvel
