// Integer expressions, assignment lists and conditions of the script language. Expressions run
// strictly left to right with no precedence: V001+2*3 is (V001 + 2) * 3.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>

#include "core/variable_banks.h"

namespace zorvel {

class RandomGenerator {
 public:
  void Seed(uint32_t seed) { state_ = seed; }
  // 0 to 32767.
  int32_t Next() {
    state_ = state_ * 22695477u + 1u;
    return static_cast<int32_t>(state_ >> 16 & 0x7FFF);
  }
  uint32_t State() const { return state_; }

 private:
  uint32_t state_ = 1;
};

// Script errors never stop the game; they are kept here for the developer views and tests.
class DeveloperLog {
 public:
  static constexpr const char* kInvalidExpression = "\x96\xB3\x8C\xF8\x90\x94\x8E\xAE";  // 無効数式
  static constexpr const char* kAssignError =
      "\x91\xE3\x93\xFC\x83\x47\x83\x89\x81\x5B";  // 代入エラー

  void Report(const char* sjisMessage, const std::string& context);
  const std::deque<std::string>& Entries() const { return entries_; }
  size_t Count(const char* sjisMessage) const;

 private:
  static constexpr size_t kMaxEntries = 256;
  std::deque<std::string> entries_;
};

class Expressions {
 public:
  // `onControlRegister` runs after an assignment writes S000 or S028 (the tool bar depends on
  // them).
  Expressions(VariableBanks& vars, RandomGenerator& random, DeveloperLog& log,
              std::function<void()> onControlRegister = {})
      : vars_(vars), random_(random), log_(log), onControlRegister_(std::move(onControlRegister)) {}

  // Evaluates from `text` to the first stop character; `*stop` (if given) receives it.
  int32_t Evaluate(const char* text, const char** stop = nullptr);
  void Assign(const char* list);
  bool Condition(const char* text);

 private:
  bool ReadVariable(const char*& p, int32_t& value);

  VariableBanks& vars_;
  RandomGenerator& random_;
  DeveloperLog& log_;
  std::function<void()> onControlRegister_;
};

}  // namespace zorvel
