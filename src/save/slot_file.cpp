#include "save/slot_file.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "core/variable_banks.h"
#include "resources/byte_reader.h"
#include "text/sjis.h"

namespace zorvel {

namespace {

using L = SlotLayout;

void PutInt(std::vector<uint8_t>& b, size_t at, int32_t v) {
  StoreLe32(b, at, static_cast<uint32_t>(v));
}

void PutBytes(std::vector<uint8_t>& b, size_t at, const void* src, size_t size) {
  std::memcpy(b.data() + at, src, size);
}

// Fields are copied at full width, as bytes; a 0 inside a field ends nothing here.
template <typename T>
void PutField(std::vector<uint8_t>& b, size_t at, const T& field, size_t size = sizeof(T)) {
  PutBytes(b, at, &field, std::min(size, sizeof(T)));
}

}  // namespace

int32_t ResumePosition(const EngineState& s) {
  if (s.interactionMode != 0) {
    return s.vars.S[kBacktoPos] != 0 ? s.vars.S[kBacktoPos] : s.lineStart;
  }
  if (s.screenMode == 4) return s.lineStart;
  return s.scriptPos;
}

std::string SlotDescription(const std::tm& when, const char* titleText) {
  char stamp[64];
  std::snprintf(stamp, sizeof stamp, "%04d/%02d/%02d %02d:%02d:%02d  ", when.tm_year + 1900,
                when.tm_mon + 1, when.tm_mday, when.tm_hour, when.tm_min, when.tm_sec);
  const std::string text = stamp + std::string(titleText, strnlen(titleText, 64));
  char cut[95];
  CopyField(cut, sizeof cut, text.c_str());
  return cut;
}

void WriteSlotComment(std::vector<uint8_t>& file, const std::string& sjisComment) {
  if (file.size() < L::kComment + L::kCommentSize) return;
  char cut[31];
  CopyField(cut, sizeof cut, sjisComment.c_str());
  std::fill_n(file.begin() + L::kComment, L::kCommentSize, 0);
  std::memcpy(file.data() + L::kComment, cut, std::strlen(cut));
}

std::vector<uint8_t> BuildSlotFile(const SlotSource& src) {
  const EngineState& s = src.state;
  std::vector<uint8_t> b(kSlotFileSize, 0);

  const std::string description = SlotDescription(src.when, s.titleText);
  PutBytes(b, L::kDescription, description.data(), description.size());

  PutField(b, L::kF, s.vars.F.bytes);
  PutField(b, L::kReserved, s.vars.reserved);
  for (int i = 0; i < 1000; ++i) PutInt(b, L::kV + 4 * i, s.vars.V[i]);
  for (int i = 0; i < 200; ++i) PutInt(b, L::kS + 4 * i, s.vars.S[i]);
  PutField(b, L::kReadMarks, s.vars.readMarks.bytes, 10240);
  PutField(b, L::kT, s.vars.T.bytes, 1250);

  int32_t record[kRecordCount]{};
  record[kRecCallDepth] = s.callDepth;
  for (int i = 0; i < kMaxCallDepth; ++i) record[kRecCallReturns + i] = s.callReturns[i];
  record[kRecTextWindowOn] = s.textWindowOn;
  record[11] = s.waitTicks;
  record[12] = s.charDelay;
  record[13] = s.waitKind;
  record[14] = s.screenMode;
  record[15] = s.deferUpdate;
  record[17] = s.textColumn;
  record[18] = s.textRow;
  record[19] = s.textStyle;
  record[20] = s.textColour;
  record[21] = s.historyLines;
  record[22] = s.historyLen;
  record[kRecInterpreterOn] = s.interpreterOn;
  record[kRecNeedLine] = s.needLine;
  record[kRecLineStart] = s.lineStart;
  record[kRecResume] = ResumePosition(s);
  record[27] = s.scriptSize;
  record[28] = s.linePos;
  record[kRecNovel] = s.vars.S[150];
  record[kRecPageCounter] = src.ring.pageCounter;
  record[kRecPageEmpty] = s.pageCleared;
  for (int i = 0; i < kRecordCount; ++i) PutInt(b, L::kRecord + 4 * i, record[i]);

  PutBytes(b, L::kHistory, s.history, kHistoryCommitted * kHistorySlotSize);
  PutField(b, L::kLineBuffer, s.lineBuffer);

  const size_t n = L::kNames;
  PutField(b, n + L::kCallNames, s.callNames);
  PutField(b, n + L::kScriptName, s.scriptName);
  PutField(b, n + L::kLoadedScriptName, s.loadedScriptName);
  PutField(b, n + L::kBackground, s.backgroundName);
  PutField(b, n + L::kCharacters, s.characterSpec);
  PutField(b, n + L::kOverlay, s.overlayName);
  PutField(b, n + L::kRecScript, s.recScriptName);
  PutBytes(b, n + L::kLoopEffect, src.loopEffect, strnlen(src.loopEffect, kNameSize));
  PutField(b, n + L::kLastVoice, s.lastVoice, kNameSize);
  PutField(b, n + L::kSpeaker, s.speakerName, 20);

  PutField(b, L::kStrings, s.stringVars);
  PutField(b, L::kPageText, s.pageText);
  PutField(b, L::kPageAttributes, s.pageColour);
  for (int k = 0; k < kPageRingSize; ++k) {
    const PageRecord& r = src.ring.records[k];
    PutField(b, L::kRingTexts + sizeof r.text * k, r.text);
    PutInt(b, L::kRingOverlay + 4 * k, r.overlay);
    PutField(b, L::kRingNames + kPageNamesSize * k, r.names);
    PutField(b, L::kRingVoices + kPageVoicesSize * k, r.voices);
    PutInt(b, L::kRingNovel + 4 * k, r.novel);
  }

  // The thumbnail: each pixel the average of its 5 x 5 block of the scene.
  const Surface& scene = src.scene;
  if (scene.Width() >= kThumbWidth * 5 && scene.Height() >= kThumbHeight * 5) {
    size_t at = L::kThumbnail;
    for (int ty = 0; ty < kThumbHeight; ++ty) {
      for (int tx = 0; tx < kThumbWidth; ++tx) {
        unsigned sum[3] = {0, 0, 0};
        for (int dy = 0; dy < 5; ++dy) {
          const uint8_t* p = scene.Row(ty * 5 + dy) + static_cast<size_t>(tx) * 5 * 3;
          for (int dx = 0; dx < 5; ++dx) {
            for (int c = 0; c < 3; ++c) sum[c] += p[dx * 3 + c];
          }
        }
        for (int c = 0; c < 3; ++c) b[at++] = static_cast<uint8_t>((sum[c] + 12) / 25);
      }
    }
  }
  return b;
}

bool SlotFile::Parse(std::span<const uint8_t> bytes, std::string& why) {
  if (bytes.size() < kSlotFileSize) {
    why = "it is " + std::to_string(bytes.size()) + " bytes; a saved game is " +
          std::to_string(kSlotFileSize);
    return false;
  }
  bytes_.assign(bytes.begin(), bytes.begin() + kSlotFileSize);
  return true;
}

int32_t SlotFile::Int(size_t at) const {
  return static_cast<int32_t>(LoadLe32(bytes_, at));
}

std::string SlotFile::Text(size_t offset, size_t size) const {
  const auto* p = reinterpret_cast<const char*>(bytes_.data() + offset);
  return std::string(p, strnlen(p, size));
}

namespace {

template <typename T>
void TakeField(T& field, std::span<const uint8_t> from) {
  std::memcpy(&field, from.data(), std::min(sizeof(T), from.size()));
}

}  // namespace

void SlotFile::RestoreBanks(EngineState& s) const {
  TakeField(s.vars.F.bytes, At(L::kF, 128));
  TakeField(s.vars.reserved, At(L::kReserved, 1024));
  for (int i = 0; i < 1000; ++i) s.vars.V[i] = Int(L::kV + 4 * i);
  for (int i = 0; i < 200; ++i) s.vars.S[i] = Int(L::kS + 4 * i);
  TakeField(s.vars.readMarks.bytes, At(L::kReadMarks, 10240));
  TakeField(s.vars.T.bytes, At(L::kT, 1250));
}

void SlotFile::RestoreRecord(EngineState& s) const {
  // A damaged depth would index past the call stack.
  s.callDepth = std::clamp(Record(kRecCallDepth), 0, kMaxCallDepth);
  for (int i = 0; i < kMaxCallDepth; ++i) s.callReturns[i] = Record(kRecCallReturns + i);
  s.textWindowOn = Record(kRecTextWindowOn) != 0;
  s.waitTicks = Record(11);
  s.charDelay = Record(12);
  s.waitKind = Record(13);
  s.screenMode = Record(14);
  s.deferUpdate = Record(15) != 0;
  s.textColumn = std::clamp(Record(17), 0, kPageColumns);
  s.textRow = std::clamp(Record(18), 0, kPageRows);
  s.textStyle = Record(19);
  s.textColour = Record(20);
  s.historyLines = std::clamp(Record(21), 0, kHistoryCommitted);
  // The write position is absolute, inside the slot of the line being written: a save made in
  // the middle of a line goes on writing that line after the load.
  s.historyLen = std::clamp(Record(22), 0, kHistorySlots * kHistorySlotSize - 1);
  // A full history's line in progress lies past what a slot stores: it starts afresh.
  if (s.historyLines == kHistoryCommitted) s.historyLen = kHistoryCommitted * kHistorySlotSize;
  s.lineStart = Record(kRecLineStart);
  // The size stays that of the script in the buffer: the load puts the slot's script there, and
  // a number from the file would let the interpreter read past it.
  s.linePos = std::clamp(Record(28), 0, kLineBufferSize - 1);
  s.vars.S[150] = Record(kRecNovel);
  s.pageCleared = Record(kRecPageEmpty) != 0;
}

void SlotFile::RestoreTexts(EngineState& s) const {
  TakeField(s.history, At(L::kHistory, kHistoryCommitted * kHistorySlotSize));
  // The slot past the stored ones would otherwise keep a line of the game being left.
  std::memset(s.history + kHistoryCommitted * kHistorySlotSize, 0,
              sizeof s.history - kHistoryCommitted * kHistorySlotSize);
  TakeField(s.lineBuffer, At(L::kLineBuffer, kLineBufferSize));
  s.lineBuffer[kLineBufferSize - 1] = 0;
  const size_t n = L::kNames;
  TakeField(s.callNames, At(n + L::kCallNames, sizeof s.callNames));
  TakeField(s.scriptName, At(n + L::kScriptName, kNameSize));
  TakeField(s.loadedScriptName, At(n + L::kLoadedScriptName, kNameSize));
  TakeField(s.backgroundName, At(n + L::kBackground, kNameSize));
  TakeField(s.characterSpec, At(n + L::kCharacters, 60));
  TakeField(s.overlayName, At(n + L::kOverlay, kNameSize));
  TakeField(s.recScriptName, At(n + L::kRecScript, kNameSize));
  std::memset(s.lastVoice, 0, sizeof s.lastVoice);
  TakeField(s.lastVoice, At(n + L::kLastVoice, kNameSize));
  std::memset(s.speakerName, 0, sizeof s.speakerName);
  TakeField(s.speakerName, At(n + L::kSpeaker, 20));
  TakeField(s.stringVars, At(L::kStrings, sizeof s.stringVars));
  TakeField(s.pageText, At(L::kPageText, sizeof s.pageText));
  TakeField(s.pageColour, At(L::kPageAttributes, sizeof s.pageColour));
}

void SlotFile::RestoreRing(PageRing& ring) const {
  for (int k = 0; k < kPageRingSize; ++k) {
    PageRecord& r = ring.records[k];
    TakeField(r.text, At(L::kRingTexts + sizeof r.text * k, sizeof r.text));
    r.overlay = Int(L::kRingOverlay + 4 * k);
    TakeField(r.names, At(L::kRingNames + kPageNamesSize * k, kPageNamesSize));
    TakeField(r.voices, At(L::kRingVoices + kPageVoicesSize * k, kPageVoicesSize));
    r.novel = Int(L::kRingNovel + 4 * k);
  }
  ring.pageCounter = std::max(Record(kRecPageCounter), 0);
}

Surface SlotFile::Thumbnail() const {
  Surface t(kThumbWidth, kThumbHeight);
  for (int y = 0; y < kThumbHeight; ++y) {
    std::memcpy(t.Row(y), bytes_.data() + L::kThumbnail + static_cast<size_t>(y) * kThumbWidth * 3,
                static_cast<size_t>(kThumbWidth) * 3);
  }
  return t;
}

}  // namespace zorvel
