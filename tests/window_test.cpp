// The windowed build's failure paths, on a real X server (Xvfb) where one is installed: no
// display, termination signals, and the second-instance message box.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>

#include "fixture.h"
#include "virtual_display.h"

namespace zorvel::test {
namespace {

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
  o.signalAfterOutput = "zorvel: font:";
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
  o.signalAfterOutput.clear();  // the refused start loads no font
  const ProcessResult second = RunZorvelProcess({"--config-dir", config_.Path(), game_.Path()}, o);
  EXPECT_EQ(second.exitCode, 1) << second.err;
  EXPECT_NE(second.err.find("another Zorvel is running"), std::string::npos) << second.err;
  ::close(fd);
}

}  // namespace
}  // namespace zorvel::test
