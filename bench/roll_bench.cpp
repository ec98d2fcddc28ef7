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
  // The text picture of a two-line block, as PUT makes it: the rectangle with the lines drawn
  // centred over it, shadow first.
  b.roll.SetRect(RollRect{});
  Surface textPicture(400, 400);
  CopyView(textPicture, b.screen.screenSurface, 200, 200);
  const char* face = "\x82\x6C\x82\x72 \x96\xBE\x92\xA9";  // ＭＳ 明朝
  const std::string lines[2] = {Utf8ToSjis("監督").value(), Utf8ToSjis("山田　太郎").value()};
  for (int i = 0; i < 2; ++i) {
    const int x = (400 - b.text.Measure(lines[i], face, 32)) / 2;
    b.text.Draw(textPicture, x + 2, 168 + 32 * i + 2, lines[i], face, 32, TextColour{0, 0, 0});
    b.text.Draw(textPicture, x, 168 + 32 * i, lines[i], face, 32, TextColour{});
  }
  b.roll.BeginFade(textPicture);
  int level = 0;
  for (auto _ : state) {
    level = (level + 8) % 256;
    b.roll.FadeStep(level);
    b.platform.Flush();
  }
}
BENCHMARK(BM_RollFadeStep);

void BM_EndRollFrame(benchmark::State& state) {
  RollBench b;
  // A roll's usual rhythm: a role, two names, a gap.
  std::vector<std::string> credits;
  for (int i = 0; i < 60; ++i) {
    const char* line[4] = {"　　　監督", "　　　山田　太郎", "　　　Someone Else", ""};
    credits.push_back(Utf8ToSjis(line[i % 4]).value());
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
