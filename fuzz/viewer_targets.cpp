// The gallery viewer's definition script: parsed for its bounds, then opened in a small game and
// played with the pointer moving and clicking over the whole screen.
#include <string>
#include <vector>

#include "extras/gallery.h"
#include "fuzz_check.h"
#include "fuzz_game.h"
#include "targets.h"
#include "text/sjis.h"

namespace zorvel::fuzz {

namespace {

// The name after the first ":" line, upper-cased: the viewer the input most likely defines.
std::string FirstViewer(const uint8_t* data, size_t size) {
  size_t start = 0;
  for (size_t i = 0; i <= size; ++i) {
    if (i < size && data[i] != 0 && data[i] != '\n') continue;
    if (i > start + 1 && data[start] == ':') {
      std::string name(reinterpret_cast<const char*>(data + start + 1), i - start - 1);
      if (name.size() < kNameSize && name.find_first_of(" \r") == std::string::npos) {
        return UpperSjis(name);
      }
    }
    start = i + 1;
  }
  return "VIEW_1";
}

void CheckDefinition(const ViewerDefinition& def, int first) {
  FUZZ_CHECK(!def.pages.empty() && def.pages.size() <= static_cast<size_t>(kViewerMaxPages));
  FUZZ_CHECK(def.sets >= 0 && def.sets <= kViewerMaxPages);
  size_t pictures = 0;
  for (const ViewerPage& page : def.pages) {
    for (const ViewerEntry& e : page.entries) {
      FUZZ_CHECK(e.pictures.size() <= static_cast<size_t>(kViewerNamesPerLine));
      FUZZ_CHECK(e.pictures.size() == e.numbers.size());
      for (size_t i = 0; i < e.numbers.size(); ++i) {
        FUZZ_CHECK(e.numbers[i] >= first && e.numbers[i] < def.nextNumber);
      }
      pictures += e.pictures.size();
    }
  }
  // Entries given twice drop their first pictures from the page, never from the numbering.
  FUZZ_CHECK(pictures <= def.numbered.size());
  FUZZ_CHECK(def.numbered.size() == static_cast<size_t>(def.nextNumber - first));
  FUZZ_CHECK(def.numbered.size() <=
             static_cast<size_t>(kViewerMaxPages) * kViewerLinesPerBlock * kViewerNamesPerLine);
}

}  // namespace

void FuzzViewDefinition(const uint8_t* data, size_t size) {
  const std::string name = FirstViewer(data, size);
  for (const std::string& viewer : {name, std::string("VIEW_1")}) {
    ViewerDefinition def;
    if (ParseViewer({data, size}, viewer, 3, def, [](const std::string&) {})) {
      CheckDefinition(def, 3);
    }
  }

  static FuzzGame game;
  const std::string main = "@viewer " + name + "\n@sleep -1\n";
  std::vector<uint8_t> mainBytes(main.begin(), main.end());
  for (uint8_t& b : mainBytes) {
    if (b == '\n') b = 0;
  }
  if (!game.Write(mainBytes.data(), mainBytes.size(), {{"VIEW", {data, data + size}}})) return;
  static EngineStock stock;
  MemoryStore store;
  FramelessPlatform platform(store);
  platform.SetAudioRate(kFuzzAudioRate);
  EngineOptions options;
  options.gameDir = game.Dir();
  options.writeSaveFiles = false;
  options.stock = &stock;
  options.randomSeed = 7;
  options.seedGiven = true;
  Engine engine(platform, options);
  engine.Start();
  uint32_t nextTick = platform.Ticks() + Engine::kTimerInterval;
  for (int pass = 0; pass < kPasses && !engine.Closed(); ++pass) {
    // The pointer sweeps the screen (and a little past it) and presses now and then: every
    // entry, button, tab and link a definition places gets hovered and hit.
    InputEvent move;
    move.kind = InputEvent::Kind::kMouseMove;
    move.x = (pass * 167 + static_cast<int>(size)) % 840 - 20;
    move.y = (pass * 113) % 640 - 20;
    engine.HandleEvent(move);
    if (pass % 4 == 3) {
      InputEvent press = move;
      press.kind = InputEvent::Kind::kMouseDown;
      press.button = pass % 16 == 15 ? MouseButton::kRight : MouseButton::kLeft;
      engine.HandleEvent(press);
      press.kind = InputEvent::Kind::kMouseUp;
      engine.HandleEvent(press);
    }
    if (!PlayPass(engine, platform, pass, size, nextTick)) break;
    const Gallery& viewer = engine.Viewer();
    FUZZ_CHECK(viewer.Page() >= 0 && viewer.Page() < static_cast<int>(std::max<size_t>(
                                                         viewer.Definition().pages.size(), 1)));
    FUZZ_CHECK(engine.Surfaces().screenSurface.Width() == 800 &&
               engine.Surfaces().screenSurface.Height() == 600);
  }
  if (size % 16 == 0) engine.DumpState(0);
}

}  // namespace zorvel::fuzz
