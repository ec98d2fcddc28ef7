#include "script/expressions.h"

#include <gtest/gtest.h>

#include <climits>

namespace zorvel {
namespace {

struct Fixture {
  VariableBanks vars;
  RandomGenerator random;
  DeveloperLog log;
  int toolbarRefreshes = 0;
  Expressions expr{vars, random, log, [this] { ++toolbarRefreshes; }};
};

TEST(Evaluate, LeftToRightWithWrapAndSafeDivision) {
  Fixture f;
  f.vars.V[1] = 4;
  f.vars.V[10] = 20;
  f.vars.V[20] = 7;
  f.vars.S[26] = 3;
  f.vars.G[5] = -2;
  f.vars.F.Set(2);
  f.vars.T.Set(12);
  f.vars.V[30] = INT32_MIN;
  f.vars.V[31] = -1;
  const struct {
    const char* text;
    int32_t want;
  } cases[] = {
      {"2+3*4", 20},
      {"7/2", 3},
      {"-7/2", -3},
      {"7%0", 0},
      {"-7%3", -1},
      {"7/0", 0},
      {"-5", -5},
      {"V001+2*3", 18},
      {"P010", 7},
      {"S026*G5", -6},
      {"F002+F003", 1},
      {"T0012", 1},
      {"12_&10", 8},
      {"12_|3", 15},
      {"12_X10", 6},
      {"2147483647+1", INT32_MIN},
      {"V030/V031", INT32_MIN},  // INT_MIN / -1 wraps instead of trapping
      {"V030%V031", 0},
      {"5=3", 5},
      {"V001]x", 4},
      {"", 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(f.expr.Evaluate(c.text), c.want) << c.text;
  }
  EXPECT_EQ(f.log.Count(DeveloperLog::kInvalidExpression), 0u);
}

TEST(Evaluate, InvalidTextGivesZeroAndIsLogged) {
  Fixture f;
  f.vars.V[1] = 9;
  for (const char* text : {"(1+2)", "1 + 2", "V1", "S200", "R", "R0", "X", "v001", "_1"}) {
    EXPECT_EQ(f.expr.Evaluate(text), 0) << text;
  }
  EXPECT_EQ(f.log.Count(DeveloperLog::kInvalidExpression), 9u);
}

TEST(Evaluate, RandomIsBelowItsBound) {
  Fixture f;
  f.random.Seed(12345);
  for (int i = 0; i < 200; ++i) {
    EXPECT_EQ(f.expr.Evaluate("R1"), 0);
    const int32_t r = f.expr.Evaluate("R6");
    EXPECT_GE(r, 0);
    EXPECT_LT(r, 6);
  }
  RandomGenerator g;
  g.Seed(0);
  EXPECT_EQ(g.Next(), 0);  // state 1: bits 16..30 are 0
  EXPECT_EQ(g.Next(), 22695478 >> 16 & 0x7FFF);
}

TEST(Assign, ListsRunInOrderAndBadOnesAreSkipped) {
  Fixture f;
  f.vars.V[10] = 20;
  f.expr.Assign("v001 = 5 ;V002=V001*2; P010=9;g5=7;T0012=1;F003=1");
  EXPECT_EQ(f.vars.V[1], 5);
  EXPECT_EQ(f.vars.V[2], 10);
  EXPECT_EQ(f.vars.V[20], 9);
  EXPECT_EQ(f.vars.G[5], 7);
  EXPECT_TRUE(f.vars.T.Test(12));
  EXPECT_TRUE(f.vars.F.Test(3));
  EXPECT_EQ(f.log.Count(DeveloperLog::kAssignError), 0u);

  f.expr.Assign("F005=2;E005=2;X001=1;V003=3;S999=1;T0001=5");
  EXPECT_FALSE(f.vars.F.Test(5));
  EXPECT_FALSE(f.vars.E.Test(5));
  EXPECT_EQ(f.vars.V[3], 3);
  // E005=2, X001, S999 and T0001=5 are errors; F005=2 is quietly ignored.
  EXPECT_EQ(f.log.Count(DeveloperLog::kAssignError), 4u);

  f.expr.Assign("V004=1\x81\x40+1");  // full-width blanks are dropped too
  EXPECT_EQ(f.vars.V[4], 2);

  // Tabs go alone: the byte after a tab is kept, although a tab counts as a two-byte lead.
  f.expr.Assign("V001\t=\t5");
  f.expr.Assign("V002 =\t7");
  f.expr.Assign("V004=3;\tV005=4");
  EXPECT_EQ(f.vars.V[1], 5);
  EXPECT_EQ(f.vars.V[2], 7);
  EXPECT_EQ(f.vars.V[5], 4);
}

TEST(Assign, SaveRegistersRefreshTheToolbar) {
  Fixture f;
  f.expr.Assign("S001=1");
  EXPECT_EQ(f.toolbarRefreshes, 0);
  f.expr.Assign("S000=1;S028=1");
  EXPECT_EQ(f.toolbarRefreshes, 2);
}

TEST(Condition, ComparisonsAndStrictLeftToRightJoiners) {
  Fixture f;
  f.vars.V[1] = 3;
  f.vars.F.Set(2);
  const struct {
    const char* text;
    bool want;
  } cases[] = {
      {"(V001>=3&F002=1)", true}, {"(V001>3)", false},      {"(V001!=0)", true},
      {"(V001!0)", true},         {"(v001 == 3)", true},    {"(V001<=2)", false},
      {"(V001<4)", true},         {"(0=1&1=1|1=1)", false}, {"(1=1|0=1&0=1)", true},
      {"(0=1|1=1)", true},        {"V001=3", true},         {"(-3=0-3)", true},
  };
  for (const auto& c : cases) EXPECT_EQ(f.expr.Condition(c.text), c.want) << c.text;
}

}  // namespace
}  // namespace zorvel
