// The window's own furniture, drawn in software into the 800 x 624 frame the window shows: the
// tool bar strip above the game area and the modal message box panel. Nothing here knows about
// SDL, so layout and hit testing behave the same whatever renders the frame.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"
#include "platform/sdl/ui_font.h"

namespace zorvel {

class Surface;

constexpr int kGameWidth = 800;
constexpr int kGameHeight = 600;
constexpr int kToolbarHeight = 24;
constexpr int kFrameWidth = kGameWidth;
constexpr int kFrameHeight = kToolbarHeight + kGameHeight;

// Scales every byte of the picture down so a panel drawn over it stands out.
void DimSurface(Surface& surface);

// Breaks text into lines no wider than maxWidth: at '\n', between Japanese characters, and at
// spaces between Latin words. Closing punctuation may hang past the edge rather than start a
// line; a word wider than a line is cut wherever it has to be.
std::vector<std::u32string> WrapText(UiFont& font, std::u32string_view text, int pixelSize,
                                     int maxWidth);

class Toolbar {
 public:
  // False when the captions and their states are what the strip already shows.
  bool Set(const std::vector<std::string>& utf8Captions, const std::vector<bool>& enabled);
  void Layout(UiFont& font);

  // Index of the caption under a frame point, enabled or not; -1 when there is none.
  int ButtonAt(int x, int y) const;
  bool IsEnabled(int index) const;
  // Hover and press highlights; true when the strip needs drawing again.
  bool SetHot(int index);
  bool SetPressed(int index);
  int Pressed() const { return pressed_; }

  void Draw(Surface& frame, UiFont& font) const;

 private:
  struct Button {
    std::u32string caption;
    bool enabled = true;
    UiRect rect;
  };

  std::vector<std::string> captions_;
  std::vector<bool> enabled_;
  std::vector<Button> buttons_;
  int hot_ = -1;
  int pressed_ = -1;
};

class MessageBoxPanel {
 public:
  MessageBoxPanel(UiFont& font, std::string_view utf8Text, std::string_view utf8Caption,
                  MessageBoxKind kind);

  // Index of the button under a frame point, or -1.
  int ButtonAt(int x, int y) const;
  MessageBoxAnswer AnswerOf(int button) const { return buttons_[button].answer; }
  bool SetHot(int button);
  bool SetPressed(int button);
  int Pressed() const { return pressed_; }
  const UiRect& Bounds() const { return panel_; }

  // Draws the panel over whatever the frame holds (the caller dims it first).
  void Draw(Surface& frame) const;

 private:
  struct Button {
    std::u32string label;
    MessageBoxAnswer answer = MessageBoxAnswer::kOk;
    UiRect rect;
  };

  UiFont& font_;
  MessageBoxKind kind_;
  std::u32string caption_;
  std::vector<std::u32string> lines_;
  int lineHeight_ = 0;
  UiRect panel_;
  UiRect captionBar_;
  UiRect textArea_;
  std::vector<Button> buttons_;
  int hot_ = -1;
  int pressed_ = -1;
};

}  // namespace zorvel
