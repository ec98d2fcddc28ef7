#include "extras/recollection.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "core/json_writer.h"
#include "core/variable_banks.h"
#include "platform/files.h"
#include "script/commands.h"
#include "text/font.h"
#include "text/sjis.h"

namespace zorvel {

namespace {

constexpr char kFace[] = "\x82\x6c\x82\x72\x20\x82\x6f\x83\x53\x83\x56\x83\x62\x83\x4e";

struct Rect {
  int x, y, w, h;
  bool Contains(int px, int py) const { return px >= x && px < x + w && py >= y && py < y + h; }
};

// The menu's places on the 800 x 600 screen.
Rect TabRect(int c) {
  return {20, 20 + 30 * c, 178, 30};
}
Rect StripButton(int k) {
  return {520, 402 + 46 * k, 20, 46};
}
constexpr int kGridLeft = 25, kGridTop = 155, kCellWidth = 166, kCellHeight = 15;
constexpr int kGridColumns = 3, kGridRows = 28;
constexpr Rect kGridArea = {kGridLeft, kGridTop, kGridColumns* kCellWidth, kGridRows* kCellHeight};
Rect CellRect(int c) {
  return {kGridLeft + kCellWidth * (c % kGridColumns), kGridTop + kCellHeight * (c / kGridColumns),
          kCellWidth, kCellHeight};
}
Rect SelectorRect(int k) {
  return {420 + 36 * (k % 5), 20 + 40 * (k / 5), 36, 40};
}
constexpr Rect kSelectorArea = {420, 20, 180, 80};
constexpr Rect kNameArea = {420, 100, 360, 40};
constexpr Rect kPanel = {570, 160, 200, 350};
// Where a row of the panel is pointed at or dropped on: the panel's rows, shifted right.
constexpr Rect kPanelRows = {576, 160, 200, 350};
constexpr int kRowHeight = 14;
Rect EntryRect(int row) {
  return {576, 160 + kRowHeight * row, 194, kRowHeight};
}
constexpr Rect kPreview = {211, 21, 160, 120};
constexpr int kPreviewTicks = 9;
constexpr int kDoubleClickTicks = 5;
constexpr int kLabelWidth = 160, kLabelHeight = 16;

struct Button {
  int number;
  Rect rect;
};
constexpr Button kButtons[] = {{1, {718, 0, 84, 32}},
                               {2, {705, 517, 80, 80}},
                               {3, {558, 545, 128, 45}},
                               {7, {609, 38, 125, 46}}};
const Rect* ButtonRect(int number) {
  for (const Button& b : kButtons) {
    if (b.number == number) return &b.rect;
  }
  return nullptr;
}

// dest gets src's rectangle r at the same place, clipped to both.
void CopyRect(Surface& dest, const Surface& src, const Rect& r) {
  const int x0 = std::max({r.x, 0});
  const int y0 = std::max({r.y, 0});
  const int x1 = std::min({r.x + r.w, dest.Width(), src.Width()});
  const int y1 = std::min({r.y + r.h, dest.Height(), src.Height()});
  if (x1 <= x0 || y1 <= y0) return;
  for (int y = y0; y < y1; ++y) {
    std::memcpy(dest.Row(y) + x0 * 3, src.Row(y) + x0 * 3, static_cast<size_t>(x1 - x0) * 3);
  }
}

// src's rectangle r drawn at (dx, dy), clipped to both.
void CopyRectTo(Surface& dest, int dx, int dy, const Surface& src, const Rect& r) {
  for (int y = 0; y < r.h; ++y) {
    const int sy = r.y + y;
    const int ty = dy + y;
    if (sy < 0 || sy >= src.Height() || ty < 0 || ty >= dest.Height()) continue;
    int x0 = 0;
    int x1 = r.w;
    x0 = std::max({x0, -r.x, -dx});
    x1 = std::min({x1, src.Width() - r.x, dest.Width() - dx});
    if (x1 <= x0) continue;
    std::memcpy(dest.Row(ty) + (dx + x0) * 3, src.Row(sy) + (r.x + x0) * 3,
                static_cast<size_t>(x1 - x0) * 3);
  }
}

std::string Trimmed(std::string_view text) {
  size_t b = 0;
  size_t e = text.size();
  while (b < e && (text[b] == ' ' || text[b] == '\t' || text[b] == '\r')) ++b;
  while (e > b && (text[e - 1] == ' ' || text[e - 1] == '\t' || text[e - 1] == '\r')) --e;
  return std::string(text.substr(b, e - b));
}

// The configuration text's lines, each up to its 0 byte.
std::vector<std::string> Lines(std::span<const uint8_t> text) {
  std::vector<std::string> lines;
  size_t pos = 0;
  while (pos < text.size()) {
    const auto begin = text.begin() + static_cast<std::ptrdiff_t>(pos);
    const auto end = std::find(begin, text.end(), uint8_t{0});
    lines.emplace_back(begin, end);
    pos = static_cast<size_t>(end - text.begin()) + 1;
  }
  return lines;
}

// The first field of a command's argument: up to a comma or a blank.
std::string FirstField(const std::string& text) {
  return text.substr(0, text.find_first_of(", "));
}

// Box-averaged 5:1, or sampled when the picture is not the screen's size.
void ScaleDown(const Surface& src, Surface& out) {
  out.Resize(kPreview.w, kPreview.h);
  if (src.Empty()) {
    out.Fill(0, 0, 0);
    return;
  }
  const bool exact = src.Width() == kPreview.w * 5 && src.Height() == kPreview.h * 5;
  for (int y = 0; y < kPreview.h; ++y) {
    uint8_t* o = out.Row(y);
    for (int x = 0; x < kPreview.w; ++x) {
      if (exact) {
        int sum[3] = {0, 0, 0};
        for (int dy = 0; dy < 5; ++dy) {
          const uint8_t* p = src.Row(y * 5 + dy) + x * 15;
          for (int dx = 0; dx < 5; ++dx) {
            for (int c = 0; c < 3; ++c) sum[c] += p[dx * 3 + c];
          }
        }
        for (int c = 0; c < 3; ++c) o[x * 3 + c] = static_cast<uint8_t>(sum[c] / 25);
      } else {
        const int sx = x * src.Width() / kPreview.w;
        const int sy = y * src.Height() / kPreview.h;
        std::memcpy(o + x * 3, src.Row(sy) + sx * 3, 3);
      }
    }
  }
}

}  // namespace

FlashbackList ParseFlashbackList(std::span<const uint8_t> text,
                                 std::vector<std::string>* problems) {
  FlashbackList list;
  bool listing = false;
  bool tooManyCategories = false;
  bool tooManySubPages = false;
  bool tooManyLines = false;
  int count = 0;
  const auto add = [&](std::string display, std::string script) {
    if (list.display.size() >= static_cast<size_t>(kFlashbackLines)) {
      tooManyLines = true;
      return;
    }
    list.display.push_back(std::move(display));
    list.scripts.push_back(std::move(script));
  };
  for (const std::string& raw : Lines(text)) {
    const std::string line = UpperSjis(Trimmed(raw));
    if (line.empty()) continue;
    if (line == ":END") {
      if (listing) add(line, "");
      break;
    }
    if (!listing) {
      if (line == ":SETTING") {
        count = 0;
        continue;
      }
      if (line[0] != ':') {
        if (count >= kFlashbackCategories) {
          tooManyCategories = true;
          continue;
        }
        std::vector<std::string> names;
        size_t start = 0;
        while (start <= line.size()) {
          const size_t comma = line.find(',', start);
          const size_t end = comma == std::string::npos ? line.size() : comma;
          if (names.size() >= static_cast<size_t>(kFlashbackSubPages)) {
            tooManySubPages = true;
            break;
          }
          names.push_back(Trimmed(std::string_view(line).substr(start, end - start)));
          start = end + 1;
        }
        if (static_cast<size_t>(count) < list.categories.size()) {
          list.categories[static_cast<size_t>(count)] = std::move(names);
        } else {
          list.categories.push_back(std::move(names));
        }
        count += 1;
        continue;
      }
      listing = true;
    }
    if (line[0] == ':' || line[0] == '*') {
      add(line, "");
      continue;
    }
    const size_t comma = line.find(',');
    if (comma == std::string::npos) {
      add(line, "");
      continue;
    }
    const size_t next = line.find(',', comma + 1);
    add(Trimmed(std::string_view(line).substr(0, comma)),
        Trimmed(std::string_view(line).substr(
            comma + 1, next == std::string::npos ? std::string::npos : next - comma - 1)));
  }
  if (problems) {
    if (tooManyCategories) {
      problems->push_back("more than " + std::to_string(kFlashbackCategories) +
                          " categories; the rest are left out");
    }
    if (tooManySubPages) {
      problems->push_back("a category names more than " + std::to_string(kFlashbackSubPages) +
                          " sub-pages; the rest are left out");
    }
    if (tooManyLines) {
      problems->push_back("more than " + std::to_string(kFlashbackLines) +
                          " list lines; the rest are left out");
    }
  }
  return list;
}

void DropOnPlaylist(Playlist& list, int fromRow, int32_t scene, int targetRow) {
  if (targetRow >= kPlaylistRows) targetRow = -1;
  if (fromRow >= 0 && fromRow < kPlaylistLength) {
    std::copy(list.begin() + fromRow + 1, list.end(), list.begin() + fromRow);
    list.back() = 0;
    if (targetRow > fromRow) targetRow -= 1;
  } else if (targetRow < 0) {
    return;
  }
  if (targetRow >= 0 && scene != 0) {
    if (list[static_cast<size_t>(targetRow)] != 0) {
      for (int i = kPlaylistRows - 1; i > targetRow; --i) {
        list[static_cast<size_t>(i)] = list[static_cast<size_t>(i - 1)];
      }
      list[static_cast<size_t>(targetRow)] = scene;
    } else {
      const auto end = std::find(list.begin(), list.begin() + kPlaylistRows, 0);
      if (end != list.begin() + kPlaylistRows) *end = scene;
    }
  }
  const auto firstEmpty = std::find(list.begin(), list.end(), 0);
  std::fill(firstEmpty, list.end(), 0);
}

Recollection::Recollection(EngineState& state, Screen& screen, PictureLoader& pictures,
                           ScriptLoader& loader, Layers& layers, SystemText& text,
                           Platform& platform, RecollectionPlaylists& playlists,
                           RecollectionHooks hooks)
    : s_(state),
      screen_(screen),
      pictures_(pictures),
      loader_(loader),
      layers_(layers),
      text_(text),
      platform_(platform),
      playlists_(playlists),
      hooks_(std::move(hooks)) {}

void Recollection::Register(CommandTable& table) {
  table.Register(kKaisou, [this](const char*) {
    OpenRecollection();
    return 1;
  });
}

void Recollection::ReadRecollectionList() {
  SetList({});
  if (!loader_.LoadScript("sys_flashbak", kLoadConfig)) return;
  std::vector<std::string> problems;
  SetList(ParseFlashbackList(loader_.ConfigText(), &problems));
  for (const std::string& p : problems) LogMessage("sys_flashbak: " + p);
}

void Recollection::SetList(FlashbackList list) {
  list_ = std::move(list);
  drawnPages_.clear();
  codes_.clear();
  codes_.reserve(list_.display.size());
  for (const std::string& line : list_.display) codes_.push_back(SjisToCodePoints(line));
}

void Recollection::UnlockScene(const std::string& upperName) {
  if (upperName.empty()) return;
  const auto found = std::find(list_.scripts.begin(), list_.scripts.end(), upperName);
  if (found == list_.scripts.end()) return;
  const auto a = found - list_.scripts.begin();
  s_.vars.unlocked.Set(a);
  // The heading above the scene on its own sub-page: a bare "*" only starts a row and is passed
  // over, and the walk ends at the sub-page's label rather than light a heading of another page.
  for (auto b = a - 1; b >= 0; --b) {
    const std::string& line = list_.display[static_cast<size_t>(b)];
    if (!line.empty() && line[0] == ':') return;
    if (line.size() > 1 && line[0] == '*') {
      s_.vars.unlocked.Set(b);
      return;
    }
  }
}

int Recollection::CategoryCount() const {
  return static_cast<int>(std::min<size_t>(list_.categories.size(), kFlashbackCategories));
}

int Recollection::SubPageCount(int category) const {
  if (category < 0 || category >= CategoryCount()) return 0;
  return static_cast<int>(list_.categories[static_cast<size_t>(category)].size());
}

const std::string& Recollection::SceneText(int32_t scene) const {
  static const std::string kNone;
  if (scene <= 0 || static_cast<size_t>(scene) >= list_.display.size()) return kNone;
  return list_.display[static_cast<size_t>(scene)];
}

std::u32string_view Recollection::SceneCodes(int32_t scene) const {
  if (scene <= 0 || static_cast<size_t>(scene) >= codes_.size()) return {};
  return codes_[static_cast<size_t>(scene)];
}

bool Recollection::Unlocked(int32_t scene) const {
  return s_.vars.unlocked.Test(scene);
}

// Opening and drawing ------------------------------------------------------------------------

void Recollection::OpenRecollection() {
  for (auto [name, picture] : {std::pair{"ss_kaiso", &menu_}, std::pair{"ss_kaiso2", &menuLit_},
                               std::pair{"ss_kaiso_p", &strip_}}) {
    if (!pictures_.LoadPicture(name, *picture)) {
      LogMessage(std::string("recollection: the picture ") + name + " is missing");
      picture->Resize(0, 0);
    }
  }
  label_.Resize(kLabelWidth, kLabelHeight);
  previewShown_.Resize(kPreview.w, kPreview.h);
  panelKey_.clear();
  drawnPages_.clear();
  selected_ = 0;
  category_ = 0;
  for (size_t c = 0; c < subPages_.size(); ++c) {
    subPages_[c] = std::clamp(subPages_[c], 0, std::max(0, SubPageCount(static_cast<int>(c)) - 1));
  }
  CopyField(record_.scriptName, kNameSize, s_.scriptName);
  record_.scriptPos = s_.scriptPos;
  record_.callDepth = s_.callDepth;
  std::memcpy(record_.callNames, s_.callNames, sizeof record_.callNames);
  std::memcpy(record_.callReturns, s_.callReturns, sizeof record_.callReturns);
  drag_ = {};
  preview_ = {};
  doubleClickTicks_ = 0;
  s_.screenMode = 8;
  hover_ = kHoverNone;
  DrawMenu();
  hooks_.updateToolbar();
}

void Recollection::DrawMenu() {
  // The tabs and the grid of a page drawn before, with the same scenes unlocked, come back from
  // the kept picture: a return from a replay or a step back to a page costs one copy, not the
  // grid's texts again.
  std::vector<uint8_t> unlocked;
  if (const int found = PageLabel(); found >= 0) {
    for (size_t i = static_cast<size_t>(found) + 1;
         i < list_.display.size() && i < static_cast<size_t>(found) + kGridCells; ++i) {
      unlocked.push_back(Unlocked(static_cast<int32_t>(i)) ? 1 : 0);
    }
  }
  const auto kept = std::find_if(drawnPages_.begin(), drawnPages_.end(), [&](const DrawnPage& p) {
    return p.category == category_ && p.subPage == SubPage() && p.unlocked == unlocked;
  });
  if (kept != drawnPages_.end()) {
    // Into the screen's own pixels, as the menu picture is.
    CopyView(screen_.screenSurface, kept->picture, 0, 0);
    cells_ = kept->cells;
    auto& S = s_.vars.S;
    S[kAutoLevel] = 0;
    S[kSkipLamp] = 0;
    s_.skipMode = 0;
  } else {
    DrawTabs();
    DrawGrid();
    if (drawnPages_.size() >= kKeptPages) drawnPages_.erase(drawnPages_.begin());
    drawnPages_.push_back(
        {category_, SubPage(), std::move(unlocked), screen_.screenSurface, cells_});
  }
  DrawPanel();
}

int Recollection::PageLabel() const {
  if (SubPageCount(category_) == 0) return -1;
  const std::string label =
      ":" + list_.categories[static_cast<size_t>(category_)][static_cast<size_t>(SubPage())];
  const auto found = std::find(list_.display.begin(), list_.display.end(), label);
  return found == list_.display.end() ? -1 : static_cast<int>(found - list_.display.begin());
}

void Recollection::DrawTabs() {
  Surface& screen = screen_.screenSurface;
  if (screen.Width() != kScreenWidth || screen.Height() != kScreenHeight) {
    screen.Resize(kScreenWidth, kScreenHeight);
  }
  // Row by row into the screen's own pixels: sharing the menu's would cost a fresh copy at the
  // first write of every redraw.
  CopyView(screen, menu_, 0, 0);
  CopyRect(screen, menuLit_, TabRect(category_));
  const int pages = SubPageCount(category_);
  if (pages >= 2) {
    for (int k = 0; k < pages; ++k) {
      const Rect b = StripButton(k);
      CopyRectTo(screen, b.x, b.y, strip_, {0, 46 * k, 20, 46});
    }
    const int k = SubPage();
    const Rect b = StripButton(k);
    CopyRectTo(screen, b.x, b.y, strip_, {20, 46 * k, 20, 46});
  }
  auto& S = s_.vars.S;
  S[kAutoLevel] = 0;
  S[kSkipLamp] = 0;
  s_.skipMode = 0;
}

void Recollection::DrawGrid() {
  cells_.fill(0);
  Surface& screen = screen_.screenSurface;
  const int found = PageLabel();
  if (found < 0) return;
  int cell = 0;
  const auto drawText = [&](int c, std::u32string_view text, bool bold) {
    const Rect r = CellRect(c);
    text_.Draw(screen, r.x + 1, r.y + 1, text, kFace, 11, TextColour{0, 0, 0}, bold);
    text_.Draw(screen, r.x, r.y, text, kFace, 11, TextColour{255, 255, 255}, bold);
  };
  const size_t first = static_cast<size_t>(found) + 1;
  for (size_t i = first; i < list_.display.size() && i < first + kGridCells - 1; ++i) {
    if (cell >= kGridCells) break;
    const std::string& line = list_.display[i];
    if (!line.empty() && line[0] == ':') break;
    const auto scene = static_cast<int32_t>(i);
    if (!line.empty() && line[0] == '*') {
      cell = (cell + kGridColumns - 1) / kGridColumns * kGridColumns;
      if (cell >= kGridCells) break;
      const std::u32string_view heading = SceneCodes(scene).substr(1);
      if (Unlocked(scene)) drawText(cell, heading, true);
      if (!heading.empty()) cell += kGridColumns;
      continue;
    }
    if (Unlocked(scene)) {
      drawText(cell, SceneCodes(scene), false);
      cells_[static_cast<size_t>(cell)] = scene;
    }
    cell += 1;
  }
}

void Recollection::DrawPanel() {
  Surface& screen = screen_.screenSurface;
  CopyRect(screen, menu_, kSelectorArea);
  CopyRect(screen, menuLit_, SelectorRect(selected_));
  auto& name = playlists_.names[static_cast<size_t>(selected_)];
  if (name[0] == 0) std::snprintf(name.data(), name.size(), "Record Slot %d", selected_ + 1);
  // The panel and the name are drawn on their own pictures, again only when what they show
  // changed: a hover, a press or a return from a replay puts back the same texts.
  std::vector<int32_t> key(Selected().begin(), Selected().begin() + kPlaylistRows);
  key.push_back(selected_);
  key.insert(key.end(), name.begin(), name.end());
  if (key != panelKey_) {
    panelKey_ = std::move(key);
    nameArea_.Resize(kNameArea.w, kNameArea.h);
    CopyView(nameArea_, menu_, kNameArea.x, kNameArea.y);
    text_.Draw(nameArea_, 428 - kNameArea.x, 108 - kNameArea.y,
               std::string_view(name.data(), strnlen(name.data(), name.size())), kFace, 22,
               TextColour{255, 255, 255});
    panel_.Resize(kPanel.w, kPanel.h);
    CopyView(panel_, menu_, kPanel.x, kPanel.y);
    const Playlist& list = Selected();
    for (int i = 0; i < kPlaylistRows && list[static_cast<size_t>(i)] != 0; ++i) {
      const Rect r = EntryRect(i);
      text_.Draw(panel_, r.x - kPanel.x, r.y - kPanel.y, SceneCodes(list[static_cast<size_t>(i)]),
                 kFace, 12, TextColour{255, 255, 255});
    }
  }
  Paste(screen, nameArea_, kNameArea.x, kNameArea.y);
  Paste(screen, panel_, kPanel.x, kPanel.y);
  Rehover();
  Show();
}

void Recollection::Rehover() {
  hover_ = drag_.active ? hover_ : HoverAt(pointerX_, pointerY_);
  if (hover_ != kHoverNone && !drag_.active) ShowHighlight(hover_);
}

void Recollection::Show() {
  if (!drag_.active && !preview_.shown) {
    platform_.Present(screen_.screenSurface);
    return;
  }
  Surface shown = screen_.screenSurface;
  if (preview_.shown) Paste(shown, previewShown_, kPreview.x, kPreview.y);
  if (drag_.active) Paste(shown, label_, drag_.labelX, drag_.labelY);
  platform_.Present(shown);
}

// Hover ----------------------------------------------------------------------------------------

int Recollection::HoverAt(int x, int y) const {
  if (kGridArea.Contains(x, y)) {
    const int c = (x - kGridLeft) / kCellWidth + kGridColumns * ((y - kGridTop) / kCellHeight);
    if (cells_[static_cast<size_t>(c)] != 0) return kHoverCell + c;
  }
  if (kPanelRows.Contains(x, y)) {
    const int row = (y - kPanelRows.y) / kRowHeight;
    if (row < kPlaylistRows &&
        playlists_.entries[static_cast<size_t>(selected_)][static_cast<size_t>(row)] != 0) {
      return kHoverEntry + row;
    }
  }
  for (const Button& b : kButtons) {
    if (b.rect.Contains(x, y)) return kHoverButton + b.number;
  }
  if (kSelectorArea.Contains(x, y)) {
    const int k = (x - kSelectorArea.x) / 36 + 5 * ((y - kSelectorArea.y) / 40);
    if (k != selected_) return kHoverSelector + k;
  }
  return kHoverNone;
}

void Recollection::ShowHighlight(int code) {
  Surface& screen = screen_.screenSurface;
  if (code >= kHoverCell) {
    const int c = code - kHoverCell;
    const Rect r = CellRect(c);
    text_.Draw(screen, r.x, r.y, SceneCodes(cells_[static_cast<size_t>(c)]), kFace, 11,
               TextColour{0, 255, 0});
  } else if (code >= kHoverSelector) {
    CopyRect(screen, menuLit_, SelectorRect(code - kHoverSelector));
  } else if (code >= kHoverButton) {
    if (const Rect* r = ButtonRect(code - kHoverButton)) CopyRect(screen, menuLit_, *r);
  } else if (code >= kHoverEntry) {
    const int row = code - kHoverEntry;
    const Rect r = EntryRect(row);
    text_.Draw(screen, r.x, r.y, SceneCodes(Selected()[static_cast<size_t>(row)]), kFace, 12,
               TextColour{0, 0, 255});
  }
}

void Recollection::RemoveHighlight(int code) {
  Surface& screen = screen_.screenSurface;
  if (code >= kHoverCell) {
    // Only the menu's own picture lies under a cell's text: the sub-page strip, which the last
    // column's cells reach, starts at x 520.
    const int c = code - kHoverCell;
    Rect r = CellRect(c);
    r.w = std::min(r.w, 520 - r.x);
    CopyRect(screen, menu_, r);
    const std::u32string_view text = SceneCodes(cells_[static_cast<size_t>(c)]);
    const Rect cell = CellRect(c);
    text_.Draw(screen, cell.x + 1, cell.y + 1, text, kFace, 11, TextColour{0, 0, 0});
    text_.Draw(screen, cell.x, cell.y, text, kFace, 11, TextColour{255, 255, 255});
  } else if (code >= kHoverSelector) {
    CopyRect(screen, menu_, SelectorRect(code - kHoverSelector));
  } else if (code >= kHoverButton) {
    if (const Rect* r = ButtonRect(code - kHoverButton)) CopyRect(screen, menu_, *r);
  } else if (code >= kHoverEntry) {
    const Rect r = EntryRect(code - kHoverEntry);
    CopyRectTo(screen, r.x, r.y, panel_, {r.x - kPanel.x, r.y - kPanel.y, r.w, r.h});
  }
}

void Recollection::ScreenMouseMove(int x, int y) {
  pointerX_ = x;
  pointerY_ = y;
  if (drag_.active) {
    drag_.labelX = x - drag_.grabX;
    drag_.labelY = y - drag_.grabY;
    Show();
    return;
  }
  const int code = HoverAt(x, y);
  if (code == hover_) return;
  RemoveHighlight(hover_);
  hover_ = code;
  ShowHighlight(hover_);
  Show();
}

// Presses, drags and drops ----------------------------------------------------------------------

void Recollection::MakeLabel(int32_t scene) {
  label_.Resize(kLabelWidth, kLabelHeight);
  label_.Fill(128, 128, 128);
  text_.Draw(label_, 3, 3, SceneCodes(scene), kFace, 12, TextColour{0, 0, 0});
  text_.Draw(label_, 2, 2, SceneCodes(scene), kFace, 12, TextColour{255, 255, 255});
}

void Recollection::ScreenClick(MouseButton button, int x, int y) {
  const bool left = button == MouseButton::kLeft;
  const bool right = button == MouseButton::kRight;
  if (preview_.running) StopPreview();
  // A press without a move before it (a key, a touch) points where it lands.
  if (x != pointerX_ || y != pointerY_) ScreenMouseMove(x, y);

  for (int c = 0; c < CategoryCount(); ++c) {
    if (left && c != category_ && TabRect(c).Contains(x, y)) {
      category_ = c;
      DrawMenu();
      return;
    }
  }
  const int pages = SubPageCount(category_);
  if (pages >= 2 && x >= 520 && x < 540 && y >= 402) {
    const int k = (y - 402) / 46;
    if (k < pages) {
      subPages_[static_cast<size_t>(category_)] = k;
      DrawMenu();
      return;
    }
  }
  const bool onCell = hover_ >= kHoverCell;
  const bool onEntry = hover_ >= kHoverEntry && hover_ < kHoverEntry + kPlaylistRows;
  const auto hoveredScene = [&]() -> int32_t {
    if (onCell) return cells_[static_cast<size_t>(hover_ - kHoverCell)];
    return Selected()[static_cast<size_t>(hover_ - kHoverEntry)];
  };
  if (left && doubleClickTicks_ > 0 && (onCell || onEntry)) {
    doubleClickTicks_ = 0;
    PlayScene(hoveredScene());
    return;
  }
  if (right && (onCell || onEntry)) {
    StartPreview(hoveredScene());
    return;
  }
  if (!left) return;
  if (onCell || onEntry) {
    const Rect r = onCell ? CellRect(hover_ - kHoverCell) : EntryRect(hover_ - kHoverEntry);
    drag_.active = true;
    drag_.fromRow = onCell ? -1 : hover_ - kHoverEntry;
    drag_.scene = hoveredScene();
    drag_.grabX = x - r.x;
    drag_.grabY = y - r.y;
    drag_.labelX = r.x;
    drag_.labelY = r.y;
    MakeLabel(drag_.scene);
    doubleClickTicks_ = kDoubleClickTicks;
    Show();
    return;
  }
  switch (hover_) {
    case kHoverButton + 1:
      LeaveMenu();
      return;
    case kHoverButton + 2:
      PlayPlaylist();
      return;
    case kHoverButton + 3:
      Selected().fill(0);
      DrawPanel();
      return;
    case kHoverButton + 7:
      Rename();
      return;
    default:
      break;
  }
  if (hover_ >= kHoverSelector && hover_ < kHoverSelector + kPlaylistCount) {
    selected_ = hover_ - kHoverSelector;
    DrawPanel();
  }
}

void Recollection::ScreenMouseUp(int x, int y) {
  if (!drag_.active) return;
  drag_.active = false;
  const int dropX = x - drag_.grabX + 50;
  const int dropY = y - drag_.grabY + 10;
  const int row = kPanelRows.Contains(dropX, dropY) ? (dropY - kPanelRows.y) / kRowHeight : -1;
  DropOnPlaylist(Selected(), drag_.fromRow, drag_.scene, row);
  pointerX_ = x;
  pointerY_ = y;
  // Whatever lay highlighted went with the drag; the panel and the hover are drawn anew.
  RemoveHighlight(hover_);
  DrawPanel();
}

void Recollection::Rename() {
  auto& name = playlists_.names[static_cast<size_t>(selected_)];
  const std::string current(name.data(), strnlen(name.data(), name.size()));
  if (const auto given = hooks_.askPlaylistName(current)) {
    name.fill(0);
    CopyField(name.data(), name.size(), *given);
  }
  DrawPanel();
}

void Recollection::LeaveMenu() {
  StopPreview();
  menu_.Resize(0, 0);
  menuLit_.Resize(0, 0);
  strip_.Resize(0, 0);
  drawnPages_.clear();
  hooks_.showReplayItems(false, false);
  s_.screenMode = 0;
  hover_ = kHoverNone;
  hooks_.updateToolbar();
}

void Recollection::RecollectionTick() {
  if (doubleClickTicks_ > 0) doubleClickTicks_ -= 1;
  if (!preview_.running) return;
  if (--preview_.countdown > 0) return;
  PreviewStep();
}

// Playing --------------------------------------------------------------------------------------

void Recollection::PlayScene(int32_t scene) {
  queue_.fill(0);
  queue_[0] = scene;
  queuePos_ = 0;
  if (!StartQueued()) ReturnToMenu();
}

void Recollection::PlayPlaylist() {
  const Playlist& list = Selected();
  if (list[0] == 0) return;
  queue_.fill(0);
  for (int i = 0; i < kPlaylistRows && list[static_cast<size_t>(i)] != 0; ++i) {
    queue_[static_cast<size_t>(i)] = list[static_cast<size_t>(i)];
  }
  queuePos_ = 0;
  if (!StartQueued()) ReturnToMenu();
}

bool Recollection::StartQueued() {
  for (; queuePos_ < kPlaylistLength && queue_[static_cast<size_t>(queuePos_)] != 0; ++queuePos_) {
    const int32_t scene = queue_[static_cast<size_t>(queuePos_)];
    const std::string script = scene > 0 && static_cast<size_t>(scene) < list_.scripts.size()
                                   ? list_.scripts[static_cast<size_t>(scene)]
                                   : std::string();
    if (script.empty()) {
      LogMessage("recollection: scene " + std::to_string(scene) + " has no script; passed over");
      continue;
    }
    const std::string name = "k_" + script;
    auto bytes = loader_.ReadScript(name.c_str());
    if (!bytes) {
      LogMessage("recollection: the replay script " + SjisToUtf8(name) +
                 " is missing; passed over");
      continue;
    }
    StopPreview();
    drag_.active = false;
    s_.screenMode = 0;
    s_.replayOrigin = 2;
    s_.callDepth = 0;
    CopyField(s_.scriptName, kNameSize, name);
    hooks_.resetWaits();
    s_.textWindowOn = false;
    loader_.InstallScript(name.c_str(), std::move(*bytes), kLoadStory);
    const bool more =
        queuePos_ + 1 < kPlaylistLength && queue_[static_cast<size_t>(queuePos_ + 1)] != 0;
    hooks_.showReplayItems(more, true);
    hooks_.enableSaveItems(false);
    hover_ = kHoverNone;
    hooks_.updateToolbar();
    return true;
  }
  return false;
}

void Recollection::EndRecollectionScene(bool abandon) {
  if (s_.replayOrigin != 2) return;
  hooks_.stopLoopingEffect();
  if (!abandon) {
    queuePos_ += 1;
    if (StartQueued()) return;
  }
  ReturnToMenu();
}

void Recollection::ReturnToMenu() {
  s_.replayOrigin = 0;
  hooks_.resetWaits();
  CopyField(s_.scriptName, kNameSize, record_.scriptName);
  loader_.LoadScript(record_.scriptName, kLoadStory);
  s_.scriptPos = record_.scriptPos;
  s_.callDepth = record_.callDepth;
  std::memcpy(s_.callNames, record_.callNames, sizeof s_.callNames);
  std::memcpy(s_.callReturns, record_.callReturns, sizeof s_.callReturns);
  s_.textWindowOn = false;
  s_.screenMode = 8;
  hover_ = kHoverNone;
  DrawMenu();
  hooks_.showReplayItems(false, false);
  hooks_.music(1);
  hooks_.enableSaveItems(true);
  hooks_.updateToolbar();
}

// The scene preview ----------------------------------------------------------------------------

void Recollection::StartPreview(int32_t scene) {
  StopPreview();
  if (scene <= 0 || static_cast<size_t>(scene) >= list_.scripts.size()) return;
  const std::string& script = list_.scripts[static_cast<size_t>(scene)];
  if (script.empty() || !loader_.LoadScript(script.c_str(), kLoadConfig)) return;
  preview_.lines.clear();
  for (const std::string& raw : Lines(loader_.ConfigText())) {
    const std::string line = UpperSjis(raw);
    if (line.size() < 4) continue;
    const std::string_view word = std::string_view(line).substr(1, 3);
    if (word == "GRA" || word == "GRB" || word == "SPR") preview_.lines.push_back(line);
  }
  if (preview_.lines.empty()) return;
  preview_.running = true;
  preview_.next = 0;
  preview_.countdown = 1;
}

void Recollection::PreviewStep() {
  while (preview_.next < preview_.lines.size()) {
    const std::string& line = preview_.lines[preview_.next++];
    const std::string_view word = std::string_view(line).substr(1, 3);
    if (word == "GRB") continue;
    const std::string rest = Trimmed(line.size() > 5 ? line.substr(5) : std::string());
    bool thumbnail = false;
    if (word == "GRA") {
      const std::string name = FirstField(rest);
      if (!name.empty() && name[0] == 'A') {
        std::string thumb = name;
        thumb[0] = 'T';
        if (pictures_.PictureExists(thumb.c_str())) {
          Surface t;
          if (pictures_.LoadPicture(thumb.c_str(), t)) {
            previewShown_.Resize(kPreview.w, kPreview.h);
            CopyView(previewShown_, t, 0, 0);
            thumbnail = true;
          }
        }
        if (!thumbnail) pictures_.LoadPicture(name.c_str(), screen_.backgroundSurface);
        layers_.ClearArrangement();
      } else if (!name.empty() && name[0] == 'B') {
        layers_.LoadCharacters(rest.c_str());
      } else if (!name.empty() && name[0] == 'S') {
        layers_.FillSolid(name.c_str());
        layers_.ClearArrangement();
      }
      layers_.ComposeScene();
    } else {
      layers_.LoadCharacters(rest.c_str());
      layers_.ComposeScene();
    }
    if (!thumbnail) ScaleDown(screen_.sceneSurface, previewShown_);
    preview_.shown = true;
    preview_.countdown = kPreviewTicks;
    Show();
    return;
  }
  StopPreview();
}

void Recollection::StopPreview() {
  const bool wasShown = preview_.shown;
  preview_.running = false;
  preview_.shown = false;
  preview_.lines.clear();
  if (wasShown) Show();
}

// The state dump ---------------------------------------------------------------------------------

void Recollection::Dump(JsonWriter& j) const {
  const auto text = [](const std::array<char, 64>& field) {
    return SjisToUtf8(std::string(field.data(), strnlen(field.data(), field.size())));
  };
  j.BeginObject("recollection")
      .Number("category", category_)
      .Number("subPage", SubPage())
      .Number("selectedPlaylist", selected_)
      .Number("hover", hover_)
      .BeginArray("playlists");
  for (size_t p = 0; p < playlists_.entries.size(); ++p) {
    j.BeginObject().String("name", text(playlists_.names[p])).BeginArray("scenes");
    for (int32_t scene : playlists_.entries[p]) {
      if (scene == 0) break;
      j.Number(scene);
    }
    j.EndArray().EndObject();
  }
  j.EndArray().BeginArray("queue");
  for (int32_t scene : queue_) {
    if (scene == 0) break;
    j.Number(scene);
  }
  j.EndArray().Number("queuePosition", queuePos_).EndObject();
}

}  // namespace zorvel
