#include "text/message_text.h"

#include <cstring>

namespace zorvel {

void MessageText::OpenTextPage() {
  s_.ClearPageState();
  s_.vars.S[kTextColour] = kWhite;
  if (s_.vars.S[kNovelMode] == 0) s_.speakerName[0] = 0;
  s_.windowOpen = true;
}

void MessageText::OutputChar(const char* bytes, int advance) {
  if (!s_.windowOpen) OpenTextPage();
  const int row = s_.textRow;
  const int column = s_.textColumn;
  // The page keeps what fits; characters beyond its 20 x 100 cells are shown but not stored.
  if (row >= 0 && row < kPageRows && column >= 0 && column + advance <= kPageColumns) {
    std::memcpy(&s_.pageText[row][column], bytes, static_cast<size_t>(advance));
  }
  s_.pageCleared = false;
  s_.pageChars += 1;
  s_.textColumn += advance;
}

}  // namespace zorvel
