#include "dialogs/small_dialogs.h"

#include <array>
#include <cstdio>

#include "text/sjis.h"

namespace zorvel {

namespace {

// The captions a game gives as "caption,answer 1,answer 2" in Shift-JIS (a comma is never the
// second byte of a character), as UTF-8; what it leaves out stays neutral.
std::array<std::string, 3> PresetCaptions(const std::string& sjis, int group) {
  std::array<std::string, 3> captions = {"選択肢 " + std::to_string(group + 1), "答え 1", "答え 2"};
  size_t from = 0;
  for (size_t i = 0; i < captions.size() && from <= sjis.size(); ++i) {
    const size_t comma = sjis.find(',', from);
    const std::string part =
        sjis.substr(from, comma == std::string::npos ? std::string::npos : comma - from);
    if (!part.empty()) captions[i] = SjisToUtf8(part);
    if (comma == std::string::npos) break;
    from = comma + 1;
  }
  return captions;
}

}  // namespace

std::optional<std::string> PlaylistNameDialog::AskPlaylistName(const std::string& sjisCurrent) {
  if (open_) return std::nullopt;
  const std::string remembered = SjisToUtf8(sjisCurrent);
  std::snprintf(text_, sizeof text_, "%s", remembered.c_str());
  answer_ = Answer::kNone;
  closeBox_ = true;
  open_ = true;
  RunModalDialog(
      ui_, [this](uint32_t& nextTick) { return hooks_.modalPass(nextTick); },
      [this] { return Build(); }, [] { return std::string("playlist"); });
  open_ = false;
  // A run that ended with the dialog up answered nothing.
  if (answer_ == Answer::kNone || answer_ == Answer::kCancel) return std::nullopt;
  char cut[kNameBytes + 1];
  CopyField(cut, sizeof cut, Utf8ToSjis(text_).value_or(std::string()));
  return std::string(cut);
}

bool PlaylistNameDialog::Build() {
  if (!open_) return false;
  const ImVec2 client = BeginDialogWindow(ui_.DialogFont(), "回想スロット", "playlist",
                                          kClientWidth, kClientHeight, &closeBox_);
  PlaceAt(client, 8, 8);
  ImGui::TextUnformatted("回想スロットに名前を付けます（全角１５文字まで）");
  PlaceAt(client, 8, 28);
  TextField(ui_, "##name", text_, sizeof text_, 351, kMaxCharacters);
  const bool idle = !ImGui::IsAnyItemActive();
  PlaceAt(client, 196, 50);
  if (ImGui::Button("OK", ImVec2(75, 23)) ||
      (idle && ImGui::IsKeyPressed(ImGui::GetKeyIndex(ImGuiKey_Enter), false))) {
    answer_ = Answer::kOk;
  }
  PlaceAt(client, 280, 50);
  if (ImGui::Button("キャンセル", ImVec2(75, 23)) ||
      ImGui::IsKeyPressed(ImGui::GetKeyIndex(ImGuiKey_Escape), false)) {
    answer_ = Answer::kCancel;
  }
  // The close box keeps what was typed.
  if (!closeBox_ && answer_ == Answer::kNone) answer_ = Answer::kOk;
  EndDialogWindow();
  if (answer_ != Answer::kNone) open_ = false;
  return open_;
}

void ChoicePresetDialog::ShowModal() {
  if (open_) return;
  open_ = true;
  RunModalDialog(
      ui_, [this](uint32_t& nextTick) { return hooks_.modalPass(nextTick); },
      [this] { return Build(); }, [] { return std::string("choicePresets"); });
  open_ = false;
}

bool ChoicePresetDialog::Build() {
  if (!open_) return false;
  const std::string title = config_.CHOICE_PRESET_TITLE.empty()
                                ? "選択肢の設定"
                                : SjisToUtf8(config_.CHOICE_PRESET_TITLE);
  const ImVec2 client =
      BeginDialogWindow(ui_.DialogFont(), title.c_str(), "presets", kClientWidth, kClientHeight);
  const std::string* groups[kGroups] = {&config_.CHOICE_PRESET1, &config_.CHOICE_PRESET2,
                                        &config_.CHOICE_PRESET3};
  ImGui::PushStyleVar(ImGuiStyleVar_FramePadding, ImVec2(2, 1));
  for (int g = 0; g < kGroups; ++g) {
    const std::array<std::string, 3> captions = PresetCaptions(*groups[g], g);
    const float top = 4 + static_cast<float>(g) * 76;
    GroupBox(client, captions[0].c_str(), 8, top, 351, 72);
    int32_t& value = s_.vars.V[static_cast<size_t>(kFirstVariable + g)];
    const char* items[3] = {"選択肢を表示", captions[1].c_str(), captions[2].c_str()};
    ImGui::PushID(g);
    for (int i = 0; i < 3; ++i) {
      PlaceAt(client, 20, top + 18 + static_cast<float>(i) * 18);
      ImGui::PushID(i);
      // A value a script left outside the three shows no item chosen.
      if (ImGui::RadioButton(items[i], value == i)) value = i;
      ImGui::PopID();
    }
    ImGui::PopID();
  }
  ImGui::PopStyleVar();
  PlaceAt(client, 276, 236);
  if (ImGui::Button("閉じる", ImVec2(83, 26)) ||
      ImGui::IsKeyPressed(ImGui::GetKeyIndex(ImGuiKey_Escape), false)) {
    open_ = false;
  }
  EndDialogWindow();
  return open_;
}

}  // namespace zorvel
