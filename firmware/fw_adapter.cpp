#include "firmware/fw_adapter.h"

#include <algorithm>
#include <cstring>

#include "blocks/exchange/exchange.h"
#include "comm/com_services.h"
#include "firmware/fw_links.h"
#include "firmware/fw_main.h"
#include "firmware/fw_plant.h"
#include "opui/op_services.h"
#include "runtime/fw_defer.h"
#include "runtime/fw_eeprom.h"
#include "runtime/fw_image.h"
#include "runtime/fw_mode.h"

// The trend readers are the exchange family's L1READ blocks.
static_assert(FW_TYPE_L1READ == BLK_TYPE_L1READ);

FwAdapterState g_fwAdapter = {0, 0, 0, 1, FW_RUN_MODE_NONE, 0, {}};
FwTrendReaders g_fwTrendReaders;

namespace {

FwDelayHook g_delay;

void delay(int ms) {
  if (g_delay) g_delay(ms);
}

uint8_t* image() { return FW_LinkImage(); }

void queueRunModeByte() {
  FW_QueueEepromWrite(image() + FW_OFS_RUN_MODE, FW_OFS_RUN_MODE, 1);
}

// The firmware's images into the shell's project buffers (and their reference copies).
void imagesToHost() {
  SimHostState& s = SimState();
  for (uint8_t* b : {s.engineering, s.engineeringRef}) {
    if (b) std::memcpy(b, image(), SIM_ENGINEERING_SIZE);
  }
  for (uint8_t* b : {s.data, s.dataRef}) {
    if (b) std::memcpy(b, g_fwInternalEeprom, SIM_DATA_SIZE);
  }
}

// The device's language is the simulator's, not the project's: the shell's saved copy takes
// the byte as well, so that a project opened in another language than it was saved in counts
// as unchanged.
void applyLanguage(SimHostState& s, uint8_t* img) {
  img[FW_OFS_LANGUAGE] = static_cast<uint8_t>(s.language);
  if (s.engineeringRef) s.engineeringRef[FW_OFS_LANGUAGE] = img[FW_OFS_LANGUAGE];
}

uint16_t digitValue(uint8_t c) { return c >= '0' && c <= '9' ? static_cast<uint16_t>(c - '0') : 0; }
uint8_t digitChar(uint16_t v) { return static_cast<uint8_t>('0' + (v <= 9 ? v : 0)); }

// The tick's PC-tool step: a request of the PC-tool channel, received and answered. The request
// is taken at once, so that it never runs twice; a frame that does not fit the buffers is
// not served but still answered (empty), so that the shell's exchange completes.
// False when the tick ends here (the request loaded an engineering: the shell restarts).
bool serveRequest() {
  SimHostState& s = SimState();
  if (!s.requestPending) {
    // A download that broke off: the device starts again with the engineering it ran.
    if (g_fwMain.deviceMode == FW_DEVICE_SERVICE && COM_DownloadBrokenOff()) {
      SimRequestRestart();
      return false;
    }
    return true;
  }
  s.requestPending = 0;
  ComFrameBuffers* channel = COM_FrameBuffers(COM_PC_CHANNEL);
  const uint32_t length = s.requestLength & 0x7FFFu;
  const bool binary = (s.requestLength & 0x8000u) != 0;
  const bool fits = channel && length <= SIM_TEXT_SIZE && length <= COM_RX_SIZE;
  if (fits) {
    std::memcpy(channel->rx, s.requestText, length);
    channel->rxLength = static_cast<uint16_t>(length);
    channel->rxBinary = binary ? 1 : 0;
    channel->txLength = 0;
    if (g_fwMain.deviceMode != FW_DEVICE_SERVICE) {
      COM_ReceiveFrame(COM_PC_CHANNEL);
    } else {
      // A text frame: EOT, two address digits, then the code; 'Z' loads an engineering.
      if (!binary && length > 3 && s.requestText[3] == 'Z') {
        s.haltFlag = 1;
        s.reloadRequest = 1;
      }
      COM_ReceiveFrame(COM_PC_CHANNEL);
      if (g_fwMain.deviceMode != FW_DEVICE_SERVICE) {
        SimRequestRestart();
        return false;
      }
    }
  }
  uint32_t answer = fits ? channel->txLength : 0;
  answer = std::min<uint32_t>({answer, COM_TX_SIZE, SIM_TEXT_SIZE - 1});
  if (answer) std::memcpy(s.responseText, channel->tx, answer);
  s.responseText[answer] = 0;
  s.responseLength = static_cast<uint16_t>(answer | 0x8000u);
  s.responseReady = 1;
  return true;
}

void tick();

}  // namespace

void FW_SetDelayHook(FwDelayHook hook) { g_delay = hook; }

void FW_ResetAdapter() {
  g_fwAdapter = FwAdapterState{};
  g_fwAdapter.firstStart = 1;
  g_fwAdapter.lastRunMode = FW_RUN_MODE_NONE;
  g_fwTrendReaders = FwTrendReaders{};
  g_delay = nullptr;
}

void FW_SetKeyMask(uint32_t mask) {
  switch (mask) {
    case 1: g_fwAdapter.keyCode = 1; break;
    case 2: g_fwAdapter.keyCode = 16; break;
    case 4: g_fwAdapter.keyCode = 2; break;
    case 8: g_fwAdapter.keyCode = 4; break;
    case 16: g_fwAdapter.keyCode = 8; break;
    default: g_fwAdapter.keyCode = 0; break;
  }
}

uint8_t FW_GetKeyCode() { return g_fwAdapter.keyCode; }

void FW_DigitsFromConfig(const SimDeviceConfig& c, uint8_t d[6]) {
  d[0] = digitChar(c.anschluss);
  d[1] = digitChar(static_cast<uint16_t>((c.relais ? 2 : 0) + (c.power ? 1 : 0)));
  d[2] = digitChar(c.commOpt);
  d[3] = digitChar(c.ksx);
  d[4] = digitChar(c.slotB);
  d[5] = digitChar(c.slotC);
}

void FW_ConfigFromDigits(const uint8_t d[6], SimDeviceConfig* c) {
  c->anschluss = digitValue(d[0]);
  c->relais = (d[1] == '2' || d[1] == '3') ? 1 : 0;
  c->power = (d[1] == '1' || d[1] == '3') ? 1 : 0;
  c->commOpt = digitValue(d[2]);
  c->ksx = digitValue(d[3]);
  c->slotB = digitValue(d[4]);
  c->slotC = digitValue(d[5]);
  c->unused1 = 0;
  c->unused2 = 0;
}

void FW_SimInit() {
  FW_SetupDisplay();
  for (int n = 3; n <= 6; ++n) OP_SetIndicator(n, 11, 0);
}

void FW_SimStart() {
  SimHostState& s = SimState();
  FwAdapterState& a = g_fwAdapter;
  uint8_t* img = image();
  FW_LinkConnectImage();

  delay(FW_DELAY_START);
  for (GUI_MEMDEV_Handle h : g_fwMain.memdev) GUI_MEMDEV_CopyToLCD(h);

  g_fwRunMode = FW_RUN_MODE_STOP;
  img[FW_OFS_RUN_MODE] = FW_RUN_MODE_STOP;
  g_fwEeprom.present = 1;

  if (s.reloadRequest) {
    s.reloadRequest = 0;
    std::memset(a.startPictureState, 0, sizeof a.startPictureState);
    if (s.imagesValid && s.engineering && s.data) {
      std::memcpy(img, s.engineering, SIM_ENGINEERING_SIZE);
      std::memcpy(g_fwInternalEeprom, s.data, SIM_DATA_SIZE);
      applyLanguage(s, img);
    } else {
      imagesToHost();
    }
    if (!a.firstStart) FW_ConfigFromDigits(img + FW_OFS_ORDER_CODE, &s.device);
  }

  // Size-test pattern in the last 4097 bytes: 1 at 0, 2 at 1, k + 2 at 2^k. It is the
  // device's own, written at every start: the shell's saved copy takes it as well, so that a
  // project opened later in the run does not count as changed by it.
  for (uint8_t* b : {img, s.engineeringRef}) {
    if (!b) continue;
    uint8_t* pattern = b + FW_SIZE_TEST_ADDRESS;
    pattern[0] = 1;
    pattern[1] = 2;
    for (int k = 1; k <= 12; ++k) pattern[1u << k] = static_cast<uint8_t>(k + 2);
  }

  img[FW_OFS_PRESENT] = 1;
  img[FW_OFS_ADDRESS] = 1;
  FW_DigitsFromConfig(s.device, img + FW_OFS_ORDER_CODE);

  FW_SetupIoBoards();
  std::memcpy(s.firmwareId, FW_FIRMWARE_IDENT, sizeof s.firmwareId);
  s.firmwareMajor = FW_FIRMWARE_IDENT[6];
  s.firmwareMinor = FW_FIRMWARE_IDENT[7];

  if (a.firstStart) {
    a.firstStart = 0;
    imagesToHost();
    s.imagesValid = 1;
  }

  FW_Init();
  // An image of another firmware was refused: the device stays stopped after the reload.
  if (FW_LinkTakeStayStopped()) s.stayStopped = 1;

  g_fwPlant.active = 0;
  s.requestPending = 0;
  s.responseReady = 0;
  a.deviceModeCopy = 0;
  a.moduleScanDone = 0;
  s.haltFlag = 0;
  s.restartFlag = 0;
}

void FW_SimCycle() {
  // A tick never starts inside another one (a modal box of the shell may deliver the cycle
  // timer while a tick runs): the firmware state would be changed half-way.
  static bool running = false;
  if (running) return;
  running = true;
  tick();
  running = false;
}

namespace {

void tick() {
  SimHostState& s = SimState();
  FwAdapterState& a = g_fwAdapter;

  // 1. Reload: a new project, a restart or a halt starts the firmware again.
  if (s.reloadRequest || s.haltFlag || s.restartFlag) {
    applyLanguage(s, image());
    SimRestartFirmware();
    a.tickCounter = 0;
    COM_BusReset();
    // A device whose load failed stays stopped: switched to run it would save its empty
    // store over the project.
    if (!s.stayStopped && FW_LinkLoadSucceeded()) {
      FW_LinkEngStatus() &= static_cast<uint8_t>(~FW_ENG_STOPPED);
      g_fwRunMode = FW_RUN_MODE_RUN;
      image()[FW_OFS_RUN_MODE] = FW_RUN_MODE_RUN;
      queueRunModeByte();
    }
    // Neither stop, run nor "first tick": the next step always sees a change.
    a.lastRunMode = 0;
  }

  // 2. Save request: the images go back to the shell whatever the save reported.
  if (s.saveRequest) {
    s.saveRequest = 0;
    FW_LinkSaveEngineering();
    if (s.engineering) std::memcpy(s.engineering, image(), SIM_ENGINEERING_SIZE);
    if (s.data) std::memcpy(s.data, g_fwInternalEeprom, SIM_DATA_SIZE);
  }

  // 3. Module panels to be closed.
  if (s.closePanelsRequest) {
    s.closePanelsRequest = 0;
    SimModulePanelCloseAll();
  }

  // 4. Run-mode change.
  if (g_fwRunMode != a.lastRunMode) {
    if (a.lastRunMode == FW_RUN_MODE_NONE) delay(FW_DELAY_FIRST_RUN);
    s.runMode = g_fwRunMode;
    g_fwPlant.active = 0;
    a.moduleScanDone = 0;
    if (g_fwRunMode == FW_RUN_MODE_RUN) {
      s.plant.status = 0;
      FW_PlantEnterRun();
      FW_CollectTrendReaders();
    }
    a.lastRunMode = g_fwRunMode;
  }

  // 5. Ticks in the run mode; the remote modules are scanned on the 19th.
  if (g_fwRunMode == FW_RUN_MODE_RUN) {
    if (a.tickCounter < FW_TICK_COUNTER_MAX) {
      ++a.tickCounter;
      if (a.tickCounter == FW_MODULE_SCAN_TICK) {
        COM_ScanIoModules(s.instance);
        a.moduleScanDone = 1;
      }
    }
  } else {
    a.tickCounter = 0;
  }

  // 6. EEPROM write-back.
  FW_EepromWriteBack();

  // 7. PC-tool request.
  if (!serveRequest()) return;

  // 8. Plant cycle.
  if (!s.plantOff && g_fwPlant.active) FW_PlantCycle();

  // 9. Firmware cycle.
  if (!s.haltFlag) FW_Cycle();

  // 10. Deferred calls until the ring is empty or one fails.
  FW_RunDeferredCalls();

  // 11. Plant values back to the shell.
  if (g_fwPlant.active) {
    FW_PlantValuesToHost();
  } else {
    for (float& v : s.plant.outputs) v = 0.0f;
    for (float& v : s.plant.trend) v = 0.0f;
  }

  // 12. Device address, the device mode's copy, module exchange.
  s.deviceAddress = FW_LinkDeviceAddress();
  a.deviceModeCopy = g_fwMain.deviceMode;
  if (a.moduleScanDone) COM_ExchangeIoModules();
}

}  // namespace

void FW_PrepareProjectLoad() {
  OP_PageLeave();
  FW_LinkPasswordClear();
  FW_RestartPictures();
  delay(FW_DELAY_PROJECT_LOAD);
}

void FW_CopyDataAreaToHost() {
  SimHostState& s = SimState();
  if (s.data) std::memcpy(s.data, g_fwInternalEeprom, SIM_DATA_SIZE);
}

void FW_CopyImagesToHost() {
  SimHostState& s = SimState();
  if (s.engineering) std::memcpy(s.engineering, image(), SIM_ENGINEERING_SIZE);
  FW_CopyDataAreaToHost();
}

void FW_CollectTrendReaders() {
  FwTrendReaders& t = g_fwTrendReaders;
  t = FwTrendReaders{};
  t.first = -1;
  for (uint16_t block = 1; block <= FW_TREND_BLOCKS; ++block) {
    FbLayout l;
    if (!FB_GetLayout(block, &l) || l.type != FW_TYPE_L1READ) continue;
    t.marked[block] = 1;
    ++t.count;
    if (t.first < 0) t.first = static_cast<int16_t>(block);
    for (uint16_t i = 0; i < 7 && i < l.analogInputs; ++i) t.analog[block][i] = l.ai[i];
    for (uint16_t i = 0; i < 12 && i < l.digitalInputs; ++i) t.digital[block][i] = l.di[i];
    if (l.texts) {
      std::memcpy(t.title[block], l.text, FB_TEXT_LEN);
      int n = FB_TEXT_LEN;
      while (n > 0 && (t.title[block][n - 1] == ' ' || t.title[block][n - 1] == 0)) --n;
      t.title[block][n] = 0;
    }
  }
}
