// Fuzz target bodies for the effects: the "effect" script's blocks, parsed and played on a
// virtual clock, and the arguments of bg_anim, manpu and sprmv run against a small picture
// archive with the screen's registers taken from the input.
#include <memory>
#include <string>
#include <vector>

#include "../tests/inert_hooks.h"
#include "fuzz_check.h"
#include "graphics/effects.h"
#include "graphics/picture.h"
#include "pattern_pictures.h"
#include "platform/files.h"
#include "platform/forgetful_settings_store.h"
#include "platform/headless/headless_platform.h"
#include "resources/archive.h"
#include "resources/archive_set.h"
#include "scratch_dir.h"
#include "targets.h"

namespace zorvel::fuzz {

namespace {

// Pictures of odd sizes, a mark picture of odd width among them.
void WritePictureArchive(const std::string& path) {
  WritePatternArchive(path,
                      {{"A1", 800, 600},
                       {"A2", 37, 21},
                       {"A3", 1000, 700},
                       {"M1", 41, 9},
                       {"M2", 1, 1},
                       {"M3", 2000, 3}},
                      5, 17);
}

struct Harness {
  ScratchDir dir;
  ForgetfulSettingsStore store;
  HeadlessPlatform platform{store};
  std::unique_ptr<EngineState> state = std::make_unique<EngineState>();
  GameConfig config;
  Settings settings;
  std::unique_ptr<ArchiveSet> archives;
  std::unique_ptr<PictureLoader> pictures;
  std::unique_ptr<Screen> screen;
  std::unique_ptr<FrameClock> clock;
  std::unique_ptr<Effects> effects;
  std::vector<uint8_t> script;
  int pumps = 0;

  Harness() {
    WritePictureArchive(dir.Path() + "/vx_gra.kpz");
    archives = std::make_unique<ArchiveSet>(dir.Path());
    archives->OpenArchives(GameConfig{}, "NULL");
    pictures = std::make_unique<PictureLoader>(*archives);
    screen = std::make_unique<Screen>(platform);
    screen->CreateSurfaces();
    // A slide of a billion frames is the script's to ask for; here a click ends it soon.
    clock = std::make_unique<FrameClock>(platform, [this] {
      if (++pumps > 40) state->closeRequest = 1;
    });
    EffectHooks hooks = test::InertEffectHooks();
    hooks.loadConfigScript = [this](const char*) { return &script; };
    hooks.loadPicture = [this](const char* name, Surface& out) {
      return pictures->LoadPicture(name, out);
    };
    effects = std::make_unique<Effects>(*screen, *state, config, settings, *clock, platform, hooks);
  }
};

Harness& TheHarness() {
  static Harness h;
  return h;
}

void CheckScreen(Harness& h) {
  for (const Surface* s :
       {&h.screen->screenSurface, &h.screen->sceneSurface, &h.screen->backgroundSurface}) {
    FUZZ_CHECK(s->Width() == 800 && s->Height() == 600);
  }
  const BackgroundFrames f = h.effects->Frames();
  FUZZ_CHECK(f.frames.size() <= kAnimationSlots);
  FUZZ_CHECK(f.frames.size() == f.windowPictures.size() && f.frames.size() == f.cleanAreas.size());
  for (const int frame : h.effects->Sequence()) FUZZ_CHECK(frame >= 0 && frame < kAnimationSlots);
  FUZZ_CHECK(!h.state->busy && !h.state->animating);
}

}  // namespace

void FuzzEffectScript(const uint8_t* data, size_t size) {
  Harness& h = TheHarness();
  // The first line names the block; the rest is the script.
  size_t at = 0;
  std::string name;
  while (at < size && data[at] != '\n' && data[at] != 0)
    name.push_back(static_cast<char>(data[at++]));
  h.script.assign(data + std::min(size, at + 1), data + size);
  const std::vector<EffectStep> steps = ParseEffectBlock(h.script, name.c_str());
  FUZZ_CHECK(steps.size() <= kEffectSteps);
  for (const EffectStep& s : steps) FUZZ_CHECK(s.kind <= EffectStep::kNegative && s.ms >= 0);
  h.platform.SetFullScreen((size & 1) != 0);
  h.effects->Effect(name.c_str());
  CheckScreen(h);
}

void FuzzEffectArgs(const uint8_t* data, size_t size) {
  Harness& h = TheHarness();
  EngineState& s = *h.state;
  // Window geometry and the mark's place from the first bytes, so clipping is exercised.
  size_t at = 0;
  const auto next = [&](int scale) {
    return at < size ? static_cast<int8_t>(data[at++]) * scale : 0;
  };
  h.config.TXW_OFS_X = next(9);
  h.config.TXW_OFS_Y = 450 + next(3);
  h.config.TXW_SIZE_X = 800 + next(5);
  h.config.TXW_SIZE_Y = 150 + next(2);
  s.vars.S[32] = next(11);
  s.vars.S[33] = next(7);
  s.screenMode = at < size ? data[at++] % 3 : 0;
  h.settings.MemorySaveMode = at < size ? data[at++] & 1 : 1;
  while (at < size) {
    const uint8_t which = data[at++];
    std::string arg;
    while (at < size && data[at] != 0) arg.push_back(static_cast<char>(data[at++]));
    ++at;
    h.pumps = 0;
    s.closeRequest = 0;
    switch (which % 5) {
      case 0:
        h.effects->BgAnim(arg.c_str());
        break;
      case 1:
        h.effects->Manpu(arg.c_str());
        break;
      case 2:
        h.effects->Sprmv(arg.c_str());
        break;
      case 3:
        for (int i = 0; i < 7; ++i) h.effects->AdvanceBackgroundAnimation();
        break;
      default:
        for (int i = 0; i < 9; ++i) h.effects->EffectTick();
        h.effects->EraseMark();
        break;
    }
    CheckScreen(h);
  }
  h.effects->BgAnim("RELEASE");
}

}  // namespace zorvel::fuzz
