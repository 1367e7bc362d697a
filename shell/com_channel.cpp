#include "shell/com_channel.h"

#include <sys/epoll.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

#include "host/ipc.h"
#include "host/named_event.h"
#include "host/shared_block.h"
#include "shell/com_text.h"
#include "shell/sim_services.h"
#include "simlayer/SIM.h"

namespace {

// The hidden windows and the shares with their events, in a fixed order.
enum Window { kMainRequest, kMainResponse, kPortRequest, kPortResponse, kAddressRequest, kAddressResponse, kWindows };
enum Share { kPortRequestShare, kPortResponseShare, kAddressRequestShare, kAddressResponseShare, kShares };
// The main pair (windows 0, 1), the port's (windows 2, 3, shares 0, 1) and the address's
// (windows 4, 5, shares 2, 3) names, opened and closed together.
enum Group { kMainGroup, kPortGroup, kAddressGroup, kGroups };

constexpr size_t kNotifyNameMax = 200;
constexpr int kNotifyTimeoutMs = 20;   // a busy notify window must not hold the cycle up

struct HiddenWindow {
  std::unique_ptr<host::IpcEndpoint> endpoint;
  std::string text;
};

struct Channel {
  bool open = false;
  unsigned port = 0;
  unsigned address = 0;
  HiddenWindow windows[kWindows];
  std::unique_ptr<host::SharedBlock> shares[kShares];
  std::unique_ptr<host::NamedEvent> events[kShares];   // the event of each share
  int state = SIM_COM_NONE;
  bool requestBinary = false;
  std::string notify[kGroups];                         // full endpoint name of each notify window
  uint8_t injected[SIM_TEXT_SIZE] = {};
  uint16_t injectedLength = 0;
  bool injectPending = false;
  SimComView requestView;
  SimComView responseView;
  int hub = -1;                                        // epoll set of the windows' endpoints
  std::string keys[kGroups];                           // what each group is open for ("Com10")
  std::string openFailures;                            // what the last open could not make
  int nextWay = 0;                                     // where the next poll starts looking
};

Channel& C() {
  static Channel channel;
  return channel;
}

void Log(const std::string& text) { SIM_LogText(text.c_str()); }

void Failed(const std::string& error, int* failures) {
  Log("Communication channel: " + error);
  Channel& c = C();
  if (!c.openFailures.empty()) c.openFailures += "\n";
  c.openFailures += error;
  ++*failures;
}

// The window procedure of the hidden windows.
int32_t WindowProc(int window, const host::IpcFrame& f, std::string* reply) {
  Channel& c = C();
  std::string& text = c.windows[window].text;
  switch (f.message) {
    case SIM_COM_SETTEXT: {
      const size_t n = std::min(f.payload.find('\0'), f.payload.size());
      if (n > SIM_COM_WINDOW_TEXT_MAX) return 0;
      text.assign(f.payload.data(), n);
      return 1;
    }
    case SIM_COM_GETTEXT: {
      if (f.wParam == 0) return 0;
      const size_t n = std::min<size_t>(text.size(), f.wParam - 1);
      reply->assign(text, 0, n);
      return static_cast<int32_t>(n);
    }
    case SIM_COM_GETTEXTLENGTH:
      return static_cast<int32_t>(text.size());
    case SIM_COM_REGISTER_NOTIFY:
      if (f.payload.size() > kNotifyNameMax || f.payload.find('/') != std::string::npos ||
          f.payload.find('\0') != std::string::npos)
        return 0;
      // Registered at a window of one way, it hears only of that way's answers.
      c.notify[window / 2] = f.payload;
      return f.payload.empty() ? 0 : 1;
    case SIM_COM_CLIENT_REQUEST:   // 16-bit clients do not exist here
    case SIM_COM_CLIENT_RESPONSE:
    default:
      return 0;
  }
}

void MakeWindow(Window w, const std::string& name, int* failures) {
  Channel& c = C();
  std::string error;
  c.windows[w].endpoint = host::IpcEndpoint::Create(
      name, [w](const host::IpcFrame& f, std::string* reply) { return WindowProc(w, f, reply); }, &error);
  if (!c.windows[w].endpoint) {
    Failed(error, failures);
    return;
  }
  epoll_event ev{};
  ev.events = EPOLLIN;
  ev.data.u32 = static_cast<uint32_t>(w);
  epoll_ctl(c.hub, EPOLL_CTL_ADD, c.windows[w].endpoint->fd(), &ev);
}

void MakeShare(Share s, bool response, const char* way, unsigned number, int* failures) {
  Channel& c = C();
  std::string error;
  c.shares[s] = host::SharedBlock::Create(SimComChannelName("Share", response, way, number), SIM_COM_SHARE_SIZE, 0,
                                          &error);
  if (!c.shares[s]) {
    Failed(error, failures);
  }
  c.events[s] = host::NamedEvent::Create(SimComChannelName("Event", response, way, number), &error);
  if (!c.events[s]) {
    Failed(error, failures);
  }
}

char* ShareText(Share s) {
  const auto& b = C().shares[s];
  return b ? static_cast<char*>(b->data()) : nullptr;
}


bool Complete(int g) {
  const Channel& c = C();
  for (int w = 2 * g; w < 2 * g + 2; ++w)
    if (!c.windows[w].endpoint) return false;
  if (g == kMainGroup) return true;
  for (int i = 2 * (g - 1); i < 2 * g; ++i)
    if (!c.shares[i] || !c.events[i]) return false;
  return true;
}

int GroupOf(int source) {
  switch (source) {
    case SIM_COM_MAIN_WINDOW:
      return kMainGroup;
    case SIM_COM_PORT_WINDOW:
    case SIM_COM_PORT_SHARE:
      return kPortGroup;
    case SIM_COM_ADDRESS_WINDOW:
    case SIM_COM_ADDRESS_SHARE:
      return kAddressGroup;
    default:
      return -1;
  }
}

void CloseGroup(int g) {
  Channel& c = C();
  for (int w = 2 * g; w < 2 * g + 2; ++w) {
    c.windows[w].endpoint.reset();  // its descriptors leave the hub as they close
    c.windows[w].text.clear();
  }
  if (g != kMainGroup) {
    for (int i = 2 * (g - 1); i < 2 * g; ++i) {
      c.shares[i].reset();
      c.events[i].reset();
    }
  }
  c.keys[g].clear();
  c.notify[g].clear();
  if (GroupOf(c.state) == g) c.state = SIM_COM_NONE;  // its answer has nowhere to go
}

// A new request in the view: the answer shown beside it belonged to the one before, and is
// cleared until this request's answer comes.
void ShowRequest(const uint8_t* frame, uint16_t length) {
  if (C().requestView) C().requestView(SimComViewText(frame, length));
  if (C().responseView) C().responseView(std::string());
}

}  // namespace

int SimComOpen(unsigned port, unsigned address, const std::string& mainName) {
  Channel& c = C();
  if (c.hub < 0) c.hub = epoll_create1(EPOLL_CLOEXEC);
  char number[16];
  std::snprintf(number, sizeof number, "%02u", port);
  const std::string portKey = std::string("Com") + number;
  std::snprintf(number, sizeof number, "%02u", address);
  const std::string keys[kGroups] = {mainName, portKey, std::string("Adr") + number};
  int failures = 0;
  c.openFailures.clear();
  for (int g = 0; g < kGroups; ++g) {
    // A group whose names stay is kept whole, with the texts and answers it holds.
    if (!keys[g].empty() && c.keys[g] == keys[g] && Complete(g)) continue;
    CloseGroup(g);
    if (keys[g].empty()) continue;
    c.keys[g] = keys[g];
    const Window first = static_cast<Window>(2 * g);
    if (g == kMainGroup) {
      MakeWindow(first, mainName, &failures);
      MakeWindow(static_cast<Window>(first + 1), SimComResponseName(mainName), &failures);
      continue;
    }
    const char* way = g == kPortGroup ? "Com" : "Adr";
    const unsigned n = g == kPortGroup ? port : address;
    const Share share = static_cast<Share>(2 * (g - 1));
    MakeWindow(first, SimComChannelName("Class", false, way, n), &failures);
    MakeWindow(static_cast<Window>(first + 1), SimComChannelName("Class", true, way, n), &failures);
    MakeShare(share, false, way, n, &failures);
    MakeShare(static_cast<Share>(share + 1), true, way, n, &failures);
  }
  c.open = true;
  c.port = port;
  c.address = address;
  return failures;
}

void SimComClose() {
  Channel& c = C();
  // The tools' turn locks of the request shares made here go with the shares.
  for (int i = 0; i < kShares; i += 2) {
    if (!c.shares[i] || !c.shares[i]->owner()) continue;
    for (bool wait : {false, true}) shm_unlink(("/" + SimComTurnName(c.shares[i]->fullName(), wait)).c_str());
  }
  for (int g = 0; g < kGroups; ++g) CloseGroup(g);
  c.open = false;
  c.nextWay = 0;
  c.state = SIM_COM_NONE;
  c.injectPending = false;
}

bool SimComIsOpen() { return C().open; }

const std::string& SimComOpenFailures() { return C().openFailures; }

int SimComState() { return C().state; }

int SimComFd() { return C().hub; }

int SimComServe() {
  Channel& c = C();
  if (c.hub < 0) return 0;
  epoll_event ready[kWindows];
  const int n = epoll_wait(c.hub, ready, kWindows, 0);
  int served = 0;
  for (int i = 0; i < n; ++i) {
    const uint32_t w = ready[i].data.u32;
    if (w < kWindows && c.windows[w].endpoint) served += c.windows[w].endpoint->serve(0);
  }
  return served;
}

void SimComSetViewWindows(SimComView request, SimComView response) {
  C().requestView = std::move(request);
  C().responseView = std::move(response);
}

bool SimComInject(const char* text) {
  Channel& c = C();
  uint16_t length = 0;
  if (!text || !SimComBuildInjected(text, c.injected, sizeof c.injected, &length)) return false;
  c.injectedLength = length;
  c.injectPending = true;
  c.state = SIM_COM_INJECTED;
  return true;
}

int SimComPollRequest(char* buffer, size_t capacity, uint16_t* length) {
  Channel& c = C();
  uint8_t* out = reinterpret_cast<uint8_t*>(buffer);
  if (c.injectPending) {
    c.injectPending = false;
    const size_t n = c.injectedLength & 0x7FFFu;
    if (n <= capacity) {
      std::memcpy(out, c.injected, n);
      std::memset(out + n, 0, capacity - n);
      *length = c.injectedLength;
      c.state = SIM_COM_INJECTED;
      c.requestBinary = (c.injectedLength & SIM_COM_BINARY) != 0;
      ShowRequest(out, *length);
      return 1;
    }
    c.state = SIM_COM_NONE;
  }
  if (!c.open) return 0;
  SimComServe();

  // The first way that has something wins, in the order the events, then the window texts.
  // The order starts after the way served last, so that a busy way cannot keep the others
  // waiting: with nothing served before, the port's share comes first.
  struct Way {
    int source;
    Share share;     // kShares: a window way
    Window window;
  };
  static const Way kWays[] = {{SIM_COM_PORT_SHARE, kPortRequestShare, kWindows},
                              {SIM_COM_ADDRESS_SHARE, kAddressRequestShare, kWindows},
                              {SIM_COM_MAIN_WINDOW, kShares, kMainRequest},
                              {SIM_COM_PORT_WINDOW, kShares, kPortRequest},
                              {SIM_COM_ADDRESS_WINDOW, kShares, kAddressRequest}};
  constexpr int kWayCount = static_cast<int>(sizeof kWays / sizeof kWays[0]);
  int source = SIM_COM_NONE;
  const char* text = nullptr;
  size_t n = 0;
  Share share = kShares;
  HiddenWindow* window = nullptr;
  for (int i = 0; i < kWayCount && source == SIM_COM_NONE; ++i) {
    const int k = (c.nextWay + i) % kWayCount;
    const Way& way = kWays[k];
    const bool waiting = way.share != kShares ? c.events[way.share] && c.events[way.share]->take()
                                              : !c.windows[way.window].text.empty();
    if (!waiting) continue;
    source = way.source;
    if (way.share != kShares)
      share = way.share;
    else
      window = &c.windows[way.window];
    c.nextWay = (k + 1) % kWayCount;
  }
  // Every text is bounded by its share or window before it is decoded.
  bool bounded;
  if (share != kShares) {
    text = ShareText(share);
    if (!text) return 0;  // an event without its share (the share's name was in use)
    n = strnlen(text, SIM_COM_SHARE_SIZE);
    bounded = n < SIM_COM_SHARE_SIZE;
  } else if (window) {
    text = window->text.data();
    n = window->text.size();
    bounded = n <= SIM_COM_REQUEST_TEXT_MAX;
  } else {
    return 0;
  }

  const bool fits = bounded && SimComDecodeText(text, n, out, capacity, length);
  // The request is taken: the share or the window text is cleared.
  if (share != kShares) {
    std::memset(ShareText(share), 0, bounded ? n + 1 : SIM_COM_SHARE_SIZE);
  } else {
    window->text.clear();
  }
  c.state = source;
  if (!fits) {
    // Refused whole; the sender learns it at once from an empty answer.
    Log("Communication channel: a request text of " + std::string(bounded ? "" : "at least ") + std::to_string(n) +
        " characters does not fit the request buffer and was refused.");
    c.requestBinary = false;
    SimComPostResponse("", 0);
    return 0;
  }
  const size_t bytes = *length & 0x7FFFu;
  std::memset(out + bytes, 0, capacity - bytes);
  c.requestBinary = (*length & SIM_COM_BINARY) != 0;
  ShowRequest(out, *length);
  return 1;
}

int SimComPostResponse(const char* answer, uint16_t length) {
  Channel& c = C();
  if (c.state == SIM_COM_NONE) return 0;
  size_t n = length & 0x7FFFu;
  if (n > SIM_COM_ANSWER_MAX) {
    Log("Communication channel: an answer of " + std::to_string(n) + " bytes was not published.");
    n = 0;
  }
  // The firmware marks every answer binary; a text request gets a text answer.
  const bool binary = (length & SIM_COM_BINARY) != 0 && c.requestBinary;
  const uint8_t* frame = reinterpret_cast<const uint8_t*>(answer);
  char text[1 + 2 * SIM_COM_ANSWER_MAX + 1];
  size_t textLength = 0;
  SimComEncodeText(frame, n, binary, text, sizeof text, &textLength);

  auto toShare = [&](Share s) {
    if (char* p = ShareText(s)) std::memcpy(p, text, textLength + 1);
    if (c.events[s]) c.events[s]->set();
  };
  switch (c.state) {
    case SIM_COM_MAIN_WINDOW:
      c.windows[kMainResponse].text.assign(text, textLength);
      break;
    case SIM_COM_PORT_WINDOW:
      c.windows[kPortResponse].text.assign(text, textLength);
      break;
    case SIM_COM_PORT_SHARE:
      toShare(kPortResponseShare);
      break;
    case SIM_COM_ADDRESS_WINDOW:
      c.windows[kAddressResponse].text.assign(text, textLength);
      break;
    case SIM_COM_ADDRESS_SHARE:
      toShare(kAddressResponseShare);
      break;
    default:  // an injected request is answered only in the view
      break;
  }
  if (c.responseView) c.responseView(SimComViewText(frame, static_cast<uint16_t>(n | (binary ? SIM_COM_BINARY : 0))));
  // Only the window way that asked is told: a client of another way, or of a share, would
  // otherwise read its own response window before its answer is there.
  const bool byWindow =
      c.state == SIM_COM_MAIN_WINDOW || c.state == SIM_COM_PORT_WINDOW || c.state == SIM_COM_ADDRESS_WINDOW;
  const int group = GroupOf(c.state);
  if (byWindow && !c.notify[group].empty()) {
    host::IpcFrame note;
    note.message = SIM_COM_NOTIFY;
    note.wParam = c.port;
    note.lParam = static_cast<int32_t>(c.address);
    host::IpcPostFull(c.notify[group], note, kNotifyTimeoutMs);
  }
  c.state = SIM_COM_NONE;
  return 1;
}
