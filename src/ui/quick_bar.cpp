#include "ui/quick_bar.h"

#include <algorithm>
#include <cstring>

#include "core/variable_banks.h"
#include "graphics/message_window.h"
#include "graphics/pixel_ops.h"
#include "text/sjis.h"

namespace zorvel {

namespace {

// Lamps: S059 stands for "no button", S060 to S071 for buttons 1 to 12.
constexpr int kNoButtonLamp = 59;
constexpr int kFirstLamp = 60;
constexpr int kMeterShown = 4;
constexpr int kMusicStarted = 5;

// Rows of "sys_qbtn": the unlit bar, the lit bar and the mask.
constexpr int kLitRow = 48;
constexpr int kMaskRow = 72;
// "AUTO_BAR": the full meter above the empty one.
constexpr int kMeterHeight = 8;
constexpr int kMeterStep = 8;

// The pressed look of buttons 3 to 5 before their action.
constexpr uint32_t kPressedMs = 50;
constexpr uint32_t kFullScreenSettleMs = 100;

// The band: question text, and the two answers (band rows; the screen adds kBandTop).
constexpr int kBandTextHeight = 24;
constexpr int kQuestionY = 12;
constexpr int kAnswerY = 44;
constexpr int kYesX = 300;
constexpr int kNoX = 390;
constexpr int kYesRight = 369;
constexpr int kAnswerHitTop = 194;
constexpr int kAnswerHitBottom = 223;
constexpr int kSoftEdgeRows = 16;
constexpr int kBandInnerLevel = 63;

constexpr TextColour kWhiteText{255, 255, 255};
constexpr TextColour kGreyText{128, 128, 128};
constexpr TextColour kYellowText{255, 255, 0};

// Shift-JIS: はい, いいえ, STITLE.
constexpr char kYes[] = "\x82\xCD\x82\xA2";
constexpr char kNo[] = "\x82\xA2\x82\xA2\x82\xA6";
constexpr char kQuickLoadQuestion[] =
    "\x83\x4E\x83\x43\x83\x62\x83\x4E\x83\x8D\x81\x5B\x83\x68\x82\xB5\x82\xDC\x82\xB7\x82\xA9"
    "\x81\x48";  // クイックロードしますか？
constexpr char kTitleScript[] = "STITLE";

int32_t& Lamp(EngineState& s, int button) {
  return s.vars.S[static_cast<size_t>(kFirstLamp + button - 1)];
}

void DarkenRow(uint8_t* row, int bytes, int level) {
  for (int i = 0; i < bytes; ++i) row[i] = static_cast<uint8_t>(row[i] * level / 256);
}

}  // namespace

QuickBar::QuickBar(EngineState& state, Screen& screen, const GameConfig& config, Settings& settings,
                   SystemText& systemText, Platform& platform, SaveScreens& saves,
                   QuickBarHooks hooks)
    : s_(state),
      screen_(screen),
      config_(config),
      settings_(settings),
      systemText_(systemText),
      platform_(platform),
      saves_(saves),
      hooks_(std::move(hooks)) {}

bool QuickBar::BarShown() const {
  return s_.textWindowOn || s_.vars.S[kNovelMode] != 0;
}

int QuickBar::Allowed(int button) const {
  if (button < 1 || button > kButtonCount) return kNone;
  const auto& S = s_.vars.S;
  if (s_.screenMode == 9 && button != kSkip && button != kVoice) return kNone;
  if ((button == kSlower || button == kFaster) && S[kAutoLevel] == 0) return kNone;
  if (button == kSkip && settings_.Seen != 0 && !s_.lastMarkRead) return kNone;
  if (button == kBacklog && s_.interactionMode != 0) return kNone;
  if (SaveOrLoadBarred(button)) return kNone;
  const bool saveOrLoad =
      button == kQuickSave || button == kQuickLoad || button == kSaveList || button == kLoadList;
  if (saveOrLoad && (s_.screenMode != 0 || S[kSavePermission] > 1)) return kNone;
  if ((button == kQuickLoad || button == kLoadList) && S[kSavePermission] == 1) return kNone;
  return button;
}

bool QuickBar::SaveOrLoadBarred(int button) const {
  if (button != kQuickSave && button != kQuickLoad && button != kSaveList && button != kLoadList) {
    return false;
  }
  const bool animation = hooks_.backgroundAnimationRunning();
  return s_.replayOrigin != 0 || animation;
}

// Drawing -------------------------------------------------------------------------------------

void QuickBar::BuildStrip() {
  auto& S = s_.vars.S;
  const Surface& picture = screen_.quickButtonPicture;
  Surface& strip = screen_.quickButtons;
  if (strip.Width() != kScreenWidth || strip.Height() != kBarHeight) {
    strip.Resize(kScreenWidth, kBarHeight);
  }
  // A short or narrow picture reads black where it has no pixels; the mask is then 0 there and
  // the scene shows through.
  CopyView(strip, picture, 0, 0);

  const bool autoRuns = S[kAutoLevel] != 0;
  const Surface& meterPicture = screen_.autoBarPicture;
  Surface& meter = screen_.autoBar;
  const bool meterShown = autoRuns && !meterPicture.Empty();
  if (meterShown) {
    const int width = meterPicture.Width();
    if (meter.Width() != width || meter.Height() != kMeterHeight) meter.Resize(width, kMeterHeight);
    CopyView(meter, meterPicture, 0, kMeterHeight);
    // Level 1 (fastest) fills the meter, level 10 shows one step; a level a script set beyond
    // that range is held to it.
    const int level = std::clamp(S[kAutoLevel], 1, 10);
    const int columns = std::min((11 - level) * kMeterStep, width);
    for (int r = 0; r < kMeterHeight && r < meterPicture.Height(); ++r) {
      std::memcpy(meter.Row(r), meterPicture.Row(r), static_cast<size_t>(columns) * 3);
    }
  }
  if (autoRuns) {
    S[kAutoLamp] = 2;
  } else if (S[kAutoLamp] == 2) {
    S[kAutoLamp] = 0;
  }
  if (s_.skipMode != 0 && S[kSkipLamp] == 0) S[kSkipLamp] = 2;

  if (lit_.Width() != kScreenWidth || lit_.Height() != kBarHeight) {
    lit_.Resize(kScreenWidth, kBarHeight);
    mask_.Resize(kScreenWidth, kBarHeight);
  }
  CopyView(lit_, picture, 0, kLitRow);
  CopyView(mask_, picture, 0, kMaskRow);
  for (int b = 1; b <= kButtonCount; ++b) {
    if (Lamp(s_, b) == 0) continue;
    for (int r = 0; r < kBarHeight; ++r) {
      std::memcpy(strip.Row(r) + kButtonX[b] * 3, lit_.Row(r) + kButtonX[b] * 3,
                  static_cast<size_t>(kButtonWidth) * 3);
    }
  }

  // The picture under the bar is rebuilt with the window; read it through a view so that a
  // surface of another size never overruns.
  Surface& under = screen_.quickButtonsWork;
  if (under.Width() != kScreenWidth || under.Height() != kBarHeight) {
    under.Resize(kScreenWidth, kBarHeight);
  }
  CopyView(under, screen_.barBackground, 0, 0);
  constexpr int kGroups = kScreenWidth * 3 / 8;
  for (int r = 0; r < kBarHeight; ++r) {
    BlendMasked(strip.Row(r), under.Row(r), strip.Row(r), mask_.Row(r), kGroups);
  }
  if (meterShown) Paste(strip, meter, kMeterX, kMeterY);
}

void QuickBar::ShowStrip() {
  Paste(screen_.screenSurface, screen_.quickButtons, 0, kBarTop);
  platform_.PresentRect(screen_.screenSurface, 0, kBarTop, kScreenWidth, kBarHeight);
}

void QuickBar::PutStripIntoWindow() {
  if (s_.vars.S[kNovelMode] != 0) {
    Paste(screen_.novelPageSurface, screen_.quickButtons, 0, kBarTop);
    return;
  }
  const int64_t x = -int64_t{config_.TXW_OFS_X};
  const int64_t y = int64_t{kBarTop} - config_.TXW_OFS_Y;
  Paste(screen_.windowPicture, screen_.quickButtons, x, y);
  // A page change brings the window back from its clean copy; it keeps the lamps too.
  Paste(screen_.cleanWindowPicture, screen_.quickButtons, x, y);
}

void QuickBar::DrawQuickBar(int mode) {
  if (s_.animating || (s_.screenMode != 0 && s_.screenMode != 9)) return;
  if (hooks_.backgroundAnimationRunning()) return;
  // A game without the bar's picture has no bar.
  if (screen_.quickButtonPicture.Empty()) return;
  BuildStrip();
  // The history view and the panic picture own the whole screen while they are up.
  const bool screenFree = !s_.backlogOpen && !s_.panicActive;
  if (mode == 0 && BarShown() && screenFree) ShowStrip();
  if (mode == 1 && s_.textWindowOn && screenFree) ShowStrip();
  if (mode == 1 || mode == 2) PutStripIntoWindow();
}

void QuickBar::HoverQuickBar(int x, int y) {
  if (s_.screenMode != 0 && s_.screenMode != 9) return;
  for (int b = 1; b <= kButtonCount; ++b) Lamp(s_, b) = 0;
  int hovered = kNone;
  // Buttons the player cannot see do not take the pointer.
  if (BarShown() && y >= kBarTop && y < kBarTop + kBarHeight) {
    for (int b = 1; b <= kButtonCount; ++b) {
      if (x >= kButtonX[b] && x < kButtonX[b] + kButtonWidth) {
        hovered = b;
        break;
      }
    }
  }
  hovered = Allowed(hovered);
  if (hovered != hoverButton_) {
    if (hovered == kNone) {
      s_.vars.S[kNoButtonLamp] = 1;
    } else {
      Lamp(s_, hovered) = 1;
    }
    DrawQuickBar(1);
  }
  hoverButton_ = hovered;
}

void QuickBar::ResetHighlight() {
  if (hoverButton_ == kNone) return;
  const auto [x, y] = hooks_.pointer();
  const int b = hoverButton_;
  if (y >= kBarTop && y < kBarTop + kBarHeight && x >= kButtonX[b] &&
      x < kButtonX[b] + kButtonWidth) {
    return;
  }
  if (Lamp(s_, hoverButton_) == 1) Lamp(s_, hoverButton_) = 0;
  s_.vars.S[kNoButtonLamp] = 1;
  hoverButton_ = kNone;
  DrawQuickBar(1);
}

bool QuickBar::PressKeyButton(int button) {
  if (button < kNone || button > kButtonCount) button = kNone;
  // A scene replay or a background animation has no state a slot could keep, whichever way the
  // save or load was asked for.
  if (SaveOrLoadBarred(button)) button = kNone;
  hoverButton_ = button;
  return RunButton(button);
}

// Pressing --------------------------------------------------------------------------------------

void QuickBar::PlaySound(const char* name) {
  lastSound_ = name;
  hooks_.playSystemSound(name);
}

void QuickBar::FlashLamp(int lamp) {
  s_.vars.S[static_cast<size_t>(lamp)] = 2;
  DrawQuickBar(1);
  platform_.Sleep(kPressedMs);
  s_.vars.S[static_cast<size_t>(lamp)] = 0;
}

bool QuickBar::PressQuickButton() {
  if (s_.screenMode == 9) {
    hooks_.stepRewind(hoverButton_ != kSlower);
    DrawQuickBar(1);
    return true;
  }
  // What may be pressed can have changed since the pointer came over the button.
  return RunButton(Allowed(hoverButton_));
}

bool QuickBar::RunButton(int button) {
  auto& S = s_.vars.S;
  switch (button) {
    case kSkip:
      if (s_.skipMode != 0) {
        s_.skipMode = 0;
        S[kSkipLamp] = 0;
      } else {
        s_.skipMode = 1;
        S[kSkipLamp] = 2;
      }
      S[kAutoLamp] = 0;
      DrawQuickBar(1);
      break;
    case kAuto:
      if (S[kAutoLevel] == 0) {
        if (S[kLastAutoLevel] < 1 || S[kLastAutoLevel] > 10) S[kLastAutoLevel] = 6;
        S[kAutoLevel] = S[kLastAutoLevel];
        S[kAutoLamp] = 2;
      } else {
        S[kLastAutoLevel] = S[kAutoLevel];
        S[kAutoLevel] = 0;
        S[kAutoLamp] = 0;
      }
      DrawQuickBar(1);
      break;
    case kHideWindow:
      S[kAutoLevel] = 0;
      S[kAutoLamp] = 0;
      FlashLamp(kFirstLamp + kHideWindow - 1);
      hooks_.hideWindow();
      break;
    case kQuickSave:
      FlashLamp(kFirstLamp + kQuickSave - 1);
      saves_.QuickSave();
      break;
    case kQuickLoad:
      FlashLamp(kFirstLamp + kQuickLoad - 1);
      AskQuestion(kQuickLoadQuestion, kAskQuickLoad);
      DrawQuickBar(1);
      break;
    case kBacklog:
      S[kAutoLevel] = 0;
      S[kAutoLamp] = 0;
      Lamp(s_, kBacklog) = 2;
      DrawQuickBar(1);
      hooks_.openBacklog();
      Lamp(s_, kBacklog) = 0;
      break;
    case kVoice:
      DrawQuickBar(1);
      PlaySound(s_.lastVoice);
      break;
    case kSettings: {
      const bool changed = hooks_.showSettings();
      ApplySettings(changed);
      break;
    }
    case kSlower:
      if (S[kAutoLevel] != 0 && S[kAutoLevel] < 10) S[kAutoLevel] += 1;
      DrawQuickBar(1);
      break;
    case kFaster:
      // A level a script set beyond the slowest comes back into range.
      if (S[kAutoLevel] > 1) S[kAutoLevel] = std::min(S[kAutoLevel] - 1, 10);
      DrawQuickBar(1);
      break;
    case kSaveList:
    case kLoadList: {
      const bool save = button == kSaveList;
      Lamp(s_, button) = 2;
      DrawQuickBar(1);
      Lamp(s_, button) = 0;
      if (s_.animating) return false;
      PlaySound(save ? "SSE05" : "SSE06");
      if (save) {
        saves_.OpenSaveList();
      } else {
        saves_.OpenLoadList();
      }
      break;
    }
    default:
      return false;
  }
  if (button <= kVoice) hoverButton_ = kNone;
  return true;
}

// The question band -------------------------------------------------------------------------------

std::string QuickBar::Face() const {
  return settings_.FontName.empty() ? config_.FONT_NAME : settings_.FontName;
}

void QuickBar::DrawAnswers(Surface& band, int y) const {
  const std::string face = Face();
  systemText_.Draw(band, kYesX, y, kYes, face, kBandTextHeight,
                   answer_ != 0 ? kYellowText : kGreyText);
  systemText_.Draw(band, kNoX, y, kNo, face, kBandTextHeight,
                   answer_ != 0 ? kGreyText : kYellowText);
}

void QuickBar::ShowBand() {
  Surface shown = band_;
  DrawAnswers(shown, kAnswerY);
  Paste(screen_.screenSurface, shown, 0, kBandTop);
  platform_.PresentRect(screen_.screenSurface, 0, kBandTop, kScreenWidth, kBandHeight);
}

void QuickBar::AskQuestion(const char* sjisText, int kind) {
  // One question at a time: a second would keep the first band as the screen under it.
  if (bandShown_ || s_.questionKind != 0) return;
  band_.Resize(kScreenWidth, kBandHeight);
  CopyView(band_, screen_.screenSurface, 0, kBandTop);
  bandBackup_ = band_;
  bandShown_ = true;
  s_.toolbarLocked = true;
  hooks_.updateToolbar();

  const int bytes = kScreenWidth * 3;
  for (int i = 0; i < kSoftEdgeRows; ++i) {
    DarkenRow(band_.Row(i), bytes, 255 - 12 * i);
    DarkenRow(band_.Row(kBandHeight - 1 - i), bytes, 255 - 12 * i);
  }
  for (int r = kSoftEdgeRows; r < kBandHeight - kSoftEdgeRows; ++r) {
    DarkenRow(band_.Row(r), bytes, kBandInnerLevel);
  }
  const std::string face = Face();
  const int width = systemText_.Measure(sjisText, face, kBandTextHeight);
  systemText_.Draw(band_, (kScreenWidth - width) / 2, kQuestionY, sjisText, face, kBandTextHeight,
                   kWhiteText);

  answer_ = 0;
  s_.questionKind = kind;
  ShowBand();
}

void QuickBar::QuestionMouseMove(int x, int y) {
  const int answer = (y >= kAnswerHitTop && y <= kAnswerHitBottom && x >= kYesX && x <= kYesRight);
  if (answer == answer_) return;
  answer_ = answer;
  if (bandShown_) ShowBand();
}

void QuickBar::QuestionClick(MouseButton button, int x, int y) {
  // The press decides by where it lands, whether or not a move got there first.
  QuestionMouseMove(x, y);
  AnswerQuestion(button, false);
}

void QuickBar::AnswerQuestion(MouseButton button, bool keepScreen) {
  if (!keepScreen && bandShown_) {
    Paste(screen_.screenSurface, bandBackup_, 0, kBandTop);
    platform_.PresentRect(screen_.screenSurface, 0, kBandTop, kScreenWidth, kBandHeight);
  }
  band_ = Surface();
  bandBackup_ = Surface();
  bandShown_ = false;
  s_.toolbarLocked = false;
  hooks_.updateToolbar();
  DrawQuickBar(1);
  // The question is over before its answer runs: a quick load or the title's script may pump
  // events, and a click meanwhile must not answer it again.
  const int kind = s_.questionKind;
  s_.questionKind = 0;
  if (button != MouseButton::kRight && answer_ != 0) {
    if (kind == kAskQuickLoad) {
      saves_.QuickLoad();
    } else if (kind == kAskTitle) {
      ReturnToTitle();
    }
  }
  answer_ = 0;
}

void QuickBar::AnswerTitleQuestionYes() {
  s_.questionKind = kAskTitle;
  answer_ = 1;
  AnswerQuestion(MouseButton::kLeft, !bandShown_);
}

// Title and settings ------------------------------------------------------------------------------

void QuickBar::ReturnToTitle() {
  auto& S = s_.vars.S;
  hooks_.stopBackgroundAnimation();
  S[kMeterShown] = 0;
  S[kMusicStarted] = 0;
  hooks_.stopMusic();
  S[kRecording] = 1;
  S[kRecording2] = S[kRecording3];
  if (s_.interactionMode == 6) hooks_.endSelectionTree();
  s_.replayOrigin = 0;
  hooks_.updateToolbar();
  s_.questionKind = 0;
  if (s_.interactionMode == 1) hooks_.restoreChoiceScreen();
  hooks_.closeMessageWindow();
  s_.callDepth = 0;
  CopyField(s_.scriptName, kNameSize, kTitleScript);
  hooks_.loadScript(kTitleScript);
  s_.interactionMode = 0;
  s_.waitKind = 0;
  s_.screenMode = 0;
}

void QuickBar::ApplySettings(bool textOrWindowChanged) {
  if (textOrWindowChanged) {
    screen_.BuildWindowBackground(settings_, config_.TXW_SIZE_X, config_.TXW_SIZE_Y);
    s_.windowPictureValid = false;
    // The face first: the window is drawn again with its text.
    hooks_.reloadFont();
    hooks_.redrawMessageWindow();
    if (s_.screenMode == 0 && s_.interactionMode == 0) {
      hooks_.restoreScreen();
    }
  }
  const Settings stored = hooks_.readStoredSettings();
  settings_.Delay = stored.Delay;
  settings_.GMode = stored.GMode;
  settings_.SMode = stored.SMode;
  const bool wanted = settings_.SMode != 0;
  if (hooks_.fullScreen() == wanted) return;
  s_.busy = true;
  if (hooks_.fullScreen()) {
    platform_.Sleep(kFullScreenSettleMs);
    hooks_.pumpEvents();
    hooks_.setFullScreen(false);
  }
  if (wanted) {
    hooks_.setFullScreen(true);
    platform_.Sleep(kFullScreenSettleMs);
    hooks_.pumpEvents();
  }
  s_.busy = false;
}

}  // namespace zorvel
