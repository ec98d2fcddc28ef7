// The small game that fuzz targets play headless, and what such a run needs: settings kept in
// memory, a platform that keeps no frames on a coarse clock, the bounds of a run and the player's
// inputs.
#pragma once

#include <algorithm>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/engine.h"
#include "platform/headless/headless_platform.h"
#include "scratch_dir.h"

namespace zorvel::fuzz {

// Settings store ---------------------------------------------------------------------------

// Settings in memory: nothing a run writes reaches the disk or the next input.
class MemoryStore : public SettingsStore {
 public:
  std::optional<std::string> Read(const std::string& keyPath, const std::string& section,
                                  const std::string& name) override {
    const auto it = values_.find(Key(keyPath, section, name));
    if (it == values_.end()) return std::nullopt;
    return it->second;
  }
  bool Write(const std::string& keyPath, const std::string& section, const std::string& name,
             const std::string& value) override {
    values_[Key(keyPath, section, name)] = value;
    return true;
  }

 private:
  // Start-up reads every setting: one hashed key each, not three string comparisons a step.
  static std::string Key(const std::string& keyPath, const std::string& section,
                         const std::string& name) {
    std::string key;
    key.reserve(keyPath.size() + section.size() + name.size() + 2);
    key.append(keyPath).push_back('\0');
    key.append(section).push_back('\0');
    key.append(name);
    return key;
  }
  std::unordered_map<std::string, std::string> values_;
};

class FuzzGame {
 public:
  const std::string& Dir() const { return dir_.Path(); }

  // Writes vx_data.kpz with `main` (decoded text) as MAIN, beside a SUB to call and chain to and
  // the `extra` scripts (decoded text by upper-cased name).
  bool Write(const uint8_t* main, size_t size,
             const std::map<std::string, std::vector<uint8_t>>& extra = {});

 private:
  ScratchDir dir_;
};

// The shortest sleep of a fuzzed run, in ms: a coarse clock, as on a loaded machine. Fades and
// other timed loops count the frames that went by and take bigger steps, so a fade is a few
// frames instead of thirty full-screen blends; every step of their code still runs.
constexpr uint32_t kClockGrainMs = 40;

// Nothing looks at the frames of a fuzzed run; keeping each one would copy the whole game area.
class FramelessPlatform : public HeadlessPlatform {
 public:
  using HeadlessPlatform::HeadlessPlatform;
  void Present(const Surface&) override {}
  void PresentRect(const Surface&, int, int, int, int) override {}
  void PresentRects(const Surface&, std::span<const ScreenRect>) override {}
  bool ShowsPictures() override { return false; }
  void Sleep(uint32_t ms) override {
    HeadlessPlatform::Sleep(ms == 0 ? 0 : std::max(ms, kClockGrainMs));
  }
};

// Sounds are mixed as a player would hear them, only at a rate that costs a fifth as much.
constexpr int kFuzzAudioRate = 8000;

// Bounds of one run. A pass lasts one grain of the clock, so a run is two seconds of play with
// sixteen clicks: more pages of a script that loops show nothing its first pages did not.
constexpr int kPasses = 50;
constexpr int kClickEvery = 3;
// A step's own limits let a circling script run a million lines per pass, seconds under the
// sanitizers; these keep an input to about a millisecond. Running a circle for longer finds
// nothing new: what the fuzzer is after is which lines run, not how often. A script that never
// waits still gets six steps, 384 lines, far more than the fuzzer's scripts hold.
constexpr int kLinesPerStep = 64;
constexpr int64_t kBytesPerStep = int64_t{1} << 18;
// Passes in which the script neither waits nor has ended: the step ran out of its limits or a
// command ended it. A script that circles forever is left after this many.
constexpr int kMaxBusyPasses = 6;

// The script has run off its end, with nothing to return to.
bool Ended(const EngineState& s);
// The script neither waits nor has ended.
bool Busy(const EngineState& s);
// The player's input of a pass that clicks: which one depends on the pass and the input's size.
InputEvent Input(int pass, size_t size);
// A left click in the middle of the game area every tenth of a second up to `untilMs`: blocking
// loops (transitions, fades, scrolls) pump the platform's queue, and a click there cuts them
// short, as a player would, so a long fade costs a few frames.
std::vector<TimedEvent> TimedClicks(uint32_t untilMs);
// Glyph cells are made once a process. Making every code's cell before the first input keeps
// later inputs from rasterising, and from keeping memory past their end, which libFuzzer would
// take for a leak and check by running the input again.
void WarmGlyphs(Engine& engine);
// One pass of the engine's loop as a fuzzed run plays it: the pass's input when it clicks, the
// timer when due, an idle pass, and the bounds the state must keep checked after it. False once
// the game has closed.
bool PlayPass(Engine& engine, HeadlessPlatform& platform, int pass, size_t size,
              uint32_t& nextTick);

}  // namespace zorvel::fuzz
