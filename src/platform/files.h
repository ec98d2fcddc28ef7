// File and diagnostic helpers for engine code, which may not touch the C library's file or
// output functions itself. Paths are UTF-8 POSIX paths.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zorvel {

bool FileExists(const std::string& path);
// Why `path` cannot be read as a regular file, in the system's words ("Permission denied");
// empty when it can.
std::string ReadProblem(const std::string& path);
std::optional<uint64_t> FileSize(const std::string& path);
// Reads `size` bytes at `offset`; nullopt when the file cannot be opened or is too short.
std::optional<std::vector<uint8_t>> ReadFileRange(const std::string& path, uint64_t offset,
                                                  size_t size);
std::optional<std::vector<uint8_t>> ReadWholeFile(const std::string& path);

// A regular file open for reading: one descriptor for the checks and every read, where the
// functions above open the file again for each. Closed when it goes.
class ReadOnlyFile {
 public:
  ReadOnlyFile() = default;
  ~ReadOnlyFile();
  ReadOnlyFile(const ReadOnlyFile&) = delete;
  ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

  // Empty when the file is open; otherwise why it cannot be read, as ReadProblem says it.
  std::string Open(const std::string& path);
  uint64_t Size() const { return size_; }
  // `size` bytes at `offset`; nullopt when the file is shorter or the read fails.
  std::optional<std::vector<uint8_t>> ReadRange(uint64_t offset, size_t size) const;

 private:
  int fd_ = -1;
  uint64_t size_ = 0;
};
// Writes to a temporary file in the same directory, fsyncs it, renames it over `path` and fsyncs
// the directory; on failure the old file is untouched and the temporary file removed.
bool WriteFileAtomic(const std::string& path, const void* data, size_t size);
bool MakeDirectories(const std::string& path);
// Deletes a file; false when it could not be deleted (a missing file counts as deleted).
bool RemoveFile(const std::string& path);
// True when files can be created in the directory `path` (it exists and is writable to us).
bool DirectoryWritable(const std::string& path);
std::string JoinPath(const std::string& dir, const std::string& name);

// The local time now (saved games record it).
std::tm LocalTimeNow();

// The per-user data directory: $XDG_DATA_HOME/zorvel, or ~/.local/share/zorvel.
std::string UserDataDirectory();
// A new, unused file name for a screenshot under UserDataDirectory()/screenshots (created if
// needed), named after the local time; empty with `error` set when there is none.
std::string NewScreenshotPath(std::string& error);

// `text` with every control character written as \xNN: one message stays one line.
std::string EscapeControls(std::string_view text);

// Messages for the player or developer on stderr ("zorvel: ..." prefix). Control characters
// are escaped (\x0A), so a name from game data cannot split or forge log lines.
void LogMessage(const std::string& message);

}  // namespace zorvel
