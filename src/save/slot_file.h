// The slot file: one saved game, 144,978 bytes with no magic, version or checksum, laid out
// field by field as the game state holds it. Files written by other players' engines load, so
// the layout is fixed to the byte.
//
// This unit only turns state into bytes and back; when and how a save or load happens (sounds,
// banners, the order of the steps) belongs to the save screens.
#pragma once

#include <cstdint>
#include <ctime>
#include <span>
#include <string>
#include <vector>

#include "core/engine_state.h"
#include "graphics/surface.h"
#include "ui/backlog.h"

namespace zorvel {

constexpr size_t kSlotFileSize = 144978;
constexpr int kSlotCount = 99;
constexpr int kQuickSlot = 99;
constexpr int kThumbWidth = 160, kThumbHeight = 120;

struct SlotLayout {
  static constexpr size_t kDescription = 0, kDescriptionSize = 96;
  static constexpr size_t kComment = 96, kCommentSize = 32;
  static constexpr size_t kF = 128, kReserved = 256, kV = 1280, kS = 5280, kReadMarks = 6080,
                          kT = 16320, kRecord = 17570, kHistory = 17826, kLineBuffer = 31826,
                          kNames = 33874, kStrings = 34898, kPageText = 35538,
                          kPageAttributes = 37538, kRingTexts = 39538, kRingOverlay = 79538,
                          kRingNames = 79618, kRingVoices = 82178, kRingNovel = 87298,
                          kThumbnail = 87378;
  // Inside the name block.
  static constexpr size_t kCallNames = 0, kScriptName = 270, kLoadedScriptName = 300,
                          kBackground = 330, kCharacters = 360, kOverlay = 420, kRecScript = 450,
                          kLoopEffect = 480, kLastVoice = 510, kSpeaker = 540;
};

// State record indexes that have a meaning of their own.
enum SlotRecord : int {
  kRecCallDepth = 0,
  kRecCallReturns = 1,
  kRecTextWindowOn = 10,
  kRecInterpreterOn = 23,
  kRecNeedLine = 24,
  kRecLineStart = 25,
  kRecResume = 26,
  kRecNovel = 29,
  kRecPageCounter = 30,
  kRecPageEmpty = 32,
  kRecordCount = 64,
};

// Where the game goes on after a load: the command that offers a waiting choice, click map or
// tree runs again; `backto` may have recorded a better place.
int32_t ResumePosition(const EngineState& s);

struct SlotSource {
  const EngineState& state;
  const PageRing& ring;
  const Surface& scene;    // 800 x 600, shrunk into the thumbnail
  const char* loopEffect;  // the looping effect playing now, "" for none
  std::tm when;            // local time of the save
};

std::vector<uint8_t> BuildSlotFile(const SlotSource& source);
// "YYYY/MM/DD hh:mm:ss  title", cut on a character boundary to at most 94 bytes.
std::string SlotDescription(const std::tm& when, const char* titleText);
// The comment field's bytes for a Shift-JIS comment of at most 30 bytes (cut on a character
// boundary).
void WriteSlotComment(std::vector<uint8_t>& file, const std::string& sjisComment);

// A slot file as read: refuses files shorter than the layout (half of a game would load over
// the other half); longer files are read for their first bytes.
class SlotFile {
 public:
  bool Parse(std::span<const uint8_t> bytes, std::string& why);

  std::span<const uint8_t> At(size_t offset, size_t size) const {
    return std::span(bytes_).subspan(offset, size);
  }
  int32_t Int(size_t offset) const;
  int32_t Record(int index) const { return Int(SlotLayout::kRecord + 4 * index); }
  std::string Text(size_t offset, size_t size) const;  // up to the first 0 byte
  std::string Name(size_t nameOffset, size_t size = kNameSize) const {
    return Text(SlotLayout::kNames + nameOffset, size);
  }

  // Copies the banks, the record, the names, the texts and the page into the state, each field
  // at its full width; the caller decides the order and what is held back.
  void RestoreBanks(EngineState& s) const;
  void RestoreRecord(EngineState& s) const;
  void RestoreTexts(EngineState& s) const;
  void RestoreRing(PageRing& ring) const;
  Surface Thumbnail() const;

 private:
  std::vector<uint8_t> bytes_;
};

}  // namespace zorvel
