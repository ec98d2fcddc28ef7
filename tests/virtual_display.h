// An Xvfb server for the length of a test, for the windowed build's tests.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <string>

namespace zorvel::test {

// Display() is empty when no server could be started (Xvfb not installed).
class VirtualDisplay {
 public:
  explicit VirtualDisplay(const char* screen = "1024x768x24") {
    int fds[2];
    if (::pipe(fds) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::close(fds[0]);
      const int null = ::open("/dev/null", O_WRONLY);
      if (null >= 0) ::dup2(null, 2);
      const std::string fd = std::to_string(fds[1]);
      ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen, "-nolisten", "tcp",
               static_cast<char*>(nullptr));
      ::_exit(127);
    }
    ::close(fds[1]);
    // Xvfb writes the display number once it accepts clients.
    char buf[32] = {};
    size_t got = 0;
    while (got + 1 < sizeof buf) {
      const ssize_t n = ::read(fds[0], buf + got, sizeof buf - 1 - got);
      if (n <= 0) break;
      got += static_cast<size_t>(n);
      if (buf[got - 1] == '\n') break;
    }
    ::close(fds[0]);
    // Built in a buffer: GCC 12 misreports string concatenation here as an overlapping copy.
    if (got > 1) {
      char name[sizeof buf + 1] = {':'};
      std::memcpy(name + 1, buf, got - 1);
      display_ = name;
    }
  }
  ~VirtualDisplay() {
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  VirtualDisplay(const VirtualDisplay&) = delete;
  VirtualDisplay& operator=(const VirtualDisplay&) = delete;
  const std::string& Display() const { return display_; }

 private:
  pid_t pid_ = -1;
  std::string display_;
};

}  // namespace zorvel::test
