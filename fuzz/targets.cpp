#include "targets.h"

#include <stdlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <tuple>
#include <unordered_map>
#include <vector>

#include "../tests/inert_hooks.h"
#include "engine/engine.h"
#include "fuzz_check.h"
#include "fuzz_game.h"
#include "graphics/ani_cursor.h"
#include "graphics/frame_clock.h"
#include "graphics/picture.h"
#include "graphics/screen.h"
#include "graphics/transitions.h"
#include "platform/headless/headless_platform.h"
#include "platform/ini_store.h"
#include "resources/archive.h"
#include "resources/archive_set.h"
#include "resources/game_config.h"
#include "resources/settings.h"
#include "scratch_dir.h"
#include "script/expressions.h"
#include "text/sjis.h"
#include "ui/click_map.h"
#include "ui/hidden_window.h"

namespace zorvel::fuzz {

namespace {

// Archive index ----------------------------------------------------------------------------

// The name width the header declares (layout B) or implies (layout A).
uint32_t NameWidth(IndexLayout layout, std::span<const uint8_t> file) {
  if (layout == IndexLayout::kA) return static_cast<uint32_t>(kLayoutANameWidth);
  if (file.size() < kIndexHeaderB) return 0;
  return static_cast<uint32_t>(file[4]) | static_cast<uint32_t>(file[5]) << 8 |
         static_cast<uint32_t>(file[6]) << 16 | static_cast<uint32_t>(file[7]) << 24;
}

void CheckEntries(const std::vector<ArchiveEntry>& entries, uint64_t fileSize) {
  for (const ArchiveEntry& e : entries) {
    FUZZ_CHECK(static_cast<uint64_t>(e.offset) + e.size <= fileSize);
    FUZZ_CHECK(e.name.find('\0') == std::string::npos);
  }
}

void CheckIndex(IndexLayout layout, std::span<const uint8_t> file) {
  const size_t header = layout == IndexLayout::kA ? kIndexHeaderA : kIndexHeaderB;
  const uint32_t width = NameWidth(layout, file);
  std::vector<std::string> problems;

  // The way ResourceArchive::Open reads a file: the header, then the table it announces.
  const size_t table =
      IndexTableBytes(layout, file.first(std::min(header, file.size())), file.size(), &problems);
  if (table != 0) {
    FUZZ_CHECK(header + table <= file.size());
    FUZZ_CHECK(table % (width + 8) == 0);
  }
  if (file.size() >= header) {
    const auto entries = ParseIndex(layout, file.first(header + table), file.size(), &problems);
    FUZZ_CHECK(entries.size() * (width + 8) <= table);
    CheckEntries(entries, file.size());
  }

  // The whole file as index bytes, and file sizes that need not match them.
  const auto entries = ParseIndex(layout, file, file.size(), &problems);
  CheckEntries(entries, file.size());
  CheckEntries(ParseIndex(layout, file, UINT64_MAX, &problems), UINT64_MAX);
  FUZZ_CHECK(ParseIndex(layout, file, 0, &problems).size() <= entries.size());

  // What the tools write from a parsed index must read back the same, names cut to the field.
  if (entries.empty()) return;
  const auto rebuilt = BuildIndex(layout, entries, width);
  FUZZ_CHECK(rebuilt.size() == IndexSize(layout, entries.size(), width));
  std::vector<std::string> reparseProblems;
  const auto reparsed = ParseIndex(layout, rebuilt, UINT64_MAX, &reparseProblems);
  FUZZ_CHECK(reparseProblems.empty());
  FUZZ_CHECK(reparsed.size() == entries.size());
  for (size_t i = 0; i < entries.size(); ++i) {
    FUZZ_CHECK(reparsed[i].offset == entries[i].offset);
    FUZZ_CHECK(reparsed[i].size == entries[i].size);
    FUZZ_CHECK(reparsed[i].name == entries[i].name.substr(0, width - 1));
  }
}

}  // namespace

void FuzzArchiveIndex(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> file(data, size);
  CheckIndex(IndexLayout::kA, file);
  CheckIndex(IndexLayout::kB, file);
}

void FuzzConfig(const uint8_t* data, size_t size) {
  std::vector<std::string> problems;
  const GameConfig config = ParseConfig({data, size}, &problems);

  for (int i = 1; i < kSpeakerEntries; ++i) {
    const SpeakerColour& s = config.speakers[static_cast<size_t>(i)];
    if (!s.defined) continue;
    const SpeakerColour* found = config.FindSpeaker(s.name);
    FUZZ_CHECK(found != nullptr && found->name == s.name);
  }

  // Key path and section come from the game; the settings file they name must stay inside the
  // settings directory.
  const SettingsLocation where = LocateSettings(config.MAKER_REG, config.GAME_ID);
  if (where.valid) {
    const std::string root = "/settings";
    const std::string file = IniSettingsStore(root).FileFor(where.keyPath);
    FUZZ_CHECK(file.rfind(root + "/", 0) == 0);
    FUZZ_CHECK(file.find("/../") == std::string::npos);
  }
  // What start-up builds from the numbers: the settings defaults and the window picture.
  MemoryStore store;
  const Settings settings = ReadSettings(store, where, config, 1920, 1080);
  HeadlessPlatform platform(store);
  Screen screen(platform);
  screen.BuildWindowBackground(settings, config.TXW_SIZE_X, config.TXW_SIZE_Y);
}

void FuzzExpressions(const uint8_t* data, size_t size) {
  auto vars = std::make_unique<VariableBanks>();
  // Values that make pointer variables and bit banks take both their good and bad paths.
  vars->V[1] = 5;
  vars->V[2] = -1;
  vars->V[3] = 1000;
  vars->V[4] = 999;
  vars->V[5] = INT32_MIN;
  vars->S[0] = 3;
  vars->F.Set(10);
  RandomGenerator random;
  random.Seed(12345);
  DeveloperLog log;
  int controlWrites = 0;
  Expressions expr(*vars, random, log, [&controlWrites] { ++controlWrites; });

  // Each 0-ended piece is one text, as a script line hands it over.
  const std::string all(reinterpret_cast<const char*>(data), size);
  size_t start = 0;
  while (start <= all.size()) {
    size_t end = all.find('\0', start);
    if (end == std::string::npos) end = all.size();
    const std::string text = all.substr(start, end - start);
    const char* stop = nullptr;
    expr.Evaluate(text.c_str(), &stop);
    FUZZ_CHECK(stop >= text.c_str() && stop <= text.c_str() + text.size());
    expr.Condition(text.c_str());
    expr.Assign(text.c_str());
    start = end + 1;
  }
  FUZZ_CHECK(log.Entries().size() <= 256);
}

void FuzzScript(const uint8_t* data, size_t size) {
  static FuzzGame game;
  if (!game.Write(data, size)) return;

  // Each input gets an engine of its own, so nothing of one run reaches the next; only the
  // memory of its state and surfaces is kept, and a new engine starts it afresh.
  static EngineStock stock;
  MemoryStore store;
  // Seven inputs in eight play with the player's "no transitions" setting: a screen update then
  // costs one copy instead of a dozen full-screen blends, and the interpreter gets the time.
  // Transitions keep their own target and every eighth input here.
  if (size % 8 != 1) {
    store.Write("Software\\Zorvel\\Fuzz", "fuzz", "GMode", "1");
    // Whole lines at once: the same text and commands in fewer passes.
    store.Write("Software\\Zorvel\\Fuzz", "fuzz", "Delay", "1");
  }
  // Every other input with word wrap: each word's measure reads ahead through the line.
  if (size % 2 == 0) store.Write("Software\\Zorvel\\Fuzz", "fuzz", "WordWrap", "1");
  FramelessPlatform platform(store);
  platform.SetAudioRate(kFuzzAudioRate);
  EngineOptions options;
  options.gameDir = game.Dir();
  options.writeSaveFiles = false;
  options.stock = &stock;
  options.randomSeed = 7;
  options.seedGiven = true;
  Engine engine(platform, options);
  engine.Interp().SetStepLimits(kLinesPerStep, kBytesPerStep);
  static const std::vector<TimedEvent> clicks = TimedClicks(kPasses * kClockGrainMs);
  platform.AddEvents(clicks);
  engine.Start();
  WarmGlyphs(engine);

  uint32_t nextTick = platform.Ticks() + Engine::kTimerInterval;
  int busy = 0;
  for (int pass = 0; pass < kPasses && !engine.Closed(); ++pass) {
    if (!PlayPass(engine, platform, pass, size, nextTick)) break;
    const EngineState& s = engine.State();
    if (Busy(s) && ++busy >= kMaxBusyPasses) break;
    // Once the script has run off its end nothing new can happen but clicks on an ended game.
    if (Ended(s) && s.waitKind == 0 && s.sleepCount == 0 && !s.startPending) break;
  }
  InputEvent close;
  close.kind = InputEvent::Kind::kClose;
  engine.HandleEvent(close);
  // The dump walks every bank; one input in sixteen (chosen by its size, so replays agree) is
  // enough to keep the writer under the fuzzer.
  if (size % 16 == 0) engine.DumpState(0);
}

// Pictures --------------------------------------------------------------------------------

namespace {

// A bitmap a refused picture must leave exactly as it was.
Surface Sentinel() {
  Surface s(2, 1);
  s.Fill(1, 2, 3);
  return s;
}

bool IsSentinel(const Surface& s) {
  const uint8_t* row = s.Row(0);
  return s.Width() == 2 && s.Height() == 1 && row[0] == 3 && row[1] == 2 && row[2] == 1 &&
         row[3] == 3 && row[4] == 2 && row[5] == 1;
}

}  // namespace

void FuzzGraPicture(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  Surface bitmap = Sentinel();
  std::string error;
  if (DecodeGraPicture(bytes, bitmap, &error)) {
    GraHeader header;
    FUZZ_CHECK(ReadGraHeader(bytes, header, nullptr));
    FUZZ_CHECK(bitmap.Width() == header.width && bitmap.Height() == header.height);
  } else {
    FUZZ_CHECK(!error.empty());
    FUZZ_CHECK(IsSentinel(bitmap));
  }

  if (size < 2) return;
  const int width = data[0] % 48 + 1;
  const int height = data[1] % 48 + 1;
  std::vector<uint8_t> pixels(static_cast<size_t>(width) * height * 3);
  for (size_t i = 0; i < pixels.size(); ++i) {
    pixels[i] = size > 2 ? data[2 + i % (size - 2)] : 0;
  }
  const std::vector<uint8_t> packed = EncodeGraPicture(pixels, width, height);
  Surface back;
  FUZZ_CHECK(DecodeGraPicture(packed, back, &error));
  FUZZ_CHECK(back.Width() == width && back.Height() == height);
  const Surface& decoded = back;
  const size_t rowBytes = static_cast<size_t>(width) * 3;
  for (int y = 0; y < height; ++y) {
    FUZZ_CHECK(std::memcmp(decoded.Row(y), pixels.data() + y * rowBytes, rowBytes) == 0);
  }
}

void FuzzJpeg(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  int width = 0;
  int height = 0;
  const bool header = ReadJpegSize(bytes, width, height, nullptr);
  Surface bitmap = Sentinel();
  std::string error;
  if (DecodeJpeg(bytes, bitmap, &error)) {
    FUZZ_CHECK(header);
    FUZZ_CHECK(bitmap.Width() == width && bitmap.Height() == height);
  } else {
    FUZZ_CHECK(!error.empty());
    FUZZ_CHECK(IsSentinel(bitmap));
  }
}

void FuzzBmp(const uint8_t* data, size_t size) {
  Surface bitmap = Sentinel();
  std::string error;
  if (DecodeBmp(std::span<const uint8_t>(data, size), bitmap, &error)) {
    FUZZ_CHECK(bitmap.Width() > 0 && bitmap.Width() <= kMaxPanicSide);
    FUZZ_CHECK(bitmap.Height() > 0 && bitmap.Height() <= kMaxPanicSide);
  } else {
    FUZZ_CHECK(!error.empty());
    FUZZ_CHECK(IsSentinel(bitmap));
  }
}

void FuzzAni(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  CursorAnimation animation;
  AniHeader header;
  std::string error;
  if (ReadAniCursor(bytes, animation, error, &header)) {
    FUZZ_CHECK(!animation.frames.empty() && animation.frames.size() <= kMaxCursorFrames);
    FUZZ_CHECK(!animation.steps.empty() && animation.steps.size() <= kMaxCursorSteps);
    for (const CursorFrame& f : animation.frames) {
      FUZZ_CHECK(f.width >= 1 && f.width <= kMaxCursorSide);
      FUZZ_CHECK(f.height >= 1 && f.height <= kMaxCursorSide);
      FUZZ_CHECK(f.argb.size() == static_cast<size_t>(f.width) * static_cast<size_t>(f.height));
      FUZZ_CHECK(f.hotX >= 0 && f.hotX < f.width && f.hotY >= 0 && f.hotY < f.height);
    }
    for (const CursorAnimation::Step& st : animation.steps) {
      FUZZ_CHECK(st.frame >= 0 && static_cast<size_t>(st.frame) < animation.frames.size());
      FUZZ_CHECK(st.ms >= 1);
    }
    // What was read is written back as a file the reader takes again.
    std::vector<uint8_t> written;
    std::string why;
    bool sameSize = true;
    for (const CursorFrame& f : animation.frames) {
      sameSize &= f.width == animation.frames[0].width && f.height == animation.frames[0].height;
    }
    if (sameSize) {
      FUZZ_CHECK(WriteAniCursor(animation.frames, 1, written, why));
      CursorAnimation again;
      FUZZ_CHECK(ReadAniCursor(written, again, why));
      FUZZ_CHECK(again.frames.size() == animation.frames.size());
    }
  } else {
    FUZZ_CHECK(!error.empty());
  }
  if (size > 1) {
    CursorFrame frame;
    int bits = 0;
    error.clear();
    if (ReadIconFile(bytes.subspan(1), frame, bits, error)) {
      FUZZ_CHECK(frame.argb.size() ==
                 static_cast<size_t>(frame.width) * static_cast<size_t>(frame.height));
      FUZZ_CHECK(bits == 1 || bits == 4 || bits == 8 || bits == 24 || bits == 32);
    } else {
      FUZZ_CHECK(!error.empty());
    }
  }
}

void FuzzMapScript(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  size_t nameEnd = 0;
  while (nameEnd < size && nameEnd < 64 && data[nameEnd] != 0 && data[nameEnd] != '\n') ++nameEnd;
  const std::string name(reinterpret_cast<const char*>(data), nameEnd);
  auto entries = std::make_unique<MapEntries>();
  std::string problem;
  if (ReadMapEntries(bytes, name, *entries, problem)) {
    FUZZ_CHECK(entries->count >= 0 && entries->count <= kMaxMapEntries);
    for (int i = 0; i < entries->count; ++i) {
      MapEntry& e = entries->entries[static_cast<size_t>(i)];
      FUZZ_CHECK(std::memchr(e.name, 0, sizeof e.name) != nullptr);
      FUZZ_CHECK(e.fieldCount >= 0 && e.fieldCount <= kMapFields);
      FUZZ_CHECK(e.x1 <= e.x2 && e.y1 <= e.y2);
      if (e.Kind() == '#') FUZZ_CHECK(e.a1 <= e.a2 && e.b1 <= e.b2);
      // A branch line's text replaces the name and the kind follows it.
      CopyField(e.name, sizeof e.name, name.c_str());
      e.Derive();
      FUZZ_CHECK(e.x1 <= e.x2 && e.y1 <= e.y2);
    }
  } else {
    FUZZ_CHECK(!problem.empty());
  }
}

// Transition commands ----------------------------------------------------------------------

namespace {

// Pictures for `scroll` of a size that follows the name, a few pixels smaller or larger than the
// screen, so every direction scrolls a little or not at all (each view is a full-screen copy);
// names starting with "!" are missing.
bool LoadScrollPicture(const char* name, Surface& picture) {
  const size_t n = std::strlen(name);
  if (n == 0 || name[0] == '!') return false;
  picture.Resize(797 + static_cast<int>(n % 7), 598 + static_cast<int>(n % 5));
  return true;
}

// One engine's worth of what `shake` and `scroll` touch. GMode makes the transition that opens
// a scroll immediate: the transitions' drawing has its own tests and benchmark.
struct TransitionRig {
  TransitionRig() {
    platform.SetRunMs(UINT32_MAX);  // the virtual clock runs on across inputs
    screen.CreateSurfaces();
    settings.GMode = 1;
  }
  MemoryStore store;
  FramelessPlatform platform{store};
  std::unique_ptr<EngineState> state = std::make_unique<EngineState>();
  Settings settings;
  RandomGenerator random;
  Screen screen{platform};
  FrameClock clock{platform, {}};
  Transitions transitions{screen,
                          *state,
                          settings,
                          clock,
                          random,
                          platform,
                          TransitionHooks{.updateToolbar = test::Inert{},
                                          .drawWindowAndText = test::Inert{},
                                          .loadPicture = [](const char* name, Surface& picture) {
                                            return LoadScrollPicture(name, picture);
                                          }}};
};

}  // namespace

void FuzzTransitionArgs(const uint8_t* data, size_t size) {
  // The headless platform keeps every window position; a fresh rig now and then keeps that
  // list short.
  static std::unique_ptr<TransitionRig> rig;
  static int uses = 0;
  if (!rig || ++uses % 1000 == 0) rig = std::make_unique<TransitionRig>();

  const std::string text(reinterpret_cast<const char*>(data), size);
  const ScrollArgs scroll = ParseScrollArgs(text.c_str());
  const size_t nameLength = std::strlen(scroll.name);
  FUZZ_CHECK(nameLength <= ScrollArgs::kMaxLength);
  FUZZ_CHECK(text.compare(0, nameLength, scroll.name) == 0);

  // The command line: the first byte picks where the argument starts, so the comma reach of
  // `shake` is cut at every offset.
  EngineState& s = *rig->state;
  std::memset(s.lineBuffer, 0, sizeof s.lineBuffer);
  std::memcpy(s.lineBuffer, text.data(), std::min(text.size(), sizeof s.lineBuffer - 1));
  const size_t lineLength = std::strlen(s.lineBuffer);
  const char* arg = s.lineBuffer + std::min<size_t>(size == 0 ? 0 : data[0] % 16, lineLength);

  // Only short shakes run: an amplitude of millions would move the window for days.
  const ShakeArgs shake = ParseShakeArgs(arg, 50);
  if (shake.amplitude <= 64) {
    int left = 0;
    int top = 0;
    rig->platform.WindowPosition(left, top);
    FUZZ_CHECK(rig->transitions.Shake(arg) == 1);
    FUZZ_CHECK(rig->platform.WindowPositions().back() == std::make_pair(left, top));
  }

  FUZZ_CHECK(rig->transitions.Scroll(arg) == 1);
  FUZZ_CHECK(!s.toolbarLocked && !s.busy && !s.animating && s.screenMode == 0);
}

}  // namespace zorvel::fuzz
