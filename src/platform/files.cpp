#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace zorvel {

bool FileExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string ReadProblem(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return std::strerror(errno);
  if (S_ISDIR(st.st_mode)) return "is a directory";
  if (!S_ISREG(st.st_mode)) return "is not a regular file";
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::strerror(errno);
  ::close(fd);
  return {};
}

std::optional<uint64_t> FileSize(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  return static_cast<uint64_t>(st.st_size);
}

namespace {

// `size` bytes at `offset` of an open file; nullopt when it is shorter or a read fails.
std::optional<std::vector<uint8_t>> ReadAt(int fd, uint64_t offset, size_t size) {
  std::vector<uint8_t> out(size);
  size_t done = 0;
  while (done < size) {
    const ssize_t n =
        ::pread(fd, out.data() + done, size - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  if (done != size) return std::nullopt;
  return out;
}

// The rename lives in the directory: until the directory is on the disk, a power cut can bring
// back the old file, or none. File systems that cannot sync a directory have nothing to wait for.
void SyncDirectoryOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  const std::string dir = slash == std::string::npos ? std::string(".")
                          : slash == 0               ? "/"
                                                     : path.substr(0, slash);
  const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

std::optional<std::vector<uint8_t>> ReadFileRange(const std::string& path, uint64_t offset,
                                                  size_t size) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  auto out = ReadAt(fd, offset, size);
  ::close(fd);
  return out;
}

std::optional<std::vector<uint8_t>> ReadWholeFile(const std::string& path) {
  const auto size = FileSize(path);
  if (!size) return std::nullopt;
  return ReadFileRange(path, 0, static_cast<size_t>(*size));
}

ReadOnlyFile::~ReadOnlyFile() {
  if (fd_ >= 0) ::close(fd_);
}

std::string ReadOnlyFile::Open(const std::string& path) {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  size_ = 0;
  // Not blocking: a named pipe in the game directory must be refused, not waited on.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return std::strerror(errno);
  struct stat st {};
  std::string why;
  if (::fstat(fd, &st) != 0) {
    why = std::strerror(errno);
  } else if (S_ISDIR(st.st_mode)) {
    why = "is a directory";
  } else if (!S_ISREG(st.st_mode)) {
    why = "is not a regular file";
  }
  if (!why.empty()) {
    ::close(fd);
    return why;
  }
  fd_ = fd;
  size_ = static_cast<uint64_t>(st.st_size);
  return {};
}

std::optional<std::vector<uint8_t>> ReadOnlyFile::ReadRange(uint64_t offset, size_t size) const {
  if (fd_ < 0) return std::nullopt;
  return ReadAt(fd_, offset, size);
}

bool WriteFileAtomic(const std::string& path, const void* data, size_t size) {
  std::string tmp = path + ".tmpXXXXXX";
  const int fd = ::mkstemp(tmp.data());
  if (fd < 0) return false;
  const auto* p = static_cast<const uint8_t*>(data);
  size_t done = 0;
  bool ok = true;
  while (done < size) {
    const ssize_t n = ::write(fd, p + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = false;
      break;
    }
    done += static_cast<size_t>(n);
  }
  ok = ok && ::fchmod(fd, 0644) == 0 && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  if (ok && ::rename(tmp.c_str(), path.c_str()) == 0) {
    SyncDirectoryOf(path);
    return true;
  }
  ::unlink(tmp.c_str());
  return false;
}

std::tm LocalTimeNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local;
}

std::string UserDataDirectory() {
  const char* xdg = std::getenv("XDG_DATA_HOME");
  if (xdg != nullptr && xdg[0] == '/') return JoinPath(xdg, "zorvel");
  const char* home = std::getenv("HOME");
  return JoinPath(JoinPath(home != nullptr && home[0] != 0 ? home : "/tmp", ".local/share"),
                  "zorvel");
}

std::string NewScreenshotPath(std::string& error) {
  const std::string dir = JoinPath(UserDataDirectory(), "screenshots");
  if (!MakeDirectories(dir)) {
    error = "cannot create " + dir + ": " + std::strerror(errno);
    return {};
  }
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
  for (int n = 1; n < 1000; ++n) {
    std::string name = "zorvel-";
    name.append(stamp);
    if (n > 1) name.append(1, '-').append(std::to_string(n));
    name.append(".png");
    const std::string path = JoinPath(dir, name);
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return path;
  }
  error = "too many screenshots in " + dir + " this second";
  return {};
}

bool RemoveFile(const std::string& path) {
  return ::unlink(path.c_str()) == 0 || errno == ENOENT;
}

bool DirectoryWritable(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
         ::access(path.c_str(), W_OK | X_OK) == 0;
}

bool MakeDirectories(const std::string& path) {
  if (path.empty()) return false;
  std::string partial;
  size_t pos = 0;
  while (pos != std::string::npos) {
    pos = path.find('/', pos + 1);
    partial = path.substr(0, pos);
    if (partial.empty()) continue;
    if (::mkdir(partial.c_str(), 0755) != 0 && errno != EEXIST) return false;
  }
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string JoinPath(const std::string& dir, const std::string& name) {
  if (dir.empty()) return name;
  if (dir.back() == '/') return dir + name;
  return dir + "/" + name;
}

std::string EscapeControls(std::string_view text) {
  // No byte of a Shift-JIS or UTF-8 multi-byte character is below 0x20, so none is cut.
  std::string line;
  line.reserve(text.size());
  for (const char c : text) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x20 || b == 0x7F) {
      static constexpr char kHex[] = "0123456789ABCDEF";
      line += "\\x";
      line += kHex[b >> 4];
      line += kHex[b & 15];
    } else {
      line += c;
    }
  }
  return line;
}

void LogMessage(const std::string& message) {
  std::fprintf(stderr, "zorvel: %s\n", EscapeControls(message).c_str());
  std::fflush(stderr);
}

}  // namespace zorvel
