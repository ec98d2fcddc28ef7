// The staff roll's frames: one step of a PUT fade over the default 400 × 400 rectangle (the
// screen's rectangle blended towards the text picture and shown), and one frame of the end roll
// (the credit strip built from its one-bit picture with the fading bands, the background's left
// part during the first 65 frames; the frame measured is one after them). Compare with BM_Memcpy, a
// whole-frame copy.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "../tests/inert_hooks.h"
#include "extras/staff_roll.h"
#include "platform/forgetful_settings_store.h"
#include "platform/headless/headless_platform.h"
#include "text/sjis.h"
#include "text/system_text.h"

namespace zorvel::bench {
namespace {

struct RollBench {
  ForgetfulSettingsStore store;
  HeadlessPlatform platform{store};
  EngineState state;
  Screen screen{platform};
  SystemText text{[](const std::string&) {}};
  StaffRoll roll{state, screen, text, platform, test::InertStaffRollHooks()};

  RollBench() {
    screen.CreateSurfaces();
    for (int y = 0; y < 600; ++y) {
      screen.screenSurface.FillRect(0, y, 800, 1, static_cast<uint8_t>(y), 80, 160);
      screen.backgroundSurface.FillRect(0, y, 800, 1, 30, static_cast<uint8_t>(y / 3), 90);
    }
  }
};

void BM_RollFadeStep(benchmark::State& state) {
  RollBench b;
  Surface textPicture(400, 400);
  for (int y = 0; y < 400; ++y)
    textPicture.FillRect(0, y, 400, 1, 255, static_cast<uint8_t>(y / 2), 0);
  int level = 0;
  for (auto _ : state) {
    level = (level + 8) % 256;
    b.roll.FadeStep(textPicture, level);
    b.platform.Flush();
  }
}
BENCHMARK(BM_RollFadeStep);

void BM_EndRollFrame(benchmark::State& state) {
  RollBench b;
  std::vector<std::string> credits;
  for (int i = 0; i < 60; ++i) {
    credits.push_back(
        Utf8ToSjis(i % 3 == 0 ? "　　監督　山田太郎" : "　　Music by Someone").value());
  }
  b.roll.MakeCreditPicture(credits);
  int y = 0;
  for (auto _ : state) {
    y = (y + 2) % (60 * 32 + 600);
    // A frame past the 65 that also show the background: what almost all of a roll costs.
    b.roll.DrawEndRollFrame(y, false);
    b.platform.Flush();
  }
}
BENCHMARK(BM_EndRollFrame);

}  // namespace
}  // namespace zorvel::bench
