// A log of calls for recording fakes: each call is one line "Name(arg, arg, ...)".
#pragma once

#include <sstream>
#include <string>
#include <vector>

class CallLog {
 public:
  template <typename... Args>
  void add(const char* name, const Args&... args) {
    std::ostringstream line;
    line << name << '(';
    [[maybe_unused]] const char* sep = "";
    ((line << sep << args, sep = ", "), ...);
    line << ')';
    calls_.push_back(line.str());
  }
  const std::vector<std::string>& calls() const { return calls_; }
  void clear() { calls_.clear(); }

 private:
  std::vector<std::string> calls_;
};
