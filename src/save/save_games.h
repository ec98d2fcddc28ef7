// Saving and loading a game in a slot, quick save and quick load, and the notice banner that
// announces them on the game screen.
//
// Touches: the whole game state (a load replaces it), the page ring, the screen and scene
// surfaces, the settings (LastSaveSlot, the player names), the system text, the frame clock, and
// the slot files under the save directory. Sounds, music, the layers, the script loader, the
// global data and the tool bar are reached through the hooks.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/engine_state.h"
#include "core/hook.h"
#include "graphics/frame_clock.h"
#include "graphics/screen.h"
#include "platform/platform.h"
#include "resources/game_config.h"
#include "resources/settings.h"
#include "save/slot_file.h"
#include "text/system_text.h"
#include "ui/backlog.h"

namespace zorvel {

struct SaveGameHooks {
  Hook<void(const char* name)> playSystemSound;
  Hook<void()> drawQuickBar;
  Hook<void()> updateToolbar;
  Hook<void(int force)> breakSkipAndAuto;
  // Voices and effects, every slot.
  Hook<void()> stopAllSounds;
  // Stops the looping effect and forgets its name.
  Hook<void()> stopLoop;
  // The looping effect playing now ("" for none), and starting one again after a load (the
  // category switches decide).
  Hook<std::string()> loopEffect;
  Hook<void(const std::string& name)> restartLoop;
  // The `music` operation with a number.
  Hook<void(int number)> music;
  Hook<void()> syncGlobalData;
  // The layers rebuilt from the remembered names and shown with transition 7.
  Hook<void()> restoreScreen;
  // A script's decoded text read without touching the running one (nullopt: it cannot be
  // loaded), and that text made the running script.
  Hook<std::optional<std::vector<uint8_t>>(const char* name)> readScript;
  Hook<void(const char* name, std::vector<uint8_t> text)> installScript;
  // The message window's captured background no longer matches the scene.
  Hook<void()> windowStale;
  // Where the save files live; empty when they are kept nowhere.
  Hook<std::string()> directory;
  // The local time now (saves record it).
  Hook<std::tm()> now;
};

class SaveGames {
 public:
  SaveGames(EngineState& state, Screen& screen, const GameConfig& config, Settings& settings,
            SettingsStore& store, const SettingsLocation& where, SystemText& systemText,
            FrameClock& frameClock, Platform& platform, PageRing& ring, SaveGameHooks hooks);

  // False when the slot could not be written (the game is unchanged then).
  bool SaveGame(int slot, bool silent);
  // False when the slot does not exist or cannot be used; a refused file leaves the game as it
  // was.
  bool LoadGame(int slot, bool silent);
  void QuickSave();
  void QuickLoad() { LoadGame(kQuickSlot, false); }
  // Replaces a slot's comment in place (the list's comment button and quick save).
  bool WriteComment(int slot, const std::string& sjisComment);
  void NoticeBanner(const char* sjisText, int holdMs);

  std::string SlotPath(int slot) const;
  bool SlotExists(int slot) const;
  // The first 128 bytes of a slot (description and comment), when the slot exists.
  std::optional<std::vector<uint8_t>> SlotHeader(int slot) const;
  bool DeleteSlot(int slot);

 private:
  void Banner(const char* sjisText, int holdMs);

  EngineState& s_;
  Screen& screen_;
  const GameConfig& config_;
  Settings& settings_;
  SettingsStore& store_;
  const SettingsLocation& where_;
  SystemText& systemText_;
  FrameClock& frameClock_;
  Platform& platform_;
  PageRing& ring_;
  SaveGameHooks hooks_;
};

}  // namespace zorvel
