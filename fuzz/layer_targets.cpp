// Fuzz target body for the arguments of the layer commands (gra, bg, clrb, spr, ovr, fix,
// partsload, ptset, direct, cgfull) over a small picture archive, with the registers that steer
// composition (filters, overlay placement, character positions) taken from the input too.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "../tests/inert_hooks.h"
#include "graphics/layers.h"
#include "graphics/picture.h"
#include "pattern_pictures.h"
#include "platform/files.h"
#include "platform/forgetful_settings_store.h"
#include "platform/headless/headless_platform.h"
#include "resources/archive.h"
#include "resources/archive_set.h"
#include "scratch_dir.h"
#include "script/decimal.h"
#include "targets.h"

namespace zorvel::fuzz {

namespace {

// Pictures of odd sizes, some larger than the screen, so that clipping is exercised.
void WritePictureArchive(const std::string& path) {
  WritePatternArchive(path,
                      {{"A1", 800, 600},
                       {"A2", 37, 21},
                       {"B1", 41, 600},
                       {"B2", 1000, 7},
                       {"B3", 2, 2},
                       {"B4", 1, 1},
                       {"B5", 64, 650},
                       {"B6", 300, 40},
                       {"O1", 101, 33},
                       {"O2", 900, 700}},
                      7, 13);
}

struct Harness {
  ScratchDir dir;
  ForgetfulSettingsStore store;
  HeadlessPlatform platform{store};
  std::unique_ptr<EngineState> state = std::make_unique<EngineState>();
  std::unique_ptr<ArchiveSet> archives;
  std::unique_ptr<PictureLoader> pictures;
  std::unique_ptr<Screen> screen;
  std::unique_ptr<Layers> layers;

  Harness() {
    WritePictureArchive(dir.Path() + "/vx_gra.kpz");
    archives = std::make_unique<ArchiveSet>(dir.Path());
    archives->OpenArchives(GameConfig{}, "NULL");
    pictures = std::make_unique<PictureLoader>(*archives);
    screen = std::make_unique<Screen>(platform);
    screen->CreateSurfaces();
    LayerHooks hooks = test::InertLayerHooks();
    hooks.evaluate = [](const char* text) { return ReadDecimal(text); };
    hooks.runTransition = [this](int) { platform.Present(screen->screenSurface); };
    hooks.galleryCount = [] { return 3; };
    hooks.galleryIndex = [](const std::string& name) { return name == "A1" ? 1 : -1; };
    layers = std::make_unique<Layers>(*screen, *state, *pictures, platform, hooks);
  }
};

}  // namespace

void FuzzLayerArgs(const uint8_t* data, size_t size) {
  static Harness h;
  EngineState& s = *h.state;
  Layers& layers = *h.layers;
  s.vars.S.fill(0);
  layers.Reset();
  s.deferUpdate = false;
  s.textWindowOn = false;

  // The first 16 bytes, when there, set the registers composition reads.
  static constexpr int kRegisters[] = {11, 13, 20, 21, 22, 23, 24, 35,
                                       80, 81, 82, 86, 89, 90, 91, 150};
  size_t at = 0;
  for (int reg : kRegisters) {
    if (at >= size) break;
    s.vars.S[reg] = static_cast<int8_t>(data[at++]) * 37;
  }
  // Then commands: a selector byte and 0-ended argument text, one after another.
  while (at < size) {
    const uint8_t which = data[at++];
    std::string arg;
    while (at < size && data[at] != 0) arg.push_back(static_cast<char>(data[at++]));
    ++at;
    switch (which % 11) {
      case 0:
        layers.Gra(arg.c_str());
        break;
      case 1:
        layers.Bg(arg.c_str());
        break;
      case 2:
        layers.Clrb(arg.c_str());
        break;
      case 3:
        layers.Spr(arg.c_str());
        break;
      case 4:
        layers.Ovr(arg.c_str());
        break;
      case 5:
        layers.Fix(arg.c_str());
        break;
      case 6:
        layers.Partsload(arg.c_str());
        break;
      case 7:
        layers.Ptset(arg.c_str());
        break;
      case 8:
        layers.Direct(arg.c_str());
        break;
      case 9:
        layers.Cgfull(arg.c_str());
        break;
      default:
        layers.LoadCharacters(arg.c_str());
        break;
    }
    const Surface& scene = h.screen->sceneSurface;
    const Surface& shown = h.screen->screenSurface;
    if (scene.Width() != 800 || scene.Height() != 600 || shown.Width() != 800 ||
        shown.Height() != 600) {
      std::fprintf(stderr, "the scene or screen lost its 800 x 600 size\n");
      std::abort();
    }
  }
}

}  // namespace zorvel::fuzz
