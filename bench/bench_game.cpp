#include "bench_game.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "graphics/picture.h"
#include "platform/files.h"
#include "resources/archive.h"
#include "resources/archive_set.h"
#include "text/sjis.h"

namespace zorvel::bench {

TempDir::TempDir() {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/zorvel-bench-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

void WritePictureArchive(const std::string& path,
                         const std::vector<std::pair<std::string, Surface>>& pictures) {
  std::vector<std::pair<std::string, std::vector<uint8_t>>> entries;
  for (const auto& [name, picture] : pictures) {
    entries.emplace_back(name, EncodeGraPicture(picture));
  }
  const std::vector<uint8_t> file = BuildArchive(IndexLayout::kB, 32, entries);
  WriteFileAtomic(path, file.data(), file.size());
}

void WriteGame(const std::string& dir, const std::map<std::string, std::string>& scripts) {
  std::vector<std::vector<uint8_t>> bodies;
  std::vector<ArchiveEntry> index;
  uint32_t offset = static_cast<uint32_t>(IndexSize(IndexLayout::kA, scripts.size(), 0));
  for (const auto& [name, utf8] : scripts) {
    std::vector<uint8_t> body;
    std::istringstream lines(utf8);
    std::string line;
    while (std::getline(lines, line)) {
      const auto sjis = Utf8ToSjis(line);
      if (!sjis) throw std::runtime_error("no Shift-JIS form: " + line);
      body.insert(body.end(), sjis->begin(), sjis->end());
      body.push_back(0);
    }
    DecodeScriptBytes(body.data(), body.size());
    index.push_back({UpperSjis(name), offset, static_cast<uint32_t>(body.size())});
    offset += static_cast<uint32_t>(body.size());
    bodies.push_back(std::move(body));
  }
  std::vector<uint8_t> file = BuildIndex(IndexLayout::kA, index, 0);
  for (const auto& body : bodies) file.insert(file.end(), body.begin(), body.end());
  std::ofstream out(dir + "/vx_data.kpz", std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
  if (!out) throw std::runtime_error("cannot write " + dir + "/vx_data.kpz");
}

HeadlessGame::HeadlessGame(const std::string& gameDir, const std::string& translation)
    : store_(std::make_unique<IniSettingsStore>(settingsDir_.Path())),
      platform_(std::make_unique<HeadlessPlatform>(*store_)) {
  // As the command line runs headless: window updates go uncounted.
  platform_->SetCountPresents(false);
  EngineOptions options;
  options.gameDir = gameDir;
  options.translationFile = translation;
  options.randomSeed = 1;
  options.seedGiven = true;
  engine_ = std::make_unique<Engine>(*platform_, options);
}

void HeadlessGame::Pass() {
  if (static_cast<int32_t>(platform_->Ticks() - nextTick_) >= 0) {
    engine_->Timer1Timer();
    nextTick_ += Engine::kTimerInterval;
  }
  engine_->AppIdle();
}

void HeadlessGame::Click(int x, int y) {
  InputEvent e;
  e.kind = InputEvent::Kind::kMouseDown;
  e.button = MouseButton::kLeft;
  e.x = x;
  e.y = y;
  engine_->HandleEvent(e);
  e.kind = InputEvent::Kind::kMouseUp;
  engine_->HandleEvent(e);
}

void HeadlessGame::Move(int x, int y) {
  InputEvent e;
  e.kind = InputEvent::Kind::kMouseMove;
  e.x = x;
  e.y = y;
  engine_->HandleEvent(e);
}

bool HeadlessGame::ScriptEnded() {
  const EngineState& s = state();
  return s.needLine && s.callDepth == 0 && (s.scriptPos >= s.scriptSize || s.scriptPos < 0);
}

}  // namespace zorvel::bench
