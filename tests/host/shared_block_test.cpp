// Named shared-memory blocks: ownership, stale names left by dead processes, removal.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "host/shared_block.h"

namespace {

class SharedBlockTest : public ::testing::Test {
 protected:
  void SetUp() override { host::SetSharedNamePrefix("simtest" + std::to_string(getpid()) + "."); }
};

TEST_F(SharedBlockTest, ALiveNameCannotBeCreatedTwice) {
  std::string err;
  auto a = host::SharedBlock::Create("Blk", 8192, 4096, &err);
  ASSERT_TRUE(a) << err;
  EXPECT_EQ(a->mappedBytes(), 4096u);
  std::memcpy(a->data(), "hello", 6);
  EXPECT_TRUE(host::SharedBlock::InUse("Blk"));
  EXPECT_FALSE(host::SharedBlock::Create("Blk", 8192, 0, &err));
  EXPECT_NE(err.find("in use"), std::string::npos);
  // Another user opens the live block instead of making a new one.
  auto b = host::SharedBlock::OpenOrCreate("Blk", 8192, 4096, &err);
  ASSERT_TRUE(b);
  EXPECT_FALSE(b->owner());
  EXPECT_STREQ(static_cast<const char*>(b->data()), "hello");
  b.reset();
  EXPECT_TRUE(host::SharedBlock::InUse("Blk"));
  a.reset();
  EXPECT_FALSE(host::SharedBlock::InUse("Blk"));
}

TEST_F(SharedBlockTest, NameOfADeadOwnerIsStaleAndReused) {
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::string err;
    auto b = host::SharedBlock::Create("Stale", 4096, 0, &err);
    bool made = b != nullptr;
    (void)b.release();             // ends without removing the name, as a crash would
    _exit(made ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_EQ(WEXITSTATUS(status), 0);
  EXPECT_FALSE(host::SharedBlock::InUse("Stale"));
  std::string err;
  auto again = host::SharedBlock::Create("Stale", 4096, 0, &err);
  EXPECT_TRUE(again) << err;
}

TEST_F(SharedBlockTest, AnotherProcessOpensABlockByItsFullName) {
  std::string err;
  auto a = host::SharedBlock::Create("Full", 5000, 0, &err);
  ASSERT_TRUE(a) << err;
  EXPECT_EQ(a->fullName(), host::SharedNamePrefix() + "Full");
  std::memcpy(a->data(), "record", 7);
  const std::string full = a->fullName();
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    host::SetSharedNamePrefix("");  // a started program knows only the name it was given
    auto b = host::SharedBlock::OpenFull(full, nullptr);
    bool ok = b && !b->owner() && b->mappedBytes() >= 5000 &&
              std::strcmp(static_cast<const char*>(b->data()), "record") == 0 && b->fullName() == full;
    _exit(ok ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_FALSE(host::SharedBlock::OpenFull(host::SharedNamePrefix() + "NoSuch", &err));
  EXPECT_FALSE(host::SharedBlock::OpenFull("a/b", &err));
  EXPECT_FALSE(host::SharedBlock::OpenFull("", &err));
  a.reset();
  EXPECT_FALSE(host::SharedBlock::OpenFull(full, &err));
}

}  // namespace
