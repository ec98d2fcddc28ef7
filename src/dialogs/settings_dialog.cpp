#include "dialogs/settings_dialog.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "platform/files.h"
#include "text/sjis.h"

namespace zorvel {

namespace {

constexpr const char* kPageNames[SettingsDialog::kPageCount] = {"システム設定", "音設定",
                                                                "テキスト設定", "著作権表示"};
constexpr const char* kPageIds[SettingsDialog::kPageCount] = {"system", "sound", "text",
                                                              "copyright"};

// The page frame under the tabs, and the close button, in client coordinates.
constexpr float kTabTop = 6, kTabHeight = 22, kTabWidth = 96;
constexpr float kPageLeft = 8, kPageTop = kTabTop + kTabHeight, kPageWidth = 391, kPageHeight = 270;
constexpr float kCloseX = 316, kCloseY = 304, kCloseWidth = 83, kCloseHeight = 25;

// What the program is built from, and under which terms.
constexpr const char* kNotices[] = {
    "SDL2 — zlib License",
    "Dear ImGui (with stb) — MIT License",
    "FreeType — The FreeType Project License",
    "Fontconfig — MIT License",
    "libogg, libvorbis — BSD License (Xiph.Org Foundation)",
    "libjpeg-turbo — IJG License, BSD License",
    "libpng, zlib — libpng License, zlib License",
    "libmpv — GNU LGPL 2.1 or later / GNU GPL 2 or later",
    "IPA フォント — IPA フォントライセンス v1.0",
};

// A slider without a number on it, as a desktop track bar shows.
bool TrackBar(const char* id, int* value, int min, int max, float width) {
  ImGui::PushItemWidth(width);
  ImGui::PushStyleVar(ImGuiStyleVar_FramePadding, ImVec2(4, 1));
  const bool changed = ImGui::SliderInt(id, value, min, max, "", ImGuiSliderFlags_AlwaysClamp);
  ImGui::PopStyleVar();
  ImGui::PopItemWidth();
  return changed;
}

bool HasTwoByteCharacter(const std::string& utf8) {
  const std::optional<std::string> sjis = Utf8ToSjis(utf8);
  if (!sjis) return false;
  for (const char c : *sjis) {
    if (!IsSingleByteChar(static_cast<uint8_t>(c))) return true;
  }
  return false;
}

}  // namespace

SettingsDialog::SettingsDialog(UiLayer& ui, SettingsStore& store, const SettingsLocation& where,
                               Settings& settings, const GameConfig& config,
                               SettingsDialogHooks hooks)
    : ui_(ui),
      store_(store),
      where_(where),
      settings_(settings),
      config_(config),
      hooks_(std::move(hooks)) {}

std::vector<std::string> SettingsDialog::QualifyingFaces(const std::vector<std::string>& families) {
  std::vector<std::string> faces;
  for (const std::string& f : families) {
    if (f.empty() || f[0] == '@' || !HasTwoByteCharacter(f)) continue;
    if (std::find(faces.begin(), faces.end(), f) != faces.end()) continue;
    faces.push_back(f);
  }
  return faces;
}

std::string SettingsDialog::Describe() const {
  return std::string("settings/") + kPageIds[page_];
}

int SettingsDialog::Stored(const char* name, int32_t current) const {
  if (!where_.valid) return current;
  const std::optional<std::string> text = store_.Read(where_.keyPath, where_.section, name);
  if (!text) return current;
  return ParseStoredInteger(*text).value_or(current);
}

void SettingsDialog::Fill() {
  guard_ = 0;
  screenMode_ = Stored("SMode", settings_.SMode);
  graphicMode_ = Stored("GMode", settings_.GMode);
  textSpeed_ = Stored("Delay", settings_.Delay);
  memorySave_ = Stored("MemorySaveMode", settings_.MemorySaveMode) != 0;
  seen_ = Stored("Seen", settings_.Seen) != 0;
  breakOnSelect_ = Stored("BreakonSelect", settings_.BreakonSelect) != 0;
  rightClick_ = Stored("RC_MODE", settings_.RC_MODE);
  wheel_ = Stored("WHEEL_MODE", settings_.WHEEL_MODE);
  ctrlShift_ = Stored("CS_SWAP", settings_.CS_SWAP);
  effectCut_ = Stored("EFX_CUT", settings_.EFX_CUT) != 0;

  // A stored value outside a control's range shows at the nearest end; nothing is written
  // until the player moves the control.
  const auto volume = [](int v) { return std::clamp(v, kVolumeMin, 0); };
  masterVolume_ = volume(hooks_.masterVolume());
  musicVolume_ = volume(Stored("Vol3", settings_.Vol3));
  voiceVolume_ = volume(Stored("Vol1", settings_.Vol1));
  otherVolume_ = volume(Stored("Vol2", settings_.Vol2));
  music_ = settings_.BGM_ENA != 0;
  voice_ = Stored("CV1", settings_.CV1) != 0;
  effects_ = Stored("SE_ENA", settings_.SE_ENA) != 0;
  voiceThrough_ = Stored("CV_THROUGH", settings_.CV_THROUGH) != 0;

  std::optional<std::string> face =
      where_.valid ? store_.Read(where_.keyPath, where_.section, "FontName") : std::nullopt;
  faceText_ = face
                  ? *face
                  : SjisToUtf8(settings_.FontName.empty() ? config_.FONT_NAME : settings_.FontName);
  faces_ = QualifyingFaces(hooks_.fontFamilies());
  const auto found = std::find(faces_.begin(), faces_.end(), faceText_);
  faceIndex_ = found == faces_.end() ? -1 : static_cast<int>(found - faces_.begin());
  fontSize_ = std::clamp(Stored("FONTSIZE", settings_.FONTSIZE), kFontSizeMin, kFontSizeMax);
  std::snprintf(fontSizeText_, sizeof fontSizeText_, "%d", fontSize_);
  bold_ = Stored("FONTBold", settings_.FONTBold) != 0;
  antiAlias_ = Stored("FONTAA", settings_.FONTAA);
  const auto opacity = [](int v) { return -std::clamp(v, 0, 255); };
  background_ = {
      opacity(Stored("TXBG_R", settings_.TXBG_R)), opacity(Stored("TXBG_G", settings_.TXBG_G)),
      opacity(Stored("TXBG_B", settings_.TXBG_B)), opacity(Stored("TXBG_A", settings_.TXBG_A))};
  novelOpacity_ = opacity(Stored("TXBG_A2", settings_.TXBG_A2));

  // The three radio groups write back what they were filled with, guard or not: a value that
  // was missing is stored with its default from now on.
  for (const auto& [name, value] :
       {std::pair{"SMode", screenMode_}, std::pair{"GMode", graphicMode_},
        std::pair{"Delay", textSpeed_}}) {
    if (!WriteSetting(store_, where_, settings_, name, value)) {
      LogMessage(std::string("settings: could not write ") + name);
    }
  }
  appearanceChanged_ = false;
  guard_ = 1;
}

void SettingsDialog::Write(const char* name, int32_t value) {
  if (guard_ == 0) return;
  if (!WriteSetting(store_, where_, settings_, name, value)) {
    LogMessage(std::string("settings: could not write ") + name);
  }
}

bool SettingsDialog::ShowModal() {
  if (open_) return false;
  page_ = kSystemPage;
  Fill();
  open_ = true;
  RunModalDialog(
      ui_, [this](uint32_t& nextTick) { return hooks_.modalPass(nextTick); },
      [this] { return Build(); }, [this] { return Describe(); });
  open_ = false;
  return appearanceChanged_;
}

bool SettingsDialog::Build() {
  if (!open_) return false;
  const ImVec2 client =
      BeginDialogWindow(ui_.DialogFont(), "設定", "settings", kClientWidth, kClientHeight);
  BuildTabs(client);
  switch (page_) {
    case kSystemPage:
      BuildSystemPage(client);
      break;
    case kSoundPage:
      BuildSoundPage(client);
      break;
    case kTextPage:
      BuildTextPage(client);
      break;
    default:
      BuildCopyrightPage(client);
      break;
  }
  PlaceAt(client, kCloseX, kCloseY);
  if (ImGui::Button("閉じる", ImVec2(kCloseWidth, kCloseHeight))) open_ = false;
  if (!ImGui::IsAnyItemActive() && ImGui::IsKeyPressed(ImGui::GetKeyIndex(ImGuiKey_Escape))) {
    open_ = false;
  }
  EndDialogWindow();
  return open_;
}

void SettingsDialog::BuildTabs(const ImVec2& client) {
  ImDrawList* draw = ImGui::GetWindowDrawList();
  const ImU32 border = ImGui::GetColorU32(ImGuiCol_Border);
  draw->AddRect(ImVec2(client.x + kPageLeft, client.y + kPageTop),
                ImVec2(client.x + kPageLeft + kPageWidth, client.y + kPageTop + kPageHeight),
                border);
  for (int i = 0; i < kPageCount; ++i) {
    const bool current = i == page_;
    const float x = kPageLeft + static_cast<float>(i) * (kTabWidth + 1);
    // The page's own tab stands up from the row and joins the page below it.
    const float top = current ? kTabTop - 2 : kTabTop;
    PlaceAt(client, x, top);
    ImGui::PushID(i);
    ImGui::PushStyleColor(ImGuiCol_Button,
                          ImGui::GetStyleColorVec4(current ? ImGuiCol_WindowBg : ImGuiCol_Button));
    if (ImGui::Button(kPageNames[i], ImVec2(kTabWidth, kPageTop - top + (current ? 1 : 0)))) {
      page_ = static_cast<Page>(i);
    }
    ImGui::PopStyleColor();
    ImGui::PopID();
  }
}

void SettingsDialog::BuildSystemPage(const ImVec2& client) {
  const auto radios = [&](const char* id, int* value, std::initializer_list<const char*> labels,
                          float x, float y, bool stacked) {
    ImGui::PushID(id);
    bool clicked = false;
    int index = 0;
    for (const char* label : labels) {
      if (stacked || index == 0) {
        PlaceAt(client, x, y + (stacked ? static_cast<float>(index) * 20 : 0));
      } else {
        ImGui::SameLine(0, 10);
      }
      ImGui::PushID(index);
      clicked |= RadioIndex(label, value, index);
      ImGui::PopID();
      ++index;
    }
    ImGui::PopID();
    return clicked;
  };
  const auto check = [&](const char* label, bool* value, float x, float y) {
    PlaceAt(client, x, y);
    return ImGui::Checkbox(label, value);
  };
  ImGui::PushStyleVar(ImGuiStyleVar_FramePadding, ImVec2(2, 1));

  GroupBox(client, "スクリーンモード", 16, 34, 122, 62);
  if (radios("screen", &screenMode_, {"ウィンドウ", "全画面"}, 26, 52, true)) {
    // This group writes even while the controls are filled.
    WriteSetting(store_, where_, settings_, "SMode", screenMode_);
  }
  GroupBox(client, "グラフィック表示", 142, 34, 122, 62);
  if (radios("graphic", &graphicMode_, {"通常", "高速"}, 152, 52, true)) {
    WriteSetting(store_, where_, settings_, "GMode", graphicMode_);
  }
  GroupBox(client, "文字表示速度", 268, 34, 122, 62);
  if (radios("speed", &textSpeed_, {"通常", "高速"}, 278, 52, true)) {
    WriteSetting(store_, where_, settings_, "Delay", textSpeed_);
  }
  GroupBox(client, "右クリック割り当て", 16, 100, 374, 42);
  if (radios("right", &rightClick_, {"メニュー", "枠消し", "スキップ", "オート", "パニック"}, 26,
             118, false)) {
    Write("RC_MODE", rightClick_);
  }
  GroupBox(client, "ホイール割り当て", 16, 146, 140, 62);
  if (radios("wheel", &wheel_, {"シーン巻き戻し", "バックログ"}, 26, 164, true)) {
    Write("WHEEL_MODE", wheel_);
  }
  GroupBox(client, "Ctrl Shift", 160, 146, 230, 62);
  if (radios("ctrlshift", &ctrlShift_, {"Ctrl-スキップ Shift-オート", "Ctrl-オート Shift-スキップ"},
             170, 164, true)) {
    Write("CS_SWAP", ctrlShift_);
  }
  if (check("メモリ使用を節約する（推奨しません）", &memorySave_, 20, 214)) {
    Write("MemorySaveMode", memorySave_ ? 1 : 0);
  }
  if (check("未読でスキップ等を止める", &seen_, 20, 236)) Write("Seen", seen_ ? 1 : 0);
  if (check("選択時にスキップ等を解除", &breakOnSelect_, 206, 236)) {
    Write("BreakonSelect", breakOnSelect_ ? 1 : 0);
  }
  if (check("スキップ時、揺らし等を抑制", &effectCut_, 20, 258)) {
    Write("EFX_CUT", effectCut_ ? 1 : 0);
  }
  ImGui::PopStyleVar();
}

void SettingsDialog::BuildSoundPage(const ImVec2& client) {
  constexpr float kLabelX = 24, kMinusX = 100, kSliderX = 114, kSliderWidth = 236, kPlusX = 356;
  const auto slider = [&](const char* id, int* value, float y) {
    PlaceAt(client, kMinusX, y + 1);
    ImGui::TextUnformatted("-");
    PlaceAt(client, kSliderX, y);
    const bool changed = TrackBar(id, value, kVolumeMin, 0, kSliderWidth);
    PlaceAt(client, kPlusX, y + 1);
    ImGui::TextUnformatted("+");
    return changed;
  };
  GroupBox(client, "音量", 16, 34, 374, 150);
  PlaceAt(client, kLabelX, 56);
  ImGui::TextUnformatted("全体音量");
  if (slider("##master", &masterVolume_, 55) && guard_ != 0) {
    // The player's ears only: the master volume is not stored.
    hooks_.setMasterVolume(masterVolume_);
  }
  PlaceAt(client, kLabelX, 88);
  ImGui::TextUnformatted("BGM");
  if (slider("##music", &musicVolume_, 87)) {
    Write("Vol3", musicVolume_);
    if (guard_ != 0) hooks_.applyVolumes();
  }
  PlaceAt(client, kLabelX - 6, 116);
  if (ImGui::Button("ボイス", ImVec2(64, 22))) hooks_.playSampleVoice();
  if (slider("##voice", &voiceVolume_, 119)) {
    Write("Vol1", voiceVolume_);
    if (guard_ != 0) hooks_.applyVolumes();
  }
  PlaceAt(client, kLabelX, 152);
  ImGui::TextUnformatted("その他");
  if (slider("##other", &otherVolume_, 151)) {
    Write("Vol2", otherVolume_);
    if (guard_ != 0) hooks_.applyVolumes();
  }

  ImGui::PushStyleVar(ImGuiStyleVar_FramePadding, ImVec2(2, 1));
  GroupBox(client, "再生", 16, 192, 374, 48);
  PlaceAt(client, 28, 212);
  if (ImGui::Checkbox("BGM", &music_) && guard_ != 0) {
    Write("BGM_ENA", music_ ? 1 : 0);
    hooks_.applyMusicSwitch();
  }
  PlaceAt(client, 128, 212);
  if (ImGui::Checkbox("ボイス##switch", &voice_)) Write("CV1", voice_ ? 1 : 0);
  PlaceAt(client, 228, 212);
  if (ImGui::Checkbox("効果音", &effects_)) Write("SE_ENA", effects_ ? 1 : 0);
  PlaceAt(client, 20, 252);
  if (ImGui::Checkbox("クリックで音声再生を止めない", &voiceThrough_)) {
    Write("CV_THROUGH", voiceThrough_ ? 1 : 0);
  }
  ImGui::PopStyleVar();
}

void SettingsDialog::FontChanged() {
  if (guard_ == 0) return;
  hooks_.rebuildGlyphs();
  appearanceChanged_ = true;
}

void SettingsDialog::BackgroundChanged() {
  if (guard_ == 0) return;
  appearanceChanged_ = true;
}

void SettingsDialog::ResetBackground() {
  const int32_t defaults[4] = {config_.TXW_COLOR_R, config_.TXW_COLOR_G, config_.TXW_COLOR_B,
                               config_.TXW_ALPHA};
  constexpr const char* kNames[4] = {"TXBG_R", "TXBG_G", "TXBG_B", "TXBG_A"};
  for (int i = 0; i < 4; ++i) {
    // Out of range in the configuration is the game's mistake; the window takes the nearest.
    const int value = std::clamp(defaults[i], 0, 255);
    Write(kNames[i], value);
    background_[static_cast<size_t>(i)] = -value;
  }
  BackgroundChanged();
}

void SettingsDialog::BuildTextPage(const ImVec2& client) {
  constexpr float kFieldX = 124;
  PlaceAt(client, 20, 40);
  ImGui::TextUnformatted("フォント指定(※)");
  PlaceAt(client, kFieldX, 38);
  ImGui::PushItemWidth(258);
  if (ImGui::BeginCombo("##face", faceText_.c_str())) {
    for (int i = 0; i < static_cast<int>(faces_.size()); ++i) {
      ImGui::PushID(i);
      if (ImGui::Selectable(faces_[static_cast<size_t>(i)].c_str(), i == faceIndex_)) {
        faceIndex_ = i;
        faceText_ = faces_[static_cast<size_t>(i)];
        if (const auto sjis = Utf8ToSjis(faceText_); sjis && guard_ != 0) {
          WriteSetting(store_, where_, settings_, "FontName", *sjis);
          FontChanged();
        }
      }
      ImGui::PopID();
    }
    ImGui::EndCombo();
  }
  ImGui::PopItemWidth();

  PlaceAt(client, 20, 70);
  ImGui::TextUnformatted("フォントサイズ");
  PlaceAt(client, kFieldX, 68);
  ImGui::PushItemWidth(40);
  ImGui::InputText("##size", fontSizeText_, sizeof fontSizeText_,
                   ImGuiInputTextFlags_CharsDecimal | ImGuiInputTextFlags_AutoSelectAll);
  ImGui::PopItemWidth();
  int size = fontSize_;
  // Typing is taken when the player leaves the box or presses Enter, so that "30" is not first
  // read as a 3; whatever was typed comes into the range.
  if (ImGui::IsItemDeactivatedAfterEdit()) {
    size = static_cast<int>(std::clamp(std::strtol(fontSizeText_, nullptr, 10), -1000L, 1000L));
  }
  const bool typing = ImGui::IsItemActive();
  ImGui::SameLine(0, 2);
  if (ImGui::ArrowButton("##down", ImGuiDir_Down)) size = fontSize_ - 1;
  ImGui::SameLine(0, 2);
  if (ImGui::ArrowButton("##up", ImGuiDir_Up)) size = fontSize_ + 1;
  size = std::clamp(size, kFontSizeMin, kFontSizeMax);
  if (size != fontSize_) {
    fontSize_ = size;
    Write("FONTSIZE", fontSize_);
    FontChanged();
  }
  if (!typing) std::snprintf(fontSizeText_, sizeof fontSizeText_, "%d", fontSize_);
  PlaceAt(client, 250, 68);
  if (ImGui::Checkbox("太字", &bold_)) {
    Write("FONTBold", bold_ ? 1 : 0);
    FontChanged();
  }

  PlaceAt(client, 20, 98);
  ImGui::TextUnformatted("フォント描画方法");
  PlaceAt(client, kFieldX, 96);
  if (RadioIndex("アンチ処理あり（※）", &antiAlias_, 0)) {
    Write("FONTAA", 0);
    FontChanged();
  }
  ImGui::SameLine(0, 10);
  if (RadioIndex("アンチ処理なし", &antiAlias_, 1)) {
    Write("FONTAA", 1);
    FontChanged();
  }
  PlaceAt(client, 20, 122);
  ImGui::TextUnformatted("※. 問題が生ずる場合、readme.txt をご確認ください。");

  GroupBox(client, "テキスト背景", 16, 144, 374, 100);
  constexpr const char* kLabels[4] = {"R", "G", "B", "透過"};
  constexpr const char* kNames[4] = {"TXBG_R", "TXBG_G", "TXBG_B", "TXBG_A"};
  for (int i = 0; i < 4; ++i) {
    const float y = 162 + static_cast<float>(i) * 19;
    PlaceAt(client, 26, y);
    ImGui::TextUnformatted(kLabels[i]);
    PlaceAt(client, 62, y);
    ImGui::PushID(i);
    int& position = background_[static_cast<size_t>(i)];
    if (TrackBar("##bg", &position, -255, 0, 190)) {
      Write(kNames[i], -position);
      BackgroundChanged();
    }
    ImGui::PopID();
  }
  const ImVec2 swatch(client.x + 268, client.y + 162);
  ImGui::GetWindowDrawList()->AddRectFilled(
      swatch, ImVec2(swatch.x + 110, swatch.y + 44),
      IM_COL32(-background_[0], -background_[1], -background_[2], 255));
  ImGui::GetWindowDrawList()->AddRect(swatch, ImVec2(swatch.x + 110, swatch.y + 44),
                                      ImGui::GetColorU32(ImGuiCol_Border));
  PlaceAt(client, 268, 214);
  if (ImGui::Button("Default", ImVec2(110, 22))) ResetBackground();

  GroupBox(client, "ノベルモード透過", 16, 248, 374, 44);
  PlaceAt(client, 26, 268);
  ImGui::TextUnformatted("透過→");
  PlaceAt(client, 70, 267);
  if (TrackBar("##novel", &novelOpacity_, -255, 0, 240)) {
    Write("TXBG_A2", -novelOpacity_);
    BackgroundChanged();
  }
}

void SettingsDialog::BuildCopyrightPage(const ImVec2& client) {
  PlaceAt(client, 20, 40);
  ImGui::TextUnformatted("本製品は以下の技術及び著作物を利用しております");
  float y = 68;
  for (const char* notice : kNotices) {
    PlaceAt(client, 28, y);
    ImGui::TextUnformatted(notice);
    y += 22;
  }
}

}  // namespace zorvel
