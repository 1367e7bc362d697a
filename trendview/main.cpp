// Kurvan: the trend viewer program.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QApplication>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <clocale>
#include <string>

#include "trendview/kurvan_app.h"

namespace {

// SIGTERM, SIGINT and SIGHUP end the program as closing its window does, so that its
// notification socket is removed (the handler only writes to a pipe; the event loop quits).
int g_endPipe[2] = {-1, -1};

void OnEndSignal(int) {
  const char c = 1;
  const ssize_t n = write(g_endPipe[1], &c, 1);
  (void)n;
}

void CatchEndSignals() {
  if (pipe2(g_endPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  struct sigaction sa {};
  sa.sa_handler = OnEndSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  for (int sig : {SIGTERM, SIGINT, SIGHUP}) sigaction(sig, &sa, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  CatchEndSignals();
  QApplication qapp(argc, argv);
  if (g_endPipe[0] >= 0) {
    auto* ended = new QSocketNotifier(g_endPipe[0], QSocketNotifier::Read, &qapp);
    QObject::connect(ended, &QSocketNotifier::activated, &qapp, [] { QCoreApplication::quit(); });
  }
  // Numbers are written and read with '.', whatever the user's locale.
  std::setlocale(LC_NUMERIC, "C");
  std::string args;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) args += ' ';
    args += argv[i];
  }
  CKurvanApp app(QCoreApplication::applicationFilePath().toStdString());
  int rc = 0;
  if (app.InitInstance(args)) rc = qapp.exec();
  app.ExitInstance();
  return rc;
}

// Under LeakSanitizer: the font and desktop-bus libraries keep a few allocations until the
// process ends; they are not leaks of this program.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\nleak:libdbus-1.so\n"; }
