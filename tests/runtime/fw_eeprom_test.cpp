// EEPROM write-back: the two rings, page-bounded chunks, the per-tick budget and the
// internal EEPROM's word alignment.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "runtime/fw_defer.h"
#include "runtime/fw_eeprom.h"

namespace {

struct Chunk {
  uint32_t address;
  uint32_t length;
};
std::vector<Chunk> g_chunks;
bool g_writerFails = false;

bool recordingWriter(uint32_t address, const uint8_t* data, uint32_t length) {
  if (g_writerFails) return false;
  g_chunks.push_back({address, length});
  std::memcpy(FW_MainEepromBase() + address, data, length);
  return true;
}

class EepromTest : public ::testing::Test {
 protected:
  uint8_t image[FW_MAIN_EEPROM_SIZE] = {};

  void SetUp() override {
    FW_ResetEeprom();
    FW_ClearStepCodes();
    std::memset(g_fwInternalEeprom, 0, sizeof g_fwInternalEeprom);
    g_fwEeprom.present = 1;
    g_chunks.clear();
    g_writerFails = false;
    FW_BindMainEeprom(eeprom.data(), static_cast<uint32_t>(eeprom.size()));
    FW_SetMainEepromWriter(recordingWriter);
    for (uint32_t i = 0; i < sizeof image; ++i) image[i] = static_cast<uint8_t>(i * 7 + 1);
  }
  void TearDown() override {
    FW_SetMainEepromWriter(nullptr);
    FW_BindMainEeprom(nullptr, 0);
    FW_ResetEeprom();
  }

  std::vector<uint8_t> eeprom = std::vector<uint8_t>(FW_MAIN_EEPROM_SIZE, 0);
};

TEST_F(EepromTest, LongWriteDrainsInPageBoundedChunksInOneTick) {
  ASSERT_EQ(FW_QueueEepromWrite(image + 100, 100, 300), FW_QUEUE_OK);
  EXPECT_EQ(FW_EepromPending(), 1);
  FW_EepromWriteBack();

  ASSERT_EQ(g_chunks.size(), 4u);
  const uint32_t lengths[] = {28, 128, 128, 16};
  const uint32_t addresses[] = {100, 128, 256, 384};
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(g_chunks[i].length, lengths[i]) << "chunk " << i;
    EXPECT_EQ(g_chunks[i].address, addresses[i]) << "chunk " << i;
  }
  EXPECT_EQ(FW_EepromPending(), 0);
  EXPECT_EQ(std::memcmp(eeprom.data() + 100, image + 100, 300), 0);
  EXPECT_EQ(eeprom[99], 0);
  EXPECT_EQ(eeprom[400], 0);
}

TEST_F(EepromTest, AtMostTenMainChunksPerTick) {
  ASSERT_EQ(FW_QueueEepromWrite(image, 0, 2000), FW_QUEUE_OK);
  FW_EepromWriteBack();
  EXPECT_EQ(g_chunks.size(), 10u);
  EXPECT_EQ(FW_EepromPending(), 1);
  FW_EepromWriteBack();
  EXPECT_EQ(g_chunks.size(), 16u);  // 2000 = 15 x 128 + 80
  EXPECT_EQ(g_chunks.back().length, 80u);
  EXPECT_EQ(FW_EepromPending(), 0);
  EXPECT_EQ(std::memcmp(eeprom.data(), image, 2000), 0);
}

TEST_F(EepromTest, SeventeenthWriteIsRefusedAndTheRingWrapsAfterDraining) {
  for (uint32_t i = 0; i < FW_EEPROM_RING_ENTRIES; ++i) {
    ASSERT_EQ(FW_QueueEepromWrite(image + i, i, 1), FW_QUEUE_OK) << i;
  }
  const FwEepromWriteRing before = g_fwEeprom.main;
  EXPECT_EQ(FW_QueueEepromWrite(image + 500, 500, 1), FW_QUEUE_FULL);
  EXPECT_EQ(g_fwEeprom.main.writePos, before.writePos);
  EXPECT_EQ(g_fwEeprom.main.drainPos, before.drainPos);

  FW_EepromWriteBack();  // ten of the sixteen
  EXPECT_EQ(g_chunks.size(), 10u);
  for (uint32_t i = 0; i < 10; ++i) {
    EXPECT_EQ(FW_QueueEepromWrite(image + 600 + i, 600 + i, 1), FW_QUEUE_OK) << i;
  }
  EXPECT_EQ(FW_QueueEepromWrite(image + 700, 700, 1), FW_QUEUE_FULL);
  FW_EepromWriteBack();
  FW_EepromWriteBack();
  // Queue order is kept across the wrap.
  ASSERT_EQ(g_chunks.size(), 26u);
  for (uint32_t i = 0; i < 16; ++i) EXPECT_EQ(g_chunks[i].address, i);
  for (uint32_t i = 0; i < 10; ++i) EXPECT_EQ(g_chunks[16 + i].address, 600 + i);
  EXPECT_EQ(FW_EepromPending(), 0);
}

TEST_F(EepromTest, FailedChunksKeepTheEntryAndSetTheErrorBit) {
  g_fwEeprom.present = 0;
  ASSERT_EQ(FW_QueueEepromWrite(image + 100, 100, 300), FW_QUEUE_OK);
  const FwEepromWriteEntry before = g_fwEeprom.main.entries[0];
  FW_EepromWriteBack();
  EXPECT_TRUE(g_chunks.empty());
  EXPECT_EQ(g_fwErrorFlags & 1, 1);
  EXPECT_EQ(FW_EepromPending(), 1);
  EXPECT_EQ(g_fwEeprom.main.entries[0].address, before.address);
  EXPECT_EQ(g_fwEeprom.main.entries[0].remaining, before.remaining);
  EXPECT_EQ(g_fwEeprom.idle, 1);

  // A driver failure behaves the same; the entry is written once the EEPROM answers.
  g_fwEeprom.present = 1;
  g_writerFails = true;
  FW_EepromWriteBack();
  EXPECT_EQ(g_fwErrorFlags & 1, 1);
  g_writerFails = false;
  FW_EepromWriteBack();
  EXPECT_EQ(g_fwErrorFlags & 1, 0);
  EXPECT_EQ(FW_EepromPending(), 0);
  EXPECT_EQ(std::memcmp(eeprom.data() + 100, image + 100, 300), 0);
}

TEST_F(EepromTest, DefaultWriterCopiesIntoTheBoundImage) {
  FW_SetMainEepromWriter(nullptr);
  // The usual caller: the image itself is both the RAM area and the EEPROM content.
  FW_BindMainEeprom(image, sizeof image);
  image[39] = 2;
  ASSERT_EQ(FW_QueueEepromWrite(image + 39, 39, 1), FW_QUEUE_OK);
  FW_EepromWriteBack();
  EXPECT_EQ(image[39], 2);
  EXPECT_EQ(FW_EepromPending(), 0);

  // A RAM area elsewhere is copied to its EEPROM address.
  const uint8_t bytes[] = {1, 2, 3, 4, 5};
  ASSERT_EQ(FW_QueueEepromWrite(bytes, 126, 5), FW_QUEUE_OK);
  FW_EepromWriteBack();
  EXPECT_EQ(std::memcmp(image + 126, bytes, 5), 0);
}

TEST_F(EepromTest, RequestsThatCanNeverBeWrittenAreRefused) {
  struct Case {
    const char* what;
    bool internal;
    const void* ram;
    uint32_t address;
    uint32_t length;
  };
  const uint8_t outside[8] = {};
  const Case cases[] = {
      {"main: no RAM area", false, nullptr, 0, 4},
      {"main: crosses the end of the image", false, image, FW_MAIN_EEPROM_SIZE - 2, 4},
      {"main: beyond the image", false, image, FW_MAIN_EEPROM_SIZE, 1},
      {"main: length wraps the address", false, image, 16, 0xFFFFFFF8u},
      {"internal: RAM outside the data image", true, outside, 100, 4},
      {"internal: crosses 0x4000", true, g_fwInternalEeprom + 0x3FFE, 0x3FFE, 4},
      {"internal: widened word before the data image", true, g_fwInternalEeprom + 1, 6150, 4},
      {"internal: widened word past the data image", true, g_fwInternalEeprom + 0x3FFE, 0x1001, 2},
  };
  for (const Case& c : cases) {
    const uint8_t r = c.internal ? FW_QueueInternalEepromWrite(c.ram, c.address, c.length)
                                 : FW_QueueEepromWrite(c.ram, c.address, c.length);
    EXPECT_EQ(r, FW_QUEUE_BAD) << c.what;
  }
  EXPECT_EQ(FW_EepromPending(), 0);
  EXPECT_EQ(FW_InternalEepromPending(), 0);
  EXPECT_EQ(g_fwEeprom.main.writePos, 0);
  EXPECT_EQ(g_fwEeprom.internal.writePos, 0);
  // The last word of each memory can be written.
  EXPECT_EQ(FW_QueueEepromWrite(image, FW_MAIN_EEPROM_SIZE - 4, 4), FW_QUEUE_OK);
  EXPECT_EQ(FW_QueueInternalEepromWrite(g_fwInternalEeprom + 0x3FFF, 0x3FFF, 1), FW_QUEUE_OK);
  FW_EepromWriteBack();
  EXPECT_EQ(FW_InternalEepromPending(), 0);
  EXPECT_EQ(g_fwEeprom.stopped, 0);
}

// Internal writes: the RAM area lies in the data image at another place than the target,
// so that the words the chunk covers can be seen.
class InternalEepromTest : public EepromTest {
 protected:
  static constexpr uint32_t kRam = 0x3000;
  void SetUp() override {
    EepromTest::SetUp();
    for (uint32_t i = 0; i < 0x800; ++i) g_fwInternalEeprom[kRam + i] = static_cast<uint8_t>(0x80 + i);
  }
  const uint8_t* ram(uint32_t at) const { return g_fwInternalEeprom + kRam + at; }
};

TEST_F(InternalEepromTest, ShortWriteIsWidenedToWholeWords) {
  ASSERT_EQ(FW_QueueInternalEepromWrite(ram(6), 6150, 6), FW_QUEUE_OK);
  FW_EepromWriteBack();
  EXPECT_EQ(FW_InternalEepromPending(), 0);
  // 8 bytes from 6148: the two words around the 6 bytes asked for.
  EXPECT_EQ(std::memcmp(g_fwInternalEeprom + 6148, ram(4), 8), 0);
  EXPECT_EQ(g_fwInternalEeprom[6147], 0);
  EXPECT_EQ(g_fwInternalEeprom[6156], 0);
  EXPECT_EQ(g_fwEeprom.internalErrors & 1, 0);
}

TEST_F(InternalEepromTest, PageBoundedChunksOnePerPass) {
  // 300 bytes from 6144: chunks 128 (to the page end at 6272), 128, then 44.
  ASSERT_EQ(FW_QueueInternalEepromWrite(ram(0), 6144, 300), FW_QUEUE_OK);
  ASSERT_EQ(FW_QueueInternalEepromWrite(ram(0x400), 100, 8), FW_QUEUE_OK);
  EXPECT_EQ(FW_InternalEepromWriteBack(), FW_IEE_DONE);
  EXPECT_EQ(g_fwEeprom.internal.entries[0].address, 6272u);
  EXPECT_EQ(g_fwEeprom.internal.entries[0].remaining, 172u);
  EXPECT_EQ(FW_InternalEepromWriteBack(), FW_IEE_DONE);
  EXPECT_EQ(FW_InternalEepromWriteBack(), FW_IEE_DONE);
  EXPECT_EQ(g_fwEeprom.internal.drainPos, 1);
  EXPECT_EQ(FW_InternalEepromWriteBack(), FW_IEE_DONE);
  EXPECT_EQ(FW_InternalEepromWriteBack(), FW_IEE_EMPTY);
  EXPECT_EQ(std::memcmp(g_fwInternalEeprom + 6144, ram(0), 300), 0);
  EXPECT_EQ(std::memcmp(g_fwInternalEeprom + 100, ram(0x400), 8), 0);
  EXPECT_EQ(g_fwInternalEeprom[6444], 0);
}

TEST_F(InternalEepromTest, LockedEepromKeepsTheEntryUntilReleased) {
  ASSERT_EQ(FW_QueueInternalEepromWrite(ram(0), 6144, 4), FW_QUEUE_OK);
  g_fwEeprom.internalLock = 1;
  EXPECT_EQ(FW_InternalEepromWriteBack(), FW_IEE_LOCKED);
  FW_EepromWriteBack();
  EXPECT_EQ(FW_InternalEepromPending(), 1);
  EXPECT_EQ(g_fwEeprom.internalErrors & 1, 1);
  g_fwEeprom.internalLock = 0;
  FW_EepromWriteBack();
  EXPECT_EQ(FW_InternalEepromPending(), 0);
  EXPECT_EQ(g_fwEeprom.internalErrors & 1, 0);
  EXPECT_EQ(std::memcmp(g_fwInternalEeprom + 6144, ram(0), 4), 0);
}

TEST_F(InternalEepromTest, ClearedRingForgetsItsEntries) {
  for (uint32_t i = 0; i < FW_EEPROM_RING_ENTRIES; ++i) {
    ASSERT_EQ(FW_QueueInternalEepromWrite(ram(4 * i), 4 * i, 4), FW_QUEUE_OK);
  }
  EXPECT_EQ(FW_QueueInternalEepromWrite(ram(0), 0, 4), FW_QUEUE_FULL);
  FW_ResetEepromQueue();
  EXPECT_EQ(FW_InternalEepromPending(), 0);
  EXPECT_EQ(FW_InternalEepromWriteBack(), FW_IEE_EMPTY);
  EXPECT_EQ(FW_QueueInternalEepromWrite(ram(0), 0, 4), FW_QUEUE_OK);
}

TEST_F(InternalEepromTest, ClearAreaRoundsUpToWordsAndPostsItsStepCode) {
  std::memset(g_fwInternalEeprom + 6144, 0xAA, 16);
  EXPECT_EQ(FW_ClearArea(6144, 5), 0u);
  for (uint32_t i = 0; i < 8; ++i) EXPECT_EQ(g_fwInternalEeprom[6144 + i], 0) << i;
  EXPECT_EQ(g_fwInternalEeprom[6152], 0xAA);
  EXPECT_EQ(g_fwStepCodes.entries[0].code, 501);

  EXPECT_EQ(FW_ClearArea(0, 0x4001), 0x4000u);
  EXPECT_EQ(FW_ClearArea(0x3FFC, 8), 0x4000u) << "an area past the end is refused";
  EXPECT_EQ(g_fwInternalEeprom[6152], 0xAA);
  EXPECT_EQ(g_fwStepCodes.writeIndex, 1);
  EXPECT_EQ(FW_ClearArea(0, 0x4000), 0u);
  EXPECT_EQ(g_fwInternalEeprom[6152], 0);
}

TEST(EepromFileChunk, ReadsAtMost512BytesFromTheOffset) {
  std::FILE* f = std::tmpfile();
  ASSERT_NE(f, nullptr);
  std::vector<uint8_t> data(1000);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i);
  ASSERT_EQ(std::fwrite(data.data(), 1, data.size(), f), data.size());
  const uint8_t* out = nullptr;
  EXPECT_EQ(FW_ReadFileChunk(f, &out, 600, 10), 512u);
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(std::memcmp(out, data.data() + 10, 512), 0);
  EXPECT_EQ(FW_ReadFileChunk(f, &out, 600, 900), 100u);
  EXPECT_EQ(FW_ReadFileChunk(f, &out, 600, 2000), 0u);
  EXPECT_EQ(FW_ReadFileChunk(nullptr, &out, 10, 0), 0u);
  std::fclose(f);
}

}  // namespace

namespace {

std::vector<int> g_drawn;
int g_repaints = 0;

class StartPictureTest : public EepromTest {
 protected:
  void SetUp() override {
    EepromTest::SetUp();
    FW_SetMainEepromWriter(nullptr);
    FW_BindMainEeprom(image, sizeof image);
    g_drawn.clear();
    g_repaints = 0;
    FwStartPictureHooks hooks;
    hooks.draw = [](FwPictureKind kind) { g_drawn.push_back(kind); };
    hooks.repaint = [] { ++g_repaints; };
    FW_SetStartPictureHooks(hooks);
  }
  void TearDown() override {
    FW_SetStartPictureHooks({});
    EepromTest::TearDown();
  }
};

TEST_F(StartPictureTest, PictureFlagsChooseTheDecoder) {
  struct Case {
    uint8_t flags;
    int drawn;        // -1: nothing drawn
    uint8_t after;
    bool queued;
  };
  const Case cases[] = {
      {0x01, FW_PICTURE_JPEG, 0x01, false},
      {0x03, FW_PICTURE_JPEG, 0x03, false},
      {0x0A, FW_PICTURE_GIF, 0x0A, false},
      {0xFC, -1, 0xF0, true},  // no kind: bits 0..3 cleared and the byte queued
  };
  for (const Case& c : cases) {
    FW_ResetEeprom();
    g_fwEeprom.present = 1;
    FW_ClearStepCodes();
    g_drawn.clear();
    g_repaints = 0;
    image[FW_IMAGE_PICTURE_FLAGS] = c.flags;
    FW_ShowStartPicture();
    EXPECT_EQ(image[FW_IMAGE_PICTURE_FLAGS], c.after) << int(c.flags);
    EXPECT_EQ(FW_EepromPending(), c.queued ? 1 : 0) << int(c.flags);
    if (c.drawn < 0) {
      EXPECT_TRUE(g_drawn.empty());
      EXPECT_EQ(g_repaints, 0);
      EXPECT_EQ(g_fwStepCodes.writeIndex, 0);
    } else {
      ASSERT_EQ(g_drawn.size(), 1u);
      EXPECT_EQ(g_drawn[0], c.drawn);
      EXPECT_EQ(g_repaints, 1);
      EXPECT_EQ(g_fwStepCodes.entries[0].code, 71);
    }
  }
}

}  // namespace

namespace {

const char* g_faultText = nullptr;

TEST_F(InternalEepromTest, ChunkPastTheEndStopsTheWriteBackUntilTheNextStart) {
  FW_SetEepromFaultHook([](const char* text) { g_faultText = text; });
  ASSERT_EQ(FW_QueueInternalEepromWrite(ram(0), 0x3F80, 64), FW_QUEUE_OK);
  ASSERT_EQ(FW_QueueInternalEepromWrite(ram(0), 0x100, 4), FW_QUEUE_OK);
  // An entry that no queue call accepts: it would write past the internal EEPROM.
  g_fwEeprom.internal.entries[0].address = FW_INTERNAL_EEPROM_SIZE;

  EXPECT_EQ(FW_InternalEepromWriteBack(), FW_IEE_FAULT);
  EXPECT_STREQ(g_faultText, "Internal-EEPROM-Error ");
  EXPECT_EQ(g_fwStepCodes.entries[0].code, 502);
  EXPECT_EQ(g_fwEeprom.stopped, 1);
  FW_EepromWriteBack();
  EXPECT_EQ(g_fwInternalEeprom[0x100], 0) << "nothing is written while stopped";

  FW_ClearInternalRing();
  EXPECT_EQ(g_fwEeprom.stopped, 0);
  ASSERT_EQ(FW_QueueInternalEepromWrite(ram(0), 0x100, 4), FW_QUEUE_OK);
  FW_EepromWriteBack();
  EXPECT_EQ(std::memcmp(g_fwInternalEeprom + 0x100, ram(0), 4), 0);
  FW_SetEepromFaultHook(nullptr);
}

}  // namespace
