#include "ui/choices.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "core/variable_banks.h"
#include "graphics/pixel_ops.h"
#include "platform/files.h"
#include "text/sjis.h"
#include "translation/translation.h"

namespace zorvel {

namespace {

constexpr int kPartsPair = 15;  // S015: `partsload` gave a second picture

// Window mode: the list is centred on row 234, one 50-row box an entry.
constexpr int kListMiddle = 234;
constexpr int kEntryHeight = 50;
constexpr int kTextPitch = 12;
constexpr int kTextShift = 14;
// The pointer counts as over the list strictly between these columns; a highlight change
// copies columns 180 to 619 of the entry, the click animation's dark frames start at 189.
constexpr int kHoverLeft = 195;
constexpr int kHoverRight = 604;
constexpr int kRedrawLeft = 180;
constexpr int kRedrawRight = 620;
constexpr int kBlinkLeft = 189;

// Colour styles of the message font: plain and lit boxes, plain and lit plates.
constexpr int kBoxStyle = 0;
constexpr int kLitBoxStyle = 2;
constexpr int kPlateStyle = 7;
constexpr int kLitPlateStyle = 4;
constexpr int kPlateTextDown = 5;

constexpr int kBlinkFrames = 4;
constexpr int kReplayBlinkFrames = 14;
constexpr int kBlinkPeriod = 100;

constexpr char kShownSound[] = "SSE02";
constexpr char kTakenSound[] = "SSE01";

int ClampToDrawable(int64_t v) {
  return static_cast<int>(std::clamp<int64_t>(v, -100000, 100000));
}

// Copies the rectangle from `src` to the same place of `dest`, clipped to both; false when
// nothing of it lies on them.
bool CopyRect(Surface& dest, const Surface& src, int x0, int y0, int x1, int y1,
              ScreenRect& shown) {
  x0 = std::max(x0, 0);
  y0 = std::max(y0, 0);
  x1 = std::min({x1, dest.Width(), src.Width()});
  y1 = std::min({y1, dest.Height(), src.Height()});
  if (x0 >= x1 || y0 >= y1) return false;
  for (int y = y0; y < y1; ++y) {
    std::memcpy(dest.Row(y) + static_cast<size_t>(x0) * 3, src.Row(y) + static_cast<size_t>(x0) * 3,
                static_cast<size_t>(x1 - x0) * 3);
  }
  shown = {x0, y0, x1 - x0, y1 - y0};
  return true;
}

// The width novel-mode entries keep when the game has no plate picture.
constexpr int kMissingPlateWidth = 500;

}  // namespace

Choices::Choices(EngineState& state, Screen& screen, const GameConfig& config,
                 const Settings& settings, Font& font, Expressions& expressions,
                 Interpreter& interpreter, FrameClock& clock, Platform& platform, ChoiceHooks hooks)
    : s_(state),
      screen_(screen),
      config_(config),
      settings_(settings),
      font_(font),
      expr_(expressions),
      interp_(interpreter),
      clock_(clock),
      platform_(platform),
      hooks_(std::move(hooks)) {}

void Choices::Register(CommandTable& table) {
  table.Register(kSelect, [this](const char* arg) { return Select(arg); });
}

const char* Choices::Text(int index) const {
  return index >= 0 && index < count_ ? texts_[index] : "";
}

int32_t Choices::Target(int index) const {
  return index >= 0 && index < count_ ? targets_[index] : 0;
}

void Choices::PlaySound(const char* name) {
  lastSound_ = name;
  hooks_.playSystemSound(name);
}

// Reading the list ---------------------------------------------------------------------------

int Choices::Select(const char*) {
  // Skip and auto mode were ended and the line marked done by the command table.
  auto& S = s_.vars.S;
  PlaySound(kShownSound);
  s_.busy = true;
  novel_ = S[kNovelMode] != 0;
  s_.interactionMode = novel_ ? 2 : 1;

  ReadChoices();
  if (count_ == 0) {
    // The game waits on a list nobody can choose from; the menu and the quick buttons still
    // lead out of it (load, title), and the script's author needs to know where it is.
    LogMessage(
        "select at line " + std::to_string(CurrentLineNumber()) + " of script \"" +
        SjisToUtf8(std::string(s_.loadedScriptName, strnlen(s_.loadedScriptName, kNameSize))) +
        "\" offers no choice: no choice line before its \"}\", or every condition is "
        "false; the game waits until it is left through the menu or a quick button");
  }

  under_ = screen_.screenSurface;
  normal_ = under_;
  lit_ = under_;
  boxes_ = {};
  if (novel_) {
    LayOutNovel();
  } else {
    LayOutWindow();
  }
  // The page keeps its own colour for the characters that follow later.
  font_.SetTextColour(s_.textColour);
  screen_.screenSurface = normal_;
  platform_.Present(screen_.screenSurface);
  shown_ = true;

  highlighted_ = -1;
  const auto [x, y] = hooks_.pointer();
  Hover(x, y);
  s_.busy = false;

  fromLog_ = false;
  if (S[kRecording] == 2) {
    int32_t& at = S[kRecording3];
    if (at < 0 || at >= kChoiceLogSize) {
      LogMessage("choice replay stopped: its position " + std::to_string(at) +
                 " lies outside the choice log");
      S[kRecording] = 1;
      return 1;
    }
    highlighted_ = log_[static_cast<size_t>(at)];
    at += 1;
    fromLog_ = true;
    if (at >= S[kRecording2]) {
      S[kRecording] = 1;
      S[kRecording2] = at;
    }
    if (!novel_) {
      if (highlighted_ < 1 || highlighted_ > count_) {
        LogMessage("choice replay: choice " + std::to_string(highlighted_) +
                   " is not on the list of " + std::to_string(count_) + "; the player chooses");
        highlighted_ = 0;
      } else {
        Take(true);
      }
    }
  }
  return 1;
}

void Choices::ReadChoices() {
  count_ = 0;
  int32_t pos = s_.scriptPos;
  while (count_ < kMaxChoices) {
    const int32_t open = interp_.FindLineStart(pos, '{');
    const int32_t close = interp_.FindLineStart(pos, '}');
    if (open >= s_.scriptSize || open > close) break;
    int32_t stop = open + 1;
    char text[kChoiceTextMax + 1] = {};
    if (ReadChoiceLine(open + 1, text, stop)) {
      const auto* buf = s_.scriptBuffer.data();
      int32_t end = open;
      while (end < s_.scriptSize && buf[end] != 0) ++end;
      std::memcpy(texts_[count_], text, sizeof text);
      // A translation shows in place of the text it was made for; a text from a string
      // variable, or a script changed since, keeps what the script says.
      if (const TranslatedText* t = interp_.TranslationAt(open); t && t->id == text) {
        CopyField(texts_[count_], sizeof texts_[count_], t->str.c_str());
      }
      targets_[count_] = std::min(end + 1, s_.scriptSize);
      count_ += 1;
    }
    // Reading never passes the line's 0 byte, so the next search starts on a later line.
    pos = std::max(stop, open + 1);
  }
}

bool Choices::ReadChoiceLine(int32_t pos, char (&text)[kChoiceTextMax + 1], int32_t& stop) {
  const auto* buf = s_.scriptBuffer.data();
  const int32_t end = s_.scriptSize;
  int len = 0;
  int32_t p = pos;
  while (p < end && buf[p] != 0) {
    const uint8_t c = buf[p];
    if (c == '(') {
      // The buffer's guard bytes end the condition even on an unended last line.
      if (!expr_.Condition(reinterpret_cast<const char*>(buf + p))) {
        stop = p;
        return false;
      }
      while (p < end && buf[p] != 0 && buf[p] != ')') ++p;
      if (p < end && buf[p] == ')') ++p;
      continue;
    }
    if (c == '$') {
      int d = 0;
      if (p + 1 < end && buf[p + 1] >= '0' && buf[p + 1] <= '9') d = buf[p + 1] - '0';
      CopyField(text, kStringVarSize, s_.stringVars[d], kStringVarSize);
      stop = (p + 1 < end && buf[p + 1] != 0) ? p + 2 : p + 1;
      return true;
    }
    int n = IsSingleByteChar(c) ? 1 : 2;
    if (n == 2 && (p + 1 >= end || buf[p + 1] == 0)) n = 1;
    // A text that fills the field before its line ends is not offered.
    if (len + n > kChoiceTextMax || len == kChoiceTextMax) {
      stop = p;
      return false;
    }
    std::memcpy(text + len, buf + p, static_cast<size_t>(n));
    len += n;
    p += n;
  }
  text[len] = 0;
  stop = p;
  return true;
}

int Choices::CurrentLineNumber() const {
  const auto* buf = s_.scriptBuffer.data();
  const int32_t upTo = std::clamp(s_.lineStart, 0, s_.scriptSize);
  return 1 + static_cast<int>(std::count(buf, buf + upTo, uint8_t{0}));
}

// Drawing ------------------------------------------------------------------------------------

void Choices::LayOutWindow() {
  boxTop_ = kListMiddle - count_ * kEntryHeight / 2;
  boxWidth_ = screen_.choicePicture.Width();
  boxLeft_ = (kScreenWidth - boxWidth_) / 2;
  bool misfit = false;
  for (int i = 0; i < count_; ++i) {
    const int y = boxTop_ + kEntryHeight * i;
    misfit |= !DrawMaskedStacked(normal_, boxLeft_, y, screen_.choicePicture);
    DrawWindowText(normal_, i, kBoxStyle);
    misfit |= !DrawMaskedStacked(lit_, boxLeft_, y, screen_.choicePicture2);
    DrawWindowText(lit_, i, kLitBoxStyle);
  }
  if (misfit) {
    LogMessage("select: " + std::to_string(count_) +
               " choice boxes do not all fit on the screen; those that do not show no box");
  }
}

void Choices::DrawWindowText(Surface& target, int entry, int style) {
  const char* text = texts_[entry];
  const int length = static_cast<int>(strnlen(text, kChoiceTextMax));
  // The message font's cells sit lower in the box for the larger sizes.
  const int down = settings_.FONTSIZE >= 22 ? 4 : (settings_.FONTSIZE == 21 ? 1 : 2);
  const int y = boxTop_ + kEntryHeight * entry + down;
  const int x0 = boxLeft_ + (boxWidth_ - kTextPitch * length) / 2 - kTextShift;
  font_.SetTextColour(style);
  for (int p = 0; p < length;) {
    const int used = font_.RenderChar(text + p);
    font_.DrawGlyph(target, x0 + kTextPitch * (p + 1), y);
    p += used;
  }
}

void Choices::LayOutNovel() {
  boxTop_ = boxLeft_ = boxWidth_ = 0;
  const Surface& plate = screen_.choiceMarkPicture;
  // Without the plate picture the entries would have no area at all and the player could never
  // leave the list: they keep a plate's usual size, drawn as text only.
  const int width = plate.Width() > 0 ? plate.Width() : kMissingPlateWidth;
  const int height = plate.Height() >= 2 ? plate.Height() / 2 : std::max(config_.TX2_PITCH_Y, 24);
  bool misfit = false;
  for (int i = 0; i < count_; ++i) {
    Box& b = boxes_[static_cast<size_t>(i)];
    b.left = (kScreenWidth - width) / 2;
    b.right = b.left + width;
    b.top = ClampToDrawable((int64_t{s_.textRow} + i) * config_.TX2_PITCH_Y + config_.TX2_OFS_Y);
    b.bottom = b.top + height;
    const int centre = (b.left + b.right) / 2;
    misfit |= !DrawMaskedStacked(normal_, b.left, b.top, plate);
    font_.DrawTextRunCentred(texts_[i], centre, normal_, kPlateStyle, b.top + kPlateTextDown);
    misfit |= !DrawMaskedStacked(lit_, b.left, b.top, screen_.choiceMarkOmPicture);
    font_.DrawTextRunCentred(texts_[i], centre, lit_, kLitPlateStyle, b.top + kPlateTextDown);
  }
  if (misfit) {
    LogMessage("select: the choice plates below text row " + std::to_string(s_.textRow) +
               " do not all fit on the page; those that do not show no plate");
  }
}

Choices::Box Choices::EntryRect(int entry) const {
  if (novel_) return boxes_[static_cast<size_t>(entry - 1)];
  const int top = boxTop_ + kEntryHeight * (entry - 1);
  return {kRedrawLeft, top, kRedrawRight, top + kEntryHeight};
}

int Choices::EntryAt(int x, int y) const {
  if (novel_) {
    for (int i = 0; i < count_; ++i) {
      const Box& b = boxes_[static_cast<size_t>(i)];
      if (b.left < x && x < b.right && b.top < y && y < b.bottom) return i + 1;
    }
    return 0;
  }
  if (x <= kHoverLeft || x >= kHoverRight) return 0;
  if (y <= boxTop_ || y >= boxTop_ + kEntryHeight * count_) return 0;
  return (y - boxTop_) / kEntryHeight + 1;
}

// The player ---------------------------------------------------------------------------------

void Choices::Hover(int x, int y) {
  if (!shown_) return;
  const int entry = EntryAt(x, y);
  if (entry == highlighted_) return;
  std::vector<ScreenRect> rects;
  for (int i = 1; i <= count_; ++i) {
    // Only the entries whose look changes; right after drawing, every entry.
    if (highlighted_ >= 0 && i != entry && i != highlighted_) continue;
    const Box b = EntryRect(i);
    ScreenRect shown;
    if (CopyRect(screen_.screenSurface, i == entry ? lit_ : normal_, b.left, b.top, b.right,
                 b.bottom, shown)) {
      rects.push_back(shown);
    }
  }
  if (!rects.empty()) platform_.PresentRects(screen_.screenSurface, rects);
  highlighted_ = entry;
}

void Choices::Click(MouseButton button, int x, int y) {
  if (button != MouseButton::kLeft || !shown_) return;
  // The press counts where it happens, even when no move reached the list first.
  Hover(x, y);
  Take(false);
}

void Choices::TakeChoice() {
  Take(false);
}

void Choices::Take(bool replayed) {
  if (!shown_ || highlighted_ < 1 || highlighted_ > count_) return;
  auto& S = s_.vars.S;
  SoundAndLog(highlighted_, fromLog_);
  const int32_t target = targets_[highlighted_ - 1];
  shown_ = false;
  if (!novel_) {
    ClickAnimation(replayed ? kReplayBlinkFrames : kBlinkFrames);
    S[kPartsPair] = 0;
    s_.interactionMode = 0;
    screen_.screenSurface = under_;
    platform_.Present(screen_.screenSurface);
    if (s_.textWindowOn) hooks_.openTextPage();
  } else {
    S[kPartsPair] = 0;
    hooks_.openTextPage();
    s_.interactionMode = 0;
  }
  s_.scriptPos = target;
  S[kBacktoPos] = 0;
  s_.needLine = true;
}

void Choices::SoundAndLog(int chosen, bool logged) {
  auto& S = s_.vars.S;
  if (s_.stringVars[7][0] != 0) {
    char name[kStringVarSize + 1] = {};
    std::memcpy(name, s_.stringVars[8], kStringVarSize);
    PlaySound(name);
  } else {
    PlaySound(kTakenSound);
  }
  // A list the replay read from the log is in the log already, even when the replay ended on
  // it and recording is back on: writing it again would put every later choice of the scene
  // one place off.
  if (!logged && S[kRecording] == 1) {
    int32_t& at = S[kRecording2];
    if (at >= 0 && at < kChoiceLogSize) {
      log_[static_cast<size_t>(at)] = static_cast<uint8_t>(chosen);
      at += 1;
    } else {
      LogMessage("choice not recorded: the choice log holds " + std::to_string(kChoiceLogSize) +
                 " choices and its position is " + std::to_string(at));
    }
  }
}

void Choices::ClickAnimation(int frames) {
  s_.busy = true;
  clock_.StartFrameClock();
  const int top = boxTop_ + kEntryHeight * (highlighted_ - 1);
  for (int f = 0; f < frames; ++f) {
    const bool lit = f % 2 != 0;
    ScreenRect shown;
    if (CopyRect(screen_.screenSurface, lit ? lit_ : normal_, lit ? kRedrawLeft : kBlinkLeft, top,
                 kRedrawRight, top + kEntryHeight, shown)) {
      platform_.PresentRect(screen_.screenSurface, shown.x, shown.y, shown.w, shown.h);
    }
    clock_.WaitFrames(kBlinkPeriod);
  }
  s_.busy = false;
}

void Choices::RestoreScreen() {
  if (shown_ && !novel_ && s_.interactionMode == 1) {
    screen_.screenSurface = under_;
    platform_.Present(screen_.screenSurface);
  }
  shown_ = false;
}

}  // namespace zorvel
