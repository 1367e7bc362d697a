#include "modpanel/tq500_app.h"

#include <QSocketNotifier>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

#include "modpanel/main_frame.h"
#include "modpanel/tq500_protocol.h"

CTQ500App::CTQ500App(const std::string& programPath) : programPath_(programPath) {}

CTQ500App::~CTQ500App() { ExitInstance(); }

bool CTQ500App::InitInstance(const std::string& commandLine, uint32_t showCommand) {
  doc_ = std::make_unique<CTQ500Doc>();
  frame_ = std::make_unique<CMainFrame>(programPath_);
  if (showCommand != TQ500_SW_HIDE) frame_->show();
  frame_->setTitle(commandLine.empty() ? std::string("TQ500") : commandLine);
  if (!commandLine.empty()) {
    std::string error;
    endpoint_ = host::IpcEndpoint::Create(
        commandLine, [this](const host::IpcFrame& f, std::string* reply) { return OnMessage(f, reply); }, &error);
    if (endpoint_) {
      notifier_ = new QSocketNotifier(endpoint_->fd(), QSocketNotifier::Read, frame_.get());
      QObject::connect(notifier_, &QSocketNotifier::activated, frame_.get(), [this] {
        if (endpoint_) endpoint_->serve(0);
      });
    } else {
      std::fprintf(stderr, "TQ500: %s\n", error.c_str());
    }
  }
  return true;
}

void CTQ500App::ExitInstance() {
  if (notifier_) notifier_->setEnabled(false);
  notifier_ = nullptr;
  endpoint_.reset();
  frame_.reset();
  doc_.reset();
}

int32_t CTQ500App::OnMessage(const host::IpcFrame& f, std::string* reply) {
  CMainFrame* fr = frame_.get();
  if (!fr) return 0;
  switch (f.message) {
    case TQ500_MSG_SET_TEXT: {
      const size_t end = f.payload.find('\0');
      fr->setTitle(f.payload.substr(0, end));
      return 1;
    }
    case TQ500_MSG_GET_TEXT:
      *reply = fr->title();
      return static_cast<int32_t>(reply->size());
    case TQ500_MSG_SHOW_WINDOW:
      if (f.wParam == TQ500_SW_HIDE)
        fr->hide();
      else
        fr->show();
      return 0;
    case TQ500_MSG_SYSCOMMAND:
      // The About box is modal: it opens after the answer, so that the sender does not wait
      // for the user.
      if ((f.wParam & 0xFFF0u) == TQ500_SC_ABOUT) {
        QTimer::singleShot(0, fr, [fr] { fr->OnSysCommand(TQ500_SC_ABOUT); });
        return 0;
      }
      return fr->send(f.message, f.wParam, f.lParam);
    case TQ500_MSG_ADD_MODULE:
    case TQ500_MSG_GET_INPUT:
    case TQ500_MSG_SET_OUTPUT: return fr->send(f.message, f.wParam, f.lParam);
    default: return 0;
  }
}

uint32_t TQ500_TakeStartShowCommand() {
  const char* v = std::getenv(TQ500_SHOW_COMMAND_ENV);
  uint32_t cmd = TQ500_SW_SHOW;
  if (v && *v) {
    char* end = nullptr;
    const unsigned long n = std::strtoul(v, &end, 10);
    if (end && *end == 0 && n <= 11) cmd = static_cast<uint32_t>(n);
  }
  unsetenv(TQ500_SHOW_COMMAND_ENV);
  return cmd;
}
