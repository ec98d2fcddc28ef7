// Fuzz target bodies of recollection mode: the scene list "sys_flashbak" read, unlocked and
// drawn into the menu, and the playlists file "kaiso.dat" read at start-up.
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "../tests/inert_hooks.h"
#include "extras/recollection.h"
#include "fuzz_check.h"
#include "platform/files.h"
#include "platform/forgetful_settings_store.h"
#include "platform/headless/headless_platform.h"
#include "save/global_data.h"
#include "scratch_dir.h"
#include "targets.h"

namespace zorvel::fuzz {

namespace {

// The menu with everything it draws on, built once: the pictures are missing, so the menu
// draws on black, and the font is the one the system finds.
struct MenuRig {
  ScratchDir dir;
  ArchiveSet archives{dir.Path()};
  PictureLoader pictures{archives};
  std::unique_ptr<EngineState> state = std::make_unique<EngineState>();
  ScriptLoader loader{archives, *state};
  ForgetfulSettingsStore store;
  HeadlessPlatform platform{store};
  Screen screen{platform};
  Layers layers{screen, *state, pictures, platform, test::InertLayerHooks()};
  SystemText text{[](const std::string&) {}};
  RecollectionPlaylists playlists;
  Recollection menu{*state,   screen,    pictures,
                    loader,   layers,    text,
                    platform, playlists, test::InertRecollectionHooks()};
  MenuRig() { screen.CreateSurfaces(); }
};

}  // namespace

void FuzzFlashbackList(const uint8_t* data, size_t size) {
  static MenuRig rig;
  FlashbackList list = ParseFlashbackList(std::span(data, size));
  FUZZ_CHECK(list.display.size() == list.scripts.size());
  FUZZ_CHECK(list.display.size() <= static_cast<size_t>(kFlashbackLines));
  FUZZ_CHECK(list.categories.size() <= static_cast<size_t>(kFlashbackCategories));
  for (const auto& pages : list.categories) {
    FUZZ_CHECK(pages.size() <= static_cast<size_t>(kFlashbackSubPages));
  }
  const std::vector<std::string> scripts = list.scripts;
  EngineState& s = *rig.state;
  s.vars.unlocked.Clear();
  rig.menu.SetList(std::move(list));
  for (const std::string& name : scripts) rig.menu.UnlockScene(name);
  // Every category and sub-page drawn: the grid keeps to its cells whatever the list says.
  rig.menu.OpenRecollection();
  const size_t categories = rig.menu.List().categories.size();
  for (size_t c = 0; c < categories; ++c) {
    rig.menu.ScreenClick(MouseButton::kLeft, 100, 35 + 30 * static_cast<int>(c));
    const size_t pages = rig.menu.List().categories[c].size();
    for (size_t k = 0; k < std::min<size_t>(pages, 4); ++k) {
      rig.menu.ScreenClick(MouseButton::kLeft, 530, 420 + 46 * static_cast<int>(k));
    }
    for (int cell = 0; cell < kGridCells; ++cell) {
      const int32_t scene = rig.menu.CellScene(cell);
      FUZZ_CHECK(scene == 0 || (scene > 0 && static_cast<size_t>(scene) < scripts.size()));
    }
  }
  s.screenMode = 0;
}

void FuzzKaisoFile(const uint8_t* data, size_t size) {
  static ScratchDir scratch;
  static ForgetfulSettingsStore store;
  static const SettingsLocation where;
  static Settings settings;
  const std::string path = JoinPath(scratch.Path(), "kaiso.dat");
  RemoveFile(path + ".bad");
  RemoveFile(JoinPath(scratch.Path(), "save0.dat"));
  FUZZ_CHECK(WriteFileAtomic(path, data, size));
  static auto state = std::make_unique<EngineState>();
  *state = EngineState{};
  GlobalData global(*state, store, where, settings);
  global.SetDirectory(scratch.Path());
  global.LoadGlobalData();
  RecollectionPlaylists read;
  const bool whole = ReadPlaylists(std::span(data, size), read);
  // A whole file is taken as it is and written back unchanged; any other is kept aside and the
  // playlists start empty. Either way a whole file is there afterwards.
  const auto written = ReadWholeFile(path);
  FUZZ_CHECK(written && written->size() == kKaisoFileSize);
  for (const auto& name : global.Playlists().names) FUZZ_CHECK(name.back() == 0);
  if (whole) {
    FUZZ_CHECK(global.Playlists().entries == read.entries);
  } else {
    FUZZ_CHECK(std::all_of(global.Playlists().entries.begin(), global.Playlists().entries.end(),
                           [](const auto& list) { return list[0] == 0; }));
    if (size > 0) {
      FUZZ_CHECK(ReadWholeFile(path + ".bad") == std::vector<uint8_t>(data, data + size));
    }
  }
}

}  // namespace zorvel::fuzz
