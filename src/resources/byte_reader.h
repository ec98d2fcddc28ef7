// Every parser of untrusted bytes reads through this: each read either succeeds within the
// span or fails (and stays failed) without touching memory past the end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

namespace zorvel {

class ByteReader {
 public:
  explicit ByteReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}

  bool Ok() const { return ok_; }
  size_t Position() const { return pos_; }
  size_t Remaining() const { return ok_ ? bytes_.size() - pos_ : 0; }

  bool U8(uint8_t& out) {
    if (!Need(1)) return false;
    out = bytes_[pos_++];
    return true;
  }
  bool U16le(uint16_t& out) {
    if (!Need(2)) return false;
    out = static_cast<uint16_t>(bytes_[pos_] | bytes_[pos_ + 1] << 8);
    pos_ += 2;
    return true;
  }
  bool U32le(uint32_t& out) {
    if (!Need(4)) return false;
    out = static_cast<uint32_t>(bytes_[pos_]) | static_cast<uint32_t>(bytes_[pos_ + 1]) << 8 |
          static_cast<uint32_t>(bytes_[pos_ + 2]) << 16 |
          static_cast<uint32_t>(bytes_[pos_ + 3]) << 24;
    pos_ += 4;
    return true;
  }
  bool Bytes(size_t n, std::span<const uint8_t>& out) {
    if (!Need(n)) return false;
    out = bytes_.subspan(pos_, n);
    pos_ += n;
    return true;
  }
  bool Skip(size_t n) {
    if (!Need(n)) return false;
    pos_ += n;
    return true;
  }

 private:
  bool Need(size_t n) {
    if (!ok_ || n > bytes_.size() - pos_) {
      ok_ = false;
      return false;
    }
    return true;
  }

  std::span<const uint8_t> bytes_;
  size_t pos_ = 0;
  bool ok_ = true;
};

// Little-endian fields at fixed offsets of a buffer whose size the caller has already checked
// (fixed-layout files such as saves).
inline uint32_t LoadLe32(std::span<const uint8_t> b, size_t at) {
  return static_cast<uint32_t>(b[at]) | static_cast<uint32_t>(b[at + 1]) << 8 |
         static_cast<uint32_t>(b[at + 2]) << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}
inline void StoreLe32(std::span<uint8_t> b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace zorvel
