#include "graphics/screen.h"

#include <algorithm>

namespace zorvel {

void Screen::CreateSurfaces() {
  for (Surface* s : {&backgroundSurface, &sceneSurface, &screenSurface, &previousSurface,
                     &workSurface, &novelPageSurface, &blackSurface}) {
    s->Resize(kScreenWidth, kScreenHeight);
  }
  for (Surface& slot : characterSlots) slot.Resize(200, kScreenHeight);
}

void Screen::BuildWindowBackground(const Settings& settings, int width, int height) {
  // The sizes are the game configuration's: a window larger than the screen shows nothing more,
  // and unbounded it would ask for gigabytes and loop for billions of rows.
  width = std::clamp(width, 0, kScreenWidth);
  height = std::clamp(height, 0, kScreenHeight);
  windowBackground.Resize(width, height * 2);
  if (windowBackground.Empty()) return;
  const auto clamp = [](int32_t v) { return static_cast<uint8_t>(std::clamp(v, 0, 255)); };
  windowBackground.FillRect(0, 0, width, height, clamp(settings.TXBG_R), clamp(settings.TXBG_G),
                            clamp(settings.TXBG_B));
  const int32_t alpha = std::clamp(settings.TXBG_A, 0, 255);
  for (int i = 0; i < height; ++i) {
    const uint8_t grey = static_cast<uint8_t>(i < 32 ? alpha * i / 32 : alpha);
    windowBackground.FillRect(0, height + i, width, 1, grey, grey, grey);
  }
}

void Screen::Paint(bool windowHidden) {
  platform_.Present(windowHidden ? sceneSurface : screenSurface);
}

}  // namespace zorvel
