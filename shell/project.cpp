#include "shell/project.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <vector>

#include "base/byte_order.h"
#include "host/regular_file.h"
#include "runtime/fw_image.h"
#include "shell/demo_project.h"
#include "shell/settings.h"
#include "simlayer/SIM.h"

namespace {

void AppendU32(std::vector<uint8_t>& out, uint32_t v) {
  uint8_t b[4];
  FW_PutU32(b, v);
  out.insert(out.end(), b, b + 4);
}
void AppendU16(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}

// The 34 bytes of the device configuration: nine u16, then the sixteen module bytes.
void EncodeDevice(const SimDeviceConfig& d, std::vector<uint8_t>& out) {
  for (uint16_t v : {d.ksx, d.anschluss, d.power, d.commOpt, d.unused1, d.slotB, d.slotC, d.relais, d.unused2})
    AppendU16(out, v);
  out.insert(out.end(), d.modules, d.modules + sizeof d.modules);
}
SimDeviceConfig DecodeDevice(const uint8_t* p) {
  SimDeviceConfig d{};
  uint16_t* fields[] = {&d.ksx,   &d.anschluss, &d.power,  &d.commOpt, &d.unused1,
                        &d.slotB, &d.slotC,     &d.relais, &d.unused2};
  for (uint16_t* f : fields) {
    *f = FW_GetU16(p);
    p += 2;
  }
  std::memcpy(d.modules, p, sizeof d.modules);
  return d;
}

// --- Where the bytes come from ------------------------------------------------------------
// Every read names its length and is refused when the source holds fewer bytes.

class Source {
 public:
  virtual ~Source() = default;
  uint64_t size() const { return size_; }
  uint64_t remaining() const { return size_ - pos_; }
  bool read(void* out, uint64_t n) {
    if (n > remaining() || !readRaw(out, static_cast<size_t>(n))) return false;
    pos_ += n;
    return true;
  }
  bool skip(uint64_t n) { return n <= remaining() && seek(pos_ + n); }
  bool seek(uint64_t pos) {
    if (pos > size_ || !seekRaw(pos)) return false;
    pos_ = pos;
    return true;
  }
  bool readU32(uint32_t* v) {
    uint8_t b[4];
    if (!read(b, 4)) return false;
    *v = FW_GetU32(b);
    return true;
  }

 protected:
  virtual bool readRaw(void* out, size_t n) = 0;
  virtual bool seekRaw(uint64_t pos) = 0;
  uint64_t size_ = 0;
  uint64_t pos_ = 0;
};

class FileSource : public Source {
 public:
  explicit FileSource(std::FILE* f) : f_(f) {
    struct stat st {};
    if (f_ && ::fstat(::fileno(f_), &st) == 0 && S_ISREG(st.st_mode)) size_ = static_cast<uint64_t>(st.st_size);
    if (f_) seekRaw(0);
  }

 protected:
  bool readRaw(void* out, size_t n) override { return std::fread(out, 1, n, f_) == n; }
  bool seekRaw(uint64_t pos) override {
    return pos <= static_cast<uint64_t>(INT64_MAX) && ::fseeko(f_, static_cast<off_t>(pos), SEEK_SET) == 0;
  }

 private:
  std::FILE* f_;
};

class MemorySource : public Source {
 public:
  MemorySource(const uint8_t* data, size_t size) : data_(data) { size_ = data ? size : 0; }

 protected:
  bool readRaw(void* out, size_t n) override {
    if (n) std::memcpy(out, data_ + pos_, n);
    return true;
  }
  bool seekRaw(uint64_t) override { return true; }

 private:
  const uint8_t* data_;
};

// --- The shell's buffers ------------------------------------------------------------------

uint8_t g_engineering[SIM_ENGINEERING_SIZE], g_engineeringRef[SIM_ENGINEERING_SIZE];
uint8_t g_data[SIM_DATA_SIZE], g_dataRef[SIM_DATA_SIZE];
uint8_t g_logo[SIM_LOGO_CAPACITY], g_userData[SIM_USER_DATA_CAPACITY];

bool g_isDemo = false;
bool g_restartLoaded = false;
std::string g_companion;
SimOldProjectTrend g_oldTrend;
void (*g_picturesChanged)() = nullptr;
void (*g_trendLoaded)() = nullptr;
bool (*g_trendSaved)() = nullptr;
bool (*g_shiftHeld)() = nullptr;
SimFileWriter g_writer = nullptr;

SimHostState& State() {
  SimHostState& s = SimState();
  if (!s.engineering || !s.engineeringRef || !s.data || !s.dataRef) SimAttachProjectBuffers(s);
  if (!s.logo || !s.userData) {
    s.logo = g_logo;
    s.userData = g_userData;
  }
  return s;
}

// The two kinds of picture block: the start-up logo and the user data.
struct PictureKind {
  uint8_t* SimHostState::*buffer;
  uint32_t capacity;
  char (SimHostState::*path)[SIM_PATH_SIZE];
  const char* defaultFile;
};
constexpr PictureKind kLogo{&SimHostState::logo, SIM_LOGO_CAPACITY, &SimHostState::logoPath, "startuplogo.dat"};
constexpr PictureKind kUserData{&SimHostState::userData, SIM_USER_DATA_CAPACITY, &SimHostState::userDataPath,
                                "vuserdata.dat"};
constexpr const PictureKind* kPictureKinds[] = {&kLogo, &kUserData};

// The paths the settings gave at start: written at exit without asking.
std::string g_trustedPath[2];

void ClearPicture(uint8_t* buffer, uint32_t capacity) {
  std::memset(buffer, 0xFF, capacity);
  FW_PutU32(buffer, 0);
}
// The block's length when it holds one (4..capacity), else 0.
uint32_t PictureLength(const uint8_t* buffer, uint32_t capacity) {
  const uint32_t n = buffer ? FW_GetU32(buffer) : 0;
  return n >= 4 && n <= capacity ? n : 0;
}
void SetPicture(uint8_t* buffer, uint32_t capacity, const uint8_t* block, uint32_t length) {
  ClearPicture(buffer, capacity);
  std::memcpy(buffer, block, length);
}

std::string PathText(const char (&field)[SIM_PATH_SIZE]) { return std::string(field, strnlen(field, SIM_PATH_SIZE - 1)); }
void SetPath(char (&field)[SIM_PATH_SIZE], const std::string& path) {
  std::memset(field, 0, SIM_PATH_SIZE);
  std::memcpy(field, path.data(), std::min<size_t>(path.size(), SIM_PATH_SIZE - 1));
}

void PicturesChanged() {
  if (g_picturesChanged) g_picturesChanged();
}

std::string CompanionOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  const size_t dot = path.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return path + ".dat";
  return path.substr(0, dot) + ".dat";
}

// --- Loading --------------------------------------------------------------------------------

bool CheckId(Source& src, uint64_t offset) {
  uint8_t header[32];
  if (!src.seek(offset) || !src.read(header, sizeof header)) return false;
  const uint8_t* id = State().firmwareId;
  return std::memcmp(header + 14, id, 4) == 0 && std::memcmp(header + 18, id + 4, 2) == 0 && header[20] == id[6];
}

// A section: its length word, which must be `expected`, then that many bytes.
bool ReadSection(Source& src, uint32_t expected, uint8_t* out) {
  uint32_t n = 0;
  return src.readU32(&n) && n == expected && src.read(out, expected);
}

// A picture block. Taken (into the buffer) only when whole; false when loading stops here.
// Length 0: none. 4..capacity: the block. Above the capacity: skipped, none. 1..3, or fewer
// bytes than it names: the loading stops and the buffer keeps what it had.
bool ReadPictureBlock(Source& src, uint8_t* buffer, uint32_t capacity) {
  uint32_t length = 0;
  if (!src.readU32(&length)) return false;
  if (length == 0) {
    ClearPicture(buffer, capacity);
    return true;
  }
  if (length < 4) return false;
  if (length > capacity) {
    if (!src.skip(length - 4)) return false;
    ClearPicture(buffer, capacity);
    return true;
  }
  std::vector<uint8_t> block(length);
  FW_PutU32(block.data(), length);
  if (!src.read(block.data() + 4, length - 4)) return false;
  SetPicture(buffer, capacity, block.data(), length);
  return true;
}

// A path field: 260 bytes that must hold their terminator (a field without one is no path we
// can keep: the path in effect stays).
bool ReadPathSection(Source& src, char (&field)[SIM_PATH_SIZE]) {
  char text[SIM_PROJECT_PATH_LEN];
  if (!ReadSection(src, SIM_PROJECT_PATH_LEN, reinterpret_cast<uint8_t*>(text))) return false;
  if (std::memchr(text, 0, sizeof text)) {
    SetPath(field, std::string(text));
  } else {
    SIM_LogText("A project's path field has no end; the path in effect is kept.");
  }
  return true;
}

void CommitImages(const uint8_t* engineering, const uint8_t* data) {
  SimHostState& s = State();
  std::memcpy(s.engineering, engineering, SIM_ENGINEERING_SIZE);
  std::memcpy(s.engineeringRef, engineering, SIM_ENGINEERING_SIZE);
  std::memcpy(s.data, data, SIM_DATA_SIZE);
  std::memcpy(s.dataRef, data, SIM_DATA_SIZE);
}

void Named(const char* name) {
  SimHostState& s = State();
  SetPath(s.projectName, name ? name : "");
  g_isDemo = false;
  g_restartLoaded = false;
  g_companion = CompanionOf(PathText(s.projectName));
  if (g_trendLoaded) g_trendLoaded();
}

enum LoadResult { kFailed = 0, kLoaded = 1, kOtherFirmware = -1, kOlderLayout = 2 };

// The current layout. Nothing is taken until both images are read; after that each further
// section is taken when it is whole, and the first fault ends the loading.
int LoadCurrent(Source& src) {
  SimHostState& s = State();
  uint32_t total = 0;
  if (!src.readU32(&total) || total != src.size()) return kOlderLayout;
  if (!CheckId(src, 8)) return kOtherFirmware;
  if (!src.seek(4)) return kFailed;
  std::vector<uint8_t> engineering(SIM_PROJECT_ENGINEERING_LEN), data(SIM_PROJECT_DATA_LEN);
  if (!ReadSection(src, SIM_PROJECT_ENGINEERING_LEN, engineering.data())) return kFailed;
  if (!ReadSection(src, SIM_PROJECT_DATA_LEN, data.data())) return kFailed;
  CommitImages(engineering.data(), data.data());

  uint8_t device[SIM_PROJECT_DEVICE_LEN];
  if (!ReadSection(src, SIM_PROJECT_DEVICE_LEN, device)) return kLoaded;
  s.device = DecodeDevice(device);
  for (const PictureKind* kind : kPictureKinds) {
    if (!ReadPathSection(src, s.*kind->path)) return kLoaded;
    if (!ReadPictureBlock(src, s.*kind->buffer, kind->capacity)) return kLoaded;
  }
  return kLoaded;
}

bool LoadOld(Source& src) {
  SimHostState& s = State();
  s.plantSetting = -32000.0f;
  if (src.size() != SIM_OLD_PROJECT_SIZE || !CheckId(src, 0) || !src.seek(0)) return false;
  std::vector<uint8_t> engineering(SIM_PROJECT_ENGINEERING_LEN), data(SIM_PROJECT_DATA_LEN);
  uint8_t plant[16];
  SimOldProjectTrend trend;
  if (!src.read(engineering.data(), engineering.size()) || !src.read(data.data(), data.size()) ||
      !src.read(plant, sizeof plant) || !src.read(trend.settings, sizeof trend.settings) ||
      !src.read(trend.channels, sizeof trend.channels))
    return false;
  CommitImages(engineering.data(), data.data());
  for (int i = 0; i < 3; ++i) s.plantSettings[i] = std::bit_cast<float>(FW_GetU32(plant + 4 * i));
  s.plantSetting = std::bit_cast<float>(FW_GetU32(plant + 12));
  trend.loaded = true;
  trend.settingsValid = std::memcmp(trend.settings, "Sbsu", 4) == 0;
  g_oldTrend = trend;
  return true;
}

// After every load: the firmware takes the project at its next tick.
void Finish() {
  SimHostState& s = State();
  s.changed = 0;
  s.reloadRequest = 1;
  PicturesChanged();
}

void Failed() {
  SimLoadDemoProject();
  SimTheSettings().lastFileName.clear();
}

// A file named by the user or the settings, opened for reading only when it is a regular
// file: anything else (a FIFO would block the start) is refused with a message.
std::FILE* OpenToRead(const std::string& path) {
  std::string error;
  std::FILE* f = path.empty() ? nullptr : host::OpenRegularFile(path, "rb", &error);
  if (!f && error.find("not a regular file") != std::string::npos) SIM_Error(("Not read: " + error + ".").c_str());
  return f;
}

bool PathFits(const char* path) {
  if (path && std::strlen(path) >= SIM_PATH_SIZE) {
    const std::string text = std::string("The path is too long (at most ") + std::to_string(SIM_PATH_SIZE - 1) +
                             " characters): " + path;
    SIM_LogText(text.c_str());
    return false;
  }
  return true;
}

int LoadFrom(Source& src, const char* name) {
  g_oldTrend = SimOldProjectTrend{};
  int result = LoadCurrent(src);
  if (result == kOlderLayout) result = LoadOld(src) ? kLoaded : kFailed;
  if (result == kLoaded) {
    Named(name);
  } else {
    Failed();
  }
  Finish();
  return result;
}

}  // namespace

void SimAttachProjectBuffers(SimHostState& s) {
  s.engineering = g_engineering;
  s.engineeringRef = g_engineeringRef;
  s.data = g_data;
  s.dataRef = g_dataRef;
  s.logo = g_logo;
  s.userData = g_userData;
  // The firmware's identification before the firmware has started.
  static_assert(sizeof s.firmwareId == sizeof FW_FIRMWARE_IDENT);
  std::memcpy(s.firmwareId, FW_FIRMWARE_IDENT, sizeof s.firmwareId);
}

int SimLoadProject(const char* path) {
  if (!path) {
    SimLoadDemoProject();
    Finish();
    return kLoaded;
  }
  std::FILE* f = *path && PathFits(path) ? OpenToRead(path) : nullptr;
  if (!f) {
    Failed();
    Finish();
    return kFailed;
  }
  FileSource src(f);
  const int result = LoadFrom(src, path);
  std::fclose(f);
  return result;
}

int SimLoadProjectBytes(const uint8_t* data, size_t size, const char* name) {
  MemorySource src(data, size);
  return LoadFrom(src, name);
}

bool SimLoadProjectOld(const char* path) {
  g_oldTrend = SimOldProjectTrend{};
  std::FILE* f = path && *path && PathFits(path) ? OpenToRead(path) : nullptr;
  bool ok = false;
  if (f) {
    FileSource src(f);
    ok = LoadOld(src);
    std::fclose(f);
  }
  if (ok) {
    Named(path);
  } else {
    SimLoadDemoProject();
  }
  Finish();
  return ok;
}

bool SimCheckFirmwareId(std::FILE* file, long offset) {
  if (!file || offset < 0) return false;
  FileSource src(file);
  return CheckId(src, static_cast<uint64_t>(offset));
}

int SimSaveProject(const char* path) {
  if (!path || !*path) return 0;
  SimHostState& s = State();
  std::vector<uint8_t> out;
  out.reserve(0x24200 + SIM_LOGO_CAPACITY);
  AppendU32(out, 0);  // the total, once it is known
  AppendU32(out, SIM_PROJECT_ENGINEERING_LEN);
  out.insert(out.end(), s.engineering, s.engineering + SIM_ENGINEERING_SIZE);
  AppendU32(out, SIM_PROJECT_DATA_LEN);
  out.insert(out.end(), s.data, s.data + SIM_DATA_SIZE);
  out.resize(out.size() + (SIM_PROJECT_DATA_LEN - SIM_DATA_SIZE), 0);
  AppendU32(out, SIM_PROJECT_DEVICE_LEN);
  EncodeDevice(s.device, out);
  for (const PictureKind* kind : kPictureKinds) {
    AppendU32(out, SIM_PROJECT_PATH_LEN);
    const std::string p = PathText(s.*kind->path);
    out.insert(out.end(), p.begin(), p.end());
    out.resize(out.size() + (SIM_PROJECT_PATH_LEN - p.size()), 0);
    const uint8_t* block = s.*kind->buffer;
    const uint32_t length = PictureLength(block, kind->capacity);
    if (length) {
      out.insert(out.end(), block, block + length);
    } else {
      AppendU32(out, 0);
    }
  }
  FW_PutU32(out.data(), static_cast<uint32_t>(out.size()));
  if (!SimWriteFileAtomic(path, out.data(), out.size())) return 0;
  g_companion = CompanionOf(path);
  if (g_trendSaved) g_trendSaved();
  return 1;
}

void SimLoadDemoProject() {
  SimHostState& s = State();
  std::copy(std::begin(kSimDemoPlantSettings), std::end(kSimDemoPlantSettings), s.plantSettings);
  const bool blank = g_shiftHeld && g_shiftHeld();
  // The image begins with its tag; an image stored behind an 8-byte prefix is taken too.
  const uint8_t* image = kSimDemoEngineering;
  size_t size = kSimDemoEngineering_size;
  if (std::memcmp(image, "MX7N", 4) != 0 && size >= 8 + SIM_ENGINEERING_SIZE) {
    image += 8;
    size -= 8;
  }
  std::vector<uint8_t> engineering(SIM_ENGINEERING_SIZE, 0), data(SIM_DATA_SIZE, 0);
  if (!blank) {
    std::memcpy(engineering.data(), image, std::min<size_t>(size, SIM_ENGINEERING_SIZE));
    SimDemoDataImage(data.data(), data.size());
  }
  CommitImages(engineering.data(), data.data());
  s.device = SimDemoDeviceConfig();
  SetPath(s.projectName, "demo");
  g_isDemo = true;
  g_restartLoaded = false;
  g_companion.clear();
  g_oldTrend = SimOldProjectTrend{};
  if (g_trendLoaded) g_trendLoaded();
}

bool SimProjectIsDemo() { return g_isDemo; }
bool SimProjectHasName() { return !g_isDemo && State().projectName[0] != 0; }

bool SimSetProjectName(const std::string& name) {
  if (name.size() >= SIM_PATH_SIZE) return false;
  SetPath(State().projectName, name);
  g_isDemo = false;
  return true;
}

bool SimProjectChanged() {
  const SimHostState& s = State();
  return std::memcmp(s.engineering, s.engineeringRef, SIM_ENGINEERING_SIZE) != 0 ||
         std::memcmp(s.data, s.dataRef, SIM_DATA_SIZE) != 0 || s.changed != 0 || g_restartLoaded;
}

void SimMarkProjectSaved() {
  SimHostState& s = State();
  std::memcpy(s.engineeringRef, s.engineering, SIM_ENGINEERING_SIZE);
  std::memcpy(s.dataRef, s.data, SIM_DATA_SIZE);
  s.changed = 0;
  g_restartLoaded = false;
}

const std::string& SimProjectCompanionName() { return g_companion; }
const SimOldProjectTrend& SimOldProjectTrendBlocks() { return g_oldTrend; }

// --- Restart project ------------------------------------------------------------------------

std::string SimRestartProjectPath() { return SimSettingsFolder() + "/Restart.sdg"; }

int SimSaveRestartProject() {
  const std::string path = SimRestartProjectPath();
  const std::string companion = g_companion;
  const int result = SimSaveProject(path.c_str());
  g_companion = companion;  // the restart file is no project of the user's
  return result;
}

int SimLoadRestartProject() {
  const std::string path = SimRestartProjectPath();
  const int result = SimLoadProject(path.c_str());
  std::remove(path.c_str());
  std::remove(CompanionOf(path).c_str());  // its trend settings, taken by the load
  // The project the user had open: its name, and the mark that it may differ from its file.
  SimTheSettings().lastFileName = SimReadSettings().lastFileName;
  if (result == kLoaded) {
    const std::string& last = SimTheSettings().lastFileName;
    if (!last.empty()) {
      SimSetProjectName(last);
      g_companion = CompanionOf(last);
    } else {
      SimSetProjectName("");
      g_companion.clear();
    }
    g_restartLoaded = true;
  }
  return result;
}

// --- EEPROM export --------------------------------------------------------------------------

int SimWriteEepromFile(const char* path) {
  if (!path || !*path) return 0;
  const SimHostState& s = State();
  std::vector<uint8_t> out(s.firmwareId, s.firmwareId + sizeof s.firmwareId);
  out.insert(out.end(), s.engineering + SIM_EBIN_IMAGE_OFFSET,
             s.engineering + SIM_EBIN_IMAGE_OFFSET + SIM_EBIN_IMAGE_LEN);
  return SimWriteFileAtomic(path, out.data(), out.size()) ? 1 : 0;
}

// --- Start-up logo and user data ------------------------------------------------------------

void SimReadPictureFiles() {
  SimHostState& s = State();
  for (int k = 0; k < 2; ++k) {
    const PictureKind& kind = *kPictureKinds[k];
    uint8_t* buffer = s.*kind.buffer;
    ClearPicture(buffer, kind.capacity);
    const std::string path = PathText(s.*kind.path);
    g_trustedPath[k] = path;
    std::FILE* f = OpenToRead(path);
    if (!f) continue;
    std::vector<uint8_t> block(kind.capacity);
    const size_t got = std::fread(block.data(), 1, block.size(), f);
    std::fclose(f);
    const uint32_t length = got >= 4 ? FW_GetU32(block.data()) : 0;
    if (length >= 4 && length <= got) SetPicture(buffer, kind.capacity, block.data(), length);
  }
  PicturesChanged();
}

namespace {

// Whether the file holds exactly these bytes.
bool FileHolds(const std::string& path, const uint8_t* data, uint32_t size) {
  std::FILE* f = host::OpenRegularFile(path, "rb");
  if (!f) return false;
  std::vector<uint8_t> content(size + 1u);
  const size_t got = std::fread(content.data(), 1, content.size(), f);
  std::fclose(f);
  return got == size && std::memcmp(content.data(), data, size) == 0;
}

bool Exists(const std::string& path) { return !path.empty() && ::access(path.c_str(), F_OK) == 0; }

}  // namespace

void SimWritePictureFiles(SimConfirmPathHook confirm, bool* haveLogo, bool* haveUserData) {
  SimHostState& s = State();
  bool* have[2] = {haveLogo, haveUserData};
  for (int k = 0; k < 2; ++k) {
    const PictureKind& kind = *kPictureKinds[k];
    const uint8_t* buffer = s.*kind.buffer;
    const uint32_t length = PictureLength(buffer, kind.capacity);
    std::string path = PathText(s.*kind.path);
    bool kept = false;
    if (!path.empty()) {
      // A path that a project brought: a file of the user's there is deleted or replaced only
      // when the user agrees; else the settings folder's file takes the data.
      const bool changes = length ? !FileHolds(path, buffer, length) : true;
      if (path != g_trustedPath[k] && Exists(path) && changes && !(confirm && confirm(path.c_str(), length == 0))) {
        path = SimSettingsFolder() + "/" + kind.defaultFile;
        SetPath(s.*kind.path, path);
      }
      if (length == 0) {
        if (Exists(path)) std::remove(path.c_str());
      } else {
        kept = true;
        if (!FileHolds(path, buffer, length) && !SimWriteFileAtomic(path, buffer, length)) {
          const std::string text = "The file " + path + " could not be written.";
          SIM_LogText(text.c_str());
        }
      }
    }
    if (have[k]) *have[k] = kept;
  }
}

const uint8_t* SimLogoData(uint32_t* size) {
  const uint8_t* b = State().logo;
  const uint32_t length = PictureLength(b, SIM_LOGO_CAPACITY);
  *size = length > 4 ? length - 4 : 0;
  return *size ? b + 4 : nullptr;
}

const uint8_t* SimUserData(uint32_t* size) {
  const uint8_t* b = State().userData;
  const uint32_t length = PictureLength(b, SIM_USER_DATA_CAPACITY);
  *size = length > 4 ? length - 4 : 0;
  return *size ? b + 4 : nullptr;
}

void SimSetPicturesChangedHook(void (*hook)()) { g_picturesChanged = hook; }
void SimSetShiftHeldHook(bool (*hook)()) { g_shiftHeld = hook; }
void SimSetProjectTrendHooks(void (*loaded)(), bool (*saved)()) {
  g_trendLoaded = loaded;
  g_trendSaved = saved;
}
void SimSetFileWriter(SimFileWriter writer) { g_writer = writer; }

bool SimWriteFileAtomic(const std::string& path, const uint8_t* data, size_t size) {
  if (path.empty()) return false;
  std::string why;
  if (host::ReplaceFileContents(path, data, size, &why, g_writer)) return true;
  SIM_LogText(why.c_str());
  return false;
}
