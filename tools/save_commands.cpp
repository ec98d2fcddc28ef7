// save-info and global-info: what a saved game or the global data file holds, for players and
// translators looking into their saves.
#include <iostream>

#include "commands.h"
#include "platform/files.h"
#include "save/global_data.h"
#include "save/slot_file.h"
#include "text/sjis.h"

namespace zorvel::tool {

namespace {

std::optional<std::vector<uint8_t>> ReadInput(const std::string& path) {
  auto bytes = ReadWholeFile(path);
  if (!bytes) Report(path + ": cannot read (missing or not a regular file)");
  return bytes;
}

// Game text is Shift-JIS; a terminal wants UTF-8 and one line per field.
std::string Shown(const std::string& sjis) {
  return EscapeControls(SjisToUtf8(sjis));
}

}  // namespace

int RunSaveInfo(Args args) {
  const auto parsed = ParseArgs(args, {}, kSaveInfoUsage);
  if (!parsed) return kExitUsage;
  if (parsed->positional.size() != 1) {
    return UsageError("save-info needs one slot file", kSaveInfoUsage);
  }
  const std::string& path = parsed->positional[0];
  const auto bytes = ReadInput(path);
  if (!bytes) return kExitFailure;
  SlotFile file;
  std::string why;
  if (!file.Parse(*bytes, why)) {
    Report(path + ": not a saved game: " + why);
    return kExitFailure;
  }
  if (bytes->size() != kSlotFileSize) {
    Report("warning: " + path + ": " + std::to_string(bytes->size()) +
           " bytes; the game reads the first " + std::to_string(kSlotFileSize));
  }
  using L = SlotLayout;
  std::cout << "description: " << Shown(file.Text(L::kDescription, 95)) << "\n"
            << "comment: " << Shown(file.Text(L::kComment, L::kCommentSize)) << "\n"
            << "script: " << Shown(file.Name(L::kLoadedScriptName)) << "\n"
            << "position: " << file.Record(kRecResume) << "\n"
            << "background: " << Shown(file.Name(L::kBackground)) << "\n"
            << "loop effect: " << Shown(file.Name(L::kLoopEffect)) << "\n";
  for (int i = 0; i < 1000; ++i) {
    if (const int32_t v = file.Int(L::kV + 4 * i)) std::cout << "V" << i << " = " << v << "\n";
  }
  for (int i = 0; i < 200; ++i) {
    if (const int32_t v = file.Int(L::kS + 4 * i)) std::cout << "S" << i << " = " << v << "\n";
  }
  for (int i = 0; i < 10; ++i) {
    const std::string text = file.Text(L::kStrings + 64 * i, 64);
    if (!text.empty()) std::cout << "$" << i << " = " << Shown(text) << "\n";
  }
  return kExitOk;
}

int RunGlobalInfo(Args args) {
  const auto parsed = ParseArgs(args, {}, kGlobalInfoUsage);
  if (!parsed) return kExitUsage;
  if (parsed->positional.size() != 1) {
    return UsageError("global-info needs one global data file (save0.dat)", kGlobalInfoUsage);
  }
  const std::string& path = parsed->positional[0];
  const auto bytes = ReadInput(path);
  if (!bytes) return kExitFailure;
  const GlobalFileInfo info = DescribeGlobalFile(*bytes);
  if (bytes->size() < kGlobalFileSize) {
    Report(path + ": not a global data file: it is " + std::to_string(bytes->size()) +
           " bytes; save0.dat is " + std::to_string(kGlobalFileSize));
    return kExitFailure;
  }
  char sums[64];
  std::snprintf(sums, sizeof sums, "stored 0x%08X, computed 0x%08X", info.storedChecksum,
                info.computedChecksum);
  std::cout << "checksum: " << (info.checksumGood ? "good" : "BAD (the game rebuilds this file)")
            << " (" << sums << ")\n"
            << "event flags set: " << info.eventFlags << "\n"
            << "pictures seen: " << info.seenPictures << "\n"
            << "scenes unlocked: " << info.unlockedScenes << "\n"
            << "read marks: " << info.readMarks << "\n"
            << "character changes: " << info.characterCounter << "\n";
  return info.checksumGood ? kExitOk : kExitFailure;
}

}  // namespace zorvel::tool
