#include "ui/click_map.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "core/variable_banks.h"
#include "platform/files.h"
#include "script/commands.h"
#include "script/decimal.h"
#include "text/sjis.h"
#include "translation/translation.h"

namespace zorvel {

namespace {

constexpr int kPartsPair = 15;      // S015: `partsload` gave a second picture
constexpr int kHoverSoundFlag = 6;  // string variable 6 not empty: hovering plays $7
constexpr int kHoverSound = 7;

char FoldAscii(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = FoldAscii(c);
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The line of `text` that starts at `pos` (up to its 0 byte or the end), and where the next
// line starts.
std::string_view LineAt(std::span<const uint8_t> text, size_t pos, size_t& next) {
  size_t end = pos;
  while (end < text.size() && text[end] != 0) ++end;
  next = end < text.size() ? end + 1 : text.size();
  return {reinterpret_cast<const char*>(text.data()) + pos, end - pos};
}

int ClampCoordinate(int32_t v) {
  // Rectangles far outside the screen behave as those just outside it, without overflowing
  // the arithmetic of label boxes and copies.
  return std::clamp(v, -100000, 100000);
}

// Copies the rectangle [x0, x1) x [y0, y1) of `src` to `dest` at (dx, dy), clipped to both;
// the part of the destination written, or an empty rectangle.
ScreenRect CopyPiece(Surface& dest, const Surface& src, int x0, int y0, int x1, int y1, int dx,
                     int dy) {
  int64_t sx0 = x0, sy0 = y0, sx1 = x1, sy1 = y1;
  int64_t ddx = dx, ddy = dy;
  // Clip against the source.
  if (sx0 < 0) {
    ddx -= sx0;
    sx0 = 0;
  }
  if (sy0 < 0) {
    ddy -= sy0;
    sy0 = 0;
  }
  sx1 = std::min<int64_t>(sx1, src.Width());
  sy1 = std::min<int64_t>(sy1, src.Height());
  // Then against the destination.
  if (ddx < 0) {
    sx0 -= ddx;
    ddx = 0;
  }
  if (ddy < 0) {
    sy0 -= ddy;
    ddy = 0;
  }
  sx1 = std::min<int64_t>(sx1, sx0 + dest.Width() - ddx);
  sy1 = std::min<int64_t>(sy1, sy0 + dest.Height() - ddy);
  if (sx0 >= sx1 || sy0 >= sy1) return {};
  const size_t bytes = static_cast<size_t>(sx1 - sx0) * 3;
  for (int64_t y = sy0; y < sy1; ++y) {
    std::memcpy(dest.Row(static_cast<int>(ddy + y - sy0)) + ddx * 3,
                src.Row(static_cast<int>(y)) + sx0 * 3, bytes);
  }
  return {static_cast<int>(ddx), static_cast<int>(ddy), static_cast<int>(sx1 - sx0),
          static_cast<int>(sy1 - sy0)};
}

ScreenRect ClipToScreen(int x0, int y0, int x1, int y1) {
  x0 = std::max(x0, 0);
  y0 = std::max(y0, 0);
  x1 = std::min(x1, kScreenWidth);
  y1 = std::min(y1, kScreenHeight);
  if (x0 >= x1 || y0 >= y1) return {};
  return {x0, y0, x1 - x0, y1 - y0};
}

}  // namespace

void MapEntry::Derive() {
  auto field = [this](int i) { return i < fieldCount ? ClampCoordinate(fields[i]) : 0; };
  x1 = y1 = x2 = y2 = a1 = b1 = a2 = b2 = e = f = 0;
  keyR = keyG = keyB = 0;
  cursor = 0;
  if (Kind() == '$') {
    // "$" and three hex digits; a digit that is not one counts as 0.
    const int r = HexDigit(name[1]);
    const int g = r < 0 ? -1 : HexDigit(name[2]);
    const int b = g < 0 ? -1 : HexDigit(name[3]);
    keyR = static_cast<uint8_t>(std::max(r, 0) * 16);
    keyG = static_cast<uint8_t>(std::max(g, 0) * 16);
    keyB = static_cast<uint8_t>(std::max(b, 0) * 16);
    cursor = fieldCount > 0 ? fields[0] : 0;
    return;
  }
  x1 = std::min(field(0), field(2));
  x2 = std::max(field(0), field(2));
  y1 = std::min(field(1), field(3));
  y2 = std::max(field(1), field(3));
  if (Kind() == '#') {
    a1 = std::min(field(4), field(6));
    a2 = std::max(field(4), field(6));
    b1 = std::min(field(5), field(7));
    b2 = std::max(field(5), field(7));
    e = fieldCount > 8 ? field(8) : a1;
    f = fieldCount > 9 ? field(9) : b1;
  }
}

bool ReadMapEntries(std::span<const uint8_t> text, std::string_view name, MapEntries& out,
                    std::string& problem) {
  out = MapEntries{};
  // The first ":" followed by the name, without case, as a prefix.
  size_t at = text.size();
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != ':' || text.size() - i - 1 < name.size()) continue;
    bool same = true;
    for (size_t k = 0; k < name.size() && same; ++k) {
      same = FoldAscii(static_cast<char>(text[i + 1 + k])) == FoldAscii(name[k]);
    }
    if (same) {
      at = i;
      break;
    }
  }
  if (at == text.size()) {
    problem = "the map script has no \":" + SjisToUtf8(std::string(name)) + "\"";
    return false;
  }
  size_t pos = 0;
  LineAt(text, at, pos);
  if (pos >= text.size()) {
    problem = "the map \":" + SjisToUtf8(std::string(name)) + "\" has no entry count";
    return false;
  }
  const std::string countLine(LineAt(text, pos, pos));
  const int32_t wanted = ReadDecimal(countLine.c_str());
  if (wanted > kMaxMapEntries) {
    problem = "the map \":" + SjisToUtf8(std::string(name)) + "\" counts " +
              std::to_string(wanted) + " entries; the first " + std::to_string(kMaxMapEntries) +
              " are read";
  }
  const int count = std::clamp(wanted, 0, kMaxMapEntries);
  int read = 0;
  for (; read < count && pos < text.size(); ++read) {
    const size_t lineStart = pos;
    const std::string line(LineAt(text, pos, pos));
    MapEntry& entry = out.entries[static_cast<size_t>(read)];
    entry.line =
        1 + static_cast<int>(std::count(
                text.begin(), text.begin() + static_cast<ptrdiff_t>(lineStart), uint8_t{0}));
    const size_t comma = line.find(',');
    const std::string entryName = line.substr(0, std::min(comma, line.size()));
    CopyField(entry.name, sizeof entry.name, entryName.c_str());
    for (size_t from = comma; from != std::string::npos && entry.fieldCount < kMapFields;) {
      const size_t next = line.find(',', from + 1);
      const std::string field =
          line.substr(from + 1, next == std::string::npos ? std::string::npos : next - from - 1);
      entry.fields[static_cast<size_t>(entry.fieldCount++)] = ReadDecimal(field.c_str());
      from = next;
    }
    entry.Derive();
  }
  if (read < count) {
    problem = "the map \":" + SjisToUtf8(std::string(name)) + "\" counts " + std::to_string(count) +
              " entries but the script ends after " + std::to_string(read);
  }
  out.count = read;
  return true;
}

ClickMap::ClickMap(EngineState& state, Screen& screen, ScriptLoader& loader,
                   Interpreter& interpreter, Expressions& expressions, Platform& platform,
                   ClickMapHooks hooks)
    : s_(state),
      screen_(screen),
      loader_(loader),
      interp_(interpreter),
      expr_(expressions),
      platform_(platform),
      hooks_(std::move(hooks)) {}

void ClickMap::Register(CommandTable& table) {
  table.Register(kClickmap, [this](const char* arg) { return Clickmap(arg); });
  table.Register(kSwitch, [this](const char* arg) { return Switch(arg); });
  table.Register(kMap, [this](const char* arg) { return Map(arg); });
}

int ClickMap::CurrentLineNumber() const {
  const auto* buf = s_.scriptBuffer.data();
  const int32_t upTo = std::clamp(s_.lineStart, 0, s_.scriptSize);
  return 1 + static_cast<int>(std::count(buf, buf + upTo, uint8_t{0}));
}

std::string ClickMap::ScriptName() const {
  return SjisToUtf8(std::string(s_.loadedScriptName, strnlen(s_.loadedScriptName, kNameSize)));
}

// Reading the map ----------------------------------------------------------------------------

void ClickMap::SkipBlock() {
  const int32_t end = interp_.FindLineStart(s_.scriptPos, '}');
  if (end >= s_.scriptSize) {
    s_.scriptPos = s_.scriptSize;
  } else {
    int32_t p = end;
    while (p < s_.scriptSize && s_.scriptBuffer[static_cast<size_t>(p)] != 0) ++p;
    s_.scriptPos = std::min(p + 1, s_.scriptSize);
  }
  s_.needLine = true;
}

int ClickMap::Clickmap(const char* arg) {
  std::string name(arg);
  while (!name.empty() && (name.back() == ' ' || name.back() == '\t' || name.back() == '\r')) {
    name.pop_back();
  }
  Abandon();
  const std::string where = "clickmap " + SjisToUtf8(name) + " at line " +
                            std::to_string(CurrentLineNumber()) + " of script \"" + ScriptName() +
                            "\"";
  MapEntries read;
  std::string problem;
  if (!loader_.LoadScript("map", kLoadConfig)) {
    LogMessage(where +
               " refused: the game has no \"map\" script; the script goes on after the "
               "map's branches");
    SkipBlock();
    return 0;
  }
  if (!ReadMapEntries(loader_.ConfigText(), name, read, problem)) {
    LogMessage(where + " refused: " + problem + "; the script goes on after the map's branches");
    SkipBlock();
    return 0;
  }
  if (!problem.empty()) LogMessage(where + ": " + problem);
  entries_ = read.entries;
  mapCount_ = read.count;
  if (interp_.CurrentTranslation() != nullptr) {
    for (int i = 0; i < mapCount_; ++i) {
      MapEntry& entry = entries_[static_cast<size_t>(i)];
      TranslateName(entry, kMapScriptName, entry.line, -1);
    }
  }
  for (int i = 0; i < mapCount_; ++i) ComputeLabel(entries_[static_cast<size_t>(i)]);
  ReadBranches();

  s_.interactionMode = 4;
  highlighted_ = 0;
  active_ = true;
  hooks_.setMapCursor(0);
  const auto [x, y] = hooks_.pointer();
  Hover(x, y);
  return 1;
}

void ClickMap::ComputeLabel(MapEntry& entry) {
  const int width = hooks_.textWidth(entry.name, kLabelFontHeight) + kLabelPadding;
  const int cx = (entry.x1 + entry.x2) / 2;
  const int cy = (entry.y1 + entry.y2) / 2;
  entry.labelLeft = cx - width / 2;
  entry.labelRight = entry.labelLeft + width;
  entry.labelTop = cy - kLabelHeight / 2;
}

void ClickMap::TranslateName(MapEntry& entry, std::string_view script, int line, int32_t offset) {
  const Translation* translation = interp_.CurrentTranslation();
  if (translation == nullptr) return;
  const TranslatedText* t =
      offset >= 0 ? interp_.TranslationAt(offset) : translation->Find(script, line);
  if (t == nullptr) return;
  std::string why;
  const auto name = RenameArea(entry.name, t->id, t->str, offset < 0, why);
  if (!name) return;
  CopyField(entry.name, sizeof entry.name, name->c_str());
  entry.Derive();
}

void ClickMap::ReadBranches() {
  const auto* buf = s_.scriptBuffer.data();
  const int32_t size = s_.scriptSize;
  timeoutTicks_ = 0;
  timeoutEntry_ = 0;
  int k = 0;
  int32_t pos = s_.scriptPos;
  for (; k < kMaxMapEntries; ++k) {
    const int32_t open = interp_.FindLineStart(pos, '{');
    const int32_t close = interp_.FindLineStart(pos, '}');
    if (open >= size || open > close) break;
    int32_t lineEnd = open;
    while (lineEnd < size && buf[lineEnd] != 0) ++lineEnd;
    MapEntry& entry = entries_[static_cast<size_t>(k)];
    entry.target = std::min(lineEnd + 1, size);
    pos = open + 1;
    int32_t p = open + 1;
    if (p < size && buf[p] == '(') {
      // The buffer's guard bytes end the condition even on an unended last line.
      if (!expr_.Condition(reinterpret_cast<const char*>(buf + p))) {
        entry.enabled = false;
        continue;
      }
      while (p < lineEnd && buf[p] != ')') ++p;
      if (p < lineEnd) ++p;
    }
    if (p < lineEnd && buf[p] == '@') {
      const std::string number(reinterpret_cast<const char*>(buf + p + 1),
                               static_cast<size_t>(lineEnd - p - 1));
      const int64_t ticks = int64_t{ReadDecimal(number.c_str())} * kTimeoutTicksPerUnit;
      timeoutTicks_ = static_cast<int>(std::clamp<int64_t>(ticks, 0, INT32_MAX));
      timeoutEntry_ = timeoutTicks_ > 0 ? k + 1 : 0;
      entry.enabled = false;
      continue;
    }
    if (p < lineEnd) {
      // The line's text is the entry's new name, and may change its kind.
      const std::string text(reinterpret_cast<const char*>(buf + p),
                             static_cast<size_t>(lineEnd - p));
      CopyField(entry.name, sizeof entry.name, text.c_str());
      TranslateName(entry, {}, 0, open);
      entry.Derive();
      ComputeLabel(entry);
    }
  }
  count_ = std::max(mapCount_, k);
}

// The player ---------------------------------------------------------------------------------

int ClickMap::EntryAt(int x, int y, int& cursor) const {
  cursor = 0;
  const Surface& parts = screen_.partsPicture;
  const bool onParts = x >= 0 && y >= 0 && x < parts.Width() && y < parts.Height();
  const uint8_t* px = onParts ? parts.Row(y) + static_cast<size_t>(x) * 3 : nullptr;
  for (int i = 0; i < mapCount_; ++i) {
    const MapEntry& entry = entries_[static_cast<size_t>(i)];
    if (!entry.enabled) continue;
    if (entry.Kind() == '$') {
      if (px != nullptr && (px[2] & 0xF0) == entry.keyR && (px[1] & 0xF0) == entry.keyG &&
          (px[0] & 0xF0) == entry.keyB) {
        cursor = entry.cursor;
        return i + 1;
      }
      continue;
    }
    if (entry.x1 < x && x < entry.x2 && entry.y1 < y && y < entry.y2) return i + 1;
  }
  return 0;
}

void ClickMap::Unhighlight(int index) {
  const MapEntry& entry = entries_[static_cast<size_t>(index - 1)];
  const ScreenRect r = entry.Kind() == '*'
                           ? ClipToScreen(entry.x1, entry.y1, entry.x2, entry.y2)
                           : ClipToScreen(entry.labelLeft, entry.labelTop, entry.labelRight,
                                          entry.labelTop + kLabelHeight);
  if (r.w > 0) platform_.PresentRect(screen_.screenSurface, r.x, r.y, r.w, r.h);
}

void ClickMap::Highlight(int index) {
  const MapEntry& entry = entries_[static_cast<size_t>(index - 1)];
  if (entry.Kind() != '*' && entry.Kind() != '#') return;
  if (view_.Width() != kScreenWidth || view_.Height() != kScreenHeight) {
    view_.Resize(kScreenWidth, kScreenHeight);
  }
  const Surface& parts = screen_.partsPicture;
  ScreenRect shown[2];
  int n = 0;
  shown[n] = CopyPiece(view_, parts, entry.x1, entry.y1, entry.x2, entry.y2, entry.x1, entry.y1);
  if (shown[n].w > 0) ++n;
  if (entry.Kind() == '#') {
    shown[n] = CopyPiece(view_, parts, entry.a1, entry.b1, entry.a2, entry.b2, entry.e, entry.f);
    if (shown[n].w > 0) ++n;
  }
  if (n > 0) platform_.PresentRects(view_, std::span<const ScreenRect>(shown, n));
}

void ClickMap::Hover(int x, int y) {
  if (!active_) return;
  int cursor = 0;
  const int entry = EntryAt(x, y, cursor);
  // A colour hotspot shows its cursor, and the arrow comes back where no entry applies; over a
  // rectangle the cursor stays as it was.
  if (entry == 0 || entries_[static_cast<size_t>(entry - 1)].Kind() == '$') {
    hooks_.setMapCursor(cursor);
  }
  if (entry == highlighted_) return;
  if (highlighted_ > 0) Unhighlight(highlighted_);
  if (entry > 0) {
    if (s_.stringVars[kHoverSoundFlag][0] != 0) {
      char sound[kStringVarSize + 1] = {};
      std::memcpy(sound, s_.stringVars[kHoverSound], kStringVarSize);
      hooks_.playSystemSound(sound);
    }
    Highlight(entry);
  }
  highlighted_ = entry;
}

void ClickMap::Click(MouseButton button, int x, int y) {
  if (!active_ || button == MouseButton::kMiddle) return;
  // The press counts where it happens, even when no move reached the map first.
  Hover(x, y);
  TakeMapEntry();
}

void ClickMap::TakeMapEntry() {
  if (!active_ || highlighted_ < 1 || highlighted_ > count_) return;
  auto& S = s_.vars.S;
  hooks_.takeAsChoice(highlighted_);
  const MapEntry& entry = entries_[static_cast<size_t>(highlighted_ - 1)];
  if (S[kPartsPair] == 1) {
    // The second parts picture shows what the chosen place looks like once chosen.
    ScreenRect r = CopyPiece(screen_.screenSurface, screen_.workSurface, entry.x1, entry.y1,
                             entry.x2, entry.y2, entry.x1, entry.y1);
    if (r.w > 0) platform_.PresentRect(screen_.screenSurface, r.x, r.y, r.w, r.h);
  } else if (S[kNovelMode] == 0) {
    hooks_.redrawMessageWindow();
    platform_.Present(screen_.screenSurface);
  }
  ContinueAt(highlighted_);
}

void ClickMap::ContinueAt(int index) {
  auto& S = s_.vars.S;
  S[kPartsPair] = 0;
  timeoutTicks_ = 0;
  timeoutEntry_ = 0;
  highlighted_ = index;
  s_.scriptPos = entries_[static_cast<size_t>(index - 1)].target;
  S[kBacktoPos] = 0;
  s_.needLine = true;
  s_.interactionMode = 0;
  active_ = false;
  hooks_.setMapCursor(0);
}

void ClickMap::TickMapTimeout() {
  // Only the map's own wait counts down: a list or tree that came after a map left by a load
  // must not be taken by that map's timeout.
  if (!active_ || s_.interactionMode != 4) return;
  if (timeoutTicks_ == 0 || timeoutEntry_ == 0) return;
  timeoutTicks_ -= 1;
  if (timeoutTicks_ != 0) return;
  const int entry = timeoutEntry_;
  if (highlighted_ > 0) Unhighlight(highlighted_);
  ContinueAt(entry);
}

void ClickMap::Abandon() {
  if (!active_) return;
  active_ = false;
  timeoutTicks_ = 0;
  timeoutEntry_ = 0;
  hooks_.setMapCursor(0);
}

// switch and map -----------------------------------------------------------------------------

int ClickMap::Switch(const char* arg) {
  std::string name(arg);
  while (!name.empty() && (name.back() == ' ' || name.back() == '\t' || name.back() == '\r')) {
    name.pop_back();
  }
  const auto* buf = s_.scriptBuffer.data();
  const int32_t size = s_.scriptSize;
  auto lineEnd = [&](int32_t p) {
    while (p < size && buf[p] != 0) ++p;
    return p;
  };
  auto startsWithName = [&](int32_t p) {
    for (size_t k = 0; k < name.size(); ++k) {
      if (p + static_cast<int32_t>(k) >= size ||
          FoldAscii(static_cast<char>(buf[p + k])) != FoldAscii(name[k])) {
        return false;
      }
    }
    return true;
  };
  // The block's end: "}:NAME", or for an unnamed block the next "}" line that does not end a
  // named block nested in it.
  const int32_t end = name.empty() ? interp_.FindBlockEnd(s_.scriptPos)
                                   : interp_.FindNamedBlockEnd(s_.scriptPos, name.c_str());
  int32_t next = std::min(end, size);
  for (int32_t p = std::max(s_.scriptPos, 0); p < end && p < size; p = lineEnd(p) + 1) {
    if (buf[p] != '{') continue;
    int32_t after = p + 1;
    if (!name.empty()) {
      if (after >= size || buf[after] != ':' || !startsWithName(after + 1)) continue;
      after += 1 + static_cast<int32_t>(name.size());
    } else if (after < size && buf[after] == ':') {
      continue;  // a case of a named block inside this one
    }
    bool wins = false;
    if (after >= size || buf[after] == 0) {
      wins = true;  // the default case
    } else if (buf[after] == '(') {
      wins = expr_.Condition(reinterpret_cast<const char*>(buf + after));
    }
    if (wins) {
      next = std::min(lineEnd(p) + 1, size);
      break;
    }
  }
  s_.scriptPos = next;
  s_.needLine = true;
  return 1;
}

int ClickMap::Map(const char*) {
  s_.textWindowOn = false;
  return 1;
}

}  // namespace zorvel
