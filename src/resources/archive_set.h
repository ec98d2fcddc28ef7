// The fixed set of archives a game ships and the script loader that reads from them.
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/engine_state.h"
#include "resources/archive.h"
#include "resources/game_config.h"

namespace zorvel {

class ArchiveSet {
 public:
  explicit ArchiveSet(std::string gameDir) : gameDir_(std::move(gameDir)) {}

  // "vx_data.kpz" and, when present, "vx_data2.kpz". False, with the reason, when
  // "vx_data.kpz" is missing, unreadable, empty or has a damaged index: the game cannot start.
  bool OpenScriptArchives(std::string& why);
  // Every other archive; `cdDir` (Shift-JIS, backslash-ended) is tried for files missing beside
  // the game when the configuration says the CD may hold them.
  void OpenArchives(const GameConfig& config, const std::string& cdDir);

  ResourceArchive scriptPatch, script;
  std::array<ResourceArchive, 3> gra;  // picture archives 1..3
  ResourceArchive gjp;
  std::array<ResourceArchive, 5> wav;  // voice archives 1..5
  std::array<ResourceArchive, 3> se;   // effect archives 0..2
  std::array<ResourceArchive, 3> ogg;  // Ogg archives 1..3
  ResourceArchive bgm, ogm;
  std::array<ResourceArchive, 2> anim;

  // Scripts and `_config`: the patch archive first.
  const ResourceArchive* FindScript(std::string_view name, int& entry) const;

  const std::string& GameDir() const { return gameDir_; }

 private:
  // An archive the game can do without: a refusal is logged once and play goes on.
  static void OpenOptional(ResourceArchive& archive, const std::string& path, IndexLayout layout);
  void OpenB(ResourceArchive& archive, const std::string& fileName, bool cdFallback,
             const std::string& cdDir, const std::set<std::string>& present);

  std::string gameDir_;
};

constexpr int kLoadStory = 1;
constexpr int kLoadConfig = 2;

// Reads a script entry, decodes its negated bytes and makes it the running script (mode 1) or
// the configuration text (mode 2).
class ScriptLoader {
 public:
  ScriptLoader(const ArchiveSet& archives, EngineState& state,
               std::function<void(const std::string&)> sceneUnlockHook = {})
      : archives_(archives), state_(state), unlockHook_(std::move(sceneUnlockHook)) {}

  bool LoadScript(const char* name, int mode);
  // The decoded text of a script, read without touching the running one; nullopt when it cannot
  // be loaded. `InstallScript` then makes it the running script, as LoadScript would (false,
  // and nothing changed, for text longer than a script may be).
  std::optional<std::vector<uint8_t>> ReadScript(const char* name) const;
  bool InstallScript(const char* name, std::vector<uint8_t> bytes, int mode);

  const std::vector<uint8_t>& ConfigText() const { return configText_; }
  // Counts story loads, so that what is derived from the script buffer knows when to rebuild.
  uint64_t StoryLoads() const { return storyLoads_; }
  void SetUnlockHook(std::function<void(const std::string&)> hook) {
    unlockHook_ = std::move(hook);
  }

 private:
  const ArchiveSet& archives_;
  EngineState& state_;
  std::function<void(const std::string&)> unlockHook_;
  std::vector<uint8_t> configText_;
  uint64_t storyLoads_ = 0;
};

// The stored form of script text: every byte negated, which is its own inverse.
inline void DecodeScriptBytes(uint8_t* bytes, size_t size) {
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(0u - bytes[i]);
}

}  // namespace zorvel
