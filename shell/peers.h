// Running simulators know each other: each has a hidden window, here a message endpoint
// "Class::Mx74SimWindow.<id>" (host/ipc.h; the id is the process id), that other instances
// reach by name. A starting instance tells every other one "WMR_SIM74_NEW"; each answers all
// instances with "WMR_SIM74_NOTIFY" carrying its own window, and whoever hears that from
// another window keeps it in its peer table of six entries. A hidden window also takes one
// 224-byte data block (the copy-data message) from another instance.
//
// The endpoint is answered by a thread of its own, so that an instance that is busy with a
// cycle, or itself waiting for a peer, still answers the liveness probe of others (two
// instances probing each other would otherwise both wait out the time-out and drop each
// other). Everything else that arrives is handed to the UI thread, which handles it in
// serve(); the tables are the UI thread's.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "host/ipc.h"

inline constexpr char SIM_HIDDEN_WINDOW_NAME[] = "Class::Mx74SimWindow";
inline constexpr char SIM_WMR_NEW[] = "WMR_SIM74_NEW";
inline constexpr char SIM_WMR_NOTIFY[] = "WMR_SIM74_NOTIFY";
constexpr int SIM_PEER_COUNT = 6;
constexpr size_t SIM_COPY_DATA_SIZE = 224;
constexpr uint32_t SIM_WM_NULL = 0x0000;      // the liveness probe; answered 1
constexpr uint32_t SIM_WM_COPYDATA = 0x004A;  // payload: the data block
constexpr int SIM_PEER_TIMEOUT_MS = 500;

// The number of a registered message: the same for the same name in every instance, in the
// range 0xC000..0xFFFF of such messages.
uint32_t SimRegisterMessage(const char* name);

// A hidden window: the process id of its instance; 0 = none.
using SimWindowId = uint32_t;

class SimInstancePeers {
 public:
  SimInstancePeers();
  ~SimInstancePeers();
  SimInstancePeers(const SimInstancePeers&) = delete;
  SimInstancePeers& operator=(const SimInstancePeers&) = delete;

  // Creates the hidden window's endpoint for `self`, starts its thread and tells every other
  // instance "WMR_SIM74_NEW". False (and *error) when the endpoint could not be made.
  bool open(SimWindowId self, std::string* error);
  void close();
  bool isOpen() const { return endpoint_ != nullptr; }
  SimWindowId self() const { return self_; }

  // Readable while frames wait for serve(); -1 while closed.
  int fd() const { return wake_[0]; }
  // On the UI thread: handles the frames that came (new instances, notifications, data
  // blocks). Returns the number handled.
  int serve();

  // SimAddPeer: walks the six entries; an entry that is set and still answers is kept, any
  // other is emptied and, when `window` answers and is not in the table yet, takes it (and the
  // walk ends there).
  void addPeer(SimWindowId window);
  // Whether the window's endpoint answers the probe within the time-out.
  bool isWindow(SimWindowId window) const;
  const std::array<SimWindowId, SIM_PEER_COUNT>& peers() const { return peers_; }
  // The last data block: all zeros until a block of exactly 224 bytes came; a block of any
  // other size clears it.
  const std::array<uint8_t, SIM_COPY_DATA_SIZE>& copyData() const { return copyData_; }

  // Posts the message to every other instance's hidden window (not waiting for them); the
  // number of windows that took it.
  int broadcast(uint32_t message, uint32_t wParam);
  void setTimeout(int ms) { timeoutMs_ = ms > 0 ? ms : 1; }

  // The endpoint name of a window.
  static std::string nameOf(SimWindowId window);

 private:
  int32_t answer(const host::IpcFrame& frame);
  void handle(const host::IpcFrame& frame);

  std::unique_ptr<host::IpcEndpoint> endpoint_;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::deque<host::IpcFrame> inbox_;
  int wake_[2] = {-1, -1};
  SimWindowId self_ = 0;
  int timeoutMs_ = SIM_PEER_TIMEOUT_MS;
  std::array<SimWindowId, SIM_PEER_COUNT> peers_{};
  std::array<uint8_t, SIM_COPY_DATA_SIZE> copyData_{};
};

// The instance peers of this process and SimAddPeer on them.
SimInstancePeers& SimPeers();
inline void SimAddPeer(SimWindowId window) { SimPeers().addPeer(window); }

// The presence of the running instances of this user, for the start's decision whether a
// settings file left without its Valid mark comes from a crashed run: every instance holds a
// shared lock on one file in the endpoints' folder for its whole run (the system drops it
// when a process ends in any way). A start takes the gate (an exclusive lock on a second
// file) while it checks the others and reads and writes the mark, so that two instances
// started at the same instant take turns and the later one sees the earlier.
class SimInstanceGate {
 public:
  SimInstanceGate();   // waits for the gate (held only for a few file operations)
  ~SimInstanceGate();  // passes it on; this instance stays marked as running
  SimInstanceGate(const SimInstanceGate&) = delete;
  SimInstanceGate& operator=(const SimInstanceGate&) = delete;
  // Whether another instance of this user runs (read once, at the gate).
  bool othersRun() const { return othersRun_; }

 private:
  int gate_ = -1;
  bool othersRun_ = false;
};

// The file whose shared lock marks a running instance (empty without an endpoints' folder).
std::string SimInstanceMarkPath();
// At a clean end: this instance no longer counts as running; the last one to end removes the
// two files (a crashed one leaves them, and its lock goes with it).
void SimInstanceMarkRelease();
