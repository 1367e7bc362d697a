// pctool: reads and writes device values over the character protocol by block, code and
// sub-index, and sends Modbus RTU frames, the way a PC tool talks to the device. The device
// is a firmware running in this process (headless, its display drawn in memory), started
// with an engineering from a description, or a running simulator reached through its channel
// for PC tools (-c). A download builds its image as engbuild does, before the device is
// reached.
//
//   pctool [-e DESCRIPTION.eng] [-t TICKS] [-c WAY] [-w MS] [-p PREFIX] REQUEST...
//     read BLOCK CODE [SUB]          CODE and SUB hexadecimal, BLOCK decimal
//     write BLOCK CODE [SUB] VALUE   VALUE as the device takes it: 1.5, 40, a 16-character text
//     ident | version                the identification (code 18), the version text (92)
//     login TEXT | password TEXT     log in / set the password
//     modbus BYTE...                 a Modbus frame in hex bytes from the function code on (the
//                                    address 1 and the CRC are added); prints the answer
//     download DESCRIPTION.eng       loads that engineering into the device and checks that
//                                    the device came back running it
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <memory>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "firmware/fw_adapter.h"
#include "host/shared_block.h"
#include "runtime/fw_image.h"
#include "tools/engbuild/eng_builder.h"
#include "tools/engbuild/eng_tool.h"
#include "tools/pctool/pc_adapter_transport.h"
#include "tools/pctool/pc_channel_transport.h"
#include "tools/pctool/pc_client.h"
#include "tools/pctool/pc_modbus.h"
#include "tools/pctool/pc_verify.h"
#include "tools/headless/headless.h"

namespace {

// Two ABSV blocks, the second fed by the first, stored running.
constexpr const char* kDescription = R"(run 2
language 1
block 100 ABSV group 1
  float 1 1.5
  float 2 -0.25
block 101 ABSV group 1 after 100
  in 1 100.1
)";

// How long a request over a channel waits on, after its time-out, for a simulator that is
// starting: its first run begins with a delay of 3 s, and a start after a download may take
// longer on a loaded machine.
constexpr int kStartWaitMs = 15000;

int usage() {
  std::fprintf(stderr,
               "usage: pctool [-e DESCRIPTION.eng] [-t TICKS] [-c WAY] [-w MS] [-p PREFIX] REQUEST...\n"
               "  read BLOCK CODE [SUB]          read a value (CODE and SUB in hex)\n"
               "  write BLOCK CODE [SUB] VALUE   write a value\n"
               "  ident | version                identification (code 18), version (code 92)\n"
               "  login TEXT | password TEXT     log in, set the password\n"
               "  modbus BYTE...                 a Modbus frame from the function code on (hex)\n"
               "  download DESCRIPTION.eng       load that engineering into the device\n"
               "Without -c the firmware runs in this process with the description's engineering\n"
               "(by default two ABSV blocks 100 and 101); TICKS firmware ticks (default 40) run\n"
               "before the first request.\n"
               "-c WAY talks to a running SIM74_2 instead: share:Com10, share:Adr01 (a share and\n"
               "its events), window:Mx74Main, window:Com10, window:Adr01 (a window's text);\n"
               "-w MS is the time-out of each wait (default 2000; a request not answered then is awaited\n"
               "up to 15 s more for a device that is starting), -p PREFIX the simulator's name prefix\n"
               "(its SIM74_2_NAME_PREFIX).\n");
  return 2;
}

bool number(std::string_view text, int base, uint32_t max, int32_t* out) {
  uint32_t v = 0;
  const auto r = std::from_chars(text.data(), text.data() + text.size(), v, base);
  if (r.ec != std::errc() || r.ptr != text.data() + text.size() || v > max) return false;
  *out = static_cast<int32_t>(v);
  return true;
}

bool isCommand(std::string_view a) {
  return a == "read" || a == "write" || a == "ident" || a == "version" || a == "login" ||
         a == "password" || a == "modbus" || a == "download";
}

std::string hex(const std::vector<uint8_t>& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string s;
  for (uint8_t b : bytes) {
    if (!s.empty()) s += ' ';
    s += kDigits[b >> 4];
    s += kDigits[b & 15];
  }
  return s;
}

// A Modbus exchange of the bytes given in hex; the answer (or the exception) as hex.
bool modbus(PcModbusClient& client, const std::vector<std::string_view>& args, std::string* out) {
  std::vector<uint8_t> body;
  for (std::string_view a : args) {
    int32_t b;
    if (!number(a, 16, 0xFF, &b)) {
      *out = "not a hex byte: " + std::string(a);
      return false;
    }
    body.push_back(static_cast<uint8_t>(b));
  }
  std::vector<uint8_t> answer;
  if (client.exchange(body, &answer, out)) {
    *out = hex(answer);
    return true;
  }
  return client.lastException() != 0;
}

// The download's progress on the error stream: one line rewritten in place on a terminal,
// else a line at every tenth of the frames and at the last one.
void showProgress(size_t sent, size_t total) {
  static const bool terminal = isatty(fileno(stderr)) != 0;
  if (terminal) {
    std::fprintf(stderr, "\rdownload: %zu of %zu frames%s", sent, total, sent == total ? "\n" : "");
  } else if (sent == total || sent % std::max<size_t>(1, total / 10) == 0) {
    std::fprintf(stderr, "download: %zu of %zu frames\n", sent, total);
  }
}

// After the download's restart: the device must run the engineering that was sent, each of
// its blocks with the inputs and outputs of its type.
bool cameBackWith(PcClient& client, const std::vector<PcBlockShape>& shapes, std::string* error) {
  constexpr int kStartingMs = 10000;  // the blocks may answer only once the device runs
  return PcCheckEngineering(client, shapes, kStartingMs, error);
}

// The engineering image of a description, built and checked as engbuild builds it, and the
// blocks it holds with the inputs and outputs of their types.
bool buildImage(const std::string& path, std::vector<uint8_t>* image, std::vector<PcBlockShape>* shapes,
                std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = "cannot read " + path;
    return false;
  }
  std::ostringstream text;
  text << in.rdbuf();
  if (!EngBuildChecked(text.str(), *image, error)) return false;
  EngBuilder builder;
  if (!EngParseDescription(text.str(), builder, error)) return false;
  shapes->clear();
  for (uint16_t n = 1; n <= 1950; ++n) {
    if (const EngBlockEntry* b = builder.block(n)) {
      shapes->push_back({n, static_cast<uint16_t>(b->analogIn.size()), static_cast<uint16_t>(b->digitalIn.size()),
                         b->analogOutputs, b->digitalOutputs});
    }
  }
  return true;
}

// After a download: whether the device runs the engineering as the image stores it. When it
// does not, what the device itself says: its stored run mode and status bytes (system data
// 500, 0 and 1: registers 5, 1 and 2), or its refusal to answer them.
bool checkRunning(PcModbusClient& client, const std::vector<uint8_t>& image, std::string* value,
                  std::string* error) {
  const bool storedRun = image[FW_IMG_RUN_MODE] == 2;
  std::vector<uint16_t> status, stop;
  if (!client.readRegisters(1, 2, &status, error) || !client.readRegisters(5, 1, &stop, error)) {
    *error = "the download ended, but the device does not answer its state: " + *error;
    return false;
  }
  const bool stopped = stop[0] == 1;
  if (stopped && storedRun) {
    char text[160];
    std::snprintf(text, sizeof text,
                  "the download ended, but the device is stopped (status %02X %02X: the engineering %s)",
                  status[0] & 0xFF, status[1] & 0xFF,
                  status[1] & 0x02 ? "is loaded and checked" : "is not loaded and checked");
    *error = text;
    return false;
  }
  *value = stopped ? "done (stopped, as the engineering is stored)" : "done";
  return true;
}

// Downloads an image built before the device was reached and checks that the device runs it.
bool download(PcModbusClient& client, PcClient& ascii, const std::vector<uint8_t>& image,
              const std::vector<PcBlockShape>& shapes, std::string* value, std::string* error) {
  PcDownloadHooks hooks;
  hooks.progress = showProgress;
  if (!client.download(image, error, hooks) || !checkRunning(client, image, value, error)) return false;
  // A device that runs must run the engineering sent (a stopped one answers no block).
  return *value != "done" || cameBackWith(ascii, shapes, error);
}

// One request of the command line and its arguments.
struct Command {
  std::string_view name;
  std::vector<std::string_view> args;
  std::vector<uint8_t> image;  // download: the image built from the description
  std::vector<PcBlockShape> shapes;  // download: its blocks, to be found after the restart
};

// Block, code and optional sub-index from the first arguments.
bool address(const std::vector<std::string_view>& args, size_t n, PcRequest* r) {
  if (n < 2 || n > 3) return false;
  uint32_t code;
  int32_t block, sub = -1, c;
  if (!number(args[0], 10, 1950, &block) || !number(args[1], 16, 0xB4, &c)) return false;
  if (n == 3 && !number(args[2], 16, 0x89, &sub)) return false;
  code = static_cast<uint32_t>(c);
  *r = PcRequest{static_cast<uint16_t>(code), block, sub};
  return true;
}

std::string joined(const Command& c) {
  std::string s(c.name);
  for (std::string_view a : c.args) s += " " + std::string(a);
  return s;
}

}  // namespace

int main(int argc, char** argv) {
  const char* description = nullptr;
  const char* way = nullptr;
  int ticks = 40;
  int32_t timeoutMs = 2000;
  bool prefixGiven = false;
  int i = 1;
  for (; i < argc && argv[i][0] == '-'; ++i) {
    if (i + 1 >= argc) return usage();
    if (std::strcmp(argv[i], "-e") == 0) {
      description = argv[++i];
    } else if (std::strcmp(argv[i], "-t") == 0) {
      int32_t t;
      if (!number(argv[++i], 10, 100000, &t)) return usage();
      ticks = t;
    } else if (std::strcmp(argv[i], "-c") == 0) {
      way = argv[++i];
    } else if (std::strcmp(argv[i], "-w") == 0) {
      if (!number(argv[++i], 10, 600000, &timeoutMs) || timeoutMs == 0) return usage();
    } else if (std::strcmp(argv[i], "-p") == 0) {
      host::SetSharedNamePrefix(argv[++i]);
      prefixGiven = true;
    } else {
      return usage();
    }
  }
  std::vector<Command> commands;
  for (; i < argc; ++i) {
    if (isCommand(argv[i])) {
      commands.push_back({argv[i], {}, {}});
    } else if (commands.empty()) {
      return usage();
    } else {
      commands.back().args.push_back(argv[i]);
    }
  }
  if (commands.empty()) return usage();
  // A prefix names a running simulator: without a way the requests would go to the firmware
  // run here, and a download would seem to reach a simulator that never sees it.
  if (prefixGiven && !way) {
    std::fprintf(stderr, "pctool: -p names a running simulator's prefix: give -c WAY to reach it "
                         "(without -c the firmware runs in this process)\n");
    return 2;
  }

  // Every download's image is built and checked before the device is reached: a description
  // the builder refuses sends nothing.
  EngRegisterToolTypes();
  std::string error;
  for (Command& c : commands) {
    if (c.name != "download") continue;
    if (c.args.size() != 1) return usage();
    if (!buildImage(std::string(c.args[0]), &c.image, &c.shapes, &error)) {
      std::printf("%s: %s\n", joined(c).c_str(), error.c_str());
      return 1;
    }
  }

  // The display in memory of the firmware run here, stopped on every way out.
  struct Display {
    bool on = false;
    ~Display() {
      if (on) SimHeadlessStopDisplay();
    }
  } display;
  std::unique_ptr<PcTransport> transport;
  if (way) {
    PcChannelWaits waits{timeoutMs, kStartWaitMs, [] {
      std::fprintf(stderr, "pctool: no answer yet, the device may be starting: waiting up to %d s\n",
                   kStartWaitMs / 1000);
    }};
    transport = PcOpenChannel(way, waits, &error);
    if (!transport) {
      std::fprintf(stderr, "pctool: %s\n", error.c_str());
      return usage();
    }
  } else {
    if (!SimHeadlessStartDisplay("pctool")) {
      std::fprintf(stderr, "pctool: the display in memory cannot be set up\n");
      return 1;
    }
    display.on = true;
    if (!SimHeadlessStartDescription(description, kDescription, &error)) {
      std::fprintf(stderr, "engineering: %s\n", error.c_str());
      return 1;
    }
    for (int t = 0; t < ticks; ++t) FW_SimCycle();
    transport = std::make_unique<PcAdapterTransport>();
  }
  PcClient client(*transport);
  PcModbusClient modbusClient(*transport);
  int failed = 0;
  for (const Command& c : commands) {
    const std::vector<std::string_view>& a = c.args;
    PcRequest r;
    std::string value;
    bool ok;
    if (c.name == "ident" || c.name == "version") {
      if (!a.empty()) return usage();
      ok = client.read({static_cast<uint16_t>(c.name == "ident" ? 0x18 : 0x92)}, &value, &error);
    } else if (c.name == "login" || c.name == "password") {
      if (a.size() != 1) return usage();
      ok = c.name == "login" ? PcLogin(client, a[0], &error) : PcSetPassword(client, a[0], &error);
      value = "done";
    } else if (c.name == "modbus") {
      if (a.empty()) return usage();
      ok = modbus(modbusClient, a, &value);
      error = value;
    } else if (c.name == "download") {
      ok = download(modbusClient, client, c.image, c.shapes, &value, &error);
      // The reason of a download that did not take goes to the error stream too.
      if (!ok) std::fprintf(stderr, "pctool: %s: %s\n", joined(c).c_str(), error.c_str());
    } else if (c.name == "read") {
      if (!address(a, a.size(), &r)) return usage();
      ok = client.read(r, &value, &error);
    } else {
      if (a.size() < 3 || !address(a, a.size() - 1, &r)) return usage();
      ok = client.write(r, a.back(), &error);
      value = "done";
    }
    std::printf("%s: %s\n", joined(c).c_str(), ok ? value.c_str() : error.c_str());
    if (!ok) ++failed;
  }
  return failed ? 1 : 0;
}
