#include "graphics/layers.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "graphics/pixel_ops.h"
#include "platform/files.h"
#include "script/commands.h"
#include "script/decimal.h"
#include "script/expressions.h"
#include "text/sjis.h"

namespace zorvel {

namespace {

constexpr int kOverlayShown = 35;
constexpr int kOverlayOrder = 20;
constexpr int kOverlayLeft = 21;
constexpr int kOverlayTop = 22;
constexpr int kOverlayOpacity = 23;
constexpr int kColourFilter = 11;
constexpr int kDarkenLevel = 13;
constexpr int kPartsPair = 15;
constexpr int kDrawingOrder = 24;
constexpr int kNovelSceneFirst = 9;
// The transition number of an argument that names none: shown at once.
constexpr int kNoTransition = -1;
constexpr size_t kNameBuffer = 64;

bool StartsWith(const char* name, char upper) {
  return name[0] == upper || name[0] == upper + ('a' - 'A');
}

// Name and transition of `gra`, `grb`, `bg` and their tag: the name runs to a blank or ","
// (the scan goes on) or to "]" or the end (the scan stops); later digits are the transition,
// "L" and "R" the side.
struct GraArgs {
  std::string name;
  int transition = kNoTransition;
  char side = 0;
};

GraArgs ScanGraArgs(const char* arg) {
  GraArgs out;
  size_t i = 0;
  bool scan = true;
  for (;; ++i) {
    const char c = arg[i];
    if (c == 0 || c == ']') {
      scan = false;
      break;
    }
    if (c == ' ' || c == ',') break;
    if (out.name.size() < kNameBuffer - 1) out.name.push_back(c);
  }
  if (!scan) return out;
  for (++i; i < kNameBuffer && arg[i] != 0 && arg[i] != ']'; ++i) {
    const char c = arg[i];
    if (c >= '0' && c <= '9') {
      out.transition = ReadDecimal(arg + i);
      while (i + 1 < kNameBuffer && arg[i + 1] >= '0' && arg[i + 1] <= '9') ++i;
    } else if (c == 'L' || c == 'l') {
      out.side = 'L';
    } else if (c == 'R' || c == 'r') {
      out.side = 'R';
    }
  }
  return out;
}

int HexLevel(char c) {
  if (c >= '0' && c <= '9') return (c - '0') * 16;
  if (c >= 'A' && c <= 'F') return (c - 'A' + 10) * 16;
  if (c >= 'a' && c <= 'f') return (c - 'a' + 10) * 16;
  if (c == 'g' || c == 'G') return 255;
  return 0;
}

}  // namespace

Layers::Layers(Screen& screen, EngineState& state, PictureLoader& pictures, Platform& platform,
               LayerHooks hooks)
    : screen_(screen),
      s_(state),
      pictures_(pictures),
      platform_(platform),
      hooks_(std::move(hooks)) {
  for (char* name : slotNames_) CopyField(name, kNameSize, "0");
}

void Layers::Register(CommandTable& table) {
  auto bind = [this, &table](int index, int (Layers::*fn)(const char*)) {
    table.Register(index, [this, fn](const char* arg) { return (this->*fn)(arg); });
  };
  bind(kGra, &Layers::Gra);
  bind(kBg, &Layers::Bg);
  bind(kClrb, &Layers::Clrb);
  bind(kSpr, &Layers::Spr);
  bind(kOvr, &Layers::Ovr);
  bind(kFix, &Layers::Fix);
  bind(kPartsload, &Layers::Partsload);
  bind(kPtset, &Layers::Ptset);
  bind(kDirect, &Layers::Direct);
  bind(kCgfull, &Layers::Cgfull);
}

void Layers::Reset() {
  auto& S = s_.vars.S;
  S[kOverlayOrder] = 250;
  S[kOverlayLeft] = 550;
  ResetPositions();
  characterCount_ = 0;
  for (char* name : positionNames_) name[0] = 0;
  s_.backgroundName[0] = 0;
  s_.characterSpec[0] = 0;
  s_.overlayName[0] = 0;
}

void Layers::ResetPositions() {
  std::copy(kDefaultPositions.begin(), kDefaultPositions.end(),
            s_.vars.S.begin() + kFirstPositionRegister);
}

void Layers::ClearArrangement() {
  characterCount_ = 0;
  positionNames_[0][0] = 0;
  positionNames_[1][0] = 0;
  s_.characterSpec[0] = 0;
}

std::string GraArgumentName(const char* arg) {
  return ScanGraArgs(arg).name;
}

int Layers::Gra(const char* arg) {
  s_.windowPictureValid = false;
  const GraArgs a = ScanGraArgs(arg);
  const char* name = a.name.c_str();
  if (StartsWith(name, 'A')) {
    Background(name, a.transition);
  } else if (StartsWith(name, 'S')) {
    SolidColour(name, a.transition);
  } else if (StartsWith(name, 'B')) {
    if (a.side == 0) {
      CopyField(s_.characterSpec, sizeof s_.characterSpec, name);
      for (int p = 0; p < 4; ++p) positionNames_[p][0] = 0;
    } else {
      if (a.side == 'L') {
        CopyField(positionNames_[0], kNameSize, UpperSjis(name));
      } else {
        if (characterCount_ == 1) positionNames_[0][0] = 0;
        CopyField(positionNames_[1], kNameSize, UpperSjis(name));
      }
      const std::string spec = std::string(positionNames_[0]) + "," + positionNames_[1];
      CopyField(s_.characterSpec, sizeof s_.characterSpec, spec);
    }
    LoadCharacters(s_.characterSpec);
    if (!s_.deferUpdate) UpdateScreen(a.transition);
  }
  return 0;
}

void Layers::GraTag(const char* name) {
  Gra(name);
}

void Layers::Background(const char* name, int transition) {
  s_.backgroundChanged = true;
  const std::string upper = UpperSjis(name);
  if (const int index = hooks_.galleryIndex(upper); index >= 0) s_.vars.seen.Set(index);
  CopyField(s_.backgroundName, kNameSize, name);
  if (!pictures_.LoadPicture(name, screen_.backgroundSurface)) return;
  if (s_.deferUpdate) return;
  ClearArrangement();
  UpdateScreen(transition);
}

void Layers::FillSolid(const char* name) {
  // "S" and a digit each for red, green and blue: 0 to F in sixteenths, G for full.
  const size_t len = std::strlen(name);
  const auto level = [&](size_t i) {
    return static_cast<uint8_t>(i < len ? HexLevel(name[i]) : 0);
  };
  screen_.backgroundSurface.Resize(kScreenWidth, kScreenHeight);
  screen_.backgroundSurface.Fill(level(1), level(2), level(3));
}

void Layers::SolidColour(const char* name, int transition) {
  FillSolid(name);
  s_.backgroundChanged = true;
  CopyField(s_.backgroundName, kNameSize, name);
  if (s_.deferUpdate) return;
  ClearArrangement();
  UpdateScreen(transition);
}

int Layers::Bg(const char* arg) {
  s_.windowPictureValid = false;
  const GraArgs a = ScanGraArgs(arg);
  if (a.name.empty()) return 0;
  if (StartsWith(a.name.c_str(), 'S')) {
    SolidColour(a.name.c_str(), a.transition);
  } else {
    Background(a.name.c_str(), a.transition);
  }
  return 0;
}

int Layers::Clrb(const char* arg) {
  s_.windowPictureValid = false;
  const size_t len = std::strlen(arg);
  const char last = len > 0 ? arg[len - 1] : 0;
  if (last == 'L' || last == 'l' || last == 'R' || last == 'r') {
    positionNames_[last == 'L' || last == 'l' ? 0 : 1][0] = 0;
    const std::string spec = std::string(positionNames_[0]) + "," + positionNames_[1];
    CopyField(s_.characterSpec, sizeof s_.characterSpec, spec);
  } else {
    ClearArrangement();
  }
  UpdateScreen(ReadDecimal(arg));
  return 0;
}

void Layers::ClrbTag(const char* arg) {
  Clrb(arg);
  // The tag's own second update shows the result at once.
  UpdateScreen(0);
}

int Layers::Spr(const char* arg) {
  s_.windowPictureValid = false;
  const int transition = LoadCharacters(arg);
  UpdateScreen(transition);
  CopyField(s_.characterSpec, sizeof s_.characterSpec, arg);
  const bool skipping = hooks_.skipping();
  if (!skipping && s_.vars.S[kAutoLevel] != 1) {
    hooks_.countCharacterChange();
  }
  return 0;
}

int Layers::LoadCharacters(const char* spec) {
  const std::string upper = UpperSjis(spec);
  int transition = 1;
  size_t start = 0;
  for (int k = 0; k < kCharacterPositions; ++k) {
    std::string field;
    if (start <= upper.size()) {
      const size_t comma = upper.find(',', start);
      field = upper.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
      start = comma == std::string::npos ? upper.size() + 1 : comma + 1;
    }
    if (field != "-") CopyField(positionNames_[k], kNameSize, field);
  }
  int last = kCharacterPositions - 1;
  while (last >= 0 && positionNames_[last][0] == 0) --last;
  if (upper.empty()) {
    characterCount_ = 0;
    return 1;
  }
  int count = last + 1;
  if (last >= 0 && positionNames_[last][0] >= '0' && positionNames_[last][0] <= '9') {
    transition = ReadDecimal(positionNames_[last]);
    count = last;
  }
  if (upper.back() == ',') count += 1;
  if (count == 1 && positionNames_[0][0] == 0) count = 0;
  characterCount_ = count;

  // Every load may take a slot that an earlier position found; the scan starts over after it.
  // Each position loads at most once, so the passes are few.
  for (int pass = 0; pass <= kCharacterPositions; ++pass) {
    bool loaded = false;
    for (int p = 0; p < std::min(count, kCharacterPositions) && !loaded; ++p) {
      if (positionNames_[p][0] == 0) continue;
      int slot = -1;
      for (int k = 0; k < kCharacterSlots; ++k) {
        if (std::strcmp(slotNames_[k], positionNames_[p]) == 0) slot = k;
      }
      if (slot < 0) {
        LoadIntoSlot(positionNames_[p], slot);
        loaded = true;
      }
      positionSlots_[p] = slot;
    }
    if (!loaded) break;
  }
  return transition;
}

bool Layers::LoadIntoSlot(const std::string& name, int& slot) {
  slot = nextSlot_;
  nextSlot_ = (nextSlot_ + 1) % kCharacterSlots;
  CopyField(slotNames_[slot], kNameSize, name);
  Surface& buffer = screen_.characterLoadBuffer;
  // A missing picture leaves the slot's previous pictures in place.
  if (!pictures_.LoadPicture(name.c_str(), buffer)) return false;
  const int half = buffer.Width() / 2;
  Surface& colour = screen_.characterSlots[slot];
  Surface& mask = screen_.characterMasks[slot];
  colour.Resize(half, buffer.Height());
  mask.Resize(half, buffer.Height());
  for (int y = 0; y < buffer.Height(); ++y) {
    const uint8_t* row = std::as_const(buffer).Row(y);
    std::memcpy(colour.Row(y), row, static_cast<size_t>(half) * 3);
    std::memcpy(mask.Row(y), row + static_cast<size_t>(half) * 3, static_cast<size_t>(half) * 3);
  }
  return true;
}

int Layers::Ovr(const char* arg) {
  s_.windowPictureValid = false;
  auto& S = s_.vars.S;
  std::string name;
  size_t i = 0;
  for (; arg[i] != 0 && arg[i] != ',' && arg[i] != ' '; ++i) {
    if (name.size() < kNameBuffer - 1) name.push_back(arg[i]);
  }
  int transition = 6;
  if (arg[i] != 0) {
    const char* p = arg + i + 1;
    transition = ReadDecimal(p);
    // Each further number must follow its "," within 16 characters.
    for (int reg : {kOverlayLeft, kOverlayTop}) {
      const char* comma = nullptr;
      for (int k = 0; k < 16 && p[k] != 0; ++k) {
        if (p[k] == ',') {
          comma = p + k;
          break;
        }
      }
      if (comma == nullptr) break;
      p = comma + 1;
      S[reg] = ReadDecimal(p);
    }
  }
  CopyField(s_.overlayName, kNameSize, name);
  if (EqualsIgnoreCaseSjis(name, "OFF")) {
    S[kOverlayShown] = 0;
  } else {
    pictures_.LoadPicture(name.c_str(), screen_.overlaySurface);
    S[kOverlayShown] = 1;
  }
  UpdateScreen(transition);
  return 0;
}

int Layers::Fix(const char*) {
  Surface shown;
  platform_.ShownGameArea(shown);
  CopyView(screen_.sceneSurface, shown, 0, 0);
  s_.vars.S[kOverlayOpacity] = 0;
  screen_.screenSurface = screen_.sceneSurface;
  return 0;
}

int Layers::Partsload(const char* arg) {
  const char* comma = std::strchr(arg, ',');
  if (comma == nullptr) {
    pictures_.LoadPicture(arg, screen_.partsPicture);
    s_.vars.S[kPartsPair] = 0;
    return 0;
  }
  const std::string first(arg, comma);
  pictures_.LoadPicture(first.c_str(), screen_.partsPicture);
  pictures_.LoadPicture(comma + 1, screen_.workSurface);
  s_.vars.S[kPartsPair] = 1;
  return 0;
}

int Layers::Ptset(const char* arg) {
  // Upper-cased, tabs as blanks, then six comma-separated expressions.
  std::string text = UpperSjis(arg);
  std::replace(text.begin(), text.end(), '\t', ' ');
  int32_t v[6] = {};
  size_t start = 0;
  for (int k = 0; k < 6 && start <= text.size(); ++k) {
    const size_t comma = text.find(',', start);
    const std::string field =
        text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    v[k] = hooks_.evaluate(field.c_str());
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  const Surface& parts = screen_.partsPicture;
  Surface shown;
  platform_.ShownGameArea(shown);
  // The piece is clipped to the parts picture and to the window before the walk: a damaged
  // script's rectangle may be billions of pixels wide. Cyan is transparent.
  const int64_t sx = v[0];
  const int64_t sy = v[1];
  const int64_t dx = v[4];
  const int64_t dy = v[5];
  const int64_t x0 = std::max<int64_t>({0, -sx, -dx});
  const int64_t x1 =
      std::min<int64_t>({static_cast<int64_t>(v[2]) - sx, parts.Width() - sx, shown.Width() - dx});
  const int64_t y0 = std::max<int64_t>({0, -sy, -dy});
  const int64_t y1 = std::min<int64_t>(
      {static_cast<int64_t>(v[3]) - sy, parts.Height() - sy, shown.Height() - dy});
  for (int64_t y = y0; y < y1; ++y) {
    const uint8_t* src = parts.Row(static_cast<int>(sy + y)) + (sx + x0) * 3;
    uint8_t* dst = shown.Row(static_cast<int>(dy + y)) + (dx + x0) * 3;
    for (int64_t x = x0; x < x1; ++x, src += 3, dst += 3) {
      if (src[0] == 255 && src[1] == 255 && src[2] == 0) continue;
      std::memcpy(dst, src, 3);
    }
  }
  platform_.Present(shown);
  return 0;
}

int Layers::Direct(const char* arg) {
  std::string name;
  size_t i = 0;
  for (; arg[i] != 0 && arg[i] != ',' && name.size() < 32; ++i) name.push_back(arg[i]);
  while (arg[i] != 0 && arg[i] != ',') ++i;
  int32_t numbers[3] = {};
  const char* p = arg + i;
  for (int32_t& n : numbers) {
    if (*p != ',') break;
    ++p;
    n = ReadDecimal(p);
    while (*p != 0 && *p != ',') ++p;
  }
  const uint32_t start = platform_.Ticks();
  const bool wasOn = s_.interpreterOn;
  s_.interpreterOn = false;
  pictures_.LoadPicture(name.c_str(), screen_.partsPicture);
  Surface shown;
  platform_.ShownGameArea(shown);
  Paste(shown, screen_.partsPicture, numbers[1], numbers[2]);
  platform_.Present(shown);
  // Held for ten minutes at most: a longer hold is a damaged number, and the window must not
  // sit unanswerable for days.
  constexpr int32_t kLongestHold = 10 * 60 * 1000;
  const uint32_t wait = static_cast<uint32_t>(std::clamp(numbers[0], 0, kLongestHold));
  // The window stays alive while the picture is held; with nothing to pump, one sleep will do.
  while (platform_.Ticks() - start < wait) {
    if (!hooks_.pumpEvents()) break;
    const uint32_t left = wait - (platform_.Ticks() - start);
    platform_.Sleep(std::min<uint32_t>(left, 10));
  }
  s_.interpreterOn = wasOn;
  return 0;
}

int Layers::Cgfull(const char*) {
  const int count = hooks_.galleryCount();
  for (int i = 0; i < count; ++i) s_.vars.seen.Set(i);
  return 0;
}

void Layers::DrawOverlay() {
  auto& S = s_.vars.S;
  Surface& scene = screen_.sceneSurface;
  const Surface& overlay = screen_.overlaySurface;
  if (S[kOverlayOpacity] == 0) {
    DrawMaskedPair(scene, S[kOverlayLeft], S[kOverlayTop], overlay);
    return;
  }
  const int a = std::clamp(S[kOverlayOpacity], 0, 256);
  const int64_t left = S[kOverlayLeft];
  const int64_t top = S[kOverlayTop];
  const int64_t x0 = std::max<int64_t>(left, 0);
  const int64_t x1 = std::min<int64_t>(left + overlay.Width(), scene.Width());
  if (x0 >= x1) return;
  const int groups = static_cast<int>((x1 - x0) * 3 / 8);
  const int64_t y0 = std::max<int64_t>(0, -top);
  const int64_t y1 = std::min<int64_t>(overlay.Height(), scene.Height() - top);
  for (int64_t y = y0; y < y1; ++y) {
    uint8_t* under = scene.Row(static_cast<int>(top + y)) + x0 * 3;
    const uint8_t* over = overlay.Row(static_cast<int>(y)) + (x0 - left) * 3;
    BlendConstant(under, under, over, a, groups);
  }
}

void Layers::DrawCharacter(int position, int centreRegister, int topRegister) {
  const int slot = positionSlots_[position];
  if (slot < 0 || slot >= kCharacterSlots) return;
  const Surface& colour = screen_.characterSlots[slot];
  const int64_t left = static_cast<int64_t>(s_.vars.S[centreRegister]) - colour.Width() / 2;
  const int64_t top = s_.vars.S[topRegister];
  // Registers scripts write may hold anything; far off the screen draws nothing either way.
  const auto clampPos = [](int64_t v) {
    return static_cast<int>(std::clamp<int64_t>(v, -100000, 100000));
  };
  DrawMasked(screen_.sceneSurface, colour, screen_.characterMasks[slot], clampPos(left),
             clampPos(top));
}

void Layers::ComposeScene() {
  auto& S = s_.vars.S;
  // A background smaller than the screen lies at the origin over black.
  if (screen_.backgroundSurface.Width() == kScreenWidth &&
      screen_.backgroundSurface.Height() == kScreenHeight) {
    screen_.sceneSurface = screen_.backgroundSurface;
  } else {
    CopyView(screen_.sceneSurface, screen_.backgroundSurface, 0, 0);
  }
  const bool overlay = S[kOverlayShown] == 1;
  if (overlay && S[kOverlayOrder] == 0) DrawOverlay();
  const auto named = [this](int p) { return positionNames_[p][0] != 0; };
  const auto draw = [&](int p, int centre, int top) {
    if (named(p)) DrawCharacter(p, centre, top);
  };
  const bool swapped = S[kDrawingOrder] != 0;
  switch (characterCount_) {
    case 1:
      DrawCharacter(0, 80, 90);
      break;
    case 2:
      if (!swapped) {
        draw(0, 81, 91);
        draw(1, 82, 92);
      } else {
        draw(1, 82, 92);
        draw(0, 81, 91);
      }
      break;
    case 3:
      draw(0, 83, 93);
      draw(2, 85, 95);
      draw(1, 84, 94);
      break;
    case 4:
      if (!swapped) {
        draw(0, 86, 96);
        draw(1, 87, 97);
        draw(3, 89, 99);
        draw(2, 88, 98);
      } else {
        draw(3, 89, 99);
        draw(2, 88, 98);
        draw(0, 86, 96);
        draw(1, 87, 97);
      }
      break;
    default:
      break;
  }
  if (overlay && S[kOverlayOrder] == 1) DrawOverlay();
  s_.windowPictureValid = false;
}

void Layers::ApplyColourFilter() {
  Surface& scene = screen_.sceneSurface;
  const int w = scene.Width();
  const int h = scene.Height();
  switch (s_.vars.S[kColourFilter]) {
    case 1: {
      const int64_t level = s_.vars.S[kDarkenLevel];
      uint8_t table[256];
      for (int b = 0; b < 256; ++b) {
        const int64_t v = b * level;
        // Rounded down, negative levels included; only the low 8 bits are kept.
        const int64_t q = v >= 0 ? v / 16 : -((-v + 15) / 16);
        table[b] = static_cast<uint8_t>(q & 0xFF);
      }
      for (int y = 0; y < h; ++y) {
        uint8_t* row = scene.Row(y);
        for (int i = 0; i < w * 3; ++i) row[i] = table[row[i]];
      }
      break;
    }
    case 2:
    case 3: {
      const bool sepia = s_.vars.S[kColourFilter] == 2;
      for (int y = 0; y < h; ++y) {
        uint8_t* p = scene.Row(y);
        for (int x = 0; x < w; ++x, p += 3) {
          const int a = (p[0] + p[1] + p[2]) / 3;
          p[0] = static_cast<uint8_t>(sepia ? a / 4 : a);
          p[1] = static_cast<uint8_t>(sepia ? 3 * a / 4 : a);
          p[2] = static_cast<uint8_t>(a);
        }
      }
      break;
    }
    case 4: {
      // Rotated by half a turn: rows swap top for bottom, pixels left for right.
      for (int y = 0; y < (h + 1) / 2; ++y) {
        uint8_t* top = scene.Row(y);
        uint8_t* bottom = scene.Row(h - 1 - y);
        const int pixels = (y == h - 1 - y) ? w / 2 : w;
        for (int x = 0; x < pixels; ++x) {
          uint8_t* a = top + x * 3;
          uint8_t* b = bottom + (w - 1 - x) * 3;
          for (int c = 0; c < 3; ++c) std::swap(a[c], b[c]);
        }
      }
      break;
    }
    default:
      break;
  }
}

void Layers::UpdateScreen(int transition) {
  s_.screenUpdating = true;
  auto& S = s_.vars.S;
  screen_.previousSurface = screen_.screenSurface;
  ComposeScene();
  ApplyColourFilter();
  if (S[kNovelMode] != 0) {
    const int32_t first = S[kNovelSceneFirst];
    if ((first == 1 && s_.backgroundChanged) || first == 2) {
      screen_.screenSurface = screen_.sceneSurface;
      hooks_.runTransition(transition);
      screen_.previousSurface = screen_.screenSurface;
      transition = 6;
      if (first == 1) s_.backgroundChanged = false;
    }
  }
  BuildScreen();
  hooks_.runTransition(transition);
  s_.screenUpdating = false;
}

void Layers::BuildScreen() {
  hooks_.removeMarkIcon();
  const bool novel = s_.vars.S[kNovelMode] != 0;
  if (novel) {
    screen_.screenSurface = s_.textWindowOn ? screen_.novelPageSurface : screen_.sceneSurface;
    s_.windowPictureValid = false;
  } else if (!hooks_.backgroundAnimationRunning()) {
    screen_.screenSurface = screen_.sceneSurface;
  }
  hooks_.buildWindowPicture();
  // The novel page is rebuilt from the scene without its text, so it needs the buttons and the
  // page drawn again as much as the window does.
  if (s_.textWindowOn) hooks_.drawWindowAndText();
}

void Layers::RestoreLayers() {
  const char* name = s_.backgroundName;
  if (StartsWith(name, 'S')) {
    FillSolid(name);
  } else if (pictures_.LoadPicture(name, screen_.backgroundSurface)) {
    ApplyColourFilter();
  }
  LoadCharacters(s_.characterSpec);
}

}  // namespace zorvel
