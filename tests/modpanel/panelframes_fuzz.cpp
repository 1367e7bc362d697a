// The frames a panel receives from its endpoint: any series of messages with any words and
// texts leaves at most ten places and never reads or writes past them.
#include <stdlib.h>
#include <unistd.h>

#include <QApplication>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "modpanel/main_frame.h"
#include "modpanel/tq500_app.h"
#include "modpanel/tq500_protocol.h"
#include "modpanel/tq500_view.h"

// The font and desktop-bus libraries keep a few allocations until the process ends.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\nleak:libdbus-1.so\n"; }

namespace {

QApplication* App() {
  static QApplication* app = [] {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // A closed frame writes its position: into the folder the target runs in.
    char cwd[4096];
    const std::string config = std::string(getcwd(cwd, sizeof cwd) ? cwd : "/tmp") + "/panelframes_fuzz_config";
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    static int argc = 1;
    static char name[] = "panelframes_fuzz";
    static char* argv[] = {name, nullptr};
    return new QApplication(argc, argv);
  }();
  return app;
}

uint32_t Get32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

// The messages the panel knows, so that most frames reach a handler.
constexpr uint32_t kMessages[] = {TQ500_MSG_ADD_MODULE, TQ500_MSG_GET_INPUT, TQ500_MSG_SET_OUTPUT,
                                  TQ500_MSG_SET_TEXT,   TQ500_MSG_GET_TEXT,  TQ500_MSG_SHOW_WINDOW,
                                  TQ500_MSG_SYSCOMMAND};

}  // namespace

// Frames: a selector byte (a known message, or the next four bytes as the number), wParam,
// lParam, a length byte and that much text.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  App();
  CTQ500App app("/opt/sim/tq500");
  app.InitInstance("", TQ500_SW_HIDE);
  size_t i = 0;
  while (i + 9 <= size) {
    host::IpcFrame f;
    const uint8_t sel = data[i++];
    if (sel < 7 * 32) {
      f.message = kMessages[sel % 7];
    } else {
      if (i + 4 > size) break;
      f.message = Get32(data + i);
      i += 4;
    }
    if (i + 9 > size) break;
    f.wParam = Get32(data + i);
    f.lParam = static_cast<int32_t>(Get32(data + i + 4));
    const size_t n = data[i + 8];
    i += 9;
    const size_t take = n < size - i ? n : size - i;
    f.payload.assign(reinterpret_cast<const char*>(data) + i, take);
    i += take;
    std::string reply;
    app.OnMessage(f, &reply);
    if (app.frame()->view()->placeCount() > TQ500_MAX_PLACES) __builtin_trap();
  }
  return 0;
}
