#include "save/slot_file.h"

#include <gtest/gtest.h>

#include <cstring>

#include "text/sjis.h"

namespace zorvel {
namespace {

std::tm When() {
  std::tm t{};
  t.tm_year = 2026 - 1900;
  t.tm_mon = 11;
  t.tm_mday = 10;
  t.tm_hour = 9;
  t.tm_min = 5;
  t.tm_sec = 3;
  return t;
}

int32_t IntAt(const std::vector<uint8_t>& b, size_t at) {
  int32_t v;
  std::memcpy(&v, b.data() + at, 4);
  return v;
}

TEST(SlotFile, EveryFieldLandsAtItsOffsetAndComesBack) {
  auto state = std::make_unique<EngineState>();
  EngineState& s = *state;
  s.vars.F.Set(9);
  s.vars.V[999] = -7;
  s.vars.S[150] = 1;
  s.vars.readMarks.Set(80000);
  s.vars.T.Set(9999);
  s.callDepth = 2;
  s.callReturns[1] = 1234;
  s.scriptPos = 4321;
  s.lineStart = 4000;
  std::strcpy(s.scriptName, "MAIN");
  std::strcpy(s.loadedScriptName, "MAIN");
  std::strcpy(s.backgroundName, "A_SKY");
  std::strcpy(s.speakerName, "NAME_LONGER_THAN_TWENTY");
  std::strcpy(s.stringVars[9], "nine");
  std::strcpy(s.titleText, "Title");
  s.pageText[19][0] = 'x';
  PageRing ring;
  ring.pageCounter = 23;
  ring.records[19].novel = 5;
  std::strcpy(ring.records[0].voices, "V1 ");
  Surface scene(800, 600);
  scene.FillRect(0, 0, 5, 5, 10, 20, 30);  // the first thumbnail pixel, stored blue first

  const std::vector<uint8_t> b = BuildSlotFile(SlotSource{s, ring, scene, "SEH2RAIN", When()});
  ASSERT_EQ(b.size(), 144978u);
  using L = SlotLayout;
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(b.data())), "2026/12/10 09:05:03  Title");
  EXPECT_EQ(b[L::kF + 1], 1 << 1);
  EXPECT_EQ(IntAt(b, L::kV + 4 * 999), -7);
  EXPECT_EQ(b[L::kReadMarks + 10000], 1);
  EXPECT_EQ(b[L::kT + 1249], 1 << 7);
  EXPECT_EQ(IntAt(b, L::kRecord), 2);
  EXPECT_EQ(IntAt(b, L::kRecord + 4 * 2), 1234);
  EXPECT_EQ(IntAt(b, L::kRecord + 4 * kRecResume), 4321);
  EXPECT_EQ(IntAt(b, L::kRecord + 4 * kRecNovel), 1);
  EXPECT_EQ(IntAt(b, L::kRecord + 4 * kRecPageCounter), 23);
  EXPECT_EQ(IntAt(b, L::kRecord + 4 * kRecPageEmpty), 1);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[L::kNames + L::kLoopEffect])), "SEH2RAIN");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[L::kNames + L::kSpeaker]), 20),
            "NAME_LONGER_THAN_TWE");
  EXPECT_EQ(b[L::kPageText + 1900], 'x');
  EXPECT_EQ(IntAt(b, L::kRingNovel + 4 * 19), 5);
  EXPECT_EQ(b[L::kThumbnail], 30);
  EXPECT_EQ(b[L::kThumbnail + 2], 10);

  SlotFile file;
  std::string why;
  ASSERT_TRUE(file.Parse(b, why));
  auto back = std::make_unique<EngineState>();
  file.RestoreBanks(*back);
  file.RestoreRecord(*back);
  file.RestoreTexts(*back);
  PageRing ringBack;
  file.RestoreRing(ringBack);
  EXPECT_TRUE(back->vars.F.Test(9));
  EXPECT_TRUE(back->vars.readMarks.Test(80000));
  EXPECT_EQ(back->vars.V[999], -7);
  EXPECT_EQ(back->callDepth, 2);
  EXPECT_EQ(back->callReturns[1], 1234);
  EXPECT_STREQ(back->backgroundName, "A_SKY");
  EXPECT_STREQ(back->speakerName, "NAME_LONGER_THAN_TWE");
  EXPECT_STREQ(back->stringVars[9], "nine");
  EXPECT_EQ(ringBack.pageCounter, 23);
  EXPECT_STREQ(ringBack.records[0].voices, "V1 ");
  EXPECT_EQ(file.Name(L::kLoopEffect), "SEH2RAIN");
}

// The offsets other engines' slot files have, as numbers: a field moved in the layout constants
// would still come back through them, but no longer load an old save.
TEST(SlotFile, FieldsSitAtTheOffsetsOfTheFormat) {
  auto state = std::make_unique<EngineState>();
  EngineState& s = *state;
  std::strcpy(s.titleText, "T");
  s.vars.F.Set(8);
  s.vars.reserved[0] = 0xAB;
  s.vars.V[0] = 101;
  s.vars.V[999] = 102;
  s.vars.S[0] = 103;
  s.vars.S[199] = 104;
  s.vars.readMarks.Set(8);
  s.vars.T.Set(8);
  s.vars.S[150] = 1;
  std::strcpy(s.history, "h0");
  std::strcpy(s.history + 199 * 70, "h199");
  std::strcpy(s.lineBuffer, "line");
  std::strcpy(s.callNames[0], "call0");
  std::strcpy(s.callNames[8], "call8");
  std::strcpy(s.scriptName, "script");
  std::strcpy(s.loadedScriptName, "loaded");
  std::strcpy(s.backgroundName, "bg");
  std::strcpy(s.characterSpec, "chars");
  std::strcpy(s.overlayName, "ovr");
  std::strcpy(s.recScriptName, "rec");
  std::strcpy(s.lastVoice, "voice");
  std::strcpy(s.speakerName, "speaker");
  std::strcpy(s.stringVars[0], "str0");
  std::strcpy(s.stringVars[9], "str9");
  std::strcpy(s.pageText[0], "row0");
  std::strcpy(s.pageText[19], "row19");
  s.pageColour[0][0] = 5;
  s.pageCleared = false;
  // The state record: every index its own number.
  s.callDepth = 3;
  for (int i = 0; i < 9; ++i) s.callReturns[i] = 201 + i;
  s.textWindowOn = true;
  s.waitTicks = 211;
  s.charDelay = 212;
  s.waitKind = 213;
  s.screenMode = 214;
  s.deferUpdate = true;
  s.textColumn = 217;
  s.textRow = 218;
  s.textStyle = 219;
  s.textColour = 220;
  s.historyLines = 199;
  s.historyLen = 199 * 70 + 4;
  s.interpreterOn = true;
  s.needLine = false;
  s.lineStart = 225;
  s.scriptPos = 226;
  s.scriptSize = 227;
  s.linePos = 228;
  PageRing ring;
  ring.pageCounter = 230;
  std::strcpy(ring.records[0].text[0], "ring0");
  std::strcpy(ring.records[19].text[0], "ring19");
  ring.records[0].overlay = 301;
  ring.records[19].overlay = 302;
  std::strcpy(ring.records[0].names, "names0");
  std::strcpy(ring.records[19].names, "names19");
  std::strcpy(ring.records[0].voices, "voices0");
  std::strcpy(ring.records[19].voices, "voices19");
  ring.records[0].novel = 303;
  ring.records[19].novel = 304;
  Surface scene(800, 600);
  scene.FillRect(795, 595, 5, 5, 10, 20, 30);  // the last thumbnail pixel

  std::vector<uint8_t> b = BuildSlotFile(SlotSource{s, ring, scene, "loop", When()});
  WriteSlotComment(b, "memo");
  ASSERT_EQ(b.size(), 144978u);
  auto text = [&b](size_t at) { return std::string(reinterpret_cast<const char*>(&b[at])); };

  const std::pair<size_t, const char*> texts[] = {
      {0, "2026/12/10 09:05:03  T"},
      {96, "memo"},
      {17826, "h0"},
      {17826 + 199 * 70, "h199"},
      {31826, "line"},
      {33874, "call0"},
      {33874 + 240, "call8"},
      {33874 + 270, "script"},
      {33874 + 300, "loaded"},
      {33874 + 330, "bg"},
      {33874 + 360, "chars"},
      {33874 + 420, "ovr"},
      {33874 + 450, "rec"},
      {33874 + 480, "loop"},
      {33874 + 510, "voice"},
      {33874 + 540, "speaker"},
      {34898, "str0"},
      {34898 + 9 * 64, "str9"},
      {35538, "row0"},
      {35538 + 19 * 100, "row19"},
      {39538, "ring0"},
      {39538 + 19 * 2000, "ring19"},
      {79618, "names0"},
      {79618 + 19 * 128, "names19"},
      {82178, "voices0"},
      {82178 + 19 * 256, "voices19"},
  };
  for (const auto& [at, expected] : texts) EXPECT_EQ(text(at), expected) << "at " << at;

  const std::pair<size_t, int32_t> ints[] = {
      {1280, 101},         {1280 + 3996, 102},  {5280, 103},         {5280 + 796, 104},
      {79538, 301},        {79538 + 76, 302},   {87298, 303},        {87298 + 76, 304},
      {17570 + 4 * 31, 0}, {17570 + 4 * 16, 0}, {17570 + 4 * 33, 0}, {17570 + 4 * 63, 0},
  };
  for (const auto& [at, expected] : ints) EXPECT_EQ(IntAt(b, at), expected) << "at " << at;

  // The state record, index by index.
  const int32_t record[] = {3,   201, 202, 203, 204, 205, 206, 207, 208, 209,          1, 211, 212,
                            213, 214, 1,   0,   217, 218, 219, 220, 199, 199 * 70 + 4, 1, 0,   225,
                            226, 227, 228, 1,   230, 0,   0};
  for (int i = 0; i < 33; ++i) EXPECT_EQ(IntAt(b, 17570 + 4 * i), record[i]) << "index " << i;

  EXPECT_EQ(b[128 + 1], 1);    // F008
  EXPECT_EQ(b[256], 0xAB);     // the reserved block
  EXPECT_EQ(b[6080 + 1], 1);   // read mark 8
  EXPECT_EQ(b[16320 + 1], 1);  // T008
  EXPECT_EQ(b[37538], 5);      // the first cell's colour
  EXPECT_EQ(b[144975], 30);    // the last thumbnail pixel, blue first
  EXPECT_EQ(b[144977], 10);
}

TEST(SlotFile, ShortFilesAreRefusedLongOnesReadForTheirLayout) {
  SlotFile file;
  std::string why;
  EXPECT_FALSE(file.Parse(std::vector<uint8_t>(144977), why));
  EXPECT_NE(why.find("144977"), std::string::npos);
  EXPECT_TRUE(file.Parse(std::vector<uint8_t>(150000, 0), why));

  // A damaged record cannot reach past the call stack or the page.
  std::vector<uint8_t> bad(kSlotFileSize, 0xFF);
  ASSERT_TRUE(file.Parse(bad, why));
  auto s = std::make_unique<EngineState>();
  file.RestoreRecord(*s);
  EXPECT_EQ(s->callDepth, 0);
  EXPECT_EQ(s->textRow, 0);
  EXPECT_EQ(s->historyLines, 0);
}

TEST(SlotFile, CommentIsCutOnCharacters) {
  std::vector<uint8_t> file(kSlotFileSize, 0);
  std::memset(file.data() + 96, 'z', 32);
  std::string comment;
  for (int i = 0; i < 16; ++i) comment += "\x82\xA0";
  WriteSlotComment(file, comment);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&file[96])).size(), 30u);
  EXPECT_EQ(file[127], 0);
}

TEST(SlotFile, ResumePositionFollowsWhatWaits) {
  struct Case {
    const char* what;
    int interaction, screen, backto, expected;
  };
  for (const Case& c : {Case{"plain text", 0, 0, 0, 500}, Case{"a choice waits", 1, 0, 0, 400},
                        Case{"backto recorded", 1, 0, 350, 350}, Case{"map mode", 0, 4, 0, 400},
                        Case{"backto without a choice", 0, 0, 350, 500}}) {
    SCOPED_TRACE(c.what);
    auto s = std::make_unique<EngineState>();
    s->scriptPos = 500;
    s->lineStart = 400;
    s->interactionMode = c.interaction;
    s->screenMode = c.screen;
    s->vars.S[kBacktoPos] = c.backto;
    EXPECT_EQ(ResumePosition(*s), c.expected);
  }
}

}  // namespace
}  // namespace zorvel
