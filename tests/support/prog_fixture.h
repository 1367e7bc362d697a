// Programmer test fixture: an APROG (or a DPROG) and a chain of data blocks in a block
// fixture, run cycle by cycle in the order of an engineering whose data blocks run before the
// programmer.
#pragma once

#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "blocks/prog/prog.h"
#include "blocks/register_all.h"
#include "runtime/fb_param.h"
#include "runtime/fw_clock.h"
#include "runtime/fw_mode.h"
#include "support/block_fixture.h"

// Programmer tests start stopped (parameter writes apply at once) with the clock at its
// default, and leave both so.
class ProgClockTest : public testing::Test {
 protected:
  ~ProgClockTest() override {
    g_fwRunMode = FW_RUN_MODE_STOP;
    g_fwClock.now = FwClockFields{};
  }
};

// The switching pattern whose decimal digits are the bits of n: 12 = 0b1100 gives 1100.
inline float progPatternOf(unsigned n) {
  float pattern = 0.0f, place = 1.0f;
  for (; n; n >>= 1, place *= 10.0f) pattern += static_cast<float>(n & 1u) * place;
  return pattern;
}

struct ProgSegment {
  float time;
  float value;
  uint16_t type = PROG_SEG_TIME;  // APRGD2 only
};

class ProgFixture {
 public:
  static constexpr uint16_t kProg = 100;
  static constexpr uint16_t kFirstData = 200;

  // Both programmer types have "DBlock" and "run" at the same places.
  static_assert(int{APROG_AI_DBLOCK} == int{DPROG_AI_DBLOCK} &&
                int{APROG_DI_RUN} == int{DPROG_DI_RUN});

  // Creates the programmer (APROG or DPROG) in the time group.
  explicit ProgFixture(uint16_t group = 1, uint16_t type = FB_TYPE_APROG)
      : group_(group), type_(type) {
    fx.create(type, kProg, group);
  }

  // Adds a data block with the segments (the rest stay "no segment") behind the last one of
  // the chain; the first one feeds the programmer's "DBlock". Returns its number.
  uint16_t addData(uint16_t type, const std::vector<ProgSegment>& segments) {
    const auto block = static_cast<uint16_t>(kFirstData + data_.size());
    fx.create(type, block, group_);
    for (size_t i = 0; i < segments.size(); ++i)
      setSegment(block, static_cast<unsigned>(i), segments[i]);
    if (data_.empty()) {
      link(kProg, APROG_AI_DBLOCK + 1, block);
    } else {
      link(data_.back(), 1, block);
    }
    data_.push_back(block);
    return block;
  }

  // Segment i (0-based) of a data block, current and pending copies.
  void setSegment(uint16_t block, unsigned i, const ProgSegment& s) {
    setFloat(block, static_cast<uint16_t>(2 * i + 1), s.time);
    setFloat(block, static_cast<uint16_t>(2 * i + 2), s.value);
    FbLayout L = fx.layout(block);
    if (L.type == FB_TYPE_APRGD2) {
      fx.wordParam(block, static_cast<uint16_t>(i + 1)) = s.type;
      fx.wordParam(block, static_cast<uint16_t>(i + 1), true) = s.type;
    }
  }

  // The last data block's input takes the first one's number: a chain without end.
  void closeLoop() { link(data_.back(), 1, data_.front()); }

  // Wires analog input `input` (1-based) of `block` to output "DBlock" of `source`.
  static void link(uint16_t block, uint16_t input, uint16_t source) {
    uint32_t handle = 0;
    FbRef* ref = nullptr;
    ASSERT_EQ(FB_AnalogOutputHandle(source, 1, &handle), 1);
    ASSERT_EQ(FB_GetAnalogInputRef(block, input, &ref), 1);
    *ref = handle;
  }

  void setFloat(uint16_t block, uint16_t index, float v) {
    fx.floatParam(block, index) = v;
    fx.floatParam(block, index, true) = v;
  }
  void setWord(uint16_t block, uint16_t index, uint16_t v) {
    fx.wordParam(block, index) = v;
    fx.wordParam(block, index, true) = v;
  }
  // A word value as the start-up pass takes it over.
  void setValue(uint16_t index, uint16_t v) { fx.wordValue(kProg, index, true) = v; }
  void setRun(uint16_t on) { fx.setDigitalInput(kProg, APROG_DI_RUN + 1, on); }
  void setXVal(float v) { fx.setAnalogInput(kProg, APROG_AI_XVAL + 1, v); }

  // The start-up pass of the data blocks and the programmer.
  void init() {
    for (uint16_t b : data_) fx.init(b);
    fx.init(kProg);
  }
  // Init, then the cycles until the settle time has passed and the chain is read.
  void start() {
    init();
    cycle(settleCycles());
  }
  int settleCycles() const { return static_cast<int>(0.8f / FB_GroupCycleTime(group_) + 0.5f); }

  void cycle(int n = 1) {
    for (int k = 0; k < n; ++k) {
      for (uint16_t b : data_) fx.run(b);
      fx.run(kProg);
    }
  }

  float out(uint8_t output) const { return fx.analogOut(kProg, output + 1); }
  uint16_t dout(uint8_t output) const { return fx.digitalOut(kProg, output + 1); }
  const FbProgState& state() const { return *PROG_StateInUse(kProg); }
  FbProgState& stateForEdit() {
    ProgWork* w = PROG_Work(kProg);
    return w->copy[w->own.copyInUse & 1];
  }
  ProgPage& page() { return PROG_Work(kProg)->page; }
  ProgOwn& own() { return PROG_Work(kProg)->own; }
  const std::vector<uint16_t>& data() const { return data_; }

  uint8_t request(FbParamRequest r, uint16_t* bad = nullptr) {
    const uint16_t* inst = FB_GetInstance(r.block());
    const FbTypeRecord* rec = inst ? FB_GetType(inst[FB_HDR_TYPE]) : nullptr;
    if (!rec || !rec->param) {
      ADD_FAILURE() << "no parameter handler for block " << r.block();
      return 0xFF;
    }
    uint16_t unused = 0;
    return rec->param(&r, bad ? bad : &unused);
  }
  // A read request's one-byte answer, or 0xFF when refused.
  uint8_t readByte(int16_t id) {
    FbParamRequest r(kProg, id);
    uint16_t bad = 0;
    const FbTypeRecord* rec = FB_GetType(type_);
    return rec->param(&r, &bad) == FB_OK ? r.u8(FB_REQUEST_VALUE) : 0xFF;
  }

  // A read request's f32 answer, or NaN (and a failure) when refused.
  float readFloat(int16_t id) {
    FbParamRequest r(kProg, id);
    uint16_t bad = 0;
    if (FB_GetType(type_)->param(&r, &bad) != FB_OK) {
      ADD_FAILURE() << "read " << id << " refused";
      return std::numeric_limits<float>::quiet_NaN();
    }
    return r.f32(FB_REQUEST_VALUE);
  }

  // Sets the firmware clock (the clock snapshot and the outage of a power-up read it).
  static void setClock(uint16_t year, uint16_t month, uint16_t day, uint16_t hour,
                       uint16_t minute, uint16_t second = 0) {
    g_fwClock.now = FwClockFields{.year = year, .month = month, .day = day, .hour = hour,
                                  .minute = minute, .weekday = FW_Weekday(year, month, day),
                                  .second = second};
  }

  BlockFixture fx{BLK_RegisterAllTypes};

 private:
  uint16_t group_;
  uint16_t type_;
  std::vector<uint16_t> data_;
};
