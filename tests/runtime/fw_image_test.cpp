// Engineering image: loading with its checks, saving, single saves and the full rewrite.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/fb_param.h"
#include "runtime/fb_schedule.h"
#include "runtime/fb_store.h"
#include "runtime/fw_defer.h"
#include "runtime/fw_eeprom.h"
#include "runtime/fw_image.h"
#include "runtime/fw_mode.h"
#include "runtime/fw_text.h"
#include "support/image_types.h"
#include "tools/engbuild/eng_builder.h"

namespace {

// The step code posted last.
uint16_t lastStepCode() {
  const uint16_t at = g_fwStepCodes.writeIndex;
  return g_fwStepCodes.entries[(at + FW_STEP_CODE_ENTRIES - 1) % FW_STEP_CODE_ENTRIES].code;
}

bool stepPosted(uint16_t code) {
  for (const FwStepCode& e : g_fwStepCodes.entries) {
    if (e.code == code) return true;
  }
  return false;
}

// Queued writes of the main ring in queue order (EEPROM-present is 0, so nothing drains).
std::vector<FwEepromWriteEntry> queuedWrites() {
  std::vector<FwEepromWriteEntry> out;
  const FwEepromWriteRing& ring = g_fwEeprom.main;
  for (uint32_t i = 0; i < FW_EEPROM_RING_ENTRIES; ++i) {
    const FwEepromWriteEntry& e = ring.entries[(ring.drainPos + i) % FW_EEPROM_RING_ENTRIES];
    if (e.busy) out.push_back(e);
  }
  return out;
}

void clearQueue() { FW_ResetEeprom(); }

// Fills the main ring so that the next write finds no room.
void fillRing() {
  while (FW_QueueEepromWrite(g_fwImage + 100, 100, 1) == FW_QUEUE_OK) {
  }
}

// Offsets of the first block record (block number at 260).
constexpr uint32_t kRec = FW_IMG_BLOCK_LIST;
constexpr uint32_t kRecSize = kRec + 2, kRecType = kRec + 4, kRecGroup = kRec + 5;
constexpr uint32_t kRecAO = kRec + 8, kRecAI = kRec + 10;
// Bytes of an ABSV record: the fixed part, one input pair, two floats, one text.
constexpr uint32_t kAbsvRecord = 11 + 3 + 1 + (1 + 8) + 1 + 1 + 1 + (1 + 16) + 2 + 2;

class FwImageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    IMG_RegisterTestTypes();
    g_fwEng = FwEngineeringState{};
    g_fwRunMode = FW_RUN_MODE_STOP;
    FW_ResetEeprom();
    FW_ClearStepCodes();
    FW_SetEngineeringClearHook(nullptr);
    std::memset(g_fwImage, 0, FW_IMAGE_SIZE);
  }

  void TearDown() override {
    FW_ResetEeprom();
    FW_BindMainEeprom(nullptr, 0);
    FW_BindLanguageByte(nullptr);
    FB_SetSaveHook(nullptr);
    FW_SetEngineeringClearHook(nullptr);
  }

  // Two ABSV blocks, 100 feeding 101.
  static std::vector<uint8_t> smallImage(uint8_t runMode = 1) {
    EngBuilder b;
    b.setRunMode(runMode);
    EXPECT_TRUE(b.addBlock(100, IMG_TYPE_ABSV, 1));
    EXPECT_TRUE(b.addBlock(101, IMG_TYPE_ABSV, 1, 100));
    EXPECT_TRUE(b.setFloat(100, 1, 0.5f));
    EXPECT_TRUE(b.wireAnalog(101, 1, 100, 1));
    return build(b);
  }

  // Every group populated, several records in the parameter list and an odd used length.
  static std::vector<uint8_t> richImage() {
    EngBuilder b;
    b.setRunMode(2);
    b.setOrderCode("2210000000");
    EXPECT_TRUE(b.addBlock(100, IMG_TYPE_ABSV, 1));
    EXPECT_TRUE(b.addBlock(120, IMG_TYPE_ALL, 4));
    EXPECT_TRUE(b.addBlock(110, IMG_TYPE_ABSV, 4, 120));
    EXPECT_TRUE(b.wireAnalog(120, 2, 100, 1));
    EXPECT_TRUE(b.wireAnalog(110, 1, 120, 2));
    EXPECT_TRUE(b.wireDigital(120, 1, 120, 3));
    EXPECT_TRUE(b.setFloat(120, 3, -1.0e-3f));
    EXPECT_TRUE(b.setWord(120, 2, 300));
    EXPECT_TRUE(b.setLong(120, 2, 0xCAFEF00Du));
    EXPECT_TRUE(b.setValue(120, 1, 0xFFFF));
    EXPECT_TRUE(b.setText(120, 2, "Tank \xC4 1"));
    EXPECT_TRUE(b.setState(120, 2, 77));
    EXPECT_TRUE(b.addParamRecord(120, {1, 2, 3}));
    EXPECT_TRUE(b.addParamRecord(FW_PARAM_SYSTEM_BLOCK, {}));
    EXPECT_TRUE(b.addParamRecord(100, {9}));
    return build(b);
  }

  static std::vector<uint8_t> build(EngBuilder& b) {
    std::vector<uint8_t> image;
    EXPECT_TRUE(b.build(image)) << b.error();
    return image;
  }

  static void install(const std::vector<uint8_t>& image) {
    ASSERT_EQ(image.size(), FW_IMAGE_SIZE);
    std::memcpy(g_fwImage, image.data(), FW_IMAGE_SIZE);
  }

  static bool queued(uint32_t address, uint32_t length) {
    for (const FwEepromWriteEntry& e : queuedWrites()) {
      if (e.address == address && e.remaining == length && e.ram == g_fwImage + address) return true;
    }
    return false;
  }

  static void expectStoppedWithError() {
    EXPECT_EQ(g_fwRunMode, 1);
    EXPECT_EQ(g_fwImage[FW_IMG_RUN_MODE], 1);
    EXPECT_TRUE(queued(FW_IMG_RUN_MODE, 1)) << "run-mode byte queued for the EEPROM";
    EXPECT_TRUE(g_fwEng.status & FW_ENG_STOPPED);
    EXPECT_FALSE(g_fwEng.status & FW_ENG_RUN_OK);
  }
};

TEST_F(FwImageTest, BuiltImageLoadsItsBlocksValuesAndWiring) {
  install(richImage());
  ASSERT_EQ(FW_LoadEngineering(), 0);
  EXPECT_EQ(g_fwEng.lastError, FwImageError::None);
  EXPECT_EQ(lastStepCode(), FW_STEP_ENG_LOAD);
  EXPECT_EQ(g_fwRunMode, 2) << "run-mode byte 2 starts the device";
  EXPECT_EQ(g_fwEng.status & (FW_ENG_LOADED | FW_ENG_VERIFIED | FW_ENG_STOPPED),
            FW_ENG_LOADED | FW_ENG_VERIFIED);
  EXPECT_EQ(g_fwEng.errors & FW_ENG_ERR_FAULTY, 0);
  EXPECT_TRUE(queued(FW_IMG_RUN_MODE, 1));

  // Instances lie in image order; header and wiring take the record's group and after-block.
  EXPECT_LT(FB_GetInstance(100), FB_GetInstance(120));
  EXPECT_LT(FB_GetInstance(120), FB_GetInstance(110));
  FbLayout L;
  ASSERT_TRUE(FB_GetLayout(120, &L));
  EXPECT_EQ(L.group, 4);
  EXPECT_EQ(FB_GetWiring(110)[FB_WIRE_GROUP], 4);
  EXPECT_EQ(FB_GetWiring(110)[FB_WIRE_AFTER], 120);
  EXPECT_EQ(g_fbSchedule.head[1], 100) << "the time-group chains are built";
  EXPECT_EQ(g_fbSchedule.head[4], 120);
  EXPECT_EQ(g_fbStore.list[120].next, 110);

  // Values in both the current and the pending copy; a word parameter as its stored byte.
  EXPECT_EQ(L.fp[2].get(), -1.0e-3f);
  EXPECT_EQ(L.fp[3 + 2].get(), -1.0e-3f);
  EXPECT_EQ(L.wp[1], 44);
  EXPECT_EQ(L.wp[3 + 1], 44);
  EXPECT_EQ(L.lv[1].get(), 0xCAFEF00Du);
  EXPECT_EQ(L.lv[2 + 1].get(), 0xCAFEF00Du);
  EXPECT_EQ(L.wv[0], 0xFFFF);
  EXPECT_EQ(L.wv[3 + 0], 0xFFFF);
  EXPECT_EQ(std::string(L.text + 16, 16), "Tank \xC4 1        ");
  EXPECT_EQ(L.state[0], 0xBEEF) << "unchanged state words keep the template's";
  EXPECT_EQ(L.state[1], 77);
  EXPECT_EQ(L.workWords, 5);

  // Connections resolved through handles.
  FbRef* ref = nullptr;
  ASSERT_EQ(FB_GetAnalogInputRef(110, 1, &ref), 1);
  uint32_t handle = 0;
  ASSERT_EQ(FB_AnalogOutputHandle(120, 2, &handle), 1);
  EXPECT_EQ(ref->get(), handle);

  // The parameter list: linked records, the system-data one included.
  const uint16_t* rec = FW_GetParamRecord(120);
  ASSERT_NE(rec, nullptr);
  EXPECT_EQ(std::vector<uint16_t>(rec, rec + 5), (std::vector<uint16_t>{120, 5, 1, 2, 3}));
  ASSERT_NE(FW_GetParamRecord(FW_PARAM_SYSTEM_BLOCK), nullptr);
  EXPECT_EQ(FW_GetParamRecord(FW_PARAM_SYSTEM_BLOCK)[1], 2);
  EXPECT_EQ(FW_GetParamRecord(110), nullptr);
}

TEST_F(FwImageTest, LoadSaveLoadGivesTheSameImage) {
  const std::vector<uint8_t> original = richImage();
  install(original);
  ASSERT_EQ(FW_LoadEngineering(), 0);
  clearQueue();
  ASSERT_EQ(FW_SaveEngineering(), 0);
  EXPECT_EQ(std::memcmp(g_fwImage, original.data(), FW_IMAGE_SIZE), 0);
  EXPECT_TRUE(queuedWrites().empty()) << "a plain save queues nothing";
  EXPECT_EQ(g_fwEng.usedLength % 2, 0u);

  ASSERT_EQ(FW_LoadEngineering(), 0);
  ASSERT_EQ(FW_SaveEngineering(), 0);
  EXPECT_EQ(std::memcmp(g_fwImage, original.data(), FW_IMAGE_SIZE), 0);
}

TEST_F(FwImageTest, SaveWritesCurrentParametersAndWordParametersAsTheirLowByte) {
  install(richImage());
  ASSERT_EQ(FW_LoadEngineering(), 0);
  FbLayout L;
  ASSERT_TRUE(FB_GetLayout(120, &L));
  L.wp[0] = 300;           // current
  L.wp[3 + 0] = 5;         // pending: not what the save writes
  L.fp[0] = 2.5f;
  L.lv[0] = 1;             // current long value: the save writes the pending copy
  L.lv[2 + 0] = 0xA1B2C3D4u;
  ASSERT_EQ(FW_SaveEngineering(), 0);

  ASSERT_EQ(FW_LoadEngineering(), 0);
  ASSERT_TRUE(FB_GetLayout(120, &L));
  EXPECT_EQ(L.wp[0], 44);
  EXPECT_EQ(L.fp[0].get(), 2.5f);
  EXPECT_EQ(L.lv[0].get(), 0xA1B2C3D4u);
}

TEST_F(FwImageTest, TagZeroLoadsNothingAndStops) {
  install(smallImage(2));
  ASSERT_EQ(FW_LoadEngineering(), 0);
  std::memset(g_fwImage, 0, 4);
  clearQueue();
  EXPECT_EQ(FW_LoadEngineering(), 1);
  EXPECT_EQ(g_fwEng.lastError, FwImageError::NoTag);
  EXPECT_EQ(FB_GetInstance(100), nullptr) << "the engineering is cleared";
  EXPECT_EQ(g_fbStore.instanceFill, 1u);
  EXPECT_EQ(FW_GetU16(g_fwImage + FW_IMG_BLOCK_LIST), 0) << "the lists are cleared";
  EXPECT_TRUE(g_fwEng.startFlags & FW_START_COLD);
  expectStoppedWithError();
}

TEST_F(FwImageTest, IdentificationOfAnotherFirmwareIsRefusedButZeroIsAccepted) {
  EngBuilder zero;
  zero.setZeroIdentification(true);
  ASSERT_TRUE(zero.addBlock(100, IMG_TYPE_ABSV));
  install(build(zero));
  EXPECT_EQ(FW_LoadEngineering(), 0);
  EXPECT_NE(FB_GetInstance(100), nullptr);

  struct Case {
    uint32_t offset;
    uint8_t value;
  };
  for (const Case c : {Case{FW_IMG_IDENT + 3, '1'}, Case{FW_IMG_IDENT_SUFFIX + 1, 'B'},
                       Case{FW_IMG_VERSION, 5}}) {
    SCOPED_TRACE(c.offset);
    SetUp();
    install(smallImage());
    g_fwImage[c.offset] = c.value;
    EXPECT_EQ(FW_LoadEngineering(), 1);
    EXPECT_EQ(g_fwEng.lastError, FwImageError::Identity);
    EXPECT_EQ(g_fwEng.stayStopped, 1);
    EXPECT_TRUE(g_fwEng.errors & FW_ENG_ERR_FAULTY);
    EXPECT_EQ(FB_GetInstance(100), nullptr);
    expectStoppedWithError();
  }
}

// Corrupt images fail with the firmware's error state and leave the engineering that was
// loaded before untouched.
TEST_F(FwImageTest, CorruptImagesFailTheLoadAndKeepThePreviousEngineering) {
  struct Case {
    const char* name;
    void (*corrupt)(std::vector<uint8_t>&);
    FwImageError error;
  };
  const Case cases[] = {
      {"26 analog inputs", [](auto& i) { i[kRecAI] = 26; }, FwImageError::RecordField},
      {"type 130", [](auto& i) { i[kRecType] = 130; }, FwImageError::Type},
      {"type 0", [](auto& i) { i[kRecType] = 0; }, FwImageError::Type},
      {"unused type 4", [](auto& i) { i[kRecType] = 4; }, FwImageError::Type},
      {"group 16", [](auto& i) { i[kRecGroup] = 16; }, FwImageError::RecordField},
      {"size above 3500", [](auto& i) { FW_PutU16(&i[kRecSize], 3501); }, FwImageError::RecordField},
      {"size below the type's", [](auto& i) { FW_PutU16(&i[kRecSize], 36); },
       FwImageError::TemplateMismatch},
      {"outputs differ from the type", [](auto& i) { i[kRecAO] = 2; },
       FwImageError::TemplateMismatch},
      {"block 1951", [](auto& i) { FW_PutU16(&i[kRec], 1951); }, FwImageError::BlockNumber},
      {"engineering value 120000", [](auto& i) { FW_PutU32(&i[FW_IMG_ENG_VALUE], 120000); },
       FwImageError::EngineeringValue},
      {"all 0xFF", [](auto& i) { std::fill(i.begin() + kRec, i.begin() + FW_IMG_LOGIN_BLOCK, 0xFF); },
       FwImageError::BlockNumber},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    install(smallImage(2));
    ASSERT_EQ(FW_LoadEngineering(), 0);
    std::vector<uint16_t> heap(g_fbStore.instanceHeap, g_fbStore.instanceHeap + 200);
    const uint32_t fill = g_fbStore.instanceFill;

    std::vector<uint8_t> bad = smallImage(2);
    c.corrupt(bad);
    install(bad);
    clearQueue();
    EXPECT_EQ(FW_LoadEngineering(), 1);
    EXPECT_EQ(g_fwEng.lastError, c.error);
    EXPECT_TRUE(g_fwEng.errors & FW_ENG_ERR_FAULTY);
    expectStoppedWithError();
    EXPECT_EQ(g_fbStore.instanceFill, fill);
    EXPECT_EQ(std::vector<uint16_t>(g_fbStore.instanceHeap, g_fbStore.instanceHeap + 200), heap);
    EXPECT_NE(FB_GetInstance(101), nullptr);
  }
}

TEST_F(FwImageTest, BlockGivenTwiceFailsTheLoad) {
  EngBuilder b;
  ASSERT_TRUE(b.addBlock(100, IMG_TYPE_ABSV));
  ASSERT_TRUE(b.addBlock(101, IMG_TYPE_ABSV));
  std::vector<uint8_t> image = build(b);
  // The second record begins right behind the first one.
  ASSERT_EQ(FW_GetU16(&image[kRec + kAbsvRecord]), 101);
  FW_PutU16(&image[kRec + kAbsvRecord], 100);
  install(image);
  EXPECT_EQ(FW_LoadEngineering(), 1);
  EXPECT_EQ(g_fwEng.lastError, FwImageError::BlockNumber);
  EXPECT_EQ(g_fwEng.badBlock, 100);
}

TEST_F(FwImageTest, BadParameterListRecordsFailTheLoad) {
  struct Case {
    const char* name;
    uint16_t block;
    uint16_t length;
  };
  for (const Case c : {Case{"length 1", 100, 1}, Case{"length 0", 100, 0},
                       Case{"length 101", 100, 101}, Case{"length 65535", 100, 65535},
                       Case{"missing block", 555, 3},
                       Case{"block 1956", 1956, 3}, Case{"block 1951", 1951, 3}}) {
    SCOPED_TRACE(c.name);
    SetUp();
    EngBuilder b;
    ASSERT_TRUE(b.addBlock(100, IMG_TYPE_ABSV));
    ASSERT_TRUE(b.addParamRecord(100, {1}));
    std::vector<uint8_t> image = build(b);
    const uint32_t at = b.usedLength() - 2 - 6;  // the record: {100, 3, 1}, then the end word
    ASSERT_EQ(FW_GetU16(&image[at]), 100);
    FW_PutU16(&image[at], c.block);
    FW_PutU16(&image[at + 2], c.length);
    install(image);
    EXPECT_EQ(FW_LoadEngineering(), 1);
    EXPECT_EQ(g_fwEng.lastError, FwImageError::ParamRecord);
    EXPECT_EQ(FB_GetInstance(100), nullptr);
  }
}

TEST_F(FwImageTest, ListsRunningIntoTheLoginBlockFailTheLoad) {
  EngBuilder b;
  ASSERT_TRUE(b.addBlock(100, IMG_TYPE_ABSV));
  std::vector<uint8_t> image = build(b);
  // Parameter records of 100 words each, without an end word, up to the end of the image.
  for (uint32_t at = b.usedLength() - 2; at + 4 <= FW_IMAGE_SIZE; at += 200) {
    FW_PutU16(&image[at], 100);
    FW_PutU16(&image[at + 2], 100);
  }
  install(image);
  EXPECT_EQ(FW_LoadEngineering(), 1);
  EXPECT_EQ(g_fwEng.lastError, FwImageError::Truncated);
}

TEST_F(FwImageTest, BlocksThatDoNotFitTheHeapsFailTheLoad) {
  struct Case {
    uint16_t type;
    uint16_t blocks;  // enough to pass the heap's end
  };
  // 48 x 2527 words pass the 120000-word instance heap; 378 x 106 the 40000-word wiring heap.
  for (const Case c : {Case{IMG_TYPE_BIG, 48}, Case{IMG_TYPE_WIDE, 378}}) {
    SCOPED_TRACE(c.type);
    SetUp();
    EngBuilder b;
    for (uint16_t i = 0; i < c.blocks; ++i) ASSERT_TRUE(b.addBlock(100 + i, c.type));
    std::vector<uint8_t> fits = build(b);
    EXPECT_LT(b.usedLength(), FW_IMG_LISTS_END);
    install(fits);
    EXPECT_EQ(FW_LoadEngineering(), 1);
    EXPECT_EQ(g_fwEng.lastError, FwImageError::HeapFull);
    EXPECT_EQ(g_fwEng.badBlock, 100 + c.blocks - 1);
    EXPECT_EQ(FB_GetInstance(100), nullptr);
  }
}

TEST_F(FwImageTest, FaultyWiringOrChainsKeepTheBlocksLoadedButStopped) {
  struct Case {
    const char* name;
    uint16_t source;     // of block 101's input
    uint16_t after102;   // block 102 runs after this one
    FwImageError error;
    uint16_t chainError;
  };
  for (const Case c :
       {Case{"missing source", 300, 101, FwImageError::Connections, FB_CHAIN_OK},
        Case{"two blocks after 100", 100, 100, FwImageError::Chains, FB_CHAIN_TWO_SUCCESSORS}}) {
    SCOPED_TRACE(c.name);
    SetUp();
    EngBuilder b;
    b.setRunMode(2);
    ASSERT_TRUE(b.addBlock(100, IMG_TYPE_ABSV, 1));
    ASSERT_TRUE(b.addBlock(101, IMG_TYPE_ABSV, 1, 100));
    ASSERT_TRUE(b.addBlock(102, IMG_TYPE_ABSV, 1, c.after102));
    ASSERT_TRUE(b.wireAnalog(101, 1, c.source, 1));
    install(build(b));
    EXPECT_EQ(FW_LoadEngineering(), 0) << "the blocks were loaded";
    EXPECT_EQ(g_fwEng.lastError, c.error);
    EXPECT_EQ(g_fwEng.chainError, c.chainError);
    EXPECT_NE(FB_GetInstance(101), nullptr);
    EXPECT_TRUE(g_fwEng.errors & FW_ENG_ERR_FAULTY);
    EXPECT_FALSE(g_fwEng.status & (FW_ENG_LOADED | FW_ENG_VERIFIED));
    expectStoppedWithError();
  }
}

TEST_F(FwImageTest, FailedSaveLeavesTheImageUnchangedAndQueuesNothing) {
  struct Case {
    const char* name;
    void (*spoil)();
  };
  const Case cases[] = {
      {"parameter list beyond its room",
       [] {
         const std::vector<uint16_t> data(98, 0x5555);
         for (int i = 0; i < 700; ++i) ASSERT_EQ(FW_AppendParamRecord(100, data.data(), 98), FB_OK);
       }},
      {"output number beyond one byte",
       [] { FB_GetWiring(101)[FB_WIRE_ANALOG_COUNT + 2] = 300; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    g_fwEng.status |= FW_ENG_REWRITE;
    install(smallImage());
    ASSERT_EQ(FW_LoadEngineering(), 0);
    FbF32* a;
    ASSERT_EQ(FB_GetFloatParamPtr(100, 1, &a), 1);
    *a = 9.0f;  // a change that a successful save would write
    c.spoil();
    const std::vector<uint8_t> before(g_fwImage, g_fwImage + FW_IMAGE_SIZE);
    clearQueue();
    EXPECT_EQ(FW_SaveEngineering(), 1);
    EXPECT_EQ(std::memcmp(g_fwImage, before.data(), FW_IMAGE_SIZE), 0);
    EXPECT_TRUE(queuedWrites().empty());
  }
}

TEST_F(FwImageTest, ChangeToRunModeSavesOrKeepsTheDeviceStopped) {
  install(smallImage());
  ASSERT_EQ(FW_LoadEngineering(), 0);
  g_fwRunMode = 2;
  EXPECT_EQ(FW_SaveOnRunModeChange(), 0);
  EXPECT_TRUE(g_fwEng.status & FW_ENG_RUN_OK);
  EXPECT_EQ(g_fwRunMode, 2);

  g_fwEng.status &= static_cast<uint8_t>(~FW_ENG_RUN_OK);
  g_fwEng.warmStart = 1;
  g_fwEng.startFlags = 0;
  FB_GetWiring(101)[FB_WIRE_ANALOG_COUNT + 2] = 300;  // cannot be saved
  clearQueue();
  EXPECT_EQ(FW_SaveOnRunModeChange(), 1);
  expectStoppedWithError();
  EXPECT_TRUE(g_fwEng.errors & FW_ENG_ERR_FAULTY);
  EXPECT_TRUE(g_fwEng.startFlags & FW_START_COLD);
  EXPECT_EQ(g_fwEng.warmStart, 0);
}

TEST_F(FwImageTest, BlockCreatedAfterLoadingIsSavedAndKeepsTheParameterList) {
  EngBuilder b;
  ASSERT_TRUE(b.addBlock(100, IMG_TYPE_ABSV));
  ASSERT_TRUE(b.addParamRecord(100, {4, 5, 6}));
  install(build(b));
  ASSERT_EQ(FW_LoadEngineering(), 0);
  ASSERT_EQ(FB_CreateInstance(IMG_TYPE_ABSV, 150), FB_OK);
  FB_GetWiring(150)[FB_WIRE_GROUP] = 1;
  FB_GetWiring(150)[FB_WIRE_ANALOG_COUNT + 1] = 100;
  FB_GetWiring(150)[FB_WIRE_ANALOG_COUNT + 2] = 1;
  ASSERT_EQ(FW_SaveEngineering(), 0);

  ASSERT_EQ(FW_LoadEngineering(), 0);
  ASSERT_NE(FB_GetInstance(150), nullptr);
  EXPECT_EQ(FB_GetWiring(150)[FB_WIRE_ANALOG_COUNT + 1], 100);
  const uint16_t* rec = FW_GetParamRecord(100);
  ASSERT_NE(rec, nullptr);
  EXPECT_EQ(std::vector<uint16_t>(rec, rec + 5), (std::vector<uint16_t>{100, 5, 4, 5, 6}));
}

TEST_F(FwImageTest, FullRewriteQueuesTheWholeImageAndTheTagLast) {
  install(richImage());
  ASSERT_EQ(FW_LoadEngineering(), 0);
  g_fwEng.status |= FW_ENG_REWRITE;
  clearQueue();
  std::memset(g_fwImage + FW_IMG_IDENT, 0, FW_IMG_IDENT_LEN);  // a zero identification
  ASSERT_EQ(FW_SaveEngineering(), 0);
  const std::vector<FwEepromWriteEntry> q = queuedWrites();
  ASSERT_EQ(q.size(), 2u);
  EXPECT_EQ(q[0].address, 0u);
  EXPECT_EQ(q[0].remaining, g_fwEng.usedLength);
  EXPECT_EQ(q[1].address, 0u);
  EXPECT_EQ(q[1].remaining, 4u);
  EXPECT_EQ(std::memcmp(g_fwImage, FW_IMAGE_TAG, 4), 0);
  EXPECT_EQ(std::memcmp(g_fwImage + FW_IMG_IDENT, FW_FIRMWARE_IDENT, FW_IMG_IDENT_LEN), 0)
      << "the firmware's own identification is written";
  EXPECT_FALSE(g_fwEng.status & FW_ENG_REWRITE);

  // Drained, the tag is the last chunk written.
  static std::vector<std::pair<uint32_t, uint32_t>> chunks;
  chunks.clear();
  FW_SetMainEepromWriter([](uint32_t address, const uint8_t*, uint32_t length) {
    chunks.emplace_back(address, length);
    return true;
  });
  g_fwEeprom.present = 1;
  while (FW_EepromPending()) FW_EepromWriteBack();
  FW_SetMainEepromWriter(nullptr);
  ASSERT_FALSE(chunks.empty());
  EXPECT_EQ(chunks.back(), (std::pair<uint32_t, uint32_t>{0, 4}));
  EXPECT_EQ(chunks.front(), (std::pair<uint32_t, uint32_t>{0, 128}));
}

TEST_F(FwImageTest, FullRewriteDrainsTheRingWhileItWaitsForRoom) {
  install(smallImage());
  ASSERT_EQ(FW_LoadEngineering(), 0);
  g_fwEng.status |= FW_ENG_REWRITE;
  clearQueue();
  fillRing();
  g_fwEeprom.present = 1;
  EXPECT_EQ(FW_SaveEngineering(), 0);
  EXPECT_TRUE(stepPosted(FW_STEP_SAVE_WAIT_IMAGE));
  EXPECT_TRUE(queued(0, g_fwEng.usedLength));
  EXPECT_TRUE(queued(0, 4));
}

TEST_F(FwImageTest, FullRewriteWithARingThatStaysFullFailsInsteadOfHanging) {
  install(smallImage());
  ASSERT_EQ(FW_LoadEngineering(), 0);
  g_fwEng.status |= FW_ENG_REWRITE;
  clearQueue();
  fillRing();  // with EEPROM-present 0 nothing ever drains
  FW_ClearStepCodes();
  EXPECT_EQ(FW_SaveEngineering(), 1);
  EXPECT_TRUE(stepPosted(FW_STEP_SAVE_WAIT_IMAGE));
  EXPECT_EQ(queuedWrites().size(), FW_EEPROM_RING_ENTRIES) << "nothing more was queued";
  EXPECT_EQ(std::memcmp(g_fwImage, FW_IMAGE_TAG, 4), 0) << "the RAM image keeps its tag";
  EXPECT_TRUE(g_fwEng.status & FW_ENG_REWRITE) << "the rewrite is still owed";
}

TEST_F(FwImageTest, SingleSavesPatchTheRecordAndQueueTheBytes) {
  install(richImage());
  ASSERT_EQ(FW_LoadEngineering(), 0);
  // Block 120 is the second record: behind block 100's record.
  const uint32_t rec = kRec + kAbsvRecord;
  ASSERT_EQ(FW_GetU16(g_fwImage + rec), 120);
  const uint32_t n = 2, m = 1;
  const uint32_t floats = rec + 13 + 3 * n + 3 * m;  // float 1
  const uint32_t words = floats + 4 * 3 + 1;          // word 1
  const uint32_t longs = words + 3 + 1;               // long 1
  const uint32_t state = longs + 4 * 2 + 1 + 2 * 3 + 1 + 16 * 2 + 2;  // state word 1

  FbLayout L;
  ASSERT_TRUE(FB_GetLayout(120, &L));
  L.fp[1] = 6.5f;
  L.fp[2] = -6.5f;
  L.wp[2] = 300;
  L.lv[1] = 0x01020304u;
  L.state[0] = 0x1234;
  clearQueue();
  EXPECT_EQ(FB_SaveFloatParams(120, 2, 2), 0);
  EXPECT_EQ(FB_SaveWordParams(120, 3, 1), 0);
  EXPECT_EQ(FB_SaveLongParams(120, 2, 1), 0);
  EXPECT_EQ(FB_SaveStateWords(120, 1, 1), 0);
  EXPECT_TRUE(queued(floats + 4, 8));
  EXPECT_TRUE(queued(words + 2, 1));
  EXPECT_TRUE(queued(longs + 4, 4));
  EXPECT_TRUE(queued(state, 2));
  float f;
  const uint32_t bits = FW_GetU32(g_fwImage + floats + 4);
  std::memcpy(&f, &bits, 4);
  EXPECT_EQ(f, 6.5f);
  EXPECT_EQ(g_fwImage[words + 2], 44);
  EXPECT_EQ(FW_GetU32(g_fwImage + longs + 4), 0x01020304u);
  EXPECT_EQ(FW_GetU16(g_fwImage + state), 0x1234);

  // A full ring answers 1; ranges outside the group and missing blocks are refused; a block
  // without a record in the image yet saves nothing and answers 0.
  clearQueue();
  fillRing();
  EXPECT_EQ(FB_SaveFloatParams(120, 1, 1), 1);
  clearQueue();
  EXPECT_EQ(FB_SaveFloatParams(120, 3, 2), 1);
  EXPECT_EQ(FB_SaveFloatParams(120, 0, 1), 1);
  EXPECT_EQ(FB_SaveWordParams(500, 1, 1), 1);
  ASSERT_EQ(FB_CreateInstance(IMG_TYPE_ABSV, 150), FB_OK);
  EXPECT_EQ(FB_SaveFloatParams(150, 1, 1), 0);
  EXPECT_TRUE(queuedWrites().empty());
}

// A change made while the device runs reaches the image through the block's next run.
TEST_F(FwImageTest, ChangeInTheRunModeIsSavedIntoTheImageAtTheNextRun) {
  install(smallImage(2));
  ASSERT_EQ(FW_LoadEngineering(), 0);
  ASSERT_EQ(g_fwRunMode, FW_RUN_MODE_RUN);
  const FbTypeRecord* absv = FB_GetType(IMG_TYPE_ABSV);
  const uint32_t floats = kRec + 13 + 3 * 1;  // ABSV: one analog input, no digital inputs
  auto storedFloat = [&](uint32_t i) {
    float f;
    const uint32_t bits = FW_GetU32(g_fwImage + floats + 4 * i);
    std::memcpy(&f, &bits, sizeof f);
    return f;
  };
  auto change = [&](float value) {
    FbParamRequest request = FB_FloatRequest(100, 1001, value);
    uint16_t bad = 0;
    ASSERT_EQ(absv->param(&request, &bad), FB_OK);
  };
  auto run = [&] {
    g_fbStore.currentBlock = 100;
    absv->run();
  };

  clearQueue();
  change(4.5f);
  EXPECT_EQ(storedFloat(1), 0.0f) << "nothing is saved before the block's run";
  run();
  EXPECT_EQ(storedFloat(1), 4.5f);
  EXPECT_TRUE(queued(floats, 8)) << "the whole float group is queued";
  EXPECT_EQ(g_fbPending.floats[100], 0);

  // With the ring full the change stays pending and is saved by a later run.
  fillRing();
  change(-1.25f);
  run();
  EXPECT_EQ(g_fbPending.floats[100], 1);
  clearQueue();
  run();
  EXPECT_EQ(g_fbPending.floats[100], 0);
  EXPECT_EQ(storedFloat(1), -1.25f);
}

TEST_F(FwImageTest, ParameterRecordsAreCountedAgainstTheInstanceHeap) {
  install(smallImage());
  ASSERT_EQ(FW_LoadEngineering(), 0);
  const uint16_t data[98] = {};
  EXPECT_EQ(FW_AppendParamRecord(100, data, 99), FB_ERR_LIMITS);
  EXPECT_EQ(FW_AppendParamRecord(555, data, 1), FB_ERR_NO_BLOCK);
  uint8_t result = FB_OK;
  while ((result = FW_AppendParamRecord(100, data, 98)) == FB_OK) {
  }
  EXPECT_EQ(result, FB_ERR_NO_ROOM);
  EXPECT_LE(g_fbStore.instanceFill + FW_ParamListWords(), FB_INSTANCE_HEAP_WORDS);
  EXPECT_EQ(FB_CreateInstance(IMG_TYPE_ABSV, 150), FB_ERR_NO_ROOM)
      << "a block created later finds the room the parameter list takes";
}

TEST_F(FwImageTest, ClearingForgetsTheEngineeringAndKeepsTheHeaderAndLogin) {
  install(richImage());
  g_fwImage[FW_IMG_LOGIN_BLOCK] = 0x5A;
  ASSERT_EQ(FW_LoadEngineering(), 0);
  static int resets;
  resets = 0;
  FW_SetEngineeringClearHook([] { ++resets; });
  uint8_t result = 0;
  const FbParamHandler accept = [](FbParamRequest*, uint16_t*) -> uint8_t { return 0; };
  ASSERT_EQ(FW_PostDeferredCall(120, 1000, nullptr, 0, accept, &result), 0);
  FW_ClearEngineering();
  EXPECT_EQ(resets, 1);
  EXPECT_EQ(FW_RunDeferredCall(), 255) << "posted requests went with the engineering";
  EXPECT_EQ(FB_GetInstance(120), nullptr);
  EXPECT_EQ(FW_ParamListWords(), 0u);
  EXPECT_EQ(FW_GetParamRecord(FW_PARAM_SYSTEM_BLOCK), nullptr);
  EXPECT_EQ(std::memcmp(g_fwImage, FW_IMAGE_TAG, 4), 0);
  EXPECT_EQ(g_fwImage[FW_IMG_LOGIN_BLOCK], 0x5A);
  for (uint32_t i = FW_IMG_ENG_VALUE; i < FW_IMG_LOGIN_BLOCK; ++i) {
    if (g_fwImage[i] != 0) FAIL() << "byte " << i << " not cleared";
  }
}

}  // namespace
