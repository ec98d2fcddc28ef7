#include "extras/gallery.h"

#include <algorithm>
#include <cstring>

#include "graphics/pixel_ops.h"
#include "platform/files.h"
#include "script/decimal.h"
#include "text/sjis.h"

namespace zorvel {

namespace {

constexpr char kDefinitionScript[] = "view";
constexpr char kCommonBlock[] = "VIEW_0";
constexpr char kFirstGallery[] = "VIEW_1";
constexpr char kContinuedGallery[] = "2_VIEW_1";
// Positions and sizes beyond any screen; keeps every sum of two of them inside an int.
constexpr int kCoordinateLimit = 1000000;
// The music room's playing track glows again every this many idle passes.
constexpr int kPulsePasses = 32;
// Full-view pans: pictures at least this tall pan vertically, else this wide horizontally.
constexpr int kTallPicture = 700;
constexpr int kWidePicture = 900;
constexpr int kPanStep = 20;
constexpr int kVerticalPanMs = 30;
constexpr int kHorizontalPanMs = 20;

// The scene-replay caption: over the page with S050 set, else white on a black band.
constexpr ViewerRect kCaptionArea = {220, 67, 600, 89};
constexpr int kCaptionHeight = 17;
constexpr ViewerRect kCaptionBand = {308, 83, 595, 107};
constexpr int kCaptionBandHeight = 19;

constexpr int kSaveAllowedReg = 28;
constexpr int kSkipLampReg = 60;
constexpr int kNovelModeReg = 150;
constexpr int kRegister4 = 4;
constexpr int kDatePanelReg = 50;

std::vector<std::string> UpperLines(std::span<const uint8_t> text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size() || text[i] == 0 || text[i] == '\n') {
      std::string line(text.begin() + static_cast<ptrdiff_t>(start),
                       text.begin() + static_cast<ptrdiff_t>(i));
      if (!line.empty() && line.back() == '\r') line.pop_back();
      lines.push_back(UpperSjis(line));
      start = i + 1;
    }
  }
  return lines;
}

std::vector<std::string> Fields(const std::string& value) {
  std::vector<std::string> out;
  size_t start = 0;
  while (true) {
    const size_t comma = value.find(',', start);
    out.push_back(
        value.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
    if (comma == std::string::npos) return out;
    start = comma + 1;
  }
}

// Field i as a number; a missing field reads as empty, which is 0.
int Number(const std::vector<std::string>& fields, size_t i) {
  if (i >= fields.size()) return 0;
  return std::clamp(ReadDecimal(fields[i].c_str()), -kCoordinateLimit, kCoordinateLimit);
}

std::string Field(const std::vector<std::string>& fields, size_t i) {
  return i < fields.size() ? fields[i] : std::string();
}

ViewerRect RectOf(const std::vector<std::string>& f) {
  return ViewerRect{Number(f, 0), Number(f, 1), Number(f, 2), Number(f, 3)};
}

bool AllDigits(std::string_view s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// "P" or "M" followed by `maxDigits` digits or fewer: the number, else -1.
int NumberedKey(std::string_view key, char letter, size_t maxDigits) {
  if (key.size() < 2 || key.size() > 1 + maxDigits || key[0] != letter) return -1;
  if (!AllDigits(key.substr(1))) return -1;
  return ReadDecimal(std::string(key.substr(1)).c_str());
}

using LineHandler = std::function<void(const std::string& key, const std::string& value)>;

// Reads one block from `pos`: "{" and empty lines are passed over, "}" ends it, KEY:VALUE lines
// go to `handle` (at most `maxLines` of them; the rest is dropped with one log line). A ":"
// line is the next viewer: the block ends before it. Returns the position after the block.
size_t ReadBlock(const std::vector<std::string>& lines, size_t pos, int maxLines,
                 const LineHandler& handle, bool& overflowLogged,
                 const std::function<void(const std::string&)>& log, const std::string& where) {
  int read = 0;
  for (; pos < lines.size(); ++pos) {
    const std::string& line = lines[pos];
    if (line.empty() || line == "{") continue;
    if (line == "}") return pos + 1;
    if (line[0] == ':') return pos;
    if (maxLines >= 0 && read >= maxLines) {
      if (!overflowLogged) {
        log(where + ": a set block holds more than " + std::to_string(maxLines) +
            " lines; the rest is ignored");
        overflowLogged = true;
      }
      continue;
    }
    read += 1;
    const size_t colon = line.find(':');
    if (colon == std::string::npos) {
      handle(line, std::string());
    } else {
      handle(line.substr(0, colon), line.substr(colon + 1));
    }
  }
  return pos;
}

size_t FindLine(const std::vector<std::string>& lines, const std::string& line) {
  return static_cast<size_t>(std::find(lines.begin(), lines.end(), line) - lines.begin());
}

// The part of a rectangle that lies on the screen; false when none does.
bool OnScreen(const ViewerRect& r, int& x, int& y, int& w, int& h) {
  x = std::max(r.x1, 0);
  y = std::max(r.y1, 0);
  w = std::min(r.x2, kScreenWidth) - x;
  h = std::min(r.y2, kScreenHeight) - y;
  return w > 0 && h > 0;
}

bool FullScreenSized(const Surface& s) {
  return s.Width() == kScreenWidth && s.Height() == kScreenHeight;
}

void CopyRect(Surface& dest, const Surface& src, int x, int y, int w, int h) {
  if (!FullScreenSized(dest) || !FullScreenSized(src)) return;
  for (int row = y; row < y + h; ++row) {
    std::memcpy(dest.Row(row) + x * 3, src.Row(row) + x * 3, static_cast<size_t>(w) * 3);
  }
}

// dest = ⌊(u(256 − a) + v·a) / 256⌋ over the rectangle, the row routine's arithmetic to the last
// byte.
void BlendRect(Surface& dest, const Surface& u, const Surface& v, int x, int y, int w, int h,
               int a) {
  if (!FullScreenSized(dest) || !FullScreenSized(u) || !FullScreenSized(v)) return;
  const int bytes = w * 3;
  const int groups = bytes / 8;
  for (int row = y; row < y + h; ++row) {
    uint8_t* out = dest.Row(row) + x * 3;
    const uint8_t* pu = u.Row(row) + x * 3;
    const uint8_t* pv = v.Row(row) + x * 3;
    if (groups > 0) BlendConstant(out, pu, pv, a, groups);
    for (int i = groups * 8; i < bytes; ++i) {
      out[i] = static_cast<uint8_t>((pu[i] * (256 - a) + pv[i] * a) >> 8);
    }
  }
}

}  // namespace

bool ParseViewer(std::span<const uint8_t> text, std::string_view name, int firstNumber,
                 ViewerDefinition& out, const std::function<void(const std::string&)>& log) {
  out = ViewerDefinition{};
  const std::vector<std::string> lines = UpperLines(text);
  bool blockOverflow = false;
  bool lineOverflow = false;

  auto readLink = [&out](const std::string& key, const std::vector<std::string>& f) {
    const int d = NumberedKey(key, 'M', 1);
    if (d < 0) return false;
    ViewerRange& link = out.links[static_cast<size_t>(d)];
    link.rect = RectOf(f);
    link.from = f.size() > 4 ? Number(f, 4) : 0;
    link.to = f.size() > 4 ? Number(f, 5) : 99;
    return true;
  };

  if (const size_t common = FindLine(lines, std::string(":") + kCommonBlock);
      common < lines.size()) {
    ReadBlock(
        lines, common + 1, -1,
        [&](const std::string& key, const std::string& value) {
          if (!key.empty() && key[0] == 'M') readLink(key, Fields(value));
        },
        blockOverflow, log, kCommonBlock);
  }

  out.name = UpperSjis(name);
  size_t pos = FindLine(lines, ":" + out.name);
  if (pos >= lines.size()) return false;

  std::string pageNormal, pageHighlight;
  for (auto& p : out.positions) p = {-999, -999};
  pos = ReadBlock(
      lines, pos + 1, -1,
      [&](const std::string& key, const std::string& value) {
        const std::vector<std::string> f = Fields(value);
        if (key == "TYPE") {
          out.type = Number(f, 0);
        } else if (key == "GRA") {
          pageNormal = Field(f, 0);
          pageHighlight = Field(f, 1);
        } else if (key == "PLATE2") {
          out.plate2 = Field(f, 0);
        } else if (key == "PLATE") {
          out.plate = Field(f, 0);
        } else if (key == "SET") {
          out.sets = std::max(Number(f, 0), 0);
          if (out.sets > kViewerMaxPages) {
            log(out.name + ": SET " + std::to_string(out.sets) + " is more than " +
                std::to_string(kViewerMaxPages) + " pages; the rest is ignored");
            out.sets = kViewerMaxPages;
          }
        } else if (key == "MUSIC") {
          out.music = Number(f, 0);
        } else if (key == "THM_SIZE") {
          out.thumbWidth = Number(f, 0);
          out.thumbHeight = Number(f, 1);
        } else if (key == "NEXT") {
          out.next = RectOf(f);
        } else if (key == "PREV") {
          out.prev = RectOf(f);
        } else if (key == "EXIT") {
          out.exitButton = RectOf(f);
        } else if (const int n = NumberedKey(key, 'P', 2); n >= 0) {
          if (n >= kViewerTabs) return;
          ViewerRange& tab = out.tabs[static_cast<size_t>(n)];
          tab.rect = RectOf(f);
          tab.from = f.size() > 4 ? Number(f, 4) : 0;
          tab.to = f.size() > 4 ? Number(f, 5) : 99;
          tab.target = f.size() > 6 ? Number(f, 6) : n;
        } else if (readLink(key, f)) {
        } else if (AllDigits(key)) {
          const int n = ReadDecimal(key.c_str());
          if (n > kViewerEntries) return;
          out.positions[static_cast<size_t>(n)] = {Number(f, 0), Number(f, 1)};
        }
      },
      blockOverflow, log, out.name);

  out.pages.resize(static_cast<size_t>(std::max(out.sets, 1)));
  out.pages[0].normal = pageNormal;
  out.pages[0].highlight = pageHighlight;
  int number = firstNumber;
  for (int p = 0; p < out.sets && pos < lines.size(); ++p) {
    ViewerPage& page = out.pages[static_cast<size_t>(p)];
    pos = ReadBlock(
        lines, pos, kViewerLinesPerBlock,
        [&](const std::string& key, const std::string& value) {
          if (key == "GRA") {
            const std::vector<std::string> f = Fields(value);
            page.normal = Field(f, 0);
            page.highlight = Field(f, 1);
            return;
          }
          if (!AllDigits(key) || out.type == 3) return;
          const int n = ReadDecimal(key.c_str());
          if (n > kViewerEntries) return;
          ViewerEntry& e = page.entries[static_cast<size_t>(n)];
          std::vector<std::string> f = Fields(value);
          e = ViewerEntry{};
          e.defined = true;
          switch (out.type) {
            case 0:
              if (f.size() > static_cast<size_t>(kViewerNamesPerLine)) {
                if (!lineOverflow) {
                  log(out.name + ": a line names more than " + std::to_string(kViewerNamesPerLine) +
                      " pictures; the rest is ignored");
                  lineOverflow = true;
                }
                f.resize(kViewerNamesPerLine);
              }
              for (const std::string& picture : f) {
                if (picture.empty()) continue;
                e.pictures.push_back(picture);
                e.numbers.push_back(number++);
                out.numbered.push_back(picture);
              }
              break;
            case 1: {
              e.flag = Number(f, 0);
              const std::string target = Field(f, 1);
              const size_t colon = target.find(':');
              e.script = target.substr(0, colon);
              if (colon != std::string::npos) e.label = target.substr(colon + 1);
              e.caption = Field(f, 2);
              break;
            }
            case 2:
              e.caption = Field(f, 0);
              break;
            default:
              break;
          }
        },
        blockOverflow, log, out.name);
    // The next viewer's line: this one has fewer set blocks than it says.
    if (pos < lines.size() && !lines[pos].empty() && lines[pos][0] == ':') break;
  }
  out.nextNumber = number;
  return true;
}

Gallery::Gallery(EngineState& state, Screen& screen, const GameConfig& config,
                 const Settings& settings, ScriptLoader& loader, PictureLoader& pictures,
                 SystemText& systemText, FrameClock& clock, Platform& platform, GalleryHooks hooks)
    : s_(state),
      screen_(screen),
      config_(config),
      settings_(settings),
      loader_(loader),
      pictures_(pictures),
      systemText_(systemText),
      clock_(clock),
      platform_(platform),
      hooks_(std::move(hooks)) {}

void Gallery::Register(CommandTable& table) {
  table.Register(kViewer, [this](const char* arg) { return Viewer(arg); });
}

int Gallery::Viewer(const char* arg) {
  std::string name(arg);
  while (!name.empty() && (name.back() == ' ' || name.back() == '\t')) name.pop_back();
  OpenViewer(name.c_str());
  return 1;
}

bool Gallery::ReadDefinition(const std::string& name, int firstNumber,
                             ViewerDefinition& out) const {
  const auto text = loader_.ReadScript(kDefinitionScript);
  if (!text) {
    out = ViewerDefinition{};
    return false;
  }
  return ParseViewer(*text, name, firstNumber, out,
                     [](const std::string& message) { LogMessage("view: " + message); });
}

// Start-up ----------------------------------------------------------------------------------

void Gallery::CreatePictureList() {
  pictureList_.clear();
  firstIndex_.clear();
  continuedFrom_ = 0;
}

void Gallery::ReadConfiguration(const char* name) {
  const std::string upper = UpperSjis(name);
  ViewerDefinition def;
  if (!ReadDefinition(upper, static_cast<int>(pictureList_.size()), def)) return;
  for (const std::string& picture : def.numbered) {
    pictureList_.push_back(picture);
    firstIndex_.emplace(picture, static_cast<int>(pictureList_.size()) - 1);
  }
  // The second gallery numbers its pictures after the first one's.
  if (upper == kFirstGallery) {
    continuedFrom_ = static_cast<int>(pictureList_.size());
    ReadConfiguration(kContinuedGallery);
  }
}

int Gallery::PictureIndex(const std::string& upperName) const {
  const auto it = firstIndex_.find(upperName);
  return it == firstIndex_.end() ? -1 : it->second;
}

bool Gallery::Seen(const std::string& picture, int number) const {
  if (s_.vars.seen.Test(number)) return true;
  // Showing a picture sets the bit of its first place in the list: an entry that names it again
  // (a page of favourites, a picture in two entries) has seen it too.
  const int first = PictureIndex(picture);
  return first >= 0 && s_.vars.seen.Test(first);
}

// Opening and drawing ---------------------------------------------------------------------------

void Gallery::OpenViewer(const char* name) {
  hooks_.enableSaveItems(false);
  const std::string upper = UpperSjis(name);
  ViewerDefinition def;
  if (!ReadDefinition(upper, upper == kContinuedGallery ? continuedFrom_ : 0, def)) {
    LogMessage("viewer " + SjisToUtf8(upper) + ": no such viewer in \"view\"");
    // The links are the common block's again, whatever else stays.
    def_.links = def.links;
    return;
  }
  s_.vars.S[kSavePermission] = 2;
  hooks_.updateToolbar();
  def_ = std::move(def);
  ComputeStates();
  if (def_.type != 3) hooks_.music(def_.music);
  plate_ = Surface();
  plate2_ = Surface();
  if (!def_.plate.empty()) pictures_.LoadPicture(def_.plate.c_str(), plate_);
  if (!def_.plate2.empty()) pictures_.LoadPicture(def_.plate2.c_str(), plate2_);
  page_ = 0;
  fullView_ = false;
  fullViewName_.clear();
  playing_ = 0;
  lastTrack_ = 0;
  hover_ = 0;
  s_.screenMode = kViewerScreenMode;
  DrawPage();
}

void Gallery::ComputeStates() {
  for (ViewerPage& page : def_.pages) {
    for (int n = 1; n <= kViewerEntries; ++n) {
      ViewerEntry& e = page.entries[static_cast<size_t>(n)];
      switch (def_.type) {
        case 0: {
          if (!e.defined || e.numbers.empty()) {
            e.state = e.defined ? 1 : 0;
            break;
          }
          size_t seen = 0;
          for (size_t i = 0; i < e.numbers.size(); ++i) {
            if (Seen(e.pictures[i], e.numbers[i])) seen += 1;
          }
          e.state = seen == 0 ? 1 : seen == e.numbers.size() ? 3 : 2;
          break;
        }
        case 1:
          e.state = !e.defined ? 0 : s_.vars.E.Test(e.flag) ? 3 : 1;
          break;
        case 2:
          e.state = e.defined ? 2 : 0;
          break;
        case 3:
          e.state = 2;
          break;
        default:
          e.state = 0;
          break;
      }
    }
  }
}

int Gallery::PageCount() const {
  return static_cast<int>(def_.pages.size());
}

const ViewerEntry& Gallery::Entry(int n) const {
  static const ViewerEntry kNone;
  if (page_ < 0 || page_ >= PageCount() || n < 0 || n > kViewerEntries) return kNone;
  return def_.pages[static_cast<size_t>(page_)].entries[static_cast<size_t>(n)];
}

void Gallery::LoadPage(const std::string& name, Surface& into) {
  if (name.empty()) return;
  Surface picture;
  // A page picture of another size sits at the top left; the screen surfaces stay screen-sized.
  if (pictures_.LoadPicture(name.c_str(), picture)) CopyView(into, picture, 0, 0);
}

void Gallery::DrawPage() {
  glow_.fill(0);
  if (page_ >= 0 && page_ < PageCount()) {
    const ViewerPage& page = def_.pages[static_cast<size_t>(page_)];
    LoadPage(page.normal, screen_.sceneSurface);
    LoadPage(page.highlight, screen_.backgroundSurface);
  }
  screen_.workSurface = screen_.backgroundSurface;
  if (def_.type != 3) {
    for (int n = 1; n <= kViewerEntries; ++n) {
      const auto& [x, y] = def_.positions[static_cast<size_t>(n)];
      switch (Entry(n).state) {
        case 1:
          if (!plate_.Empty()) DrawMaskedPair(screen_.sceneSurface, x, y, plate_);
          break;
        case 2:
          if (!plate2_.Empty()) {
            DrawMaskedPair(screen_.sceneSurface, x, y, plate2_);
            DrawMaskedPair(screen_.backgroundSurface, x, y, plate2_);
          }
          break;
        default:
          break;
      }
    }
  }
  screen_.screenSurface = screen_.sceneSurface;
  screen_.PresentScreen();
}

// Pointer -----------------------------------------------------------------------------------

bool Gallery::ItemRect(int code, ViewerRect& rect) const {
  if (code >= 1 && code <= kViewerEntries) {
    const auto& [x, y] = def_.positions[static_cast<size_t>(code)];
    rect = {x, y, x + def_.thumbWidth, y + def_.thumbHeight};
    return true;
  }
  switch (code) {
    case kHoverNext:
      rect = def_.next;
      return true;
    case kHoverPrev:
      rect = def_.prev;
      return true;
    case kHoverExit:
      rect = def_.exitButton;
      return true;
    default:
      break;
  }
  if (code >= kHoverTab && code < kHoverTab + kViewerTabs) {
    rect = def_.tabs[static_cast<size_t>(code - kHoverTab)].rect;
    return true;
  }
  return false;
}

int Gallery::HitTest(int x, int y) const {
  for (int n = 1; n < kViewerEntries; ++n) {
    const int state = Entry(n).state;
    ViewerRect r;
    if ((state == 2 || state == 3) && ItemRect(n, r) && r.Contains(x, y)) return n;
  }
  // Among the three buttons the last one listed wins.
  if (def_.exitButton.Contains(x, y)) return kHoverExit;
  if (def_.prev.Contains(x, y)) return kHoverPrev;
  if (def_.next.Contains(x, y)) return kHoverNext;
  for (int n = 0; n < kViewerTabs; ++n) {
    const ViewerRange& tab = def_.tabs[static_cast<size_t>(n)];
    if (tab.rect.Contains(x, y) && tab.OnPage(page_)) return kHoverTab + n;
  }
  // A viewer does not link to itself: its name's sixth character is its own digit.
  const char own = def_.name.size() > 5 ? def_.name[5] : 0;
  for (int d = 0; d < kViewerLinks; ++d) {
    const ViewerRange& link = def_.links[static_cast<size_t>(d)];
    if (link.rect.Contains(x, y) && link.OnPage(page_) && own != '0' + d) return kHoverLink + d;
  }
  return 0;
}

void Gallery::Highlight(int code) {
  ViewerRect r;
  int x = 0, y = 0, w = 0, h = 0;
  glow_[static_cast<size_t>(code)] = kGlowSteps;
  if (!ItemRect(code, r) || !OnScreen(r, x, y, w, h)) return;
  CopyRect(screen_.screenSurface, screen_.backgroundSurface, x, y, w, h);
  platform_.PresentRect(screen_.screenSurface, x, y, w, h);
}

void Gallery::ShowCaption(int entry) {
  const std::string& caption = Entry(entry).caption;
  const std::string& face = settings_.FontName.empty() ? config_.FONT_NAME : settings_.FontName;
  Surface& screen = screen_.screenSurface;
  const bool overPage = s_.vars.S[kDatePanelReg] != 0;
  const ViewerRect area = overPage ? kCaptionArea : kCaptionBand;
  int x = 0, y = 0, w = 0, h = 0;
  OnScreen(area, x, y, w, h);
  if (overPage) {
    CopyRect(screen, screen_.sceneSurface, x, y, w, h);
    systemText_.Draw(screen, area.x1, area.y1, caption, face, kCaptionHeight, TextColour{0, 0, 0});
  } else {
    screen.FillRect(x, y, w, h, 0, 0, 0);
    systemText_.Draw(screen, area.x1, area.y1, caption, face, kCaptionBandHeight,
                     TextColour{255, 255, 255});
  }
  platform_.PresentRect(screen, x, y, w, h);
}

void Gallery::ViewerMouseMove(int x, int y) {
  if (!Open() || fullView_ || panning_) return;
  const int hit = HitTest(x, y);
  const bool turnsPages = def_.sets != 1;
  const bool glows =
      hit != 0 && hit < kHoverLink && ((hit != kHoverNext && hit != kHoverPrev) || turnsPages);
  if (glows && (hit != hover_ || glow_[static_cast<size_t>(hit)] != kGlowSteps)) Highlight(hit);
  if (def_.type == 1 && hit >= 1 && hit < kViewerEntries && hit != hover_) ShowCaption(hit);
  hover_ = hit;
}

bool Gallery::Fading() const {
  if (!Open() || fullView_) return false;
  if (def_.type == 3 && playing_ != 0) return true;
  for (int code = 1; code < kHoverCodes; ++code) {
    if (code != hover_ && glow_[static_cast<size_t>(code)] > 0) return true;
  }
  return false;
}

void Gallery::ViewerIdle() {
  if (!Open() || fullView_) return;
  idlePasses_ += 1;
  if (def_.type == 3 && playing_ >= 1 && playing_ <= kViewerEntries &&
      idlePasses_ % kPulsePasses == 0) {
    glow_[static_cast<size_t>(playing_)] = kGlowSteps;
  }
  for (int code = 1; code < kHoverLink; ++code) {
    int& counter = glow_[static_cast<size_t>(code)];
    if (counter <= 0 || code == hover_) continue;
    counter -= 1;
    ViewerRect r;
    int x = 0, y = 0, w = 0, h = 0;
    if (!ItemRect(code, r) || !OnScreen(r, x, y, w, h)) continue;
    BlendRect(screen_.screenSurface, screen_.sceneSurface, screen_.backgroundSurface, x, y, w, h,
              counter * 8);
    platform_.PresentRect(screen_.screenSurface, x, y, w, h);
  }
}

// Clicks ------------------------------------------------------------------------------------

void Gallery::ViewerClick(MouseButton button, int x, int y) {
  if (!Open() || panning_) return;
  if (button == MouseButton::kRight) {
    if (fullView_) LeaveFullView();
    return;
  }
  if (button != MouseButton::kLeft) return;
  // A press lands where the pointer is, moved there or not.
  if (!fullView_) ViewerMouseMove(x, y);
  const int code = hover_;
  const bool entry = code >= 1 && code < kViewerEntries;
  if (code >= kHoverLink && code < kHoverLink + kViewerLinks) {
    FreePictures();
    OpenViewer(("VIEW_" + std::to_string(code - kHoverLink)).c_str());
    return;
  }
  if (code >= kHoverTab && code < kHoverTab + kViewerTabs) {
    const int target = def_.tabs[static_cast<size_t>(code - kHoverTab)].target;
    if (target < 0 || target >= PageCount()) {
      LogMessage("viewer " + SjisToUtf8(def_.name) + ": tab " + std::to_string(code - kHoverTab) +
                 " goes to page " + std::to_string(target) + ", which it does not have");
      return;
    }
    page_ = target;
    DrawPage();
    return;
  }
  const int type = def_.type;
  if (type == 0 && fullView_) {
    ShowNextPicture();
    return;
  }
  if (type == 0 && entry) {
    fullEntry_ = code;
    pictureIndex_ = 0;
    panState_ = 0;
    fullView_ = true;
    ShowNextPicture();
    return;
  }
  if (type >= 0 && type <= 2) {
    switch (code) {
      case kHoverNext:
        page_ = page_ + 1 >= PageCount() ? 0 : page_ + 1;
        DrawPage();
        return;
      case kHoverPrev:
        page_ = page_ <= 0 ? PageCount() - 1 : page_ - 1;
        DrawPage();
        return;
      case kHoverExit:
        CloseViewer(false);
        return;
      default:
        break;
    }
  }
  if (type == 1 && entry) {
    StartReplay(code);
  } else if (type == 2 && entry) {
    // The playing track keeps its highlighted look; the previous one loses it.
    ViewerRect r;
    int rx = 0, ry = 0, rw = 0, rh = 0;
    screen_.screenSurface = screen_.sceneSurface;
    if (ItemRect(code, r) && OnScreen(r, rx, ry, rw, rh)) {
      CopyRect(screen_.screenSurface, screen_.workSurface, rx, ry, rw, rh);
    }
    screen_.PresentScreen();
    hooks_.music(code);
    playing_ = code;
  } else if (type == 3) {
    if (entry) {
      playing_ = lastTrack_ = code;
      hooks_.music(code);
    } else if (code == kHoverNext) {
      if (playing_ == 0) {
        playing_ = lastTrack_;
        hooks_.music(lastTrack_);
      }
    } else if (code == kHoverPrev) {
      playing_ = 0;
      hooks_.music(0);
    } else if (code == kHoverExit) {
      CloseViewer(true);
    }
  }
}

void Gallery::FreePictures() {
  plate_ = Surface();
  plate2_ = Surface();
  fullPicture_ = Surface();
  fullViewName_.clear();
  fullView_ = false;
}

void Gallery::CloseViewer(bool musicRoom) {
  hooks_.music(0);
  hooks_.enableSaveItems(true);
  FreePictures();
  hover_ = 0;
  playing_ = 0;
  s_.screenMode = 0;
  if (musicRoom) return;
  s_.replayOrigin = 0;
  s_.vars.S[kSavePermission] = 1;
  hooks_.updateToolbar();
}

// Full view -----------------------------------------------------------------------------------

void Gallery::ShowNextPicture() {
  const ViewerEntry& e = Entry(fullEntry_);
  const int count = static_cast<int>(e.pictures.size());
  int found = -1;
  for (int k = 0; k < count && found < 0; ++k) {
    const int i = (pictureIndex_ + k) % count;
    if (Seen(e.pictures[static_cast<size_t>(i)], e.numbers[static_cast<size_t>(i)])) found = i;
  }
  if (found < 0) {
    // Nothing of it is seen (bits cleared since the page was drawn): back to the page.
    LeaveFullView();
    return;
  }
  pictureIndex_ = found + 1 >= count ? 0 : found + 1;
  const std::string& name = e.pictures[static_cast<size_t>(found)];
  Surface picture;
  if (!pictures_.LoadPicture(name.c_str(), picture)) return;
  fullPicture_ = std::move(picture);
  fullViewName_ = name;
  const int w = fullPicture_.Width();
  const int h = fullPicture_.Height();
  const bool vertical = h >= kTallPicture;
  if (!vertical && w < kWidePicture) {
    ShowView(0, 0);
    return;
  }
  const int far = vertical ? h - kScreenHeight : w - kScreenWidth;
  switch (panState_) {
    case 0:
      if (vertical) {
        ShowView(0, far);
      } else {
        ShowView(far, 0);
      }
      panState_ = 1;
      break;
    case 1:
      Pan(vertical, far, 0);
      panState_ = 2;
      break;
    default:
      Pan(vertical, 0, far);
      panState_ = 1;
      break;
  }
}

void Gallery::ShowView(int ox, int oy) {
  CopyView(screen_.screenSurface, fullPicture_, ox, oy);
  screen_.PresentScreen();
}

void Gallery::Pan(bool vertical, int from, int to) {
  panning_ = true;
  clock_.StartFrameClock();
  int offset = from;
  auto show = [&] {
    ShowView(vertical ? 0 : offset, vertical ? offset : 0);
    platform_.Flush();
  };
  show();
  while (offset != to && hooks_.running()) {
    const int64_t periods = clock_.WaitFrames(vertical ? kVerticalPanMs : kHorizontalPanMs);
    const int64_t step = std::min<int64_t>(periods * kPanStep, kCoordinateLimit);
    offset = static_cast<int>(from < to ? std::min<int64_t>(to, offset + step)
                                        : std::max<int64_t>(to, offset - step));
    show();
  }
  panning_ = false;
}

void Gallery::LeaveFullView() {
  fullView_ = false;
  fullViewName_.clear();
  fullPicture_ = Surface();
  DrawPage();
}

// Scene replays -------------------------------------------------------------------------------

void Gallery::StartReplay(int entry) {
  const ViewerEntry& e = Entry(entry);
  // The scene is read before the viewer lets go of the game: a missing one leaves it open.
  auto scene = e.script.empty() ? std::nullopt : loader_.ReadScript(e.script.c_str());
  if (!scene) {
    LogMessage("viewer " + SjisToUtf8(def_.name) + ": the scene script \"" + SjisToUtf8(e.script) +
               "\" cannot be loaded");
    return;
  }
  const std::string script = e.script;
  const std::string label = e.label;
  CopyField(record_.scriptName, kNameSize, s_.scriptName);
  record_.scriptPos = s_.scriptPos;
  record_.callDepth = s_.callDepth;
  std::memcpy(record_.callNames, s_.callNames, sizeof record_.callNames);
  // The returns too: a call in the scene writes over them, and the game's own calls must still
  // come back to where they were made.
  std::memcpy(record_.callReturns, s_.callReturns, sizeof record_.callReturns);

  auto& S = s_.vars.S;
  s_.screenMode = 0;
  s_.replayOrigin = 1;
  s_.callDepth = 0;
  CopyField(s_.scriptName, kNameSize, script);
  const char first = script[0];
  if (first == 'K' || first == 'V' || first == 'F') {
    screen_.BuildWindowBackground(settings_, config_.TXW_SIZE_X, config_.TXW_SIZE_Y);
    s_.windowPictureValid = false;
  }
  hooks_.resetWaits();
  s_.textWindowOn = false;
  S[kSkipLampReg] = 0;
  loader_.InstallScript(script.c_str(), std::move(*scene), kLoadStory);
  hooks_.enableSaveEdit(true);
  S[kSaveAllowedReg] = 1;
  hooks_.enableSaveItems(false);
  if (!label.empty()) hooks_.gotoLabel(label.c_str());
  hover_ = 0;
}

void Gallery::ReturnToViewer() {
  auto& S = s_.vars.S;
  hooks_.stopLoop();
  s_.replayOrigin = 0;
  hooks_.resetWaits();
  CopyField(s_.scriptName, kNameSize, record_.scriptName);
  if (!loader_.LoadScript(s_.scriptName, kLoadStory)) {
    LogMessage("viewer: the script " + SjisToUtf8(s_.scriptName) +
               " that opened it cannot be loaded again");
  }
  s_.scriptPos = record_.scriptPos;
  s_.needLine = true;
  s_.callDepth = record_.callDepth;
  std::memcpy(s_.callNames, record_.callNames, sizeof s_.callNames);
  std::memcpy(s_.callReturns, record_.callReturns, sizeof s_.callReturns);
  s_.textWindowOn = false;
  S[kNovelModeReg] = 0;
  S[kRegister4] = 0;
  s_.skipMode = 0;
  hooks_.enableSaveEdit(false);
  hooks_.music(def_.music);
  S[kSaveAllowedReg] = 0;
  s_.screenMode = kViewerScreenMode;
  DrawPage();
  hooks_.enableSaveItems(true);
  s_.sleepCount = 0;
}

}  // namespace zorvel
