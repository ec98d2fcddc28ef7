// Games for the benchmarks: scripts are generated in code, written to a temporary game
// directory and played by an engine on the headless platform.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/engine.h"
#include "platform/headless/headless_platform.h"
#include "platform/ini_store.h"

namespace zorvel::bench {

// A temporary directory removed with the object.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

// Writes a picture archive (layout b, GRA pictures) such as DIR/vx_gra.kpz.
void WritePictureArchive(const std::string& path,
                         const std::vector<std::pair<std::string, Surface>>& pictures);

// Writes vx_data.kpz into `dir`: script name -> UTF-8 text with "\n" line ends. Throws when a
// character has no Shift-JIS form.
void WriteGame(const std::string& dir, const std::map<std::string, std::string>& scripts);

// An engine on the headless platform with its own settings directory.
class HeadlessGame {
 public:
  // `translation`: a PO file shown in place of the scripts' texts (empty: none).
  explicit HeadlessGame(const std::string& gameDir, const std::string& translation = "");

  Engine& engine() { return *engine_; }
  EngineState& state() { return engine_->State(); }
  HeadlessPlatform& platform() { return *platform_; }

  // One pass of the main loop: the timer when it is due, then the idle pass.
  void Pass();
  // A left press at a game-area point (by default inside the message window).
  void Click(int x = 400, int y = 500);
  void Move(int x, int y);
  // The script has run off its end with no call to return from.
  bool ScriptEnded();

 private:
  TempDir settingsDir_;
  std::unique_ptr<IniSettingsStore> store_;
  std::unique_ptr<HeadlessPlatform> platform_;
  std::unique_ptr<Engine> engine_;
  uint32_t nextTick_ = Engine::kTimerInterval;
};

}  // namespace zorvel::bench
