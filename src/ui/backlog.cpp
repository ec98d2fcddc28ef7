#include "ui/backlog.h"

#include <algorithm>
#include <cstring>

#include "core/variable_banks.h"
#include "graphics/pixel_ops.h"
#include "text/sjis.h"

namespace zorvel {

namespace {

constexpr int kOverlayValue = 23;
constexpr int kBacklogLamp = 65;  // quick button 6 shown pressed

// The scroll bar: its picture holds the bar in colour columns 0-31 and the lit arrows in
// 32-63, with the mask 96 columns to the right of the colour.
constexpr int kScrollBarX = 680;
constexpr int kScrollBarY = 10;
constexpr int kScrollBarWidth = 32;
constexpr int kLitArrowColumn = 32;
constexpr int kMaskOffset = 96;
constexpr int kUpArrowHeight = 14;
constexpr int kDownArrowSourceY = 558;
constexpr int kDownArrowY = 568;
constexpr int kDownArrowHeight = 16;
constexpr int kThumbX = 688;
// The thumb runs from y 530 (newest lines) up to 30 (oldest).
constexpr int kThumbBottom = 530;
constexpr int kThumbTravel = 500;
constexpr int kDragTop = 40;

constexpr int kTextX = 80;
constexpr int kTextY = 10;
constexpr int kRowHeight = 19;
constexpr int kIconOffsetY = -6;
constexpr int kTextHeight = 18;
constexpr int kBackgroundLevel = 40;

bool Inside(int v, int lo, int hi) {
  return v >= lo && v <= hi;
}

// Arrow and track columns of the bar.
bool OverBar(int x) {
  return Inside(x, 681, 711);
}

int Slot(int64_t page) {
  return static_cast<int>(((page % kPageRingSize) + kPageRingSize) % kPageRingSize);
}

// A part of `picture` as a picture of its own; black where it lies outside.
Surface Part(const Surface& picture, int x, int y, int w, int h) {
  Surface part(w, h);
  CopyView(part, picture, x, y);
  return part;
}

int64_t Position(int64_t cell, int64_t pitch, int64_t origin) {
  return std::clamp<int64_t>(cell * pitch + origin, -100000, 100000);
}

}  // namespace

Backlog::Backlog(EngineState& state, Screen& screen, const GameConfig& config,
                 const Settings& settings, PictureLoader& pictures, Layers& layers, Font& font,
                 SystemText& systemText, Platform& platform, BacklogHooks hooks)
    : s_(state),
      screen_(screen),
      config_(config),
      settings_(settings),
      pictures_(pictures),
      layers_(layers),
      font_(font),
      systemText_(systemText),
      platform_(platform),
      hooks_(std::move(hooks)) {}

// Page ring ---------------------------------------------------------------------------------

namespace {

// The record holds an earlier state of the page: every character it has is still in place.
// Text is only added to a page until the next one opens.
bool EarlierStateOf(const PageRecord& r, const char (&page)[kPageRows][kPageColumns]) {
  for (int row = 0; row < kPageRows; ++row) {
    for (int c = 0; c < kPageColumns; ++c) {
      if (r.text[row][c] != 0 && r.text[row][c] != page[row][c]) return false;
    }
  }
  return true;
}

}  // namespace

PageRecord& PageRing::Next() {
  return records[static_cast<size_t>(Slot(pageCounter))];
}

void PageRing::NoteLoaded(const EngineState& s) {
  // Only a game saved at the "=" wait itself can tell: its page is the record, unchanged.
  rewriting = s.waitKind == 2 && std::memcmp(Next().text, s.pageText, sizeof s.pageText) == 0;
}

void Backlog::RecordBacklogPage() {
  PageRecord& r = ring_.Next();
  // A page that goes on after "=" keeps the voices it had when it was first recorded: the
  // list was emptied then, and the rewind plays the page's first voice. A page that opened
  // since without being recorded (a choice, a page turn that records nothing) is another page.
  std::string voices;
  if (ring_.rewriting && EarlierStateOf(r, s_.pageText)) {
    voices.assign(r.voices, strnlen(r.voices, sizeof r.voices));
  }
  std::memcpy(r.text, s_.pageText, sizeof r.text);
  std::string names(s_.backgroundName, strnlen(s_.backgroundName, sizeof s_.backgroundName));
  names += ',';
  names.append(s_.characterSpec, strnlen(s_.characterSpec, sizeof s_.characterSpec));
  CopyField(r.names, sizeof r.names, names);
  r.overlay = s_.vars.S[kOverlayValue];
  r.novel = s_.vars.S[kNovelMode];
  voices.append(pageVoices_, strnlen(pageVoices_, sizeof pageVoices_));
  CopyField(r.voices, sizeof r.voices, voices);
  pageVoices_[0] = 0;
  ring_.rewriting = false;
  if (ring_.pageCounter < INT32_MAX) ring_.pageCounter += 1;
}

void Backlog::StepPageCounterBack() {
  if (ring_.pageCounter > 0) ring_.pageCounter -= 1;
  ring_.rewriting = true;
}

void Backlog::ResetPageCounter() {
  ring_.pageCounter = 0;
  pageVoices_[0] = 0;
  ring_.rewriting = false;
}

void Backlog::AddPageVoice(const char* name) {
  const size_t used = strnlen(pageVoices_, sizeof pageVoices_);
  const size_t length = strnlen(name, sizeof pageVoices_);
  // A name that no longer fits is left out whole rather than cut into another name.
  if (length == 0 || used + length + 2 > sizeof pageVoices_) return;
  std::memcpy(pageVoices_ + used, name, length);
  pageVoices_[used + length] = ' ';
  pageVoices_[used + length + 1] = 0;
}

// History view ------------------------------------------------------------------------------

int Backlog::CommittedLines() const {
  return std::clamp(s_.historyLines, 0, kHistoryCommitted);
}

int Backlog::MaxScroll() const {
  return std::max(0, CommittedLines() - kBacklogRows);
}

const char* Backlog::RowVoice(int row) const {
  if (row < 0 || row >= kBacklogRows) return "";
  return rowVoices_[static_cast<size_t>(row)].data();
}

void Backlog::OpenBacklog() {
  if (s_.backlogOpen || s_.vars.S[kSaveAllowed] == 0) return;
  hooks_.playSystemSound("SSE09");
  kept_ = screen_.screenSurface;
  background_.Resize(kScreenWidth, kScreenHeight);
  Darken(background_, screen_.sceneSurface, kBackgroundLevel);

  Surface bar;
  pictures_.LoadPicture("sys_bl_bar", bar);
  const int barHeight = std::min(bar.Height(), kScreenHeight);
  if (barHeight > 0) {
    DrawMasked(background_, Part(bar, 0, 0, kScrollBarWidth, barHeight),
               Part(bar, kMaskOffset, 0, kScrollBarWidth, barHeight), kScrollBarX, kScrollBarY);
  }
  upArrow_ = Part(bar, kLitArrowColumn, 0, kScrollBarWidth, kUpArrowHeight);
  upArrowMask_ = Part(bar, kLitArrowColumn + kMaskOffset, 0, kScrollBarWidth, kUpArrowHeight);
  downArrow_ = Part(bar, kLitArrowColumn, kDownArrowSourceY, kScrollBarWidth, kDownArrowHeight);
  downArrowMask_ = Part(bar, kLitArrowColumn + kMaskOffset, kDownArrowSourceY, kScrollBarWidth,
                        kDownArrowHeight);
  // A picture the game lacks stays empty and is simply not drawn.
  thumb_ = Surface();
  voiceIcon_ = Surface();
  voiceIconLit_ = Surface();
  pictures_.LoadPicture("sys_bl_cur", thumb_);
  pictures_.LoadPicture("sys_blVR", voiceIcon_);
  pictures_.LoadPicture("sys_blVR2", voiceIconLit_);
  face_ = settings_.FontName.empty() ? config_.FONT_NAME : settings_.FontName;

  scrollOffset_ = 0;
  drag_ = 0;
  litArrow_ = 0;
  hoveredRow_ = -1;
  DrawBacklog();
  s_.backlogOpen = true;
  s_.toolbarLocked = true;
  hooks_.updateToolbar();
}

void Backlog::DrawBacklog() {
  Surface& screen = screen_.screenSurface;
  screen = background_;
  const int lines = CommittedLines();
  const int first = std::max(0, lines - scrollOffset_ - kBacklogRows);
  for (auto& voice : rowVoices_) voice[0] = 0;
  for (int i = 0; i < kBacklogRows && first + i < lines; ++i) {
    const char* line = s_.history + static_cast<size_t>(first + i) * kHistorySlotSize;
    const size_t length = strnlen(line, kHistorySlotSize);
    if (line[0] != '@') {
      systemText_.Draw(screen, kTextX, kTextY + kRowHeight * i, std::string_view(line, length),
                       face_, kTextHeight, TextColour{255, 255, 255});
    } else if (i > 0) {
      // A voice line at the top row has no room for its icon and shows nothing.
      auto& voice = rowVoices_[static_cast<size_t>(i)];
      std::memcpy(voice.data(), line + 1, length - 1);
      voice[length - 1] = 0;
      const Surface& icon = i == hoveredRow_ ? voiceIconLit_ : voiceIcon_;
      Paste(screen, icon, kTextX, kTextY + kIconOffsetY + kRowHeight * i);
    }
  }
  if (lines > kBacklogRows) {
    const int y = kThumbBottom - scrollOffset_ * kThumbTravel / (lines - kBacklogRows);
    Paste(screen, thumb_, kThumbX, y);
  }
  if (litArrow_ == 1) DrawMasked(screen, upArrow_, upArrowMask_, kScrollBarX, kScrollBarY);
  if (litArrow_ == 2) DrawMasked(screen, downArrow_, downArrowMask_, kScrollBarX, kDownArrowY);
  platform_.Present(screen);
}

void Backlog::SetScroll(int offset) {
  scrollOffset_ = std::clamp(offset, 0, MaxScroll());
}

void Backlog::DragTo(int y) {
  const int p = std::clamp(y - kDragTop, 0, kThumbTravel);
  SetScroll(MaxScroll() * (kThumbTravel - p) / kThumbTravel);
}

void Backlog::MouseMove(int x, int y) {
  if (!s_.backlogOpen) return;
  if (drag_ == 3) {
    const int before = scrollOffset_;
    DragTo(y);
    if (scrollOffset_ != before) DrawBacklog();
    return;
  }
  int arrow = 0;
  if (OverBar(x) && Inside(y, 10, 29)) arrow = 1;
  if (OverBar(x) && Inside(y, 562, 579)) arrow = 2;
  int row = -1;
  if (Inside(x, kTextX, 335) && Inside(y, kTextY, 560)) row = (y - kTextY) / kRowHeight;
  if (arrow == litArrow_ && row == hoveredRow_) return;
  litArrow_ = arrow;
  hoveredRow_ = row;
  DrawBacklog();
}

void Backlog::Click(MouseButton button, int x, int y) {
  if (!s_.backlogOpen) return;
  if (button != MouseButton::kLeft) {
    CloseBacklog();
    return;
  }
  if (OverBar(x) && Inside(y, 10, 29)) {
    SetScroll(scrollOffset_ + 2);
    drag_ = 1;
    DrawBacklog();
    return;
  }
  if (OverBar(x) && Inside(y, 560, 579)) {
    SetScroll(scrollOffset_ - 2);
    drag_ = 2;
    DrawBacklog();
    return;
  }
  if (OverBar(x) && Inside(y, 30, 559)) {
    drag_ = 3;
    DragTo(y);
    DrawBacklog();
    return;
  }
  if (Inside(x, kTextX, 359) && Inside(y, kTextY, 560)) {
    const char* voice = RowVoice((y - kTextY) / kRowHeight);
    if (voice[0] == 0) return;
    replayedVoice_ = voice;
    hooks_.playSystemSound(voice);
  }
}

void Backlog::MouseUp() {
  drag_ = 0;
}

void Backlog::Wheel(int delta) {
  if (!s_.backlogOpen) return;
  SetScroll(scrollOffset_ + (delta > 0 ? 4 : -4));
  DrawBacklog();
}

void Backlog::CloseBacklog() {
  if (!s_.backlogOpen) return;
  screen_.screenSurface = kept_;
  platform_.Present(screen_.screenSurface);
  for (Surface* picture : {&kept_, &background_, &thumb_, &voiceIcon_, &voiceIconLit_, &upArrow_,
                           &upArrowMask_, &downArrow_, &downArrowMask_}) {
    *picture = Surface();
  }
  drag_ = 0;
  s_.backlogOpen = false;
  s_.toolbarLocked = false;
  hooks_.updateToolbar();
  s_.vars.S[kBacklogLamp] = 0;
  hooks_.drawQuickBar();
}

// Page rewind ---------------------------------------------------------------------------------

void Backlog::EnterRewind() {
  if (s_.vars.S[kSaveAllowed] == 0 || s_.screenMode != 0) return;
  // Before the first page wait there is no page to go back to.
  if (ring_.pageCounter <= 0) return;
  keptNovel_ = s_.vars.S[kNovelMode];
  s_.toolbarLocked = true;
  hooks_.updateToolbar();
  depth_ = 1;
  ShowRecord(ring_.pageCounter - 1);
  s_.screenMode = 9;
}

void Backlog::StepRewind(bool forward) {
  if (s_.screenMode != 9) return;
  if (forward) {
    if (depth_ <= 1) {
      LeaveRewind();
      return;
    }
    depth_ -= 1;
  } else {
    if (depth_ >= kPageRingSize || ring_.pageCounter - depth_ <= 0) return;
    depth_ += 1;
  }
  ShowRecord(ring_.pageCounter - depth_);
}

void Backlog::LeaveRewind() {
  if (s_.screenMode != 9) return;
  auto& S = s_.vars.S;
  S[kTextColour] = kWhite;
  font_.SetTextColour(0);
  S[kSkipLamp] = 0;
  S[kNovelMode] = keptNovel_;
  s_.screenMode = 0;
  depth_ = 0;
  // The window picture was last built under a rewound page.
  s_.windowPictureValid = false;
  layers_.RestoreLayers();
  hooks_.updateScreen(0);
  s_.toolbarLocked = false;
  hooks_.updateToolbar();
}

void Backlog::ShowRecord(int index) {
  const PageRecord& r = ring_.records[static_cast<size_t>(Slot(index))];
  const std::string_view names(r.names, strnlen(r.names, sizeof r.names));
  const size_t comma = names.find(',');
  const std::string_view background = names.substr(0, comma);
  const std::string_view characters =
      comma == std::string_view::npos ? std::string_view() : names.substr(comma + 1);

  // The layers compose from the remembered names; the game's own come back untouched.
  char gameBackground[sizeof s_.backgroundName];
  char gameCharacters[sizeof s_.characterSpec];
  std::memcpy(gameBackground, s_.backgroundName, sizeof gameBackground);
  std::memcpy(gameCharacters, s_.characterSpec, sizeof gameCharacters);
  CopyField(s_.backgroundName, sizeof s_.backgroundName, background);
  CopyField(s_.characterSpec, sizeof s_.characterSpec, characters);
  layers_.RestoreLayers();
  layers_.ComposeScene();
  layers_.ApplyColourFilter();
  std::memcpy(s_.backgroundName, gameBackground, sizeof gameBackground);
  std::memcpy(s_.characterSpec, gameCharacters, sizeof gameCharacters);

  auto& S = s_.vars.S;
  S[kNovelMode] = r.novel;
  const bool novel = r.novel != 0;
  s_.windowPictureValid = false;
  hooks_.buildWindowPicture();
  if (novel) {
    screen_.screenSurface = screen_.novelPageSurface;
  } else {
    screen_.screenSurface = screen_.sceneSurface;
    Paste(screen_.screenSurface, screen_.windowPicture, config_.TXW_OFS_X, config_.TXW_OFS_Y);
    char speaker[kPageColumns + 1] = {};
    std::memcpy(speaker, r.text[0], kPageColumns);
    hooks_.drawSpeakerName(speaker);
  }
  DrawPageText(r, novel);

  char voice[129] = {};
  for (size_t n = 0; n < 128 && n < sizeof r.voices && r.voices[n] != 0 && r.voices[n] != ' ';
       ++n) {
    voice[n] = r.voices[n];
  }
  if (voice[0] != 0) {
    replayedVoice_ = voice;
    hooks_.playSystemSound(voice);
  }
  platform_.Present(screen_.screenSurface);
}

void Backlog::DrawPageText(const PageRecord& record, bool novel) {
  const GameConfig& c = config_;
  const int rows = std::clamp(novel ? c.MOJI_MAX2_Y : c.MOJI_MAX_Y, 0, kPageRows);
  const int64_t columns =
      std::clamp<int64_t>(int64_t{novel ? c.MOJI_MAX2_X : c.MOJI_MAX_X} + 2, 0, kPageColumns);
  const int64_t pitchX = novel ? c.TX2_PITCH_X : c.TX_PITCH_X;
  const int64_t pitchY = novel ? c.TX2_PITCH_Y : c.TX_PITCH_Y;
  const int64_t originX = novel ? int64_t{c.TX2_OFS_X} : int64_t{c.TX_OFS_X} + c.TXW_OFS_X;
  const int64_t originY = novel ? int64_t{c.TX2_OFS_Y} : int64_t{c.TX_OFS_Y} + c.TXW_OFS_Y;
  font_.SetTextColour(4);
  for (int row = novel ? 0 : 1; row < rows; ++row) {
    // A lead byte in the last column must not read its partner from past the row.
    char line[kPageColumns + 1] = {};
    std::memcpy(line, record.text[row], kPageColumns);
    for (int column = 0; column < columns; ++column) {
      if (line[column] == 0) continue;
      const int used = font_.RenderChar(&line[column]);
      font_.DrawGlyph(screen_.screenSurface, static_cast<int>(Position(column, pitchX, originX)),
                      static_cast<int>(Position(row, pitchY, originY)));
      if (used == 2) column += 1;
    }
  }
  font_.SetTextColour(0);
}

}  // namespace zorvel
