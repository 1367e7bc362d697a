// The channel for PC tools: tools in other processes hand the simulator one request frame at
// a time, as frame text (shell/com_text.h), and get the device's answer back the same way.
//
// Ways in, for the port number (10) and for the device address (printed with two digits):
// - shared blocks "Share::SimComRequest.Com10" / "Share::SimComResponse.Com10" (and ".Adr01"),
//   1024 bytes, one NUL-terminated frame text each, with the events "Event::SimComRequest..."
//   and "Event::SimComResponse...": a tool writes the request share and sets the request event
//   last; the answer is written into the response share and the response event set once;
// - hidden windows, here message endpoints (host/ipc.h) named by the window names
//   "Class::SimComRequest.Com10", "Class::SimComResponse.Com10" (and ".Adr01") and the main
//   pair "Class::Mx74Main" / "Class::Mx74Main.Response": a tool sets the request window's text
//   and reads the answer from the response window's text. A window registered with 0x1097 at
//   a window of one of these pairs is sent 0x1098 (wParam port, lParam device address) after
//   each answer to a request through that pair's request window, and after no other.
// Tools that share one way take turns (tools/pctool: a lock per way held from the request to
// its answer), since each way has one request slot.
// The simulator polls with zero wait on its UI thread before each cycle and publishes the
// answer after it; it can also hand in requests of its own (the communication view, scripts).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "shell/com_text.h"

// Where the request in flight came from (and where its answer goes).
enum SimComSource : int {
  SIM_COM_NONE = 0,
  SIM_COM_MAIN_WINDOW = 1,
  SIM_COM_PORT_WINDOW = 2,
  SIM_COM_PORT_SHARE = 3,
  SIM_COM_ADDRESS_WINDOW = 4,
  SIM_COM_ADDRESS_SHARE = 5,
  SIM_COM_INJECTED = 6,
};

// A window of the communication view that shows one side of the traffic.
using SimComView = std::function<void(const std::string& text)>;

// Opens the channel: the windows, events and shares of the port number and the device
// address (the main pair only when mainName is not empty). Called again (a new device
// address), it replaces only the names that change: the others stay open with what they hold,
// so that an answer just published there is not lost. A name that a live process holds is
// left out and reported in the error log. 0 when everything was made.
int SimComOpen(unsigned port, unsigned address, const std::string& mainName);
// Why the last SimComOpen left names out, one line each (another process has the name, or
// it belongs to another user); empty when everything was made.
const std::string& SimComOpenFailures();
// Removes every window, share and event of the channel.
void SimComClose();
bool SimComIsOpen();

// Before a cycle: takes the next request into `buffer` (at most `capacity` bytes) with its
// length (0x8000 for a binary frame); 1 when one was taken. A request that would not fit is
// refused whole: nothing is handed in and its sender gets an empty answer.
int SimComPollRequest(char* buffer, size_t capacity, uint16_t* length);
// After a cycle whose firmware answered: publishes the answer the way its request came; the
// answer takes the form (text or binary) of its request. 0 when no request was in flight.
int SimComPostResponse(const char* answer, uint16_t length);
// A request typed in the communication view or played by a script (built as com_text.h
// says); it is handed in at the next poll. False when the text gives no frame that fits.
bool SimComInject(const char* text);
// The communication view's request and response windows (empty: none).
void SimComSetViewWindows(SimComView request, SimComView response);

// Answers what waits at the hidden windows, without waiting (the event loop calls it when
// SimComFd() is readable; the poll calls it too). Returns the number of messages answered.
int SimComServe();
// Readable while a message waits at one of the hidden windows; -1 before the first open.
// It stays the same across reopening.
int SimComFd();
// The source of the request in flight.
int SimComState();
