// An engine that borrows its state and surfaces from a stock (as the script fuzzer runs one engine
// after another) must play exactly as a new engine does, whatever the stock was left holding.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "fixture.h"

namespace zorvel::test {
namespace {

struct Outcome {
  std::string dump;
  std::vector<uint8_t> frame;  // the game area's pixels, row by row
  int width = 0;
  int height = 0;
};

Outcome Play(const std::string& gameDir, EngineStock* stock) {
  TempDir config;
  IniSettingsStore store(config.Path());
  HeadlessPlatform platform(store);
  std::vector<TimedEvent> clicks;
  std::string error;
  EXPECT_TRUE(ParseEvents("700 click 5 5\n1400 click 5 5\n", clicks, error)) << error;
  platform.AddEvents(clicks);
  EngineOptions options;
  options.gameDir = gameDir;
  options.randomSeed = 3;
  options.seedGiven = true;
  options.stock = stock;
  Engine engine(platform, options);
  engine.Start();
  uint32_t nextTick = platform.Ticks() + Engine::kTimerInterval;
  InputEvent event;
  while (!engine.Closed() && platform.Ticks() < 2500) {
    while (!engine.Closed() && platform.PollEvent(event)) engine.HandleEvent(event);
    if (engine.Closed()) break;
    if (static_cast<int32_t>(platform.Ticks() - nextTick) >= 0) {
      engine.Timer1Timer();
      nextTick += Engine::kTimerInterval;
    }
    engine.AppIdle();
  }
  Outcome out;
  out.dump = engine.DumpState(0);
  const Surface& area = engine.GameArea();
  out.width = area.Width();
  out.height = area.Height();
  for (int y = 0; y < area.Height(); ++y) {
    out.frame.insert(out.frame.end(), area.Row(y), area.Row(y) + area.Width() * 3);
  }
  return out;
}

// What a finished run might leave behind: drawn-on pictures of any size, and state that is
// nothing like a new game's.
void Litter(EngineStock& stock) {
  for (Surface& s : stock.surfaces.surfaces) s.Fill(7, 8, 9);
  ASSERT_FALSE(stock.surfaces.surfaces.empty());
  stock.surfaces.surfaces.front().Resize(13, 7);
  stock.surfaces.surfaces.front().Fill(1, 2, 3);
  ASSERT_NE(stock.state, nullptr);
  EngineState& s = *stock.state;
  s.vars.V.fill(77);
  s.vars.F.Set(5);
  s.vars.readMarks.Set(123);
  s.historyLines = 3;
  s.callDepth = 2;
  std::strcpy(s.scriptName, "other");
  s.scriptBuffer.fill(0x5A);
}

TEST(EngineStock, BorrowedPartsPlayLikeNewOnes) {
  TempDir game;
  WritePictures(game / "vx_gra.kpz",
                {{"A001", Solid(800, 600, 200, 0, 0)}, {"A002", Solid(800, 600, 0, 90, 30)}});
  WriteGame(game.Path(), {{"main",
                           "!V001=V001+1\n@gra A001 3\nfirst page\\\n@gra A002 3\n"
                           "second page\\\n@end\n"}});
  const Outcome fresh = Play(game.Path(), nullptr);
  ASSERT_EQ(fresh.width, 800);

  EngineStock stock;
  // The first borrower finds an empty stock; later ones find what the one before left.
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(round);
    const Outcome reused = Play(game.Path(), &stock);
    EXPECT_EQ(reused.dump, fresh.dump);
    EXPECT_EQ(reused.width, fresh.width);
    EXPECT_EQ(reused.height, fresh.height);
    EXPECT_TRUE(reused.frame == fresh.frame);
    Litter(stock);
  }
}

}  // namespace
}  // namespace zorvel::test
