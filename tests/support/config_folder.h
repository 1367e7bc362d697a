// A settings folder of the test's own: XDG_CONFIG_HOME points into a fresh folder below the
// test's private folder while the object lives; the folder goes and the variable returns to
// what the test main gave it at the end.
#pragma once

#include <filesystem>
#include <string>

#include "support/test_env.h"

class ScopedConfigFolder {
 public:
  explicit ScopedConfigFolder(const std::string& name) : root_(testenv::FreshFolder(name + "_cfg")) {
    setenv("XDG_CONFIG_HOME", root_.c_str(), 1);
  }
  ~ScopedConfigFolder() {
    testenv::Reset("XDG_CONFIG_HOME");
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }
  ScopedConfigFolder(const ScopedConfigFolder&) = delete;
  ScopedConfigFolder& operator=(const ScopedConfigFolder&) = delete;
  const std::string& root() const { return root_; }

 private:
  std::string root_;
};
