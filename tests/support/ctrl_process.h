// Test process for the controller tests: a dead time followed by two first-order lags,
// x = x0 + gain * lag2(lag1(u delayed)) with u = Y, or coolGain * Y for a negative
// (cooling) output; advanced once per controller cycle. Times are in cycles.
#pragma once

#include <array>
#include <cstddef>

struct CtrlTestProcess {
  float x0 = 10, gain = 1, coolGain = 1;
  size_t delay = 20;
  float t1 = 100, t2 = 50;

  // At rest at the output y.
  void settle(float y) {
    line_.fill(y);
    lag1_ = lag2_ = y;
  }
  float x() const { return x0 + gain * lag2_; }
  // One cycle with the output y; returns the new process value.
  float step(float y) {
    if (y < 0) y *= coolGain;
    const size_t n = delay < line_.size() ? delay : line_.size();
    float delayed = y;
    if (n > 0) {
      delayed = line_[at_];
      line_[at_] = y;
      at_ = (at_ + 1) % n;
    }
    lag1_ += (delayed - lag1_) / t1;
    lag2_ += (lag1_ - lag2_) / t2;
    return x();
  }

 private:
  std::array<float, 256> line_{};
  size_t at_ = 0;
  float lag1_ = 0, lag2_ = 0;
};
