#include "text/message_text.h"

#include <algorithm>
#include <cstring>

#include "graphics/pixel_ops.h"
#include "text/sjis.h"

namespace zorvel {

namespace {

constexpr uint16_t kLineStartCharacters[] = {
    0x8140, 0x8141, 0x8142, 0x8148, 0x8149, 0x815B, 0x8160, 0x816A, 0x8176, 0x8178, 0x8193,
    0x81F4, 0x829F, 0x82A1, 0x82A3, 0x82A5, 0x82A7, 0x82C1, 0x82E1, 0x82E3, 0x82E5, 0x82EC,
    0x8340, 0x8342, 0x8344, 0x8346, 0x8348, 0x8362, 0x8383, 0x8385, 0x8387, 0x838E, 0x8396};
constexpr uint16_t kOpeningBracket = 0x8175;      // 「
constexpr uint16_t kOpeningParenthesis = 0x8169;  // （
constexpr int kRubyHeight = 9;

uint16_t CodeOf(const char* bytes, int advance) {
  const auto lead = static_cast<uint8_t>(bytes[0]);
  if (advance < 2) return lead;
  return static_cast<uint16_t>(lead << 8 | static_cast<uint8_t>(bytes[1]));
}

// The colour table has eight entries; a script may write any number.
uint8_t ColourIndex(int32_t colour) {
  return static_cast<uint8_t>(((colour % 8) + 8) % 8);
}

int32_t WindowsColour(uint8_t r, uint8_t g, uint8_t b) {
  return static_cast<int32_t>(r | g << 8 | b << 16);
}

}  // namespace

MessageText::MessageText(EngineState& state, const GameConfig& config, const Settings& settings,
                         Screen& screen, Font& font, SystemText& systemText, Platform& platform,
                         MessageTextHooks hooks)
    : s_(state),
      config_(config),
      settings_(settings),
      screen_(screen),
      font_(font),
      systemText_(systemText),
      platform_(platform),
      hooks_(std::move(hooks)) {}

bool MessageText::IsLineStartCharacter(uint16_t code) {
  return std::find(std::begin(kLineStartCharacters), std::end(kLineStartCharacters), code) !=
         std::end(kLineStartCharacters);
}

bool MessageText::Novel() const {
  return s_.vars.S[kNovelMode] != 0;
}

void MessageText::CellPosition(int column, int row, int& x, int& y) const {
  // Configuration numbers may be anything; 64-bit sums, then a range no drawing reaches.
  int64_t px = 0;
  int64_t py = 0;
  if (Novel()) {
    px = int64_t{config_.TX2_OFS_X} + int64_t{column} * config_.TX2_PITCH_X;
    py = int64_t{config_.TX2_OFS_Y} + int64_t{row} * config_.TX2_PITCH_Y;
  } else {
    px = int64_t{config_.TXW_OFS_X} + config_.TX_OFS_X + int64_t{column} * config_.TX_PITCH_X;
    py = int64_t{config_.TXW_OFS_Y} + config_.TX_OFS_Y + int64_t{row} * config_.TX_PITCH_Y;
  }
  x = static_cast<int>(std::clamp<int64_t>(px, -100000, 100000));
  y = static_cast<int>(std::clamp<int64_t>(py, -100000, 100000));
}

void MessageText::OpenTextPage() {
  s_.ClearPageState();
  s_.vars.S[kTextColour] = kWhite;
  font_.SetTextColour(0);
  if (!Novel()) {
    if (!s_.textWindowOn) {
      s_.textWindowOn = true;
      hooks_.drawWindowAndText();
      platform_.Present(Shown(hooks_.backgroundFrames()));
    } else {
      // The window without text wipes the old page.
      Paste(screen_.screenSurface, screen_.windowPicture, config_.TXW_OFS_X, config_.TXW_OFS_Y);
      const BackgroundFrames frames = hooks_.backgroundFrames();
      for (size_t i = 0; i < frames.frames.size(); ++i) {
        Paste(frames.frames[i], frames.windowPictures[i], config_.TXW_OFS_X, config_.TXW_OFS_Y);
      }
      platform_.PresentRect(Shown(frames), config_.TXW_OFS_X, config_.TXW_OFS_Y,
                            screen_.windowPicture.Width(), screen_.windowPicture.Height());
    }
    s_.speakerName[0] = 0;
  } else {
    if (!s_.textWindowOn) {
      screen_.previousSurface = screen_.screenSurface;
      screen_.screenSurface = screen_.novelPageSurface;
      hooks_.drawQuickBar(0);
      const bool skipping = hooks_.skipping();
      if (!skipping) hooks_.crossfadeByType(1);
      s_.textWindowOn = true;
    } else {
      screen_.screenSurface = screen_.novelPageSurface;
      hooks_.drawQuickBar(0);
      hooks_.drawWindowAndText();
    }
    platform_.Present(screen_.screenSurface);
  }
  s_.overlayName[0] = 0;
}

bool MessageText::OutputChar(const char* bytes, int advance) {
  if (!s_.textWindowOn) OpenTextPage();
  const bool novel = Novel();
  const uint16_t code = CodeOf(bytes, advance);
  if (!novel && s_.textColumn == 0 && s_.textRow == 0) s_.textRow = 1;
  const int32_t wrap = novel ? config_.MOJI_MAX2_X : config_.MOJI_MAX_X;
  // A space at the edge would only push the next line's first word in by one column.
  if (bytes[0] == ' ' && advance == 1 && s_.textColumn >= wrap && WordWrap()) return false;
  if (s_.textColumn >= wrap) {
    // Closing punctuation and small kana may hang two columns past the edge.
    const bool hangs = IsLineStartCharacter(code) && s_.textColumn < int64_t{wrap} + 2;
    if (!hangs) {
      s_.textColumn = 0;
      s_.textRow += 1;
      hooks_.closeBacklogLine();
    }
  }
  if (!novel && s_.textColumn == 0) {
    if (s_.textRow == 1) {
      if (code == kOpeningBracket || code == kOpeningParenthesis) s_.vars.S[kHangingIndent] = 1;
      s_.textColumn = 2;
    } else {
      s_.textColumn = s_.vars.S[kHangingIndent] == 1 ? 4 : 2;
    }
  }
  const int row = s_.textRow;
  const int column = s_.textColumn;
  // [col N] colours what follows; the page keeps the index so a redraw or a loaded game shows
  // the same colours.
  const uint8_t colour = ColourIndex(s_.textColour);
  // The page keeps what fits; characters beyond its 20 x 100 cells are shown but not stored.
  if (row >= 0 && row < kPageRows && column >= 0 && column + advance <= kPageColumns) {
    std::memcpy(&s_.pageText[row][column], bytes, static_cast<size_t>(advance));
    std::memset(&s_.pageColour[row][column], colour, static_cast<size_t>(advance));
  }
  int x = 0;
  int y = 0;
  CellPosition(column, row, x, y);
  font_.SetTextColour(colour);
  font_.RenderChar(bytes);
  const BackgroundFrames frames = hooks_.backgroundFrames();
  font_.DrawGlyphToScreen(x, y, screen_.screenSurface, frames.frames, frames.shown);
  s_.pageCleared = false;
  s_.pageChars += 1;
  const int step = !novel && s_.textStyle == 1 ? 3 : advance;
  s_.textColumn = static_cast<int32_t>(std::min<int64_t>(int64_t{column} + step, 1 << 20));
  return true;
}

void MessageText::StartWord(int letters) {
  // A closed window opens a fresh page at the word's first letter.
  if (!WordWrap() || letters <= 0 || !s_.textWindowOn) return;
  const int64_t column = s_.textColumn;
  if (column <= 0) return;
  const bool novel = Novel();
  const int64_t wrap = novel ? config_.MOJI_MAX2_X : config_.MOJI_MAX_X;
  const int64_t step = !novel && s_.textStyle == 1 ? 3 : 1;
  // Half-width letters never hang past the column: the last one must start before it.
  if (column + int64_t{letters - 1} * step < wrap) return;
  s_.textColumn = 0;
  s_.textRow += 1;
  hooks_.closeBacklogLine();
}

void MessageText::RedrawText() {
  if (s_.pageCleared) return;
  const bool novel = Novel();
  int firstRow = 0;
  int rows = novel ? config_.MOJI_MAX2_Y : config_.MOJI_MAX_Y;
  const int wrap = novel ? config_.MOJI_MAX2_X : config_.MOJI_MAX_X;
  if (!novel) {
    char name[kPageColumns + 1] = {};
    std::memcpy(name, s_.pageText[0], kPageColumns);
    DrawSpeakerName(name);
    firstRow = 1;
  }
  rows = std::clamp(rows, 0, kPageRows);
  const int lastColumn = std::clamp(wrap + 1, 0, kPageColumns - 1);
  int colour = -1;
  const BackgroundFrames frames = hooks_.backgroundFrames();
  for (int row = firstRow; row < rows; ++row) {
    // A lead byte in the last column must not read its partner from past the row.
    char line[kPageColumns + 1] = {};
    std::memcpy(line, s_.pageText[row], kPageColumns);
    for (int column = 0; column <= lastColumn; ++column) {
      const char* bytes = &line[column];
      if (*bytes == 0) continue;
      if (s_.pageColour[row][column] != colour) {
        colour = s_.pageColour[row][column];
        font_.SetTextColour(colour);
      }
      int x = 0;
      int y = 0;
      CellPosition(column, row, x, y);
      font_.RenderChar(bytes);
      font_.DrawGlyphToScreen(x, y, screen_.screenSurface, frames.frames, frames.shown);
      // The interpreter hands over every byte outside 0x20-0x7E with the byte after it, and
      // the page stores both; when the first is no lead byte (half-width kana) only it was
      // drawn, and its partner is still no character of its own.
      if (!IsSingleByteChar(static_cast<uint8_t>(*bytes))) column += 1;
    }
  }
}

void MessageText::DrawSpeakerName(const char* sjisName) {
  const SpeakerColour* speaker = config_.FindSpeaker(sjisName);
  s_.vars.S[kTextColour] = speaker ? WindowsColour(speaker->r, speaker->g, speaker->b) : kWhite;
  Surface& plate = screen_.namePlate;
  if (plate.Empty()) return;
  const Surface& background = screen_.namePlateBackground;
  if (background.Width() == plate.Width() && background.Height() == plate.Height()) {
    plate = background;
  } else {
    plate.Fill(0, 0, 0);
  }
  font_.DrawTextRun(sjisName, 4, plate, 0, 2);
  Paste(screen_.screenSurface, plate, config_.NP_OFS_X, config_.NP_OFS_Y);
  const BackgroundFrames frames = hooks_.backgroundFrames();
  for (Surface& frame : frames.frames) Paste(frame, plate, config_.NP_OFS_X, config_.NP_OFS_Y);
  platform_.PresentRect(Shown(frames), config_.NP_OFS_X, config_.NP_OFS_Y, plate.Width(),
                        plate.Height());
}

void MessageText::DrawRuby(const char* sjisText) {
  const bool novel = Novel();
  int column = s_.textColumn;
  int row = s_.textRow;
  if (!novel && column == 0 && row == 0) {
    row = 1;
    s_.textRow = 1;
  }
  const int32_t wrap = novel ? config_.MOJI_MAX2_X : config_.MOJI_MAX_X;
  if (column == 0) column = 2;
  if (column == wrap) {
    column = 2;
    row += 1;
  }
  int x = 0;
  int y = 0;
  CellPosition(column, row, x, y);
  x += 3;
  y -= 7;
  const std::string face = settings_.FontName.empty() ? config_.FONT_NAME : settings_.FontName;
  const int width = systemText_.Draw(screen_.screenSurface, x, y, sjisText, face, kRubyHeight,
                                     TextColour{255, 255, 255});
  const BackgroundFrames frames = hooks_.backgroundFrames();
  for (Surface& frame : frames.frames) {
    systemText_.Draw(frame, x, y, sjisText, face, kRubyHeight, TextColour{255, 255, 255});
  }
  platform_.PresentRect(Shown(frames), x, y, width, kRubyHeight + 4);
}

void MessageText::AnimateClickWait() {
  if ((hooks_.skipping()) || (hooks_.backgroundAnimationRunning())) {
    return;
  }
  if (iconShown_) EraseClickWait();
  iconCounter_ += 1;
  const int frames = std::max(1, config_.CLICK_WAIT_PAT);
  const int timing = std::clamp(config_.CLICK_WAIT_TIMING, 0, 31);
  const int frame = static_cast<int>((iconCounter_ >> timing) % static_cast<uint32_t>(frames));
  if (Novel()) {
    CellPosition(s_.textColumn, s_.textRow, iconX_, iconY_);
  } else {
    iconX_ = config_.CLICK_WAIT_OFS_X;
    iconY_ = config_.CLICK_WAIT_OFS_Y;
  }
  const Surface& icons = screen_.clickWaitPicture;
  const Surface& screen = screen_.screenSurface;
  const int w = std::clamp(config_.CLICK_WAIT_SIZE_X, 0, kScreenWidth);
  const int h = std::clamp(config_.CLICK_WAIT_SIZE_Y, 0, kScreenHeight);
  // The icon is composed on a copy of the screen's rectangle: the screen itself keeps no icon.
  if (screen_.clickWaitShown.Width() != kScreenWidth)
    screen_.clickWaitShown.Resize(kScreenWidth, kScreenHeight);
  // The offsets are the game configuration's: clipped in 64 bits, before the walk.
  const int x0 = static_cast<int>(std::clamp<int64_t>(iconX_, 0, kScreenWidth));
  const int x1 = static_cast<int>(std::clamp<int64_t>(int64_t{iconX_} + w, x0, kScreenWidth));
  const int64_t sourceX = int64_t{frame} * w + (x0 - int64_t{iconX_});
  if (x0 >= x1 || sourceX + (x1 - x0) > icons.Width() || 2 * h > icons.Height()) return;
  const int pixels = x1 - x0;
  const int r0 = static_cast<int>(std::clamp<int64_t>(-int64_t{iconY_}, 0, h));
  const int r1 = static_cast<int>(std::clamp<int64_t>(kScreenHeight - int64_t{iconY_}, r0, h));
  for (int r = r0; r < r1; ++r) {
    const int y = iconY_ + r;
    uint8_t* out = screen_.clickWaitShown.Row(y) + x0 * 3;
    const uint8_t* under = screen.Row(y) + x0 * 3;
    const uint8_t* colour = icons.Row(r) + sourceX * 3;
    const uint8_t* mask = icons.Row(h + r) + sourceX * 3;
    std::memcpy(out, under, static_cast<size_t>(pixels) * 3);
    BlendMasked(out, under, colour, mask, pixels * 3 / 8);
    // The bytes after the last whole group are blended one by one.
    for (int i = pixels * 3 / 8 * 8; i < pixels * 3; ++i) {
      out[i] = static_cast<uint8_t>((under[i] * (255 - mask[i]) + colour[i] * mask[i]) >> 8);
    }
  }
  platform_.PresentRect(screen_.clickWaitShown, x0, std::max(iconY_, 0), pixels, h);
  iconShown_ = true;
}

void MessageText::EraseClickWait() {
  if (!iconShown_) return;
  platform_.PresentRect(screen_.screenSurface, iconX_, iconY_,
                        std::clamp(config_.CLICK_WAIT_SIZE_X, 0, kScreenWidth),
                        std::clamp(config_.CLICK_WAIT_SIZE_Y, 0, kScreenHeight));
  iconShown_ = false;
}

}  // namespace zorvel
