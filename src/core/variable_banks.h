// The script-visible variable banks and the engine's global bit sets. Plain fixed-size arrays:
// a save file stores them as they are.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>

namespace zorvel {

template <size_t Bits>
struct BitSet {
  std::array<uint8_t, (Bits + 7) / 8> bytes{};

  static constexpr size_t kBits = Bits;
  bool Test(int64_t n) const {
    return n >= 0 && static_cast<size_t>(n) < Bits && (bytes[n / 8] >> (n % 8) & 1) != 0;
  }
  void Set(int64_t n, bool on = true) {
    if (n < 0 || static_cast<size_t>(n) >= Bits) return;
    if (on) {
      bytes[n / 8] = static_cast<uint8_t>(bytes[n / 8] | 1u << (n % 8));
    } else {
      bytes[n / 8] = static_cast<uint8_t>(bytes[n / 8] & ~(1u << (n % 8)));
    }
  }
  void Clear() { bytes.fill(0); }
};

constexpr int kStringVarCount = 10;
constexpr int kStringVarSize = 64;

struct VariableBanks {
  BitSet<1024> F;
  BitSet<1024> E;
  BitSet<10000> T;
  std::array<int32_t, 1000> V{};
  std::array<int32_t, 200> S{};
  std::array<int32_t, 10> G{};
  BitSet<80001> readMarks;
  BitSet<2000> seen;
  BitSet<2000> unlocked;
  std::array<uint8_t, 1024> reserved{};  // spare block kept in save files
};

// S registers the engine itself reads or writes.
enum SReg : int {
  kSavePermission = 0,
  kNameChanged = 6,
  kBacktoPos = 10,
  kSleepClicked = 19,
  kAutoLevel = 26,
  kLastAutoLevel = 27,
  kSaveAllowed = 28,
  kTextColour = 37,
  kDatePanel = 50,
  kWindowStyle = 51,
  kSpecialClick = 56,
  kSkipLamp = 60,
  kAutoLamp = 61,
  kClearCount = 100,
  kNovelMode = 150,
  kRecording = 151,
  kRecording2 = 152,
  kRecording3 = 153,
  kHangingIndent = 154,
};

// White as a Windows colour value (red in the low byte), the form scripts see in S037.
constexpr int32_t kWhite = 0xFFFFFF;

}  // namespace zorvel
