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
