// Resource archives: an index at the start of the file, the entries' bytes after it. The
// index is kept in memory; entry bytes are read on demand with one seek per read.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace zorvel {

// Layout A (script archives): 16-byte names. Layout B (all others): a declared name width.
enum class IndexLayout { kA, kB };

struct ArchiveEntry {
  std::string name;  // Shift-JIS, upper-cased
  uint32_t offset = 0;
  uint32_t size = 0;
};

// Header bytes an index of either layout needs before its table can be sized.
constexpr size_t kIndexHeaderA = 4;
constexpr size_t kIndexHeaderB = 8;
constexpr size_t kLayoutANameWidth = 16;
// Widths beyond this are not names but damage; nothing real comes near it.
constexpr uint32_t kMaxNameWidth = 1024;

// Size of the entry table that the header announces, limited to what `fileSize` can hold;
// 0 when the header itself is unusable. `headerBytes` holds the first bytes of the file.
size_t IndexTableBytes(IndexLayout layout, std::span<const uint8_t> headerBytes, uint64_t fileSize,
                       std::vector<std::string>* problems);

// Parses an index from the file's first bytes (header and table). Entries that are cut off,
// or whose bytes reach past `fileSize`, are refused one by one and described in `problems`.
std::vector<ArchiveEntry> ParseIndex(IndexLayout layout, std::span<const uint8_t> indexBytes,
                                     uint64_t fileSize, std::vector<std::string>* problems);

// Serialises an index (names are written as given, cut to the field); the tools use it.
std::vector<uint8_t> BuildIndex(IndexLayout layout, const std::vector<ArchiveEntry>& entries,
                                uint32_t nameWidth);
size_t IndexSize(IndexLayout layout, size_t count, uint32_t nameWidth);
// A whole archive file: the index of the named entries (names as given), then their bytes in
// that order. For tests, benchmarks and fuzzers that make games in code.
std::vector<uint8_t> BuildArchive(
    IndexLayout layout, uint32_t nameWidth,
    const std::vector<std::pair<std::string, std::vector<uint8_t>>>& entries);

class ResourceArchive {
 public:
  // Opens `path` and reads its index; a missing, unreadable or empty file leaves an empty
  // archive and returns false. Entries the index checks refuse are left out; `Problem` then
  // says what was wrong, in one line.
  bool Open(const std::string& path, IndexLayout layout);
  const std::string& Problem() const { return problem_; }
  // Upper-cases `name`; the first entry in index order with that name, or -1.
  int Find(std::string_view name) const;
  // The entry's bytes, read afresh from the file; empty on failure.
  bool Read(int entry, std::vector<uint8_t>& out) const;
  // `size` bytes from `offset` inside the entry; false when they reach past the entry's end or
  // cannot be read.
  bool ReadRange(int entry, uint64_t offset, size_t size, std::vector<uint8_t>& out) const;
  // Up to `size` bytes from the entry's start, fewer where the file ends first: bounded by the
  // end of the file rather than the entry's, for formats whose own header says how long they
  // are. False when nothing at all can be read.
  bool ReadFromEntryStart(int entry, size_t size, std::vector<uint8_t>& out) const;

  const std::string& FileName() const { return fileName_; }
  const std::vector<ArchiveEntry>& Entries() const { return entries_; }
  bool Found() const { return !fileName_.empty(); }

 private:
  std::string fileName_;
  std::vector<ArchiveEntry> entries_;
  std::string problem_;
};

}  // namespace zorvel
