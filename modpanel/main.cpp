// TQ500: the module panel program.
#include <QApplication>
#include <QCoreApplication>
#include <clocale>
#include <string>

#include "modpanel/main_frame.h"
#include "modpanel/tq500_app.h"

int main(int argc, char** argv) {
  const uint32_t show = TQ500_TakeStartShowCommand();
  QApplication qapp(argc, argv);
  // Numbers are read and written with '.', whatever the user's locale.
  std::setlocale(LC_NUMERIC, "C");
  std::string args;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) args += ' ';
    args += argv[i];
  }
  CTQ500App app(QCoreApplication::applicationFilePath().toStdString());
  if (!app.InitInstance(args, show)) return 1;
  app.frame()->setOnDestroyed([] { QCoreApplication::quit(); });
  const int rc = QApplication::exec();
  app.ExitInstance();
  return rc;
}

// Under LeakSanitizer: the font and desktop-bus libraries keep a few allocations until the
// process ends; they are not leaks of this program.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\nleak:libdbus-1.so\n"; }
