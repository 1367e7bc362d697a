// Fixture for the trend viewer: an offscreen QApplication, settings in a temporary
// XDG_CONFIG_HOME, hooks that record beeps, message boxes and dialogs (and answer them), the
// trend library's fixture for records, and the viewer's application started with a command
// line. Every application, handle and folder made through it goes at the end.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <QApplication>
#include <QDialog>
#include <atomic>
#include <chrono>
#include <clocale>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "support/config_folder.h"
#include "support/test_env.h"
#include "support/trend_fixture.h"
#include "trendview/kurvan_app.h"
#include "trendview/kurvan_ui.h"

namespace kurvantest {

inline QApplication* App() {
  static int argc = 1;
  static char name[] = "kurvan_tests";
  static char* argv[] = {name, nullptr};
  static QApplication* app = [] {
    auto* a = new QApplication(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    return a;
  }();
  return app;
}

// True when another thread can take the record's lock: nobody in this thread kept it.
inline bool LockIsFree(KurvanHandle h) {
  bool ok = false;
  std::thread t([&] {
    ok = KurvanLock(h) != nullptr;
    if (ok) KurvanUnlock(h);
  });
  t.join();
  return ok;
}

// Holds a record's lock from another thread until released.
class ForeignLock {
 public:
  explicit ForeignLock(KurvanHandle h) : h_(h) {
    t_ = std::thread([this] {
      locked_ = KurvanLock(h_) != nullptr;
      ready_ = true;
      while (!release_) std::this_thread::sleep_for(std::chrono::milliseconds(2));
      if (locked_) KurvanUnlock(h_);
    });
    while (!ready_) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ~ForeignLock() {
    release_ = true;
    t_.join();
  }
  bool locked() const { return locked_; }

 private:
  KurvanHandle h_;
  std::thread t_;
  std::atomic<bool> ready_{false}, release_{false}, locked_{false};
};

class KurvanTest : public trendtest::TrendTest {
 protected:
  void SetUp() override {
    App();
    TrendTest::SetUp();
    KurvanOptions o = KurvanGetOptions();
    o.lockTimeoutMs = 300;
    KurvanSetOptions(o);
    folder = testenv::FreshFolder("kurvan");
    configFolder = config.emplace("kurvan").root();
    hooks.beep = [this](int kind) { beeps.push_back(kind); };
    hooks.messageBox = [this](QWidget*, const QString& text, KurvanBox) {
      boxes.push_back(text);
      return boxAnswer;
    };
    hooks.runDialog = [this](QDialog* d) {
      dialogs.push_back(d->windowTitle());
      return onDialog ? onDialog(d) : KURVAN_ID_OK;
    };
    hooks.fileDialog = [this](QWidget*, bool, const QString&, const QString&) { return filePath; };
    KurvanSetUiHooks(&hooks);
  }
  void TearDown() override {
    app.reset();
    KurvanSetUiHooks(nullptr);
    TrendTest::TearDown();
    config.reset();
    std::filesystem::remove_all(folder);
  }
  // Starts the viewer's application with the command line; `program` defaults to the built
  // program beside its language libraries. Returns what InitInstance returned.
  bool Start(const std::string& commandLine, const std::string& program = KURVAN_PROGRAM) {
    app.reset();
    app = std::make_unique<CKurvanApp>(program);
    return app->InitInstance(commandLine);
  }
  // A program path in a folder of its own that holds only the language libraries named.
  std::string ProgramWith(const std::vector<char>& letters, const std::string& name = "Kurvan") {
    const std::string dir = folder + "/prog" + std::to_string(++programs);
    std::filesystem::create_directories(dir);
    const std::string from = std::filesystem::path(KURVAN_PROGRAM).parent_path().string();
    for (char c : letters) {
      const std::string lib = std::string("Kurvan2") + c + ".so";
      std::filesystem::create_symlink(from + "/" + lib, dir + "/" + lib);
    }
    return dir + "/" + name;
  }
  static std::string MapName(KurvanHandle h) {
    const uint8_t* rec = KurvanLock(h);
    std::string name = rec ? TrendGetText(rec, TREND_REC_MAPNAME, TREND_MAPNAME_BYTES) : "";
    KurvanUnlock(h);
    return name;
  }
  // Runs `edit` on the record under its lock.
  static void Edit(KurvanHandle h, const std::function<void(uint8_t*)>& edit) {
    uint8_t* rec = KurvanLock(h);
    ASSERT_NE(rec, nullptr);
    edit(rec);
    KurvanUnlock(h);
  }
  static void Cycle(KurvanHandle h, std::vector<float> analog, std::vector<unsigned char> digital = {}) {
    analog.resize(8);
    digital.resize(16);
    KurvanCycle(h, analog.data(), digital.data(), 1);
  }

  std::unique_ptr<CKurvanApp> app;
  std::string folder;
  std::optional<ScopedConfigFolder> config;  // XDG_CONFIG_HOME while the test runs
  std::string configFolder;
  KurvanUiHooks hooks;
  std::vector<int> beeps;
  std::vector<QString> boxes;
  std::vector<QString> dialogs;
  int boxAnswer = KURVAN_ID_YES;
  std::function<int(QDialog*)> onDialog;
  QString filePath;
  int programs = 0;
};

}  // namespace kurvantest
