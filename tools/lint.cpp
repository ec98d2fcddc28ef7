#include "lint.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <unordered_map>
#include <unordered_set>

#include "audio/movie.h"
#include "core/engine_state.h"
#include "extras/gallery.h"
#include "graphics/animation.h"
#include "graphics/layers.h"
#include "graphics/objects.h"
#include "platform/files.h"
#include "resources/game_config.h"
#include "script/commands.h"
#include "script/decimal.h"
#include "script/expressions.h"
#include "text/sjis.h"
#include "ui/choices.h"
#include "ui/click_map.h"

namespace zorvel::tool {

// GameDirectory ------------------------------------------------------------------------------

bool GameDirectory::Open(const std::string& gameDir, std::string& why) {
  archives_ = std::make_unique<ArchiveSet>(gameDir);
  if (!archives_->OpenScriptArchives(why)) return false;
  const auto readAll = [](const ResourceArchive& a, std::vector<uint8_t>& out) {
    if (!a.Found()) return;
    if (auto bytes = ReadWholeFile(a.FileName())) out = std::move(*bytes);
  };
  readAll(archives_->script, scriptBytes_);
  readAll(archives_->scriptPatch, patchBytes_);
  // The other archives are opened as the engine opens them, by what `_config` says the game has.
  GameConfig config;
  if (auto text = ScriptText("_CONFIG")) config = ParseConfig(*text);
  archives_->OpenArchives(config, "");
  const auto names = [](std::unordered_set<std::string>& set, const ResourceArchive& a) {
    for (const ArchiveEntry& e : a.Entries()) set.insert(e.name);
  };
  // The archives PictureLoader::PictureExists, Sound::PlaySound and Animation::Play look in.
  names(pictures_, archives_->gjp);
  for (const ResourceArchive& a : archives_->gra) names(pictures_, a);
  for (const ResourceArchive& a : archives_->ogg) names(sounds_, a);
  for (const ResourceArchive& a : archives_->wav) names(sounds_, a);
  for (const ResourceArchive& a : archives_->se) names(sounds_, a);
  for (const ResourceArchive& a : archives_->anim) names(animations_, a);
  return true;
}

std::vector<std::string> GameDirectory::ScriptNames() const {
  std::vector<std::string> names;
  std::unordered_set<std::string> seen;
  for (const ResourceArchive* a : {&archives_->scriptPatch, &archives_->script}) {
    for (const ArchiveEntry& e : a->Entries()) {
      if (seen.insert(e.name).second) names.push_back(e.name);
    }
  }
  return names;
}

std::optional<std::vector<uint8_t>> GameDirectory::ScriptText(const std::string& name) const {
  int entry = -1;
  const ResourceArchive* a = archives_->FindScript(UpperSjis(name), entry);
  if (a == nullptr) return std::nullopt;
  const ArchiveEntry& e = a->Entries()[static_cast<size_t>(entry)];
  const std::vector<uint8_t>& file = a == &archives_->script ? scriptBytes_ : patchBytes_;
  // The index was checked against the file's size when it was read; the file may have changed
  // since.
  if (e.size > static_cast<uint32_t>(kScriptBufferSize) || e.offset > file.size() ||
      e.size > file.size() - e.offset) {
    return std::nullopt;
  }
  std::vector<uint8_t> bytes(file.begin() + e.offset, file.begin() + e.offset + e.size);
  DecodeScriptBytes(bytes.data(), bytes.size());
  return bytes;
}

bool GameDirectory::HasPicture(const std::string& name) const {
  return pictures_.count(UpperSjis(name)) != 0;
}

bool GameDirectory::HasSound(const std::string& name) const {
  return sounds_.count(UpperSjis(name)) != 0;
}

bool GameDirectory::HasAnimation(const std::string& name) const {
  return animations_.count(UpperSjis(name)) != 0;
}

std::string GameDirectory::MovieProblem(const std::string& path) const {
  const auto it = movies_.find(path);
  if (it != movies_.end()) return it->second;
  std::string why;
  if (ResolveMoviePath(archives_->GameDir(), path, why)) {
    why.clear();
  } else if (why.empty()) {
    why = "is missing beside the game";
  }
  movies_.emplace(path, why);
  return why;
}

// MemoryGame ---------------------------------------------------------------------------------

void MemoryGame::AddScript(const std::string& name, std::vector<uint8_t> text) {
  scripts_.emplace_back(UpperSjis(name), std::move(text));
}
void MemoryGame::AddPicture(const std::string& name) {
  pictures_.insert(UpperSjis(name));
}
void MemoryGame::AddSound(const std::string& name) {
  sounds_.insert(UpperSjis(name));
}
void MemoryGame::AddAnimation(const std::string& name) {
  animations_.insert(UpperSjis(name));
}
void MemoryGame::AddMovie(const std::string& path) {
  movies_.insert(UpperSjis(path));
}

std::vector<std::string> MemoryGame::ScriptNames() const {
  std::vector<std::string> names;
  for (const auto& s : scripts_) names.push_back(s.first);
  return names;
}

std::optional<std::vector<uint8_t>> MemoryGame::ScriptText(const std::string& name) const {
  const std::string upper = UpperSjis(name);
  for (const auto& s : scripts_) {
    if (s.first == upper) return s.second;
  }
  return std::nullopt;
}

bool MemoryGame::HasPicture(const std::string& name) const {
  return pictures_.count(UpperSjis(name)) != 0;
}
bool MemoryGame::HasSound(const std::string& name) const {
  return sounds_.count(UpperSjis(name)) != 0;
}
bool MemoryGame::HasAnimation(const std::string& name) const {
  return animations_.count(UpperSjis(name)) != 0;
}
std::string MemoryGame::MovieProblem(const std::string& path) const {
  return movies_.count(UpperSjis(path)) != 0 ? "" : "is missing beside the game";
}

// The walk -----------------------------------------------------------------------------------

namespace {

constexpr size_t kLongestLine = kLineBufferSize - 1;
constexpr size_t kLongestScriptName = kNameSize - 1;
constexpr size_t kLongestText = kStringVarSize - 1;
constexpr size_t kLongestSpeaker = sizeof(EngineState::speakerName) - 1;

// Scripts the engine reads as data, never as story: what their lines mean is their own.
constexpr const char* kDataScripts[] = {"_CONFIG",      "MAP",         "VIEW",  "EFFECT",
                                        "SYS_FLASHBAK", "SYS_SELTREE", "SROLL", "ENDROLL"};

char Fold(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}

std::string Folded(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = Fold(c);
  return out;
}

bool EqualFolded(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (Fold(a[i]) != Fold(b[i])) return false;
  }
  return true;
}

std::string Quoted(std::string_view sjis) {
  return "\"" + SjisToUtf8(sjis) + "\"";
}

std::string_view TrimEnd(std::string_view text) {
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
    text.remove_suffix(1);
  }
  return text;
}

// One script's lines and the texts its jumps can land on.
struct ScriptIndex {
  std::vector<uint8_t> text;
  struct Line {
    uint32_t start = 0;
    uint32_t size = 0;
  };
  std::vector<Line> lines;
  // Every text from after a ":" to its line's end: what GotoLabel can land on. Keyed by a hash
  // of the folded text, so a line of many colons costs one pass, not one copy per colon; a
  // lookup compares the candidates' bytes.
  struct Tail {
    uint32_t start = 0;
    uint32_t size = 0;
  };
  std::unordered_multimap<uint64_t, Tail> labels;
  // The same for the texts after "}:", the ends of named blocks.
  std::unordered_multimap<uint64_t, Tail> namedEnds;
  // For each line, the first later line that starts with "}" (and is not "}:"), or -1.
  std::vector<int32_t> nextBlockEnd;
  // For each line, the first later line that starts with "}" of either kind, or -1.
  std::vector<int32_t> nextClose;
  // The lines that start with "{", in order, and how many come before each line.
  std::vector<int32_t> opens;
  std::vector<int32_t> opensBefore;
  // Labels that something jumps to (folded).
  std::unordered_set<std::string> reached;

  std::string_view LineText(size_t i) const {
    return {reinterpret_cast<const char*>(text.data()) + lines[i].start, lines[i].size};
  }
  uint32_t NextLineStart(size_t i) const {
    return i + 1 < lines.size() ? lines[i + 1].start : static_cast<uint32_t>(text.size());
  }
  std::string_view TailText(const Tail& t) const {
    return {reinterpret_cast<const char*>(text.data()) + t.start, t.size};
  }
  bool HasLabel(std::string_view label) const {
    const auto range = labels.equal_range(TailHash(label));
    for (auto it = range.first; it != range.second; ++it) {
      if (EqualFolded(TailText(it->second), label)) return true;
    }
    return false;
  }
  // Whether "}:" and `name` end a line that starts at or after `from`.
  bool HasNamedEnd(std::string_view name, uint32_t from) const {
    const auto range = namedEnds.equal_range(TailHash(name));
    for (auto it = range.first; it != range.second; ++it) {
      if (it->second.start >= from && EqualFolded(TailText(it->second), name)) return true;
    }
    return false;
  }
  // The folded text's hash, built from its end so that every tail of a line comes in one pass.
  static uint64_t TailHash(std::string_view text) {
    uint64_t h = kHashSeed;
    for (size_t i = text.size(); i-- > 0;) h = Step(h, text[i]);
    return h;
  }
  static uint64_t Step(uint64_t h, char c) {
    return (h ^ static_cast<uint8_t>(Fold(c))) * 0x100000001B3ull;
  }
  static constexpr uint64_t kHashSeed = 0xCBF29CE484222325ull;
};

void BuildIndex(ScriptIndex& index) {
  const auto* buf = index.text.data();
  const size_t size = index.text.size();
  for (size_t pos = 0; pos < size;) {
    const void* zero = std::memchr(buf + pos, 0, size - pos);
    const size_t end = zero ? static_cast<size_t>(static_cast<const uint8_t*>(zero) - buf) : size;
    index.lines.push_back({static_cast<uint32_t>(pos), static_cast<uint32_t>(end - pos)});
    // Only a text ended by its 0 byte can be matched by a label search.
    if (zero != nullptr) {
      uint64_t h = ScriptIndex::kHashSeed;
      for (size_t i = end; i-- > pos;) {
        if (buf[i] == ':') {
          const ScriptIndex::Tail tail{static_cast<uint32_t>(i + 1),
                                       static_cast<uint32_t>(end - i - 1)};
          index.labels.emplace(h, tail);
          if (i > pos && buf[i - 1] == '}') index.namedEnds.emplace(h, tail);
        }
        h = ScriptIndex::Step(h, static_cast<char>(buf[i]));
      }
    }
    pos = end + 1;
  }
  const size_t n = index.lines.size();
  index.opensBefore.assign(n + 1, 0);
  for (size_t i = 0; i < n; ++i) {
    const std::string_view line = index.LineText(i);
    const bool open = !line.empty() && line[0] == '{';
    if (open) index.opens.push_back(static_cast<int32_t>(i));
    index.opensBefore[i + 1] = index.opensBefore[i] + (open ? 1 : 0);
  }
  index.nextBlockEnd.assign(n, -1);
  index.nextClose.assign(n, -1);
  int32_t blockEnd = -1;
  int32_t close = -1;
  for (size_t i = n; i-- > 0;) {
    index.nextBlockEnd[i] = blockEnd;
    index.nextClose[i] = close;
    const std::string_view line = index.LineText(i);
    if (!line.empty() && line[0] == '}') {
      close = static_cast<int32_t>(i);
      if (line.size() < 2 || line[1] != ':') blockEnd = static_cast<int32_t>(i);
    }
  }
}

// Expressions checked with the engine's own reader on scratch banks: what it reports as
// invalid is what the game's developer log would show.
class ExpressionCheck {
 public:
  ExpressionCheck() { Fresh(); }

  // False when any operand of `text` (read up to its stop character) is invalid.
  bool Evaluate(const char* text, const char** stop = nullptr) {
    const size_t before = Before();
    expr_->Evaluate(text, stop);
    return log_->Entries().size() == before;
  }
  bool Assign(const char* list) {
    // `P` stores through V: what earlier lines stored must not decide this line's verdict.
    vars_.V.fill(0);
    const size_t before = Before();
    expr_->Assign(list);
    return log_->Entries().size() == before;
  }
  // Every term of a condition, as Condition splits them but without its early exits, so a term
  // after one that is false at the moment is read too.
  bool Condition(const char* text) {
    const char* p = text;
    if (*p == '(') ++p;
    std::string cond;
    for (; *p && *p != ')' && cond.size() < 100; ++p) {
      if (*p != ' ') cond.push_back(*p);
    }
    cond = UpperSjis(cond);
    const char* term = cond.c_str();
    for (;;) {
      if (!Evaluate(term)) return false;
      const char* op = term[0] ? term + 1 : term;
      while (*op && !std::strchr("!&,<=>|", *op)) ++op;
      const char* joiner = op;
      if (*op == '=' || *op == '!' || *op == '<' || *op == '>') {
        if (!Evaluate(op + (op[1] == '=' ? 2 : 1), &joiner)) return false;
      }
      if (*joiner != '&' && *joiner != '|') return true;
      term = joiner + 1;
    }
  }

 private:
  // The log keeps its last entries only; a fresh one counts again from nothing.
  size_t Before() {
    if (log_->Entries().size() > 128) Fresh();
    return log_->Entries().size();
  }
  void Fresh() {
    log_ = std::make_unique<DeveloperLog>();
    expr_ = std::make_unique<Expressions>(vars_, random_, *log_);
  }

  VariableBanks vars_;
  RandomGenerator random_;
  std::unique_ptr<DeveloperLog> log_;
  std::unique_ptr<Expressions> expr_;
};

class Linter {
 public:
  explicit Linter(const LintGame& game) : game_(game) {}

  LintReport Run();

 private:
  ScriptIndex* Index(const std::string& upperName);
  bool IsDataScript(const std::string& upperName) const;
  void NoteDataReferences(const ScriptIndex& data);

  void LintScript(const std::string& name, ScriptIndex& index);
  void LintLine(std::string_view line, int depth);
  void LintCommand(int command, const char* line, int depth);
  void LintText(const char* line);
  void LintTag(const char* tag);
  void LintBlockStart(std::string_view line);
  void LintList(const char* what, bool clickmap);
  void LintJump(const char* arg, int limit, const char* word);
  void CheckLabel(ScriptIndex& in, const std::string& inName, std::string_view label,
                  const char* word);
  void CheckPicture(std::string_view name, const char* word);
  void CheckSound(const std::string& name, const char* word);

  void Error(const std::string& text) { Add(true, text); }
  void Warning(const std::string& text) { Add(false, text); }
  void Add(bool error, const std::string& text);

  const LintGame& game_;
  LintReport report_;
  ExpressionCheck expr_;
  std::vector<std::string> names_;
  std::unordered_set<std::string> scripts_;      // upper-cased names the archives hold
  std::unordered_set<std::string> rollScripts_;  // named by `roll`: data, not story
  std::unordered_map<std::string, std::unique_ptr<ScriptIndex>> indexes_;
  std::optional<std::vector<uint8_t>> mapText_, viewText_, effectText_;
  bool mapRead_ = false, viewRead_ = false, effectRead_ = false;
  // Whether each viewer name read so far is defined.
  std::unordered_map<std::string, bool> viewers_;

  // The "{" lines of the script a select or clickmap list has read.
  std::vector<bool> listLineRead_;
  // The line being linted.
  std::string scriptName_;
  ScriptIndex* script_ = nullptr;
  size_t lineIndex_ = 0;
  // Story messages of the line are kept until the script is done, so that they come in line
  // order after the label warnings that only the end of the walk can give.
  std::vector<LintMessage> pending_;
};

ScriptIndex* Linter::Index(const std::string& upperName) {
  const auto it = indexes_.find(upperName);
  if (it != indexes_.end()) return it->second.get();
  auto text = game_.ScriptText(upperName);
  if (!text) {
    indexes_.emplace(upperName, nullptr);
    return nullptr;
  }
  auto index = std::make_unique<ScriptIndex>();
  index->text = std::move(*text);
  BuildIndex(*index);
  ScriptIndex* raw = index.get();
  indexes_.emplace(upperName, std::move(index));
  return raw;
}

bool Linter::IsDataScript(const std::string& upperName) const {
  for (const char* d : kDataScripts) {
    if (upperName == d) return true;
  }
  return rollScripts_.count(upperName) != 0;
}

// Data scripts jump into the story too (the chapter tree's and the viewer's SCRIPT:LABEL
// fields): the labels they name are reached.
void Linter::NoteDataReferences(const ScriptIndex& data) {
  for (size_t i = 0; i < data.lines.size(); ++i) {
    const std::string_view line = data.LineText(i);
    for (size_t colon = line.find(':'); colon != std::string_view::npos;
         colon = line.find(':', colon + 1)) {
      size_t from = colon;
      while (from > 0 && line[from - 1] != ',' && line[from - 1] != ' ' && line[from - 1] != ':') {
        --from;
      }
      if (from == colon) continue;
      const std::string target = UpperSjis(line.substr(from, colon - from));
      if (scripts_.count(target) == 0) continue;
      std::string_view label = line.substr(colon + 1);
      label = label.substr(0, std::min(label.find(','), label.size()));
      if (ScriptIndex* in = Index(target)) in->reached.insert(Folded(label));
    }
  }
}

LintReport Linter::Run() {
  names_ = game_.ScriptNames();
  for (const std::string& n : names_) scripts_.insert(UpperSjis(n));
  // A first pass finds the roll scripts, which are data; cheap next to the walk.
  for (const std::string& n : names_) {
    const std::string upper = UpperSjis(n);
    if (IsDataScript(upper)) continue;
    ScriptIndex* index = Index(upper);
    if (index == nullptr) continue;
    for (size_t i = 0; i < index->lines.size(); ++i) {
      const std::string_view line = index->LineText(i);
      if (line.size() < 6 || (line[0] != '@' && line[0] != '*') || Fold(line[1]) != 'R') continue;
      const std::string head(line.substr(1, std::min<size_t>(line.size() - 1, 5)));
      if (CommandTable::Match(head.c_str()) != kRoll) continue;
      std::string_view name = line.substr(6);
      name = name.substr(0, std::min(name.find_first_of(" \t\r"), name.size()));
      rollScripts_.insert(UpperSjis(name));
    }
  }
  for (const std::string& n : names_) {
    const std::string upper = UpperSjis(n);
    if (!IsDataScript(upper)) continue;
    if (const ScriptIndex* index = Index(upper)) NoteDataReferences(*index);
  }
  for (const std::string& n : names_) {
    const std::string upper = UpperSjis(n);
    if (IsDataScript(upper)) continue;
    ScriptIndex* index = Index(upper);
    if (index == nullptr) {
      report_.messages.push_back({n, 0, true, "the script cannot be read"});
      report_.errors += 1;
      continue;
    }
    LintScript(n, *index);
  }
  // Label warnings need every script's jumps; they join each script's messages in line order.
  std::map<std::string, std::vector<LintMessage>> byScript;
  for (LintMessage& m : pending_) byScript[m.script].push_back(std::move(m));
  for (const std::string& n : names_) {
    const std::string upper = UpperSjis(n);
    if (IsDataScript(upper)) continue;
    ScriptIndex* index = Index(upper);
    if (index == nullptr) continue;
    std::vector<LintMessage>& out = byScript[n];
    for (size_t i = 0; i < index->lines.size(); ++i) {
      const std::string_view line = index->LineText(i);
      if (line.size() < 2 || line[0] != ':') continue;
      if (index->reached.count(Folded(line.substr(1))) != 0) continue;
      out.push_back({n, static_cast<int>(i + 1), false,
                     "label " + Quoted(line.substr(1)) + " is never jumped to"});
      report_.warnings += 1;
    }
    std::stable_sort(out.begin(), out.end(),
                     [](const LintMessage& a, const LintMessage& b) { return a.line < b.line; });
    for (LintMessage& m : out) report_.messages.push_back(std::move(m));
  }
  return std::move(report_);
}

void Linter::Add(bool error, const std::string& text) {
  pending_.push_back({scriptName_, static_cast<int>(lineIndex_ + 1), error, text});
  (error ? report_.errors : report_.warnings) += 1;
}

void Linter::LintScript(const std::string& name, ScriptIndex& index) {
  scriptName_ = name;
  script_ = &index;
  listLineRead_.assign(index.lines.size(), false);
  report_.lines += static_cast<int64_t>(index.lines.size());
  for (lineIndex_ = 0; lineIndex_ < index.lines.size(); ++lineIndex_) {
    const std::string_view line = index.LineText(lineIndex_);
    if (line.size() > kLongestLine) {
      Error("the line is " + std::to_string(line.size()) + " bytes, longer than the " +
            std::to_string(kLongestLine) + " the line buffer holds; the rest is cut");
    }
    LintLine(line.substr(0, std::min(line.size(), kLongestLine)), 0);
  }
}

void Linter::LintLine(std::string_view line, int depth) {
  if (line.empty()) return;
  // The interpreter reads its lines 0-ended from the line buffer; so does the lint.
  char buffer[kLineBufferSize];
  std::memcpy(buffer, line.data(), line.size());
  buffer[line.size()] = 0;
  switch (line[0]) {
    case ':':
    case ';':
    case '\\':
    case '~':
    case '+':
    case '=':
      return;
    case '}': {
      if (line.size() >= 2 && line[1] == ':') return;
      // Anonymous blocks do not nest: this line closes whatever "{" came since the last "}".
      bool opened = false;
      for (size_t i = lineIndex_; i-- > 0;) {
        const std::string_view l = script_->LineText(i);
        if (l.empty() || (l.size() >= 2 && l[1] == ':')) continue;
        if (l[0] == '{') {
          opened = true;
          break;
        }
        if (l[0] == '}') break;
      }
      if (!opened) Warning("\"}\" closes no block");
      return;
    }
    case '{':
      LintBlockStart(line);
      return;
    case '!':
      if (!expr_.Assign(buffer + 1)) {
        Error("the assignment " + Quoted(buffer + 1) + " does not parse");
      }
      return;
    case '>':
      if (line.size() - 1 > kLongestSpeaker) {
        Warning("the speaker name is " + std::to_string(line.size() - 1) + " bytes; only " +
                std::to_string(kLongestSpeaker) + " are kept");
      }
      return;
    case '*':
    case '@': {
      const int command = CommandTable::Match(buffer + 1);
      if (command < 0) {
        std::string_view word = line.substr(1);
        word = word.substr(0, std::min(word.find(' '), word.size()));
        Error("unknown command word " + Quoted(word));
        return;
      }
      LintCommand(command, buffer, depth);
      return;
    }
    default:
      LintText(buffer);
      return;
  }
}

void Linter::LintBlockStart(std::string_view line) {
  if (line.size() >= 2 && line[1] == ':') {
    std::string_view name = line.substr(2);
    name = name.substr(0, std::min(name.find('('), name.size()));
    if (!script_->HasNamedEnd(name, script_->NextLineStart(lineIndex_))) {
      Error("the block \"{:" + SjisToUtf8(name) + "\" has no \"}:" + SjisToUtf8(name) +
            "\" line after it; reaching it skips the rest of the script");
    }
    return;
  }
  if (script_->nextBlockEnd[lineIndex_] < 0) {
    Error("the block \"{\" has no \"}\" line after it; reaching it skips the rest of the script");
  }
}

void Linter::LintCommand(int command, const char* line, int depth) {
  const char* arg = CommandTable::Argument(command, line + 1);
  const char* word = CommandTable::Words()[static_cast<size_t>(command)].word;
  std::string wordText(word);
  while (!wordText.empty() && wordText.back() == ' ') wordText.pop_back();
  switch (command) {
    case kGra:
    case kGrb:
    case kBg: {
      const std::string name = GraArgumentName(arg);
      const char first = Fold(name.empty() ? 0 : name[0]);
      if (first == 'S') break;
      if (first == 'A' || first == 'B' || command == kBg) {
        CheckPicture(name, wordText.c_str());
      } else {
        Warning(wordText + " " + Quoted(name) +
                ": a name that begins with neither A (background), B (character) nor S "
                "(colour) shows nothing");
      }
      break;
    }
    case kSpr: {
      const std::string spec = UpperSjis(arg);
      size_t from = 0;
      for (int field = 0; field < 5 && from <= spec.size(); ++field) {
        const size_t comma = spec.find(',', from);
        const std::string_view name = std::string_view(spec).substr(
            from, comma == std::string::npos ? spec.npos : comma - from);
        if (!name.empty() && name != "-" && !(name[0] >= '0' && name[0] <= '9')) {
          CheckPicture(name, "spr");
        }
        if (comma == std::string::npos) break;
        from = comma + 1;
      }
      break;
    }
    case kOvr: {
      std::string_view name(arg);
      name = name.substr(0, std::min(name.find_first_of(", "), name.size()));
      if (!EqualFolded(name, "OFF")) CheckPicture(name, "ovr");
      break;
    }
    case kPartsload: {
      const std::string_view text(arg);
      const size_t comma = text.find(',');
      CheckPicture(text.substr(0, std::min(comma, text.size())), "partsload");
      if (comma != std::string_view::npos) CheckPicture(text.substr(comma + 1), "partsload");
      break;
    }
    case kDirect:
    case kScroll: {
      std::string_view name(arg);
      name = name.substr(0, std::min(name.find(','), name.size()));
      CheckPicture(name, wordText.c_str());
      break;
    }
    case kBgAnim: {
      const std::string text = UpperSjis(arg);
      std::vector<std::string_view> fields;
      for (size_t from = 0;;) {
        const size_t comma = text.find(',', from);
        fields.push_back(
            std::string_view(text).substr(from, comma == text.npos ? text.npos : comma - from));
        if (comma == std::string::npos) break;
        from = comma + 1;
      }
      if (fields[0] == "END" || fields[0] == "RELEASE" || fields[0] == "OFS") break;
      // The picture form: a frame's picture per field until an empty one or the sequence.
      for (size_t i = 1; i < fields.size() && i <= 32; ++i) {
        if (fields[i].empty() || fields[i][0] == '#' || fields[i][0] == '>') break;
        CheckPicture(fields[i], "bg_anim");
      }
      break;
    }
    case kObj: {
      // The objects' own reader, with every number it reads checked by the expression reader.
      std::vector<std::string> invalid;
      const Hook<int32_t(const char*)> evaluate([this, &invalid](const char* text) {
        const char* stop = nullptr;
        if (!expr_.Evaluate(text, &stop)) invalid.emplace_back(text, stop ? stop : text);
        return 0;
      });
      const ObjectCommand parsed = ParseObjectCommand(arg, evaluate);
      if (parsed.verb == ObjectVerb::kNone) {
        std::string_view verb(arg);
        verb = verb.substr(0, std::min(verb.find_first_of(" ,"), verb.size()));
        Error("unknown object command \"obj_" + SjisToUtf8(verb) + "\"");
        break;
      }
      for (const std::string& e : invalid) {
        Error("obj_: the expression " + Quoted(e) + " does not parse");
      }
      if (parsed.verb == ObjectVerb::kLoad) CheckPicture(parsed.name, "obj_load");
      break;
    }
    case kManpu: {
      std::string_view name(arg);
      name = name.substr(0, std::min(name.find(','), name.size()));
      if (!name.empty()) CheckPicture(name, "manpu");
      break;
    }
    case kEffect: {
      const std::string name(TrimEnd(arg));
      if (!effectRead_) {
        effectText_ = game_.ScriptText("EFFECT");
        effectRead_ = true;
      }
      const std::string wanted = ":" + UpperSjis(name);
      bool found = false;
      if (effectText_) {
        const std::vector<uint8_t>& text = *effectText_;
        for (size_t pos = 0; pos < text.size() && !found;) {
          const void* zero = std::memchr(text.data() + pos, 0, text.size() - pos);
          const size_t end =
              zero ? static_cast<size_t>(static_cast<const uint8_t*>(zero) - text.data())
                   : text.size();
          const std::string_view line(reinterpret_cast<const char*>(text.data()) + pos, end - pos);
          found = line.size() == wanted.size() && UpperSjis(line) == wanted;
          pos = end + 1;
        }
      }
      if (!found) {
        Error("effect " + Quoted(name) + ": the \"effect\" script has no \"" + SjisToUtf8(wanted) +
              "\" block; nothing is played");
      }
      break;
    }
    case kCv: {
      // The voice of a changed player name ("X" appended) is taken when there is one.
      const std::string name(arg);
      if (!game_.HasSound(name) && !game_.HasSound(name + "X")) CheckSound(name, "cv");
      break;
    }
    case kSe:
      CheckSound(UpperSjis(arg), "se");
      break;
    case kSeloop: {
      const std::string name = UpperSjis(arg);
      // Looping effects of category 4 take a level from the settings into their name.
      if (name.size() >= 11 && name.compare(0, 4, "SEH4") == 0) break;
      CheckSound(name, "seloop");
      break;
    }
    case kAnim: {
      const char* afterWord = line + 1 + 4;
      const bool doubled = *afterWord == 'q' || *afterWord == 'Q';
      const char* a = doubled ? afterWord + 1 : afterWord;
      if (*a) ++a;
      const AnimationArgs parsed = ParseAnimationArgs(a);
      if (!game_.HasAnimation(parsed.name)) {
        Error(std::string(doubled ? "animq " : "anim ") + Quoted(parsed.name) +
              ": no animation archive holds it");
      }
      break;
    }
    case kMovie: {
      const std::string path(TrimEnd(arg));
      const std::string problem = game_.MovieProblem(path);
      if (!problem.empty()) Error("movie " + Quoted(path) + " " + problem);
      break;
    }
    case kGo:
      CheckLabel(*script_, scriptName_, arg, "go");
      break;
    case kCall:
      LintJump(arg, 100, "call");
      break;
    case kChain:
      LintJump(arg, 128, "chain");
      break;
    case kIf: {
      if (!expr_.Condition(arg)) Error("the condition of if " + Quoted(arg) + " does not parse");
      int close = static_cast<int>(arg - line);
      while (close < 200 && line[close] != 0 && line[close] != ')') ++close;
      if (close >= 200) {
        Error("if: no \")\" within the first 200 bytes of the line; the line does nothing");
        break;
      }
      int rest = line[close] == ')' ? close + 1 : close;
      while (line[rest] == ' ') ++rest;
      const char first = line[rest];
      if (first == '*' || first == '@' || first == '!') {
        if (std::strlen(line + rest) >= 200) {
          Error("if: the command after the condition is 200 bytes or more; it is not run");
        } else if (depth < 8) {
          LintLine(line + rest, depth + 1);
        }
      } else {
        CheckLabel(*script_, scriptName_, line + rest, "if");
      }
      break;
    }
    case kCjmp:
      if (*arg && !expr_.Evaluate(arg + 1)) {
        Error("the expression of cjmp " + Quoted(arg + 1) + " does not parse");
      }
      if (script_->nextClose[lineIndex_] < 0) {
        Error("cjmp has no \"}\" line after it; a value past its cases runs off the script");
      }
      break;
    case kCalc:
      if (!expr_.Assign(arg)) Error("the assignment " + Quoted(arg) + " does not parse");
      break;
    case kPtset: {
      std::string text = UpperSjis(arg);
      std::replace(text.begin(), text.end(), '\t', ' ');
      size_t start = 0;
      for (int k = 0; k < 6 && start <= text.size(); ++k) {
        const size_t comma = text.find(',', start);
        const std::string field =
            text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (!expr_.Evaluate(field.c_str())) {
          Error("ptset: the expression " + Quoted(field) + " does not parse");
        }
        if (comma == std::string::npos) break;
        start = comma + 1;
      }
      break;
    }
    case kSelect:
      LintList("select", false);
      break;
    case kClickmap: {
      const std::string name(TrimEnd(arg));
      if (!mapRead_) {
        mapText_ = game_.ScriptText("MAP");
        mapRead_ = true;
      }
      if (!mapText_) {
        Error("clickmap " + Quoted(name) + ": the game has no \"map\" script");
      } else {
        MapEntries entries;
        std::string problem;
        if (!ReadMapEntries(*mapText_, name, entries, problem)) {
          Error("clickmap " + Quoted(name) + ": " + problem);
        } else if (!problem.empty()) {
          Warning("clickmap " + Quoted(name) + ": " + problem);
        }
      }
      LintList("clickmap", true);
      break;
    }
    case kSwitch: {
      const std::string_view name = TrimEnd(arg);
      if (name.empty()) {
        if (script_->nextClose[lineIndex_] < 0) {
          Error("switch has no \"}\" line after it; when no case is taken the script ends");
        }
        break;
      }
      if (!script_->HasNamedEnd(name, script_->NextLineStart(lineIndex_))) {
        Error("switch " + Quoted(name) + " has no \"}:" + SjisToUtf8(name) +
              "\" line after it; when no case is taken the script ends");
      }
      break;
    }
    case kViewer: {
      const std::string name(TrimEnd(arg));
      if (!viewRead_) {
        viewText_ = game_.ScriptText("VIEW");
        viewRead_ = true;
      }
      if (!viewText_) {
        Error("viewer " + Quoted(name) + ": the game has no \"view\" script");
        break;
      }
      auto known = viewers_.find(name);
      if (known == viewers_.end()) {
        ViewerDefinition def;
        known =
            viewers_.emplace(name, ParseViewer(*viewText_, name, 0, def, [](const std::string&) {}))
                .first;
      }
      if (!known->second) {
        Error("viewer " + Quoted(name) + ": the \"view\" script has no \":" + SjisToUtf8(name) +
              "\"");
      }
      break;
    }
    case kRoll: {
      std::string_view name(arg);
      name = name.substr(0, std::min(name.find_first_of(" \t\r"), name.size()));
      if (scripts_.count(UpperSjis(name)) == 0) {
        Error("roll " + Quoted(name) + ": no script archive holds the roll script");
      }
      break;
    }
    case kString: {
      const char digit = arg[0];
      // A right click may jump to the label string variable 8 holds.
      if (digit == '8' && arg[1] != 0) script_->reached.insert(Folded(arg + 2));
      if (digit < '0' || digit > '9') {
        Error("string: " + Quoted(arg) + " names no string variable 0 to 9");
      } else if (arg[1] != 0 && std::strlen(arg + 2) > kLongestText) {
        Warning("string " + std::string(1, digit) + ": the text is " +
                std::to_string(std::strlen(arg + 2)) + " bytes; only " +
                std::to_string(kLongestText) + " are kept");
      }
      break;
    }
    case kTitle:
      if (std::strlen(arg) > kLongestText) {
        Warning("title: the text is " + std::to_string(std::strlen(arg)) + " bytes; only " +
                std::to_string(kLongestText) + " are kept");
      }
      break;
    default:
      break;
  }
}

void Linter::LintJump(const char* arg, int limit, const char* word) {
  // Split as the flow commands split it: the name runs from the second byte to a blank or ":"
  // (never past byte `limit` of the line); after ":" the rest is the label.
  const int argOffset = static_cast<int>(std::strlen(word)) + 2;
  int i = arg[0] ? 1 : 0;
  while (arg[i] != 0 && argOffset + i < limit && arg[i] != ' ' && arg[i] != ':') i += 1;
  const std::string name(arg, static_cast<size_t>(i));
  const bool hasLabel = arg[i] == ':';
  const char* label = hasLabel ? arg + i + 1 : "";
  if (arg[0] == '$') {
    // The script is a string variable's: only the run knows it.
    return;
  }
  const std::string kept = name.substr(0, std::min(name.size(), kLongestScriptName));
  const std::string upper = UpperSjis(kept);
  ScriptIndex* target = scripts_.count(upper) ? Index(upper) : nullptr;
  if (target == nullptr) {
    Error(std::string(word) + " " + Quoted(name) + ": no script archive holds the script" +
          (name.size() > kLongestScriptName ? " (names are cut to 29 bytes)" : ""));
    if (hasLabel) script_->reached.insert(Folded(label));
    return;
  }
  if (hasLabel) CheckLabel(*target, kept, label, word);
}

void Linter::CheckLabel(ScriptIndex& in, const std::string& inName, std::string_view label,
                        const char* word) {
  in.reached.insert(Folded(label));
  if (in.HasLabel(label)) return;
  Error(std::string(word) + ": no label " + Quoted(label) + " in script " + Quoted(inName));
}

void Linter::CheckPicture(std::string_view name, const char* word) {
  if (name.empty()) {
    Error(std::string(word) + ": no picture named");
    return;
  }
  if (!game_.HasPicture(std::string(name))) {
    Error(std::string(word) + " " + Quoted(name) + ": no picture archive holds it");
  }
}

void Linter::CheckSound(const std::string& name, const char* word) {
  if (!game_.HasSound(name)) {
    Error(std::string(word) + " " + Quoted(name) + ": no sound archive holds it");
  }
}

// The "{" lines after `select` or `clickmap` up to the first "}" line, read as their commands
// read them.
void Linter::LintList(const char* what, bool clickmap) {
  const int32_t close = script_->nextClose[lineIndex_];
  if (close < 0) {
    Error(std::string(what) + " has no \"}\" line closing its list");
    return;
  }
  const int entries =
      script_->opensBefore[static_cast<size_t>(close)] - script_->opensBefore[lineIndex_ + 1];
  // Lists that share their "}" share their lines: each line is read by the first list only, and
  // the lines after one already read were read with it.
  // What is wrong with a choice line is reported on that line.
  const size_t listLine = lineIndex_;
  auto it = std::lower_bound(script_->opens.begin(), script_->opens.end(),
                             static_cast<int32_t>(listLine) + 1);
  for (; it != script_->opens.end() && *it < close; ++it) {
    lineIndex_ = static_cast<size_t>(*it);
    if (listLineRead_[lineIndex_]) break;
    listLineRead_[lineIndex_] = true;
    const std::string_view line = script_->LineText(lineIndex_);
    const std::string text(line.substr(1));
    if (clickmap) {
      if (!text.empty() && text[0] == '(' && !expr_.Condition(text.c_str())) {
        Error(std::string(what) + ": the condition " + Quoted(text) + " does not parse");
      }
      continue;
    }
    // A choice line: conditions are left out of the text, "$" and a digit takes a string
    // variable; a text past the field is not offered.
    size_t len = 0;
    for (size_t p = 0; p < text.size();) {
      const auto c = static_cast<uint8_t>(text[p]);
      if (c == '(') {
        if (!expr_.Condition(text.c_str() + p)) {
          Error(std::string(what) + ": the condition in choice " + Quoted(text) +
                " does not parse");
        }
        const size_t end = text.find(')', p);
        p = end == std::string::npos ? text.size() : end + 1;
        continue;
      }
      if (c == '$') {
        len = 0;
        break;
      }
      const size_t n = (IsSingleByteChar(c) || p + 1 >= text.size()) ? 1 : 2;
      len += n;
      p += n;
    }
    if (len > static_cast<size_t>(kChoiceTextMax)) {
      Error(std::string(what) + ": the choice text is " + std::to_string(len) +
            " bytes, more than the " + std::to_string(kChoiceTextMax) +
            " a choice holds; it is not offered");
    }
  }
  lineIndex_ = listLine;
  if (entries > kMaxChoices) {
    Error(std::string(what) + " lists " + std::to_string(entries) + " entries; only the first " +
          std::to_string(kMaxChoices) + " are read");
  } else if (entries == 0 && !clickmap) {
    Error(std::string(what) + " has no choice line before its \"}\"; the game waits for ever");
  }
}

void Linter::LintText(const char* line) {
  for (const char* p = line; *p;) {
    const auto c = static_cast<uint8_t>(*p);
    if (c == '%') {
      ++p;
      while (*p >= '0' && *p <= '9') ++p;
      continue;
    }
    if (c == '[') {
      const char* close = std::strchr(p + 1, ']');
      LintTag(p + 1);
      if (close == nullptr) {
        Warning("the inline tag " + Quoted(p) + " has no \"]\"; the rest of the line is dropped");
        return;
      }
      p = close + 1;
      continue;
    }
    if (c == '<') {
      const char* close = std::strchr(p + 1, '>');
      if (close == nullptr) return;
      p = close + 1;
      continue;
    }
    if (c == 0x81) {
      const auto second = static_cast<uint8_t>(p[1]);
      // ▼ and ▽ end the line; 〓 at its start drops the rest.
      if (second == 0xA5 || second == 0xA4 || (second == 0xAC && p == line)) return;
      if (second == 0x90) {
        for (int step = 0; step < 4 && *p; ++step) ++p;
        continue;
      }
    }
    p += CharLength(p) == 2 && p[1] != 0 ? 2 : 1;
  }
}

void Linter::LintTag(const char* tag) {
  // The tag words in the order the interpreter tries them.
  struct TagWord {
    const char* word;
    bool separator;
  };
  static constexpr TagWord kTags[] = {
      {"gra", true},  {"1", false},   {"2", false},    {"col", true}, {"wait", true},
      {"cv ", false}, {"clrb", true}, {"delay", true}, {"?", false},  {"$", false},
  };
  for (size_t i = 0; i < std::size(kTags); ++i) {
    const char* w = kTags[i].word;
    size_t n = 0;
    while (w[n] && tag[n] && Fold(tag[n]) == Fold(w[n])) ++n;
    if (w[n] != 0) continue;
    const char* arg = tag + n;
    if (kTags[i].separator && *arg != 0) ++arg;
    const char* close = std::strchr(arg, ']');
    const std::string untilClose(arg, close ? close : arg + std::strlen(arg));
    if (i == 0) {
      const std::string name = GraArgumentName(untilClose.c_str());
      const char first = Fold(name.empty() ? 0 : name[0]);
      if (first == 'A' || first == 'B') CheckPicture(name, "[gra]");
    } else if (i == 5) {
      if (!game_.HasSound(untilClose)) CheckSound(untilClose, "[cv]");
    } else if (i == 8) {
      if (!expr_.Evaluate(arg)) {
        Error("the expression of [?" + SjisToUtf8(untilClose) + "] does not parse");
      }
    }
    return;
  }
}

}  // namespace

LintReport LintScripts(const LintGame& game) {
  return Linter(game).Run();
}

std::string FormatLintMessage(const LintMessage& message) {
  return SjisToUtf8(message.script) + ":" + std::to_string(message.line) + ": " +
         (message.error ? "error: " : "warning: ") + message.text;
}

}  // namespace zorvel::tool
