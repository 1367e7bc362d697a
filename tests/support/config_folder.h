// A settings folder of the test's own: XDG_CONFIG_HOME points into a new temporary folder
// while the object lives; the folder goes and the variable returns to what it was at the end.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>

class ScopedConfigFolder {
 public:
  explicit ScopedConfigFolder(const std::string& name) {
    std::string pattern = (std::filesystem::temp_directory_path() / (name + "_cfg_XXXXXX")).string();
    if (mkdtemp(pattern.data())) root_ = pattern;
    const char* old = std::getenv("XDG_CONFIG_HOME");
    hadOld_ = old != nullptr;
    if (old) old_ = old;
    setenv("XDG_CONFIG_HOME", root_.c_str(), 1);
  }
  ~ScopedConfigFolder() {
    if (hadOld_)
      setenv("XDG_CONFIG_HOME", old_.c_str(), 1);
    else
      unsetenv("XDG_CONFIG_HOME");
    std::error_code ignored;
    if (!root_.empty()) std::filesystem::remove_all(root_, ignored);
  }
  ScopedConfigFolder(const ScopedConfigFolder&) = delete;
  ScopedConfigFolder& operator=(const ScopedConfigFolder&) = delete;
  const std::string& root() const { return root_; }

 private:
  std::string root_;
  std::string old_;
  bool hadOld_ = false;
};
