#include "comm/com_service.h"

#include <chrono>
#include <cstdio>
#include <cstring>

#include "comm/com_links.h"
#include "runtime/fw_sysimage.h"

ComPictures g_comPictures;
ComServiceState g_comService{};

namespace {

// The staged download: the copy of the engineering image the frames write, the part of it
// they wrote ([first, end), end 0 = nothing yet), the time of the last frame.
struct Staging {
  bool active;
  uint32_t first, end;
  uint64_t lastFrameMs;
  int runMode;  // the run-mode byte to restore when dropped; -1 none
  uint8_t image[FW_MAIN_EEPROM_SIZE];
};
Staging g_staging;
ComMsClock g_downloadClock;

uint64_t nowMs() {
  if (g_downloadClock) return g_downloadClock();
  using namespace std::chrono;
  return static_cast<uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

// The picture areas are erased flash until something is written.
struct ErasedAtStart {
  ErasedAtStart() { COM_ClearPictures(); }
} g_erasedAtStart;

struct Window {
  uint32_t first, end;
};

constexpr Window kRamWindows[] = {
    {0x10002000, 0x10008000}, {0x20000000, 0x20010000}, {0x28100000, 0x29000000}};
constexpr Window kFlashWindows[] = {
    {COM_SVC_START_PICTURE, COM_SVC_START_PICTURE + COM_SVC_START_PICTURE_SIZE},
    {COM_SVC_USER_PICTURES, COM_SVC_USER_PICTURES + COM_SVC_USER_PICTURES_SIZE}};
// The data image ends where the project file's copy of it ends: bytes beyond would not
// survive a save.
constexpr Window kEepromWindows[] = {
    {0, FW_MAIN_EEPROM_SIZE}, {COM_SVC_DATA_IMAGE, COM_SVC_DATA_IMAGE + FW_DATA_IMAGE_SIZE}};

// The texts of one memory: its reads and its writes.
struct Texts {
  const char* readOk;
  const char* readAddress;
  const char* readActive;
  const char* wrongAttempt;
  const char* lengthError;
  const char* written;        // the done text; EEPROM and flash append "  +" or "  x"
  const char* writeAddress;
  const Window* windows;
  uint32_t windowCount;
};

constexpr Texts kRam{"RAM_RD: reading ok",    "RAM_RD: Address error", "RAM_RD: active",
                     "RAM_WR: wrong attempt", "RAM_WR: Length error",  "RAM_WR: RAM writing",
                     "RAM_WR: Address error", kRamWindows,             3};
constexpr Texts kFlash{"Flash_RD: reading ok",    "Flash_RD: Address error", "Flash_RD: active",
                       "FLASH_WR: wrong attempt", "FLASH_WR: Length error",  "FLASH_WR: written",
                       "FLASH_WR: Address error", kFlashWindows,             2};
constexpr Texts kEeprom{"EE_RD: reading ok",    "EE_RD: Address error", "EE_RD: active",
                        "EE_WR: wrong attempt", "EE_WR: Length error",  "EE_WR: written",
                        "EE_WR: Address error", kEepromWindows,         2};

const Texts* textsOf(uint16_t command) {
  switch (command) {
    case COM_SVC_RAM_READ: case COM_SVC_RAM_WRITE: return &kRam;
    case COM_SVC_FLASH_READ: case COM_SVC_FLASH_WRITE: return &kFlash;
    case COM_SVC_EEPROM_READ: case COM_SVC_EEPROM_WRITE: return &kEeprom;
    default: return nullptr;
  }
}

void show(const char* text) {
  ComServiceState& s = g_comService;
  const size_t n = std::strlen(text);
  std::memset(s.line, ' ', COM_SVC_STATUS_LEN);
  std::memcpy(s.line, text, n < COM_SVC_STATUS_LEN ? n : COM_SVC_STATUS_LEN);
  s.line[COM_SVC_STATUS_LEN] = 0;
  COM_LinkServiceLine(8, s.line);
}

void fail(const char* text) {
  g_comService.status |= COM_SVC_ERROR;
  show(text);
}

void done(const char* text) {
  g_comService.status &= static_cast<uint8_t>(~COM_SVC_ERROR);
  show(text);
}

void doneSigned(const char* text, bool plus) {
  char line[COM_SVC_STATUS_LEN + 1];
  std::snprintf(line, sizeof line, "%s  %c", text, plus ? '+' : 'x');
  done(line);
}

// The window that holds [address, address + n), or null.
const Window* windowOf(const Texts& t, uint32_t address, uint32_t n) {
  for (uint32_t i = 0; i < t.windowCount; ++i) {
    const Window& w = t.windows[i];
    if (address >= w.first && uint64_t{address} + n <= w.end) return &w;
  }
  return nullptr;
}

// The memory behind a window at an address.
uint8_t* memoryAt(uint16_t command, const Window& w, uint32_t address) {
  switch (command) {
    case COM_SVC_RAM_READ: case COM_SVC_RAM_WRITE: return g_comService.ram;
    case COM_SVC_FLASH_READ: case COM_SVC_FLASH_WRITE: {
      uint8_t* base = w.first == COM_SVC_START_PICTURE ? g_comPictures.startPicture
                                                       : g_comPictures.userPictures;
      return base + (address - w.first);
    }
    default:
      if (address >= COM_SVC_DATA_IMAGE) return g_fwInternalEeprom + (address - COM_SVC_DATA_IMAGE);
      return (g_staging.active ? g_staging.image : FW_SysImage()) + address;
  }
}

// Queues the write-back of an area of the engineering image (k 0) or the data image (k 1).
uint8_t queueArea(int k, uint32_t address, uint32_t n) {
  if (k == 0) return FW_QueueEepromWrite(FW_SysImage() + address, address, n);
  const uint32_t at = address - COM_SVC_DATA_IMAGE;
  return FW_QueueInternalEepromWrite(g_fwInternalEeprom + at, at, n);
}

// Queues the write-back of an EEPROM area; a refused one is remembered for later.
void queueEeprom(uint32_t address, uint32_t n) {
  const int k = address < COM_SVC_DATA_IMAGE ? 0 : 1;
  ComServiceState& s = g_comService;
  if (s.pendingEnd[k] == 0) {
    if (queueArea(k, address, n) != FW_QUEUE_FULL) return;
    s.pendingFirst[k] = address;
    s.pendingEnd[k] = address + n;
    return;
  }
  // Behind a refused area: both go together later, in order.
  if (address < s.pendingFirst[k]) s.pendingFirst[k] = address;
  if (address + n > s.pendingEnd[k]) s.pendingEnd[k] = address + n;
}

// A flash write at the start of a picture area begins a new picture.
void beginPicture(bool start) {
  uint8_t* im = FW_SysImage();
  im[FW_IMAGE_PICTURE_FLAGS] &= 0xF0;
  FW_QueueEepromWrite(im + FW_IMAGE_PICTURE_FLAGS, FW_IMAGE_PICTURE_FLAGS, 1);
  ComPictures& p = g_comPictures;
  p.startPictureFlag = 0;
  if (start) {
    std::memset(p.startPicture, 0xFF, sizeof p.startPicture);
    p.startLength = 0;
  } else {
    std::memset(p.userPictures, 0xFF, sizeof p.userPictures);
    p.userLength = 0;
  }
  p.state = 2;
}

void serviceRead(uint16_t command, uint32_t address, uint32_t n, uint8_t* answer,
                 uint16_t* answerLength) {
  const Texts& t = *textsOf(command);
  const Window* w = windowOf(t, address, n);
  if (!w) return fail(t.readAddress);
  std::memcpy(answer + 3, memoryAt(command, *w, address), n);
  *answerLength = static_cast<uint16_t>(n + 3);
  done(t.readOk);
}

void serviceWrite(uint16_t command, uint32_t address, const ComServiceFrame& frame) {
  const Texts& t = *textsOf(command);
  // The length word: its low byte counts 16-bit words.
  const uint32_t n = frame.valueBytes >= 8 ? 2u * frame.values[7] : 0;
  const Window* w = windowOf(t, address, n);
  if (!w) return fail(t.writeAddress);
  if (n == 0 || frame.frameLength != n + 17) return fail(t.lengthError);
  const uint8_t* data = frame.values + 8;
  switch (command) {
    case COM_SVC_RAM_WRITE:
      std::memcpy(g_comService.ram, data, n);
      return done(t.written);
    case COM_SVC_EEPROM_WRITE:
      std::memcpy(memoryAt(command, *w, address), data, n);
      if (g_staging.active && address < COM_SVC_DATA_IMAGE) {
        Staging& st = g_staging;
        st.lastFrameMs = nowMs();
        if (st.end == 0 || address < st.first) st.first = address;
        if (address + n > st.end) st.end = address + n;
      } else {
        queueEeprom(address, n);
      }
      // Consecutive blocks alternate between the two signs.
      return doneSigned(t.written, (address / n) & 1);
    default: {
      const bool start = w->first == COM_SVC_START_PICTURE;
      if (address == w->first) beginPicture(start);
      std::memcpy(memoryAt(command, *w, address), data, n);
      (start ? g_comPictures.startLength : g_comPictures.userLength) = address + n - w->first;
      if (start && address == w->first) g_comPictures.startPictureFlag = 1;
      COM_LinkSetPictureSave();
      return doneSigned(t.written, (address & 0x80) != 0);
    }
  }
}

}  // namespace

void COM_ServiceCommand(uint16_t command, uint32_t address, const ComServiceFrame& frame,
                        uint8_t* answer, uint16_t* answerLength) {
  ComServiceState& s = g_comService;
  show("");
  COM_LinkServiceLine(7, "");
  if (!frame.write) *answerLength = 2;
  const Texts* t = textsOf(command);
  if (frame.write) {
    s.command = command;
    s.address = address;
  }
  if (!t) return show("undefined command");
  const bool readCommand = command <= COM_SVC_EEPROM_READ;
  if (readCommand) {
    if (frame.write) return show(t->readActive);
    return serviceRead(command, address, frame.byteCount, answer, answerLength);
  }
  if (!frame.write) return show(t->wrongAttempt);
  serviceWrite(command, address, frame);
}

bool COM_ServiceRetryPending() {
  ComServiceState& s = g_comService;
  bool clear = true;
  for (int k = 0; k < 2; ++k) {
    if (s.pendingEnd[k] == 0) continue;
    const uint32_t first = s.pendingFirst[k], n = s.pendingEnd[k] - first;
    if (queueArea(k, first, n) == FW_QUEUE_FULL) {
      clear = false;
    } else {
      s.pendingEnd[k] = 0;
    }
  }
  return clear;
}

void COM_ServiceReset() {
  g_comService = ComServiceState{};
  COM_ServiceDropStaging();
}

void COM_ServiceBeginStaging() {
  Staging& st = g_staging;
  std::memcpy(st.image, FW_SysImage(), sizeof st.image);
  st.active = true;
  st.first = st.end = 0;
  st.lastFrameMs = nowMs();
  st.runMode = -1;
}

void COM_ServiceKeepRunMode(int runModeByte) { g_staging.runMode = runModeByte; }
int COM_ServiceKeptRunMode() { return g_staging.active ? g_staging.runMode : -1; }
uint64_t COM_DownloadClockMs() { return nowMs(); }

bool COM_ServiceStaging() { return g_staging.active; }

void COM_ServiceCommitStaging() {
  Staging& st = g_staging;
  if (!st.active) return;
  st.active = false;
  if (st.end == 0) return;
  std::memcpy(FW_SysImage() + st.first, st.image + st.first, st.end - st.first);
  queueEeprom(st.first, st.end - st.first);
}

void COM_ServiceDropStaging() {
  g_staging.active = false;
  g_staging.end = 0;
}

void COM_ServiceFrameSeen() {
  if (g_staging.active) g_staging.lastFrameMs = nowMs();
}

bool COM_ServiceBrokenOff() {
  const Staging& st = g_staging;
  return st.active && nowMs() - st.lastFrameMs >= COM_DOWNLOAD_IDLE_MS;
}

void COM_SetDownloadClock(ComMsClock clock) { g_downloadClock = clock; }

void COM_ClearPictures() {
  std::memset(&g_comPictures, 0, sizeof g_comPictures);
  std::memset(g_comPictures.startPicture, 0xFF, sizeof g_comPictures.startPicture);
  std::memset(g_comPictures.userPictures, 0xFF, sizeof g_comPictures.userPictures);
}
