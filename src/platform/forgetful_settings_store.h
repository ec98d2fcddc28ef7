// A settings store that keeps nothing: every read finds no value, every write is accepted and
// forgotten. For benchmarks, fuzzers and tests that need a platform but no settings.
#pragma once

#include <optional>
#include <string>

#include "platform/platform.h"

namespace zorvel {

class ForgetfulSettingsStore : public SettingsStore {
 public:
  std::optional<std::string> Read(const std::string&, const std::string&,
                                  const std::string&) override {
    return std::nullopt;
  }
  bool Write(const std::string&, const std::string&, const std::string&,
             const std::string&) override {
    return true;
  }
};

}  // namespace zorvel
