// Records the saves that blocks hand to the parameter protocol's save hook, and answers each
// with a chosen result (0 queued, 1 write ring full). Installed for the recorder's lifetime.
#pragma once

#include <cstdint>
#include <vector>

#include "runtime/fb_param.h"

struct SaveCall {
  FbSaveGroup group;
  uint16_t block, first, count;
  bool operator==(const SaveCall&) const = default;
};

class SaveLog {
 public:
  explicit SaveLog(uint8_t result = 0) : previous_(FB_SetSaveHook(record)) {
    calls() = {};
    answer() = result;
  }
  ~SaveLog() { FB_SetSaveHook(previous_); }
  SaveLog(const SaveLog&) = delete;
  SaveLog& operator=(const SaveLog&) = delete;

  // Later saves answer `result`.
  void answerWith(uint8_t result) { answer() = result; }
  std::vector<SaveCall>& saves() { return calls(); }
  // The calls of one group.
  std::vector<SaveCall> saves(FbSaveGroup group) const {
    std::vector<SaveCall> v;
    for (const SaveCall& c : calls()) {
      if (c.group == group) v.push_back(c);
    }
    return v;
  }

 private:
  static std::vector<SaveCall>& calls() {
    static std::vector<SaveCall> v;
    return v;
  }
  static uint8_t& answer() {
    static uint8_t a = 0;
    return a;
  }
  static uint8_t record(FbSaveGroup group, uint16_t block, uint16_t first, uint16_t count) {
    calls().push_back({group, block, first, count});
    return answer();
  }
  FbSaveHook previous_;
};
