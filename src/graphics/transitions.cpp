#include "graphics/transitions.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <span>
#include <utility>
#include <vector>

#include "graphics/pixel_ops.h"
#include "script/decimal.h"

namespace zorvel {

namespace {

constexpr int kW = kScreenWidth;
constexpr int kH = kScreenHeight;
constexpr int kRowBytes = kW * 3;
constexpr int kRowGroups = kRowBytes / 8;

// S registers read here besides S019 and S150.
constexpr int kDitherLevelsReg = 16;
constexpr int kIrisReg1 = 20;  // the overlay's order and left; mode 4 centres its limit on them
constexpr int kIrisReg2 = 21;

constexpr int kScrollScreenMode = 7;
// Shakes look for their commas only this far into the command line.
constexpr int kShakeCommaReach = 50;

constexpr int kMosaicSizes[10] = {2, 3, 4, 6, 8, 12, 16, 20, 28, 40};

// Mode 12's soft edge: 32 fully-new pixels, then a ramp up to the old picture. Each value fills
// all three bytes of its pixel so every channel gets the same weight.
constexpr int kRampPixels = 288;
constexpr std::array<uint8_t, kRampPixels * 3> MakeRamp() {
  std::array<uint8_t, kRampPixels * 3> ramp{};
  for (int i = 32; i < kRampPixels; ++i) {
    for (int c = 0; c < 3; ++c) ramp[i * 3 + c] = static_cast<uint8_t>(i - 32);
  }
  return ramp;
}
constexpr std::array<uint8_t, kRampPixels* 3> kRamp = MakeRamp();

bool Is800x600(const Surface& s) {
  return s.Width() == kW && s.Height() == kH;
}

// The whole screen, row by row, with the stored blend level: out = u·(256 − a) + v·a.
void BlendPresetPicture(Surface& out, const Surface& u, const Surface& v) {
  for (int y = 0; y < kH; ++y) BlendPreset(out.Row(y), u.Row(y), v.Row(y), kRowGroups);
}

void CopyPicture(Surface& to, const Surface& from) {
  for (int y = 0; y < kH; ++y) std::memcpy(to.Row(y), from.Row(y), kRowBytes);
}

// Bytes after the last whole group of a BlendMasked span, with the same arithmetic.
void BlendMaskedTail(uint8_t* out, const uint8_t* u, const uint8_t* v, const uint8_t* m, int from,
                     int to) {
  for (int i = from; i < to; ++i) {
    out[i] = static_cast<uint8_t>((u[i] * (255 - m[i]) + v[i] * m[i]) >> 8);
  }
}

// Mode 15: every byte moves up to 16 toward its target. Written without branches so the
// compiler vectorises it.
void StepToward(uint8_t* row, const uint8_t* target, int bytes) {
  for (int i = 0; i < bytes; ++i) {
    const int d = std::clamp(target[i] - row[i], -16, 16);
    row[i] = static_cast<uint8_t>(row[i] + d);
  }
}

const char* FindComma(const char* p, int64_t reach) {
  for (int64_t i = 0; i < reach && p[i] != 0; ++i) {
    if (p[i] == ',') return p + i;
  }
  return nullptr;
}

int ClampToInt(int64_t v) {
  return static_cast<int>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

}  // namespace

ShakeArgs ParseShakeArgs(const char* arg, int searchLimit) {
  ShakeArgs out;
  out.type = ReadDecimal(arg);
  const char* first = FindComma(arg, searchLimit);
  if (first == nullptr) return out;
  out.amplitude = ReadDecimal(first + 1);
  const char* second = FindComma(first + 1, searchLimit - (first + 1 - arg));
  if (second != nullptr) out.interval = ReadDecimal(second + 1);
  return out;
}

ScrollArgs ParseScrollArgs(const char* arg) {
  ScrollArgs out;
  char text[ScrollArgs::kMaxLength + 1]{};
  size_t len = 0;
  while (len < ScrollArgs::kMaxLength && arg[len] != 0) ++len;
  std::memcpy(text, arg, len);
  const char* comma = std::strchr(text, ',');
  const size_t nameLen = comma != nullptr ? static_cast<size_t>(comma - text) : len;
  std::memcpy(out.name, text, nameLen);
  const char* pos = text;
  for (int32_t* field : {&out.dir, &out.ms, &out.transition}) {
    if (const char* c = std::strchr(pos, ','); c != nullptr) pos = c + 1;
    *field = ReadDecimal(pos);
  }
  return out;
}

Transitions::Transitions(Screen& screen, EngineState& state, const Settings& settings,
                         FrameClock& clock, RandomGenerator& random, Platform& platform,
                         TransitionHooks hooks)
    : screen_(screen),
      s_(state),
      settings_(settings),
      clock_(clock),
      random_(random),
      platform_(platform),
      hooks_(std::move(hooks)) {}

void Transitions::Register(CommandTable& table) {
  table.Register(kShake, [this](const char* arg) { return Shake(arg); });
  table.Register(kScroll, [this](const char* arg) { return Scroll(arg); });
}

bool Transitions::SurfacesReady() const {
  return Is800x600(screen_.screenSurface) && Is800x600(screen_.previousSurface) &&
         Is800x600(screen_.workSurface);
}

void Transitions::Show(const Surface& picture) {
  PresentQueued();
  platform_.Present(picture);
  platform_.Flush();
}

void Transitions::ShowFrame(const Surface& picture, std::function<void()> draw) {
  PresentQueued();
  const auto drawAndPresent = [this, &picture, draw] {
    draw();
    platform_.Present(picture);
  };
  if (!platform_.PromisePicture(drawAndPresent)) drawAndPresent();
  platform_.Flush();
}

void Transitions::Reveal(const Surface& from, int x, int y, int w, int h) {
  const int x0 = std::max(x, 0);
  const int y0 = std::max(y, 0);
  const int x1 = std::min(x + w, kW);
  const int y1 = std::min(y + h, kH);
  if (x0 >= x1 || y0 >= y1) return;
  if (queuedCount_ > 0 && (queuedFrom_ != &from || queuedCount_ == kMaxQueuedRects)) {
    PresentQueued();
  }
  queuedFrom_ = &from;
  queued_[queuedCount_++] = ScreenRect{x0, y0, x1 - x0, y1 - y0};
}

void Transitions::PresentQueued() {
  if (queuedCount_ == 0) return;
  platform_.PresentRects(
      *queuedFrom_, std::span<const ScreenRect>(queued_.data(), static_cast<size_t>(queuedCount_)));
  queuedCount_ = 0;
}

void Transitions::Flush() {
  PresentQueued();
  // Each frame of a transition is a window update of its own, whatever paces it.
  platform_.Flush();
}

bool Transitions::Interrupted() {
  if (s_.closeRequest == 0) return false;
  Show(screen_.screenSurface);
  s_.vars.S[kSleepClicked] = 1;
  return true;
}

bool Transitions::StopRequested() {
  return platform_.ShouldStop() || platform_.TerminationRequested();
}

// ---- RunTransition ---------------------------------------------------------------------------

void Transitions::RunTransition(int n) {
  s_.busy = true;
  s_.animating = true;
  s_.closeRequest = 0;
  s_.vars.S[kSleepClicked] = 0;
  // Beneath a movie nobody would see the steps: the picture is only put in place.
  if (n < 0 || settings_.GMode != 0 || s_.skipMode != 0 || platform_.GameAreaTaken()) n = 0;
  // Every mode draws with 800 x 600 row arithmetic; odd-sized surfaces only get shown.
  if (n < kTransitionModes && !SurfacesReady()) n = 0;

  switch (n) {
    case 0:
      Show(screen_.screenSurface);
      break;
    case 1:
      Blinds(true);
      break;
    case 2:
      Blinds(false);
      break;
    case 3:
      Wipe();
      break;
    case 4:
      Iris();
      break;
    case 5:
      Tiles();
      break;
    case 6:
      QuickFade();
      break;
    case 7:
      Interlace(false);
      break;
    case 8:
      Interlace(true);
      break;
    case 9:
      CrossfadeByType(5);
      break;
    case 10:
      Squares(64, 10, 57, 0);
      break;
    case 11:
      Squares(32, 19, 59, 1);
      break;
    case 12:
      SoftWipe();
      break;
    case 13:
      CrossfadeByType(4);
      break;
    case 14:
      HalfRows();
      break;
    case 15:
      Band();
      break;
    case 16:
      Diagonal();
      break;
    case 17:
      Dither();
      break;
    case 18:
      Split();
      break;
    case 19:
      Push();
      break;
    case 20:
      MosaicMode();
      break;
    case 21:
      Zoom();
      break;
    case 22:
      Slide(false);
      break;
    case 23:
      Slide(true);
      break;
    case 24:
      Star();
      break;
    default:
      // Left for the window's next repaint.
      break;
  }
  Flush();
  if (s_.vars.S[kNovelMode] != 0 && Is800x600(screen_.previousSurface) &&
      Is800x600(screen_.screenSurface)) {
    CopyPicture(screen_.previousSurface, screen_.screenSurface);
  }
  s_.busy = false;
  s_.animating = false;
}

void Transitions::Blinds(bool columns) {
  const Surface& next = screen_.screenSurface;
  for (int k = 0; k < 16; ++k) {
    const uint32_t deadline = clock_.Ticks() + (columns ? 15 : 20);
    if (columns) {
      for (int x = k; x < kW; x += 16) Reveal(next, x, 0, 1, kH);
    } else {
      for (int y = k; y < kH; y += 16) Reveal(next, 0, y, kW, 1);
    }
    Flush();
    clock_.WaitUntil(deadline);
    if (Interrupted()) return;
  }
}

void Transitions::Wipe() {
  // Columns 50 to 79 of the sweep lie right of the screen; they only pace the end.
  for (int t = 0; t < 70; ++t) {
    const uint32_t deadline = clock_.Ticks() + 20;
    for (int c = std::max(0, t - 15); c <= std::min(t, 49); ++c) {
      Reveal(screen_.screenSurface, 16 * c, 0, t - c + 1, kH);
    }
    Flush();
    clock_.WaitUntil(deadline);
    if (Interrupted()) return;
  }
}

void Transitions::Iris() {
  const auto& S = s_.vars.S;
  const int64_t limit =
      std::max(std::abs(int64_t{S[kIrisReg1]} - 400), std::abs(int64_t{S[kIrisReg2]} - 300)) + 500;
  for (int64_t r = 5; r < limit; r += 10) {
    const uint32_t deadline = clock_.Ticks() + 20;
    // Past the screen's corners every disc covers it all; a huge limit only adds time.
    const int radius = static_cast<int>(std::min<int64_t>(r, 1024));
    spanHalfWidth_.fill(-1);
    auto span = [this](int row, int half) {
      if (row >= 0 && row < kH) spanHalfWidth_[row] = std::max(spanHalfWidth_[row], half);
    };
    int x = radius;
    int y = 0;
    int e = radius;
    while (x >= y) {
      if (y <= 300) {
        span(300 - y, std::min(x, 400));
        span(300 + y, std::min(x, 400));
      }
      if (x <= 300) {
        span(300 - x, std::min(y, 400));
        span(300 + x, std::min(y, 400));
      }
      e -= 2 * y - 1;
      y += 1;
      if (e < 0) {
        e += 2 * (x - 1);
        x -= 1;
      }
    }
    // The midpoint walk names some rows many times with growing spans; each row's widest
    // span covers the others.
    for (int row = 0; row < kH; ++row) {
      const int half = spanHalfWidth_[row];
      if (half >= 0) Reveal(screen_.screenSurface, 400 - half, row, 2 * half + 1, 1);
    }
    Flush();
    clock_.WaitUntil(deadline);
    if (Interrupted()) return;
  }
}

void Transitions::Tiles() {
  for (int k = 0; k < 100; ++k) tileOrder_[k] = k;
  for (int i = 0; i < 100; ++i) std::swap(tileOrder_[i], tileOrder_[random_.Next() % 100]);
  Surface& work = screen_.workSurface;
  CopyPicture(work, screen_.previousSurface);
  auto cell = [&](int64_t position, int level) {
    if (position < 0 || position > 99) return;
    const int k = tileOrder_[position];
    const int x = kCellWidth * (k % 10);
    const int y = kCellHeight * (k / 10);
    BlendCell(work, screen_.screenSurface, screen_.previousSurface, x, y, level);
    Reveal(work, x, y, kCellWidth, kCellHeight);
  };
  clock_.StartFrameClock();
  for (int64_t t = 0; t < 116;) {
    // Tiles whose last levels a late frame skipped are finished here.
    if (t >= 4) {
      for (int64_t p = t - 19; p <= t - 16; ++p) cell(p, 0);
    }
    for (int j = 0; j <= 16; ++j) cell(t - 16 + j, 16 * j);
    Flush();
    t += clock_.WaitFrames(20);
    if (Interrupted()) return;
  }
}

void Transitions::QuickFade() {
  clock_.StartFrameClock();
  for (int64_t a = 48; a < 256;) {
    ShowFrame(screen_.workSurface, [this, level = static_cast<int>(a)] {
      SetBlendLevel(level);
      // Each step is drawn whole: the last one's pixels may stay with the window.
      screen_.workSurface.WillOverwrite();
      BlendPresetPicture(screen_.workSurface, screen_.previousSurface, screen_.screenSurface);
    });
    a += int64_t{16} * clock_.WaitFrames(10);
  }
  Show(screen_.screenSurface);
  // Too short to be worth cutting; the script still learns that the player clicked.
  Interrupted();
}

void Transitions::Interlace(bool columns) {
  const Surface& next = screen_.screenSurface;
  const int steps = columns ? 80 : 60;
  for (int s = 0; s < steps; ++s) {
    const uint32_t deadline = clock_.Ticks() + (columns ? 10 : 15);
    for (int i = 0; i < 5; ++i) {
      const int at = 10 * s + 2 * i;
      if (columns) {
        Reveal(next, at, 0, 1, kH);
        Reveal(next, kW - 1 - at, 0, 1, kH);
      } else {
        Reveal(next, 0, at, kW, 1);
        Reveal(next, 0, kH - 1 - at, kW, 1);
      }
    }
    Flush();
    clock_.WaitUntil(deadline);
    if (Interrupted()) return;
  }
}

void Transitions::Squares(int tile, int rows, int steps, int grow) {
  const int half = tile / 2;
  for (int t = 0; t < steps; ++t) {
    const uint32_t deadline = clock_.Ticks() + 30;
    for (int j = 0; j < rows; ++j) {
      // Columns 13 to 24 of the 64-pixel grid lie right of the screen.
      for (int i = 0; i < 25 && tile * i < kW; ++i) {
        const int h = t - (i + j) + grow;
        if (h < 1 || h > half) continue;
        const int cx = tile * i + half;
        const int cy = tile * j + half;
        Reveal(screen_.screenSurface, cx - h, cy - h, 2 * h, 2 * h);
      }
    }
    Flush();
    clock_.WaitUntil(deadline);
    if (Interrupted()) return;
  }
}

void Transitions::SoftWipe() {
  Surface& work = screen_.workSurface;
  const Surface& next = screen_.screenSurface;
  const Surface& old = screen_.previousSurface;
  CopyPicture(work, old);
  clock_.StartFrameClock();
  for (int64_t p = -280; p < kW;) {
    const int x0 = static_cast<int>(std::max<int64_t>(p, 0));
    const int x1 = static_cast<int>(std::min<int64_t>(p + kRampPixels, kW));
    if (x0 < x1) {
      const int bytes = (x1 - x0) * 3;
      const int groups = bytes / 8;
      const uint8_t* ramp = kRamp.data() + (x0 - p) * 3;
      for (int y = 0; y < kH; ++y) {
        uint8_t* out = work.Row(y) + x0 * 3;
        const uint8_t* u = next.Row(y) + x0 * 3;
        const uint8_t* v = old.Row(y) + x0 * 3;
        BlendMasked(out, u, v, ramp, groups);
        BlendMaskedTail(out, u, v, ramp, groups * 8, bytes);
      }
    }
    Show(work);
    p += int64_t{8} * clock_.WaitFrames(20);
    if (Interrupted()) return;
  }
}

void Transitions::HalfRows() {
  for (int y = 0; y < kH; ++y) halfSplit_[y] = 20 + random_.Next() % 600;
  for (int y = 0; y < kH; ++y) {
    halfOrder_[2 * y] = y;
    halfOrder_[2 * y + 1] = y + kH;
  }
  for (int i = 0; i < 2 * kH; ++i) std::swap(halfOrder_[i], halfOrder_[2 * (random_.Next() % 600)]);
  for (int s = 0; s < 50; ++s) {
    for (int p = 24 * s; p < 24 * s + 24; ++p) {
      const int half = halfOrder_[p];
      const int y = half % kH;
      const int split = halfSplit_[y];
      if (half < kH) {
        Reveal(screen_.screenSurface, 0, y, split, 1);
      } else {
        Reveal(screen_.screenSurface, split, y, kW - split, 1);
      }
    }
    Flush();
    if (Interrupted()) return;
    platform_.Sleep(20);
    clock_.PumpEvents();
  }
}

void Transitions::Band() {
  Surface& old = screen_.previousSurface;
  for (int top = -124; top < 664; top += 8) {
    for (int y = std::max(top, 0); y < std::min(top + 128, kH); ++y) {
      StepToward(old.Row(y), screen_.screenSurface.Row(y), kRowBytes);
    }
    Show(old);
    if (Interrupted()) return;
    clock_.PumpEvents();
  }
}

void Transitions::Diagonal() {
  Surface& old = screen_.previousSurface;
  const Surface& next = screen_.screenSurface;
  for (int t = 0; t < 95; ++t) {
    const uint32_t deadline = clock_.Ticks() + 30;
    for (int y = 0; y < kH; ++y) {
      uint8_t* to = old.Row(y);
      const uint8_t* from = next.Row(y);
      for (int d = std::max(0, t - 19); d <= t; ++d) {
        const int x0 = std::max(20 * d - y, 0);
        const int x1 = std::min(20 * d - y + (t - d + 1), kW);
        if (x0 < x1) std::memcpy(to + x0 * 3, from + x0 * 3, static_cast<size_t>(x1 - x0) * 3);
      }
    }
    if (t % 2 == 1) {
      Show(old);
      clock_.WaitUntil(deadline);
    }
    if (Interrupted()) return;
  }
}

void Transitions::Dither() {
  Surface& work = screen_.workSurface;
  const Surface& old = screen_.previousSurface;
  const Surface& next = screen_.screenSurface;
  CopyPicture(work, old);
  const int32_t given = s_.vars.S[kDitherLevelsReg];
  const int levels = given >= 1 && given <= 128 ? given : 16;
  std::vector<uint8_t> table(65536);
  for (int i = 1; i <= levels; ++i) {
    for (int v = 0; v < 256; ++v) {
      for (int o = 0; o < 256; ++o) {
        table[o + 256 * v] = static_cast<uint8_t>((o * (levels - i) + v * i) / levels);
      }
    }
    for (int q = 0; q < 4; ++q) {
      const uint32_t deadline = clock_.Ticks() + 50;
      // Quarters: even rows even columns, odd odd, even odd, odd even.
      const int firstRow = (q == 1 || q == 3) ? 1 : 0;
      const int firstColumn = (q == 1 || q == 2) ? 1 : 0;
      for (int y = firstRow; y < kH; y += 2) {
        uint8_t* out = work.Row(y);
        const uint8_t* o = old.Row(y);
        const uint8_t* v = next.Row(y);
        for (int b = firstColumn * 3; b < kRowBytes; b += 6) {
          out[b] = table[o[b] + 256 * v[b]];
          out[b + 1] = table[o[b + 1] + 256 * v[b + 1]];
          out[b + 2] = table[o[b + 2] + 256 * v[b + 2]];
        }
      }
      Show(work);
      // Cut short without telling the script.
      if (s_.closeRequest != 0) {
        Show(next);
        return;
      }
      clock_.WaitUntil(deadline);
    }
  }
}

void Transitions::Split() {
  Surface& work = screen_.workSurface;
  const Surface& next = screen_.screenSurface;
  clock_.StartFrameClock();
  for (int64_t d64 = 32; d64 <= 400;) {
    const int d = static_cast<int>(d64);
    for (int y = 0; y < kH; ++y) {
      std::memcpy(work.Row(y), next.Row(y) + (400 - d) * 3, static_cast<size_t>(d) * 3);
      std::memcpy(work.Row(y) + (kW - d) * 3, next.Row(y) + 400 * 3, static_cast<size_t>(d) * 3);
    }
    Reveal(work, 0, 0, d, kH);
    Reveal(work, kW - d, 0, d, kH);
    Flush();
    d64 += int64_t{32} * clock_.WaitFrames(40);
    if (Interrupted()) return;
  }
  Show(next);
}

void Transitions::Push() {
  Surface& work = screen_.workSurface;
  clock_.StartFrameClock();
  for (int64_t a64 = 0; a64 < kW;) {
    ShowFrame(work, [this, &work, a = static_cast<int>(a64)] {
      for (int y = 0; y < kH; ++y) {
        std::memcpy(work.Row(y), screen_.screenSurface.Row(y) + (kW - a) * 3,
                    static_cast<size_t>(a) * 3);
        std::memcpy(work.Row(y) + a * 3, screen_.previousSurface.Row(y),
                    static_cast<size_t>(kW - a) * 3);
      }
    });
    a64 += int64_t{20} * clock_.WaitFrames(15);
    if (Interrupted()) return;
  }
  Show(screen_.screenSurface);
}

void Transitions::MosaicMode() {
  clock_.StartFrameClock();
  for (int64_t k = 0; k < 10;) {
    Mosaic(screen_.previousSurface, static_cast<int>(k));
    k += clock_.WaitFrames(80);
    if (Interrupted()) return;
  }
  for (int64_t k = 9; k >= 0;) {
    Mosaic(screen_.screenSurface, static_cast<int>(k));
    k -= clock_.WaitFrames(80);
    if (Interrupted()) return;
  }
  Show(screen_.screenSurface);
}

void Transitions::Zoom() {
  Surface& work = screen_.workSurface;
  const Surface& old = screen_.previousSurface;
  clock_.StartFrameClock();
  for (int64_t a = 8; a < 256;) {
    ShowFrame(work, [this, &work, &old, level = static_cast<int>(a)] {
      SetBlendLevel(level);
      const int scale = level + 300;
      for (int x = 0; x < kW; ++x) {
        zoomColumn_[x] = std::clamp(400 + 76800 * (x - 400) / scale / 256, 0, kW - 1);
      }
      int builtRow = -1;
      for (int y = 0; y < kH; ++y) {
        const int sy = std::clamp(300 + 76800 * (y - 300) / scale / 256, 0, kH - 1);
        // Neighbouring rows magnify the same old row; build it once.
        if (sy != builtRow) {
          const uint8_t* from = old.Row(sy);
          for (int x = 0; x < kW; ++x) {
            std::memcpy(zoomRow_.data() + x * 3, from + zoomColumn_[x] * 3, 3);
          }
          builtRow = sy;
        }
        BlendPreset(work.Row(y), zoomRow_.data(), screen_.screenSurface.Row(y), kRowGroups);
      }
    });
    a += int64_t{8} * clock_.WaitFrames(15);
    if (Interrupted()) return;
  }
  Show(screen_.screenSurface);
}

void Transitions::Slide(bool right) {
  Surface& work = screen_.workSurface;
  slideA_.fill(0);
  slideB_.fill(0);
  uint8_t* rowA = slideA_.data() + kSlidePad * 3;
  uint8_t* rowB = slideB_.data() + kSlidePad * 3;
  clock_.StartFrameClock();
  for (int64_t a64 = 8; a64 < 256;) {
    ShowFrame(work, [this, &work, rowA, rowB, right, a = static_cast<int>(a64)] {
      SetBlendLevel(a);
      for (int y = 0; y < kH; ++y) {
        if (right) {
          std::memcpy(rowA + 256 * 3, screen_.previousSurface.Row(y), kRowBytes);
          std::memcpy(rowB, screen_.screenSurface.Row(y), kRowBytes);
          // 245, not 256: the new picture ends 11 pixels short of its place and jumps there at
          // the end. Its last frame reads 3 pixels before the row, from the black pad.
          BlendPreset(work.Row(y), rowA + (256 - a) * 3, rowB + (245 - a) * 3, kRowGroups);
        } else {
          std::memcpy(rowA, screen_.previousSurface.Row(y), kRowBytes);
          std::memcpy(rowB + 256 * 3, screen_.screenSurface.Row(y), kRowBytes);
          BlendPreset(work.Row(y), rowA + a * 3, rowB + a * 3, kRowGroups);
        }
      }
    });
    a64 += int64_t{8} * clock_.WaitFrames(15);
    if (Interrupted()) return;
  }
  Show(screen_.screenSurface);
}

void Transitions::FillStar(Surface& mask, int r, int u) {
  mask.Fill(0, 0, 0);
  const uint8_t grey = static_cast<uint8_t>(std::min(r / 2, 255));
  int px[10];
  int py[10];
  const int inner = (r + u) / 2;
  for (int k = 0; k < 10; ++k) {
    const double theta = (36.0 * k + r) * 0.0174532925;
    const double radius = k % 2 == 0 ? r : inner;
    px[k] = static_cast<int>(400.0 - std::cos(theta) * radius);
    py[k] = static_cast<int>(300.0 + std::sin(theta) * radius);
  }
  const int top = std::max(*std::min_element(py, py + 10), 0);
  const int bottom = std::min(*std::max_element(py, py + 10), kH - 1);
  // Scan lines through pixel centres, even-odd rule; a pixel is inside when its centre is.
  for (int y = top; y <= bottom; ++y) {
    const double yc = y + 0.5;
    double xs[10];
    int count = 0;
    for (int k = 0; k < 10; ++k) {
      const int k1 = (k + 1) % 10;
      const double y0 = py[k];
      const double y1 = py[k1];
      if ((y0 > yc) == (y1 > yc)) continue;
      xs[count++] = px[k] + (yc - y0) * (px[k1] - px[k]) / (y1 - y0);
    }
    for (int i = 1; i < count; ++i) {
      for (int j = i; j > 0 && xs[j - 1] > xs[j]; --j) std::swap(xs[j - 1], xs[j]);
    }
    uint8_t* row = mask.Row(y);
    for (int i = 0; i + 1 < count; i += 2) {
      const double left = std::clamp(std::ceil(xs[i] - 0.5), 0.0, double{kW});
      const double right = std::clamp(std::ceil(xs[i + 1] - 0.5), 0.0, double{kW});
      const int x0 = static_cast<int>(left);
      const int x1 = static_cast<int>(right);
      if (x0 < x1) std::memset(row + x0 * 3, grey, static_cast<size_t>(x1 - x0) * 3);
    }
  }
}

void Transitions::Star() {
  Surface mask(kW, kH);
  clock_.StartFrameClock();
  int64_t r = 5;
  int64_t u = 0;
  while (r < 660) {
    ShowFrame(screen_.workSurface, [this, &mask, radius = static_cast<int>(r),
                                    inner = static_cast<int>(u)] {
      FillStar(mask, radius, inner);
      screen_.workSurface.WillOverwrite();
      BlendThroughMask(screen_.workSurface, screen_.previousSurface, screen_.screenSurface, mask);
    });
    // Cut short without telling the script.
    if (s_.closeRequest != 0) {
      Show(screen_.screenSurface);
      return;
    }
    const int n = clock_.WaitFrames(40);
    u += n + 2;
    r += int64_t{5} * n;
  }
  Show(screen_.screenSurface);
}

// ---- Fades and mosaic ------------------------------------------------------------------------

void Transitions::Crossfade(int step, int interval) {
  clock_.StartFrameClock();
  s_.busy = true;
  s_.animating = true;
  s_.closeRequest = 0;
  const int64_t increment = std::max(step, 1);
  int64_t a = 0;
  // Beneath a movie only the end shows.
  if (platform_.GameAreaTaken()) a = 257;
  while (a <= 256) {
    ShowFrame(screen_.workSurface, [this, level = static_cast<int>(a)] {
      if (SurfacesReady()) screen_.workSurface.WillOverwrite();
      CrossfadeFrame(screen_.screenSurface, screen_.previousSurface, level, screen_.workSurface);
    });
    if (s_.closeRequest != 0) break;
    a += increment * clock_.WaitFrames(interval);
  }
  s_.busy = false;
  s_.animating = false;
  Show(screen_.screenSurface);
}

void Transitions::CrossfadeByType(int type) {
  switch (type) {
    case 1:
      Crossfade(24, 40);
      break;
    case 3:
      Crossfade(5, 50);
      break;
    case 4:
      Crossfade(2, 50);
      break;
    default:
      Crossfade(12, 40);
      break;
  }
}

void Transitions::Mosaic(const Surface& picture, int sizeIndex) {
  Surface& work = screen_.workSurface;
  const int size = kMosaicSizes[std::clamp(sizeIndex, 0, 9)];
  const int width = std::min(picture.Width(), work.Width());
  const int height = std::min(picture.Height(), work.Height());
  for (int by = 0; by < height; by += size) {
    // The picture may be the work surface itself: each block's colour is read before its
    // block is written, and rows below the block row are written only from it.
    const uint8_t* from = picture.Row(by);
    uint8_t* row = work.Row(by);
    for (int bx = 0; bx < width; bx += size) {
      uint8_t pixel[3];
      std::memcpy(pixel, from + bx * 3, 3);
      for (int x = bx; x < std::min(bx + size, width); ++x) std::memcpy(row + x * 3, pixel, 3);
    }
    for (int y = by + 1; y < std::min(by + size, height); ++y) {
      std::memcpy(work.Row(y), row, static_cast<size_t>(width) * 3);
    }
  }
  Show(work);
}

void Transitions::SepiaFade() {
  if (!SurfacesReady() || !Is800x600(screen_.sceneSurface)) return;
  s_.busy = true;
  Surface& scene = screen_.sceneSurface;
  Surface& screen = screen_.screenSurface;
  for (int y = 0; y < kH; ++y) {
    const uint8_t* from = scene.Row(y);
    uint8_t* to = screen.Row(y);
    for (int x = 0; x < kRowBytes; x += 3) {
      const int a = (from[x] + from[x + 1] + from[x + 2]) / 3;
      to[x] = static_cast<uint8_t>(a / 4);
      to[x + 1] = static_cast<uint8_t>(6 * a / 8);
      to[x + 2] = static_cast<uint8_t>(a);
    }
  }
  CopyPicture(scene, screen);
  hooks_.drawWindowAndText();
  clock_.StartFrameClock();
  for (int64_t a = 48; a < 256;) {
    SetBlendLevel(static_cast<int>(a));
    // Each step is drawn whole: the last one's pixels may stay with the window.
    screen_.workSurface.WillOverwrite();
    BlendPresetPicture(screen_.workSurface, screen_.previousSurface, screen);
    Show(screen_.workSurface);
    a += int64_t{8} * clock_.WaitFrames(20);
  }
  Show(screen);
  s_.busy = false;
}

// ---- Commands --------------------------------------------------------------------------------

int Transitions::Shake(const char* arg) {
  if (s_.skipMode != 0 && settings_.EFX_CUT != 0) return 1;
  // The comma reach counts from the start of the command line, which the argument is part of.
  const auto line = reinterpret_cast<uintptr_t>(s_.lineBuffer);
  const auto at = reinterpret_cast<uintptr_t>(arg);
  const int offset = at >= line && at < line + kLineBufferSize ? static_cast<int>(at - line) : 0;
  const ShakeArgs args = ParseShakeArgs(arg, std::max(kShakeCommaReach - offset, 0));

  int left0 = 0;
  int top0 = 0;
  platform_.WindowPosition(left0, top0);
  clock_.StartFrameClock();
  // In full screen the picture shakes inside the screen; the desktop stays where it is.
  auto place = [&](int64_t dx, int64_t dy) {
    platform_.ShakeTo(left0, top0, ClampToInt(dx), ClampToInt(dy));
  };
  // Directions of type 2: up, up-right, right, down-right, down, down-left, left, up-left.
  static constexpr int kDx[8] = {0, 1, 1, 1, 0, -1, -1, -1};
  static constexpr int kDy[8] = {-1, -1, 0, 1, 1, 1, 0, -1};
  for (int64_t e = args.amplitude; e >= 1 && !StopRequested();) {
    const int64_t signedE = (e & 2) != 0 ? e : -e;
    switch (args.type) {
      case 0:
        place(0, signedE);
        break;
      case 1:
        place(signedE, 0);
        break;
      case 2: {
        const int direction = random_.Next() % 8;
        place(kDx[direction] * e, kDy[direction] * e);
        break;
      }
      default:
        break;
    }
    e -= int64_t{2} * clock_.WaitFrames(args.interval);
  }
  platform_.EndShake(left0, top0);
  return 1;
}

int Transitions::Scroll(const char* arg) {
  auto setLocked = [this](bool locked) {
    s_.toolbarLocked = locked;
    hooks_.updateToolbar();
  };
  setLocked(true);
  const ScrollArgs args = ParseScrollArgs(arg);
  Surface picture;
  if (!hooks_.loadPicture(args.name, picture) || !SurfacesReady()) {
    setLocked(false);
    return 1;
  }
  s_.screenMode = kScrollScreenMode;
  const int64_t width = picture.Width();
  const int64_t height = picture.Height();
  int64_t x0 = 0;
  int64_t y0 = 0;
  int64_t dx = 0;
  int64_t dy = 0;
  int64_t length = 0;
  switch (args.dir) {
    case 0:
      y0 = height - kH;
      dy = -1;
      length = height - kH;
      break;
    case 1:
      dx = 1;
      length = width - kW;
      break;
    case 2:
      dy = 1;
      length = height - kH;
      break;
    case 3:
      x0 = width - kW;
      dx = -1;
      length = width - kW;
      break;
    default:
      break;
  }
  CopyPicture(screen_.previousSurface, screen_.screenSurface);
  CopyView(screen_.screenSurface, picture, x0, y0);
  RunTransition(args.transition);

  clock_.StartFrameClock();
  s_.busy = true;
  s_.animating = true;
  s_.closeRequest = 0;
  for (int64_t i = 0; i < length && !StopRequested();) {
    CopyView(screen_.workSurface, picture, x0 + i * dx, y0 + i * dy);
    Show(screen_.workSurface);
    clock_.PumpEvents();
    if (s_.closeRequest != 0) break;
    i += clock_.WaitFrames(args.ms);
  }
  s_.busy = false;
  s_.animating = false;
  s_.screenMode = 0;
  // A click jumps to the far end; a picture smaller than the screen shows black around it.
  CopyView(screen_.screenSurface, picture, x0 + length * dx, y0 + length * dy);
  Show(screen_.screenSurface);
  setLocked(false);
  return 1;
}

}  // namespace zorvel
