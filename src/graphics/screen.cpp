#include "graphics/screen.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace zorvel {

Screen::Screen(Platform& platform, SurfaceStock* stock) : platform_(platform), stock_(stock) {
  if (stock_ == nullptr) return;
  SwapWithStock();
  // Borrowed surfaces must start as new ones do: empty, except those CreateSurfaces gives a
  // size. They keep theirs, and CreateSurfaces clears them only if something drew on them;
  // the others keep their memory for whatever sizes them next.
  const auto sizedByCreate = [this](const Surface* s) {
    for (const Surface* f : {&backgroundSurface, &sceneSurface, &screenSurface, &previousSurface,
                             &workSurface, &novelPageSurface, &blackSurface}) {
      if (s == f) return true;
    }
    return (s >= characterSlots && s < std::end(characterSlots)) ||
           (s >= characterMasks && s < std::end(characterMasks));
  };
  for (Surface* s : AllSurfaces()) {
    if (!sizedByCreate(s)) s->Resize(0, 0);
  }
}

Screen::~Screen() {
  if (stock_ != nullptr) SwapWithStock();
}

std::vector<Surface*> Screen::AllSurfaces() {
  std::vector<Surface*> all = {&backgroundSurface, &sceneSurface, &screenSurface,
                               &previousSurface,   &workSurface,  &novelPageSurface,
                               &blackSurface};
  for (Surface* s : {&overlaySurface, &characterLoadBuffer, &partsPicture, &windowBackground}) {
    all.push_back(s);
  }
  for (Surface* s : {&windowPicture, &cleanWindowPicture, &barBackground, &namePlateBackground}) {
    all.push_back(s);
  }
  for (Surface* s :
       {&namePlatePicture, &namePlate, &choicePicture, &choicePicture2, &choiceMarkPicture,
        &choiceMarkOmPicture, &gaijiPicture, &quickButtonPicture, &quickButtons, &quickButtonsWork,
        &autoBarPicture, &autoBar, &clickWaitPicture, &clickWait, &clickWaitShown}) {
    all.push_back(s);
  }
  for (Surface& s : characterSlots) all.push_back(&s);
  for (Surface& s : characterMasks) all.push_back(&s);
  return all;
}

void Screen::SwapWithStock() {
  const std::vector<Surface*> all = AllSurfaces();
  if (stock_->surfaces.size() < all.size()) stock_->surfaces.resize(all.size());
  for (size_t i = 0; i < all.size(); ++i) std::swap(*all[i], stock_->surfaces[i]);
}

void Screen::CreateSurfaces() {
  for (Surface* s : {&backgroundSurface, &sceneSurface, &screenSurface, &previousSurface,
                     &workSurface, &novelPageSurface, &blackSurface}) {
    s->Resize(kScreenWidth, kScreenHeight);
  }
  for (Surface& slot : characterSlots) slot.Resize(200, kScreenHeight);
  for (Surface& mask : characterMasks) mask.Resize(200, kScreenHeight);
  for (Surface* s : {&overlaySurface, &characterLoadBuffer, &partsPicture}) s->Resize(0, 0);
}

void Screen::LoadSystemPictures(PictureLoader& pictures, const GameConfig& config) {
  // Sizes come from the configuration; beyond the screen they would only waste memory.
  const auto sized = [](Surface& s, int32_t w, int32_t h) {
    s.Resize(std::clamp(w, 0, kScreenWidth), std::clamp(h, 0, kScreenHeight));
  };
  pictures.LoadPicture("sys_np", namePlatePicture);
  sized(namePlate, config.NP_SZ_X, config.NP_SZ_Y);
  sized(namePlateBackground, config.NP_SZ_X, config.NP_SZ_Y);
  sized(windowPicture, config.TXW_SIZE_X, config.TXW_SIZE_Y);
  sized(cleanWindowPicture, config.TXW_SIZE_X, config.TXW_SIZE_Y);
  pictures.LoadPicture("sys_sw", choicePicture);
  pictures.LoadPicture("sys_sw2", choicePicture2);
  pictures.LoadPicture("sys_sw_m1", choiceMarkPicture);
  pictures.LoadPicture("sys_sw_m1om", choiceMarkOmPicture);
  pictures.LoadPicture("sys_gaiji", gaijiPicture);
  pictures.LoadPicture("sys_qbtn", quickButtonPicture);
  quickButtons.Resize(kScreenWidth, 24);
  quickButtonsWork.Resize(kScreenWidth, 24);
  barBackground.Resize(kScreenWidth, 24);
  pictures.LoadPicture("AUTO_BAR", autoBarPicture);
  autoBar.Resize(autoBarPicture.Width(), autoBarPicture.Height() / 2);
  pictures.LoadPicture("sys_clickw", clickWaitPicture);
  sized(clickWait, config.CLICK_WAIT_SIZE_X, config.CLICK_WAIT_SIZE_Y);
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
