// The settings store on disk: CONFIG_DIR/<key path>.ini, the key path's backslashes turned
// into directory separators, one [section] per game with Name=value lines in UTF-8.
#pragma once

#include <string>

#include "platform/platform.h"

namespace zorvel {

class IniSettingsStore : public SettingsStore {
 public:
  explicit IniSettingsStore(std::string configDir) : configDir_(std::move(configDir)) {}

  std::optional<std::string> Read(const std::string& keyPath, const std::string& section,
                                  const std::string& name) override;
  bool Write(const std::string& keyPath, const std::string& section, const std::string& name,
             const std::string& value) override;

  // The file that holds `keyPath`, or empty when the path would leave the config directory.
  std::string FileFor(const std::string& keyPath) const;

 private:
  std::string configDir_;
};

}  // namespace zorvel
