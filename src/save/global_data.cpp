#include "save/global_data.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>

#include "platform/files.h"
#include "platform/platform.h"
#include "resources/byte_reader.h"
#include "text/sjis.h"

namespace zorvel {

namespace {

const std::array<uint32_t, 256>& CrcTable() {
  static const std::array<uint32_t, 256> table = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  return table;
}

// ORs a block of the file into memory and memory back into the block. Bytes of the block that
// memory has no room for keep the file's value, so nothing the file held is ever dropped.
// Every access lies within the two spans by the loop's own bounds; under the address
// sanitizer each word's copy would otherwise be a checked call, at every sync.
__attribute__((no_sanitize("address"))) void MergeBlock(std::span<uint8_t> memory,
                                                        std::span<uint8_t> block) {
  const size_t n = std::min(memory.size(), block.size());
  uint8_t* mem = memory.data();
  uint8_t* file = block.data();
  // Eight bytes at a time: the read marks alone are ten thousand bytes, merged at every sync.
  size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    uint64_t m, b;
    std::memcpy(&m, mem + i, 8);
    std::memcpy(&b, file + i, 8);
    m |= b;
    std::memcpy(mem + i, &m, 8);
    std::memcpy(file + i, &m, 8);
  }
  for (; i < n; ++i) {
    mem[i] |= file[i];
    file[i] = mem[i];
  }
}

size_t CountBits(std::span<const uint8_t> bytes) {
  size_t n = 0;
  for (uint8_t b : bytes) n += static_cast<size_t>(std::popcount(b));
  return n;
}

}  // namespace

uint32_t GlobalChecksum(std::span<const uint8_t> bytes, uint32_t seed) {
  const auto& table = CrcTable();
  uint32_t crc = seed;
  for (uint8_t b : bytes) crc = (crc >> 8) ^ table[(crc ^ b) & 0xFF];
  return crc;
}

GlobalFileInfo DescribeGlobalFile(std::span<const uint8_t> file) {
  GlobalFileInfo info;
  info.rightSize = file.size() == kGlobalFileSize;
  if (file.size() < kGlobalFileSize) return info;
  const std::vector<uint8_t> b(file.begin(), file.begin() + kGlobalFileSize);
  info.storedChecksum = LoadLe32(b, GlobalLayout::kChecksum);
  info.computedChecksum = GlobalChecksum(std::span(b).first(kGlobalDataBytes));
  info.checksumGood = info.storedChecksum == info.computedChecksum;
  const std::span<const uint8_t> all(b);
  info.eventFlags = CountBits(all.subspan(GlobalLayout::kEvents, GlobalLayout::kEventsSize));
  info.seenPictures = CountBits(all.subspan(GlobalLayout::kSeen, 250));
  info.unlockedScenes = CountBits(all.subspan(GlobalLayout::kUnlocked, 250));
  info.readMarks = CountBits(all.subspan(GlobalLayout::kReadMarks, GlobalLayout::kReadMarksSize));
  info.characterCounter = static_cast<int32_t>(LoadLe32(b, GlobalLayout::kCounter));
  return info;
}

namespace {

// How many damaged copies of "save0.dat" are kept beside it at most.
constexpr int kMaxKeptCopies = 100;

// A damaged file may still hold a player's years of read marks or their playlists, so it is
// kept where a tool or a person can get them back. A kept copy is never replaced: a later,
// worse damage (a file cut to nothing) goes to the next free name, or nowhere when a copy
// already holds the same bytes. `what` says what the engine does instead.
void KeepDamaged(const std::string& path, const std::vector<uint8_t>& file,
                 const std::string& what) {
  const std::string name = path.substr(path.find_last_of('/') + 1);
  const std::string size = std::to_string(file.size()) + " bytes";
  if (file.empty()) {
    LogMessage(name + " is empty; " + what);
    return;
  }
  for (int n = 0; n < kMaxKeptCopies; ++n) {
    const std::string bad = path + ".bad" + (n == 0 ? std::string() : std::to_string(n));
    if (FileExists(bad)) {
      if (ReadWholeFile(bad) == file) {
        LogMessage(name + " is damaged (" + size + "), as kept in " + bad + "; " + what);
        return;
      }
      continue;
    }
    if (WriteFileAtomic(bad, file.data(), file.size())) {
      LogMessage(name + " is damaged (" + size + "); kept as " + bad + " and " + what);
    } else {
      LogMessage(name + " is damaged and could not be kept as " + bad + "; " + what);
    }
    return;
  }
  LogMessage(name + " is damaged (" + size + "); " + std::to_string(kMaxKeptCopies) +
             " damaged copies are kept already, this one is not; " + what);
}

// The slots' folder exists from the start, and with it the directory itself: a directory named
// on the command line that is not there yet would otherwise keep nothing of the run.
std::string Prepared(const std::string& dir) {
  if (!MakeDirectories(JoinPath(dir, "save"))) {
    LogMessage("the save directory " + dir + " or its folder save cannot be made; saves and " +
               "read marks are not kept");
  }
  return dir;
}

}  // namespace

std::string ResolveSaveDirectory(const std::string& given, const std::string& gameDir,
                                 const std::string& sjisGameId) {
  if (!given.empty()) return Prepared(given);
  if (DirectoryWritable(gameDir)) return Prepared(gameDir);
  // The identity becomes one path component: nothing in it may climb out or nest.
  std::string id = SjisToUtf8(sjisGameId);
  for (char& c : id) {
    if (c == '/' || c == '\\' || static_cast<unsigned char>(c) < 0x20) c = '_';
  }
  if (id.empty() || id == "." || id == "..") id = "game";
  const std::string dir = JoinPath(UserDataDirectory(), id);
  if (!MakeDirectories(JoinPath(dir, "save"))) {
    LogMessage("the game directory " + gameDir + " cannot be written and " + dir +
               " cannot be made; saves are not kept");
    return gameDir;
  }
  LogMessage("the game directory " + gameDir + " cannot be written; saves go to " + dir);
  return dir;
}

GlobalData::GlobalData(EngineState& state, SettingsStore& store, const SettingsLocation& where,
                       Settings& settings)
    : s_(state), store_(store), where_(where), settings_(settings) {}

void GlobalData::SyncGlobalData(bool atStartUp) {
  const std::string path = JoinPath(dir_, "save0.dat");
  std::vector<uint8_t> file;
  std::vector<uint8_t> onDisk;  // the file as read, when it needs no repair
  bool usable = false;
  if (dir_.empty()) {
    usable = !memoryFile_.empty();
    file = memoryFile_;
  } else if (auto bytes = ReadWholeFile(path)) {
    file = std::move(*bytes);
    usable =
        file.size() >= kGlobalFileSize && GlobalChecksum(std::span(file).first(kGlobalDataBytes)) ==
                                              LoadLe32(file, GlobalLayout::kChecksum);
    if (usable && file.size() == kGlobalFileSize) onDisk = file;
    if (!usable) KeepDamaged(path, file, "rebuilt (checksum wrong or file short)");
  }
  if (!usable) {
    file.assign(kGlobalFileSize, 0);
    s_.vars.readMarks.Clear();
  }
  file.resize(kGlobalFileSize);
  MergeInto(file);

  if (atStartUp) {
    characterCounter_ = static_cast<int32_t>(LoadLe32(file, GlobalLayout::kCounter));
  } else {
    StoreLe32(file, GlobalLayout::kCounter, static_cast<uint32_t>(characterCounter_));
  }
  // Kept in memory only, the file is never read by anyone who would check it.
  if (!dir_.empty()) {
    StoreLe32(file, GlobalLayout::kChecksum,
              GlobalChecksum(std::span(file).first(kGlobalDataBytes)));
  }
  WriteFiles(file, !onDisk.empty() && onDisk == file);
}

bool ReadPlaylists(std::span<const uint8_t> file, RecollectionPlaylists& out) {
  if (file.size() != kKaisoFileSize) return false;
  RecollectionPlaylists read;
  size_t at = 0;
  for (auto& list : read.entries) {
    for (int32_t& entry : list) {
      entry = static_cast<int32_t>(LoadLe32(file, at));
      at += 4;
      // A scene number names a line of the recollection list, which has an unlock bit each.
      if (entry < 0 || entry >= static_cast<int32_t>(decltype(VariableBanks::unlocked)::kBits)) {
        return false;
      }
    }
  }
  for (auto& name : read.names) {
    std::copy_n(file.begin() + static_cast<std::ptrdiff_t>(at), name.size(), name.begin());
    name.back() = 0;
    at += name.size();
  }
  out = read;
  return true;
}

void GlobalData::LoadGlobalData() {
  if (!dir_.empty()) {
    const std::string path = JoinPath(dir_, "kaiso.dat");
    if (auto bytes = ReadWholeFile(path)) {
      if (ReadPlaylists(*bytes, playlists_)) {
        writtenKaiso_ = std::move(*bytes);
      } else {
        KeepDamaged(path, *bytes, "the playlists start empty");
      }
    }
  }
  SyncGlobalData(true);
}

void GlobalData::MergeInto(std::vector<uint8_t>& file) {
  auto block = [&file](size_t at, size_t size) { return std::span(file).subspan(at, size); };
  auto& v = s_.vars;
  MergeBlock(v.E.bytes, block(GlobalLayout::kEvents, GlobalLayout::kEventsSize));
  MergeBlock(v.seen.bytes, block(GlobalLayout::kSeen, GlobalLayout::kSeenSize));
  MergeBlock(v.unlocked.bytes, block(GlobalLayout::kUnlocked, GlobalLayout::kUnlockedSize));
  MergeBlock(v.readMarks.bytes, block(GlobalLayout::kReadMarks, GlobalLayout::kReadMarksSize));
}

void GlobalData::WriteFiles(std::vector<uint8_t>& file, bool fileUnchanged) {
  if (dir_.empty()) {
    memoryFile_ = file;
    return;
  }
  // A sync runs at every save, load and close request; a file that already holds these bytes
  // is not written again, which spares the disk and keeps a save from waiting on flushes.
  bool ok = fileUnchanged || WriteFileAtomic(JoinPath(dir_, "save0.dat"), file.data(), file.size());

  if (!gvWritten_ || writtenGv_ != s_.vars.G) {
    for (int i = 0; i < 10; ++i) {
      char name[8];
      std::snprintf(name, sizeof name, "GV%02d", i);
      WriteSetting(store_, where_, settings_, name, s_.vars.G[i]);
    }
    writtenGv_ = s_.vars.G;
    gvWritten_ = true;
  }

  std::vector<uint8_t> kaiso(kKaisoFileSize, 0);
  size_t at = 0;
  for (const auto& list : playlists_.entries) {
    for (int32_t entry : list) {
      StoreLe32(kaiso, at, static_cast<uint32_t>(entry));
      at += 4;
    }
  }
  for (const auto& name : playlists_.names) {
    std::copy(name.begin(), name.end() - 1, kaiso.begin() + static_cast<std::ptrdiff_t>(at));
    at += name.size();
  }
  const std::string kaisoPath = JoinPath(dir_, "kaiso.dat");
  if (kaiso != writtenKaiso_ || !FileExists(kaisoPath)) {
    const bool written = WriteFileAtomic(kaisoPath, kaiso.data(), kaiso.size());
    if (written) writtenKaiso_ = kaiso;
    ok = written && ok;
  }

  // Said once per run: a read-only directory would otherwise repeat it at every sync.
  if (!ok && !writeFailureSaid_) {
    LogMessage("could not write save0.dat or kaiso.dat in " + dir_ +
               "; read marks and unlocked pictures of this run are not kept");
    writeFailureSaid_ = true;
  }
  if (ok) writeFailureSaid_ = false;
}

}  // namespace zorvel
