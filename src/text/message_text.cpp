#include "text/message_text.h"

#include <cstring>

namespace zorvel {

void MessageText::OpenTextPage() {
  std::memset(s_.pageText, 0, sizeof s_.pageText);
  std::memset(s_.pageColour, 0, sizeof s_.pageColour);
  s_.textColumn = 0;
  s_.textRow = 0;
  s_.pageChars = 0;
  s_.textStyle = 0;
  s_.pageCleared = true;
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
