// Graphics library core without a display memory: allocator, lock and task contexts,
// context setters, devices, colour conversion.
#include <gtest/gtest.h>

#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "gui/GUI.h"
#include "gui/GUI_Private.h"
#include "gui/LCD.h"

namespace {

std::vector<std::string> g_errors;
std::vector<std::string> g_debug;
std::recursive_mutex g_mutex;
std::atomic<uint32_t> g_nextId{1};
thread_local uint32_t t_id;

uint32_t TaskId() {
  if (!t_id) t_id = g_nextId++;
  return t_id;
}

const GUI_PLATFORM_HOOKS kHooks = {
    nullptr,
    [] { g_mutex.lock(); },
    [] { g_mutex.unlock(); },
    TaskId,
    nullptr,
    nullptr,
    nullptr,
    [](const char* s) { g_errors.emplace_back(s); },
    [](const char* s) { g_debug.emplace_back(s); },
    nullptr,
};

class GuiCoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_errors.clear();
    g_debug.clear();
    GUI_SetPlatformHooks(&kHooks);
    ASSERT_EQ(GUI_Init(), 0);
    g_errors.clear();
  }
  void TearDown() override {
    GUI_Exit();
    GUI_SetPlatformHooks(nullptr);
  }
  static int Count(const std::vector<std::string>& v, const std::string& text) {
    int n = 0;
    for (const auto& s : v) n += s == text;
    return n;
  }
};

// --- allocator -------------------------------------------------------------------------------

TEST_F(GuiCoreTest, HeapStartsWithTheConfiguredHandleTable) {
  EXPECT_EQ(GUI_ALLOC_GetNumHandles(), 46262);
  EXPECT_EQ(GUI_ALLOC_AllocNoInit(0), 0);
  GUI_HMEM h = GUI_ALLOC_AllocNoInit(1);
  ASSERT_NE(h, 0);
  EXPECT_EQ(GUI_ALLOC_GetSize(h), 16);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(GUI_ALLOC_h2p(h)) % 8, 0u);
  EXPECT_EQ(GUI_ALLOC_GetSize(0), 0);
}

TEST_F(GuiCoreTest, FoundBlockIsSplitOnlyWhenTheRestMakesAFreeBlock) {
  struct Case {
    int32_t hole, request, payload;
  } cases[] = {
      {48, 24, 48},                // rest 24 bytes: too small, handed out whole
      {48, 16, 16},                // rest 32 bytes: split
  };
  for (const Case& c : cases) {
    GUI_HMEM hole = GUI_ALLOC_AllocNoInit(c.hole);
    GUI_HMEM guard = GUI_ALLOC_AllocNoInit(16);
    void* where = GUI_ALLOC_h2p(hole);
    GUI_ALLOC_Free(hole);
    GUI_HMEM h = GUI_ALLOC_AllocNoInit(c.request);
    EXPECT_EQ(GUI_ALLOC_h2p(h), where) << c.request;
    EXPECT_EQ(GUI_ALLOC_GetSize(h), c.payload) << c.request;
    GUI_ALLOC_Free(h);
    GUI_ALLOC_Free(guard);
  }
}

TEST_F(GuiCoreTest, FreedNeighboursMergeIntoOneBlock) {
  GUI_HMEM a = GUI_ALLOC_AllocNoInit(100);
  GUI_HMEM b = GUI_ALLOC_AllocNoInit(100);
  GUI_HMEM c = GUI_ALLOC_AllocNoInit(100);
  GUI_HMEM guard = GUI_ALLOC_AllocNoInit(16);
  void* start = GUI_ALLOC_h2p(a);
  GUI_ALLOC_Free(a);
  GUI_ALLOC_Free(c);
  GUI_ALLOC_Free(b);  // between two free blocks: all three become one
  GUI_HMEM big = GUI_ALLOC_AllocNoInit(3 * 120 - 16);
  EXPECT_EQ(GUI_ALLOC_h2p(big), start);
  GUI_ALLOC_Free(big);
  GUI_ALLOC_Free(guard);
}

// Fills the heap so that `tail` bytes stay free at its end; returns the filler's handle.
GUI_HMEM FillHeap(uint32_t tail) {
  uint32_t free = GUI_ALLOC_GetNumFreeBytes() + 12;
  return GUI_ALLOC_AllocNoInit(static_cast<int32_t>(free - tail - 16));
}

TEST_F(GuiCoreTest, CompactionMovesUnlockedBlocksAndKeepsLockedOnes) {
  GUI_HMEM h1 = GUI_ALLOC_AllocNoInit(1000);
  GUI_HMEM h2 = GUI_ALLOC_AllocNoInit(1000);
  GUI_HMEM h3 = GUI_ALLOC_AllocNoInit(1000);
  GUI_HMEM h4 = GUI_ALLOC_AllocNoInit(1000);
  auto* locked = static_cast<uint8_t*>(GUI_ALLOC_LockH(h2));
  std::memset(locked, 0x5A, 1000);
  std::memset(GUI_ALLOC_h2p(h4), 0xA5, 1000);
  void* h4Before = GUI_ALLOC_h2p(h4);
  GUI_HMEM filler = FillHeap(900);
  ASSERT_NE(filler, 0);
  GUI_ALLOC_Free(h1);
  GUI_ALLOC_Free(h3);
  // No hole holds 1800 bytes: the unlocked blocks behind h2 move down.
  GUI_HMEM h = GUI_ALLOC_AllocNoInit(1800);
  ASSERT_NE(h, 0);
  EXPECT_EQ(GUI_ALLOC_h2p(h2), locked);
  EXPECT_EQ(std::vector<uint8_t>(locked, locked + 1000), std::vector<uint8_t>(1000, 0x5A));
  auto* moved = static_cast<uint8_t*>(GUI_ALLOC_h2p(h4));
  EXPECT_NE(moved, h4Before);
  EXPECT_EQ(std::vector<uint8_t>(moved, moved + 1000), std::vector<uint8_t>(1000, 0xA5));
  // More than the largest hole that compaction can make: 0, without a report.
  g_debug.clear();
  EXPECT_EQ(GUI_ALLOC_AllocNoInit(1050), 0);
  EXPECT_TRUE(g_debug.empty());
  GUI_ALLOC_UnlockH(&locked);
  EXPECT_EQ(locked, nullptr);
}

TEST_F(GuiCoreTest, FreeingALockedHandleIsReportedAndKeepsTheBlock) {
  GUI_HMEM h = GUI_ALLOC_AllocNoInit(32);
  auto* p = static_cast<uint8_t*>(GUI_ALLOC_LockH(h));
  std::memset(p, 7, 32);
  GUI_ALLOC_Free(h);
  EXPECT_EQ(Count(g_errors, "GUI_Alloc:\nBlock to be deleted is already locked in _Free()."), 1);
  EXPECT_EQ(GUI_ALLOC_h2p(h), p);
  EXPECT_EQ(p[31], 7);
  GUI_ALLOC_UnlockH(&p);
  GUI_ALLOC_Free(h);
  EXPECT_EQ(GUI_ALLOC_GetNumLockedHandles(), 0);
}

TEST_F(GuiCoreTest, BadHandlesAreReportedAndYieldNull) {
  GUI_HMEM h = GUI_ALLOC_AllocNoInit(32);
  GUI_ALLOC_Free(h);
  struct Case {
    GUI_HMEM h;
    const char* text;
  } cases[] = {
      {h, "GUI_Alloc:\nDereferencing free block in GUI_ALLOC_h2p()."},
      {0, "GUI_Alloc:\nGUI_ALLOC_h2p: illegal argument (0 handle) in GUI_ALLOC_h2p()."},
      {1000000, "GUI_Alloc:\nGUI_ALLOC_h2p: illegal argument (handle out of range) in GUI_ALLOC_h2p()."},
      {-5, "GUI_Alloc:\nGUI_ALLOC_h2p: illegal argument (handle out of range) in GUI_ALLOC_h2p()."},
  };
  for (const Case& c : cases) {
    g_errors.clear();
    EXPECT_EQ(GUI_ALLOC_h2p(c.h), nullptr) << c.h;
    EXPECT_EQ(GUI_ALLOC_LockH(c.h), nullptr) << c.h;
    EXPECT_EQ(Count(g_errors, c.text), 2) << c.h;
  }
  g_errors.clear();
  GUI_ALLOC_Free(h);
  EXPECT_EQ(Count(g_errors, "GUI_Alloc:\nBlock already free in _Free()."), 1);
}

TEST_F(GuiCoreTest, UnlockingTwiceIsReported) {
  GUI_HMEM h = GUI_ALLOC_AllocNoInit(32);
  void* p = GUI_ALLOC_LockH(h);
  void* again = p;
  GUI_ALLOC_UnlockH(&p);
  GUI_ALLOC_UnlockH(&again);
  EXPECT_EQ(Count(g_errors, "GUI_Alloc:\nBlock is already unlocked in GUI_ALLOC_UnlockH()."), 1);
}

TEST_F(GuiCoreTest, FixedBlockAfterAFullHeapCompactsFirst) {
  GUI_HMEM hole = GUI_ALLOC_AllocNoInit(4000);
  GUI_HMEM filler = FillHeap(0);
  ASSERT_NE(filler, 0);
  GUI_ALLOC_Free(hole);
  void* p = GUI_ALLOC_GetFixedBlock(1000);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % 8, 0u);
  // The filler moved down and kept its data; the fixed block lies above the heap's blocks.
  EXPECT_LT(reinterpret_cast<uintptr_t>(GUI_ALLOC_h2p(filler)), reinterpret_cast<uintptr_t>(p));
  // A given-back block is reused for a request of the same size.
  GUI_ALLOC_FreeFixedBlock(p);
  EXPECT_EQ(GUI_ALLOC_GetFixedBlock(1000), p);
}

TEST_F(GuiCoreTest, FixedBlockTakesTheWholeLastBlockWhenTheRestIsTooSmall) {
  // 1048 bytes stay free at the top; a fixed block of 1024 needs 1032: the 16 bytes left
  // could not hold a free block and go with the fixed block.
  GUI_HMEM filler = FillHeap(1048);
  ASSERT_NE(filler, 0);
  GUI_ALLOC_INFO before{}, after{};
  GUI_ALLOC_GetMemInfo(&before);
  auto* p = static_cast<uint8_t*>(GUI_ALLOC_GetFixedBlock(1024));
  ASSERT_NE(p, nullptr);
  GUI_ALLOC_GetMemInfo(&after);
  EXPECT_EQ(after.FixedBytes - before.FixedBytes, 1048u);
  EXPECT_EQ(after.FreeBytes, 0u);
  std::memset(p, 0xEE, 1024);
  // The heap below is intact: the filler can be freed and the space used again.
  GUI_ALLOC_Free(filler);
  EXPECT_NE(GUI_ALLOC_AllocNoInit(1000), 0);
  EXPECT_TRUE(g_errors.empty());
}

TEST_F(GuiCoreTest, ReallocKeepsTheContents) {
  GUI_HMEM h = GUI_ALLOC_AllocInit("abcdef", 6);
  GUI_HMEM bigger = GUI_ALLOC_Realloc(h, 64);
  ASSERT_NE(bigger, 0);
  EXPECT_EQ(std::memcmp(GUI_ALLOC_h2p(bigger), "abcdef", 6), 0);
  GUI_HMEM zero = GUI_ALLOC_AllocZero(20);
  EXPECT_EQ(static_cast<uint8_t*>(GUI_ALLOC_h2p(zero))[19], 0);
  EXPECT_EQ(GUI_ALLOC_SetMaxPercentage(5), 1);
  EXPECT_EQ(GUI_ALLOC_SetMaxPercentage(50), 0);
}

// --- lock and task contexts ------------------------------------------------------------------

TEST_F(GuiCoreTest, LockDepthOverflowAndUnderflowAreReported) {
  const char* overflow = "GUI_Task:\nGUI_Lock() GUITASK__EntranceCnt overflow in GUI_Lock()";
  const char* underflow = "GUI_Task:\nGUI_Unlock() GUITASK__EntranceCnt underflow in GUI_Unlock()";
  for (int i = 0; i < 49; ++i) GUI_Lock();
  EXPECT_EQ(Count(g_errors, overflow), 1);
  EXPECT_EQ(GUITASK_GetEntranceCnt(), 49);
  for (int i = 0; i < 49; ++i) GUI_Unlock();
  EXPECT_EQ(GUITASK_GetEntranceCnt(), 0);
  GUI_Unlock();
  EXPECT_EQ(Count(g_errors, underflow), 1);
  EXPECT_EQ(GUITASK_GetEntranceCnt(), 0);
  // The lock still works after the bad unlock.
  EXPECT_EQ(GUI_Lock(), 1);
  GUI_Unlock();
  EXPECT_EQ(Count(g_errors, underflow), 1);
}

TEST_F(GuiCoreTest, EachThreadDrawsWithItsOwnContext) {
  GUI_SetColor(0x000000FF);
  const GUI_FONT other = GUI_Font8_1;
  GUI_COLOR seen = 0;
  const GUI_FONT* seenFont = nullptr;
  std::thread t([&] {
    GUI_SetColor(0x00FF0000);
    GUI_SetFont(&other);
    seen = GUI_GetColor();
    seenFont = GUI_GetFont();
  });
  t.join();
  EXPECT_EQ(seen, 0x00FF0000u);
  EXPECT_EQ(seenFont, &other);
  EXPECT_EQ(GUI_GetColor(), 0x000000FFu);
  EXPECT_EQ(GUI_GetFont(), &GUI_Font8_1);
}

TEST_F(GuiCoreTest, DelayRunsOnTheClockOfTheDelays) {
  EXPECT_EQ(GUI_Delay(0), GUI_GetTime());
  int32_t t0 = GUI_GetTime();
  GUI_SetDelayStep(10);
  EXPECT_GE(GUI_Delay(35) - t0, 35);
  EXPECT_EQ(GUITASK_GetEntranceCnt(), 0);
}

// --- context ---------------------------------------------------------------------------------

TEST_F(GuiCoreTest, ContextSettersAndDefaults) {
  EXPECT_EQ(GUI_SetFont(nullptr), &GUI_Font8_1);
  EXPECT_EQ(GUI_GetFont(), &GUI_Font8_1);
  EXPECT_EQ(GUI_GetColor(), 0x00FFFFFFu);
  EXPECT_EQ(GUI_GetBkColor(), 0x00000000u);
  EXPECT_EQ(GUI_SetPenSize(3), 1);
  EXPECT_EQ(GUI_SetTextAlign(2), 0);
  EXPECT_EQ(GUI_SetDecChar(','), '.');
  GUI_SetDefault();
  EXPECT_EQ(GUI_GetPenSize(), 1);
  EXPECT_EQ(GUI_GetTextAlign(), 0);
  // The screen size comes from the layer and stays as the override.
  EXPECT_EQ(GUI_GetScreenSizeX(), 320);
  EXPECT_EQ(GUI_GetScreenSizeY(), 240);
  EXPECT_EQ(GUI_GetVirtualScreenSizeX(), 320);
  EXPECT_EQ(GUI_IsInitialized(), 1);
}

TEST_F(GuiCoreTest, ColourIndexIsRecomputedOnlyForANewColour) {
  GUI_SetColor(0x000000FF);
  EXPECT_EQ(GUI_GetColorIndex(), 0xF800u);
  *GUI_pContext->LCD_pColorIndex = 0x1234;  // a stale index stays while the colour is unchanged
  GUI_SetColor(0x000000FF);
  EXPECT_EQ(GUI_GetColorIndex(), 0x1234u);
  GUI_SetColorIndex(0x0001);
  GUI_SetColor(0x000000FF);  // the cached colour was invalidated
  EXPECT_EQ(GUI_GetColorIndex(), 0xF800u);
}

TEST_F(GuiCoreTest, ReverseDrawModeSwapsTheIndices) {
  GUI_SetColor(0x000000FF);
  GUI_SetBkColor(0x0000FF00);
  LCD_SetDrawMode(GUI_DRAWMODE_REV);
  EXPECT_EQ(LCD_GetColorIndex(), 0x07E0u);
  LCD_SetDrawMode(0);
  EXPECT_EQ(LCD_GetColorIndex(), 0xF800u);
  EXPECT_EQ(LCD_GetBkColorIndex(), 0x07E0u);
}

TEST_F(GuiCoreTest, ErrorTextsWithNumbersAreCutTo100Characters) {
  std::string longText(150, 'x');
  GUI_ErrorOut2(longText.c_str(), 0x1F, -1);
  ASSERT_EQ(g_errors.size(), 1u);
  EXPECT_EQ(g_errors[0], std::string(100, 'x') + " 0x0000001F 0xFFFFFFFF");
  GUI_DebugErrorOut1("GUI_Alloc:\nx", 2);
  EXPECT_EQ(g_debug.back(), "GUI_Alloc:\nx 0x00000002");
}

TEST_F(GuiCoreTest, ExitAndInitAgainStartOver) {
  GUI_HMEM h = GUI_ALLOC_AllocNoInit(100);
  ASSERT_NE(h, 0);
  GUI_Exit();
  EXPECT_EQ(GUI_IsInitialized(), 0);
  ASSERT_EQ(GUI_Init(), 0);
  EXPECT_EQ(GUI_ALLOC_GetNumHandles(), 46262);
  EXPECT_EQ(LCD_GetNumLayers(), 1);
  EXPECT_TRUE(g_errors.empty());
}

// --- devices and layers ----------------------------------------------------------------------

GUI_DEVICE_API MakeApi(int cls) {
  GUI_DEVICE_API api = GUIDRV_Sim_API;
  api.DeviceClassIndex = cls;
  return api;
}

TEST_F(GuiCoreTest, DevicesAreLinkedByClass) {
  static const GUI_DEVICE_API api0 = MakeApi(0), api2 = MakeApi(2), api3 = MakeApi(3);
  const int layer = 1;
  GUI_DEVICE* d0 = GUI_DEVICE_CreateAndLink(&api0, &GUICC_565R, 0, layer);
  GUI_DEVICE* d3 = GUI_DEVICE_CreateAndLink(&api3, nullptr, 0, layer);
  ASSERT_TRUE(d0 && d3);
  EXPECT_EQ(d3->pColorConvAPI, &GUICC_565R);  // taken from the bottom device
  GUI_DEVICE* a = GUI_DEVICE_CreateAndLink(&api2, nullptr, 0, layer);
  GUI_DEVICE* below = GUI_DEVICE_CreateAndLink(&api2, nullptr, 1, layer);
  GUI_DEVICE* above = GUI_DEVICE_CreateAndLink(&api2, nullptr, 0, layer);
  std::vector<GUI_DEVICE*> chain;
  for (GUI_DEVICE* d = GUI_DEVICE__GetHead(layer); d; d = d->pNext) chain.push_back(d);
  EXPECT_EQ(chain, (std::vector<GUI_DEVICE*>{d3, above, a, below, d0}));
  EXPECT_EQ(GUI_DEVICE_GetpDevice(layer, 2), above);
  EXPECT_EQ(GUI_DEVICE_GetDriver(layer), d0);
  EXPECT_EQ(LCD_GetNumLayers(), 2);
  GUI_DEVICE_Unlink(above);
  EXPECT_EQ(d3->pNext, a);
  // Below every class of a chain: not linked.
  static const GUI_DEVICE_API api1 = MakeApi(1);
  GUI_DEVICE* lone = GUI_DEVICE_CreateAndLink(&api3, &GUICC_565R, 0, 2);
  ASSERT_NE(lone, nullptr);
  GUI_DEVICE* low = GUI_DEVICE_Create(&api1, nullptr, 0, 2);
  EXPECT_EQ(GUI_DEVICE_Link(low), 1);
  EXPECT_EQ(GUI_DEVICE_Create(&api0, nullptr, 0, 16), nullptr);
}

TEST_F(GuiCoreTest, LayerProperties) {
  EXPECT_EQ(LCD_GetXSizeEx(0), 320);
  EXPECT_EQ(LCD_GetYSizeEx(0), 240);
  EXPECT_EQ(LCD_GetXSizeEx(16), 0);
  EXPECT_EQ(LCD_GetBitsPerPixelEx(0), 16);
  EXPECT_EQ(LCD_GetNumLayers(), 1);
  GUI_DEVICE* d = GUI_DEVICE_GetDriver(0);
  EXPECT_EQ(d->pDeviceAPI->pfGetDevProp(d, 7), -1);
  GUI_DEVICE* dev = d;
  EXPECT_EQ(d->pDeviceAPI->pfGetDevFunc(&dev, 12), nullptr);
  EXPECT_EQ(LCD_SetVisEx(3, 1), 1);  // no driver on layer 3
  int x = 7, y = 7;
  EXPECT_EQ(GUI_SetLayerPosEx(0, 5, 6), 0);
  EXPECT_EQ(GUI_GetLayerPosEx(0, &x, &y), 0);
  EXPECT_EQ(x, 5);
  EXPECT_EQ(y, 6);
  struct {
    uint32_t mask;
    int bpp, device;
  } cases[] = {{0, 0, 0},        {1, 1, 1},           {3, 2, 8},          {15, 4, 8},  {0xFF, 8, 8},
               {0xFFFF, 16, 16}, {0x3FFFF, 18, 32}, {0xFFFFFF, 24, 32}, {0xFFFFFFFF, 32, 32}};
  for (const auto& c : cases) {
    EXPECT_EQ(LCD__GetBPP(c.mask), c.bpp) << c.mask;
    EXPECT_EQ(LCD__GetBPPDevice(c.mask), c.device) << c.mask;
  }
}

TEST_F(GuiCoreTest, PaletteConversionTable) {
  const GUI_COLOR colors[] = {0x000000FF, 0x0000FF00, 0x00FF0000};
  GUI_LOGPALETTE pal{3, 0, colors};
  const uint32_t* t = LCD_GetpPalConvTable(&pal);
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t[0], 0xF800u);
  EXPECT_EQ(t[1], 0x07E0u);
  EXPECT_EQ(t[2], 0x001Fu);
  GUI_LOGPALETTE tooBig{257, 0, colors};
  EXPECT_EQ(LCD_GetpPalConvTable(&tooBig), nullptr);
  EXPECT_EQ(GUI_SetMaxPalEntries(1), 1);
}

// --- colour conversion ----------------------------------------------------------------------

TEST(ColorConversion, Known565Values) {
  struct {
    GUI_COLOR color;
    uint32_t index565R, index565B;
  } cases[] = {
      {0x000000FF, 0xF800, 0x001F},
      {0x00FF0000, 0x001F, 0xF800},
      {0x0000FF00, 0x07E0, 0x07E0},
      {0x00FFFFFF, 0xFFFF, 0xFFFF},
      {0x00000000, 0x0000, 0x0000},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(GUICC_565R_Color2Index(c.color), c.index565R) << std::hex << c.color;
    EXPECT_EQ(GUICC_565B_Color2Index(c.color), c.index565B) << std::hex << c.color;
  }
  EXPECT_EQ(GUICC_565R_Index2Color(0xFFFF), 0x00FFFFFFu);
  EXPECT_EQ(GUICC_565R_Index2Color(0x5800), 0x0000005Bu);
  EXPECT_EQ(GUICC_565B_Index2Color(0x5800), 0x005B0000u);
}

TEST(ColorConversion, EveryIndexSurvivesTheRoundTrip) {
  for (uint32_t i = 0; i < 65536; ++i) {
    ASSERT_EQ(GUICC_565R_Color2Index(GUICC_565R_Index2Color(i)), i);
    ASSERT_EQ(GUICC_565B_Color2Index(GUICC_565B_Index2Color(i)), i);
  }
}

TEST(ColorConversion, BulkConversionInPlace) {
  // Three 16-bit indices at the start of a buffer of three 32-bit colours.
  uint32_t buf[3] = {};
  const uint16_t idx[3] = {0xF800, 0x07E0, 0x001F};
  std::memcpy(buf, idx, sizeof idx);
  GUICC_565R_Index2ColorBulk(buf, buf, 3, 2);
  EXPECT_EQ(buf[0], 0x000000FFu);
  EXPECT_EQ(buf[1], 0x0000FF00u);
  EXPECT_EQ(buf[2], 0x00FF0000u);
  uint16_t back[3];
  GUICC_565R_Color2IndexBulk(buf, back, 3, 2);
  EXPECT_EQ(std::memcmp(back, idx, sizeof idx), 0);
}

TEST(ColorConversion, PixelPacking) {
  uint32_t px[10] = {1, 0, 1, 1, 0, 0, 0, 1, 1, 1};
  EXPECT_EQ(GUI__CompactPixelIndices(px, 10, 1), 1);
  auto* b = reinterpret_cast<uint8_t*>(px);
  EXPECT_EQ(b[0], 0xB1);
  EXPECT_EQ(b[1], 0xC0);
  uint32_t quad[3] = {0x3, 0x1, 0x2};
  GUI__CompactPixelIndices(quad, 3, 2);
  EXPECT_EQ(reinterpret_cast<uint8_t*>(quad)[0], 0xD8);
  EXPECT_EQ(GUI__CompactPixelIndices(quad, 3, 24), 0);
  GUI_COLOR colors[2] = {0x000000FF, 0x00FF0000};
  uint16_t out[2];
  GUI__CompactPixelIndicesEx(colors, 2, 16, &GUICC_565R, out);
  EXPECT_EQ(out[0], 0xF800);
  EXPECT_EQ(out[1], 0x001F);
  EXPECT_EQ(GUI_CalcColorDist(0x00010203, 0x00000000), 1u + 4u + 9u);
}

}  // namespace
