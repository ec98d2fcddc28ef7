// pack, list and unpack.
#include <iostream>
#include <set>

#include "archive_reader.h"
#include "archive_writer.h"
#include "commands.h"
#include "platform/files.h"
#include "text/sjis.h"

namespace zorvel::tool {

namespace {

constexpr std::string_view kLayoutOption[] = {"--layout"};

// Reads --layout into `layout` (left empty when absent); false after reporting a usage error.
bool LayoutOption(const ParsedArgs& parsed, std::string_view usage,
                  std::optional<IndexLayout>& layout) {
  const auto it = parsed.options.find("--layout");
  if (it == parsed.options.end()) return true;
  layout = ParseLayout(it->second);
  if (layout) return true;
  UsageError("--layout must be a or b, not " + it->second, usage);
  return false;
}

std::optional<uint32_t> ParseWidth(const std::string& text) {
  if (text.empty() || text.size() > 9) return std::nullopt;
  uint32_t v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    v = v * 10 + static_cast<uint32_t>(c - '0');
  }
  if (v < kMinNameWidth || v > kMaxNameWidth) return std::nullopt;
  return v;
}

// Damaged names may hold control bytes; escaping them keeps `list` at one line per entry.
std::string Printable(const std::string& utf8) {
  return EscapeControls(utf8);
}

// The script archives are read with layout a, every other archive with layout b: an archive
// packed under its own name without --layout is one the engine reads.
IndexLayout LayoutForName(const std::string& path) {
  std::string name = BaseName(path);
  for (char& c : name) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return name == "vx_data.kpz" || name == "vx_data2.kpz" ? IndexLayout::kA : IndexLayout::kB;
}

// Reports what LoadIndex found; false when there is no index to work with. A file that is no
// archive at all can yield a problem per declared entry, hence the cap.
bool ReportIndex(const std::string& path, const LoadedIndex& index) {
  constexpr size_t kMaxProblems = 20;
  if (!index.note.empty()) Report(path + ": " + index.note);
  for (size_t i = 0; i < index.problems.size() && i < kMaxProblems; ++i) {
    Report(path + ": " + index.problems[i]);
  }
  if (index.problems.size() > kMaxProblems) {
    Report(path + ": " + std::to_string(index.problems.size() - kMaxProblems) +
           " more problems not shown");
  }
  return index.usable;
}

// Why an entry name cannot become a file inside the output directory, or empty.
std::string UnsafeNameReason(const std::string& name) {
  if (name.empty()) return "its name is empty";
  if (name == ".") return "its name is '.'";
  if (name.find('/') != std::string::npos || name.find('\\') != std::string::npos ||
      name.find("..") != std::string::npos) {
    return "names holding '/', '\\' or '..' could reach outside the output directory";
  }
  return {};
}

}  // namespace

int RunPack(Args args) {
  static constexpr std::string_view kOptions[] = {"--layout", "--width"};
  const auto parsed = ParseArgs(args, kOptions, kPackUsage);
  if (!parsed) return kExitUsage;
  std::optional<IndexLayout> layout;
  if (!LayoutOption(*parsed, kPackUsage, layout)) return kExitUsage;
  if (parsed->positional.empty()) {
    return UsageError("pack needs an output file and at least one file to store", kPackUsage);
  }
  ArchiveFormat format;
  format.layout = layout.value_or(LayoutForName(parsed->positional[0]));
  format.nameWidth = kDefaultNameWidth;
  if (const auto it = parsed->options.find("--width"); it != parsed->options.end()) {
    if (format.layout == IndexLayout::kA) {
      return UsageError("--width applies to layout b only; layout a names are 16 bytes",
                        kPackUsage);
    }
    const auto width = ParseWidth(it->second);
    if (!width) {
      return UsageError("--width must be a number from " + std::to_string(kMinNameWidth) + " to " +
                            std::to_string(kMaxNameWidth) + ", not " + it->second,
                        kPackUsage);
    }
    format.nameWidth = *width;
  }
  if (parsed->positional.size() < 2) {
    return UsageError("pack needs an output file and at least one file to store", kPackUsage);
  }
  const std::string& outPath = parsed->positional[0];
  const std::vector<std::string> inputs(parsed->positional.begin() + 1, parsed->positional.end());

  // Sizes and names are checked before any file is read, so that a refusal is cheap and
  // nothing is written.
  ArchivePlan plan(format);
  bool refused = false;
  for (const std::string& input : inputs) {
    const auto size = FileSize(input);
    if (!size) {
      Report(input + ": cannot read (missing or not a regular file)");
      refused = true;
      continue;
    }
    if (const auto why = plan.Add(BaseName(input), *size)) {
      Report(input + ": " + *why);
      refused = true;
    }
  }
  if (refused) {
    Report(outPath + " not written");
    return kExitFailure;
  }

  std::vector<uint8_t> bytes = plan.Index();
  bytes.reserve(static_cast<size_t>(plan.TotalSize()));
  for (size_t i = 0; i < inputs.size(); ++i) {
    const auto data = ReadWholeFile(inputs[i]);
    if (!data || data->size() != plan.Entries()[i].size) {
      Report(inputs[i] + ": changed or became unreadable while packing; " + outPath +
             " not written");
      return kExitFailure;
    }
    bytes.insert(bytes.end(), data->begin(), data->end());
  }
  if (!WriteFileAtomic(outPath, bytes.data(), bytes.size())) {
    Report("cannot write " + outPath);
    return kExitFailure;
  }
  return kExitOk;
}

int RunList(Args args) {
  const auto parsed = ParseArgs(args, kLayoutOption, kListUsage);
  if (!parsed) return kExitUsage;
  std::optional<IndexLayout> layout;
  if (!LayoutOption(*parsed, kListUsage, layout)) return kExitUsage;
  if (parsed->positional.size() != 1) {
    return UsageError("list needs exactly one archive", kListUsage);
  }
  const std::string& path = parsed->positional[0];
  const LoadedIndex index = LoadIndex(path, layout);
  // A listing that stops half-way through, or leaves out refused entries, reads as the whole
  // archive; a damaged index is reported instead of listed.
  if (!ReportIndex(path, index) || !index.problems.empty()) return kExitFailure;
  const PictureArchiveKind pictures = PictureArchiveKindOf(path);
  for (const ArchiveEntry& e : index.entries) {
    std::cout << Printable(SjisToUtf8(e.name)) << '\t' << e.offset << '\t' << e.size;
    if (pictures != PictureArchiveKind::kNone) {
      const auto data = ReadFileRange(path, e.offset, e.size);
      std::cout << '\t' << (data ? DescribePicture(pictures, *data) : "unreadable");
    }
    std::cout << '\n';
  }
  std::cout.flush();
  return kExitOk;
}

int RunUnpack(Args args) {
  const auto parsed = ParseArgs(args, kLayoutOption, kUnpackUsage);
  if (!parsed) return kExitUsage;
  std::optional<IndexLayout> layout;
  if (!LayoutOption(*parsed, kUnpackUsage, layout)) return kExitUsage;
  if (parsed->positional.size() != 2) {
    return UsageError("unpack needs an archive and an output directory", kUnpackUsage);
  }
  const std::string& path = parsed->positional[0];
  const std::string& dir = parsed->positional[1];
  const LoadedIndex index = LoadIndex(path, layout);
  if (!ReportIndex(path, index)) return kExitFailure;
  if (!MakeDirectories(dir)) {
    Report("cannot create directory " + dir);
    return kExitFailure;
  }
  bool failed = !index.problems.empty();
  std::set<std::string> written;
  size_t entriesWritten = 0;
  uint64_t bytesWritten = 0;
  for (const ArchiveEntry& e : index.entries) {
    const std::string name = SjisToUtf8(e.name);
    // Built up by appending: GCC 12 misreports "'" + std::string as an overlapping copy.
    std::string shown = "'";
    shown += Printable(name);
    shown += '\'';
    if (const std::string why = UnsafeNameReason(name); !why.empty()) {
      Report(path + ": entry " + shown + " refused: " + why);
      failed = true;
      continue;
    }
    if (!written.insert(name).second) {
      Report(path + ": entry " + shown +
             " appears again; only the first is written, as the engine only finds the first");
      failed = true;
      continue;
    }
    const auto data = ReadFileRange(path, e.offset, e.size);
    if (!data) {
      Report(path + ": cannot read entry " + shown);
      failed = true;
      continue;
    }
    const std::string target = JoinPath(dir, name);
    if (!WriteFileAtomic(target, data->data(), data->size())) {
      Report("cannot write " + target);
      failed = true;
      continue;
    }
    entriesWritten += 1;
    bytesWritten += data->size();
  }
  std::cout << "unpacked " << entriesWritten << (entriesWritten == 1 ? " entry, " : " entries, ")
            << bytesWritten << " bytes into " << dir << '\n';
  return failed ? kExitFailure : kExitOk;
}

}  // namespace zorvel::tool
