#include "dialogs/name_entry_dialog.h"

#include <cstdio>
#include <cstring>

#include "core/variable_banks.h"
#include "platform/files.h"
#include "text/sjis.h"

namespace zorvel {

namespace {

std::string Field(const char* sjis, size_t capacity) {
  return std::string(sjis, strnlen(sjis, capacity));
}

void Show(char* field, size_t size, const std::string& sjis) {
  std::snprintf(field, size, "%s", SjisToUtf8(sjis).c_str());
}

}  // namespace

NameEntryDialog::NameEntryDialog(EngineState& state, UiLayer& ui, SettingsStore& store,
                                 const SettingsLocation& where, Settings& settings,
                                 const GameConfig& config, NameEntryHooks hooks)
    : s_(state),
      ui_(ui),
      store_(store),
      where_(where),
      settings_(settings),
      config_(config),
      hooks_(std::move(hooks)) {}

void NameEntryDialog::Register(CommandTable& table) {
  table.Register(kSetname, [this](const char*) {
    SetName();
    return 1;
  });
}

bool NameEntryDialog::ValidName(const std::string& sjis) {
  if (sjis.empty() || sjis.size() > 8) return false;
  for (size_t i = 0; i < sjis.size(); i += 2) {
    if (IsSingleByteChar(static_cast<uint8_t>(sjis[i])) || i + 1 >= sjis.size()) return false;
  }
  return true;
}

void NameEntryDialog::SetName() {
  if (open_) return;
  s_.busy = true;
  Show(first_, sizeof first_, Field(s_.stringVars[0], kStringVarSize));
  Show(second_, sizeof second_, Field(s_.stringVars[1], kStringVarSize));
  open_ = true;
  RunModalDialog(
      ui_, [this](uint32_t& nextTick) { return hooks_.modalPass(nextTick); },
      [this] { return Build(); }, [] { return std::string("name"); });
  open_ = false;
  const bool changed = Field(s_.stringVars[0], kStringVarSize) != config_.DEFAULT_NAME ||
                       Field(s_.stringVars[1], kStringVarSize) != config_.DEFAULT_NAME2;
  s_.vars.S[kNameChanged] = changed ? 1 : 0;
  s_.busy = false;
}

void NameEntryDialog::Accept() {
  const std::string first = Utf8ToSjis(first_).value_or(std::string());
  if (!ValidName(first)) {
    Show(first_, sizeof first_, Field(s_.stringVars[0], kStringVarSize));
    return;
  }
  CopyField(s_.stringVars[0], kStringVarSize, first);
  settings_.PlayerName = first;
  const std::string previous = Field(s_.stringVars[1], kStringVarSize);
  const std::string second = Utf8ToSjis(second_).value_or(std::string());
  // The second field cannot be typed in: a second name that was never valid (a game without a
  // default, or an old setting) is taken as it is, or the dialog could never close.
  if (!ValidName(second) && second != previous) {
    Show(second_, sizeof second_, previous);
    return;
  }
  CopyField(s_.stringVars[1], kStringVarSize, second);
  for (const auto& [name, value] :
       {std::pair{"PlayerName", first}, std::pair{"PlayerName2", second}}) {
    if (!WriteSetting(store_, where_, settings_, name, value)) {
      LogMessage(std::string("settings: could not write ") + name);
    }
  }
  open_ = false;
}

bool NameEntryDialog::Build() {
  if (!open_) return false;
  const ImVec2 client =
      BeginDialogWindow(ui_.DialogFont(), "名前の変更", "name", kClientWidth, kClientHeight);
  PlaceAt(client, 8, 8);
  ImGui::TextUnformatted("主人公の名前を入力してください。");
  PlaceAt(client, 8, 24);
  ImGui::TextUnformatted("（全角４文字以内）");
  PlaceAt(client, 8, 64);
  TextField(ui_, "##first", first_, sizeof first_, 81);
  // Enter, in the field or not, is the default button's.
  const bool enter =
      !ImGui::IsAnyItemActive() && ImGui::IsKeyPressed(ImGui::GetKeyIndex(ImGuiKey_Enter), false);
  PlaceAt(client, 192, 16);
  if (ImGui::Button("デフォルト", ImVec2(75, 25))) {
    Show(first_, sizeof first_, config_.DEFAULT_NAME);
    Show(second_, sizeof second_, config_.DEFAULT_NAME2);
  }
  PlaceAt(client, 192, 56);
  if (ImGui::Button("ＯＫ", ImVec2(75, 25)) || enter) Accept();
  EndDialogWindow();
  return open_;
}

}  // namespace zorvel
