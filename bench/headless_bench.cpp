// Games played end to end on the headless platform: engine construction, start-up, then idle
// passes and timer ticks, answered by a player, until the script has ended.
#include <benchmark/benchmark.h>
#include <time.h>

#include <cstdlib>
#include <string>

#include "bench_game.h"

namespace zorvel::bench {
namespace {

constexpr char kConfig[] =
    "TITLE:ベンチ\n"
    "MAKER_REG:Software\\Zorvel\\Bench\n"
    "GAME_ID:bench\n"
    "DEFAULT_NAME:ゆうき\n"
    "DEFAULT_NAME2:あおい\n"
    "TXW_SIZE_X:760\n"
    "TXW_SIZE_Y:170\n"
    "MOJI_MAX_X:52\n"
    "MOJI_MAX_Y:4\n"
    "NAME:1,ゆうき,8FG\n"
    "END\n";

constexpr char kMain[] =
    "@title 第一話\n"
    "!V001=0\n"
    ">あおい\n"
    "おはよう、＄０。%20今日は[col 2]いい天気[col 0]だね。▼\n"
    ">ゆうき\n"
    "うん。少し歩こうか。[wait 5]▼\n"
    "\\\n"
    ":LOOP\n"
    "!V001=V001+1\n"
    "坂道をのぼる。まだ先は長い。値は[?V001*10]。▼\n"
    "@if (V001<5) @go LOOP\n"
    "@call sub:START\n"
    "@sleep 90\n"
    "着いたね、＄０。〓ここから町が全部見えるよ。▼\n";

constexpr char kSub[] =
    ":START\n"
    ">ゆうき\n"
    "（[col 2]あおい[col 0]は、いつも元気だな……）▼\n"
    "@end\n";

constexpr int kClickEvery = 5;
constexpr int kMaxPasses = 20000;

// Plays the game in `dir` once; returns the number of passes it took.
int PlayOnce(const std::string& dir) {
  HeadlessGame game(dir);
  game.engine().Start();
  int passes = 0;
  // The first pass loads MAIN; only after it can the script have ended.
  do {
    if (passes % kClickEvery == kClickEvery - 1) game.Click();
    game.Pass();
    ++passes;
  } while (passes < kMaxPasses && !game.engine().Closed() && !game.ScriptEnded());
  return passes;
}

void Play(benchmark::State& state, const std::string& dir) {
  int64_t passes = 0;
  int last = 0;
  for (auto _ : state) {
    last = PlayOnce(dir);
    passes += last;
  }
  if (last >= kMaxPasses) state.SkipWithError("the game did not reach its end");
  state.counters["passes/run"] = last;
  state.counters["passes/s"] =
      benchmark::Counter(static_cast<double>(passes), benchmark::Counter::kIsRate);
}

void BM_HeadlessSmallGame(benchmark::State& state) {
  TempDir dir;
  WriteGame(dir.Path(), {{"_config", kConfig}, {"main", kMain}, {"sub", kSub}});
  Play(state, dir.Path());
}
BENCHMARK(BM_HeadlessSmallGame)->Unit(benchmark::kMillisecond);

// Takes the last choice of the list on screen, as a player would: the pointer is moved over the
// list until a choice lights up, and the lowest one that does is clicked. False when none does.
bool TakeLastChoice(HeadlessGame& game) {
  const Choices& list = game.engine().ChoiceList();
  int atX = -1;
  int atY = -1;
  for (const int x : {list.BoxLeft() + list.BoxWidth() / 2, 400, 200, 600}) {
    for (int y = 4; y < 600; y += 8) {
      game.Move(x, y);
      if (list.Current() == list.Count()) {
        atX = x;
        atY = y;
        break;
      }
    }
    if (atX >= 0) break;
  }
  if (atX < 0) return false;
  game.Click(atX, atY);
  return true;
}

// Takes the last entry of the click map on screen that lights under the pointer, as a player
// who tries the places from the bottom of the list up; colour entries, which have no rectangle of
// their own, are passed over. False when no entry lights.
bool TakeLastMapEntry(HeadlessGame& game) {
  const ClickMap& map = game.engine().Map();
  for (int i = map.Count(); i >= 1; --i) {
    const MapEntry& entry = map.Entry(i - 1);
    if (!entry.enabled || entry.Kind() == '$') continue;
    const int x = (entry.x1 + entry.x2) / 2;
    const int y = (entry.y1 + entry.y2) / 2;
    game.Move(x, y);
    if (map.Highlighted() == i) {
      game.Click(x, y);
      return true;
    }
  }
  return false;
}

double CpuMilliseconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// The demo game as `make demo` builds it, when bench/run.sh names its directory, played to its
// end by a player who answers at once: a click as soon as the game waits for one, the last
// choice of every list (at the title: "end") and the last place of every click map that lights.
// Transitions and timed waits run their course.
// realtime_x is game time per processor time: how much faster than a player the engine plays.
void BM_HeadlessDemo(benchmark::State& state) {
  const char* dir = std::getenv("ZORVEL_DEMO_DIR");
  if (dir == nullptr || *dir == 0) {
    state.SkipWithError("ZORVEL_DEMO_DIR is not set");
    return;
  }
  double gameMs = 0;
  double cpuMs = 0;
  int passes = 0;
  bool ended = true;
  for (auto _ : state) {
    const double cpuStart = CpuMilliseconds();
    HeadlessGame game(dir);
    game.engine().Start();
    const uint32_t start = game.platform().Ticks();
    passes = 0;
    do {
      const EngineState& s = game.state();
      if (!s.busy && s.interactionMode != 0 && s.questionKind == 0) {
        const bool taken =
            game.engine().Map().Waiting() ? TakeLastMapEntry(game) : TakeLastChoice(game);
        if (!taken) break;
      } else if (!s.busy && (s.waitKind != 0 || s.sleepCount < 0)) {
        game.Click();
      }
      game.Pass();
      ++passes;
    } while (passes < kMaxPasses && !game.engine().Closed() && !game.ScriptEnded());
    gameMs += game.platform().Ticks() - start;
    cpuMs += CpuMilliseconds() - cpuStart;
    ended = ended && game.ScriptEnded();
  }
  if (!ended) state.SkipWithError("the game did not reach its end");
  state.counters["passes/run"] = passes;
  state.counters["game_s/run"] = gameMs / 1e3 / static_cast<double>(state.iterations());
  state.counters["realtime_x"] = cpuMs > 0 ? gameMs / cpuMs : 0;
}
BENCHMARK(BM_HeadlessDemo)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace zorvel::bench
