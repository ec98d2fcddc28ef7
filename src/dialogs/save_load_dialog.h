// The save and load list: 98 or 99 slots with their date, description and comment, sorting by
// column, the comment field and its button, delete, and the action button. A modal dialog on
// the interface layer, laid out at the classic dialog's client size and control positions so
// that a click lands where a player (or a test) expects it.
//
// The dialog only chooses: saving and loading themselves run outside the interface frame, by
// the save screens that take the chosen action.
//
// Touches: its own rows and the slot files' headers (read, comment patched, deleted) through
// SaveGames. Never the game state.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "save/save_games.h"

namespace zorvel {

class SaveLoadDialog {
 public:
  // Client area and the controls' places inside it.
  static constexpr int kClientWidth = 490, kClientHeight = 410;

  explicit SaveLoadDialog(SaveGames& games) : games_(games) {}

  // Mode 0 loads; any other value saves (2 is the tool bar's edit mode, which saves too).
  void Open(int mode);
  // One interface frame of the dialog; false once it has closed.
  bool Build();
  bool IsOpen() const { return open_; }
  void Close() { open_ = false; }

  struct Action {
    bool save = false;
    int slot = 0;
    std::string sjisComment;
  };
  // The action the player chose in the last frames, once.
  std::optional<Action> TakeAction();
  // After a save: the row shows the slot as it is now.
  void Refresh(int slot);

  // For tests and the state dump.
  int RowCount() const { return static_cast<int>(rows_.size()); }
  int SelectedSlot() const;
  std::string RowText(int row, int column) const;  // UTF-8

 private:
  struct Row {
    int slot = 0;
    std::string columns[4];  // UTF-8: slot, date, description, comment
  };
  Row MakeRow(int slot) const;
  void Select(int row);
  // A click on a column's header.
  void Sort(int column);
  // Puts the rows in the remembered order, the selection staying on its slot.
  void SortRows();
  void WriteComment();
  void Activate();

  SaveGames& games_;
  bool open_ = false;
  bool save_ = false;
  std::vector<Row> rows_;
  // Remembered across openings, as the player left them: the row and its slot, the column
  // sorted last (-1: never) and the direction marker (-1 descending, else the column + 1).
  int selectedRow_ = 0;
  int selectedSlot_ = 0;
  int sortColumn_ = -1;
  int sortMarker_ = 0;
  bool scrollToSelection_ = false;
  char comment_[128]{};  // UTF-8
  bool commentEnabled_ = false;
  std::optional<Action> action_;
};

}  // namespace zorvel
