// Kurvan: the trend viewer program.
#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QSocketNotifier>
#include <clocale>
#include <string>

#include "host/end_signals.h"
#include "trendview/kurvan_app.h"

namespace {

bool g_ended = false;

// An end signal also closes the boxes that are open (nobody is there to answer them), and one
// that comes while the program is still starting ends it once the start is done.
void EndBySignal() {
  host::DrainEndSignals();
  g_ended = true;
  for (int n = 0; n < 16; ++n) {  // a box may have opened another
    auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (!box) break;
    box->reject();
  }
  QCoreApplication::exit(0);
}

}  // namespace

int main(int argc, char** argv) {
  // Ended by a signal as by closing its window, so that its notification socket is removed.
  const int endSignals = host::CatchEndSignals();
  QApplication qapp(argc, argv);
  if (endSignals >= 0) {
    auto* ended = new QSocketNotifier(endSignals, QSocketNotifier::Read, &qapp);
    QObject::connect(ended, &QSocketNotifier::activated, &qapp, EndBySignal);
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
  if (app.InitInstance(args) && !g_ended) rc = qapp.exec();
  app.ExitInstance();
  return rc;
}

// Under LeakSanitizer: the font and desktop-bus libraries keep a few allocations until the
// process ends; they are not leaks of this program.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\nleak:libdbus-1.so\n"; }
