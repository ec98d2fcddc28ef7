#include "dialogs/save_load_dialog.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "text/sjis.h"
#include "ui/imgui_engine.h"

namespace zorvel {

namespace {

// UTF-8 labels.
constexpr char kSave[] = "\xE3\x82\xBB\xE3\x83\xBC\xE3\x83\x96";
constexpr char kLoad[] = "\xE3\x83\xAD\xE3\x83\xBC\xE3\x83\x89";
constexpr const char* kColumns[4] = {
    "\xE3\x82\xB9\xE3\x83\xAD\xE3\x83\x83\xE3\x83\x88",
    "\xE6\x9B\xB4\xE6\x96\xB0\xE6\x97\xA5\xE6\x99\x82",
    "\xE8\xA9\xB3\xE7\xB4\xB0",
    // One name split over two lines.
    ("\xE3\x83\xA6\xE3\x83\xBC\xE3\x82\xB6\xE3\x83\xBC\xE3\x82\xB3\xE3\x83\xA1\xE3\x83\xB3"
     "\xE3\x83\x88"),
};
constexpr char kCommentButton[] =
    "\xE3\x82\xB3\xE3\x83\xA1\xE3\x83\xB3\xE3\x83\x88\xE7\x99\xBB\xE9\x8C\xB2\x28\xE6\x9C\x80\xE5"
    "\xA4\xA7\xE5\x85\xA8\xE8\xA7\x92\x31\x35\xE6\x96\x87\xE5\xAD\x97\x29";
constexpr char kDelete[] = "\xE5\x89\x8A\xE9\x99\xA4";
constexpr char kClose[] = "\xE9\x96\x89\xE3\x81\x98\xE3\x82\x8B";
constexpr char kUnused[] = "\x20\xE6\x9C\xAA\xE7\x99\xBB\xE9\x8C\xB2";
constexpr size_t kCommentBytes = 30;
constexpr float kRowHeight = 17.0f;
// What the date and the description share of the list's width, beside the slot and comment
// columns, their padding and the scroll bar.
constexpr float kDateAndDescription = 256.0f;

std::string HeaderText(const std::vector<uint8_t>& header, size_t from, size_t to) {
  to = std::min(to, header.size());
  std::string sjis;
  for (size_t i = from; i < to && header[i] != 0; ++i) sjis.push_back(static_cast<char>(header[i]));
  std::string text = SjisToUtf8(sjis);
  // A row is one line: a control byte (a newline from a damaged or foreign file) shows as a
  // blank. No byte of a longer UTF-8 sequence is below 0x80, so none is hit.
  for (char& c : text) {
    if (static_cast<uint8_t>(c) < 0x20 || c == 0x7F) c = ' ';
  }
  return text;
}

std::string Lower(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

// The room a slot's whole time stamp takes in the interface face, whatever its digits.
float StampWidth() {
  char widest = '0';
  float widestWidth = 0;
  for (char d = '0'; d <= '9'; ++d) {
    const char digit[2] = {d, 0};
    const float w = ImGui::CalcTextSize(digit).x;
    if (w > widestWidth) {
      widest = d;
      widestWidth = w;
    }
  }
  std::string stamp = "0000/00/00 00:00:00";
  for (char& c : stamp) {
    if (c == '0') c = widest;
  }
  // A pixel more for the last glyph's ink past its advance.
  return std::ceil(ImGui::CalcTextSize(stamp.c_str()).x) + 1;
}

// A Shift-JIS comment of at most 30 bytes, cut on a character boundary.
std::string SjisComment(const char* utf8) {
  char cut[kCommentBytes + 1];
  CopyField(cut, sizeof cut, Utf8ToSjis(utf8).value_or(std::string()));
  return cut;
}

}  // namespace

SaveLoadDialog::Row SaveLoadDialog::MakeRow(int slot) const {
  Row row;
  row.slot = slot;
  char caption[8];
  std::snprintf(caption, sizeof caption, "%02d", slot);
  row.columns[0] = caption;
  if (const auto header = games_.SlotHeader(slot)) {
    row.columns[1] = HeaderText(*header, 0, 19);
    row.columns[2] = HeaderText(*header, 20, 95);
    row.columns[3] = HeaderText(*header, 96, 128);
  } else {
    row.columns[1].assign(kUnused, sizeof kUnused - 1);
    row.columns[2].assign(1, ' ');
    row.columns[3].assign(1, ' ');
  }
  return row;
}

void SaveLoadDialog::Open(int mode) {
  save_ = mode != 0;
  rows_.clear();
  const int count = save_ ? kSlotCount - 1 : kSlotCount;
  for (int slot = 1; slot <= count; ++slot) rows_.push_back(MakeRow(slot));
  // The order and the slot the player left; a slot this list lacks (the quick slot, when
  // saving) gives way to the remembered row, limited to the last.
  int row = std::clamp(selectedRow_, 0, static_cast<int>(rows_.size()) - 1);
  SortRows();
  for (int i = 0; i < RowCount(); ++i) {
    if (rows_[i].slot == selectedSlot_) row = i;
  }
  action_.reset();
  open_ = true;
  Select(row);
  scrollToSelection_ = true;
}

void SaveLoadDialog::Refresh(int slot) {
  for (Row& r : rows_) {
    if (r.slot == slot) r = MakeRow(slot);
  }
}

int SaveLoadDialog::SelectedSlot() const {
  if (selectedRow_ < 0 || selectedRow_ >= static_cast<int>(rows_.size())) return 0;
  return rows_[selectedRow_].slot;
}

std::string SaveLoadDialog::RowText(int row, int column) const {
  if (row < 0 || row >= RowCount() || column < 0 || column > 3) return {};
  return rows_[row].columns[column];
}

void SaveLoadDialog::Select(int row) {
  if (row < 0 || row >= static_cast<int>(rows_.size())) return;
  selectedRow_ = row;
  const Row& r = rows_[row];
  selectedSlot_ = r.slot;
  commentEnabled_ = r.columns[1] != kUnused;
  const std::string text = commentEnabled_ ? r.columns[3] : std::string();
  std::snprintf(comment_, sizeof comment_, "%s", text.c_str());
}

void SaveLoadDialog::Sort(int column) {
  if (column < 0 || column > 3) return;
  // The same column again turns the order round; another column sorts it ascending.
  sortMarker_ = sortMarker_ == column + 1 ? -1 : column + 1;
  sortColumn_ = column;
  SortRows();
}

void SaveLoadDialog::SortRows() {
  if (sortColumn_ < 0) return;
  const int column = sortColumn_;
  const bool descending = sortMarker_ == -1;
  const int selectedSlot = SelectedSlot();
  std::stable_sort(rows_.begin(), rows_.end(), [column, descending](const Row& a, const Row& b) {
    const std::string x = Lower(a.columns[column]);
    const std::string y = Lower(b.columns[column]);
    return descending ? y < x : x < y;
  });
  for (int i = 0; i < RowCount(); ++i) {
    if (rows_[i].slot == selectedSlot) selectedRow_ = i;
  }
}

void SaveLoadDialog::WriteComment() {
  if (!commentEnabled_) return;
  const std::string sjis = SjisComment(comment_);
  std::snprintf(comment_, sizeof comment_, "%s", SjisToUtf8(sjis).c_str());
  const int slot = SelectedSlot();
  if (slot != 0 && games_.WriteComment(slot, sjis)) rows_[selectedRow_].columns[3] = comment_;
}

void SaveLoadDialog::Activate() {
  const int slot = SelectedSlot();
  if (slot == 0) return;
  if (!save_ && rows_[selectedRow_].columns[1] == kUnused) return;
  action_ = Action{save_, slot, SjisComment(comment_)};
}

std::optional<SaveLoadDialog::Action> SaveLoadDialog::TakeAction() {
  auto a = std::move(action_);
  action_.reset();
  return a;
}

bool SaveLoadDialog::Build() {
  if (!open_) return false;
  ImGuiIO& io = ImGui::GetIO();
  const float titleBar = ImGui::GetFontSize() + 2 * ImGui::GetStyle().FramePadding.y;
  const float frameTop = io.DisplaySize.y - 600.0f;  // the game area's top in the frame
  const ImVec2 client((800 - kClientWidth) / 2.0f, frameTop + (600 - kClientHeight) / 2.0f);
  ImGui::SetNextWindowPos(ImVec2(client.x, client.y - titleBar));
  ImGui::SetNextWindowSize(ImVec2(kClientWidth, kClientHeight + titleBar));
  ImGui::SetNextWindowFocus();
  ImGui::PushStyleVar(ImGuiStyleVar_WindowPadding, ImVec2(0, 0));
  const std::string title = std::string(save_ ? kSave : kLoad) + "###saveload";
  ImGui::Begin(title.c_str(), nullptr,
               ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoMove | ImGuiWindowFlags_NoCollapse |
                   ImGuiWindowFlags_NoSavedSettings | ImGuiWindowFlags_NoScrollbar |
                   ImGuiWindowFlags_NoScrollWithMouse);
  ImGui::PopStyleVar();
  auto at = [&client](float x, float y) {
    ImGui::SetCursorScreenPos(ImVec2(client.x + x, client.y + y));
  };

  at(8, 8);
  ImGui::TextUnformatted(save_ ? kSave : kLoad);

  // Keys on the list: Up and Down move the selection, Enter acts, Escape closes.
  const bool typing = ImGui::IsAnyItemActive();
  if (!typing) {
    if (ImGui::IsKeyPressed(ImGui::GetKeyIndex(ImGuiKey_UpArrow)) && selectedRow_ > 0) {
      Select(selectedRow_ - 1);
      scrollToSelection_ = true;
    }
    if (ImGui::IsKeyPressed(ImGui::GetKeyIndex(ImGuiKey_DownArrow)) &&
        selectedRow_ + 1 < RowCount()) {
      Select(selectedRow_ + 1);
      scrollToSelection_ = true;
    }
    if (ImGui::IsKeyReleased(ImGui::GetKeyIndex(ImGuiKey_Enter))) Activate();
  }
  if (ImGui::IsKeyPressed(ImGui::GetKeyIndex(ImGuiKey_Escape))) open_ = false;

  at(8, 24);
  constexpr ImGuiTableFlags kTable = ImGuiTableFlags_Borders | ImGuiTableFlags_ScrollY |
                                     ImGuiTableFlags_RowBg | ImGuiTableFlags_SizingFixedFit;
  // Hovering must not look like the selection.
  ImGui::PushStyleColor(ImGuiCol_HeaderHovered, IM_COL32(204, 228, 247, 255));
  if (ImGui::BeginTable("##slots", 4, kTable, ImVec2(465, 313))) {
    ImGui::TableSetupScrollFreeze(0, 1);
    ImGui::TableSetupColumn(kColumns[0], ImGuiTableColumnFlags_WidthFixed, 44);
    // The date gets the room a full time stamp needs in the interface face; the description
    // gives it up, so the four still fit beside the scroll bar.
    const float date = StampWidth();
    ImGui::TableSetupColumn(kColumns[1], ImGuiTableColumnFlags_WidthFixed, date);
    ImGui::TableSetupColumn(kColumns[2], ImGuiTableColumnFlags_WidthFixed,
                            std::max(60.0f, kDateAndDescription - date));
    ImGui::TableSetupColumn(kColumns[3], ImGuiTableColumnFlags_WidthFixed, 120);
    ImGui::TableNextRow(ImGuiTableRowFlags_Headers);
    for (int c = 0; c < 4; ++c) {
      ImGui::TableSetColumnIndex(c);
      ImGui::PushID(c);
      if (ImGui::Selectable(kColumns[c], false, ImGuiSelectableFlags_DontClosePopups)) Sort(c);
      ImGui::PopID();
    }
    for (int i = 0; i < RowCount(); ++i) {
      const Row& r = rows_[i];
      ImGui::TableNextRow(0, kRowHeight);
      ImGui::TableSetColumnIndex(0);
      ImGui::PushID(r.slot);
      if (ImGui::Selectable(
              r.columns[0].c_str(), i == selectedRow_,
              ImGuiSelectableFlags_SpanAllColumns | ImGuiSelectableFlags_AllowDoubleClick,
              ImVec2(0, kRowHeight))) {
        Select(i);
        if (ImGui::IsMouseDoubleClicked(ImGuiMouseButton_Left)) Activate();
      }
      if (i == selectedRow_ && scrollToSelection_) {
        ImGui::SetScrollHereY(0.5f);
        scrollToSelection_ = false;
      }
      ImGui::PopID();
      for (int c = 1; c < 4; ++c) {
        ImGui::TableSetColumnIndex(c);
        ImGui::TextUnformatted(r.columns[c].c_str());
      }
    }
    ImGui::EndTable();
  }
  ImGui::PopStyleColor();

  at(8, 344);
  ImGui::BeginDisabled(!commentEnabled_);
  // The caption is long for its button; a smaller face keeps it whole.
  ImGui::SetWindowFontScale(0.86f);
  if (ImGui::Button(kCommentButton, ImVec2(177, 25))) WriteComment();
  ImGui::SetWindowFontScale(1.0f);
  ImGui::EndDisabled();
  at(8, 376);
  ImGui::PushItemWidth(177);
  ImGui::InputText("##comment", comment_, sizeof comment_);
  ImGui::PopItemWidth();
  at(192, 368);
  if (ImGui::Button(kDelete, ImVec2(65, 25))) {
    const int slot = SelectedSlot();
    if (slot != 0 && games_.DeleteSlot(slot)) {
      Row& r = rows_[selectedRow_];
      r.columns[1] = kUnused;
      r.columns[2].clear();
      r.columns[3].clear();
      Select(selectedRow_);
    }
  }
  at(288, 352);
  if (ImGui::Button(kClose, ImVec2(75, 41))) open_ = false;
  at(384, 352);
  ImGui::BeginDisabled(action_.has_value());
  if (ImGui::Button(save_ ? kSave : kLoad, ImVec2(91, 41))) Activate();
  ImGui::EndDisabled();
  ImGui::End();
  return open_;
}

}  // namespace zorvel
