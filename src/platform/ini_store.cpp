#include "platform/ini_store.h"

#include <vector>

#include "platform/files.h"

namespace zorvel {

namespace {

std::string Trim(const std::string& s) {
  size_t a = 0;
  size_t b = s.size();
  while (a < b && (s[a] == ' ' || s[a] == '\t' || s[a] == '\r')) ++a;
  while (b > a && (s[b - 1] == ' ' || s[b - 1] == '\t' || s[b - 1] == '\r')) --b;
  return s.substr(a, b - a);
}

// A writer keeps each line's carriage return: dropping it would turn a value that a hand-edited
// file ends with "\r\r\n" into another value, and rewrite every line of a CRLF file.
std::vector<std::string> SplitLines(const std::string& text, bool keepCarriageReturn = false) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!keepCarriageReturn && !line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

bool IsSectionHeader(const std::string& line, std::string* name) {
  const std::string t = Trim(line);
  if (t.size() < 2 || t.front() != '[' || t.back() != ']') return false;
  if (name) *name = t.substr(1, t.size() - 2);
  return true;
}

}  // namespace

std::string IniSettingsStore::FileFor(const std::string& keyPath) const {
  if (!keyPath.empty() && (keyPath[0] == '/' || keyPath[0] == '\\')) return {};
  std::string rel;
  size_t start = 0;
  while (start <= keyPath.size()) {
    size_t end = keyPath.find_first_of("\\/", start);
    if (end == std::string::npos) end = keyPath.size();
    const std::string part = keyPath.substr(start, end - start);
    if (part == ".." || part == ".") return {};
    if (!part.empty()) {
      if (!rel.empty()) rel += '/';
      rel += part;
    }
    start = end + 1;
  }
  return JoinPath(configDir_, rel + ".ini");
}

std::optional<std::string> IniSettingsStore::Read(const std::string& keyPath,
                                                  const std::string& section,
                                                  const std::string& name) {
  const std::string file = FileFor(keyPath);
  if (file.empty()) return std::nullopt;
  const auto bytes = ReadWholeFile(file);
  if (!bytes) return std::nullopt;
  bool inSection = false;
  for (const std::string& line : SplitLines(std::string(bytes->begin(), bytes->end()))) {
    std::string header;
    if (IsSectionHeader(line, &header)) {
      inSection = header == section;
      continue;
    }
    if (!inSection) continue;
    const size_t eq = line.find('=');
    if (eq != std::string::npos && Trim(line.substr(0, eq)) == name) return line.substr(eq + 1);
  }
  return std::nullopt;
}

bool IniSettingsStore::Write(const std::string& keyPath, const std::string& section,
                             const std::string& name, const std::string& value) {
  const std::string file = FileFor(keyPath);
  if (file.empty() || value.find_first_of("\r\n") != std::string::npos) return false;
  const size_t slash = file.rfind('/');
  if (slash != std::string::npos && !MakeDirectories(file.substr(0, slash))) return false;

  std::vector<std::string> lines;
  if (const auto bytes = ReadWholeFile(file)) {
    lines = SplitLines(std::string(bytes->begin(), bytes->end()), true);
  }
  const std::string entry = name + "=" + value;
  bool inSection = false;
  bool done = false;
  size_t sectionEnd = std::string::npos;
  for (size_t i = 0; i < lines.size() && !done; ++i) {
    std::string header;
    if (IsSectionHeader(lines[i], &header)) {
      if (inSection) break;
      inSection = header == section;
      if (inSection) sectionEnd = i + 1;
      continue;
    }
    if (!inSection) continue;
    const size_t eq = lines[i].find('=');
    if (eq != std::string::npos && Trim(lines[i].substr(0, eq)) == name) {
      lines[i] = entry;
      done = true;
    } else if (!Trim(lines[i]).empty()) {
      sectionEnd = i + 1;
    }
  }
  if (!done) {
    if (sectionEnd == std::string::npos) {
      if (!lines.empty() && !Trim(lines.back()).empty()) lines.push_back("");
      lines.push_back("[" + section + "]");
      lines.push_back(entry);
    } else {
      lines.insert(lines.begin() + static_cast<ptrdiff_t>(sectionEnd), entry);
    }
  }
  std::string text;
  for (const std::string& l : lines) text += l + "\n";
  return WriteFileAtomic(file, text.data(), text.size());
}

}  // namespace zorvel
