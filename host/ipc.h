// Messages between the programs of the simulator: named endpoints on Unix-domain sockets.
//
// An endpoint stands for a window of another process that is reached by its name. A frame is
// {u32 message, u32 wParam, i32 lParam, optional payload}, little-endian, one frame per
// packet; every frame sent with IpcConnection::send gets one reply frame {the same message,
// 0, the result, optional payload}. Every wait has a time-out, and a peer that is not there,
// has died or does not answer within it counts as gone: the call answers 0.
//
// Endpoints live in $XDG_RUNTIME_DIR/sim74_2/ (else in a folder "sim74_2-<uid>" of this user
// in the temporary directory), named by the prefix of host::SetSharedNamePrefix and the
// name. A socket left behind by a dead process is stale and is removed by the next creator.
// Endpoints are served by their owner's thread without blocking it (serve with a zero wait).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace host {

struct IpcFrame {
  uint32_t message = 0;
  uint32_t wParam = 0;
  int32_t lParam = 0;
  std::string payload;
};

constexpr size_t IPC_HEADER_BYTES = 12;
constexpr size_t IPC_MAX_PAYLOAD = 65536;   // a longer frame is refused (answered 0)
constexpr int IPC_DEFAULT_TIMEOUT_MS = 1000;

// The folder of the endpoints, made private to this user on first use; "" when it cannot be
// had (a folder of someone else, or a link, is refused).
const std::string& IpcFolder();
// The socket path of a full name (prefix included); "" when it does not fit a socket address.
std::string IpcPathOf(const std::string& fullName);

// Frame coding: the header and payload of one packet. Decoding fails on fewer than 12 bytes
// or a payload over IPC_MAX_PAYLOAD.
void IpcEncodeHeader(const IpcFrame& frame, uint8_t out[IPC_HEADER_BYTES]);
bool IpcDecode(const uint8_t* bytes, size_t n, IpcFrame* frame);

// What an endpoint does with a frame: returns the result and may fill the reply payload.
using IpcHandler = std::function<int32_t(const IpcFrame& frame, std::string* reply)>;

class IpcEndpoint {
 public:
  // Creates the endpoint `name` (the prefix is put before it). Fails when a live endpoint has
  // that name; a stale one is removed first.
  static std::unique_ptr<IpcEndpoint> Create(const std::string& name, IpcHandler handler,
                                             std::string* error);
  // True when a live endpoint answers under that name; a stale socket is removed.
  static bool InUse(const std::string& name);

  ~IpcEndpoint();
  IpcEndpoint(const IpcEndpoint&) = delete;
  IpcEndpoint& operator=(const IpcEndpoint&) = delete;

  // Takes new peers and answers the frames that wait, waiting at most waitMs for the first
  // activity (0: not at all). Returns the number of frames answered.
  int serve(int waitMs = 0);
  // A descriptor that becomes readable while something waits (for an event loop).
  int fd() const { return epoll_; }
  const std::string& name() const { return name_; }
  // The name as other processes reach it (prefix included).
  const std::string& fullName() const { return full_; }

 private:
  IpcEndpoint() = default;
  int accept();
  void drop(size_t i);
  void dropIdlest();
  int answer(int fd);
  int answerAll(int fd);

  std::string name_;
  std::string full_;
  std::string path_;
  IpcHandler handler_;
  int listener_ = -1;
  int epoll_ = -1;
  unsigned long inode_ = 0;      // of the socket file, so that only our own is removed
  int creatorPid_ = 0;
  std::vector<int> peers_;
  std::vector<unsigned long> active_;  // per peer: when it last sent a frame (or came)
  unsigned long activity_ = 0;
};

// A connection to another process's endpoint for a series of calls.
class IpcConnection {
 public:
  // Connects to the endpoint of that full name (prefix included), waiting at most timeoutMs
  // when it is busy. Null when there is none or it is not alive.
  static std::unique_ptr<IpcConnection> OpenFull(const std::string& fullName, int timeoutMs,
                                                 std::string* error);
  // The same with this process's prefix put before the name.
  static std::unique_ptr<IpcConnection> Open(const std::string& name, int timeoutMs,
                                             std::string* error);
  ~IpcConnection();
  IpcConnection(const IpcConnection&) = delete;
  IpcConnection& operator=(const IpcConnection&) = delete;

  // Sends the frame and waits at most the time-out for its reply; returns the peer's result
  // (and its payload in *reply). 0 once the peer is gone: it died, refused the frame, or did
  // not answer in time (the connection is then closed for good).
  int32_t send(const IpcFrame& frame, std::string* reply = nullptr);
  bool alive() const { return fd_ >= 0; }

 private:
  IpcConnection() = default;
  void close();
  int fd_ = -1;
  int timeoutMs_ = IPC_DEFAULT_TIMEOUT_MS;
  std::vector<uint8_t> buffer_;
};

// One call on a connection of its own to the endpoint of that full name; 0 when the peer is
// gone.
int32_t IpcSendFull(const std::string& fullName, const IpcFrame& frame, std::string* reply = nullptr,
                    int timeoutMs = IPC_DEFAULT_TIMEOUT_MS);
// Sends a frame without waiting for its reply (a posted message); false when the peer is not
// there or did not take it within timeoutMs.
bool IpcPostFull(const std::string& fullName, const IpcFrame& frame, int timeoutMs);
// True when a live endpoint of that full name accepts connections.
bool IpcExistsFull(const std::string& fullName);

}  // namespace host
