// The windowed build's failure paths, on a real X server (Xvfb) where one is installed: no
// display, termination signals, and the second-instance message box.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>

#include "fixture.h"

namespace zorvel::test {
namespace {

// An Xvfb server for the length of a test; Display() is empty when none could be started.
class VirtualDisplay {
 public:
  VirtualDisplay() {
    int fds[2];
    if (::pipe(fds) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::close(fds[0]);
      const int null = ::open("/dev/null", O_WRONLY);
      if (null >= 0) ::dup2(null, 2);
      const std::string fd = std::to_string(fds[1]);
      ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten",
               "tcp", static_cast<char*>(nullptr));
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
    if (got > 1) {
      // Appended rather than ":" + string, which GCC 12 misreports as an overlapping copy.
      display_ = ":";
      display_.append(buf, got - 1);
    }
  }
  ~VirtualDisplay() {
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  const std::string& Display() const { return display_; }

 private:
  pid_t pid_ = -1;
  std::string display_;
};

class Window : public ::testing::Test {
 protected:
  void SetUp() override { WriteGame(game_.Path(), {{"main", "@sleep -1\n"}}); }
  TempDir game_, config_;
};

TEST_F(Window, NoDisplayIsSaidAndEndsWithTwo) {
  const std::vector<ProcessOptions::Env> withoutDisplay = {{"DISPLAY", std::nullopt},
                                                           {"WAYLAND_DISPLAY", std::nullopt},
                                                           {"SDL_VIDEODRIVER", std::nullopt}};
  const std::vector<ProcessOptions::Env> dummyDriver = {{"SDL_VIDEODRIVER", "dummy"}};
  for (const auto& env : {withoutDisplay, dummyDriver}) {
    ProcessOptions o;
    o.env = env;
    o.killAfterMs = 20000;
    const ProcessResult r = RunZorvelProcess({"--config-dir", config_.Path(), game_.Path()}, o);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("no display: set DISPLAY or run with --headless"), std::string::npos)
        << r.err;
  }
}

TEST_F(Window, SignalsEndAWindowedRunAndItsMessageBox) {
  VirtualDisplay x;
  if (x.Display().empty()) GTEST_SKIP() << "Xvfb is not installed";
  ProcessOptions o;
  o.env = {
      {"DISPLAY", x.Display()}, {"SDL_VIDEODRIVER", std::nullopt}, {"SDL_AUDIODRIVER", "dummy"}};
  o.signal = SIGTERM;
  o.signalAfterMs = 1500;
  o.killAfterMs = 20000;
  const ProcessResult played = RunZorvelProcess(
      {"--config-dir", config_.Path(), "--dump-state", config_ / "state.json", game_.Path()}, o);
  EXPECT_EQ(played.exitCode, 0) << played.err;
  EXPECT_NE(played.err.find("asked to end by a signal"), std::string::npos) << played.err;
  EXPECT_NE(ReadText(config_ / "state.json").find("\"messageBoxes\":[]"), std::string::npos);

  // The second instance waits in its message box until a signal answers it.
  const int fd = ::open((config_ / "ZORVELENGINE.lock").c_str(), O_RDWR);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
  const ProcessResult second = RunZorvelProcess({"--config-dir", config_.Path(), game_.Path()}, o);
  EXPECT_EQ(second.exitCode, 1) << second.err;
  EXPECT_NE(second.err.find("another Zorvel is running"), std::string::npos) << second.err;
  ::close(fd);
}

}  // namespace
}  // namespace zorvel::test
