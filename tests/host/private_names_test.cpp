// Every test process runs apart from the user's programs and from other test processes: the
// test main gives it its own shared-name prefix, runtime folder and settings folders, and the
// programs it starts inherit them.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <string>

#include "host/ipc.h"
#include "host/shared_block.h"
#include "support/test_env.h"

namespace {

bool Below(const std::string& path, const std::string& folder) {
  return !folder.empty() && path.rfind(folder + "/", 0) == 0;
}

TEST(PrivateNames, EveryNameAndFolderOfATestProcessIsItsOwn) {
  const std::string own = testenv::PrivateFolder();
  ASSERT_FALSE(own.empty());
  const std::string prefix = host::SharedNamePrefix();
  EXPECT_NE(prefix.find(std::to_string(getpid())), std::string::npos) << prefix;
  const char* started = std::getenv("SIM74_2_NAME_PREFIX");
  ASSERT_NE(started, nullptr);
  EXPECT_EQ(prefix, started) << "a simulator started by a test takes the same names";
  EXPECT_TRUE(Below(host::IpcFolder(), own)) << host::IpcFolder();
  for (const char* v : {"XDG_RUNTIME_DIR", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "HOME"}) {
    const char* value = std::getenv(v);
    ASSERT_NE(value, nullptr) << v;
    EXPECT_TRUE(Below(value, own)) << v << "=" << value;
  }
  // A test that points a folder elsewhere for a while puts it back to its own, not the user's.
  setenv("XDG_CONFIG_HOME", "/elsewhere", 1);
  testenv::Reset("XDG_CONFIG_HOME");
  EXPECT_TRUE(Below(std::getenv("XDG_CONFIG_HOME"), own));
}

}  // namespace
