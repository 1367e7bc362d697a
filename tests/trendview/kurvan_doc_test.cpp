// The trend document: hold on and off, clearing, the channel configuration, loading and
// saving, and that no lock is left held.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "support/kurvan_fixture.h"
#include "trendview/channel_dialog.h"
#include "trendview/kurvan_ids.h"
#include "trendview/trend_doc.h"

namespace {

using kurvantest::ForeignLock;
using kurvantest::KurvanTest;
using kurvantest::LockIsFree;

// A view that counts the document's updates.
class CountingView : public CTrendView {
 public:
  explicit CountingView(CTrendDoc* doc) : CTrendView(doc, nullptr) {}
  intptr_t send(int, intptr_t, intptr_t) override { return 0; }
  void onUpdate() override { ++updates; }
  QWidget* widget() override { return nullptr; }
  int updates = 0;
};

KurvanCmdUI State(CTrendDoc& doc, int id) {
  KurvanCmdUI ui;
  EXPECT_TRUE(doc.onCommand(id, &ui)) << id;
  return ui;
}

class DocTest : public KurvanTest {
 protected:
  // 2 analog and 2 digital channels of 10 slots with n samples (analog 0 = i, 1 = 2i).
  KurvanHandle Filled(int n) {
    KurvanHandle h = Make(2, 500, 10, 0, 2, 2);
    for (int i = 0; i < n; ++i) Cycle(h, {1.0f * i, 2.0f * i}, {static_cast<unsigned char>(i & 1), 1});
    return h;
  }
  std::string File(const char* name) { return folder + "/" + name; }
};

TEST_F(DocTest, HoldWorksOnASnapshotUntilHoldOff) {
  KurvanHandle h = Filled(3);
  CTrendDoc doc(h);
  CountingView view(&doc);
  EXPECT_TRUE(State(doc, KURVAN_CMD_HOLD).enabled);
  EXPECT_FALSE(State(doc, KURVAN_CMD_HOLD).checked);

  doc.onCommand(KURVAN_CMD_HOLD, nullptr);
  ASSERT_TRUE(doc.hold());
  const KurvanHandle snapshot = doc.trendHandle();
  EXPECT_NE(snapshot, h);
  EXPECT_EQ(doc.liveHandle(), h);
  EXPECT_TRUE(State(doc, KURVAN_CMD_HOLD).checked);
  EXPECT_FALSE(State(doc, KURVAN_CMD_CLEAR).enabled);
  EXPECT_TRUE(LockIsFree(h));
  EXPECT_TRUE(LockIsFree(snapshot));

  // The live trend goes on; the snapshot and the pointers into it do not.
  Cycle(h, {99.0f, 98.0f});
  const uint8_t* rec = doc.Lock();
  ASSERT_NE(rec, nullptr);
  EXPECT_EQ(doc.analogSamples(0), rec + TREND_REC_SAMPLES);
  EXPECT_EQ(doc.digitalSamples(1), rec + TREND_REC_SAMPLES + 2 * 10 * 4 + 10);
  EXPECT_EQ(doc.analogSamples(2), nullptr);
  EXPECT_FLOAT_EQ(doc.analogValue(1, 2), 4.0f);
  EXPECT_EQ(doc.analogBits(0, 3), TREND_GAP_ANALOG_BITS);
  doc.Unlock();

  doc.onCommand(KURVAN_CMD_HOLD, nullptr);
  EXPECT_FALSE(doc.hold());
  EXPECT_EQ(doc.trendHandle(), h);
  EXPECT_EQ(KurvanBlockBytes(snapshot), 0u) << "the snapshot is destroyed";
  rec = doc.Lock();
  ASSERT_NE(rec, nullptr);
  EXPECT_EQ(doc.analogSamples(1), rec + TREND_REC_SAMPLES + 10 * 4);
  EXPECT_FLOAT_EQ(doc.analogValue(0, 3), 99.0f);
  doc.Unlock();
  EXPECT_EQ(view.updates, 2);
  EXPECT_TRUE(LockIsFree(h));
}

TEST_F(DocTest, HoldOnWithAFailingCopyStaysLive) {
  // A private record whose layout does not hold (no ring): it locks, but cannot be copied.
  KurvanHandle h = Keep(KurvanAlloc(0, 3000));
  CTrendDoc doc(h);
  doc.onCommand(KURVAN_CMD_HOLD, nullptr);
  EXPECT_FALSE(doc.hold());
  EXPECT_EQ(doc.trendHandle(), h);
  EXPECT_FALSE(State(doc, KURVAN_CMD_HOLD).checked);
  EXPECT_TRUE(State(doc, KURVAN_CMD_HOLD).enabled);
  EXPECT_TRUE(LockIsFree(h));
  // A document without a record cannot hold either.
  CTrendDoc none(0);
  none.HoldOn();
  EXPECT_FALSE(none.hold());
}

TEST_F(DocTest, HoldOffTakesThePointersFromTheLiveRecordAsItIsNow) {
  KurvanHandle h = Filled(2);
  CTrendDoc doc(h);
  doc.HoldOn();
  ASSERT_TRUE(doc.hold());
  Edit(h, [](uint8_t* rec) { TrendPutU16(rec, TREND_REC_ANALOG_COUNT, 1); });
  doc.HoldOff();
  ASSERT_NE(doc.Lock(), nullptr);
  EXPECT_EQ(doc.layout().analog, 1);
  EXPECT_NE(doc.analogSamples(0), nullptr);
  EXPECT_EQ(doc.analogSamples(1), nullptr);
  doc.Unlock();
}

TEST_F(DocTest, DestroyingAHeldDocumentDestroysItsSnapshot) {
  KurvanHandle h = Filled(1);
  KurvanHandle snapshot;
  {
    CTrendDoc doc(h);
    doc.HoldOn();
    snapshot = doc.trendHandle();
    ASSERT_NE(KurvanBlockBytes(snapshot), 0u);
  }
  EXPECT_EQ(KurvanBlockBytes(snapshot), 0u);
  EXPECT_NE(KurvanBlockBytes(h), 0u) << "the live record stays";
  EXPECT_TRUE(LockIsFree(h));
}

TEST_F(DocTest, ClearTrendZeroesTheRingHeaderUnderTheLibrarysLock) {
  static constexpr uint32_t kFields[] = {TREND_REC_HEAD, TREND_REC_VALID, TREND_REC_PENDING, TREND_REC_TIME_S,
                                  TREND_REC_TIME_MS, TREND_REC_TIME_BASE};
  auto fields = [](KurvanHandle h) {
    std::vector<int64_t> v;
    const uint8_t* rec = KurvanLock(h);
    for (uint32_t off : kFields) v.push_back(off >= TREND_REC_TIME_S ? TrendGetI32(rec, off) : TrendGetU16(rec, off));
    KurvanUnlock(h);
    return v;
  };
  struct Case {
    const char* what;
    int answer;
    bool foreignLock;
    bool cleared;
  } cases[] = {{"no", KURVAN_ID_NO, false, false}, {"yes", KURVAN_ID_YES, false, true},
               {"locked elsewhere", KURVAN_ID_YES, true, false}};
  for (const Case& c : cases) {
    KurvanHandle h = Filled(4);
    const std::vector<int64_t> before = fields(h);
    ASSERT_NE(before[1], 0);
    CTrendDoc doc(h);
    CountingView view(&doc);
    boxAnswer = c.answer;
    boxes.clear();
    {
      std::unique_ptr<ForeignLock> other;
      if (c.foreignLock) other = std::make_unique<ForeignLock>(h);
      doc.onCommand(KURVAN_CMD_CLEAR, nullptr);
    }
    EXPECT_EQ(boxes.size(), 1u) << c.what;
    EXPECT_EQ(fields(h), c.cleared ? std::vector<int64_t>(6, 0) : before) << c.what;
    EXPECT_EQ(view.updates, c.answer == KURVAN_ID_YES ? 1 : 0) << c.what;
    EXPECT_TRUE(LockIsFree(h)) << c.what;
  }
}

TEST_F(DocTest, ChannelConfigurationWritesBackOnlyWhenConfirmed) {
  KurvanHandle h = Filled(1);
  auto channelBytes = [](KurvanHandle h) {
    const uint8_t* rec = KurvanLock(h);
    std::vector<uint8_t> v(rec + TREND_REC_ANALOG, rec + TREND_REC_LIBRARY);
    KurvanUnlock(h);
    return v;
  };
  const std::vector<uint8_t> before = channelBytes(h);
  CTrendDoc doc(h);
  CountingView view(&doc);
  EXPECT_TRUE(State(doc, KURVAN_CMD_CONFIGURE).enabled);

  KurvanChannelData seen;
  onDialog = [&](QDialog* d) {
    seen = *static_cast<CChannelDialog*>(d)->data();
    return KURVAN_ID_CANCEL;
  };
  doc.onCommand(KURVAN_CMD_CONFIGURE, nullptr);
  EXPECT_EQ(TrendGetU32(seen.config, KURVAN_CFG_SIZE), KURVAN_CONFIG_BYTES);
  EXPECT_EQ(seen.analogCount, 2);
  EXPECT_EQ(seen.digitalCount, 2);
  EXPECT_EQ(TrendGetText(seen.config, KURVAN_CFG_ANALOG, 17), "Analog 1");
  EXPECT_EQ(channelBytes(h), before);
  EXPECT_FALSE(doc.configChanged());
  EXPECT_EQ(view.updates, 0);
  Edit(h, [](uint8_t* rec) { EXPECT_EQ(TrendGetU16(rec, TREND_REC_CONFIG_CHANGED), 0); });

  onDialog = [](QDialog* d) {
    TrendPutText(static_cast<CChannelDialog*>(d)->data()->config, KURVAN_CFG_ANALOG, 17, "Renamed");
    return KURVAN_ID_OK;
  };
  doc.onCommand(KURVAN_CMD_CONFIGURE, nullptr);
  Edit(h, [](uint8_t* rec) {
    EXPECT_EQ(TrendGetText(rec, TrendAnalogChannel(0), 17), "Renamed");
    EXPECT_EQ(TrendGetU16(rec, TREND_REC_CONFIG_CHANGED), 1);
  });
  EXPECT_TRUE(doc.configChanged());
  EXPECT_EQ(view.updates, 1);
  EXPECT_TRUE(LockIsFree(h));

  // Held, the live record takes the change.
  doc.HoldOn();
  onDialog = [](QDialog* d) {
    TrendPutText(static_cast<CChannelDialog*>(d)->data()->config, KURVAN_CFG_ANALOG, 17, "While held");
    return KURVAN_ID_OK;
  };
  doc.onCommand(KURVAN_CMD_CONFIGURE, nullptr);
  Edit(h, [](uint8_t* rec) { EXPECT_EQ(TrendGetText(rec, TrendAnalogChannel(0), 17), "While held"); });
  doc.HoldOff();

  // The record's owner can switch the command off; without a record it is on.
  Edit(h, [](uint8_t* rec) { TrendPutU16(rec, TREND_REC_CONFIG_ENABLED, 0); });
  EXPECT_FALSE(State(doc, KURVAN_CMD_CONFIGURE).enabled);
  CTrendDoc none(0);
  EXPECT_TRUE(State(none, KURVAN_CMD_CONFIGURE).enabled);
  dialogs.clear();
  none.onCommand(KURVAN_CMD_CONFIGURE, nullptr);
  EXPECT_TRUE(dialogs.empty()) << "no record, no dialog";
}

TEST_F(DocTest, ALoadedFileIsHeldForGood) {
  KurvanHandle h = Filled(12);  // wrapped: head 2
  Edit(h, [](uint8_t* rec) { TrendPutU32(rec, TREND_REC_VIEWER, 1234); });
  CTrendDoc live(h);
  ASSERT_EQ(live.Save(File("saved.krv")), TREND_FILE_OK);

  CTrendDoc doc(0);
  CountingView view(&doc);
  ASSERT_EQ(doc.Load(File("saved.krv")), TREND_FILE_OK);
  EXPECT_TRUE(beeps.empty());
  EXPECT_TRUE(doc.hold());
  EXPECT_FALSE(doc.holdAllowed());
  EXPECT_TRUE(State(doc, KURVAN_CMD_HOLD).checked);
  EXPECT_FALSE(State(doc, KURVAN_CMD_HOLD).enabled);
  doc.onCommand(KURVAN_CMD_HOLD, nullptr);
  EXPECT_TRUE(doc.hold()) << "a loaded file cannot leave hold";
  EXPECT_EQ(view.updates, 1);
  const uint8_t* rec = doc.Lock();
  ASSERT_NE(rec, nullptr);
  EXPECT_EQ(TrendGetU32(rec, TREND_REC_VIEWER), 0u);
  EXPECT_EQ(TrendGetU16(rec, TREND_REC_HEAD), 2);
  EXPECT_EQ(doc.layout().digital, 2);
  EXPECT_FLOAT_EQ(doc.analogValue(1, 1), 22.0f);
  doc.Unlock();
  const KurvanHandle file = doc.trendHandle();
  EXPECT_TRUE(LockIsFree(file));
}

TEST_F(DocTest, FilesThatDoNotFitLeaveTheDocumentEmpty) {
  KurvanHandle h = Filled(3);
  CTrendDoc live(h);
  ASSERT_EQ(live.Save(File("good.krv")), TREND_FILE_OK);
  std::ifstream in(File("good.krv"), std::ios::binary);
  const std::vector<char> good((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  struct Case {
    const char* what;
    size_t offset;
    char value;
    TrendFileStatus status;
  } cases[] = {
      {"magic", 0, 'x', TREND_FILE_BAD_MAGIC},
      {"analog count 9", 298 + (TREND_REC_ANALOG_COUNT - TREND_REC_PERIOD), 9, TREND_FILE_BAD_LAYOUT},
      {"size 8", 5, 0, TREND_FILE_BAD_SIZE},
  };
  for (const Case& c : cases) {
    std::vector<char> bytes = good;
    bytes[c.offset] = c.value;
    if (c.offset == 5) bytes[4] = 8;
    std::ofstream(File("bad.krv"), std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    beeps.clear();
    CTrendDoc doc(0);
    EXPECT_EQ(doc.Load(File("bad.krv")), c.status) << c.what;
    EXPECT_EQ(beeps, std::vector<int>{-1}) << c.what;
    EXPECT_EQ(doc.trendHandle(), 0) << c.what;
    EXPECT_FALSE(doc.hold()) << c.what;
    EXPECT_TRUE(doc.holdAllowed()) << c.what;
  }
  // A file that is not there is an error of its own, without a beep.
  beeps.clear();
  CTrendDoc doc(0);
  EXPECT_EQ(doc.Load(File("missing.krv")), TREND_FILE_IO);
  EXPECT_TRUE(beeps.empty());
  // Saving without a record beeps.
  EXPECT_EQ(doc.Save(File("none.krv")), TREND_FILE_NO_RECORD);
  EXPECT_EQ(beeps, std::vector<int>{-1});
  // A record locked elsewhere cannot be saved either.
  beeps.clear();
  {
    ForeignLock other(h);
    EXPECT_EQ(live.Save(File("locked.krv")), TREND_FILE_NO_RECORD);
  }
  EXPECT_EQ(beeps, std::vector<int>{-1});
}

}  // namespace
