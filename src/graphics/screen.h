// The screen surfaces and what is built from them. Layers, composition and transitions are
// filled in by the graphics work; start-up already creates the surfaces and shows them.
#pragma once

#include <vector>

#include "graphics/picture.h"
#include "graphics/surface.h"
#include "platform/platform.h"
#include "resources/game_config.h"
#include "resources/settings.h"

namespace zorvel {

constexpr int kScreenWidth = 800;
constexpr int kScreenHeight = 600;

// Surfaces kept from one screen to the next: a host that runs many short engines one after the
// other (the script fuzzer) allocates the pictures once instead of once an engine.
struct SurfaceStock {
  std::vector<Surface> surfaces;
};

class Screen {
 public:
  explicit Screen(Platform& platform) : platform_(platform) {}
  // Borrows the stock's surfaces until the screen ends, then hands them back as they are;
  // CreateSurfaces clears only what was drawn on, so the screen starts as a new one would.
  Screen(Platform& platform, SurfaceStock* stock);
  ~Screen();
  Screen(const Screen&) = delete;
  Screen& operator=(const Screen&) = delete;

  // All screen surfaces at 800 x 600 and the five 200 x 600 character slots; black.
  void CreateSurfaces();
  // The system pictures (name plate, choice parts, external characters, quick buttons, auto
  // bar, click-wait icon) and the work surfaces sized from the configuration. A picture the
  // game lacks leaves its surface empty.
  void LoadSystemPictures(PictureLoader& pictures, const GameConfig& config);
  // The message window's colour and opacity picture: the colour on top, the opacity mask below
  // with a soft upper edge over its first 32 rows.
  void BuildWindowBackground(const Settings& settings, int width, int height);
  // Layer bookkeeping of a new game.
  void ForgetLayerNames() {}

  // Shows the game area: the scene without the window while the window is hidden.
  void Paint(bool windowHidden);
  void PresentScreen() { platform_.Present(screenSurface); }

  Surface backgroundSurface, sceneSurface, screenSurface, previousSurface, workSurface,
      novelPageSurface, blackSurface;
  // The five character slots: colour and mask pictures of equal size.
  Surface characterSlots[5];
  Surface characterMasks[5];
  Surface overlaySurface, characterLoadBuffer, partsPicture;
  Surface windowBackground;
  // The message window over the scene, and its copy without text; what lies under the
  // quick-button bar (screen rows 576 to 599) and under the name plate, taken whenever the
  // window picture is rebuilt (MessageWindow). namePlate is the plate drawn on its background.
  Surface windowPicture, cleanWindowPicture, barBackground, namePlateBackground;
  Surface namePlatePicture, namePlate, choicePicture, choicePicture2, choiceMarkPicture,
      choiceMarkOmPicture, gaijiPicture, quickButtonPicture, quickButtons, quickButtonsWork,
      autoBarPicture, autoBar, clickWaitPicture, clickWait;
  // The screen's picture with the click-wait icon composed in, shown by the icon's rectangle.
  Surface clickWaitShown;

 private:
  // Every Surface member. One left out still works, but a borrowing screen allocates it anew.
  std::vector<Surface*> AllSurfaces();
  void SwapWithStock();

  Platform& platform_;
  SurfaceStock* stock_ = nullptr;
};

}  // namespace zorvel
