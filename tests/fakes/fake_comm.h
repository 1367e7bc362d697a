// Recording fake of the device communication services (comm/com_services.h): it logs each
// call, keeps the channels' frame buffers, answers a received frame with the answer a test
// sets (and may run a test's action, e.g. loading an engineering), and shows the pages the
// bus-node table a test fills in.
#pragma once

#include <functional>
#include <string>

#include "comm/com_services.h"
#include "fakes/call_log.h"

struct FakeComm {
  CallLog log;
  std::string answer;                    // copied into the transmit buffer on a receive
  std::string lastFrame;                 // the frame the last receive saw
  std::function<void()> onReceive;       // runs inside COM_ReceiveFrame
  uint8_t serialErrors = 0;
  ComCanNodeTable canNodes{};            // what the pages read of the bus nodes
  void reset();
};

FakeComm& TheFakeComm();
