// Engineering login: the password encoding, login attempts with lock and erase, the login
// block in the image and the edit-access rules.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "runtime/fw_login.h"
#include "runtime/runtime_state.h"

namespace {

using Code = std::array<uint8_t, FW_PASSWORD_LEN>;

Code encode(const char* text) {
  Code e;
  e.fill(0xFF);
  FW_PasswordEncode(text, e.data());
  return e;
}

TEST(PasswordEncode, CaseLengthAndKnownValue) {
  EXPECT_EQ(encode("abc"), encode("ABC"));
  EXPECT_EQ(encode("Heater-Loop-0123"), encode("Heater-Loop-0123X"));
  EXPECT_NE(encode("abc"), encode("abd"));
  EXPECT_NE(encode("abc"), encode("abcd"));
  const Code abc{0x81, 0xca, 0x13, 0xab, 0xa7, 0xa5, 0xa4, 0x23,
                 0xe3, 0x83, 0x83, 0x83, 0x83, 0x83, 0xa6, 0x37};
  EXPECT_EQ(encode("abc"), abc);
  // The caller's text stays as it is; an empty text encodes to nothing.
  char text[20] = "abc\0XYZ";
  Code out;
  out.fill(0xFF);
  EXPECT_EQ(FW_PasswordEncode(text, out.data()), 1);
  EXPECT_EQ(std::memcmp(text, "abc\0XYZ", 8), 0);
  out.fill(0xFF);
  EXPECT_EQ(FW_PasswordEncode("", out.data()), 0);
  EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](uint8_t b) { return b == 0xFF; }));
}

class Login : public ::testing::Test {
 protected:
  void SetUp() override {
    rt::resetFirmware();
    rt::registerType(rt::kT11);
    ASSERT_EQ(FB_CreateInstance(11, 150), FB_OK);
    std::memcpy(FW_SysImage(), "MX7N", 4);
  }
  static uint8_t* image() { return FW_SysImage(); }
};

TEST_F(Login, WithoutPasswordAnAttemptChangesNothing) {
  image()[FW_SYS_LOGIN_TRIES] = 3;
  for (int i = 0; i < 10; ++i) EXPECT_EQ(FW_PasswordCheck("guess"), 0);
  EXPECT_EQ(g_fwLogin.access, FW_ACCESS_OPEN);
  EXPECT_EQ(g_fwLogin.wrongTries, 0);
  EXPECT_NE(FB_GetInstance(150), nullptr);
}

TEST_F(Login, SeventhWrongTryOfThreeErasesTheEngineering) {
  image()[FW_SYS_LOGIN_TRIES] = 3;
  FW_PasswordSet("secret");
  ASSERT_EQ(g_fwLogin.access, FW_ACCESS_LOGGED_IN);
  for (int i = 1; i <= 6; ++i) {
    EXPECT_EQ(FW_PasswordCheck("wrong"), 0);
    EXPECT_EQ(g_fwLogin.access, FW_ACCESS_LOCKED);
    EXPECT_EQ(g_fwLogin.wrongTries, i);
    ASSERT_NE(FB_GetInstance(150), nullptr) << "try " << i;
  }
  g_fwRunMode = FW_RUN_MODE_RUN;
  EXPECT_EQ(FW_PasswordCheck("wrong"), 0);
  EXPECT_EQ(FB_GetInstance(150), nullptr);
  EXPECT_EQ(g_fwLogin.access, FW_ACCESS_OPEN);
  EXPECT_EQ(g_fwLogin.wrongTries, 0);
  EXPECT_TRUE(std::all_of(std::begin(g_fwLogin.record), std::end(g_fwLogin.record),
                          [](uint8_t b) { return b == 0xFF; }));
  EXPECT_EQ(g_fwRunMode, FW_RUN_MODE_STOP);
  EXPECT_EQ(image()[FW_SYS_RUN_MODE], 1);
  EXPECT_FALSE(FW_SysStatus() & FW_STAT_REWRITE) << "the whole image was saved";
  EXPECT_TRUE(FW_EepromPending()) << "and queued for the EEPROM";
  EXPECT_TRUE(FW_SysStatus() & FW_STAT_STOPPED);
  EXPECT_TRUE(g_fwSys.storeFlags & FW_STORE_LOGIN) << "the removal is stored too";
}

TEST_F(Login, RightPasswordLogsInAndResetsTheCount) {
  image()[FW_SYS_LOGIN_TRIES] = 3;
  FW_PasswordSet("secret");
  EXPECT_EQ(FW_PasswordCheck("nope"), 0);
  EXPECT_EQ(FW_PasswordCheck("SECRET"), 1);
  EXPECT_EQ(g_fwLogin.access, FW_ACCESS_LOGGED_IN);
  EXPECT_EQ(g_fwLogin.wrongTries, 0);
  EXPECT_EQ(FW_PasswordCheck(""), 0) << "an empty text is a wrong password";
  EXPECT_EQ(g_fwLogin.access, FW_ACCESS_LOCKED);
}

TEST_F(Login, UncountedTriesOnlyLock) {
  image()[FW_SYS_LOGIN_TRIES] = 0;
  FW_PasswordSet("secret");
  for (int i = 0; i < 50; ++i) EXPECT_EQ(FW_PasswordCheck("wrong"), 0);
  EXPECT_EQ(g_fwLogin.access, FW_ACCESS_LOCKED);
  EXPECT_EQ(g_fwLogin.wrongTries, 0);
  EXPECT_NE(FB_GetInstance(150), nullptr);
}

TEST_F(Login, SetNormalisesSettingsAndABlankTextSetsNone) {
  image()[FW_SYS_LOGIN_LEVEL] = 5;
  image()[FW_SYS_LOGIN_TRIES] = 150;
  FW_PasswordSet("pw");
  EXPECT_EQ(image()[FW_SYS_LOGIN_LEVEL], 0);
  EXPECT_EQ(image()[FW_SYS_LOGIN_TRIES], 10);
  EXPECT_TRUE(g_fwSys.storeFlags & FW_STORE_LOGIN);
  for (const char* none : {" pw", ""}) {
    FW_PasswordSet(none);
    EXPECT_EQ(g_fwLogin.access, FW_ACCESS_OPEN);
    EXPECT_EQ(g_fwLogin.record[0], 0xFF);
  }
}

TEST_F(Login, TheNextStartComesUpLocked) {
  uint8_t* block = image() + FW_SYS_LOGIN_BLOCK;
  block[0] = 1;
  block[1] = 2;
  for (uint32_t k = 1; k <= 12; ++k) block[1u << k] = static_cast<uint8_t>(k + 2);
  FW_PasswordSet("secret");
  ASSERT_EQ(FW_PasswordStore(), 0);
  for (uint32_t k = 1; k <= 12; ++k) EXPECT_EQ(block[1u << k], k + 2) << "size-test byte kept";
  EXPECT_EQ(block[0], 1);
  EXPECT_EQ(block[1], 2);

  FW_ResetLogin();
  FW_PasswordLoad();
  EXPECT_EQ(g_fwLogin.access, FW_ACCESS_LOCKED);
  EXPECT_EQ(FW_PasswordCheck("secret"), 1);

  // A cleared record (all 0xFF or all 0x00) is no password.
  for (uint8_t fill : {uint8_t{0xFF}, uint8_t{0x00}}) {
    for (uint32_t off : FW_LOGIN_RECORD_OFFSETS) block[off] = block[off + 1] = fill;
    FW_ResetLogin();
    FW_PasswordLoad();
    EXPECT_EQ(g_fwLogin.access, FW_ACCESS_OPEN);
  }
}

TEST_F(Login, StoresQueueTheLoginBlockAndSettings) {
  FW_PasswordSet("secret");
  g_fwLogin.wrongTries = 4;
  ASSERT_EQ(FW_LoginSettingsStore(), 0);
  EXPECT_EQ(image()[FW_SYS_LOGIN_BLOCK + FW_LOGIN_TRIES_OFFSET], 4);
  for (int i = 0; i < 20 && FW_PasswordStore() == 0; ++i) {
  }
  EXPECT_EQ(FW_PasswordStore(), 1) << "a full ring is reported";
}

// A store of the record the block already carries keeps the block byte for byte (a project
// that nobody changed saves the same image); a new record or count brings new filler.
TEST_F(Login, AStoreOfTheSameRecordKeepsTheBlock) {
  FW_PasswordSet("secret");
  ASSERT_EQ(FW_PasswordStore(), 0);
  const uint8_t* block = image() + FW_SYS_LOGIN_BLOCK;
  const std::vector<uint8_t> first(block, block + FW_SYS_LOGIN_BLOCK_LEN);
  ASSERT_EQ(FW_PasswordStore(), 0);
  EXPECT_TRUE(std::equal(first.begin(), first.end(), block));
  g_fwLogin.wrongTries = 2;
  ASSERT_EQ(FW_PasswordStore(), 0);
  EXPECT_EQ(block[FW_LOGIN_TRIES_OFFSET], 2);
  size_t differ = 0;
  for (uint32_t at = 0; at < FW_SYS_LOGIN_BLOCK_LEN; ++at) differ += block[at] != first[at];
  EXPECT_GT(differ, FW_SYS_LOGIN_BLOCK_LEN / 2) << "the filler is renewed";
  FW_ResetLogin();
  FW_PasswordLoad();
  EXPECT_EQ(FW_PasswordCheck("secret"), 1);
}

TEST(EditAccess, ByTypeItemSourceLevelAndLock) {
  rt::resetFirmware();
  struct Case {
    uint16_t type, item, source;
    int refusedFromLevel;   // refused when locked at this level or above; 4: never
  } cases[] = {
      {180, 0, 0, 0},  {113, 1, 0, 1}, {149, 0, 1, 1}, {179, 0, 0, 1}, {178, 0, 1, 4},
      {178, 1, 0, 2},  {65, 0, 0, 2},  {101, 3, 1, 2}, {177, 0, 0, 3}, {0, 1, 0, 3},
      {57, 0, 1, 3},   {57, 0, 0, 4},  {20, 0, 0, 4},  {58, 2, 1, 4},  {102, 1, 1, 4},
      {150, 1, 1, 4},
  };
  for (const Case& c : cases) {
    for (int level = 0; level <= 3; ++level) {
      for (uint8_t access : {FW_ACCESS_OPEN, FW_ACCESS_LOGGED_IN, FW_ACCESS_LOCKED}) {
        SCOPED_TRACE(testing::Message() << "type " << c.type << " item " << c.item << " source "
                                        << c.source << " level " << level << " access "
                                        << int(access));
        FW_SysImage()[FW_SYS_LOGIN_LEVEL] = static_cast<uint8_t>(level);
        g_fwLogin.access = access;
        const bool refused = access == FW_ACCESS_LOCKED && level >= c.refusedFromLevel;
        EXPECT_EQ(FW_CheckEditAccess(c.type, c.item, c.source) & 0xFF, refused ? 0 : 1);
      }
    }
  }
}

}  // namespace
