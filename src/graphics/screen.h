// The screen surfaces and what is built from them. Layers, composition and transitions are
// filled in by the graphics work; start-up already creates the surfaces and shows them.
#pragma once

#include "graphics/surface.h"
#include "platform/platform.h"
#include "resources/settings.h"

namespace zorvel {

constexpr int kScreenWidth = 800;
constexpr int kScreenHeight = 600;

class Screen {
 public:
  explicit Screen(Platform& platform) : platform_(platform) {}

  // All screen surfaces at 800 x 600 and the five 200 x 600 character slots; black.
  void CreateSurfaces();
  // System pictures ("sys_np", "sys_sw"..., "sys_qbtn", "sys_clickw"): come with the picture
  // decoder; their surfaces stay empty until then.
  void LoadSystemPictures() {}
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
  Surface characterSlots[5];
  Surface windowBackground;

 private:
  Platform& platform_;
};

}  // namespace zorvel
