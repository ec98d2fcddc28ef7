// text-export and text-import: a game's story texts, speaker names, choices and click-map
// captions as a gettext template for translators, and a finished translation written back into
// the script archives for players who want a plain game folder.
#include <algorithm>
#include <filesystem>
#include <iostream>
#include <map>
#include <set>

#include "commands.h"
#include "core/engine_state.h"
#include "platform/files.h"
#include "resources/archive.h"
#include "resources/game_config.h"
#include "text/sjis.h"
#include "translation/po_file.h"
#include "translation/translation.h"

namespace zorvel::tool {

namespace {

namespace fs = std::filesystem;

// The script archives, the patch archive first: a script in both is read from the patch.
constexpr const char* kScriptArchives[] = {"vx_data2.kpz", "vx_data.kpz"};

// Scripts read in configuration mode: their lines are settings, lists and roll text, not story.
// The map script's area names are exported on their own.
constexpr std::string_view kConfigScripts[] = {"_CONFIG",      "EFFECT",      "VIEW",   "SROLL",
                                               "SYS_FLASHBAK", "SYS_SELTREE", "ENDROLL"};

struct ScriptArchive {
  std::string fileName;
  bool present = false;
  // Entries in index order: name (Shift-JIS, upper-cased) and stored bytes.
  std::vector<std::pair<std::string, std::vector<uint8_t>>> entries;
};

std::vector<uint8_t> Decoded(std::vector<uint8_t> bytes) {
  for (uint8_t& b : bytes) b = static_cast<uint8_t>(0u - b);
  return bytes;
}

// Both script archives of a game; false (reported) when vx_data.kpz is missing or either one
// cannot be read whole.
bool ReadScriptArchives(const std::string& gameDir, std::vector<ScriptArchive>& out) {
  out.clear();
  for (const char* name : kScriptArchives) {
    ScriptArchive archive;
    archive.fileName = name;
    const std::string path = JoinPath(gameDir, name);
    if (!FileExists(path)) {
      if (std::string_view(name) == "vx_data.kpz") {
        Report(path + ": missing; this is not a game directory");
        return false;
      }
      out.push_back(std::move(archive));
      continue;
    }
    ResourceArchive reader;
    if (!reader.Open(path, IndexLayout::kA) || !reader.Problem().empty()) {
      Report(path + ": " +
             (reader.Problem().empty() ? std::string("cannot be read") : reader.Problem()));
      return false;
    }
    archive.present = true;
    for (size_t i = 0; i < reader.Entries().size(); ++i) {
      std::vector<uint8_t> bytes;
      if (!reader.Read(static_cast<int>(i), bytes) && reader.Entries()[i].size != 0) {
        Report(path + ": cannot read entry " + SjisToUtf8(reader.Entries()[i].name));
        return false;
      }
      archive.entries.emplace_back(UpperSjis(reader.Entries()[i].name), std::move(bytes));
    }
    out.push_back(std::move(archive));
  }
  return true;
}

// The scripts a `roll` command names: they hold a roll's own text.
std::set<std::string> RollScripts(const std::vector<ScriptArchive>& archives) {
  std::set<std::string> names;
  for (const ScriptArchive& a : archives) {
    for (const auto& [name, stored] : a.entries) {
      const std::vector<uint8_t> text = Decoded(stored);
      const std::string_view all(reinterpret_cast<const char*>(text.data()), text.size());
      for (size_t pos = 0; pos < all.size();) {
        size_t end = all.find('\0', pos);
        if (end == std::string_view::npos) end = all.size();
        const std::string line = UpperSjis(all.substr(pos, end - pos));
        if ((line.starts_with("@ROLL ") || line.starts_with("*ROLL "))) {
          std::string_view arg = std::string_view(line).substr(6);
          arg = arg.substr(0, arg.find_first_of(" \t\r"));
          if (!arg.empty()) names.emplace(arg);
        }
        pos = end + 1;
      }
    }
  }
  return names;
}

bool IsConfigScript(const std::string& name, const std::set<std::string>& rolls) {
  for (const std::string_view c : kConfigScripts) {
    if (name == c) return true;
  }
  return rolls.contains(name);
}

std::string Comment(const ScriptText& text) {
  switch (text.kind) {
    case TextKind::kStory:
      return text.speaker.empty() ? std::string() : "speaker: " + SjisToUtf8(text.speaker);
    case TextKind::kSpeaker:
      return "speaker name";
    case TextKind::kChoice:
      return "choice (at most 64 bytes in Shift-JIS)";
    case TextKind::kCaption:
    case TextKind::kMapCaption:
      return "click-map caption";
  }
  return {};
}

// Line starts of a decoded script: [start, end) of each line, and whether a 0 byte ends it.
struct LineSpan {
  size_t start = 0, end = 0;
  bool ended = false;
};
std::vector<LineSpan> LineSpans(const std::vector<uint8_t>& text) {
  std::vector<LineSpan> spans;
  for (size_t pos = 0; pos < text.size();) {
    size_t end = pos;
    while (end < text.size() && text[end] != 0) ++end;
    spans.push_back({pos, end, end < text.size()});
    pos = end + 1;
  }
  return spans;
}

}  // namespace

int RunTextExport(Args args) {
  const auto parsed = ParseArgs(args, {}, kTextExportUsage);
  if (!parsed) return kExitUsage;
  if (parsed->positional.size() != 2) {
    return UsageError("text-export takes GAME_DIR and OUT.pot", kTextExportUsage);
  }
  const std::string& gameDir = parsed->positional[0];
  const std::string& outPath = parsed->positional[1];
  std::vector<ScriptArchive> archives;
  if (!ReadScriptArchives(gameDir, archives)) return kExitFailure;

  // The script each name resolves to, as the engine finds it: the patch archive first.
  std::map<std::string, const std::vector<uint8_t>*> scripts;
  std::vector<std::string> order;
  for (const ScriptArchive& a : archives) {
    for (const auto& [name, stored] : a.entries) {
      if (scripts.emplace(name, &stored).second) order.push_back(name);
    }
  }
  std::sort(order.begin(), order.end());
  std::string title;
  if (const auto it = scripts.find("_CONFIG"); it != scripts.end()) {
    title = SjisToUtf8(ParseConfig(Decoded(*it->second)).TITLE);
  }
  const std::set<std::string> rolls = RollScripts(archives);

  std::string pot;
  pot += "# Translation template";
  if (!title.empty()) pot += " for " + title;
  pot +=
      ", written by zorvel-tool text-export.\n"
      "# msgctxt says where a text stands (SCRIPT:LINE). Keep the inline tags ([cv NAME], "
      "[col N], %N, <ruby>)\n# and the page marks (\xE2\x96\xBC) where the sentence needs "
      "them.\n";
  pot += "msgid \"\"\nmsgstr \"\"\n";
  pot +=
      PoQuote("Project-Id-Version: " + (title.empty() ? std::string("game") : title) + "\n") + "\n";
  pot += "\"PO-Revision-Date: YEAR-MO-DA HO:MI+ZONE\\n\"\n";
  pot += "\"Last-Translator: FULL NAME <EMAIL@ADDRESS>\\n\"\n";
  pot += "\"Language-Team: LANGUAGE <LL@li.org>\\n\"\n";
  pot += "\"Language: \\n\"\n";
  pot += "\"MIME-Version: 1.0\\n\"\n";
  pot += "\"Content-Type: text/plain; charset=UTF-8\\n\"\n";
  pot += "\"Content-Transfer-Encoding: 8bit\\n\"\n";

  size_t count = 0;
  for (const std::string& name : order) {
    const bool map = name == kMapScriptName;
    if (!map && IsConfigScript(name, rolls)) continue;
    const std::vector<uint8_t> text = Decoded(*scripts[name]);
    const std::vector<ScriptText> texts = map ? CollectMapCaptions(text) : CollectScriptTexts(text);
    const std::string script = SjisToUtf8(name);
    for (const ScriptText& t : texts) {
      const std::string utf8 = SjisToUtf8(t.text);
      const std::string place = script + ":" + std::to_string(t.line);
      if (utf8.find("\xEF\xBF\xBD") != std::string::npos) {
        Report(place + ": holds bytes that are not Shift-JIS; not exported");
        continue;
      }
      pot += "\n";
      if (const std::string comment = Comment(t); !comment.empty()) {
        pot += "#. " + comment + "\n";
      }
      pot += "#: " + place + "\n";
      pot += "msgctxt " + PoQuote(place) + "\n";
      pot += "msgid " + PoQuote(utf8) + "\n";
      pot += "msgstr \"\"\n";
      ++count;
    }
  }
  if (!WriteFileAtomic(outPath, pot.data(), pot.size())) {
    Report("cannot write " + outPath);
    return kExitFailure;
  }
  std::cout << outPath << ": " << count << " texts\n";
  return kExitOk;
}

int RunTextImport(Args args) {
  const auto parsed = ParseArgs(args, {}, kTextImportUsage);
  if (!parsed) return kExitUsage;
  if (parsed->positional.size() != 3) {
    return UsageError("text-import takes GAME_DIR, FILE.po and OUT_DIR", kTextImportUsage);
  }
  const std::string& gameDir = parsed->positional[0];
  const std::string& poPath = parsed->positional[1];
  const std::string& outDir = parsed->positional[2];
  std::error_code ec;
  if (fs::exists(outDir, ec) && fs::equivalent(outDir, gameDir, ec)) {
    Report(outDir + " is the game directory; write the patched archives somewhere else");
    return kExitFailure;
  }
  const auto po = ReadWholeFile(poPath);
  if (!po) {
    Report(poPath + ": cannot be read");
    return kExitFailure;
  }
  Translation translation;
  std::vector<std::string> messages;
  translation.Load(*po, poPath, messages);
  for (const std::string& m : messages) Report(m);
  if (!translation.InUse()) {
    Report(poPath + ": translates no text; nothing written");
    return kExitFailure;
  }
  std::vector<ScriptArchive> archives;
  if (!ReadScriptArchives(gameDir, archives)) return kExitFailure;

  size_t translated = 0;
  std::set<std::string> found;
  for (ScriptArchive& archive : archives) {
    for (auto& [name, stored] : archive.entries) {
      const auto* lines = translation.Lines(name);
      if (lines == nullptr) continue;
      found.insert(name);
      std::vector<uint8_t> text = Decoded(stored);
      const bool map = name == kMapScriptName;
      std::map<int, TextKind> kinds;
      for (const ScriptText& t : map ? CollectMapCaptions(text) : CollectScriptTexts(text)) {
        kinds.emplace(t.line, t.kind);
      }
      const std::vector<LineSpan> spans = LineSpans(text);
      std::map<int, std::string> rewritten;
      const std::string script = SjisToUtf8(name);
      for (const auto& [line, t] : *lines) {
        const std::string place = script + ":" + std::to_string(line);
        const auto kind = kinds.find(line);
        if (kind == kinds.end() || line > static_cast<int>(spans.size())) {
          Report(poPath + ":" + std::to_string(t.poLine) + ": " + place +
                 " holds no text to translate; left as it is");
          continue;
        }
        const LineSpan& span = spans[static_cast<size_t>(line - 1)];
        const std::string_view original(reinterpret_cast<const char*>(text.data()) + span.start,
                                        span.end - span.start);
        std::string why;
        const auto result = RewriteLine(original, kind->second, t.id, t.str, why);
        if (!result) {
          Report(poPath + ":" + std::to_string(t.poLine) + ": " + place + ": " + why +
                 "; left as it is");
          continue;
        }
        if (*result != original) rewritten.emplace(line, *result);
      }
      if (rewritten.empty()) continue;
      std::vector<uint8_t> out;
      out.reserve(text.size());
      for (size_t i = 0; i < spans.size(); ++i) {
        const auto it = rewritten.find(static_cast<int>(i + 1));
        if (it != rewritten.end()) {
          out.insert(out.end(), it->second.begin(), it->second.end());
        } else {
          out.insert(out.end(), text.begin() + static_cast<ptrdiff_t>(spans[i].start),
                     text.begin() + static_cast<ptrdiff_t>(spans[i].end));
        }
        if (spans[i].ended) out.push_back(0);
      }
      if (out.size() > static_cast<size_t>(kScriptBufferSize)) {
        Report(script + ": translated, it would be " + std::to_string(out.size()) +
               " bytes, more than a script may hold; left as it is");
        continue;
      }
      translated += rewritten.size();
      stored = Decoded(std::move(out));
    }
  }
  for (const auto& [script, lines] : translation.Scripts()) {
    if (!found.contains(script)) {
      Report(poPath + ": the game has no script " + SjisToUtf8(script) + "; its " +
             std::to_string(lines.size()) + " texts are not used");
    }
  }

  if (!MakeDirectories(outDir)) {
    Report("cannot create directory " + outDir);
    return kExitFailure;
  }
  for (const ScriptArchive& archive : archives) {
    if (!archive.present) continue;
    const std::vector<uint8_t> bytes =
        BuildArchive(IndexLayout::kA, static_cast<uint32_t>(kLayoutANameWidth), archive.entries);
    const std::string path = JoinPath(outDir, archive.fileName);
    if (!WriteFileAtomic(path, bytes.data(), bytes.size())) {
      Report("cannot write " + path);
      return kExitFailure;
    }
  }
  std::cout << outDir << ": " << translated << " texts translated\n";
  return kExitOk;
}

}  // namespace zorvel::tool
