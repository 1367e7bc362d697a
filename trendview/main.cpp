// Kurvan: the trend viewer program.
#include <QApplication>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <clocale>
#include <string>

#include "host/end_signals.h"
#include "trendview/kurvan_app.h"

int main(int argc, char** argv) {
  // Ended by a signal as by closing its window, so that its notification socket is removed.
  const int endSignals = host::CatchEndSignals();
  QApplication qapp(argc, argv);
  if (endSignals >= 0) {
    auto* ended = new QSocketNotifier(endSignals, QSocketNotifier::Read, &qapp);
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
