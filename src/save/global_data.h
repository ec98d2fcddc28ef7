// What belongs to the player rather than to one playthrough: the read marks, the event flags
// (E bank), the seen pictures, the unlocked scenes, the G bank and the recollection playlists.
// "save0.dat" holds the union of every run's bits; each sync ORs it into memory and writes the
// union back, so bits only ever accumulate. "kaiso.dat" receives the playlists.
//
// Touches: the E, seen, unlocked, readMarks and G banks of the game state; the settings store
// (GV00-GV09); the files "save0.dat" and "kaiso.dat" in the save directory and their damaged
// copies ("save0.dat.bad", "save0.dat.bad1", ...).
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/engine_state.h"
#include "resources/settings.h"

namespace zorvel {

class SettingsStore;

constexpr size_t kGlobalDataBytes = 10880;
constexpr size_t kGlobalFileSize = kGlobalDataBytes + 4;
constexpr size_t kKaisoFileSize = 2640;
constexpr uint32_t kGlobalChecksumSeed = 1234;

// The reflected CRC-32 (polynomial 0xEDB88320) from `seed`, without the final inversion.
uint32_t GlobalChecksum(std::span<const uint8_t> bytes, uint32_t seed = kGlobalChecksumSeed);

// Offsets of the four blocks of "save0.dat".
struct GlobalLayout {
  static constexpr size_t kEvents = 0, kEventsSize = 128;
  static constexpr size_t kSeen = 128, kSeenSize = 256;
  static constexpr size_t kCounter = kSeen + 252;  // the character-display counter, int32
  static constexpr size_t kUnlocked = 384, kUnlockedSize = 256;
  static constexpr size_t kReadMarks = 640, kReadMarksSize = 10240;
  static constexpr size_t kChecksum = kGlobalDataBytes;
};

// The recollection playlists: ten lists of up to 50 entries (0 ends a list) and their names.
struct RecollectionPlaylists {
  std::array<std::array<int32_t, 50>, 10> entries{};
  std::array<std::array<char, 64>, 10> names{};  // Shift-JIS, zero-terminated
};

// What a "save0.dat" says of itself, for the tools.
struct GlobalFileInfo {
  bool rightSize = false;
  bool checksumGood = false;
  uint32_t storedChecksum = 0, computedChecksum = 0;
  size_t eventFlags = 0, seenPictures = 0, unlockedScenes = 0, readMarks = 0;
  int32_t characterCounter = 0;
};
GlobalFileInfo DescribeGlobalFile(std::span<const uint8_t> file);

// Reads "kaiso.dat" into `out`; false, and `out` untouched, when the file is not 2,640 bytes or
// names a scene past the unlock bits.
bool ReadPlaylists(std::span<const uint8_t> file, RecollectionPlaylists& out);

// Where the save files of a game live: the directory given on the command line; else the game
// directory; else, when that cannot be written (a game installed read-only), a folder named
// after the game's GAME_ID under the per-user data directory, said once in the log.
std::string ResolveSaveDirectory(const std::string& given, const std::string& gameDir,
                                 const std::string& sjisGameId);

class GlobalData {
 public:
  GlobalData(EngineState& state, SettingsStore& store, const SettingsLocation& where,
             Settings& settings);

  // Where the files live; set once the game's identity is known. Empty: the files are kept in
  // memory only.
  void SetDirectory(std::string dir) { dir_ = std::move(dir); }
  const std::string& Directory() const { return dir_; }

  // Start-up: the playlists from "kaiso.dat" when it is whole (a damaged one is kept aside as
  // "kaiso.dat.bad"), then the sync, in which the stored character-display counter wins over
  // the one in memory.
  void LoadGlobalData();
  // Merges "save0.dat" into memory, writes the union back, the G bank to the settings and the
  // playlists to "kaiso.dat".
  void SyncGlobalData(bool atStartUp = false);
  void CountCharacterChange() { ++characterCounter_; }
  int32_t CharacterCounter() const { return characterCounter_; }

  RecollectionPlaylists& Playlists() { return playlists_; }

 private:
  // The four blocks as memory holds them, with the file's bytes that memory has no room for.
  void MergeInto(std::vector<uint8_t>& file);
  void WriteFiles(std::vector<uint8_t>& file, bool fileUnchanged);

  EngineState& s_;
  SettingsStore& store_;
  const SettingsLocation& where_;
  Settings& settings_;
  std::string dir_ = ".";
  int32_t characterCounter_ = 0;
  RecollectionPlaylists playlists_;
  bool writeFailureSaid_ = false;
  std::vector<uint8_t> memoryFile_;  // "save0.dat" when there is no directory
  std::vector<uint8_t> writtenKaiso_;
  std::array<int32_t, 10> writtenGv_{};
  bool gvWritten_ = false;
};

}  // namespace zorvel
