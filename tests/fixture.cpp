#include "fixture.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "resources/archive.h"
#include "resources/archive_set.h"
#include "text/sjis.h"

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

void WriteArchiveA(const std::string& path,
                   const std::map<std::string, std::vector<uint8_t>>& entries) {
  std::vector<ArchiveEntry> index;
  uint32_t offset = static_cast<uint32_t>(IndexSize(IndexLayout::kA, entries.size(), 16));
  for (const auto& [name, bytes] : entries) {
    index.push_back({UpperSjis(name), offset, static_cast<uint32_t>(bytes.size())});
    offset += static_cast<uint32_t>(bytes.size());
  }
  std::vector<uint8_t> file = BuildIndex(IndexLayout::kA, index, 16);
  for (const auto& [name, bytes] : entries) file.insert(file.end(), bytes.begin(), bytes.end());
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
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

Session::Session(const std::string& gameDir, const std::string& configDir)
    : store_(std::make_unique<IniSettingsStore>(configDir)),
      platform_(std::make_unique<HeadlessPlatform>(*store_)) {
  EngineOptions options;
  options.gameDir = gameDir;
  engine_ = std::make_unique<Engine>(*platform_, options);
}

void Session::Events(const std::string& text) {
  std::vector<TimedEvent> events;
  std::string error;
  ASSERT_TRUE(ParseEvents(text, events, error)) << error;
  platform_->AddEvents(events);
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

}  // namespace zorvel::test
