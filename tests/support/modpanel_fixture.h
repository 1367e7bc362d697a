// The module panel in the test's process: an offscreen application, a settings folder of
// the test's own, and a frame with its view that the test drives by message number.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <QApplication>
#include <QCheckBox>
#include <QRadioButton>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "modpanel/main_frame.h"
#include "modpanel/module_dialogs.h"
#include "modpanel/tq500_protocol.h"
#include "modpanel/tq500_view.h"
#include "support/config_folder.h"

namespace paneltest {

inline QApplication* App() {
  static int argc = 1;
  static char name[] = "modpanel_tests";
  static char* argv[] = {name, nullptr};
  static QApplication* app = new QApplication(argc, argv);
  return app;
}

class PanelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    App();
    folder = config.emplace("modpanel").root();
    frame = std::make_unique<CMainFrame>("/opt/sim/tq500");
  }
  void TearDown() override {
    frame.reset();
    config.reset();
  }

  CTQ500View* view() { return frame->view(); }
  int32_t Add(int code, int32_t setting) {
    return frame->send(TQ500_MSG_ADD_MODULE, static_cast<uint32_t>(code), setting);
  }
  uint32_t Input(int slot, int channel) {
    return static_cast<uint32_t>(frame->send(TQ500_MSG_GET_INPUT, static_cast<uint32_t>(slot * 256 + channel), 0));
  }
  void Output(int slot, int channel, int32_t word) {
    EXPECT_EQ(frame->send(TQ500_MSG_SET_OUTPUT, static_cast<uint32_t>(slot * 256 + channel), word), 0);
  }
  template <class T>
  T* Item(int place, int id) {
    CModuleDlg* d = view()->panel(place);
    return d ? dynamic_cast<T*>(d->GetDlgItem(id)) : nullptr;
  }
  bool Checked(int place, int id) {
    auto* b = Item<QAbstractButton>(place, id);
    return b && b->isChecked();
  }

  std::filesystem::path folder;
  std::optional<ScopedConfigFolder> config;  // XDG_CONFIG_HOME while the test runs
  std::unique_ptr<CMainFrame> frame;
};

}  // namespace paneltest
