#include "resources/archive_set.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "platform/files.h"
#include "text/sjis.h"

namespace zorvel {

bool ArchiveSet::OpenScriptArchives(std::string& why) {
  const std::string path = JoinPath(gameDir_, "vx_data.kpz");
  // Half a script archive plays as a broken game; refusing it whole says what is wrong.
  if (!script.Open(path, IndexLayout::kA) || !script.Problem().empty()) {
    why = path + ": " + script.Problem();
    script = ResourceArchive();
    return false;
  }
  const std::string patch = JoinPath(gameDir_, "vx_data2.kpz");
  if (FileExists(patch)) OpenOptional(scriptPatch, patch, IndexLayout::kA);
  return true;
}

void ArchiveSet::OpenOptional(ResourceArchive& archive, const std::string& path,
                              IndexLayout layout) {
  if (!archive.Open(path, layout) || !archive.Problem().empty()) {
    LogMessage(
        path + ": " + archive.Problem() +
        (archive.Found() ? "; the other entries are used" : "; the game goes on without it"));
  }
}

void ArchiveSet::OpenB(ResourceArchive& archive, const std::string& fileName, bool cdFallback,
                       const std::string& cdDir, const std::set<std::string>& present) {
  std::string path = JoinPath(gameDir_, fileName);
  if (present.count(fileName) == 0 || !FileExists(path)) {
    if (!cdFallback) return;
    // The CD directory is a Windows path ending in a backslash, joined without a separator.
    std::string dir = SjisToUtf8(cdDir);
    for (char& c : dir) {
      if (c == '\\') c = '/';
    }
    path = dir + fileName;
    if (!FileExists(path)) return;
  }
  OpenOptional(archive, path, IndexLayout::kB);
}

void ArchiveSet::OpenArchives(const GameConfig& config, const std::string& cdDir) {
  // One listing of the game directory instead of a lookup for each of the nineteen names, most
  // of which a game does not have.
  std::set<std::string> present;
  std::error_code error;
  for (std::filesystem::directory_iterator it(gameDir_, error), end; !error && it != end;
       it.increment(error)) {
    std::string name = it->path().filename().string();
    if (name.rfind("vx_", 0) == 0) present.insert(std::move(name));
  }
  for (int k = 1; k <= 3; ++k) {
    const std::string name = k == 1 ? "vx_gra.kpz" : "vx_gra" + std::to_string(k) + ".kpz";
    OpenB(gra[k - 1], name, config.VXD_GRA >= k, cdDir, present);
  }
  OpenB(gjp, "vx_gjp.kpz", config.VXD_GJP != 0, cdDir, present);
  for (int k = 1; k <= 5; ++k) {
    OpenB(wav[k - 1], "vx_wav" + std::to_string(k) + ".kpz", config.VXD_WAV >= k, cdDir, present);
  }
  for (int k = 0; k <= 2; ++k) {
    OpenB(se[k], "vx_se" + std::to_string(k) + ".kpz", config.VXD_SE >= k + 1, cdDir, present);
  }
  for (int k = 1; k <= 3; ++k) {
    OpenB(ogg[k - 1], "vx_ogg" + std::to_string(k) + ".kpz", config.VXD_OGG >= k, cdDir, present);
  }
  OpenB(bgm, "vx_bgm.kpz", true, cdDir, present);
  OpenB(ogm, "vx_ogm.kpz", true, cdDir, present);
  OpenB(anim[0], "vx_anim.kpz", config.VXD_ANIM >= 1, cdDir, present);
  OpenB(anim[1], "vx_anim2.kpz", config.VXD_ANIM >= 2, cdDir, present);
}

const ResourceArchive* ArchiveSet::FindScript(std::string_view name, int& entry) const {
  for (const ResourceArchive* a : {&scriptPatch, &script}) {
    entry = a->Find(name);
    if (entry >= 0) return a;
  }
  return nullptr;
}

std::optional<std::vector<uint8_t>> ScriptLoader::ReadScript(const char* name) const {
  const std::string upper = UpperSjis(name);
  int entry = -1;
  const ResourceArchive* archive = archives_.FindScript(upper, entry);
  if (!archive) return std::nullopt;
  const ArchiveEntry& e = archive->Entries()[static_cast<size_t>(entry)];
  if (e.size > static_cast<uint32_t>(kScriptBufferSize)) {
    LogMessage("script " + SjisToUtf8(upper) + " is " + std::to_string(e.size) +
               " bytes, more than a script may hold; not loaded");
    return std::nullopt;
  }
  std::vector<uint8_t> bytes;
  if (!archive->Read(entry, bytes) || bytes.size() > static_cast<size_t>(kScriptBufferSize)) {
    return std::nullopt;
  }
  DecodeScriptBytes(bytes.data(), bytes.size());
  return bytes;
}

bool ScriptLoader::LoadScript(const char* name, int mode) {
  auto bytes = ReadScript(name);
  if (!bytes) return false;
  return InstallScript(name, std::move(*bytes), mode);
}

bool ScriptLoader::InstallScript(const char* name, std::vector<uint8_t> bytes, int mode) {
  if (bytes.size() > static_cast<size_t>(kScriptBufferSize)) return false;
  const std::string upper = UpperSjis(name);
  state_.substBuffer[0] = 0;
  state_.pendingText = 0;
  if (unlockHook_) unlockHook_(upper);
  if (mode == kLoadStory) {
    CopyField(state_.loadedScriptName, kNameSize, name);
    // An empty entry has no data pointer, which memcpy may not be given even for 0 bytes.
    std::copy(bytes.begin(), bytes.end(), state_.scriptBuffer.begin());
    std::memset(state_.scriptBuffer.data() + bytes.size(), 0,
                state_.scriptBuffer.size() - bytes.size());
    state_.scriptSize = static_cast<int32_t>(bytes.size());
    storyLoads_ += 1;
    state_.scriptPos = 0;
    state_.needLine = true;
    state_.interpreterOn = true;
    state_.vars.S[kBacktoPos] = 0;
  } else {
    configText_ = std::move(bytes);
  }
  return true;
}

}  // namespace zorvel
