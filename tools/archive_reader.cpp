#include "archive_reader.h"

#include <algorithm>
#include <span>

#include "platform/files.h"
#include "resources/byte_reader.h"
#include "text/sjis.h"
#include "tool_common.h"

namespace zorvel::tool {

namespace {

struct Reading {
  IndexLayout layout = IndexLayout::kB;
  bool headerUsable = false;
  std::vector<ArchiveEntry> entries;
  std::vector<std::string> problems;
  // Every declared entry is present, inside the file and after the index.
  bool consistent = false;
  // What our own writer produces: zero padding after names, data right after the index.
  bool tidy = false;
};

size_t HeaderSize(IndexLayout layout) {
  return layout == IndexLayout::kA ? kIndexHeaderA : kIndexHeaderB;
}

bool NamePaddingIsZero(std::span<const uint8_t> index, size_t header, size_t width, size_t count) {
  ByteReader r(index);
  r.Skip(header);
  for (size_t i = 0; i < count; ++i) {
    std::span<const uint8_t> name;
    if (!r.Bytes(width, name) || !r.Skip(8)) return false;
    const auto end = std::find(name.begin(), name.end(), uint8_t{0});
    if (std::any_of(end, name.end(), [](uint8_t b) { return b != 0; })) return false;
  }
  return true;
}

Reading ReadAs(const std::string& path, uint64_t fileSize, IndexLayout layout) {
  Reading r;
  r.layout = layout;
  const size_t headerSize = HeaderSize(layout);
  if (fileSize < headerSize) {
    r.problems.push_back("file is " + std::to_string(fileSize) + " bytes, too short for an index");
    return r;
  }
  const auto header = ReadFileRange(path, 0, headerSize);
  if (!header) {
    r.problems.push_back("cannot read the index header");
    return r;
  }
  const size_t table = IndexTableBytes(layout, *header, fileSize, &r.problems);
  if (!r.problems.empty()) return r;
  const auto index = ReadFileRange(path, 0, headerSize + table);
  if (!index) {
    r.problems.push_back("cannot read the index");
    return r;
  }
  r.headerUsable = true;
  r.entries = ParseIndex(layout, *index, fileSize, &r.problems);

  ByteReader hr(*header);
  uint32_t declared = 0;
  uint32_t width = static_cast<uint32_t>(kLayoutANameWidth);
  hr.U32le(declared);
  if (layout == IndexLayout::kB) hr.U32le(width);
  const uint64_t indexEnd = headerSize + uint64_t{declared} * (width + 8);
  bool overlapping = false;
  for (size_t i = 0; i < r.entries.size(); ++i) {
    const ArchiveEntry& e = r.entries[i];
    if (e.offset < indexEnd && e.size > 0) {
      overlapping = true;
      r.problems.push_back("entry " + SjisToUtf8(e.name) + " starts at " +
                           std::to_string(e.offset) + ", inside the index");
    }
  }
  const bool allNamed = std::none_of(r.entries.begin(), r.entries.end(),
                                     [](const ArchiveEntry& e) { return e.name.empty(); });
  r.consistent = r.problems.empty() && !overlapping && allNamed;
  uint64_t dataStart = fileSize;
  for (const ArchiveEntry& e : r.entries) dataStart = std::min<uint64_t>(dataStart, e.offset);
  r.tidy = r.consistent && dataStart == indexEnd &&
           NamePaddingIsZero(*index, headerSize, width, r.entries.size());
  return r;
}

LoadedIndex FromReading(Reading&& r) {
  LoadedIndex out;
  out.usable = r.headerUsable;
  out.layout = r.layout;
  out.entries = std::move(r.entries);
  out.problems = std::move(r.problems);
  return out;
}

}  // namespace

LoadedIndex LoadIndex(const std::string& path, std::optional<IndexLayout> forced) {
  const auto fileSize = FileSize(path);
  if (!fileSize) {
    LoadedIndex out;
    out.problems.push_back("cannot open (missing or not a regular file)");
    return out;
  }
  if (forced) return FromReading(ReadAs(path, *fileSize, *forced));

  Reading a = ReadAs(path, *fileSize, IndexLayout::kA);
  Reading b = ReadAs(path, *fileSize, IndexLayout::kB);
  if (a.consistent != b.consistent) return FromReading(std::move(a.consistent ? a : b));
  if (a.consistent) {
    if (a.tidy != b.tidy) return FromReading(std::move(a.tidy ? a : b));
    LoadedIndex out = FromReading(std::move(a));
    out.note = "the index reads cleanly as both layouts; using layout a (force one with --layout)";
    return out;
  }
  // Damaged either way: show whichever reading recovers more entries.
  const bool useB = b.headerUsable && (!a.headerUsable || b.entries.size() > a.entries.size());
  LoadedIndex out = FromReading(std::move(useB ? b : a));
  if (out.usable) {
    out.note = "the index does not read cleanly as either layout; using layout " +
               std::string(LayoutName(out.layout)) + " (force one with --layout)";
  }
  return out;
}

}  // namespace zorvel::tool
