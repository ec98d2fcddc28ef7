#include "resources/archive.h"

#include <algorithm>

#include "platform/files.h"
#include "resources/byte_reader.h"
#include "text/sjis.h"

namespace zorvel {

namespace {

struct Geometry {
  size_t header = 0;
  size_t nameWidth = 0;
  uint32_t count = 0;
  size_t record() const { return nameWidth + 8; }
};

bool ReadGeometry(IndexLayout layout, std::span<const uint8_t> bytes, Geometry& g,
                  std::vector<std::string>* problems) {
  ByteReader r(bytes);
  if (!r.U32le(g.count)) {
    if (problems) problems->push_back("index header is truncated");
    return false;
  }
  if (layout == IndexLayout::kA) {
    g.header = kIndexHeaderA;
    g.nameWidth = kLayoutANameWidth;
    return true;
  }
  uint32_t width = 0;
  if (!r.U32le(width)) {
    if (problems) problems->push_back("index header is truncated");
    return false;
  }
  if (width == 0 || width > kMaxNameWidth) {
    if (problems) problems->push_back("name width " + std::to_string(width) + " is not usable");
    return false;
  }
  g.header = kIndexHeaderB;
  g.nameWidth = width;
  return true;
}

}  // namespace

size_t IndexTableBytes(IndexLayout layout, std::span<const uint8_t> headerBytes, uint64_t fileSize,
                       std::vector<std::string>* problems) {
  Geometry g;
  if (!ReadGeometry(layout, headerBytes, g, problems)) return 0;
  if (fileSize < g.header) return 0;
  const uint64_t fits = (fileSize - g.header) / g.record();
  const uint64_t count = std::min<uint64_t>(g.count, fits);
  return static_cast<size_t>(count * g.record());
}

size_t IndexSize(IndexLayout layout, size_t count, uint32_t nameWidth) {
  if (layout == IndexLayout::kA) return kIndexHeaderA + count * (kLayoutANameWidth + 8);
  return kIndexHeaderB + count * (nameWidth + 8);
}

std::vector<ArchiveEntry> ParseIndex(IndexLayout layout, std::span<const uint8_t> indexBytes,
                                     uint64_t fileSize, std::vector<std::string>* problems) {
  std::vector<ArchiveEntry> entries;
  Geometry g;
  if (!ReadGeometry(layout, indexBytes, g, problems)) return entries;
  ByteReader r(indexBytes);
  r.Skip(g.header);
  const size_t fitting = r.Remaining() / g.record();
  if (g.count > fitting && problems) {
    problems->push_back("index declares " + std::to_string(g.count) + " entries but holds only " +
                        std::to_string(fitting));
  }
  const size_t count = std::min<size_t>(g.count, fitting);
  entries.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    std::span<const uint8_t> name;
    ArchiveEntry e;
    r.Bytes(g.nameWidth, name);
    r.U32le(e.offset);
    r.U32le(e.size);
    const auto end = std::find(name.begin(), name.end(), uint8_t{0});
    e.name = UpperSjis(std::string(name.begin(), end));
    if (static_cast<uint64_t>(e.offset) + e.size > fileSize) {
      if (problems) {
        problems->push_back("entry " + std::to_string(i) + " (" + SjisToUtf8(e.name) +
                            ") reaches past the end of the file; refused");
      }
      continue;
    }
    entries.push_back(std::move(e));
  }
  return entries;
}

std::vector<uint8_t> BuildIndex(IndexLayout layout, const std::vector<ArchiveEntry>& entries,
                                uint32_t nameWidth) {
  const size_t width = layout == IndexLayout::kA ? kLayoutANameWidth : nameWidth;
  std::vector<uint8_t> out;
  out.reserve(IndexSize(layout, entries.size(), nameWidth));
  auto put32 = [&out](uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
  };
  put32(static_cast<uint32_t>(entries.size()));
  if (layout == IndexLayout::kB) put32(nameWidth);
  for (const ArchiveEntry& e : entries) {
    for (size_t i = 0; i < width; ++i) {
      out.push_back(i + 1 < width && i < e.name.size() ? static_cast<uint8_t>(e.name[i]) : 0);
    }
    put32(e.offset);
    put32(e.size);
  }
  return out;
}

std::vector<uint8_t> BuildArchive(
    IndexLayout layout, uint32_t nameWidth,
    const std::vector<std::pair<std::string, std::vector<uint8_t>>>& entries) {
  std::vector<ArchiveEntry> index;
  uint64_t offset = IndexSize(layout, entries.size(), nameWidth);
  for (const auto& [name, bytes] : entries) {
    index.push_back({name, static_cast<uint32_t>(offset), static_cast<uint32_t>(bytes.size())});
    offset += bytes.size();
  }
  std::vector<uint8_t> file = BuildIndex(layout, index, nameWidth);
  for (const auto& [name, bytes] : entries) file.insert(file.end(), bytes.begin(), bytes.end());
  return file;
}

bool ResourceArchive::Open(const std::string& path, IndexLayout layout) {
  fileName_.clear();
  entries_.clear();
  problem_.clear();
  ReadOnlyFile file;
  if (std::string why = file.Open(path); !why.empty()) {
    problem_ = std::move(why);
    return false;
  }
  const uint64_t fileSize = file.Size();
  const size_t headerSize = layout == IndexLayout::kA ? kIndexHeaderA : kIndexHeaderB;
  if (fileSize == 0) {
    problem_ = "the file is empty";
    return false;
  }
  const auto header = file.ReadRange(0, std::min<uint64_t>(headerSize, fileSize));
  if (!header) {
    problem_ = "cannot read the index";
    return false;
  }
  std::vector<std::string> problems;
  const size_t table = IndexTableBytes(layout, *header, fileSize, &problems);
  if (header->size() != headerSize) {
    problems.assign(1, "index header is truncated");
  } else if (const auto index = file.ReadRange(0, headerSize + table); index) {
    entries_ = ParseIndex(layout, *index, fileSize, &problems);
  } else {
    problems.assign(1, "cannot read the index");
  }
  if (!problems.empty()) {
    problem_ = problems.front();
    if (problems.size() > 1) {
      problem_ += " (and " + std::to_string(problems.size() - 1) + " more problems)";
    }
  }
  fileName_ = path;
  return true;
}

int ResourceArchive::Find(std::string_view name) const {
  if (fileName_.empty()) return -1;
  const std::string upper = UpperSjis(name);
  for (size_t i = 0; i < entries_.size(); ++i) {
    if (entries_[i].name == upper) return static_cast<int>(i);
  }
  return -1;
}

bool ResourceArchive::Read(int entry, std::vector<uint8_t>& out) const {
  if (entry < 0 || static_cast<size_t>(entry) >= entries_.size()) return false;
  const ArchiveEntry& e = entries_[static_cast<size_t>(entry)];
  auto bytes = ReadFileRange(fileName_, e.offset, e.size);
  if (!bytes) {
    LogMessage(fileName_ + ": cannot read entry " + SjisToUtf8(e.name));
    return false;
  }
  out = std::move(*bytes);
  return true;
}

bool ResourceArchive::ReadRange(int entry, uint64_t offset, size_t size,
                                std::vector<uint8_t>& out) const {
  if (entry < 0 || static_cast<size_t>(entry) >= entries_.size()) return false;
  const ArchiveEntry& e = entries_[static_cast<size_t>(entry)];
  if (offset > e.size || size > e.size - offset) return false;
  auto bytes = ReadFileRange(fileName_, e.offset + offset, size);
  if (!bytes) {
    LogMessage(fileName_ + ": cannot read entry " + SjisToUtf8(e.name));
    return false;
  }
  out = std::move(*bytes);
  return true;
}

bool ResourceArchive::ReadFromEntryStart(int entry, size_t size, std::vector<uint8_t>& out) const {
  if (entry < 0 || static_cast<size_t>(entry) >= entries_.size()) return false;
  // The size comes from untrusted bytes: it is held against the file before anything is taken.
  const uint64_t offset = entries_[static_cast<size_t>(entry)].offset;
  ReadOnlyFile file;
  if (!file.Open(fileName_).empty() || offset >= file.Size()) return false;
  auto bytes = file.ReadRange(offset, std::min<uint64_t>(size, file.Size() - offset));
  if (!bytes) {
    LogMessage(fileName_ + ": cannot read entry " +
               SjisToUtf8(entries_[static_cast<size_t>(entry)].name));
    return false;
  }
  out = std::move(*bytes);
  return true;
}

}  // namespace zorvel
