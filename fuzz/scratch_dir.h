// A private directory for the files a fuzz target must hand to code that reads from disk,
// removed with everything in it when the target's process ends.
#pragma once

#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace zorvel::fuzz {

class ScratchDir {
 public:
  ScratchDir() {
    // A file rewritten for every input: on a disk file system each rewrite is written back
    // (and waited for) on close, which costs more than the parsing the input is for.
    const char* tmp = std::getenv("TMPDIR");
    std::error_code ec;
    std::string base = tmp && *tmp ? tmp : "/tmp";
    if (!(tmp && *tmp) && std::filesystem::is_directory("/dev/shm", ec)) base = "/dev/shm";
    std::string pattern = base + "/zorvel-fuzz-XXXXXX";
    if (::mkdtemp(pattern.data()) != nullptr) dir_ = pattern;
  }
  ~ScratchDir() {
    std::error_code ec;
    if (!dir_.empty()) std::filesystem::remove_all(dir_, ec);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  // Empty when no directory could be made.
  const std::string& Path() const { return dir_; }

 private:
  std::string dir_;
};

}  // namespace zorvel::fuzz
