// The module panel program: one frame with its view for the life of the process, titled from
// its command line, and the endpoint through which the simulator reaches it.
//
// Command line: the whole text after the program name becomes the frame's title ("TQ500"
// when there is none); a non-empty one also names the endpoint (tq500_protocol.h).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "host/ipc.h"

class CMainFrame;
class QSocketNotifier;

// The document of the panel holds nothing; it is neither stored nor loaded.
class CTQ500Doc {};

class CTQ500App {
 public:
  // `programPath` is the program's own file (for its version text).
  explicit CTQ500App(const std::string& programPath);
  ~CTQ500App();
  CTQ500App(const CTQ500App&) = delete;
  CTQ500App& operator=(const CTQ500App&) = delete;

  // Creates the document, the frame and the view, shows the frame with the starter's show
  // command, titles it and opens the endpoint. False when the program cannot run.
  bool InitInstance(const std::string& commandLine, uint32_t showCommand);
  // Closes the endpoint and the frame.
  void ExitInstance();

  // A frame from the endpoint: the module messages and the window calls of the simulator.
  int32_t OnMessage(const host::IpcFrame& frame, std::string* reply);

  CMainFrame* frame() const { return frame_.get(); }
  const host::IpcEndpoint* endpoint() const { return endpoint_.get(); }

 private:
  std::string programPath_;
  std::unique_ptr<CTQ500Doc> doc_;
  std::unique_ptr<CMainFrame> frame_;
  std::unique_ptr<host::IpcEndpoint> endpoint_;
  QSocketNotifier* notifier_ = nullptr;
};

// The show command a starter gave in the environment (TQ500_SHOW_COMMAND_ENV), taken out of
// it; TQ500_SW_SHOW when none was given.
uint32_t TQ500_TakeStartShowCommand();
