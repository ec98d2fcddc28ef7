// A small streaming JSON writer for the state dump: keys in insertion order, UTF-8 strings.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zorvel {

class JsonWriter {
 public:
  JsonWriter& BeginObject(const char* key = nullptr) { return Open(key, '{'); }
  JsonWriter& EndObject() { return Close('}'); }
  JsonWriter& BeginArray(const char* key = nullptr) { return Open(key, '['); }
  JsonWriter& EndArray() { return Close(']'); }
  JsonWriter& Number(const char* key, int64_t value) {
    Key(key);
    out_ += std::to_string(value);
    return *this;
  }
  JsonWriter& Number(int64_t value) { return Number(nullptr, value); }
  JsonWriter& Bool(const char* key, bool value) {
    Key(key);
    out_ += value ? "true" : "false";
    return *this;
  }
  JsonWriter& String(const char* key, const std::string& utf8) {
    Key(key);
    Quote(utf8);
    return *this;
  }
  JsonWriter& String(const std::string& utf8) { return String(nullptr, utf8); }

  const std::string& Text() const { return out_; }

 private:
  JsonWriter& Open(const char* key, char bracket) {
    Key(key);
    out_ += bracket;
    first_.push_back(true);
    return *this;
  }
  JsonWriter& Close(char bracket) {
    first_.pop_back();
    out_ += bracket;
    return *this;
  }
  void Key(const char* key) {
    if (!first_.empty()) {
      if (!first_.back()) out_ += ',';
      first_.back() = false;
    }
    if (key) {
      Quote(key);
      out_ += ':';
    }
  }
  void Quote(const std::string& s) {
    out_ += '"';
    for (const char c : s) {
      const auto u = static_cast<unsigned char>(c);
      if (c == '"' || c == '\\') {
        out_ += '\\';
        out_ += c;
      } else if (u < 0x20) {
        static const char kHex[] = "0123456789abcdef";
        out_ += "\\u00";
        out_ += kHex[u >> 4];
        out_ += kHex[u & 15];
      } else {
        out_ += c;
      }
    }
    out_ += '"';
  }

  std::string out_;
  std::vector<bool> first_;
};

}  // namespace zorvel
