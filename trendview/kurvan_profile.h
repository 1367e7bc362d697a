// The trend viewer's settings ("the profile"). Until the registry key is set they live in
// the program's private initialisation file, "<program>.ini" in the settings folder
// ($XDG_CONFIG_HOME, default ~/.config), in the private-profile form. Once it is set, they
// live under the company and the application key: "<settings folder>/<company>/<key>.ini",
// written with QSettings in INI format. Reads never fail: a missing key gives the default.
#pragma once

#include <string>

class CKurvanProfile {
 public:
  // The private initialisation file of the program with this base name; the application key
  // starts as the same name.
  void setProgram(const std::string& baseName);
  // From now on the settings live under the company's key.
  void setRegistryKey(const std::string& company);
  // Replaces the application key; a name that is not a plain file name (empty, "." or "..",
  // a '/' or a control character in it, longer than 255 bytes) is refused: false.
  bool setAppKey(const std::string& key);
  const std::string& appKey() const { return appKey_; }
  bool usesRegistry() const { return !company_.empty(); }
  // The file the settings are read from and written to now.
  std::string file() const;

  int getInt(const std::string& section, const std::string& key, int fallback) const;
  std::string getString(const std::string& section, const std::string& key, const std::string& fallback) const;
  bool has(const std::string& section, const std::string& key) const;
  bool writeInt(const std::string& section, const std::string& key, int value);
  bool writeString(const std::string& section, const std::string& key, const std::string& value);

  // The settings folder: $XDG_CONFIG_HOME, else ~/.config.
  static std::string settingsFolder();

 private:
  std::string program_ = "Kurvan";
  std::string company_;
  std::string appKey_ = "Kurvan";
};
