#include "archive_writer.h"

#include "text/sjis.h"
#include "tool_common.h"

namespace zorvel::tool {

namespace {

constexpr uint64_t kMaxArchiveSize = uint64_t{1} << 32;

}  // namespace

std::optional<std::string> ArchivePlan::Add(std::string_view utf8Name, uint64_t size) {
  if (utf8Name.empty()) return "an entry name cannot be empty";
  if (utf8Name.find('\0') != std::string_view::npos) return "entry names cannot hold a 0 byte";
  size_t bad = 0;
  const auto sjis = Utf8ToSjis(utf8Name, &bad);
  if (!sjis) {
    return "name " + std::string(utf8Name) + ": " + Utf8CharProblem(utf8Name, bad);
  }
  // The last byte of the name field is the terminating 0.
  const size_t limit = format_.Width() - 1;
  if (sjis->size() > limit) {
    return "name " + std::string(utf8Name) + " is " + std::to_string(sjis->size()) +
           " bytes in Shift-JIS; layout " + std::string(LayoutName(format_.layout)) +
           (format_.layout == IndexLayout::kB ? " with width " + std::to_string(format_.Width())
                                              : std::string()) +
           " allows at most " + std::to_string(limit);
  }
  std::string name = UpperSjis(*sjis);
  for (const ArchiveEntry& e : entries_) {
    if (e.name == name) {
      return "duplicate entry name " + SjisToUtf8(name) + " (names are not case-sensitive)";
    }
  }
  const uint64_t start =
      IndexSize(format_.layout, entries_.size() + 1, format_.Width()) + dataSize_;
  if (start > UINT32_MAX || start + size > kMaxArchiveSize) {
    return "adding " + std::string(utf8Name) + " would make the archive " +
           std::to_string(start + size) + " bytes; its 32-bit offsets reach at most 4 GiB";
  }
  entries_.push_back({std::move(name), 0, static_cast<uint32_t>(size)});
  dataSize_ += size;
  return std::nullopt;
}

uint64_t ArchivePlan::TotalSize() const {
  return IndexSize(format_.layout, entries_.size(), format_.Width()) + dataSize_;
}

std::vector<uint8_t> ArchivePlan::Index() const {
  std::vector<ArchiveEntry> placed = entries_;
  uint64_t offset = IndexSize(format_.layout, placed.size(), format_.Width());
  for (ArchiveEntry& e : placed) {
    e.offset = static_cast<uint32_t>(offset);
    offset += e.size;
  }
  return BuildIndex(format_.layout, placed, format_.Width());
}

std::vector<uint8_t> AssembleArchive(const ArchivePlan& plan,
                                     const std::vector<std::vector<uint8_t>>& data) {
  std::vector<uint8_t> out = plan.Index();
  out.reserve(static_cast<size_t>(plan.TotalSize()));
  for (const auto& d : data) out.insert(out.end(), d.begin(), d.end());
  return out;
}

}  // namespace zorvel::tool
