// The operating interface's own tests run without the firmware: the interface reads the
// stand-in values of its device-state record (g_opDeviceState), and reaches only device
// communication (real or fake) and its own service records, which the blocks of the page
// tests share.
#include <gtest/gtest.h>

#include "blocks/info/info_links.h"
#include "blocks/visual/visual_links.h"
#include "comm/com_services.h"
#include "opui/op_links.h"
#include "opui/op_services.h"

namespace {

class OpuiLinks : public ::testing::Environment {
 public:
  void SetUp() override {
    OP_InstallLinks({.busSetAddress = COM_BusSetAddress, .canNodeTable = COM_CanNodeTable});
    INFO_InstallLinks({.displaySwitches = &OpDisplaySwitches,
                       .pageRequest = &OpPageRequest,
                       .shownPageBlock = &OpShownPageBlock});
    VIS_InstallLinks(
        {.alarmDisplayFlags = OpAlarmDisplayFlags, .idleShown = &OpIdleShown, .touchPressed = &OpTouchPressed});
  }
};

[[maybe_unused]] ::testing::Environment* const g_opuiLinks =
    ::testing::AddGlobalTestEnvironment(new OpuiLinks);

}  // namespace
