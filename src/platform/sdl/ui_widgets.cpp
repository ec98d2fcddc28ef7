#include "platform/sdl/ui_widgets.h"

#include <algorithm>

#include "graphics/surface.h"

namespace zorvel {

namespace {

constexpr int kToolbarTextPx = 12;
constexpr int kToolbarButtonTop = 2;
constexpr int kToolbarButtonHeight = 20;
constexpr int kToolbarButtonMinWidth = 48;
constexpr int kToolbarButtonPadding = 10;
constexpr int kToolbarGap = 4;

constexpr int kCaptionPx = 14;
constexpr int kTextPx = 16;
constexpr int kButtonPx = 14;
constexpr int kCaptionBarHeight = 28;
constexpr int kPanelPadding = 20;
constexpr int kLineSpacing = 4;
constexpr int kMaxTextWidth = 520;
constexpr int kMinPanelWidth = 300;
constexpr int kScreenMargin = 16;
constexpr int kButtonWidth = 96;
constexpr int kButtonHeight = 28;
constexpr int kButtonGap = 12;
constexpr int kShadowOffset = 4;

constexpr UiColor kStripColor{240, 240, 240};
constexpr UiColor kStripEdge{200, 200, 200};
constexpr UiColor kButtonFace{252, 252, 252};
constexpr UiColor kButtonEdge{180, 180, 180};
constexpr UiColor kDisabledFace{244, 244, 244};
constexpr UiColor kDisabledEdge{216, 216, 216};
constexpr UiColor kDisabledText{160, 160, 160};
constexpr UiColor kHotFace{229, 241, 251};
constexpr UiColor kPressedFace{204, 228, 247};
constexpr UiColor kAccent{0, 120, 215};
constexpr UiColor kText{24, 24, 24};
constexpr UiColor kWhite{255, 255, 255};
constexpr UiColor kPanelFace{246, 246, 246};
constexpr UiColor kPanelEdge{64, 64, 64};
constexpr UiColor kShadow{12, 12, 12};
constexpr UiColor kCaptionBar{52, 84, 140};
constexpr UiColor kErrorCaptionBar{168, 44, 44};

constexpr char32_t kEllipsis = 0x2026;

void Fill(Surface& s, const UiRect& r, UiColor c) {
  s.FillRect(r.x, r.y, r.w, r.h, c.r, c.g, c.b);
}

// A one-pixel outline filled with a face colour.
void Box(Surface& s, const UiRect& r, UiColor edge, UiColor face) {
  Fill(s, r, edge);
  Fill(s, UiRect{r.x + 1, r.y + 1, r.w - 2, r.h - 2}, face);
}

// Baseline that centres one line of text vertically in a rectangle.
int CenteredBaseline(UiFont& font, const UiRect& r, int pixelSize) {
  return r.y + (r.h - font.LineHeight(pixelSize)) / 2 + font.Ascent(pixelSize);
}

void DrawCentered(Surface& s, UiFont& font, const UiRect& r, std::u32string_view text,
                  int pixelSize, UiColor color) {
  const int x = r.x + (r.w - font.Measure(text, pixelSize)) / 2;
  font.Draw(s, x, CenteredBaseline(font, r, pixelSize), text, pixelSize, color, r);
}

bool IsWide(char32_t ch) {
  return (ch >= 0x2E80 && ch <= 0x9FFF) || (ch >= 0xF900 && ch <= 0xFAFF) ||
         (ch >= 0xFF00 && ch <= 0xFFEF) || (ch >= 0x20000 && ch <= 0x3FFFF);
}

// Characters that may not begin a line; they hang at the end of the previous one instead.
bool IsClosing(char32_t ch) {
  static constexpr char32_t kClosing[] = {
      U'、', U'。', U'，', U'．', U'・', U'：', U'；', U'？', U'！', U'ー', U'）',
      U'」', U'』', U'】', U'〕', U'〉', U'》', U'ぁ', U'ぃ', U'ぅ', U'ぇ', U'ぉ',
      U'っ', U'ゃ', U'ゅ', U'ょ', U'ァ', U'ィ', U'ゥ', U'ェ', U'ォ', U'ッ', U'ャ',
      U'ュ', U'ョ', U'…',  U',',  U'.',  U')',  U'!',  U'?',  U':',  U';'};
  return std::find(std::begin(kClosing), std::end(kClosing), ch) != std::end(kClosing);
}

}  // namespace

void DimSurface(Surface& surface) {
  for (int y = 0; y < surface.Height(); ++y) {
    uint8_t* p = surface.Row(y);
    for (int i = 0; i < surface.Width() * 3; ++i) p[i] = static_cast<uint8_t>(p[i] * 115 >> 8);
  }
}

std::vector<std::u32string> WrapText(UiFont& font, std::u32string_view text, int pixelSize,
                                     int maxWidth) {
  std::vector<std::u32string> lines;
  std::u32string line;
  int width = 0;
  // Where the current line may be broken: after a space, and on either side of a wide character.
  size_t breakAt = 0;
  bool wrapped = false;

  for (char32_t ch : text) {
    if (ch == U'\n') {
      lines.push_back(std::move(line));
      line.clear();
      width = 0;
      breakAt = 0;
      wrapped = false;
      continue;
    }
    if (ch == U'\t') ch = U' ';
    if (ch < 0x20) continue;
    const int advance = font.Measure(std::u32string_view(&ch, 1), pixelSize);
    if (width + advance > maxWidth && !line.empty() && ch != U' ' && !IsClosing(ch)) {
      // Carry an unfinished Latin word over whole. Otherwise break right here: before a wide
      // character, at a clean boundary, or through a word too long for any line.
      std::u32string rest;
      if (!IsWide(ch) && breakAt > 0 && breakAt < line.size()) {
        rest = line.substr(breakAt);
        line.resize(breakAt);
      }
      while (!line.empty() && line.back() == U' ') line.pop_back();
      lines.push_back(std::move(line));
      line = std::move(rest);
      width = font.Measure(line, pixelSize);
      breakAt = 0;
      wrapped = true;
    }
    if (ch == U' ' && line.empty() && wrapped) continue;
    if (IsWide(ch)) breakAt = line.size();
    line.push_back(ch);
    width += advance;
    if (ch == U' ' || IsWide(ch)) breakAt = line.size();
  }
  lines.push_back(std::move(line));
  return lines;
}

// ---------------------------------------------------------------------------------------------

bool Toolbar::Set(const std::vector<std::string>& utf8Captions, const std::vector<bool>& enabled) {
  if (utf8Captions == captions_ && enabled == enabled_) return false;
  captions_ = utf8Captions;
  enabled_ = enabled;
  buttons_.clear();
  for (size_t i = 0; i < captions_.size(); ++i) {
    Button button;
    button.caption = DecodeUtf8(captions_[i]);
    // A caption the state list does not reach counts as usable.
    button.enabled = i >= enabled_.size() || enabled_[i];
    buttons_.push_back(std::move(button));
  }
  if (hot_ >= static_cast<int>(buttons_.size())) hot_ = -1;
  if (pressed_ >= static_cast<int>(buttons_.size())) pressed_ = -1;
  return true;
}

void Toolbar::Layout(UiFont& font) {
  int x = kToolbarGap;
  for (Button& button : buttons_) {
    const int width =
        std::max(kToolbarButtonMinWidth,
                 font.Measure(button.caption, kToolbarTextPx) + 2 * kToolbarButtonPadding);
    button.rect = UiRect{x, kToolbarButtonTop, width, kToolbarButtonHeight};
    x += width + kToolbarGap;
  }
}

int Toolbar::ButtonAt(int x, int y) const {
  for (size_t i = 0; i < buttons_.size(); ++i) {
    if (buttons_[i].rect.Contains(x, y)) return static_cast<int>(i);
  }
  return -1;
}

bool Toolbar::IsEnabled(int index) const {
  return index >= 0 && index < static_cast<int>(buttons_.size()) && buttons_[index].enabled;
}

bool Toolbar::SetHot(int index) {
  if (!IsEnabled(index)) index = -1;
  if (index == hot_) return false;
  hot_ = index;
  return true;
}

bool Toolbar::SetPressed(int index) {
  if (!IsEnabled(index)) index = -1;
  if (index == pressed_) return false;
  pressed_ = index;
  return true;
}

void Toolbar::Draw(Surface& frame, UiFont& font) const {
  Fill(frame, UiRect{0, 0, kFrameWidth, kToolbarHeight}, kStripColor);
  Fill(frame, UiRect{0, kToolbarHeight - 1, kFrameWidth, 1}, kStripEdge);
  for (size_t i = 0; i < buttons_.size(); ++i) {
    const Button& button = buttons_[i];
    // A pressed caption looks pressed only while the pointer is still on it, as it would act.
    const bool hot = static_cast<int>(i) == hot_;
    const bool pressed = hot && static_cast<int>(i) == pressed_;
    if (!button.enabled) {
      Box(frame, button.rect, kDisabledEdge, kDisabledFace);
    } else if (pressed) {
      Box(frame, button.rect, kAccent, kPressedFace);
    } else if (hot) {
      Box(frame, button.rect, kAccent, kHotFace);
    } else {
      Box(frame, button.rect, kButtonEdge, kButtonFace);
    }
    DrawCentered(frame, font, button.rect, button.caption, kToolbarTextPx,
                 button.enabled ? kText : kDisabledText);
  }
}

// ---------------------------------------------------------------------------------------------

MessageBoxPanel::MessageBoxPanel(UiFont& font, std::string_view utf8Text,
                                 std::string_view utf8Caption, MessageBoxKind kind)
    : font_(font), kind_(kind), caption_(DecodeUtf8(utf8Caption)) {
  buttons_.push_back(Button{U"OK", MessageBoxAnswer::kOk, {}});
  if (kind == MessageBoxKind::kOkCancel) {
    buttons_.push_back(Button{U"キャンセル", MessageBoxAnswer::kCancel, {}});
  }

  lines_ = WrapText(font, DecodeUtf8(utf8Text), kTextPx, kMaxTextWidth);
  lineHeight_ = font.LineHeight(kTextPx) + kLineSpacing;

  // However long the text, the panel stays on screen: surplus lines give way to an ellipsis.
  const int fixedHeight = kCaptionBarHeight + 3 * kPanelPadding + kButtonHeight;
  const int maxLines =
      std::max(1, (kFrameHeight - 2 * kScreenMargin - fixedHeight) / std::max(1, lineHeight_));
  if (static_cast<int>(lines_.size()) > maxLines) {
    lines_.resize(maxLines);
    std::u32string& last = lines_.back();
    const int ellipsisWidth = font.Measure(std::u32string_view(&kEllipsis, 1), kTextPx);
    while (!last.empty() && font.Measure(last, kTextPx) + ellipsisWidth > kMaxTextWidth) {
      last.pop_back();
    }
    last.push_back(kEllipsis);
  }

  int textWidth = 0;
  for (const auto& line : lines_) textWidth = std::max(textWidth, font.Measure(line, kTextPx));
  const int buttonsWidth =
      static_cast<int>(buttons_.size()) * (kButtonWidth + kButtonGap) - kButtonGap;
  const int captionWidth = font.Measure(caption_, kCaptionPx) + 2 * 12;
  const int width =
      std::clamp(std::max({textWidth, buttonsWidth, captionWidth}) + 2 * kPanelPadding,
                 kMinPanelWidth, kFrameWidth - 2 * kScreenMargin);
  const int textHeight = static_cast<int>(lines_.size()) * lineHeight_;
  const int height = fixedHeight + textHeight;

  // Centred on the game area, which is where the player is looking.
  int top = kToolbarHeight + (kGameHeight - height) / 2;
  top = std::clamp(top, kScreenMargin,
                   std::max(kScreenMargin, kFrameHeight - height - kScreenMargin));
  panel_ = UiRect{(kFrameWidth - width) / 2, top, width, height};
  captionBar_ = UiRect{panel_.x + 1, panel_.y + 1, panel_.w - 2, kCaptionBarHeight};
  textArea_ = UiRect{panel_.x + kPanelPadding, captionBar_.y + captionBar_.h + kPanelPadding,
                     panel_.w - 2 * kPanelPadding, textHeight};

  int x = panel_.x + (panel_.w - buttonsWidth) / 2;
  const int y = textArea_.y + textArea_.h + kPanelPadding;
  for (Button& button : buttons_) {
    button.rect = UiRect{x, y, kButtonWidth, kButtonHeight};
    x += kButtonWidth + kButtonGap;
  }
}

int MessageBoxPanel::ButtonAt(int x, int y) const {
  for (size_t i = 0; i < buttons_.size(); ++i) {
    if (buttons_[i].rect.Contains(x, y)) return static_cast<int>(i);
  }
  return -1;
}

bool MessageBoxPanel::SetHot(int button) {
  if (button == hot_) return false;
  hot_ = button;
  return true;
}

bool MessageBoxPanel::SetPressed(int button) {
  if (button == pressed_) return false;
  pressed_ = button;
  return true;
}

void MessageBoxPanel::Draw(Surface& frame) const {
  Fill(frame, UiRect{panel_.x + kShadowOffset, panel_.y + kShadowOffset, panel_.w, panel_.h},
       kShadow);
  Box(frame, panel_, kPanelEdge, kPanelFace);

  Fill(frame, captionBar_, kind_ == MessageBoxKind::kError ? kErrorCaptionBar : kCaptionBar);
  const UiRect captionText{captionBar_.x + 12, captionBar_.y, captionBar_.w - 24, captionBar_.h};
  font_.Draw(frame, captionText.x, CenteredBaseline(font_, captionText, kCaptionPx), caption_,
             kCaptionPx, kWhite, captionText);

  // Closing punctuation may hang into the padding, so clip to the panel rather than the text.
  const UiRect inner{panel_.x + 1, panel_.y + 1, panel_.w - 2, panel_.h - 2};
  const int ascent = font_.Ascent(kTextPx);
  for (size_t i = 0; i < lines_.size(); ++i) {
    const int top = textArea_.y + static_cast<int>(i) * lineHeight_ + kLineSpacing / 2;
    font_.Draw(frame, textArea_.x, top + ascent, lines_[i], kTextPx, kText, inner);
  }

  for (size_t i = 0; i < buttons_.size(); ++i) {
    const Button& button = buttons_[i];
    const bool pressed = static_cast<int>(i) == pressed_ && pressed_ == hot_;
    const bool hot = static_cast<int>(i) == hot_;
    // OK is what Enter answers, so it always wears the accent outline.
    const bool accent = hot || button.answer == MessageBoxAnswer::kOk;
    Box(frame, button.rect, accent ? kAccent : kButtonEdge,
        pressed ? kPressedFace : (hot ? kHotFace : kButtonFace));
    DrawCentered(frame, font_, button.rect, button.label, kButtonPx, kText);
  }
}

}  // namespace zorvel
