// The running program: under a virtual X server a screenshot shows the front panel with the
// built-in demo running on its display (the PNG stays in the build folder as
// "SIM74_2_screenshot.png" for a look); the PC tool in another process talks to it through
// its channel, also after a kill left its names behind, and a clean end removes them; a new
// user's start runs the demo's control loop and shows the top bar in visible colours.
#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QImage>
#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstddef>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "host/ini_file.h"
#include "host/ipc.h"
#include "host/shared_block.h"
#include "modpanel/module_dialogs.h"
#include "modpanel/tq500_protocol.h"
#include "support/test_env.h"


extern char** environ;

namespace {

// The waits below only bound a hang: the program, its tools and panels under the sanitizers on
// a loaded machine start, answer and end many times slower than on an idle one. kToolWait is
// the PC tool's time-out for an answer ("-w"), kPatience the seconds of a wait for a state.
// A download keeps the tool's usual time-out: the device's restart ends the program before it
// answers the last request, and the tool's wait for the restarted device (60 s in all) tries
// again only after that time-out.
const std::string kToolWait = "60000";
const std::string kDownloadWait = "5000";
constexpr int kPatience = 120;

// Every program a test starts ends with the test: a failed assertion returns before the
// test's own kill, and must not leave a simulator and its names behind. A program the test
// has already reaped is no longer a child of ours and is left alone.
std::vector<pid_t>& StartedPrograms() {
  static std::vector<pid_t> started;
  return started;
}

class EndStartedPrograms : public ::testing::EmptyTestEventListener {
  void OnTestEnd(const ::testing::TestInfo&) override {
    for (pid_t pid : StartedPrograms()) {
      int status = 0;
      if (waitpid(pid, &status, WNOHANG) != 0) continue;
      kill(pid, SIGTERM);
      const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
      while (waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() >= end) {
          kill(pid, SIGKILL);
          waitpid(pid, &status, 0);
          break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      }
    }
    StartedPrograms().clear();
  }
};

[[maybe_unused]] const bool g_endsStartedPrograms = [] {
  ::testing::UnitTest::GetInstance()->listeners().Append(new EndStartedPrograms);
  return true;
}();

// Starts a program with extra environment entries; with `out` its standard output goes there.
// The program is ended with the test if it still runs then.
pid_t Spawn(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv, int out = -1) {
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    std::string s = *e;
    bool replaced = false;
    for (const auto& x : extraEnv) replaced |= s.compare(0, x.find('=') + 1, x, 0, x.find('=') + 1) == 0;
    if (!replaced) env.push_back(s);
  }
  env.insert(env.end(), extraEnv.begin(), extraEnv.end());
  std::vector<char*> envp;
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  pid_t pid = -1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (out >= 0) posix_spawn_file_actions_adddup2(&actions, out, 1);
  const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return -1;
  StartedPrograms().push_back(pid);
  return pid;
}

// Waits for the process to end; false (and the process killed) after the time-out.
bool WaitFor(pid_t pid, int seconds, int* status) {
  auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (std::chrono::steady_clock::now() < end) {
    if (waitpid(pid, status, WNOHANG) == pid) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  kill(pid, SIGKILL);
  waitpid(pid, status, 0);
  return false;
}

bool OnPath(const char* name) {
  const char* path = std::getenv("PATH");
  std::string p = path ? path : "/usr/bin:/bin";
  for (size_t start = 0;;) {
    size_t colon = p.find(':', start);
    std::string dir = p.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
    if (!dir.empty() && access((dir + "/" + name).c_str(), X_OK) == 0) return true;
    if (colon == std::string::npos) return false;
    start = colon + 1;
  }
}

// The place of the front bitmap in the screenshot: every non-transparent pixel outside the
// display matches. (-1, -1) when it is not there.
QPoint FindFront(const QImage& shot, const QImage& front, const QRect& lcd) {
  const QPoint probe(20, 200);
  const QRgb probeColour = front.pixel(probe);
  for (int oy = 0; oy + front.height() <= shot.height(); ++oy) {
    for (int ox = 0; ox + front.width() <= shot.width(); ++ox) {
      if (shot.pixel(ox + probe.x(), oy + probe.y()) != probeColour) continue;
      bool all = true;
      for (int y = 0; y < front.height() && all; ++y)
        for (int x = 0; x < front.width() && all; ++x) {
          QRgb f = front.pixel(x, y);
          if ((f & 0xFFFFFF) == 0xFF0000 || lcd.contains(x, y)) continue;
          all = shot.pixel(ox + x, oy + y) == f;
        }
      if (all) return QPoint(ox, oy);
    }
  }
  return QPoint(-1, -1);
}

// Starts a private virtual X server; its display (":n") in *display once it is ready to take
// clients, else -1 (and no server left running).
pid_t StartXvfb(std::string* display) {
  display->clear();
  int fds[2];
  if (pipe(fds) != 0) return -1;
  pid_t xvfb = Spawn({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", "1024x768x24", "-nolisten", "tcp"}, {});
  close(fds[1]);
  std::string number;
  pollfd pfd{fds[0], POLLIN, 0};
  char buf[32];
  while (xvfb > 0 && number.find('\n') == std::string::npos && poll(&pfd, 1, kPatience * 1000) > 0) {
    ssize_t n = read(fds[0], buf, sizeof buf);
    if (n <= 0) break;
    number.append(buf, static_cast<size_t>(n));
  }
  close(fds[0]);
  if (xvfb > 0 && number.find('\n') == std::string::npos) {
    kill(xvfb, SIGTERM);
    waitpid(xvfb, nullptr, 0);
    return -1;
  }
  *display = ":" + number.substr(0, number.find('\n'));
  return xvfb;
}

// The display of a running program as its LCD memory holds it: pixels 0x00RRGGBB (frame from
// 4096, 32 bits a pixel, rows of the virtual width given in the header at 40).
class LcdMemory {
 public:
  explicit LcdMemory(const std::string& prefix) : name_(prefix + "GuiLCDMap") {}
  // True once the program has made the memory with a whole frame.
  bool open() {
    if (!block_) block_ = host::SharedBlock::OpenFull(name_, nullptr);
    return block_ && block_->mappedBytes() >= 4096 + 240 * stride();
  }
  bool made() const { return block_ != nullptr; }
  uint32_t pixel(int x, int y) const {
    return word(4096 + static_cast<uint32_t>(y) * stride() + static_cast<uint32_t>(x) * 4) & 0xFFFFFFu;
  }

 private:
  uint32_t word(uint32_t at) const {
    const uint8_t* q = static_cast<const uint8_t*>(block_->data()) + at;
    return q[0] | (q[1] << 8) | (q[2] << 16) | (static_cast<uint32_t>(q[3]) << 24);
  }
  uint32_t stride() const { return word(40) * 4; }

  std::string name_;
  std::unique_ptr<host::SharedBlock> block_;
};

// The demo's user page on a 320 x 240 display, given by its pixels (0xRRGGBB): the lit pixels
// of the top bar and below it, the red bar of the process value and the green setpoint text in
// the body, and the longest red run in the top bar (the line under the logo).
struct DemoPage {
  int bar = 0, below = 0, redBody = 0, greenBody = 0, redRun = 0;
  // The page is open and the process value has risen.
  bool shown() const { return bar > 400 && below > 200 && redBody >= 500 && greenBody >= 20 && redRun >= 60; }
};

template <class Pixel>
DemoPage CountDemoPage(Pixel pixel) {
  auto red = [](QRgb c) { return qRed(c) > 160 && qGreen(c) < 80 && qBlue(c) < 80; };
  auto green = [](QRgb c) { return qGreen(c) > 160 && qRed(c) < 80 && qBlue(c) < 80; };
  DemoPage page;
  for (int y = 0; y < 240; ++y)
    for (int x = 0; x < 320; ++x) {
      const QRgb c = pixel(x, y) & 0xFFFFFF;
      (y < 40 ? page.bar : page.below) += c != 0;
      if (y >= 40) page.redBody += red(c), page.greenBody += green(c);
    }
  for (int y = 0; y < 34; ++y) {
    int run = 0;
    for (int x = 0; x < 120; ++x) {
      run = red(pixel(x, y) & 0xFFFFFF) ? run + 1 : 0;
      page.redRun = std::max(page.redRun, run);
    }
  }
  return page;
}

TEST(Screenshot, TheRunningProgramShowsTheFrontPanel) {
  if (!OnPath("Xvfb")) GTEST_SKIP() << "Xvfb is not installed";
  std::string display;
  const pid_t xvfb = StartXvfb(&display);
  if (xvfb <= 0) FAIL() << "Xvfb did not start";
  struct EndXvfb {
    pid_t pid;
    ~EndXvfb() {
      kill(pid, SIGTERM);
      waitpid(pid, nullptr, 0);
    }
  } endXvfb{xvfb};

  // The program takes its screenshot a fixed time after its start, and the page is there only
  // once the device has run for a while, which on a loaded machine takes longer than the
  // clock. So the program's LCD memory is watched meanwhile: when the page was not there
  // before the screenshot, the program starts again (as a new user) with twice the time.
  const std::string prefix = "simshot" + std::to_string(getpid()) + ".";
  std::string shotPath = std::string(SIM_SCREENSHOT_DIR) + "/SIM74_2_screenshot.png";
  for (int delayMs = 16000;; delayMs *= 2) {
    SCOPED_TRACE(delayMs);
    const std::filesystem::path cfg = std::filesystem::path(testenv::FreshFolder("simshot"));
    std::filesystem::create_directories(cfg);
    std::filesystem::remove(shotPath);
    const pid_t sim = Spawn({SIM74_2_PROGRAM},
                            {"DISPLAY=" + display, "QT_QPA_PLATFORM=xcb", "XDG_CONFIG_HOME=" + cfg.string(),
                             "SIM74_2_SCREENSHOT=" + shotPath, "SIM74_2_SCREENSHOT_DELAY=" + std::to_string(delayMs),
                             "SIM74_2_NAME_PREFIX=" + prefix});
    ASSERT_GT(sim, 0);
    LcdMemory lcd(prefix);
    bool shownBefore = false, ended = false;
    int status = 0;
    const auto end =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(delayMs) + std::chrono::seconds(kPatience);
    while (!(ended = waitpid(sim, &status, WNOHANG) == sim) && std::chrono::steady_clock::now() < end) {
      if (!shownBefore && lcd.open())
        shownBefore = CountDemoPage([&](int x, int y) { return lcd.pixel(x, y); }).shown();
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    std::filesystem::remove_all(cfg);
    ASSERT_TRUE(ended) << "SIM74_2 did not end";
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    if (shownBefore) break;
    ASSERT_LT(delayMs, 128000) << "the demo's page never showed on the display";
  }

  QImage shot(QString::fromStdString(shotPath));
  ASSERT_FALSE(shot.isNull());
  shot = shot.convertToFormat(QImage::Format_RGB32);
  QImage front = QImage(QString(SIM_SOURCE_TOP) + "/assets/front.png").convertToFormat(QImage::Format_RGB32);
  ASSERT_FALSE(front.isNull());
  const QRect lcd(59, 44, 320, 240);
  QPoint at = FindFront(shot, front, lcd);
  ASSERT_NE(at, QPoint(-1, -1)) << "the front panel is not in " << shotPath;
  // The demo runs: its page shows the top bar with the four key indicators and, below it, the
  // page drawn in the demo's colours (not black on black). The page is the demo's user page,
  // opened by itself a few seconds after the start: the red bar of the process value and the
  // green setpoint text in the body, and the red line under the logo in the top bar.
  const DemoPage page =
      CountDemoPage([&](int x, int y) { return shot.pixel(at.x() + lcd.x() + x, at.y() + lcd.y() + y); });
  EXPECT_GT(page.bar, 400) << shotPath;
  EXPECT_GT(page.below, 200) << shotPath;
  EXPECT_GE(page.redBody, 500) << "the bar of the process value, " << shotPath;
  EXPECT_GE(page.greenBody, 20) << "the setpoint text, " << shotPath;
  EXPECT_GE(page.redRun, 60) << "the line under the logo, " << shotPath;
}

// What a program printed, run to its end (killed after the time-out); its exit status in
// *exitStatus (-1 when it did not end by itself). `extraEnv` as for Spawn.
std::string RunForOutput(const std::vector<std::string>& args, int seconds, int* exitStatus = nullptr,
                         const std::vector<std::string>& extraEnv = {}) {
  int fds[2];
  if (pipe(fds) != 0) return "(no pipe)";
  pid_t pid = Spawn(args, extraEnv, fds[1]);
  close(fds[1]);
  std::string out;
  char buf[256];
  pollfd pfd{fds[0], POLLIN, 0};
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (std::chrono::steady_clock::now() < end && poll(&pfd, 1, 100) >= 0) {
    if (!(pfd.revents & (POLLIN | POLLHUP))) continue;
    ssize_t n = read(fds[0], buf, sizeof buf);
    if (n <= 0) break;
    out.append(buf, static_cast<size_t>(n));
  }
  close(fds[0]);
  int status = 0;
  const bool ended = pid > 0 && WaitFor(pid, seconds, &status);
  if (exitStatus) *exitStatus = ended && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return out;
}

// Names of the running program's prefix in the shared-memory and endpoint folders.
int NamesWith(const std::string& prefix) {
  int n = 0;
  for (const std::string& dir : {std::string("/dev/shm"), host::IpcFolder()})
    for (const auto& e : std::filesystem::directory_iterator(dir)) n += e.path().filename().string().find(prefix) != std::string::npos;
  return n;
}

// Waits until the program of that name prefix has its channel for PC tools.
bool ChannelUp(const std::string& prefix) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(kPatience);
  while (!host::IpcExistsFull(prefix + "Class::SimComRequest.Adr01") && std::chrono::steady_clock::now() < end)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  return host::IpcExistsFull(prefix + "Class::SimComRequest.Adr01");
}

TEST(RunningProgram, ThePcToolTalksToItThroughTheChannelAndACleanEndLeavesNoNames) {
  const std::string prefix = "simpc" + std::to_string(getpid()) + ".";
  std::filesystem::path cfg = std::filesystem::path(testenv::FreshFolder("simpc"));
  std::filesystem::create_directories(cfg);
  const std::vector<std::string> env = {"QT_QPA_PLATFORM=offscreen", "XDG_CONFIG_HOME=" + cfg.string(),
                                        "SIM74_2_NAME_PREFIX=" + prefix};
  // The address's names come with the first cycle, which brings the firmware's address.
  auto start = [&] {
    const pid_t pid = Spawn({SIM74_2_PROGRAM}, env);
    return pid > 0 && ChannelUp(prefix) ? pid : -1;
  };
  auto ident = [&](const char* way) {
    return RunForOutput({PCTOOL_PROGRAM, "-p", prefix, "-c", way, "-w", kToolWait, "ident"}, kPatience);
  };

  pid_t sim = start();
  ASSERT_GT(sim, 0);
  // The device runs the demo's engineering: it answers with its identification.
  const std::string answer = "ident: 23,151230-A,0001\n";
  EXPECT_EQ(ident("share:Com10"), answer);
  EXPECT_EQ(ident("window:Mx74Main"), answer);
  kill(sim, SIGKILL);
  waitpid(sim, nullptr, 0);
  EXPECT_GT(NamesWith(prefix), 0) << "a killed simulator leaves its names";

  sim = start();
  ASSERT_GT(sim, 0);
  EXPECT_EQ(ident("share:Adr01"), answer) << "the stale names were taken over";
  EXPECT_EQ(ident("window:Com10"), answer);
  kill(sim, SIGTERM);
  int status = 0;
  ASSERT_TRUE(WaitFor(sim, kPatience, &status));
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(NamesWith(prefix), 0) << "a clean end removes every name";
  std::filesystem::remove_all(cfg);
}

// The I/O views that were shown at the end are shown again at the next start: the program's
// end closes the views with every other window, and that must not count as the user hiding
// them ([Settings] ViewIO stays 1 through a start and an end).
TEST(RunningProgram, TheIoViewsShownAtTheEndAreShownAtTheNextStart) {
  const std::string prefix = "simvw" + std::to_string(getpid()) + ".";
  const std::filesystem::path cfg = std::filesystem::path(testenv::FreshFolder("simvw"));
  const std::filesystem::path folder = cfg / "Orvant Tools" / "SIM_MX74-2";
  std::filesystem::create_directories(folder);
  const std::string ini = (folder / "sim_mx74-2.ini").string();
  host::IniWriteInt(ini, "Settings", "Valid", 1);
  host::IniWriteInt(ini, "Settings", "ViewIO", 1);
  const std::vector<std::string> env = {"QT_QPA_PLATFORM=offscreen", "XDG_CONFIG_HOME=" + cfg.string(),
                                        "SIM74_2_NAME_PREFIX=" + prefix};
  for (int run = 0; run < 2; ++run) {
    SCOPED_TRACE(run);
    const pid_t sim = Spawn({SIM74_2_PROGRAM}, env);
    ASSERT_GT(sim, 0);
    ASSERT_TRUE(ChannelUp(prefix)) << "the program did not come up";
    kill(sim, SIGTERM);
    int status = 0;
    ASSERT_TRUE(WaitFor(sim, kPatience, &status));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(host::IniGetInt(ini, "Settings", "ViewIO", -1), 1);
  }
  std::filesystem::remove_all(cfg);
}

// A script given on the command line plays in the running program (a path with upper-case
// letters), and the recorder writes what it did: its keys, the request it sent and the
// device's answer, and at the end the closing line.
TEST(RunningProgram, AScriptFromTheCommandLinePlaysAndItsTrafficIsRecorded) {
  const std::string prefix = "simscr" + std::to_string(getpid()) + ".";
  const std::filesystem::path root = std::filesystem::path(testenv::FreshFolder("simscr"));
  std::filesystem::remove_all(root);
  std::filesystem::create_directories(root / "Scripts");
  const std::string script = (root / "Scripts" / "Play.TXT").string(), record = (root / "Rec.TXT").string();
  {
    std::ofstream out(script);
    out << "; keys, then the identification\nkey 1000\nwait 2\nkey 0000\ninput comm \"18\"\nwait 50\n";
  }
  pid_t sim = Spawn({SIM74_2_PROGRAM, "/inpfile=" + script, "/outfile=" + record},
                    {"QT_QPA_PLATFORM=offscreen", "XDG_CONFIG_HOME=" + root.string(), "SIM74_2_NAME_PREFIX=" + prefix});
  ASSERT_GT(sim, 0);
  auto recorded = [&] {
    std::ifstream in(record);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  };
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(kPatience);
  while (recorded().find("output comm") == std::string::npos && std::chrono::steady_clock::now() < end)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  kill(sim, SIGTERM);
  int status = 0;
  ASSERT_TRUE(WaitFor(sim, kPatience, &status));
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  const std::string out = recorded();
  std::filesystem::remove_all(root);
  EXPECT_EQ(out.rfind(";;;", 0), std::string::npos) << "no header while a script plays";
  const size_t k1 = out.find("\nkey 1000\n"), k0 = out.find("\nkey 0000\n"), in = out.find("input comm  \"18\"\n");
  ASSERT_NE(k1, std::string::npos) << out;
  ASSERT_NE(k0, std::string::npos) << out;
  ASSERT_NE(in, std::string::npos) << out;
  EXPECT_LT(k1, k0);
  EXPECT_LT(k0, in);
  // The device's answer: STX, "18=23,15" (the identification) and more.
  EXPECT_NE(out.find("output comm \"# 02 31 38 3D 32 33 2C 31  35 "), std::string::npos) << out;
  ASSERT_GE(out.size(), 9u);
  EXPECT_EQ(out.substr(out.size() - 9), "\noutfile\n") << "the script still played: no EEPROM dump line";
}

// Started as a new user starts it (no settings, no project), the program runs the built-in
// demo: the controller's process value (block 100) rises towards the setpoint that the
// programmer (block 103) hands it, read the way a PC tool reads them.
TEST(RunningProgram, ANewUserGetsTheDemoWithItsControlLoopRunning) {
  const std::string prefix = "simdemo" + std::to_string(getpid()) + ".";
  std::filesystem::path cfg = std::filesystem::path(testenv::FreshFolder("simdemo"));
  std::filesystem::remove_all(cfg);
  std::filesystem::create_directories(cfg);
  pid_t sim = Spawn({SIM74_2_PROGRAM},
                    {"QT_QPA_PLATFORM=offscreen", "XDG_CONFIG_HOME=" + cfg.string(), "SIM74_2_NAME_PREFIX=" + prefix});
  ASSERT_GT(sim, 0);
  auto read = [&](const char* block, const char* code) {
    const std::string out =
        RunForOutput({PCTOOL_PROGRAM, "-p", prefix, "-c", "share:Com10", "-w", kToolWait, "read", block, code}, kPatience);
    const size_t colon = out.find(": ");
    return colon == std::string::npos ? -1.0e9 : std::strtod(out.c_str() + colon + 2, nullptr);
  };
  double x = -1.0e9;
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2 * kPatience);
  while (std::chrono::steady_clock::now() < end && (x = read("100", "04")) < 2.0)
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_GE(x, 2.0) << "the process value does not rise";
  // The programmer ramps while the requests go out one after another: the controller's
  // setpoint, read between two reads of the programmer's, lies between them (give or take the
  // one cycle by which the controller follows), however long the requests took.
  const double wp0 = read("103", "06"), weff = read("100", "03"), wp1 = read("103", "06");
  EXPECT_GE(wp0, 20.0);
  EXPECT_LE(wp1, 60.0);
  EXPECT_GE(weff, std::min(wp0, wp1) - 0.5) << "the controller's setpoint is the programmer's: " << wp0 << " .. " << wp1;
  EXPECT_LE(weff, std::max(wp0, wp1) + 0.5) << "the controller's setpoint is the programmer's: " << wp0 << " .. " << wp1;
  kill(sim, SIGTERM);
  int status = 0;
  ASSERT_TRUE(WaitFor(sim, kPatience, &status));
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  // The demo counts as unnamed: no last file for the next start.
  const std::string ini = (cfg / "Orvant Tools/SIM_MX74-2/sim_mx74-2.ini").string();
  EXPECT_EQ(host::IniGetString(ini, "Settings", "LastFileName", "?"), "");
  std::filesystem::remove_all(cfg);
}

// Started as a new user starts it (no settings, no project), the program shows the top bar in
// the colours it really uses: the logo "MX74-2" and the clock, read from the LCD memory of the
// running program, stand out from the bar in a colour that is neither black nor the red of the
// line under the logo.
TEST(RunningProgram, ANewUserSeesTheLogoAndTheClockInTheTopBar) {
  const std::string prefix = "simbar" + std::to_string(getpid()) + ".";
  std::filesystem::path cfg = std::filesystem::path(testenv::FreshFolder("simbar"));
  std::filesystem::remove_all(cfg);
  std::filesystem::create_directories(cfg);
  pid_t sim = Spawn({SIM74_2_PROGRAM},
                    {"QT_QPA_PLATFORM=offscreen", "XDG_CONFIG_HOME=" + cfg.string(), "SIM74_2_NAME_PREFIX=" + prefix});
  ASSERT_GT(sim, 0);
  LcdMemory lcd(prefix);
  auto pixel = [&](int x, int y) { return lcd.pixel(x, y); };
  // The colours of an area other than the bar's background (its pixel at 2,2).
  auto textColours = [&](int x0, int y0, int x1, int y1) {
    std::vector<uint32_t> found;
    const uint32_t bar = pixel(2, 2);
    for (int y = y0; y <= y1; ++y)
      for (int x = x0; x <= x1; ++x) {
        const uint32_t c = pixel(x, y);
        if (c != bar && std::find(found.begin(), found.end(), c) == found.end()) found.push_back(c);
      }
    return found;
  };
  auto visible = [](const std::vector<uint32_t>& colours) {
    return std::any_of(colours.begin(), colours.end(), [](uint32_t c) { return c != 0 && c != 0xFF0000; });
  };
  // The logo at 6,6 above its red line (y 27, 28); the clock from x 228 at y 8.
  std::vector<uint32_t> logo, clock;
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2 * kPatience);
  while (std::chrono::steady_clock::now() < end) {
    // The top bar is shown (not the start-up picture): its red line under the logo, on a bar
    // of one colour.
    bool bar = lcd.open();
    for (int x = 6; bar && x <= 89; ++x) bar = pixel(x, 27) == 0xFF0000 && pixel(x, 28) == 0xFF0000;
    if (bar && pixel(2, 2) == pixel(92, 2) && pixel(2, 2) == pixel(2, 31)) {
      logo = textColours(6, 6, 89, 26);
      clock = textColours(224, 2, 287, 31);
      if (visible(logo) && visible(clock)) break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
  EXPECT_TRUE(lcd.made()) << "no LCD memory";
  EXPECT_TRUE(visible(logo)) << "the logo is black or red on the bar: " << logo.size() << " colours";
  EXPECT_TRUE(visible(clock)) << "the clock is black or red on the bar: " << clock.size() << " colours";
  kill(sim, SIGTERM);
  int status = 0;
  ASSERT_TRUE(WaitFor(sim, kPatience, &status));
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  std::filesystem::remove_all(cfg);
}

// The running processes of the program started as `args` whose environment holds `entry`.
std::vector<pid_t> ProcessesOf(const std::vector<std::string>& args, const std::string& entry) {
  auto read = [](const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  };
  std::vector<pid_t> found;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator("/proc", ec)) {
    const std::string name = e.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    std::string want;
    for (const std::string& a : args) want += a + '\0';
    if (read(e.path() / "cmdline") != want) continue;
    const std::string env = '\0' + read(e.path() / "environ");
    if (env.find('\0' + entry + '\0') == std::string::npos) continue;
    const std::string stat = read(e.path() / "stat");
    const size_t close = stat.rfind(')');
    if (close != std::string::npos && close + 2 < stat.size() && stat[close + 2] == 'Z') continue;
    found.push_back(static_cast<pid_t>(std::stol(name)));
  }
  return found;
}

// The process that a restart of the program of that name prefix started (the program with
// " /restart" only).
std::vector<pid_t> RestartedProgram(const std::string& prefix) {
  std::vector<pid_t> restarted;
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(kPatience);
  while ((restarted = ProcessesOf({SIM74_2_PROGRAM, "/restart"}, "SIM74_2_NAME_PREFIX=" + prefix)).empty() &&
         std::chrono::steady_clock::now() < end)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  return restarted;
}

// A PC tool downloads an engineering into the running program; the device's restart after the
// download ends the program, which starts itself again with " /restart" a second later, and the
// new process loads "Restart.sdg": it runs the downloaded engineering (it was in the firmware's
// image only, not in the project the program had loaded).
TEST(RunningProgram, ADownloadEndsInARestartThatCarriesTheDownloadedEngineering) {
  const std::string prefix = "simrst" + std::to_string(getpid()) + ".";
  const std::filesystem::path cfg = std::filesystem::path(testenv::FreshFolder("simrst"));
  std::filesystem::remove_all(cfg);
  std::filesystem::create_directories(cfg);
  const std::string script = (cfg / "turbo.txt").string(), description = (cfg / "download.eng").string();
  std::ofstream(script) << "turbo\n";  // the download runs at Turbo speed
  std::ofstream(description) << "run 2\nblock 200 ABSV group 1\n  float 1 2.5\n";
  const std::vector<std::string> env = {"QT_QPA_PLATFORM=offscreen", "XDG_CONFIG_HOME=" + cfg.string(),
                                        "SIM74_2_NAME_PREFIX=" + prefix};
  pid_t sim = Spawn({SIM74_2_PROGRAM, "/inpfile=" + script, "turbo"}, env);
  ASSERT_GT(sim, 0);
  ASSERT_TRUE(ChannelUp(prefix));
  // The tool waits for the restarted program's channel and counts the download as done.
  int toolStatus = -1;
  const std::string downloaded = RunForOutput(
      {PCTOOL_PROGRAM, "-p", prefix, "-c", "share:Com10", "-w", kDownloadWait, "download", description}, 3 * kPatience,
      &toolStatus);
  EXPECT_EQ(downloaded, "download " + description + ": done\n");
  EXPECT_EQ(toolStatus, 0);
  int status = 0;
  ASSERT_TRUE(WaitFor(sim, kPatience, &status)) << "the download did not end the program";
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;

  // The new process: the program with " /restart" only, in this test's environment.
  const std::vector<pid_t> restarted = RestartedProgram(prefix);
  ASSERT_EQ(restarted.size(), 1u) << "no new process with /restart";
  ASSERT_TRUE(ChannelUp(prefix));
  std::string value;
  const auto readEnd = std::chrono::steady_clock::now() + std::chrono::seconds(kPatience);
  do {
    value = RunForOutput({PCTOOL_PROGRAM, "-p", prefix, "-c", "share:Com10", "-w", kToolWait, "read", "200", "01", "10"},
                         kPatience);
  } while (value != "read 200 01 10: 2.5\n" && std::chrono::steady_clock::now() < readEnd);
  EXPECT_EQ(value, "read 200 01 10: 2.5\n") << "the new process runs the downloaded engineering";
  const std::filesystem::path folder = cfg / "Orvant Tools/SIM_MX74-2";
  EXPECT_FALSE(std::filesystem::exists(folder / "Restart.sdg")) << "loaded and deleted";
  EXPECT_TRUE(std::filesystem::exists(folder / "OEM-Projekt.sdg")) << "the unnamed project, saved without asking";

  // It is not this test's child: it is ended by its id and watched until it has gone.
  kill(restarted[0], SIGTERM);
  const auto gone = std::chrono::steady_clock::now() + std::chrono::seconds(kPatience);
  while (!ProcessesOf({SIM74_2_PROGRAM, "/restart"}, "SIM74_2_NAME_PREFIX=" + prefix).empty() &&
         std::chrono::steady_clock::now() < gone)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_TRUE(ProcessesOf({SIM74_2_PROGRAM, "/restart"}, "SIM74_2_NAME_PREFIX=" + prefix).empty());
  EXPECT_EQ(NamesWith(prefix), 0);
  std::filesystem::remove_all(cfg);
}

// Without any display the program starts past a corrupt settings file (moved aside first,
// then reported without a box that waits for a click) and past a FIFO named as the last
// project, the start logo, the user data and the most recent file; a PC tool gets its
// answers, and SIGTERM ends it cleanly.
TEST(RunningProgram, StartsWithoutADisplayPastCorruptSettingsAndAFifoAsItsFiles) {
  struct Case {
    const char* what;
    bool corrupt;
  } cases[] = {{"corrupt settings", true}, {"fifo as the last project", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string prefix = "simhostile" + std::to_string(getpid()) + ".";
    const std::filesystem::path cfg = std::filesystem::path(testenv::FreshFolder("simhostile"));
    std::filesystem::remove_all(cfg);
    const std::filesystem::path folder = cfg / "Orvant Tools/SIM_MX74-2";
    std::filesystem::create_directories(folder);
    const std::string ini = (folder / "sim_mx74-2.ini").string();
    const std::string fifo = (cfg / "project.sdg").string();
    if (c.corrupt) {
      std::ofstream(ini, std::ios::binary) << std::string("\0\x01[Settings\nValid=1\n\xFF\xFE garbage", 29);
    } else {
      ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
      std::ofstream(ini) << "[Settings]\nValid=1\nLastFileName=" << fifo << "\nStartupLogo=" << fifo
                         << "\nVuserData=" << fifo << "\n[Recent File List]\nFile1=" << fifo << "\n";
    }
    pid_t sim = Spawn({SIM74_2_PROGRAM}, {"QT_QPA_PLATFORM=offscreen", "DISPLAY=", "WAYLAND_DISPLAY=",
                                          "XDG_CONFIG_HOME=" + cfg.string(), "SIM74_2_NAME_PREFIX=" + prefix});
    ASSERT_GT(sim, 0);
    std::string out;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2 * kPatience);
    while (std::chrono::steady_clock::now() < end &&
           (out = RunForOutput({PCTOOL_PROGRAM, "-p", prefix, "-c", "share:Com10", "-w", kToolWait, "ident"}, kPatience))
                   .rfind("ident: 23,", 0) != 0)
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(out.rfind("ident: 23,", 0), 0u) << out;
    kill(sim, SIGTERM);
    int status = 0;
    ASSERT_TRUE(WaitFor(sim, kPatience, &status));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    if (c.corrupt) {
      EXPECT_TRUE(std::filesystem::exists(ini + ".corrupt")) << "moved aside";
      EXPECT_TRUE(host::IniIsWellFormed(ini)) << "replaced by the first-run settings";
    }
    std::filesystem::remove_all(cfg);
  }
}


#ifdef TQ500_PROGRAM
// The module panels of the program's process `sim`: their identities (the panel program's
// argument), found among the running processes.
std::vector<std::string> PanelsOf(pid_t sim) {
  const std::string identity = std::string(TQ500_IDENTITY_PREFIX) + std::to_string(sim);
  std::vector<std::string> found;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator("/proc", ec)) {
    std::ifstream in(e.path() / "cmdline", std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    const std::string cmdline = ss.str();
    const size_t first = cmdline.find('\0');
    if (first == std::string::npos || cmdline.compare(0, first, TQ500_PROGRAM) != 0) continue;
    const std::string arg = cmdline.substr(first + 1, cmdline.find('\0', first + 1) - first - 1);
    if (arg.size() == identity.size() + 6 && arg.compare(0, identity.size(), identity) == 0) found.push_back(arg);
  }
  return found;
}

// Block data as a PC tool reads it with code B3 (sub-index 0 the inputs, 1 the outputs):
// "index,n,F1..Fn,m,W1..Wm" after the echo of the request. False when the answer is not one.
struct ToolRecord {
  std::vector<double> floats;
  std::vector<long> words;
};

bool ParseRecord(const std::string& answer, ToolRecord* record) {
  const size_t colon = answer.find(": ");
  if (colon == std::string::npos || answer.empty() || answer.back() != '\n') return false;
  std::vector<double> fields;
  const std::string text = answer.substr(colon + 2, answer.size() - colon - 3);
  for (size_t start = 0; start <= text.size();) {
    const size_t comma = std::min(text.find(',', start), text.size());
    double v = 0;
    const auto r = std::from_chars(text.data() + start, text.data() + comma, v);
    if (r.ec != std::errc() || r.ptr != text.data() + comma) return false;
    fields.push_back(v);
    start = comma + 1;
  }
  if (fields.size() < 3 || fields[1] < 0) return false;
  const size_t floats = static_cast<size_t>(fields[1]);
  if (fields.size() < 3 + floats || fields[2 + floats] < 0 ||
      fields.size() != 3 + floats + static_cast<size_t>(fields[2 + floats]))
    return false;
  record->floats.assign(fields.begin() + 2, fields.begin() + 2 + static_cast<std::ptrdiff_t>(floats));
  record->words.assign(fields.begin() + 3 + static_cast<std::ptrdiff_t>(floats), fields.end());
  return true;
}

// A module panel window on a private X server, used as a user uses it: xdotool moves the
// mouse and strikes the keys, xclip reads what the panel copied to the clipboard. Controls
// are named by their place (0 the coupler, then the modules) and their point in the dialog
// units of the panel's item tables, scaled by the window's size.
class PanelOnScreen {
 public:
  explicit PanelOnScreen(const std::string& display) : env_{"DISPLAY=" + display} {}

  // Waits for the visible window of that title holding `places` places, and raises it above
  // the program's window.
  bool find(const std::string& title, int places) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(kPatience);
    do {
      const std::string found = xdotool({"search", "--onlyvisible", "--name", "^" + title + "$"});
      if (!found.empty() && found.find('\n') == found.size() - 1) window_ = found.substr(0, found.size() - 1);
      if (!window_.empty()) {
        std::istringstream geometry(xdotool({"getwindowgeometry", "--shell", window_}));
        for (std::string line; std::getline(geometry, line);) {
          if (line.rfind("WIDTH=", 0) == 0) width_ = std::atoi(line.c_str() + 6);
          if (line.rfind("HEIGHT=", 0) == 0) height_ = std::atoi(line.c_str() + 7);
        }
        if (width_ > places && height_ > 0) {
          placeWidth_ = (width_ - 1) / places + 1;   // neighbours share their border pixel
          xdotool({"windowraise", window_});
          return true;
        }
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
    } while (std::chrono::steady_clock::now() < end);
    return false;
  }
  std::string size() const { return std::to_string(width_) + "x" + std::to_string(height_); }

  void click(int place, double xDlu, double yDlu) {
    const int x = place * (placeWidth_ - 1) + static_cast<int>(xDlu * placeWidth_ / CModuleDlg::kWidthDlu);
    const int y = static_cast<int>(yDlu * height_ / CModuleDlg::kHeightDlu);
    xdotool({"mousemove", "--window", window_, std::to_string(x), std::to_string(y), "click", "1"});
  }
  void type(const std::string& text) { xdotool({"type", "--window", window_, text}); }
  // The text of the field there, as a user copies it: click into it, select all, copy.
  std::string copy(int place, double xDlu, double yDlu) {
    click(place, xDlu, yDlu);
    xdotool({"key", "--window", window_, "ctrl+a", "ctrl+c"});
    return RunForOutput({"xclip", "-o", "-selection", "clipboard"}, kPatience, nullptr, env_);
  }

 private:
  std::string xdotool(std::vector<std::string> args) {
    args.insert(args.begin(), "xdotool");
    return RunForOutput(args, kPatience, nullptr, env_);
  }

  std::vector<std::string> env_;
  std::string window_;
  int width_ = 0, height_ = 0, placeWidth_ = 0;
};

// Remote I/O as a user sets it up: the communication option in the device settings, an
// engineering with a coupler (bus node 12) and its modules downloaded from a PC tool, the
// device's own bus node set through its system datum while the device is stopped. The
// program keeps the option over its start and the restart of the download, and brings up
// the coupler's panel, the real panel program, titled with the coupler's bus address and
// holding the three modules. On a private X server the values then go both ways as a user
// moves them: a ticked digital input and a typed analog input reach the module blocks'
// outputs as a PC tool reads them, and the analog output module's input, set in the
// engineering and then written by the PC tool, shows on the panel.
TEST(RunningProgram, RemoteIoComesUpAsAUserSetsItUp) {
  const std::string prefix = "simrio" + std::to_string(getpid()) + ".";
  const std::filesystem::path cfg = std::filesystem::path(testenv::FreshFolder("simrio"));
  std::filesystem::remove_all(cfg);
  const std::filesystem::path folder = cfg / "Orvant Tools/SIM_MX74-2";
  std::filesystem::create_directories(folder);
  const std::string ini = (folder / "sim_mx74-2.ini").string();
  host::IniWriteInt(ini, "Settings", "Valid", 1);
  host::IniWriteInt(ini, "Device", "CommOpt", 1);  // what the device dialog's "Interface" writes
  const std::string script = (cfg / "turbo.txt").string(), description = (cfg / "remote.eng").string();
  std::ofstream(script) << "turbo\n";
  // Block 103 gives the analog output's channel 1 its value: |0 x X + 50| = 50 %.
  std::ofstream(description) << "run 2\norder 0010000000\n"
                                "block 21 C_TQ5x group 0\n  value 1 12\n"
                                "block 100 TQ_AI group 1\n  in 1 21.1\n"
                                "block 101 TQ_DI group 1 after 100\n  in 1 21.2\n"
                                "block 103 ABSV group 1 after 101\n  float 2 50\n"
                                "block 102 TQ_AO group 1 after 103\n  in 1 21.3\n  in 2 103.1\n";
  // Whatever fails, no program of this test is left running (each is ended by its id; the
  // X server, this test's child, last).
  struct Ender {
    pid_t pid = 0;
    bool child = false;
    ~Ender() {
      if (pid <= 0) return;
      kill(pid, SIGTERM);
      if (child) waitpid(pid, nullptr, 0);
    }
  } xvfb, first, second;
  const char* missing = !OnPath("Xvfb") ? "Xvfb" : !OnPath("xdotool") ? "xdotool" : !OnPath("xclip") ? "xclip" : nullptr;
  std::string display;
  if (!missing) {
    xvfb.pid = StartXvfb(&display);
    xvfb.child = true;
    ASSERT_GT(xvfb.pid, 0) << "Xvfb did not start";
  }
  std::vector<std::string> env = {"XDG_CONFIG_HOME=" + cfg.string(), "SIM74_2_NAME_PREFIX=" + prefix};
  if (missing) {
    env.push_back("QT_QPA_PLATFORM=offscreen");
  } else {
    env.insert(env.end(), {"QT_QPA_PLATFORM=xcb", "DISPLAY=" + display});
  }
  auto tool = [&](std::vector<std::string> request) {
    const std::string& wait = request[0] == "download" ? kDownloadWait : kToolWait;
    std::vector<std::string> args = {PCTOOL_PROGRAM, "-p", prefix, "-c", "share:Com10", "-w", wait};
    args.insert(args.end(), request.begin(), request.end());
    return RunForOutput(args, 3 * kPatience);
  };
  pid_t sim = Spawn({SIM74_2_PROGRAM, "/inpfile=" + script, "turbo"}, env);
  ASSERT_GT(sim, 0);
  first.pid = sim;
  first.child = true;
  ASSERT_TRUE(ChannelUp(prefix));
  EXPECT_EQ(host::IniGetInt(ini, "Device", "CommOpt", -1), 1) << "the start keeps the user's device";
  EXPECT_EQ(tool({"download", description}), "download " + description + ": done\n");
  int status = 0;
  ASSERT_TRUE(WaitFor(sim, kPatience, &status)) << "the download did not end the program";
  first.pid = 0;
  const std::vector<pid_t> restarted = RestartedProgram(prefix);
  ASSERT_EQ(restarted.size(), 1u) << "no new process with /restart";
  second.pid = restarted[0];
  ASSERT_TRUE(ChannelUp(prefix));

  // The device's own bus node: stop, node 5, run with the change.
  EXPECT_EQ(tool({"write", "0", "01", "05", "1", "write", "0", "06", "30", "5", "write", "0", "01", "05", "0",
                  "read", "0", "06", "30"}),
            "write 0 01 05 1: done\nwrite 0 06 30 5: done\nwrite 0 01 05 0: done\nread 0 06 30: 5\n");
  EXPECT_EQ(host::IniGetInt(ini, "Device", "CommOpt", -1), 1);

  // The coupler's panel: the real panel program, started by the program for coupler 21.
  std::vector<std::string> panels;
  const auto panelEnd = std::chrono::steady_clock::now() + std::chrono::seconds(kPatience);
  while ((panels = PanelsOf(restarted[0])).empty() && std::chrono::steady_clock::now() < panelEnd)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  ASSERT_EQ(panels.size(), 1u) << "no panel for the coupler";
  std::string title;
  const auto titleEnd = std::chrono::steady_clock::now() + std::chrono::seconds(kPatience);
  do {
    title.clear();
    host::IpcFrame ask;
    ask.message = TQ500_MSG_GET_TEXT;
    host::IpcSendFull(panels[0], ask, &title, kPatience * 1000);
  } while (title != "TQ500 - #12" && std::chrono::steady_clock::now() < titleEnd);
  EXPECT_EQ(title, "TQ500 - #12");

  if (!missing) {
    // Places: the coupler, TQ_AI, TQ_DI, TQ_AO (in the blocks' order). Points in dialog units:
    // the box of digital input 1 at the left of its row (9, 23, 26 x 10), the middle of the
    // first analog field (3, 24, 33 x 12).
    enum { kAnalogIn = 1, kDigitalIn = 2, kAnalogOut = 3 };
    constexpr double kBoxX = 12.5, kBoxY = 28, kFieldX = 19.5, kFieldY = 30;
    PanelOnScreen panel(display);
    ASSERT_TRUE(panel.find("TQ500 - #12", 4)) << "no visible window of the panel";
    // Waits until the PC tool's read of that request satisfies `done`.
    auto readUntil = [&](const std::vector<std::string>& request, auto done) {
      ToolRecord record;
      std::string answer;
      const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(kPatience);
      do {
        std::vector<std::string> read = {"read"};
        read.insert(read.end(), request.begin(), request.end());
        answer = tool(read);
        if (ParseRecord(answer, &record) && done(record)) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
      } while (std::chrono::steady_clock::now() < end);
      return answer;
    };
    // Waits until the analog output's field 1 shows `text`.
    auto shownUntil = [&](const std::string& text) {
      std::string shown;
      const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(kPatience);
      while ((shown = panel.copy(kAnalogOut, kFieldX, kFieldY)) != text && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
      return shown;
    };

    // 50 % of the default output type, 0...20 mA.
    EXPECT_EQ(shownUntil("10.00"), "10.00") << "TQ_AO's input on the panel (window " << panel.size() << ")";

    // TQ_DI's outputs: EtErr, IdErr, Valid, then "di 1".."di 8".
    panel.click(kDigitalIn, kBoxX, kBoxY);
    std::string answer = readUntil({"101", "B3", "1"}, [](const ToolRecord& r) { return r.words.size() == 11 && r.words[3] == 1; });
    EXPECT_EQ(answer, "read 101 B3 1: 15,0,11,0,0,1,1,0,0,0,0,0,0,0\n") << "the ticked input 1 reaches TQ_DI";

    // TQ_AI's outputs: the four channel values first; the field takes what was typed a second
    // after the last key.
    panel.click(kAnalogIn, kFieldX, kFieldY);
    panel.type("12.5");
    answer = readUntil({"100", "B3", "1"}, [](const ToolRecord& r) { return r.floats.size() == 4 && r.floats[0] == 12.5; });
    ToolRecord ai;
    ASSERT_TRUE(ParseRecord(answer, &ai)) << answer;
    EXPECT_EQ(ai.floats, (std::vector<double>{12.5, 0, 0, 0})) << "the typed input reaches TQ_AI: " << answer;
    ASSERT_EQ(ai.words.size(), 8u) << answer;
    EXPECT_EQ(ai.words[2], 1) << "TQ_AI's slot is valid: " << answer;

    // The PC tool writes block 103's offset: 75 % shows as 15.00 mA.
    EXPECT_EQ(tool({"write", "103", "02", "10", "75"}), "write 103 02 10 75: done\n");
    EXPECT_EQ(shownUntil("15.00"), "15.00") << "TQ_AO's new input on the panel";
  }

  kill(restarted[0], SIGTERM);
  second.pid = 0;
  const auto gone = std::chrono::steady_clock::now() + std::chrono::seconds(kPatience);
  while ((!ProcessesOf({SIM74_2_PROGRAM, "/restart"}, "SIM74_2_NAME_PREFIX=" + prefix).empty() ||
          !PanelsOf(restarted[0]).empty()) &&
         std::chrono::steady_clock::now() < gone)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_TRUE(PanelsOf(restarted[0]).empty()) << "the panel ends with the program";
  EXPECT_EQ(host::IniGetInt(ini, "Device", "CommOpt", -1), 1) << "and the end keeps the device";
  std::filesystem::remove_all(cfg);
  if (missing) GTEST_SKIP() << missing << " is not installed: the values through the panel were not tried";
}
#endif

}  // namespace
