#include "extras/staff_roll.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "core/variable_banks.h"
#include "graphics/pixel_ops.h"
#include "platform/files.h"
#include "script/decimal.h"
#include "text/sjis.h"

namespace zorvel {

namespace {

constexpr char kMincho[] = "\x82\x6C\x82\x72 \x96\xBE\x92\xA9";                  // ＭＳ 明朝
constexpr char kGothic[] = "\x82\x6C\x82\x72 \x83\x53\x83\x56\x83\x62\x83\x4E";  // ＭＳ ゴシック
constexpr TextColour kWhiteText{255, 255, 255};
constexpr TextColour kBlackText{0, 0, 0};

constexpr int kRollWordMax = 10;
constexpr int kRollFramePeriod = 30;
constexpr int kWaitSlice = 100;

// The scroll roll: a 420-pixel column shown 560 rows at a time at (270, 20).
constexpr int kScrollWidth = 420;
constexpr int kScrollShownRows = 560;
constexpr int kScrollLeft = 270;
constexpr int kScrollTop = 20;
constexpr int kScrollTailRows = 240;
constexpr int kScrollFontHeight = 20;

// The end roll: credits 320 pixels wide, shown from column 64 in a 256-pixel strip at x 544.
constexpr int kCreditWidth = 320;
constexpr int kCreditBytes = kCreditWidth / 8;
constexpr int kCreditShownFrom = 64;
constexpr int kCreditStripLeft = 544;
constexpr int kCreditStripWidth = 256;
constexpr int kCreditLead = 600;
constexpr int kCreditFontHeight = 30;
constexpr int kEndRollBackgroundFrames = 65;

// The completion rate's flags: E001–E038, E101–E131, … E601–E607.
constexpr std::array<std::pair<int, int>, 7> kCompletionRanges = {
    {{1, 38}, {101, 131}, {201, 250}, {301, 337}, {401, 444}, {501, 521}, {601, 607}}};
constexpr int kCompletionFlags = 228;
constexpr int kGameClearedFlag = 999;

bool IsLead(uint8_t c) {
  return c >= 0x80 && !(c >= 0xA0 && c <= 0xDF);
}

// The text cut to `limit` bytes without splitting a two-byte character.
std::string CutLine(std::string_view line, size_t limit, bool& cut) {
  cut = line.size() > limit;
  if (!cut) return std::string(line);
  size_t n = 0;
  while (n < limit) {
    const size_t step = IsLead(static_cast<uint8_t>(line[n])) ? 2 : 1;
    if (n + step > limit) break;
    n += step;
  }
  return std::string(line.substr(0, n));
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r';
}

std::string_view TrimRight(std::string_view s) {
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

// out = ⌊(u(256 − a) + v·a) / 256⌋ for every byte of `pixels` pixels: the row routine for the
// whole groups, the same sum byte by byte for the tail it leaves.
void BlendSpan(uint8_t* out, const uint8_t* u, const uint8_t* v, int pixels, int a) {
  BlendRows(out, u, v, pixels, a);
  const int bytes = pixels * 3;
  for (int i = bytes / 8 * 8; i < bytes; ++i) {
    out[i] = static_cast<uint8_t>((u[i] * (256 - a) + v[i] * a) >> 8);
  }
}

// Eight pixels of one credit byte as 24 bytes of 0 or 255, the leftmost pixel in the high bit.
struct ExpandTable {
  std::array<std::array<uint8_t, 24>, 256> rows{};
  ExpandTable() {
    for (int b = 0; b < 256; ++b) {
      for (int p = 0; p < 8; ++p) {
        const uint8_t v = (b >> (7 - p) & 1) != 0 ? 255 : 0;
        for (int c = 0; c < 3; ++c)
          rows[static_cast<size_t>(b)][static_cast<size_t>(p * 3 + c)] = v;
      }
    }
  }
};
const ExpandTable& Expand() {
  static const ExpandTable table;
  return table;
}

// The grey a lit credit pixel takes on screen row r of the end roll.
uint8_t BandGrey(int r) {
  if (r < 128) return static_cast<uint8_t>(2 * r);
  if (r >= 352 && r < 480) return static_cast<uint8_t>(2 * (479 - r));
  return 255;
}

}  // namespace

RollLine ReadRollLine(std::string_view line) {
  RollLine out;
  if (line.empty() || (line[0] != '*' && line[0] != '@')) return out;
  out.command = true;
  size_t n = 1;
  while (n < line.size() && line[n] != '\t' && line[n] != ' ' && line[n] != '\r') ++n;
  std::string_view word = line.substr(1, std::min<size_t>(n - 1, kRollWordMax));
  for (char c : word) out.word.push_back(c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c);
  out.argument = n < line.size() ? line.substr(n + 1) : std::string_view();
  return out;
}

EndRollScript ReadEndRoll(std::span<const uint8_t> text, std::vector<std::string>* problems) {
  EndRollScript out;
  const std::vector<std::string_view> lines = ScriptLines(text);
  size_t i = 0;
  if (i < lines.size()) {
    const std::string first(lines[i++]);
    const int32_t period = ReadDecimal(first.c_str());
    out.period = std::clamp(period, 1, 1000);
    if (out.period != period && problems) {
      problems->push_back("endroll: a frame period of " + std::to_string(period) +
                          " ms is taken as " + std::to_string(out.period));
    }
  }
  // Picture lines up to the "*" line: the roll passes over them.
  while (i < lines.size() && lines[i] != "*") ++i;
  if (i < lines.size()) ++i;
  int cut = 0;
  const int maxLines = (kRollMaxPictureRows - kCreditLead) / kRollLineHeight;
  for (; i < lines.size() && !(!lines[i].empty() && lines[i][0] == '*'); ++i) {
    if (static_cast<int>(out.credits.size()) == maxLines) {
      if (problems) {
        problems->push_back("endroll: only the first " + std::to_string(maxLines) +
                            " credit lines fit in the roll; the rest are left out");
      }
      break;
    }
    bool wasCut = false;
    out.credits.push_back(CutLine(lines[i], kRollLineBytes, wasCut));
    cut += wasCut ? 1 : 0;
  }
  if (cut > 0 && problems) {
    problems->push_back("endroll: " + std::to_string(cut) + " credit lines cut to " +
                        std::to_string(kRollLineBytes) + " bytes");
  }
  return out;
}

ScrollRollScript ReadScrollRoll(std::span<const uint8_t> text, std::vector<std::string>* problems) {
  ScrollRollScript out;
  const int maxLines = kRollMaxPictureRows / kScrollLineHeight;
  int cut = 0;
  bool full = false;
  for (std::string_view line : ScriptLines(text)) {
    if (line == "}") {
      out.closed = true;
      break;
    }
    if (full) continue;
    if (static_cast<int>(out.lines.size()) == maxLines) {
      full = true;
      if (problems) {
        problems->push_back("sroll: only the first " + std::to_string(maxLines) +
                            " lines fit in the roll; the rest are left out");
      }
      continue;
    }
    bool wasCut = false;
    out.lines.push_back(CutLine(line, kRollLineBytes, wasCut));
    cut += wasCut ? 1 : 0;
  }
  if (!out.closed && problems) {
    problems->push_back("sroll: no line \"}\" ends the credits; they run to the end of the script");
  }
  if (cut > 0 && problems) {
    problems->push_back("sroll: " + std::to_string(cut) + " lines cut to " +
                        std::to_string(kRollLineBytes) + " bytes");
  }
  return out;
}

int CountCompletionFlags(const BitSet<1024>& e) {
  int count = 0;
  for (const auto& [first, last] : kCompletionRanges) {
    for (int f = first; f <= last; ++f) count += e.Test(f) ? 1 : 0;
  }
  return count;
}

StaffRoll::StaffRoll(EngineState& state, Screen& screen, SystemText& text, Platform& platform,
                     StaffRollHooks hooks)
    : s_(state),
      screen_(screen),
      text_(text),
      platform_(platform),
      hooks_(std::move(hooks)),
      clock_(platform, [this] { Pump(); }) {}

void StaffRoll::Register(CommandTable& table) {
  table.Register(kRoll, [this](const char* arg) { return Roll(arg); });
  table.Register(kSroll, [this](const char* arg) { return ScrollRoll(arg); });
  table.Register(kSpecial, [this](const char* arg) { return Special(arg); });
}

void StaffRoll::Pump() {
  if (!hooks_.processMessages()) Stop();
}

void StaffRoll::ShowScreenRect(int x, int y, int w, int h) {
  platform_.PresentRect(screen_.screenSurface, x, y, w, h);
}

// `roll` ---------------------------------------------------------------------------------------

int StaffRoll::Roll(const char* arg) {
  std::string_view name(arg);
  name = name.substr(0, std::min(name.find_first_of(" \t\r"), name.size()));
  const std::string nameText(name);
  const std::vector<uint8_t>* loaded = hooks_.loadConfigScript(nameText.c_str());
  if (loaded == nullptr) return 1;
  // Music and pictures may read other scripts meanwhile; the roll keeps its own text.
  const std::vector<uint8_t> script = *loaded;

  s_.screenMode = 3;
  stop_ = false;
  paused_ = false;
  rect_ = RollRect{};
  align_ = 1;
  centreVertically_ = true;
  timeMark_ = 0;
  markSet_ = false;
  block_.clear();
  blockCut_ = false;
  textPicture_.Resize(rect_.Width(), rect_.Height());

  bool afterCommand = true;
  for (std::string_view line : ScriptLines(script)) {
    const RollLine read = ReadRollLine(line);
    if (read.command) {
      if (RunRollCommand(read)) afterCommand = true;
    } else {
      if (afterCommand) {
        block_.clear();
        blockCut_ = false;
      }
      afterCommand = false;
      AddBlockLine(line);
    }
    while (paused_ && !stop_) {
      Pump();
      Sleep(kWaitSlice);
    }
    if (stop_) break;
  }
  textPicture_ = Surface();
  block_.clear();
  s_.screenMode = 0;
  return 1;
}

void StaffRoll::AddBlockLine(std::string_view line) {
  if (static_cast<int>(block_.size()) >= kRollMaxLines) {
    if (!blockCut_) {
      LogMessage("roll: a text block of more than " + std::to_string(kRollMaxLines) +
                 " lines; the rest are left out");
    }
    blockCut_ = true;
    return;
  }
  bool cut = false;
  block_.push_back(CutLine(line, kRollLineBytes, cut));
  if (cut) {
    LogMessage("roll: a text line longer than " + std::to_string(kRollLineBytes) +
               " bytes is cut: " + SjisToUtf8(block_.back()));
  }
}

bool StaffRoll::RunRollCommand(const RollLine& line) {
  const std::string arg(line.argument);
  const std::string_view word = line.word;
  if (word == "MUSIC") {
    hooks_.music(ReadDecimal(arg.c_str()));
  } else if (word == "GRA") {
    Gra(line.argument);
  } else if (word == "WIN") {
    Win(line.argument);
  } else if (word == "PUT") {
    Put(ReadDecimal(arg.c_str()));
  } else if (word == "ERA") {
    Era(ReadDecimal(arg.c_str()));
  } else if (word == "RESET" || word == "HOOK") {
    // These stand alone on their line; with anything after them the line is not one of them.
    if (!TrimRight(line.argument).empty()) return false;
    timeMark_ = platform_.Ticks();
    markSet_ = true;
  } else if (word == "WAIT") {
    Wait(ReadDecimal(arg.c_str()));
  } else if (word == "CENTER") {
    Centre(line.argument);
  } else {
    return false;
  }
  return true;
}

void StaffRoll::Gra(std::string_view arg) {
  const size_t comma = arg.find(',');
  const std::string name(TrimRight(arg.substr(0, comma)));
  int32_t fade = 1;
  if (comma != std::string_view::npos)
    fade = ReadDecimal(std::string(arg.substr(comma + 1)).c_str());

  Surface& scene = screen_.sceneSurface;
  Surface& screen = screen_.screenSurface;
  Surface picture;
  if (hooks_.loadPicture(name.c_str(), picture)) {
    if (picture.Width() == kScreenWidth && picture.Height() == kScreenHeight) {
      scene = std::move(picture);
    } else {
      // Another size is shown from the top-left, black where it does not reach.
      scene.Resize(kScreenWidth, kScreenHeight);
      CopyView(scene, picture, 0, 0);
    }
  }
  const int step = fade == 1 ? 16 : fade == 2 ? 8 : 0;
  if (step > 0 && scene.Width() == kScreenWidth && screen.Width() == kScreenWidth) {
    clock_.StartFrameClock();
    for (int64_t a = step; a < 256 && !stop_;) {
      // A frame nobody sees is left to the platform's promise; the closing present keeps it.
      const auto frame = [this, &scene, &screen, level = static_cast<int>(a)] {
        CrossfadeFrame(scene, screen, level, screen_.workSurface);
        platform_.Present(screen_.workSurface);
      };
      if (!platform_.PromisePicture(frame)) frame();
      a += int64_t{step} * clock_.WaitFrames(kRollFramePeriod);
    }
    platform_.KeepPromise();
  }
  screen = scene;
  platform_.Present(screen);
}

void StaffRoll::SetRect(const RollRect& rect) {
  rect_ = rect;
  textPicture_.Resize(rect_.Width(), rect_.Height());
}

void StaffRoll::Win(std::string_view arg) {
  const std::string text(arg);
  int32_t v[4] = {};
  const char* p = text.c_str();
  for (int i = 0; i < 4; ++i) {
    v[i] = ReadDecimal(p);
    const char* comma = std::strchr(p, ',');
    if (comma == nullptr) {
      if (i < 3) {
        LogMessage("roll: WIN " + SjisToUtf8(text) +
                   " does not give x1,y1,x2,y2; the rectangle stays as it was");
        return;
      }
      break;
    }
    p = comma + 1;
  }
  RollRect r{std::clamp(v[0], 0, kScreenWidth), std::clamp(v[1], 0, kScreenHeight),
             std::clamp(v[2], 0, kScreenWidth), std::clamp(v[3], 0, kScreenHeight)};
  if (r.x2 <= r.x1 || r.y2 <= r.y1) {
    LogMessage("roll: WIN " + SjisToUtf8(text) +
               " leaves no rectangle on the screen; the rectangle stays as it was");
    return;
  }
  if (r.x1 != v[0] || r.y1 != v[1] || r.x2 != v[2] || r.y2 != v[3]) {
    LogMessage("roll: WIN " + SjisToUtf8(text) + " reaches past the screen; it is cut to " +
               std::to_string(r.x1) + "," + std::to_string(r.y1) + "," + std::to_string(r.x2) +
               "," + std::to_string(r.y2));
  }
  SetRect(r);
}

void StaffRoll::DrawTextPicture() {
  const int w = rect_.Width();
  const int h = rect_.Height();
  if (textPicture_.Width() != w || textPicture_.Height() != h) textPicture_.Resize(w, h);
  CopyView(textPicture_, screen_.sceneSurface, rect_.x1, rect_.y1);
  const int lines = static_cast<int>(block_.size());
  const int top = centreVertically_ ? (h - lines * kRollLineHeight) / 2 : 0;
  bool wide = false;
  for (int i = 0; i < lines; ++i) {
    const std::string& line = block_[static_cast<size_t>(i)];
    const int width = text_.Measure(line, kMincho, kRollLineHeight);
    wide |= width > w;
    const int x = align_ == 1 ? (w - width) / 2 : align_ == 2 ? w - width : 0;
    const int y = top + kRollLineHeight * i;
    text_.Draw(textPicture_, x + 2, y + 2, line, kMincho, kRollLineHeight, kBlackText);
    text_.Draw(textPicture_, x, y, line, kMincho, kRollLineHeight, kWhiteText);
  }
  if (wide)
    LogMessage("roll: a text line is wider than the roll rectangle; it is cut at its edges");
  if (top < 0 || top + lines * kRollLineHeight > h) {
    LogMessage("roll: " + std::to_string(lines) + " text lines do not fit the roll rectangle's " +
               std::to_string(h) + " rows; the rows outside it are not shown");
  }
}

void StaffRoll::BeginFade(const Surface& towards) {
  const int w = rect_.Width();
  const int h = rect_.Height();
  const bool rectSized = towards.Width() == w && towards.Height() == h;
  fadeTo_ = &towards;
  fadeX_ = rectSized ? 0 : rect_.x1;
  fadeY_ = rectSized ? 0 : rect_.y1;
  fadeSpans_.assign(static_cast<size_t>(std::max(h, 0)), Span{});
  fadeRowBegin_ = fadeRowEnd_ = 0;
  fadeLeft_ = w;
  fadeRight_ = 0;
  Surface& work = screen_.workSurface;
  const Surface& screen = screen_.screenSurface;
  if (fadeX_ + w > towards.Width() || fadeY_ + h > towards.Height() || rect_.x2 > work.Width() ||
      rect_.y2 > work.Height() || rect_.x2 > screen.Width() || rect_.y2 > screen.Height()) {
    fadeTo_ = nullptr;
    return;
  }
  const size_t offset = static_cast<size_t>(rect_.x1) * 3;
  const size_t bytes = static_cast<size_t>(w) * 3;
  bool any = false;
  for (int r = 0; r < h; ++r) {
    const uint8_t* u = screen.Row(rect_.y1 + r) + offset;
    const uint8_t* v = towards.Row(fadeY_ + r) + static_cast<size_t>(fadeX_) * 3;
    size_t first = 0;
    while (first < bytes && u[first] == v[first]) ++first;
    if (first == bytes) continue;
    size_t last = bytes;
    while (last > first && u[last - 1] == v[last - 1]) --last;
    Span& span = fadeSpans_[static_cast<size_t>(r)];
    span.begin = static_cast<int>(first / 3);
    span.end = static_cast<int>((last + 2) / 3);
    fadeLeft_ = std::min(fadeLeft_, span.begin);
    fadeRight_ = std::max(fadeRight_, span.end);
    if (!any) fadeRowBegin_ = r;
    fadeRowEnd_ = r + 1;
    any = true;
  }
  // Outside the spans a step shows the screen as it is.
  for (int r = fadeRowBegin_; r < fadeRowEnd_; ++r) {
    std::memcpy(work.Row(rect_.y1 + r) + offset, screen.Row(rect_.y1 + r) + offset, bytes);
  }
}

void StaffRoll::FadeStep(int level) {
  if (fadeTo_ == nullptr || fadeRowBegin_ >= fadeRowEnd_) return;
  Surface& work = screen_.workSurface;
  const Surface& screen = screen_.screenSurface;
  for (int r = fadeRowBegin_; r < fadeRowEnd_; ++r) {
    const Span& span = fadeSpans_[static_cast<size_t>(r)];
    if (span.begin >= span.end) continue;
    const size_t at = static_cast<size_t>(rect_.x1 + span.begin) * 3;
    BlendSpan(work.Row(rect_.y1 + r) + at, screen.Row(rect_.y1 + r) + at,
              fadeTo_->Row(fadeY_ + r) + static_cast<size_t>(fadeX_ + span.begin) * 3,
              span.end - span.begin, level);
  }
  platform_.PresentRect(work, rect_.x1 + fadeLeft_, rect_.y1 + fadeRowBegin_,
                        fadeRight_ - fadeLeft_, fadeRowEnd_ - fadeRowBegin_);
}

void StaffRoll::FadeRect(const Surface& to) {
  BeginFade(to);
  clock_.StartFrameClock();
  for (int64_t a = 0; a < 255 && !stop_;) {
    FadeStep(static_cast<int>(a));
    a += int64_t{8} * clock_.WaitFrames(kRollFramePeriod);
  }
  fadeTo_ = nullptr;
}

void StaffRoll::CopyRectToScreen(const Surface& from, bool fromRectPicture) {
  Surface& screen = screen_.screenSurface;
  const int sx = fromRectPicture ? 0 : rect_.x1;
  const int sy = fromRectPicture ? 0 : rect_.y1;
  const int w = std::min({rect_.Width(), from.Width() - sx, screen.Width() - rect_.x1});
  const int h = std::min({rect_.Height(), from.Height() - sy, screen.Height() - rect_.y1});
  for (int r = 0; r < h; ++r) {
    std::memcpy(screen.Row(rect_.y1 + r) + static_cast<size_t>(rect_.x1) * 3,
                from.Row(sy + r) + static_cast<size_t>(sx) * 3, static_cast<size_t>(w) * 3);
  }
}

void StaffRoll::Put(int32_t how) {
  if (how == 0 || how == 1) {
    DrawTextPicture();
    if (how == 1) FadeRect(textPicture_);
    CopyRectToScreen(textPicture_, true);
  }
  platform_.Present(screen_.screenSurface);
}

void StaffRoll::Era(int32_t how) {
  if (how == 0) {
    screen_.screenSurface = screen_.sceneSurface;
  } else if (how == 1) {
    FadeRect(screen_.sceneSurface);
    CopyRectToScreen(screen_.sceneSurface, false);
  }
  platform_.Present(screen_.screenSurface);
}

void StaffRoll::Wait(int32_t tenths) {
  // Without a mark (no RESET yet) the wait is already over.
  if (markSet_) {
    const int64_t length = int64_t{tenths} * kWaitSlice;
    while (!stop_) {
      const int64_t left = length - static_cast<int32_t>(platform_.Ticks() - timeMark_);
      if (left <= 0) break;
      Pump();
      if (stop_) break;
      Sleep(static_cast<uint32_t>(std::min<int64_t>(left, kWaitSlice)));
    }
  }
  timeMark_ = platform_.Ticks();
  markSet_ = true;
}

void StaffRoll::Centre(std::string_view letters) {
  align_ = 0;
  centreVertically_ = false;
  for (char c : letters) {
    if (c == 'X' || c == 'x') align_ = 1;
    if (c == 'R' || c == 'r') align_ = 2;
    if (c == 'Y' || c == 'y') centreVertically_ = true;
  }
}

// `sroll` --------------------------------------------------------------------------------------

int StaffRoll::ScrollRoll(const char*) {
  s_.toolbarLocked = true;
  hooks_.updateToolbar();
  scrollStop_ = false;
  s_.screenMode = 5;
  scrollY_ = 0;
  scrollLines_ = 0;

  if (const std::vector<uint8_t>* text = hooks_.loadConfigScript("sroll")) {
    std::vector<std::string> problems;
    const ScrollRollScript script = ReadScrollRoll(*text, &problems);
    for (const std::string& p : problems) LogMessage(p);
    const int lines = static_cast<int>(script.lines.size());
    scrollLines_ = lines;
    Surface picture(kScrollWidth, std::max(1, lines * kScrollLineHeight));
    for (int i = 0; i < lines; ++i) {
      text_.Draw(picture, 0, kScrollLineHeight * i, script.lines[static_cast<size_t>(i)], kGothic,
                 kScrollFontHeight, kWhiteText);
    }
    Surface& screen = screen_.screenSurface;
    screen.Fill(0, 0, 0);
    platform_.Present(screen);
    Surface shown(kScrollWidth, kScrollShownRows);
    auto show = [&](int y) {
      scrollY_ = y;
      CopyView(shown, picture, 0, y);
      Paste(screen, shown, kScrollLeft, kScrollTop);
      ShowScreenRect(kScrollLeft, kScrollTop, kScrollWidth, kScrollShownRows);
    };
    const int last = lines * kScrollLineHeight - kScrollTailRows;
    clock_.StartFrameClock();
    for (int64_t y = 0; y < last;) {
      show(static_cast<int>(y));
      Pump();
      if (scrollStop_) break;
      y += clock_.WaitFrames(kRollFramePeriod);
    }
    show(last);
    hooks_.music(0);
  } else {
    LogMessage("sroll: the game has no script \"sroll\"; there are no credits to show");
  }

  s_.screenMode = 0;
  s_.toolbarLocked = false;
  hooks_.updateToolbar();
  return 1;
}

void StaffRoll::ScrollRollClick(MouseButton, int, int) {
  if (s_.vars.E.Test(kGameClearedFlag)) scrollStop_ = true;
}

// `special` ------------------------------------------------------------------------------------

int StaffRoll::Special(const char* arg) {
  switch (arg[0]) {
    case '0':
      Flash();
      break;
    case '1':
      Shake();
      break;
    case '2':
      DimBars(arg[1] != 0 ? arg + 2 : arg + 1);
      break;
    case '3':
    case '4':
      hooks_.sepiaFade();
      break;
    case '5':
      EndRoll();
      break;
    case '6':
      CompletionRate();
      break;
    default:
      break;
  }
  return 1;
}

void StaffRoll::Flash() {
  Surface& work = screen_.workSurface;
  platform_.ShownGameArea(work);
  Surface white(kScreenWidth, kScreenHeight);
  white.Fill(255, 255, 255);
  for (int i = 0; i < 7; ++i) {
    platform_.Present(white);
    Sleep(20);
    platform_.Present(work);
    Sleep(20);
  }
}

void StaffRoll::Shake() {
  int left = 0;
  int top = 0;
  platform_.WindowPosition(left, top);
  // In full screen the picture shakes inside the screen; the desktop stays where it is.
  for (int counter = 20; counter >= 2; counter -= 2) {
    platform_.ShakeTo(left, top, 0, (counter & 2) != 0 ? 20 : -20);
    Sleep(50);
  }
  platform_.EndShake(left, top);
}

void StaffRoll::DimBars(const char* arg) {
  int32_t v[3] = {0, 0, 0};
  const char* p = arg;
  for (int i = 0; i < 3 && p != nullptr; ++i) {
    v[i] = ReadDecimal(p);
    p = std::strchr(p, ',');
    if (p != nullptr) ++p;
  }
  Surface& screen = screen_.screenSurface;
  const int height = screen.Height();
  const int top = std::clamp(v[0], 0, height);
  const int bottom = std::clamp(v[1], 0, height);
  const int level = std::clamp(v[2], 0, 16);
  const size_t bytes = static_cast<size_t>(screen.Width()) * 3;
  for (int y = 0; y < height; ++y) {
    if (y >= top && y < bottom) continue;
    uint8_t* row = screen.Row(y);
    for (size_t i = 0; i < bytes; ++i) row[i] = static_cast<uint8_t>(row[i] * level / 16);
  }
  platform_.Present(screen);
}

void StaffRoll::MakeCreditPicture(const std::vector<std::string>& credits) {
  const int lines = static_cast<int>(credits.size());
  // Tall enough for the last line whole: its cell ends 32 rows below its top.
  creditRows_ = std::min(lines * kRollLineHeight + kCreditLead, kRollMaxPictureRows);
  credits_.assign(static_cast<size_t>(creditRows_) * kCreditBytes, 0);
  creditRowEmpty_.assign(static_cast<size_t>(creditRows_), 1);
  Surface line(kCreditWidth, kRollLineHeight);
  for (int i = 0; i < lines; ++i) {
    const int top = kRollLineHeight * i + kCreditLead;
    if (top + kRollLineHeight > creditRows_) break;
    if (credits[static_cast<size_t>(i)].empty()) continue;
    line.Fill(0, 0, 0);
    text_.Draw(line, 0, 0, credits[static_cast<size_t>(i)], kMincho, kCreditFontHeight, kWhiteText);
    for (int r = 0; r < kRollLineHeight; ++r) {
      const uint8_t* px = line.Row(r);
      uint8_t* bits = credits_.data() + static_cast<size_t>(top + r) * kCreditBytes;
      for (int x = 0; x < kCreditWidth; ++x) {
        if (px[x * 3] != 0) bits[x / 8] = static_cast<uint8_t>(bits[x / 8] | 0x80 >> (x % 8));
      }
      // Only the columns the strip shows count.
      bool empty = true;
      for (int b = kCreditShownFrom / 8; b < kCreditBytes; ++b) empty &= bits[b] == 0;
      creditRowEmpty_[static_cast<size_t>(top + r)] = empty ? 1 : 0;
    }
  }
  // The strip is drawn whole on the first frame.
  stripBlack_.fill(false);
}

void StaffRoll::DrawEndRollFrame(int y, bool withBackground) {
  Surface& screen = screen_.screenSurface;
  if (screen.Width() != kScreenWidth || screen.Height() != kScreenHeight) return;
  const ExpandTable& table = Expand();
  stripRects_.clear();
  auto mark = [this](int r) {
    if (!stripRects_.empty() && stripRects_.back().y + stripRects_.back().h == r) {
      stripRects_.back().h += 1;
    } else {
      stripRects_.push_back(ScreenRect{kCreditStripLeft, r, kCreditStripWidth, 1});
    }
  };
  for (int r = 0; r < kScreenHeight; ++r) {
    const int64_t source = int64_t{y} + r;
    const bool black =
        source < 0 || source >= creditRows_ || creditRowEmpty_[static_cast<size_t>(source)] != 0;
    // A row that stays black is neither drawn nor shown again: most of a roll is gaps.
    if (black && stripBlack_[static_cast<size_t>(r)]) continue;
    uint8_t* out = screen.Row(r) + static_cast<size_t>(kCreditStripLeft) * 3;
    mark(r);
    stripBlack_[static_cast<size_t>(r)] = black;
    if (black) {
      std::memset(out, 0, kCreditStripWidth * 3);
      continue;
    }
    const uint8_t* bits =
        credits_.data() + static_cast<size_t>(source) * kCreditBytes + kCreditShownFrom / 8;
    const uint8_t grey = BandGrey(r);
    // Eight pixels at a time: 24 bytes of 0 or 255 from the table, masked by the row's grey.
    const uint64_t greys = uint64_t{grey} * 0x0101010101010101ull;
    for (int b = 0; b < kCreditStripWidth / 8; ++b) {
      uint64_t eight[3];
      std::memcpy(eight, table.rows[bits[b]].data(), 24);
      for (uint64_t& part : eight) part &= greys;
      std::memcpy(out + b * 24, eight, 24);
    }
  }
  if (withBackground) {
    const Surface& background = screen_.backgroundSurface;
    const int rows = std::min(kScreenHeight, background.Height());
    const size_t bytes = static_cast<size_t>(std::min(kCreditStripLeft, background.Width())) * 3;
    for (int r = 0; r < rows; ++r) std::memcpy(screen.Row(r), background.Row(r), bytes);
    stripRects_.push_back(ScreenRect{0, 0, kCreditStripLeft, kScreenHeight});
  }
  if (!stripRects_.empty()) platform_.PresentRects(screen, stripRects_);
}

void StaffRoll::EndRoll() {
  const std::vector<uint8_t>* text = hooks_.loadConfigScript("endroll");
  if (text == nullptr) {
    LogMessage("special 5: the game has no script \"endroll\"; there is no end roll");
    return;
  }
  std::vector<std::string> problems;
  const EndRollScript script = ReadEndRoll(*text, &problems);
  for (const std::string& p : problems) LogMessage(p);
  MakeCreditPicture(script.credits);
  stop_ = false;
  const int end = static_cast<int>(script.credits.size()) * kRollLineHeight + kCreditLead;
  int frame = 0;
  for (int y = 0; y < end; y += 2, ++frame) {
    endRollY_ = y;
    const uint32_t due = platform_.Ticks() + static_cast<uint32_t>(script.period);
    DrawEndRollFrame(y, frame < kEndRollBackgroundFrames);
    clock_.WaitUntil(due);
    if (s_.quitFlag || stop_) break;
  }
  credits_.clear();
  credits_.shrink_to_fit();
  creditRowEmpty_.clear();
  creditRows_ = 0;
}

void StaffRoll::CompletionRate() {
  const int percent = CountCompletionFlags(s_.vars.E) * 100 / kCompletionFlags;
  const std::string number = std::to_string(percent);
  Surface& screen = screen_.screenSurface;
  const int width = text_.Measure(number, kGothic, kRollLineHeight);
  const int x = 570 - width;
  text_.Draw(screen, x, 12, number, kGothic, kRollLineHeight, kWhiteText);
  ShowScreenRect(std::clamp(x, 0, kScreenWidth), 12, std::clamp(width, 0, kScreenWidth),
                 kRollLineHeight);
}

}  // namespace zorvel
