// Fixture games for tests: scripts written as UTF-8 text are encoded and packed into a game
// directory, then played headless, in process or through the zorvel binary.
#pragma once

#include <array>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "platform/headless/headless_platform.h"
#include "platform/ini_store.h"

namespace zorvel::test {

// A fresh temporary directory, removed with the object.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::string& Path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Script text (UTF-8, "\n" line ends) in its stored form: Shift-JIS, 0-ended lines, negated.
std::vector<uint8_t> EncodeScript(const std::string& utf8);
// Writes a layout A archive of the given entries (name -> raw bytes).
void WriteArchiveA(const std::string& path,
                   const std::map<std::string, std::vector<uint8_t>>& entries);
// Writes a picture archive (layout B) of GRA pictures, e.g. DIR/vx_gra.kpz.
void WritePictures(const std::string& path, const std::map<std::string, Surface>& pictures);
// A picture of one colour, and a pixel as red, green, blue.
Surface Solid(int width, int height, uint8_t r, uint8_t g, uint8_t b);
Surface EveningScene();
std::array<uint8_t, 3> PixelAt(const Surface& s, int x, int y);
// Compares two pictures byte by byte, allowing each channel to differ by `tolerance`. On a
// difference it writes them side by side (actual left) as a PNG in the test's temporary
// directory and names it in the failure.
void ExpectPicture(const Surface& actual, const Surface& expected, const std::string& name,
                   int tolerance = 0);
// A golden picture from tests/data/golden/NAME.png compared with `actual`; with the
// environment variable ZORVEL_WRITE_GOLDEN=1 the golden file is written instead.
void ExpectGolden(const Surface& actual, const std::string& name, int tolerance);
// "sys_qbtn": each quick button a plate of kBarUnlit (kBarLit in the lit rows) with as many
// white dots as its number, opaque over the button and transparent between the buttons.
inline constexpr std::array<uint8_t, 3> kBarUnlit = {50, 70, 120};
inline constexpr std::array<uint8_t, 3> kBarLit = {240, 150, 30};
Surface QuickButtonPicture();
// How quick button `button` (1-12) looks on a shown frame: "lit", "unlit", or "none" when the
// bar is not there.
std::string LampShown(const Surface& frame, int button);
// Writes vx_data.kpz with the scripts (name -> UTF-8 text) into `dir`.
void WriteGame(const std::string& dir, const std::map<std::string, std::string>& scripts);

std::string ReadText(const std::string& path);
void WriteText(const std::string& path, const std::string& text);

// An engine playing a game directory headless, in this process.
class Session {
 public:
  // `translation`: a PO file shown in place of the scripts' texts (empty: none).
  Session(const std::string& gameDir, const std::string& configDir,
          const std::string& translation = "");
  // Adds events in the events-file format.
  void Events(const std::string& text);
  // Runs until `ms` of game time have passed (or the game closes).
  void RunFor(uint32_t ms);
  // Events in the events-file format without their times: each happens now and the game runs
  // `ms` after it, so the next one follows.
  void Do(std::initializer_list<std::string> events, uint32_t ms = 100);

  Engine& engine() { return *engine_; }
  EngineState& state() { return engine_->State(); }
  HeadlessPlatform& platform() { return *platform_; }
  // The history lines as UTF-8.
  std::vector<std::string> History();
  std::string PageRow(int row);
  std::string StringVar(int n);

 private:
  std::unique_ptr<IniSettingsStore> store_;
  std::unique_ptr<HeadlessPlatform> platform_;
  std::unique_ptr<Engine> engine_;
  bool started_ = false;
  uint32_t nextTick_ = 0;
};

// Plays a game as a player clicks through it, until its script is `endScript` or 300 s of game
// time have passed: at a choice list or click map the first entry that lights under the pointer
// going down the screen (`atChoice` sees the list first), at a page end a click, and a click
// every second otherwise for sleeps and movies. Every page end checks that nothing was typed
// past the rows the window shows (such a row lies under the quick-button bar or past the novel
// page). Returns the page ends seen.
int ClickThrough(Session& s, const char* endScript, const std::function<void()>& atChoice = {});

// Runs the zorvel binary; returns its exit code.
int RunZorvel(const std::vector<std::string>& args);

struct ProcessOptions {
  // An environment change: a value of nullopt removes the variable.
  using Env = std::pair<std::string, std::optional<std::string>>;
  std::vector<Env> env;
  // Sent once the process has run this long (real time), when non-zero.
  int signal = 0;
  int signalAfterMs = 0;
  // ... and once the process has written this to stderr, when not empty: a start under a loaded
  // machine can take longer than any fixed delay, and a signal before the handlers are in place
  // would end the process the default way.
  std::string signalAfterOutput;
  // A run that outlives this is killed and reported as a hang (exit code -2).
  int killAfterMs = 60000;
};

struct ProcessResult {
  int exitCode = -1;  // -1: ended by a signal; -2: killed as hung
  std::string err;    // what it wrote to stderr
};

// Runs a program (argv[0] is its path) with stderr captured.
ProcessResult RunProcess(const std::vector<std::string>& argv, const ProcessOptions& options = {});
// The same for the zorvel binary.
ProcessResult RunZorvelProcess(const std::vector<std::string>& args,
                               const ProcessOptions& options = {});

}  // namespace zorvel::test
