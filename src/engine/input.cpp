#include "engine/engine.h"
#include "platform/files.h"
#include "platform/png_writer.h"

namespace zorvel {

PlayerInput Engine::MakePlayerInput() {
  InputScreens screens{choices_,  backlog_, hidden_,         quickBar_,
                       clickMap_, gallery_, recollection_,   staffRoll_,
                       tree_,     saves_,   settingsDialog_, choicePresets_};
  return PlayerInput(
      s_, settings_, platform_, ui_, screens,
      InputHooks{
          .stopVoice = [this] { sound_.StopVoice(); },
          .playSystemSound = [this](const char* name) { PlaySystemSound(name); },
          .openTextPage = [this] { OpenTextPage(); },
          .eraseClickWait = [this] { text_.EraseClickWait(); },
          .gotoLabel = [this](const char* label) { interpreter_.GotoLabel(label); },
          .closeWindow = [this] { CloseWindow(); },
          .backgroundAnimationRunning = [this] { return effects_.BackgroundAnimationRunning(); },
          .runMenu = [this](const std::vector<MenuItem>& items, int x,
                            int y) { return RunMenu(items, x, y); },
          .setFullScreen = [this](bool on) { platform_.SetFullScreen(on); },
          .saveScreenshot = [this] { SaveScreenshot(); }});
}

void Engine::HandleEvent(const InputEvent& event) {
  if (event.kind == InputEvent::Kind::kFocus) sound_.SetWindowActive(event.delta != 0);
  switch (event.kind) {
    case InputEvent::Kind::kClose:
      // With a menu or box up the player answers that first, as the window system makes them.
      if (!modalUi_) RequestClose();
      return;
    case InputEvent::Kind::kRepaint:
      PBPaint();
      return;
    default:
      break;
  }
  const bool taken = ui_.Feed(event);
  if (const int button = ui_.TakeToolbarClick(); button >= 0 && !modalUi_) {
    input_.ToolbarClick(button);
  }
  // A menu or message box has the player's attention: nothing reaches the game meanwhile.
  if (taken || modalUi_) return;
  // A playing movie covers the game area and takes the presses on it.
  if (movie_.Playing() && event.y >= 0 &&
      (event.kind == InputEvent::Kind::kMouseDown || event.kind == InputEvent::Kind::kMouseUp)) {
    if (event.kind == InputEvent::Kind::kMouseDown && event.button == MouseButton::kLeft) {
      movie_.Click();
    }
    return;
  }
  input_.HandleEvent(event);
}

bool Engine::ModalPass(uint32_t& nextTick) {
  PumpEvents();
  if (closed_ || platform_.ShouldStop() || platform_.TerminationRequested()) return false;
  const uint32_t now = platform_.Ticks();
  if (static_cast<int32_t>(now - nextTick) >= 0) {
    Timer1Timer();
    nextTick = now + kTimerInterval;
  }
  // The last input still gets its frame: a click's release only counts in one.
  ui_.Render(now);
  if (platform_.InputExhausted()) return false;
  SleepUntil(now + kIdlePassMs);
  return true;
}

int Engine::RunMenu(const std::vector<MenuItem>& items, int frameX, int frameY) {
  ui_.OpenMenu(items, frameX, frameY);
  modalUi_ = true;
  uint32_t nextTick = platform_.Ticks() + kTimerInterval;
  std::optional<int> result;
  while (!(result = ui_.TakeMenuResult())) {
    if (!ModalPass(nextTick)) break;
  }
  modalUi_ = false;
  if (!result) {
    // The run is ending with the menu open: it closes unanswered.
    InputEvent escape;
    escape.kind = InputEvent::Kind::kKeyDown;
    escape.key = Key::kEscape;
    ui_.Feed(escape);
    // Let go as well: a key left down would count as held when the next menu opens.
    escape.kind = InputEvent::Kind::kKeyUp;
    ui_.Feed(escape);
    result = ui_.TakeMenuResult();
  }
  ui_.Render(platform_.Ticks(), true);
  return result.value_or(-1);
}

void Engine::SaveScreenshot() {
  std::string error;
  const std::string path = NewScreenshotPath(error);
  if (path.empty()) {
    LogMessage("screenshot not saved: " + error);
    return;
  }
  // What the player sees, not the screen surface behind the window.
  Surface shown;
  platform_.ShownGameArea(shown);
  if (!WritePng(path, shown)) {
    LogMessage("screenshot not saved: cannot write " + path);
  } else {
    LogMessage("screenshot saved to " + path);
  }
}

void Engine::PassageUnread() {
  if (settings_.Seen == 0) return;
  s_.lastMarkRead = false;
  s_.skipMode = 0;
  s_.vars.S[kSkipLamp] = 0;
  quickBar_.DrawQuickBar();
}

}  // namespace zorvel
