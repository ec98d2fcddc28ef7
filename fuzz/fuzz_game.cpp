#include "fuzz_game.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <vector>

#include "fuzz_check.h"
#include "resources/archive.h"
#include "resources/archive_set.h"

namespace zorvel::fuzz {

namespace {

// Lines are given with "\n" ends and stored with 0 ends.
std::vector<uint8_t> PlainScript(const char* text) {
  std::vector<uint8_t> out(text, text + std::strlen(text));
  for (uint8_t& b : out) {
    if (b == '\n') b = 0;
  }
  return out;
}

// The configuration of the fuzzed game: a valid one, so start-up reaches the script. Its message
// window is smaller than most games' (the code is the same at any size): every page pastes and
// blends it, and the fuzzer gets the time back.
constexpr char kConfig[] =
    "TITLE:fuzz\n"
    "MAKER_REG:Software\\Zorvel\\Fuzz\n"
    "GAME_ID:fuzz\n"
    "DEFAULT_NAME:A\n"
    "DEFAULT_NAME2:B\n"
    "TXW_SIZE_X:400\n"
    "TXW_SIZE_Y:100\n"
    "MOJI_MAX_X:52\n"
    "MOJI_MAX_Y:4\n"
    "NAME:1,A,8FG\n"
    "END\n";

// What MAIN can call and chain to: labels to land on, a return, a call back into MAIN, a
// chain, and a wait.
constexpr char kSub[] =
    ":START\n"
    "!V900=V900+1\n"
    "@string 5 sub\n"
    "@if (V900<3) @call main\n"
    "text in sub%3\n"
    "@end\n"
    ":CHAIN\n"
    "@chain main\n"
    ":WAIT\n"
    "@sleep 60\n"
    "\\\n"
    "@end\n";

}  // namespace

bool FuzzGame::Write(const uint8_t* main, size_t size,
                     const std::map<std::string, std::vector<uint8_t>>& extra) {
  if (Dir().empty()) return false;
  // Whatever the last run wrote beside the game (saves, global data) would reach this one.
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(Dir(), ec)) {
    if (entry.path().filename() != "vx_data.kpz") std::filesystem::remove_all(entry.path(), ec);
  }
  std::map<std::string, std::vector<uint8_t>> scripts;
  scripts["_CONFIG"] = PlainScript(kConfig);
  scripts["MAIN"].assign(main, main + size);
  scripts["SUB"] = PlainScript(kSub);
  for (const auto& [name, bytes] : extra) scripts[name] = bytes;

  std::vector<ArchiveEntry> index;
  uint32_t offset = static_cast<uint32_t>(IndexSize(IndexLayout::kA, scripts.size(), 0));
  for (const auto& [name, bytes] : scripts) {
    index.push_back({name, offset, static_cast<uint32_t>(bytes.size())});
    offset += static_cast<uint32_t>(bytes.size());
  }
  std::vector<uint8_t> file = BuildIndex(IndexLayout::kA, index, 0);
  for (auto& [name, bytes] : scripts) {
    DecodeScriptBytes(bytes.data(), bytes.size());
    file.insert(file.end(), bytes.begin(), bytes.end());
  }
  std::ofstream out(Dir() + "/vx_data.kpz", std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
  return static_cast<bool>(out);
}

bool Ended(const EngineState& s) {
  return s.needLine && (s.scriptPos >= s.scriptSize || s.scriptPos < 0) && s.callDepth == 0;
}

bool Busy(const EngineState& s) {
  return s.interpreterOn && !Ended(s) && s.waitKind == 0 && s.waitTicks == 0 && s.sleepCount == 0 &&
         s.interactionMode == 0 && !s.waitVoiceEnd;
}

// Mostly left clicks to end waits; now and then another of the player's inputs, so that their
// routes through the modes (menus, skip and auto, the wheel, the function keys) run too.
InputEvent Input(int pass, size_t size) {
  InputEvent e;
  e.kind = InputEvent::Kind::kMouseDown;
  e.button = MouseButton::kLeft;
  e.x = 400;
  e.y = 500;
  const int turn = pass / kClickEvery;
  if (turn % 3 != 2) return e;
  auto key = [&e](InputEvent::Kind kind, Key k, char ch) {
    e.kind = kind;
    e.key = k;
    e.ch = ch;
  };
  // Which of the twelve comes first depends on the input, so that short runs still try them all.
  switch ((turn / 3 + size) % 12) {
    case 0:
      e.button = MouseButton::kRight;
      break;
    case 1:
      key(InputEvent::Kind::kKeyChar, Key::kCharacter, 'z');
      break;
    case 2:
      key(InputEvent::Kind::kKeyChar, Key::kSpace, ' ');
      break;
    case 3:
      key(InputEvent::Kind::kKeyDown, Key::kCtrl, 0);
      break;
    case 4:
      key(InputEvent::Kind::kKeyUp, Key::kCtrl, 0);
      break;
    case 5:
      key(InputEvent::Kind::kKeyDown, Key::kShift, 0);
      break;
    case 6:
      e.kind = InputEvent::Kind::kWheel;
      e.delta = 120;
      break;
    case 7:
      key(InputEvent::Kind::kKeyDown, static_cast<Key>(static_cast<int>(Key::kF1) + turn % 12), 0);
      break;
    case 8:
      e.button = MouseButton::kMiddle;
      e.x = 400;
      e.y = 595;  // the auto-speed meter
      break;
    case 9:
      key(InputEvent::Kind::kKeyChar, Key::kCharacter, "wcxslqv\b"[turn % 8]);
      break;
    case 10:
      e.kind = InputEvent::Kind::kMouseMove;
      e.x = (turn * 37) % 800;
      e.y = (turn * 53) % 600;
      break;
    default:
      key(InputEvent::Kind::kKeyDown, turn % 2 ? Key::kTab : Key::kLeft, 0);
      break;
  }
  return e;
}

std::vector<TimedEvent> TimedClicks(uint32_t untilMs) {
  std::vector<TimedEvent> out;
  for (uint32_t ms = 100; ms < untilMs; ms += 100) {
    TimedEvent click;
    click.ms = ms;
    click.input.kind = InputEvent::Kind::kMouseDown;
    click.input.x = 400;
    click.input.y = 300;
    out.push_back(click);
  }
  return out;
}

void WarmGlyphs(Engine& engine) {
  static const bool warmed = [&engine] {
    Font& font = engine.MessageFont();
    for (uint32_t code = 0; code < 0x100; ++code) font.RenderGlyph(static_cast<uint16_t>(code));
    // The Shift-JIS lead bytes: every trail but 0 makes a code with them.
    for (uint32_t lead = 0x81; lead <= 0xFC; ++lead) {
      if (lead > 0x9F && lead < 0xE0) continue;
      for (uint32_t trail = 1; trail < 0x100; ++trail) {
        font.RenderGlyph(static_cast<uint16_t>(lead << 8 | trail));
      }
    }
    return true;
  }();
  (void)warmed;
}

bool PlayPass(Engine& engine, HeadlessPlatform& platform, int pass, size_t size,
              uint32_t& nextTick) {
  if (pass % kClickEvery == kClickEvery - 1) engine.HandleEvent(Input(pass, size));
  if (engine.Closed()) return false;
  if (static_cast<int32_t>(platform.Ticks() - nextTick) >= 0) {
    engine.Timer1Timer();
    nextTick += Engine::kTimerInterval;
  }
  engine.AppIdle();
  const EngineState& s = engine.State();
  FUZZ_CHECK(s.callDepth >= 0 && s.callDepth <= kMaxCallDepth);
  FUZZ_CHECK(s.scriptSize >= 0 && s.scriptSize <= kScriptBufferSize);
  FUZZ_CHECK(s.historyLines >= 0 && s.historyLines <= kHistoryCommitted);
  FUZZ_CHECK(s.historyLen >= 0 && s.historyLen < kHistorySlots * kHistorySlotSize);
  return !engine.Closed();
}

}  // namespace zorvel::fuzz
