#include "graphics/message_window.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "graphics/pixel_ops.h"
#include "script/commands.h"

namespace zorvel {
namespace {

// S004: the game screen shows the auto-mode meter.
constexpr int kMeterShown = 4;

constexpr int kCloseFadeStep = 8;
constexpr int kCloseFadeInterval = 10;

void Fit(Surface& s, int width, int height) {
  if (s.Width() != width || s.Height() != height) s.Resize(width, height);
}

}  // namespace

MessageWindow::MessageWindow(Screen& screen, EngineState& state, const GameConfig& config,
                             const Settings& settings, Platform& platform, FrameClock& clock,
                             MessageWindowHooks hooks)
    : screen_(screen),
      s_(state),
      config_(config),
      settings_(settings),
      platform_(platform),
      clock_(clock),
      hooks_(std::move(hooks)) {}

void MessageWindow::Register(CommandTable& table) {
  table.Register(kWinOpen, [this](const char* arg) { return OpenMessageWindow(arg); });
}

MessageWindow::Geometry MessageWindow::Window() const {
  return {config_.TXW_OFS_X, config_.TXW_OFS_Y, std::clamp(config_.TXW_SIZE_X, 0, kScreenWidth),
          std::clamp(config_.TXW_SIZE_Y, 0, kScreenHeight)};
}

void MessageWindow::SizeSurfaces(const Geometry& g) {
  if (screen_.cleanWindowPicture.Width() != g.width ||
      screen_.cleanWindowPicture.Height() != g.height) {
    s_.windowPictureValid = false;
  }
  Fit(screen_.windowPicture, g.width, g.height);
  Fit(screen_.cleanWindowPicture, g.width, g.height);
  Fit(screen_.barBackground, kScreenWidth, kBarHeight);
  Fit(screen_.namePlateBackground, std::clamp(config_.NP_SZ_X, 0, kScreenWidth),
      std::clamp(config_.NP_SZ_Y, 0, kScreenHeight));
}

const uint8_t* MessageWindow::SceneUnder(const Geometry& g, int r) {
  const Surface& scene = screen_.sceneSurface;
  const int64_t y = g.y + r;
  const bool rowInside = y >= 0 && y < scene.Height();
  if (rowInside && g.x >= 0 && g.x + g.width <= scene.Width()) {
    return scene.Row(static_cast<int>(y)) + g.x * 3;
  }
  // A window partly off the scene (only a configuration mistake does that) blends over black.
  int x0 = 0;
  int x1 = 0;
  if (rowInside) CoveredColumns(g.width, scene.Width(), g.x, x0, x1);
  std::memset(sceneRow_.data(), 0, static_cast<size_t>(g.width) * 3);
  if (x1 > x0) {
    std::memcpy(sceneRow_.data() + x0 * 3, scene.Row(static_cast<int>(y)) + (g.x + x0) * 3,
                static_cast<size_t>(x1 - x0) * 3);
  }
  return sceneRow_.data();
}

void MessageWindow::BlendWindowRow(uint8_t* out, const uint8_t* scene, int r, int width) {
  const Surface& background = screen_.windowBackground;
  const int half = background.Height() / 2;
  // The background is built with the window's size; should it differ, the part it does not
  // cover keeps the scene.
  const int blended = r < half ? std::min(width, background.Width()) : 0;
  const size_t bytes = static_cast<size_t>(blended) * 3;
  if (bytes > 0) {
    const uint8_t* colour = background.Row(r);
    const uint8_t* mask = background.Row(half + r);
    const int groups = static_cast<int>(bytes / 8);
    BlendMasked(out, scene, colour, mask, groups);
    // Widths that are not a multiple of 8 pixels end in a partial group; it gets the same blend
    // (padded with a zero mask) rather than stale bytes at the window's right edge.
    const size_t done = static_cast<size_t>(groups) * 8;
    if (const size_t tail = bytes - done; tail > 0) {
      uint8_t u[8]{}, v[8]{}, m[8]{}, o[8]{};
      std::memcpy(u, scene + done, tail);
      std::memcpy(v, colour + done, tail);
      std::memcpy(m, mask + done, tail);
      BlendMasked(o, u, v, m, 1);
      std::memcpy(out + done, o, tail);
    }
  }
  std::memcpy(out + bytes, scene + bytes, static_cast<size_t>(width) * 3 - bytes);
}

void MessageWindow::BuildWindowPicture() {
  const Geometry g = Window();
  SizeSurfaces(g);
  const bool animation = hooks_.backgroundAnimationRunning();
  if (s_.windowPictureValid && !animation) {
    screen_.windowPicture = screen_.cleanWindowPicture;
    return;
  }
  if (s_.vars.S[kNovelMode] != 0) {
    Darken(screen_.novelPageSurface, screen_.sceneSurface,
           255 - std::clamp(settings_.TXBG_A2, 0, 255));
    CopyView(screen_.barBackground, screen_.novelPageSurface, 0, kBarTop);
    return;
  }
  Surface& picture = screen_.windowPicture;
  for (int r = 0; r < g.height; ++r) BlendWindowRow(picture.Row(r), SceneUnder(g, r), r, g.width);
  CopyView(screen_.barBackground, picture, -g.x, kBarTop - g.y);
  hooks_.drawQuickBar(2);
  screen_.cleanWindowPicture = picture;
  CopyView(screen_.namePlateBackground, picture, int64_t{config_.NP_OFS_X} - g.x,
           int64_t{config_.NP_OFS_Y} - g.y);
  s_.windowPictureValid = true;
  if (!animation) return;
  const BackgroundFrames frames = hooks_.backgroundFrames();
  for (size_t i = 0; i < frames.frames.size(); ++i) {
    Surface& framePicture = frames.windowPictures[i];
    const Surface& clean = frames.cleanAreas[i];
    Fit(framePicture, g.width, g.height);
    if (clean.Width() != g.width || clean.Height() != g.height) continue;
    for (int r = 0; r < g.height; ++r)
      BlendWindowRow(framePicture.Row(r), clean.Row(r), r, g.width);
  }
}

void MessageWindow::DrawWindowAndText() {
  const bool novel = s_.vars.S[kNovelMode] != 0;
  if (s_.textWindowOn) {
    if (novel) {
      screen_.screenSurface = screen_.novelPageSurface;
    } else {
      const Geometry g = Window();
      Paste(screen_.screenSurface, screen_.windowPicture, g.x, g.y);
      if (hooks_.backgroundAnimationRunning()) {
        const BackgroundFrames frames = hooks_.backgroundFrames();
        for (size_t i = 0; i < frames.frames.size(); ++i) {
          Paste(frames.frames[i], frames.windowPictures[i], g.x, g.y);
        }
      }
    }
    hooks_.drawQuickBar(0);
    hooks_.redrawText();
  }
  if (s_.screenMode == 0 && s_.vars.S[kMeterShown] != 0 && !novel) {
    hooks_.drawMeter(0);
  }
}

int MessageWindow::OpenMessageWindow(const char*) {
  if (s_.textWindowOn) return 0;
  s_.textWindowOn = true;
  DrawWindowAndText();
  return 0;
}

void MessageWindow::CloseMessageWindow() {
  s_.textColumn = 0;
  s_.textRow = 0;
  s_.textStyle = 0;
  s_.textColour = 0;
  if (!s_.textWindowOn) return;
  clock_.StartFrameClock();
  if (s_.skipMode == 0) {
    s_.busy = true;
    s_.animating = true;
    s_.closeRequest = 0;
    // 64 bits: a stalled machine can report billions of missed frames.
    int64_t a = 0;
    do {
      // A frame nobody sees is left to the platform's promise; the closing present keeps it.
      const auto frame = [this, level = static_cast<int>(a)] {
        CrossfadeFrame(screen_.sceneSurface, screen_.screenSurface, level, screen_.workSurface);
        platform_.Present(screen_.workSurface);
      };
      if (!platform_.PromisePicture(frame)) frame();
      if (s_.closeRequest != 0) break;
      a += int64_t{kCloseFadeStep} * clock_.WaitFrames(kCloseFadeInterval);
    } while (a < 256);
    s_.busy = false;
    s_.animating = false;
  }
  platform_.Present(screen_.sceneSurface);
  screen_.screenSurface = screen_.sceneSurface;
  s_.textWindowOn = false;
  s_.busy = false;
  s_.pageCleared = true;
}

}  // namespace zorvel
