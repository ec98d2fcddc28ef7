#include "fixture.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "graphics/picture.h"
#include "platform/png_reader.h"
#include "platform/png_writer.h"
#include "resources/archive.h"
#include "resources/archive_set.h"
#include "text/sjis.h"
#include "ui/quick_bar.h"

namespace zorvel::test {

TempDir::TempDir() {
  char pattern[] = "/tmp/zorvel-test-XXXXXX";
  const char* made = ::mkdtemp(pattern);
  path_ = made ? made : "/tmp";
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::vector<uint8_t> EncodeScript(const std::string& utf8) {
  std::vector<uint8_t> out;
  std::istringstream lines(utf8);
  std::string line;
  while (std::getline(lines, line)) {
    const auto sjis = Utf8ToSjis(line);
    EXPECT_TRUE(sjis.has_value()) << "no Shift-JIS form: " << line;
    if (sjis) out.insert(out.end(), sjis->begin(), sjis->end());
    out.push_back(0);
  }
  DecodeScriptBytes(out.data(), out.size());
  return out;
}

namespace {

void WriteArchive(const std::string& path, IndexLayout layout,
                  const std::map<std::string, std::vector<uint8_t>>& entries) {
  std::vector<std::pair<std::string, std::vector<uint8_t>>> named;
  for (const auto& [name, bytes] : entries) named.emplace_back(UpperSjis(name), bytes);
  const std::vector<uint8_t> file =
      BuildArchive(layout, layout == IndexLayout::kA ? 16 : 32, named);
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
}

}  // namespace

void WriteArchiveA(const std::string& path,
                   const std::map<std::string, std::vector<uint8_t>>& entries) {
  WriteArchive(path, IndexLayout::kA, entries);
}

void WritePictures(const std::string& path, const std::map<std::string, Surface>& pictures) {
  std::map<std::string, std::vector<uint8_t>> entries;
  for (const auto& [name, picture] : pictures) entries[name] = EncodeGraPicture(picture);
  WriteArchive(path, IndexLayout::kB, entries);
}

Surface Solid(int width, int height, uint8_t r, uint8_t g, uint8_t b) {
  Surface s(width, height);
  s.Fill(r, g, b);
  return s;
}

// An evening sky over a dark field: busy enough that darkened bands and
// picture edges show up in screenshots.
Surface EveningScene() {
  Surface s(800, 600);
  for (int y = 0; y < 600; ++y) {
    const auto v = static_cast<uint8_t>(y * 160 / 600);
    if (y < 380) {
      s.FillRect(0, y, 800, 1, static_cast<uint8_t>(200 - v / 2), static_cast<uint8_t>(90 + v / 3),
                 static_cast<uint8_t>(120 + v / 2));
    } else {
      s.FillRect(0, y, 800, 1, 30, static_cast<uint8_t>(60 + v / 4), 40);
    }
  }
  return s;
}

void ExpectPicture(const Surface& actual, const Surface& expected, const std::string& name,
                   int tolerance) {
  ASSERT_EQ(actual.Width(), expected.Width()) << name;
  ASSERT_EQ(actual.Height(), expected.Height()) << name;
  int diffs = 0;
  int firstX = -1;
  int firstY = -1;
  for (int y = 0; y < actual.Height(); ++y) {
    const uint8_t* a = actual.Row(y);
    const uint8_t* e = expected.Row(y);
    if (std::memcmp(a, e, static_cast<size_t>(actual.Width()) * 3) == 0) continue;
    for (int x = 0; x < actual.Width(); ++x) {
      bool differs = false;
      for (int c = 0; c < 3; ++c) differs |= std::abs(a[x * 3 + c] - e[x * 3 + c]) > tolerance;
      if (differs && diffs++ == 0) {
        firstX = x;
        firstY = y;
      }
    }
  }
  if (diffs == 0) return;
  Surface both(actual.Width() * 2, actual.Height());
  for (int y = 0; y < actual.Height(); ++y) {
    const size_t bytes = static_cast<size_t>(actual.Width()) * 3;
    std::memcpy(both.Row(y), actual.Row(y), bytes);
    std::memcpy(both.Row(y) + bytes, expected.Row(y), bytes);
  }
  const std::string path = ::testing::TempDir() + name + ".png";
  WritePng(path, both);
  ADD_FAILURE() << name << ": " << diffs << " pixels differ, first at (" << firstX << ", " << firstY
                << "); actual | expected written to " << path;
}

void ExpectGolden(const Surface& actual, const std::string& name, int tolerance) {
  const std::string path = std::string(ZORVEL_SOURCE_DIR) + "/tests/data/golden/" + name + ".png";
  if (const char* write = std::getenv("ZORVEL_WRITE_GOLDEN"); write && std::string(write) == "1") {
    ASSERT_TRUE(WritePng(path, actual)) << path;
    return;
  }
  const std::string bytes = ReadText(path);
  Surface expected;
  std::string error;
  ASSERT_TRUE(
      ReadPng({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()}, expected, &error))
      << path << ": " << error;
  ExpectPicture(actual, expected, name, tolerance);
}

std::array<uint8_t, 3> PixelAt(const Surface& s, int x, int y) {
  const uint8_t* p = s.Row(y) + x * 3;
  return {p[2], p[1], p[0]};
}

Surface QuickButtonPicture() {
  Surface s(800, 96);
  for (int b = 1; b <= QuickBar::kButtonCount; ++b) {
    const int x = QuickBar::kButtonX[b];
    s.FillRect(x + 2, 2, 60, 20, kBarUnlit[0], kBarUnlit[1], kBarUnlit[2]);
    s.FillRect(x + 2, 50, 60, 20, kBarLit[0], kBarLit[1], kBarLit[2]);
    for (int d = 0; d < b; ++d) {
      s.FillRect(x + 6 + d * 4, 10, 2, 4, 255, 255, 255);
      s.FillRect(x + 6 + d * 4, 58, 2, 4, 255, 255, 255);
    }
    s.FillRect(x + 2, 74, 60, 20, 255, 255, 255);
  }
  return s;
}

std::string LampShown(const Surface& frame, int button) {
  // A corner of the plate that no dot reaches.
  const auto shown = PixelAt(frame, QuickBar::kButtonX[button] + 60, 576 + 20);
  const auto near = [&](const std::array<uint8_t, 3>& want) {
    for (int i = 0; i < 3; ++i) {
      if (std::abs(shown[i] - want[i]) > 3) return false;
    }
    return true;
  };
  return near(kBarLit) ? "lit" : near(kBarUnlit) ? "unlit" : "none";
}

void WriteGame(const std::string& dir, const std::map<std::string, std::string>& scripts) {
  std::map<std::string, std::vector<uint8_t>> entries;
  for (const auto& [name, text] : scripts) entries[name] = EncodeScript(text);
  WriteArchiveA(dir + "/vx_data.kpz", entries);
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

Session::Session(const std::string& gameDir, const std::string& configDir,
                 const std::string& translation)
    : store_(std::make_unique<IniSettingsStore>(configDir)),
      platform_(std::make_unique<HeadlessPlatform>(*store_)) {
  EngineOptions options;
  options.gameDir = gameDir;
  options.translationFile = translation;
  engine_ = std::make_unique<Engine>(*platform_, options);
}

void Session::Events(const std::string& text) {
  std::vector<TimedEvent> events;
  std::string error;
  ASSERT_TRUE(ParseEvents(text, events, error)) << error;
  platform_->AddEvents(events);
}

int ClickThrough(Session& s, const char* endScript, const std::function<void()>& atChoice) {
  const auto mouse = [&s](InputEvent::Kind kind, int x, int y) {
    InputEvent e;
    e.kind = kind;
    e.x = x;
    e.y = y;
    s.engine().HandleEvent(e);
  };
  const auto click = [&mouse](int x, int y) {
    mouse(InputEvent::Kind::kMouseDown, x, y);
    mouse(InputEvent::Kind::kMouseUp, x, y);
  };
  int pages = 0;
  for (int ms = 0; ms < 300000 && std::string(s.state().scriptName) != endScript; ms += 100) {
    s.RunFor(100);
    if (s.state().interactionMode != 0) {
      if (atChoice) atChoice();
      for (int y = 0; y < 600; y += 5) {
        mouse(InputEvent::Kind::kMouseMove, 400, y);
        if (s.engine().ChoiceList().Current() == 0 && s.engine().Map().Highlighted() == 0) continue;
        click(400, y);
        break;
      }
      continue;
    }
    if (s.state().waitKind != 0) {
      const bool novel = s.state().vars.S[150] != 0;
      const GameConfig& config = s.engine().Config();
      const int shown = std::clamp(novel ? config.MOJI_MAX2_Y : config.MOJI_MAX_Y, 0, kPageRows);
      for (int row = shown; row < kPageRows; ++row) {
        EXPECT_EQ(s.PageRow(row), "") << "page " << pages << " (" << s.PageRow(1) << ")";
      }
      pages += 1;
      click(400, 300);
    } else if (ms % 1000 == 0) {
      click(400, 300);  // sleeps and the movie end on a click too
    }
  }
  return pages;
}

void Session::Do(std::initializer_list<std::string> events, uint32_t ms) {
  for (const std::string& e : events) {
    Events(std::to_string(platform_->Ticks()) + " " + e + "\n");
    RunFor(ms);
  }
}

void Session::RunFor(uint32_t ms) {
  if (!started_) {
    engine_->Start();
    nextTick_ = platform_->Ticks() + Engine::kTimerInterval;
    started_ = true;
  }
  const uint32_t until = platform_->Ticks() + ms;
  InputEvent event;
  while (!engine_->Closed() && platform_->Ticks() < until) {
    while (!engine_->Closed() && platform_->PollEvent(event)) engine_->HandleEvent(event);
    if (engine_->Closed()) break;
    if (static_cast<int32_t>(platform_->Ticks() - nextTick_) >= 0) {
      engine_->Timer1Timer();
      nextTick_ += Engine::kTimerInterval;
    }
    engine_->AppIdle();
  }
}

std::vector<std::string> Session::History() {
  std::vector<std::string> lines;
  const EngineState& s = state();
  for (int i = 0; i < s.historyLines; ++i) {
    lines.push_back(
        SjisToUtf8(std::string(s.history + i * kHistorySlotSize,
                               strnlen(s.history + i * kHistorySlotSize, kHistorySlotSize))));
  }
  return lines;
}

std::string Session::PageRow(int row) {
  std::string cells;
  for (const char c : state().pageText[row]) {
    if (c != 0) cells.push_back(c);
  }
  return SjisToUtf8(cells);
}

std::string Session::StringVar(int n) {
  return SjisToUtf8(state().stringVars[n]);
}

int RunZorvel(const std::vector<std::string>& args) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    std::vector<char*> argv;
    std::string bin = ZORVEL_BIN;
    argv.push_back(bin.data());
    std::vector<std::string> copy = args;
    for (std::string& a : copy) argv.push_back(a.data());
    argv.push_back(nullptr);
    ::execv(bin.c_str(), argv.data());
    ::_exit(127);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

ProcessResult RunProcess(const std::vector<std::string>& argv, const ProcessOptions& options) {
  ProcessResult result;
  TempDir scratch;
  const std::string errPath = scratch / "stderr";
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int fd = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd >= 0) ::dup2(fd, 2);
    for (const auto& [name, value] : options.env) {
      if (value) {
        ::setenv(name.c_str(), value->c_str(), 1);
      } else {
        ::unsetenv(name.c_str());
      }
    }
    std::vector<std::string> copy = argv;
    std::vector<char*> args;
    for (std::string& a : copy) args.push_back(a.data());
    args.push_back(nullptr);
    ::execv(args[0], args.data());
    ::_exit(127);
  }
  int status = 0;
  bool signalled = options.signal == 0;
  bool hung = false;
  for (int waited = 0;; waited += 10) {
    const pid_t done = ::waitpid(pid, &status, WNOHANG);
    if (done == pid) break;
    if (!signalled && waited >= options.signalAfterMs &&
        (options.signalAfterOutput.empty() ||
         ReadText(errPath).find(options.signalAfterOutput) != std::string::npos)) {
      ::kill(pid, options.signal);
      signalled = true;
    }
    if (waited >= options.killAfterMs) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      hung = true;
      break;
    }
    ::usleep(10 * 1000);
  }
  if (hung) {
    result.exitCode = -2;
  } else if (WIFEXITED(status)) {
    result.exitCode = WEXITSTATUS(status);
  }
  result.err = ReadText(errPath);
  return result;
}

ProcessResult RunZorvelProcess(const std::vector<std::string>& args,
                               const ProcessOptions& options) {
  std::vector<std::string> argv = {ZORVEL_BIN};
  argv.insert(argv.end(), args.begin(), args.end());
  return RunProcess(argv, options);
}

}  // namespace zorvel::test
