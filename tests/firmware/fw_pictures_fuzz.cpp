// User-picture data with arbitrary bytes: the picture loading of the main cycle reads every
// record inside the data, ends on a bad record, and never passes its table.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "fakes/fake_comm.h"
#include "fakes/fake_gui.h"
#include "fakes/fake_opui.h"
#include "firmware/fw_main.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fakegui::Reset();
  FakeOpuiLog().clear();
  TheFakeComm().reset();
  // The first byte picks the sizes the decoders report (0 = no picture).
  const int side = size ? data[0] % 8 : 0;
  fakegui::SetResult("GUI_BMP_GetXSize", side);
  fakegui::SetResult("GUI_BMP_GetYSize", side);
  // A copy of exactly the input's size, so that any read past it is caught.
  std::vector<uint8_t> pictures(data + (size ? 1 : 0), data + size);
  FW_ResetMain();
  FW_SetUserPictures(pictures.data(), static_cast<uint32_t>(pictures.size()));
  g_fwMain.deviceMode = FW_DEVICE_ENGINEERING;
  g_fwMain.runState = FW_STATE_PICTURES;
  for (uint32_t i = 0; i <= FW_PICTURE_TABLE_SIZE && g_fwMain.runState == FW_STATE_PICTURES; ++i) {
    FW_Cycle();
  }
  if (g_fwMain.runState != FW_STATE_STOPPED || g_fwMain.pictureCount > FW_PICTURE_TABLE_SIZE) {
    std::abort();
  }
  FW_SetUserPictures(nullptr, 0);
  return 0;
}
