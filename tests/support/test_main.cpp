// The main of every test binary. Each test process runs apart from the programs a user runs
// on the same machine and from every other test process: its own prefix before the shared
// names (shared memory, events, window endpoints), its own runtime folder for the endpoints
// and its own settings, data and cache folders, all under one temporary folder that is
// removed at the end. Programs the tests start (the simulator, the module panel, the trend
// viewer, the PC tool) inherit the same environment, so they find each other and nobody else.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

#include "host/shared_block.h"
#include "support/test_env.h"

namespace {

std::string g_folder;
std::string g_prefix;
pid_t g_owner = 0;
std::map<std::string, std::string> g_set;  // what the main set, by variable

void Set(const char* name, const std::string& value) {
  setenv(name, value.c_str(), 1);
  g_set[name] = value;
}

void RemoveFolder() {
  // A forked child that leaves through exit() must not remove its parent's folder.
  if (getpid() != g_owner || g_folder.empty()) return;
  std::error_code ec;
  std::filesystem::remove_all(g_folder, ec);
}

// Shared memory and events under the prefix of this process can only be left by an earlier
// process of the same id (ids come round again on a busy machine). Such a name would count as
// in use whenever its owner's id belongs to a live process by then, so it goes before any test.
void RemoveStaleNames(const std::string& prefix) {
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator("/dev/shm", ec)) {
    const std::string name = e.path().filename().string();
    if (name.rfind(prefix, 0) == 0 || name.rfind("sem." + prefix, 0) == 0) std::filesystem::remove(e.path(), ec);
  }
}

void Isolate() {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/simtest.XXXXXX";
  if (!mkdtemp(pattern.data())) {
    std::perror("test main: no temporary folder");
    std::exit(2);
  }
  g_folder = pattern;
  g_owner = getpid();
  std::atexit(RemoveFolder);
  const struct {
    const char* variable;
    const char* sub;
  } folders[] = {
      {"XDG_RUNTIME_DIR", "/run"},    {"XDG_CONFIG_HOME", "/config"}, {"XDG_DATA_HOME", "/data"},
      {"XDG_CACHE_HOME", "/cache"},   {"XDG_STATE_HOME", "/state"},   {"HOME", "/home"},
  };
  for (const auto& f : folders) {
    const std::string path = g_folder + f.sub;
    mkdir(path.c_str(), 0700);
    Set(f.variable, path);
  }
  g_prefix = "simtest" + std::to_string(getpid()) + ".";
  RemoveStaleNames(g_prefix);
  host::SetSharedNamePrefix(g_prefix);
  Set("SIM74_2_NAME_PREFIX", g_prefix);  // simulators started by the tests
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
}

}  // namespace

namespace testenv {
const std::string& PrivateFolder() { return g_folder; }

std::string FreshFolder(const std::string& name) {
  std::string pattern = g_folder + "/" + name + ".XXXXXX";
  if (!mkdtemp(pattern.data())) {
    std::perror("test main: no fresh folder");
    std::exit(2);
  }
  return pattern;
}

const std::string& SharedNamePrefix() { return g_prefix; }

void Reset(const char* name) {
  auto it = g_set.find(name);
  if (it == g_set.end())
    unsetenv(name);
  else
    setenv(name, it->second.c_str(), 1);
}
}  // namespace testenv

int main(int argc, char** argv) {
  Isolate();
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
