// zorvel-tool lint: reads every script of a game as the interpreter would and reports what would
// go wrong at run time (errors) or may be wrong (warnings), as SCRIPT:LINE: lines.
//
// The walk asks the game only through LintGame, so that tests and the fuzzer can hand it scripts
// and resources from memory; GameDirectory answers from a game folder's archives with the
// engine's own lookups.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "resources/archive_set.h"

namespace zorvel::tool {

// What the scripts may name. Names are Shift-JIS as the script writes them; each lookup folds
// case as the engine's does.
class LintGame {
 public:
  virtual ~LintGame() = default;
  // Every script entry of the script archives (upper-cased, the patch archive's first).
  virtual std::vector<std::string> ScriptNames() const = 0;
  // The decoded text of a script; nullopt when no archive holds it or it cannot be read.
  virtual std::optional<std::vector<uint8_t>> ScriptText(const std::string& name) const = 0;
  virtual bool HasPicture(const std::string& name) const = 0;
  virtual bool HasSound(const std::string& name) const = 0;
  virtual bool HasAnimation(const std::string& name) const = 0;
  // "" when the movie file is there; otherwise why it cannot be played.
  virtual std::string MovieProblem(const std::string& path) const = 0;
};

class GameDirectory : public LintGame {
 public:
  // False with `why` set when the script archive cannot be opened.
  bool Open(const std::string& gameDir, std::string& why);

  std::vector<std::string> ScriptNames() const override;
  std::optional<std::vector<uint8_t>> ScriptText(const std::string& name) const override;
  bool HasPicture(const std::string& name) const override;
  bool HasSound(const std::string& name) const override;
  bool HasAnimation(const std::string& name) const override;
  std::string MovieProblem(const std::string& path) const override;

 private:
  std::unique_ptr<ArchiveSet> archives_;
  // The script archives' bytes, read once: the walk reads every script, some more than once.
  std::vector<uint8_t> scriptBytes_, patchBytes_;
  // Every name each kind of archive holds, as the engine's lookups upper-case them.
  std::unordered_set<std::string> pictures_, sounds_, animations_;
  mutable std::unordered_map<std::string, std::string> movies_;
};

// A game held in memory, for tests and the fuzzer: scripts by name (decoded text) and the
// names each kind of resource answers to (upper-cased when added).
class MemoryGame : public LintGame {
 public:
  void AddScript(const std::string& name, std::vector<uint8_t> text);
  void AddPicture(const std::string& name);
  void AddSound(const std::string& name);
  void AddAnimation(const std::string& name);
  void AddMovie(const std::string& path);

  std::vector<std::string> ScriptNames() const override;
  std::optional<std::vector<uint8_t>> ScriptText(const std::string& name) const override;
  bool HasPicture(const std::string& name) const override;
  bool HasSound(const std::string& name) const override;
  bool HasAnimation(const std::string& name) const override;
  std::string MovieProblem(const std::string& path) const override;

 private:
  std::vector<std::pair<std::string, std::vector<uint8_t>>> scripts_;
  std::set<std::string> pictures_, sounds_, animations_, movies_;
};

struct LintMessage {
  std::string script;  // as the archive names it
  int line = 0;        // 1-based
  bool error = true;   // false: a warning
  std::string text;    // UTF-8
};

struct LintReport {
  std::vector<LintMessage> messages;  // by script in archive order, then by line
  int64_t lines = 0;                  // script lines read
  int errors = 0;
  int warnings = 0;
};

// Lints every story script of the game. Scripts the engine reads as data ("map", "view",
// "effect", the roll scripts, ...) are not story scripts, but their names are checked where
// story lines refer to them.
LintReport LintScripts(const LintGame& game);

// "SCRIPT:LINE: error: TEXT" or "SCRIPT:LINE: warning: TEXT".
std::string FormatLintMessage(const LintMessage& message);

}  // namespace zorvel::tool
