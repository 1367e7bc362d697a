// Saved trend files: the layout written, the round trip, and files that must load nothing.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <vector>

#include "support/trend_fixture.h"
#include "trendview/kurvex/trend_file.h"

namespace {

using trendtest::TrendTest;

class TrendFileTest : public TrendTest {
 protected:
  void SetUp() override {
    TrendTest::SetUp();
    path = ::testing::TempDir() + "trend_" + std::to_string(getpid()) + ".trd";
    std::remove(path.c_str());
  }
  void TearDown() override {
    std::remove(path.c_str());
    TrendTest::TearDown();
  }
  // A trend of 3 analog and 2 digital channels of 10 slots with `n` samples in it.
  KurvanHandle Filled(int n) {
    KurvanHandle h = Make(3, 500, 10, 1, 3, 2);
    for (int i = 0; i < n; ++i) {
      const float a[3] = {i * 1.0f, i * 2.0f, -1.0f * i};
      const unsigned char d[2] = {static_cast<unsigned char>(i & 1), 1};
      KurvanCycle(h, a, d, 1);
    }
    return h;
  }
  std::vector<uint8_t> Bytes(KurvanHandle h) {
    std::vector<uint8_t> file;
    uint8_t* rec = KurvanLock(h);
    EXPECT_EQ(TrendFileEncode(rec, KurvanBlockBytes(h), &file), TREND_FILE_OK);
    KurvanUnlock(h);
    return file;
  }
  void Write(const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  std::string path;
};

TEST_F(TrendFileTest, SavedFileHasTheLayoutAndLoadsBackWhole) {
  KurvanHandle h = Filled(13);  // wrapped once: head 3
  uint8_t* rec = KurvanLock(h);
  TrendPutU16(rec, TREND_REC_RING_WORD, 0xBEEF);
  TrendPutU32(rec, TREND_REC_CLEARED, 77);
  TrendPutU32(rec, TREND_REC_VIEWER, 4242);
  const uint32_t size = TrendGetU32(rec, 4);
  std::vector<uint8_t> live(rec, rec + size);
  KurvanUnlock(h);
  ASSERT_EQ(TrendFileSave(h, path.c_str()), TREND_FILE_OK);
  EXPECT_NE(access((path + ".tmp").c_str(), F_OK), 0);  // renamed into place

  const std::vector<uint8_t> file = Bytes(h);
  ASSERT_EQ(file.size(), size - 18u);
  EXPECT_EQ(trendtest::ReadText(path).size(), file.size());
  EXPECT_EQ(TrendGetU32(file.data(), 0), TREND_MAGIC);
  EXPECT_EQ(TrendGetU32(file.data(), 4), size);
  EXPECT_EQ(std::memcmp(file.data() + 8, file.data() + 266, 32), 0);  // header twice
  EXPECT_EQ(TrendGetU16(file.data(), 8 + 2), 3);                      // head
  EXPECT_EQ(TrendGetU16(file.data(), 8 + 8), 0xBEEF);                 // ring word
  EXPECT_EQ(TrendGetU32(file.data(), 8 + 10), TrendGetU32(live.data(), 284));  // the f32 at +10
  EXPECT_EQ(TrendGetI32(file.data(), 8 + 14), 6);                     // 13 x 0.5 s
  EXPECT_EQ(TrendGetI32(file.data(), 8 + 18), 500);
  for (size_t i = 40; i < 266; ++i) ASSERT_EQ(file[i], 0) << i;
  EXPECT_EQ(std::memcmp(file.data() + 298, live.data() + 308, size - 316), 0);

  KurvanHandle loaded = 0;
  ASSERT_EQ(TrendFileLoad(path.c_str(), 0, &loaded), TREND_FILE_OK);
  Keep(loaded);
  const uint8_t* back = KurvanLock(loaded);
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(KurvanBlockBytes(loaded), size);
  EXPECT_EQ(TrendGetU32(back, 272), 0u);
  EXPECT_EQ(TrendGetU32(back, 300), 0u);
  EXPECT_EQ(std::memcmp(back + 276, live.data() + 276, 300 - 276), 0);
  EXPECT_EQ(std::memcmp(back + 304, live.data() + 304, 4), 0);
  EXPECT_EQ(std::memcmp(back + 308, live.data() + 308, size - 316), 0);
  EXPECT_EQ(back[12], 0);  // the mapping name is not in the file
  // The library's records end in spare bytes, so the newest digital slot survives too.
  TrendLayout l;
  ASSERT_TRUE(TrendCheckLayout(back, KurvanBlockBytes(loaded), &l));
  EXPECT_EQ(back[l.DigitalRing(1) + 9], 1);
  EXPECT_FLOAT_EQ(TrendAnalogForDrawing(back, l, 1, TrendSlotBefore(3, 0, 10)), 24.0f);
  KurvanUnlock(loaded);
}

TEST_F(TrendFileTest, ARecordWithoutChannelsHasNoRings) {
  KurvanHandle h = Make(0, 200, 10, 0, 0, 0);
  ASSERT_NE(h, 0);
  EXPECT_EQ(KurvanCycle(h, nullptr, nullptr, 1), 1);
  ASSERT_EQ(TrendFileSave(h, path.c_str()), TREND_FILE_OK);
  EXPECT_EQ(trendtest::ReadText(path).size(), 2666u + TREND_TAIL_BYTES - 18u);
  KurvanHandle loaded = 0;
  ASSERT_EQ(TrendFileLoad(path.c_str(), 0, &loaded), TREND_FILE_OK);
  Keep(loaded);
  const uint8_t* rec = KurvanLock(loaded);
  TrendLayout l;
  ASSERT_TRUE(TrendCheckLayout(rec, KurvanBlockBytes(loaded), &l));
  EXPECT_EQ(l.analog, 0);
  EXPECT_EQ(l.digital, 0);
  EXPECT_EQ(TrendGetU16(rec, TREND_REC_HEAD), 1);
  KurvanUnlock(loaded);
}

// Files that load nothing: each case changes the saved file of a sound trend.
TEST_F(TrendFileTest, BadFilesLoadNothing) {
  const std::vector<uint8_t> good = Bytes(Filled(4));
  const uint32_t body = 298 - 308;  // file offset of a record field = record offset + body
  struct Case {
    const char* what;
    size_t keep;  // bytes kept of the file (0 = all)
    uint32_t off;
    int bytes;
    uint32_t value;
    TrendFileStatus status;
  } cases[] = {
      {"empty", 0, 0, -1, 0, TREND_FILE_BAD_MAGIC},
      {"three bytes", 3, 0, 0, 0, TREND_FILE_BAD_MAGIC},
      {"other magic", 0, 0, 4, 0x59375836, TREND_FILE_BAD_MAGIC},
      {"magic only", 4, 0, 0, 0, TREND_FILE_BAD_SIZE},
      {"size 100", 0, 4, 4, 100, TREND_FILE_BAD_SIZE},
      {"size 8", 0, 4, 4, 8, TREND_FILE_BAD_SIZE},
      {"size 2665", 0, 4, 4, 2665, TREND_FILE_BAD_SIZE},
      {"size beyond any record", 0, 4, 4, TREND_MAX_RECORD_BYTES + 1, TREND_FILE_BAD_SIZE},
      {"size 0xFFFFFFFF", 0, 4, 4, 0xFFFFFFFF, TREND_FILE_BAD_SIZE},
      {"9 analog channels", 0, 316 + body, 2, 9, TREND_FILE_BAD_LAYOUT},
      {"17 digital channels", 0, 318 + body, 2, 17, TREND_FILE_BAD_LAYOUT},
      {"rings beyond S", 0, 312 + body, 2, 2000, TREND_FILE_BAD_LAYOUT},
      {"ring of 0", 0, 312 + body, 2, 0, TREND_FILE_BAD_LAYOUT},
      {"head beyond the ring", 0, 8 + 2, 2, 10, TREND_FILE_BAD_LAYOUT},
      {"valid beyond the ring", 0, 8 + 4, 2, 11, TREND_FILE_BAD_LAYOUT},
      {"cut before the counts", 300, 0, 0, 0, TREND_FILE_BAD_LAYOUT},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> f = good;
    if (c.bytes < 0) f.clear();
    if (c.keep) f.resize(c.keep);
    if (c.bytes == 4) TrendPutU32(f.data(), c.off, c.value);
    if (c.bytes == 2) TrendPutU16(f.data(), c.off, static_cast<uint16_t>(c.value));
    KurvanHandle h = 12345;
    EXPECT_EQ(TrendFileParse(f.data(), f.size(), 0, &h), c.status) << c.what;
    EXPECT_EQ(h, 0) << c.what;
    Write(f);
    EXPECT_EQ(TrendFileLoad(path.c_str(), 0, &h), c.status) << c.what;
    EXPECT_EQ(h, 0) << c.what;
  }
  KurvanHandle h = 1;
  EXPECT_EQ(TrendFileLoad((path + ".missing").c_str(), 0, &h), TREND_FILE_IO);
  EXPECT_EQ(h, 0);
  // What is no file is refused at once: a FIFO without a writer (it would wait for one), a
  // folder, a device that never ends.
  const std::string fifo = path + ".fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& other : {fifo, std::string("/tmp"), std::string("/dev/zero")}) {
    h = 1;
    EXPECT_EQ(TrendFileLoad(other.c_str(), 0, &h), TREND_FILE_IO) << other;
    EXPECT_EQ(h, 0) << other;
  }
  unlink(fifo.c_str());
}

TEST_F(TrendFileTest, ShortAndLongFilesLoadWhatTheSizeAllows) {
  KurvanHandle src = Filled(4);
  std::vector<uint8_t> file = Bytes(src);
  const uint32_t size = TrendGetU32(file.data(), 4);
  // Cut inside the rings: the part read is there, the rest of the block is as allocated.
  std::vector<uint8_t> cut(file.begin(), file.begin() + 2666 - 10 + 8);  // two analog slots
  KurvanHandle h = 0;
  ASSERT_EQ(TrendFileParse(cut.data(), cut.size(), 0, &h), TREND_FILE_OK);
  Keep(h);
  const uint8_t* rec = KurvanLock(h);
  EXPECT_FLOAT_EQ(TrendGetF32(rec, 2666 + 4), 1.0f);
  EXPECT_EQ(TrendGetU32(rec, 2666 + 8), 0u);
  KurvanUnlock(h);
  // Longer than S - 18: only S - 316 record bytes are taken, the last 8 bytes of the block stay.
  file.resize(file.size() + 100, 0xAA);
  ASSERT_EQ(TrendFileParse(file.data(), file.size(), 0, &h), TREND_FILE_OK);
  Keep(h);
  rec = KurvanLock(h);
  EXPECT_EQ(KurvanBlockBytes(h), size);
  for (uint32_t i = size - 8; i < size; ++i) EXPECT_EQ(rec[i], 0) << i;
  KurvanUnlock(h);
}

TEST_F(TrendFileTest, SavingReplacesWholeOrFailsCleanly) {
  KurvanHandle h = Filled(2);
  Write(std::vector<uint8_t>(50000, 0x11));
  ASSERT_EQ(TrendFileSave(h, path.c_str()), TREND_FILE_OK);
  EXPECT_EQ(trendtest::ReadText(path).size(), Bytes(h).size());
  const std::string nowhere = ::testing::TempDir() + "no_such_folder_" + std::to_string(getpid()) + "/t.trd";
  EXPECT_EQ(TrendFileSave(h, nowhere.c_str()), TREND_FILE_IO);
  EXPECT_EQ(TrendFileSave(987654, path.c_str()), TREND_FILE_NO_RECORD);
  // A private record whose layout is not sound is not written.
  KurvanHandle blank = Keep(KurvanAlloc(0, 3000));
  EXPECT_EQ(TrendFileSave(blank, path.c_str()), TREND_FILE_BAD_LAYOUT);
  EXPECT_EQ(trendtest::ReadText(path).size(), Bytes(h).size());
}

}  // namespace
