// Fuzz target bodies of the save files: a slot file loaded into a fresh state, and a global data
// file synchronised with memory.
#include <memory>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "platform/files.h"
#include "platform/forgetful_settings_store.h"
#include "save/global_data.h"
#include "save/slot_file.h"
#include "scratch_dir.h"
#include "targets.h"

namespace zorvel::fuzz {

void FuzzSlotFile(const uint8_t* data, size_t size) {
  SlotFile file;
  std::string why;
  if (!file.Parse(std::span(data, size), why)) {
    FUZZ_CHECK(size < kSlotFileSize && !why.empty());
    return;
  }
  static auto state = std::make_unique<EngineState>();
  *state = EngineState{};
  file.RestoreBanks(*state);
  file.RestoreRecord(*state);
  file.RestoreTexts(*state);
  PageRing ring;
  file.RestoreRing(ring);
  // Whatever the bytes, what indexes the state's arrays stays inside them.
  FUZZ_CHECK(state->callDepth >= 0 && state->callDepth <= kMaxCallDepth);
  FUZZ_CHECK(state->textRow >= 0 && state->textRow <= kPageRows);
  FUZZ_CHECK(state->textColumn >= 0 && state->textColumn <= kPageColumns);
  FUZZ_CHECK(state->historyLines >= 0 && state->historyLines <= kHistoryCommitted);
  FUZZ_CHECK(state->linePos >= 0 && state->linePos < kLineBufferSize);
  FUZZ_CHECK(state->lineBuffer[kLineBufferSize - 1] == 0);
  FUZZ_CHECK(ring.pageCounter >= 0);
  const Surface thumb = file.Thumbnail();
  FUZZ_CHECK(thumb.Width() == kThumbWidth && thumb.Height() == kThumbHeight);
  // A slot written from the loaded state is a slot again.
  const Surface scene(800, 600);
  const std::vector<uint8_t> again =
      BuildSlotFile(SlotSource{*state, ring, scene, state->loopEffect, std::tm{}});
  FUZZ_CHECK(again.size() == kSlotFileSize);
}

void FuzzGlobalFile(const uint8_t* data, size_t size) {
  static ScratchDir scratch;
  static ForgetfulSettingsStore store;
  static const SettingsLocation where;
  static Settings settings;
  const std::string path = JoinPath(scratch.Path(), "save0.dat");
  FUZZ_CHECK(WriteFileAtomic(path, data, size));
  static auto state = std::make_unique<EngineState>();
  *state = EngineState{};
  GlobalData global(*state, store, where, settings);
  global.SetDirectory(scratch.Path());
  global.SyncGlobalData(size % 2 == 0);
  // Whatever was there, a whole file with a right checksum is there now.
  const auto written = ReadWholeFile(path);
  FUZZ_CHECK(written && written->size() == kGlobalFileSize);
  FUZZ_CHECK(DescribeGlobalFile(*written).checksumGood);
  DescribeGlobalFile(std::span(data, size));
}

}  // namespace zorvel::fuzz
